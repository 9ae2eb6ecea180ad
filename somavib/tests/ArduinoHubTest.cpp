#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "PtyBoard.h"
#include "Somavib.h"
#include "TestSupport.h"

namespace {

Bytes startMessage(uint8_t code, uint8_t number, uint8_t intensity, uint8_t frequency) {
    return {0x00, 'A', code, number, intensity, frequency};
}
Bytes stopMessage(uint8_t code, uint8_t number) {
    return {0x00, 'X', code, number};
}

size_t countOf(const std::vector<Bytes>& messages, const Bytes& wanted) {
    size_t n = 0;
    for (const Bytes& m : messages) {
        n += m == wanted;
    }
    return n;
}

// Messages addressed to actuator number (1-based) from the first one equal to first onwards.
std::vector<Bytes> fromFirst(const std::vector<Bytes>& messages, const Bytes& first) {
    std::vector<Bytes> tail;
    bool seen = false;
    for (const Bytes& m : messages) {
        seen = seen || m == first;
        if (seen && m.size() >= 4 && m[3] == first[3]) {
            tail.push_back(m);
        }
    }
    return tail;
}

class ArduinoHubTest : public ::testing::Test {
  protected:
    void start(int32_t typeCode, uint8_t count) {
        hub = ArduinoHub_new();
        ArduinoHub_init(hub, board.portName(), typeCode, count);
    }
    void TearDown() override { ArduinoHub_delete(hub); }

    // Waits until the board has seen at least n copies of message after clearing what came
    // before, so earlier cycles cannot satisfy the wait.
    bool receivedAfterReset(const Bytes& message, size_t n) {
        board.reset();
        return PollUntil([&] { return countOf(board.messages(), message) >= n; });
    }

