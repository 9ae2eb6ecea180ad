#include "ManagerState.h"

#include <cstring>

#include "Controller.h"

namespace {

bool sameText(const char* a, const char* b) {
    return a && b && strcmp(a, b) == 0;
}

bool sameId(const char* stored, const char* given) {
    return given && IdentifierText(given) == stored;
}

}  // namespace

std::mutex& ClientLock() {
    static std::mutex lock;
    return lock;
}

std::recursive_mutex& RegistryLock() {
    static std::recursive_mutex lock;
    return lock;
}

void SetLastError(HapsetManagerState* state, int32_t code) {
    std::lock_guard<std::recursive_mutex> guard(RegistryLock());
    state->lastError = code;
}

std::vector<std::unique_ptr<Hapset>>& Loaded(HapsetManagerState* state) {
    if (!state->loaded) {
        state->loaded = new TMLoadedHapsets;
    }
    return state->loaded->hapsets;
}

std::vector<Controller>& Controllers(HapsetManagerState* state) {
    if (!state->controllers) {
        state->controllers = new TMControllerRegistry;
    }
    return state->controllers->controllers;
}

Hapset* LoadedAt(HapsetManagerState* state, int32_t index) {
    auto& loaded = Loaded(state);
    if (index < 0 || static_cast<size_t>(index) >= loaded.size()) {
        return nullptr;
    }
    return loaded[index].get();
}

Hapset* FindLoadedByName(HapsetManagerState* state, const char* name) {
    for (auto& hapset : Loaded(state)) {
        if (sameText(hapset->name, name)) {
            return hapset.get();
        }
    }
    return nullptr;
}

Hapset* FindLoadedById(HapsetManagerState* state, const char* id, bool last) {
    Hapset* found = nullptr;
    for (auto& hapset : Loaded(state)) {
        if (sameId(hapset->id, id)) {
            found = hapset.get();
            if (!last) {
                break;
            }
        }
    }
    return found;
}

bool UnloadFirstWithId(HapsetManagerState* state, const char* id) {
    auto& loaded = Loaded(state);
    for (auto it = loaded.begin(); it != loaded.end(); ++it) {
        if (sameId((*it)->id, id)) {
            loaded.erase(it);
            return true;
        }
    }
    return false;
}
