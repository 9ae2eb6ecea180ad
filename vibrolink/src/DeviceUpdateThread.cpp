#include <chrono>
#include <exception>

#include "DebugPrint.h"
#include "Device.h"
#include "DrovoErrorCodes.h"
#include "ThreadId.h"

namespace {

constexpr uint8_t kPulseCommand = 0x11;
constexpr int32_t kPulseUnitMs = 10;

// What the tactor-state callback is told about one queued pulse.
struct PulseReport {
    int32_t durationMs;
    int32_t tactor;
    int32_t delayMs;
};

}  // namespace

void Device::UpdateThread() {
    m_iThreadId = CurrentThreadId();
    while (m_bHoldThread && m_iConnected == 1 && m_bKeepRunning) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_bThreadRunning = 1;
    try {
        RunLoop();
    } catch (...) {
        DebugPrint("[TI:D] ERROR %s %s %i\n", "UpdateThread", "Device", 501);
        m_iLastError = DROVO_INTERNAL_ERROR;
    }
    Disconnect();
    m_bThreadRunning = 0;
    if (m_bReleaseWhenThreadEnds)
        delete this;
}

void Device::RunLoop() {
    while (m_iConnected == 1 && m_bKeepRunning) {
        ErrorHandler();
        if (m_iActionCount > 0 && m_iAwaitingResponse == 0)
            SendNextBatch();
        int32_t readResult = Read(&m_ReadPacket, m_iAwaitingResponse);
        if (m_ReadPacket.m_iReadState == READ_STATE_COMPLETE) {
            ProcessPacket(m_ReadPacket.m_PacketData, m_ReadPacket.m_itotalBytesRead);
            ResetReadPacket(&m_ReadPacket);
            m_ReadPacket.m_iFailedReads = 0;
        }
        if (readResult < 0)
            m_WaitTimer.Sleep();
        if (!m_bKeepRunning)
            return;
    }
    if (m_bKeepRunning)
        StopOnItsOwn();
}

void Device::StopOnItsOwn() {
    // The client learns once, before the port is closed, that this device gave up.
    if (ResponseCallback callback = m_pResponseCallback)
        callback(m_ID, nullptr, -1);
    if (ResponseCallback hook = m_pHapsetPacketCallback)
        hook(m_ID, nullptr, -1);
}

void Device::ReportPulses() {
    TactorStateCallback callback = m_pTactorStateCallback;
    if (!callback)
        return;
    PulseReport pulses[kActionListSlots];
    int32_t count = 0;
    {
        // Collected under the lock, told without it: the callback may queue more actions.
        std::lock_guard<std::recursive_mutex> lock(m_Lock);
        for (int32_t i = 0; i < m_iActionCount; ++i) {
            const Action* action = m_pActions[i];
            if (!action || action->command != kPulseCommand || !action->data)
                continue;
            pulses[count++] = {action->data[1] * kPulseUnitMs, action->data[0],
                               static_cast<int32_t>(action->delay * action->timeFactor)};
        }
    }
    for (int32_t i = 0; i < count; ++i) {
        callback(m_ID, pulses[i].durationMs, pulses[i].tactor, pulses[i].delayMs);
    }
}

void Device::SendNextBatch() {
    ReportPulses();
    Action* batch[kActionListSlots];
    int32_t count = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_Lock);
        TakeNextBatch(batch, &count);
    }
    m_ReadPacket.m_iFailedReads = 0;
    if (count > 0 && CreateActionList(batch, count) < 0) {
        DebugPrint("[TI:D] Error sending action list, closing device (%s)\n", PortNameForLog());
        m_iConnected = -1;
    }
}
