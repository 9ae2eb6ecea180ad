// Captures what the process writes to standard output (file descriptor 1) while it lives.
#pragma once

#include <string>

class StdoutCapture {
  public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Stops capturing and returns everything written since construction.
    std::string Finish();

  private:
    int m_savedFd = -1;
    int m_captureFd = -1;
};

// Rewrites the running number and the seconds of every packet trace line to "#", so that
// "[TI:D] 17,0.001234,NAK,2:C4:" reads "[TI:D] #,NAK,2:C4:" and can be compared exactly.
std::string NormalizeTraces(const std::string& text);
