// End to end through the exported functions: the kit connected over a pseudo-terminal to the
// simulated controller, checked by what arrives on the wire.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ApiTestSupport.h"
#include "Poll.h"
#include "SimController.h"

namespace {

using Bytes = std::vector<uint8_t>;
using drovo_sim::SimController;
using drovo_sim::SimPacket;

// What the response callback saw, and what it is asked to do, shared with the device threads.
std::mutex g_lock;
std::vector<std::pair<int32_t, Bytes>> g_replies;  // (ID, packet); a stop has an empty packet
int g_stops = 0;
std::function<void(int32_t, const uint8_t*, int32_t)> g_onReply;

void OnReply(int32_t id, const uint8_t* packet, int32_t length) {
    std::function<void(int32_t, const uint8_t*, int32_t)> hook;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_replies.emplace_back(id, packet ? Bytes(packet, packet + length) : Bytes());
        g_stops += length == -1 ? 1 : 0;
        hook = g_onReply;
    }
    if (hook)
        hook(id, packet, length);
}

bool WaitFor(const std::function<bool()>& condition) {
    return PollUntil(condition, std::chrono::seconds(20));
}

int Stops() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_stops;
}

// True for the controller's acknowledgement of a battery-level request.
bool AnswersBatteryRequest(const uint8_t* packet, int32_t length) {
    return packet && length >= 6 && packet[1] == 0xC9 && packet[3] == 0x3A;
}

// The first packet received after `from` that carries `command`, or an empty packet.
SimPacket FirstWith(const SimController& sim, uint8_t command, size_t from = 0) {
    std::vector<SimPacket> packets = sim.Packets();
    for (size_t i = from; i < packets.size(); ++i) {
        if (packets[i].Has(command))
            return packets[i];
    }
    return SimPacket{};
}

// The tactors of every pulse received, in order.
std::vector<int> PulsedTactors(const SimController& sim) {
    std::vector<int> tactors;
    for (const SimPacket& packet : sim.Packets()) {
        for (const drovo_sim::SimAction& action : packet.actions) {
            if (action.command == 0x11)
                tactors.push_back(action.data[0]);
        }
    }
    return tactors;
}

class WireTest : public KitTest {
  protected:
    void SetUp() override {
        KitTest::SetUp();
        std::lock_guard<std::mutex> hold(g_lock);
        g_replies.clear();
        g_stops = 0;
        g_onReply = nullptr;
    }
    void TearDown() override {
        {
            std::lock_guard<std::mutex> hold(g_lock);
            g_onReply = nullptr;
        }
        KitTest::TearDown();
    }

    // Connects to sim and waits until the connect-time requests have been answered.
    int32_t ConnectTo(SimController& sim) {
        EXPECT_TRUE(sim.Ok());
        size_t before = sim.PacketCount();
        int32_t id = Connect(sim.PortName().c_str(), 1, OnReply);
        EXPECT_GE(id, 0) << GetLastDrovoError();
        // The firmware request and the segment-list request.
        EXPECT_TRUE(sim.WaitForPackets(before + 2, std::chrono::seconds(20)));
        EXPECT_TRUE(WaitFor([&] { return FirstWith(sim, 0x45, before).raw.size() > 0; }));
        return id;
    }

    // Sets what the response callback does next, on the device's thread.
    static void OnNextReply(std::function<void(int32_t, const uint8_t*, int32_t)> hook) {
        std::lock_guard<std::mutex> hold(g_lock);
        g_onReply = std::move(hook);
    }
};

TEST_F(WireTest, WorkedExamplePacketsArriveByteForByte) {
    SimController sim;
    int32_t id = ConnectTo(sim);
    size_t before = sim.PacketCount();
    ASSERT_EQ(Pulse(id, 1, 100, 0), 0);
    ASSERT_TRUE(sim.WaitForPackets(before + 1, std::chrono::seconds(20)));
    EXPECT_EQ(FirstWith(sim, 0x11, before).raw,
              (Bytes{0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD}));

    // Queued from the callback, before the reply that frees the device is processed, the two
    // commands travel in one packet.
    OnNextReply([](int32_t device, const uint8_t* packet, int32_t length) {
        if (!AnswersBatteryRequest(packet, length))
            return;
        EXPECT_EQ(Pulse(device, 1, 100, 0), 0);
        EXPECT_EQ(ChangeGain(device, 2, 200, 5), 0);
    });
    before = sim.PacketCount();
    ASSERT_EQ(ReadBatteryLevel(id, 0), 0);
    ASSERT_TRUE(WaitFor([&] { return FirstWith(sim, 0x20, before).raw.size() > 0; }));
    EXPECT_EQ(FirstWith(sim, 0x20, before).raw, (Bytes{0x02, 0x0A, 0x02, 0x08, 0x00, 0x11, 0x00,
                                                       0x01, 0x0A, 0x20, 0x05, 0x02, 0xC8, 0x1D}));
}

