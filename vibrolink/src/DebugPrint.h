// The device library's console lines. All go unconditionally to standard output.
#pragma once

#include <cstdint>

// printf to standard output; every "[TI:D]", "[TI:DM]" and "[TI]" line goes through it.
void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "[TI:D] <n>,<seconds>,<label>," then "%X:" per byte and a newline, where n is a process-wide
// running number starting at 0. The line is written with one call, so lines of different
// devices do not interleave. bytes may be nullptr when count is 0.
void PrintPacketTrace(const char* label, float seconds, const uint8_t* bytes, int32_t count);
