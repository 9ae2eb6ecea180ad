/*
 * The serial transport module: opens serial ports (USB serial adapters, on-board ports and
 * Bluetooth RFCOMM ports), reads and writes them without blocking, and lists the ports a machine
 * has. The device library calls it for every serial connection.
 *
 * Port settings: raw mode, 115200 baud, 8 data bits, no parity, one stop bit, no flow control.
 * A port is opened exclusively (TIOCEXCL and an advisory lock), so a second open of the same
 * port fails until the first is closed.
 *
 * Reads keep the overlapped contract the device's packet reader relies on. A read started with
 * mode 0 for n bytes:
 *   - completes at once (result 0, out count n) when n bytes are waiting;
 *   - answers "nothing to read" (202008) at once when no byte is waiting and the line has been
 *     quiet for the read time-out;
 *   - otherwise stays pending (202007) and keeps what came in the connection's read record.
 * Each mode-1 call adds what has arrived since and answers success once all n bytes are in,
 * 202007 while bytes are still coming, and, once no new byte has arrived for the read time-out,
 * 202004 with the bytes that came (out count set) or 202008 when none came.
 * The read time-out is 20 ms: at the slowest common line speed one byte takes about 1 ms, so a
 * 20 ms gap means the sender has stopped, while a reply sent in pieces is still gathered whole.
 *
 * Every function may be called from any thread; calls for different connections do not
 * interfere. The last-error code is one per process, shared by all connections, and is set only
 * by failing calls.
 */
#ifndef DROVO_SERIAL_H
#define DROVO_SERIAL_H

#include <stdint.h>

#include "DrovoIoRecord.h"
#include "DrovoSerialExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/* An open port. Never null for an open port; callers treat it as opaque. */
typedef void* DrovoSerialHandle;

enum {
    DROVO_SERIAL_MAX_PORTS = 64, /* discovery lists at most this many ports */
    DROVO_SERIAL_NAME_SIZE = 256 /* longest port name plus its terminator */
};

/* Caller-owned list that serial_Discover fills with port names, each usable by serial_Connect. */
typedef struct DrovoSerialPortList {
    int32_t count;
    char names[DROVO_SERIAL_MAX_PORTS][DROVO_SERIAL_NAME_SIZE];
} DrovoSerialPortList;

/* Prepares the module. Does not block. Returns 0. */
DROVO_SERIAL_API int serial_Init(void);

/* The code of the last failed call in this process (0 until a call fails). */
DROVO_SERIAL_API int serial_GetLastDrovoError(void);

/*
 * Empties `list` and fills it with the machine's serial ports in a stable order: USB serial
 * adapters (ttyUSB, then ttyACM), Bluetooth RFCOMM ports, then on-board ports (ttyS ports that
 * have real hardware behind them, then ttyAMA), each group by port number. Does not open the
 * ports. Returns the number of names; 0 when there are none; -1 with 202002 when `list` is null.
 */
DROVO_SERIAL_API int serial_Discover(DrovoSerialPortList* list);

/*
 * Opens the port `name` (a device path such as "/dev/ttyUSB0") exclusively and configures it.
 * Input waiting from before the open is discarded. Returns the handle, or null with 202002 for
 * a null, empty or over-long name and 202001 when the port cannot be opened or configured.
 */
DROVO_SERIAL_API DrovoSerialHandle serial_Connect(const char* name);

/*
 * Closes the port and ends any read in progress in the two records (either may be null).
 * Returns 0; -1 with 202002 for a null handle, or with 202003 when the system refused the close.
 */
DROVO_SERIAL_API int serial_Close(DrovoSerialHandle handle, DrovoIoRecord* readRecord,
                                  DrovoIoRecord* writeRecord);

/*
 * Reads `count` bytes into `buffer` as described at the top of this header. `mode` is 0 to
 * start a read, 1 to collect the read that is pending in `record`. Never blocks.
 * Returns 0 with *bytesRead set on success, or -1 with the reason in the last-error code:
 * 202002 a null argument, a count below 1 or above 512, a mode other than 0 and 1, or a mode-1
 * count that differs from the pending read's; 202003 mode 1 without a pending read; 202004
 * partial read (*bytesRead holds the bytes that came, copied into `buffer`); 202007 the read is
 * still pending; 202008 nothing to read; 202011 the port hung up or failed.
 */
DROVO_SERIAL_API int serial_Read(DrovoSerialHandle handle, DrovoIoRecord* record, int32_t count,
                                 uint8_t* buffer, int32_t* bytesRead, int32_t mode);

/*
 * Writes all `count` bytes, waiting up to 2 s in total for the port to take them. `record` is
 * accepted for symmetry with reads and may be null. Returns `count`, or -1 with 202002 for a
 * null handle or bytes or a count below 1, 202011 when the port hung up or failed, and 202003
 * when the port did not take the bytes in time.
 */
DROVO_SERIAL_API int serial_Write(DrovoSerialHandle handle, DrovoIoRecord* record,
                                  const uint8_t* bytes, int32_t count);

/*
 * Test hook: makes discovery look for "dev" and "sys/class/tty" under `root` instead of "/".
 * Null or "" restores the machine's own folders. Not for use by programs.
 */
DROVO_SERIAL_API void serial_SetDiscoveryRootForTesting(const char* root);

#ifdef __cplusplus
}
#endif

#endif
