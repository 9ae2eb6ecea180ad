#include "DebugPrint.h"
#include "Device.h"
#include "ReplyPayload.h"

namespace {

enum ReplyType : uint8_t {
    REPLY_REFUSAL = 0xC4,
    REPLY_DATA = 0xC8,
    REPLY_ACK = 0xC9,
    REPLY_BELT_CHANGE = 0xCC,
    REPLY_CONTROLLER_ERROR = 0xEE,
};

constexpr uint8_t kReadFirmwareCommand = 0x42;
constexpr uint8_t kSegmentListCommand = 0x45;
constexpr uint8_t kBeltDisconnected = 0x70;
constexpr uint8_t kBeltConnected = 0x71;
constexpr uint8_t kFaultReason = 10;
constexpr uint8_t kSelfTestReason = 20;
constexpr uint8_t kTimeoutFault = 0x80;
constexpr int32_t kControllerErrorCount = 10;

struct RefusalReason {
    const char* line;
    const char* label;
};

// Reasons 1 to 20, in order.
constexpr RefusalReason kRefusalReasons[] = {
    {"[TI:D:PP] The ETX value was not found in the expected place\n",
     "ETX value was not found ERROR"},
    {"[TI:D:PP] The Checksum value was invalid\n", " Checksum value was invalid ERROR"},
    {"[TI:D:PP] Insufficient Data in packet\n", "Insufficient Data ERROR"},
    {"[TI:D:PP] An invalid command was used\n", "invalid command  ERROR"},
    {"[TI:D:PP] Invalid Data was given with a valid command\n", "Invalid Data ERROR"},
    {"[TI:D:PP] Data length exceeds max payload\n", "Data length exceeds ERROR"},
    {"[TI:D:PP] Invalid Sequence Data\n", " Invalid Sequence Data ERROR"},
    {"[TI:D:PP] Bus Error Sending to Node failed after three attempts\n",
     " Bus Error Sending ERROR"},
    {"[TI:D:PP] Bus Master Times out while waiting on all bytes of incoming command to "
     "finish\n",
     "Bus Master Times out ERROR"},
    {"[TI:D:PP] Node has a Fault Cannot Complete Request\n", "Fault ERROR"},
    {"[TI:D:PP]NAK_SeqBusy  \n", "NAK_SeqBusy ERROR"},
    {"[TI:D:PP] NAK_TimeOut  \n", "NAK_TimeOut ERROR"},
    {"[TI:D:PP] NAK_RampListFull  \n", "NAK_RampListFull ERROR"},
    {"[TI:D:PP] NAK_ActionListFull  \n", "NAK_ActionListFull ERROR"},
    {"[TI:D:PP] NAK_NotImplemented\n", "NAK_NotImplemented ERROR"},
    {"[TI:D:PP] NAK_MasterPacketFullOrBusy \n", "NAK_MasterPacketFullOrBusy ERROR"},
    {"[TI:D:PP] NAK_ActionListTooManyBytes \n", "NAK_ActionListTooManyBytes ERROR"},
    {"[TI:D:PP] NAK_ActionListTooFewBytes \n", "NAK_ActionListTooFewBytes"},
    {"[TI:D:PP] NAK_TooMuch                    \n", "NAK_TooMuch"},
    {"[TI:D:PP] NAK_Received a command while Self Test is running\n",
     "NAK_Received a command while Self Test is running ERROR"},
};
constexpr RefusalReason kUnknownReason = {"[TI:D:PP] UNKNOWN ERROR\n", "UNKNOWN ERROR"};

#define FAULT_PREFIX "[TI:D:PP:F] FAULT INFO Tactor Location %i Bus Address %i Fault Code %i "
// Lines for fault bits 0x01 to 0x80, in order.
constexpr const char* kFaultLines[] = {
    FAULT_PREFIX "CURRENT TOO LOW - NO TACTOR CONNECT OR BROKEN TACTOR\n",
    FAULT_PREFIX "CURRENT TOO HIGH - WRONG TACTOR TYPE OF SHORT-CIRCUIT\n",
    FAULT_PREFIX "over-voltage \u2013 the supply voltage has exceeded the max safe limit\n",
    FAULT_PREFIX
    " over-current on tactor-drivers power supply \u2013 1 or more tactors or drivers is wrong "
    "type or short-circuit\n",
    FAULT_PREFIX
    "over-current on BusMaster\u2019s Belt/Node power supply \u2013 short in belt wiring or "
    "broken node in belt drawing too much current\n",
    FAULT_PREFIX
    "over-current on BusMaster\u2019s combined Belt/Node & on-board tactor-drivers supply "
    "(combined limit is lower than the sum of the individual limits)\n",
    FAULT_PREFIX
    " the sum of frequencies on active C-type tactors on this node has been exceeded (hardware "
    "dependent: 1510 for kVORA 8-Chan Node, 2415 for kVORA BusMaster & Quadrels)\n",
    FAULT_PREFIX
    " timeout \u2013 this node is not responding to comms \u2013 belt wiring fault or broken "
    "node\n",
};
#undef FAULT_PREFIX

}  // namespace

