#include <cmath>
#include <cstring>

#include "HapsetJson.h"
#include "TestSupport.h"

namespace {

const char kCanonical[] = R"({"timeFactor": 10, "id": "0123456789abcdef0123456789abcdef0123",
  "name": "wave", "actions": [{"startTime": 3, "data": [100.5], "tactorLocations": [1, 2],
  "actionType": 0}], "segmentList": [[1, 8]]})";

Hapset read(const char* text) {
    Hapset hapset("default");
    EXPECT_TRUE(HapsetFromJsonText(hapset, text)) << text;
    return hapset;
}

TEST(HapsetJson, ReadsEveryFieldOfTheCanonicalDocument) {
    Hapset hapset = read(kCanonical);
    EXPECT_EQ(10, hapset.timeFactor);
    EXPECT_STREQ("0123456789abcdef0123456789abcdef0123", hapset.id);
    EXPECT_STREQ("wave", hapset.name);
    ASSERT_EQ(1u, hapset.actions.size());
    EXPECT_EQ(3, hapset.actions[0].startTime);
    EXPECT_EQ(std::vector<double>{100.5}, hapset.actions[0].data);
    EXPECT_EQ((std::vector<int32_t>{1, 2}), hapset.actions[0].tactorLocations);
    EXPECT_EQ(0, hapset.actions[0].actionType);
    ASSERT_EQ(1u, hapset.segments.size());
    EXPECT_EQ(1, hapset.segments[0].first);
    EXPECT_EQ(8, hapset.segments[0].last);
}

TEST(HapsetJson, KeysMatchInAnyLetterCaseAndIntegersTruncate) {
    Hapset hapset = read(R"({"TIMEFACTOR": 2.9, "ID": "0123456789abcdef0123456789abcdef0123XYZ",
      "Name": "wave", "ACTIONS": [{"STARTTIME": -3.7, "Data": [], "TactorLocations": [],
      "ActionType": 1.9}], "SEGMENTLIST": [[3, 5, 9]]})");
    EXPECT_EQ(2, hapset.timeFactor);
    EXPECT_STREQ("0123456789abcdef0123456789abcdef0123", hapset.id);
    EXPECT_STREQ("wave", hapset.name);
    ASSERT_EQ(1u, hapset.actions.size());
    EXPECT_EQ(-3, hapset.actions[0].startTime);
    EXPECT_EQ(1, hapset.actions[0].actionType);
    EXPECT_TRUE(hapset.actions[0].data.empty());
    EXPECT_TRUE(hapset.actions[0].tactorLocations.empty());
    ASSERT_EQ(1u, hapset.segments.size());
    EXPECT_EQ(3, hapset.segments[0].first);
    EXPECT_EQ(5, hapset.segments[0].last);
}

TEST(HapsetJson, ALongNameIsCutTo63Characters) {
    std::string text = kCanonical;
    text.replace(text.find("\"wave\""), 6, "\"" + std::string(80, 'n') + "\"");
    Hapset hapset = read(text.c_str());
    EXPECT_EQ(std::string(63, 'n'), hapset.name);
}

