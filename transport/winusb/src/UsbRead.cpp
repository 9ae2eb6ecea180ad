#include "UsbRead.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "DrovoErrorCodes.h"
#include "UsbLastError.h"

namespace drovo_winusb {
namespace {

// The driver reads at this offset word, as the device's firmware expects.
constexpr int32_t kReadOffset = 4096;

// The first read of a connection gives it an unsignalled event that the driver may signal when
// a read completes; later reads reuse it.
bool EnsureReadEvent(DrovoIoRecord* record) {
    if (record->event != 0) {
        return true;
    }
    int event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (event < 0) {
        return false;
    }
    record->event = event + 1;
    record->status = 0;
    record->offset = kReadOffset;
    return true;
}

// True when the receive queue shows nothing to read. A failed check is noted but the read
// still goes on, as the queue status may be good all the same.
bool QueueEmpty(const UsbDriver& driver, DrovoUsbHandle handle) {
    uint32_t queued = 0;
    uint32_t status = 0;
    if (driver.usbdrv_CheckReceiveQueue(handle, &queued, &status) != 0) {
        SetLastError(DROVO_INTERNAL_ERROR);
    }
    return status == 0 || status == 1;
}

bool StartRead(const UsbDriver& driver, DrovoUsbHandle handle, DrovoIoRecord* record, int32_t count,
               uint8_t* buffer) {
    uint32_t transferred = 0;
    if (driver.usbdrv_Read(handle, buffer, static_cast<uint32_t>(count), &transferred, record) ==
        0) {
        return true;
    }
    uint32_t error = driver.usbdrv_GetLastSystemError();
    return error == DROVO_USB_SYSERR_INVALID_DRIVE || error == DROVO_USB_SYSERR_IO_PENDING;
}

int CollectRead(const UsbDriver& driver, DrovoUsbHandle handle, DrovoIoRecord* record,
                int32_t count, const uint8_t* buffer, int32_t* bytesRead) {
    uint32_t transferred = 0;
    bool completed = driver.usbdrv_GetOverlappedResult(handle, record, &transferred, 0) != 0;
    uint32_t error = driver.usbdrv_GetLastSystemError();
    // A driver must never claim more than was asked: the bytes would lie past the buffer.
    if (transferred > static_cast<uint32_t>(count)) {
        return Fail(DROVO_INTERNAL_ERROR);
    }
    int32_t got = static_cast<int32_t>(transferred);
    if (!completed) {
        if (error == DROVO_USB_SYSERR_NONE) {
            return Fail(DROVO_READ_INCOMPLETE);
        }
        if (got > 0) {
            *bytesRead = got;
            return 0;
        }
        return Fail(DROVO_READ_PENDING);
    }
    if (got == count && buffer[0] != 0) {
        *bytesRead = got;
        return 0;
    }
    if (got > 0 && got < count) {
        *bytesRead = got;
        return Fail(DROVO_PARTIAL_READ);
    }
    // Nothing came, or a whole read starting with 0, which no reply does.
    return Fail(DROVO_NO_READ);
}

}  // namespace

int ReadDevice(const UsbDriver& driver, DrovoUsbHandle handle, DrovoIoRecord* record, int32_t count,
               uint8_t* buffer, int32_t* bytesRead, int32_t mode) {
    if (!EnsureReadEvent(record)) {
        return Fail(DROVO_INTERNAL_ERROR);
    }
    if (QueueEmpty(driver, handle)) {
        return Fail(DROVO_NO_READ);
    }
    if (mode == 0 && !StartRead(driver, handle, record, count, buffer)) {
        return Fail(DROVO_INTERNAL_ERROR);
    }
    return CollectRead(driver, handle, record, count, buffer, bytesRead);
}

void CloseReadEvent(DrovoIoRecord* record) {
    if (record && record->event != 0) {
        close(record->event - 1);
        record->event = 0;
    }
}

}  // namespace drovo_winusb
