#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

#include "MMTimer.h"
#include "StdoutCapture.h"
#include "Timer.h"

namespace {

// True when text holds "HH:MM:SS.uuuuuu" at pos, a plausible time of day.
bool IsTimeOfDay(const std::string& text, size_t pos = 0) {
    const std::string shape = "dd:dd:dd.dddddd";
    if (text.size() < pos + shape.size())
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        char c = text[pos + i];
        if (shape[i] == 'd' ? !isdigit(static_cast<unsigned char>(c)) : c != shape[i])
            return false;
    }
    return std::stoi(text.substr(pos, 2)) < 24 && std::stoi(text.substr(pos + 3, 2)) < 60;
}

// True when text starts with the "[time]\t" stamp of the time-stamped print.
bool StartsWithStamp(const std::string& text) {
    return text.size() >= 18 && text[0] == '[' && IsTimeOfDay(text, 1) && text[16] == ']' &&
           text[17] == '\t';
}

TEST(MMTimer, ZeroDelayReturnsAtOnce) {
    MMTimer timer;
    EXPECT_EQ(timer.ChangeDelay(0), 0);
    EXPECT_EQ(timer.Sleep(), 0);
}

TEST(MMTimer, SleepsAtLeastItsDelay) {
    MMTimer timer;
    EXPECT_TRUE(timer.GetCanUseHiresTimer()) << "Linux clocks resolve far below 1 ms";
    EXPECT_EQ(timer.ChangeDelay(1), 0) << "the current delay changes nothing";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(timer.Sleep(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1));

    ASSERT_EQ(timer.ChangeDelay(20), 0);
    MMTimer copy(timer);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(copy.Sleep(), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST(Timer, ElapsedTimeGrowsAndResets) {
    utl::Timer timer;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    float elapsed = timer.getElapsedTime();
    EXPECT_GE(elapsed, 0.02f);
    timer.reset();
    EXPECT_LT(timer.getElapsedTime(), elapsed);
}

TEST(Timer, MakeTimeFormat) {
    char text[64];
    int n = utl::Timer::makeTime(text, sizeof text);
    ASSERT_EQ(n, 15);
    EXPECT_TRUE(IsTimeOfDay(text)) << text;
    char small[15];
    EXPECT_EQ(utl::Timer::makeTime(small, sizeof small), -1) << "no room for the terminator";
}

TEST(Timer, PrintfTimeStampsAndCutsLongMessages) {
    std::string longMessage(6000, 'x');
    StdoutCapture capture;
    int shortResult = utl::Timer::printfTime("hello %d\n", 42);
    utl::Timer::printfTime("%s", longMessage.c_str());
    std::string out = capture.Finish();

    ASSERT_TRUE(StartsWithStamp(out)) << out;
    EXPECT_EQ(out.substr(18, 9), "hello 42\n");
    EXPECT_EQ(shortResult, 27);
    std::string second = out.substr(27);
    ASSERT_TRUE(StartsWithStamp(second));
    EXPECT_EQ(second.size(), 18u + 5119u) << "the message is cut to 5119 characters";
}

TEST(Timer, FormattingIntoBuffers) {
    char dest[64];
    int n = utl::Timer::snprintfTime(dest, sizeof dest, "%s", "abc");
    EXPECT_EQ(n, 21);
    EXPECT_TRUE(StartsWithStamp(dest));
    EXPECT_STREQ(dest + 18, "abc");
    EXPECT_EQ(utl::Timer::snprintfTime(dest, 10, "%s", "abc"), -1);

    char big[8192];
    std::string message(6000, 'y');
    EXPECT_EQ(utl::Timer::sprintfTime(big, "%s", message.c_str()), 18 + 6000);
}

TEST(FrequencyCounter, SampleCountLimits) {
    EXPECT_THROW(utl::FrequencyCounter(61), std::exception);
    EXPECT_NO_THROW(utl::FrequencyCounter(60));
    try {
        utl::FrequencyCounter counter(-1);
        FAIL() << "a negative count must throw";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(),
                     "max_sample_count may not be a negative number and can be no larger than 60!");
    }
}

TEST(FrequencyCounter, OneSamplePerFinishedSecond) {
    utl::FrequencyCounter fresh(4);
    EXPECT_STREQ(fresh.ToString(), "0Hz");
    EXPECT_EQ(fresh.GetTicksLastSecond(), 0u);

    utl::FrequencyCounter counter(2, "fps");
    for (int i = 0; i < 5; ++i)
        counter.Tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_FLOAT_EQ(counter.GetFrequency(), 5.0f);
    EXPECT_EQ(counter.GetTicksLastSecond(), 5u);
    EXPECT_STREQ(counter.ToString(), "5.0fps");

    counter.Reset();
    EXPECT_FLOAT_EQ(counter.GetFrequency(), 0.0f);
    EXPECT_EQ(counter.GetTicksLastSecond(), 0u);
}

TEST(FrequencyCounter, NoRoomForSamplesKeepsRateZero) {
    utl::FrequencyCounter counter(0);
    counter.Tick(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_FLOAT_EQ(counter.GetFrequency(), 0.0f);
    EXPECT_EQ(counter.GetTicksLastSecond(), 0u);
    EXPECT_STREQ(counter.ToString(), "0Hz");
}

TEST(FrequencyCounter, LongUnitsAreCut) {
    std::string units(40, 'u');
    utl::FrequencyCounter counter(1, units.c_str());
    EXPECT_EQ(std::string(counter.ToString()), "0" + std::string(31, 'u'));
}

}  // namespace
