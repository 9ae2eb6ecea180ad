#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "Precondition.h"
#include "Somavib.h"

namespace {

// Repeats a system call that a signal interrupted before it did anything.
template <typename Call>
auto retryOnInterrupt(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

[[noreturn]] void failPort(const char* format, const char* portName) {
    std::fprintf(stderr, format, portName != nullptr ? portName : "(null)");
    std::exit(1);
}

// Opens without waiting for a carrier and takes the advisory lock that keeps a second user of
// the kit off the port; -1 when either fails.
int openExclusive(const char* portName) {
    if (portName == nullptr) {
        return -1;
    }
    int fd = retryOnInterrupt(
        [&] { return open(portName, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        return -1;
    }
    if (retryOnInterrupt([&] { return flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The board speaks binary messages, so the line must pass every byte unchanged: no echo, no
// newline translation, no flow-control characters.
void applyLineSettings(int fd, termios settings) {
    cfmakeraw(&settings);
    cfsetispeed(&settings, B57600);
    cfsetospeed(&settings, B57600);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &settings);
    // Other processes that do not use the advisory lock are kept off as well.
    ioctl(fd, TIOCEXCL);
    // Writes block until the bytes are handed to the port.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

}  // namespace

extern "C" {

Serial* Serial_new(void) {
    auto* self = static_cast<Serial*>(std::calloc(1, sizeof(Serial)));
    if (self != nullptr) {
        self->handle = -1;
    }
    return self;
}

void Serial_init(Serial* self, const char* portName) {
    self->valid = 1;
    self->portName = portName;
    self->handle = openExclusive(portName);
    if (self->handle < 0) {
        failPort("[Serial] Error in opening serial port %s\n", portName);
    }
    termios settings{};
    if (tcgetattr(self->handle, &settings) != 0) {
        failPort("[Serial] Error in getting com state for port %s\n", portName);
    }
    applyLineSettings(self->handle, settings);
}

void Serial_clear(Serial* self) {
    self->valid = 0;
    if (self->handle >= 0) {
        close(self->handle);
        self->handle = -1;
    }
}

void Serial_delete(Serial* self) {
    if (self == nullptr) {
        return;
    }
    Serial_clear(self);
    std::free(self);
}

void Serial_sendMessage(Serial* self, const uint8_t* bytes, int32_t count) {
    if (!Somavib_require(self->valid != 0, "[Serial]", "Serial_sendMessage", "self->valid") ||
        !Somavib_require(count >= 0, "[Serial]", "Serial_sendMessage", "count >= 0")) {
        return;
    }
    ssize_t written = retryOnInterrupt([&] { return write(self->handle, bytes, count); });
    self->lastWriteOk = written >= 0;
    if (written < count) {
        std::fprintf(stderr, "[Serial] Could not write message to port %s\n", self->portName);
    }
}

}  // extern "C"
