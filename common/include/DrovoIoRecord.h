/*
 * The per-connection I/O record that a Device keeps for each direction of its connection and
 * hands to the transport module on every read, write and close. The module owns its meaning;
 * the Device only zeroes it at construction and after every close, so an all-zero record must
 * always be a valid "no operation in progress" state.
 */
#ifndef DROVO_IO_RECORD_H
#define DROVO_IO_RECORD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DrovoIoRecord {
    int32_t pending;     /* non-zero while a started read is being gathered */
    int32_t wanted;      /* bytes the pending read asked for */
    int32_t gathered;    /* bytes gathered so far into `buffer` */
    int32_t event;       /* USB: descriptor of the read event plus one; 0 when there is none */
    int64_t lastByteNs;  /* monotonic time at which a byte last arrived; 0 when none has */
    int32_t status;      /* USB: status word of the read in progress */
    int32_t offset;      /* USB: offset word handed to the driver with every read */
    uint8_t buffer[512]; /* bytes of the pending read, handed out when it completes */
} DrovoIoRecord;

#ifdef __cplusplus
}
#endif

#endif
