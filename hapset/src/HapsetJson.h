// The Hapset's JSON document: the form in which Hapsets are stored in the database.
#ifndef HAPSET_HAPSET_JSON_H
#define HAPSET_HAPSET_JSON_H

#include <cjson/cJSON.h>

#include <string>

#include "Hapset.h"

// Fills hapset from a parsed document. Keys match without regard to letter case, numbers are
// read through their integer view where the field is an integer, "id" keeps its first 36
// characters and a name over 63 characters is cut. A document that lacks a key, holds a member
// of the wrong type, an "id" shorter than 36 characters or a "segmentList" element with fewer
// than two numbers is rejected: the answer is false and hapset is left as it was.
bool HapsetFromJson(Hapset& hapset, const cJSON* document);

// Parses text and fills hapset from it; false when the text does not parse or the document
// is rejected (hapset then unchanged).
bool HapsetFromJsonText(Hapset& hapset, const char* text);

// The formatted document of hapset, members in their fixed order. Empty only when memory ran
// out while building it.
std::string HapsetToJson(const Hapset& hapset);

#endif
