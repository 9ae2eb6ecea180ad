// Captures everything written to file descriptor 1 while the object lives, for tests that
// compare the kit's console lines exactly.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class StdoutCapture {
  public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Everything written so far, exactly as written; capturing goes on.
    std::string Text();

    // The lines written so far with their "[HH:MM:SS.uuuuuu]\t" time stamps removed; a line
    // keeps its line end.
    std::vector<std::string> Lines();

    // Gives standard output back, so that test failures show again, and returns everything
    // written while capturing.
    std::string Finish();

    // As Finish, split into lines as Lines does.
    std::vector<std::string> FinishLines();

    static std::string StripStamp(const std::string& line);

  private:
    void Restore();

    FILE* m_file;
    int m_savedFd;
};
