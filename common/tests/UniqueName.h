// Pipe names that no other test process running at the same time uses.
#pragma once

#include <unistd.h>

#include <atomic>
#include <string>

inline std::string UniquePipeName(const char* stem) {
    static std::atomic<int> counter{0};
    return std::string(stem) + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}
