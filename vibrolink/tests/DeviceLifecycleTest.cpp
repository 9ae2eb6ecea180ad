#include <chrono>
#include <future>
#include <stdexcept>
#include <string>

#include "ActionRecord.h"
#include "DeviceTestHooks.h"
#include "DeviceTestSupport.h"
#include "DrovoErrorCodes.h"
#include "RegistryKeys.h"
#include "StdoutCapture.h"
#include "TraceText.h"

namespace {

using namespace std::chrono_literals;

const Bytes kFirmwareRequest = {0x02, 0x0A, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA3};
const Bytes kPulseExample = {0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD};

TEST(FirmwareRequest, IsFramedWithTimeFactorTen) {
    EXPECT_EQ(ComputeChecksum(kFirmwareRequest.data(), 7), kFirmwareRequest[7]);
}

TEST_F(ConnectedDeviceTest, ConnectReturnsOnlyAfterTheFirstWriteAndAGoodRead) {
    m_platform.SetAutoReply(nullptr);
    m_device->m_bCloseOnNak = 0;
    auto connect = std::async(std::launch::async, [this] { return Connect(); });
    ASSERT_TRUE(m_platform.WaitForWrites(1));
    EXPECT_EQ(m_platform.Writes()[0], kFirmwareRequest);
    EXPECT_EQ(m_device->m_bCloseOnNak, 1);
    EXPECT_EQ(m_device->m_bFirmwareRequestPending, 1);
    EXPECT_EQ(connect.wait_for(50ms), std::future_status::timeout);
    m_platform.Feed(MakeReply(0xC8, {0x42, 0x03, 0x22}));
    EXPECT_EQ(connect.get(), 0);
    EXPECT_EQ(m_device->m_iConnected, 1);
    EXPECT_EQ(m_device->m_bFirmwareRequestPending, 0);
    EXPECT_EQ(m_device->m_bCloseOnNak, 0);
    EXPECT_STREQ(m_device->m_pPortName, "COM7");
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iFirmwareMajor == 0x22; }));
    EXPECT_EQ(m_device->m_iFirmwareMinor, 3);
    EXPECT_EQ(m_device->GetMaxActions(), 192);
}

TEST_F(ConnectedDeviceTest, PulsesQueuedWhileABatchIsInFlightLeaveTogetherAfterTheAck) {
    ASSERT_EQ(Connect(), 0);
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iAwaitingResponse == 0; }));
    m_platform.SetAutoReply(nullptr);

    ASSERT_EQ(m_device->AddToList(MakePulse(1, 100)), 0);
    ASSERT_TRUE(m_platform.WaitForWrites(2));
    EXPECT_EQ(m_platform.Writes()[1], kPulseExample);

    Action* run[] = {MakePulse(1, 100), MakeGain(2, 200, 5)};
    ASSERT_EQ(m_device->AddToList(run, 2), 0);
    EXPECT_FALSE(m_platform.WaitForWrites(3, 100));
    m_platform.Feed(MakeAck(0x11));
    ASSERT_TRUE(m_platform.WaitForWrites(3));
    EXPECT_EQ(m_platform.Writes()[2], (Bytes{0x02, 0x0A, 0x02, 0x08, 0x00, 0x11, 0x00, 0x01, 0x0A,
                                             0x20, 0x05, 0x02, 0xC8, 0x1D}));
    EXPECT_EQ(m_device->m_iActionCount, 0);
}

TEST_F(ConnectedDeviceTest, TactorStateCallbackHearsOfEveryQueuedPulseBeforeTheBatch) {
    ASSERT_EQ(Connect(), 0);
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iAwaitingResponse == 0; }));
    m_platform.SetAutoReply(nullptr);
    ASSERT_EQ(m_device->AddToList(MakeGain(1, 50)), 0);
    // The outgoing-data callback runs just after the write returns; let it finish first.
    ASSERT_TRUE(PollUntil([] { return CallbackLog::Events(CallbackEvent::OUTGOING).size() == 2; }));
    CallbackLog::Reset();

    Action* run[] = {MakePulse(1, 100), MakeGain(2, 200), MakePulse(3, 250, 2),
                     MakePulse(5, 10, 255)};
    ASSERT_EQ(m_device->AddToList(run, 4), 0);
    m_platform.Feed(MakeAck(0x20));
    ASSERT_TRUE(m_platform.WaitForWrites(3));
    ASSERT_TRUE(PollUntil([] { return !CallbackLog::Events(CallbackEvent::OUTGOING).empty(); }));

    std::vector<CallbackEvent> events = CallbackLog::Events();
    std::vector<std::vector<int32_t>> pulses;
    for (const CallbackEvent& event : events) {
        if (event.kind == CallbackEvent::OUTGOING)
            break;
        if (event.kind != CallbackEvent::TACTOR_STATE)
            continue;
        EXPECT_EQ(event.id, 3);
        pulses.push_back({event.values[0], event.values[1], event.values[2]});
    }
    EXPECT_EQ(pulses,
              (std::vector<std::vector<int32_t>>{{100, 1, 0}, {250, 3, 20}, {10, 5, 2550}}));
    EXPECT_EQ(CallbackLog::Events(CallbackEvent::TACTOR_STATE).size(), 3u);
}

