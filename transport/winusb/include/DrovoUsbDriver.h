/*
 * The interface between the USB module and the USB driver library it loads. The module loads
 * DROVO_USB_DRIVER_LIBRARY with dlopen at the first call that needs it, takes every function
 * below from it by name, and keeps it loaded for the life of the process. A driver library
 * must export all of them with C linkage; a library lacking one is not used.
 *
 * Each function plays one role of the driver's numbered function table (the number is given
 * with each). Results are the driver's status numbers: 0 is success; for the count and open
 * roles DROVO_USB_FAILED and DROVO_USB_NO_DEVICE are failures.
 *
 * A driver read is asynchronous. The read role starts it with the caller's I/O record and
 * answers 0 when it completed at once; otherwise the driver's last system error tells whether
 * it is still running (DROVO_USB_SYSERR_IO_PENDING). The overlapped-result role reports a
 * started read's outcome: non-zero with the byte count once it has completed; 0 while it runs
 * (system error DROVO_USB_SYSERR_IO_INCOMPLETE, byte count so far) or when it failed (system
 * error 0 when the failure has no system cause). Bytes land in the buffer given when the read
 * started, which the caller keeps valid until the read has completed.
 *
 * The last system error is per thread and set by every driver call, like errno.
 */
#ifndef DROVO_USB_DRIVER_H
#define DROVO_USB_DRIVER_H

#include <stdint.h>

#include "DrovoIoRecord.h"

#ifdef __cplusplus
extern "C" {
#endif

#define DROVO_USB_DRIVER_LIBRARY "libdrovo_usbdriver.so"

enum {
    DROVO_USB_OK = 0,
    DROVO_USB_FAILED = 6,     /* the device did not answer */
    DROVO_USB_NO_DEVICE = 255 /* no such device */
};

enum {
    DROVO_USB_SYSERR_NONE = 0,
    DROVO_USB_SYSERR_INVALID_DRIVE = 15,  /* a read that did not start on a present device */
    DROVO_USB_SYSERR_IO_INCOMPLETE = 996, /* the read has not completed yet */
    DROVO_USB_SYSERR_IO_PENDING = 997     /* the read started and is running */
};

enum { DROVO_USB_TEXT_SIZE = 512 /* identifying text buffer, terminator included */ };

typedef void* DrovoUsbHandle;

/* 1: the number of attached devices into *count. */
typedef int32_t (*DrovoUsbGetDeviceCount)(uint32_t* count);
/* 2: the identifying text of device `index` (option 0) into `text` (DROVO_USB_TEXT_SIZE bytes). */
typedef int32_t (*DrovoUsbGetDeviceText)(int32_t index, char* text, uint32_t option);
/* 3: opens device `index` (-1 for none) and stores its handle, null when none was opened. */
typedef int32_t (*DrovoUsbOpen)(int32_t index, DrovoUsbHandle* handle);
/* 4: closes an open device. */
typedef int32_t (*DrovoUsbClose)(DrovoUsbHandle handle);
/* 6: starts reading `count` bytes into `buffer`; `record` follows the read until collected. */
typedef int32_t (*DrovoUsbRead)(DrovoUsbHandle handle, uint8_t* buffer, uint32_t count,
                                uint32_t* transferred, DrovoIoRecord* record);
/* 7: writes `count` bytes and waits for them; `record` is null for a waiting write. */
typedef int32_t (*DrovoUsbWrite)(DrovoUsbHandle handle, const uint8_t* bytes, uint32_t count,
                                 uint32_t* written, DrovoIoRecord* record);
/* 9: the device setting, given as two bytes. */
typedef int32_t (*DrovoUsbSetDeviceSetting)(DrovoUsbHandle handle, uint8_t first, uint8_t second);
/* 12: bytes waiting in the receive queue and the queue status (0 or 1: nothing to read). */
typedef int32_t (*DrovoUsbCheckReceiveQueue)(DrovoUsbHandle handle, uint32_t* queued,
                                             uint32_t* status);
/* 13: the communication rate in bits per second. */
typedef int32_t (*DrovoUsbSetRate)(DrovoUsbHandle handle, uint32_t rate);
/* The outcome of the read started with `record`; `wait` 0 answers at once (see above). */
typedef int32_t (*DrovoUsbGetOverlappedResult)(DrovoUsbHandle handle, DrovoIoRecord* record,
                                               uint32_t* transferred, int32_t wait);
/* The calling thread's last system error as the last driver call left it. */
typedef uint32_t (*DrovoUsbGetLastSystemError)(void);

/* The names under which a driver library exports the functions above. */
#define DROVO_USB_DRIVER_FUNCTIONS(X)                          \
    X(DrovoUsbGetDeviceCount, usbdrv_GetDeviceCount)           \
    X(DrovoUsbGetDeviceText, usbdrv_GetDeviceText)             \
    X(DrovoUsbOpen, usbdrv_Open)                               \
    X(DrovoUsbClose, usbdrv_Close)                             \
    X(DrovoUsbRead, usbdrv_Read)                               \
    X(DrovoUsbWrite, usbdrv_Write)                             \
    X(DrovoUsbSetDeviceSetting, usbdrv_SetDeviceSetting)       \
    X(DrovoUsbCheckReceiveQueue, usbdrv_CheckReceiveQueue)     \
    X(DrovoUsbSetRate, usbdrv_SetRate)                         \
    X(DrovoUsbGetOverlappedResult, usbdrv_GetOverlappedResult) \
    X(DrovoUsbGetLastSystemError, usbdrv_GetLastSystemError)

#ifdef __cplusplus
}
#endif

#endif
