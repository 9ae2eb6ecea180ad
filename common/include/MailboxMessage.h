// A mailbox message: a target address, a block of data bytes and a sender-chosen number, and
// its serialised form (little-endian 8-byte header, then the data).
#pragma once

#include <cstdint>

#include "DrovoCommonExport.h"

class Mailbox;

// The view of a message that a client's callback receives; valid only during the call.
struct DROVO_COMMON_API MailboxMessageData {
    MailboxMessageData();

    char address[5];       // the target's four address bytes, then a NUL
    uint16_t dataLength;   // bytes at data
    uint16_t messageType;  // carried unchanged, never interpreted; 0 when made without one
    uint8_t* data;         // the message's own copy of the data
};

// One message on the heap. It owns its data copy. Only the broker builds messages from parts
// (Mailbox::CreateMessage); transports build them from received bytes.
class DROVO_COMMON_API MailboxMessage {
  public:
    // Largest data block whose serialised form still fits an unsigned 16-bit length.
    static constexpr uint16_t kMaxDataLength = 65527;
    static constexpr uint16_t kHeaderSize = 8;

    // Parses the serialised form. Throws MailboxError when the buffer is shorter than the header
    // or shorter than the header plus the data length it announces; nothing is read past
    // length bytes. The result is not marked as received from a remote peer.
    MailboxMessage(const uint8_t* bytes, uint16_t length);
    ~MailboxMessage();
    MailboxMessage(const MailboxMessage&) = delete;
    MailboxMessage& operator=(const MailboxMessage&) = delete;

    const MailboxMessageData& GetData() const { return messageData; }
    bool GetIsReceivedFromRemote() const { return isReceivedFromRemote; }
    void SetIsReceivedFromRemote(bool value) { isReceivedFromRemote = value; }

    // A new buffer (released by the caller with delete[]) holding the serialised form, its length
    // stored in totalLength. Null, with totalLength untouched, when the data is longer than
    // kMaxDataLength.
    uint8_t* GetDataSerializedBinary(uint16_t& totalLength) const;

  private:
    friend class Mailbox;

    MailboxMessage(const char* address, const void* data, uint16_t length);
    MailboxMessage(const char* address, const void* data, uint16_t length, uint16_t messageType);
    // Reassigns every field of an existing message, with a fresh data copy.
    void Initialize(const char* address, const void* data, uint16_t length, uint16_t messageType);
    void ReleaseData();

    MailboxMessageData messageData;  // first, so the message and its view share one address
    bool isReceivedFromRemote;
};
