#include "Placement.h"

#include "Numbers.h"

namespace {

int32_t hapsetSegmentContaining(const Hapset& hapset, int64_t x) {
    for (size_t k = 0; k < hapset.segments.size(); ++k) {
        if (hapset.segments[k].first <= x && x <= hapset.segments[k].last) {
            return static_cast<int32_t>(k);
        }
    }
    return -1;
}

int32_t controllerSegmentContaining(const Controller& controller, int64_t x) {
    for (int32_t i = 0; i < controller.segmentCount(); ++i) {
        if (controller.segmentStarts[i] <= x && x <= controller.segmentEnds[i]) {
            return i;
        }
    }
    return -1;
}

int64_t hapsetSegmentSize(const Hapset& hapset, int32_t k) {
    return int64_t{hapset.segments[k].last} - hapset.segments[k].first + 1;
}

int64_t singleWrap(int64_t t, int32_t n) {
    if (t > n - 1) {
        return t - n;
    }
    if (t < 0) {
        return t + n;
    }
    return t;
}

// Segment index for the controller lookups; anything out of int range is no segment.
int32_t segmentIndex(int64_t t) {
    return (t < 0 || t > INT32_MAX) ? -1 : static_cast<int32_t>(t);
}

// Brings v into the inclusive range [start, start + size - 1] in whole steps of size, as
// repeated subtraction and then repeated addition would, without looping.
int64_t wrapInto(int64_t v, int64_t start, int64_t end, int64_t size) {
    if (v > end) {
        v -= ((v - end + size - 1) / size) * size;
    }
    if (v < start) {
        v += ((start - v + size - 1) / size) * size;
    }
    return v;
}

template <typename Visit>
void forEachLocation(Hapset& hapset, Visit visit) {
    for (TimedAction& action : hapset.actions) {
        for (int32_t& location : action.tactorLocations) {
            visit(location);
        }
    }
}

template <typename Check>
bool allLocations(const Hapset& hapset, Check check) {
    for (const TimedAction& action : hapset.actions) {
        for (int32_t location : action.tactorLocations) {
            if (!check(location)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int32_t ReferenceLocation(const Hapset& hapset) {
    for (const TimedAction& action : hapset.actions) {
        if (action.actionType == ACTION_PULSE && !action.tactorLocations.empty()) {
            return action.tactorLocations[0];
        }
    }
    return -1;
}

bool CanMapToTactor(const Hapset& hapset, const Controller& controller, int32_t tactor) {
    const int32_t n = controller.segmentCount();
    const int64_t h0 = hapsetSegmentContaining(hapset, 1);
    const int64_t c0 = controllerSegmentContaining(controller, tactor);
    return allLocations(hapset, [&](int32_t location) {
        const int32_t k = hapsetSegmentContaining(hapset, location);
        if (k == -1) {
            return true;
        }
        int64_t t = (k - h0) + c0;
        if (t < 0) {
            t += n;
            if (t == c0 || t < 0) {
                return false;
            }
        } else if (t > n - 1) {
            t -= n;
            if (t == c0 || t > n - 1) {
                return false;
            }
        }
        return SegmentSize(controller, segmentIndex(t)) == hapsetSegmentSize(hapset, k);
    });
}

bool CanMapToSegment(const Hapset& hapset, const Controller& controller, int32_t segment) {
    const int32_t n = controller.segmentCount();
    const int64_t s = int64_t{segment} - 1;
    if (s < 0 || s > n - 1) {
        return false;
    }
    for (size_t j = 0; j < hapset.segments.size(); ++j) {
        const int32_t i = static_cast<int32_t>((s + static_cast<int64_t>(j)) % n);
        if (SegmentSize(controller, i) != hapsetSegmentSize(hapset, static_cast<int32_t>(j))) {
            return false;
        }
    }
    const int64_t hb = hapsetSegmentContaining(hapset, ReferenceLocation(hapset));
    return allLocations(hapset, [&](int32_t location) {
        const int32_t k = hapsetSegmentContaining(hapset, location);
        if (k == -1) {
            return true;
        }
        const int64_t t = (k - hb) + s;
        if (t < 0) {
            return !(t + n == s || t + n < 0);
        }
        if (t > n - 1) {
            return !(t - n == s || t - n > n - 1);
        }
        return true;
    });
}

void RemapToTactor(Hapset& hapset, const Controller& controller, int32_t tactor) {
    if (tactor == NO_REMAP) {
        return;
    }
    const int32_t n = controller.segmentCount();
    const int64_t d =
        int64_t{hapsetSegmentContaining(hapset, tactor)} - hapsetSegmentContaining(hapset, 1);
    forEachLocation(hapset, [&](int32_t& location) {
        if (location == 0) {
            return;
        }
        const int32_t t =
            segmentIndex(singleWrap(d + controllerSegmentContaining(controller, location), n));
        const int64_t size = SegmentSize(controller, t);
        // Without a target segment of positive size there is nowhere to wrap into: the
        // location stays where it is.
        if (size <= 0) {
            return;
        }
        const int64_t v = int64_t{location} + tactor - 1;
        location = SaturateToInt(
            wrapInto(v, SegmentStart(controller, t), SegmentEnd(controller, t), size));
    });
}

void RemapToSegment(Hapset& hapset, const Controller& controller, int32_t tactor, int32_t segment) {
    if (tactor == NO_REMAP || segment == NO_REMAP) {
        return;
    }
    const int32_t n = controller.segmentCount();
    const int64_t hb = hapsetSegmentContaining(hapset, ReferenceLocation(hapset));
    forEachLocation(hapset, [&](int32_t& location) {
        const int32_t k = hapsetSegmentContaining(hapset, location);
        if (location == 0 || k == -1) {
            return;
        }
        const int32_t t = segmentIndex(singleWrap((int64_t{segment} - 1) + (k - hb), n));
        const int64_t start = SegmentStart(controller, t);
        const int64_t end = SegmentEnd(controller, t);
        const int64_t size = SegmentSize(controller, t);
        int64_t base = start + tactor - 1;
        if (base > end) {
            base -= size;
        } else if (base < 1) {
            base += size;
        }
        int64_t v = int64_t{location} - hapset.segments[k].first + base;
        if (v > end) {
            v -= size;
        } else if (v < 1) {
            v += size;
        }
        location = SaturateToInt(v);
    });
}
