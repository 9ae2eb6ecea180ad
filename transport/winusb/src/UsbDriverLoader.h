// Finding and loading the USB driver library on first use.
#pragma once

#include "DrovoUsbDriver.h"

namespace drovo_winusb {

// The driver's functions, each taken from the loaded library.
struct UsbDriver {
#define DROVO_USB_DRIVER_FIELD(type, name) type name;
    DROVO_USB_DRIVER_FUNCTIONS(DROVO_USB_DRIVER_FIELD)
#undef DROVO_USB_DRIVER_FIELD
};

// The driver, loading it on the first call. Null when it cannot be loaded or lacks a function;
// a later call tries again, so a driver installed later is still found. Thread-safe.
const UsbDriver* GetUsbDriver();

// Test hook: the file to load instead of DROVO_USB_DRIVER_LIBRARY (null restores it). Takes
// effect at the next load, so call it before the first use.
void SetDriverLibraryPath(const char* path);

}  // namespace drovo_winusb
