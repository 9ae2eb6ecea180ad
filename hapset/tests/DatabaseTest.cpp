#include <sqlite3.h>

#include <cstring>

#include "HapsetDatabase.h"
#include "HapsetJson.h"
#include "ManagerState.h"
#include "TestSupport.h"

namespace {

const char kTrickyName[] = "O'Brien'); DROP TABLE Hapset;--";

class DatabaseTest : public ManagerFixture {
  protected:
    TempFolder folder;
    std::string path = folder.file("hapsets.db");
    std::string otherPath = folder.file("other.db");

    void SetUp() override {
        ManagerFixture::SetUp();
        ASSERT_EQ(0, TM_CreateHapsetDatabase(path.c_str()));
        ASSERT_EQ(0, TM_CreateHapsetDatabase(otherPath.c_str()));
    }

    // Writes a row straight into a database file; a NULL document stores SQL NULL.
    static void insertRow(const std::string& file, const std::string& id, const std::string& name,
                          const char* document) {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(file.c_str(), &db));
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "INSERT INTO Hapset VALUES(?,?,0,?)", -1,
                                                &statement, nullptr));
        sqlite3_bind_text(statement, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        if (document) {
            sqlite3_bind_text(statement, 3, document, -1, SQLITE_TRANSIENT);
        }
        EXPECT_EQ(SQLITE_DONE, sqlite3_step(statement));
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }
    static void insertHapset(const std::string& file, const Hapset& hapset,
                             const std::string& name = "stored") {
        insertRow(file, hapset.id, name, HapsetToJson(hapset).c_str());
    }
    static int64_t rowCount(const std::string& file) {
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM Hapset", -1, &statement, nullptr);
        sqlite3_step(statement);
        const int64_t count = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return count;
    }

    int32_t saveNonLoaded(const char* name, const Hapset& hapset) {
        const FlatHapset flat = FlatHapset::of(hapset);
        return TM_SaveNonLoadedHapset(&state, 0, name, flat.header.data(), flat.segments.data(),
                                      flat.actionHeaders.data(), flat.data.data(),
                                      flat.locations.data());
    }
    int32_t isInDatabase(const std::string& file, const char* name, const char* id,
                         const Hapset& hapset) {
        const FlatHapset flat = FlatHapset::of(hapset);
        return TM_IsInDatabase(&state, file.c_str(), name, id, flat.header.data(),
                               flat.segments.data(), flat.actionHeaders.data(), flat.data.data(),
                               flat.locations.data());
    }
    const Hapset& loadedAt(size_t i) { return *Loaded(&state).at(i); }
};

Hapset sample(const char* name, double value = 100) {
    return makeHapset(name, 10, {{1, 8}, {9, 16}},
                      {makeAction(0, 0, {value}, {1, 9}), makeAction(1, 4, {80}, {2})});
}

TEST_F(DatabaseTest, LoadSkipsEqualAndUnreadableRowsAndCountsWhatItAdds) {
    const Hapset a = sample("a"), b = sample("b");
    insertHapset(path, a, "first");
    insertHapset(path, a, "same document, other name column");
    insertRow(path, "null-document", "n", nullptr);
    insertRow(path, "garbage", "g", "{not json");
    insertRow(path, "incomplete", "i", R"({"name": "no other keys"})");
    insertHapset(path, b);
    insertHapset(path, b);

    EXPECT_EQ(2, TM_LoadHapsetDatabase(&state, path.c_str()));
    ASSERT_EQ(2, TM_GetLoadedHapsetSize(&state));
    EXPECT_TRUE(HapsetsEqual(a, loadedAt(0)));
    EXPECT_TRUE(HapsetsEqual(b, loadedAt(1)));
    EXPECT_EQ(1, TM_IsDatabaseLoaded(&state));

    sqlite3* connection = state.database->connection;
    EXPECT_EQ(-1, TM_LoadHapsetDatabase(&state, path.c_str()));
    EXPECT_EQ(HAPSET_NOTHING_LOADED, TM_GetLastTMError(&state));
    EXPECT_EQ(connection, state.database->connection) << "the open file is not reopened";
    EXPECT_EQ(2, TM_GetLoadedHapsetSize(&state));
}

