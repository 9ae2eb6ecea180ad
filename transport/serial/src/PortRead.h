// The overlapped-read emulation: a read keeps its bytes in the caller's read record until all
// of them are in or the line falls quiet. See DrovoSerial.h for the contract.
#pragma once

#include <cstdint>

#include "DrovoIoRecord.h"

namespace drovo_serial {

// Arguments are already checked. Returns 0, or -1 with the module's last error set.
int StartRead(int fd, DrovoIoRecord* record, int32_t count, uint8_t* buffer, int32_t* bytesRead);
int CollectRead(int fd, DrovoIoRecord* record, int32_t count, uint8_t* buffer, int32_t* bytesRead);

}  // namespace drovo_serial
