#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "ActionRecord.h"
#include "DeviceTestSupport.h"
#include "DrovoErrorCodes.h"
#include "StdoutCapture.h"

namespace {

// Queues records straight into the list, as they stand after earlier appends.
void Queue(Device& device, const std::vector<Action*>& actions) {
    std::lock_guard<std::recursive_mutex> lock(device.m_Lock);
    for (Action* action : actions)
        device.m_pActions[device.m_iActionCount++] = action;
}

struct BatchCase {
    const char* name;
    int32_t firmwareMajor;
    // Records by name: a letter and its time factor; "S" records are standalone.
    std::vector<std::pair<std::string, uint32_t>> records;
    std::vector<std::vector<std::string>> batches;  // the batches taken one after the other
};

class BatchRuleTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BatchRuleTest, TakesBatchesInOrder) {
    const BatchCase& c = GetParam();
    DevicePtr device = NewDevice();
    device->m_iFirmwareMajor = c.firmwareMajor;
    std::map<Action*, std::string> names;
    std::vector<Action*> records;
    for (const auto& [name, timeFactor] : c.records) {
        Action* action =
            name[0] == 'S' ? MakeStandalone(timeFactor) : MakePulse(1, 100, 0, timeFactor);
        names[action] = name;
        records.push_back(action);
    }
    Queue(*device, records);
    for (const std::vector<std::string>& expected : c.batches) {
        Action* batch[kActionListSlots];
        int32_t count = 0;
        {
            std::lock_guard<std::recursive_mutex> lock(device->m_Lock);
            device->TakeNextBatch(batch, &count);
        }
        std::vector<std::string> taken;
        for (int32_t i = 0; i < count; ++i) {
            taken.push_back(names[batch[i]]);
            ReleaseAction(batch[i]);
        }
        EXPECT_EQ(taken, expected);
    }
    EXPECT_EQ(device->m_iActionCount, 0);
}

std::vector<std::pair<std::string, uint32_t>> Numbered(int count, uint32_t timeFactor) {
    std::vector<std::pair<std::string, uint32_t>> records;
    for (int i = 0; i < count; ++i)
        records.emplace_back("P" + std::to_string(i), timeFactor);
    return records;
}

