/* Compiled as C against Action.h alone: checks that the record and the exports are usable from C
 * and that the packaged bytes of a few commands are exact. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Action.h"

static int expect(const char* name, Action* a, int rc, const uint8_t* want, int wantLen) {
    uint8_t out[10];
    int n = rc == 0 ? Package_Action(a, out, (int)sizeof out) : -1;
    free(a->data);
    a->data = NULL;
    if (n != wantLen || memcmp(out, want, (size_t)wantLen) != 0) {
        printf("%s: wrong bytes\n", name);
        return 1;
    }
    return 0;
}

int main(void) {
    Action a;
    memset(&a, 0, sizeof a);
    a.timeFactor = 1;
    static const uint8_t pulse[] = {0x11, 0x00, 0x01, 0x0A};
    static const uint8_t freq[] = {0x12, 0x00, 0x03, 0xC4, 0x09};
    static const uint8_t ramp[] = {0x2A, 0x00, 0x12, 0x01, 0x2C, 0x01, 0xB8, 0x0B, 0x0A, 0x00};
    static const uint8_t firmware[] = {0x42, 0x00};
    int failures = 0;
    failures += expect("TacOnTime", &a, TacOnTime(&a, 0, 1, 100), pulse, 4);
    failures += expect("SetFreq", &a, SetFreq(&a, 0, 3, 2500), freq, 5);
    failures += expect("Ramp", &a, Ramp(&a, 0, 1, 0x12, 300, 3000, 1000, 0), ramp, 10);
    failures += expect("ReadFirmwareVersion", &a, ReadFirmwareVersion(&a), firmware, 2);
    return failures == 0 ? 0 : 1;
}
