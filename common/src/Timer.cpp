#include "Timer.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>

namespace {

constexpr int64_t kNanosPerSecond = 1000000000LL;
constexpr int kMessageSize = 5120;
constexpr int kTimeSize = 64;

int64_t NowTicks() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

float SecondsBetween(int64_t from, int64_t to, int64_t frequency) {
    return static_cast<float>(static_cast<double>(to - from) / static_cast<double>(frequency));
}

// "[time]\tmessage" with the message cut to what the 5120-byte buffer holds.
struct Stamped {
    char time[kTimeSize];
    char message[kMessageSize];
    bool ok;
};

Stamped Compose(const char* format, va_list args) {
    Stamped s{};
    int n = vsnprintf(s.message, sizeof s.message, format, args);
    s.ok = n >= 0 && utl::Timer::makeTime(s.time, sizeof s.time) >= 0;
    return s;
}

}  // namespace

namespace utl {

Timer::Timer() : m_frequency(kNanosPerSecond), m_start(NowTicks()) {}

void Timer::reset() {
    m_start = NowTicks();
}

float Timer::getElapsedTime() const {
    return SecondsBetween(m_start, NowTicks(), m_frequency);
}

int Timer::makeTime(char* text, int size) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    if (localtime_r(&now.tv_sec, &local) == nullptr)
        return -1;
    int n = snprintf(text, static_cast<size_t>(size), "%02d:%02d:%02d.%06d", local.tm_hour,
                     local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1000));
    return (n < 0 || n >= size) ? -1 : n;
}

int Timer::printfTime(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Stamped s = Compose(format, args);
    va_end(args);
    return printf("[%s]%s%s", s.time, "\t", s.message);
}

int Timer::sprintfTime(char* dest, const char* format, ...) {
    va_list args;
    va_start(args, format);
    char* message = nullptr;
    int n = vasprintf(&message, format, args);
    va_end(args);
    char time[kTimeSize];
    if (n < 0 || makeTime(time, sizeof time) < 0) {
        free(message);
        return -1;
    }
    int written = sprintf(dest, "[%s]%s%s", time, "\t", message);
    free(message);
    return written;
}

int Timer::snprintfTime(char* dest, int size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Stamped s = Compose(format, args);
    va_end(args);
    if (!s.ok || size <= 0)
        return -1;
    int n = snprintf(dest, static_cast<size_t>(size), "[%s]%s%s", s.time, "\t", s.message);
    return (n < 0 || n >= size) ? -1 : n;
}

FrequencyCounter::FrequencyCounter(int max_sample_count, const char* units)
    : m_frequency(kNanosPerSecond),
      m_secondStart(NowTicks()),
      m_units{},
      m_text{},
      m_maxSampleCount(static_cast<uint32_t>(max_sample_count)),
      m_currentTicks(0),
      m_samples(nullptr),
      m_sampleCount(0),
      m_rate(0.0f) {
    if (m_maxSampleCount > 60) {
        throw std::runtime_error(
            "max_sample_count may not be a negative number and can be no larger than 60!");
    }
    m_samples = new uint32_t[m_maxSampleCount == 0 ? 1 : m_maxSampleCount]();
    const char* label = (units != nullptr && units[0] != '\0') ? units : "Hz";
    snprintf(m_units, sizeof m_units, "%s", label);
}

FrequencyCounter::~FrequencyCounter() {
    delete[] m_samples;
}

void FrequencyCounter::Tick(int count) {
    m_currentTicks += static_cast<uint32_t>(count);
    UpdateNoTick();
}

void FrequencyCounter::Reset() {
    memset(m_samples, 0, sizeof(uint32_t) * (m_maxSampleCount == 0 ? 1 : m_maxSampleCount));
    m_sampleCount = 0;
    m_rate = 0.0f;
    m_currentTicks = 0;
    m_secondStart = NowTicks();
}

float FrequencyCounter::GetFrequency() {
    UpdateNoTick();
    return m_rate;
}

uint32_t FrequencyCounter::GetTicksLastSecond() const {
    return m_sampleCount == 0 ? 0 : m_samples[m_sampleCount - 1];
}

const char* FrequencyCounter::ToString() {
    if (m_rate == 0.0f) {
        snprintf(m_text, sizeof m_text, "0%s", m_units);
    } else {
        snprintf(m_text, sizeof m_text, "%1.1f%s", static_cast<double>(m_rate), m_units);
    }
    return m_text;
}

void FrequencyCounter::UpdateNoTick() {
    if (SecondsBetween(m_secondStart, NowTicks(), m_frequency) > 1.0f) {
        m_secondStart = NowTicks();
        // A counter with room for no sample only drops the finished window.
        if (m_maxSampleCount > 0) {
            ++m_sampleCount;
            if (m_sampleCount > m_maxSampleCount) {
                memmove(m_samples, m_samples + 1, sizeof(uint32_t) * (m_maxSampleCount - 1));
                --m_sampleCount;
            }
            m_samples[m_sampleCount - 1] = m_currentTicks;
        }
        m_currentTicks = 0;
    }
    if (m_sampleCount == 0) {
        m_rate = 0.0f;
        return;
    }
    double sum = 0;
    for (uint32_t i = 0; i < m_sampleCount; ++i)
        sum += m_samples[i];
    m_rate = static_cast<float>(sum / m_sampleCount);
}

}  // namespace utl
