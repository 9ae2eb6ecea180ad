#include "ModuleState.h"

#include <time.h>

#include <atomic>
#include <mutex>

namespace drovo_serial {
namespace {

constexpr int64_t kDefaultReadTimeoutNs = 20 * 1000 * 1000;

std::atomic<int> g_lastError{0};
std::atomic<int64_t> g_readTimeoutNs{kDefaultReadTimeoutNs};
std::mutex g_rootLock;
std::string g_discoveryRoot;  // guarded by g_rootLock

}  // namespace

void SetLastError(int code) {
    g_lastError.store(code);
}
int LastError() {
    return g_lastError.load();
}

int64_t ReadTimeoutNs() {
    return g_readTimeoutNs.load();
}
void SetReadTimeoutNs(int64_t timeout) {
    g_readTimeoutNs.store(timeout > 0 ? timeout : kDefaultReadTimeoutNs);
}

std::string DiscoveryRoot() {
    std::lock_guard<std::mutex> lock(g_rootLock);
    return g_discoveryRoot;
}

void SetDiscoveryRoot(const char* root) {
    std::lock_guard<std::mutex> lock(g_rootLock);
    g_discoveryRoot = root ? root : "";
}

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // The clock starts near boot; adding 1 keeps "0 = never" free even at its very start.
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec + 1;
}

}  // namespace drovo_serial
