#include "PlatformWinUSB.h"

#include "DebugPrint.h"
#include "Device.h"
#include "DrovoErrorCodes.h"
#include "Timer.h"
#include "WinUsbModule.h"

int32_t PlatformWinUSB::Init() {
    return 0;
}

int32_t PlatformWinUSB::GetLastPlatformError() {
    const WinUsbModule* module = GetWinUsbModule();
    return module ? module->GetLastDrovoError() : DROVO_INTERNAL_ERROR;
}

int32_t PlatformWinUSB::Discover(std::vector<std::string>& names, const CancelFlag*, int32_t) {
    names.clear();
    utl::Timer::printfTime("[PlatformWinUSB] DISCOVER ROUTINE NOT WRITTEN!\n");
    return -1;
}

int32_t PlatformWinUSB::Connect(Device* device) {
    const WinUsbModule* module = GetWinUsbModule();
    void* handle = module ? module->Connect(device->m_pPortName) : nullptr;
    if (handle) {
        device->m_hConnection = handle;
        return 0;
    }
    int32_t code = GetLastPlatformError();
    DebugPrint("[TI:D] ERROR %s %s %i\n", "PlatformWinUSB::Connect", "PlatformWinUSB", 52);
    device->m_iLastError = code;
    DebugPrint("[TI:D] ERROR Handle Set %i\n", 0);
    return -1;
}

// Without the module there is no connection to close, read or write: a device reaches these
// only after a successful Connect, which loaded it.
int32_t PlatformWinUSB::Close(Device* device) {
    const WinUsbModule* module = GetWinUsbModule();
    return module ? module->Close(device->m_hConnection, &device->m_ReadOverlapped) : -1;
}

int32_t PlatformWinUSB::Read(Device* device, int32_t bytesWanted, uint8_t* buffer,
                             int32_t* bytesRead, int32_t mode) {
    const WinUsbModule* module = GetWinUsbModule();
    if (!module)
        return -1;
    return module->Read(device->m_hConnection, &device->m_ReadOverlapped, bytesWanted, buffer,
                        bytesRead, mode);
}

int32_t PlatformWinUSB::Write(Device* device, const uint8_t* bytes, int32_t count) {
    const WinUsbModule* module = GetWinUsbModule();
    return module ? module->Write(device->m_hConnection, bytes, count) : -1;
}