TEST_F(WireTest, TimeFactorTravelsInThePacketHeader) {
    SimController sim;
    int32_t id = ConnectTo(sim);
    ASSERT_EQ(SetTimeFactor(0), 0);
    size_t before = sim.PacketCount();
    ASSERT_EQ(Pulse(id, 2, 100, 3), 0);
    ASSERT_TRUE(WaitFor([&] { return FirstWith(sim, 0x11, before).raw.size() > 0; }));
    EXPECT_EQ(FirstWith(sim, 0x11, before).timeFactor, 0);
    ASSERT_EQ(SetTimeFactor(10), 0);
}

TEST_F(WireTest, IdsOfClosedDevicesAreReused) {
    std::vector<std::unique_ptr<SimController>> sims;
    for (int i = 0; i < 4; ++i)
        sims.push_back(std::make_unique<SimController>());
    EXPECT_EQ(ConnectTo(*sims[0]), 0);
    EXPECT_EQ(ConnectTo(*sims[1]), 1);
    EXPECT_EQ(ConnectTo(*sims[2]), 2);
    EXPECT_EQ(Close(1), 0);
    EXPECT_EQ(ConnectTo(*sims[3]), 1);
    // Commands reach the controller behind each ID.
    size_t before = sims[3]->PacketCount();
    EXPECT_EQ(Pulse(1, 4, 100, 0), 0);
    EXPECT_TRUE(WaitFor([&] { return FirstWith(*sims[3], 0x11, before).raw.size() > 0; }));
}

TEST_F(WireTest, RefusedGroupACommandIsReportedByTheNextUpdate) {
    SimController sim;
    sim.SetFirmware(0x30, 0x01);  // a controller with the 64-record limit
    int32_t id = ConnectTo(sim);
    // The device's thread is inside the callback, so nothing is sent while the list fills.
    std::atomic<int> lastPulse{1};
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    OnNextReply([&](int32_t device, const uint8_t* packet, int32_t length) {
        if (!AnswersBatteryRequest(packet, length) || started.exchange(true))
            return;
        for (int i = 0; i < 63; ++i)
            EXPECT_EQ(Pulse(device, 1, 100, 0), 0);
        lastPulse = Pulse(device, 1, 100, 0);
        done = true;
    });
    ASSERT_EQ(ReadBatteryLevel(id, 0), 0);
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    EXPECT_EQ(lastPulse.load(), 0);
    EXPECT_EQ(GetLastDrovoError(), 0);
    EXPECT_EQ(UpdateTI(), 204010);
    EXPECT_EQ(GetLastDrovoError(), 204010);
    // The device itself is fine: once the error is cleared it keeps working.
    SetLastDrovoError(0);
    EXPECT_EQ(UpdateTI(), 0);
    EXPECT_EQ(Pulse(id, 1, 100, 0), 0);
}

TEST_F(WireTest, DeviceThatStopsOnItsOwnIsSweptByTheNextUpdate) {
    SimController sim;
    int32_t id = ConnectTo(sim);
    sim.HangUp();
    ASSERT_TRUE(WaitFor([] { return Stops() == 1; }));
    {
        std::lock_guard<std::mutex> hold(g_lock);
        EXPECT_EQ(g_replies.back(), (std::pair<int32_t, Bytes>{id, Bytes{}}));
    }
    // The stop also took the device's controller out of the Hapset manager.
    EXPECT_EQ(CanHapsetMap(id, 0, 1), -1);
    EXPECT_EQ(GetLastDrovoError(), 402004);
    SetLastDrovoError(0);
    EXPECT_EQ(UpdateTI(), 0);
    EXPECT_EQ(Pulse(id, 1, 100, 0), -1);
    EXPECT_EQ(GetLastDrovoError(), 202002);
    EXPECT_EQ(Stops(), 1);
}

