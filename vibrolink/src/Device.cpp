#include "Device.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "ActionRecord.h"
#include "DebugPrint.h"
#include "DeviceTestHooks.h"
#include "DrovoErrorCodes.h"
#include "RegistryKeys.h"
#include "ThreadId.h"

namespace {

std::atomic<bool> g_failNextThreadStart{false};

// Bluetooth port names of the form \\.\COM12 are looked up without their device prefix.
constexpr size_t kDevicePrefixLength = 4;
constexpr size_t kPrefixedNameLimit = 508;
constexpr uint32_t kConnectTimeFactor = 10;

void StartUpdateThread(Device* device) {
    if (g_failNextThreadStart.exchange(false)) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    device->m_hThread = std::thread(&Device::UpdateThread, device);
}

}  // namespace

void FailNextDeviceThreadStartForTesting() {
    g_failNextThreadStart = true;
}

Device::Device() {
    m_WaitTimer.ChangeDelay(1);
}

Device::~Device() {
    for (int32_t i = 0; i < m_iActionCount; ++i)
        ReleaseAction(m_pActions[i]);
    ReleasePortName();
}

void Device::Destroy(Device* device) {
    if (device && device->Close())
        delete device;
}

bool Device::Close() {
    m_bKeepRunning = 0;
    if (!m_hThread.joinable())
        return true;
    if (m_hThread.get_id() == std::this_thread::get_id()) {
        // Called from one of our own callbacks: the thread cannot wait for itself, so it
        // releases the device once it has left its loop.
        m_hThread.detach();
        m_bReleaseWhenThreadEnds = 1;
        return false;
    }
    if (m_bThreadRunning) {
        DebugPrint("[TI:D] Close() Waiting for thread: 0x%x (From thread: 0x%x)\n",
                   m_iThreadId.load(), CurrentThreadId());
    }
    m_hThread.join();
    return true;
}

int32_t Device::FailConnect(int32_t line, int32_t code) {
    DebugPrint("[TI:D] ERROR %s %s %i\n", "Device::Connect", "Device", line);
    m_iLastError = code;
    return -1;
}

void Device::ReleasePortName() {
    delete[] m_pPortName;
    m_pPortName = nullptr;
}

const char* Device::PortNameForLog() const {
    return m_pPortName ? m_pPortName : "(null)";
}

int32_t Device::Connect(const char* portName, int32_t platformType, ResponseCallback callback,
                        const CancelFlag* cancel) {
    if (!cancel)
        return FailConnect(155, DROVO_BAD_PARAMETER);
    if (!portName)
        return FailConnect(160, DROVO_BAD_PARAMETER);
    size_t nameLength = strnlen(portName, kMaxPortNameLength + 1);
    if (nameLength > kMaxPortNameLength)
        return FailConnect(166, DROVO_BAD_PARAMETER);

    m_iPlatformType = platformType;
    m_pPlatform = GetPlatformInterface(platformType);
    if (!m_pPlatform) {
        DebugPrint("[TI:D] Failed to get platform interface!\n");
        return FailConnect(179, DROVO_BAD_PARAMETER);
    }
    m_pPortName = new char[nameLength + 1];
    std::memcpy(m_pPortName, portName, nameLength + 1);

    int32_t opened = m_pPlatform->Connect(this);
    if (opened < 0) {
        FailConnect(189, DROVO_CONNECT_FAILED);
        DebugPrint("[TI:D] Connect Error: %d.\n", opened);
        ReleasePortName();
        return -1;
    }
    if (callback)
        m_pResponseCallback = callback;
    if (StartThread() < 0)
        return -1;
    return AwaitFirstExchange(*cancel);
}

int32_t Device::StartThread() {
    m_iConnected = 1;
    m_bKeepRunning = 1;
    m_bHoldThread = 1;
    try {
        StartUpdateThread(this);
    } catch (const std::system_error&) {
        DebugPrint("[TI:D] Error Creating Thread\n");
        FailConnect(213, DROVO_THREAD_START_FAILED);
        m_iConnected = -1;
        // No thread will ever run Disconnect, so the port opened above is closed here rather
        // than left open until the process ends.
        m_pPlatform->Close(this);
        ResetConnectionFields();
        ReleasePortName();
        return -1;
    }
    return 0;
}

int32_t Device::AwaitFirstExchange(const CancelFlag& cancel) {
    uint8_t closeOnNak = m_bCloseOnNak;
    m_bCloseOnNak = 1;
    RequestFirmwareVersion();
    WaitIfBluetoothPort(1000);
    m_bHoldThread = 0;

    while (m_iPacketsSent == 0 && m_iConnected > 0) {
        if (cancel)
            return FailConnect(243, DROVO_CONNECT_FAILED);
        m_WaitTimer.Sleep();
    }
    if (cancel)
        return FailConnect(256, DROVO_CONNECT_FAILED);
    while (m_iReadStarted != 1 && m_iConnected == 1) {
        m_WaitTimer.Sleep();
        if (cancel)
            return FailConnect(256, DROVO_CONNECT_FAILED);
    }
    m_bCloseOnNak = closeOnNak;
    if (m_iConnected != 1) {
        DebugPrint("[TI:D] connect is returning -1 m_iConnected !=1\n");
        m_bFirmwareRequestPending = 0;
        return FailConnect(275, DROVO_CONNECT_FAILED);
    }
    m_bFirmwareRequestPending = 0;
    return 0;
}

int32_t Device::RequestFirmwareVersion() {
    Action* action = AllocateAction(kConnectTimeFactor);
    if (!action)
        return -1;
    m_bFirmwareRequestPending = 1;
    if (ReadFirmwareVersion(action) < 0 || AddToList(action) < 0) {
        ReleaseAction(action);
        return -1;
    }
    return 0;
}

void Device::WaitIfBluetoothPort(uint32_t ms) {
    if (!m_pPortName)
        return;
    const char* name = m_pPortName;
    size_t limit = kMaxPortNameLength;
    if (name[0] == '\\') {
        name += strnlen(name, kDevicePrefixLength);
        limit = kPrefixedNameLimit;
    }
    char shortName[512];
    std::snprintf(shortName, sizeof(shortName), "%.*s", static_cast<int>(limit), name);
    char path[600];
    std::snprintf(path, sizeof(path), "software\\toshiba\\bluetoothstack\\v1.0\\localcom\\%s",
                  shortName);
    if (CurrentUserRegistryKeyExists(path)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void Device::ResetConnectionFields() {
    m_hConnection = nullptr;
    std::memset(&m_ReadOverlapped, 0, sizeof(m_ReadOverlapped));
    std::memset(&m_WriteOverlapped, 0, sizeof(m_WriteOverlapped));
}

int32_t Device::Disconnect() {
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    m_iConnected = 0;
    int32_t result = -1;
    if (m_pPlatform) {
        result = m_pPlatform->Close(this);
    } else {
        utl::Timer::printfTime("[TI:D] Platform Interface null, can't call Close()\n");
    }
    WaitIfBluetoothPort(300);
    m_iPlatformType = -1;
    m_ID = -1;
    ResetConnectionFields();
    for (int32_t i = 0; i < m_iActionCount; ++i) {
        ReleaseAction(m_pActions[i]);
        m_pActions[i] = nullptr;
    }
    m_iActionCount = 0;
    ReleasePortName();
    return result;
}

std::vector<Segment> Device::GetSegments() const {
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    return m_Segments;
}