TEST_F(DatabaseTest, FilesThatDoNotOpenAreReported) {
    const std::vector<std::string> names = {folder.file("missing.db"), std::string(300, 'x'),
                                            "/" + std::string(258, 'y'), ""};
    for (const std::string& name : names) {
        state.lastError = 0;
        EXPECT_EQ(-1, TM_LoadHapsetDatabase(&state, name.c_str())) << name.size();
        EXPECT_EQ(HAPSET_OPEN_FAILED, TM_GetLastTMError(&state)) << name.size();
        EXPECT_EQ(-1, TM_IsDatabaseLoaded(&state));
        // An empty name is refused before the record is touched.
        EXPECT_EQ(name.empty() ? 0 : HAPSET_DB_FAILED, state.database->error) << name.size();
    }
    EXPECT_EQ(-1, TM_LoadHapsetDatabase(&state, nullptr));
    EXPECT_EQ(-1, TM_CreateHapsetDatabase(std::string(260, 'z').c_str()));
    EXPECT_EQ(-1, TM_CreateHapsetDatabase(""));
    EXPECT_EQ(-1, TM_CreateHapsetDatabase(folder.file("no/such/folder.db").c_str()));
}

TEST(DatabaseState, ExportsThatNeedInitialisationSay402000) {
    HapsetManagerState state{};
    const std::vector<std::pair<const char*, int32_t (*)(HapsetManagerState*)>> calls = {
        {"shutdown", TM_ShutdownHapsetManager},
        {"load", [](HapsetManagerState* s) { return TM_LoadHapsetDatabase(s, "x.db"); }},
        {"loaded", TM_IsDatabaseLoaded},
        {"size", TM_GetLoadedHapsetSize},
        {"duration", [](HapsetManagerState* s) { return TM_GetHapsetDuration(s, 0); }},
    };
    for (const auto& [label, call] : calls) {
        state.lastError = 0;
        EXPECT_EQ(-1, call(&state)) << label;
        EXPECT_EQ(HAPSET_NOT_INITIALISED, TM_GetLastTMError(&state)) << label;
    }
    EXPECT_EQ(0, TM_InitializeHapsetManager(&state));
    EXPECT_EQ(0, TM_GetLastTMError(&state));
    TM_ReleaseHapsetManagerState(&state);
}

TEST_F(DatabaseTest, InitialisingTwiceAndShutdownKeepTheStateUsable) {
    insertHapset(path, sample("a"));
    ASSERT_EQ(1, TM_LoadHapsetDatabase(&state, path.c_str()));
    ASSERT_EQ(0, TM_AddController(&state, 1));
    state.lastError = 1234;
    EXPECT_EQ(0, TM_InitializeHapsetManager(&state));
    EXPECT_EQ(1234, TM_GetLastTMError(&state));
    EXPECT_EQ(1, TM_GetLoadedHapsetSize(&state));
    EXPECT_EQ(0, TM_RemoveController(&state, 1));

    ASSERT_EQ(0, TM_AddController(&state, 1));
    EXPECT_EQ(0, TM_ShutdownHapsetManager(&state));
    EXPECT_EQ(0, TM_GetLoadedHapsetSize(&state));
    EXPECT_EQ(-1, TM_RemoveController(&state, 1));
    EXPECT_EQ(nullptr, state.database);
    EXPECT_EQ(1, TM_LoadHapsetDatabase(&state, path.c_str())) << "no new initialisation needed";
}

TEST_F(DatabaseTest, SavedHapsetsReloadEqual) {
    ASSERT_EQ(-1, TM_LoadHapsetDatabase(&state, path.c_str()));
    ASSERT_EQ(0, saveNonLoaded("fresh", sample("ignored")));
    ASSERT_EQ(1, TM_GetLoadedHapsetSize(&state));
    const Hapset saved = loadedAt(0);
    EXPECT_STREQ("fresh", saved.name);
    EXPECT_STRNE("00000000-0000-0000-0000-000000000000", saved.id);

    // A loaded Hapset stored again under another row name keeps its own name in the document.
    ASSERT_EQ(0, TM_SaveHapset(&state, 0, "row name", saved.id));
    EXPECT_EQ(2, rowCount(path));
    EXPECT_EQ(-1, TM_SaveHapset(&state, 0, "x", "no-such-identifier"));
    EXPECT_EQ(HAPSET_NOT_LOADED, TM_GetLastTMError(&state));

    HapsetManagerState other{};
    TM_InitializeHapsetManager(&other);
    EXPECT_EQ(1, TM_LoadHapsetDatabase(&other, path.c_str()));
    EXPECT_TRUE(HapsetsEqual(saved, *Loaded(&other)[0]));
    TM_ReleaseHapsetManagerState(&other);
}

