#include "NamedPipe.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "MMTimer.h"
#include "PipePeerCheck.h"
#include "PosixCall.h"
#include "Timer.h"

namespace {

using utl::Timer;

constexpr int kReadPollMs = 10;

// The abstract-namespace address of a pipe path: a NUL byte, then the path without terminator.
socklen_t AbstractAddress(const char* path, sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    size_t length = strlen(path);
    memcpy(address->sun_path + 1, path, length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

int NewStreamSocket() {
    return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

}  // namespace

NamedPipe::NamedPipe(bool isClient, bool useReadThread)
    : pipeName{},
      pipeHandle(-1),
      listenHandle(-1),
      isConnected(false),
      isClient(isClient),
      keepConnecting(true),
      usePrependedLengthHeader(true),
      readBuffer(new uint8_t[kMaxMessage]),
      readBufferSize(kMaxMessage),
      amountRead(0),
      amountToRead(0),
      useReadThread(useReadThread),
      readDataCallback(nullptr),
      readDataContext(nullptr),
      created(false),
      createError(0) {}

NamedPipe::~NamedPipe() {
    {
        std::lock_guard<std::mutex> guard(fdLock);
        keepConnecting = false;
        isConnected = false;
        // Wakes a server blocked in accept and any thread blocked in a read or write.
        if (listenHandle >= 0)
            shutdown(listenHandle, SHUT_RDWR);
        if (pipeHandle >= 0)
            shutdown(pipeHandle, SHUT_RDWR);
    }
    if (readThread.joinable())
        readThread.join();
    if (listenHandle >= 0)
        close(listenHandle);
    if (pipeHandle >= 0)
        close(pipeHandle);
    delete[] readBuffer;
}

bool NamedPipe::CreatePipe(const char* name) {
    if (name == nullptr || name[0] == '\0') {
        Timer::printfTime(
            "[Pipe] Cannot create pipe, nullptr or 0 length string provided for name.\r\n");
        return false;
    }
    if (strlen(name) > static_cast<size_t>(kMaxNameLength)) {
        Timer::printfTime("[Pipe] Cannot create pipe, name longer than %d characters: %s\n",
                          kMaxNameLength, name);
        return false;
    }
    if (created) {
        Timer::printfTime("[Pipe] Pipe already created: %s\n", pipeName);
        return false;
    }
    created = true;
    snprintf(pipeName, sizeof pipeName, "\\\\.\\pipe\\%s", name);
    if (!isClient && !CreateListener()) {
        Timer::printfTime("[Pipe] Error (%d) calling CreateNamedPipe!\n", createError);
    }
    if (useReadThread) {
        readThread = std::thread(&NamedPipe::NamedPipeReadThread, this);
        return true;
    }
    return AttemptConnect();
}

bool NamedPipe::CreateListener() {
    int fd = NewStreamSocket();
    if (fd < 0) {
        createError = errno;
        return false;
    }
    sockaddr_un address;
    socklen_t length = AbstractAddress(pipeName, &address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 1) != 0) {
        createError = errno;
        close(fd);
        return false;
    }
    listenHandle = fd;
    return true;
}

bool NamedPipe::AttemptConnect() {
    return isClient ? ConnectAsClient() : AcceptClient();
}

bool NamedPipe::AcceptClient() {
    Timer::printfTime("[Pipe] Listening for connections on %s\n", pipeName);
    for (;;) {
        int listener = listenHandle;
        int fd = listener < 0 ? -1 : RetryOnEintr([&] {
            return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        });
        if (fd < 0) {
            // Being destroyed is no connect failure worth a line.
            if (keepConnecting) {
                Timer::printfTime("[Pipe] Client connect failure (%d): %s\n",
                                  listener < 0 ? createError : errno, pipeName);
            }
            return false;
        }
        // A peer of another user is turned away and the server goes on waiting for its own.
        if (!PipePeerIsCurrentUser(fd, pipeName)) {
            close(fd);
            continue;
        }
        if (!PublishConnection(fd))
            return false;
        Timer::printfTime("[Pipe] Client connected on: %s\n", pipeName);
        return true;
    }
}

bool NamedPipe::ConnectAsClient() {
    Timer::printfTime("[Pipe] Attempting to connect as client to %s\n", pipeName);
    sockaddr_un address;
    socklen_t length = AbstractAddress(pipeName, &address);
    MMTimer timer;
    while (keepConnecting) {
        int fd = NewStreamSocket();
        if (fd >= 0 && RetryOnEintr([&] {
                           return connect(fd, reinterpret_cast<sockaddr*>(&address), length);
                       }) == 0) {
            if (!PublishConnection(fd))
                break;
            Timer::printfTime("[Pipe] Connected as client to pipe %s\n", pipeName);
            return true;
        }
        if (fd >= 0)
            close(fd);
        timer.Sleep();
    }
    isConnected = false;
    return false;
}

// Hands the new connection over unless the object is already being destroyed, so that the
// destructor either sees the descriptor to wake or the thread sees the stop.
bool NamedPipe::PublishConnection(int fd) {
    std::lock_guard<std::mutex> guard(fdLock);
    if (!keepConnecting) {
        close(fd);
        return false;
    }
    pipeHandle = fd;
    // The server serves one client: the name is free again for the next server.
    if (listenHandle >= 0) {
        close(listenHandle);
        listenHandle = -1;
    }
    isConnected = true;
    return true;
}

void NamedPipe::NamedPipeReadThread() {
    MMTimer timer;
    AttemptConnect();
    if (usePrependedLengthHeader)
        amountToRead = 1;
    while (isConnected) {
        if (amountToRead == 0) {
            timer.Sleep();
            continue;
        }
        pollfd ready{pipeHandle, POLLIN, 0};
        if (RetryOnEintr([&] { return poll(&ready, 1, kReadPollMs); }) <= 0)
            continue;
        if (Available() == 0) {
            // Readable with nothing to read: the peer has gone away.
            isConnected = false;
            break;
        }
        uint64_t count = 0;
        if (ReadData(readBuffer, amountToRead, count) && readDataCallback != nullptr) {
            readDataCallback(readDataContext, readBuffer, count);
        }
    }
}

void NamedPipe::ClosePipe() {
    std::lock_guard<std::mutex> guard(fdLock);
    if (!isConnected)
        return;
    isConnected = false;
    shutdown(pipeHandle, SHUT_RDWR);
}

void NamedPipe::SetReadDataCallback(NamedPipeReadCallback callback, void* context) {
    readDataCallback = callback;
    readDataContext = context;
}

uint64_t NamedPipe::SendData(const void* bytes, uint64_t length) {
    if (!isConnected)
        return 0;
    if (length > kMaxMessage) {
        Timer::printfTime("[Pipe] Cannot send more than %d bytes! (Requested to send %d.)\n",
                          static_cast<int>(kMaxMessage), static_cast<int>(length));
        return 0;
    }
    uint8_t header[2] = {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF)};
    iovec parts[2] = {{header, sizeof header}, {const_cast<void*>(bytes), length}};
    iovec* next = usePrependedLengthHeader ? parts : parts + 1;
    int count = usePrependedLengthHeader ? 2 : 1;
    std::lock_guard<std::recursive_mutex> guard(sendLock);
    while (count > 0) {
        msghdr message{};
        message.msg_iov = next;
        message.msg_iovlen = static_cast<size_t>(count);
        ssize_t written = RetryOnEintr([&] { return sendmsg(pipeHandle, &message, MSG_NOSIGNAL); });
        if (written < 0) {
            isConnected = false;
            return 0;
        }
        // Step over what went out; a message may leave in pieces when the peer is slow.
        size_t left = static_cast<size_t>(written);
        while (count > 0 && left >= next->iov_len) {
            left -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<uint8_t*>(next->iov_base) + left;
            next->iov_len -= left;
        }
    }
    return length;
}

bool NamedPipe::ReadData(void* destination, uint64_t size, uint64_t& bytesRead) {
    bytesRead = 0;
    if (!isConnected)
        return false;
    std::lock_guard<std::recursive_mutex> guard(readLock);
    amountToRead = size;
    amountRead = 0;
    uint8_t* target = static_cast<uint8_t*>(destination);
    bool ok = usePrependedLengthHeader ? ReadMessage(target, size) : ReadRaw(target, size);
    bytesRead = amountRead;
    return ok;
}

bool NamedPipe::ReadMessage(uint8_t* destination, uint64_t size) {
    uint8_t header[2];
    if (!ReadFully(header, sizeof header))
        return false;
    uint32_t length = static_cast<uint32_t>(header[0] << 8 | header[1]);
    bool intoOwnBuffer = destination == readBuffer;
    if (length >= readBufferSize) {
        Timer::printfTime(
            "[Pipe] Pipe said there was %d bytes in the message, but our buffer is only %d "
            "bytes! Growing buffer!\n",
            static_cast<int>(length), static_cast<int>(readBufferSize));
        SetBufferSize(static_cast<int32_t>(length));
    }
    // A message longer than a caller's destination is read whole (so the next message still
    // starts at a header) into our own buffer, and only what fits is copied out.
    bool fits = intoOwnBuffer || length <= size;
    uint8_t* target = intoOwnBuffer || !fits ? readBuffer : destination;
    if (!ReadFully(target, length))
        return false;
    if (fits) {
        amountRead = length;
        return true;
    }
    memcpy(destination, readBuffer, size);
    amountRead = size;
    Timer::printfTime("[Pipe] Message of %d bytes cut to the %d bytes of the destination on %s\n",
                      static_cast<int>(length), static_cast<int>(size), pipeName);
    return false;
}

bool NamedPipe::ReadRaw(uint8_t* destination, uint64_t size) {
    if (destination == readBuffer && size > readBufferSize)
        size = readBufferSize;
    ssize_t count = RetryOnEintr([&] { return recv(pipeHandle, destination, size, 0); });
    if (count <= 0) {
        if (size > 0)
            isConnected = false;
        return false;
    }
    amountRead = static_cast<uint64_t>(count);
    return true;
}

bool NamedPipe::ReadFully(uint8_t* destination, uint64_t length) {
    uint64_t done = 0;
    while (done < length) {
        ssize_t count =
            RetryOnEintr([&] { return recv(pipeHandle, destination + done, length - done, 0); });
        if (count <= 0) {
            // End of stream or a broken connection: the peer is gone.
            isConnected = false;
            return false;
        }
        done += static_cast<uint64_t>(count);
    }
    return true;
}

uint64_t NamedPipe::Available() {
    if (!isConnected)
        return 0;
    int waiting = 0;
    if (ioctl(pipeHandle, FIONREAD, &waiting) != 0 || waiting < 0)
        return 0;
    return static_cast<uint64_t>(waiting);
}

void NamedPipe::SetBufferSize(int32_t size) {
    if (size < 1 || size > static_cast<int32_t>(kMaxMessage))
        throw std::range_error("size");
    uint8_t* replacement = new uint8_t[size];
    delete[] readBuffer;
    readBuffer = replacement;
    readBufferSize = static_cast<uint32_t>(size);
}
