// A Device talking through the serial platform to the simulated controller on a pty.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "ActionRecord.h"
#include "DeviceTestSupport.h"
#include "DrovoErrorCodes.h"
#include "PlatformSerial.h"
#include "Poll.h"
#include "SimController.h"
#include "StdoutCapture.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Response {
    int32_t id;
    bool hasPacket;
    Bytes bytes;
};

std::mutex g_responsesLock;
std::vector<Response> g_responses;

void RecordResponse(int32_t id, const uint8_t* packet, int32_t length) {
    std::lock_guard<std::mutex> lock(g_responsesLock);
    g_responses.push_back(
        {id, packet != nullptr, packet ? Bytes(packet, packet + length) : Bytes()});
}

std::vector<Response> Responses() {
    std::lock_guard<std::mutex> lock(g_responsesLock);
    return g_responses;
}

Action* Pulse(int32_t delay, uint32_t tactor, int32_t durationMs) {
    Action* action = AllocateAction(10);
    EXPECT_EQ(TacOnTime(action, delay, tactor, durationMs), 0);
    return action;
}

class SerialDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Ok());
        std::lock_guard<std::mutex> lock(g_responsesLock);
        g_responses.clear();
    }
    void TearDown() override { Device::Destroy(m_device); }

    int32_t Connect() {
        m_device = new Device();
        m_device->m_ID = 3;
        return m_device->Connect(m_sim.PortName().c_str(), PLATFORM_TYPE_SERIAL, RecordResponse,
                                 &m_cancel);
    }

    // Waits for the controller's next packet and returns it as received.
    Bytes NextPacket() {
        size_t index = m_seen++;
        if (!m_sim.WaitForPackets(index + 1, std::chrono::seconds(10)))
            return {};
        return m_sim.Packets()[index].raw;
    }

    drovo_sim::SimController m_sim;
    CancelFlag m_cancel{0};
    Device* m_device = nullptr;
    size_t m_seen = 0;
};

TEST_F(SerialDevice, ExchangesTheWorkedExamplePackets) {
    m_sim.SetFirmware(0x22, 0x05);
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(NextPacket(), (Bytes{0x02, 0x0A, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA3}));
    ASSERT_TRUE(PollUntil([&] { return m_device->m_iFirmwareMajor == 0x22; }));
    EXPECT_EQ(m_device->GetMaxActions(), 192);

    Action* gain = AllocateAction(10);
    ASSERT_EQ(SetGain(gain, 5, 2, 200), 0);
    Action* run[] = {Pulse(0, 1, 100), gain};
    ASSERT_EQ(m_device->AddToList(run, 2), 0);
    EXPECT_EQ(NextPacket(), (Bytes{0x02, 0x0A, 0x02, 0x08, 0x00, 0x11, 0x00, 0x01, 0x0A, 0x20, 0x05,
                                   0x02, 0xC8, 0x1D}));
    ASSERT_TRUE(PollUntil([&] { return m_device->m_iAwaitingResponse == 0; }));
    ASSERT_EQ(m_device->AddToList(Pulse(0, 1, 100)), 0);
    EXPECT_EQ(NextPacket(), (Bytes{0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD}));

    ASSERT_TRUE(PollUntil([] { return Responses().size() >= 3; }));
    std::vector<Response> responses = Responses();
    EXPECT_EQ(responses[0].bytes, drovo_sim::reply::Firmware(0x22, 0x05));
    EXPECT_EQ(responses[1].bytes, drovo_sim::reply::Acknowledge(0x11));
    EXPECT_EQ(responses[2].bytes, drovo_sim::reply::Acknowledge(0x11));
    EXPECT_EQ(responses[2].id, 3);
}

TEST_F(SerialDevice, RepliesInPiecesAndAfterJunkArriveWhole) {
    m_sim.SetFirmware(0x05, 0x02);
    m_sim.SetSegments({4, 8, 12});
    m_sim.SetChunking(3, std::chrono::milliseconds(4));
    ASSERT_EQ(Connect(), 0);
    ASSERT_TRUE(PollUntil([&] { return m_device->m_iFirmwareMajor == 0x05; }));
    EXPECT_EQ(m_device->m_iFirmwareMinor, 0x02);

    Action* segments = AllocateAction(10);
    ASSERT_EQ(GetSegmentList(segments, 0), 0);
    ASSERT_EQ(m_device->AddToList(segments), 0);
    ASSERT_TRUE(PollUntil([&] { return m_device->GetSegments().size() == 3; }));
    EXPECT_EQ(m_device->GetSegments(), (std::vector<Segment>{{1, 4}, {5, 8}, {9, 12}}));

    m_sim.SetJunkPrefix({0x55, 0xAA});
    ASSERT_TRUE(PollUntil([&] { return m_device->m_iAwaitingResponse == 0; }));
    ASSERT_EQ(m_device->AddToList(Pulse(0, 2, 200)), 0);
    ASSERT_TRUE(PollUntil([] { return Responses().size() >= 3; }));
    EXPECT_EQ(Responses()[2].bytes, drovo_sim::reply::Acknowledge(0x11));
    EXPECT_EQ(m_device->m_iConnected, 1);
}

TEST_F(SerialDevice, SilenceBringsAResendThenTheFirmwareProbeThenTheClose) {
    ASSERT_EQ(Connect(), 0);
    NextPacket();
    ASSERT_TRUE(PollUntil([&] { return m_device->m_iFirmwareMajor == 0x22; }));
    m_sim.SetSilent(true);
    ASSERT_EQ(m_device->AddToList(Pulse(0, 1, 100)), 0);
    const Bytes pulse = {0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD};
    EXPECT_EQ(NextPacket(), pulse);
    EXPECT_EQ(NextPacket(), pulse) << "resent after the silence";
    EXPECT_EQ(NextPacket(), (Bytes{0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA9}));
    ASSERT_TRUE(PollUntil([&] { return m_device->m_bThreadRunning == 0; }));
    EXPECT_FALSE(Responses().back().hasPacket);
}

TEST_F(SerialDevice, HangUpStopsTheDeviceWithOneFinalCallback) {
    ASSERT_EQ(Connect(), 0);
    ASSERT_TRUE(PollUntil([] { return !Responses().empty(); }));
    m_sim.HangUp();
    ASSERT_TRUE(PollUntil([&] { return m_device->m_bThreadRunning == 0; }));
    std::vector<Response> responses = Responses();
    int finals = 0;
    for (const Response& response : responses) {
        if (!response.hasPacket) {
            ++finals;
            EXPECT_EQ(response.id, 3);
            EXPECT_TRUE(response.bytes.empty());
        }
    }
    EXPECT_EQ(finals, 1);
    EXPECT_EQ(responses.back().hasPacket, false);
    EXPECT_NE(m_device->m_iConnected, 1);
}

TEST(SerialPlatformConnect, PrintsTheHandleLineAndReportsTheModulesCode) {
    PlatformSerial platform;
    Device* device = new Device();
    const char* name = "/dev/no-such-serial-port";
    SetPortName(device, name);
    StdoutCapture capture;
    EXPECT_EQ(platform.Connect(device), -1);
    EXPECT_EQ(capture.Finish(),
              "[TI:D] Break from Serial 0 /dev/no-such-serial-port\n"
              "[TI:D] ERROR PlatformSerial::Connect PlatformSerial 110\n");
    EXPECT_EQ(device->m_iLastError, DROVO_CONNECT_FAILED);
    EXPECT_EQ(platform.GetLastPlatformError(), DROVO_CONNECT_FAILED);
    EXPECT_EQ(device->m_hConnection, nullptr);
    Device::Destroy(device);
}

}  // namespace
