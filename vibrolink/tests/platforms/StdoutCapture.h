// Collects what the code under test writes to standard output, file descriptor 1 included.
#pragma once

#include <stdio.h>
#include <unistd.h>

#include <string>

class StdoutCapture {
  public:
    StdoutCapture() {
        fflush(stdout);
        m_file = tmpfile();
        m_saved = dup(1);
        dup2(fileno(m_file), 1);
    }
    ~StdoutCapture() {
        Stop();
        fclose(m_file);
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Restores standard output and returns everything written since construction.
    std::string Stop() {
        if (m_saved >= 0) {
            fflush(stdout);
            dup2(m_saved, 1);
            close(m_saved);
            m_saved = -1;
        }
        std::string text;
        rewind(m_file);
        char chunk[4096];
        size_t got = 0;
        while ((got = fread(chunk, 1, sizeof chunk, m_file)) > 0)
            text.append(chunk, got);
        return text;
    }

  private:
    FILE* m_file = nullptr;
    int m_saved = -1;
};
