// The simulated controller, driven through the serial module as a host would drive it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "DrovoErrorCodes.h"
#include "DrovoSerial.h"
#include "SimController.h"

namespace {

using Bytes = std::vector<uint8_t>;
using drovo_sim::SimController;
namespace reply = drovo_sim::reply;

class SimHost : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Ok());
        m_port = serial_Connect(m_sim.PortName().c_str());
        ASSERT_NE(m_port, nullptr);
    }
    void TearDown() override {
        if (m_port) {
            serial_Close(m_port, &m_record, nullptr);
        }
    }

    void Send(const Bytes& bytes) {
        ASSERT_EQ(serial_Write(m_port, nullptr, bytes.data(), static_cast<int32_t>(bytes.size())),
                  static_cast<int>(bytes.size()));
    }

    // Reads until `count` bytes have come, the port fails, or `limit` passes.
    Bytes Receive(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        Bytes got;
        int32_t mode = 0;
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            uint8_t buffer[512];
            int32_t n = 0;
            int want = static_cast<int>(count - got.size());
            int result = serial_Read(m_port, &m_record, want, buffer, &n, mode);
            int error = result < 0 ? serial_GetLastDrovoError() : 0;
            if (result == 0 || error == DROVO_PARTIAL_READ) {
                got.insert(got.end(), buffer, buffer + n);
            }
            if (error == DROVO_FAILED_TO_READ) {
                m_failed = true;
                break;
            }
            mode = error == DROVO_READ_PENDING ? 1 : 0;
            if (error == DROVO_NO_READ || error == DROVO_READ_PENDING) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return got;
    }

    SimController m_sim;
    DrovoSerialHandle m_port = nullptr;
    DrovoIoRecord m_record = {};
    bool m_failed = false;
};

TEST_F(SimHost, DecodesHostPacketsAndAnswersThem) {
    struct Case {
        Bytes packet;
        const char* line;
        Bytes answer;
    };
    const Case cases[] = {
        {{0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD},
         "tf 10, 1 action, 4 payload bytes, checksum ok: Pulse delay 0 [01 0A]",
         reply::Acknowledge(0x11)},
        {{0x02, 0x0A, 0x02, 0x08, 0x00, 0x11, 0x00, 0x01, 0x0A, 0x20, 0x05, 0x02, 0xC8, 0x1D},
         "tf 10, 2 actions, 8 payload bytes, checksum ok: Pulse delay 0 [01 0A]; "
         "SetGain delay 5 [02 C8]",
         reply::Acknowledge(0x11)},
        {{0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA9},
         "tf 0, 1 action, 2 payload bytes, checksum ok: ReadFirmwareVersion delay 0 []",
         {0x02, 0xC8, 0x03, 0x42, 0x05, 0x22, 0x46}},
        {{0x02, 0x0A, 0x02, 0x05, 0x00, 0x01, 0x00, 0x01, 0x00, 0x07, 0xE2},
         "tf 10, 2 actions, 5 payload bytes, checksum ok: Stop delay 0 []; Stop delay 0 [07]",
         reply::Acknowledge(0x01)},
        {{0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFE},
         "tf 10, 1 action, 4 payload bytes, checksum BAD: Pulse delay 0 [01 0A]",
         reply::Refuse(0x11, 2)},
        {{0x02, 0x0A, 0x01, 0x02, 0x00, 0x77, 0x00, 0x96},
         "tf 10, 1 action, 2 payload bytes, checksum ok: undecodable [02 0A 01 02 00 77 00 96]",
         reply::Refuse(0x77, 4)},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        Send(c.packet);
        ASSERT_TRUE(m_sim.WaitForPackets(i + 1, std::chrono::seconds(5)));
        drovo_sim::SimPacket packet = m_sim.Packets()[i];
        EXPECT_EQ(packet.raw, c.packet);
        EXPECT_EQ(packet.Describe(), c.line);
        EXPECT_EQ(Receive(c.answer.size()), c.answer) << c.line;
    }
}

TEST_F(SimHost, JunkBeforeAPacketIsSkipped) {
    Send({0x55, 0xAA, 0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD});
    ASSERT_TRUE(m_sim.WaitForPackets(1, std::chrono::seconds(5)));
    EXPECT_TRUE(m_sim.Packets()[0].checksumOk);
}

TEST_F(SimHost, AnswersConfiguredFirmwareAndSegments) {
    m_sim.SetFirmware(0x05, 0x10);
    m_sim.SetSegments({4, 8});
    // Firmware request and segment-list request in one packet: both answers, in order.
    Bytes packet = {0x02, 0x0A, 0x02, 0x04, 0x00, 0x42, 0x00, 0x45, 0x00, 0x00};
    packet.back() = 0x02 ^ 0x0A ^ 0x02 ^ 0x04 ^ 0x42 ^ 0x45 ^ 0xEA;
    Send(packet);
    Bytes expected = reply::Firmware(0x05, 0x10);
    Bytes segments = {
        0x02, 0xC8, 0x03, 0x45, 0x04, 0x08, 0x02 ^ 0xC8 ^ 0x03 ^ 0x45 ^ 0x04 ^ 0x08 ^ 0xEA};
    expected.insert(expected.end(), segments.begin(), segments.end());
    EXPECT_EQ(Receive(expected.size()), expected);
}

