#include <functional>
#include <string>

#include "DeviceTestSupport.h"
#include "DrovoErrorCodes.h"
#include "StdoutCapture.h"
#include "TraceText.h"

namespace {

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kAck = MakeAck(0x11);                                          // 6 bytes
const Bytes kTen = MakeReply(0xC8, {0x45, 0x04, 0x08, 0x0C, 0x10, 0x14});  // 10 bytes
const Bytes kTenHead(kTen.begin(), kTen.begin() + 6);
const Bytes kTenTail(kTen.begin() + 6, kTen.end());

using Step = ScriptedPlatform::ReadStep;
Step Ok(const Bytes& bytes) {
    return {0, 0, bytes};
}
Step Fail(int32_t error, const Bytes& bytes = {}) {
    return {-1, error, bytes};
}

struct ReaderCase {
    const char* name;
    std::function<void(ReadPacket&)> before;  // state the packet is in before the first call
    std::vector<Step> steps;
    std::vector<int32_t> results;  // one Read call per entry
    // The read packet afterwards.
    int32_t state;
    Bytes gathered;
    int32_t bytesToRead;
    int32_t assumedSize;
    int32_t failedReads;
    // Device fields afterwards.
    int32_t trialCounter;
    int32_t connected;
    int32_t lastError;
    std::string output;  // with NormalizeTraces applied
    size_t platformReads;
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << c.name;
}

class ReaderTest : public ::testing::TestWithParam<ReaderCase> {
  protected:
    void SetUp() override {
        m_device->m_pPlatform = &m_platform;
        m_device->m_iConnected = 1;
    }
    ScriptedPlatform m_platform;
    DevicePtr m_device = NewDevice();
};

TEST_P(ReaderTest, GathersChunksIntoPackets) {
    const ReaderCase& c = GetParam();
    ReadPacket& rp = m_device->m_ReadPacket;
    if (c.before)
        c.before(rp);
    for (const Step& step : c.steps) {
        if (step.result < 0) {
            m_platform.QueueReadError(step.error, step.bytes);
        } else {
            m_platform.QueueRead(step.bytes);
        }
    }
    StdoutCapture capture;
    std::vector<int32_t> results;
    for (size_t i = 0; i < c.results.size(); ++i)
        results.push_back(m_device->Read(&rp, 1));
    EXPECT_EQ(NormalizeTraces(capture.Finish()), c.output);
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(rp.m_iReadState, c.state);
    EXPECT_EQ(Bytes(rp.m_PacketData, rp.m_PacketData + rp.m_itotalBytesRead), c.gathered);
    EXPECT_EQ(rp.m_iBytesToRead, c.bytesToRead);
    EXPECT_EQ(rp.m_iAssumedSize, c.assumedSize);
    EXPECT_EQ(rp.m_iFailedReads, c.failedReads);
    EXPECT_EQ(m_device->trialCounter, c.trialCounter);
    EXPECT_EQ(m_device->m_iConnected, c.connected);
    EXPECT_EQ(m_device->m_iLastError, c.lastError);
    EXPECT_EQ(m_platform.WantedCounts().size(), c.platformReads);
    // Whatever was thrown away leaves no stale bytes behind the gathered ones.
    for (int32_t i = rp.m_itotalBytesRead; i < READPACKETLIMIT; ++i) {
        ASSERT_EQ(rp.m_PacketData[i], 0) << i;
    }
}

// Puts the packet in the state it has after gathering bytes of unknown size.
std::function<void(ReadPacket&)> Gathered(const Bytes& bytes, int32_t bytesToRead,
                                          int32_t assumedSize = 0) {
    return [=](ReadPacket& rp) {
        std::copy(bytes.begin(), bytes.end(), rp.m_PacketData);
        rp.m_itotalBytesRead = static_cast<int32_t>(bytes.size());
        rp.m_iBytesToRead = bytesToRead;
        rp.m_iAssumedSize = assumedSize;
    };
}

const Bytes kJunkFirst = {0xAA, 0xBB, 0x02, 0xC9, 0x02, 0x11};
const Bytes kJunkRest = {kAck[4], kAck[5]};

INSTANTIATE_TEST_SUITE_P(
    Chunks, ReaderTest,
    ::testing::Values(
        ReaderCase{"SixBytesAtOnce", nullptr, {Ok(kAck)}, {0}, 4, kAck, 0, 6, 0, 0, 1, 0, "", 1},
        ReaderCase{"SixThenFour",
                   nullptr,
                   {Ok(kTenHead), Ok(kTenTail)},
                   {0, 0},
                   4,
                   kTen,
                   0,
                   10,
                   0,
                   0,
                   1,
                   0,
                   "",
                   2},
        ReaderCase{"JunkBeforeTheStartByte",
                   nullptr,
                   {Ok(kJunkFirst), Ok(kJunkRest)},
                   {0, 0},
                   4,
                   kAck,
                   0,
                   6,
                   0,
                   0,
                   1,
                   0,
                   TraceLine("addtoPacketData bytesread < 6", {0x02, 0xC9, 0x02, 0x11}),
                   2},
        ReaderCase{"NoStartByte",
                   nullptr,
                   {Ok({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF})},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   1,
                   0,
                   1,
                   0,
                   TraceLine("error no start found!"),
                   1},
        ReaderCase{"LengthByte77",
                   nullptr,
                   {Ok({0x02, 0xC4, 0x4D, 0x01, 0x02, 0x03})},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   0,
                   1,
                   1,
                   0,
                   TraceLine("PACKET SIZE IS WRONG", {0x02, 0xC4, 0x4D, 0x01, 0x02, 0x03}),
                   1},
        ReaderCase{"LengthByte76IsTheLargest",
                   nullptr,
                   {Ok({0x02, 0xC4, 0x4C, 0x01, 0x02, 0x03})},
                   {0},
                   0,
                   {0x02, 0xC4, 0x4C, 0x01, 0x02, 0x03},
                   74,
                   80,
                   0,
                   0,
                   1,
                   0,
                   "",
                   1},
        ReaderCase{"PendingThenCollected",
                   nullptr,
                   {Fail(DROVO_READ_PENDING), Ok(kAck)},
                   {-1, 0},
                   4,
                   kAck,
                   0,
                   6,
                   1,
                   0,
                   1,
                   0,
                   "",
                   2},
        ReaderCase{"ShortFirstRead",
                   nullptr,
                   {Ok({0x02, 0xC9, 0x02})},
                   {0},
                   0,
                   {},
                   6,
                   0,
                   0,
                   0,
                   1,
                   0,
                   "[TI:D] ERROR Device::Read Device 1240\n" + TraceLine("Read Error"),
                   1},
        ReaderCase{"LongerThanAnnounced",
                   nullptr,
                   {Ok(kJunkFirst), Ok(Cat(kJunkRest, {0xEE, 0xEE}))},
                   {0, -1},
                   0,
                   Cat(kAck, {0xEE, 0xEE}),
                   2,
                   6,
                   0,
                   0,
                   1,
                   DROVO_MORE_TO_READ,
                   TraceLine("addtoPacketData bytesread < 6", {0x02, 0xC9, 0x02, 0x11}) +
                       "[TI:D] ASSUMED SIZE IS WRONG! bytesread = 8 assumedsize = 6 "
                       "bytestoRead=2 bytesread=4 \n" +
                       TraceLine("more to read", Cat(kAck, {0xEE, 0xEE})) +
                       "[TI:D] ERROR Device::Read Device 1300\n",
                   2},
        ReaderCase{"PartialThatCompletes",
                   nullptr,
                   {Fail(DROVO_PARTIAL_READ, kAck)},
                   {0},
                   4,
                   kAck,
                   0,
                   6,
                   0,
                   0,
                   1,
                   0,
                   TraceLine("ERROR_PARTIALREAD") +
                       TraceLine("ERROR_PARTIALREAD-rp->m_iBytesToRead== bytesRead + "
                                 "rp->m_itotalBytesRead"),
                   1},
        ReaderCase{"PartialLargerThanAsked",
                   nullptr,
                   {Ok(kTenHead), Fail(DROVO_PARTIAL_READ, Cat(kTenTail, {0x77}))},
                   {0, 0, 0},
                   4,
                   kTen,
                   0,
                   10,
                   0,
                   0,
                   1,
                   0,
                   TraceLine("ERROR_PARTIALREAD") +
                       TraceLine("ERROR_PARTIALREAD-store what we got") +
                       TraceLine("ERROR_PARTIALREAD-bytesRead > rp->m_iBytesToRead"),
                   2},
        ReaderCase{
            "PartialSmallerThanAsked",
            nullptr,
            {Ok(kTenHead), Fail(DROVO_PARTIAL_READ, {kTen[6], kTen[7]}), Ok({kTen[8], kTen[9]})},
            {0, 0, 0},
            4,
            kTen,
            0,
            10,
            0,
            0,
            1,
            0,
            TraceLine("ERROR_PARTIALREAD") + TraceLine("ERROR_PARTIALREAD-store what we got") +
                TraceLine("ERROR_PARTIALREAD-we asked for x amount but got less, move on "
                          "to next read") +
                "[TI:D] totalbytesread = 6 assumedsize = 10 bytestoRead=4 bytesread=2 \n" +
                TraceLine("ERROR_PARTIALREAD after addtopacket",
                          Bytes(kTen.begin(), kTen.begin() + 8)) +
                "[TI:D] Setting to read ready bytesread = 8 assumedsize = 10 "
                "bytestoRead=2 bytesread=2 \n",
            3},
        ReaderCase{"PartialOverThePacketLimit",
                   Gathered(Bytes(512, 0x02), 4, 6),
                   {Fail(DROVO_PARTIAL_READ, {0x01})},
                   {-1},
                   0,
                   Bytes(512, 0x02),
                   4,
                   6,
                   1,
                   0,
                   1,
                   0,
                   TraceLine("ERROR_PARTIALREAD") + TraceLine("READ OVER PACKET LIMIT"),
                   1},
        ReaderCase{"PartialWhoseAppendFails",
                   Gathered({0x02, 0xC4, 0x4D, 0x00}, 2),
                   {Fail(DROVO_PARTIAL_READ, {0x05})},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   0,
                   1,
                   1,
                   0,
                   TraceLine("ERROR_PARTIALREAD") +
                       TraceLine("ERROR_PARTIALREAD-store what we got") +
                       TraceLine("ERROR_PARTIALREAD-we asked for x amount but got less, move on "
                                 "to next read") +
                       "[TI:D] totalbytesread = 4 assumedsize = 0 bytestoRead=2 bytesread=1 \n" +
                       TraceLine("PACKET SIZE IS WRONG", {0x05}) +
                       TraceLine("ERROR_PARTIALREAD-ret == -1"),
                   1},
        ReaderCase{"BadParameterKeepsAPositiveRequest",
                   Gathered({0x02, 0xC9}, 4),
                   {Fail(DROVO_BAD_PARAMETER)},
                   {-1},
                   0,
                   {0x02, 0xC9},
                   4,
                   0,
                   0,
                   0,
                   1,
                   0,
                   TraceLine("ERROR_BADPARAMETER", {0x02, 0xC9}),
                   1},
        ReaderCase{"BadParameterResetsANegativeRequest",
                   Gathered({0x02, 0xC9}, -2),
                   {Fail(DROVO_BAD_PARAMETER)},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   1,
                   0,
                   1,
                   0,
                   TraceLine("ERROR_BADPARAMETER", {0x02, 0xC9}),
                   1},
        ReaderCase{"InternalErrorResets",
                   Gathered({0x02, 0xC9}, 4),
                   {Fail(DROVO_INTERNAL_ERROR)},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   1,
                   0,
                   1,
                   0,
                   TraceLine("ERROR_INTERNALERROR", {0x02, 0xC9}),
                   1},
        ReaderCase{"NothingToReadResets",
                   Gathered({0x02, 0xC9}, 4),
                   {Fail(DROVO_NO_READ)},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   1,
                   0,
                   1,
                   0,
                   TraceLine("ERROR_DROVONOREAD"),
                   1},
        ReaderCase{"FailedReadClosesTheDevice",
                   nullptr,
                   {Fail(DROVO_FAILED_TO_READ)},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   0,
                   0,
                   -1,
                   0,
                   TraceLine("ERROR_FAILED_TO_READ"),
                   1},
        ReaderCase{"UnknownErrorClosesTheDevice",
                   nullptr,
                   {Fail(DROVO_READ_INCOMPLETE)},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   0,
                   0,
                   -1,
                   0,
                   "[TI:D] ERROR??? 202006 Device::Read Device 1437\n",
                   1},
        // Mended: a chunk that cannot fit behind the gathered bytes is thrown away with them.
        ReaderCase{"ChunkPastTheBufferIsDiscarded",
                   Gathered(Bytes(500, 0x02), 20),
                   {Ok(Bytes(20, 0x03))},
                   {-1},
                   0,
                   {},
                   6,
                   0,
                   1,
                   0,
                   1,
                   0,
                   TraceLine("rp->m_itotalBytesRead >= READPACKETLIMIT", Bytes(500, 0x02)),
                   1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderModes, PendingReadIsCollectedWithoutStartingANewOne) {
    ScriptedPlatform platform;
    DevicePtr device = NewDevice();
    device->m_pPlatform = &platform;
    platform.QueueReadError(DROVO_READ_PENDING);
    platform.QueueRead(kAck);
    EXPECT_EQ(device->Read(&device->m_ReadPacket, 0), -1);
    EXPECT_EQ(device->Read(&device->m_ReadPacket, 0), 0);
    EXPECT_EQ(platform.ReadModes(), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(device->m_ReadPacket.m_iReadState, READ_STATE_COMPLETE);
    EXPECT_EQ(device->m_iReadStarted, 1);
}

TEST(ReaderSilence, CountsAnErrorOnlyWhileAnAnswerIsAwaited) {
    for (int32_t awaiting : {1, 0}) {
        ScriptedPlatform platform;
        DevicePtr device = NewDevice();
        device->m_pPlatform = &platform;
        ReadPacket& rp = device->m_ReadPacket;
        StdoutCapture capture;
        for (int i = 0; i < 201; ++i)
            ASSERT_EQ(device->Read(&rp, awaiting), -1);
        EXPECT_EQ(rp.m_iFailedReads, 201);
        EXPECT_EQ(platform.WantedCounts().size(), 201u);
        capture.Finish();
        StdoutCapture silence;
        EXPECT_EQ(device->Read(&rp, awaiting), -1);
        EXPECT_EQ(NormalizeTraces(silence.Finish()),
                  awaiting ? TraceLine("NO RESPONSE IN GIVEN THRESHOLD") : "");
        EXPECT_EQ(platform.WantedCounts().size(), 201u);
        EXPECT_EQ(rp.m_iFailedReads, 0);
        EXPECT_EQ(device->trialCounter, awaiting);
        EXPECT_EQ(device->m_iReadStarted, 0);
    }
}

}  // namespace
