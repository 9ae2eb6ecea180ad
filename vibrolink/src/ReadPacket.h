// The inbound packet being gathered by a Device's reader.
#pragma once

#include <cstdint>

// Bytes a ReadPacket can gather; the reader never writes past them.
constexpr int32_t READPACKETLIMIT = 512;

// Values of ReadPacket::m_iReadState.
enum ReadState : int32_t {
    READ_STATE_GATHERING = 0,  // the next call starts a new platform read
    READ_STATE_PENDING = 1,    // a platform read is pending; the next call collects it
    READ_STATE_CHECK = 2,      // bytes were added unchecked; the next call checks, reads nothing
    READ_STATE_COMPLETE = 4,   // a complete packet waits in m_PacketData
};

struct ReadPacket {
    uint8_t m_PacketData[READPACKETLIMIT] = {};  // the packet, from its start byte on
    int32_t m_iFailedReads = 0;     // failed cycles since the last complete packet or batch
    int32_t m_itotalBytesRead = 0;  // bytes gathered in m_PacketData
    int32_t m_iBytesToRead = 6;     // bytes to ask of the next platform read; may go negative
    int32_t m_iAssumedSize = 0;     // length byte + 4 once known, 0 while unknown
    int32_t m_iReadState = READ_STATE_GATHERING;
};
