/* Encodes a few controller commands with libdrovo_common and prints the bytes that stand for
 * each inside a wire packet. Written in plain C against the public header alone. */
#include <stdio.h>
#include <stdlib.h>

#include "Action.h"

static void show(const char* title, Action* action, int rc) {
    uint8_t bytes[10];
    if (rc != 0) {
        printf("%-40s refused\n", title);
        return;
    }
    int n = Package_Action(action, bytes, (int)sizeof bytes);
    printf("%-40s", title);
    for (int i = 0; i < n; ++i)
        printf(" %02X", bytes[i]);
    printf("\n");
    free(action->data);
    action->data = NULL;
}

int main(void) {
    Action a = {0};
    a.timeFactor = 1;
    show("TacOnTime(a, 0, 1, 100)", &a, TacOnTime(&a, 0, 1, 100));
    show("SetFreq(a, 0, 3, 2500)", &a, SetFreq(&a, 0, 3, 2500));
    show("Ramp(a, 0, 1, 0x12, 300, 3000, 1000, 0)", &a, Ramp(&a, 0, 1, 0x12, 300, 3000, 1000, 0));
    show("ReadFirmwareVersion(a)", &a, ReadFirmwareVersion(&a));
    return 0;
}
