// The in-memory Hapset: a named tactile pattern of timed actions aimed at tactor locations,
// with the segment layout it was written for.
#ifndef HAPSET_HAPSET_H
#define HAPSET_HAPSET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "HapsetManager.h"

// Inclusive range of tactor numbers.
struct Segment {
    int32_t first = 0;
    int32_t last = 0;
};

// Action types and the command each becomes when played.
enum ActionType : int32_t {
    ACTION_PULSE = 0,
    ACTION_GAIN = 1,
    ACTION_FREQUENCY = 2,
    ACTION_RAMP = 3,
};

struct TimedAction {
    int32_t startTime = 0;  // in units of the Hapset's time factor
    std::vector<double> data;
    std::vector<int32_t> tactorLocations;  // 1-based; 0 means no tactor
    int32_t actionType = 0;

    // True when data holds every value the action's type reads; an action with fewer values
    // is neither scaled nor turned into a command.
    bool hasDataForType() const;
};

struct Hapset {
    static constexpr size_t kNameSize = 64;
    static constexpr size_t kIdSize = HAPSET_ID_LENGTH + 1;

    int32_t timeFactor = 0;
    char id[kIdSize];
    char name[kNameSize];
    std::vector<TimedAction> actions;
    std::vector<Segment> segments;

    // A new Hapset with the zero identifier and the name, cut to 63 characters.
    explicit Hapset(const char* hapsetName);

    void setName(const char* hapsetName);
    // Copies the first 36 characters of text (fewer when it is shorter) and terminates them.
    void setId(const char* text);
};

// An identifier as given by a caller: its first 36 characters at most, so that the
// unterminated 36-byte buffer TM_GetHapset fills can be passed back. Empty for NULL.
std::string IdentifierText(const char* id);

// Fills id (37 bytes) with a fresh random identifier in lower-case 8-4-4-4-12 form.
void GenerateHapsetId(char* id);

// Exact comparison of every field; data values compare as doubles, so 0.0 equals -0.0 and a
// NaN equals nothing.
bool HapsetsEqual(const Hapset& a, const Hapset& b);

// Builds a Hapset with a fresh identifier from the flat-array form. A NULL array is read as
// holding nothing.
Hapset HapsetFromArrays(const char* name, const HapsetArrays& arrays);

// Writes the Hapset in flat-array form and its 36 identifier characters (no terminator).
// The arrays must be as large as TM_GetHapsetArraySizes tells.
void HapsetToArrays(const Hapset& hapset, char* idBuffer, int32_t* header, int32_t* segments,
                    int32_t* actionHeaders, double* data, int32_t* locations);

#endif
