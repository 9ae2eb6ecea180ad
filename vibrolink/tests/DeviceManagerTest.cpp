// The device manager on scripted platforms: discovery order, limits and names, settings pushed
// into devices, and the "not initialised" line of every method.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Device.h"
#include "DeviceManager.h"
#include "ScriptedPlatform.h"
#include "StdoutCapture.h"

namespace {

void NoTactorState(int32_t, int32_t, int32_t, int32_t) {}

class DeviceManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_serial.SetAutoReply(ScriptedPlatform::AckEverything());
        m_usb.SetAutoReply(ScriptedPlatform::AckEverything());
        m_previousSerial = InstallPlatformForTesting(1, &m_serial);
        m_previousUsb = InstallPlatformForTesting(2, &m_usb);
        m_manager.SetInitialized();
    }
    void TearDown() override {
        m_manager.CloseALL();
        InstallPlatformForTesting(1, m_previousSerial);
        InstallPlatformForTesting(2, m_previousUsb);
    }

    struct Entry {
        std::string name;
        int32_t type;
        bool operator==(const Entry& other) const {
            return name == other.name && type == other.type;
        }
    };
    std::vector<Entry> Discover(int32_t mask, int32_t limit) {
        int32_t count = m_manager.DiscoverDevicesLimited(mask, limit, &m_cancel);
        std::vector<Entry> entries;
        for (int32_t i = 0; i < count; ++i)
            entries.push_back(
                {m_manager.GetDiscoveredDeviceName(i), m_manager.GetDiscoveredDeviceType(i)});
        return entries;
    }

    ScriptedPlatform m_serial;
    ScriptedPlatform m_usb;
    PlatformInterface* m_previousSerial = nullptr;
    PlatformInterface* m_previousUsb = nullptr;
    CancelFlag m_cancel{0};
    DeviceManager m_manager;
};

TEST_F(DeviceManagerTest, DiscoveryAsksSerialFirstAndListsConnectedPorts) {
    m_serial.SetDiscoveredNames({"COM3", "COM4"});
    m_usb.SetDiscoveredNames({"USB-A", "USB-B"});
    ASSERT_EQ(m_manager.Connect("COM7", 1, nullptr), 0);
    ASSERT_EQ(m_manager.Connect("USB-9", 2, nullptr), 1);

    // USB is asked with what serial discovery left of the limit.
    EXPECT_EQ(
        Discover(3, 3),
        (std::vector<Entry>{{"COM3", 1}, {"COM4", 1}, {"COM7", 1}, {"USB-A", 2}, {"USB-9", 2}}));
    // A limit used up by serial discovery leaves USB unasked.
    EXPECT_EQ(Discover(3, 2), (std::vector<Entry>{{"COM3", 1}, {"COM4", 1}, {"COM7", 1}}));
    // A connected USB device is listed although USB discovery finds nothing.
    m_usb.SetDiscoveredNames({});
    EXPECT_EQ(Discover(2, -1), (std::vector<Entry>{{"USB-9", 2}}));
    EXPECT_EQ(Discover(0, -1), std::vector<Entry>{});
}

TEST_F(DeviceManagerTest, DiscoveredNamesKeepAtMost255Characters) {
    m_serial.SetDiscoveredNames({std::string(300, 'n'), std::string(255, 'm')});
    std::vector<Entry> entries = Discover(1, -1);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, std::string(255, 'n'));
    EXPECT_EQ(entries[1].name, std::string(255, 'm'));
}

TEST_F(DeviceManagerTest, SettingsReachTheDevicesTheyShould) {
    m_manager.SetTactorStateCallback(NoTactorState);
    ASSERT_EQ(m_manager.Connect("COM7", 1, nullptr), 0);
    m_manager.SetDeviceCloseOnNak(1);
    ASSERT_EQ(m_manager.Connect("COM8", 1, nullptr), 1);
    for (int32_t id : {0, 1}) {
        EXPECT_TRUE(m_manager.WithDevice(id, [](Device& device) {
            EXPECT_EQ(device.m_bCloseOnNak.load(), 1);
            // The callback was set before these devices existed; the manager keeps no copy.
            EXPECT_EQ(device.m_pTactorStateCallback.load(), nullptr);
        }));
    }
    m_manager.SetTactorStateCallback(NoTactorState);
    m_manager.SetTactorStateCallback(nullptr);
    m_manager.SetDeviceCloseOnNak(0);
    EXPECT_TRUE(m_manager.WithDevice(0, [](Device& device) {
        EXPECT_EQ(device.m_pTactorStateCallback.load(), &NoTactorState);
        EXPECT_EQ(device.m_bCloseOnNak.load(), 0);
    }));
}

