// The client callback types a Device calls, all on its update thread.
//
// The public header declares the same three types under the same guard, so a source file may
// include either or both.
#pragma once

#include <stdint.h>

#ifndef DROVO_VIBROLINK_CALLBACK_TYPES
#define DROVO_VIBROLINK_CALLBACK_TYPES
// Every complete packet the controller sends, before it is processed; once with
// (id, NULL, -1) when the device stops on its own. The bytes are valid only during the call.
typedef void (*ResponseCallback)(int32_t deviceId, const uint8_t* packet, int32_t length);
// Every successful write to the controller, with the bytes written.
typedef void (*OutgoingDataCallback)(int32_t deviceId, const uint8_t* bytes, int32_t length);
// Each queued pulse before a batch is sent.
typedef void (*TactorStateCallback)(int32_t deviceId, int32_t durationMs, int32_t tactor,
                                    int32_t delayMs);
#endif
