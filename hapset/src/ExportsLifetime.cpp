// The manager's lifetime: initialisation, shutdown, release and the last error.
#include "HapsetDatabase.h"
#include "ManagerState.h"

namespace {

constexpr size_t kLoadedReserve = 100;

using ClientGuard = std::lock_guard<std::mutex>;
using RegistryGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace

int32_t TM_InitializeHapsetManager(HapsetManagerState* state) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    RegistryGuard registry(RegistryLock());
    if (state->initialized) {
        return 0;
    }
    state->initialized = 1;
    Loaded(state).clear();
    Loaded(state).reserve(kLoadedReserve);
    Controllers(state).clear();
    Controllers(state).reserve(HAPSET_MAX_CONTROLLERS);
    state->lastError = HAPSET_OK;
    return 0;
}

int32_t TM_ShutdownHapsetManager(HapsetManagerState* state) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    RegistryGuard registry(RegistryLock());
    if (!state->initialized) {
        state->lastError = HAPSET_NOT_INITIALISED;
        return -1;
    }
    Loaded(state).clear();
    Controllers(state).clear();
    DetachDatabase(state);
    return 0;
}

void TM_ReleaseHapsetManagerState(HapsetManagerState* state) {
    if (!state) {
        return;
    }
    ClientGuard client(ClientLock());
    RegistryGuard registry(RegistryLock());
    DetachDatabase(state);
    delete state->loaded;
    delete state->controllers;
    *state = HapsetManagerState{};
}

int32_t TM_GetLastTMError(HapsetManagerState* state) {
    if (!state) {
        return -1;
    }
    RegistryGuard registry(RegistryLock());
    return state->lastError;
}
