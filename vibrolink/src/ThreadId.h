// Kernel thread ids for the device library's log lines.
#pragma once

#include <cstdint>

// The kernel id of the calling thread.
uint32_t CurrentThreadId();
