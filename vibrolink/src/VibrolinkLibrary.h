// The library-wide state behind the exported functions: one instance per process, alive from
// load to unload.
#pragma once

#include <atomic>
#include <cstdint>

#include "DeviceManager.h"
#include "HapsetManager.h"
#include "PlatformInterface.h"

struct VibrolinkLibrary {
    VibrolinkLibrary() = default;
    // Closes every device before the Hapset manager state goes, since device threads hand
    // their replies to it until they have stopped.
    ~VibrolinkLibrary();
    VibrolinkLibrary(const VibrolinkLibrary&) = delete;
    VibrolinkLibrary& operator=(const VibrolinkLibrary&) = delete;

    std::atomic<int32_t> lastError{0};     // what GetLastDrovoError answers
    std::atomic<uint32_t> timeFactor{10};  // of every Action the command functions make
    CancelFlag discoveryCancel{0};         // cleared by InitializeTI, raised by ShutdownTI
    HapsetManagerState hapsetState{};      // passed to every TM_ call
    DeviceManager manager;
};

VibrolinkLibrary& Library();

inline DeviceManager& Manager() {
    return Library().manager;
}
inline HapsetManagerState* HapsetState() {
    return &Library().hapsetState;
}
inline void SetLastError(int32_t code) {
    Library().lastError.store(code);
}

// Logs the manager's error when it is set and makes it the last error (0 included).
void TakeManagerError();
// Makes the Hapset manager's last error the library's last error.
void TakeHapsetError();
