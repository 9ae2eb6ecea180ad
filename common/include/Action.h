/*
 * The Action record and the command encoders of libdrovo_common.so.
 *
 * An encoder checks its arguments, allocates the record's 8-byte payload buffer with malloc
 * (zero-filled) and fills the record. It never frees anything: whoever owns the record calls
 * free() on `data` and then releases the record. Every library of the kit uses the same heap,
 * so a record made in one library can be released in another.
 *
 * All functions return 0 on success and -1 on refusal, except Package_Action, which returns
 * the number of bytes written. A refused encoder allocates nothing and leaves the record as it
 * was (StopSequence has already written `scratch`). Encoders keep no state and take no locks.
 *
 * Every delay is a signed 32-bit value, refused above 255; a negative delay is accepted and
 * its low byte stored. Multi-byte payload values are little-endian.
 */
#ifndef DROVO_ACTION_H
#define DROVO_ACTION_H

#include <stdbool.h>
#include <stdint.h>

#include "DrovoCommonExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One encoded controller command. Make it with command 0, delay 0, data NULL, length 0,
 * standalone false, scratch zero and timeFactor 1, then set timeFactor before encoding. */
typedef struct Action {
    uint8_t command;     /* command code */
    uint8_t delay;       /* start delay in units of timeFactor milliseconds */
    uint8_t* data;       /* 8-byte payload buffer owned by the record, or NULL */
    int32_t length;      /* payload bytes in use, 0 to 8 */
    bool standalone;     /* always sent in a packet of its own (hapset recording) */
    uint32_t timeFactor; /* milliseconds per delay unit; the packet carries its low byte */
    uint8_t scratch[8];  /* staging bytes, written only by StopSequence */
} Action;

/* Payload bytes an action can carry. */
#define DROVO_ACTION_PAYLOAD_SIZE 8

/* General constructor. Refuses a delay above 255 (nothing written). Otherwise allocates the
 * payload buffer, sets timeFactor and length 0; then refuses a count above 8 (the record keeps
 * the new buffer). On success copies count bytes from source (when not NULL). action must not
 * be NULL. */
DROVO_COMMON_API int32_t Create_Action(Action* action, uint8_t command, int32_t delay,
                                       const uint8_t* source, int32_t count, uint32_t timeFactor);

/* Writes command, delay and the payload into out after zeroing all outSize bytes.
 * Returns length + 2, or -1 when out is NULL or smaller than length + 2. */
DROVO_COMMON_API int32_t Package_Action(const Action* action, uint8_t* out, int32_t outSize);

/* 0x1F: wait waitMs (10-2500) milliseconds. */
DROVO_COMMON_API int32_t ActionWait(Action* action, int32_t delay, int32_t waitMs);
/* 0x11: pulse tactor (0-64) for durationMs (10-2500, sent in 10 ms units). Tactor 0 makes a
 * wait of durationMs instead. */
DROVO_COMMON_API int32_t TacOnTime(Action* action, int32_t delay, uint32_t tactor,
                                   int32_t durationMs);
/* 0x20: set gain (1-255) of tactor (0-64). */
DROVO_COMMON_API int32_t SetGain(Action* action, int32_t delay, uint32_t tactor, int32_t gain);
/* 0x12: set frequency (300-3500) of tactor (0-65). */
DROVO_COMMON_API int32_t SetFreq(Action* action, int32_t delay, uint32_t tactor, int32_t frequency);
/* 0x15: set signal source (1-7) of tactor (0-64). */
DROVO_COMMON_API int32_t SetSigSource(Action* action, int32_t delay, uint32_t tactor,
                                      int32_t source);
/* 0x2A: ramp gain (rampCommand 0x20) or frequency (0x12) of tactor (0-64) from start to end
 * over durationMs (10-2500, sent in 100 ms units); option travels unchanged. */
DROVO_COMMON_API int32_t Ramp(Action* action, int32_t delay, uint32_t tactor, int32_t rampCommand,
                              int32_t start, int32_t end, int32_t durationMs, int32_t option);
/* 0x33: set the type (0x11, 0x12, 0x21 or 0x22) of tactor (0-64). */
DROVO_COMMON_API int32_t SetTacType(Action* action, int32_t delay, uint32_t tactor, int32_t type);
/* 0x80: the 8 state bytes at states, unchanged. states must point at 8 readable bytes. */
DROVO_COMMON_API int32_t SetTactorStates(Action* action, int32_t delay, const uint8_t* states);
/* 0x30: ask the controller to test itself. */
DROVO_COMMON_API int32_t SelfTest(Action* action, int32_t delay);
/* 0x45: ask for the segment list. */
DROVO_COMMON_API int32_t GetSegmentList(Action* action, int32_t delay);
/* 0x3A: ask for the battery level. */
DROVO_COMMON_API int32_t GetBatteryLevel(Action* action, int32_t delay);
/* 0x01 with one byte: stop the stored sequence. Zeroes scratch and stages the byte there. */
DROVO_COMMON_API int32_t StopSequence(Action* action, int32_t delay, uint8_t sequence);
/* 0x1B: start recording into slot (0-9); marks the record standalone. */
DROVO_COMMON_API int32_t StartRecordHapset(Action* action, int32_t delay, uint32_t slot);
/* 0x1D: finish recording; marks the record standalone. */
DROVO_COMMON_API int32_t FinishRecordHapset(Action* action, int32_t delay);
/* 0x1A: play the recording in slot (0-9). */
DROVO_COMMON_API int32_t PlayRecordedHapset(Action* action, int32_t delay, uint32_t slot);
/* 0x42: ask for the firmware version (delay 0). */
DROVO_COMMON_API int32_t ReadFirmwareVersion(Action* action);
/* 0x53: ask for the current (delay 0). */
DROVO_COMMON_API int32_t ReadCurrent(Action* action);
/* 0x01 without payload: stop everything (delay 0). StopActions is the same function. */
DROVO_COMMON_API int32_t StopSeq(Action* action);
DROVO_COMMON_API int32_t StopActions(Action* action);
/* 0xA2: payload 1 when state is exactly 1, else 0 (delay 0). */
DROVO_COMMON_API int32_t SetFreqTimeDelayState(Action* action, uint8_t state);

#ifdef __cplusplus
}
#endif

#endif
