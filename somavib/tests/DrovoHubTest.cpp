// The Drovo hub through the whole device stack to the simulated controller.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "PtyBoard.h"
#include "SimController.h"
#include "Somavib.h"
#include "TestSupport.h"
#include "Vibrolink.h"

namespace drovo_sim {
// Found by argument lookup from the comparisons below and inside GoogleTest.
bool operator==(const SimAction& a, const SimAction& b) {
    return a.command == b.command && a.delay == b.delay && a.data == b.data;
}
}  // namespace drovo_sim

namespace {

using drovo_sim::SimAction;
using drovo_sim::SimController;

const uint8_t kPulse = 0x11;
const uint8_t kSetFrequency = 0x12;
const uint8_t kSetGain = 0x20;
const uint8_t kSetTactorType = 0x33;

SimAction action(uint8_t command, Bytes data) {
    return SimAction{command, 0, std::move(data)};
}

std::string describe(const std::vector<SimAction>& actions) {
    std::string text;
    for (const SimAction& a : actions) {
        text += drovo_sim::CommandName(a.command) + "[";
        for (uint8_t b : a.data) {
            text += " " + std::to_string(b);
        }
        text += " ] ";
    }
    return text;
}

Bytes frequencyData(uint8_t tactor, int frequency) {
    return {tactor, static_cast<uint8_t>(frequency & 0xFF), static_cast<uint8_t>(frequency >> 8)};
}

class DrovoHubTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Ok());
        hub = DrovoHub_new();
        DrovoHub_init(hub, sim.PortName().c_str(), 8);
    }
    void TearDown() override { DrovoHub_delete(hub); }

    // Every tactor command the controller received, in order, without the connection's own
    // firmware and segment requests.
    std::vector<SimAction> commands() const {
        std::vector<SimAction> all;
        for (const drovo_sim::SimPacket& packet : sim.Packets()) {
            for (const SimAction& a : packet.actions) {
                if (a.command != 0x42 && a.command != 0x45) {
                    all.push_back(a);
                }
            }
        }
        return all;
    }

    bool received(const SimAction& wanted) const {
        for (const SimAction& a : commands()) {
            if (a == wanted) {
                return true;
            }
        }
        return false;
    }

    // Commands reach the controller in the order they were made, so once a frequency change
    // made now has arrived, everything made before it has arrived too.
    void drain(uint8_t markerFrequency) {
        DrovoHub_setFrequency(hub, 7, markerFrequency);
        ASSERT_TRUE(PollUntil([&] {
            return received(action(kSetFrequency, frequencyData(8, markerFrequency * 10)));
        }));
    }

    SimController sim;
    DrovoHub* hub = nullptr;
};

TEST_F(DrovoHubTest, InitialisationSetsTypeAndFrequencyOfEveryTactor) {
    EXPECT_EQ(hub->tactorType, 17);
    EXPECT_EQ(hub->frequency, 250);
    EXPECT_GE(hub->deviceId, 0);
    // The refused frequency for "all tactors" is ignored, but leaves its code behind.
    EXPECT_EQ(GetLastDrovoError(), 203000);
    std::vector<SimAction> expected;
    for (uint8_t tactor = 1; tactor <= 8; ++tactor) {
        expected.push_back(action(kSetTactorType, {tactor, 0x11}));
        expected.push_back(action(kSetFrequency, frequencyData(tactor, 2500)));
        EXPECT_EQ(Actuator_getFrequency(&hub->actuators[tactor - 1]), 250.0);
    }
    drain(100);
    // The frequency for tactor 255 is refused by the device library and never reaches the wire.
    expected.push_back(action(kSetFrequency, frequencyData(8, 1000)));
    EXPECT_EQ(commands(), expected) << describe(commands());
}

TEST_F(DrovoHubTest, OnceVibrationIsATrainOfGainAndPulsePairsThatEnds) {
    drain(100);
    const size_t before = commands().size();
    DrovoHub_vibrate(hub, 2, 1.0, 100);
    ASSERT_TRUE(PollUntil([&] { return Actuator_getState(&hub->actuators[2]) == 0; }));
    drain(101);
    const std::vector<SimAction> all = commands();
    // Everything after the vibration request up to the closing frequency change.
    std::vector<SimAction> train(all.begin() + before, all.end() - 1);
    ASSERT_EQ(train.size() % 2, 0u) << describe(train);
    // A 20 ms cycle fits at most six pairs into 100 ms, about five in practice.
    EXPECT_GE(train.size() / 2, 1u);
    EXPECT_LE(train.size() / 2, 6u);
    for (size_t i = 0; i < train.size(); i += 2) {
        EXPECT_EQ(train[i], action(kSetGain, {3, 255})) << describe(train);
        EXPECT_EQ(train[i + 1], action(kPulse, {3, 2})) << describe(train);
    }
}

