#include <algorithm>
#include <cstring>

#include "ActionRecord.h"
#include "DebugPrint.h"
#include "Device.h"
#include "DrovoErrorCodes.h"

namespace {

constexpr uint8_t kStartByte = 0x02;
constexpr int32_t kHeaderBytes = 5;   // start, time factor, count, payload length
constexpr int32_t kFramingBytes = 6;  // header and checksum
constexpr int32_t kPackagedActionBytes = 2 + DROVO_ACTION_PAYLOAD_SIZE;

// Bytes Package_Action writes for a record: command, delay and the payload in use.
int32_t PackagedSize(const Action* action) {
    return 2 + std::clamp<int32_t>(action->length, 0, DROVO_ACTION_PAYLOAD_SIZE);
}

void ReleaseBatch(Action** batch, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        ReleaseAction(batch[i]);
        batch[i] = nullptr;
    }
}

void LogFraming(const char* method, int32_t line) {
    DebugPrint("[TI:D] ERROR %s %s %i\n", method, "Device", line);
}

}  // namespace

int32_t Device::CreateActionList(Action** batch, int32_t count) {
    if (!batch || count <= 0)
        return -1;
    if (std::find(batch, batch + count, nullptr) != batch + count) {
        ReleaseBatch(batch, count);
        return -1;
    }
    int32_t payloadLength = 0;
    bool sameTimeFactor = true;
    for (int32_t i = 0; i < count; ++i) {
        payloadLength += PackagedSize(batch[i]);
        sameTimeFactor = sameTimeFactor && batch[i]->timeFactor == batch[0]->timeFactor;
    }
    int32_t line = 0;
    if (payloadLength + kFramingBytes > kMaxPacketBytes) {
        line = 1760;
        m_iLastError = DROVO_BAD_PARAMETER;
    } else if (count > GetMaxActions()) {
        line = 1762;
        m_iLastError = DROVO_LIST_FULL;
    } else if (!sameTimeFactor) {
        line = 1764;
        m_iLastError = DROVO_BAD_PARAMETER;
    }
    if (line != 0) {
        LogFraming("Device::CreateActionList", line);
        ReleaseBatch(batch, count);
        return -1;
    }
    int32_t result = SendActionList(batch, count, payloadLength);
    if (result < 0) {
        LogFraming("Device::CreateActionList", 1768);
        m_iLastError = DROVO_SEND_FAILED;
    }
    return result;
}

int32_t Device::SendActionList(Action** batch, int32_t count, int32_t payloadLength) {
    if (!batch || !batch[0]) {
        LogFraming("Device::SendActionList", batch ? 1523 : 1519);
        m_iLastError = DROVO_BAD_PARAMETER;
        return -1;
    }
    // Never more payload than fits one packet, whatever the caller announced.
    payloadLength = std::clamp(payloadLength, 0, kMaxPacketBytes - kFramingBytes);
    uint8_t packet[kMaxPacketBytes] = {};
    packet[0] = kStartByte;
    packet[1] = static_cast<uint8_t>(batch[0]->timeFactor & 0xFF);
    packet[2] = static_cast<uint8_t>(count);
    int32_t payloadSum = 0;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t scratch[kPackagedActionBytes];
        int32_t packaged = batch[i] ? Package_Action(batch[i], scratch, sizeof(scratch)) : 0;
        ReleaseAction(batch[i]);
        batch[i] = nullptr;
        if (packaged <= 0 || payloadSum + packaged > payloadLength)
            continue;
        std::memcpy(packet + kHeaderBytes + payloadSum, scratch, packaged);
        payloadSum += packaged;
    }
    packet[3] = static_cast<uint8_t>(payloadSum & 0xFF);
    packet[4] = static_cast<uint8_t>(payloadSum >> 8);
    packet[kHeaderBytes + payloadSum] = ComputeChecksum(packet, kHeaderBytes + payloadSum);
    const int32_t packetLength = payloadSum + kFramingBytes;
    m_iLastWriteLength = packetLength;
    std::memcpy(m_LastWrite, packet, sizeof(m_LastWrite));
    return WriteRaw(packet, packetLength);
}

int32_t Device::WriteRaw(const uint8_t* bytes, int32_t length) {
    int32_t result = m_pPlatform ? m_pPlatform->Write(this, bytes, length) : -1;
    if (result >= 0) {
        m_iAwaitingResponse = 1;
        if (OutgoingDataCallback callback = m_pOutgoingDataCallback) {
            callback(m_ID, bytes, length);
        }
    }
    ++m_iPacketsSent;
    return result;
}
