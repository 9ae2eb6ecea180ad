#include <algorithm>
#include <cstring>

#include "DebugPrint.h"
#include "Device.h"
#include "DrovoErrorCodes.h"

namespace {

constexpr uint8_t kStartByte = 0x02;
constexpr int32_t kFirstReadBytes = 6;
constexpr int32_t kPacketOverheadBytes = 4;  // start, type, length, checksum
constexpr int32_t kMaxPacketSize = 80;
constexpr int32_t kSilentCycleLimit = 200;

enum ReadMode : int32_t { READ_MODE_START = 0, READ_MODE_COLLECT = 1 };

void LogReadError(int32_t line) {
    DebugPrint("[TI:D] ERROR %s %s %i\n", "Device::Read", "Device", line);
}

}  // namespace

void Device::ResetReadPacket(ReadPacket* rp) {
    std::memset(rp->m_PacketData, 0, sizeof(rp->m_PacketData));
    rp->m_itotalBytesRead = 0;
    rp->m_iBytesToRead = kFirstReadBytes;
    rp->m_iAssumedSize = 0;
    rp->m_iReadState = READ_STATE_GATHERING;
}

void Device::Trace(const char* label, const uint8_t* bytes, int32_t count) {
    PrintPacketTrace(label, m_ElapsedTimer.getElapsedTime(), bytes, count);
}

void Device::TracePacket(const char* label, const ReadPacket* rp) {
    Trace(label, rp->m_PacketData, rp->m_itotalBytesRead);
}

void Device::DiscardPacket(ReadPacket* rp) {
    ++rp->m_iFailedReads;
    ResetReadPacket(rp);
}

int32_t Device::Read(ReadPacket* rp, int32_t awaiting) {
    if (rp->m_iFailedReads > kSilentCycleLimit) {
        if (awaiting == 1) {
            TracePacket("NO RESPONSE IN GIVEN THRESHOLD", rp);
            ++trialCounter;
        }
        rp->m_iFailedReads = 0;
        return -1;
    }
    int32_t bytesRead = 0;
    int32_t result = 0;
    if (rp->m_iReadState == READ_STATE_GATHERING) {
        std::memset(m_ReadBuffer, 0, sizeof(m_ReadBuffer));
        result =
            m_pPlatform->Read(this, rp->m_iBytesToRead, m_ReadBuffer, &bytesRead, READ_MODE_START);
    } else if (rp->m_iReadState == READ_STATE_PENDING) {
        result = m_pPlatform->Read(this, rp->m_iBytesToRead, m_ReadBuffer, &bytesRead,
                                   READ_MODE_COLLECT);
    }
    // A platform cannot hand back more than the buffer holds, whatever count it reports.
    bytesRead = std::clamp<int32_t>(bytesRead, 0, sizeof(m_ReadBuffer));
    if (result < 0)
        return ReadFailed(rp, bytesRead);
    m_iReadStarted = 1;
    return rp->m_itotalBytesRead == 0 ? ReadFirstChunk(rp, bytesRead)
                                      : ReadNextChunk(rp, bytesRead);
}

int32_t Device::ReadFirstChunk(ReadPacket* rp, int32_t bytesRead) {
    if (bytesRead < rp->m_iBytesToRead) {
        int32_t code = m_pPlatform->GetLastPlatformError();
        LogReadError(1240);
        m_iLastError = code;
        Trace("Read Error", nullptr, 0);
        return 0;
    }
    if (m_ReadBuffer[0] == kStartByte) {
        if (AddToPacketData(rp, m_ReadBuffer, bytesRead) < 0)
            return -1;
        if (rp->m_itotalBytesRead == rp->m_iAssumedSize) {
            rp->m_iReadState = READ_STATE_COMPLETE;
            rp->m_iBytesToRead = 0;
        } else {
            rp->m_iReadState = READ_STATE_GATHERING;
            rp->m_iBytesToRead = rp->m_iAssumedSize - bytesRead;
        }
        return 0;
    }
    const uint8_t* start =
        static_cast<const uint8_t*>(std::memchr(m_ReadBuffer, kStartByte, bytesRead));
    if (!start) {
        TracePacket("error no start found!", rp);
        DiscardPacket(rp);
        return -1;
    }
    int32_t kept = bytesRead - static_cast<int32_t>(start - m_ReadBuffer);
    if (AddToPacketData(rp, start, kept) < 0)
        return -1;
    rp->m_iBytesToRead -= kept;
    rp->m_iReadState = READ_STATE_GATHERING;
    return 0;
}

