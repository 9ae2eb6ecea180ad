#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Action.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A record as the kit's own code makes one, released the way the kit releases it.
struct Record {
    Action a{};
    Record() { a.timeFactor = 1; }
    ~Record() { free(a.data); }
    Bytes Packaged() const {
        uint8_t out[10];
        int n = Package_Action(&a, out, sizeof out);
        return n < 0 ? Bytes{} : Bytes(out, out + n);
    }
};

struct EncodeCase {
    const char* name;
    std::function<int32_t(Action*)> encode;
    Bytes packaged;  // empty: the encoder must refuse
};

const uint8_t kStates[8] = {1, 2, 3, 4, 5, 6, 7, 8};

std::vector<EncodeCase> EncodeCases() {
    return {
        // The worked examples.
        {"pulse", [](Action* a) { return TacOnTime(a, 0, 1, 100); }, {0x11, 0, 1, 0x0A}},
        {"frequency", [](Action* a) { return SetFreq(a, 0, 3, 2500); }, {0x12, 0, 3, 0xC4, 0x09}},
        {"frequency ramp",
         [](Action* a) { return Ramp(a, 0, 1, 0x12, 300, 3000, 1000, 0); },
         {0x2A, 0, 0x12, 1, 0x2C, 1, 0xB8, 0x0B, 0x0A, 0}},
        {"firmware", [](Action* a) { return ReadFirmwareVersion(a); }, {0x42, 0}},
        // Tactor 0 is a wait carrying the whole duration.
        {"tactor 0 waits", [](Action* a) { return TacOnTime(a, 3, 0, 10); }, {0x1F, 3, 0x0A, 0}},
        {"tactor 0 long wait",
         [](Action* a) { return TacOnTime(a, 0, 0, 2500); },
         {0x1F, 0, 0xC4, 0x09}},
        {"tactor 0 too short", [](Action* a) { return TacOnTime(a, 0, 0, 9); }, {}},
        {"pulse 10 ms", [](Action* a) { return TacOnTime(a, 0, 2, 10); }, {0x11, 0, 2, 0x01}},
        {"pulse 2500 ms", [](Action* a) { return TacOnTime(a, 0, 2, 2500); }, {0x11, 0, 2, 0xFA}},
        {"pulse 9 ms", [](Action* a) { return TacOnTime(a, 0, 2, 9); }, {}},
        {"pulse 2501 ms", [](Action* a) { return TacOnTime(a, 0, 2, 2501); }, {}},
        {"pulse tactor 64", [](Action* a) { return TacOnTime(a, 0, 64, 100); }, {0x11, 0, 64, 10}},
        {"pulse tactor 65", [](Action* a) { return TacOnTime(a, 0, 65, 100); }, {}},
        // Tactor 65 is accepted only by the frequency command.
        {"frequency tactor 65",
         [](Action* a) { return SetFreq(a, 0, 65, 300); },
         {0x12, 0, 65, 0x2C, 0x01}},
        {"frequency tactor 66", [](Action* a) { return SetFreq(a, 0, 66, 300); }, {}},
        {"frequency 299", [](Action* a) { return SetFreq(a, 0, 1, 299); }, {}},
        {"frequency 3501", [](Action* a) { return SetFreq(a, 0, 1, 3501); }, {}},
        {"gain tactor 65", [](Action* a) { return SetGain(a, 0, 65, 10); }, {}},
        {"gain 0", [](Action* a) { return SetGain(a, 0, 1, 0); }, {}},
        {"gain 255", [](Action* a) { return SetGain(a, 0, 1, 255); }, {0x20, 0, 1, 0xFF}},
        {"gain 256", [](Action* a) { return SetGain(a, 0, 1, 256); }, {}},
        {"source 1", [](Action* a) { return SetSigSource(a, 0, 4, 1); }, {0x15, 0, 4, 1}},
        {"source 7", [](Action* a) { return SetSigSource(a, 0, 4, 7); }, {0x15, 0, 4, 7}},
        {"source 0", [](Action* a) { return SetSigSource(a, 0, 4, 0); }, {}},
        {"source 8", [](Action* a) { return SetSigSource(a, 0, 4, 8); }, {}},
        {"source tactor 65", [](Action* a) { return SetSigSource(a, 0, 65, 1); }, {}},
        {"type 0x11", [](Action* a) { return SetTacType(a, 0, 1, 0x11); }, {0x33, 0, 1, 0x11}},
        {"type 0x12", [](Action* a) { return SetTacType(a, 0, 1, 0x12); }, {0x33, 0, 1, 0x12}},
        {"type 0x21", [](Action* a) { return SetTacType(a, 0, 1, 0x21); }, {0x33, 0, 1, 0x21}},
        {"type 0x22", [](Action* a) { return SetTacType(a, 0, 1, 0x22); }, {0x33, 0, 1, 0x22}},
        {"type 0x13", [](Action* a) { return SetTacType(a, 0, 1, 0x13); }, {}},
        {"type 0x20", [](Action* a) { return SetTacType(a, 0, 1, 0x20); }, {}},
        {"type tactor 65", [](Action* a) { return SetTacType(a, 0, 65, 0x11); }, {}},
        // A gain ramp keeps only the low bytes of its ends; option travels as its low byte.
        {"gain ramp",
         [](Action* a) { return Ramp(a, 0, 2, 0x20, 300, 600, 99, 0x1FF); },
         {0x2A, 0, 0x20, 2, 0x2C, 0, 0x58, 0, 0, 0xFF}},
        {"ramp 2500 ms",
         [](Action* a) { return Ramp(a, 0, 2, 0x12, 0, 0, 2500, 0); },
         {0x2A, 0, 0x12, 2, 0, 0, 0, 0, 25, 0}},
        {"ramp command 0x15", [](Action* a) { return Ramp(a, 0, 1, 0x15, 1, 2, 100, 0); }, {}},
        {"ramp tactor 65", [](Action* a) { return Ramp(a, 0, 65, 0x20, 1, 2, 100, 0); }, {}},
        {"ramp 9 ms", [](Action* a) { return Ramp(a, 0, 1, 0x20, 1, 2, 9, 0); }, {}},
        {"wait", [](Action* a) { return ActionWait(a, 1, 2500); }, {0x1F, 1, 0xC4, 0x09}},
        {"wait 2501", [](Action* a) { return ActionWait(a, 1, 2501); }, {}},
        {"states",
         [](Action* a) { return SetTactorStates(a, 0, kStates); },
         {0x80, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"self test", [](Action* a) { return SelfTest(a, 7); }, {0x30, 7}},
        {"segment list", [](Action* a) { return GetSegmentList(a, 0); }, {0x45, 0}},
        {"battery", [](Action* a) { return GetBatteryLevel(a, 0); }, {0x3A, 0}},
        {"stop sequence", [](Action* a) { return StopSequence(a, 2, 9); }, {0x01, 2, 9}},
        {"record slot 9", [](Action* a) { return StartRecordHapset(a, 0, 9); }, {0x1B, 0, 9}},
        {"record slot 10", [](Action* a) { return StartRecordHapset(a, 0, 10); }, {}},
        {"finish record", [](Action* a) { return FinishRecordHapset(a, 0); }, {0x1D, 0}},
        {"play slot 0", [](Action* a) { return PlayRecordedHapset(a, 0, 0); }, {0x1A, 0, 0}},
        {"play slot 10", [](Action* a) { return PlayRecordedHapset(a, 0, 10); }, {}},
        {"current", [](Action* a) { return ReadCurrent(a); }, {0x53, 0}},
        {"stop", [](Action* a) { return StopSeq(a); }, {0x01, 0}},
        {"stop, other name", [](Action* a) { return StopActions(a); }, {0x01, 0}},
        {"delay state 1", [](Action* a) { return SetFreqTimeDelayState(a, 1); }, {0xA2, 0, 1}},
        {"delay state 2", [](Action* a) { return SetFreqTimeDelayState(a, 2); }, {0xA2, 0, 0}},
        // The delay rule: above 255 refused, a negative delay keeps its low byte.
        {"delay 255", [](Action* a) { return SetGain(a, 255, 1, 1); }, {0x20, 0xFF, 1, 1}},
        {"delay 256", [](Action* a) { return SetGain(a, 256, 1, 1); }, {}},
        {"delay -1", [](Action* a) { return SelfTest(a, -1); }, {0x30, 0xFF}},
        {"wait delay 256", [](Action* a) { return ActionWait(a, 256, 100); }, {}},
        {"ramp delay 256", [](Action* a) { return Ramp(a, 256, 1, 0x20, 1, 2, 100, 0); }, {}},
        {"states delay 256", [](Action* a) { return SetTactorStates(a, 256, kStates); }, {}},
        {"record delay 256", [](Action* a) { return StartRecordHapset(a, 256, 1); }, {}},
    };
}

TEST(Encoders, PackagedBytesAndRefusals) {
    for (const EncodeCase& c : EncodeCases()) {
        SCOPED_TRACE(c.name);
        Record r;
        int32_t rc = c.encode(&r.a);
        if (c.packaged.empty()) {
            // A refusal allocates nothing and leaves the record as it was.
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(r.a.data, nullptr);
            EXPECT_EQ(r.a.command, 0);
            EXPECT_EQ(r.a.length, 0);
        } else {
            ASSERT_EQ(rc, 0);
            EXPECT_EQ(r.Packaged(), c.packaged);
            EXPECT_EQ(r.a.timeFactor, 1u) << "encoders leave the time factor alone";
        }
    }
}

TEST(Encoders, NullRecordIsRefused) {
    EXPECT_EQ(TacOnTime(nullptr, 0, 1, 100), -1);
    EXPECT_EQ(TacOnTime(nullptr, 0, 0, 100), -1);
    EXPECT_EQ(ReadFirmwareVersion(nullptr), -1);
    EXPECT_EQ(StopSequence(nullptr, 0, 1), -1);
    EXPECT_EQ(SetTactorStates(nullptr, 0, kStates), -1);
}

TEST(Encoders, PayloadBufferIsEightZeroFilledBytes) {
    Record r;
    ASSERT_EQ(SetGain(&r.a, 0, 5, 7), 0);
    const uint8_t expected[8] = {5, 7, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(r.a.data, expected, 8), 0);
    EXPECT_EQ(r.a.length, 2);
}

TEST(Encoders, RecordingMarksStandalone) {
    Record start, finish, play;
    ASSERT_EQ(StartRecordHapset(&start.a, 0, 9), 0);
    ASSERT_EQ(FinishRecordHapset(&finish.a, 0), 0);
    ASSERT_EQ(PlayRecordedHapset(&play.a, 0, 9), 0);
    EXPECT_TRUE(start.a.standalone);
    EXPECT_TRUE(finish.a.standalone);
    EXPECT_FALSE(play.a.standalone);
}

TEST(Encoders, StopSequenceStagesItsByteEvenWhenRefused) {
    Record r;
    memset(r.a.scratch, 0xAA, sizeof r.a.scratch);
    EXPECT_EQ(StopSequence(&r.a, 300, 4), -1);
    const uint8_t staged[8] = {4, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(r.a.scratch, staged, 8), 0);
    EXPECT_EQ(r.a.data, nullptr);
}

TEST(CreateAction, OrderOfEffects) {
    const uint8_t source[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    {
        Record r;
        EXPECT_EQ(Create_Action(&r.a, 0x20, 256, source, 2, 5), -1);
        EXPECT_EQ(r.a.data, nullptr);
        EXPECT_EQ(r.a.timeFactor, 1u);
    }
    {
        // Too many bytes: the buffer and time factor are set, command and delay are not.
        Record r;
        EXPECT_EQ(Create_Action(&r.a, 0x20, 3, source, 9, 5), -1);
        ASSERT_NE(r.a.data, nullptr);
        EXPECT_EQ(r.a.length, 0);
        EXPECT_EQ(r.a.timeFactor, 5u);
        EXPECT_EQ(r.a.command, 0);
        EXPECT_EQ(r.a.delay, 0);
    }
    {
        Record r;
        EXPECT_EQ(Create_Action(&r.a, 0x20, 3, source, 8, 20), 0);
        EXPECT_EQ(r.Packaged(), (Bytes{0x20, 3, 1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_EQ(r.a.timeFactor, 20u);
    }
    {
        Record r;
        EXPECT_EQ(Create_Action(&r.a, 0x30, 0, nullptr, 3, 10), 0);
        EXPECT_EQ(r.Packaged(), (Bytes{0x30, 0, 0, 0, 0}));
    }
}

TEST(PackageAction, OutputSizeRules) {
    Record r;
    ASSERT_EQ(SetTactorStates(&r.a, 0, kStates), 0);
    uint8_t out[12];
    memset(out, 0xEE, sizeof out);
    EXPECT_EQ(Package_Action(&r.a, out, 9), -1);
    EXPECT_EQ(out[0], 0xEE) << "a refused call writes nothing";
    EXPECT_EQ(Package_Action(&r.a, nullptr, 10), -1);
    EXPECT_EQ(Package_Action(&r.a, out, 12), 10);
    EXPECT_EQ(out[10], 0) << "the whole output is zeroed first";
    EXPECT_EQ(out[11], 0);
}

}  // namespace
