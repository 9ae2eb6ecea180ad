#include "SomavibClock.h"

#include <atomic>
#include <chrono>

namespace {

int32_t monotonicMilliseconds() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

std::atomic<int32_t (*)()> clockSource{monotonicMilliseconds};

}  // namespace

int32_t SomavibClock_now() {
    return clockSource.load()();
}

int32_t SomavibClock_after(int32_t now, int32_t duration) {
    return static_cast<int32_t>(static_cast<uint32_t>(now) + static_cast<uint32_t>(duration));
}

bool SomavibClock_notPast(int32_t moment, int32_t now) {
    return static_cast<int32_t>(static_cast<uint32_t>(moment) - static_cast<uint32_t>(now)) >= 0;
}

void SomavibClock_setSource(int32_t (*source)()) {
    clockSource.store(source != nullptr ? source : monotonicMilliseconds);
}
