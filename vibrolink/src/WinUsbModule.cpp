#include "WinUsbModule.h"

#include <dlfcn.h>

#include <mutex>
#include <string>

#include "DrovoSerial.h"
#include "Timer.h"

namespace {

constexpr const char* kModuleFile = "libdrovo_winusb.so";

std::mutex g_loadLock;
std::string g_testPath;                  // guarded by g_loadLock; empty: the usual places
WinUsbModule g_module;                   // filled once, under g_loadLock
const WinUsbModule* g_loaded = nullptr;  // guarded by g_loadLock

// The folder of the serial module, with a trailing slash; "" when unknown. The kit's transport
// modules are installed side by side, and the serial module is always loaded with this library.
// The folder is looked up rather than left to the loader's search, because a sanitizer's
// dlopen wrapper hides this library's own search path.
std::string TransportFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&serial_Init), &info) || !info.dli_fname)
        return "";
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

void* OpenModule() {
    if (!g_testPath.empty())
        return dlopen(g_testPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::string beside = TransportFolder() + kModuleFile;
    void* library = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    return library ? library : dlopen(kModuleFile, RTLD_NOW | RTLD_LOCAL);
}

template <typename Function>
bool Bind(void* library, const char* name, Function* slot) {
    *slot = reinterpret_cast<Function>(dlsym(library, name));
    return *slot != nullptr;
}

bool BindAll(void* library, WinUsbModule* module) {
    return Bind(library, "winusb_GetLastDrovoError", &module->GetLastDrovoError) &&
           Bind(library, "winusb_Connect", &module->Connect) &&
           Bind(library, "winusb_Close", &module->Close) &&
           Bind(library, "winusb_Write", &module->Write) &&
           Bind(library, "winusb_Read", &module->Read);
}

}  // namespace

const WinUsbModule* GetWinUsbModule() {
    std::lock_guard<std::mutex> lock(g_loadLock);
    if (g_loaded)
        return g_loaded;
    void* library = OpenModule();
    WinUsbModule module{};
    if (!library || !BindAll(library, &module)) {
        const char* reason = dlerror();
        utl::Timer::printfTime("[PlatformWinUSB] Cannot load %s: %s\n", kModuleFile,
                               reason ? reason : "a function is missing");
        if (library)
            dlclose(library);
        return nullptr;
    }
    g_module = module;
    g_loaded = &g_module;
    return g_loaded;
}

void SetWinUsbModulePathForTesting(const char* path) {
    std::lock_guard<std::mutex> lock(g_loadLock);
    g_testPath = path ? path : "";
    g_loaded = nullptr;
}
