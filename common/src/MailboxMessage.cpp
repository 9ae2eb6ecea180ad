#include "MailboxMessage.h"

#include <cstdio>
#include <cstring>

#include "MailboxAddress.h"
#include "MailboxError.h"

namespace {

uint16_t ReadLittle16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

void WriteLittle16(uint8_t* bytes, uint16_t value) {
    bytes[0] = static_cast<uint8_t>(value & 0xFF);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

uint8_t* CopyBytes(const void* source, uint16_t length) {
    // Null data of a given length stands for that many zero bytes rather than a crash.
    uint8_t* copy = new uint8_t[length];
    if (length == 0)
        return copy;
    if (source != nullptr) {
        std::memcpy(copy, source, length);
    } else {
        std::memset(copy, 0, length);
    }
    return copy;
}

}  // namespace

MailboxMessageData::MailboxMessageData()
    : address{0, 0, 0, 0, 0}, dataLength(0), messageType(0), data(nullptr) {}

MailboxMessage::MailboxMessage(const char* address, const void* data, uint16_t length)
    : MailboxMessage(address, data, length, 0) {}

MailboxMessage::MailboxMessage(const char* address, const void* data, uint16_t length,
                               uint16_t messageType)
    : isReceivedFromRemote(false) {
    Initialize(address, data, length, messageType);
}

MailboxMessage::MailboxMessage(const uint8_t* bytes, uint16_t length)
    : isReceivedFromRemote(false) {
    if (length < kHeaderSize)
        throw MailboxError("Data length less than the size of a header!");
    uint16_t dataLength = ReadLittle16(bytes + 4);
    // A header that promises more than the buffer holds would make us read past its end.
    if (dataLength > length - kHeaderSize) {
        throw MailboxError("Data length announced in the header exceeds the bytes given!");
    }
    std::memcpy(messageData.address, bytes, 4);
    messageData.address[4] = '\0';
    messageData.dataLength = dataLength;
    messageData.messageType = ReadLittle16(bytes + 6);
    messageData.data = CopyBytes(bytes + kHeaderSize, dataLength);
}

MailboxMessage::~MailboxMessage() {
    ReleaseData();
}

void MailboxMessage::Initialize(const char* address, const void* data, uint16_t length,
                                uint16_t messageType) {
    uint8_t* copy = CopyBytes(data, length);
    ReleaseData();
    MailboxAddress::ToText(MailboxAddress::FromName(address), messageData.address);
    messageData.dataLength = length;
    messageData.messageType = messageType;
    messageData.data = copy;
    isReceivedFromRemote = false;
}

void MailboxMessage::ReleaseData() {
    delete[] messageData.data;
    messageData.data = nullptr;
}

uint8_t* MailboxMessage::GetDataSerializedBinary(uint16_t& totalLength) const {
    uint16_t total = static_cast<uint16_t>(messageData.dataLength + kHeaderSize);
    if (total < kHeaderSize) {
        printf("[Mailbox] Integer overflow: Message too big!");
        return nullptr;
    }
    totalLength = total;
    uint8_t* buffer = new uint8_t[total];
    std::memcpy(buffer, messageData.address, 4);
    WriteLittle16(buffer + 4, messageData.dataLength);
    WriteLittle16(buffer + 6, messageData.messageType);
    if (messageData.dataLength > 0) {
        std::memcpy(buffer + kHeaderSize, messageData.data, messageData.dataLength);
    }
    return buffer;
}
