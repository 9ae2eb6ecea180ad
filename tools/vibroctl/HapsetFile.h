// Reading a Hapset kept as a JSON file into the flat arrays the kit's Hapset functions take.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HapsetFile {
    std::string name;
    std::vector<int32_t> header;  // time factor, number of actions, number of segments
    std::vector<int32_t> segments;
    std::vector<int32_t> actionHeaders;
    std::vector<double> data;
    std::vector<int32_t> locations;
};

// Reads path. Returns false, with a reason in error, when the file cannot be read or is not a
// Hapset document (every key of the document is required).
bool ReadHapsetFile(const std::string& path, HapsetFile& out, std::string& error);
