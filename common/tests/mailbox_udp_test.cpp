#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "Inbox.h"
#include "Poll.h"
#include "StdoutCapture.h"

struct MailboxUdpTestAccess {
    static void SetClientTimeout(MailboxUdp& transport, float seconds) {
        transport.clientTimeoutSeconds = seconds;
    }
};

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

// A plain UDP socket on loopback that plays a foreign endpoint.
class RawUdp {
  public:
    RawUdp() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = Loopback(0);
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        socklen_t size = sizeof local;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size);
        port_ = ntohs(local.sin_port);
    }
    ~RawUdp() { close(fd_); }

    static sockaddr_in Loopback(uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    void SendTo(uint16_t port, const Bytes& bytes) {
        sockaddr_in to = Loopback(port);
        ASSERT_EQ(
            sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(bytes.size()));
    }
    // The next datagram, or nothing after ten seconds.
    Bytes Receive() {
        pollfd ready{fd_, POLLIN, 0};
        if (poll(&ready, 1, 10000) != 1)
            return {};
        Bytes bytes(65535);
        ssize_t count = recv(fd_, bytes.data(), bytes.size(), 0);
        bytes.resize(count > 0 ? static_cast<size_t>(count) : 0);
        return bytes;
    }
    uint16_t Port() const { return port_; }
    // The low 32 bits of the transport's key for this endpoint, as its lines print them.
    std::string KeyText() const {
        uint16_t network = htons(port_);
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&network);
        char text[32];
        snprintf(text, sizeof text, "0x%016x", static_cast<unsigned>(bytes[0] | bytes[1] << 8));
        return text;
    }

  private:
    int fd_;
    uint16_t port_;
};

bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Two brokers in one process, each with a UDP transport on a port of the system's choice.
struct UdpPair {
    UdpPair() {
        a = new MailboxUdp();
        b = new MailboxUdp();
        a->Initialize(0);
        b->Initialize(0);
        brokerA.AssignRemoteTransport(a);
        brokerB.AssignRemoteTransport(b);
        EXPECT_TRUE(brokerA.Register("AAAA", &Inbox::Callback, &inboxA));
        EXPECT_TRUE(brokerB.Register("BBBB", &Inbox::Callback, &inboxB));
    }
    Inbox inboxA, inboxB;
    Mailbox brokerA, brokerB;
    MailboxUdp* a;  // owned by the brokers
    MailboxUdp* b;
};

TEST(MailboxUdp, SubscriberForwardsThroughItsBrokerAndReceivesFromTheOther) {
    UdpPair pair;
    ASSERT_TRUE(pair.b->SubscribeToRemote("127.0.0.1", pair.a->GetBoundPort()));
    EXPECT_TRUE(pair.brokerB.IsRemoteConnected());
    EXPECT_TRUE(pair.brokerB.SendMessage("AAAA", "to a", 4, 2));
    ASSERT_TRUE(PollUntil([&] { return pair.inboxA.Count() == 1; }));
    EXPECT_EQ(pair.inboxA.Snapshot()[0].data, "to a");
    EXPECT_EQ(pair.inboxA.Snapshot()[0].type, 2);
    EXPECT_TRUE(pair.inboxA.Snapshot()[0].immediate);

    // A subscribed to nobody, so its broker does not forward; its transport still reaches B,
    // which is in A's client table since B's subscribe datagram arrived.
    EXPECT_FALSE(pair.brokerA.IsRemoteConnected());
    Bytes toB = Serialised("BBBB", {'t', 'o', ' ', 'b'});
    EXPECT_EQ(pair.a->Send(toB.data(), toB.size()), 1u);
    ASSERT_TRUE(PollUntil([&] { return pair.inboxB.Count() == 1; }));
    EXPECT_EQ(pair.inboxB.Snapshot()[0].data, "to b");

    EXPECT_EQ(pair.brokerB.GetMailboxStatus("AAAA"), MAILBOX_ADDRESS_STATUS_UNKNOWN);
    EXPECT_FALSE(pair.brokerB.IsRegistered("AAAA"));
}

