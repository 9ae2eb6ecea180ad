#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ActuatorArray.h"
#include "PtyBoard.h"
#include "Somavib.h"
#include "TestSupport.h"

namespace {

// A hub with actuators but no controller: argument handling touches only the actuators.
class DrovoHubArgumentsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hub = DrovoHub_new();
        hub->actuatorCount = 8;
        hub->actuators = Somavib_newActuators(8);
        for (uint8_t i = 0; i < 8; ++i) {
            Actuator_setFrequency(&hub->actuators[i], 250);
        }
    }
    void TearDown() override {
        Somavib_deleteActuators(hub->actuators, hub->actuatorCount);
        hub->actuators = nullptr;
        DrovoHub_delete(hub);
    }
    DrovoHub* hub = nullptr;
};

TEST_F(DrovoHubArgumentsTest, BadArgumentsAreReportedAndChangeNothing) {
    Actuator_setStateContinuous(&hub->actuators[2], 0.6);
    const std::vector<RefusedCall<DrovoHub>> calls = {
        {[](DrovoHub* h) { DrovoHub_vibrate(h, 8, 0.5, 100); },
         "[DrovoHub] Tactor out of range [0, 8]: 8\n"},
        {[](DrovoHub* h) { DrovoHub_startVibration(h, 9, 0.5); },
         "[DrovoHub] Tactor out of range [0, 8]: 9\n"},
        {[](DrovoHub* h) { DrovoHub_stopVibration(h, 255); },
         "[DrovoHub] Tactor out of range [0, 8]: 255\n"},
        {[](DrovoHub* h) { DrovoHub_setFrequency(h, 2, 29); },
         "[DrovoHub] Frequency parameter out of range [30, 355]: 29\n"},
        {[](DrovoHub* h) { DrovoHub_setFrequency(h, 2, 356); },
         "[DrovoHub] Frequency parameter out of range [30, 355]: 356\n"},
        {[](DrovoHub* h) { DrovoHub_setFrequency(h, 8, 100); },
         "[DrovoHub] DrovoHub_setFrequency(): precondition failed: tactor < self->actuatorCount\n"},
        {[](DrovoHub* h) { DrovoHub_vibrate(h, 2, 1.01, 100); },
         "[DrovoHub] DrovoHub_vibrate(): precondition failed: intensity <= 1\n"},
        {[](DrovoHub* h) { DrovoHub_startVibration(h, 2, -1.0); },
         "[DrovoHub] DrovoHub_startVibration(): precondition failed: intensity >= 0\n"},
        {[](DrovoHub* h) { DrovoHub_vibrate(h, 2, std::nan(""), 100); },
         "[DrovoHub] DrovoHub_vibrate(): precondition failed: intensity >= 0\n"},
        {[](DrovoHub* h) { DrovoHub_setIntensityRange(h, 8, 0.0, 1.0); },
         "[DrovoHub] DrovoHub_setIntensityRange(): precondition failed: "
         "tactor < self->actuatorCount\n"},
        {[](DrovoHub* h) { DrovoHub_setIntensityRange(h, 2, -0.5, 1.0); },
         "[DrovoHub] DrovoHub_setIntensityRange(): precondition failed: minIntensity >= 0\n"},
        {[](DrovoHub* h) { DrovoHub_setIntensityRange(h, 2, 0.0, 2.0); },
         "[DrovoHub] DrovoHub_setIntensityRange(): precondition failed: maxIntensity <= 1\n"},
        {[](DrovoHub* h) { DrovoHub_setIntensityRange(h, 2, 0.7, 0.3); },
         "[DrovoHub] DrovoHub_setIntensityRange(): precondition failed: "
         "minIntensity < maxIntensity\n"},
    };
    expectRefusedAndUnchanged(hub, calls);
}

TEST_F(DrovoHubArgumentsTest, GoodArgumentsReachTheActuator) {
    std::string lines = captureStderr([&] {
        DrovoHub_setIntensityRange(hub, 7, 0.25, 0.75);
        DrovoHub_vibrate(hub, 7, 0.5, 60000);
    });
    EXPECT_EQ(lines, "");
    EXPECT_EQ(Actuator_getState(&hub->actuators[7]), ACTUATOR_STATE_ONCE);
    EXPECT_NEAR(Actuator_getIntensity(&hub->actuators[7]), 0.5, 1e-12);
    DrovoHub_vibrate(hub, 7, 0.0, 60000);
    EXPECT_EQ(Actuator_getState(&hub->actuators[7]), ACTUATOR_STATE_STOP);
    DrovoHub_startVibration(hub, 7, 0.1);
    EXPECT_EQ(Actuator_getState(&hub->actuators[7]), ACTUATOR_STATE_CONTINUOUS);
    DrovoHub_startVibration(hub, 7, 0.0);
    EXPECT_EQ(Actuator_getState(&hub->actuators[7]), ACTUATOR_STATE_STOP);
}

}  // namespace
