#include "UsbDriverLoader.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace drovo_winusb {
namespace {

std::mutex g_loadLock;
std::string g_libraryPath = DROVO_USB_DRIVER_LIBRARY;  // guarded by g_loadLock
UsbDriver g_driver;                                    // filled once, under g_loadLock
const UsbDriver* g_loaded = nullptr;                   // guarded by g_loadLock

bool Resolve(void* library, UsbDriver* driver) {
    bool complete = true;
#define DROVO_USB_DRIVER_RESOLVE(type, name)                      \
    driver->name = reinterpret_cast<type>(dlsym(library, #name)); \
    complete = complete && driver->name != nullptr;
    DROVO_USB_DRIVER_FUNCTIONS(DROVO_USB_DRIVER_RESOLVE)
#undef DROVO_USB_DRIVER_RESOLVE
    return complete;
}

}  // namespace

const UsbDriver* GetUsbDriver() {
    std::lock_guard<std::mutex> lock(g_loadLock);
    if (g_loaded) {
        return g_loaded;
    }
    void* library = dlopen(g_libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        return nullptr;
    }
    UsbDriver driver{};
    if (!Resolve(library, &driver)) {
        dlclose(library);
        return nullptr;
    }
    g_driver = driver;
    g_loaded = &g_driver;
    return g_loaded;
}

void SetDriverLibraryPath(const char* path) {
    std::lock_guard<std::mutex> lock(g_loadLock);
    g_libraryPath = path ? path : DROVO_USB_DRIVER_LIBRARY;
}

}  // namespace drovo_winusb
