#include "DebugPrint.h"
#include "Device.h"
#include "DrovoErrorCodes.h"

namespace {

constexpr int32_t kAlertErrorLimit = 10;

// Read firmware version, time factor 0, delay 0, framed with its checksum.
constexpr uint8_t kFirmwareProbe[] = {0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA9};

void PrintBytes(const char* heading, const uint8_t* bytes, int32_t count) {
    DebugPrint("%s", heading);
    for (int32_t i = 0; i < count; ++i)
        DebugPrint(" %x ", bytes[i]);
    DebugPrint("\n");
}

}  // namespace

void Device::ErrorHandler() {
    const int32_t trials = trialCounter;
    const int32_t lastStep = ls_trialCounter;
    if (_alerterror > kAlertErrorLimit) {
        GiveUpAfterAlerts();
    } else if (trials == 1 && lastStep == 0) {
        ResendLastWrite();
    } else if (trials == 2 && lastStep == 1) {
        SendFirmwareProbe();
    } else if (trials > 2) {
        CloseAfterErrors();
    }
}

void Device::GiveUpAfterAlerts() {
    Trace("_alerterror > 10\n", nullptr, 0);
    DebugPrint("[TI:D] ERROR %s %s %i\n", "Device::ErrorHandler", "Device", 952);
    m_iLastError = DROVO_FAILED_TO_READ;
    if (m_bCloseOnNak) {
        DebugPrint("[TI:D] ERROR: Closing alert error is greater then 10\n");
        m_iConnected = -1;
    } else {
        ClearActionList();
        DebugPrint(
            "[TI:D] ERROR: would be closing due to alerterror above 10, but we are in testing "
            "mode\n");
    }
}

void Device::ResendLastWrite() {
    // Connect is still waiting on its firmware request; a resend would race it.
    if (m_bFirmwareRequestPending)
        return;
    Trace("trialCounter == 1 && ls_trialCounter == 0 RESENDING LAST WRITE\n", nullptr, 0);
    DebugPrint("[TI:D] ERROR DEVICE %s (id: %d)\n", PortNameForLog(), m_ID.load());
    ls_trialCounter = 1;
    if (m_bCloseOnNak)
        ++_alerterror;
    ClearActionList();
    PrintBytes("[TI:D] RESENDING:", m_LastWrite, m_iLastWriteLength);
    if (m_bCloseOnNak)
        WriteRaw(m_LastWrite, m_iLastWriteLength);
}

void Device::SendFirmwareProbe() {
    DebugPrint("[TI:D] ERROR DEVICE %s\n", PortNameForLog());
    Trace("trialCounter == 2 && ls_trialCounter == 1 SENDING READ FW\n", nullptr, 0);
    if (m_bCloseOnNak) {
        ls_trialCounter = 2;
        ++_alerterror;
    }
    ClearActionList();
    WriteRaw(kFirmwareProbe, sizeof(kFirmwareProbe));
    PrintBytes("[TI:D] SENDING:", kFirmwareProbe, sizeof(kFirmwareProbe));
    ++trialCounter;
}

void Device::CloseAfterErrors() {
    DebugPrint("[TI:D] ERROR DEVICE %s\n", PortNameForLog());
    Trace("trialCounter > 2 CLOSING DOWN!\n\n", nullptr, 0);
    trialCounter = 0;
    ls_trialCounter = 0;
    ClearActionList();
    if (m_bCloseOnNak) {
        DebugPrint("[TI:D] Setting Connection to -1 !\n");
        m_iConnected = -1;
    } else {
        DebugPrint("[TI:D] RECEIVED NAK \n");
    }
}
