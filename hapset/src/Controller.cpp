#include "Controller.h"

#include "Numbers.h"

namespace {

bool hasSegment(const Controller& controller, int32_t i) {
    return i >= 0 && i < controller.segmentCount();
}

}  // namespace

void Controller::clearSegments() {
    segmentStarts.clear();
    segmentEnds.clear();
}

Controller* FindController(HapsetManagerState* state, int32_t id) {
    if (!state->controllers) {
        return nullptr;
    }
    for (Controller& controller : state->controllers->controllers) {
        if (controller.id == id) {
            return &controller;
        }
    }
    return nullptr;
}

void AddSegment(Controller& controller, int32_t first, int32_t last) {
    controller.segmentStarts.push_back(first);
    controller.segmentEnds.push_back(last);
}

int32_t SegmentSize(const Controller& controller, int32_t i) {
    if (!hasSegment(controller, i)) {
        return 0;
    }
    return SaturateToInt(int64_t{controller.segmentEnds[i]} - controller.segmentStarts[i] + 1);
}

int32_t SegmentStart(const Controller& controller, int32_t i) {
    return hasSegment(controller, i) ? controller.segmentStarts[i] : -1;
}

int32_t SegmentEnd(const Controller& controller, int32_t i) {
    return hasSegment(controller, i) ? controller.segmentEnds[i] : -1;
}
