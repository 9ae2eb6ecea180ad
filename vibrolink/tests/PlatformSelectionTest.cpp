#include <gtest/gtest.h>

#include <thread>

#include "DrovoErrorCodes.h"
#include "PlatformInterface.h"
#include "ScriptedPlatform.h"
#include "StdoutCapture.h"
#include "TraceText.h"

namespace {

// Installs scripted platforms for the serial and USB types for one test.
class PlatformSelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previousSerial = InstallPlatformForTesting(PLATFORM_TYPE_SERIAL, &m_serial);
        m_previousUsb = InstallPlatformForTesting(PLATFORM_TYPE_USB, &m_usb);
    }
    void TearDown() override {
        InstallPlatformForTesting(PLATFORM_TYPE_SERIAL, m_previousSerial);
        InstallPlatformForTesting(PLATFORM_TYPE_USB, m_previousUsb);
    }

    ScriptedPlatform m_serial;
    ScriptedPlatform m_usb;
    PlatformInterface* m_previousSerial = nullptr;
    PlatformInterface* m_previousUsb = nullptr;
};

TEST_F(PlatformSelectionTest, UnsupportedTypesPrintTheirLineAndGiveNothing) {
    for (int32_t type : {4, 8, 16, 0, 3, -1}) {
        StdoutCapture capture;
        EXPECT_EQ(GetPlatformInterface(type), nullptr) << type;
        EXPECT_EQ(WithoutTimeStamps(capture.Finish()),
                  "[time]\t[PI] Error finding platform interface for type " + std::to_string(type) +
                      ". That type is unsupported on this platform.\n");
    }
}

TEST_F(PlatformSelectionTest, EveryCallerGetsTheSameObjectForAType) {
    PlatformInterface* seen[4] = {};
    std::thread threads[4];
    for (int i = 0; i < 4; ++i) {
        threads[i] = std::thread([&seen, i] { seen[i] = GetPlatformInterface(PLATFORM_TYPE_USB); });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (PlatformInterface* platform : seen)
        EXPECT_EQ(platform, &m_usb);
    EXPECT_EQ(GetPlatformInterface(PLATFORM_TYPE_SERIAL), &m_serial);
}

TEST_F(PlatformSelectionTest, InitializeGoesOnPastAFailedPlatform) {
    m_serial.SetInitResult(-1, DROVO_INTERNAL_ERROR);
    StdoutCapture capture;
    EXPECT_EQ(InitializePlatforms(), -1);
    std::string output = capture.Finish();
    EXPECT_EQ(WithoutTimeStamps(output), "[time]\t[PI] Error initializing platform 1: 202003");
    EXPECT_EQ(m_serial.InitCount(), 1);
    EXPECT_EQ(m_usb.InitCount(), 1);
}

TEST_F(PlatformSelectionTest, InitializeSucceedsQuietlyWhenEveryPlatformDoes) {
    StdoutCapture capture;
    EXPECT_EQ(InitializePlatforms(), 0);
    EXPECT_EQ(capture.Finish(), "");
}

}  // namespace
