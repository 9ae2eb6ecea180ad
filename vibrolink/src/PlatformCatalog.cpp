// The concrete platforms this build offers, one case per platform type.
#include "PlatformInterface.h"

PlatformInterface* CreatePlatformForType(int32_t type) {
    switch (type) {
        default:
            return nullptr;
    }
}
