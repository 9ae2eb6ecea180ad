#include "Controller.h"
#include "TestSupport.h"

namespace {

using Segments = std::vector<std::pair<int32_t, int32_t>>;

class ControllerTest : public ManagerFixture {
  protected:
    Segments segmentsOf(int32_t id) {
        Controller* controller = FindController(&state, id);
        EXPECT_NE(nullptr, controller);
        Segments out;
        for (int32_t i = 0; controller && i < controller->segmentCount(); ++i) {
            out.emplace_back(SegmentStart(*controller, i), SegmentEnd(*controller, i));
        }
        return out;
    }
    void parse(int32_t id, std::vector<uint8_t> packet) {
        TM_ParsePacket(&state, id, packet.data(), static_cast<int32_t>(packet.size()));
    }
};

TEST_F(ControllerTest, SegmentTextIsReadInSignedBytePairs) {
    const std::vector<std::pair<std::string, Segments>> cases = {
        {"\x01\x04\x05\x08", {{1, 4}, {5, 8}}},
        {"\x01\x08\x09", {{1, 8}, {9, 0}}},
        {"", {}},
        {"\x01\xff", {{1, -1}}},
    };
    for (const auto& [text, expected] : cases) {
        ASSERT_EQ(0, TM_AddController(&state, 3));
        TM_AddSegmentToController(&state, 3, text.c_str());
        EXPECT_EQ(expected, segmentsOf(3)) << "text of " << text.size() << " bytes";
        ASSERT_EQ(0, TM_RemoveController(&state, 3));
    }
    ASSERT_EQ(0, TM_AddController(&state, 3));
    TM_AddSegmentToController(&state, 3, "\x01\x04");
    TM_AddSegmentToController(&state, 3, "\x05\x08");
    EXPECT_EQ((Segments{{1, 4}, {5, 8}}), segmentsOf(3)) << "new segments are appended";
    TM_DefaultSegmentList(&state, 3);
    EXPECT_EQ((Segments{{1, 8}}), segmentsOf(3));
    TM_AddSegmentToController(&state, 9, "\x01\x04");
    TM_DefaultSegmentList(&state, 9);
    EXPECT_EQ(nullptr, FindController(&state, 9));
}

TEST_F(ControllerTest, SegmentListRepliesReplaceTheSegments) {
    struct Case {
        const char* label;
        std::vector<uint8_t> packet;
        Segments expected;
        int32_t lastError;
    };
    const std::vector<Case> cases = {
        {"one segment", {0x24, 0x01, 2, 0x45, 8, 0xAA}, {{1, 8}}, 0},
        {"three segments", {0x24, 0x01, 4, 0x45, 3, 6, 8, 0xAA}, {{1, 3}, {4, 6}, {7, 8}}, 0},
        {"reply type not examined", {0x24, 0x77, 3, 0x45, 4, 8, 0xAA}, {{1, 4}, {5, 8}}, 0},
        {"unsigned segment bytes", {0x24, 0x01, 2, 0x45, 200, 0xAA}, {{1, 200}}, 0},
        {"no segment bytes", {0x24, 0x01, 1, 0x45, 0xAA, 0x00}, {}, HAPSET_NO_SEGMENTS},
        {"length 5", {0x24, 0x01, 2, 0x45, 8}, {{1, 2}}, 0},
        {"another reply", {0x24, 0x01, 2, 0x42, 8, 0xAA}, {{1, 2}}, 0},
        {"data count beyond the packet", {0x24, 0x01, 40, 0x45, 8, 0xAA}, {{1, 2}}, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(0, TM_AddController(&state, 1));
        TM_AddSegmentToController(&state, 1, "\x01\x02");
        state.lastError = 0;
        parse(1, c.packet);
        EXPECT_EQ(c.expected, segmentsOf(1)) << c.label;
        EXPECT_EQ(c.lastError, TM_GetLastTMError(&state)) << c.label;
        ASSERT_EQ(0, TM_RemoveController(&state, 1));
    }
}

TEST_F(ControllerTest, PacketsForUnknownControllersAndTheEndMarker) {
    parse(4, {0x24, 0x01, 2, 0x45, 8, 0xAA});
    EXPECT_EQ(nullptr, FindController(&state, 4));
    ASSERT_EQ(0, TM_AddController(&state, 4));
    TM_ParsePacket(&state, 4, nullptr, 10);
    EXPECT_NE(nullptr, FindController(&state, 4));
    TM_ParsePacket(&state, 4, nullptr, -1);
    EXPECT_EQ(nullptr, FindController(&state, 4));
}

TEST_F(ControllerTest, RegistryKeepsDuplicatesAndRemovesTheFirstMatch) {
    ASSERT_EQ(0, TM_AddController(&state, 2));
    TM_AddSegmentToController(&state, 2, "\x01\x04");
    ASSERT_EQ(0, TM_AddController(&state, 2));
    EXPECT_EQ((Segments{{1, 4}}), segmentsOf(2)) << "lookups take the first entry";
    EXPECT_EQ(0, TM_RemoveController(&state, 2));
    EXPECT_EQ(Segments{}, segmentsOf(2)) << "the second entry remains";
    EXPECT_EQ(0, TM_RemoveController(&state, 2));
    state.lastError = 77;
    EXPECT_EQ(-1, TM_RemoveController(&state, 2));
    EXPECT_EQ(77, TM_GetLastTMError(&state));
}

TEST_F(ControllerTest, RegistryHoldsAtMost64) {
    for (int32_t id = 0; id < 64; ++id) {
        ASSERT_EQ(0, TM_AddController(&state, id));
    }
    EXPECT_EQ(-1, TM_AddController(&state, 64));
    EXPECT_EQ(HAPSET_REGISTRY_FULL, TM_GetLastTMError(&state));
    EXPECT_EQ(64u, state.controllers->controllers.size());
    EXPECT_EQ(nullptr, FindController(&state, 64));
    EXPECT_EQ(0, TM_RemoveAllControllers(&state));
    EXPECT_TRUE(state.controllers->controllers.empty());
}

TEST(ControllerRegistry, AddingNeedsAnInitialisedState) {
    HapsetManagerState state{};
    EXPECT_EQ(-1, TM_AddController(&state, 1));
    EXPECT_EQ(HAPSET_NOT_INITIALISED, TM_GetLastTMError(&state));
    EXPECT_EQ(-1, TM_RemoveController(&state, 1));
    TM_ReleaseHapsetManagerState(&state);
}

TEST(ControllerSegments, IndexesOutsideTheListAnswerNoSegment) {
    Controller controller;
    AddSegment(controller, 1, 8);
    AddSegment(controller, 9, 16);
    EXPECT_EQ(8, SegmentSize(controller, 1));
    EXPECT_EQ(9, SegmentStart(controller, 1));
    EXPECT_EQ(16, SegmentEnd(controller, 1));
    for (int32_t index : {2, -1}) {
        EXPECT_EQ(0, SegmentSize(controller, index));
        EXPECT_EQ(-1, SegmentStart(controller, index));
        EXPECT_EQ(-1, SegmentEnd(controller, index));
    }
}

}  // namespace
