#include "PortWrite.h"

#include <poll.h>
#include <unistd.h>

#include "DrovoErrorCodes.h"
#include "ModuleState.h"
#include "SysCall.h"

namespace drovo_serial {
namespace {

constexpr int64_t kWriteTimeoutNs = 2LL * 1000 * 1000 * 1000;

// Waits until the port takes more bytes. Returns 0, or the error code to report.
int WaitWritable(int fd, int64_t deadline) {
    int64_t left = deadline - NowNs();
    if (left <= 0) {
        return DROVO_INTERNAL_ERROR;
    }
    pollfd entry{fd, POLLOUT, 0};
    int ready =
        SysCall("poll", [&] { return poll(&entry, 1, static_cast<int>(left / 1000000) + 1); });
    if (ready < 0 || (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return DROVO_FAILED_TO_READ;
    }
    return ready == 0 ? DROVO_INTERNAL_ERROR : 0;
}

}  // namespace

int WriteAll(int fd, const uint8_t* bytes, int32_t count) {
    const int64_t deadline = NowNs() + kWriteTimeoutNs;
    int32_t written = 0;
    while (written < count) {
        ssize_t put = SysCall("write", [&] {
            return write(fd, bytes + written, static_cast<size_t>(count - written));
        });
        if (put > 0) {
            written += static_cast<int32_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            SetLastError(DROVO_FAILED_TO_READ);
            return -1;
        }
        int code = WaitWritable(fd, deadline);
        if (code != 0) {
            SetLastError(code);
            return -1;
        }
    }
    return count;
}

}  // namespace drovo_serial
