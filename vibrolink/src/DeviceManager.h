// The process-wide owner of every connected device: hands out device IDs, finds devices for
// the exported calls, keeps the discovery results and sweeps away devices that have stopped.
//
// Locking. m_Lock (recursive) guards m_Devices, m_Retired, m_PendingIds and m_Discovered, and
// is held for the whole of every use of a device found by ID, so a device can never be
// destroyed while another client thread uses it. A device is always taken out of the lists
// under m_Lock and destroyed after m_Lock is released: destroying waits for the device's
// thread, and that thread may be inside a client callback that is itself waiting for m_Lock.
// A thread that holds m_Lock further up its stack (a client callback run by WriteToBoard that
// closes a device) cannot wait there; the device is stopped and retired, and a later Update,
// Close, CloseALL or the unload destroys it. A device closed from its own thread is released
// by that thread as it ends (Device::Destroy). m_Lock is never held while calling into the
// Hapset manager.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Action.h"
#include "PlatformInterface.h"
#include "Vibrolink.h"

class Device;

class DeviceManager {
  public:
    struct DiscoveredDevice {
        char name[256];  // always terminated, so at most 255 characters
        int32_t platformType;
    };

    DeviceManager();
    ~DeviceManager();
    DeviceManager(const DeviceManager&) = delete;
    DeviceManager& operator=(const DeviceManager&) = delete;

    int32_t GetLastDMError() const { return m_iLastError.load(); }
    // Lets a client that cleared the library's last error get the device sweep back.
    void ClearLastDMError() { m_iLastError.store(0); }
    void SetInitialized() { m_bInitialized.store(1); }
    bool IsInitialized() const { return m_bInitialized.load() != 0; }

    int32_t FindDeviceIndex(int32_t id);
    int32_t Update();
    int32_t Connect(const char* portName, int32_t platformType, ResponseCallback callback);
    const char* GetDiscoveredDeviceName(int32_t index);
    int32_t GetDiscoveredDeviceType(int32_t index);
    int32_t Close(int32_t id);
    void SetDeviceCloseOnNak(uint8_t flag);
    int32_t CloseALL();
    int32_t DiscoverDevicesLimited(int32_t typeMask, int32_t limit, const CancelFlag* cancel);
    int32_t GetDeviceCount();
    int32_t AddActions(Action** actions, int32_t count, int32_t id);
    void SetTactorStateCallback(TactorStateCallback callback);
    void SetOutgoingDataCallback(OutgoingDataCallback callback);
    int32_t WriteToBoard(int32_t id, const uint8_t* bytes, int32_t length);
    int32_t AddFalseConnectedDevice();

    // Runs use on the device with the ID while no other thread can close it. Answers false,
    // with the manager's error set as FindDeviceIndex sets it, when there is no such device.
    bool WithDevice(int32_t id, const std::function<void(Device&)>& use);

    // Closes every device and forgets the discovery results; the library is going away.
    void Unload();

  private:
    // Holds m_Lock and counts how deep the calling thread holds it.
    class Guard {
      public:
        explicit Guard(std::recursive_mutex& lock);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        // True when the calling thread holds m_Lock in some frame.
        static bool Held();

      private:
        std::lock_guard<std::recursive_mutex> m_Held;
    };

    bool CheckInitialized(const char* method, int line);
    void Fail(const char* method, int line, int32_t code);
    int32_t FindDeviceIndexLocked(int32_t id);
    int32_t CreateNewID();
    bool IdInUse(int32_t id) const;
    int32_t DiscoverPlatform(int32_t platformType, int32_t limit, const CancelFlag* cancel,
                             std::vector<DiscoveredDevice>& found);
    void AppendConnectedPorts(int32_t platformType, std::vector<DiscoveredDevice>& found);
    // Hands devices taken out of the lists to their destruction, or retires them when this
    // thread may not wait for them. Called with m_Lock released by this frame.
    void DestroyOrRetire(std::vector<Device*> devices);
    // Moves the retired devices into out. Caller holds m_Lock.
    void TakeRetired(std::vector<Device*>& out);

    std::atomic<int32_t> m_iLastError{0};
    std::atomic<uint8_t> m_bCloseOnNak{0};
    std::vector<Device*> m_Devices;              // m_Lock; connected devices in connection order
    std::vector<DiscoveredDevice> m_Discovered;  // m_Lock; result of the last discovery
    std::atomic<uint8_t> m_bInitialized{0};
    std::vector<Device*> m_Retired;     // m_Lock; stopped, waiting to be destroyed off their thread
    std::vector<int32_t> m_PendingIds;  // m_Lock; IDs of devices in the middle of connecting
    mutable std::recursive_mutex m_Lock;
};
