#include "TestSupport.h"

#include <unistd.h>

#include <cstdio>

std::string captureStderr(const std::function<void()>& action) {
    std::fflush(stderr);
    FILE* file = std::tmpfile();
    int saved = dup(2);
    dup2(fileno(file), 2);
    action();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::string text;
    std::rewind(file);
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

std::vector<ActuatorSnapshot> snapshotActuators(Actuator* actuators, uint8_t count) {
    std::vector<ActuatorSnapshot> all;
    for (uint8_t i = 0; i < count; ++i) {
        Actuator* a = &actuators[i];
        pthread_mutex_lock(&a->mutex);
        all.push_back({a->state, a->intensity, a->minIntensity, a->maxIntensity, a->frequency});
        pthread_mutex_unlock(&a->mutex);
    }
    return all;
}
