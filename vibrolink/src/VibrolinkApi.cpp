// The exported device functions: library life cycle, errors, discovery, connection and the
// manager-wide settings. The command functions are in DeviceCommands.cpp, the Hapset functions
// in HapsetBridge.cpp.
#include "DebugPrint.h"
#include "DrovoErrorCodes.h"
#include "Vibrolink.h"
#include "VibrolinkLibrary.h"

namespace {

constexpr uint32_t kMaxTimeFactor = 255;

}  // namespace

extern "C" {

VIBROLINK_API int32_t InitializeTI(void) {
    Library().discoveryCancel.store(0);
    if (InitializePlatforms() != 0) {
        TakeManagerError();
        return -1;
    }
    Manager().SetInitialized();
    if (TM_InitializeHapsetManager(HapsetState()) < 0) {
        TakeHapsetError();
        return -1;
    }
    SetLastError(0);
    return 0;
}

VIBROLINK_API int32_t ShutdownTI(void) {
    Library().discoveryCancel.store(1);
    if (Manager().CloseALL() != 0) {
        TakeManagerError();
        return -1;
    }
    int32_t result = TM_ShutdownHapsetManager(HapsetState());
    if (result < 0) {
        TakeHapsetError();
        return -1;
    }
    return result;
}

VIBROLINK_API const char* GetVersionNumber(void) {
    return "1.0.6.0";
}

VIBROLINK_API int32_t GetLastDrovoError(void) {
    return Library().lastError.load();
}

VIBROLINK_API int32_t SetLastDrovoError(int32_t code) {
    SetLastError(code);
    // The manager keeps its error until it is cleared here; otherwise one failed call would
    // stop the device sweep of every later UpdateTI for the life of the process.
    if (code == 0)
        Manager().ClearLastDMError();
    return code;
}

VIBROLINK_API int32_t SetTimeFactor(uint32_t value) {
    if (value > kMaxTimeFactor) {
        SetLastError(DROVO_BAD_PARAMETER);
        return -1;
    }
    Library().timeFactor.store(value);
    return 0;
}

VIBROLINK_API int32_t DiscoverLimited(int32_t typeMask, int32_t limit) {
    int32_t count = Manager().DiscoverDevicesLimited(typeMask, limit, &Library().discoveryCancel);
    if (count < 0)
        TakeManagerError();
    return count;
}

VIBROLINK_API int32_t Discover(int32_t typeMask) {
    return DiscoverLimited(typeMask, -1);
}

VIBROLINK_API const char* GetDiscoveredDeviceName(int32_t index) {
    const char* name = Manager().GetDiscoveredDeviceName(index);
    if (!name)
        TakeManagerError();
    return name;
}

VIBROLINK_API int32_t GetDiscoveredDeviceType(int32_t index) {
    int32_t type = Manager().GetDiscoveredDeviceType(index);
    if (type == 0)
        TakeManagerError();
    return type;
}

VIBROLINK_API int32_t Connect(const char* portName, int32_t type, ResponseCallback callback) {
    int32_t id = Manager().Connect(portName, type, callback);
    if (id < 0) {
        TakeManagerError();
        return -1;
    }
    if (TM_AddController(HapsetState(), id) < 0) {
        TakeHapsetError();
        return -1;
    }
    ReadSegmentList(id, 0);
    return id;
}

VIBROLINK_API int32_t Close(int32_t deviceId) {
    TM_RemoveController(HapsetState(), deviceId);
    return Manager().Close(deviceId);
}

VIBROLINK_API int32_t CloseAll(void) {
    TM_RemoveAllControllers(HapsetState());
    return Manager().CloseALL();
}

VIBROLINK_API int32_t UpdateTI(void) {
    int32_t pending = GetLastDrovoError();
    if (pending != 0) {
        DebugPrint("[TI] Error With Dezidu Dudirider %i\n", pending);
        return pending;
    }
    int32_t result = Manager().Update();
    if (result == 0)
        return 0;
    SetLastError(result);
    DebugPrint("[TI] Error With  Device Manager %i\n", result);
    return result;
}

VIBROLINK_API void SetKillOnNaks(uint8_t flag) {
    Manager().SetDeviceCloseOnNak(flag);
}

VIBROLINK_API void SetTactorStateCallback(TactorStateCallback callback) {
    Manager().SetTactorStateCallback(callback);
}

VIBROLINK_API void SetOutgoingDataCallback(OutgoingDataCallback callback) {
    Manager().SetOutgoingDataCallback(callback);
}

VIBROLINK_API int32_t WriteToBoard(int32_t deviceId, const uint8_t* bytes, int32_t length) {
    if (!bytes || length < 1) {
        SetLastError(DROVO_BAD_PARAMETER);
        return -1;
    }
    int32_t result = Manager().WriteToBoard(deviceId, bytes, length);
    if (result < 0) {
        // An unknown ID or a library that is not ready leaves its code in the manager's
        // error; a write the transport refused is a failed send.
        int32_t code = Manager().GetLastDMError();
        SetLastError(code != 0 ? code : DROVO_SEND_FAILED);
    }
    return result;
}

VIBROLINK_API int32_t AddFalseConnectedDevice(int32_t, const char* segmentText, int32_t) {
    int32_t id = Manager().AddFalseConnectedDevice();
    if (id < 0) {
        SetLastError(DROVO_NO_FREE_ID);
        return id;
    }
    TM_AddController(HapsetState(), id);
    if (segmentText)
        TM_AddSegmentToController(HapsetState(), id, segmentText);
    return id;
}

}  // extern "C"
