#include "Mailbox.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "Timer.h"

namespace {

using utl::Timer;

const char* Printable(const char* name) {
    return name != nullptr ? name : "";
}

}  // namespace

Mailbox::Mailbox()
    : isInitialized(false), isRunning(true), remoteTransport(nullptr), wakePending(false) {
    transportCallback.SetContext(this);
}

Mailbox::~Mailbox() {
    Shutdown();
    AssignRemoteTransport(nullptr);
    std::lock_guard<std::recursive_mutex> guard(lock);
    for (auto& entry : clientMailboxes) {
        for (MailboxMessage* message : entry.second)
            delete message;
    }
    clientMailboxes.clear();
    clientRegistry.clear();
}

void Mailbox::Initialize() {
    std::lock_guard<std::mutex> lifecycle(lifecycleLock);
    if (isInitialized && isRunning)
        return;
    if (dispatchThread.joinable()) {
        // Stopped from its own callback and not joined yet: a restart from that same thread
        // simply lets the running loop go on.
        if (dispatchThreadId.load() == std::this_thread::get_id()) {
            isRunning = true;
            isInitialized = true;
            return;
        }
        dispatchThread.join();
    }
    isRunning = true;
    dispatchThread = std::thread(&Mailbox::MailboxDispatchThread, this);
    dispatchThreadId = dispatchThread.get_id();
    isInitialized = true;
}

void Mailbox::Shutdown() {
    if (dispatchThreadId.load() == std::this_thread::get_id()) {
        // A client callback cannot wait for the thread it runs on; the loop ends after this
        // pass and the next Shutdown or Initialize from another thread joins it.
        isRunning = false;
        return;
    }
    std::lock_guard<std::mutex> lifecycle(lifecycleLock);
    if (!isInitialized && !dispatchThread.joinable())
        return;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        isRunning = false;
    }
    StopAndJoinDispatchThread();
    isInitialized = false;
}

void Mailbox::StopAndJoinDispatchThread() {
    {
        std::lock_guard<std::mutex> wake(wakeLock);
        wakePending = true;
    }
    wakeSignal.notify_one();
    if (dispatchThread.joinable())
        dispatchThread.join();
    dispatchThreadId = std::thread::id();
}

void Mailbox::MailboxDispatchThread() {
    while (isRunning) {
        DispatchPendingMessages();
        std::unique_lock<std::mutex> wake(wakeLock);
        wakeSignal.wait_for(wake, std::chrono::milliseconds(1),
                            [this] { return wakePending || !isRunning; });
        wakePending = false;
    }
}

bool Mailbox::Register(const char* name, MailboxClientCallback callback, void* context) {
    uint32_t address = MailboxAddress::FromName(name);
    bool registered = false;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (clientRegistry.count(address) != 0) {
            Timer::printfTime("[Mailbox] Client attempt to re-register: '%s'\n", Printable(name));
        } else if (callback == nullptr) {
            Timer::printfTime("[Mailbox] Client cannot register without a callback: '%s'\n",
                              Printable(name));
        } else {
            clientRegistry[address] = ClientRecord{address, callback, context};
            registered = true;
        }
    }
    DispatchClientRegistry();
    return registered;
}

bool Mailbox::Unregister(const char* name) {
    uint32_t address = MailboxAddress::FromName(name);
    bool removed = false;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (clientRegistry.count(address) != 0) {
            CleanAndRemoveClientMailbox(address);
            clientRegistry.erase(address);
            removed = true;
        } else {
            Timer::printfTime(
                "[Mailbox] Attempted to unregister a client that is not registered: '%s'\n",
                Printable(name));
        }
    }
    DispatchClientRegistry();
    return removed;
}

bool Mailbox::IsRegistered(const char* name) {
    if (name == nullptr)
        return false;
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (clientRegistry.count(MailboxAddress::FromName(name)) != 0)
        return true;
    return IsForwarding() &&
           remoteTransport->GetRemoteAddressStatus(name) == MAILBOX_ADDRESS_STATUS_REGISTERED;
}

MailboxAddressStatus Mailbox::GetMailboxStatus(const char* name) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (clientRegistry.count(MailboxAddress::FromName(name)) != 0) {
        return MAILBOX_ADDRESS_STATUS_REGISTERED;
    }
    if (!IsForwarding())
        return MAILBOX_ADDRESS_STATUS_NOT_REGISTERED;
    return remoteTransport->GetRemoteAddressStatus(Printable(name));
}

bool Mailbox::SendMessage(MailboxMessage* message) const {
    if (message == nullptr)
        return false;
    // Declared before the guard, so the message is destroyed after the lock is released, also
    // when a client callback throws.
    std::unique_ptr<MailboxMessage> owned(message);
    std::lock_guard<std::recursive_mutex> guard(lock);
    const MailboxMessageData& data = owned->GetData();
    auto client = clientRegistry.find(MailboxAddress::FromBytes(data.address));
    if (client != clientRegistry.end()) {
        return client->second.callback(data, client->second.context, true);
    }
    if (IsForwarding()) {
        // A message that came from the peer is never sent back to it.
        return owned->GetIsReceivedFromRemote() || ForwardToRemote(*owned);
    }
    Timer::printfTime("[Mailbox] SendMessage called for unregistered client: '%s'\n", data.address);
    return false;
}

bool Mailbox::SendMessage(const char* name, const void* data, uint16_t length,
                          uint16_t messageType) const {
    return SendMessage(CreateMessage(name, data, length, messageType));
}

