// Turning a placed Hapset into command Actions: scaling, one Action per action and location,
// the output list and the Hapset's duration.
#ifndef HAPSET_PLAYBACK_H
#define HAPSET_PLAYBACK_H

#include "Hapset.h"

// Scales the start time, and by type the pulse or ramp length, gain or frequency, clamping
// each to the range its encoder accepts. An action without the data values its type needs
// only has its start time scaled.
void ScaleAction(TimedAction& action, float gainScale, float frequencyScale, float timeScale);

// A new malloc'ed Action for the action at one location. An action the encoder refuses, of an
// unknown type or without the data values its type needs stays blank apart from timeFactor.
// NULL only when memory runs out.
Action* MakeAction(const TimedAction& action, int32_t location, int32_t timeFactor);

// Frees the Action's payload and then the record.
void FreeAction(Action* action);

// Replaces output's Actions by those of hapset and answers their number, or -1 with the
// state's last error 402006 (no Hapset or no output), 402010 (over 1000 actions) or 402018 (out of
// memory); the output is then as it was.
int32_t BuildOutput(HapsetManagerState* state, const Hapset* hapset, HapsetOutput* output);

// The end of the Hapset's last-ending action in milliseconds, or -1 without actions.
int32_t HapsetDuration(const Hapset& hapset);

#endif
