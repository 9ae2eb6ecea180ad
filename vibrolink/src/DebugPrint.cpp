#include "DebugPrint.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

// Running number of the trace lines of the whole process.
std::atomic<int32_t> g_traceLineNumber{0};

// Label and the bytes of the largest packet fit; longer lines are cut, never overrun.
constexpr size_t kTraceLineBytes = 8192;

}  // namespace

void DebugPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void PrintPacketTrace(const char* label, float seconds, const uint8_t* bytes, int32_t count) {
    char line[kTraceLineBytes];
    size_t used = 0;
    auto append = [&line, &used](int written) {
        if (written > 0)
            used += static_cast<size_t>(written);
        if (used > sizeof(line) - 2)
            used = sizeof(line) - 2;
    };
    append(std::snprintf(line, sizeof(line) - 1, "[TI:D] %i,%f,%s,", g_traceLineNumber++,
                         static_cast<double>(seconds), label));
    for (int32_t i = 0; bytes && i < count; ++i) {
        append(std::snprintf(line + used, sizeof(line) - 1 - used, "%X:", bytes[i]));
    }
    line[used++] = '\n';
    std::fwrite(line, 1, used, stdout);
}
