#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "Inbox.h"
#include "Poll.h"
#include "StdoutCapture.h"

namespace {

using Lines = std::vector<std::string>;

bool Refuse(const MailboxMessageData&, void*, bool) {
    return false;
}

class BrokerTest : public ::testing::Test {
  protected:
    // A broker with a fake peer attached; the broker owns the transport.
    FakeTransport* AttachFake() {
        auto* fake = new FakeTransport(log);
        broker.AssignRemoteTransport(fake);
        return fake;
    }
    std::vector<std::vector<uint32_t>> AddressLists() {
        std::lock_guard<std::mutex> guard(log->lock);
        return log->addressLists;
    }
    std::vector<std::vector<uint8_t>> Sent() {
        std::lock_guard<std::mutex> guard(log->lock);
        return log->sent;
    }

    std::shared_ptr<FakeTransportLog> log = std::make_shared<FakeTransportLog>();
    Mailbox broker;
    Inbox inbox;
};

TEST_F(BrokerTest, SendDeliversAtOnceAndReturnsWhatTheClientAnswered) {
    ASSERT_TRUE(broker.Register("ABCD", &Inbox::Callback, &inbox));
    for (bool answer : {true, false}) {
        inbox.answer = answer;
        EXPECT_EQ(broker.SendMessage("ABCDzz", "hi", 2, 7), answer);
    }
    auto got = inbox.Snapshot();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].address, "ABCD");
    EXPECT_EQ(got[0].data, "hi");
    EXPECT_EQ(got[0].type, 7);
    EXPECT_TRUE(got[0].immediate);
}

TEST_F(BrokerTest, PostedMessagesArriveInOrderFromTheDispatchThread) {
    ASSERT_TRUE(broker.Register("ABCD", &Inbox::Callback, &inbox));
    broker.Initialize();
    for (int i = 0; i < 50; ++i) {
        std::string text = std::to_string(i);
        broker.PostMessage("ABCD", text.data(), static_cast<uint16_t>(text.size()), 0);
    }
    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 50; }));
    auto got = inbox.Snapshot();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(got[i].data, std::to_string(i));
        EXPECT_FALSE(got[i].immediate);
    }
}

TEST_F(BrokerTest, DispatchThreadStopsAndStartsAgain) {
    ASSERT_TRUE(broker.Register("ABCD", &Inbox::Callback, &inbox));
    broker.Initialize();
    broker.Initialize();
    broker.Shutdown();
    broker.PostMessage("ABCD", "a", 1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(inbox.Count(), 0u);
    broker.Initialize();
    EXPECT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    broker.Shutdown();
    broker.Shutdown();
}

TEST_F(BrokerTest, RegistryChangesAreRefusedWithTheirLines) {
    Inbox second;
    StdoutCapture capture;
    EXPECT_TRUE(broker.Register("ABCD", &Inbox::Callback, &inbox));
    EXPECT_FALSE(broker.Register("ABCDxyz", &Inbox::Callback, &second));
    EXPECT_FALSE(broker.Register("NULL", nullptr, nullptr));
    EXPECT_FALSE(broker.Unregister("WXYZ"));
    EXPECT_FALSE(broker.IsRegistered("NULL"));
    EXPECT_FALSE(broker.IsRegistered(nullptr));
    EXPECT_TRUE(broker.IsRegistered("ABCDe"));
    EXPECT_TRUE(broker.SendMessage("ABCD", "x", 1, 0));
    EXPECT_EQ(inbox.Count(), 1u);  // the first registration stays
    EXPECT_EQ(second.Count(), 0u);
    EXPECT_EQ(
        capture.FinishLines(),
        (Lines{"[Mailbox] Client attempt to re-register: 'ABCDxyz'\n",
               "[Mailbox] Client cannot register without a callback: 'NULL'\n",
               "[Mailbox] Attempted to unregister a client that is not registered: 'WXYZ'\n"}));
    EXPECT_TRUE(broker.Unregister("ABCD"));
    EXPECT_FALSE(broker.IsRegistered("ABCD"));
}

TEST_F(BrokerTest, UnregisterDestroysQueuedMessagesUndelivered) {
    ASSERT_TRUE(broker.Register("ABCD", &Inbox::Callback, &inbox));
    broker.PostMessage("ABCD", "lost", 4, 0);
    broker.PostMessage("ABCD", "lost", 4, 0);
    EXPECT_TRUE(broker.Unregister("ABCD"));
    ASSERT_TRUE(broker.Register("ABCD", &Inbox::Callback, &inbox));
    broker.Initialize();
    broker.PostMessage("ABCD", "kept", 4, 0);
    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto got = inbox.Snapshot();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].data, "kept");
}

