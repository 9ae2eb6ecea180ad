// Read access to the payload of a controller reply whose checksum has been checked.
#pragma once

#include <cstdint>

// Bytes the packet does not carry read as 0, so a reply too short for the fields it should
// hold is never read past its end.
class ReplyPayload {
  public:
    // packet: start byte, type, payload length L, L payload bytes, checksum; at least L + 4
    // bytes must be readable.
    explicit ReplyPayload(const uint8_t* packet) : m_bytes(packet + 3), m_length(packet[2]) {}
    uint8_t operator[](int32_t index) const {
        return index >= 0 && index < m_length ? m_bytes[index] : 0;
    }
    int32_t Length() const { return m_length; }

  private:
    const uint8_t* m_bytes;
    int32_t m_length;
};
