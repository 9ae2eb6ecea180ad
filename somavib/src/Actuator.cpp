#include <cstdlib>

#include "Somavib.h"
#include "SomavibClock.h"

namespace {

// Holds the record's mutex for the scope of one public call.
class ActuatorLock {
  public:
    explicit ActuatorLock(Actuator* actuator) : mutex_(&actuator->mutex) {
        pthread_mutex_lock(mutex_);
    }
    ~ActuatorLock() { pthread_mutex_unlock(mutex_); }
    ActuatorLock(const ActuatorLock&) = delete;
    ActuatorLock& operator=(const ActuatorLock&) = delete;

  private:
    pthread_mutex_t* mutex_;
};

}  // namespace

extern "C" {

Actuator* Actuator_new(void) {
    auto* self = static_cast<Actuator*>(std::calloc(1, sizeof(Actuator)));
    if (self != nullptr) {
        self->mutex = PTHREAD_MUTEX_INITIALIZER;
    }
    return self;
}

void Actuator_init(Actuator* self) {
    self->mutex = PTHREAD_MUTEX_INITIALIZER;
    ActuatorLock lock(self);
    self->state = ACTUATOR_STATE_STOP;
    self->endTime = 0;
    self->intensity = 0.0;
    self->minIntensity = 0.0;
    self->maxIntensity = 1.0;
    self->valid = 1;
}

void Actuator_clear(Actuator* self) {
    ActuatorLock lock(self);
    self->valid = 0;
}

void Actuator_delete(Actuator* self) {
    if (self == nullptr) {
        return;
    }
    // Taking the lock once waits out a call still inside the record; a locked mutex must not
    // be freed, so it is released again before the memory goes.
    pthread_mutex_lock(&self->mutex);
    pthread_mutex_unlock(&self->mutex);
    std::free(self);
}

void Actuator_setStateOnce(Actuator* self, double intensity, int32_t duration) {
    ActuatorLock lock(self);
    if (intensity > 0) {
        self->state = ACTUATOR_STATE_ONCE;
        self->endTime = SomavibClock_after(SomavibClock_now(), duration);
        self->intensity = intensity;
    } else {
        self->state = ACTUATOR_STATE_STOP;
    }
}

void Actuator_setStateContinuous(Actuator* self, double intensity) {
    ActuatorLock lock(self);
    if (intensity > 0) {
        self->state = ACTUATOR_STATE_CONTINUOUS;
        self->endTime = 0;
        self->intensity = intensity;
    } else {
        self->state = ACTUATOR_STATE_STOP;
    }
}

void Actuator_setStateStop(Actuator* self) {
    ActuatorLock lock(self);
    self->state = ACTUATOR_STATE_STOP;
}

void Actuator_setFrequency(Actuator* self, uint16_t frequency) {
    ActuatorLock lock(self);
    self->frequency = frequency;
}

void Actuator_setIntensityRange(Actuator* self, double minIntensity, double maxIntensity) {
    ActuatorLock lock(self);
    self->minIntensity = minIntensity;
    self->maxIntensity = maxIntensity;
}

bool Actuator_isActive(Actuator* self) {
    ActuatorLock lock(self);
    switch (self->state) {
        case ACTUATOR_STATE_ONCE:
            return SomavibClock_notPast(self->endTime, SomavibClock_now()) &&
                   self->intensity > self->minIntensity;
        case ACTUATOR_STATE_CONTINUOUS:
            return self->intensity > self->minIntensity;
        default:
            return false;
    }
}

double Actuator_getFrequency(Actuator* self) {
    ActuatorLock lock(self);
    return self->frequency;
}

double Actuator_getIntensity(Actuator* self) {
    ActuatorLock lock(self);
    return self->minIntensity + (self->maxIntensity - self->minIntensity) * self->intensity;
}

int32_t Actuator_getState(Actuator* self) {
    ActuatorLock lock(self);
    return self->state;
}

}  // extern "C"
