// Listing the serial ports of a Linux machine.
#pragma once

#include <string>
#include <vector>

namespace drovo_serial {

// Full paths of the ports under `root` ("" for the machine's own "/dev"), in discovery order.
std::vector<std::string> ListPorts(const std::string& root);

}  // namespace drovo_serial
