#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "Inbox.h"
#include "Poll.h"
#include "RawPipePeer.h"
#include "StdoutCapture.h"
#include "UniqueName.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

Bytes Cat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// A broker whose pipe transport is the client of a raw peer that the test plays.
class PipeTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(broker.Register("AAAB", &Inbox::Callback, &inbox));
        ASSERT_TRUE(broker.Register("BAAA", &Inbox::Callback, &inbox));
        ASSERT_TRUE(broker.Register("CCCC", &Inbox::Callback, &inbox));
        MailboxHelpers::AddPipeClientToMailbox(broker, name.c_str());
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(PollUntil([&] { return broker.IsRemoteConnected(); }));
    }

    std::string name = UniquePipeName("transport");
    RawPipePeer peer{name};
    Inbox inbox;
    Mailbox broker;  // destroyed first: it shuts its transport down
};

TEST_F(PipeTransportTest, AddressListsAndMessagesGoOutInTheirLayouts) {
    // On connection: 21 bytes behind the header 00 15, addresses ascending by value.
    EXPECT_EQ(peer.ReadFramed(), Cat({0x00, 0x15, 0xFF, 0x00, 0xFF, 0x00, 0x01, 0x03, 0, 0, 0},
                                     {'B', 'A', 'A', 'A', 'A', 'A', 'A', 'B', 'C', 'C', 'C', 'C'}));
    for (const char* name : {"AAAB", "BAAA", "CCCC"})
        broker.Unregister(name);
    peer.ReadFramed();
    peer.ReadFramed();
    EXPECT_EQ(peer.ReadFramed(), (Bytes{0x00, 0x09, 0xFF, 0x00, 0xFF, 0x00, 0x01, 0, 0, 0, 0}));

    EXPECT_TRUE(broker.SendMessage("PEER", "hi", 2, 0x0304));
    EXPECT_EQ(peer.ReadFramed(), Cat({0x00, 0x0A}, Serialised("PEER", {'h', 'i'}, 0x0304)));
}

TEST_F(PipeTransportTest, PeerListReplacesTheRemoteListAndMessagesArrive) {
    peer.WriteFramed(UpdateMessage({"PEER", "XXXX"}, 2));
    ASSERT_TRUE(PollUntil([&] { return broker.IsRegistered("PEERS"); }));
    EXPECT_EQ(broker.GetMailboxStatus("XXXX"), MAILBOX_ADDRESS_STATUS_REGISTERED);
    EXPECT_EQ(broker.GetMailboxStatus("ZZZZ"), MAILBOX_ADDRESS_STATUS_NOT_REGISTERED);

    peer.WriteFramed(Serialised("CCCC", {'y', 'o'}, 9));
    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    EXPECT_EQ(inbox.Snapshot()[0].data, "yo");
    EXPECT_TRUE(inbox.Snapshot()[0].immediate);

    peer.WriteFramed(UpdateMessage({}, 0));
    ASSERT_TRUE(PollUntil([&] { return !broker.IsRegistered("PEER"); }));
    EXPECT_EQ(broker.GetMailboxStatus("XXXX"), MAILBOX_ADDRESS_STATUS_NOT_REGISTERED);
}

TEST_F(PipeTransportTest, MalformedPipeMessagesAreDroppedWithTheirLines) {
    peer.WriteFramed(UpdateMessage({"PEER"}, 1));
    StdoutCapture capture;
    struct Case {
        const char* what;
        Bytes message;
        const char* line;  // null: dropped without a line
    };
    const std::vector<Case> cases = {
        {"short message without magic", {'A', 'B', 'C', 'D', 'E', 'F'}, nullptr},
        {"magic alone is too short for a control message", {0xFF, 0x00, 0xFF, 0x00}, nullptr},
        {"unknown command",
         {0xFF, 0x00, 0xFF, 0x00, 0x02, 0, 0, 0, 0},
         "[MailboxPipe] Unsupported control message command: 2\n"},
        {"update without its count",
         {0xFF, 0x00, 0xFF, 0x00, 0x01, 0x00, 0x00},
         "[MailboxPipe] MAILBOX_PIPE_CONTROL_COMMAND_UPDATE_ADDRESSES missing data. Expected 4 "
         "bytes, got 2\n"},
        {"update announcing more than it holds", Cat(UpdateMessage({"XXXX"}, 2), {}),
         "[MailboxPipe] MAILBOX_PIPE_CONTROL_COMMAND_UPDATE_ADDRESSES missing data. Expected 8 "
         "bytes, got 4\n"},
        {"message shorter than its header announces",
         {'C', 'C', 'C', 'C', 10, 0, 0, 0, 1, 2},
         "[MailboxPipe] Exception creating mailbox message: Data length announced in the header "
         "exceeds the bytes given!\n"},
    };
    for (const Case& c : cases)
        peer.WriteFramed(c.message);
    peer.WriteFramed(Serialised("CCCC", {'!'}));  // in order behind all of them
    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    Lines lines = capture.FinishLines();
    Lines expected;
    for (const Case& c : cases) {
        if (c.line != nullptr)
            expected.push_back(c.line);
    }
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(broker.IsRegistered("PEER"));  // the bad updates changed nothing
    EXPECT_FALSE(broker.IsRegistered("XXXX"));
}

