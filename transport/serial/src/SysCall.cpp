#include "SysCall.h"

#include <cstring>
#include <mutex>
#include <string>

namespace drovo_serial {
namespace {

std::mutex g_injectionLock;
std::string g_injectedName;  // guarded by g_injectionLock; empty when nothing is injected
int g_injectedError = 0;     // guarded by g_injectionLock

}  // namespace

bool TakeInjectedFailure(const char* name) {
    std::lock_guard<std::mutex> lock(g_injectionLock);
    if (g_injectedName.empty() || g_injectedName != name) {
        return false;
    }
    g_injectedName.clear();
    errno = g_injectedError;
    return true;
}

void InjectSysCallFailure(const char* name, int error) {
    std::lock_guard<std::mutex> lock(g_injectionLock);
    g_injectedName = name ? name : "";
    g_injectedError = error;
}

}  // namespace drovo_serial
