#include "Port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "SysCall.h"

namespace drovo_serial {
namespace {

constexpr speed_t kLineSpeed = B115200;

int Configure(int fd) {
    termios settings{};
    if (SysCall("tcgetattr", [&] { return tcgetattr(fd, &settings); }) != 0) {
        return -1;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, kLineSpeed) != 0 || cfsetospeed(&settings, kLineSpeed) != 0) {
        return -1;
    }
    if (SysCall("tcsetattr", [&] { return tcsetattr(fd, TCSANOW, &settings); }) != 0) {
        return -1;
    }
    return SysCall("tcflush", [&] { return tcflush(fd, TCIOFLUSH); });
}

// TIOCEXCL keeps other users out, but not root; the advisory lock also keeps out a second open
// by root through this module.
int TakeExclusively(int fd) {
    if (SysCall("flock", [&] { return flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
        return -1;
    }
    return SysCall("ioctl", [&] { return ioctl(fd, TIOCEXCL); });
}

}  // namespace

int OpenPort(const char* path) {
    int fd =
        SysCall("open", [&] { return open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0) {
        return -1;
    }
    if (TakeExclusively(fd) != 0 || Configure(fd) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool PortFailed(int fd) {
    pollfd entry{fd, POLLIN, 0};
    if (SysCall("poll", [&] { return poll(&entry, 1, 0); }) < 0) {
        return true;
    }
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace drovo_serial