TEST_F(PipeTransportTest, UpdateOfMoreThan1024AddressesKeepsTheFirst1024) {
    std::vector<std::string> names;
    for (int i = 0; i < 1100; ++i) {
        char name[5];
        snprintf(name, sizeof name, "%04d", i);
        names.push_back(name);
    }
    peer.WriteFramed(UpdateMessage(names, 1100));
    ASSERT_TRUE(PollUntil([&] { return broker.IsRegistered("1023"); }));
    EXPECT_TRUE(broker.IsRegistered("0000"));
    EXPECT_FALSE(broker.IsRegistered("1024"));
}

TEST_F(PipeTransportTest, PeerThatGoesAwayIsReportedAndItsListEmptied) {
    peer.WriteFramed(UpdateMessage({"PEER"}, 1));
    ASSERT_TRUE(PollUntil([&] { return broker.IsRegistered("PEER"); }));
    peer.Close();
    ASSERT_TRUE(PollUntil([&] { return !broker.IsRemoteConnected(); }));
    EXPECT_FALSE(broker.IsRegistered("PEER"));
    StdoutCapture capture;
    EXPECT_FALSE(broker.SendMessage("PEER", "x", 1, 0));
    EXPECT_EQ(capture.FinishLines(),
              Lines{"[Mailbox] SendMessage called for unregistered client: 'PEER'\n"});
}

TEST(MailboxPipe, SubscriptionRulesAndSendWithoutAPeer) {
    MailboxPipe transport;
    const uint8_t bytes[8] = {};
    EXPECT_EQ(transport.Send(bytes, sizeof bytes), std::numeric_limits<uint64_t>::max());
    EXPECT_FALSE(transport.UnsubscribeFromRemote());
    try {
        transport.SubscribeToRemote("nomode", 0);
        ADD_FAILURE();
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Unsupported pipe mode!");
    }
    transport.Initialize(MAILBOX_PIPE_MODE_CLIENT);
    std::string name = UniquePipeName("nobody");
    EXPECT_TRUE(transport.SubscribeToRemote(name.c_str(), 0));
    EXPECT_FALSE(transport.SubscribeToRemote(name.c_str(), 0));
    EXPECT_FALSE(transport.IsSubscribedToRemote());
    EXPECT_EQ(transport.Send(bytes, sizeof bytes), std::numeric_limits<uint64_t>::max());
    EXPECT_TRUE(transport.UnsubscribeFromRemote());
    EXPECT_TRUE(transport.SubscribeToRemote(name.c_str(), 0));
    StdoutCapture capture;
    transport.Shutdown();
    EXPECT_FALSE(transport.SubscribeToRemote("", 0));  // refused names leave no pipe behind
    EXPECT_TRUE(transport.SubscribeToRemote(name.c_str(), 0));
    std::vector<uint32_t> many(1025, 1);
    transport.OnLocalAddressesChanged(many.data(), many.size());
    // The pipe's read thread adds its connect lines at its own pace; look for ours among them.
    Lines lines = capture.FinishLines();
    for (const char* line :
         {"[Pipe] Cannot create pipe, nullptr or 0 length string provided for name.\r\n",
          "[MailboxPipe] OnLocalAddressesChanged unepxected size: 1025\n"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    }
}

}  // namespace

namespace {

// A peer that stops reading fills the pipe and blocks the sender; shutting down must still
// finish, and the blocked send reports failure.
TEST(MailboxPipe, ShutdownWakesASendBlockedOnAPeerThatStoppedReading) {
    std::string name = UniquePipeName("stuck");
    RawPipePeer peer(name);
    MailboxPipe transport;
    transport.Initialize(MAILBOX_PIPE_MODE_CLIENT);
    ASSERT_TRUE(transport.SubscribeToRemote(name.c_str(), 0));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(PollUntil([&] { return transport.IsSubscribedToRemote(); }));
    std::vector<uint8_t> chunk(65535, 0x5A);
    std::atomic<uint64_t> lastResult{1};
    std::atomic<int> sends{0};
    std::thread sender([&] {
        while (lastResult == chunk.size() || sends == 0) {
            lastResult = transport.Send(chunk.data(), chunk.size());
            ++sends;
        }
    });
    // Wait until the sender has stopped making progress, then close under it.
    int seen = -1;
    while (seen != sends) {
        seen = sends;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    transport.Shutdown();
    sender.join();
    // 0 from the woken send; all bits set only if the sender was merely slow, not blocked.
    EXPECT_TRUE(lastResult == 0u || lastResult == std::numeric_limits<uint64_t>::max());
    EXPECT_FALSE(transport.IsSubscribedToRemote());
}

}  // namespace
