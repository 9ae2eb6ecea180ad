#include "HapsetJson.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct JsonDeleter {
    void operator()(cJSON* item) const { cJSON_Delete(item); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

const cJSON* member(const cJSON* object, const char* key) {
    return cJSON_GetObjectItem(object, key);
}

bool readInt(const cJSON* object, const char* key, int32_t& out) {
    const cJSON* item = member(object, key);
    if (!cJSON_IsNumber(item)) {
        return false;
    }
    out = item->valueint;
    return true;
}

bool readAction(const cJSON* object, TimedAction& action) {
    if (!cJSON_IsObject(object) || !readInt(object, "startTime", action.startTime) ||
        !readInt(object, "actionType", action.actionType)) {
        return false;
    }
    const cJSON* data = member(object, "data");
    const cJSON* locations = member(object, "tactorLocations");
    if (!cJSON_IsArray(data) || !cJSON_IsArray(locations)) {
        return false;
    }
    const cJSON* item = nullptr;
    cJSON_ArrayForEach(item, data) {
        if (!cJSON_IsNumber(item)) {
            return false;
        }
        action.data.push_back(item->valuedouble);
    }
    cJSON_ArrayForEach(item, locations) {
        if (!cJSON_IsNumber(item)) {
            return false;
        }
        action.tactorLocations.push_back(item->valueint);
    }
    return true;
}

bool readSegment(const cJSON* array, Segment& segment) {
    if (!cJSON_IsArray(array) || cJSON_GetArraySize(array) < 2) {
        return false;
    }
    const cJSON* first = cJSON_GetArrayItem(array, 0);
    const cJSON* last = cJSON_GetArrayItem(array, 1);
    if (!cJSON_IsNumber(first) || !cJSON_IsNumber(last)) {
        return false;
    }
    segment = Segment{first->valueint, last->valueint};
    return true;
}

bool readLists(const cJSON* document, Hapset& hapset) {
    const cJSON* actions = member(document, "actions");
    const cJSON* segments = member(document, "segmentList");
    if (!cJSON_IsArray(actions) || !cJSON_IsArray(segments)) {
        return false;
    }
    const cJSON* item = nullptr;
    cJSON_ArrayForEach(item, actions) {
        TimedAction action;
        if (!readAction(item, action)) {
            return false;
        }
        hapset.actions.push_back(std::move(action));
    }
    cJSON_ArrayForEach(item, segments) {
        Segment segment;
        if (!readSegment(item, segment)) {
            return false;
        }
        hapset.segments.push_back(segment);
    }
    return true;
}

cJSON* doubleArray(const std::vector<double>& values) {
    if (values.empty()) {
        return cJSON_CreateArray();
    }
    return cJSON_CreateDoubleArray(values.data(), static_cast<int>(values.size()));
}

cJSON* intArray(const int32_t* values, size_t count) {
    if (count == 0) {
        return cJSON_CreateArray();
    }
    return cJSON_CreateIntArray(values, static_cast<int>(count));
}

cJSON* actionToJson(const TimedAction& action) {
    cJSON* object = cJSON_CreateObject();
    cJSON_AddItemToObject(object, "startTime", cJSON_CreateNumber(action.startTime));
    cJSON_AddItemToObject(object, "data", doubleArray(action.data));
    cJSON_AddItemToObject(object, "tactorLocations",
                          intArray(action.tactorLocations.data(), action.tactorLocations.size()));
    cJSON_AddItemToObject(object, "actionType", cJSON_CreateNumber(action.actionType));
    return object;
}

}  // namespace

bool HapsetFromJson(Hapset& hapset, const cJSON* document) {
    if (!cJSON_IsObject(document)) {
        return false;
    }
    Hapset read(hapset.name);
    const cJSON* id = member(document, "id");
    const cJSON* name = member(document, "name");
    if (!cJSON_IsString(id) || strlen(id->valuestring) < HAPSET_ID_LENGTH ||
        !cJSON_IsString(name) || !readInt(document, "timeFactor", read.timeFactor) ||
        !readLists(document, read)) {
        return false;
    }
    read.setId(id->valuestring);
    read.setName(name->valuestring);
    hapset = std::move(read);
    return true;
}

bool HapsetFromJsonText(Hapset& hapset, const char* text) {
    if (!text) {
        return false;
    }
    JsonPtr document(cJSON_Parse(text));
    return document && HapsetFromJson(hapset, document.get());
}

std::string HapsetToJson(const Hapset& hapset) {
    JsonPtr object(cJSON_CreateObject());
    cJSON_AddItemToObject(object.get(), "timeFactor", cJSON_CreateNumber(hapset.timeFactor));
    cJSON_AddItemToObject(object.get(), "id", cJSON_CreateString(hapset.id));
    cJSON_AddItemToObject(object.get(), "name", cJSON_CreateString(hapset.name));
    cJSON* actions = cJSON_CreateArray();
    cJSON_AddItemToObject(object.get(), "actions", actions);
    for (const TimedAction& action : hapset.actions) {
        cJSON_AddItemToArray(actions, actionToJson(action));
    }
    cJSON* segments = cJSON_CreateArray();
    cJSON_AddItemToObject(object.get(), "segmentList", segments);
    for (const Segment& segment : hapset.segments) {
        const int32_t pair[2] = {segment.first, segment.last};
        cJSON_AddItemToArray(segments, intArray(pair, 2));
    }
    char* printed = cJSON_Print(object.get());
    std::string text = printed ? printed : "";
    cJSON_free(printed);
    return text;
}
