#include "MailboxUdp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <limits>

#include "PosixCall.h"

namespace {

using utl::Timer;

constexpr int kPassPeriodMs = 10;
constexpr size_t kReceiveSize = 65535;
constexpr uint64_t kAllBits = std::numeric_limits<uint64_t>::max();

struct Endpoint {
    char dotted[INET_ADDRSTRLEN];
    int port;
};

Endpoint Describe(const sockaddr_in& address) {
    Endpoint endpoint{};
    inet_ntop(AF_INET, &address.sin_addr, endpoint.dotted, sizeof endpoint.dotted);
    endpoint.port = ntohs(address.sin_port);
    return endpoint;
}

}  // namespace

MailboxUdp::MailboxUdp()
    : isRunning(false),
      isInitialized(false),
      udpSocket(-1),
      localPort(0),
      remoteAddress{},
      subscribeValue(0xFF),
      unsubscribeValue(0x00),
      clientTimeoutSeconds(15.0f),
      boundPort(0),
      receiveBuffer(kReceiveSize) {}

MailboxUdp::~MailboxUdp() {
    Shutdown();
}

uint64_t MailboxUdp::ClientKey(const sockaddr_in& address) {
    // The address and port bytes as they stand in the socket address, each read as a
    // little-endian number.
    const uint8_t* ip = reinterpret_cast<const uint8_t*>(&address.sin_addr);
    const uint8_t* port = reinterpret_cast<const uint8_t*>(&address.sin_port);
    uint64_t ipValue = static_cast<uint64_t>(ip[0]) | static_cast<uint64_t>(ip[1]) << 8 |
                       static_cast<uint64_t>(ip[2]) << 16 | static_cast<uint64_t>(ip[3]) << 24;
    uint64_t portValue = static_cast<uint64_t>(port[0]) | static_cast<uint64_t>(port[1]) << 8;
    return ipValue << 32 | portValue;
}

void MailboxUdp::Initialize(uint16_t port) {
    std::lock_guard<std::mutex> lifecycle(lifecycleLock);
    if (isInitialized)
        return;
    if (!OpenSocket(port))
        return;
    isRunning = true;
    updateThread = std::thread(&MailboxUdp::MailboxUdpThread, this);
    isInitialized = true;
}

bool MailboxUdp::OpenSocket(uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Timer::printfTime("[MailboxUdp] socket() Failed!\n");
        return false;
    }
    localPort = port;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    // Any local address, so brokers on other machines can subscribe to this one.
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        Timer::printfTime("[MailboxUdp] bind() Failed!\n");
        close(fd);
        return false;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        Timer::printfTime("[MailboxUdp] ioctlsocket() failed: %d\n", errno);
        close(fd);
        return false;
    }
    socklen_t size = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
    boundPort = ntohs(local.sin_port);
    std::lock_guard<std::mutex> guard(lock);
    udpSocket = fd;
    return true;
}

void MailboxUdp::Shutdown() {
    std::lock_guard<std::mutex> lifecycle(lifecycleLock);
    if (!isInitialized)
        return;
    isRunning = false;
    if (updateThread.get_id() == std::this_thread::get_id()) {
        updateThread.detach();
    } else if (updateThread.joinable()) {
        updateThread.join();
    }
    std::lock_guard<std::mutex> guard(lock);
    close(udpSocket);
    udpSocket = -1;
    boundPort = 0;
    isInitialized = false;
}

