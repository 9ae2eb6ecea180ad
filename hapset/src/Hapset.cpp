#include "Hapset.h"

#include <uuid/uuid.h>

#include <cstring>

namespace {

const char kZeroId[] = "00000000-0000-0000-0000-000000000000";

// Copies at most size - 1 characters and always terminates.
void copyTerminated(char* target, size_t size, const char* text) {
    size_t length = text ? strnlen(text, size - 1) : 0;
    if (length > 0) {
        memcpy(target, text, length);
    }
    target[length] = '\0';
}

bool actionsEqual(const TimedAction& a, const TimedAction& b) {
    if (a.actionType != b.actionType || a.data.size() != b.data.size() ||
        a.startTime != b.startTime || a.tactorLocations != b.tactorLocations) {
        return false;
    }
    for (size_t i = 0; i < a.data.size(); ++i) {
        if (!(a.data[i] == b.data[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool TimedAction::hasDataForType() const {
    switch (actionType) {
        case ACTION_PULSE:
        case ACTION_GAIN:
        case ACTION_FREQUENCY:
            return !data.empty();
        case ACTION_RAMP:
            return data.size() >= 5;
        default:
            return true;
    }
}

Hapset::Hapset(const char* hapsetName) {
    setId(kZeroId);
    setName(hapsetName);
}

void Hapset::setName(const char* hapsetName) {
    copyTerminated(name, kNameSize, hapsetName);
}

void Hapset::setId(const char* text) {
    copyTerminated(id, kIdSize, text);
}

std::string IdentifierText(const char* id) {
    return id ? std::string(id, strnlen(id, HAPSET_ID_LENGTH)) : std::string();
}

void GenerateHapsetId(char* id) {
    uuid_t uuid;
    char text[37];
    uuid_generate(uuid);
    uuid_unparse_lower(uuid, text);
    copyTerminated(id, Hapset::kIdSize, text);
}

bool HapsetsEqual(const Hapset& a, const Hapset& b) {
    if (strcmp(a.name, b.name) != 0 || strcmp(a.id, b.id) != 0 || a.timeFactor != b.timeFactor ||
        a.segments.size() != b.segments.size() || a.actions.size() != b.actions.size()) {
        return false;
    }
    for (size_t i = 0; i < a.segments.size(); ++i) {
        if (a.segments[i].first != b.segments[i].first ||
            a.segments[i].last != b.segments[i].last) {
            return false;
        }
    }
    for (size_t i = 0; i < a.actions.size(); ++i) {
        if (!actionsEqual(a.actions[i], b.actions[i])) {
            return false;
        }
    }
    return true;
}

Hapset HapsetFromArrays(const char* name, const HapsetArrays& arrays) {
    Hapset hapset(name);
    GenerateHapsetId(hapset.id);
    if (!arrays.header) {
        return hapset;
    }
    hapset.timeFactor = arrays.header[0];
    for (int64_t i = 0; arrays.segments && i < 2 * int64_t{arrays.header[2]}; i += 2) {
        hapset.segments.push_back(Segment{arrays.segments[i], arrays.segments[i + 1]});
    }
    size_t dataAt = 0;
    size_t locationAt = 0;
    for (int32_t a = 0; arrays.actionHeaders && a < arrays.header[1]; ++a) {
        const int32_t* actionHeader = arrays.actionHeaders + 4 * size_t(a);
        TimedAction action;
        action.actionType = actionHeader[3];
        action.startTime = actionHeader[0];
        for (int32_t i = 0; arrays.data && i < actionHeader[1]; ++i) {
            action.data.push_back(arrays.data[dataAt++]);
        }
        for (int32_t i = 0; arrays.locations && i < actionHeader[2]; ++i) {
            action.tactorLocations.push_back(arrays.locations[locationAt++]);
        }
        hapset.actions.push_back(std::move(action));
    }
    return hapset;
}

void HapsetToArrays(const Hapset& hapset, char* idBuffer, int32_t* header, int32_t* segments,
                    int32_t* actionHeaders, double* data, int32_t* locations) {
    header[1] = static_cast<int32_t>(hapset.actions.size());
    memcpy(idBuffer, hapset.id, HAPSET_ID_LENGTH);
    header[2] = static_cast<int32_t>(hapset.segments.size());
    header[0] = hapset.timeFactor;
    for (const Segment& segment : hapset.segments) {
        *segments++ = segment.first;
        *segments++ = segment.last;
    }
    for (const TimedAction& action : hapset.actions) {
        *actionHeaders++ = action.startTime;
        *actionHeaders++ = static_cast<int32_t>(action.data.size());
        *actionHeaders++ = static_cast<int32_t>(action.tactorLocations.size());
        *actionHeaders++ = action.actionType;
    }
    for (const TimedAction& action : hapset.actions) {
        for (int32_t location : action.tactorLocations) {
            *locations++ = location;
        }
    }
    for (const TimedAction& action : hapset.actions) {
        for (double value : action.data) {
            *data++ = value;
        }
    }
}
