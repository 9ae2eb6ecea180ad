#include "ActionRecord.h"

#include <cstdlib>

Action* AllocateAction(uint32_t timeFactor) {
    auto* action = static_cast<Action*>(std::calloc(1, sizeof(Action)));
    if (action)
        action->timeFactor = timeFactor;
    return action;
}

void ReleaseAction(Action* action) {
    if (!action)
        return;
    std::free(action->data);
    std::free(action);
}