TEST_F(DatabaseTest, SavingALoadedNameReplacesItUnderTheSameIdentifier) {
    ASSERT_EQ(-1, TM_LoadHapsetDatabase(&state, path.c_str()));
    ASSERT_EQ(0, saveNonLoaded("kept", sample("kept", 100)));
    ASSERT_EQ(0, saveNonLoaded("other", sample("other")));
    const std::string id = loadedAt(0).id;

    ASSERT_EQ(0, saveNonLoaded("kept", sample("kept", 200)));
    ASSERT_EQ(2, TM_GetLoadedHapsetSize(&state));
    EXPECT_STREQ("other", loadedAt(0).name);
    EXPECT_EQ(id, loadedAt(1).id);
    EXPECT_EQ(200, loadedAt(1).actions[0].data[0]);
    EXPECT_EQ(2, rowCount(path)) << "the old row of the identifier is gone";
    std::unique_ptr<Hapset> stored = FetchStored(*state.database, id.c_str());
    ASSERT_TRUE(stored);
    EXPECT_TRUE(HapsetsEqual(loadedAt(1), *stored));
}

TEST_F(DatabaseTest, SavingWithoutADatabaseStillAppends) {
    EXPECT_EQ(-1, saveNonLoaded("n", sample("n")));
    EXPECT_EQ(HAPSET_NO_DATABASE, TM_GetLastTMError(&state));
    EXPECT_EQ(1, TM_GetLoadedHapsetSize(&state));
    state.lastError = 0;
    EXPECT_EQ(-1, TM_SaveHapset(&state, 0, "n", loadedAt(0).id));
    EXPECT_EQ(HAPSET_NO_DATABASE, TM_GetLastTMError(&state));

    TM_LoadHapsetDatabase(&state, folder.file("missing.db").c_str());
    state.lastError = 0;
    EXPECT_EQ(-1, saveNonLoaded("n", sample("n")));
    EXPECT_EQ(HAPSET_NO_DATABASE, TM_GetLastTMError(&state));
    EXPECT_EQ(1, TM_GetLoadedHapsetSize(&state)) << "replaced, not added";
}

TEST_F(DatabaseTest, AFailedStoreReportsTheDatabaseError) {
    insertHapset(path, sample("a"));
    ASSERT_EQ(1, TM_LoadHapsetDatabase(&state, path.c_str()));
    sqlite3_exec(state.database->connection, "DROP TABLE Hapset", nullptr, nullptr, nullptr);
    EXPECT_EQ(-1, TM_SaveHapset(&state, 0, "a", loadedAt(0).id));
    EXPECT_EQ(HAPSET_DB_FAILED, TM_GetLastTMError(&state));
    EXPECT_EQ(-1, saveNonLoaded("b", sample("b")));
    EXPECT_EQ(HAPSET_DB_FAILED, TM_GetLastTMError(&state));
    EXPECT_EQ(2, TM_GetLoadedHapsetSize(&state));
}

