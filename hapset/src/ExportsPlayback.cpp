// The exports that place and play Hapsets. Each holds the client lock for the loaded list and
// the registry lock for the controller from its lookup to its last read, so a segment-list
// reply or a removal on a device thread waits until the play is done.
#include "ManagerState.h"
#include "Placement.h"
#include "Playback.h"

namespace {

using ClientGuard = std::lock_guard<std::mutex>;
using RegistryGuard = std::lock_guard<std::recursive_mutex>;

// The controller and loaded Hapset a play addresses, or NULL for each with its code set.
Controller* findControllerOrFail(HapsetManagerState* state, int32_t id) {
    Controller* controller = FindController(state, id);
    if (!controller) {
        SetLastError(state, HAPSET_NO_CONTROLLER);
    }
    return controller;
}

const Hapset* loadedAtOrFail(HapsetManagerState* state, int32_t index) {
    const Hapset* hapset = LoadedAt(state, index);
    if (!hapset) {
        SetLastError(state, HAPSET_NOT_FOUND);
    }
    return hapset;
}

bool fits(const Hapset& hapset, const Controller& controller, int32_t tactor, int32_t segment) {
    if (tactor == NO_REMAP || segment == NO_REMAP) {
        return true;
    }
    return segment != -1 ? CanMapToSegment(hapset, controller, segment)
                         : CanMapToTactor(hapset, controller, tactor);
}

// Copies a loaded Hapset for a play; NULL (402018) when memory runs out.
std::unique_ptr<Hapset> copyOrFail(HapsetManagerState* state, const Hapset& hapset) {
    try {
        return std::make_unique<Hapset>(hapset);
    } catch (const std::bad_alloc&) {
        SetLastError(state, HAPSET_COPY_FAILED);
        return nullptr;
    }
}

}  // namespace

int32_t TM_CanHapsetMap(HapsetManagerState* state, int32_t id, HapsetOutput*, int32_t index,
                        int32_t tactor) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    RegistryGuard registry(RegistryLock());
    const Controller* controller = findControllerOrFail(state, id);
    const Hapset* hapset = controller ? loadedAtOrFail(state, index) : nullptr;
    if (!hapset) {
        return -1;
    }
    if (tactor == NO_REMAP) {
        return 0;
    }
    if (!CanMapToTactor(*hapset, *controller, tactor)) {
        SetLastError(state, HAPSET_CANNOT_MAP);
        return -1;
    }
    return 0;
}

int32_t TM_PlayHapset(HapsetManagerState* state, int32_t id, HapsetOutput* output, int32_t index,
                      int32_t tactor, int32_t segment, float gainScale, float frequencyScale, float,
                      float timeScale) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    RegistryGuard registry(RegistryLock());
    const Controller* controller = findControllerOrFail(state, id);
    const Hapset* loaded = controller ? loadedAtOrFail(state, index) : nullptr;
    if (!loaded) {
        return -1;
    }
    if (!fits(*loaded, *controller, tactor, segment)) {
        SetLastError(state, HAPSET_CANNOT_MAP);
        return -1;
    }
    std::unique_ptr<Hapset> copy = copyOrFail(state, *loaded);
    if (!copy) {
        return -1;
    }
    if (segment == -1) {
        RemapToTactor(*copy, *controller, tactor);
    } else {
        RemapToSegment(*copy, *controller, tactor, segment);
    }
    for (TimedAction& action : copy->actions) {
        ScaleAction(action, gainScale, frequencyScale, timeScale);
    }
    return BuildOutput(state, copy.get(), output);
}

int32_t TM_PlayNonLoadedHapset(HapsetManagerState* state, int32_t, HapsetOutput* output,
                               const int32_t* header, const int32_t* segments,
                               const int32_t* actionHeaders, const double* data,
                               const int32_t* locations) {
    if (!state) {
        return -1;
    }
    const Hapset hapset = HapsetFromArrays(
        "PlayNoNameNeeded", HapsetArrays{header, segments, actionHeaders, data, locations});
    return BuildOutput(state, &hapset, output);
}

int32_t TM_RemapHapset(HapsetManagerState* state, int32_t id, const char* name, char* idBuffer,
                       int32_t* header, int32_t* segments, int32_t* actionHeaders, double* data,
                       int32_t* locations, int32_t tactor) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    RegistryGuard registry(RegistryLock());
    if (!findControllerOrFail(state, id)) {
        return -1;
    }
    const int32_t result =
        GetHapsetLocked(state, name, idBuffer, header, segments, actionHeaders, data, locations);
    if (result != 0) {
        return result;
    }
    Hapset built =
        HapsetFromArrays(name, HapsetArrays{header, segments, actionHeaders, data, locations});
    const Controller* controller = FindController(state, id);
    if (!controller || (tactor != NO_REMAP && !CanMapToTactor(built, *controller, tactor))) {
        SetLastError(state, HAPSET_CANNOT_MAP);
        return -1;
    }
    RemapToTactor(built, *controller, tactor);
    for (const TimedAction& action : built.actions) {
        for (int32_t location : action.tactorLocations) {
            *locations++ = location;
        }
    }
    return 0;
}

void TM_ReleaseHapsetOutput(HapsetOutput* output) {
    if (!output) {
        return;
    }
    for (int32_t i = 0; output->actionList && i < output->actionCount; ++i) {
        FreeAction(output->actionList[i]);
    }
    free(output->actionList);
    *output = HapsetOutput{};
}
