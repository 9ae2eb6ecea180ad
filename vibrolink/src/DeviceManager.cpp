#include "DeviceManager.h"

#include <algorithm>
#include <cstring>

#include "DebugPrint.h"
#include "Device.h"
#include "DrovoErrorCodes.h"
#include "HapsetBridge.h"

namespace {

// Device IDs run from 0 to this number.
constexpr int32_t kMaxDeviceId = 64;

// Platform type bits in the order discovery asks them.
constexpr int32_t kDiscoveryOrder[] = {PLATFORM_TYPE_SERIAL, PLATFORM_TYPE_USB,
                                       PLATFORM_TYPE_RESERVED_4, PLATFORM_TYPE_RESERVED_8,
                                       PLATFORM_TYPE_RESERVED_16};

// The manager's own connects are never cancelled.
const CancelFlag kNeverCancelled{0};

thread_local int t_managerLockDepth = 0;

DeviceManager::DiscoveredDevice MakeDiscovered(const char* name, int32_t platformType) {
    DeviceManager::DiscoveredDevice entry{};
    std::strncpy(entry.name, name, sizeof(entry.name) - 1);
    entry.platformType = platformType;
    return entry;
}

}  // namespace

DeviceManager::Guard::Guard(std::recursive_mutex& lock) : m_Held(lock) {
    ++t_managerLockDepth;
}

DeviceManager::Guard::~Guard() {
    --t_managerLockDepth;
}

bool DeviceManager::Guard::Held() {
    return t_managerLockDepth > 0;
}

DeviceManager::DeviceManager() = default;

DeviceManager::~DeviceManager() {
    Unload();
}

void DeviceManager::Fail(const char* method, int line, int32_t code) {
    DebugPrint("[TI:DM] ERROR %s %s %i\n", method, "DeviceManager", line);
    m_iLastError.store(code);
}

bool DeviceManager::CheckInitialized(const char* method, int line) {
    if (IsInitialized())
        return true;
    Fail(method, line, DROVO_NOT_INITIALISED);
    return false;
}

int32_t DeviceManager::FindDeviceIndexLocked(int32_t id) {
    for (size_t i = 0; i < m_Devices.size(); ++i) {
        if (m_Devices[i] && m_Devices[i]->m_ID.load() == id)
            return static_cast<int32_t>(i);
    }
    Fail("DeviceManager::FindDeviceIndex", 58, DROVO_BAD_PARAMETER);
    return -1;
}

int32_t DeviceManager::FindDeviceIndex(int32_t id) {
    if (!CheckInitialized("DeviceManager::FindDeviceIndex", 49))
        return -1;
    Guard guard(m_Lock);
    return FindDeviceIndexLocked(id);
}

bool DeviceManager::WithDevice(int32_t id, const std::function<void(Device&)>& use) {
    if (!CheckInitialized("DeviceManager::FindDeviceIndex", 49))
        return false;
    Guard guard(m_Lock);
    int32_t index = FindDeviceIndexLocked(id);
    if (index < 0)
        return false;
    use(*m_Devices[static_cast<size_t>(index)]);
    return true;
}

int32_t DeviceManager::Update() {
    if (!CheckInitialized("DeviceManager::Update", 65))
        return -1;
    int32_t pending = m_iLastError.load();
    if (pending != 0) {
        DebugPrint("[TI:DM] GetLastDMError non-zero: %d\n", pending);
        DebugPrint("[TI:DM] GetLastDMError non-zero: %d\n", pending);
        DebugPrint("[TI] Error With DeviceManager %i\n", pending);
        DebugPrint("[TI:DM] GetLastDMError non-zero: %d\n", pending);
        return pending;
    }
    std::vector<Device*> stopped;
    int32_t result = 0;
    {
        Guard guard(m_Lock);
        size_t i = 0;
        while (i < m_Devices.size()) {
            Device* device = m_Devices[i];
            if (!device || device->m_iConnected.load() <= 0) {
                if (device)
                    stopped.push_back(device);
                m_Devices.erase(m_Devices.begin() + static_cast<long>(i));
                continue;
            }
            int32_t code = device->m_iLastError.load();
            if (code == DROVO_MORE_TO_READ) {
                DebugPrint("[TI] Tactor device %i has more to read.\n", static_cast<int>(i));
                device->m_iLastError.compare_exchange_strong(code, 0);
            } else if (code != 0) {
                Fail("DeviceManager::Update", 109, code);
                DebugPrint("[TI] Error With Tactor Device %i\n", static_cast<int>(i));
                DebugPrint("[TI:DM] GetLastDMError non-zero: %d\n", code);
                // The code now lives in the manager's error; taking it from the device lets a
                // client that cleared the error get the sweep of the devices behind it back.
                device->m_iLastError.compare_exchange_strong(code, 0);
                result = code;
                break;
            }
            ++i;
        }
        TakeRetired(stopped);
    }
    DestroyOrRetire(std::move(stopped));
    return result;
}