TEST_F(BrokerTest, MessagesForNobodyAreDroppedWithTheirLines) {
    StdoutCapture capture;
    EXPECT_FALSE(broker.SendMessage("NOON", "x", 1, 0));
    broker.PostMessage("WXYZ", "a", 1, 0);
    broker.PostMessage("WXYZ", "b", 1, 0);
    broker.Initialize();
    Lines expected = {"[Mailbox] SendMessage called for unregistered client: 'NOON'\n",
                      "[Mailbox] Mailbox found for unregistered client: 'WXYZ'\n",
                      "[Mailbox] Removed mailbox for unregistered client: 'WXYZ'\n"};
    EXPECT_TRUE(PollUntil([&] { return capture.Lines().size() >= 3; }));
    broker.Shutdown();
    EXPECT_EQ(capture.FinishLines(), expected);
}

TEST_F(BrokerTest, ForwardsMessagesForUnknownAddressesToTheSubscribedPeer) {
    FakeTransport* fake = AttachFake();
    EXPECT_TRUE(broker.IsRemoteConnected());
    EXPECT_TRUE(broker.SendMessage("PEER", "hi", 2, 0x0102));
    broker.PostMessage("POST", "p", 1, 0);
    broker.Initialize();
    ASSERT_TRUE(PollUntil([&] { return Sent().size() == 2; }));
    broker.Shutdown();
    EXPECT_EQ(Sent()[0], Serialised("PEER", {'h', 'i'}, 0x0102));
    EXPECT_EQ(Sent()[1], Serialised("POST", {'p'}));

    StdoutCapture capture;
    fake->sendResult = 0;
    EXPECT_FALSE(broker.SendMessage("PEER", "hi", 2, 0));
    fake->sendResult = 1;
    std::vector<uint8_t> big(65528);
    EXPECT_FALSE(broker.SendMessage("PEER", big.data(), 65528, 0));
    fake->subscribed = false;
    EXPECT_FALSE(broker.IsRemoteConnected());
    EXPECT_FALSE(broker.SendMessage("PEER", "hi", 2, 0));
    Lines lines = capture.FinishLines();
    ASSERT_EQ(lines.size(), 3u);
    // The overflow line has no line end, so the next stamped line follows it directly.
    const std::string overflow = "[Mailbox] Integer overflow: Message too big!";
    EXPECT_EQ(lines[1].substr(0, overflow.size()), overflow);
    lines[1] = StdoutCapture::StripStamp(lines[1].substr(overflow.size()));
    EXPECT_EQ(lines,
              (Lines{"[Mailbox] Remote Connection Send failed for message with target 'PEER'\n",
                     "[Mailbox] GetDataSerializedBinary failed. Message will not send to target "
                     "'PEER'\n",
                     "[Mailbox] SendMessage called for unregistered client: 'PEER'\n"}));
    EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(BrokerTest, MessagesFromThePeerAreDeliveredButNeverSentBack) {
    FakeTransport* fake = AttachFake();
    ASSERT_TRUE(broker.Register("HERE", &Inbox::Callback, &inbox));
    fake->Receive(Serialised("HERE", {'o', 'k'}, 3));
    auto got = inbox.Snapshot();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].data, "ok");
    EXPECT_TRUE(got[0].immediate);

    StdoutCapture capture;
    fake->Receive(Serialised("ELSE", {'x'}));  // subscribed: dropped quietly
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(capture.Lines().empty());
    fake->subscribed = false;
    fake->Receive(Serialised("ELSE", {'x'}));
    EXPECT_EQ(capture.FinishLines(),
              Lines{"[Mailbox] SendMessage called for unregistered client: 'ELSE'\n"});
}

TEST_F(BrokerTest, AddressListGoesToThePeerInAscendingValueOrderAfterEveryChange) {
    const uint32_t aaab = MailboxAddress::FromName("AAAB");
    const uint32_t baaa = MailboxAddress::FromName("BAAA");  // smaller as a value
    ASSERT_LT(baaa, aaab);
    ASSERT_TRUE(broker.Register("AAAB", &Inbox::Callback, &inbox));
    FakeTransport* fake = AttachFake();
    ASSERT_TRUE(broker.Register("BAAA", &Inbox::Callback, &inbox));
    EXPECT_FALSE(broker.Register("BAAA", &Inbox::Callback, &inbox));
    EXPECT_FALSE(broker.Unregister("NONE"));
    ASSERT_TRUE(broker.Unregister("AAAB"));
    fake->Connect();
    using List = std::vector<uint32_t>;
    EXPECT_EQ(
        AddressLists(),
        (std::vector<List>{{aaab}, {baaa, aaab}, {baaa, aaab}, {baaa, aaab}, {baaa}, {baaa}}));
    fake->subscribed = false;
    ASSERT_TRUE(broker.Register("CCCC", &Inbox::Callback, &inbox));
    EXPECT_EQ(AddressLists().size(), 6u);
}

