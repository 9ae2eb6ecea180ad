// The exports that attach the database, load, save, compare and delete stored Hapsets.
#include <cstring>

#include "ClientCall.h"
#include "HapsetDatabase.h"
#include "HapsetJson.h"
#include "ManagerState.h"

namespace {

using ClientGuard = std::lock_guard<std::mutex>;

int32_t store(HapsetManagerState* state, const char* name, const Hapset& hapset) {
    const std::string document = HapsetToJson(hapset);
    if (!DatabaseConnected(state)) {
        SetLastError(state, HAPSET_NO_DATABASE);
        return -1;
    }
    const int32_t segments = static_cast<int32_t>(hapset.segments.size());
    if (Store(*state->database, name, segments, document, hapset.id) != 0) {
        SetLastError(state, state->database->error);
        return -1;
    }
    return 0;
}

// Compares given with the copy stored under its identifier in the attached database: 1 equal,
// 0 different; when nothing readable is stored under it, 0 if the name is stored, else -1.
int32_t compareWithStored(HapsetManagerState* state, const Hapset& given, const char* name) {
    std::unique_ptr<Hapset> stored = FetchStored(*state->database, given.id);
    if (!stored) {
        return ContainsName(*state->database, name) ? 0 : -1;
    }
    return HapsetsEqual(*stored, given) ? 1 : 0;
}

}  // namespace

int32_t TM_CreateHapsetDatabase(const char* fileName) {
    if (!fileName || fileName[0] == '\0' || strlen(fileName) >= TMHapsetDatabase::kPathSize) {
        return -1;
    }
    sqlite3* connection = nullptr;
    int result =
        sqlite3_open_v2(fileName, &connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result == SQLITE_OK) {
        result = sqlite3_exec(connection,
                              "CREATE TABLE IF NOT EXISTS Hapset(uuid TEXT, name TEXT, "
                              "segmentCount INTEGER, hapsetdata TEXT);",
                              nullptr, nullptr, nullptr);
    }
    sqlite3_close(connection);
    return result == SQLITE_OK ? 0 : -1;
}

int32_t TM_AddHapsetDocumentToDatabase(const char* fileName, const char* document) {
    Hapset hapset("default");
    if (!HapsetFromJsonText(hapset, document)) {
        return -1;
    }
    HapsetDatabase database;
    int32_t result = Open(database, fileName);
    if (result == 0) {
        result = Store(database, hapset.name, static_cast<int32_t>(hapset.segments.size()),
                       HapsetToJson(hapset), hapset.id);
    }
    Close(database);
    return result;
}

int32_t TM_LoadHapsetDatabase(HapsetManagerState* state, const char* fileName) {
    InitialisedClientCall call(state);
    if (!call.ready()) {
        return -1;
    }
    AttachDatabase(state, fileName);
    if (!DatabaseConnected(state)) {
        SetLastError(state, HAPSET_OPEN_FAILED);
        return -1;
    }
    auto& loaded = Loaded(state);
    const size_t before = loaded.size();
    LoadAll(*state->database, loaded);
    if (loaded.size() <= before) {
        SetLastError(state, HAPSET_NOTHING_LOADED);
        return -1;
    }
    return static_cast<int32_t>(loaded.size() - before);
}

int32_t TM_IsDatabaseLoaded(HapsetManagerState* state) {
    InitialisedClientCall call(state);
    if (!call.ready()) {
        return -1;
    }
    return DatabaseConnected(state) ? 1 : -1;
}

int32_t TM_UnloadHapsets(HapsetManagerState* state) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    Loaded(state).clear();
    if (DatabaseConnected(state) && !Close(*state->database)) {
        SetLastError(state, HAPSET_CLOSE_FAILED);
        return -1;
    }
    return 0;
}

int32_t TM_SaveHapset(HapsetManagerState* state, int32_t, const char* name, const char* id) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    const Hapset* hapset = FindLoadedById(state, id, true);
    if (!hapset) {
        SetLastError(state, HAPSET_NOT_LOADED);
        return -1;
    }
    return store(state, name, *hapset);
}

int32_t TM_SaveNonLoadedHapset(HapsetManagerState* state, int32_t, const char* name,
                               const int32_t* header, const int32_t* segments,
                               const int32_t* actionHeaders, const double* data,
                               const int32_t* locations) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    auto hapset = std::make_unique<Hapset>(
        HapsetFromArrays(name, HapsetArrays{header, segments, actionHeaders, data, locations}));
    if (const Hapset* previous = FindLoadedByName(state, hapset->name)) {
        const std::string keptId = previous->id;
        if (state->database) {
            DeleteStored(*state->database, keptId.c_str());
        }
        UnloadFirstWithId(state, keptId.c_str());
        hapset->setId(keptId.c_str());
    }
    const int32_t result = store(state, name, *hapset);
    Loaded(state).push_back(std::move(hapset));
    return result;
}

int32_t TM_IsInDatabase(HapsetManagerState* state, const char* fileName, const char* name,
                        const char* id, const int32_t* header, const int32_t* segments,
                        const int32_t* actionHeaders, const double* data,
                        const int32_t* locations) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    Hapset given =
        HapsetFromArrays(name, HapsetArrays{header, segments, actionHeaders, data, locations});
    given.setId(id);
    std::string remembered;
    if (DatabaseConnected(state) && (!fileName || strcmp(state->database->path, fileName) != 0)) {
        remembered = state->database->path;
        DetachDatabase(state);
    }
    AttachDatabase(state, fileName);
    const int32_t answer = compareWithStored(state, given, name);
    if (!remembered.empty()) {
        DetachDatabase(state);
        AttachDatabase(state, remembered.c_str());
    }
    return answer;
}

int32_t TM_DeleteHapsetFromDatabase(HapsetManagerState* state, int32_t, const char* id) {
    if (!state) {
        return -1;
    }
    ClientGuard client(ClientLock());
    if (state->database) {
        DeleteStored(*state->database, id);
    }
    return 0;
}
