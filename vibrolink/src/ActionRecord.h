// Making and releasing Action records that travel into a Device's outgoing list.
//
// A device releases every record it takes (after framing it, or when its list is cleared) with
// ReleaseAction: free() on the payload buffer, then free() on the record. Records handed to a
// device must therefore come from the general-purpose heap, as AllocateAction makes them.
#pragma once

#include <cstdint>

#include "Action.h"

// A zeroed record with the given time factor, or nullptr when memory ran out.
Action* AllocateAction(uint32_t timeFactor);

// Releases the record's payload buffer and the record. Accepts nullptr.
void ReleaseAction(Action* action);
