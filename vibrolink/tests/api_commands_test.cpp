// The command functions' error rules, driven through the exports on a device without a
// controller (its commands queue but are never sent).
#include <functional>
#include <vector>

#include "ApiTestSupport.h"

namespace {

constexpr int32_t kUnknownId = 40;

struct CommandCase {
    const char* name;
    std::function<int32_t(int32_t)> call;
    int32_t result;
    int32_t lastError;
};

const uint8_t kStates[8] = {1, 0, 1, 0, 1, 0, 1, 0};

const std::vector<CommandCase>& CommandCases() {
    static const std::vector<CommandCase> cases = {
        // Group A: refused arguments are 203000.
        {"Pulse", [](int32_t id) { return Pulse(id, 3, 100, 5); }, 0, 0},
        {"Pulse 5 ms", [](int32_t id) { return Pulse(id, 3, 5, 0); }, -1, 203000},
        {"Pulse tactor 65", [](int32_t id) { return Pulse(id, 65, 100, 0); }, -1, 203000},
        {"ChangeGain 0", [](int32_t id) { return ChangeGain(id, 1, 0, 0); }, -1, 203000},
        {"ChangeFreq 299", [](int32_t id) { return ChangeFreq(id, 1, 299, 0); }, -1, 203000},
        {"ChangeFreq tactor 65", [](int32_t id) { return ChangeFreq(id, 65, 300, 0); }, 0, 0},
        {"ChangeSigSource 8", [](int32_t id) { return ChangeSigSource(id, 1, 8, 0); }, -1, 203000},
        {"RampGain", [](int32_t id) { return RampGain(id, 1, 10, 200, 500, 0, 0); }, 0, 0},
        {"RampFreq 5 ms", [](int32_t id) { return RampFreq(id, 1, 300, 900, 5, 0, 0); }, -1,
         203000},
        {"SendActionWait 9 ms", [](int32_t id) { return SendActionWait(id, 9, 0); }, -1, 203000},
        {"TactorSelfTest delay 256", [](int32_t id) { return TactorSelfTest(id, 256); }, -1,
         203000},
        {"ReadSegmentList", [](int32_t id) { return ReadSegmentList(id, 0); }, 0, 0},
        {"ReadBatteryLevel delay 255", [](int32_t id) { return ReadBatteryLevel(id, 255); }, 0, 0},
        // Group B: refused arguments are -1.
        {"ReadFW", [](int32_t id) { return ReadFW(id); }, 0, 0},
        {"Stop", [](int32_t id) { return Stop(id); }, 0, 0},
        {"SetTactors", [](int32_t id) { return SetTactors(id, 0, kStates); }, 0, 0},
        {"SetTactors without states", [](int32_t id) { return SetTactors(id, 0, nullptr); }, -1,
         202002},
        {"SetTactorType 0x13", [](int32_t id) { return SetTactorType(id, 0, 1, 0x13); }, -1, -1},
        {"SetTactorType 0x22", [](int32_t id) { return SetTactorType(id, 0, 1, 0x22); }, 0, 0},
        {"PlayStoredHapset slot 10", [](int32_t id) { return PlayStoredHapset(id, 0, 10); }, -1,
         -1},
        {"SetFreqTimeDelay", [](int32_t id) { return SetFreqTimeDelay(id, 2); }, 0, 0},
    };
    return cases;
}

class CommandTest : public KitTest {};

TEST_F(CommandTest, ResultAndLastErrorFollowTheGroupRules) {
    int32_t id = AddFalseDevice();
    ASSERT_GE(id, 0);
    for (const CommandCase& c : CommandCases()) {
        SetLastDrovoError(0);
        EXPECT_EQ(c.call(id), c.result) << c.name;
        EXPECT_EQ(GetLastDrovoError(), c.lastError) << c.name;
    }
}

TEST_F(CommandTest, EveryCommandOnAnUnknownIdFailsWithBadParameter) {
    for (const CommandCase& c : CommandCases()) {
        SetLastDrovoError(0);
        EXPECT_EQ(c.call(kUnknownId), -1) << c.name;
        EXPECT_EQ(GetLastDrovoError(), 202002) << c.name;
    }
}

TEST_F(CommandTest, UnknownIdLogsTheManagerErrorAndKeepsItForUpdates) {
    StdoutCapture capture;
    EXPECT_EQ(Pulse(kUnknownId, 1, 100, 0), -1);
    std::string log = capture.Finish();
    EXPECT_EQ(log,
              "[TI:DM] ERROR DeviceManager::FindDeviceIndex DeviceManager 58\n"
              "[TI:DM] GetLastDMError non-zero: 202002\n");
    EXPECT_EQ(GetLastDrovoError(), 202002);
}

TEST_F(CommandTest, FullListIsSilentForGroupAAndRefusedForGroupB) {
    int32_t id = AddFalseDevice();
    // Until the firmware reply arrives a device holds 63 records.
    for (int i = 0; i < 63; ++i)
        ASSERT_EQ(Pulse(id, 1, 100, 0), 0) << i;
    StdoutCapture capture;
    EXPECT_EQ(Pulse(id, 1, 100, 0), 0);
    EXPECT_EQ(GetLastDrovoError(), 0);
    // Group B copies the manager's error, which the device's refusal does not set.
    EXPECT_EQ(ReadFW(id), -1);
    EXPECT_EQ(GetLastDrovoError(), 0);
    EXPECT_EQ(capture.Finish(),
              "[TI:D] ERROR Device::AddToList Device 1460\n"
              "[TI:D] ERROR Device::AddToList Device 1460\n");
}

TEST_F(CommandTest, StoringHapsetCannotBeginTwice) {
    int32_t id = AddFalseDevice();
    EXPECT_EQ(FinishStoreHapset(id), 0);
    EXPECT_EQ(BeginStoreHapset(id, 1), 0);
    EXPECT_EQ(BeginStoreHapset(id, 2), -1);
    EXPECT_EQ(GetLastDrovoError(), 602000);
    EXPECT_EQ(FinishStoreHapset(id), 0);
    EXPECT_EQ(BeginStoreHapset(id, 3), 0);
    // A refused slot leaves the device free to begin.
    int32_t other = AddFalseDevice();
    EXPECT_EQ(BeginStoreHapset(other, 10), -1);
    EXPECT_EQ(GetLastDrovoError(), -1);
    EXPECT_EQ(BeginStoreHapset(other, 9), 0);
}

TEST_F(CommandTest, TimeFactorAcceptsOnlyByteValues) {
    EXPECT_EQ(SetTimeFactor(256), -1);
    EXPECT_EQ(GetLastDrovoError(), 202002);
    SetLastDrovoError(0);
    EXPECT_EQ(SetTimeFactor(0), 0);
    EXPECT_EQ(SetTimeFactor(255), 0);
    EXPECT_EQ(SetTimeFactor(10), 0);
    EXPECT_EQ(GetLastDrovoError(), 0);
}

TEST_F(CommandTest, VersionAndLastErrorPair) {
    EXPECT_STREQ(GetVersionNumber(), "1.0.6.0");
    EXPECT_EQ(SetLastDrovoError(1234), 1234);
    EXPECT_EQ(GetLastDrovoError(), 1234);
    // A successful call leaves the error alone.
    EXPECT_EQ(SetTimeFactor(10), 0);
    EXPECT_EQ(GetLastDrovoError(), 1234);
}

TEST_F(CommandTest, WriteToBoardChecksItsArguments) {
    int32_t id = AddFalseDevice();
    const uint8_t bytes[] = {0x02, 0x00};
    EXPECT_EQ(WriteToBoard(id, nullptr, 2), -1);
    EXPECT_EQ(GetLastDrovoError(), 202002);
    EXPECT_EQ(WriteToBoard(id, bytes, 0), -1);
    EXPECT_EQ(GetLastDrovoError(), 202002);
    SetLastDrovoError(0);
    EXPECT_EQ(WriteToBoard(kUnknownId, bytes, 2), -1);
    EXPECT_EQ(GetLastDrovoError(), 202012);
}

}  // namespace