TEST(HapsetJson, MalformedDocumentsAreRejectedAndLeaveTheHapsetAlone) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"not json", "{\"timeFactor\": 10,"},
        {"not an object", "[1, 2]"},
        {"missing id", R"({"timeFactor": 1, "name": "a", "actions": [], "segmentList": []})"},
        {"short id", R"({"timeFactor": 1, "id": "abc", "name": "a", "actions": [],
          "segmentList": []})"},
        {"id not a string", R"({"timeFactor": 1, "id": 5, "name": "a", "actions": [],
          "segmentList": []})"},
        {"missing timeFactor", R"({"id": "0123456789abcdef0123456789abcdef0123", "name": "a",
          "actions": [], "segmentList": []})"},
        {"timeFactor a string", R"({"timeFactor": "1", "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [], "segmentList": []})"},
        {"name a number", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": 4, "actions": [], "segmentList": []})"},
        {"actions not an array", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": {}, "segmentList": []})"},
        {"missing segmentList", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": []})"},
        {"short segment", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [], "segmentList": [[1]]})"},
        {"segment of strings", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [], "segmentList": [["1", "2"]]})"},
        {"action not an object", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [7], "segmentList": []})"},
        {"action without data", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [{"startTime": 0, "tactorLocations": [], "actionType": 0}],
          "segmentList": []})"},
        {"data holding a string", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [{"startTime": 0, "data": ["x"], "tactorLocations": [],
          "actionType": 0}], "segmentList": []})"},
        {"location not a number", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [{"startTime": 0, "data": [], "tactorLocations": [null],
          "actionType": 0}], "segmentList": []})"},
        {"actionType missing", R"({"timeFactor": 1, "id": "0123456789abcdef0123456789abcdef0123",
          "name": "a", "actions": [{"startTime": 0, "data": [], "tactorLocations": []}],
          "segmentList": []})"},
    };
    for (const auto& [label, text] : cases) {
        Hapset hapset("default");
        EXPECT_FALSE(HapsetFromJsonText(hapset, text.c_str())) << label;
        EXPECT_STREQ("default", hapset.name) << label;
        EXPECT_STREQ("00000000-0000-0000-0000-000000000000", hapset.id) << label;
        EXPECT_TRUE(hapset.actions.empty() && hapset.segments.empty()) << label;
    }
    Hapset hapset("default");
    EXPECT_FALSE(HapsetFromJsonText(hapset, nullptr));
}

TEST(HapsetJson, WrittenDocumentReadsBackEqual) {
    Hapset original =
        makeHapset("round trip", 10, {{1, 8}, {9, 16}},
                   {makeAction(0, 0, {100}, {1, 9}), makeAction(3, 5, {32, 10, 200, 500, 1}, {2}),
                    makeAction(1, 7, {}, {})});
    const std::string text = HapsetToJson(original);
    Hapset back = read(text.c_str());
    EXPECT_TRUE(HapsetsEqual(original, back));
}

TEST(HapsetJson, WritesTheFormattedDocumentWithMembersInOrder) {
    Hapset hapset =
        makeHapset("tiny", 10, {{1, 8}, {9, 16}}, {makeAction(0, 2, {100, 0.5}, {1, 9})});
    hapset.setId("0123456789abcdef0123456789abcdef0123");
    EXPECT_EQ(
        "{\n\t\"timeFactor\":\t10,\n\t\"id\":\t\"0123456789abcdef0123456789abcdef0123\",\n"
        "\t\"name\":\t\"tiny\",\n\t\"actions\":\t[{\n\t\t\t\"startTime\":\t2,\n"
        "\t\t\t\"data\":\t[100, 0.5],\n\t\t\t\"tactorLocations\":\t[1, 9],\n"
        "\t\t\t\"actionType\":\t0\n\t\t}],\n\t\"segmentList\":\t[[1, 8], [9, 16]]\n}",
        HapsetToJson(hapset));
}

