/*
 * The USB module: opens a USB controller by its identifying text and reads and writes it
 * through the USB driver library (DrovoUsbDriver.h), which it loads at the first call that
 * needs it. The device library loads this module lazily for its USB platform.
 *
 * The module keeps one last-error code for the whole process; failing reads and writes set it
 * and nothing clears it, so two devices failing at once may read each other's code. When the
 * driver library cannot be loaded, every call that needs it fails and sets 202003.
 * The functions take no lock; calls for different connections do not interfere.
 */
#ifndef DROVO_WINUSB_H
#define DROVO_WINUSB_H

#include <stdint.h>

#include "DrovoIoRecord.h"
#include "DrovoWinUsbExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Does nothing and returns -1; kept for callers of the module's full interface. */
DROVO_WINUSB_API int winusb_Init(void);

/* Does nothing: USB controllers are connected by name. */
DROVO_WINUSB_API void winusb_Discover(void);

/* Sets the communication rate of an open device: 0 when the driver accepts it, else -1
 * (with 202002 for a null handle). */
DROVO_WINUSB_API int winusb_SetProperties(void* handle, uint32_t rate);

/* The module's last-error code. */
DROVO_WINUSB_API int winusb_GetLastDrovoError(void);

/*
 * Opens the device whose identifying text equals `name` without regard to case, sets its rate
 * to 921600 and its device setting to (1, 1), and returns its handle. Returns null when no
 * device opened; the last error is then unchanged, except 202002 for a null name or one of 512
 * characters or more, and 202003 when the driver library cannot be loaded.
 */
DROVO_WINUSB_API void* winusb_Connect(const char* name);

/* Closes the device (when `handle` is not null) and the read event kept in `readRecord` (when
 * there is one), clearing it. Returns 0. */
DROVO_WINUSB_API int winusb_Close(void* handle, DrovoIoRecord* readRecord);

/* Writes `count` bytes. Returns the number written, or -1 with 202005 (no handle), 202002 (no
 * bytes, count below 1) or 302000 (the driver refused the write). */
DROVO_WINUSB_API int winusb_Write(void* handle, const uint8_t* bytes, int32_t count);

/*
 * Mode 0 starts a read of `count` bytes into `buffer`, mode 1 collects the read started
 * earlier with `record`; neither waits. Returns 0 with *bytesRead set, or -1 with: 202002 no
 * handle, record, buffer or out count, a count below 1 or an unknown mode; 202003 the read
 * could not start (or the driver reported more bytes than asked); 202004 fewer bytes than
 * asked (*bytesRead set); 202006 the read failed without a system error; 202007 the read is
 * still pending; 202008 nothing to read (also for a complete read whose first byte is 0).
 */
DROVO_WINUSB_API int winusb_Read(void* handle, DrovoIoRecord* record, int32_t count,
                                 uint8_t* buffer, int32_t* bytesRead, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
