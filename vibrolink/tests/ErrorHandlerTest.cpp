#include <string>

#include "DeviceTestSupport.h"
#include "DrovoErrorCodes.h"
#include "StdoutCapture.h"
#include "TraceText.h"

namespace {

const Bytes kPulsePacket = {0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD};
const Bytes kProbe = {0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA9};
const std::string kResending = "[TI:D] RESENDING: 2  a  1  4  0  11  0  1  a  fd \n";
const std::string kSending = "[TI:D] SENDING: 2  0  1  2  0  42  0  a9 \n";

struct HandlerCase {
    const char* name;
    // Before: counters, switches.
    int32_t trials, lastStep, alerts;
    uint8_t closeOnNak, firmwarePending;
    // After.
    std::string output;
    std::vector<Bytes> writes;
    int32_t trialsAfter, lastStepAfter, alertsAfter, connected, lastError;
    bool listCleared;
    int32_t awaiting;
};

void PrintTo(const HandlerCase& c, std::ostream* os) {
    *os << c.name;
}

class HandlerTest : public ::testing::TestWithParam<HandlerCase> {
  protected:
    void SetUp() override {
        m_device->m_pPlatform = &m_platform;
        m_device->m_ID = 4;
        SetPortName(m_device.get(), "COM9");
        m_device->m_iConnected = 1;
        std::copy(kPulsePacket.begin(), kPulsePacket.end(), m_device->m_LastWrite);
        m_device->m_iLastWriteLength = static_cast<int32_t>(kPulsePacket.size());
        m_device->m_iAwaitingResponse = 1;
        ASSERT_EQ(m_device->AddToList(MakePulse(2, 200)), 0);
    }
    ScriptedPlatform m_platform;
    DevicePtr m_device = NewDevice();
};

TEST_P(HandlerTest, TakesTheFirstMatchingStep) {
    const HandlerCase& c = GetParam();
    m_device->trialCounter = c.trials;
    m_device->ls_trialCounter = c.lastStep;
    m_device->_alerterror = c.alerts;
    m_device->m_bCloseOnNak = c.closeOnNak;
    m_device->m_bFirmwareRequestPending = c.firmwarePending;
    StdoutCapture capture;
    m_device->ErrorHandler();
    EXPECT_EQ(NormalizeTraces(capture.Finish()), c.output);
    EXPECT_EQ(m_platform.Writes(), c.writes);
    EXPECT_EQ(m_device->m_iPacketsSent, static_cast<int32_t>(c.writes.size()));
    EXPECT_EQ(m_device->trialCounter, c.trialsAfter);
    EXPECT_EQ(m_device->ls_trialCounter, c.lastStepAfter);
    EXPECT_EQ(m_device->_alerterror, c.alertsAfter);
    EXPECT_EQ(m_device->m_iConnected, c.connected);
    EXPECT_EQ(m_device->m_iLastError, c.lastError);
    EXPECT_EQ(m_device->m_iActionCount, c.listCleared ? 0 : 1);
    EXPECT_EQ(m_device->m_iAwaitingResponse, c.awaiting);
    // The resend source is never overwritten by the probe.
    EXPECT_TRUE(std::equal(kPulsePacket.begin(), kPulsePacket.end(), m_device->m_LastWrite));
}

const std::string kAlertTrace = "[TI:D] #,_alerterror > 10\n,\n";
const std::string kAlertLine = "[TI:D] ERROR Device::ErrorHandler Device 952\n";
const std::string kResendHead =
    "[TI:D] #,trialCounter == 1 && ls_trialCounter == 0 RESENDING LAST WRITE\n,\n"
    "[TI:D] ERROR DEVICE COM9 (id: 4)\n";
const std::string kProbeHead =
    "[TI:D] ERROR DEVICE COM9\n"
    "[TI:D] #,trialCounter == 2 && ls_trialCounter == 1 SENDING READ FW\n,\n";
const std::string kCloseHead =
    "[TI:D] ERROR DEVICE COM9\n[TI:D] #,trialCounter > 2 CLOSING DOWN!\n\n,\n";

INSTANTIATE_TEST_SUITE_P(
    Steps, HandlerTest,
    ::testing::Values(
        HandlerCase{
            "AlertsAboveTenClose",
            3,
            2,
            11,
            1,
            0,
            kAlertTrace + kAlertLine + "[TI:D] ERROR: Closing alert error is greater then 10\n",
            {},
            3,
            2,
            11,
            -1,
            DROVO_FAILED_TO_READ,
            false,
            1},
        HandlerCase{"AlertsAboveTenInTestingMode",
                    3,
                    2,
                    11,
                    0,
                    0,
                    kAlertTrace + kAlertLine +
                        "[TI:D] ERROR: would be closing due to alerterror above 10, but we are "
                        "in testing mode\n",
                    {},
                    3,
                    2,
                    11,
                    1,
                    DROVO_FAILED_TO_READ,
                    true,
                    0},
        HandlerCase{"AlertsOfTenAreNotEnough", 0, 0, 10, 1, 0, "", {}, 0, 0, 10, 1, 0, false, 1},
        HandlerCase{"FirstErrorResends",
                    1,
                    0,
                    0,
                    1,
                    0,
                    kResendHead + kResending,
                    {kPulsePacket},
                    1,
                    1,
                    1,
                    1,
                    0,
                    true,
                    1},
        HandlerCase{"FirstErrorInTestingModeWritesNothing",
                    1,
                    0,
                    0,
                    0,
                    0,
                    kResendHead + kResending,
                    {},
                    1,
                    1,
                    0,
                    1,
                    0,
                    true,
                    0},
        HandlerCase{"NoResendWhileTheFirmwareRequestIsPending",
                    1,
                    0,
                    0,
                    1,
                    1,
                    "",
                    {},
                    1,
                    0,
                    0,
                    1,
                    0,
                    false,
                    1},
        HandlerCase{"SecondErrorProbes",
                    2,
                    1,
                    1,
                    1,
                    0,
                    kProbeHead + kSending,
                    {kProbe},
                    3,
                    2,
                    2,
                    1,
                    0,
                    true,
                    1},
        HandlerCase{"SecondErrorProbesInTestingModeToo",
                    2,
                    1,
                    0,
                    0,
                    0,
                    kProbeHead + kSending,
                    {kProbe},
                    3,
                    1,
                    0,
                    1,
                    0,
                    true,
                    1},
        HandlerCase{"ThirdErrorCloses",
                    3,
                    2,
                    2,
                    1,
                    0,
                    kCloseHead + "[TI:D] Setting Connection to -1 !\n",
                    {},
                    0,
                    0,
                    2,
                    -1,
                    0,
                    true,
                    0},
        HandlerCase{"ThirdErrorInTestingModeStaysOpen",
                    3,
                    1,
                    0,
                    0,
                    0,
                    kCloseHead + "[TI:D] RECEIVED NAK \n",
                    {},
                    0,
                    0,
                    0,
                    1,
                    0,
                    true,
                    0},
        HandlerCase{"ControllerErrorClosesAtOnce",
                    10,
                    0,
                    0,
                    1,
                    0,
                    kCloseHead + "[TI:D] Setting Connection to -1 !\n",
                    {},
                    0,
                    0,
                    0,
                    -1,
                    0,
                    true,
                    0},
        HandlerCase{"TwoErrorsBeforeAnyStepWait", 2, 0, 0, 1, 0, "", {}, 2, 0, 0, 1, 0, false, 1},
        HandlerCase{"RepeatedFirstErrorWaits", 1, 1, 1, 1, 0, "", {}, 1, 1, 1, 1, 0, false, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectedDeviceTest, RefusalThenSilenceResendsProbesAndCloses) {
    ASSERT_EQ(Connect(), 0);
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iAwaitingResponse == 0; }));
    m_platform.SetAutoReply(nullptr);
    ASSERT_EQ(m_device->m_bCloseOnNak, 1);
    StdoutCapture capture;
    ASSERT_EQ(m_device->AddToList(MakePulse(1, 100)), 0);
    ASSERT_TRUE(m_platform.WaitForWrites(2));
    m_platform.Feed(MakeReply(0xC4, {0x11, 0x05}));
    ASSERT_TRUE(
        PollUntil([this] { return m_platform.CloseCount() == 1; }, std::chrono::seconds(30)));
    std::string output = capture.Finish();

