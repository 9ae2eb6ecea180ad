#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

#include "Somavib.h"
#include "SomavibClock.h"

namespace {

int32_t fakeNow = 0;
int32_t fakeClock() {
    return fakeNow;
}

class ActuatorStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeNow = 1000;
        SomavibClock_setSource(fakeClock);
        actuator = Actuator_new();
        Actuator_init(actuator);
    }
    void TearDown() override {
        Actuator_delete(actuator);
        SomavibClock_setSource(nullptr);
    }
    Actuator* actuator = nullptr;
};

struct StateCase {
    const char* name;
    std::function<void(Actuator*)> setUp;
    int32_t laterMs;  // how far the clock moves after setUp
    int32_t state;
    bool active;
    double output;
};

TEST_F(ActuatorStateTest, StateActivityAndOutputFollowTheRequests) {
    const StateCase cases[] = {
        {"once, at its start", [](Actuator* a) { Actuator_setStateOnce(a, 0.5, 100); }, 0, 1, true,
         0.5},
        {"once, at its end time", [](Actuator* a) { Actuator_setStateOnce(a, 0.5, 100); }, 100, 1,
         true, 0.5},
        {"once, past its end time", [](Actuator* a) { Actuator_setStateOnce(a, 0.5, 100); }, 101, 1,
         false, 0.5},
        {"once with a negative duration", [](Actuator* a) { Actuator_setStateOnce(a, 0.5, -5); }, 0,
         1, false, 0.5},
        {"once with intensity 0 stops a once",
         [](Actuator* a) {
             Actuator_setStateOnce(a, 0.5, 100);
             Actuator_setStateOnce(a, 0.0, 100);
         },
         0, 0, false, 0.5},
        {"continuous with intensity 0 stops a continuous",
         [](Actuator* a) {
             Actuator_setStateContinuous(a, 0.7);
             Actuator_setStateContinuous(a, 0.0);
         },
         0, 0, false, 0.7},
        {"continuous ignores the clock", [](Actuator* a) { Actuator_setStateContinuous(a, 0.7); },
         1000000, 2, true, 0.7},
        {"stop ends a continuous",
         [](Actuator* a) {
             Actuator_setStateContinuous(a, 0.7);
             Actuator_setStateStop(a);
         },
         0, 0, false, 0.7},
        {"a new once replaces a continuous",
         [](Actuator* a) {
             Actuator_setStateContinuous(a, 0.8);
             Actuator_setStateOnce(a, 0.3, 50);
         },
         60, 1, false, 0.3},
        {"output inside the range 0.2 to 0.6",
         [](Actuator* a) {
             Actuator_setIntensityRange(a, 0.2, 0.6);
             Actuator_setStateContinuous(a, 0.5);
         },
         0, 2, true, 0.4},
        {"level below the range floor is not active",
         [](Actuator* a) {
             Actuator_setIntensityRange(a, 0.3, 1.0);
             Actuator_setStateContinuous(a, 0.2);
         },
         0, 2, false, 0.3 + 0.7 * 0.2},
        {"level equal to the range floor is not active",
         [](Actuator* a) {
             Actuator_setIntensityRange(a, 0.2, 1.0);
             Actuator_setStateOnce(a, 0.2, 100);
         },
         0, 1, false, 0.2 + 0.8 * 0.2},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        Actuator_init(actuator);
        fakeNow = 1000;
        c.setUp(actuator);
        fakeNow += c.laterMs;
        EXPECT_EQ(Actuator_getState(actuator), c.state);
        EXPECT_EQ(Actuator_isActive(actuator), c.active);
        EXPECT_NEAR(Actuator_getIntensity(actuator), c.output, 1e-12);
    }
}

TEST_F(ActuatorStateTest, OnceVibrationSurvivesTheClockWrapping) {
    fakeNow = INT32_MAX - 10;
    Actuator_setStateOnce(actuator, 0.5, 100);
    fakeNow = INT32_MIN + 50;  // 61 ms later, after the wrap
    EXPECT_TRUE(Actuator_isActive(actuator));
    fakeNow = INT32_MIN + 90;  // 101 ms later
    EXPECT_FALSE(Actuator_isActive(actuator));

    fakeNow = 0;
    Actuator_setStateOnce(actuator, 0.5, INT32_MAX);
    fakeNow = INT32_MAX - 1;
    EXPECT_TRUE(Actuator_isActive(actuator));
}

TEST(ActuatorLifecycle, NewInitClearAndFrequency) {
    Actuator* actuator = Actuator_new();
    ASSERT_NE(actuator, nullptr);
    EXPECT_EQ(actuator->valid, 0);
    Actuator_init(actuator);
    EXPECT_EQ(actuator->valid, 1);
    EXPECT_EQ(Actuator_getState(actuator), ACTUATOR_STATE_STOP);
    EXPECT_EQ(actuator->minIntensity, 0.0);
    EXPECT_EQ(actuator->maxIntensity, 1.0);
    EXPECT_EQ(Actuator_getIntensity(actuator), 0.0);
    EXPECT_FALSE(Actuator_isActive(actuator));
    Actuator_setFrequency(actuator, 355);
    EXPECT_EQ(Actuator_getFrequency(actuator), 355.0);
    Actuator_clear(actuator);
    EXPECT_EQ(actuator->valid, 0);
    Actuator_delete(actuator);
    Actuator_delete(nullptr);
}

}  // namespace
