#include "TraceText.h"

#include <cctype>
#include <cstdio>

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsSeconds(char c) {
    return IsDigit(c) || c == '.' || c == '-';
}
bool IsClock(char c) {
    return IsDigit(c) || c == ':' || c == '.';
}

// Skips a non-empty run of keep characters and then the character after, which must be end.
// Returns the position behind end, or npos when text does not read so at pos.
size_t SkipRun(const std::string& text, size_t pos, bool (*keep)(char), char end) {
    size_t at = pos;
    while (at < text.size() && keep(text[at]))
        ++at;
    if (at == pos || at >= text.size() || text[at] != end)
        return std::string::npos;
    return at + 1;
}

// Replaces, after every occurrence of open, the part that skip accepts with mark.
template <typename Skip>
std::string ReplaceAfter(const std::string& text, const std::string& open, Skip skip,
                         const std::string& mark) {
    std::string result;
    size_t pos = 0;
    for (size_t at; (at = text.find(open, pos)) != std::string::npos;) {
        size_t start = at + open.size();
        size_t end = skip(text, start);
        result.append(text, pos, start - pos);
        if (end != std::string::npos)
            result += mark;
        pos = end != std::string::npos ? end : start;
    }
    return result + text.substr(pos);
}

}  // namespace

std::string NormalizeTraces(const std::string& text) {
    return ReplaceAfter(
        text, "[TI:D] ",
        [](const std::string& t, size_t pos) {
            size_t seconds = SkipRun(t, pos, IsDigit, ',');
            return seconds == std::string::npos ? seconds : SkipRun(t, seconds, IsSeconds, ',');
        },
        "#,");
}

std::string WithoutTimeStamps(const std::string& text) {
    return ReplaceAfter(
        text, "[",
        [](const std::string& t, size_t pos) {
            size_t end = SkipRun(t, pos, IsClock, ']');
            return end != std::string::npos && end < t.size() && t[end] == '\t' ? end + 1
                                                                                : std::string::npos;
        },
        "time]\t");
}

std::string TraceLine(const std::string& label, const std::vector<uint8_t>& bytes) {
    std::string line = "[TI:D] #," + label + ",";
    char hex[4];
    for (uint8_t byte : bytes) {
        std::snprintf(hex, sizeof(hex), "%X:", byte);
        line += hex;
    }
    return line + "\n";
}
