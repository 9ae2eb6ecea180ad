// The exports that read or drop loaded Hapsets.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ClientCall.h"
#include "HapsetJson.h"
#include "ManagerState.h"
#include "Playback.h"

namespace {

// The combined text is never smaller than this, so callers sized for it keep working.
constexpr size_t kOutputTextSize = 1000000;

using ClientGuard = std::lock_guard<std::mutex>;

const char* printable(const char* text) {
    return text ? text : "";
}

// Finds the first loaded Hapset with the name, telling its search on standard output.
const Hapset* findAnnounced(HapsetManagerState* state, const char* name) {
    const auto& loaded = Loaded(state);
    printf("loadedHapset size %i", static_cast<int>(loaded.size()));
    printf("looking for %s", printable(name));
    for (size_t i = 0; i < loaded.size(); ++i) {
        printf("loadedHapset[%i] name %s", static_cast<int>(i), loaded[i]->name);
        if (name && strcmp(loaded[i]->name, name) == 0) {
            printf("not returning null");
            return loaded[i].get();
        }
    }
    return nullptr;
}

}  // namespace

int32_t GetHapsetLocked(HapsetManagerState* state, const char* name, char* idBuffer,
                        int32_t* header, int32_t* segments, int32_t* actionHeaders, double* data,
                        int32_t* locations) {
    const Hapset* hapset = findAnnounced(state, name);
    if (!hapset) {
        SetLastError(state, HAPSET_NOT_FOUND);
        return -1;
    }
    HapsetToArrays(*hapset, idBuffer, header, segments, actionHeaders, data, locations);
    return 0;
}

int32_t TM_GetLoadedHapsetSize(HapsetManagerState* state) {
    InitialisedClientCall call(state);
    if (!call.ready()) {
        return -1;
    }
    return static_cast<int32_t>(Loaded(state).size());
}

int32_t TM_UnloadHapset(HapsetManagerState* state, const char* id) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    return UnloadFirstWithId(state, id) ? 0 : -1;
}

int32_t TM_GetHapsetArraySizes(HapsetManagerState* state, const char* name, int32_t* counts) {
    if (!state || !counts) {
        return -1;
    }
    ClientGuard client(ClientLock());
    const Hapset* hapset = FindLoadedByName(state, name);
    if (!hapset) {
        SetLastError(state, HAPSET_NOT_FOUND);
        return -1;
    }
    size_t data = 0;
    size_t locations = 0;
    for (const TimedAction& action : hapset->actions) {
        data += action.data.size();
        locations += action.tactorLocations.size();
    }
    counts[0] = static_cast<int32_t>(hapset->actions.size());
    counts[1] = static_cast<int32_t>(hapset->segments.size());
    counts[2] = static_cast<int32_t>(data);
    counts[3] = static_cast<int32_t>(locations);
    return 0;
}

int32_t TM_GetHapset(HapsetManagerState* state, const char* name, char* idBuffer, int32_t* header,
                     int32_t* segments, int32_t* actionHeaders, double* data, int32_t* locations) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    return GetHapsetLocked(state, name, idBuffer, header, segments, actionHeaders, data, locations);
}

const char* TM_GetHapsetName(HapsetManagerState* state, int32_t index) {
    if (!state) {
        return nullptr;
    }
    ClientGuard client(ClientLock());
    const auto& loaded = Loaded(state);
    const uint32_t position = static_cast<uint32_t>(index);
    if (position >= loaded.size()) {
        SetLastError(state, HAPSET_NO_CONTROLLER);
        return nullptr;
    }
    return loaded[position]->name;
}

int32_t TM_GetHapsetDuration(HapsetManagerState* state, int32_t index) {
    InitialisedClientCall call(state);
    if (!call.ready()) {
        return -1;
    }
    const Hapset* hapset = LoadedAt(state, index);
    if (!hapset) {
        SetLastError(state, HAPSET_NOT_FOUND);
        return -1;
    }
    return HapsetDuration(*hapset);
}

char* TM_GetHapsetOutput(HapsetManagerState* state) {
    if (!state) {
        return nullptr;
    }
    ClientGuard client(ClientLock());
    std::string combined;
    for (const auto& hapset : Loaded(state)) {
        combined += ',';
        combined += HapsetToJson(*hapset);
    }
    char* text = static_cast<char*>(calloc(std::max(kOutputTextSize, combined.size() + 1), 1));
    if (text) {
        memcpy(text, combined.data(), combined.size());
    }
    return text;
}
