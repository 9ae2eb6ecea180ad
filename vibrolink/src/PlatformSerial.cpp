#include "PlatformSerial.h"

#include <atomic>
#include <memory>

#include "DebugPrint.h"
#include "Device.h"
#include "DrovoSerial.h"

namespace {

std::atomic<SerialProbeObserver> g_probeObserver{nullptr};

// Connects a temporary device to name and closes it again. True when the port answered.
bool ProbePort(const std::string& name, int32_t deviceId, const CancelFlag* cancel) {
    if (SerialProbeObserver observer = g_probeObserver.load())
        observer(deviceId, name.c_str());
    Device* probe = new Device();
    probe->m_ID = deviceId;
    bool answered = probe->Connect(name.c_str(), PLATFORM_TYPE_SERIAL, nullptr, cancel) == 0;
    if (answered)
        probe->m_bKeepRunning = 0;
    // Destroy waits for the update thread, which closes the port on its way out.
    Device::Destroy(probe);
    return answered;
}

}  // namespace

void SetSerialProbeObserverForTesting(SerialProbeObserver observer) {
    g_probeObserver = observer;
}

int32_t PlatformSerial::Init() {
    return serial_Init();
}

int32_t PlatformSerial::GetLastPlatformError() {
    return serial_GetLastDrovoError();
}

int32_t PlatformSerial::Discover(std::vector<std::string>& names, const CancelFlag* cancel,
                                 int32_t limit) {
    names.clear();
    auto candidates = std::make_unique<DrovoSerialPortList>();
    int32_t offered = serial_Discover(candidates.get());
    if (offered <= 0)
        return offered;
    for (int32_t i = 0; i < candidates->count; ++i) {
        if (cancel && *cancel)
            return -1;
        const std::string name = candidates->names[i];
        if (!ProbePort(name, ~i, cancel))
            continue;
        names.push_back(name);
        if (limit > 0 && static_cast<int32_t>(names.size()) >= limit)
            return static_cast<int32_t>(names.size());
    }
    return static_cast<int32_t>(names.size());
}

int32_t PlatformSerial::Connect(Device* device) {
    DrovoSerialHandle handle = serial_Connect(device->m_pPortName);
    DebugPrint("[TI:D] Break from Serial %i %s\n",
               static_cast<int32_t>(reinterpret_cast<intptr_t>(handle)), device->m_pPortName);
    if (handle) {
        device->m_hConnection = handle;
        return 0;
    }
    int32_t code = GetLastPlatformError();
    DebugPrint("[TI:D] ERROR %s %s %i\n", "PlatformSerial::Connect", "PlatformSerial", 110);
    device->m_iLastError = code;
    return -1;
}

int32_t PlatformSerial::Close(Device* device) {
    return serial_Close(device->m_hConnection, &device->m_ReadOverlapped,
                        &device->m_WriteOverlapped);
}

int32_t PlatformSerial::Read(Device* device, int32_t bytesWanted, uint8_t* buffer,
                             int32_t* bytesRead, int32_t mode) {
    return serial_Read(device->m_hConnection, &device->m_ReadOverlapped, bytesWanted, buffer,
                       bytesRead, mode);
}

int32_t PlatformSerial::Write(Device* device, const uint8_t* bytes, int32_t count) {
    return serial_Write(device->m_hConnection, &device->m_WriteOverlapped, bytes, count);
}