    PtyBoard board;
    ArduinoHub* hub = nullptr;
};

TEST_F(ArduinoHubTest, ContinuousActuatorGetsTheSameStartMessageEveryCycle) {
    start(ARDUINO_HUB_TYPE_PIEZO, 1);
    ArduinoHub_startVibration(hub, 0, 1.0);
    const Bytes expected = startMessage(0x50, 1, 0xFF, 0x20);
    ASSERT_TRUE(receivedAfterReset(expected, 5));
    std::vector<Bytes> tail = fromFirst(board.messages(), expected);
    ASSERT_GE(tail.size(), 5u);
    for (const Bytes& m : tail) {
        EXPECT_EQ(m, expected);
    }
}

TEST_F(ArduinoHubTest, IntensityByteFollowsTheTypeCode) {
    struct Case {
        int32_t typeCode;
        double intensity;
        uint8_t expected;
    };
    const Case cases[] = {
        {ARDUINO_HUB_TYPE_PIEZO, 1.0, 0xFF},  {ARDUINO_HUB_TYPE_EMS, 1.0, 0x7F},
        {ARDUINO_HUB_TYPE_ERM, 0.5, 0x7F},    {ARDUINO_HUB_TYPE_EMS, 0.5, 0x3F},
        {ARDUINO_HUB_TYPE_PIEZO, 0.01, 0x02}, {0x33, 1.0, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typeCode);
        PtyBoard caseBoard;
        ArduinoHub* caseHub = ArduinoHub_new();
        ArduinoHub_init(caseHub, caseBoard.portName(), c.typeCode, 2);
        ArduinoHub_startVibration(caseHub, 1, c.intensity);
        const Bytes expected = startMessage(static_cast<uint8_t>(c.typeCode), 2, c.expected, 32);
        EXPECT_TRUE(PollUntil([&] { return countOf(caseBoard.messages(), expected) >= 2; }));
        ArduinoHub_delete(caseHub);
    }
}

TEST_F(ArduinoHubTest, EveryCycleAddressesAllActuatorsInOrder) {
    start(ARDUINO_HUB_TYPE_ERM, 4);
    ArduinoHub_startVibration(hub, 1, 1.0);
    ArduinoHub_stopVibration(hub, 1);
    ArduinoHub_startVibration(hub, 0, 1.0);
    ASSERT_TRUE(receivedAfterReset(stopMessage(0x4D, 4), 4));
    const std::vector<Bytes> cycle = {startMessage(0x4D, 1, 0xFF, 32), stopMessage(0x4D, 2),
                                      stopMessage(0x4D, 3), stopMessage(0x4D, 4)};
    // Whole cycles, from the first start message onwards.
    std::vector<Bytes> messages = board.messages();
    size_t at = 0;
    while (at < messages.size() && messages[at] != cycle[0]) {
        ++at;
    }
    ASSERT_GE(messages.size() - at, 8u);
    for (size_t i = at; i + cycle.size() <= messages.size(); i += cycle.size()) {
        for (size_t k = 0; k < cycle.size(); ++k) {
            EXPECT_EQ(messages[i + k], cycle[k]) << "message " << i + k;
        }
    }
}

TEST_F(ArduinoHubTest, OnceVibrationEndsWithStopMessagesAndStopsTheActuator) {
    start(ARDUINO_HUB_TYPE_PIEZO, 1);
    board.reset();
    ArduinoHub_vibrate(hub, 0, 1.0, 100);
    const Bytes on = startMessage(0x50, 1, 0xFF, 32);
    const Bytes off = stopMessage(0x50, 1);
    ASSERT_TRUE(PollUntil([&] {
        std::vector<Bytes> tail = fromFirst(board.messages(), on);
        return !tail.empty() && tail.back() == off;
    }));
    EXPECT_TRUE(PollUntil([&] { return Actuator_getState(&hub->actuators[0]) == 0; }));
    // Once over, it stays over.
    ASSERT_TRUE(receivedAfterReset(off, 3));
    EXPECT_EQ(countOf(board.messages(), on), 0u);
}

TEST_F(ArduinoHubTest, FrequencyReachesTheBoardUnchangedInTheNextStartMessage) {
    start(ARDUINO_HUB_TYPE_PIEZO, 1);
    ArduinoHub_startVibration(hub, 0, 1.0);
    // Bytes a terminal would translate or swallow must pass as they are.
    for (uint16_t frequency : {255, 10, 13, 17, 1}) {
        SCOPED_TRACE(frequency);
        ArduinoHub_setFrequency(hub, 0, frequency);
        EXPECT_TRUE(receivedAfterReset(startMessage(0x50, 1, 0xFF, frequency), 2));
        std::vector<Bytes> messages = board.messages();
        EXPECT_TRUE(messages.empty() || messages.back().size() == 6) << "junk on the line";
    }
}

TEST_F(ArduinoHubTest, ClearSendsAFinalStopForEveryActuator) {
    start(ARDUINO_HUB_TYPE_EMS, 3);
    for (uint8_t i = 0; i < 3; ++i) {
        ArduinoHub_startVibration(hub, i, 1.0);
    }
    ASSERT_TRUE(receivedAfterReset(startMessage(0x45, 3, 0x7F, 32), 1));
    ArduinoHub_clear(hub);
    EXPECT_EQ(hub->serial, nullptr);
    EXPECT_EQ(hub->actuators, nullptr);
    const std::vector<Bytes> finalStops = {stopMessage(0x45, 1), stopMessage(0x45, 2),
                                           stopMessage(0x45, 3)};
    // The actuators were all running, so stops at the end of the stream can only be the
    // final ones; the board may still be reading them when clear returns.
    auto lastThree = [&] {
        std::vector<Bytes> messages = board.messages();
        return messages.size() < 3 ? messages
                                   : std::vector<Bytes>(messages.end() - 3, messages.end());
    };
    EXPECT_TRUE(PollUntil([&] { return lastThree() == finalStops; }));
    // A cleared hub refuses further calls instead of touching freed actuators.
    EXPECT_EQ(captureStderr([&] { ArduinoHub_startVibration(hub, 0, 1.0); }),
              "[ArduinoHub] Tactor out of range [0, 7]: 0\n");
}

TEST_F(ArduinoHubTest, BadArgumentsAreReportedAndChangeNothing) {
    start(ARDUINO_HUB_TYPE_PIEZO, 8);
    ArduinoHub_startVibration(hub, 2, 0.6);
    const std::vector<RefusedCall<ArduinoHub>> calls = {
        {[](ArduinoHub* h) { ArduinoHub_vibrate(h, 9, 0.5, 100); },
         "[ArduinoHub] Tactor out of range [0, 7]: 9\n"},
        {[](ArduinoHub* h) { ArduinoHub_startVibration(h, 8, 0.5); },
         "[ArduinoHub] Tactor out of range [0, 7]: 8\n"},
        {[](ArduinoHub* h) { ArduinoHub_stopVibration(h, 200); },
         "[ArduinoHub] Tactor out of range [0, 7]: 200\n"},
        {[](ArduinoHub* h) { ArduinoHub_setFrequency(h, 8, 100); },
         "[ArduinoHub] Tactor out of range [0, 7]: 8\n"},
        {[](ArduinoHub* h) { ArduinoHub_setFrequency(h, 2, 0); },
         "[ArduinoHub] Frequency parameter out of range [1, 255]: 0\n"},
        {[](ArduinoHub* h) { ArduinoHub_setFrequency(h, 2, 256); },
         "[ArduinoHub] Frequency parameter out of range [1, 255]: 256\n"},
        {[](ArduinoHub* h) { ArduinoHub_vibrate(h, 2, 1.5, 100); },
         "[ArduinoHub] ArduinoHub_vibrate(): precondition failed: intensity <= 1\n"},
        {[](ArduinoHub* h) { ArduinoHub_startVibration(h, 2, -0.1); },
         "[ArduinoHub] ArduinoHub_startVibration(): precondition failed: intensity >= 0\n"},
        {[](ArduinoHub* h) { ArduinoHub_startVibration(h, 2, std::nan("")); },
         "[ArduinoHub] ArduinoHub_startVibration(): precondition failed: intensity >= 0\n"},
        {[](ArduinoHub* h) { ArduinoHub_setIntensityRange(h, 8, 0.0, 1.0); },
         "[ArduinoHub] ArduinoHub_setIntensityRange(): precondition failed: "
         "tactor < self->actuatorCount\n"},
        {[](ArduinoHub* h) { ArduinoHub_setIntensityRange(h, 2, -0.1, 1.0); },
         "[ArduinoHub] ArduinoHub_setIntensityRange(): precondition failed: minIntensity >= 0\n"},
        {[](ArduinoHub* h) { ArduinoHub_setIntensityRange(h, 2, 0.0, 1.1); },
         "[ArduinoHub] ArduinoHub_setIntensityRange(): precondition failed: maxIntensity <= 1\n"},
        {[](ArduinoHub* h) { ArduinoHub_setIntensityRange(h, 2, 0.5, 0.5); },
         "[ArduinoHub] ArduinoHub_setIntensityRange(): precondition failed: "
         "minIntensity < maxIntensity\n"},
    };
    expectRefusedAndUnchanged(hub, calls);
}

TEST_F(ArduinoHubTest, GoodArgumentsReachTheActuator) {
    start(ARDUINO_HUB_TYPE_PIEZO, 2);
    std::string lines = captureStderr([&] {
        ArduinoHub_setIntensityRange(hub, 1, 0.2, 0.6);
        ArduinoHub_setFrequency(hub, 1, 255);
        ArduinoHub_vibrate(hub, 1, 0.5, 10000);
    });
    EXPECT_EQ(lines, "");
    EXPECT_NEAR(Actuator_getIntensity(&hub->actuators[1]), 0.4, 1e-12);
    EXPECT_EQ(Actuator_getFrequency(&hub->actuators[1]), 255.0);
    EXPECT_EQ(Actuator_getState(&hub->actuators[1]), ACTUATOR_STATE_ONCE);
    ArduinoHub_vibrate(hub, 1, 0.0, 10000);
    EXPECT_EQ(Actuator_getState(&hub->actuators[1]), ACTUATOR_STATE_STOP);
    ArduinoHub_startVibration(hub, 1, 0.5);
    EXPECT_EQ(Actuator_getState(&hub->actuators[1]), ACTUATOR_STATE_CONTINUOUS);
    ArduinoHub_startVibration(hub, 1, 0.0);
    EXPECT_EQ(Actuator_getState(&hub->actuators[1]), ACTUATOR_STATE_STOP);
}

TEST(SerialTest, FailedWritesAreReportedAndNotRetried) {
    PtyBoard board;
    Serial* serial = Serial_new();
    Serial_init(serial, board.portName());
    const uint8_t message[4] = {0x00, 'X', 0x50, 0x01};
    EXPECT_EQ(captureStderr([&] { Serial_sendMessage(serial, message, 4); }), "");
    EXPECT_EQ(serial->lastWriteOk, 1);
    board.hangUp();
    std::string expected =
        std::string("[Serial] Could not write message to port ") + board.portName() + "\n";
    EXPECT_EQ(captureStderr([&] { Serial_sendMessage(serial, message, 4); }), expected);
    EXPECT_EQ(serial->lastWriteOk, 0);
    Serial_clear(serial);
    EXPECT_EQ(serial->valid, 0);
    EXPECT_EQ(captureStderr([&] { Serial_sendMessage(serial, message, 4); }),
              "[Serial] Serial_sendMessage(): precondition failed: self->valid\n");
    Serial_delete(serial);
}

// Opening hardware that is not there ends the process, as a client of the kit expects.
class SerialDeathTest : public ::testing::Test {
  protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(SerialDeathTest, MissingPortEndsTheProcessWithStatusOne) {
    ArduinoHub* hub = ArduinoHub_new();
    EXPECT_EXIT(ArduinoHub_init(hub, "/nonexistent/ttyACM9", ARDUINO_HUB_TYPE_PIEZO, 8),
                ::testing::ExitedWithCode(1),
                "^\\[Serial\\] Error in opening serial port /nonexistent/ttyACM9\n$");
    ArduinoHub_delete(hub);
}

TEST_F(SerialDeathTest, FileThatIsNotASerialPortEndsTheProcess) {
    Serial* serial = Serial_new();
    EXPECT_EXIT(Serial_init(serial, "/dev/null"), ::testing::ExitedWithCode(1),
                "^\\[Serial\\] Error in getting com state for port /dev/null\n$");
    Serial_delete(serial);
}

TEST_F(SerialDeathTest, PortInUseEndsTheProcess) {
    PtyBoard board;
    Serial* first = Serial_new();
    Serial_init(first, board.portName());
    Serial* second = Serial_new();
    // The death test runs in a fresh process with a pseudo-terminal of its own.
    const char* line = "^\\[Serial\\] Error in opening serial port /dev/pts/[0-9]+\n$";
    EXPECT_EXIT(Serial_init(second, board.portName()), ::testing::ExitedWithCode(1), line);
    Serial_delete(second);
    Serial_delete(first);
}

}  // namespace
