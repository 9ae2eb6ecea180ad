// Matching a connect name against the attached devices' identifying texts.
#pragma once

#include "UsbDriverLoader.h"

namespace drovo_winusb {

// The index of the first device whose identifying text equals `name` without regard to case,
// or -1 when none does or the count cannot be had. `name` is shorter than DROVO_USB_TEXT_SIZE.
int FindDeviceIndex(const UsbDriver& driver, const char* name);

}  // namespace drovo_winusb
