#include <time.h>

#include <cstdio>
#include <cstdlib>

#include "ActuatorArray.h"
#include "HubThread.h"
#include "IntensityScale.h"
#include "Precondition.h"
#include "Somavib.h"

namespace {

const char kPrefix[] = "[ArduinoHub]";
const int kCycleMilliseconds = 10;
const uint16_t kInitialFrequency = 32;

// The text names 7 whatever the actuator count: boards carry eight actuators, and clients
// match this line as it is.
bool tactorInRange(const ArduinoHub* self, uint8_t tactor) {
    if (tactor >= self->actuatorCount) {
        std::fprintf(stderr, "[ArduinoHub] Tactor out of range [0, 7]: %d\n", tactor);
        return false;
    }
    return true;
}

// Output intensity as the board reads it for the hub's actuator type.
uint8_t intensityByte(int32_t typeCode, double output) {
    switch (typeCode & 0xFF) {
        case ARDUINO_HUB_TYPE_ERM:
        case ARDUINO_HUB_TYPE_PIEZO:
            return Somavib_scaleToByte(output, 255);
        case ARDUINO_HUB_TYPE_EMS:
            return Somavib_scaleToByte(output, 127);
        default:
            return 0;
    }
}

void sampleActuator(ArduinoHub* self, uint8_t index) {
    Actuator* actuator = &self->actuators[index];
    switch (Actuator_getState(actuator)) {
        case ACTUATOR_STATE_STOP:
            ArduinoHub_sendStopMessage(self, index);
            break;
        case ACTUATOR_STATE_ONCE:
        case ACTUATOR_STATE_CONTINUOUS:
            if (Actuator_isActive(actuator)) {
                ArduinoHub_sendStartMessage(self, index);
            } else {
                Actuator_setStateStop(actuator);
                ArduinoHub_sendStopMessage(self, index);
            }
            break;
        default:
            break;
    }
}

}  // namespace

extern "C" {

ArduinoHub* ArduinoHub_new(void) {
    return static_cast<ArduinoHub*>(std::calloc(1, sizeof(ArduinoHub)));
}

void ArduinoHub_init(ArduinoHub* self, const char* portName, int32_t typeCode,
                     uint8_t actuatorCount) {
    self->typeCode = typeCode;
    self->actuators = Somavib_newActuators(actuatorCount);
    self->actuatorCount = actuatorCount;
    for (uint8_t i = 0; i < actuatorCount; ++i) {
        Actuator_setFrequency(&self->actuators[i], kInitialFrequency);
    }
    self->serial = Serial_new();
    Serial_init(self->serial, portName);
    Somavib_startHubThread(&self->running, &self->thread, ArduinoHub_thread, self,
                           "!pthread_create(&self->thread, NULL, ArduinoHub_thread, self)",
                           "ArduinoHub", 136);
}

void ArduinoHub_clear(ArduinoHub* self) {
    Somavib_stopHubThread(&self->running, self->thread);
    Somavib_deleteActuators(self->actuators, self->actuatorCount);
    self->actuators = nullptr;
    self->actuatorCount = 0;
    Serial_delete(self->serial);
    self->serial = nullptr;
}

void ArduinoHub_delete(ArduinoHub* self) {
    if (self == nullptr) {
        return;
    }
    ArduinoHub_clear(self);
    std::free(self);
}

void ArduinoHub_vibrate(ArduinoHub* self, uint8_t tactor, double intensity, int32_t duration) {
    if (!tactorInRange(self, tactor) ||
        !Somavib_requireIntensity(intensity, kPrefix, "ArduinoHub_vibrate")) {
        return;
    }
    if (intensity > 0) {
        Actuator_setStateOnce(&self->actuators[tactor], intensity, duration);
    } else {
        Actuator_setStateStop(&self->actuators[tactor]);
    }
}

void ArduinoHub_startVibration(ArduinoHub* self, uint8_t tactor, double intensity) {
    if (!tactorInRange(self, tactor) ||
        !Somavib_requireIntensity(intensity, kPrefix, "ArduinoHub_startVibration")) {
        return;
    }
    if (intensity > 0) {
        Actuator_setStateContinuous(&self->actuators[tactor], intensity);
    } else {
        Actuator_setStateStop(&self->actuators[tactor]);
    }
}

void ArduinoHub_stopVibration(ArduinoHub* self, uint8_t tactor) {
    if (tactorInRange(self, tactor)) {
        Actuator_setStateStop(&self->actuators[tactor]);
    }
}

void ArduinoHub_setFrequency(ArduinoHub* self, uint8_t tactor, uint16_t frequency) {
    if (!tactorInRange(self, tactor)) {
        return;
    }
    if (frequency == 0 || frequency > 255) {
        std::fprintf(stderr, "[ArduinoHub] Frequency parameter out of range [1, 255]: %d\n",
                     frequency);
        return;
    }
    Actuator_setFrequency(&self->actuators[tactor], frequency);
}

void ArduinoHub_setIntensityRange(ArduinoHub* self, uint8_t tactor, double minIntensity,
                                  double maxIntensity) {
    const char* function = "ArduinoHub_setIntensityRange";
    if (!Somavib_require(tactor < self->actuatorCount, kPrefix, function,
                         "tactor < self->actuatorCount") ||
        !Somavib_requireIntensityRange(minIntensity, maxIntensity, kPrefix, function)) {
        return;
    }
    Actuator_setIntensityRange(&self->actuators[tactor], minIntensity, maxIntensity);
}

void ArduinoHub_sendStartMessage(ArduinoHub* self, uint8_t index) {
    Actuator* actuator = &self->actuators[index];
    const uint8_t message[6] = {
        0x00,
        'A',
        static_cast<uint8_t>(self->typeCode),
        static_cast<uint8_t>(index + 1),
        intensityByte(self->typeCode, Actuator_getIntensity(actuator)),
        static_cast<uint8_t>(static_cast<uint16_t>(Actuator_getFrequency(actuator))),
    };
    Serial_sendMessage(self->serial, message, sizeof message);
}

void ArduinoHub_sendStopMessage(ArduinoHub* self, uint8_t index) {
    const uint8_t message[4] = {0x00, 'X', static_cast<uint8_t>(self->typeCode),
                                static_cast<uint8_t>(index + 1)};
    Serial_sendMessage(self->serial, message, sizeof message);
}

void* ArduinoHub_thread(void* arg) {
    auto* self = static_cast<ArduinoHub*>(arg);
    while (Somavib_hubRunning(&self->running)) {
        for (uint8_t i = 0; i < self->actuatorCount; ++i) {
            sampleActuator(self, i);
        }
        Somavib_sleepMilliseconds(kCycleMilliseconds);
    }
    // The board keeps its last command, so every actuator is told to stop before the hub goes.
    for (uint8_t i = 0; i < self->actuatorCount; ++i) {
        ArduinoHub_sendStopMessage(self, i);
    }
    return nullptr;
}

}  // extern "C"