TEST_F(ConnectedDeviceTest, DeviceThatStopsOnItsOwnSaysSoOnceBeforeItsPortCloses) {
    ASSERT_EQ(Connect(), 0);
    std::atomic<int32_t> closesWhenTold{-1};
    CallbackLog::SetOnResponse([&](int32_t, const uint8_t*, int32_t length) {
        if (length == -1)
            closesWhenTold = m_platform.CloseCount();
    });
    m_platform.QueueReadError(DROVO_FAILED_TO_READ);
    ASSERT_TRUE(PollUntil([this] { return m_platform.CloseCount() == 1; }));
    ASSERT_TRUE(PollUntil([this] { return m_device->m_bThreadRunning == 0; }));
    EXPECT_EQ(m_device->m_iConnected, 0);
    EXPECT_EQ(m_device->m_ID, -1);
    EXPECT_EQ(m_device->m_pPortName, nullptr);
    EXPECT_EQ(closesWhenTold, 0);
    for (auto kind : {CallbackEvent::RESPONSE, CallbackEvent::HAPSET}) {
        int stops = 0;
        for (const CallbackEvent& event : CallbackLog::Events(kind)) {
            if (event.length != -1)
                continue;
            ++stops;
            EXPECT_EQ(event.id, 3);
            EXPECT_TRUE(event.bytes.empty());
        }
        EXPECT_EQ(stops, 1);
    }
}

TEST_F(ConnectedDeviceTest, ClientCloseGivesNoStopNotice) {
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(m_device->AddToList(MakePulse(1, 100)), 0);
    ASSERT_TRUE(m_platform.WaitForWrites(2));
    m_device.reset();
    EXPECT_EQ(m_platform.CloseCount(), 1);
    for (const CallbackEvent& event : CallbackLog::Events(CallbackEvent::RESPONSE)) {
        EXPECT_NE(event.length, -1);
    }
}

TEST_F(ConnectedDeviceTest, RefusedBatchClosesTheDevice) {
    m_platform.SetAutoReply(ScriptedPlatform::AckEverything(0x22));
    ASSERT_EQ(Connect(), 0);
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iFirmwareMajor == 0x22; }));
    std::vector<Action*> ramps;
    for (int i = 0; i < 102; ++i)
        ramps.push_back(MakeRamp(1));
    StdoutCapture capture;
    ASSERT_EQ(m_device->AddToList(ramps.data(), 102), 0);
    ASSERT_TRUE(PollUntil([this] { return m_platform.CloseCount() == 1; }));
    std::string output = capture.Finish();
    EXPECT_TRUE(
        ContainsInOrder(output, {"[TI:D] ERROR Device::CreateActionList Device 1760\n"
                                 "[TI:D] Error sending action list, closing device (COM7)\n"}))
        << output;
    EXPECT_EQ(m_device->m_iLastError, DROVO_BAD_PARAMETER);
    EXPECT_EQ(m_platform.Writes().size(), 1u);
    EXPECT_EQ(CallbackLog::Events(CallbackEvent::RESPONSE).back().length, -1);
}

// A platform whose reads start throwing once asked to.
class ThrowingPlatform : public ScriptedPlatform {
  public:
    int32_t Read(Device* device, int32_t wanted, uint8_t* buffer, int32_t* count,
                 int32_t mode) override {
        if (m_throw)
            throw std::runtime_error("read exploded");
        return ScriptedPlatform::Read(device, wanted, buffer, count, mode);
    }
    std::atomic<bool> m_throw{false};
};