int32_t Device::ProcessPacket(const uint8_t* packet, int32_t length) {
    if (ResponseCallback callback = m_pResponseCallback)
        callback(m_ID, packet, length);
    if (ResponseCallback hook = m_pHapsetPacketCallback)
        hook(m_ID, packet, length);

    // A packet shorter than its length byte announces has no checksum byte to compare.
    const bool complete = length >= 4 && packet[2] + 4 <= length;
    if (!complete || packet[3 + packet[2]] != ComputeChecksum(packet, 3 + packet[2])) {
        Trace("checksum was bad", packet, length);
        DebugPrint("[TI:D] checksum was bad WITH DEVICE %s\n", PortNameForLog());
        ++trialCounter;
        return -1;
    }
    const ReplyPayload payload(packet);
    switch (packet[1]) {
        case REPLY_ACK:
            ClearErrorCounters();
            m_iAwaitingResponse = 0;
            break;
        case REPLY_DATA:
            ProcessDataAnswer(payload);
            break;
        case REPLY_BELT_CHANGE:
            ProcessBeltChange(packet, length, payload);
            break;
        case REPLY_CONTROLLER_ERROR:
            Trace("0xEE", packet, length);
            DebugPrint("[TI:D] 0xEE WITH DEVICE %s\n", PortNameForLog());
            trialCounter = kControllerErrorCount;
            return -1;
        case REPLY_REFUSAL:
            ProcessRefusal(packet, length, payload);
            break;
        default:
            break;
    }
    return 0;
}

void Device::ClearErrorCounters() {
    trialCounter = 0;
    ls_trialCounter = 0;
    _alerterror = 0;
}

void Device::ProcessDataAnswer(const ReplyPayload& payload) {
    if (payload.Length() == 3 && payload[0] == kReadFirmwareCommand) {
        m_iFirmwareMajor = payload[2];
        m_iFirmwareMinor = payload[1];
        DebugPrint("[TI:D:PP] Device said it has firmware %X.%02X\n", payload[2], payload[1]);
    }
    if (payload.Length() >= 2 && payload[0] == kSegmentListCommand) {
        std::lock_guard<std::recursive_mutex> lock(m_Lock);
        m_Segments.clear();
        int32_t previousLast = 0;
        for (int32_t i = 1; i < payload.Length(); ++i) {
            m_Segments.emplace_back(previousLast + 1, payload[i]);
            previousLast = payload[i];
        }
    }
    ClearErrorCounters();
    m_iAwaitingResponse = 0;
}

void Device::ProcessBeltChange(const uint8_t* packet, int32_t length, const ReplyPayload& payload) {
    Trace("CC", packet, length);
    DebugPrint("[TI:D:PP] BELT CONNECT CHANGE %s (m_ID: %d)\n", PortNameForLog(), m_ID.load());
    ClearErrorCounters();
    m_iAwaitingResponse = 0;
    DebugPrint("reason to: %X\n", payload[0]);
    if (payload[0] == kBeltDisconnected) {
        DebugPrint("[TI:D:PP] BELT DISCONNECTED!\n");
        Trace("BELT DISCONNECTED", packet, length);
    } else if (payload[0] == kBeltConnected) {
        DebugPrint("[TI:D:PP] BELT CONNECTED!\n");
        Trace("BELT CONNECTED", packet, length);
    }
}

void Device::ProcessRefusal(const uint8_t* packet, int32_t length, const ReplyPayload& payload) {
    Trace("NAK", packet, length);
    DebugPrint("[TI:D:PP] NAK WITH DEVICE %s (m_ID: %d)\n", PortNameForLog(), m_ID.load());
    DebugPrint("responding to: %X\n", payload[0]);
    DebugPrint("reasonCode: %X\n", payload[1]);
    const uint8_t reason = payload[1];
    const bool known = reason >= 1 && reason <= kSelfTestReason;
    const RefusalReason& text = known ? kRefusalReasons[reason - 1] : kUnknownReason;
    DebugPrint("%s", text.line);
    Trace(text.label, packet, length);
    if (reason == kFaultReason) {
        ProcessFaultList(packet, length, payload);
    } else if (reason != kSelfTestReason) {
        ++trialCounter;
    }
}

void Device::ProcessFaultList(const uint8_t* packet, int32_t length, const ReplyPayload& payload) {
    const int32_t entries = payload[2];
    const int32_t expected = (entries + 1) * 3;
    if (payload.Length() != expected) {
        Trace("CORRUPT FAULT PACKET SIZE", packet, length);
        DebugPrint("datalen=%i expected=%i", payload.Length(), expected);
        ++trialCounter;
        return;
    }
    for (int32_t entry = 0; entry < entries; ++entry) {
        const int32_t location = payload[3 + entry * 3];
        const int32_t address = payload[4 + entry * 3];
        const int32_t code = payload[5 + entry * 3];
        for (int32_t bit = 0; bit < 7; ++bit) {
            if (!(code & (1 << bit)))
                continue;
            DebugPrint(kFaultLines[bit], location, address, code);
            ++trialCounter;
        }
        if (code & kTimeoutFault) {
            DebugPrint(kFaultLines[7], location, address, code);
            ClearErrorCounters();
            return;
        }
    }
}