std::vector<std::string> Names(int from, int to) {
    std::vector<std::string> names;
    for (int i = from; i < to; ++i)
        names.push_back("P" + std::to_string(i));
    return names;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BatchRuleTest,
    ::testing::Values(
        BatchCase{"SameFactorGoesWhole", -1, {{"A", 10}, {"B", 10}, {"C", 10}}, {{"A", "B", "C"}}},
        BatchCase{"OtherFactorWaits", -1, {{"A", 10}, {"B", 5}, {"C", 10}}, {{"A", "C"}, {"B"}}},
        BatchCase{"StandaloneIsNeverOvertaken",
                  -1,
                  {{"A", 10}, {"S", 10}, {"B", 10}},
                  {{"A"}, {"S"}, {"B"}}},
        BatchCase{"StandaloneAtHeadTravelsAlone", -1, {{"S", 10}, {"A", 10}}, {{"S"}, {"A"}}},
        BatchCase{"TwoStandalonesGoOneByOne", -1, {{"S1", 10}, {"S2", 10}}, {{"S1"}, {"S2"}}},
        BatchCase{
            "FirstRecordSetsTheFactor", -1, {{"A", 5}, {"B", 10}, {"C", 5}}, {{"A", "C"}, {"B"}}},
        // The firmware answer lowered the limit after 70 records were queued.
        BatchCase{"BatchNeverExceedsTheLimit", -1, Numbered(70, 10), {Names(0, 64), Names(64, 70)}},
        BatchCase{"MixedBatchNeverExceedsTheLimit",
                  -1,
                  [] {
                      auto records = Numbered(70, 10);
                      records.emplace_back("X", 5);
                      return records;
                  }(),
                  {Names(0, 64), Names(64, 70), {"X"}}},
        // A controller without action lists still gets its list in one batch, refused later.
        BatchCase{"NoActionListsTakesTheWholeList", 0x19, Numbered(5, 10), {Names(0, 5)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BatchRule, NullSlotLeavesTheListAsItIs) {
    DevicePtr device = NewDevice();
    Action* first = MakePulse(1, 100);
    Action* last = MakePulse(2, 100);
    Queue(*device, {first, nullptr, last});
    Action* batch[kActionListSlots];
    int32_t count = 7;
    device->TakeNextBatch(batch, &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(device->m_iActionCount, 3);
    EXPECT_EQ(device->m_pActions[0], first);
    EXPECT_EQ(device->m_pActions[2], last);
}

TEST(BatchRule, EmptyListWritesNoCount) {
    DevicePtr device = NewDevice();
    Action* batch[kActionListSlots];
    int32_t count = 7;
    device->TakeNextBatch(batch, &count);
    EXPECT_EQ(count, 7);
}

struct LimitCase {
    int32_t firmwareMajor;
    int32_t accepted;
};

class ListLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ListLimitTest, HoldsOneRecordLessThanTheLimit) {
    DevicePtr device = NewDevice();
    device->m_iFirmwareMajor = GetParam().firmwareMajor;
    int32_t accepted = 0;
    while (accepted < kActionListSlots) {
        Action* action = MakePulse(1, 100);
        StdoutCapture capture;
        int32_t result = device->AddToList(action);
        std::string output = capture.Finish();
        if (result < 0) {
            EXPECT_EQ(output, "[TI:D] ERROR Device::AddToList Device 1460\n");
            ReleaseAction(action);
            break;
        }
        ++accepted;
    }
    EXPECT_EQ(accepted, GetParam().accepted);
    EXPECT_EQ(device->m_iActionCount, GetParam().accepted);
    EXPECT_EQ(device->m_iLastError, DROVO_LIST_FULL);
}

INSTANTIATE_TEST_SUITE_P(ByFirmware, ListLimitTest,
                         ::testing::Values(LimitCase{-1, 63}, LimitCase{0x30, 63},
                                           LimitCase{0x05, 191}, LimitCase{0x22, 191},
                                           LimitCase{0x17, 191}, LimitCase{0x19, 0},
                                           LimitCase{0x18, 0}, LimitCase{0x21, 0}));

TEST(ListLimit, RunIsQueuedWholeOrNotAtAll) {
    DevicePtr device = NewDevice();
    std::vector<Action*> run;
    for (int i = 0; i < 60; ++i)
        run.push_back(MakePulse(1, 100));
    ASSERT_EQ(device->AddToList(run.data(), 60), 0);
    std::vector<Action*> tooMany = {MakePulse(1, 100), MakePulse(2, 100), MakePulse(3, 100),
                                    MakePulse(4, 100)};
    StdoutCapture capture;
    EXPECT_EQ(device->AddToList(tooMany.data(), 4), -1);
    EXPECT_EQ(capture.Finish(), "[TI:D] ERROR Device::AddToList Device 1491\n");
    EXPECT_EQ(device->m_iActionCount, 60);
    EXPECT_EQ(device->m_iLastError, DROVO_LIST_FULL);
    EXPECT_EQ(device->AddToList(tooMany.data(), 3), 0);
    EXPECT_EQ(device->m_iActionCount, 63);
    EXPECT_EQ(device->m_pActions[62], tooMany[2]);
    ReleaseAction(tooMany[3]);
}

TEST(ListLimit, RefusesMalformedAppendsWithoutTouchingTheList) {
    DevicePtr device = NewDevice();
    Action* one = MakePulse(1, 100);
    StdoutCapture capture;
    EXPECT_EQ(device->AddToList(&one, -1), -1);
    EXPECT_EQ(capture.Finish(), "[TI:D] ERROR Device::AddToList Device 1499\n");
    EXPECT_EQ(device->m_iLastError, DROVO_INTERNAL_ERROR);
    Action* withNull[] = {one, nullptr};
    EXPECT_EQ(device->AddToList(withNull, 2), -1);
    EXPECT_EQ(device->AddToList(static_cast<Action*>(nullptr)), -1);
    EXPECT_EQ(device->m_iLastError, DROVO_BAD_PARAMETER);
    EXPECT_EQ(device->m_iActionCount, 0);
    ReleaseAction(one);
}

TEST(ListLimit, ConcurrentCallersNeverPassTheBound) {
    DevicePtr device = NewDevice();
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    StdoutCapture capture;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                Action* action = MakePulse(1, 100);
                if (device->AddToList(action) == 0) {
                    ++accepted;
                } else {
                    ReleaseAction(action);
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    capture.Finish();
    EXPECT_EQ(accepted, 63);
    EXPECT_EQ(device->m_iActionCount, 63);
}

// A device that frames batches onto a scripted platform without a thread.
class FramingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CallbackLog::Reset();
        m_device->m_pPlatform = &m_platform;
        m_device->m_ID = 5;
        m_device->m_pOutgoingDataCallback = &CallbackLog::Outgoing;
    }
    int32_t Send(std::vector<Action*> batch) {
        return m_device->CreateActionList(batch.data(), static_cast<int32_t>(batch.size()));
    }

    ScriptedPlatform m_platform;
    DevicePtr m_device = NewDevice();
};

TEST_F(FramingTest, WorkedExamplesComeOutByteForByte) {
    Action* probe = AllocateAction(0);
    ASSERT_EQ(ReadFirmwareVersion(probe), 0);
    const std::vector<std::pair<std::vector<Action*>, Bytes>> cases = {
        {{MakePulse(1, 100)}, {0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD}},
        {{MakePulse(1, 100), MakeGain(2, 200, 5)},
         {0x02, 0x0A, 0x02, 0x08, 0x00, 0x11, 0x00, 0x01, 0x0A, 0x20, 0x05, 0x02, 0xC8, 0x1D}},
        {{probe}, {0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA9}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Bytes& expected = cases[i].second;
        EXPECT_EQ(Send(cases[i].first), static_cast<int32_t>(expected.size()));
        EXPECT_EQ(m_platform.Writes().back(), expected);
        EXPECT_EQ(m_device->m_iLastWriteLength, static_cast<int32_t>(expected.size()));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), m_device->m_LastWrite));
        EXPECT_EQ(m_device->m_LastWrite[expected.size()], 0);
        EXPECT_EQ(m_device->m_iPacketsSent, static_cast<int32_t>(i + 1));
        EXPECT_EQ(m_device->m_iAwaitingResponse, 1);
        auto outgoing = CallbackLog::Events(CallbackEvent::OUTGOING);
        ASSERT_EQ(outgoing.size(), i + 1);
        EXPECT_EQ(outgoing.back().id, 5);
        EXPECT_EQ(outgoing.back().bytes, expected);
    }
    const uint8_t probeBody[] = {0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00};
    EXPECT_EQ(ComputeChecksum(probeBody, sizeof(probeBody)), 0xA9);
}