int32_t Device::ReadNextChunk(ReadPacket* rp, int32_t bytesRead) {
    if (rp->m_iAssumedSize != 0 && rp->m_itotalBytesRead >= READPACKETLIMIT) {
        TracePacket("rp->m_itotalBytesRead >= READPACKETLIMIT", rp);
        DiscardPacket(rp);
        return -1;
    }
    if (AddToPacketData(rp, m_ReadBuffer, bytesRead) < 0)
        return -1;
    if (rp->m_itotalBytesRead == rp->m_iAssumedSize) {
        rp->m_iReadState = READ_STATE_COMPLETE;
        rp->m_iBytesToRead = 0;
        return 0;
    }
    if (rp->m_itotalBytesRead < rp->m_iAssumedSize) {
        rp->m_iReadState = READ_STATE_GATHERING;
        rp->m_iBytesToRead = rp->m_iAssumedSize - rp->m_itotalBytesRead;
        return 0;
    }
    DebugPrint(
        "[TI:D] ASSUMED SIZE IS WRONG! bytesread = %i assumedsize = %i bytestoRead=%i "
        "bytesread=%i \n",
        rp->m_itotalBytesRead, rp->m_iAssumedSize, rp->m_iBytesToRead, bytesRead);
    TracePacket("more to read", rp);
    LogReadError(1300);
    m_iLastError = DROVO_MORE_TO_READ;
    return -1;
}

int32_t Device::ReadFailed(ReadPacket* rp, int32_t bytesRead) {
    const int32_t code = m_pPlatform->GetLastPlatformError();
    switch (code) {
        case DROVO_BAD_PARAMETER:
            TracePacket("ERROR_BADPARAMETER", rp);
            if (rp->m_iBytesToRead < 0)
                DiscardPacket(rp);
            return -1;
        case DROVO_INTERNAL_ERROR:
            TracePacket("ERROR_INTERNALERROR", rp);
            DiscardPacket(rp);
            return -1;
        case DROVO_PARTIAL_READ:
            Trace("ERROR_PARTIALREAD", nullptr, 0);
            return ReadPartial(rp, bytesRead);
        case DROVO_READ_PENDING:
            ++rp->m_iFailedReads;
            rp->m_iReadState = READ_STATE_PENDING;
            return -1;
        case DROVO_NO_READ:
            Trace("ERROR_DROVONOREAD", nullptr, 0);
            DiscardPacket(rp);
            return -1;
        case DROVO_FAILED_TO_READ:
            Trace("ERROR_FAILED_TO_READ", nullptr, 0);
            m_iConnected = -1;
            return -1;
        default:
            DebugPrint("[TI:D] ERROR??? %i %s %s %d\n", code, "Device::Read", "Device", 1437);
            m_iConnected = -1;
            return -1;
    }
}