TEST(UpdateThreadFailure, ExceptionIsCaughtAndTheConnectionClosedQuietly) {
    CallbackLog::Reset();
    ThrowingPlatform platform;
    platform.SetAutoReply(ScriptedPlatform::AckEverything());
    PlatformInterface* previous = InstallPlatformForTesting(PLATFORM_TYPE_SERIAL, &platform);
    DevicePtr device = NewDevice();
    CancelFlag cancel{0};
    ASSERT_EQ(device->Connect("COM7", PLATFORM_TYPE_SERIAL, &CallbackLog::Response, &cancel), 0);
    StdoutCapture capture;
    platform.m_throw = true;
    ASSERT_TRUE(PollUntil([&] { return platform.CloseCount() == 1; }));
    ASSERT_TRUE(PollUntil([&] { return device->m_bThreadRunning == 0; }));
    // A read already under way may trace before the next one throws.
    const std::string output = capture.Finish();
    const std::string line = "[TI:D] ERROR UpdateThread Device 501\n";
    ASSERT_GE(output.size(), line.size());
    EXPECT_EQ(output.substr(output.size() - line.size()), line);
    EXPECT_EQ(device->m_iLastError, DROVO_INTERNAL_ERROR);
    EXPECT_EQ(device->m_iConnected, 0);
    for (const CallbackEvent& event : CallbackLog::Events(CallbackEvent::RESPONSE)) {
        EXPECT_NE(event.length, -1);
    }
    device.reset();
    InstallPlatformForTesting(PLATFORM_TYPE_SERIAL, previous);
}

TEST_F(ConnectedDeviceTest, DestroyFromItsOwnCallbackLetsTheThreadRelease) {
    ASSERT_EQ(Connect(), 0);
    // The firmware answer must be through the callbacks before the hook is set.
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iAwaitingResponse == 0; }));
    Device* device = m_device.release();
    CallbackLog::SetOnResponse([device](int32_t, const uint8_t*, int32_t length) {
        if (length > 0)
            Device::Destroy(device);
    });
    ASSERT_EQ(device->AddToList(MakePulse(1, 100)), 0);
    ASSERT_TRUE(PollUntil([this] { return m_platform.CloseCount() == 1; }));
    // Give the thread time to leave after closing the port, so the leak check sees it gone.
    std::this_thread::sleep_for(100ms);
    for (const CallbackEvent& event : CallbackLog::Events(CallbackEvent::RESPONSE)) {
        EXPECT_NE(event.length, -1);
    }
}

TEST_F(ConnectedDeviceTest, SilentControllerFailsTheConnect) {
    m_platform.SetAutoReply(nullptr);
    StdoutCapture capture;
    EXPECT_EQ(Connect(), -1);
    std::string output = capture.Finish();
    // The thread may trace its last read between the lines of the connecting thread.
    EXPECT_TRUE(ContainsInOrder(output, {"[TI:D] Setting Connection to -1 !\n",
                                         "[TI:D] connect is returning -1 m_iConnected !=1\n",
                                         "[TI:D] ERROR Device::Connect Device 275\n"}))
        << output;
    EXPECT_EQ(m_device->m_iLastError, DROVO_CONNECT_FAILED);
    EXPECT_EQ(m_device->m_bFirmwareRequestPending, 0);
}

TEST_F(ConnectedDeviceTest, CancelWhileWaitingForTheFirstWrite) {
    std::atomic<bool> connectReturned{false};
    m_platform.SetAutoReply([&](const Bytes&) {
        m_cancel = 1;
        PollUntil([&] { return connectReturned.load(); });
        return Bytes();
    });
    StdoutCapture capture;
    EXPECT_EQ(Connect(), -1);
    connectReturned = true;
    EXPECT_EQ(capture.Finish(), "[TI:D] ERROR Device::Connect Device 243\n");
    EXPECT_EQ(m_device->m_iLastError, DROVO_CONNECT_FAILED);
}

TEST_F(ConnectedDeviceTest, CancelWhileWaitingForAGoodRead) {
    m_platform.SetAutoReply(nullptr);
    m_platform.SetIdleReadError(DROVO_BAD_PARAMETER);  // reads fail without counting silence
    auto connect = std::async(std::launch::async, [this] { return Connect(); });
    ASSERT_TRUE(PollUntil([this] { return m_device->m_iPacketsSent == 1; }));
    StdoutCapture capture;
    m_cancel = 1;
    EXPECT_EQ(connect.get(), -1);
    EXPECT_EQ(NormalizeTraces(capture.Finish()).find("[TI:D] ERROR Device::Connect Device 256\n") !=
                  std::string::npos,
              true);
    EXPECT_EQ(m_device->m_iLastError, DROVO_CONNECT_FAILED);
}

struct ConnectFailure {
    const char* name;
    std::function<void(ScriptedPlatform&)> prepare;
    const char* portName;
    int32_t platformType;
    bool withCancelFlag;
    std::string output;
    int32_t code;
};

void PrintTo(const ConnectFailure& c, std::ostream* os) {
    *os << c.name;
}

class ConnectFailureTest : public ConnectedDeviceTest,
                           public ::testing::WithParamInterface<ConnectFailure> {};

