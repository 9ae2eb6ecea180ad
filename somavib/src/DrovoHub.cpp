#include <cstdio>
#include <cstdlib>

#include "ActuatorArray.h"
#include "HubThread.h"
#include "IntensityScale.h"
#include "Precondition.h"
#include "Somavib.h"
#include "Vibrolink.h"

namespace {

const char kPrefix[] = "[DrovoHub]";
const int kCycleMilliseconds = 20;
const int32_t kPulseMilliseconds = 20;
const uint8_t kTactorType = 17;
const uint16_t kInitialFrequency = 250;
// The controller counts frequencies in tenths of the unit clients use.
const int32_t kFrequencyScale = 10;
// Meant to set every tactor at once; the controller's frequency command stops at tactor 65,
// so the device library refuses it and only the per-tactor settings take effect.
const int32_t kAllTactors = 255;

// Controller tactors are numbered from 1.
int32_t controllerTactor(uint8_t index) {
    return index + 1;
}

bool tactorInRange(const DrovoHub* self, uint8_t tactor) {
    if (tactor >= self->actuatorCount) {
        std::fprintf(stderr, "[DrovoHub] Tactor out of range [0, %d]: %d\n", self->actuatorCount,
                     tactor);
        return false;
    }
    return true;
}

void configureTactors(DrovoHub* self) {
    for (uint8_t i = 0; i < self->actuatorCount; ++i) {
        Actuator_setFrequency(&self->actuators[i], kInitialFrequency);
        DrovoHub_check(SetTactorType(self->deviceId, 0, controllerTactor(i), self->tactorType));
        DrovoHub_check(ChangeFreq(
            self->deviceId, controllerTactor(i),
            static_cast<int32_t>(Actuator_getFrequency(&self->actuators[i])) * kFrequencyScale, 0));
    }
    self->frequency = kInitialFrequency;
    DrovoHub_check(ChangeFreq(self->deviceId, kAllTactors, self->frequency * kFrequencyScale, 0));
}

void sampleActuator(DrovoHub* self, uint8_t index) {
    Actuator* actuator = &self->actuators[index];
    int32_t state = Actuator_getState(actuator);
    if (state != ACTUATOR_STATE_ONCE && state != ACTUATOR_STATE_CONTINUOUS) {
        return;
    }
    if (Actuator_isActive(actuator)) {
        DrovoHub_sendVibrationCommand(self, index);
    } else {
        Actuator_setStateStop(actuator);
    }
}

}  // namespace

extern "C" {

DrovoHub* DrovoHub_new(void) {
    return static_cast<DrovoHub*>(std::calloc(1, sizeof(DrovoHub)));
}

void DrovoHub_init(DrovoHub* self, const char* portName, uint8_t actuatorCount) {
    self->portName = portName;
    self->actuatorCount = actuatorCount;
    self->tactorType = kTactorType;
    DrovoHub_check(InitializeTI());
    self->deviceId = Connect(portName, VIBROLINK_PLATFORM_SERIAL, nullptr);
    if (self->deviceId < 0) {
        std::fprintf(stderr, "[DrovoHub] %s device could not be found: Error %d\n",
                     portName != nullptr ? portName : "(null)", GetLastDrovoError());
        std::exit(1);
    }
    self->actuators = Somavib_newActuators(actuatorCount);
    configureTactors(self);
    Somavib_startHubThread(&self->running, &self->thread, DrovoHub_thread, self,
                           "!pthread_create(&self->thread, NULL, DrovoHub_thread, self)",
                           "DrovoHub", 116);
}

void DrovoHub_clear(DrovoHub* self) {
    if (self->actuators == nullptr) {
        return;  // never initialised, or cleared already: the device is not ours to close
    }
    for (uint8_t i = 0; i < self->actuatorCount; ++i) {
        DrovoHub_stopVibration(self, i);
    }
    Somavib_stopHubThread(&self->running, self->thread);
    Somavib_deleteActuators(self->actuators, self->actuatorCount);
    self->actuators = nullptr;
    self->actuatorCount = 0;
    DrovoHub_check(Close(self->deviceId));
    DrovoHub_check(ShutdownTI());
}

void DrovoHub_delete(DrovoHub* self) {
    if (self == nullptr) {
        return;
    }
    DrovoHub_clear(self);
    std::free(self);
}

void DrovoHub_vibrate(DrovoHub* self, uint8_t tactor, double intensity, int32_t duration) {
    if (!tactorInRange(self, tactor) ||
        !Somavib_requireIntensity(intensity, kPrefix, "DrovoHub_vibrate")) {
        return;
    }
    if (intensity > 0) {
        Actuator_setStateOnce(&self->actuators[tactor], intensity, duration);
    } else {
        DrovoHub_stopVibration(self, tactor);
    }
}

void DrovoHub_startVibration(DrovoHub* self, uint8_t tactor, double intensity) {
    if (!tactorInRange(self, tactor) ||
        !Somavib_requireIntensity(intensity, kPrefix, "DrovoHub_startVibration")) {
        return;
    }
    if (intensity > 0) {
        Actuator_setStateContinuous(&self->actuators[tactor], intensity);
    } else {
        DrovoHub_stopVibration(self, tactor);
    }
}

void DrovoHub_stopVibration(DrovoHub* self, uint8_t tactor) {
    if (tactorInRange(self, tactor)) {
        Actuator_setStateStop(&self->actuators[tactor]);
    }
}

void DrovoHub_setFrequency(DrovoHub* self, uint8_t tactor, uint16_t frequency) {
    if (!Somavib_require(tactor < self->actuatorCount, kPrefix, "DrovoHub_setFrequency",
                         "tactor < self->actuatorCount")) {
        return;
    }
    if (frequency < 30 || frequency > 355) {
        std::fprintf(stderr, "[DrovoHub] Frequency parameter out of range [30, 355]: %d\n",
                     frequency);
        return;
    }
    Actuator_setFrequency(&self->actuators[tactor], frequency);
    DrovoHub_check(
        ChangeFreq(self->deviceId, controllerTactor(tactor), frequency * kFrequencyScale, 0));
}

void DrovoHub_setIntensityRange(DrovoHub* self, uint8_t tactor, double minIntensity,
                                double maxIntensity) {
    const char* function = "DrovoHub_setIntensityRange";
    if (!Somavib_require(tactor < self->actuatorCount, kPrefix, function,
                         "tactor < self->actuatorCount") ||
        !Somavib_requireIntensityRange(minIntensity, maxIntensity, kPrefix, function)) {
        return;
    }
    Actuator_setIntensityRange(&self->actuators[tactor], minIntensity, maxIntensity);
}

void DrovoHub_sendVibrationCommand(DrovoHub* self, uint8_t index) {
    uint8_t gain = Somavib_scaleToByte(Actuator_getIntensity(&self->actuators[index]), 255);
    DrovoHub_check(ChangeGain(self->deviceId, controllerTactor(index), gain, 0));
    DrovoHub_check(Pulse(self->deviceId, controllerTactor(index), kPulseMilliseconds, 0));
}

void DrovoHub_check(int32_t result) {
    (void)result;
}

void* DrovoHub_thread(void* arg) {
    auto* self = static_cast<DrovoHub*>(arg);
    while (Somavib_hubRunning(&self->running)) {
        for (uint8_t i = 0; i < self->actuatorCount; ++i) {
            sampleActuator(self, i);
        }
        Somavib_sleepMilliseconds(kCycleMilliseconds);
    }
    return nullptr;
}

}  // extern "C"
