// The exported Hapset functions: thin wrappers over the Hapset manager that pass the library's
// one manager state, and the plays that queue the manager's Actions on a device.
#include "HapsetBridge.h"

#include <cstdio>

#include "DrovoErrorCodes.h"
#include "Vibrolink.h"
#include "VibrolinkLibrary.h"

namespace {

// A negative Hapset manager result becomes -1 with the manager's code as the last error.
int32_t Answer(int32_t result) {
    if (result >= 0)
        return result;
    TakeHapsetError();
    return -1;
}

const char* Printable(const char* text) {
    return text ? text : "(null)";
}

// Hands the Actions of a play to the device. The device owns them once it took them, so they
// leave the output; whatever stays behind is released with it.
int32_t SendOutput(int32_t deviceId, HapsetOutput& output) {
    int32_t devices = Manager().GetDeviceCount();
    if (devices == 0) {
        SetLastError(DROVO_NO_SUCH_DEVICE);
        return -1;
    }
    if (Manager().AddActions(output.actionList, output.actionCount, deviceId) != 0)
        return -1;
    for (int32_t i = 0; i < output.actionCount; ++i)
        output.actionList[i] = nullptr;
    return 0;
}

// Runs one play into a fresh output and sends what it made.
template <typename Play>
int32_t PlayOnDevice(int32_t deviceId, Play play) {
    HapsetOutput output{};
    int32_t result = -1;
    if (play(&output) < 0)
        TakeHapsetError();
    else
        result = SendOutput(deviceId, output);
    TM_ReleaseHapsetOutput(&output);
    return result;
}

int32_t PlayHapsetOnDevice(int32_t deviceId, int32_t index, int32_t tactor, int32_t segment,
                           float gainScale, float freqScale, float spareScale, float timeScale) {
    return PlayOnDevice(deviceId, [=](HapsetOutput* output) {
        return TM_PlayHapset(HapsetState(), deviceId, output, index, tactor, segment, gainScale,
                             freqScale, spareScale, timeScale);
    });
}

}  // namespace

void ForwardPacketToHapsetManager(int32_t id, const uint8_t* packet, int32_t length) {
    TM_ParsePacket(HapsetState(), id, packet, length);
}

extern "C" {

VIBROLINK_API int32_t LoadHapsetDatabase(const char* fileName) {
    return Answer(TM_LoadHapsetDatabase(HapsetState(), fileName));
}

VIBROLINK_API int32_t IsDatabaseLoaded(void) {
    return Answer(TM_IsDatabaseLoaded(HapsetState()));
}

VIBROLINK_API int32_t GetLoadedHapsetSize(void) {
    return Answer(TM_GetLoadedHapsetSize(HapsetState()));
}

VIBROLINK_API int32_t GetHapsetDuration(int32_t index) {
    return Answer(TM_GetHapsetDuration(HapsetState(), index));
}

VIBROLINK_API int32_t UnloadHapsets(void) {
    return Answer(TM_UnloadHapsets(HapsetState()));
}

VIBROLINK_API int32_t UnloadHapset(const char* identifier) {
    return Answer(TM_UnloadHapset(HapsetState(), identifier));
}

VIBROLINK_API int32_t GetHapset(const char* name, char* identifier, int32_t* header,
                                int32_t* segments, int32_t* actionHeaders, double* data,
                                int32_t* locations) {
    if (!header) {
        SetLastError(DROVO_BAD_PARAMETER);
        return -1;
    }
    return Answer(TM_GetHapset(HapsetState(), name, identifier, header, segments, actionHeaders,
                               data, locations));
}

VIBROLINK_API int32_t RemapHapset(int32_t deviceId, const char* name, char* identifier,
                                  int32_t* header, int32_t* segments, int32_t* actionHeaders,
                                  double* data, int32_t* locations, int32_t tactor) {
    std::printf("name given to remap = %s", Printable(name));
    return Answer(TM_RemapHapset(HapsetState(), deviceId, name, identifier, header, segments,
                                 actionHeaders, data, locations, tactor));
}

VIBROLINK_API int32_t IsInDatabase(const char* fileName, const char* name, const char* identifier,
                                   int32_t* header, int32_t* segments, int32_t* actionHeaders,
                                   double* data, int32_t* locations) {
    return Answer(TM_IsInDatabase(HapsetState(), fileName, name, identifier, header, segments,
                                  actionHeaders, data, locations));
}

VIBROLINK_API int32_t DeleteHapsetFromDatabase(int32_t unused, const char* identifier) {
    return Answer(TM_DeleteHapsetFromDatabase(HapsetState(), unused, identifier));
}

VIBROLINK_API const char* GetHapsetName(int32_t index) {
    const char* name = TM_GetHapsetName(HapsetState(), index);
    if (!name)
        TakeHapsetError();
    return name;
}

VIBROLINK_API int32_t SaveHapset(int32_t unused, const char* name, const char* identifier) {
    std::printf("saving hapset with name %s", Printable(name));
    return Answer(TM_SaveHapset(HapsetState(), unused, name, identifier));
}

VIBROLINK_API int32_t SaveNonLoadedHapset(int32_t unused, const char* name, int32_t* header,
                                          int32_t* segments, int32_t* actionHeaders, double* data,
                                          int32_t* locations) {
    std::printf("saving hapset with name %s", Printable(name));
    return Answer(TM_SaveNonLoadedHapset(HapsetState(), unused, name, header, segments,
                                         actionHeaders, data, locations));
}

VIBROLINK_API int32_t CanHapsetMap(int32_t deviceId, int32_t index, int32_t tactor) {
    HapsetOutput output{};
    int32_t result = TM_CanHapsetMap(HapsetState(), deviceId, &output, index, tactor);
    TM_ReleaseHapsetOutput(&output);
    return Answer(result) < 0 ? -1 : 0;
}

VIBROLINK_API int32_t PlayHapset(int32_t deviceId, int32_t index, int32_t tactor, float gainScale,
                                 float freqScale, float unusedScale, float timeScale) {
    return PlayHapsetOnDevice(deviceId, index, tactor, -1, gainScale, freqScale, unusedScale,
                              timeScale);
}

VIBROLINK_API int32_t PlayHapsetToSegment(int32_t deviceId, int32_t index, int32_t tactor,
                                          int32_t segment, float gainScale, float freqScale,
                                          float unusedScale, float timeScale) {
    if (segment == -1) {
        SetLastError(DROVO_BAD_SEGMENT);
        return -1;
    }
    return PlayHapsetOnDevice(deviceId, index, tactor, segment, gainScale, freqScale, unusedScale,
                              timeScale);
}

VIBROLINK_API int32_t PlayNonLoadedHapset(int32_t deviceId, int32_t* header, int32_t* segments,
                                          int32_t* actionHeaders, double* data,
                                          int32_t* locations) {
    return PlayOnDevice(deviceId, [=](HapsetOutput* output) {
        return TM_PlayNonLoadedHapset(HapsetState(), deviceId, output, header, segments,
                                      actionHeaders, data, locations);
    });
}

}  // extern "C"
