// Shared pieces of the tests that drive the kit through its exported functions only.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Vibrolink.h"

// Sends everything written to standard output (file descriptor 1) into a temporary file until
// Take or destruction, so a test can compare the kit's log lines exactly.
class StdoutCapture {
  public:
    StdoutCapture() {
        std::fflush(stdout);
        m_File = std::tmpfile();
        m_Saved = dup(1);
        dup2(fileno(m_File), 1);
    }
    ~StdoutCapture() { Restore(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Everything written so far; ends the capture.
    std::string Take() {
        Restore();
        std::string text;
        std::rewind(m_File);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_File)) > 0)
            text.append(buffer, n);
        return text;
    }

  private:
    void Restore() {
        if (m_Saved < 0)
            return;
        std::fflush(stdout);
        dup2(m_Saved, 1);
        close(m_Saved);
        m_Saved = -1;
    }

    std::FILE* m_File = nullptr;
    int m_Saved = -1;
};

// Every test starts from an initialised kit with no device and no error, and leaves it so.
class KitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(InitializeTI(), 0);
        SetLastDrovoError(0);
    }
    void TearDown() override {
        CloseAll();
        ShutdownTI();
        SetLastDrovoError(0);
    }

    // A device without a controller, with the segments 1-4 and 5-8.
    static int32_t AddFalseDevice() { return AddFalseConnectedDevice(0, "\x01\x04\x05\x08", 0); }
};