TEST_F(DatabaseTest, IsInDatabaseComparesWithTheStoredCopy) {
    const Hapset stored = sample("stored");
    insertHapset(otherPath, stored);
    insertHapset(path, sample("mine"));
    ASSERT_EQ(1, TM_LoadHapsetDatabase(&state, path.c_str()));

    Hapset changed = stored;
    changed.actions[1].data[0] = 81;
    char newId[37];
    GenerateHapsetId(newId);
    struct Case {
        const char* label;
        const char* name;
        const char* id;
        const Hapset& hapset;
        int32_t answer;
    };
    const std::vector<Case> cases = {
        {"equal", "stored", stored.id, stored, 1},
        {"one data value changed", "stored", stored.id, changed, 0},
        {"new identifier, stored name", "stored", newId, stored, 0},
        {"new identifier and name", "unknown", newId, stored, -1},
    };
    state.lastError = 4321;
    for (const Case& c : cases) {
        EXPECT_EQ(c.answer, isInDatabase(otherPath, c.name, c.id, c.hapset)) << c.label;
        EXPECT_STREQ(path.c_str(), state.database->path) << "re-attached after " << c.label;
        EXPECT_EQ(1, TM_IsDatabaseLoaded(&state)) << c.label;
    }
    EXPECT_EQ(4321, TM_GetLastTMError(&state));
    const std::string third = folder.file("third.db");
    ASSERT_EQ(0, TM_CreateHapsetDatabase(third.c_str()));
    changed.setId(newId);
    insertRow(third, newId, "unreadable first", "{broken");
    insertRow(third, newId, "null second", nullptr);
    insertRow(third, newId, "readable third", HapsetToJson(changed).c_str());
    EXPECT_EQ(1, isInDatabase(third, "stored", newId, changed))
        << "rows without a readable document are skipped";
    EXPECT_EQ(-1, isInDatabase(folder.file("missing.db"), "stored", stored.id, stored));

    // The arrays TM_GetHapset writes for a Hapset loaded from the file compare equal.
    insertRow(otherPath, "short", "s", nullptr);
    HapsetManagerState fresh{};
    TM_InitializeHapsetManager(&fresh);
    ASSERT_EQ(1, TM_LoadHapsetDatabase(&fresh, otherPath.c_str()));
    FlatHapset flat = FlatHapset::of(stored);
    std::string id(HAPSET_ID_LENGTH, '\0');
    {
        StdoutCapture quiet;
        ASSERT_EQ(0,
                  TM_GetHapset(&fresh, "stored", &id[0], flat.header.data(), flat.segments.data(),
                               flat.actionHeaders.data(), flat.data.data(), flat.locations.data()));
    }
    EXPECT_EQ(1,
              TM_IsInDatabase(&fresh, otherPath.c_str(), "stored", id.c_str(), flat.header.data(),
                              flat.segments.data(), flat.actionHeaders.data(), flat.data.data(),
                              flat.locations.data()));
    TM_ReleaseHapsetManagerState(&fresh);
}

TEST_F(DatabaseTest, GetHapsetWritesArraysIdentifierAndItsSearch) {
    insertHapset(path, sample("a"));
    insertHapset(path, sample("b"));
    ASSERT_EQ(2, TM_LoadHapsetDatabase(&state, path.c_str()));
    int32_t counts[4];
    ASSERT_EQ(0, TM_GetHapsetArraySizes(&state, "b", counts));
    EXPECT_EQ((std::vector<int32_t>{2, 2, 2, 3}), std::vector<int32_t>(counts, counts + 4));

    int32_t header[3], segments[4], actionHeaders[8], locations[3];
    double data[2];
    char id[HAPSET_ID_LENGTH + 1];
    memset(id, '#', sizeof id);
    StdoutCapture capture;
    ASSERT_EQ(0, TM_GetHapset(&state, "b", id, header, segments, actionHeaders, data, locations));
    EXPECT_EQ(-1, TM_GetHapset(&state, "zz", id, header, segments, actionHeaders, data, locations));
    EXPECT_EQ(
        "loadedHapset size 2looking for bloadedHapset[0] name aloadedHapset[1] name bnot returning "
        "nullloadedHapset size 2looking for zzloadedHapset[0] name aloadedHapset[1] name b",
        capture.Finish());
    EXPECT_EQ(HAPSET_NOT_FOUND, TM_GetLastTMError(&state));
    EXPECT_EQ(0, memcmp(loadedAt(1).id, id, HAPSET_ID_LENGTH));
    EXPECT_EQ('#', id[HAPSET_ID_LENGTH]) << "no terminator written";
    EXPECT_EQ((std::vector<int32_t>{10, 2, 2}), std::vector<int32_t>(header, header + 3));
    EXPECT_EQ((std::vector<int32_t>{1, 8, 9, 16}), std::vector<int32_t>(segments, segments + 4));
    EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 0, 4, 1, 1, 1}),
              std::vector<int32_t>(actionHeaders, actionHeaders + 8));
    EXPECT_EQ((std::vector<int32_t>{1, 9, 2}), std::vector<int32_t>(locations, locations + 3));
    EXPECT_EQ((std::vector<double>{100, 80}), std::vector<double>(data, data + 2));

    // The unterminated identifier goes straight back into the exports that take one.
    EXPECT_EQ(0, TM_SaveHapset(&state, 0, "b again", id));
    EXPECT_EQ(3, rowCount(path));
    EXPECT_EQ(0, TM_DeleteHapsetFromDatabase(&state, 0, id));
    EXPECT_EQ(1, rowCount(path));

    EXPECT_STREQ("b", TM_GetHapsetName(&state, 1));
    for (int32_t index : {2, -1}) {
        state.lastError = 0;
        EXPECT_EQ(nullptr, TM_GetHapsetName(&state, index));
        EXPECT_EQ(HAPSET_NO_CONTROLLER, TM_GetLastTMError(&state));
    }
    EXPECT_EQ(0, TM_UnloadHapset(&state, id));
    EXPECT_EQ(1, TM_GetLoadedHapsetSize(&state));
}

