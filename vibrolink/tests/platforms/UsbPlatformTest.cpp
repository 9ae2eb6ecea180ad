// The USB platform binds the USB module at its first call and fails cleanly without it.
// The case without the module comes first: a module once loaded stays loaded.
#include <gtest/gtest.h>

#include "DeviceTestSupport.h"
#include "DrovoErrorCodes.h"
#include "PlatformWinUSB.h"
#include "SimController.h"
#include "StdoutCapture.h"
#include "WinUsbModule.h"

namespace {

Device* DeviceNamed(const char* name) {
    Device* device = new Device();
    SetPortName(device, name);
    return device;
}

TEST(UsbPlatform, WithoutTheModuleConnectFailsAndSerialStillWorks) {
    SetWinUsbModulePathForTesting("/nonexistent/libdrovo_winusb.so");
    PlatformWinUSB platform;
    Device* device = DeviceNamed("TDK Belt 1");
    StdoutCapture capture;
    EXPECT_EQ(platform.Connect(device), -1);
    std::string output = capture.Finish();
    const std::string tail =
        "[TI:D] ERROR PlatformWinUSB::Connect PlatformWinUSB 52\n"
        "[TI:D] ERROR Handle Set 0\n";
    ASSERT_GE(output.size(), tail.size());
    EXPECT_EQ(output.substr(output.size() - tail.size()), tail);
    EXPECT_NE(output.find("[PlatformWinUSB] Cannot load libdrovo_winusb.so: "), std::string::npos);
    EXPECT_EQ(device->m_iLastError, DROVO_INTERNAL_ERROR);
    EXPECT_EQ(device->m_hConnection, nullptr);
    Device::Destroy(device);

    drovo_sim::SimController sim;
    Device* serial = new Device();
    CancelFlag cancel{0};
    EXPECT_EQ(serial->Connect(sim.PortName().c_str(), PLATFORM_TYPE_SERIAL, nullptr, &cancel), 0);
    Device::Destroy(serial);
    SetWinUsbModulePathForTesting(nullptr);
}

TEST(UsbPlatform, ConnectWithANameNoControllerCarriesKeepsTheModulesCode) {
    PlatformWinUSB platform;
    ASSERT_NE(GetWinUsbModule(), nullptr) << "the module is built beside this library";
    Device* device = DeviceNamed("no such controller");
    StdoutCapture capture;
    EXPECT_EQ(platform.Connect(device), -1);
    EXPECT_EQ(capture.Finish(),
              "[TI:D] ERROR PlatformWinUSB::Connect PlatformWinUSB 52\n"
              "[TI:D] ERROR Handle Set 0\n");
    EXPECT_EQ(device->m_iLastError, GetWinUsbModule()->GetLastDrovoError());
    Device::Destroy(device);
}

TEST(UsbPlatform, DiscoverIsNotWritten) {
    PlatformWinUSB platform;
    std::vector<std::string> names{"left over"};
    CancelFlag cancel{0};
    StdoutCapture capture;
    EXPECT_EQ(platform.Discover(names, &cancel, 0), -1);
    std::string output = capture.Finish();
    const std::string line = "[PlatformWinUSB] DISCOVER ROUTINE NOT WRITTEN!\n";
    ASSERT_GE(output.size(), line.size());
    EXPECT_EQ(output.substr(output.size() - line.size()), line);
    EXPECT_EQ(platform.Init(), 0);
}

TEST(PlatformSelection, TypesOneAndTwoAreTheSerialAndUsbPlatforms) {
    EXPECT_NE(dynamic_cast<PlatformWinUSB*>(GetPlatformInterface(PLATFORM_TYPE_USB)), nullptr);
    EXPECT_EQ(GetPlatformInterface(PLATFORM_TYPE_SERIAL),
              GetPlatformInterface(PLATFORM_TYPE_SERIAL));
    EXPECT_EQ(GetPlatformInterface(PLATFORM_TYPE_SERIAL)->Init(), 0);
}

}  // namespace
