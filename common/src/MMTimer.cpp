#include "MMTimer.h"

#include <cerrno>
#include <ctime>
#include <thread>

#include "Timer.h"

namespace {

constexpr long kNanosPerMilli = 1000000L;

// The precise wait is worth using only when the clock can tell 1 ms apart.
bool ClockResolvesOneMilli(timespec* resolution) {
    if (clock_getres(CLOCK_MONOTONIC, resolution) != 0)
        return false;
    return resolution->tv_sec == 0 && resolution->tv_nsec <= kNanosPerMilli;
}

}  // namespace

MMTimer::MMTimer() : MMTimer(nullptr) {}

MMTimer::MMTimer(const char* /*name*/) : m_delay(1), m_hires(false), m_dueTime(-10000) {
    timespec resolution{};
    if (clock_getres(CLOCK_MONOTONIC, &resolution) != 0) {
        utl::Timer::printfTime("[MMTimer] Unable to get time device caps.\n");
        return;
    }
    if (!ClockResolvesOneMilli(&resolution)) {
        long periodMs = static_cast<long>(resolution.tv_sec) * 1000 +
                        (resolution.tv_nsec + kNanosPerMilli - 1) / kNanosPerMilli;
        utl::Timer::printfTime(
            "[MMTimer] Timer resolution unable to be set small enough. Wanted %d, set %d. "
            "Returned: %d, LastError: %d.\n",
            1, static_cast<int>(periodMs), 0, errno);
        return;
    }
    m_hires = true;
}

MMTimer::~MMTimer() = default;

MMTimer::MMTimer(const MMTimer& other)
    : m_delay(other.m_delay), m_hires(other.m_hires), m_dueTime(other.m_dueTime) {}

MMTimer& MMTimer::operator=(const MMTimer& other) {
    m_delay = other.m_delay;
    m_hires = other.m_hires;
    m_dueTime = other.m_dueTime;
    return *this;
}

int MMTimer::ChangeDelay(uint32_t delayMs) {
    if (delayMs != m_delay) {
        m_delay = delayMs;
        m_dueTime = static_cast<int64_t>(static_cast<int32_t>(delayMs)) * -10000;
    }
    return 0;
}

int MMTimer::Sleep() {
    if (m_delay == 0)
        return 0;
    if (!m_hires) {
        std::this_thread::sleep_for(std::chrono::milliseconds(m_delay));
        return 0;
    }
    // The due time is relative and negative, in 100 ns units.
    int64_t nanos = -m_dueTime * 100;
    timespec remaining{static_cast<time_t>(nanos / 1000000000),
                       static_cast<long>(nanos % 1000000000)};
    for (;;) {
        timespec request = remaining;
        int rc = clock_nanosleep(CLOCK_MONOTONIC, 0, &request, &remaining);
        if (rc == 0)
            return 0;
        if (rc != EINTR) {
            utl::Timer::printfTime("[MMTimer] WaitForSingleObject failed (%d)\n", rc);
            return -1;
        }
    }
}

bool MMTimer::GetCanUseHiresTimer() const {
    return m_hires;
}
