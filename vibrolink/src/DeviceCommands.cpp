// The exported command functions. Each finds the device, encodes one Action with the library's
// time factor and queues it on the device. Group A reports only refused arguments; group B
// also reports a device that did not take the record.
#include <functional>

#include "ActionRecord.h"
#include "Device.h"
#include "DrovoErrorCodes.h"
#include "Vibrolink.h"
#include "VibrolinkLibrary.h"

namespace {

enum class Group { A, B };

using Encode = std::function<int32_t(Action*)>;
using DeviceStep = std::function<bool(Device&)>;

// Runs the whole command on the device while no other thread can close it. before may refuse
// the command (setting the last error itself); after runs once the record is queued.
int32_t Queue(int32_t deviceId, Group group, const Encode& encode,
              const DeviceStep& before = nullptr, const DeviceStep& after = nullptr) {
    int32_t result = -1;
    bool found = Manager().WithDevice(deviceId, [&](Device& device) {
        if (before && !before(device))
            return;
        Action* action = AllocateAction(Library().timeFactor.load());
        if (!action) {
            SetLastError(DROVO_INTERNAL_ERROR);
            return;
        }
        if (encode(action) != 0) {
            SetLastError(group == Group::A ? DROVO_GROUP_A_REFUSED : DROVO_ENCODER_REFUSED);
            ReleaseAction(action);
            return;
        }
        if (device.AddToList(action) != 0) {
            ReleaseAction(action);
            // Group A leaves the device's refusal for the next UpdateTI to report.
            if (group == Group::A)
                result = 0;
            else
                TakeManagerError();
            return;
        }
        if (after)
            after(device);
        result = 0;
    });
    if (!found)
        TakeManagerError();
    return result;
}

}  // namespace

extern "C" {

VIBROLINK_API int32_t Pulse(int32_t deviceId, int32_t tactor, int32_t durationMs, int32_t delay) {
    return Queue(deviceId, Group::A,
                 [=](Action* a) { return TacOnTime(a, delay, tactor, durationMs); });
}

VIBROLINK_API int32_t ChangeGain(int32_t deviceId, int32_t tactor, int32_t gain, int32_t delay) {
    return Queue(deviceId, Group::A, [=](Action* a) { return SetGain(a, delay, tactor, gain); });
}

VIBROLINK_API int32_t ChangeFreq(int32_t deviceId, int32_t tactor, int32_t frequency,
                                 int32_t delay) {
    return Queue(deviceId, Group::A,
                 [=](Action* a) { return SetFreq(a, delay, tactor, frequency); });
}

VIBROLINK_API int32_t ChangeSigSource(int32_t deviceId, int32_t tactor, int32_t source,
                                      int32_t delay) {
    return Queue(deviceId, Group::A,
                 [=](Action* a) { return SetSigSource(a, delay, tactor, source); });
}

VIBROLINK_API int32_t RampGain(int32_t deviceId, int32_t tactor, int32_t gainStart, int32_t gainEnd,
                               int32_t durationMs, int32_t option, int32_t delay) {
    return Queue(deviceId, Group::A, [=](Action* a) {
        return Ramp(a, delay, tactor, 0x20, gainStart, gainEnd, durationMs, option);
    });
}

VIBROLINK_API int32_t RampFreq(int32_t deviceId, int32_t tactor, int32_t freqStart, int32_t freqEnd,
                               int32_t durationMs, int32_t option, int32_t delay) {
    return Queue(deviceId, Group::A, [=](Action* a) {
        return Ramp(a, delay, tactor, 0x12, freqStart, freqEnd, durationMs, option);
    });
}

VIBROLINK_API int32_t SendActionWait(int32_t deviceId, int32_t waitMs, int32_t delay) {
    return Queue(deviceId, Group::A, [=](Action* a) { return ActionWait(a, delay, waitMs); });
}

VIBROLINK_API int32_t TactorSelfTest(int32_t deviceId, int32_t delay) {
    return Queue(deviceId, Group::A, [=](Action* a) { return SelfTest(a, delay); });
}

VIBROLINK_API int32_t ReadSegmentList(int32_t deviceId, int32_t delay) {
    return Queue(deviceId, Group::A, [=](Action* a) { return GetSegmentList(a, delay); });
}

VIBROLINK_API int32_t ReadBatteryLevel(int32_t deviceId, int32_t delay) {
    return Queue(deviceId, Group::A, [=](Action* a) { return GetBatteryLevel(a, delay); });
}

VIBROLINK_API int32_t ReadFW(int32_t deviceId) {
    return Queue(deviceId, Group::B, [](Action* a) { return ReadFirmwareVersion(a); });
}

VIBROLINK_API int32_t Stop(int32_t deviceId) {
    return Queue(deviceId, Group::B, [](Action* a) { return StopActions(a); });
}

VIBROLINK_API int32_t SetTactors(int32_t deviceId, int32_t delay, const uint8_t* states) {
    // The encoder reads eight bytes from states; without them there is nothing to send.
    auto needStates = [states](Device&) {
        if (!states)
            SetLastError(DROVO_BAD_PARAMETER);
        return states != nullptr;
    };
    return Queue(
        deviceId, Group::B, [=](Action* a) { return SetTactorStates(a, delay, states); },
        needStates);
}

VIBROLINK_API int32_t SetTactorType(int32_t deviceId, int32_t delay, int32_t tactor, int32_t type) {
    return Queue(deviceId, Group::B, [=](Action* a) { return SetTacType(a, delay, tactor, type); });
}

VIBROLINK_API int32_t BeginStoreHapset(int32_t deviceId, int32_t slot) {
    auto notStoring = [](Device& device) {
        if (device.m_bStoringHapset.load() == 1) {
            SetLastError(DROVO_ALREADY_STORING);
            return false;
        }
        return true;
    };
    auto storing = [](Device& device) {
        device.m_bStoringHapset.store(1);
        return true;
    };
    return Queue(
        deviceId, Group::B, [=](Action* a) { return StartRecordHapset(a, 0, slot); }, notStoring,
        storing);
}

VIBROLINK_API int32_t FinishStoreHapset(int32_t deviceId) {
    auto stored = [](Device& device) {
        device.m_bStoringHapset.store(0);
        return true;
    };
    return Queue(
        deviceId, Group::B, [](Action* a) { return FinishRecordHapset(a, 0); }, nullptr, stored);
}

VIBROLINK_API int32_t PlayStoredHapset(int32_t deviceId, int32_t delay, int32_t slot) {
    return Queue(deviceId, Group::B, [=](Action* a) { return PlayRecordedHapset(a, delay, slot); });
}

VIBROLINK_API int32_t SetFreqTimeDelay(int32_t deviceId, uint8_t state) {
    return Queue(deviceId, Group::B, [=](Action* a) { return SetFreqTimeDelayState(a, state); });
}

}  // extern "C"
