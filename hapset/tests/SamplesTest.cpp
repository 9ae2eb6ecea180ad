#include <fstream>
#include <sstream>

#include "ManagerState.h"
#include "TestSupport.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using SamplesTest = ManagerFixture;

TEST_F(SamplesTest, SampleDocumentsImportIntoANewDatabaseAndPlay) {
    TempFolder folder;
    const std::string path = folder.file("samples.db");
    ASSERT_EQ(0, TM_CreateHapsetDatabase(path.c_str()));
    for (const char* name : {"heartbeat", "sweep", "swell"}) {
        const std::string document =
            readFile(std::string(HAPSET_SAMPLES_DIR) + "/" + name + ".json");
        ASSERT_FALSE(document.empty()) << name;
        EXPECT_EQ(0, TM_AddHapsetDocumentToDatabase(path.c_str(), document.c_str())) << name;
    }
    ASSERT_EQ(3, TM_LoadHapsetDatabase(&state, path.c_str()));
    EXPECT_STREQ("heartbeat", TM_GetHapsetName(&state, 0));
    EXPECT_STREQ("sweep", TM_GetHapsetName(&state, 1));
    EXPECT_STREQ("swell", TM_GetHapsetName(&state, 2));

    // Every sample plays on a controller with two 8-tactor segments without a blank Action.
    ASSERT_EQ(0, TM_AddController(&state, 0));
    TM_AddSegmentToController(&state, 0, "\x01\x08\x09\x10");
    for (int32_t index = 0; index < 3; ++index) {
        HapsetOutput output{};
        const int32_t count = TM_PlayHapset(&state, 0, &output, index, 1, -1, 1, 1, 1, 1);
        ASSERT_GT(count, 0) << index;
        for (int32_t i = 0; i < count; ++i) {
            EXPECT_NE(0, output.actionList[i]->command) << index << " action " << i;
        }
        TM_ReleaseHapsetOutput(&output);
    }
}

TEST(SamplesImport, RefusesUnreadableDocumentsAndMissingFiles) {
    TempFolder folder;
    const std::string path = folder.file("import.db");
    ASSERT_EQ(0, TM_CreateHapsetDatabase(path.c_str()));
    EXPECT_EQ(-1, TM_AddHapsetDocumentToDatabase(path.c_str(), "{\"name\": \"half\"}"));
    EXPECT_EQ(-1, TM_AddHapsetDocumentToDatabase(path.c_str(), nullptr));
    const std::string sample = readFile(std::string(HAPSET_SAMPLES_DIR) + "/sweep.json");
    EXPECT_EQ(-1, TM_AddHapsetDocumentToDatabase(folder.file("absent.db").c_str(), sample.c_str()));
    HapsetManagerState state{};
    TM_InitializeHapsetManager(&state);
    EXPECT_EQ(-1, TM_LoadHapsetDatabase(&state, path.c_str()));
    EXPECT_EQ(HAPSET_NOTHING_LOADED, TM_GetLastTMError(&state));
    TM_ReleaseHapsetManagerState(&state);
}

}  // namespace
