// The Hapset database: an SQLite file whose table "Hapset" holds one row per stored Hapset
// (identifier, name, segment count, JSON document). The library never creates the file or the
// table when opening; TM_CreateHapsetDatabase does that for users and tests.
//
// Every value reaches SQLite as a bound parameter, so names, identifiers and documents with
// quotes or SQL in them are stored and matched exactly. Rows whose document is NULL or does
// not parse are skipped by every reader. All operations run with the client lock held.
#ifndef HAPSET_HAPSET_DATABASE_H
#define HAPSET_HAPSET_DATABASE_H

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Hapset.h"

struct TMHapsetDatabase {
    static constexpr size_t kPathSize = 260;

    sqlite3* connection = nullptr;  // none when closed or when opening failed
    int32_t error = 0;              // 502000 or 502001 after an operation; 0 when new
    char path[kPathSize] = {};      // the file last given to Open; emptied by Close
};
using HapsetDatabase = TMHapsetDatabase;

// One result row: each column's text, or nothing for SQL NULL.
using DatabaseRow = std::vector<std::optional<std::string>>;

// Opens fileName read-write without creating it, closing any earlier connection first.
// Answers 0 when connected, -1 otherwise (error 502000; a NULL or empty name changes nothing,
// a name of 260 characters or more is refused without opening).
int32_t Open(HapsetDatabase& database, const char* fileName);

// Closes the connection, if any, and empties path. False (error 502000) when closing failed.
bool Close(HapsetDatabase& database);

// A value bound to a statement parameter.
using DatabaseValue = std::variant<std::string, int32_t>;

// Runs one statement with the values bound in order to ?1, ?2, ... Collects every result
// row; sets error to 502001 when the statement ran clean and to 502000 otherwise.
std::vector<DatabaseRow> Execute(HapsetDatabase& database, const char* statement,
                                 const std::vector<DatabaseValue>& values);

// Stores one row. Answers 0, or -1 when the statement failed.
int32_t Store(HapsetDatabase& database, const char* name, int32_t segmentCount,
              const std::string& document, const char* id);

// The Hapset stored under the identifier: from the first of its rows whose document reads,
// or NULL when there is none.
std::unique_ptr<Hapset> FetchStored(HapsetDatabase& database, const char* id);

// Deletes every row of the identifier. Answers 0; the outcome is in error.
int32_t DeleteStored(HapsetDatabase& database, const char* id);

// Appends every stored Hapset not equal to one already in loaded, including those appended
// earlier in the same pass.
void LoadAll(HapsetDatabase& database, std::vector<std::unique_ptr<Hapset>>& loaded);

// True when the document of some row holds the name (column 2 is not consulted).
bool ContainsName(HapsetDatabase& database, const char* name);

// Makes the state's database the file: kept when it is already open under the same path,
// else the old record is detached and a new one opened (its failure stays in the record).
void AttachDatabase(HapsetManagerState* state, const char* fileName);

// Closes and discards the state's database record.
void DetachDatabase(HapsetManagerState* state);

// True when the state has a database record with a live connection.
bool DatabaseConnected(const HapsetManagerState* state);

#endif
