/* Helpers shared by the body-actuator tests. */
#ifndef SOMAVIB_TESTS_TEST_SUPPORT_H
#define SOMAVIB_TESTS_TEST_SUPPORT_H

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

#endif
