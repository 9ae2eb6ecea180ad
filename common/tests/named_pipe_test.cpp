#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "NamedPipe.h"
#include "Poll.h"
#include "StdoutCapture.h"
#include "UniqueName.h"

struct NamedPipeTestAccess {
    static void SetBufferSize(NamedPipe& pipe, int32_t size) { pipe.SetBufferSize(size); }
};

namespace {

using Lines = std::vector<std::string>;

// A connected server and client, neither with a read thread.
struct PipePair {
    explicit PipePair(const std::string& name) : server(false, false), client(true, false) {
        std::thread accepting([&] { serverUp = server.CreatePipe(name.c_str()); });
        clientUp = client.CreatePipe(name.c_str());
        accepting.join();
    }
    NamedPipe server;
    NamedPipe client;
    bool serverUp = false;
    bool clientUp = false;
};

std::vector<uint8_t> Pattern(size_t length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<uint8_t>(i * 13 + 1);
    return bytes;
}

// A plain socket listening at the abstract address the pipe path names.
int ListenAt(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path + 1, path.data(), path.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), length), 0);
    EXPECT_EQ(listen(fd, 1), 0);
    return fd;
}

TEST(NamedPipe, PathAndLengthHeaderOnTheWire) {
    std::string name = UniquePipeName("abc");
    std::string path = "\\\\.\\pipe\\" + name;
    int listener = ListenAt(path);
    NamedPipe client;
    ASSERT_TRUE(client.CreatePipe(name.c_str()));
    EXPECT_EQ(std::string(client.GetPipeName()), path);
    int peer = accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);

    std::vector<uint8_t> payload = Pattern(300);
    EXPECT_EQ(client.SendData(payload.data(), payload.size()), 300u);
    std::vector<uint8_t> wire(302);
    ASSERT_EQ(recv(peer, wire.data(), wire.size(), MSG_WAITALL), 302);
    EXPECT_EQ(wire[0], 0x01);
    EXPECT_EQ(wire[1], 0x2C);
    EXPECT_EQ(std::vector<uint8_t>(wire.begin() + 2, wire.end()), payload);
    close(peer);
    close(listener);
}

TEST(NamedPipe, LargestMessageGrowsTheBufferAndOneByteMoreIsRefused) {
    PipePair pair(UniquePipeName("big"));
    ASSERT_TRUE(pair.serverUp && pair.clientUp);
    std::vector<uint8_t> payload = Pattern(65535);
    StdoutCapture capture;
    EXPECT_EQ(pair.client.SendData(payload.data(), payload.size()), 65535u);
    std::vector<uint8_t> tooBig(65536);
    EXPECT_EQ(pair.client.SendData(tooBig.data(), tooBig.size()), 0u);

    std::vector<uint8_t> received(65535);
    uint64_t count = 0;
    EXPECT_TRUE(pair.server.ReadData(received.data(), received.size(), count));
    EXPECT_EQ(count, 65535u);
    EXPECT_EQ(received, payload);
    EXPECT_EQ(capture.FinishLines(),
              (Lines{"[Pipe] Cannot send more than 65535 bytes! (Requested to send 65536.)\n",
                     "[Pipe] Pipe said there was 65535 bytes in the message, but our buffer is "
                     "only 65535 bytes! Growing buffer!\n"}));
}

TEST(NamedPipe, MessageLongerThanTheDestinationIsCutNeverOverrun) {
    PipePair pair(UniquePipeName("cut"));
    std::vector<uint8_t> first = Pattern(10);
    std::vector<uint8_t> second = {7, 8, 9};
    pair.client.SendData(first.data(), first.size());
    pair.client.SendData(second.data(), second.size());
    StdoutCapture capture;
    std::unique_ptr<uint8_t[]> small(new uint8_t[4]);  // exact size: the sanitizer sees overruns
    uint64_t count = 0;
    EXPECT_FALSE(pair.server.ReadData(small.get(), 4, count));
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(0, memcmp(small.get(), first.data(), 4));
    EXPECT_TRUE(pair.server.ReadData(small.get(), 4, count));  // the stream stays in step
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(0, memcmp(small.get(), second.data(), 3));
    Lines lines = capture.FinishLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(
        lines[0].rfind("[Pipe] Message of 10 bytes cut to the 4 bytes of the destination on ", 0),
        0u);
}

