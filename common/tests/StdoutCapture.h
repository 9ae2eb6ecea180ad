// Captures everything written to file descriptor 1 while the object lives, for tests that
// compare the kit's console lines exactly.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

class StdoutCapture {
  public:
    StdoutCapture() {
        fflush(stdout);
        file_ = tmpfile();
        saved_ = dup(1);
        dup2(fileno(file_), 1);
    }
    ~StdoutCapture() {
        Restore();
        fclose(file_);
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Everything written so far, exactly as written.
    std::string Text() {
        fflush(stdout);
        std::string text;
        char chunk[4096];
        long size = 0;
        while ((size = pread(fileno(file_), chunk, sizeof chunk, static_cast<off_t>(text.size()))) >
               0) {
            text.append(chunk, static_cast<size_t>(size));
        }
        return text;
    }

    // The lines written so far with their "[HH:MM:SS.uuuuuu]\t" time stamps removed; a line
    // keeps its line end.
    std::vector<std::string> Lines() {
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

    // The lines so far, with standard output given back so that test failures show again.
    std::vector<std::string> Finish() {
        std::vector<std::string> lines = Lines();
        Restore();
        return lines;
    }

    static std::string StripStamp(const std::string& line) {
        if (line.size() > 18 && line[0] == '[' && line[16] == ']' && line[17] == '\t') {
            return line.substr(18);
        }
        return line;
    }

    void Restore() {
        if (saved_ < 0)
            return;
        fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        saved_ = -1;
    }

  private:
    FILE* file_;
    int saved_;
};
