// Random byte streams in random chunks through the reader and the reply processing, as the
// update thread drives them. Run under the sanitizers, any read or write outside a buffer fails.
#include <random>

#include "DeviceTestSupport.h"
#include "DrovoErrorCodes.h"
#include "StdoutCapture.h"

namespace {

class Fuzzer {
  public:
    explicit Fuzzer(uint32_t seed) : m_random(seed) {}

    int Below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    // Mostly well-formed replies, some corrupted, some pure noise.
    Bytes Reply() {
        const uint8_t types[] = {0xC4, 0xC8, 0xC9, 0xCC, 0xEE, 0x00, 0x02};
        Bytes payload(Below(12));
        for (uint8_t& byte : payload)
            byte = static_cast<uint8_t>(Below(256));
        if (Below(4) == 0 && payload.size() >= 2)
            payload[1] = 10;
        Bytes reply = MakeReply(types[Below(sizeof(types))], payload);
        if (Below(5) == 0)
            reply[Below(static_cast<int>(reply.size()))] = Below(256);
        if (Below(8) == 0)
            reply.resize(Below(static_cast<int>(reply.size()) + 1));
        if (Below(10) == 0) {
            Bytes noise(Below(700));
            for (uint8_t& byte : noise)
                byte = static_cast<uint8_t>(Below(256));
            return noise;
        }
        return reply;
    }

    // One platform answer: mostly chunks of the stream, sometimes an error code.
    void Script(ScriptedPlatform& platform, Bytes& stream) {
        const int32_t errors[] = {DROVO_BAD_PARAMETER, DROVO_INTERNAL_ERROR, DROVO_PARTIAL_READ,
                                  DROVO_READ_PENDING, DROVO_NO_READ};
        size_t size = std::min<size_t>(stream.size(), Below(3) == 0 ? Below(600) : Below(12));
        Bytes chunk(stream.begin(), stream.begin() + size);
        stream.erase(stream.begin(), stream.begin() + size);
        if (Below(6) == 0) {
            platform.QueueReadError(errors[Below(sizeof(errors) / sizeof(errors[0]))], chunk);
        } else {
            platform.QueueRead(chunk);
        }
    }

  private:
    std::mt19937 m_random;
};

TEST(ReaderFuzz, RandomStreamsNeverOverrunThePacket) {
    StdoutCapture capture;
    int complete = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        Fuzzer fuzz(seed);
        ScriptedPlatform platform;
        DevicePtr device = NewDevice();
        device->m_pPlatform = &platform;
        ReadPacket& rp = device->m_ReadPacket;
        Bytes stream;
        for (int cycle = 0; cycle < 1500; ++cycle) {
            if (stream.size() < 64) {
                Bytes reply = fuzz.Reply();
                stream.insert(stream.end(), reply.begin(), reply.end());
            }
            fuzz.Script(platform, stream);
            device->m_iConnected = 1;
            device->Read(&rp, fuzz.Below(2));
            ASSERT_GE(rp.m_itotalBytesRead, 0);
            ASSERT_LE(rp.m_itotalBytesRead, READPACKETLIMIT);
            ASSERT_LE(rp.m_iAssumedSize, 80);
            if (rp.m_iReadState == READ_STATE_COMPLETE) {
                ++complete;
                device->ProcessPacket(rp.m_PacketData, rp.m_itotalBytesRead);
                Device::ResetReadPacket(&rp);
                rp.m_iFailedReads = 0;
            }
            device->ErrorHandler();
        }
    }
    capture.Finish();
    EXPECT_GT(complete, 100);
}

TEST(ReaderFuzz, ProcessingReadsOnlyTheGatheredBytes) {
    StdoutCapture capture;
    Fuzzer fuzz(7);
    DevicePtr device = NewDevice();
    for (int i = 0; i < 20000; ++i) {
        Bytes packet = fuzz.Reply();
        // An exact-size heap copy, so a read past the end is caught by the address sanitizer.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[packet.size()]);
        std::copy(packet.begin(), packet.end(), exact.get());
        device->ProcessPacket(exact.get(), static_cast<int32_t>(packet.size()));
    }
    capture.Finish();
}

}  // namespace
