// Rewrites the parts of the device library's console lines that change from run to run, so
// that tests can compare the rest exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Rewrites the running number and the seconds of every packet trace line to "#", so that
// "[TI:D] 17,0.001234,NAK,2:C4:" reads "[TI:D] #,NAK,2:C4:" and can be compared exactly.
std::string NormalizeTraces(const std::string& text);

// Rewrites the stamp "[HH:MM:SS.uuuuuu]\t" of the time-stamped print to "[time]\t".
std::string WithoutTimeStamps(const std::string& text);

// A packet trace line as NormalizeTraces leaves it: "[TI:D] #,label," and each byte in
// upper-case hex followed by ':'.
std::string TraceLine(const std::string& label, const std::vector<uint8_t>& bytes = {});