int32_t Device::ReadPartial(ReadPacket* rp, int32_t bytesRead) {
    if (rp->m_itotalBytesRead >= READPACKETLIMIT) {
        Trace("READ OVER PACKET LIMIT", nullptr, 0);
        ++rp->m_iFailedReads;
        return -1;
    }
    if (rp->m_iBytesToRead == rp->m_itotalBytesRead + bytesRead) {
        Trace("ERROR_PARTIALREAD-rp->m_iBytesToRead== bytesRead + rp->m_itotalBytesRead", nullptr,
              0);
        if (AddToPacketData(rp, m_ReadBuffer, bytesRead) < 0)
            return -1;
        rp->m_iBytesToRead = 0;
        rp->m_iReadState = READ_STATE_COMPLETE;
        return 0;
    }
    Trace("ERROR_PARTIALREAD-store what we got", nullptr, 0);
    if (bytesRead > rp->m_iBytesToRead) {
        Trace("ERROR_PARTIALREAD-bytesRead > rp->m_iBytesToRead", nullptr, 0);
        if (AddToPacketData(rp, m_ReadBuffer, rp->m_iBytesToRead) < 0) {
            Trace("ERROR_PARTIALREAD-ret == -1", nullptr, 0);
            return -1;
        }
        rp->m_iBytesToRead = 0;
        rp->m_iReadState = READ_STATE_CHECK;
        return 0;
    }
    Trace("ERROR_PARTIALREAD-we asked for x amount but got less, move on to next read", nullptr, 0);
    DebugPrint("[TI:D] totalbytesread = %i assumedsize = %i bytestoRead=%i bytesread=%i \n",
               rp->m_itotalBytesRead, rp->m_iAssumedSize, rp->m_iBytesToRead, bytesRead);
    if (AddToPacketData(rp, m_ReadBuffer, bytesRead) < 0) {
        Trace("ERROR_PARTIALREAD-ret == -1", nullptr, 0);
        return -1;
    }
    TracePacket("ERROR_PARTIALREAD after addtopacket", rp);
    rp->m_iBytesToRead -= bytesRead;
    if (rp->m_iBytesToRead < 0)
        Trace("ERROR_PARTIALREAD-rp->m_iBytesToRead < 0", nullptr, 0);
    DebugPrint(
        "[TI:D] Setting to read ready bytesread = %i assumedsize = %i bytestoRead=%i "
        "bytesread=%i \n",
        rp->m_itotalBytesRead, rp->m_iAssumedSize, rp->m_iBytesToRead, bytesRead);
    rp->m_iReadState = READ_STATE_GATHERING;
    return 0;
}

int32_t Device::AddToPacketData(ReadPacket* rp, const uint8_t* bytes, int32_t count) {
    // A chunk that cannot fit behind what is gathered is thrown away with the packet, so
    // m_PacketData is never written past its end whatever the platform returned.
    if (count < 0 || rp->m_itotalBytesRead + count > READPACKETLIMIT) {
        TracePacket("rp->m_itotalBytesRead >= READPACKETLIMIT", rp);
        DiscardPacket(rp);
        return -1;
    }
    if (rp->m_itotalBytesRead == 0) {
        if (count > 0 && bytes[0] == kStartByte) {
            if (count >= kFirstReadBytes) {
                rp->m_iAssumedSize = bytes[2] + kPacketOverheadBytes;
            } else {
                Trace("addtoPacketData bytesread < 6", bytes, count);
            }
        }
        if (count > 0)
            std::memcpy(rp->m_PacketData, bytes, count);
        rp->m_itotalBytesRead = count;
    } else {
        if (count > 0)
            std::memcpy(rp->m_PacketData + rp->m_itotalBytesRead, bytes, count);
        rp->m_itotalBytesRead += count;
        if (rp->m_iAssumedSize == 0 && rp->m_PacketData[0] == kStartByte) {
            if (rp->m_itotalBytesRead + count >= kFirstReadBytes) {
                rp->m_iAssumedSize = rp->m_PacketData[2] + kPacketOverheadBytes;
            } else {
                Trace("addtoPacketData bytesread < 6", bytes, count);
            }
        }
    }
    if (rp->m_iAssumedSize > kMaxPacketSize) {
        Trace("PACKET SIZE IS WRONG", bytes, count);
        ++trialCounter;
        ResetReadPacket(rp);
        return -1;
    }
    return 0;
}
