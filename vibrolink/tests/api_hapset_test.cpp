// The Hapset functions' own rules, through the exports: arguments the wrappers check themselves,
// the Hapset manager's codes passed on, and the play's send step.
#include <string>

#include "ApiTestSupport.h"

namespace {

// A pulse running over the four tactors of one segment, 100 ms apart.
struct RunningPulse {
    int32_t header[3] = {10, 4, 1};
    int32_t segments[2] = {1, 4};
    int32_t actionHeaders[16] = {0, 1, 1, 0, 10, 1, 1, 0, 20, 1, 1, 0, 30, 1, 1, 0};
    double data[4] = {100, 100, 100, 100};
    int32_t locations[4] = {1, 2, 3, 4};
};

class HapsetBridgeTest : public KitTest {
  protected:
    // Loads the running pulse without a database: the save fails, the Hapset stays loaded.
    void LoadRunningPulse() {
        RunningPulse h;
        StdoutCapture capture;
        EXPECT_EQ(SaveNonLoadedHapset(0, "running", h.header, h.segments, h.actionHeaders, h.data,
                                      h.locations),
                  -1);
        EXPECT_EQ(capture.Finish(), "saving hapset with name running");
        EXPECT_EQ(GetLastDrovoError(), 402008);
        ASSERT_EQ(GetLoadedHapsetSize(), 1);
        SetLastDrovoError(0);
    }
};

TEST_F(HapsetBridgeTest, ArgumentsTheWrappersRefuseThemselves) {
    EXPECT_EQ(PlayHapsetToSegment(0, 0, 1, -1, 1.0f, 1.0f, 1.0f, 1.0f), -1);
    EXPECT_EQ(GetLastDrovoError(), 402002);
    char id[36];
    EXPECT_EQ(GetHapset("running", id, nullptr, nullptr, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(GetLastDrovoError(), 202002);
}

TEST_F(HapsetBridgeTest, ManagerFailuresBecomeTheLastError) {
    EXPECT_EQ(GetHapsetName(3), nullptr);
    EXPECT_EQ(GetLastDrovoError(), 402004);
    EXPECT_EQ(LoadHapsetDatabase("/nonexistent/hapsets.db"), -1);
    EXPECT_EQ(GetLastDrovoError(), 402016);
    EXPECT_EQ(GetHapsetDuration(0), -1);
    EXPECT_EQ(GetLastDrovoError(), 402013);
    EXPECT_EQ(CanHapsetMap(9, 0, 1), -1);
    EXPECT_EQ(GetLastDrovoError(), 402004);
}

TEST_F(HapsetBridgeTest, PlayQueuesOnTheDeviceAndNeedsOne) {
    LoadRunningPulse();
    int32_t id = AddFalseDevice();
    EXPECT_EQ(CanHapsetMap(id, 0, 3), 0);
    EXPECT_EQ(PlayHapset(id, 0, 3, 1.0f, 1.0f, 1.0f, 1.0f), 0);
    EXPECT_EQ(GetLastDrovoError(), 0);
    // The sweep removes the device but not its controller: the Hapset would still map, but
    // there is no device left to play it on.
    EXPECT_EQ(UpdateTI(), 0);
    EXPECT_EQ(CanHapsetMap(id, 0, 3), 0);
    EXPECT_EQ(PlayHapset(id, 0, 3, 1.0f, 1.0f, 1.0f, 1.0f), -1);
    EXPECT_EQ(GetLastDrovoError(), 402001);
}

TEST_F(HapsetBridgeTest, PlayOnAnotherIdIsRefusedByTheManager) {
    LoadRunningPulse();
    int32_t id = AddFalseDevice();
    int32_t other = AddFalseDevice();
    EXPECT_EQ(Close(other), 0);
    // The closed device's controller is gone, so the Hapset manager refuses first.
    EXPECT_EQ(PlayHapset(other, 0, 1, 1.0f, 1.0f, 1.0f, 1.0f), -1);
    EXPECT_EQ(GetLastDrovoError(), 402004);
    SetLastDrovoError(0);
    EXPECT_EQ(PlayHapset(id, 0, 1, 1.0f, 1.0f, 1.0f, 1.0f), 0);
}

TEST_F(HapsetBridgeTest, RemapPrintsTheNameFirst) {
    LoadRunningPulse();
    int32_t id = AddFalseDevice();
    RunningPulse out;
    char identifier[36];
    StdoutCapture capture;
    EXPECT_EQ(RemapHapset(id, "running", identifier, out.header, out.segments, out.actionHeaders,
                          out.data, out.locations, 3),
              0);
    std::string log = capture.Finish();
    EXPECT_EQ(log.rfind("name given to remap = running", 0), 0u) << log;
    EXPECT_EQ(out.locations[0], 3);
    EXPECT_EQ(out.locations[1], 4);
    EXPECT_EQ(out.locations[2], 1);
    EXPECT_EQ(out.locations[3], 2);
}

}  // namespace