TEST_F(WireTest, PlayedHapsetArrivesOnTheControllersTactors) {
    SimController sim;
    sim.SetSegments({4, 8});
    int32_t id = ConnectTo(sim);
    int32_t header[3] = {10, 4, 1};
    int32_t segments[2] = {1, 4};
    int32_t actionHeaders[16] = {0, 1, 1, 0, 10, 1, 1, 0, 20, 1, 1, 0, 30, 1, 1, 0};
    double data[4] = {100, 100, 100, 100};
    int32_t locations[4] = {1, 2, 3, 4};
    SaveNonLoadedHapset(0, "running", header, segments, actionHeaders, data, locations);
    SetLastDrovoError(0);
    ASSERT_EQ(GetLoadedHapsetSize(), 1);
    // The controller's segment list reaches the Hapset manager right after the client sees it.
    ASSERT_TRUE(WaitFor([id] { return CanHapsetMap(id, 0, 3) == 0; }));
    SetLastDrovoError(0);

    EXPECT_EQ(PlayHapset(id, 0, 3, 1.0f, 1.0f, 1.0f, 1.0f), 0);
    ASSERT_TRUE(WaitFor([&] { return PulsedTactors(sim).size() == 4; }));
    EXPECT_EQ(PulsedTactors(sim), (std::vector<int>{3, 4, 1, 2}));
    // The second segment of the controller, from its second tactor.
    EXPECT_EQ(PlayHapsetToSegment(id, 0, 2, 2, 1.0f, 1.0f, 1.0f, 1.0f), 0);
    ASSERT_TRUE(WaitFor([&] { return PulsedTactors(sim).size() == 8; }));
    EXPECT_EQ(PulsedTactors(sim), (std::vector<int>{3, 4, 1, 2, 6, 7, 8, 5}));
    EXPECT_EQ(PlayHapsetToSegment(id, 0, 1, -1, 1.0f, 1.0f, 1.0f, 1.0f), -1);
    EXPECT_EQ(GetLastDrovoError(), 402002);
}

TEST_F(WireTest, ConnectWithTheHapsetRegistryFullKeepsTheDevice) {
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(AddFalseDevice(), i);
    SimController sim;
    EXPECT_EQ(Connect(sim.PortName().c_str(), 1, OnReply), -1);
    EXPECT_EQ(GetLastDrovoError(), 402009);
    // The device got ID 64 and is connected all the same.
    SetLastDrovoError(0);
    size_t before = sim.PacketCount();
    EXPECT_EQ(Pulse(64, 1, 100, 0), 0);
    EXPECT_TRUE(WaitFor([&] { return FirstWith(sim, 0x11, before).raw.size() > 0; }));
    EXPECT_EQ(Close(64), 0);
}

TEST_F(WireTest, ClosingWhileOtherThreadsSendIsSafe) {
    SimController sim;
    int32_t id = ConnectTo(sim);
    std::atomic<bool> closed{false};
    std::atomic<int> refusedAfterClose{0};
    auto sender = [&] {
        while (true) {
            bool wasClosed = closed.load();
            int32_t result = Pulse(id, 1, 100, 0);
            ReadBatteryLevel(id, 0);
            if (wasClosed && result == -1) {
                ++refusedAfterClose;
                return;
            }
        }
    };
    std::thread first(sender);
    std::thread second(sender);
    std::thread poller([&] {
        while (!closed.load())
            UpdateTI();
    });
    ASSERT_TRUE(sim.WaitForPackets(10, std::chrono::seconds(20)));
    EXPECT_EQ(Close(id), 0);
    closed = true;
    first.join();
    second.join();
    poller.join();
    EXPECT_EQ(refusedAfterClose.load(), 2);
    // A client Close is not announced as a stop.
    EXPECT_EQ(Stops(), 0);
}

TEST_F(WireTest, DeviceClosedFromItsOwnCallbackIsReleased) {
    SimController sim;
    int32_t id = ConnectTo(sim);
    std::atomic<int32_t> closeResult{1};
    OnNextReply([&closeResult](int32_t device, const uint8_t* packet, int32_t length) {
        if (AnswersBatteryRequest(packet, length))
            closeResult = Close(device);
    });
    ASSERT_EQ(ReadBatteryLevel(id, 0), 0);
    ASSERT_TRUE(WaitFor([&] { return closeResult.load() != 1; }));
    OnNextReply(nullptr);
    EXPECT_EQ(closeResult.load(), 0);
    EXPECT_EQ(Pulse(id, 1, 100, 0), -1);
    SetLastDrovoError(0);
    // The ID is free again.
    SimController next;
    EXPECT_EQ(ConnectTo(next), id);
}

}  // namespace