TEST_F(FramingTest, OneHundredAndOneRampsFitOnePacket) {
    m_device->m_iFirmwareMajor = 0x22;
    std::vector<Action*> ramps;
    for (int i = 0; i < 101; ++i)
        ramps.push_back(MakeRamp(1));
    EXPECT_EQ(Send(ramps), 1016);
    const Bytes packet = m_platform.Writes().back();
    ASSERT_EQ(packet.size(), 1016u);
    EXPECT_EQ(packet[2], 101);
    EXPECT_EQ(packet[3] | packet[4] << 8, 1010);
    EXPECT_EQ(packet.back(), ComputeChecksum(packet.data(), 1015));
}

struct RefusedBatch {
    const char* name;
    int32_t firmwareMajor;
    std::function<std::vector<Action*>()> make;
    int32_t line;
    int32_t code;
};

class RefusedBatchTest : public FramingTest, public ::testing::WithParamInterface<RefusedBatch> {};

TEST_P(RefusedBatchTest, IsLoggedReleasedAndNotWritten) {
    m_device->m_iFirmwareMajor = GetParam().firmwareMajor;
    StdoutCapture capture;
    EXPECT_EQ(Send(GetParam().make()), -1);
    EXPECT_EQ(capture.Finish(), "[TI:D] ERROR Device::CreateActionList Device " +
                                    std::to_string(GetParam().line) + "\n");
    EXPECT_EQ(m_device->m_iLastError, GetParam().code);
    EXPECT_TRUE(m_platform.Writes().empty());
    EXPECT_EQ(m_device->m_iPacketsSent, 0);
}

std::vector<Action*> Repeat(int count, const std::function<Action*()>& make) {
    std::vector<Action*> actions;
    for (int i = 0; i < count; ++i)
        actions.push_back(make());
    return actions;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusedBatchTest,
    ::testing::Values(
        RefusedBatch{"PacketOver1024Bytes", 0x22,
                     [] { return Repeat(102, [] { return MakeRamp(1); }); }, 1760,
                     DROVO_BAD_PARAMETER},
        RefusedBatch{"MoreThanTheLimit", -1,
                     [] { return Repeat(65, [] { return MakePulse(1, 100); }); }, 1762,
                     DROVO_LIST_FULL},
        RefusedBatch{"ControllerWithoutLists", 0x20,
                     [] { return Repeat(1, [] { return MakePulse(1, 100); }); }, 1762,
                     DROVO_LIST_FULL},
        RefusedBatch{
            "MixedTimeFactors", -1,
            [] {
                return std::vector<Action*>{MakePulse(1, 100, 0, 10), MakePulse(1, 100, 0, 5)};
            },
            1764, DROVO_BAD_PARAMETER}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FramingTest, FailedWriteCountsTheAttemptButAwaitsNothing) {
    m_platform.SetWriteResult(-1);
    StdoutCapture capture;
    EXPECT_LT(Send({MakePulse(1, 100)}), 0);
    EXPECT_EQ(capture.Finish(), "[TI:D] ERROR Device::CreateActionList Device 1768\n");
    EXPECT_EQ(m_device->m_iLastError, DROVO_SEND_FAILED);
    EXPECT_EQ(m_device->m_iPacketsSent, 1);
    EXPECT_EQ(m_device->m_iAwaitingResponse, 0);
    EXPECT_TRUE(CallbackLog::Events(CallbackEvent::OUTGOING).empty());
}

TEST_F(FramingTest, ClearingTheListReleasesItAndStopsWaiting) {
    ASSERT_EQ(m_device->AddToList(MakePulse(1, 100)), 0);
    ASSERT_EQ(m_device->AddToList(MakeGain(1, 100)), 0);
    m_device->m_iAwaitingResponse = 1;
    m_device->ClearActionList();
    EXPECT_EQ(m_device->m_iActionCount, 0);
    EXPECT_EQ(m_device->m_pActions[0], nullptr);
    EXPECT_EQ(m_device->m_iAwaitingResponse, 0);
}

}  // namespace
