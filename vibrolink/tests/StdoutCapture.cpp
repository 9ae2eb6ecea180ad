#include "StdoutCapture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

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

std::string NormalizeTraces(const std::string& text) {
    static const std::regex trace(R"(\[TI:D\] \d+,-?[0-9.]+,)");
    return std::regex_replace(text, trace, "[TI:D] #,");
}