int32_t DeviceManager::Connect(const char* portName, int32_t platformType,
                               ResponseCallback callback) {
    if (!CheckInitialized("DeviceManager::Connect", 123))
        return -1;
    int32_t id;
    {
        Guard guard(m_Lock);
        id = CreateNewID();
        if (id < 0)
            return -1;
        m_PendingIds.push_back(id);
    }
    auto* device = new Device();
    device->m_ID.store(id);
    int32_t connected = device->Connect(portName, platformType, callback, &kNeverCancelled);
    {
        Guard guard(m_Lock);
        m_PendingIds.erase(std::find(m_PendingIds.begin(), m_PendingIds.end(), id));
        if (connected == 0) {
            device->m_bCloseOnNak.store(m_bCloseOnNak.load());
            // Installed only now, so the Hapset manager never sees the connect-time replies.
            device->m_pHapsetPacketCallback.store(ForwardPacketToHapsetManager);
            m_Devices.push_back(device);
            return id;
        }
    }
    m_iLastError.store(device->m_iLastError.load());
    DebugPrint("[TI:DM] ERROR %s %s %i\n", "DeviceManager::Connect", "DeviceManager", 136);
    DestroyOrRetire({device});
    return -1;
}

const char* DeviceManager::GetDiscoveredDeviceName(int32_t index) {
    if (!CheckInitialized("DeviceManager::GetDiscoveredDeviceName", 155))
        return nullptr;
    Guard guard(m_Lock);
    if (index < 0 || static_cast<size_t>(index) >= m_Discovered.size()) {
        Fail("DeviceManager::GetDiscoveredDeviceName", 161, DROVO_BAD_PARAMETER);
        return nullptr;
    }
    return m_Discovered[static_cast<size_t>(index)].name;
}

int32_t DeviceManager::GetDiscoveredDeviceType(int32_t index) {
    if (!CheckInitialized("DeviceManager::GetDiscoveredDeviceType", 171))
        return 0;
    Guard guard(m_Lock);
    if (index < 0 || static_cast<size_t>(index) >= m_Discovered.size()) {
        Fail("DeviceManager::GetDiscoveredDeviceType", 177, DROVO_BAD_PARAMETER);
        return 0;
    }
    return m_Discovered[static_cast<size_t>(index)].platformType;
}

int32_t DeviceManager::Close(int32_t id) {
    if (!CheckInitialized("DeviceManager::Close", 188))
        return -1;
    std::vector<Device*> closing;
    {
        Guard guard(m_Lock);
        for (size_t i = 0; i < m_Devices.size() && closing.empty(); ++i) {
            if (m_Devices[i] && m_Devices[i]->m_ID.load() == id) {
                closing.push_back(m_Devices[i]);
                m_Devices.erase(m_Devices.begin() + static_cast<long>(i));
            }
        }
        if (closing.empty()) {
            DebugPrint("[TI:DM] ERROR %s %s %i\n", "Cannot Close Device", "", -1);
            m_iLastError.store(DROVO_NO_SUCH_DEVICE);
            return -1;
        }
        TakeRetired(closing);
    }
    DestroyOrRetire(std::move(closing));
    return 0;
}

void DeviceManager::SetDeviceCloseOnNak(uint8_t flag) {
    if (!CheckInitialized("DeviceManager::SetDeviceCloseOnNak", 220))
        return;
    Guard guard(m_Lock);
    m_bCloseOnNak.store(flag);
    for (Device* device : m_Devices) {
        if (device)
            device->m_bCloseOnNak.store(flag);
    }
}

int32_t DeviceManager::CloseALL() {
    if (!CheckInitialized("DeviceManager::CloseALL", 234))
        return -1;
    std::vector<Device*> closing;
    {
        Guard guard(m_Lock);
        for (Device* device : m_Devices) {
            if (device)
                closing.push_back(device);
        }
        m_Devices.clear();
        TakeRetired(closing);
    }
    DestroyOrRetire(std::move(closing));
    return 0;
}

bool DeviceManager::IdInUse(int32_t id) const {
    if (std::find(m_PendingIds.begin(), m_PendingIds.end(), id) != m_PendingIds.end())
        return true;
    for (Device* device : m_Devices) {
        if (device && device->m_ID.load() == id)
            return true;
    }
    return false;
}

int32_t DeviceManager::CreateNewID() {
    for (int32_t id = 0; id <= kMaxDeviceId; ++id) {
        if (!IdInUse(id))
            return id;
    }
    Fail("DeviceManager::CreateNewID", 282, DROVO_NO_FREE_ID);
    return -1;
}

