#include "HapsetDatabase.h"

#include <cstring>

#include "HapsetJson.h"

namespace {

const char kInsert[] = "INSERT INTO Hapset VALUES(?1,?2,?3,?4);";
const char kSelectOne[] = "SELECT hapsetdata FROM Hapset WHERE uuid=?1";
const char kDeleteOne[] = "DELETE FROM Hapset WHERE uuid=?1";
const char kSelectAll[] = "SELECT * FROM Hapset";

const char* text(const char* value) {
    return value ? value : "";
}

int bindOne(sqlite3_stmt* statement, int index, const DatabaseValue& value) {
    if (const int32_t* number = std::get_if<int32_t>(&value)) {
        return sqlite3_bind_int(statement, index, *number);
    }
    const std::string& text = std::get<std::string>(value);
    return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT);
}

bool bindAll(sqlite3_stmt* statement, const std::vector<DatabaseValue>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        if (bindOne(statement, static_cast<int>(i + 1), values[i]) != SQLITE_OK) {
            return false;
        }
    }
    return true;
}

DatabaseRow readRow(sqlite3_stmt* statement) {
    DatabaseRow row;
    const int columns = sqlite3_column_count(statement);
    for (int c = 0; c < columns; ++c) {
        const unsigned char* value = sqlite3_column_text(statement, c);
        if (value) {
            row.emplace_back(std::string(reinterpret_cast<const char*>(value),
                                         sqlite3_column_bytes(statement, c)));
        } else {
            row.emplace_back(std::nullopt);
        }
    }
    return row;
}

// The Hapset held in a row's document column, or nothing when it is NULL or unreadable.
std::unique_ptr<Hapset> hapsetOfRow(const DatabaseRow& row) {
    if (row.size() < 4 || !row[3]) {
        return nullptr;
    }
    auto hapset = std::make_unique<Hapset>("default");
    if (!HapsetFromJsonText(*hapset, row[3]->c_str())) {
        return nullptr;
    }
    return hapset;
}

}  // namespace

int32_t Open(HapsetDatabase& database, const char* fileName) {
    if (!fileName || fileName[0] == '\0') {
        return -1;
    }
    if (database.connection) {
        Close(database);
    }
    if (strlen(fileName) >= HapsetDatabase::kPathSize) {
        database.error = HAPSET_DB_FAILED;
        return -1;
    }
    strcpy(database.path, fileName);
    sqlite3* connection = nullptr;
    if (sqlite3_open_v2(fileName, &connection, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(connection);
        database.error = HAPSET_DB_FAILED;
        return -1;
    }
    database.connection = connection;
    return 0;
}

bool Close(HapsetDatabase& database) {
    if (!database.connection) {
        return true;
    }
    const bool closed = sqlite3_close(database.connection) == SQLITE_OK;
    if (!closed) {
        // Still release it once whatever keeps it busy is done.
        sqlite3_close_v2(database.connection);
        database.error = HAPSET_DB_FAILED;
    }
    database.connection = nullptr;
    database.path[0] = '\0';
    return closed;
}

std::vector<DatabaseRow> Execute(HapsetDatabase& database, const char* statementText,
                                 const std::vector<DatabaseValue>& values) {
    std::vector<DatabaseRow> rows;
    sqlite3_stmt* statement = nullptr;
    if (!database.connection || sqlite3_prepare_v2(database.connection, statementText, -1,
                                                   &statement, nullptr) != SQLITE_OK) {
        database.error = HAPSET_DB_FAILED;
        return rows;
    }
    const bool bound = bindAll(statement, values);
    while (bound && sqlite3_step(statement) == SQLITE_ROW) {
        rows.push_back(readRow(statement));
    }
    sqlite3_finalize(statement);
    const bool clean = bound && strcmp(sqlite3_errmsg(database.connection), "not an error") == 0;
    database.error = clean ? HAPSET_DB_DONE : HAPSET_DB_FAILED;
    return rows;
}

int32_t Store(HapsetDatabase& database, const char* name, int32_t segmentCount,
              const std::string& document, const char* id) {
    Execute(database, kInsert,
            {IdentifierText(id), std::string(text(name)), segmentCount, document});
    return database.error == HAPSET_DB_FAILED ? -1 : 0;
}

std::unique_ptr<Hapset> FetchStored(HapsetDatabase& database, const char* id) {
    for (const DatabaseRow& row : Execute(database, kSelectOne, {IdentifierText(id)})) {
        auto hapset = std::make_unique<Hapset>("default");
        if (!row.empty() && row[0] && HapsetFromJsonText(*hapset, row[0]->c_str())) {
            return hapset;
        }
    }
    return nullptr;
}

int32_t DeleteStored(HapsetDatabase& database, const char* id) {
    Execute(database, kDeleteOne, {IdentifierText(id)});
    return 0;
}

void LoadAll(HapsetDatabase& database, std::vector<std::unique_ptr<Hapset>>& loaded) {
    for (const DatabaseRow& row : Execute(database, kSelectAll, {})) {
        std::unique_ptr<Hapset> hapset = hapsetOfRow(row);
        if (!hapset) {
            continue;
        }
        bool present = false;
        for (const auto& other : loaded) {
            present = present || HapsetsEqual(*other, *hapset);
        }
        if (!present) {
            loaded.push_back(std::move(hapset));
        }
    }
}

bool ContainsName(HapsetDatabase& database, const char* name) {
    for (const DatabaseRow& row : Execute(database, kSelectAll, {})) {
        std::unique_ptr<Hapset> hapset = hapsetOfRow(row);
        if (hapset && name && strcmp(hapset->name, name) == 0) {
            return true;
        }
    }
    return false;
}

void AttachDatabase(HapsetManagerState* state, const char* fileName) {
    TMHapsetDatabase* current = state->database;
    if (current && current->connection && fileName && strcmp(current->path, fileName) == 0) {
        return;
    }
    DetachDatabase(state);
    auto* database = new TMHapsetDatabase;
    Open(*database, fileName);
    state->database = database;
}

void DetachDatabase(HapsetManagerState* state) {
    if (state->database) {
        Close(*state->database);
        delete state->database;
        state->database = nullptr;
    }
}

bool DatabaseConnected(const HapsetManagerState* state) {
    return state->database && state->database->connection;
}