TEST_F(DrovoHubTest, GainIsTheOutputIntensityScaledTo255) {
    struct Case {
        uint8_t tactor;
        double minIntensity, maxIntensity, intensity;
        int gain;  // 0: below the controller's range, so no gain goes out
    };
    const Case cases[] = {
        {0, 0.0, 1.0, 1.0, 255},
        {1, 0.0, 1.0, 0.5, 127},
        {2, 0.2, 0.6, 0.5, 102},
        {3, 0.0, 1.0, 0.003, 0},
    };
    for (const Case& c : cases) {
        DrovoHub_setIntensityRange(hub, c.tactor, c.minIntensity, c.maxIntensity);
        DrovoHub_startVibration(hub, c.tactor, c.intensity);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tactor);
        uint8_t tactor = c.tactor + 1;
        EXPECT_TRUE(PollUntil([&] { return received(action(kPulse, {tactor, 2})); }));
    }
    for (const Case& c : cases) {
        DrovoHub_stopVibration(hub, c.tactor);
    }
    drain(100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tactor);
        uint8_t tactor = c.tactor + 1;
        for (const SimAction& a : commands()) {
            if (a.command == kSetGain && a.data[0] == tactor) {
                EXPECT_EQ(a.data[1], c.gain);
                EXPECT_NE(c.gain, 0) << "a gain of 0 reached the controller";
            }
        }
    }
}

TEST_F(DrovoHubTest, FrequencyChangesAreCheckedAndSentAtOnce) {
    struct Case {
        uint16_t frequency;
        const char* line;
        uint16_t stored;
    };
    const Case cases[] = {
        {29, "[DrovoHub] Frequency parameter out of range [30, 355]: 29\n", 250},
        {356, "[DrovoHub] Frequency parameter out of range [30, 355]: 356\n", 250},
        {30, "", 30},
        // Stored, but above what the controller takes, so the device library refuses it.
        {355, "", 355},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frequency);
        DrovoHub_setFrequency(hub, 0, 250);
        EXPECT_EQ(captureStderr([&] { DrovoHub_setFrequency(hub, 0, c.frequency); }), c.line);
        EXPECT_EQ(Actuator_getFrequency(&hub->actuators[0]), c.stored);
    }
    drain(100);
    std::vector<SimAction> sent;
    for (const SimAction& a : commands()) {
        if (a.command == kSetFrequency && a.data[0] == 1) {
            sent.push_back(a);
        }
    }
    const std::vector<SimAction> expected = {
        action(kSetFrequency, frequencyData(1, 2500)),  // initialisation
        action(kSetFrequency, frequencyData(1, 2500)),
        action(kSetFrequency, frequencyData(1, 2500)),
        action(kSetFrequency, frequencyData(1, 2500)),
        action(kSetFrequency, frequencyData(1, 300)),
        action(kSetFrequency, frequencyData(1, 2500)),
    };
    EXPECT_EQ(sent, expected) << describe(sent);
}

TEST_F(DrovoHubTest, ClearStopsTheTrainAndClosesTheController) {
    DrovoHub_startVibration(hub, 5, 1.0);
    ASSERT_TRUE(PollUntil([&] { return received(action(kPulse, {6, 2})); }));
    DrovoHub_clear(hub);
    EXPECT_EQ(hub->actuators, nullptr);
    EXPECT_EQ(hub->running, 0);
    const size_t after = sim.PacketCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(sim.PacketCount(), after);
    EXPECT_EQ(captureStderr([&] { DrovoHub_startVibration(hub, 5, 1.0); }),
              "[DrovoHub] Tactor out of range [0, 0]: 5\n");
}

TEST(DrovoFrontEnd, TypeOneDrivesTheControllerThroughTheDrovoHub) {
    SimController sim;
    ASSERT_TRUE(sim.Ok());
    Somavib* front = Somavib_new();
    EXPECT_EQ(
        captureStderr([&] { Somavib_init(front, SOMAVIB_TYPE_DROVO, sim.PortName().c_str(), 2); }),
        "Somavib_init(): actuator type = 1\n");
    ASSERT_NE(front->drovoHub, nullptr);
    EXPECT_EQ(front->arduinoHub, nullptr);
    Somavib_startActuation(front, 1, 0.5);
    EXPECT_TRUE(PollUntil([&] {
        for (const drovo_sim::SimPacket& p : sim.Packets()) {
            for (const SimAction& a : p.actions) {
                if (a.command == kPulse && a.data == Bytes{2, 2}) {
                    return true;
                }
            }
        }
        return false;
    }));
    Somavib_clear(front);
    EXPECT_EQ(front->drovoHub, nullptr);
    Somavib_delete(front);
}

TEST(DrovoHubDeathTest, ControllerThatCannotBeConnectedEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DrovoHub* hub = DrovoHub_new();
    EXPECT_EXIT(DrovoHub_init(hub, "/nonexistent/ttyS9", 8), ::testing::ExitedWithCode(1),
                "\\[DrovoHub\\] /nonexistent/ttyS9 device could not be found: Error 202001\n$");
    DrovoHub_delete(hub);
}

}  // namespace
