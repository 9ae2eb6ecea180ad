// A sleeper with millisecond resolution for the kit's polling loops.
//
// The constructor checks once that the monotonic clock resolves 1 ms or finer; if so, Sleep
// waits with clock_nanosleep on CLOCK_MONOTONIC, otherwise it falls back to the ordinary thread
// sleep. Sleep allocates nothing. An object is used by one thread at a time.
#pragma once

#include <cstdint>

#include "DrovoCommonExport.h"

class DROVO_COMMON_API MMTimer {
  public:
    MMTimer();
    // The name is accepted for callers that label their timers; Linux timers carry no name.
    explicit MMTimer(const char* name);
    virtual ~MMTimer();
    MMTimer(const MMTimer& other);
    MMTimer& operator=(const MMTimer& other);

    // Stores a new delay in milliseconds when it differs from the current one. Returns 0.
    int ChangeDelay(uint32_t delayMs);
    // Sleeps for the delay: 0 returns at once. Returns 0, or -1 when the wait failed.
    int Sleep();
    // True when the clock resolves 1 ms or finer and the precise wait is used.
    bool GetCanUseHiresTimer() const;

  private:
    uint32_t m_delay;   // milliseconds; 0 means Sleep returns at once
    bool m_hires;       // the precise monotonic wait is available
    int64_t m_dueTime;  // always -(delay * 10000), the relative due time in 100 ns units
};
