// The USB module (libdrovo_winusb.so), bound at the first USB call so that the library serves
// serial devices on machines without it.
#pragma once

#include <cstdint>

#include "DrovoIoRecord.h"

// The module's functions that the USB platform calls.
struct WinUsbModule {
    int (*GetLastDrovoError)();
    void* (*Connect)(const char* name);
    int (*Close)(void* handle, DrovoIoRecord* readRecord);
    int (*Write)(void* handle, const uint8_t* bytes, int32_t count);
    int (*Read)(void* handle, DrovoIoRecord* record, int32_t count, uint8_t* buffer,
                int32_t* bytesRead, int32_t mode);
};

// The module, loading it on first use: first beside the serial module, then by the loader's
// search.
// nullptr when it cannot be loaded or lacks a function; each failed attempt prints one
// time-stamped line, and a later call tries again. Thread-safe.
const WinUsbModule* GetWinUsbModule();

// Internal test hook: load path instead of the module's usual places (nullptr restores them).
// Also forgets a module already bound (it stays mapped), so the next call loads afresh.
void SetWinUsbModulePathForTesting(const char* path);
