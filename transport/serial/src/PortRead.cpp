#include "PortRead.h"

#include <unistd.h>

#include <cstring>

#include "DrovoErrorCodes.h"
#include "ModuleState.h"
#include "Port.h"
#include "SysCall.h"

namespace drovo_serial {
namespace {

// Moves what is waiting on the port, up to `room` bytes, to `dest`. Returns the byte count
// (0 when nothing waits) or -1 when the port hung up or failed.
int Drain(int fd, uint8_t* dest, int room) {
    ssize_t got = SysCall("read", [&] { return read(fd, dest, static_cast<size_t>(room)); });
    if (got > 0) {
        return static_cast<int>(got);
    }
    // In raw mode without a minimum count a terminal answers "no bytes" with 0 rather than
    // EAGAIN, and it answers a hang-up with 0 as well; only poll tells the two apart.
    if (got == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
        return PortFailed(fd) ? -1 : 0;
    }
    return -1;
}

void EndPendingRead(DrovoIoRecord* record) {
    record->pending = 0;
    record->wanted = 0;
    record->gathered = 0;
}

int Fail(int code) {
    SetLastError(code);
    return -1;
}

bool LineQuiet(const DrovoIoRecord* record) {
    return record->lastByteNs == 0 || NowNs() - record->lastByteNs >= ReadTimeoutNs();
}

// Hands the gathered bytes to the caller and ends the read.
void Deliver(DrovoIoRecord* record, uint8_t* buffer, int32_t* bytesRead) {
    memcpy(buffer, record->buffer, static_cast<size_t>(record->gathered));
    *bytesRead = record->gathered;
    EndPendingRead(record);
}

// Takes the bytes that have come since the last call into the pending read.
int Gather(int fd, DrovoIoRecord* record) {
    int got = Drain(fd, record->buffer + record->gathered, record->wanted - record->gathered);
    if (got > 0) {
        record->gathered += got;
        record->lastByteNs = NowNs();
    }
    return got;
}

}  // namespace

int StartRead(int fd, DrovoIoRecord* record, int32_t count, uint8_t* buffer, int32_t* bytesRead) {
    EndPendingRead(record);
    record->pending = 1;
    record->wanted = count;
    if (Gather(fd, record) < 0) {
        EndPendingRead(record);
        return Fail(DROVO_FAILED_TO_READ);
    }
    if (record->gathered == count) {
        Deliver(record, buffer, bytesRead);
        return 0;
    }
    // A line that has just carried bytes is in the middle of a reply: wait for the rest
    // instead of reporting "nothing", which would make the reader drop what it has gathered.
    if (record->gathered == 0 && LineQuiet(record)) {
        EndPendingRead(record);
        return Fail(DROVO_NO_READ);
    }
    return Fail(DROVO_READ_PENDING);
}

int CollectRead(int fd, DrovoIoRecord* record, int32_t count, uint8_t* buffer, int32_t* bytesRead) {
    if (!record->pending) {
        return Fail(DROVO_INTERNAL_ERROR);
    }
    if (count != record->wanted) {
        return Fail(DROVO_BAD_PARAMETER);
    }
    int got = Gather(fd, record);
    if (got < 0) {
        EndPendingRead(record);
        return Fail(DROVO_FAILED_TO_READ);
    }
    if (record->gathered == record->wanted) {
        Deliver(record, buffer, bytesRead);
        return 0;
    }
    if (got > 0 || !LineQuiet(record)) {
        return Fail(DROVO_READ_PENDING);
    }
    if (record->gathered == 0) {
        EndPendingRead(record);
        return Fail(DROVO_NO_READ);
    }
    Deliver(record, buffer, bytesRead);
    return Fail(DROVO_PARTIAL_READ);
}

}  // namespace drovo_serial
