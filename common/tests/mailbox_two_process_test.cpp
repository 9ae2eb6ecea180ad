// Two brokers in two processes: this test's and the one of the mailbox_peer helper.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "Inbox.h"
#include "Poll.h"
#include "UniqueName.h"

extern char** environ;

namespace {

class Peer {
  public:
    Peer(const std::string& mode, const std::string& argument) {
        std::vector<std::string> args = {MAILBOX_PEER_PATH, mode, argument};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, MAILBOX_PEER_PATH, nullptr, nullptr, argv.data(), environ), 0);
    }
    ~Peer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // The exit status once the process ends within the limit; -1 otherwise.
    int Wait() {
        int status = 0;
        bool ended = PollUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; },
                               std::chrono::seconds(30));
        if (!ended)
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
};

std::vector<std::string> Texts(Inbox& inbox) {
    std::vector<std::string> texts;
    for (const Delivery& delivery : inbox.Snapshot())
        texts.push_back(delivery.data);
    return texts;
}

bool Received(Inbox& inbox, const std::string& text, size_t times = 1) {
    auto texts = Texts(inbox);
    return static_cast<size_t>(std::count(texts.begin(), texts.end(), text)) >= times;
}

TEST(MailboxTwoProcesses, PipeCarriesMessagesAndAddressListsBothWays) {
    std::string name = UniquePipeName("twoproc");
    Peer peer("pipe-client", name);  // starts first and retries until the server exists
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Inbox inbox;
    Mailbox broker;
    ASSERT_TRUE(broker.Register("TEST", &Inbox::Callback, &inbox));
    broker.Initialize();
    MailboxHelpers::AddPipeServerToMailbox(broker, name.c_str());
    ASSERT_TRUE(PollUntil([&] { return broker.IsRegistered("ECHO"); }));
    EXPECT_EQ(broker.GetMailboxStatus("PEER"), MAILBOX_ADDRESS_STATUS_REGISTERED);
    EXPECT_EQ(broker.GetMailboxStatus("NONE"), MAILBOX_ADDRESS_STATUS_NOT_REGISTERED);

    EXPECT_TRUE(broker.SendMessage("ECHO", "ping", 4, 41));
    broker.PostMessage("ECHO", "post", 4, 0);
    ASSERT_TRUE(
        PollUntil([&] { return Received(inbox, "echo:ping") && Received(inbox, "echo:post"); }));
    Delivery first = inbox.Snapshot()[0];
    EXPECT_EQ(first.type, 42);
    EXPECT_TRUE(first.immediate);

    // Our registry changes reach the peer ahead of the question that follows them.
    ASSERT_TRUE(broker.Register("TST2", &Inbox::Callback, &inbox));
    EXPECT_TRUE(broker.SendMessage("ECHO", "status:TST2", 11, 0));
    ASSERT_TRUE(PollUntil([&] { return Received(inbox, "status:TST2=1"); }));
    ASSERT_TRUE(broker.Unregister("TST2"));
    EXPECT_TRUE(broker.SendMessage("ECHO", "status:TST2", 11, 0));
    ASSERT_TRUE(PollUntil([&] { return Received(inbox, "status:TST2=2"); }));

    EXPECT_TRUE(broker.SendMessage("ECHO", "exit", 4, 0));
    EXPECT_EQ(peer.Wait(), 0);
    ASSERT_TRUE(PollUntil([&] { return !broker.IsRemoteConnected(); }));
    EXPECT_FALSE(broker.IsRegistered("ECHO"));
}

TEST(MailboxTwoProcesses, UdpCarriesMessagesBothWaysAndDoublesForMutualSubscribers) {
    Inbox inbox;
    Mailbox broker;
    ASSERT_TRUE(broker.Register("TEST", &Inbox::Callback, &inbox));
    auto* udp = new MailboxUdp();
    udp->Initialize(0);
    broker.AssignRemoteTransport(udp);
    Peer peer("udp", std::to_string(udp->GetBoundPort()));

    ASSERT_TRUE(PollUntil([&] { return inbox.Count() == 1; }));
    std::string hello = inbox.Snapshot()[0].data;
    ASSERT_EQ(hello.rfind("hello:", 0), 0u);
    // Subscribing back makes each side both the other's remote and its client: every datagram
    // now travels twice, so one ping reaches ECHO twice and each of its two answers comes back
    // twice.
    ASSERT_TRUE(
        udp->SubscribeToRemote("127.0.0.1", static_cast<uint16_t>(std::stoi(hello.substr(6)))));
    EXPECT_TRUE(broker.SendMessage("ECHO", "ping", 4, 0));
    ASSERT_TRUE(PollUntil([&] { return Received(inbox, "echo:ping", 4); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto texts = Texts(inbox);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "echo:ping"), 4);

    EXPECT_TRUE(broker.SendMessage("ECHO", "exit", 4, 0));
    EXPECT_EQ(peer.Wait(), 0);
}

}  // namespace