TEST(MailboxUdp, EndpointThatIsBothRemoteAndClientReceivesTwice) {
    UdpPair pair;
    ASSERT_TRUE(pair.a->SubscribeToRemote("127.0.0.1", pair.b->GetBoundPort()));
    ASSERT_TRUE(pair.b->SubscribeToRemote("127.0.0.1", pair.a->GetBoundPort()));
    // Wait until B is in A's client table: a send then reaches it by both roads.
    RawUdp probe;
    probe.SendTo(pair.a->GetBoundPort(), {0xFF});
    ASSERT_TRUE(PollUntil([&] {
        Bytes bytes = Serialised("PRBE", {'x'});
        return pair.a->Send(bytes.data(), bytes.size()) == 3;
    }));
    {
        std::lock_guard<std::mutex> guard(pair.inboxB.lock);
        pair.inboxB.deliveries.clear();
    }
    EXPECT_TRUE(pair.brokerA.SendMessage("BBBB", "twice", 5, 0));
    ASSERT_TRUE(PollUntil([&] { return pair.inboxB.Count() == 2; }));
    for (const Delivery& delivery : pair.inboxB.Snapshot())
        EXPECT_EQ(delivery.data, "twice");
}

TEST(MailboxUdp, SendCountsDestinationsAndRefusesSubscriptionSizedData) {
    MailboxUdp transport;
    transport.Initialize(0);
    Bytes message = Serialised("ABCD", {1, 2, 3});
    EXPECT_EQ(transport.Send(message.data(), message.size()), 0u);
    RawUdp remote, first, second;
    ASSERT_TRUE(transport.SubscribeToRemote("127.0.0.1", remote.Port()));
    EXPECT_EQ(remote.Receive(), Bytes{0xFF});
    first.SendTo(transport.GetBoundPort(), {0xFF});
    second.SendTo(transport.GetBoundPort(), {0xFF});
    ASSERT_TRUE(PollUntil([&] { return transport.Send(message.data(), message.size()) == 3; }));
    EXPECT_EQ(first.Receive(), message);

    StdoutCapture capture;
    EXPECT_EQ(transport.Send(message.data(), 1), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(transport.Send(message.data(), 0), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(capture.FinishLines(),
              (Lines{"[MailboxUdp] Send() failed: Cannot send length <= 1.\n",
                     "[MailboxUdp] Send() failed: Cannot send length <= 1.\n"}));
    EXPECT_TRUE(transport.UnsubscribeFromRemote());
    Bytes last;
    do {
        last = remote.Receive();  // the messages sent above come first
    } while (last.size() > 1);
    EXPECT_EQ(last, Bytes{0x00});
    EXPECT_FALSE(transport.UnsubscribeFromRemote());
}

TEST(MailboxUdp, SubscribeNeedsADottedAddressAndAPort) {
    MailboxUdp transport;
    transport.Initialize(0);
    StdoutCapture capture;
    EXPECT_FALSE(transport.SubscribeToRemote("localhost", 5000));
    EXPECT_FALSE(transport.SubscribeToRemote(nullptr, 5000));
    EXPECT_FALSE(transport.IsSubscribedToRemote());
    EXPECT_EQ(capture.FinishLines(),
              (Lines{"[MailboxUdp] inet_pton() failed!\n", "[MailboxUdp] inet_pton() failed!\n"}));
    EXPECT_TRUE(transport.SubscribeToRemote("127.0.0.1", 0));
    EXPECT_FALSE(transport.IsSubscribedToRemote());
    RawUdp remote;
    EXPECT_TRUE(transport.SubscribeToRemote("127.0.0.1", remote.Port()));
    EXPECT_TRUE(transport.IsSubscribedToRemote());
    EXPECT_FALSE(transport.SubscribeToRemote("127.0.0.1", remote.Port()));
    EXPECT_EQ(transport.GetRemoteAddressStatus("ABCD"), MAILBOX_ADDRESS_STATUS_UNKNOWN);
}

TEST(MailboxUdp, ForeignDatagramsAreHandledWithTheirLines) {
    Mailbox broker;
    Inbox inbox;
    auto* transport = new MailboxUdp();
    transport->Initialize(0);
    broker.AssignRemoteTransport(transport);
    ASSERT_TRUE(broker.Register("HERE", &Inbox::Callback, &inbox));
    uint16_t port = transport->GetBoundPort();
    RawUdp stranger;
    std::string endpoint = "127.0.0.1:" + std::to_string(stranger.Port());

    StdoutCapture capture;
    stranger.SendTo(port, {0x00});  // unsubscribe from a stranger: nothing
    stranger.SendTo(port, {0xFF});
    stranger.SendTo(port, {0xFF});  // known: only its timer restarts
    stranger.SendTo(port, {0x01});
    stranger.SendTo(port, {'A', 'B', 'C', 'D', 'E'});
    stranger.SendTo(port, Serialised("HERE", {'o', 'k'}));
    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    stranger.SendTo(port, {});  // ends its pass
    stranger.SendTo(port, {0x00});
    ASSERT_TRUE(PollUntil([&] { return capture.Lines().size() >= 5; }));
    EXPECT_EQ(
        capture.FinishLines(),
        (Lines{
            "[MailboxUdp] Added client " + endpoint + ". (key: " + stranger.KeyText() + ")\n",
            "[MailboxUdp] Unexpected Sub/Unsub message value: 0x1.\n",
            "[MailboxUdp] Exception creating mailbox message: Data length less than the "
            "size of a header!\n",
            "[MailboxUdp] Unexpected recvfrom return value: 0x0.\n",
            "[MailboxUdp] Removed client " + endpoint + ". (key: " + stranger.KeyText() + ")\n"}));
    EXPECT_EQ(inbox.Snapshot()[0].data, "ok");
}

// The time-out is shortened to one second; the sweep and its line are the real ones.
TEST(MailboxUdp, SilentClientsTimeOutAndSendingKeepsThemAlive) {
    MailboxUdp transport;
    MailboxUdpTestAccess::SetClientTimeout(transport, 1.0f);
    transport.Initialize(0);
    RawUdp kept, silent;
    auto timedOut = [](const RawUdp& endpoint) {
        return "[MailboxUdp] Client 127.0.0.1:" + std::to_string(endpoint.Port()) +
               " has timed out. Marking [" + endpoint.KeyText() + "] for removal.\n";
    };
    Bytes message = Serialised("ABCD", {1});
    StdoutCapture capture;
    silent.SendTo(transport.GetBoundPort(), {0xFF});
    ASSERT_TRUE(PollUntil([&] { return Contains(capture.Lines(), timedOut(silent)); }));
    EXPECT_EQ(transport.Send(message.data(), message.size()), 0u);

    kept.SendTo(transport.GetBoundPort(), {0xFF});
    ASSERT_TRUE(PollUntil([&] { return transport.Send(message.data(), message.size()) == 1; }));
    for (int i = 0; i < 30; ++i) {  // three time-out periods, sending every 100 ms
        transport.Send(message.data(), message.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(transport.Send(message.data(), message.size()), 1u);
    EXPECT_FALSE(Contains(capture.FinishLines(), timedOut(kept)));
}

TEST(MailboxUdp, InitializeReportsABusyPortAndCanBeTriedAgain) {
    RawUdp holder;
    MailboxUdp transport;
    StdoutCapture capture;
    transport.Initialize(holder.Port());
    EXPECT_EQ(capture.FinishLines(), Lines{"[MailboxUdp] bind() Failed!\n"});
    EXPECT_EQ(transport.GetBoundPort(), 0);
    transport.Initialize(0);
    EXPECT_NE(transport.GetBoundPort(), 0);
    transport.Shutdown();
    EXPECT_EQ(transport.GetBoundPort(), 0);
    transport.Shutdown();
    transport.Initialize(0);
    EXPECT_NE(transport.GetBoundPort(), 0);
}

}  // namespace
