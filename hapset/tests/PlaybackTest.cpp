#include <cstring>

#include "HapsetJson.h"
#include "ManagerState.h"
#include "Placement.h"
#include "Playback.h"
#include "TestSupport.h"

namespace {

Controller controllerWith(std::vector<std::pair<int32_t, int32_t>> segments) {
    Controller controller;
    for (auto [first, last] : segments) {
        AddSegment(controller, first, last);
    }
    return controller;
}

std::vector<int32_t> locationsOf(const Hapset& hapset) {
    std::vector<int32_t> out;
    for (const TimedAction& action : hapset.actions) {
        out.insert(out.end(), action.tactorLocations.begin(), action.tactorLocations.end());
    }
    return out;
}

// One pulse per location, in the two 8-tactor segments the test controller has.
Hapset pulsesAt(std::vector<int32_t> locations) {
    std::vector<TimedAction> actions;
    for (int32_t location : locations) {
        actions.push_back(makeAction(ACTION_PULSE, 0, {100}, {location}));
    }
    return makeHapset("pulses", 10, {{1, 8}, {9, 16}}, actions);
}

class PlaybackTest : public ManagerFixture {
  protected:
    HapsetOutput output{};
    void TearDown() override {
        TM_ReleaseHapsetOutput(&output);
        ManagerFixture::TearDown();
    }
    void load(const Hapset& hapset) { Loaded(&state).push_back(std::make_unique<Hapset>(hapset)); }
    void addController(int32_t id, const char* segmentText) {
        ASSERT_EQ(0, TM_AddController(&state, id));
        TM_AddSegmentToController(&state, id, segmentText);
    }
    // The tactor byte of each pulse Action in the output.
    std::vector<int32_t> pulsedTactors() {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < output.actionCount; ++i) {
            EXPECT_EQ(0x11, output.actionList[i]->command);
            out.push_back(output.actionList[i]->data[0]);
        }
        return out;
    }
};

TEST(Placement, TactorPlacementWrapsWithinSegments) {
    const Controller controller = controllerWith({{1, 8}, {9, 16}});
    const std::vector<std::tuple<int32_t, std::vector<int32_t>, std::vector<int32_t>>> cases = {
        {3, {1, 8, 0}, {3, 2, 0}},
        {11, {1, 8, 9, 0}, {11, 10, 3, 0}},
        {1, {1, 8, 9, 16}, {1, 8, 9, 16}},
        {NO_REMAP, {1, 8, 9}, {1, 8, 9}},
    };
    for (const auto& [tactor, before, after] : cases) {
        Hapset hapset = pulsesAt(before);
        EXPECT_TRUE(tactor == NO_REMAP || CanMapToTactor(hapset, controller, tactor)) << tactor;
        RemapToTactor(hapset, controller, tactor);
        EXPECT_EQ(after, locationsOf(hapset)) << "tactor " << tactor;
    }
}

TEST(Placement, SegmentPlacementMovesTheReferenceSegment) {
    const Controller controller = controllerWith({{1, 8}, {9, 16}});
    const std::vector<std::tuple<int32_t, int32_t, std::vector<int32_t>, std::vector<int32_t>>>
        cases = {
            {1, 2, {1, 9, 0}, {9, 1, 0}},
            {3, 1, {1, 8, 9}, {3, 2, 11}},
            {1, NO_REMAP, {1, 9}, {1, 9}},
            {NO_REMAP, 2, {1, 9}, {1, 9}},
        };
    for (const auto& [tactor, segment, before, after] : cases) {
        Hapset hapset = pulsesAt(before);
        RemapToSegment(hapset, controller, tactor, segment);
        EXPECT_EQ(after, locationsOf(hapset)) << "tactor " << tactor << " segment " << segment;
    }
}

TEST(Placement, MappingChecksCompareSegmentSizes) {
    const Controller halves = controllerWith({{1, 4}, {5, 8}});
    const Hapset wide = makeHapset("wide", 10, {{1, 8}}, {makeAction(0, 0, {100}, {1})});
    const Hapset outside = makeHapset("outside", 10, {{1, 8}}, {makeAction(0, 0, {100}, {20, 0})});
    EXPECT_FALSE(CanMapToTactor(wide, halves, 1));
    EXPECT_TRUE(CanMapToTactor(outside, halves, 1));

    const Controller same = controllerWith({{1, 8}, {9, 16}});
    const Hapset two = pulsesAt({1, 9});
    EXPECT_TRUE(CanMapToSegment(two, same, 1));
    EXPECT_TRUE(CanMapToSegment(two, same, 2));
    EXPECT_FALSE(CanMapToSegment(two, same, 0));
    EXPECT_FALSE(CanMapToSegment(two, same, 3));
    EXPECT_FALSE(CanMapToSegment(wide, halves, 1));
    EXPECT_FALSE(CanMapToSegment(two, Controller{}, 1));
}

