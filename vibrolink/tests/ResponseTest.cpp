#include <array>
#include <cstdio>
#include <string>

#include "DeviceTestSupport.h"
#include "StdoutCapture.h"
#include "TraceText.h"

namespace {

// A device named COM9 with ID 4 that has errors counted and an answer outstanding.
class ResponseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CallbackLog::Reset();
        m_device->m_ID = 4;
        SetPortName(m_device.get(), "COM9");
        m_device->m_pResponseCallback = &CallbackLog::Response;
        m_device->m_pHapsetPacketCallback = &CallbackLog::Hapset;
        m_device->trialCounter = 3;
        m_device->ls_trialCounter = 1;
        m_device->_alerterror = 2;
        m_device->m_iAwaitingResponse = 1;
        m_device->m_Segments = {{1, 16}};
    }
    // Processes packet (length: its size unless given) and returns the normalised output.
    std::string Process(const Bytes& packet, int32_t* result = nullptr, int32_t length = -1) {
        if (length < 0)
            length = static_cast<int32_t>(packet.size());
        StdoutCapture capture;
        int32_t r = m_device->ProcessPacket(packet.data(), length);
        if (result)
            *result = r;
        return NormalizeTraces(capture.Finish());
    }
    void ExpectCounters(int32_t trials, int32_t lastStep, int32_t alerts, int32_t awaiting) {
        EXPECT_EQ(m_device->trialCounter, trials);
        EXPECT_EQ(m_device->ls_trialCounter, lastStep);
        EXPECT_EQ(m_device->_alerterror, alerts);
        EXPECT_EQ(m_device->m_iAwaitingResponse, awaiting);
    }

    DevicePtr m_device = NewDevice();
};

struct ReplyCase {
    const char* name;
    Bytes packet;
    int32_t length;  // -1: the packet's size
    int32_t result;
    int32_t trials, lastStep, alerts, awaiting;  // after, from 3, 1, 2, 1
    std::string output;
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class ReplyTest : public ResponseTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyTest, ReachesBothCallbacksThenActs) {
    const ReplyCase& c = GetParam();
    int32_t result = 0;
    EXPECT_EQ(Process(c.packet, &result, c.length), c.output);
    EXPECT_EQ(result, c.result);
    ExpectCounters(c.trials, c.lastStep, c.alerts, c.awaiting);
    const int32_t length = c.length < 0 ? static_cast<int32_t>(c.packet.size()) : c.length;
    const Bytes seen(c.packet.begin(), c.packet.begin() + length);
    for (auto kind : {CallbackEvent::RESPONSE, CallbackEvent::HAPSET}) {
        auto events = CallbackLog::Events(kind);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].id, 4);
        EXPECT_EQ(events[0].length, length);
        EXPECT_EQ(events[0].bytes, seen);
    }
    EXPECT_EQ(CallbackLog::Events()[0].kind, CallbackEvent::RESPONSE);
}

Bytes WithBadChecksum(Bytes packet) {
    packet.back() ^= 0x01;
    return packet;
}

const Bytes kAck = MakeAck(0x11);
const Bytes kBeltOff = MakeReply(0xCC, {0x70});
const Bytes kBeltOn = MakeReply(0xCC, {0x71});
const Bytes kBeltOther = MakeReply(0xCC, {0x72});
const Bytes kBeltEmpty = MakeReply(0xCC, {});
const Bytes kControllerError = MakeReply(0xEE, {0x01, 0x02});
const Bytes kUnknownBad = WithBadChecksum(MakeReply(0xA5, {0x01, 0x02}));
const std::string kBeltLine = "[TI:D:PP] BELT CONNECT CHANGE COM9 (m_ID: 4)\n";

