// The controller registry exports. All of them hold the registry lock only, so they never
// wait for database work; TM_ParsePacket runs on device threads.
#include <cstring>

#include "Controller.h"
#include "ManagerState.h"

namespace {

constexpr uint8_t kSegmentListReply = 0x45;
// Start byte, reply type, data count and the reply code come before the segment bytes.
constexpr int32_t kSegmentBytesAt = 4;
constexpr int32_t kShortestReply = 6;

using RegistryGuard = std::lock_guard<std::recursive_mutex>;

void removeFirst(HapsetManagerState* state, int32_t id) {
    auto& controllers = Controllers(state);
    for (auto it = controllers.begin(); it != controllers.end(); ++it) {
        if (it->id == id) {
            controllers.erase(it);
            return;
        }
    }
}

// Replaces the controller's segments from a segment-list reply whose data count byte says
// how many bytes follow it. A reply claiming more data than the packet holds is ignored.
void readSegmentList(HapsetManagerState* state, Controller& controller, const uint8_t* packet,
                     int32_t length) {
    const int32_t dataCount = packet[2];
    if (3 + dataCount > length) {
        return;
    }
    controller.clearSegments();
    const int32_t segments = dataCount - 1;
    if (segments <= 0) {
        state->lastError = HAPSET_NO_SEGMENTS;
        return;
    }
    int32_t previous = 0;
    for (int32_t i = 0; i < segments; ++i) {
        const int32_t last = packet[kSegmentBytesAt + i];
        AddSegment(controller, previous + 1, last);
        previous = last;
    }
}

}  // namespace

int32_t TM_AddController(HapsetManagerState* state, int32_t id) {
    if (!state) {
        return -1;
    }
    RegistryGuard guard(RegistryLock());
    if (state->controllers && state->controllers->controllers.size() >= HAPSET_MAX_CONTROLLERS) {
        state->lastError = HAPSET_REGISTRY_FULL;
        return -1;
    }
    if (!state->initialized) {
        state->lastError = HAPSET_NOT_INITIALISED;
        return -1;
    }
    Controller controller;
    controller.id = id;
    Controllers(state).push_back(std::move(controller));
    return 0;
}

void TM_AddSegmentToController(HapsetManagerState* state, int32_t id, const char* text) {
    if (!state || !text) {
        return;
    }
    RegistryGuard guard(RegistryLock());
    Controller* controller = FindController(state, id);
    if (!controller) {
        return;
    }
    // An odd last byte pairs with the terminator, so that segment ends at 0.
    const size_t length = strlen(text);
    for (size_t k = 0; 2 * k < length; ++k) {
        AddSegment(*controller, static_cast<int8_t>(text[2 * k]),
                   static_cast<int8_t>(text[2 * k + 1]));
    }
}

void TM_DefaultSegmentList(HapsetManagerState* state, int32_t id) {
    if (!state) {
        return;
    }
    RegistryGuard guard(RegistryLock());
    if (Controller* controller = FindController(state, id)) {
        controller->clearSegments();
        AddSegment(*controller, 1, 8);
    }
}

int32_t TM_RemoveController(HapsetManagerState* state, int32_t id) {
    if (!state) {
        return -1;
    }
    RegistryGuard guard(RegistryLock());
    if (!FindController(state, id)) {
        return -1;
    }
    removeFirst(state, id);
    return 0;
}

int32_t TM_RemoveAllControllers(HapsetManagerState* state) {
    if (!state) {
        return -1;
    }
    RegistryGuard guard(RegistryLock());
    Controllers(state).clear();
    return 0;
}

void TM_ParsePacket(HapsetManagerState* state, int32_t id, const uint8_t* packet, int32_t length) {
    if (!state) {
        return;
    }
    RegistryGuard guard(RegistryLock());
    Controller* controller = FindController(state, id);
    if (!controller) {
        return;
    }
    if (length == -1) {
        removeFirst(state, id);
        return;
    }
    if (!packet || length < kShortestReply || packet[3] != kSegmentListReply) {
        return;
    }
    readSegmentList(state, *controller, packet, length);
}
