#include <atomic>
#include <thread>

#include "ManagerState.h"
#include "TestSupport.h"

namespace {

using ConcurrencyTest = ManagerFixture;

// A device thread keeps replacing the controller's segments, and now and then drops it and
// has it registered again, while a client thread plays. Every play must see a whole segment
// list: either the two-segment layout the Hapset fits (and the placed tactors come out) or the
// one-segment layout it does not fit, or no controller at all.
TEST_F(ConcurrencyTest, PlaysNeverSeeAHalfReplacedSegmentList) {
    Hapset hapset("pair");
    hapset.timeFactor = 10;
    hapset.segments = {{1, 8}, {9, 16}};
    hapset.actions = {makeAction(0, 0, {100}, {1}), makeAction(0, 0, {100}, {9})};
    Loaded(&state).push_back(std::make_unique<Hapset>(hapset));
    ASSERT_EQ(0, TM_AddController(&state, 7));

    constexpr int kRounds = 3000;
    std::atomic<bool> done{false};
    std::thread device([&] {
        const uint8_t twoSegments[] = {0x24, 0x01, 3, 0x45, 8, 16, 0xAA};
        const uint8_t oneSegment[] = {0x24, 0x01, 2, 0x45, 16, 0xAA};
        for (int i = 0; !done; ++i) {
            if (i % 97 == 96) {
                TM_ParsePacket(&state, 7, nullptr, -1);
                TM_AddController(&state, 7);
            } else if (i % 2 == 0) {
                TM_ParsePacket(&state, 7, twoSegments, sizeof twoSegments);
            } else {
                TM_ParsePacket(&state, 7, oneSegment, sizeof oneSegment);
            }
        }
    });

    int played = 0;
    for (int round = 0; round < kRounds; ++round) {
        HapsetOutput output{};
        const int32_t result = TM_PlayHapset(&state, 7, &output, 0, 3, -1, 1, 1, 1, 1);
        if (result >= 0) {
            ++played;
            ASSERT_EQ(2, result);
            EXPECT_EQ(3, output.actionList[0]->data[0]);
            EXPECT_EQ(11, output.actionList[1]->data[0]);
        } else {
            const int32_t code = TM_GetLastTMError(&state);
            EXPECT_TRUE(code == HAPSET_CANNOT_MAP || code == HAPSET_NO_CONTROLLER) << code;
        }
        TM_ReleaseHapsetOutput(&output);
    }
    done = true;
    device.join();
    RecordProperty("successfulPlays", played);
}

}  // namespace
