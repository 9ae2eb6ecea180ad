#include "HubThread.h"

#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

void Somavib_startHubThread(uint8_t* running, pthread_t* thread, void* (*body)(void*), void* arg,
                            const char* assertion, const char* file, int line) {
    __atomic_store_n(running, 1, __ATOMIC_SEQ_CST);
    if (pthread_create(thread, nullptr, body, arg) != 0) {
        std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", assertion, file, line);
        std::abort();
    }
}

void Somavib_stopHubThread(uint8_t* running, pthread_t thread) {
    if (__atomic_exchange_n(running, 0, __ATOMIC_SEQ_CST) == 1) {
        pthread_join(thread, nullptr);
    }
}

bool Somavib_hubRunning(const uint8_t* running) {
    return __atomic_load_n(running, __ATOMIC_SEQ_CST) == 1;
}

void Somavib_sleepMilliseconds(int milliseconds) {
    timespec wake{};
    clock_gettime(CLOCK_MONOTONIC, &wake);
    wake.tv_nsec += static_cast<long>(milliseconds) * 1000000L;
    wake.tv_sec += wake.tv_nsec / 1000000000L;
    wake.tv_nsec %= 1000000000L;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
}
