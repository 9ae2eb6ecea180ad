// Shared pieces of the tests that drive the kit through its exported functions only.
#pragma once

#include <gtest/gtest.h>

#include "StdoutCapture.h"
#include "Vibrolink.h"

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
