// The four-byte address of a mailbox client, taken from the first four bytes of its name.
#pragma once

#include <cstdint>
#include <cstring>

namespace MailboxAddress {

// The first four bytes of the name as one 32-bit value, as they stand in memory. A name shorter
// than four bytes is padded with NUL bytes, so nothing past its terminator is read and equal
// names always give equal addresses. A null name gives address 0.
inline uint32_t FromName(const char* name) {
    unsigned char bytes[4] = {0, 0, 0, 0};
    for (int i = 0; name != nullptr && i < 4 && name[i] != '\0'; ++i) {
        bytes[i] = static_cast<unsigned char>(name[i]);
    }
    uint32_t address;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

// The four bytes of an address text exactly as they stand, NUL bytes included.
inline uint32_t FromBytes(const char* text) {
    uint32_t address;
    std::memcpy(&address, text, sizeof address);
    return address;
}

// The four address bytes followed by a NUL, for printing.
inline void ToText(uint32_t address, char text[5]) {
    std::memcpy(text, &address, 4);
    text[4] = '\0';
}

}  // namespace MailboxAddress
