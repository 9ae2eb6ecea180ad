#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "Action.h"

namespace {

constexpr int32_t kMaxDelay = 255;
constexpr uint32_t kMaxTactor = 64;

enum Command : uint8_t {
    kStop = 0x01,
    kTacOnTime = 0x11,
    kSetFreq = 0x12,
    kSetSigSource = 0x15,
    kPlayRecorded = 0x1A,
    kStartRecord = 0x1B,
    kFinishRecord = 0x1D,
    kWait = 0x1F,
    kSetGain = 0x20,
    kRamp = 0x2A,
    kSelfTest = 0x30,
    kSetTacType = 0x33,
    kBatteryLevel = 0x3A,
    kFirmwareVersion = 0x42,
    kSegmentList = 0x45,
    kReadCurrent = 0x53,
    kTactorStates = 0x80,
    kFreqTimeDelayState = 0xA2,
};

bool InRange(int64_t value, int64_t low, int64_t high) {
    return value >= low && value <= high;
}

uint8_t LowByte(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}
uint8_t HighByte(int32_t value) {
    return static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Fills a record whose arguments were all checked: a fresh zeroed payload buffer holding the
// given bytes. The previous buffer is not released; the caller owns it.
int32_t Fill(Action* action, uint8_t command, int32_t delay, const uint8_t* payload,
             int32_t length) {
    uint8_t* data = static_cast<uint8_t*>(calloc(DROVO_ACTION_PAYLOAD_SIZE, 1));
    if (data == nullptr)
        return -1;
    if (length > 0)
        memcpy(data, payload, static_cast<size_t>(length));
    action->data = data;
    action->length = length;
    action->command = command;
    action->delay = LowByte(delay);
    return 0;
}

int32_t FillBytes(Action* action, uint8_t command, int32_t delay,
                  std::initializer_list<uint8_t> bytes) {
    return Fill(action, command, delay, bytes.begin(), static_cast<int32_t>(bytes.size()));
}

bool DelayOk(int32_t delay) {
    return delay <= kMaxDelay;
}

}  // namespace

extern "C" {

DROVO_COMMON_API int32_t Create_Action(Action* action, uint8_t command, int32_t delay,
                                       const uint8_t* source, int32_t count, uint32_t timeFactor) {
    if (!DelayOk(delay))
        return -1;
    uint8_t* data = static_cast<uint8_t*>(calloc(DROVO_ACTION_PAYLOAD_SIZE, 1));
    if (data == nullptr)
        return -1;
    action->data = data;
    action->timeFactor = timeFactor;
    action->length = 0;
    if (count > DROVO_ACTION_PAYLOAD_SIZE)
        return -1;
    // A negative count is the caller's error; it is kept out of the copy so no byte is read.
    int32_t used = count < 0 ? 0 : count;
    action->command = command;
    action->delay = LowByte(delay);
    if (source != nullptr && used > 0)
        memcpy(data, source, static_cast<size_t>(used));
    action->length = count;
    return 0;
}

DROVO_COMMON_API int32_t Package_Action(const Action* action, uint8_t* out, int32_t outSize) {
    if (out == nullptr || action == nullptr)
        return -1;
    int32_t length = action->length < 0 ? 0 : action->length;
    if (length > DROVO_ACTION_PAYLOAD_SIZE)
        length = DROVO_ACTION_PAYLOAD_SIZE;
    if (outSize < length + 2)
        return -1;
    memset(out, 0, static_cast<size_t>(outSize));
    out[0] = action->command;
    out[1] = action->delay;
    if (length > 0 && action->data != nullptr)
        memcpy(out + 2, action->data, length);
    return length + 2;
}

DROVO_COMMON_API int32_t ActionWait(Action* action, int32_t delay, int32_t waitMs) {
    if (action == nullptr || !InRange(waitMs, 10, 2500) || !DelayOk(delay))
        return -1;
    return FillBytes(action, kWait, delay, {LowByte(waitMs), HighByte(waitMs)});
}

DROVO_COMMON_API int32_t TacOnTime(Action* action, int32_t delay, uint32_t tactor,
                                   int32_t durationMs) {
    if (action == nullptr)
        return -1;
    // Tactor 0 addresses no tactor: the controller reads the command as a pause.
    if (tactor == 0)
        return ActionWait(action, delay, durationMs);
    if (tactor > kMaxTactor || !InRange(durationMs, 10, 2500) || !DelayOk(delay))
        return -1;
    return FillBytes(action, kTacOnTime, delay,
                     {static_cast<uint8_t>(tactor), static_cast<uint8_t>(durationMs / 10)});
}

DROVO_COMMON_API int32_t SetGain(Action* action, int32_t delay, uint32_t tactor, int32_t gain) {
    if (action == nullptr || !InRange(gain, 1, 255) || tactor > kMaxTactor || !DelayOk(delay))
        return -1;
    return FillBytes(action, kSetGain, delay,
                     {static_cast<uint8_t>(tactor), static_cast<uint8_t>(gain)});
}

DROVO_COMMON_API int32_t SetFreq(Action* action, int32_t delay, uint32_t tactor,
                                 int32_t frequency) {
    // Tactor 65 is accepted here on purpose: the controller reads it as "all tactors".
    if (action == nullptr || !InRange(frequency, 300, 3500) || tactor > kMaxTactor + 1 ||
        !DelayOk(delay))
        return -1;
    return FillBytes(action, kSetFreq, delay,
                     {static_cast<uint8_t>(tactor), LowByte(frequency), HighByte(frequency)});
}

DROVO_COMMON_API int32_t SetSigSource(Action* action, int32_t delay, uint32_t tactor,
                                      int32_t source) {
    if (action == nullptr || !InRange(source, 1, 7) || tactor > kMaxTactor || !DelayOk(delay))
        return -1;
    return FillBytes(action, kSetSigSource, delay,
                     {static_cast<uint8_t>(tactor), static_cast<uint8_t>(source)});
}

DROVO_COMMON_API int32_t Ramp(Action* action, int32_t delay, uint32_t tactor, int32_t rampCommand,
                              int32_t start, int32_t end, int32_t durationMs, int32_t option) {
    if (action == nullptr || tactor > kMaxTactor || !InRange(durationMs, 10, 2500) ||
        (rampCommand != kSetGain && rampCommand != kSetFreq) || !DelayOk(delay))
        return -1;
    // A gain fits one byte, so a gain ramp sends only the low bytes of its ends.
    bool gain = rampCommand == kSetGain;
    return FillBytes(
        action, kRamp, delay,
        {static_cast<uint8_t>(rampCommand), static_cast<uint8_t>(tactor), LowByte(start),
         gain ? uint8_t{0} : HighByte(start), LowByte(end), gain ? uint8_t{0} : HighByte(end),
         static_cast<uint8_t>(durationMs / 100), LowByte(option)});
}

DROVO_COMMON_API int32_t SetTacType(Action* action, int32_t delay, uint32_t tactor, int32_t type) {
    bool knownType = type == 0x11 || type == 0x12 || type == 0x21 || type == 0x22;
    if (action == nullptr || tactor > kMaxTactor || !knownType || !DelayOk(delay))
        return -1;
    return FillBytes(action, kSetTacType, delay,
                     {static_cast<uint8_t>(tactor), static_cast<uint8_t>(type)});
}

DROVO_COMMON_API int32_t SetTactorStates(Action* action, int32_t delay, const uint8_t* states) {
    if (action == nullptr || states == nullptr || !DelayOk(delay))
        return -1;
    return Fill(action, kTactorStates, delay, states, 8);
}

DROVO_COMMON_API int32_t SelfTest(Action* action, int32_t delay) {
    if (action == nullptr || !DelayOk(delay))
        return -1;
    return FillBytes(action, kSelfTest, delay, {});
}

DROVO_COMMON_API int32_t GetSegmentList(Action* action, int32_t delay) {
    if (action == nullptr || !DelayOk(delay))
        return -1;
    return FillBytes(action, kSegmentList, delay, {});
}

DROVO_COMMON_API int32_t GetBatteryLevel(Action* action, int32_t delay) {
    if (action == nullptr || !DelayOk(delay))
        return -1;
    return FillBytes(action, kBatteryLevel, delay, {});
}

DROVO_COMMON_API int32_t StopSequence(Action* action, int32_t delay, uint8_t sequence) {
    if (action == nullptr)
        return -1;
    memset(action->scratch, 0, sizeof action->scratch);
    action->scratch[0] = sequence;
    if (!DelayOk(delay))
        return -1;
    return Fill(action, kStop, delay, action->scratch, 1);
}

DROVO_COMMON_API int32_t StartRecordHapset(Action* action, int32_t delay, uint32_t slot) {
    if (action == nullptr || slot > 9 || !DelayOk(delay))
        return -1;
    if (FillBytes(action, kStartRecord, delay, {static_cast<uint8_t>(slot)}) != 0)
        return -1;
    action->standalone = true;
    return 0;
}

DROVO_COMMON_API int32_t FinishRecordHapset(Action* action, int32_t delay) {
    if (action == nullptr || !DelayOk(delay))
        return -1;
    if (FillBytes(action, kFinishRecord, delay, {}) != 0)
        return -1;
    action->standalone = true;
    return 0;
}

DROVO_COMMON_API int32_t PlayRecordedHapset(Action* action, int32_t delay, uint32_t slot) {
    if (action == nullptr || slot > 9 || !DelayOk(delay))
        return -1;
    return FillBytes(action, kPlayRecorded, delay, {static_cast<uint8_t>(slot)});
}

DROVO_COMMON_API int32_t ReadFirmwareVersion(Action* action) {
    if (action == nullptr)
        return -1;
    return FillBytes(action, kFirmwareVersion, 0, {});
}

DROVO_COMMON_API int32_t ReadCurrent(Action* action) {
    if (action == nullptr)
        return -1;
    return FillBytes(action, kReadCurrent, 0, {});
}

DROVO_COMMON_API int32_t StopSeq(Action* action) {
    if (action == nullptr)
        return -1;
    return FillBytes(action, kStop, 0, {});
}

// Older clients know the same command under this name.
DROVO_COMMON_API int32_t StopActions(Action* action) __attribute__((alias("StopSeq")));

DROVO_COMMON_API int32_t SetFreqTimeDelayState(Action* action, uint8_t state) {
    if (action == nullptr)
        return -1;
    return FillBytes(action, kFreqTimeDelayState, 0, {static_cast<uint8_t>(state == 1 ? 1 : 0)});
}

}  // extern "C"
