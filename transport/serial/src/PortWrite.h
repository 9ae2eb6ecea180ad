// Writing a whole buffer to a non-blocking port.
#pragma once

#include <cstdint>

namespace drovo_serial {

// Arguments are already checked. Returns count, or -1 with the module's last error set.
int WriteAll(int fd, const uint8_t* bytes, int32_t count);

}  // namespace drovo_serial
