// Shared pieces of the device tests: devices on a scripted platform, action makers and
// callback recorders.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Device.h"
#include "Poll.h"
#include "ScriptedPlatform.h"

struct DeviceDestroyer {
    void operator()(Device* device) const { Device::Destroy(device); }
};
using DevicePtr = std::unique_ptr<Device, DeviceDestroyer>;

inline DevicePtr NewDevice() {
    return DevicePtr(new Device());
}

// Gives device its own copy of name as port name, as a connect does; the device frees it.
void SetPortName(Device* device, const char* name);

// True when every line occurs in text, each after the one before it.
bool ContainsInOrder(const std::string& text, const std::vector<std::string>& lines);

// Records made with the encoders, on the general-purpose heap, as devices expect them.
Action* MakePulse(uint32_t tactor, int32_t durationMs, int32_t delay = 0, uint32_t timeFactor = 10);
Action* MakeGain(uint32_t tactor, int32_t gain, int32_t delay = 0, uint32_t timeFactor = 10);
Action* MakeRamp(uint32_t tactor, uint32_t timeFactor = 10);
Action* MakeStandalone(uint32_t timeFactor = 10);

// Everything the device callbacks were called with, in order. The callbacks are plain
// functions, so the log is process-wide; Reset it at the start of a test.
struct CallbackEvent {
    enum Kind { RESPONSE, HAPSET, OUTGOING, TACTOR_STATE } kind;
    int32_t id;
    Bytes bytes;        // packet or written bytes; empty for a null packet
    int32_t length;     // -1 for the stop notice
    int32_t values[3];  // tactor-state: duration, tactor, delay
};
class CallbackLog {
  public:
    static void Reset();
    static std::vector<CallbackEvent> Events();
    static std::vector<CallbackEvent> Events(CallbackEvent::Kind kind);
    static void Response(int32_t id, const uint8_t* packet, int32_t length);
    static void Hapset(int32_t id, const uint8_t* packet, int32_t length);
    static void Outgoing(int32_t id, const uint8_t* bytes, int32_t length);
    static void TactorState(int32_t id, int32_t durationMs, int32_t tactor, int32_t delayMs);
    // Called inside Response, on the device's thread, when set.
    static void SetOnResponse(std::function<void(int32_t, const uint8_t*, int32_t)> hook);

  private:
    static void Add(CallbackEvent event);
};

// Installs a scripted platform for the serial type and connects a device to "COM7" on it,
// with every callback recorded. The platform acknowledges every packet unless a test changes
// its auto-reply before Connect.
class ConnectedDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Connects m_device; returns Device::Connect's result.
    int32_t Connect(const char* name = "COM7");

    ScriptedPlatform m_platform;
    DevicePtr m_device = NewDevice();
    CancelFlag m_cancel{0};
    PlatformInterface* m_previous = nullptr;
};
