// The transport that links brokers over UDP on IPv4. Each side binds a local port on the
// loopback address. A side may subscribe to one remote endpoint with a one-byte subscribe
// datagram; the receiving side keeps every endpoint that subscribed in its client table until it
// unsubscribes or stays silent (no subscribe from it, nothing sent to it) for more than 15
// seconds. Every message goes as one datagram to the subscribed endpoint and to every client.
// There is no address list: the status of a remote address is always unknown.
//
// Locks: lock guards the client table, the remote endpoint and the socket. Send runs under it
// with the broker's lock held, so received messages are handed to the broker without it.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "DrovoCommonExport.h"
#include "MailboxTransport.h"
#include "Timer.h"

class DROVO_COMMON_API MailboxUdp : public MailboxTransport {
  public:
    MailboxUdp();
    // Shuts down first when still initialised, then discards the client table.
    ~MailboxUdp() override;

    // Binds the port (0 lets the system choose) and starts the UDP thread; does nothing when
    // already initialised. Each failed step prints its line and leaves the transport
    // uninitialised, so Initialize may be tried again.
    void Initialize(uint16_t port) override;
    // Stops the UDP thread (waiting for it unless called on it) and closes the socket, so the
    // port is free again; Initialize may follow. Subscription and client table are kept.
    void Shutdown() override;
    // Number of destinations the datagram was handed to; all bits set, with a line, for 0 or 1
    // byte (one byte would read as a subscription datagram).
    uint64_t Send(const uint8_t* bytes, uint64_t length) override;
    // Sends the subscribe datagram to a dotted IPv4 address. False when already subscribed or
    // when the text is no dotted address. Port 0 sends but leaves the side unsubscribed.
    bool SubscribeToRemote(const char* address, uint16_t port) override;
    // Sends the unsubscribe datagram and forgets the remote endpoint; false when not subscribed.
    bool UnsubscribeFromRemote() override;
    // Always MAILBOX_ADDRESS_STATUS_UNKNOWN.
    MailboxAddressStatus GetRemoteAddressStatus(const char* name) override;
    bool IsSubscribedToRemote() override;
    // UDP peers exchange no address lists.
    void OnLocalAddressesChanged(const uint32_t* addresses, uint64_t count) override;

    // The local port the socket is bound to (the system's choice after Initialize with 0); 0
    // when not initialised.
    uint16_t GetBoundPort() const { return boundPort; }

  private:
    friend struct MailboxUdpTestAccess;

    struct UdpClient {
        utl::Timer timer;
        sockaddr_in address;
    };

    static uint64_t ClientKey(const sockaddr_in& address);
    bool OpenSocket(uint16_t port);
    uint64_t InternalSend(const sockaddr_in& destination, const uint8_t* bytes, uint64_t length);
    bool IsSubscribedLocked() const;
    void MailboxUdpThread();
    void Update();
    void SweepTimedOutClients();
    void HandleSubscription(uint8_t value, const sockaddr_in& sender);
    void HandleMessage(const uint8_t* bytes, uint16_t length);

    std::atomic<bool> isRunning;
    std::thread updateThread;
    std::mutex lock;
    bool isInitialized;                     // guarded by lifecycleLock
    std::map<uint64_t, UdpClient> clients;  // guarded by lock
    int udpSocket;                          // guarded by lock for closing; read by the UDP thread
    uint16_t localPort;
    sockaddr_in remoteAddress;  // guarded by lock; all zero when not subscribed
    const uint8_t subscribeValue;
    const uint8_t unsubscribeValue;
    float clientTimeoutSeconds;  // 15; tests shorten it before Initialize
    std::atomic<uint16_t> boundPort;
    std::mutex lifecycleLock;
    std::vector<uint8_t> receiveBuffer;  // UDP thread only
};
