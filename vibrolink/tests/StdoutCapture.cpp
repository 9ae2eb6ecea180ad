#include "StdoutCapture.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

StdoutCapture::StdoutCapture() {
    std::fflush(stdout);
    char path[] = "/tmp/vibrolink-stdout-XXXXXX";
    m_captureFd = mkstemp(path);
    if (m_captureFd < 0)
        std::abort();
    unlink(path);
    m_savedFd = dup(STDOUT_FILENO);
    dup2(m_captureFd, STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture() {
    Finish();
}

std::string StdoutCapture::Finish() {
    if (m_savedFd < 0)
        return {};
    std::fflush(stdout);
    dup2(m_savedFd, STDOUT_FILENO);
    close(m_savedFd);
    m_savedFd = -1;
    std::string text;
    char chunk[4096];
    lseek(m_captureFd, 0, SEEK_SET);
    for (ssize_t n; (n = read(m_captureFd, chunk, sizeof(chunk))) > 0;)
        text.append(chunk, n);
    close(m_captureFd);
    m_captureFd = -1;
    return text;
}

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
