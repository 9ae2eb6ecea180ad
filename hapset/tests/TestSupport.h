// Small helpers shared by the Hapset manager tests.
#ifndef HAPSET_TEST_SUPPORT_H
#define HAPSET_TEST_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "Hapset.h"
#include "HapsetManager.h"
#include "StdoutCapture.h"

// A manager state that is initialised on construction and released on destruction.
struct ManagerFixture : ::testing::Test {
    HapsetManagerState state{};
    void SetUp() override { ASSERT_EQ(0, TM_InitializeHapsetManager(&state)); }
    void TearDown() override { TM_ReleaseHapsetManagerState(&state); }
};

inline TimedAction makeAction(int32_t type, int32_t start, std::vector<double> data,
                              std::vector<int32_t> locations) {
    TimedAction action;
    action.actionType = type;
    action.startTime = start;
    action.data = std::move(data);
    action.tactorLocations = std::move(locations);
    return action;
}

inline Hapset makeHapset(const char* name, int32_t timeFactor, std::vector<Segment> segments,
                         std::vector<TimedAction> actions) {
    Hapset hapset(name);
    GenerateHapsetId(hapset.id);
    hapset.timeFactor = timeFactor;
    hapset.segments = std::move(segments);
    hapset.actions = std::move(actions);
    return hapset;
}

// The flat-array form of a Hapset, owning its arrays.
struct FlatHapset {
    std::vector<int32_t> header = std::vector<int32_t>(3);
    std::vector<int32_t> segments, actionHeaders, locations;
    std::vector<double> data;
    std::string id = std::string(HAPSET_ID_LENGTH, '\0');

    static FlatHapset of(const Hapset& hapset) {
        FlatHapset flat;
        for (const TimedAction& action : hapset.actions) {
            flat.data.insert(flat.data.end(), action.data.begin(), action.data.end());
            flat.locations.insert(flat.locations.end(), action.tactorLocations.begin(),
                                  action.tactorLocations.end());
        }
        flat.segments.resize(2 * hapset.segments.size() + 1);
        flat.actionHeaders.resize(4 * hapset.actions.size() + 1);
        flat.data.push_back(0);
        flat.locations.push_back(0);
        HapsetToArrays(hapset, &flat.id[0], flat.header.data(), flat.segments.data(),
                       flat.actionHeaders.data(), flat.data.data(), flat.locations.data());
        return flat;
    }
    HapsetArrays arrays() const {
        return HapsetArrays{header.data(), segments.data(), actionHeaders.data(), data.data(),
                            locations.data()};
    }
};

// A fresh folder for database files, removed with everything in it afterwards.
class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/hapset-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

#endif