TEST(Placement, RemappingEndsOnControllersWithoutUsableSegments) {
    const std::vector<Controller> controllers = {Controller{}, controllerWith({{5, 4}}),
                                                 controllerWith({{8, 1}}),
                                                 controllerWith({{1, 8}, {9, 8}})};
    for (const Controller& controller : controllers) {
        Hapset hapset = pulsesAt({1, 9, 16, 0, 2147483647, -2147483647});
        RemapToTactor(hapset, controller, 2147483647);
        RemapToSegment(hapset, controller, 2147483647, 2);
        EXPECT_EQ(0, locationsOf(hapset)[3]) << "location 0 stays 0";
    }
    Hapset big = pulsesAt({1});
    RemapToTactor(big, controllerWith({{1, 1}}), 2147483647);
    EXPECT_EQ(std::vector<int32_t>{1}, locationsOf(big)) << "one-tactor segment wraps at once";
}

TEST(Placement, ReferenceLocationSkipsPulsesWithoutLocations) {
    Hapset hapset = makeHapset(
        "ref", 10, {{1, 8}, {9, 16}},
        {makeAction(1, 0, {50}, {3}), makeAction(0, 0, {100}, {}), makeAction(0, 0, {100}, {12})});
    EXPECT_EQ(12, ReferenceLocation(hapset));
    hapset.actions.pop_back();
    EXPECT_EQ(-1, ReferenceLocation(hapset));
}

TEST(Playback, ScalingClampsToWhatTheEncodersAccept) {
    struct Case {
        const char* label;
        TimedAction action;
        float gain, frequency, time;
        int32_t startTime;
        std::vector<double> data;
    };
    const std::vector<Case> cases = {
        {"gain up", makeAction(1, 0, {200}, {}), 2.0f, 1, 1, 0, {255}},
        {"gain down", makeAction(1, 0, {200}, {}), 0.0f, 1, 1, 0, {1}},
        {"frequency", makeAction(2, 0, {250}, {}), 1, 1.0f, 1, 0, {300}},
        {"frequency up", makeAction(2, 0, {3000}, {}), 1, 2.0f, 1, 0, {3500}},
        {"pulse", makeAction(0, 0, {5}, {}), 1, 1, 1.0f, 0, {10}},
        {"pulse long", makeAction(0, 4, {2000}, {}), 1, 1, 2.0f, 8, {2500}},
        {"start time", makeAction(5, 3, {7}, {}), 9, 9, 0.5f, 1, {7}},
        {"gain ramp",
         makeAction(3, 0, {32, 100, 200, 5, 9}, {}),
         2.0f,
         9,
         1,
         0,
         {32, 200, 255, 10, 9}},
        {"frequency ramp",
         makeAction(3, 0, {18.7, 100, 2000, 3000, 9}, {}),
         9,
         2.0f,
         1,
         0,
         {18.7, 300, 3500, 2500, 9}},
        {"other ramp",
         makeAction(3, 0, {15, 100, 200, 100, 9}, {}),
         2,
         2,
         0.5f,
         0,
         {15, 100, 200, 50, 9}},
        {"short ramp", makeAction(3, 6, {32, 100}, {}), 2, 2, 0.5f, 3, {32, 100}},
    };
    for (Case c : cases) {
        ScaleAction(c.action, c.gain, c.frequency, c.time);
        EXPECT_EQ(c.startTime, c.action.startTime) << c.label;
        EXPECT_EQ(c.data, c.action.data) << c.label;
    }
}

TEST_F(PlaybackTest, OneActionPerActionAndLocation) {
    const Hapset hapset = makeHapset(
        "six", 7, {},
        {makeAction(0, 1, {100}, {1, 2, 3}), makeAction(1, 2, {80}, {4, 5, 6}),
         makeAction(7, 0, {1}, {1, 2}), makeAction(0, 300, {100}, {1}), makeAction(1, 0, {}, {2})});
    ASSERT_EQ(10, BuildOutput(&state, &hapset, &output));
    EXPECT_EQ(7, output.timeFactor);
    // Then two of an unknown type, one the encoder refuses (delay 300) and one without data.
    const uint8_t commands[10] = {0x11, 0x11, 0x11, 0x20, 0x20, 0x20, 0, 0, 0, 0};
    for (int32_t i = 0; i < 10; ++i) {
        const Action* action = output.actionList[i];
        EXPECT_EQ(7u, action->timeFactor) << i;
        EXPECT_EQ(commands[i], action->command) << i;
        if (i < 6) {
            EXPECT_EQ(i + 1, action->data[0]) << i;
            EXPECT_EQ(i < 3 ? 1 : 2, action->delay) << i;
        } else {
            EXPECT_EQ(nullptr, action->data) << "blank Action " << i;
        }
    }
}

