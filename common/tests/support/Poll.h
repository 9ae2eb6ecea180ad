// Waits for a condition that another thread or process makes true, with a generous limit.
#pragma once

#include <chrono>
#include <thread>

template <typename Condition>
bool PollUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
