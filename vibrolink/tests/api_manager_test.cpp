// Device IDs, the update sweep and the manager's error, through the exports. Devices without a
// controller stand in for connected ones where only the manager's bookkeeping matters.
#include <vector>

#include "ApiTestSupport.h"

namespace {

class ManagerTest : public KitTest {};

TEST_F(ManagerTest, IdsAreTheSmallestFreeNumbers) {
    EXPECT_EQ(AddFalseDevice(), 0);
    EXPECT_EQ(AddFalseDevice(), 1);
    EXPECT_EQ(AddFalseDevice(), 2);
    EXPECT_EQ(Close(1), 0);
    EXPECT_EQ(AddFalseDevice(), 1);
    EXPECT_EQ(AddFalseDevice(), 3);
}

TEST_F(ManagerTest, SixtySixthDeviceGetsNoId) {
    for (int32_t id = 0; id <= 64; ++id)
        ASSERT_EQ(AddFalseDevice(), id);
    StdoutCapture capture;
    EXPECT_EQ(Connect("/dev/null", 1, nullptr), -1);
    EXPECT_EQ(GetLastDrovoError(), 204011);
    EXPECT_EQ(capture.Finish(),
              "[TI:DM] ERROR DeviceManager::CreateNewID DeviceManager 282\n"
              "[TI:DM] GetLastDMError non-zero: 204011\n");
    SetLastDrovoError(0);
    EXPECT_EQ(AddFalseDevice(), -1);
    EXPECT_EQ(GetLastDrovoError(), 204011);
}

TEST_F(ManagerTest, UpdateSweepsDevicesThatAreNotConnected) {
    int32_t id = AddFalseDevice();
    EXPECT_EQ(Pulse(id, 1, 100, 0), 0);
    EXPECT_EQ(UpdateTI(), 0);
    EXPECT_EQ(Pulse(id, 1, 100, 0), -1);
    EXPECT_EQ(GetLastDrovoError(), 202002);
}

TEST_F(ManagerTest, ManagerErrorStopsTheSweepUntilTheClientClearsIt) {
    int32_t id = AddFalseDevice();
    EXPECT_EQ(Pulse(id + 1, 1, 100, 0), -1);
    for (int i = 0; i < 2; ++i) {
        StdoutCapture capture;
        EXPECT_EQ(UpdateTI(), 202002);
        EXPECT_EQ(capture.Finish(), "[TI] Error With Dezidu Dudirider 202002\n");
    }
    // The device was not swept meanwhile.
    EXPECT_EQ(Pulse(id, 1, 100, 0), 0);
    // Clearing the last error clears the manager's too, so the sweep comes back.
    SetLastDrovoError(0);
    EXPECT_EQ(UpdateTI(), 0);
    EXPECT_EQ(Pulse(id, 1, 100, 0), -1);
}

TEST_F(ManagerTest, CloseOfAnUnknownIdLeavesItsCodeInTheManager) {
    int32_t id = AddFalseDevice();
    {
        StdoutCapture capture;
        EXPECT_EQ(Close(id + 1), -1);
        EXPECT_EQ(capture.Finish(), "[TI:DM] ERROR Cannot Close Device  -1\n");
    }
    EXPECT_EQ(GetLastDrovoError(), 0);
    {
        StdoutCapture capture;
        EXPECT_EQ(UpdateTI(), 402001);
        EXPECT_EQ(capture.Finish(),
                  "[TI:DM] GetLastDMError non-zero: 402001\n"
                  "[TI:DM] GetLastDMError non-zero: 402001\n"
                  "[TI] Error With DeviceManager 402001\n"
                  "[TI:DM] GetLastDMError non-zero: 402001\n"
                  "[TI] Error With  Device Manager 402001\n");
    }
    EXPECT_EQ(GetLastDrovoError(), 402001);
    EXPECT_EQ(Pulse(id, 1, 100, 0), 0);
}

TEST_F(ManagerTest, CloseAllEmptiesTheManager) {
    std::vector<int32_t> ids = {AddFalseDevice(), AddFalseDevice(), AddFalseDevice()};
    EXPECT_EQ(CloseAll(), 0);
    for (int32_t id : ids) {
        EXPECT_EQ(Pulse(id, 1, 100, 0), -1);
        SetLastDrovoError(0);
    }
    EXPECT_EQ(AddFalseDevice(), 0);
}

TEST_F(ManagerTest, DiscoveryIndexesAreChecked) {
    EXPECT_EQ(Discover(0), 0);
    EXPECT_EQ(GetDiscoveredDeviceName(0), nullptr);
    EXPECT_EQ(GetLastDrovoError(), 202002);
    SetLastDrovoError(0);
    EXPECT_EQ(GetDiscoveredDeviceType(-1), 0);
    EXPECT_EQ(GetLastDrovoError(), 202002);
}

TEST_F(ManagerTest, ShutdownClosesDevicesAndKeepsTheLibraryUsable) {
    int32_t id = AddFalseDevice();
    EXPECT_EQ(ShutdownTI(), 0);
    EXPECT_EQ(Pulse(id, 1, 100, 0), -1);
    EXPECT_EQ(GetLastDrovoError(), 202002);
    SetLastDrovoError(0);
    EXPECT_EQ(AddFalseDevice(), 0);
}

}  // namespace