TEST_F(DeviceManagerTest, FailedConnectLeavesTheDevicesCodeAndFreesTheId) {
    m_serial.SetConnectResult(-1, 202011);
    StdoutCapture capture;
    EXPECT_EQ(m_manager.Connect("COM7", 1, nullptr), -1);
    std::string log = capture.Finish();
    EXPECT_NE(log.find("[TI:DM] ERROR DeviceManager::Connect DeviceManager 136\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(m_manager.GetLastDMError(), 202001);
    m_serial.SetConnectResult(0, 0);
    EXPECT_EQ(m_manager.Connect("COM7", 1, nullptr), 0);
}

TEST_F(DeviceManagerTest, UpdateReportsADeviceErrorOnceAndClearsMoreToRead) {
    // Devices without a thread, marked connected, so that only their errors decide.
    const int32_t first = m_manager.AddFalseConnectedDevice();
    const int32_t second = m_manager.AddFalseConnectedDevice();
    auto setDevice = [this](int32_t id, int32_t connected, int32_t error) {
        EXPECT_TRUE(m_manager.WithDevice(id, [=](Device& device) {
            device.m_iConnected = connected;
            device.m_iLastError = error;
        }));
    };
    setDevice(first, 1, 202010);
    setDevice(second, 1, 204010);
    {
        StdoutCapture capture;
        EXPECT_EQ(m_manager.Update(), 204010);
        EXPECT_EQ(capture.Finish(),
                  "[TI] Tactor device 0 has more to read.\n"
                  "[TI:DM] ERROR DeviceManager::Update DeviceManager 109\n"
                  "[TI] Error With Tactor Device 1\n"
                  "[TI:DM] GetLastDMError non-zero: 204010\n");
    }
    EXPECT_EQ(m_manager.GetLastDMError(), 204010);
    EXPECT_TRUE(m_manager.WithDevice(
        first, [](Device& device) { EXPECT_EQ(device.m_iLastError.load(), 0); }));
    // Once the client clears the manager's error, the reported device no longer stops the
    // sweep, and a device that has stopped behind it is removed.
    m_manager.ClearLastDMError();
    setDevice(first, 0, 0);
    EXPECT_EQ(m_manager.Update(), 0);
    EXPECT_EQ(m_manager.GetDeviceCount(), 1);
    setDevice(second, 0, 0);
}

struct UninitialisedCase {
    std::function<void(DeviceManager&)> call;
    const char* line;
};

TEST(DeviceManagerUninitialisedTest, EveryMethodLogsItsLineAndSets202000) {
    Action* none[1] = {nullptr};
    const uint8_t bytes[1] = {0};
    const std::vector<UninitialisedCase> cases = {
        {[](DeviceManager& m) { m.FindDeviceIndex(0); }, "FindDeviceIndex DeviceManager 49"},
        {[](DeviceManager& m) { m.Update(); }, "Update DeviceManager 65"},
        {[](DeviceManager& m) { m.Connect("COM1", 1, nullptr); }, "Connect DeviceManager 123"},
        {[](DeviceManager& m) { m.GetDiscoveredDeviceName(0); },
         "GetDiscoveredDeviceName DeviceManager 155"},
        {[](DeviceManager& m) { m.GetDiscoveredDeviceType(0); },
         "GetDiscoveredDeviceType DeviceManager 171"},
        {[](DeviceManager& m) { m.Close(0); }, "Close DeviceManager 188"},
        {[](DeviceManager& m) { m.SetDeviceCloseOnNak(1); },
         "SetDeviceCloseOnNak DeviceManager 220"},
        {[](DeviceManager& m) { m.CloseALL(); }, "CloseALL DeviceManager 234"},
        {[](DeviceManager& m) { m.DiscoverDevicesLimited(1, -1, nullptr); },
         "DiscoverDevicesLimited DeviceManager 290"},
        {[](DeviceManager& m) { m.GetDeviceCount(); }, "GetDeviceCount DeviceManager 350"},
        {[&none](DeviceManager& m) { m.AddActions(none, 1, 0); }, "AddActions DeviceManager 361"},
        {[](DeviceManager& m) { m.SetTactorStateCallback(NoTactorState); },
         "SetTactorStateCallback DeviceManager 387"},
        {[](DeviceManager& m) { m.SetOutgoingDataCallback(nullptr); },
         "SetOutgoingDataCallback DeviceManager 403"},
        {[&bytes](DeviceManager& m) { m.WriteToBoard(0, bytes, 1); },
         "WriteToBoard DeviceManager 418"},
    };
    for (const UninitialisedCase& c : cases) {
        DeviceManager manager;
        StdoutCapture capture;
        c.call(manager);
        EXPECT_EQ(capture.Finish(), std::string("[TI:DM] ERROR DeviceManager::") + c.line + "\n");
        EXPECT_EQ(manager.GetLastDMError(), 202000) << c.line;
    }
}

}  // namespace
