// A scripted MailboxTransport: records what the broker sends and lets a test play the peer.
#pragma once

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "Mailbox.h"

struct FakeTransportLog {
    std::mutex lock;
    std::vector<std::vector<uint8_t>> sent;           // each Send, as serialised
    std::vector<std::vector<uint32_t>> addressLists;  // each OnLocalAddressesChanged
    int shutdowns = 0;
    bool destroyed = false;
    bool shutDownBeforeDestroyed = false;
};

class FakeTransport : public MailboxTransport {
  public:
    explicit FakeTransport(
        std::shared_ptr<FakeTransportLog> log = std::make_shared<FakeTransportLog>())
        : log_(std::move(log)) {}
    ~FakeTransport() override {
        std::lock_guard<std::mutex> guard(log_->lock);
        log_->shutDownBeforeDestroyed = log_->shutdowns > 0;
        log_->destroyed = true;
    }

    void Initialize(uint16_t) override {}
    void Shutdown() override {
        std::lock_guard<std::mutex> guard(log_->lock);
        ++log_->shutdowns;
    }
    uint64_t Send(const uint8_t* bytes, uint64_t length) override {
        std::lock_guard<std::mutex> guard(log_->lock);
        log_->sent.emplace_back(bytes, bytes + length);
        return sendResult;
    }
    bool SubscribeToRemote(const char*, uint16_t) override { return true; }
    bool UnsubscribeFromRemote() override { return true; }
    MailboxAddressStatus GetRemoteAddressStatus(const char* name) override {
        return HasRemoteAddress(name) ? MAILBOX_ADDRESS_STATUS_REGISTERED : remoteStatusOtherwise;
    }
    bool IsSubscribedToRemote() override { return subscribed; }
    void OnLocalAddressesChanged(const uint32_t* addresses, uint64_t count) override {
        std::lock_guard<std::mutex> guard(log_->lock);
        log_->addressLists.emplace_back(addresses, addresses + count);
    }

    // The peer's side: what a real transport does when bytes arrive.
    void Receive(const std::vector<uint8_t>& bytes) {
        MailboxMessage* message =
            new MailboxMessage(bytes.data(), static_cast<uint16_t>(bytes.size()));
        message->SetIsReceivedFromRemote(true);
        GetMessageReceivedCallback()->OnMessageReceived(message);
    }
    void Connect() { GetMessageReceivedCallback()->OnRemoteConnected(); }

    using MailboxTransport::ClearRemoteAddresses;
    using MailboxTransport::GetRemoteAddressCount;
    using MailboxTransport::HasRemoteAddress;
    using MailboxTransport::StoreRemoteAddresses;

    std::atomic<bool> subscribed{true};
    std::atomic<uint64_t> sendResult{1};
    MailboxAddressStatus remoteStatusOtherwise = MAILBOX_ADDRESS_STATUS_NOT_REGISTERED;

  private:
    std::shared_ptr<FakeTransportLog> log_;
};

// The serialised form of a message, built by hand so tests do not lean on the code under test.
inline std::vector<uint8_t> Serialised(const char address[4], const std::vector<uint8_t>& data,
                                       uint16_t type = 0) {
    std::vector<uint8_t> bytes(address, address + 4);
    bytes.push_back(static_cast<uint8_t>(data.size() & 0xFF));
    bytes.push_back(static_cast<uint8_t>(data.size() >> 8));
    bytes.push_back(static_cast<uint8_t>(type & 0xFF));
    bytes.push_back(static_cast<uint8_t>(type >> 8));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}
