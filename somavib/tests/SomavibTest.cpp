#include <gtest/gtest.h>

#include <string>

#include "PtyBoard.h"
#include "Somavib.h"
#include "TestSupport.h"

namespace {

TEST(SomavibFrontEnd, TypeNamesAreIndexedByTypeNumber) {
    const char* expected[] = {"SOMAVIB_TYPE_NONE", "SOMAVIB_TYPE_DROVO", "SOMAVIB_TYPE_PIEZO",
                              "SOMAVIB_TYPE_ERM", "SOMAVIB_TYPE_EMS"};
    for (int type = 0; type < 5; ++type) {
        EXPECT_STREQ(Somavib_Type_Names[type], expected[type]);
    }
}

TEST(SomavibFrontEnd, TypesWithoutAHubAcceptEveryCallAndDoNothing) {
    for (int32_t type : {0, 5, 7, -1}) {
        SCOPED_TRACE(type);
        Somavib* front = Somavib_new();
        EXPECT_EQ(front->initialized, 0);
        std::string lines = captureStderr([&] { Somavib_init(front, type, "/nonexistent", 8); });
        EXPECT_EQ(lines, "Somavib_init(): actuator type = " + std::to_string(type) + "\n");
        EXPECT_EQ(front->initialized, 1);
        EXPECT_EQ(front->type, type);
        EXPECT_EQ(front->actuatorCount, 8);
        EXPECT_EQ(front->arduinoHub, nullptr);
        EXPECT_EQ(front->drovoHub, nullptr);
        lines = captureStderr([&] {
            Somavib_actuate(front, 0, 0.5, 100);
            Somavib_startActuation(front, 0, 0.5);
            Somavib_stopActuation(front, 0);
            Somavib_setFrequency(front, 0, 100);
            Somavib_setIntensityRange(front, 0, 0.1, 0.9);
        });
        EXPECT_EQ(lines, "");
        Somavib_clear(front);
        EXPECT_EQ(front->initialized, 0);
        Somavib_delete(front);
    }
}

// Each body-actuator type reaches the board with the type code that gives its intensity
// scaling; only piezo actuators take a frequency.
TEST(SomavibFrontEnd, ArduinoTypesForwardToAHubWithTheirTypeCode) {
    struct Case {
        int32_t type;
        int32_t typeCode;
        uint16_t frequencyAfterSet;
    };
    const Case cases[] = {
        {SOMAVIB_TYPE_PIEZO, 'P', 200},
        {SOMAVIB_TYPE_ERM, 'M', 32},
        {SOMAVIB_TYPE_EMS, 'E', 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        PtyBoard board;
        Somavib* front = Somavib_new();
        std::string lines =
            captureStderr([&] { Somavib_init(front, c.type, board.portName(), 4); });
        EXPECT_EQ(lines, "Somavib_init(): actuator type = " + std::to_string(c.type) + "\n");
        ASSERT_NE(front->arduinoHub, nullptr);
        EXPECT_EQ(front->drovoHub, nullptr);
        ArduinoHub* hub = front->arduinoHub;
        EXPECT_EQ(hub->typeCode, c.typeCode);
        EXPECT_EQ(hub->actuatorCount, 4);

        Somavib_setFrequency(front, 3, 200);
        EXPECT_EQ(Actuator_getFrequency(&hub->actuators[3]), c.frequencyAfterSet);
        Somavib_setIntensityRange(front, 1, 0.2, 0.6);
        Somavib_startActuation(front, 1, 0.5);
        EXPECT_EQ(Actuator_getState(&hub->actuators[1]), ACTUATOR_STATE_CONTINUOUS);
        EXPECT_NEAR(Actuator_getIntensity(&hub->actuators[1]), 0.4, 1e-12);
        Somavib_stopActuation(front, 1);
        EXPECT_EQ(Actuator_getState(&hub->actuators[1]), ACTUATOR_STATE_STOP);
        Somavib_actuate(front, 2, 0.5, 60000);
        EXPECT_EQ(Actuator_getState(&hub->actuators[2]), ACTUATOR_STATE_ONCE);
        Somavib_actuate(front, 2, 0.0, 60000);
        EXPECT_EQ(Actuator_getState(&hub->actuators[2]), ACTUATOR_STATE_STOP);
        EXPECT_EQ(captureStderr([&] { Somavib_stopActuation(front, 4); }),
                  "[ArduinoHub] Tactor out of range [0, 7]: 4\n");

        Somavib_clear(front);
        EXPECT_EQ(front->initialized, 0);
        EXPECT_EQ(front->arduinoHub, nullptr);
        Somavib_delete(front);
    }
}

TEST(SomavibFrontEnd, SecondInitIsRefusedAndKeepsTheRunningHub) {
    PtyBoard board;
    Somavib* front = Somavib_new();
    captureStderr([&] { Somavib_init(front, SOMAVIB_TYPE_PIEZO, board.portName(), 2); });
    ArduinoHub* hub = front->arduinoHub;
    EXPECT_EQ(captureStderr([&] { Somavib_init(front, SOMAVIB_TYPE_ERM, "/nonexistent", 5); }),
              "Somavib_init(): already initialized with actuator type = 2\n");
    EXPECT_EQ(front->arduinoHub, hub);
    EXPECT_EQ(front->type, SOMAVIB_TYPE_PIEZO);
    EXPECT_EQ(front->actuatorCount, 2);
    // Deleting a front end that was not cleared stops its hub first: with both actuators
    // running, stop messages at the end of the stream can only come from the hub's last act.
    Somavib_startActuation(front, 0, 1.0);
    Somavib_startActuation(front, 1, 1.0);
    board.reset();
    ASSERT_TRUE(PollUntil([&] { return board.messages().size() >= 2; }));
    Somavib_delete(front);
    const std::vector<Bytes> finalStops = {{0x00, 'X', 'P', 1}, {0x00, 'X', 'P', 2}};
    EXPECT_TRUE(PollUntil([&] {
        std::vector<Bytes> messages = board.messages();
        return messages.size() >= 2 &&
               std::vector<Bytes>(messages.end() - 2, messages.end()) == finalStops;
    }));
}

TEST(SomavibFrontEndDeathTest, MissingBoardEndsTheProcessFromInit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Somavib* front = Somavib_new();
    EXPECT_EXIT(Somavib_init(front, SOMAVIB_TYPE_EMS, "/nonexistent/ttyUSB7", 8),
                ::testing::ExitedWithCode(1),
                "^\\[Serial\\] Error in opening serial port /nonexistent/ttyUSB7\n$");
    Somavib_delete(front);
}

}  // namespace