TEST_P(ConnectFailureTest, LogsItsLineAndCode) {
    const ConnectFailure& c = GetParam();
    c.prepare(m_platform);
    StdoutCapture capture;
    EXPECT_EQ(m_device->Connect(c.portName, c.platformType, &CallbackLog::Response,
                                c.withCancelFlag ? &m_cancel : nullptr),
              -1);
    EXPECT_EQ(WithoutTimeStamps(capture.Finish()), c.output);
    EXPECT_EQ(m_device->m_iLastError, c.code);
    EXPECT_EQ(m_device->m_pPortName, nullptr);
    EXPECT_LE(m_device->m_iConnected, 0);
}

const std::string kLongName(512, 'A');

INSTANTIATE_TEST_SUITE_P(
    Failures, ConnectFailureTest,
    ::testing::Values(
        ConnectFailure{"NoCancelFlag", [](ScriptedPlatform&) {}, "COM7", 1, false,
                       "[TI:D] ERROR Device::Connect Device 155\n", DROVO_BAD_PARAMETER},
        ConnectFailure{"NoPortName", [](ScriptedPlatform&) {}, nullptr, 1, true,
                       "[TI:D] ERROR Device::Connect Device 160\n", DROVO_BAD_PARAMETER},
        ConnectFailure{"PortNameOf512", [](ScriptedPlatform&) {}, kLongName.c_str(), 1, true,
                       "[TI:D] ERROR Device::Connect Device 166\n", DROVO_BAD_PARAMETER},
        ConnectFailure{"NoPlatformForType", [](ScriptedPlatform&) {}, "COM7", 4, true,
                       "[time]\t[PI] Error finding platform interface for type 4. That type is "
                       "unsupported on this platform.\n"
                       "[TI:D] Failed to get platform interface!\n"
                       "[TI:D] ERROR Device::Connect Device 179\n",
                       DROVO_BAD_PARAMETER},
        ConnectFailure{"PlatformRefusesThePort",
                       [](ScriptedPlatform& p) { p.SetConnectResult(-1, DROVO_FAILED_TO_READ); },
                       "COM7", 1, true,
                       "[TI:D] ERROR Device::Connect Device 189\n[TI:D] Connect Error: -1.\n",
                       DROVO_CONNECT_FAILED},
        ConnectFailure{"ThreadDoesNotStart",
                       [](ScriptedPlatform&) { FailNextDeviceThreadStartForTesting(); }, "COM7", 1,
                       true,
                       "[TI:D] Error Creating Thread\n[TI:D] ERROR Device::Connect Device 213\n",
                       DROVO_THREAD_START_FAILED}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectedDeviceTest, FailedThreadStartClosesThePortItOpened) {
    FailNextDeviceThreadStartForTesting();
    StdoutCapture capture;
    EXPECT_EQ(Connect(), -1);
    capture.Finish();
    EXPECT_EQ(m_platform.CloseCount(), 1);
    EXPECT_EQ(m_device->m_hConnection, nullptr);
    EXPECT_EQ(m_device->m_iConnected, -1);
}

TEST_F(ConnectedDeviceTest, PortNameOf511CharactersIsAccepted) {
    const std::string name(511, 'B');
    EXPECT_EQ(Connect(name.c_str()), 0);
    EXPECT_EQ(m_device->m_pPortName, name);
}

// Paths the registry layer was asked about, and the one key that exists.
std::mutex g_registryMutex;
std::vector<std::string> g_registryPaths;
bool BluetoothCom12Exists(const char* path) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_registryPaths.push_back(path);
    return std::string(path) == "software\\toshiba\\bluetoothstack\\v1.0\\localcom\\COM12";
}

class BluetoothPortTest : public ConnectedDeviceTest {
  protected:
    void SetUp() override {
        ConnectedDeviceTest::SetUp();
        g_registryPaths.clear();
        SetRegistryKeyPredicateForTesting(&BluetoothCom12Exists);
    }
    void TearDown() override {
        ConnectedDeviceTest::TearDown();
        SetRegistryKeyPredicateForTesting(nullptr);
    }
};

TEST_F(BluetoothPortTest, BluetoothPortWaitsBeforeTheFirstPacketAndAfterClosing) {
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Connect("\\\\.\\COM12"), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1000ms);
    start = std::chrono::steady_clock::now();
    m_device.reset();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(g_registryPaths, std::vector<std::string>(
                                   2, "software\\toshiba\\bluetoothstack\\v1.0\\localcom\\COM12"));
}

TEST_F(BluetoothPortTest, OtherPortsAreLookedUpByTheirWholeName) {
    ASSERT_EQ(Connect("COM7"), 0);
    ASSERT_FALSE(g_registryPaths.empty());
    EXPECT_EQ(g_registryPaths[0], "software\\toshiba\\bluetoothstack\\v1.0\\localcom\\COM7");
}

}  // namespace
