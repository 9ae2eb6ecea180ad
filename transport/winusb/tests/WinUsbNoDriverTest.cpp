// Without a driver library every call that needs it fails cleanly with 202003.
#include <gtest/gtest.h>

#include "DrovoErrorCodes.h"
#include "DrovoWinUsb.h"
#include "UsbDriverLoader.h"

namespace {

TEST(WinUsbWithoutDriver, CallsFailWithInternalError) {
    drovo_winusb::SetDriverLibraryPath("/nonexistent/libdrovo_usbdriver.so");
    EXPECT_EQ(winusb_Connect("Belt"), nullptr);
    EXPECT_EQ(winusb_GetLastDrovoError(), DROVO_INTERNAL_ERROR);
    int token = 0;
    DrovoIoRecord record = {};
    uint8_t buffer[6];
    int32_t got = 0;
    const uint8_t bytes[] = {0x02};
    struct Case {
        const char* what;
        int result;
    };
    const Case cases[] = {
        {"read", winusb_Read(&token, &record, 6, buffer, &got, 0)},
        {"write", winusb_Write(&token, bytes, 1)},
        {"set properties", winusb_SetProperties(&token, 9600)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, -1) << c.what;
    }
    EXPECT_EQ(winusb_GetLastDrovoError(), DROVO_INTERNAL_ERROR);
    EXPECT_EQ(winusb_Close(nullptr, &record), 0);
}

TEST(WinUsbWithoutDriver, LibraryLackingAFunctionIsNotUsed) {
    // The C library is loadable but exports none of the driver's functions.
    drovo_winusb::SetDriverLibraryPath("libc.so.6");
    EXPECT_EQ(drovo_winusb::GetUsbDriver(), nullptr);
    EXPECT_EQ(winusb_Connect("Belt"), nullptr);
    EXPECT_EQ(winusb_GetLastDrovoError(), DROVO_INTERNAL_ERROR);
}

}  // namespace
