// A registered controller and its segment list: consecutive, inclusive ranges of its tactors.
#ifndef HAPSET_CONTROLLER_H
#define HAPSET_CONTROLLER_H

#include <cstdint>
#include <vector>

#include "HapsetManager.h"

struct Controller {
    std::vector<int32_t> segmentStarts;  // first tactor of each segment
    std::vector<int32_t> segmentEnds;    // last tactor of each segment, same length
    int32_t id = 0;                      // the device ID

    int32_t segmentCount() const { return static_cast<int32_t>(segmentStarts.size()); }
    void clearSegments();
};

// The registry a manager state owns. Guarded by the registry lock (ManagerState.h).
struct TMControllerRegistry {
    std::vector<Controller> controllers;
};

// The first controller with the ID, or NULL. The caller holds the registry lock and keeps it
// while it uses the answer.
Controller* FindController(HapsetManagerState* state, int32_t id);

void AddSegment(Controller& controller, int32_t first, int32_t last);
// Size of segment i, or 0 when there is no such segment.
int32_t SegmentSize(const Controller& controller, int32_t i);
// First tactor of segment i, or -1 when there is no such segment.
int32_t SegmentStart(const Controller& controller, int32_t i);
// Last tactor of segment i, or -1 when there is no such segment.
int32_t SegmentEnd(const Controller& controller, int32_t i);

#endif