    const std::vector<Bytes> writes = m_platform.Writes();
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[1], kPulsePacket);
    EXPECT_EQ(writes[2], kPulsePacket);
    EXPECT_EQ(writes[3], kProbe);
    EXPECT_TRUE(ContainsInOrder(output, {kResending, "NO RESPONSE IN GIVEN THRESHOLD", kSending,
                                         "[TI:D] Setting Connection to -1 !\n"}));
    int stops = 0;
    for (const CallbackEvent& event : CallbackLog::Events(CallbackEvent::RESPONSE)) {
        if (event.length == -1)
            ++stops;
    }
    EXPECT_EQ(stops, 1);
}

TEST_F(ConnectedDeviceTest, TestingModeProbesButStaysOpen) {
    ASSERT_EQ(Connect(), 0);
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iAwaitingResponse == 0; }));
    m_platform.SetAutoReply(nullptr);
    m_device->m_bCloseOnNak = 0;
    StdoutCapture capture;
    ASSERT_EQ(m_device->AddToList(MakePulse(1, 100)), 0);
    ASSERT_TRUE(m_platform.WaitForWrites(2));
    m_platform.Feed(MakeReply(0xC4, {0x11, 0x05}));
    ASSERT_TRUE(PollUntil([this] { return m_device->ls_trialCounter == 1; }));
    m_platform.Feed(MakeReply(0xC4, {0x11, 0x05}));
    ASSERT_TRUE(m_platform.WaitForWrites(3));
    ASSERT_TRUE(PollUntil([this] { return m_device->ls_trialCounter == 0; }));
    std::string output = capture.Finish();
    EXPECT_EQ(m_platform.Writes()[2], kProbe);
    EXPECT_TRUE(ContainsInOrder(output, {kResending, kSending, "[TI:D] RECEIVED NAK \n"}));
    EXPECT_EQ(m_device->m_iConnected, 1);
    EXPECT_EQ(m_device->trialCounter, 0);
    // The device goes on sending.
    ASSERT_EQ(m_device->AddToList(MakePulse(1, 100)), 0);
    ASSERT_TRUE(m_platform.WaitForWrites(4));
    EXPECT_EQ(m_platform.Writes()[3], kPulsePacket);
    EXPECT_EQ(m_platform.CloseCount(), 0);
}

}  // namespace
