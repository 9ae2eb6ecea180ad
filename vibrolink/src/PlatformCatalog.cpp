// The concrete platforms this build offers, one case per platform type.
#include "PlatformInterface.h"
#include "PlatformSerial.h"
#include "PlatformWinUSB.h"

PlatformInterface* CreatePlatformForType(int32_t type) {
    switch (type) {
        case PLATFORM_TYPE_SERIAL:
            return new PlatformSerial();
        case PLATFORM_TYPE_USB:
            return new PlatformWinUSB();
        default:
            return nullptr;
    }
}
