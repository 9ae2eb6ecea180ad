// The mailbox broker: delivers byte messages between named clients of one process, at once on
// the sender's thread (SendMessage) or through the client's mailbox, which the broker's dispatch
// thread empties (PostMessage). Messages for addresses not registered here go to the assigned
// transport, which carries them to a peer broker in another process.
//
// Locks: one re-entrant lock guards the registry, the mailboxes and the transport pointer.
// Client callbacks run with it held, so a callback may call back into the broker on the same
// thread but must never wait for another thread that needs the broker. The broker holds its lock
// while it calls into the transport; a transport never holds its own locks while it reports into
// the broker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "DrovoCommonExport.h"
#include "MailboxAddress.h"
#include "MailboxError.h"
#include "MailboxMessage.h"
#include "MailboxTransport.h"
#include "MailboxTransportCallback.h"

// Called for every message delivered to a client: the data view (valid only during the call),
// the client's context, and true when called from SendMessage on the sender's thread, false
// when called from the dispatch thread. Runs with the broker's lock held.
typedef bool (*MailboxClientCallback)(const MailboxMessageData& message, void* context,
                                      bool isImmediate);

class DROVO_COMMON_API Mailbox {
  public:
    Mailbox();
    // Stops the dispatch thread, shuts down and destroys the assigned transport (so none of its
    // threads reports into a destroyed broker), then destroys every queued message.
    ~Mailbox();
    Mailbox(const Mailbox&) = delete;
    Mailbox& operator=(const Mailbox&) = delete;

    // Starts the dispatch thread; a second call does nothing. Restartable after Shutdown.
    void Initialize();
    // Stops the dispatch thread and waits for it (unless called on it).
    void Shutdown();

    // False, with a line, when the address is already registered (the first record stays) or
    // when the callback is null. Sends the address list to a connected peer in every case.
    bool Register(const char* name, MailboxClientCallback callback, void* context);
    // Destroys the client's queued messages undelivered. Sends the address list in every case.
    bool Unregister(const char* name);
    // Registered here, or reported registered by the connected peer. False for a null name.
    bool IsRegistered(const char* name);
    MailboxAddressStatus GetMailboxStatus(const char* name);

    // Takes ownership of the message and destroys it before returning. Delivers it to a local
    // client (the result is the callback's), or forwards it to a connected peer. A callback
    // that throws lets the exception through after the lock is released and the message freed.
    bool SendMessage(MailboxMessage* message) const;
    bool SendMessage(const char* name, const void* data, uint16_t length,
                     uint16_t messageType) const;
    // Takes ownership and queues the message for the dispatch thread, which it wakes.
    void PostMessage(MailboxMessage* message);
    void PostMessage(const char* name, const void* data, uint16_t length, uint16_t messageType);

    // A new message owned by the caller until it is sent, posted or unallocated.
    MailboxMessage* CreateMessage(const char* name, const void* data, uint16_t length,
                                  uint16_t messageType) const;
    // Destroys a message that was never handed over; null is ignored.
    void UnallocateMessage(MailboxMessage* message) const;

    // Takes ownership of the transport (null leaves the broker without one). A previous
    // transport is shut down and destroyed first; it must not be replaced from one of its own
    // threads.
    void AssignRemoteTransport(MailboxTransport* transport);
    bool IsRemoteConnected() const;

  private:
    friend class MailboxTransportCallback;

    struct ClientRecord {
        uint32_t address;
        MailboxClientCallback callback;
        void* context;
    };
    using MessageQueue = std::deque<MailboxMessage*>;

    void MailboxDispatchThread();
    void DispatchPendingMessages();
    void DeliverQueued(uint32_t address, MessageQueue& queue);
    void DispatchMessageToRemote(MessageQueue& queue) const;
    void DispatchClientRegistry();
    void CleanClientMailbox(uint32_t address);
    void CleanAndRemoveClientMailbox(uint32_t address);
    bool IsForwarding() const;
    bool ForwardToRemote(const MailboxMessage& message) const;
    void StopAndJoinDispatchThread();

    std::map<uint32_t, MessageQueue> clientMailboxes;  // guarded by lock; owns the messages
    std::map<uint32_t, ClientRecord> clientRegistry;   // guarded by lock
    bool isInitialized;                                // guarded by lifecycleLock
    std::thread dispatchThread;                        // guarded by lifecycleLock
    std::atomic<std::thread::id> dispatchThreadId;
    mutable std::recursive_mutex lock;
    std::atomic<bool> isRunning;
    MailboxTransport* remoteTransport;  // guarded by lock; owned
    MailboxTransportCallback transportCallback;

    // Serialises Initialize/Shutdown, and transport exchanges, among client threads. Neither is
    // ever taken while the broker's lock is held.
    std::mutex lifecycleLock;
    std::mutex exchangeLock;

    // Wakes the dispatch thread early when a message is posted or the thread must stop.
    std::mutex wakeLock;
    std::condition_variable wakeSignal;
    bool wakePending;  // guarded by wakeLock
};

// The transports, so that a client program includes this one header.
#include "MailboxPipe.h"
#include "MailboxUdp.h"
#include "NamedPipe.h"
