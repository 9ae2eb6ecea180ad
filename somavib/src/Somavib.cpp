#include "Somavib.h"

#include <cstdio>
#include <cstdlib>

extern "C" {

const char* const Somavib_Type_Names[5] = {
    "SOMAVIB_TYPE_NONE", "SOMAVIB_TYPE_DROVO", "SOMAVIB_TYPE_PIEZO",
    "SOMAVIB_TYPE_ERM",  "SOMAVIB_TYPE_EMS",
};

}  // extern "C"

namespace {

// The Arduino hub scales the intensity byte by the board's actuator kind, which it reads from
// the type code; the front end's own type numbers would reach the board unscaled.
int32_t arduinoTypeCode(int32_t type) {
    switch (type) {
        case SOMAVIB_TYPE_PIEZO:
            return ARDUINO_HUB_TYPE_PIEZO;
        case SOMAVIB_TYPE_ERM:
            return ARDUINO_HUB_TYPE_ERM;
        default:
            return ARDUINO_HUB_TYPE_EMS;
    }
}

bool usesArduinoHub(int32_t type) {
    return type >= SOMAVIB_TYPE_PIEZO && type <= SOMAVIB_TYPE_EMS;
}

}  // namespace

extern "C" {

Somavib* Somavib_new(void) {
    return static_cast<Somavib*>(std::calloc(1, sizeof(Somavib)));
}

void Somavib_init(Somavib* self, int32_t type, const char* portName, uint8_t actuatorCount) {
    if (self->initialized) {
        // A second hub would leave the first one's thread and port behind.
        std::fprintf(stderr, "%s(): already initialized with actuator type = %d\n", "Somavib_init",
                     self->type);
        return;
    }
    self->type = type;
    self->actuatorCount = actuatorCount;
    if (type == SOMAVIB_TYPE_DROVO) {
        self->drovoHub = DrovoHub_new();
        DrovoHub_init(self->drovoHub, portName, actuatorCount);
    } else if (usesArduinoHub(type)) {
        self->arduinoHub = ArduinoHub_new();
        ArduinoHub_init(self->arduinoHub, portName, arduinoTypeCode(type), actuatorCount);
    }
    self->initialized = 1;
    std::fprintf(stderr, "%s(): actuator type = %d\n", "Somavib_init", type);
}

void Somavib_clear(Somavib* self) {
    self->initialized = 0;
    if (self->arduinoHub != nullptr) {
        ArduinoHub_clear(self->arduinoHub);
        ArduinoHub_delete(self->arduinoHub);
        self->arduinoHub = nullptr;
    }
    if (self->drovoHub != nullptr) {
        DrovoHub_clear(self->drovoHub);
        DrovoHub_delete(self->drovoHub);
        self->drovoHub = nullptr;
    }
}

void Somavib_delete(Somavib* self) {
    if (self == nullptr) {
        return;
    }
    // Freeing the front end with a hub still running would leave its thread on the port.
    Somavib_clear(self);
    std::free(self);
}

void Somavib_actuate(Somavib* self, uint8_t tactor, double intensity, int32_t duration) {
    if (self->drovoHub != nullptr) {
        DrovoHub_vibrate(self->drovoHub, tactor, intensity, duration);
    } else if (self->arduinoHub != nullptr) {
        ArduinoHub_vibrate(self->arduinoHub, tactor, intensity, duration);
    }
}

void Somavib_startActuation(Somavib* self, uint8_t tactor, double intensity) {
    if (self->drovoHub != nullptr) {
        DrovoHub_startVibration(self->drovoHub, tactor, intensity);
    } else if (self->arduinoHub != nullptr) {
        ArduinoHub_startVibration(self->arduinoHub, tactor, intensity);
    }
}

void Somavib_stopActuation(Somavib* self, uint8_t tactor) {
    if (self->drovoHub != nullptr) {
        DrovoHub_stopVibration(self->drovoHub, tactor);
    } else if (self->arduinoHub != nullptr) {
        ArduinoHub_stopVibration(self->arduinoHub, tactor);
    }
}

void Somavib_setFrequency(Somavib* self, uint8_t tactor, uint16_t frequency) {
    if (self->drovoHub != nullptr) {
        DrovoHub_setFrequency(self->drovoHub, tactor, frequency);
    } else if (self->arduinoHub != nullptr && self->type == SOMAVIB_TYPE_PIEZO) {
        // ERM and EMS actuators run at the frequency the board gives them.
        ArduinoHub_setFrequency(self->arduinoHub, tactor, frequency);
    }
}

void Somavib_setIntensityRange(Somavib* self, uint8_t tactor, double minIntensity,
                               double maxIntensity) {
    if (self->drovoHub != nullptr) {
        DrovoHub_setIntensityRange(self->drovoHub, tactor, minIntensity, maxIntensity);
    } else if (self->arduinoHub != nullptr) {
        ArduinoHub_setIntensityRange(self->arduinoHub, tactor, minIntensity, maxIntensity);
    }
}

}  // extern "C"
