#include <array>
#include <mutex>

#include "PlatformInterface.h"
#include "Timer.h"

namespace {

// One slot per platform type bit. The built-in object is made once and lives until unload;
// the override, when set by a test, wins over it.
struct PlatformSlot {
    std::once_flag created;
    PlatformInterface* builtIn = nullptr;
    std::atomic<PlatformInterface*> override{nullptr};
};

constexpr std::array<int32_t, 5> kPlatformTypes = {
    PLATFORM_TYPE_SERIAL, PLATFORM_TYPE_USB, PLATFORM_TYPE_RESERVED_4, PLATFORM_TYPE_RESERVED_8,
    PLATFORM_TYPE_RESERVED_16};

std::array<PlatformSlot, kPlatformTypes.size()>& Slots() {
    // Deliberately never destroyed: devices may still hold platform pointers while static
    // objects of other libraries are torn down at exit.
    static auto* slots = new std::array<PlatformSlot, kPlatformTypes.size()>();
    return *slots;
}

PlatformSlot* SlotForType(int32_t type) {
    for (size_t i = 0; i < kPlatformTypes.size(); ++i) {
        if (kPlatformTypes[i] == type)
            return &Slots()[i];
    }
    return nullptr;
}

PlatformInterface* PlatformOfSlot(PlatformSlot& slot, int32_t type) {
    if (PlatformInterface* installed = slot.override.load())
        return installed;
    std::call_once(slot.created, [&slot, type] { slot.builtIn = CreatePlatformForType(type); });
    return slot.builtIn;
}

}  // namespace

PlatformInterface* GetPlatformInterface(int32_t type) {
    PlatformSlot* slot = SlotForType(type);
    PlatformInterface* platform = slot ? PlatformOfSlot(*slot, type) : nullptr;
    if (!platform) {
        utl::Timer::printfTime(
            "[PI] Error finding platform interface for type %d. That type is unsupported on "
            "this platform.\n",
            type);
    }
    return platform;
}

int32_t InitializePlatforms() {
    int32_t result = 0;
    for (int32_t type : kPlatformTypes) {
        if (type != PLATFORM_TYPE_SERIAL && type != PLATFORM_TYPE_USB)
            continue;
        PlatformInterface* platform = GetPlatformInterface(type);
        if (!platform) {
            result = -1;
            continue;
        }
        if (platform->Init() < 0) {
            utl::Timer::printfTime("[PI] Error initializing platform %d: %d", type,
                                   platform->GetLastPlatformError());
            result = -1;
        }
    }
    return result;
}

PlatformInterface* InstallPlatformForTesting(int32_t type, PlatformInterface* platform) {
    PlatformSlot* slot = SlotForType(type);
    return slot ? slot->override.exchange(platform) : nullptr;
}
