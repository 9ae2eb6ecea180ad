// Placing a Hapset on a controller: checks that its segments fit the controller's and moves
// its tactor locations so that the pattern starts at a chosen tactor or segment, wrapping
// within the controller's segments. Callers hold the registry lock for the controller.
#ifndef HAPSET_PLACEMENT_H
#define HAPSET_PLACEMENT_H

#include "Controller.h"
#include "Hapset.h"

// Whether the Hapset's tactor 1 can land on the controller tactor.
bool CanMapToTactor(const Hapset& hapset, const Controller& controller, int32_t tactor);

// Whether the Hapset's reference segment can land on the 1-based controller segment.
bool CanMapToSegment(const Hapset& hapset, const Controller& controller, int32_t segment);

// Moves every non-zero location so that the Hapset's tactor 1 lands on tactor. NO_REMAP
// leaves the Hapset alone.
void RemapToTactor(Hapset& hapset, const Controller& controller, int32_t tactor);

// Moves every non-zero location inside a Hapset segment so that the reference segment lands
// on the 1-based controller segment, starting at position tactor inside it. NO_REMAP for
// either leaves the Hapset alone.
void RemapToSegment(Hapset& hapset, const Controller& controller, int32_t tactor, int32_t segment);

// The first location of the first pulse action that has locations, or -1.
int32_t ReferenceLocation(const Hapset& hapset);

#endif