bool Mailbox::ForwardToRemote(const MailboxMessage& message) const {
    uint16_t total = 0;
    std::unique_ptr<uint8_t[]> bytes(message.GetDataSerializedBinary(total));
    if (!bytes) {
        Timer::printfTime(
            "[Mailbox] GetDataSerializedBinary failed. Message will not send to target '%s'\n",
            message.GetData().address);
        return false;
    }
    if (remoteTransport->Send(bytes.get(), total) == 0) {
        Timer::printfTime("[Mailbox] Remote Connection Send failed for message with target '%s'\n",
                          message.GetData().address);
        return false;
    }
    return true;
}

void Mailbox::PostMessage(MailboxMessage* message) {
    if (message == nullptr)
        return;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        clientMailboxes[MailboxAddress::FromBytes(message->GetData().address)].push_back(message);
    }
    {
        std::lock_guard<std::mutex> wake(wakeLock);
        wakePending = true;
    }
    wakeSignal.notify_one();
}

void Mailbox::PostMessage(const char* name, const void* data, uint16_t length,
                          uint16_t messageType) {
    PostMessage(CreateMessage(name, data, length, messageType));
}

MailboxMessage* Mailbox::CreateMessage(const char* name, const void* data, uint16_t length,
                                       uint16_t messageType) const {
    return new MailboxMessage(name, data, length, messageType);
}

void Mailbox::UnallocateMessage(MailboxMessage* message) const {
    delete message;
}

void Mailbox::AssignRemoteTransport(MailboxTransport* transport) {
    std::lock_guard<std::mutex> exchange(exchangeLock);
    MailboxTransport* previous;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        previous = remoteTransport;
        remoteTransport = nullptr;
    }
    // Outside the broker's lock: the old transport's threads may be waiting for it while
    // Shutdown waits for them.
    if (previous != nullptr) {
        previous->Shutdown();
        delete previous;
    }
    if (transport == nullptr)
        return;
    transport->SetMessageReceivedCallback(&transportCallback);
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        remoteTransport = transport;
    }
    DispatchClientRegistry();
}

bool Mailbox::IsRemoteConnected() const {
    std::lock_guard<std::recursive_mutex> guard(lock);
    return IsForwarding();
}

bool Mailbox::IsForwarding() const {
    return remoteTransport != nullptr && remoteTransport->IsSubscribedToRemote();
}

void Mailbox::DispatchPendingMessages() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    std::vector<uint32_t> unregistered;
    // Callbacks may register, unregister and post while the pass runs, so every step looks
    // the mailbox up again instead of holding an iterator across a callback.
    for (auto it = clientMailboxes.begin(); it != clientMailboxes.end();) {
        uint32_t address = it->first;
        if (clientRegistry.count(address) != 0) {
            MessageQueue queue;
            queue.swap(it->second);
            DeliverQueued(address, queue);
        } else if (IsForwarding()) {
            DispatchMessageToRemote(it->second);
        } else {
            char text[5];
            MailboxAddress::ToText(address, text);
            Timer::printfTime("[Mailbox] Mailbox found for unregistered client: '%s'\n", text);
            CleanClientMailbox(address);
            unregistered.push_back(address);
        }
        it = clientMailboxes.upper_bound(address);
    }
    for (uint32_t address : unregistered) {
        char text[5];
        MailboxAddress::ToText(address, text);
        CleanAndRemoveClientMailbox(address);
        Timer::printfTime("[Mailbox] Removed mailbox for unregistered client: '%s'\n", text);
    }
}

void Mailbox::DeliverQueued(uint32_t address, MessageQueue& queue) {
    while (!queue.empty()) {
        std::unique_ptr<MailboxMessage> message(queue.front());
        queue.pop_front();
        // The client may have unregistered itself in an earlier callback of this pass; its
        // remaining messages go the way Unregister sends queued ones.
        auto client = clientRegistry.find(address);
        if (client == clientRegistry.end())
            continue;
        try {
            client->second.callback(message->GetData(), client->second.context, false);
        } catch (const std::exception& error) {
            Timer::printfTime("[Mailbox] Client callback threw for '%s': %s\n",
                              message->GetData().address, error.what());
        } catch (...) {
            Timer::printfTime("[Mailbox] Client callback threw for '%s'\n",
                              message->GetData().address);
        }
    }
}

void Mailbox::DispatchMessageToRemote(MessageQueue& queue) const {
    if (!IsForwarding()) {
        Timer::printfTime("[Mailbox] DispatchMessageToRemote called while no remote connected!\n");
        return;
    }
    MessageQueue pending;
    pending.swap(queue);
    for (MailboxMessage* message : pending)
        SendMessage(message);
}

void Mailbox::DispatchClientRegistry() {
    // The list goes out with the lock held (the broker already calls Send that way), so a
    // transport that is being replaced can never be in use here once the exchange has it.
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (!IsForwarding())
        return;
    std::vector<uint32_t> addresses;
    addresses.reserve(clientRegistry.size());
    for (const auto& entry : clientRegistry)
        addresses.push_back(entry.first);
    remoteTransport->OnLocalAddressesChanged(addresses.data(), addresses.size());
}

void Mailbox::CleanClientMailbox(uint32_t address) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    auto found = clientMailboxes.find(address);
    if (found == clientMailboxes.end())
        return;
    for (MailboxMessage* message : found->second)
        delete message;
    found->second.clear();
}

void Mailbox::CleanAndRemoveClientMailbox(uint32_t address) {
    std::lock_guard<std::recursive_mutex> guard(lock);
    CleanClientMailbox(address);
    clientMailboxes.erase(address);
}
