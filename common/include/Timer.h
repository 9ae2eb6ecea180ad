// Elapsed-time measurement, the time-stamped console print, and a ticks-per-second counter.
#pragma once

#include <cstdint>

#include "DrovoCommonExport.h"

namespace utl {

// Elapsed seconds since construction or the last reset, from the monotonic clock.
class DROVO_COMMON_API Timer {
  public:
    Timer();
    void reset();
    float getElapsedTime() const;

    // Writes the local time of day as "HH:MM:SS.uuuuuu" into at most size characters including
    // the terminator. Returns the characters written, or -1 when it did not fit.
    static int makeTime(char* text, int size);
    // Prints "[time]\tmessage" to standard output; the message is cut to 5119 characters.
    // Returns what printf returns.
    static int printfTime(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // The same text written into dest, which must be large enough. Returns its length or -1.
    static int sprintfTime(char* dest, const char* format, ...)
        __attribute__((format(printf, 2, 3)));
    // The same text written into at most size characters of dest. Returns its length, or -1
    // when it did not fit or formatting failed.
    static int snprintfTime(char* dest, int size, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

  private:
    int64_t m_frequency;  // clock ticks per second
    int64_t m_start;      // clock value at construction or reset
};

// Counts ticks in one-second windows and reports the mean of the last finished windows.
// An object is used by one thread at a time.
class DROVO_COMMON_API FrequencyCounter {
  public:
    // max_sample_count: finished windows to average, 0 to 60; anything else throws.
    // units: label for ToString, "Hz" when null or empty, cut to 31 characters.
    explicit FrequencyCounter(int max_sample_count, const char* units = nullptr);
    ~FrequencyCounter();
    FrequencyCounter(const FrequencyCounter&) = delete;
    FrequencyCounter& operator=(const FrequencyCounter&) = delete;

    void Tick(int count = 1);
    void Reset();
    float GetFrequency();
    // Ticks of the last finished window; 0 before the first window has finished.
    uint32_t GetTicksLastSecond() const;
    // "0<units>" when the rate is exactly 0, else "%1.1f<units>". The text lives in the object.
    const char* ToString();

  private:
    void UpdateNoTick();

    int64_t m_frequency;
    int64_t m_secondStart;
    char m_units[32];
    char m_text[64];
    uint32_t m_maxSampleCount;
    uint32_t m_currentTicks;
    uint32_t* m_samples;  // oldest first
    uint32_t m_sampleCount;
    float m_rate;
};

}  // namespace utl
