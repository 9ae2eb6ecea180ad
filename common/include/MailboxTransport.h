// The seam between a mailbox broker and the transport that links it to a broker in another
// process. A broker holds at most one transport at a time and owns it from assignment on.
//
// Locks: every transport has its own lock(s); the broker may hold its lock while it calls Send,
// OnLocalAddressesChanged or the queries below, so a transport must never hold one of its locks
// while it reports into the broker through its MailboxTransportCallback. The remote address list
// has a small lock of its own that is never held while calling out.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "DrovoCommonExport.h"

class MailboxTransportCallback;

enum MailboxAddressStatus : int32_t {
    MAILBOX_ADDRESS_STATUS_UNKNOWN = 0,         // the transport cannot tell
    MAILBOX_ADDRESS_STATUS_REGISTERED = 1,      // registered here or at the connected peer
    MAILBOX_ADDRESS_STATUS_NOT_REGISTERED = 2,  // no client with this address is known
};

class DROVO_COMMON_API MailboxTransport {
  public:
    static constexpr uint64_t kMaxRemoteAddresses = 1024;

    MailboxTransport();
    // The broker destroys a transport it replaces or that it owns when it is destroyed, always
    // after Shutdown.
    virtual ~MailboxTransport();
    MailboxTransport(const MailboxTransport&) = delete;
    MailboxTransport& operator=(const MailboxTransport&) = delete;

    // Prepares the transport; the value's meaning is the transport's own (pipe: mode, UDP: local
    // port). Not called by the broker.
    virtual void Initialize(uint16_t value) = 0;
    // Stops the transport's threads and connections; after it returns no thread of the transport
    // reports into the broker. Blocks until they have ended. Called by the broker before it
    // destroys the transport, without holding the broker's lock.
    virtual void Shutdown() = 0;
    // Sends one serialised message to the peer. Called with the broker's lock held. Returns 0
    // when nothing was sent; any other value counts as sent.
    virtual uint64_t Send(const uint8_t* bytes, uint64_t length) = 0;
    // Connects to a peer (pipe name, or dotted IPv4 address with port). Not called by the broker.
    virtual bool SubscribeToRemote(const char* target, uint16_t port) = 0;
    virtual bool UnsubscribeFromRemote() = 0;
    // Status of an address that is not registered in this process (first four bytes count).
    virtual MailboxAddressStatus GetRemoteAddressStatus(const char* name) = 0;
    // True while a peer is connected; the broker forwards only then.
    virtual bool IsSubscribedToRemote() = 0;
    // The addresses of all clients registered with the broker, ascending. The array stays the
    // broker's. Called with the broker's lock held.
    virtual void OnLocalAddressesChanged(const uint32_t* addresses, uint64_t count) = 0;

    // Where received messages and connection changes are reported; not owned. Set by the broker
    // at assignment, before the transport can report anything to it.
    void SetMessageReceivedCallback(MailboxTransportCallback* callback);

    // Copies entry index of an array of 32-bit addresses into text as four bytes and a NUL.
    // A null list or text is ignored; the index is not checked against the list.
    void GetAddressFromList(const uint32_t* list, uint64_t index, char text[5]) const;

  protected:
    MailboxTransportCallback* GetMessageReceivedCallback() const;
    // Makes a message of bytes received from the peer and hands it to the callback, if one is
    // set. A message that cannot be made, or a callback that throws, is logged under logPrefix
    // and dropped: the read thread that calls this must outlive both. Call without holding a
    // lock of the transport's own.
    void DeliverReceivedMessage(const char* logPrefix, const uint8_t* bytes, uint16_t length);
    // Replaces the remote list; at most the first 1024 addresses are kept.
    void StoreRemoteAddresses(const uint32_t* addresses, uint64_t count);
    void ClearRemoteAddresses();
    bool HasRemoteAddress(uint32_t address) const;
    bool HasRemoteAddress(const char* name) const;
    uint64_t GetRemoteAddressCount() const;

  private:
    std::atomic<MailboxTransportCallback*> messageReceivedCallback;  // not owned
    uint32_t remoteAddresses[kMaxRemoteAddresses];                   // guarded by remoteLock
    uint64_t remoteAddressCount;                                     // guarded by remoteLock
    mutable std::mutex remoteLock;  // leaf lock: readers never see a half-written list
};
