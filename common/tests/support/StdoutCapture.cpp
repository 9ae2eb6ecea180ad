#include "StdoutCapture.h"

#include <unistd.h>

#include <cstdlib>

StdoutCapture::StdoutCapture() {
    fflush(stdout);
    m_file = tmpfile();
    if (!m_file)
        std::abort();
    m_savedFd = dup(STDOUT_FILENO);
    dup2(fileno(m_file), STDOUT_FILENO);
}

StdoutCapture::~StdoutCapture() {
    Restore();
    fclose(m_file);
}

std::string StdoutCapture::Text() {
    fflush(stdout);
    std::string text;
    char chunk[4096];
    ssize_t size = 0;
    while ((size = pread(fileno(m_file), chunk, sizeof chunk, static_cast<off_t>(text.size()))) >
           0) {
        text.append(chunk, static_cast<size_t>(size));
    }
    return text;
}

std::vector<std::string> StdoutCapture::Lines() {
    std::vector<std::string> lines;
    std::string text = Text();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(StripStamp(text.substr(start, end - start)));
        start = end;
    }
    return lines;
}

std::string StdoutCapture::Finish() {
    Restore();
    return Text();
}

std::vector<std::string> StdoutCapture::FinishLines() {
    Restore();
    return Lines();
}

std::string StdoutCapture::StripStamp(const std::string& line) {
    if (line.size() > 18 && line[0] == '[' && line[16] == ']' && line[17] == '\t') {
        return line.substr(18);
    }
    return line;
}

void StdoutCapture::Restore() {
    if (m_savedFd < 0)
        return;
    fflush(stdout);
    dup2(m_savedFd, STDOUT_FILENO);
    close(m_savedFd);
    m_savedFd = -1;
}
