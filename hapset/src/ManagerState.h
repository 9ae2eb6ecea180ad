// What the library keeps inside a caller's HapsetManagerState, and the locks that guard it.
//
// Locks. The client lock serialises every export a client thread calls; it guards the loaded
// list and the database. The registry lock guards the controller registry and the last error;
// TM_ParsePacket takes only the registry lock, so a device thread never waits for database
// work. Lock order: the client lock before the registry lock, never the other way. A play
// holds both for its whole run, so a segment-list reply replaces a controller's segments only
// before or after it, never while it reads them. No lock is held across a call out of the
// library.
#ifndef HAPSET_MANAGER_STATE_H
#define HAPSET_MANAGER_STATE_H

#include <memory>
#include <mutex>
#include <vector>

#include "Controller.h"
#include "Hapset.h"
#include "HapsetManager.h"

// The loaded Hapsets. Held by pointer so that a name handed out stays valid while its Hapset
// stays loaded.
struct TMLoadedHapsets {
    std::vector<std::unique_ptr<Hapset>> hapsets;
};

std::mutex& ClientLock();
std::recursive_mutex& RegistryLock();

// Stores code as the state's last error; takes the registry lock.
void SetLastError(HapsetManagerState* state, int32_t code);

// The state's loaded list, made on first need. Caller holds the client lock.
std::vector<std::unique_ptr<Hapset>>& Loaded(HapsetManagerState* state);

// The state's controller list, made on first need. Caller holds the registry lock.
std::vector<Controller>& Controllers(HapsetManagerState* state);

// The loaded Hapset at index, or NULL when the index is outside the list.
Hapset* LoadedAt(HapsetManagerState* state, int32_t index);

// The first (or, with last set, the last) loaded Hapset whose name or identifier is text.
Hapset* FindLoadedByName(HapsetManagerState* state, const char* name);
Hapset* FindLoadedById(HapsetManagerState* state, const char* id, bool last = false);

// Removes and discards the first loaded Hapset with the identifier; false when none.
bool UnloadFirstWithId(HapsetManagerState* state, const char* id);

// TM_GetHapset for callers that hold the client lock already.
int32_t GetHapsetLocked(HapsetManagerState* state, const char* name, char* idBuffer,
                        int32_t* header, int32_t* segments, int32_t* actionHeaders, double* data,
                        int32_t* locations);

#endif