TEST_F(SimHost, InjectedRepliesReplaceTheNormalOnesInOrder) {
    const Bytes pulse = {0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD};
    m_sim.RefuseNext(16);
    m_sim.FaultListNext({{3, 1, 0x05}, {4, 2, 0x80}});
    m_sim.ReplyNextWith({0x02, 0xEE, 0x02, 0x00, 0x00, 0x06});
    Bytes expected = reply::Refuse(0x11, 16);
    Bytes faults = reply::FaultList(0x11, {{3, 1, 0x05}, {4, 2, 0x80}});
    EXPECT_EQ(faults, (Bytes{0x02, 0xC4, 0x09, 0x11, 0x0A, 0x02, 0x03, 0x01, 0x05, 0x04, 0x02, 0x80,
                             0x02 ^ 0xC4 ^ 0x09 ^ 0x11 ^ 0x0A ^ 0x02 ^ 0x03 ^ 0x01 ^ 0x05 ^ 0x04 ^
                                 0x02 ^ 0x80 ^ 0xEA}));
    expected.insert(expected.end(), faults.begin(), faults.end());
    expected.insert(expected.end(), {0x02, 0xEE, 0x02, 0x00, 0x00, 0x06});
    Bytes acknowledge = reply::Acknowledge(0x11);
    expected.insert(expected.end(), acknowledge.begin(), acknowledge.end());
    for (int i = 0; i < 4; ++i) {
        Send(pulse);
    }
    EXPECT_EQ(Receive(expected.size()), expected);
}

TEST_F(SimHost, SilentControllerRecordsButDoesNotAnswer) {
    m_sim.SetSilent(true);
    Send({0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD});
    ASSERT_TRUE(m_sim.WaitForPackets(1, std::chrono::seconds(5)));
    EXPECT_TRUE(Receive(1, std::chrono::milliseconds(200)).empty());
}

TEST_F(SimHost, ReportsGoOutInChunksAfterJunk) {
    m_sim.SetJunkPrefix({0x99, 0x98});
    m_sim.SetChunking(3, std::chrono::milliseconds(5));
    m_sim.SendBeltChange(0x70);
    m_sim.SendControllerError();
    Bytes expected = {0x99, 0x98};
    Bytes belt = reply::BeltChange(0x70);
    expected.insert(expected.end(), belt.begin(), belt.end());
    expected.insert(expected.end(), {0x99, 0x98});
    Bytes error = reply::ControllerError();
    expected.insert(expected.end(), error.begin(), error.end());
    EXPECT_EQ(Receive(expected.size()), expected);
}

TEST_F(SimHost, HangUpFailsTheHostsReads) {
    m_sim.HangUp();
    EXPECT_TRUE(Receive(6).empty());
    EXPECT_TRUE(m_failed);
    m_sim.SendBeltChange(0x71);  // nothing left to send on: dropped quietly
}

TEST(SimReplies, EveryReplyIsAtLeastSixBytesWithAValidChecksum) {
    const Bytes replies[] = {reply::Acknowledge(0x11), reply::Refuse(0x11, 20),
                             reply::FaultList(0, {}),  reply::Firmware(2, 5),
                             reply::Segments({}),      reply::BeltChange(0x71),
                             reply::ControllerError(), reply::Make(0x50, {})};
    for (const Bytes& bytes : replies) {
        ASSERT_GE(bytes.size(), 6u);
        EXPECT_EQ(bytes[0], 0x02);
        EXPECT_EQ(bytes.size(), bytes[2] + 4u);
        EXPECT_EQ(drovo_sim::SimChecksum(bytes.data(), bytes.size() - 1), bytes.back());
    }
}

TEST(SimObserver, SeesEveryPacketOnTheWorkerThread) {
    SimController sim;
    std::atomic<int> seen{0};
    sim.SetPacketObserver([&](const drovo_sim::SimPacket& packet) {
        if (packet.Has(0x11)) {
            ++seen;
        }
    });
    DrovoSerialHandle port = serial_Connect(sim.PortName().c_str());
    ASSERT_NE(port, nullptr);
    const uint8_t pulse[] = {0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD};
    serial_Write(port, nullptr, pulse, sizeof pulse);
    serial_Write(port, nullptr, pulse, sizeof pulse);
    ASSERT_TRUE(sim.WaitForPackets(2, std::chrono::seconds(5)));
    // The observer runs after the packet is recorded; give it a moment to finish.
    for (int i = 0; i < 500 && seen < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(seen, 2);
    serial_Close(port, nullptr, nullptr);
}

}  // namespace
