#include "MailboxTransport.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

#include "MailboxAddress.h"
#include "MailboxMessage.h"
#include "MailboxTransportCallback.h"
#include "Timer.h"

using utl::Timer;

MailboxTransport::MailboxTransport()
    : messageReceivedCallback(nullptr), remoteAddresses{}, remoteAddressCount(0) {}

MailboxTransport::~MailboxTransport() = default;

void MailboxTransport::SetMessageReceivedCallback(MailboxTransportCallback* callback) {
    messageReceivedCallback.store(callback);
}

MailboxTransportCallback* MailboxTransport::GetMessageReceivedCallback() const {
    return messageReceivedCallback.load();
}

void MailboxTransport::DeliverReceivedMessage(const char* logPrefix, const uint8_t* bytes,
                                              uint16_t length) {
    MailboxTransportCallback* callback = GetMessageReceivedCallback();
    if (callback == nullptr)
        return;
    try {
        std::unique_ptr<MailboxMessage> message(new MailboxMessage(bytes, length));
        message->SetIsReceivedFromRemote(true);
        callback->OnMessageReceived(message.release());
    } catch (const std::exception& error) {
        Timer::printfTime("[%s] Exception creating mailbox message: %s\n", logPrefix, error.what());
    } catch (...) {
        Timer::printfTime("[%s] Exception creating mailbox message: %s\n", logPrefix,
                          "unknown exception");
    }
}

void MailboxTransport::GetAddressFromList(const uint32_t* list, uint64_t index,
                                          char text[5]) const {
    if (list == nullptr || text == nullptr)
        return;
    MailboxAddress::ToText(list[index], text);
}

void MailboxTransport::StoreRemoteAddresses(const uint32_t* addresses, uint64_t count) {
    uint64_t kept = std::min(count, kMaxRemoteAddresses);
    std::lock_guard<std::mutex> guard(remoteLock);
    if (kept > 0)
        std::memcpy(remoteAddresses, addresses, kept * sizeof(uint32_t));
    remoteAddressCount = kept;
}

void MailboxTransport::ClearRemoteAddresses() {
    std::lock_guard<std::mutex> guard(remoteLock);
    remoteAddressCount = 0;
}

bool MailboxTransport::HasRemoteAddress(uint32_t address) const {
    std::lock_guard<std::mutex> guard(remoteLock);
    return std::find(remoteAddresses, remoteAddresses + remoteAddressCount, address) !=
           remoteAddresses + remoteAddressCount;
}

bool MailboxTransport::HasRemoteAddress(const char* name) const {
    return HasRemoteAddress(MailboxAddress::FromName(name));
}

uint64_t MailboxTransport::GetRemoteAddressCount() const {
    std::lock_guard<std::mutex> guard(remoteLock);
    return remoteAddressCount;
}
