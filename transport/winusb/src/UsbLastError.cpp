#include "UsbLastError.h"

#include <atomic>

namespace drovo_winusb {
namespace {

std::atomic<int> g_lastError{0};

}  // namespace

void SetLastError(int code) {
    g_lastError.store(code);
}
int LastError() {
    return g_lastError.load();
}

int Fail(int code) {
    SetLastError(code);
    return -1;
}

}  // namespace drovo_winusb