TEST_F(DatabaseTest, DeleteAndUnload) {
    EXPECT_EQ(0, TM_DeleteHapsetFromDatabase(&state, 0, "never attached"));
    EXPECT_EQ(0, TM_UnloadHapsets(&state)) << "no database ever attached";

    const Hapset a = sample("a"), b = sample("b");
    insertHapset(path, a);
    insertHapset(path, b);
    ASSERT_EQ(2, TM_LoadHapsetDatabase(&state, path.c_str()));
    EXPECT_EQ(0, TM_DeleteHapsetFromDatabase(&state, 0, a.id));
    EXPECT_EQ(HAPSET_DB_DONE, state.database->error);
    EXPECT_EQ(0, TM_DeleteHapsetFromDatabase(&state, 0, "not stored"));
    EXPECT_EQ(HAPSET_DB_DONE, state.database->error);
    EXPECT_EQ(1, rowCount(path));

    Loaded(&state).push_back(std::make_unique<Hapset>(b));
    EXPECT_EQ(0, TM_UnloadHapset(&state, b.id));
    ASSERT_EQ(2, TM_GetLoadedHapsetSize(&state));
    EXPECT_STREQ("a", loadedAt(0).name) << "only the first match goes";
    EXPECT_EQ(-1, TM_UnloadHapset(&state, "not loaded"));

    EXPECT_EQ(0, TM_UnloadHapsets(&state));
    EXPECT_EQ(0, TM_GetLoadedHapsetSize(&state));
    EXPECT_EQ(-1, TM_IsDatabaseLoaded(&state));
    ASSERT_NE(nullptr, state.database) << "the record stays attached";
    EXPECT_STREQ("", state.database->path);
    EXPECT_EQ(1, TM_LoadHapsetDatabase(&state, path.c_str()));
}

TEST_F(DatabaseTest, QuotesAndSqlInValuesAreStoredAndMatchedExactly) {
    insertHapset(path, sample("victim"));
    ASSERT_EQ(1, TM_LoadHapsetDatabase(&state, path.c_str()));
    ASSERT_EQ(0, saveNonLoaded(kTrickyName, sample("ignored")));
    Hapset& tricky = *Loaded(&state)[1];
    EXPECT_EQ(0, TM_DeleteHapsetFromDatabase(&state, 0, "' OR '1'='1"));
    EXPECT_EQ(2, rowCount(path));

    // An identifier holding quotes is stored and found as it is.
    tricky.setId("x' OR 'a'='a'; DELETE FROM Hapset;--");
    ASSERT_EQ(0, TM_SaveHapset(&state, 0, "q'q", tricky.id));
    EXPECT_EQ(3, rowCount(path));
    EXPECT_EQ(1, isInDatabase(path, kTrickyName, tricky.id, tricky));
    EXPECT_EQ(0, TM_DeleteHapsetFromDatabase(&state, 0, tricky.id));
    EXPECT_EQ(2, rowCount(path));

    HapsetManagerState other{};
    TM_InitializeHapsetManager(&other);
    ASSERT_EQ(2, TM_LoadHapsetDatabase(&other, path.c_str()));
    EXPECT_STREQ(kTrickyName, Loaded(&other)[1]->name);
    TM_ReleaseHapsetManagerState(&other);
}

}  // namespace
