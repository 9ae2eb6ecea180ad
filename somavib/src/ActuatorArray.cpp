#include "ActuatorArray.h"

#include <cstdio>
#include <cstdlib>

Actuator* Somavib_newActuators(uint8_t count) {
    auto* actuators = static_cast<Actuator*>(std::calloc(count > 0 ? count : 1, sizeof(Actuator)));
    if (actuators == nullptr) {
        std::fprintf(stderr, "Somavib: out of memory for %d actuators\n", count);
        std::abort();
    }
    for (uint8_t i = 0; i < count; ++i) {
        Actuator_init(&actuators[i]);
    }
    return actuators;
}

void Somavib_deleteActuators(Actuator* actuators, uint8_t count) {
    if (actuators == nullptr) {
        return;
    }
    for (uint8_t i = 0; i < count; ++i) {
        Actuator_clear(&actuators[i]);
    }
    std::free(actuators);
}
