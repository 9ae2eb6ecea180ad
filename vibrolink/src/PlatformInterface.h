// The transport seam behind every Device, and the process-wide choice of a transport by type.
//
// A platform object holds no per-connection state: everything that belongs to one open
// connection lives in the Device handed to each operation (m_hConnection, m_ReadOverlapped,
// m_WriteOverlapped, m_pPortName, m_iPlatformType, m_iLastError). One object serves every device
// of its type, each from its own update thread, so every operation must touch only the Device it
// is given. No operation takes a Device lock; callers hold none when they call in.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class Device;

// Platform type numbers. They are single bits so that discovery can take a mask of them.
enum PlatformType : int32_t {
    PLATFORM_TYPE_SERIAL = 1,  // serial port, Bluetooth serial ports included
    PLATFORM_TYPE_USB = 2,
    PLATFORM_TYPE_RESERVED_4 = 4,
    PLATFORM_TYPE_RESERVED_8 = 8,
    PLATFORM_TYPE_RESERVED_16 = 16,
};

// The process-wide discovery cancel flag: non-zero while the library is shutting down.
using CancelFlag = std::atomic<uint8_t>;

class PlatformInterface {
  public:
    virtual ~PlatformInterface() = default;

    // Prepares the transport once at library start. Returns 0, or a negative value on failure
    // (the reason is then GetLastPlatformError). Does not block on any device.
    virtual int32_t Init() = 0;

    // The error code (the device library's six-digit codes) of this platform's last failed
    // operation.
    virtual int32_t GetLastPlatformError() = 0;

    // Clears names, then fills it with the port names of the devices found, stopping early when
    // *cancel becomes non-zero. limit <= 0 means no limit. May block while ports are probed.
    // Returns the number of names placed, 0 or less when nothing was found or discovery failed.
    virtual int32_t Discover(std::vector<std::string>& names, const CancelFlag* cancel,
                             int32_t limit) = 0;

    // Opens device->m_pPortName. Returns 0 with the handle stored in device->m_hConnection, or
    // -1 with device->m_iLastError set to GetLastPlatformError().
    virtual int32_t Connect(Device* device) = 0;

    // Closes the connection opened by Connect and returns the transport's result, which the
    // Device passes on as its own close result.
    virtual int32_t Close(Device* device) = 0;

    // Reads up to bytesWanted bytes into buffer and stores the count in *bytesRead.
    // mode 0 starts a new read; mode 1 collects the result of the read still pending.
    // Never blocks for long: a read that cannot finish yet fails with the pending or
    // nothing-to-read code. Never writes more than bytesWanted bytes; a negative bytesWanted is
    // refused with the bad-parameter code. Returns 0 or more on success, negative on failure
    // (the reason is then GetLastPlatformError).
    virtual int32_t Read(Device* device, int32_t bytesWanted, uint8_t* buffer, int32_t* bytesRead,
                         int32_t mode) = 0;

    // Writes count bytes. Returns 0 or more on success, negative on failure.
    virtual int32_t Write(Device* device, const uint8_t* bytes, int32_t count) = 0;
};

// The one platform object of the process for type, created on the first request for that type
// (thread-safe, exactly once) and never deleted by a caller. For a type that this build cannot
// serve it prints the time-stamped "unsupported on this platform" line and returns nullptr.
PlatformInterface* GetPlatformInterface(int32_t type);

// Walks the types 1, 2, 4, 8, 16 and calls Init on the platforms of types 1 and 2, going on
// past failures (each printed once). Returns 0 when every Init succeeded, otherwise -1.
int32_t InitializePlatforms();

// Makes the platform object for a type, or returns nullptr when this build has none for it.
// Called at most once per type, by GetPlatformInterface. Each concrete platform adds its type
// here (PlatformCatalog.cpp).
PlatformInterface* CreatePlatformForType(int32_t type);

// Internal test hook: makes GetPlatformInterface answer platform for type (one of the five
// type bits) instead of the built-in object, until called again with nullptr. The caller keeps
// ownership and must keep the object alive while devices use it. Returns the previous override.
PlatformInterface* InstallPlatformForTesting(int32_t type, PlatformInterface* platform);
