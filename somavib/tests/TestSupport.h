/* Helpers shared by the body-actuator tests. */
#ifndef SOMAVIB_TESTS_TEST_SUPPORT_H
#define SOMAVIB_TESTS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Poll.h"
#include "Somavib.h"

// Captures what the calling thread's code writes to standard error while it runs.
std::string captureStderr(const std::function<void()>& action);

// Every field of an actuator that a client call may change, read under its mutex.
struct ActuatorSnapshot {
    int32_t state;
    double intensity, minIntensity, maxIntensity;
    uint16_t frequency;
    bool operator==(const ActuatorSnapshot& o) const {
        return state == o.state && intensity == o.intensity && minIntensity == o.minIntensity &&
               maxIntensity == o.maxIntensity && frequency == o.frequency;
    }
};

// Snapshots of count actuators.
std::vector<ActuatorSnapshot> snapshotActuators(Actuator* actuators, uint8_t count);

// A hub call with bad arguments and the one line it must print on standard error.
template <typename Hub>
struct RefusedCall {
    std::function<void(Hub*)> call;
    const char* line;
};

// Expects each call to print its line and to leave every actuator of hub as it was.
template <typename Hub>
void expectRefusedAndUnchanged(Hub* hub, const std::vector<RefusedCall<Hub>>& calls) {
    const std::vector<ActuatorSnapshot> before =
        snapshotActuators(hub->actuators, hub->actuatorCount);
    for (const RefusedCall<Hub>& c : calls) {
        EXPECT_EQ(captureStderr([&] { c.call(hub); }), c.line);
        EXPECT_TRUE(snapshotActuators(hub->actuators, hub->actuatorCount) == before) << c.line;
    }
}

#endif
