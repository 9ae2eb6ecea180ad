#include "Playback.h"

#include <algorithm>
#include <cstdlib>

#include "ManagerState.h"
#include "Numbers.h"

namespace {

constexpr double kMinDuration = 10, kMaxDuration = 2500;
constexpr double kMinGain = 1, kMaxGain = 255;
constexpr double kMinFrequency = 300, kMaxFrequency = 3500;
constexpr int32_t kGainRamp = 32, kFrequencyRamp = 18;

// Lowers a value above the maximum first, then raises one below the minimum.
double clampScaled(double value, double scale, double minimum, double maximum) {
    double scaled = value * scale;
    if (scaled > maximum) {
        scaled = maximum;
    }
    if (scaled < minimum) {
        scaled = minimum;
    }
    return scaled;
}

void scaleRamp(std::vector<double>& data, double gainScale, double frequencyScale,
               double timeScale) {
    data[3] = clampScaled(data[3], timeScale, kMinDuration, kMaxDuration);
    const int32_t kind = TruncateToInt(data[0]);
    if (kind == kGainRamp) {
        data[1] = clampScaled(data[1], gainScale, kMinGain, kMaxGain);
        data[2] = clampScaled(data[2], gainScale, kMinGain, kMaxGain);
    } else if (kind == kFrequencyRamp) {
        data[1] = clampScaled(data[1], frequencyScale, kMinFrequency, kMaxFrequency);
        data[2] = clampScaled(data[2], frequencyScale, kMinFrequency, kMaxFrequency);
    }
}

void encode(Action* out, const TimedAction& action, uint32_t location) {
    const std::vector<double>& d = action.data;
    switch (action.actionType) {
        case ACTION_PULSE:
            TacOnTime(out, action.startTime, location, TruncateToInt(d[0]));
            break;
        case ACTION_GAIN:
            SetGain(out, action.startTime, location, TruncateToInt(d[0]));
            break;
        case ACTION_FREQUENCY:
            SetFreq(out, action.startTime, location, TruncateToInt(d[0]));
            break;
        case ACTION_RAMP:
            Ramp(out, action.startTime, location, TruncateToInt(d[0]), TruncateToInt(d[1]),
                 TruncateToInt(d[2]), TruncateToInt(d[3]), TruncateToInt(d[4]));
            break;
        default:
            break;
    }
}

int64_t actionLength(const TimedAction& action) {
    switch (action.actionType) {
        case ACTION_PULSE:
            return action.data.empty() ? 0 : TruncateToInt(action.data[0]);
        case ACTION_GAIN:
        case ACTION_FREQUENCY:
            return 0;
        case ACTION_RAMP:
            return action.data.size() < 4 ? 0 : TruncateToInt(action.data[3]);
        default:
            return -1;
    }
}

void freeActions(Action** actions, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        FreeAction(actions[i]);
    }
    free(actions);
}

// One Action per action and location, in order, in a new array with room for at least one
// entry per action. NULL when memory runs out (nothing is left allocated).
Action** makeActions(const Hapset& hapset, int32_t& count, size_t& capacity) {
    size_t total = 0;
    for (const TimedAction& action : hapset.actions) {
        total += action.tactorLocations.size();
    }
    capacity = std::max<size_t>({total, hapset.actions.size(), 1});
    Action** actions = static_cast<Action**>(calloc(capacity, sizeof(Action*)));
    count = 0;
    for (size_t a = 0; actions && a < hapset.actions.size(); ++a) {
        for (int32_t location : hapset.actions[a].tactorLocations) {
            Action* made = MakeAction(hapset.actions[a], location, hapset.timeFactor);
            if (!made) {
                freeActions(actions, count);
                return nullptr;
            }
            actions[count++] = made;
        }
    }
    return actions;
}

}  // namespace

void ScaleAction(TimedAction& action, float gainScale, float frequencyScale, float timeScale) {
    action.startTime = TruncateToInt(static_cast<float>(action.startTime) * timeScale);
    if (!action.hasDataForType()) {
        return;
    }
    std::vector<double>& data = action.data;
    switch (action.actionType) {
        case ACTION_PULSE:
            data[0] = clampScaled(data[0], timeScale, kMinDuration, kMaxDuration);
            break;
        case ACTION_GAIN:
            data[0] = clampScaled(data[0], gainScale, kMinGain, kMaxGain);
            break;
        case ACTION_FREQUENCY:
            data[0] = clampScaled(data[0], frequencyScale, kMinFrequency, kMaxFrequency);
            break;
        case ACTION_RAMP:
            scaleRamp(data, gainScale, frequencyScale, timeScale);
            break;
        default:
            break;
    }
}

Action* MakeAction(const TimedAction& action, int32_t location, int32_t timeFactor) {
    Action* out = static_cast<Action*>(calloc(1, sizeof(Action)));
    if (!out) {
        return nullptr;
    }
    out->timeFactor = static_cast<uint32_t>(timeFactor);
    if (action.hasDataForType()) {
        encode(out, action, static_cast<uint32_t>(location));
    }
    return out;
}

void FreeAction(Action* action) {
    if (action) {
        free(action->data);
        free(action);
    }
}

int32_t BuildOutput(HapsetManagerState* state, const Hapset* hapset, HapsetOutput* output) {
    if (!hapset || !output) {
        SetLastError(state, HAPSET_NOTHING_TO_BUILD);
        return -1;
    }
    if (hapset->actions.size() > HAPSET_MAX_ACTIONS) {
        SetLastError(state, HAPSET_TOO_MANY_ACTIONS);
        return -1;
    }
    int32_t count = 0;
    size_t capacity = 0;
    Action** actions = makeActions(*hapset, count, capacity);
    if (!actions) {
        SetLastError(state, HAPSET_COPY_FAILED);
        return -1;
    }
    TM_ReleaseHapsetOutput(output);
    output->actionList = actions;
    output->actionCount = count;
    output->actionCapacity = static_cast<int32_t>(capacity);
    output->timeFactor = hapset->timeFactor;
    return count;
}

int32_t HapsetDuration(const Hapset& hapset) {
    if (hapset.actions.empty()) {
        return -1;
    }
    int64_t longest = -1;
    for (const TimedAction& action : hapset.actions) {
        const int64_t end = int64_t{hapset.timeFactor} * action.startTime + actionLength(action);
        longest = std::max(longest, end);
    }
    return SaturateToInt(longest);
}
