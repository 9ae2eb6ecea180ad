// A read on an open USB device: start or collect, never wait.
#pragma once

#include "UsbDriverLoader.h"

namespace drovo_winusb {

// Arguments are already checked. Returns 0, or -1 with the module's last error set.
int ReadDevice(const UsbDriver& driver, DrovoUsbHandle handle, DrovoIoRecord* record, int32_t count,
               uint8_t* buffer, int32_t* bytesRead, int32_t mode);

// Closes the read event kept in `record`, if any, and clears the field.
void CloseReadEvent(DrovoIoRecord* record);

}  // namespace drovo_winusb