uint64_t MailboxUdp::InternalSend(const sockaddr_in& destination, const uint8_t* bytes,
                                  uint64_t length) {
    if (length > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
        return kAllBits;
    ssize_t sent = RetryOnEintr([&] {
        return sendto(udpSocket, bytes, length, 0, reinterpret_cast<const sockaddr*>(&destination),
                      sizeof destination);
    });
    return sent >= 0 ? 1 : 0;
}

uint64_t MailboxUdp::Send(const uint8_t* bytes, uint64_t length) {
    if (length <= 1) {
        Timer::printfTime("[MailboxUdp] Send() failed: Cannot send length <= 1.\n");
        return kAllBits;
    }
    std::lock_guard<std::mutex> guard(lock);
    uint64_t count = 0;
    // Only real hand-overs count; an oversized datagram reached nobody.
    if (IsSubscribedLocked() && InternalSend(remoteAddress, bytes, length) == 1)
        ++count;
    for (auto& entry : clients) {
        if (InternalSend(entry.second.address, bytes, length) == 1)
            ++count;
        entry.second.timer.reset();
    }
    return count;
}

bool MailboxUdp::SubscribeToRemote(const char* address, uint16_t port) {
    std::lock_guard<std::mutex> guard(lock);
    if (IsSubscribedLocked())
        return false;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    if (address == nullptr || inet_pton(AF_INET, address, &remote.sin_addr) != 1) {
        Timer::printfTime("[MailboxUdp] inet_pton() failed!\n");
        return false;
    }
    remote.sin_port = htons(port);
    remoteAddress = remote;
    InternalSend(remoteAddress, &subscribeValue, 1);
    return true;
}

bool MailboxUdp::UnsubscribeFromRemote() {
    std::lock_guard<std::mutex> guard(lock);
    if (!IsSubscribedLocked())
        return false;
    InternalSend(remoteAddress, &unsubscribeValue, 1);
    remoteAddress = sockaddr_in{};
    return true;
}

MailboxAddressStatus MailboxUdp::GetRemoteAddressStatus(const char* /*name*/) {
    return MAILBOX_ADDRESS_STATUS_UNKNOWN;
}

bool MailboxUdp::IsSubscribedToRemote() {
    std::lock_guard<std::mutex> guard(lock);
    return IsSubscribedLocked();
}

bool MailboxUdp::IsSubscribedLocked() const {
    return remoteAddress.sin_addr.s_addr != 0 && remoteAddress.sin_port != 0;
}

void MailboxUdp::OnLocalAddressesChanged(const uint32_t* /*addresses*/, uint64_t /*count*/) {}

void MailboxUdp::MailboxUdpThread() {
    while (isRunning) {
        Update();
        // Wake as soon as a datagram arrives, but pass at least every 10 ms for the sweep.
        pollfd ready{udpSocket, POLLIN, 0};
        RetryOnEintr([&] { return poll(&ready, 1, kPassPeriodMs); });
    }
}

void MailboxUdp::Update() {
    SweepTimedOutClients();
    for (;;) {
        sockaddr_in sender{};
        socklen_t size = sizeof sender;
        ssize_t count = RetryOnEintr([&] {
            return recvfrom(udpSocket, receiveBuffer.data(), receiveBuffer.size(), 0,
                            reinterpret_cast<sockaddr*>(&sender), &size);
        });
        if (count == 0) {
            Timer::printfTime("[MailboxUdp] Unexpected recvfrom return value: 0x%x.\n", 0);
            return;
        }
        if (count < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                Timer::printfTime("[MailboxUdp] Socket error on recvfrom()!\n");
            }
            return;
        }
        if (count == 1) {
            HandleSubscription(receiveBuffer[0], sender);
        } else {
            HandleMessage(receiveBuffer.data(), static_cast<uint16_t>(count));
        }
    }
}

void MailboxUdp::SweepTimedOutClients() {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<uint64_t> expired;
    for (const auto& entry : clients) {
        if (entry.second.timer.getElapsedTime() <= clientTimeoutSeconds)
            continue;
        Endpoint endpoint = Describe(entry.second.address);
        Timer::printfTime(
            "[MailboxUdp] Client %s:%d has timed out. Marking [0x%016x] for removal.\n",
            endpoint.dotted, endpoint.port, static_cast<uint32_t>(entry.first));
        expired.push_back(entry.first);
    }
    for (uint64_t key : expired)
        clients.erase(key);
}

void MailboxUdp::HandleSubscription(uint8_t value, const sockaddr_in& sender) {
    if (value != subscribeValue && value != unsubscribeValue) {
        Timer::printfTime("[MailboxUdp] Unexpected Sub/Unsub message value: 0x%x.\n", value);
        return;
    }
    uint64_t key = ClientKey(sender);
    Endpoint endpoint = Describe(sender);
    std::lock_guard<std::mutex> guard(lock);
    auto known = clients.find(key);
    if (value == subscribeValue) {
        if (known != clients.end()) {
            known->second.timer.reset();
            return;
        }
        clients[key].address = sender;
        Timer::printfTime("[MailboxUdp] Added client %s:%d. (key: 0x%016x)\n", endpoint.dotted,
                          endpoint.port, static_cast<uint32_t>(key));
    } else if (known != clients.end()) {
        clients.erase(known);
        Timer::printfTime("[MailboxUdp] Removed client %s:%d. (key: 0x%016x)\n", endpoint.dotted,
                          endpoint.port, static_cast<uint32_t>(key));
    }
}

void MailboxUdp::HandleMessage(const uint8_t* bytes, uint16_t length) {
    // No lock of ours is held here: the broker's SendMessage takes the broker's lock, under
    // which the broker calls our Send.
    DeliverReceivedMessage("MailboxUdp", bytes, length);
}