TEST(HapsetModel, EqualityComparesEveryFieldExactly) {
    const Hapset base = makeHapset("same", 10, {{1, 8}}, {makeAction(0, 1, {0.0}, {1, 2})});
    Hapset other = base;
    EXPECT_TRUE(HapsetsEqual(base, other));
    other.actions[0].data[0] = -0.0;
    EXPECT_TRUE(HapsetsEqual(base, other)) << "0.0 equals -0.0";

    const std::vector<std::pair<const char*, void (*)(Hapset&)>> changes = {
        {"name case", [](Hapset& h) { h.setName("Same"); }},
        {"id", [](Hapset& h) { h.id[0] = h.id[0] == 'a' ? 'b' : 'a'; }},
        {"time factor", [](Hapset& h) { h.timeFactor = 11; }},
        {"segment", [](Hapset& h) { h.segments[0].last = 9; }},
        {"extra segment",
         [](Hapset& h) {
             h.segments.push_back({9, 16});
         }},
        {"start time", [](Hapset& h) { h.actions[0].startTime = 2; }},
        {"type", [](Hapset& h) { h.actions[0].actionType = 1; }},
        {"data value", [](Hapset& h) { h.actions[0].data[0] = 1e-300; }},
        {"extra data", [](Hapset& h) { h.actions[0].data.push_back(0); }},
        {"location", [](Hapset& h) { h.actions[0].tactorLocations[1] = 3; }},
        {"extra action", [](Hapset& h) { h.actions.push_back(TimedAction{}); }},
    };
    for (const auto& [label, change] : changes) {
        Hapset changed = base;
        change(changed);
        EXPECT_FALSE(HapsetsEqual(base, changed)) << label;
    }
    Hapset nanA = base, nanB = base;
    nanA.actions[0].data[0] = nanB.actions[0].data[0] = std::nan("");
    EXPECT_FALSE(HapsetsEqual(nanA, nanB)) << "NaN equals nothing";
}

TEST(HapsetModel, NewHapsetsAndIdentifiers) {
    Hapset fresh("x");
    EXPECT_EQ(0, fresh.timeFactor);
    EXPECT_STREQ("00000000-0000-0000-0000-000000000000", fresh.id);
    char a[37], b[37];
    GenerateHapsetId(a);
    GenerateHapsetId(b);
    ASSERT_EQ(36u, strlen(a));
    for (size_t i = 0; i < 36; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        EXPECT_TRUE(dash ? a[i] == '-' : (isdigit(a[i]) || (a[i] >= 'a' && a[i] <= 'f'))) << a;
    }
    EXPECT_STRNE(a, b);
}

TEST(HapsetModel, ArraysBuildAHapsetWithAFreshIdentifier) {
    const int32_t emptyHeader[3] = {10, 0, 0};
    Hapset empty =
        HapsetFromArrays("e", HapsetArrays{emptyHeader, nullptr, nullptr, nullptr, nullptr});
    EXPECT_EQ(10, empty.timeFactor);
    EXPECT_TRUE(empty.actions.empty() && empty.segments.empty());
    EXPECT_STRNE("00000000-0000-0000-0000-000000000000", empty.id);

    const int32_t header[3] = {5, 3, 2};
    const int32_t segments[4] = {1, 4, 5, 8};
    const int32_t actionHeaders[12] = {0, 1, 2, 0, 4, 0, -1, 1, 9, 5, 1, 3};
    const double data[6] = {100, 32, 1, 2, 300, 0};
    const int32_t locations[3] = {1, 5, 7};
    Hapset built =
        HapsetFromArrays("b", HapsetArrays{header, segments, actionHeaders, data, locations});
    ASSERT_EQ(2u, built.segments.size());
    EXPECT_EQ(5, built.segments[1].first);
    ASSERT_EQ(3u, built.actions.size());
    EXPECT_EQ((std::vector<int32_t>{1, 5}), built.actions[0].tactorLocations);
    EXPECT_TRUE(built.actions[1].data.empty() && built.actions[1].tactorLocations.empty())
        << "counts of zero or less add nothing";
    EXPECT_EQ((std::vector<double>{32, 1, 2, 300, 0}), built.actions[2].data);
    EXPECT_EQ(std::vector<int32_t>{7}, built.actions[2].tactorLocations);
    EXPECT_EQ(9, built.actions[2].startTime);
    EXPECT_EQ(3, built.actions[2].actionType);

    FlatHapset flat = FlatHapset::of(built);
    Hapset again = HapsetFromArrays("b", flat.arrays());
    again.setId(built.id);
    EXPECT_TRUE(HapsetsEqual(built, again));
}

}  // namespace