TEST(NamedPipe, RefusesBadNamesAndAnswersNothingWhileUnconnected) {
    NamedPipe pipe;
    std::string longest(NamedPipe::kMaxNameLength, 'n');
    std::string tooLong = longest + "n";
    StdoutCapture capture;
    EXPECT_FALSE(pipe.CreatePipe(nullptr));
    EXPECT_FALSE(pipe.CreatePipe(""));
    EXPECT_FALSE(pipe.CreatePipe(tooLong.c_str()));
    uint8_t buffer[8];
    uint64_t count = 99;
    EXPECT_FALSE(pipe.ReadData(buffer, sizeof buffer, count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(pipe.SendData(buffer, sizeof buffer), 0u);
    EXPECT_EQ(pipe.Available(), 0u);
    EXPECT_EQ(
        capture.FinishLines(),
        (Lines{"[Pipe] Cannot create pipe, nullptr or 0 length string provided for name.\r\n",
               "[Pipe] Cannot create pipe, nullptr or 0 length string provided for name.\r\n",
               "[Pipe] Cannot create pipe, name longer than 98 characters: " + tooLong + "\n"}));
    // The longest name that fits still makes a pipe.
    NamedPipe server(false, true);
    EXPECT_TRUE(server.CreatePipe(longest.c_str()));
}

TEST(NamedPipe, BufferSizeOutsideOneTo65535Throws) {
    NamedPipe pipe;
    for (int32_t size : {0, -1, 65536}) {
        try {
            NamedPipeTestAccess::SetBufferSize(pipe, size);
            ADD_FAILURE() << size;
        } catch (const std::range_error& error) {
            EXPECT_STREQ(error.what(), "size");
        }
    }
    NamedPipeTestAccess::SetBufferSize(pipe, 1);
}

struct Received {
    std::mutex lock;
    std::vector<std::vector<uint8_t>> messages;
    static void Callback(void* context, uint8_t* bytes, uint64_t length) {
        auto* self = static_cast<Received*>(context);
        std::lock_guard<std::mutex> guard(self->lock);
        self->messages.emplace_back(bytes, bytes + length);
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return messages.size();
    }
};

TEST(NamedPipe, ClientStartedFirstConnectsOnceTheServerExists) {
    std::string name = UniquePipeName("late");
    Received atServer;
    NamedPipe client(true, true);
    ASSERT_TRUE(client.CreatePipe(name.c_str()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(client.IsConnected());
    NamedPipe server(false, true);
    server.SetReadDataCallback(&Received::Callback, &atServer);
    ASSERT_TRUE(server.CreatePipe(name.c_str()));
    ASSERT_TRUE(PollUntil([&] { return client.IsConnected() && server.IsConnected(); }));
    EXPECT_EQ(client.SendData("hello", 5), 5u);
    ASSERT_TRUE(PollUntil([&] { return atServer.Count() == 1; }));
    EXPECT_EQ(atServer.messages[0], (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));
}

TEST(NamedPipe, PeerThatGoesAwayIsNoticed) {
    std::string name = UniquePipeName("gone");
    NamedPipe server(false, true);
    ASSERT_TRUE(server.CreatePipe(name.c_str()));
    {
        NamedPipe client(true, true);
        ASSERT_TRUE(client.CreatePipe(name.c_str()));
        ASSERT_TRUE(PollUntil([&] { return server.IsConnected() && client.IsConnected(); }));
    }
    EXPECT_TRUE(PollUntil([&] { return !server.IsConnected(); }));
    EXPECT_EQ(server.SendData("x", 1), 0u);
}

TEST(NamedPipe, DestructionInterruptsWaitsThatWouldNeverEnd) {
    auto waitingServer = std::make_unique<NamedPipe>(false, true);
    auto retryingClient = std::make_unique<NamedPipe>(true, true);
    ASSERT_TRUE(waitingServer->CreatePipe(UniquePipeName("nobody").c_str()));
    ASSERT_TRUE(retryingClient->CreatePipe(UniquePipeName("noserver").c_str()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    waitingServer.reset();
    retryingClient.reset();

    // A connected pair whose read threads sit in their waits.
    std::string name = UniquePipeName("idle");
    auto server = std::make_unique<NamedPipe>(false, true);
    auto client = std::make_unique<NamedPipe>(true, true);
    server->CreatePipe(name.c_str());
    client->CreatePipe(name.c_str());
    ASSERT_TRUE(PollUntil([&] { return server->IsConnected() && client->IsConnected(); }));
    server.reset();
    client.reset();
}

TEST(NamedPipe, ServerTurnsAwayPeersOfAnotherUser) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    std::string name = UniquePipeName("user");
    std::string path = "\\\\.\\pipe\\" + name;
    NamedPipe server(false, true);
    StdoutCapture capture;
    ASSERT_TRUE(server.CreatePipe(name.c_str()));
    pid_t child = fork();
    if (child == 0) {
        if (setresuid(65534, 65534, 65534) != 0)
            _exit(2);
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        memcpy(address.sun_path + 1, path.data(), path.size());
        socklen_t length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
        for (int i = 0; i < 5000; ++i) {
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) {
                char byte;
                _exit(recv(fd, &byte, 1, 0) == 0 ? 0 : 3);  // the server hangs up on us
            }
            usleep(1000);
        }
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(server.IsConnected());
    NamedPipe client(true, false);
    EXPECT_TRUE(client.CreatePipe(name.c_str()));
    EXPECT_TRUE(PollUntil([&] { return server.IsConnected(); }));
    Lines lines = capture.FinishLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "[SEC] Failure: refused peer of user 65534 on " + path + "\n"),
              lines.end());
}

}  // namespace
