#include "DeviceTestSupport.h"

#include <cstring>

#include "ActionRecord.h"

namespace {

std::mutex g_logMutex;
std::vector<CallbackEvent> g_events;
std::function<void(int32_t, const uint8_t*, int32_t)> g_onResponse;

Action* Encoded(uint32_t timeFactor, const std::function<int32_t(Action*)>& encode) {
    Action* action = AllocateAction(timeFactor);
    EXPECT_EQ(encode(action), 0);
    return action;
}

Bytes Copy(const uint8_t* bytes, int32_t length) {
    return bytes && length > 0 ? Bytes(bytes, bytes + length) : Bytes();
}

}  // namespace

void SetPortName(Device* device, const char* name) {
    device->m_pPortName = new char[std::strlen(name) + 1];
    std::strcpy(device->m_pPortName, name);
}

bool ContainsInOrder(const std::string& text, const std::vector<std::string>& lines) {
    size_t from = 0;
    for (const std::string& line : lines) {
        size_t at = text.find(line, from);
        if (at == std::string::npos)
            return false;
        from = at + line.size();
    }
    return true;
}

Action* MakePulse(uint32_t tactor, int32_t durationMs, int32_t delay, uint32_t timeFactor) {
    return Encoded(timeFactor, [&](Action* a) { return TacOnTime(a, delay, tactor, durationMs); });
}

Action* MakeGain(uint32_t tactor, int32_t gain, int32_t delay, uint32_t timeFactor) {
    return Encoded(timeFactor, [&](Action* a) { return SetGain(a, delay, tactor, gain); });
}

Action* MakeRamp(uint32_t tactor, uint32_t timeFactor) {
    return Encoded(timeFactor,
                   [&](Action* a) { return Ramp(a, 0, tactor, 0x20, 10, 200, 1000, 0); });
}

Action* MakeStandalone(uint32_t timeFactor) {
    return Encoded(timeFactor, [](Action* a) { return FinishRecordHapset(a, 0); });
}

void CallbackLog::Reset() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_events.clear();
    g_onResponse = nullptr;
}

std::vector<CallbackEvent> CallbackLog::Events() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    return g_events;
}

std::vector<CallbackEvent> CallbackLog::Events(CallbackEvent::Kind kind) {
    std::vector<CallbackEvent> selected;
    for (const CallbackEvent& event : Events()) {
        if (event.kind == kind)
            selected.push_back(event);
    }
    return selected;
}

void CallbackLog::Add(CallbackEvent event) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_events.push_back(std::move(event));
}

void CallbackLog::Response(int32_t id, const uint8_t* packet, int32_t length) {
    Add({CallbackEvent::RESPONSE, id, Copy(packet, length), length, {}});
    std::function<void(int32_t, const uint8_t*, int32_t)> hook;
    {
        std::lock_guard<std::mutex> lock(g_logMutex);
        hook = g_onResponse;
    }
    if (hook)
        hook(id, packet, length);
}

void CallbackLog::Hapset(int32_t id, const uint8_t* packet, int32_t length) {
    Add({CallbackEvent::HAPSET, id, Copy(packet, length), length, {}});
}

void CallbackLog::Outgoing(int32_t id, const uint8_t* bytes, int32_t length) {
    Add({CallbackEvent::OUTGOING, id, Copy(bytes, length), length, {}});
}

void CallbackLog::TactorState(int32_t id, int32_t durationMs, int32_t tactor, int32_t delayMs) {
    Add({CallbackEvent::TACTOR_STATE, id, {}, 0, {durationMs, tactor, delayMs}});
}

void CallbackLog::SetOnResponse(std::function<void(int32_t, const uint8_t*, int32_t)> hook) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_onResponse = std::move(hook);
}

void ConnectedDeviceTest::SetUp() {
    CallbackLog::Reset();
    m_previous = InstallPlatformForTesting(PLATFORM_TYPE_SERIAL, &m_platform);
    m_platform.SetAutoReply(ScriptedPlatform::AckEverything());
}

void ConnectedDeviceTest::TearDown() {
    m_device.reset();
    InstallPlatformForTesting(PLATFORM_TYPE_SERIAL, m_previous);
    CallbackLog::Reset();
}

int32_t ConnectedDeviceTest::Connect(const char* name) {
    m_device->m_ID = 3;
    m_device->m_pOutgoingDataCallback = &CallbackLog::Outgoing;
    m_device->m_pTactorStateCallback = &CallbackLog::TactorState;
    m_device->m_pHapsetPacketCallback = &CallbackLog::Hapset;
    return m_device->Connect(name, PLATFORM_TYPE_SERIAL, &CallbackLog::Response, &m_cancel);
}
