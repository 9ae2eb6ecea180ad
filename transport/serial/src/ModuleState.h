// The module's process-wide state: its last-error code, the read time-out and the folder that
// discovery searches.
#pragma once

#include <cstdint>
#include <string>

namespace drovo_serial {

void SetLastError(int code);
int LastError();

// Nanoseconds without a new byte after which a pending read ends.
int64_t ReadTimeoutNs();
// Test hook: changes the read time-out.
void SetReadTimeoutNs(int64_t timeout);

// The folder under which discovery looks for "dev" and "sys/class/tty"; "" for "/".
std::string DiscoveryRoot();
void SetDiscoveryRoot(const char* root);

// Monotonic clock in nanoseconds; never 0.
int64_t NowNs();

}  // namespace drovo_serial
