// The far end of a mailbox pipe played with a plain socket, so tests see and send the exact
// bytes of the wire: each message behind its big-endian two-byte length.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

inline socklen_t PipeAddress(const std::string& name, sockaddr_un* address) {
    std::string path = "\\\\.\\pipe\\" + name;
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    memcpy(address->sun_path + 1, path.data(), path.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
}

class RawPipePeer {
  public:
    // Listens as the server of the named pipe.
    explicit RawPipePeer(const std::string& name) {
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address;
        socklen_t length = PipeAddress(name, &address);
        EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
        EXPECT_EQ(listen(listener_, 1), 0);
    }
    ~RawPipePeer() {
        Close();
        if (listener_ >= 0)
            close(listener_);
    }

    // Waits up to ten seconds for the transport to connect.
    bool Accept() {
        pollfd ready{listener_, POLLIN, 0};
        if (poll(&ready, 1, 10000) != 1)
            return false;
        fd_ = accept(listener_, nullptr, nullptr);
        return fd_ >= 0;
    }
    void Close() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

    // The next whole message, header included; empty when nothing came within ten seconds.
    std::vector<uint8_t> ReadFramed() {
        std::vector<uint8_t> header = ReadExactly(2);
        if (header.size() != 2)
            return {};
        std::vector<uint8_t> body = ReadExactly(static_cast<size_t>(header[0] << 8 | header[1]));
        header.insert(header.end(), body.begin(), body.end());
        return header;
    }
    void WriteFramed(const std::vector<uint8_t>& message) {
        std::vector<uint8_t> wire = {static_cast<uint8_t>(message.size() >> 8),
                                     static_cast<uint8_t>(message.size() & 0xFF)};
        wire.insert(wire.end(), message.begin(), message.end());
        ASSERT_EQ(send(fd_, wire.data(), wire.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(wire.size()));
    }

  private:
    std::vector<uint8_t> ReadExactly(size_t length) {
        std::vector<uint8_t> bytes(length);
        size_t done = 0;
        while (done < length) {
            pollfd ready{fd_, POLLIN, 0};
            if (poll(&ready, 1, 10000) != 1)
                break;
            ssize_t count = recv(fd_, bytes.data() + done, length - done, 0);
            if (count <= 0)
                break;
            done += static_cast<size_t>(count);
        }
        bytes.resize(done);
        return bytes;
    }

    int listener_ = -1;
    int fd_ = -1;
};

// An update control message listing the given four-byte addresses.
inline std::vector<uint8_t> UpdateMessage(const std::vector<std::string>& names,
                                          uint32_t announced) {
    std::vector<uint8_t> bytes = {0xFF, 0x00, 0xFF, 0x00, 0x01};
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<uint8_t>(announced >> (8 * i)));
    for (const std::string& name : names)
        bytes.insert(bytes.end(), name.begin(), name.begin() + 4);
    return bytes;
}