INSTANTIATE_TEST_SUITE_P(
    Types, ReplyTest,
    ::testing::Values(
        ReplyCase{"Acknowledgement", MakeAck(0x11), -1, 0, 0, 0, 0, 0, ""},
        ReplyCase{"DataAnswerOfAnotherCommand", MakeReply(0xC8, {0x3A, 0x50}), -1, 0, 0, 0, 0, 0,
                  ""},
        ReplyCase{"BeltDisconnected", kBeltOff, -1, 0, 0, 0, 0, 0,
                  TraceLine("CC", kBeltOff) + kBeltLine + "reason to: 70\n" +
                      "[TI:D:PP] BELT DISCONNECTED!\n" + TraceLine("BELT DISCONNECTED", kBeltOff)},
        ReplyCase{"BeltConnected", kBeltOn, -1, 0, 0, 0, 0, 0,
                  TraceLine("CC", kBeltOn) + kBeltLine + "reason to: 71\n" +
                      "[TI:D:PP] BELT CONNECTED!\n" + TraceLine("BELT CONNECTED", kBeltOn)},
        ReplyCase{"BeltOtherReason", kBeltOther, -1, 0, 0, 0, 0, 0,
                  TraceLine("CC", kBeltOther) + kBeltLine + "reason to: 72\n"},
        ReplyCase{"BeltWithoutPayload", kBeltEmpty, -1, 0, 0, 0, 0, 0,
                  TraceLine("CC", kBeltEmpty) + kBeltLine + "reason to: 0\n"},
        ReplyCase{"ControllerError", kControllerError, -1, -1, 10, 1, 2, 1,
                  TraceLine("0xEE", kControllerError) + "[TI:D] 0xEE WITH DEVICE COM9\n"},
        ReplyCase{"UnknownTypeIsOnlyPassedOn", MakeReply(0xA5, {0x01}), -1, 0, 3, 1, 2, 1, ""},
        ReplyCase{"BadChecksumIsCountedAfterTheCallbacks", kUnknownBad, -1, -1, 4, 1, 2, 1,
                  TraceLine("checksum was bad", kUnknownBad) +
                      "[TI:D] checksum was bad WITH DEVICE COM9\n"},
        // Packets that do not hold the bytes their length byte announces.
        ReplyCase{"ShorterThanItsHeader",
                  {0x02, 0xC9, 0x00},
                  -1,
                  -1,
                  4,
                  1,
                  2,
                  1,
                  TraceLine("checksum was bad", {0x02, 0xC9, 0x00}) +
                      "[TI:D] checksum was bad WITH DEVICE COM9\n"},
        ReplyCase{"LengthBytePastTheGatheredBytes",
                  {0x02, 0xC9, 0x05, 0x00, 0x00, 0x00},
                  -1,
                  -1,
                  4,
                  1,
                  2,
                  1,
                  TraceLine("checksum was bad", {0x02, 0xC9, 0x05, 0x00, 0x00, 0x00}) +
                      "[TI:D] checksum was bad WITH DEVICE COM9\n"},
        ReplyCase{"OnlyTheGatheredLengthCounts", MakeAck(0x11), 5, -1, 4, 1, 2, 1,
                  TraceLine("checksum was bad", Bytes(kAck.begin(), kAck.end() - 1)) +
                      "[TI:D] checksum was bad WITH DEVICE COM9\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResponseTest, FirmwareAnswerSetsTheVersionAndTheLimit) {
    EXPECT_EQ(Process(MakeReply(0xC8, {0x42, 0x05, 0x02})),
              "[TI:D:PP] Device said it has firmware 2.05\n");
    EXPECT_EQ(m_device->m_iFirmwareMajor, 2);
    EXPECT_EQ(m_device->m_iFirmwareMinor, 5);
    ExpectCounters(0, 0, 0, 0);
    EXPECT_EQ(Process(MakeReply(0xC8, {0x42, 0x0A, 0x22})),
              "[TI:D:PP] Device said it has firmware 22.0A\n");
    EXPECT_EQ(m_device->GetMaxActions(), 192);
    // Only an answer of exactly three bytes carries a version.
    EXPECT_EQ(Process(MakeReply(0xC8, {0x42, 0x01, 0x19, 0x00})), "");
    EXPECT_EQ(m_device->m_iFirmwareMajor, 0x22);
}

TEST_F(ResponseTest, SegmentListAnswerReplacesTheSegments) {
    EXPECT_EQ(Process(MakeReply(0xC8, {0x45, 4, 8})), "");
    EXPECT_EQ(m_device->GetSegments(), (std::vector<Segment>{{1, 4}, {5, 8}}));
    ExpectCounters(0, 0, 0, 0);
    m_device->trialCounter = 2;
    m_device->m_iAwaitingResponse = 1;
    EXPECT_EQ(Process(MakeReply(0xC8, {0x45})), "");
    EXPECT_EQ(m_device->GetSegments(), (std::vector<Segment>{{1, 4}, {5, 8}}));
    ExpectCounters(0, 0, 0, 0);
}

TEST_F(ResponseTest, EveryRefusalReasonPrintsItsLineAndCounts) {
    const std::vector<std::pair<std::string, std::string>> reasons = {
        {"[TI:D:PP] UNKNOWN ERROR\n", "UNKNOWN ERROR"},
        {"[TI:D:PP] The ETX value was not found in the expected place\n",
         "ETX value was not found ERROR"},
        {"[TI:D:PP] The Checksum value was invalid\n", " Checksum value was invalid ERROR"},
        {"[TI:D:PP] Insufficient Data in packet\n", "Insufficient Data ERROR"},
        {"[TI:D:PP] An invalid command was used\n", "invalid command  ERROR"},
        {"[TI:D:PP] Invalid Data was given with a valid command\n", "Invalid Data ERROR"},
        {"[TI:D:PP] Data length exceeds max payload\n", "Data length exceeds ERROR"},
        {"[TI:D:PP] Invalid Sequence Data\n", " Invalid Sequence Data ERROR"},
        {"[TI:D:PP] Bus Error Sending to Node failed after three attempts\n",
         " Bus Error Sending ERROR"},
        {"[TI:D:PP] Bus Master Times out while waiting on all bytes of incoming command to "
         "finish\n",
         "Bus Master Times out ERROR"},
        {"[TI:D:PP] Node has a Fault Cannot Complete Request\n", "Fault ERROR"},
        {"[TI:D:PP]NAK_SeqBusy  \n", "NAK_SeqBusy ERROR"},
        {"[TI:D:PP] NAK_TimeOut  \n", "NAK_TimeOut ERROR"},
        {"[TI:D:PP] NAK_RampListFull  \n", "NAK_RampListFull ERROR"},
        {"[TI:D:PP] NAK_ActionListFull  \n", "NAK_ActionListFull ERROR"},
        {"[TI:D:PP] NAK_NotImplemented\n", "NAK_NotImplemented ERROR"},
        {"[TI:D:PP] NAK_MasterPacketFullOrBusy \n", "NAK_MasterPacketFullOrBusy ERROR"},
        {"[TI:D:PP] NAK_ActionListTooManyBytes \n", "NAK_ActionListTooManyBytes ERROR"},
        {"[TI:D:PP] NAK_ActionListTooFewBytes \n", "NAK_ActionListTooFewBytes"},
        {"[TI:D:PP] NAK_TooMuch                    \n", "NAK_TooMuch"},
        {"[TI:D:PP] NAK_Received a command while Self Test is running\n",
         "NAK_Received a command while Self Test is running ERROR"},
    };
    for (int reason :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 255}) {
        m_device->trialCounter = 3;
        // Reason 10 without a fault list is covered with the fault lists.
        const Bytes packet = MakeReply(0xC4, {0x11, static_cast<uint8_t>(reason)});
        const auto& text = reasons[reason <= 20 ? reason : 0];
        char header[128];
        std::snprintf(
            header, sizeof(header),
            "[TI:D:PP] NAK WITH DEVICE COM9 (m_ID: 4)\nresponding to: 11\nreasonCode: %X\n",
            reason);
        EXPECT_EQ(Process(packet),
                  TraceLine("NAK", packet) + header + text.first + TraceLine(text.second, packet))
            << reason;
        EXPECT_EQ(m_device->trialCounter, reason == 20 ? 3 : 4) << reason;
        EXPECT_EQ(m_device->m_iAwaitingResponse, 1) << reason;
        EXPECT_EQ(m_device->ls_trialCounter, 1) << reason;
    }
}

TEST_F(ResponseTest, ShortRefusalsReadMissingBytesAsZero) {
    const Bytes empty = MakeReply(0xC4, {});
    EXPECT_EQ(Process(empty), TraceLine("NAK", empty) +
                                  "[TI:D:PP] NAK WITH DEVICE COM9 (m_ID: 4)\nresponding to: 0\n"
                                  "reasonCode: 0\n[TI:D:PP] UNKNOWN ERROR\n" +
                                  TraceLine("UNKNOWN ERROR", empty));
    EXPECT_EQ(m_device->trialCounter, 4);
}

// A refusal with reason 10 and the given fault entries (location, address, code).
Bytes FaultList(const std::vector<std::array<uint8_t, 3>>& entries, int32_t count = -1) {
    Bytes payload = {0x11, 10, static_cast<uint8_t>(count < 0 ? entries.size() : count)};
    for (const auto& entry : entries)
        payload.insert(payload.end(), entry.begin(), entry.end());
    return MakeReply(0xC4, payload);
}

std::string FaultHeader(const Bytes& packet) {
    return TraceLine("NAK", packet) +
           "[TI:D:PP] NAK WITH DEVICE COM9 (m_ID: 4)\nresponding to: 11\nreasonCode: A\n"
           "[TI:D:PP] Node has a Fault Cannot Complete Request\n" +
           TraceLine("Fault ERROR", packet);
}

const char* const kFaultTexts[] = {
    "CURRENT TOO LOW - NO TACTOR CONNECT OR BROKEN TACTOR\n",
    "CURRENT TOO HIGH - WRONG TACTOR TYPE OF SHORT-CIRCUIT\n",
    "over-voltage \xE2\x80\x93 the supply voltage has exceeded the max safe limit\n",
    " over-current on tactor-drivers power supply \xE2\x80\x93 1 or more tactors or drivers is "
    "wrong type or short-circuit\n",
    "over-current on BusMaster\xE2\x80\x99s Belt/Node power supply \xE2\x80\x93 short in belt "
    "wiring or broken node in belt drawing too much current\n",
    "over-current on BusMaster\xE2\x80\x99s combined Belt/Node & on-board tactor-drivers supply "
    "(combined limit is lower than the sum of the individual limits)\n",
    " the sum of frequencies on active C-type tactors on this node has been exceeded (hardware "
    "dependent: 1510 for kVORA 8-Chan Node, 2415 for kVORA BusMaster & Quadrels)\n",
    " timeout \xE2\x80\x93 this node is not responding to comms \xE2\x80\x93 belt wiring fault "
    "or broken node\n",
};

std::string FaultLine(int location, int address, int code, int bit) {
    return "[TI:D:PP:F] FAULT INFO Tactor Location " + std::to_string(location) + " Bus Address " +
           std::to_string(address) + " Fault Code " + std::to_string(code) + " " + kFaultTexts[bit];
}

TEST_F(ResponseTest, FaultBitsEachPrintTheirLineAndCount) {
    const Bytes packet = FaultList({{7, 9, 0x7F}});
    std::string expected = FaultHeader(packet);
    for (int bit = 0; bit < 7; ++bit)
        expected += FaultLine(7, 9, 0x7F, bit);
    EXPECT_EQ(Process(packet), expected);
    ExpectCounters(3 + 7, 1, 2, 1);
}

TEST_F(ResponseTest, TimeoutEntryClearsTheCountersAndEndsTheWalk) {
    const Bytes packet = FaultList({{1, 2, 0x05}, {3, 4, 0x80}, {5, 6, 0x01}});
    EXPECT_EQ(Process(packet), FaultHeader(packet) + FaultLine(1, 2, 5, 0) + FaultLine(1, 2, 5, 2) +
                                   FaultLine(3, 4, 0x80, 7));
    ExpectCounters(0, 0, 0, 1);
}

TEST_F(ResponseTest, TimeoutBitIsTestedAfterTheOtherBitsOfItsEntry) {
    const Bytes packet = FaultList({{1, 2, 0x82}});
    EXPECT_EQ(Process(packet),
              FaultHeader(packet) + FaultLine(1, 2, 0x82, 1) + FaultLine(1, 2, 0x82, 7));
    ExpectCounters(0, 0, 0, 1);
}

TEST_F(ResponseTest, EmptyFaultListChangesNoCounter) {
    const Bytes packet = FaultList({});
    EXPECT_EQ(Process(packet), FaultHeader(packet));
    ExpectCounters(3, 1, 2, 1);
}

TEST_F(ResponseTest, FaultListOfTheWrongLengthCountsOnce) {
    for (const Bytes& packet : {FaultList({{1, 2, 0x01}}, 2), MakeReply(0xC4, {0x11, 10}),
                                MakeReply(0xC4, {0x11, 10, 0, 0})}) {
        m_device->trialCounter = 3;
        const int32_t length = packet[2];
        const int32_t expected = (length >= 3 ? packet[5] + 1 : 1) * 3;
        EXPECT_EQ(Process(packet), FaultHeader(packet) +
                                       TraceLine("CORRUPT FAULT PACKET SIZE", packet) +
                                       "datalen=" + std::to_string(length) +
                                       " expected=" + std::to_string(expected));
        EXPECT_EQ(m_device->trialCounter, 4);
    }
}

}  // namespace