TEST_F(PlaybackTest, BuildOutputFailuresLeaveTheOutputAlone) {
    const Hapset one = pulsesAt({1});
    ASSERT_EQ(1, BuildOutput(&state, &one, &output));
    Action** before = output.actionList;

    std::vector<TimedAction> many(1001, makeAction(0, 0, {100}, {1}));
    Hapset tooMany = makeHapset("many", 10, {}, many);
    EXPECT_EQ(-1, BuildOutput(&state, &tooMany, &output));
    EXPECT_EQ(HAPSET_TOO_MANY_ACTIONS, TM_GetLastTMError(&state));
    EXPECT_EQ(-1, BuildOutput(&state, nullptr, &output));
    EXPECT_EQ(HAPSET_NOTHING_TO_BUILD, TM_GetLastTMError(&state));
    EXPECT_EQ(before, output.actionList);
    EXPECT_EQ(1, output.actionCount);

    tooMany.actions.pop_back();
    EXPECT_EQ(1000, BuildOutput(&state, &tooMany, &output));
}

TEST(Playback, DurationIsTheLatestEnd) {
    EXPECT_EQ(250, HapsetDuration(makeHapset(
                       "d", 10, {}, {makeAction(0, 0, {100}, {1}), makeAction(0, 20, {50}, {1})})));
    EXPECT_EQ(50, HapsetDuration(makeHapset("d", 10, {}, {makeAction(1, 5, {100}, {1})})));
    EXPECT_EQ(1030, HapsetDuration(
                        makeHapset("d", 10, {}, {makeAction(3, 3, {32, 1, 2, 1000, 0}, {1})})));
    EXPECT_EQ(-1, HapsetDuration(makeHapset("d", 10, {}, {makeAction(9, 0, {}, {})})));
    EXPECT_EQ(-1, HapsetDuration(makeHapset("d", 10, {}, {})));
}

TEST_F(PlaybackTest, PlayPlacesScalesAndNeverChangesTheLoadedHapset) {
    addController(5, "\x01\x08\x09\x10");
    load(pulsesAt({1, 8, 9, 0}));
    ASSERT_EQ(4, TM_PlayHapset(&state, 5, &output, 0, 11, -1, 1, 1, 1, 1));
    EXPECT_EQ((std::vector<int32_t>{11, 10, 3, 0x1F}), [&] {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < output.actionCount; ++i) {
            Action* a = output.actionList[i];
            out.push_back(a->command == 0x11 ? a->data[0] : a->command);
        }
        return out;
    }()) << "location 0 becomes a wait";
    EXPECT_EQ((std::vector<int32_t>{1, 8, 9, 0}), locationsOf(*Loaded(&state)[0]));

    ASSERT_EQ(4, TM_PlayHapset(&state, 5, &output, 0, 1, 2, 1, 1, 1, 1));
    EXPECT_EQ(9, output.actionList[0]->data[0]);
    EXPECT_EQ(1, output.actionList[2]->data[0]);

    ASSERT_EQ(4, TM_PlayHapset(&state, 5, &output, 0, 1, -1, 1, 1, 1, 3.0f));
    EXPECT_EQ(30, output.actionList[0]->data[1]) << "pulse of 100 ms scaled to 300 ms";
}

TEST_F(PlaybackTest, PlayAndMapFailuresAnswerTheirCodes) {
    addController(1, "\x01\x04\x05\x08");
    load(makeHapset("wide", 10, {{1, 8}}, {makeAction(0, 0, {100}, {1})}));
    struct Case {
        const char* label;
        int32_t id, index, tactor, segment, result, code;
    };
    const std::vector<Case> cases = {
        {"fits nowhere", 1, 0, 1, -1, -1, HAPSET_CANNOT_MAP},
        {"segment 0", 1, 0, 1, 0, -1, HAPSET_CANNOT_MAP},
        {"segment beyond", 1, 0, 1, 3, -1, HAPSET_CANNOT_MAP},
        {"no controller", 2, 0, 1, -1, -1, HAPSET_NO_CONTROLLER},
        {"index at the end", 1, 1, 1, -1, -1, HAPSET_NOT_FOUND},
        {"negative index", 1, -1, 1, -1, -1, HAPSET_NOT_FOUND},
        {"tactor NO_REMAP", 1, 0, NO_REMAP, -1, 1, 0},
        {"segment NO_REMAP", 1, 0, 1, NO_REMAP, 1, 0},
    };
    for (const Case& c : cases) {
        state.lastError = 0;
        EXPECT_EQ(c.result,
                  TM_PlayHapset(&state, c.id, &output, c.index, c.tactor, c.segment, 1, 1, 1, 1))
            << c.label;
        EXPECT_EQ(c.code, TM_GetLastTMError(&state)) << c.label;
        if (c.segment == -1) {
            state.lastError = 0;
            EXPECT_EQ(c.result < 0 ? -1 : 0,
                      TM_CanHapsetMap(&state, c.id, nullptr, c.index, c.tactor))
                << c.label;
            EXPECT_EQ(c.code, TM_GetLastTMError(&state)) << c.label;
        }
    }
    EXPECT_EQ(1, pulsedTactors()[0]) << "NO_REMAP plays the stored locations";
    EXPECT_EQ(-1, TM_GetHapsetDuration(&state, 1));
    EXPECT_EQ(HAPSET_NOT_FOUND, TM_GetLastTMError(&state));
}