int32_t DeviceManager::DiscoverDevicesLimited(int32_t typeMask, int32_t limit,
                                              const CancelFlag* cancel) {
    if (!CheckInitialized("DeviceManager::DiscoverDevicesLimited", 290))
        return -1;
    std::vector<DiscoveredDevice> found;
    int32_t remaining = limit;
    for (int32_t type : kDiscoveryOrder) {
        if ((typeMask & type) == 0)
            continue;
        // A platform asked with a count of 0 would take it as "no limit"; a used-up limit
        // therefore ends the discovery instead.
        if (limit > 0 && remaining <= 0)
            break;
        remaining -= DiscoverPlatform(type, remaining, cancel, found);
    }
    Guard guard(m_Lock);
    m_Discovered = std::move(found);
    return static_cast<int32_t>(m_Discovered.size());
}

int32_t DeviceManager::DiscoverPlatform(int32_t platformType, int32_t limit,
                                        const CancelFlag* cancel,
                                        std::vector<DiscoveredDevice>& found) {
    PlatformInterface* platform = GetPlatformInterface(platformType);
    if (!platform)
        return 0;
    std::vector<std::string> names;
    platform->Discover(names, cancel, limit);
    for (const std::string& name : names)
        found.push_back(MakeDiscovered(name.c_str(), platformType));
    AppendConnectedPorts(platformType, found);
    return static_cast<int32_t>(names.size());
}

void DeviceManager::AppendConnectedPorts(int32_t platformType,
                                         std::vector<DiscoveredDevice>& found) {
    Guard guard(m_Lock);
    for (Device* device : m_Devices) {
        if (!device || device->m_iPlatformType.load() != platformType)
            continue;
        // The device's thread releases the name when it disconnects, under the device's lock.
        std::lock_guard<std::recursive_mutex> deviceLock(device->m_Lock);
        if (device->m_pPortName)
            found.push_back(MakeDiscovered(device->m_pPortName, platformType));
    }
}

int32_t DeviceManager::GetDeviceCount() {
    if (!CheckInitialized("DeviceManager::GetDeviceCount", 350))
        return -1;
    Guard guard(m_Lock);
    return static_cast<int32_t>(m_Devices.size());
}

int32_t DeviceManager::AddActions(Action** actions, int32_t count, int32_t id) {
    if (!CheckInitialized("DeviceManager::AddActions", 361))
        return -1;
    Guard guard(m_Lock);
    for (Device* device : m_Devices) {
        if (device && device->m_ID.load() == id)
            return device->AddToList(actions, count);
    }
    Fail("DeviceManager::AddActions", 368, DROVO_BAD_PARAMETER);
    return -1;
}

void DeviceManager::SetTactorStateCallback(TactorStateCallback callback) {
    if (!CheckInitialized("DeviceManager::SetTactorStateCallback", 387) || !callback)
        return;
    Guard guard(m_Lock);
    for (Device* device : m_Devices) {
        if (device)
            device->m_pTactorStateCallback.store(callback);
    }
}

void DeviceManager::SetOutgoingDataCallback(OutgoingDataCallback callback) {
    if (!CheckInitialized("DeviceManager::SetOutgoingDataCallback", 403) || !callback)
        return;
    Guard guard(m_Lock);
    for (Device* device : m_Devices) {
        if (device)
            device->m_pOutgoingDataCallback.store(callback);
    }
}

int32_t DeviceManager::WriteToBoard(int32_t id, const uint8_t* bytes, int32_t length) {
    if (!CheckInitialized("DeviceManager::WriteToBoard", 418))
        return -1;
    Guard guard(m_Lock);
    for (Device* device : m_Devices) {
        if (device && device->m_ID.load() == id)
            return device->WriteRaw(bytes, length);
    }
    Fail("DeviceManager::WriteToBoard", 426, DROVO_SEND_FAILED);
    return -1;
}

int32_t DeviceManager::AddFalseConnectedDevice() {
    Guard guard(m_Lock);
    auto* device = new Device();
    int32_t id = CreateNewID();
    device->m_ID.store(id);
    device->m_bCloseOnNak.store(m_bCloseOnNak.load());
    m_Devices.push_back(device);
    return id;
}

void DeviceManager::TakeRetired(std::vector<Device*>& out) {
    out.insert(out.end(), m_Retired.begin(), m_Retired.end());
    m_Retired.clear();
}

void DeviceManager::DestroyOrRetire(std::vector<Device*> devices) {
    if (devices.empty())
        return;
    if (Guard::Held()) {
        // An outer frame of this thread holds m_Lock and may still be using one of these
        // devices, and the device threads may be waiting for m_Lock: waiting here could never
        // end. A later call destroys them.
        Guard guard(m_Lock);
        for (Device* device : devices) {
            device->m_bKeepRunning.store(0);
            m_Retired.push_back(device);
        }
        return;
    }
    for (Device* device : devices)
        Device::Destroy(device);
}

void DeviceManager::Unload() {
    std::vector<Device*> closing;
    {
        Guard guard(m_Lock);
        closing = m_Devices;
        m_Devices.clear();
        TakeRetired(closing);
        m_Discovered.clear();
    }
    DestroyOrRetire(std::move(closing));
    m_bInitialized.store(0);
}
