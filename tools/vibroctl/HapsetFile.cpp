#include "HapsetFile.h"

#include <cjson/cJSON.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace {

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

bool ReadNumbers(const cJSON* array, std::vector<double>& out) {
    if (!cJSON_IsArray(array))
        return false;
    for (const cJSON* item = array->child; item; item = item->next) {
        if (!cJSON_IsNumber(item))
            return false;
        out.push_back(item->valuedouble);
    }
    return true;
}

bool ReadAction(const cJSON* action, HapsetFile& out) {
    const cJSON* start = cJSON_GetObjectItem(action, "startTime");
    const cJSON* type = cJSON_GetObjectItem(action, "actionType");
    std::vector<double> data;
    std::vector<double> locations;
    if (!cJSON_IsNumber(start) || !cJSON_IsNumber(type) ||
        !ReadNumbers(cJSON_GetObjectItem(action, "data"), data) ||
        !ReadNumbers(cJSON_GetObjectItem(action, "tactorLocations"), locations))
        return false;
    out.actionHeaders.insert(out.actionHeaders.end(),
                             {start->valueint, static_cast<int32_t>(data.size()),
                              static_cast<int32_t>(locations.size()), type->valueint});
    out.data.insert(out.data.end(), data.begin(), data.end());
    for (double location : locations)
        out.locations.push_back(static_cast<int32_t>(location));
    return true;
}

bool ReadSegments(const cJSON* list, HapsetFile& out) {
    if (!cJSON_IsArray(list))
        return false;
    for (const cJSON* segment = list->child; segment; segment = segment->next) {
        std::vector<double> pair;
        if (!ReadNumbers(segment, pair) || pair.size() < 2)
            return false;
        out.segments.push_back(static_cast<int32_t>(pair[0]));
        out.segments.push_back(static_cast<int32_t>(pair[1]));
    }
    return true;
}

bool ReadDocument(const cJSON* root, HapsetFile& out) {
    const cJSON* timeFactor = cJSON_GetObjectItem(root, "timeFactor");
    const cJSON* name = cJSON_GetObjectItem(root, "name");
    const cJSON* actions = cJSON_GetObjectItem(root, "actions");
    if (!cJSON_IsNumber(timeFactor) || !cJSON_IsString(name) || !cJSON_IsArray(actions))
        return false;
    out.name = name->valuestring;
    for (const cJSON* action = actions->child; action; action = action->next) {
        if (!ReadAction(action, out))
            return false;
    }
    if (!ReadSegments(cJSON_GetObjectItem(root, "segmentList"), out))
        return false;
    out.header = {timeFactor->valueint, cJSON_GetArraySize(actions),
                  static_cast<int32_t>(out.segments.size() / 2)};
    return true;
}

}  // namespace

bool ReadHapsetFile(const std::string& path, HapsetFile& out, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    Json root(cJSON_Parse(text.str().c_str()), cJSON_Delete);
    out = HapsetFile{};
    if (!root || !ReadDocument(root.get(), out)) {
        error = path + " is not a Hapset document";
        return false;
    }
    return true;
}
