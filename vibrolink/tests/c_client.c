/* A C client that sees nothing of the kit but Vibrolink.h: it initialises the library, plans on
 * a device without a controller, queues commands, reads the error rules back and shuts down.
 * Exits 0 when every step answered as documented. */
#include <stdio.h>

#include "Vibrolink.h"

static int failures = 0;

static void expect(const char* what, long got, long want) {
    if (got != want) {
        printf("%s: got %ld, want %ld\n", what, got, want);
        ++failures;
    }
}

static void onResponse(int32_t deviceId, const uint8_t* packet, int32_t length) {
    (void)deviceId;
    (void)packet;
    (void)length;
}

static void onOutgoing(int32_t deviceId, const uint8_t* bytes, int32_t length) {
    (void)deviceId;
    (void)bytes;
    (void)length;
}

static void onTactorState(int32_t deviceId, int32_t durationMs, int32_t tactor, int32_t delayMs) {
    (void)deviceId;
    (void)durationMs;
    (void)tactor;
    (void)delayMs;
}

int main(void) {
    const uint8_t states[8] = {0};
    ResponseCallback response = onResponse;
    int32_t id;

    expect("InitializeTI", InitializeTI(), 0);
    expect("version", GetVersionNumber()[0] == '1', 1);
    SetOutgoingDataCallback(onOutgoing);
    SetTactorStateCallback(onTactorState);
    SetKillOnNaks(0);
    expect("SetTimeFactor", SetTimeFactor(10), 0);

    id = AddFalseConnectedDevice(0, "\x01\x08", 0);
    expect("AddFalseConnectedDevice", id, 0);
    expect("Pulse", Pulse(id, 1, 100, 0), 0);
    expect("SetTactors", SetTactors(id, 0, states), 0);
    expect("Pulse 5 ms", Pulse(id, 1, 5, 0), -1);
    expect("group A refusal", GetLastDrovoError(), 203000);
    expect("SetTactorType 0x13", SetTactorType(id, 0, 1, 0x13), -1);
    expect("group B refusal", GetLastDrovoError(), -1);
    expect("UpdateTI with an error pending", UpdateTI(), -1);
    expect("SetLastDrovoError", SetLastDrovoError(0), 0);
    expect("UpdateTI", UpdateTI(), 0);
    expect("Pulse after the sweep", Pulse(id, 1, 100, 0), -1);
    expect("unknown device", GetLastDrovoError(), 202002);
    expect("Connect without a port", Connect(NULL, 1, response), -1);
    expect("PlayHapsetToSegment -1", PlayHapsetToSegment(0, 0, 1, -1, 1.0f, 1.0f, 1.0f, 1.0f), -1);
    expect("segment -1", GetLastDrovoError(), 402002);
    expect("GetHapsetName", GetHapsetName(0) == NULL, 1);
    expect("CloseAll", CloseAll(), 0);
    expect("ShutdownTI", ShutdownTI(), 0);
    return failures == 0 ? 0 : 1;
}
