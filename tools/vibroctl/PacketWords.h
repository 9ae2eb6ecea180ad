// Plain-words reading of the packets that reach the simulated controller, for the
// demonstration.
#pragma once

#include <string>
#include <vector>

#include "SimPacket.h"

// One line per action of the packet ("pulse tactor 3 for 100 ms after 50 ms"), in packet order.
// A packet that the controller could not decode, or whose checksum is wrong, gets one line
// saying so.
std::vector<std::string> DescribeInWords(const drovo_sim::SimPacket& packet);
