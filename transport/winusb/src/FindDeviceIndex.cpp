#include "FindDeviceIndex.h"

#include <cctype>
#include <cstring>

namespace drovo_winusb {
namespace {

void LowerCase(char* text) {
    for (; *text; ++text) {
        *text = static_cast<char>(tolower(static_cast<unsigned char>(*text)));
    }
}

}  // namespace

int FindDeviceIndex(const UsbDriver& driver, const char* name) {
    char wanted[DROVO_USB_TEXT_SIZE] = {};
    strncpy(wanted, name, sizeof wanted - 1);
    LowerCase(wanted);
    uint32_t count = 0;
    int32_t result = driver.usbdrv_GetDeviceCount(&count);
    if (result == DROVO_USB_FAILED || result == DROVO_USB_NO_DEVICE) {
        return -1;
    }
    for (uint32_t index = 0; index < count && index <= INT32_MAX; ++index) {
        char text[DROVO_USB_TEXT_SIZE] = {};
        driver.usbdrv_GetDeviceText(static_cast<int32_t>(index), text, 0);
        text[sizeof text - 1] = '\0';  // a driver that fills the whole buffer stays readable
        LowerCase(text);
        if (strcmp(text, wanted) == 0) {
            return static_cast<int>(index);
        }
    }
    return -1;
}

}  // namespace drovo_winusb
