/* A C client that sees only the public header and the shared library: a zero-filled state is
 * usable, a controller takes a segment list and a Hapset given in arrays plays on it. */
#include <stdio.h>
#include <string.h>

#include "HapsetManager.h"

static int check(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "failed: %s\n", what);
    }
    return ok ? 0 : 1;
}

int main(void) {
    static HapsetManagerState state; /* zero-filled, as a client's static record is */
    HapsetOutput output;
    const int32_t header[3] = {10, 1, 1};
    const int32_t segments[2] = {1, 8};
    const int32_t actionHeaders[4] = {0, 1, 2, 0};
    const double data[1] = {100};
    const int32_t locations[2] = {1, 2};
    const uint8_t reply[] = {0x24, 0x01, 2, 0x45, 8, 0xAA};
    int failures = 0;

    memset(&output, 0, sizeof output);
    failures += check(TM_AddController(&state, 0) == -1, "add before initialisation");
    failures += check(TM_GetLastTMError(&state) == HAPSET_NOT_INITIALISED, "402000");
    failures += check(TM_InitializeHapsetManager(&state) == 0, "initialise");
    failures += check(TM_AddController(&state, 0) == 0, "add controller");
    TM_ParsePacket(&state, 0, reply, (int32_t)sizeof reply);
    failures += check(TM_PlayNonLoadedHapset(&state, 0, &output, header, segments, actionHeaders,
                                             data, locations) == 2,
                      "play two Actions");
    failures += check(output.actionCount == 2 && output.actionList[1]->command == 0x11 &&
                          output.actionList[1]->data[0] == 2 && output.timeFactor == 10,
                      "pulse on tactor 2");
    TM_ReleaseHapsetOutput(&output);
    failures += check(TM_ShutdownHapsetManager(&state) == 0, "shutdown");
    TM_ReleaseHapsetManagerState(&state);
    return failures == 0 ? 0 : 1;
}
