// The other process of the two-process mailbox tests. It links its broker to the test's through
// a pipe or over UDP and registers ECHO and PEER. ECHO answers every message to TEST:
//   "exit"           ends this process (status 0 after a clean shutdown)
//   "status:NAME"    "status:NAME=<status>", the broker's GetMailboxStatus for NAME
//   anything else    "echo:" and the message, with the message type plus one
// Usage: mailbox_peer pipe-server NAME | pipe-client NAME | udp PORT
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "Mailbox.h"

namespace {

std::atomic<bool> done{false};
Mailbox* broker = nullptr;

bool Echo(const MailboxMessageData& message, void*, bool) {
    std::string text(reinterpret_cast<const char*>(message.data), message.dataLength);
    if (text == "exit") {
        done = true;
        return true;
    }
    std::string reply;
    uint16_t type = static_cast<uint16_t>(message.messageType + 1);
    if (text.rfind("status:", 0) == 0) {
        reply = text + "=" + std::to_string(broker->GetMailboxStatus(text.c_str() + 7));
    } else {
        reply = "echo:" + text;
    }
    return broker->SendMessage("TEST", reply.data(), static_cast<uint16_t>(reply.size()), type);
}

bool Quiet(const MailboxMessageData&, void*, bool) {
    return true;
}

int Usage() {
    fprintf(stderr, "usage: mailbox_peer pipe-server NAME | pipe-client NAME | udp PORT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return Usage();
    Mailbox mailbox;
    broker = &mailbox;
    mailbox.Register("ECHO", &Echo, nullptr);
    mailbox.Register("PEER", &Quiet, nullptr);
    mailbox.Initialize();
    std::string mode = argv[1];
    if (mode == "pipe-server") {
        MailboxHelpers::AddPipeServerToMailbox(mailbox, argv[2]);
    } else if (mode == "pipe-client") {
        MailboxHelpers::AddPipeClientToMailbox(mailbox, argv[2]);
    } else if (mode == "udp") {
        MailboxUdp* udp = new MailboxUdp();
        udp->Initialize(0);
        udp->SubscribeToRemote("127.0.0.1", static_cast<uint16_t>(std::stoi(argv[2])));
        mailbox.AssignRemoteTransport(udp);
        // Tell the test where to subscribe back.
        std::string hello = "hello:" + std::to_string(udp->GetBoundPort());
        mailbox.SendMessage("TEST", hello.data(), static_cast<uint16_t>(hello.size()), 0);
    } else {
        return Usage();
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done ? 0 : 1;
}