TEST_F(PlaybackTest, NonLoadedHapsetPlaysAsGiven) {
    const FlatHapset flat = FlatHapset::of(pulsesAt({1, 12}));
    ASSERT_EQ(2, TM_PlayNonLoadedHapset(&state, 0, &output, flat.header.data(),
                                        flat.segments.data(), flat.actionHeaders.data(),
                                        flat.data.data(), flat.locations.data()));
    EXPECT_EQ((std::vector<int32_t>{1, 12}), pulsedTactors());
    EXPECT_EQ(0, Loaded(&state).size());
}

TEST_F(PlaybackTest, RemapWritesPlacedLocationsOverTheCallersArray) {
    addController(3, "\x01\x08\x09\x10");
    load(pulsesAt({1, 8, 9}));
    FlatHapset flat = FlatHapset::of(pulsesAt({0, 0, 0}));
    std::string id(HAPSET_ID_LENGTH, '-');
    int32_t result;
    {
        StdoutCapture capture;
        result =
            TM_RemapHapset(&state, 3, "pulses", &id[0], flat.header.data(), flat.segments.data(),
                           flat.actionHeaders.data(), flat.data.data(), flat.locations.data(), 3);
    }
    ASSERT_EQ(0, result);
    EXPECT_EQ(std::string(Loaded(&state)[0]->id), id);
    EXPECT_EQ(3, flat.header[1]);
    EXPECT_EQ(3, flat.locations[0]);
    EXPECT_EQ(2, flat.locations[1]);
    EXPECT_EQ(11, flat.locations[2]);

    EXPECT_EQ(
        -1, TM_RemapHapset(&state, 4, "pulses", &id[0], flat.header.data(), flat.segments.data(),
                           flat.actionHeaders.data(), flat.data.data(), flat.locations.data(), 3));
    EXPECT_EQ(HAPSET_NO_CONTROLLER, TM_GetLastTMError(&state));
    StdoutCapture capture;
    EXPECT_EQ(
        -1, TM_RemapHapset(&state, 3, "absent", &id[0], flat.header.data(), flat.segments.data(),
                           flat.actionHeaders.data(), flat.data.data(), flat.locations.data(), 3));
    EXPECT_EQ(HAPSET_NOT_FOUND, TM_GetLastTMError(&state));
}

TEST_F(PlaybackTest, CombinedTextPrecedesEachDocumentWithAComma) {
    char* empty = TM_GetHapsetOutput(&state);
    ASSERT_NE(nullptr, empty);
    EXPECT_STREQ("", empty);
    free(empty);

    const Hapset a = pulsesAt({1});
    const Hapset b = makeHapset("second", 20, {}, {});
    load(a);
    load(b);
    char* text = TM_GetHapsetOutput(&state);
    EXPECT_EQ("," + HapsetToJson(a) + "," + HapsetToJson(b), std::string(text));
    free(text);

    // Far more than a million bytes of documents still come out whole.
    std::vector<TimedAction> actions(1000, makeAction(0, 0, {100}, std::vector<int32_t>(64, 1)));
    const Hapset large = makeHapset("large", 10, {}, actions);
    for (int i = 0; i < 4; ++i) {
        load(large);
    }
    text = TM_GetHapsetOutput(&state);
    const std::string whole = "," + HapsetToJson(a) + "," + HapsetToJson(b) + "," +
                              HapsetToJson(large) + "," + HapsetToJson(large) + "," +
                              HapsetToJson(large) + "," + HapsetToJson(large);
    ASSERT_GT(whole.size(), 1000000u);
    EXPECT_EQ(whole, std::string(text));
    free(text);
}

}  // namespace