TEST_F(BrokerTest, StatusOfRemoteAddressesComesFromTheSubscribedTransport) {
    ASSERT_TRUE(broker.Register("HERE", &Inbox::Callback, &inbox));
    EXPECT_EQ(broker.GetMailboxStatus("THERE"), MAILBOX_ADDRESS_STATUS_NOT_REGISTERED);
    FakeTransport* fake = AttachFake();
    const uint32_t there = MailboxAddress::FromName("THER");
    fake->StoreRemoteAddresses(&there, 1);
    EXPECT_EQ(broker.GetMailboxStatus("HERE"), MAILBOX_ADDRESS_STATUS_REGISTERED);
    EXPECT_EQ(broker.GetMailboxStatus("THERE"), MAILBOX_ADDRESS_STATUS_REGISTERED);
    EXPECT_TRUE(broker.IsRegistered("THERE"));
    EXPECT_EQ(broker.GetMailboxStatus("GONE"), MAILBOX_ADDRESS_STATUS_NOT_REGISTERED);
    fake->remoteStatusOtherwise = MAILBOX_ADDRESS_STATUS_UNKNOWN;
    EXPECT_EQ(broker.GetMailboxStatus("GONE"), MAILBOX_ADDRESS_STATUS_UNKNOWN);
    EXPECT_FALSE(broker.IsRegistered("GONE"));
    fake->subscribed = false;
    EXPECT_EQ(broker.GetMailboxStatus("THERE"), MAILBOX_ADDRESS_STATUS_NOT_REGISTERED);
    EXPECT_FALSE(broker.IsRegistered("THERE"));
}

TEST_F(BrokerTest, ReplacedAndFinalTransportsAreShutDownBeforeTheyAreDestroyed) {
    auto second = std::make_shared<FakeTransportLog>();
    {
        Mailbox local;
        local.AssignRemoteTransport(new FakeTransport(log));
        local.AssignRemoteTransport(new FakeTransport(second));
        EXPECT_TRUE(log->destroyed);
        EXPECT_TRUE(log->shutDownBeforeDestroyed);
        EXPECT_FALSE(second->destroyed);
    }
    EXPECT_TRUE(second->destroyed);
    EXPECT_TRUE(second->shutDownBeforeDestroyed);
}

TEST_F(BrokerTest, AThrowingClientNeitherHoldsTheLockNorCostsOthersTheirMessages) {
    Inbox thrower;
    thrower.throwOnDelivery = true;
    ASSERT_TRUE(broker.Register("BAD!", &Inbox::Callback, &thrower));
    ASSERT_TRUE(broker.Register("GOOD", &Inbox::Callback, &inbox));
    EXPECT_THROW(broker.SendMessage("BAD!", "x", 1, 0), std::runtime_error);
    std::thread other([&] { EXPECT_TRUE(broker.Register("OTHR", &Refuse, nullptr)); });
    other.join();

    StdoutCapture capture;
    broker.PostMessage("BAD!", "1", 1, 0);
    broker.PostMessage("BAD!", "2", 1, 0);
    broker.PostMessage("GOOD", "3", 1, 0);
    broker.Initialize();
    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    broker.Shutdown();
    EXPECT_EQ(thrower.Count(), 3u);
    EXPECT_EQ(capture.FinishLines(),
              (Lines{"[Mailbox] Client callback threw for 'BAD!': client failed\n",
                     "[Mailbox] Client callback threw for 'BAD!': client failed\n"}));
}

// A client that, from its dispatch-pass callback, unregisters itself and posts to another
// client changes both maps while the pass walks them.
struct Leaver {
    Mailbox* broker;
    int calls = 0;
    static bool Callback(const MailboxMessageData&, void* context, bool) {
        auto* self = static_cast<Leaver*>(context);
        ++self->calls;
        self->broker->Unregister("LEAV");
        self->broker->PostMessage("ZZZZ", "after", 5, 0);
        return true;
    }
};

TEST_F(BrokerTest, CallbacksMayChangeTheRegistryAndPostDuringAPass) {
    Leaver leaver{&broker};
    ASSERT_TRUE(broker.Register("LEAV", &Leaver::Callback, &leaver));
    ASSERT_TRUE(broker.Register("ZZZZ", &Inbox::Callback, &inbox));
    for (int i = 0; i < 3; ++i)
        broker.PostMessage("LEAV", "x", 1, 0);
    StdoutCapture capture;
    broker.Initialize();
    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    broker.Shutdown();
    capture.FinishLines();
    EXPECT_EQ(leaver.calls, 1);  // the rest went with the client, undelivered
    EXPECT_EQ(inbox.Snapshot()[0].data, "after");
    EXPECT_FALSE(broker.IsRegistered("LEAV"));
}

TEST_F(BrokerTest, NullAndUnusedMessagesAreHandledQuietly) {
    broker.UnallocateMessage(nullptr);
    broker.UnallocateMessage(broker.CreateMessage("ABCD", "x", 1, 0));
    EXPECT_FALSE(broker.SendMessage(nullptr));
    broker.PostMessage(nullptr);
}

}  // namespace
