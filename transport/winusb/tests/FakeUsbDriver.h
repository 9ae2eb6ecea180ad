// A driver library for the USB module's tests that plays one scripted USB device. The test sets
// the fields of the device, then calls the module; the fake answers from them and records what
// the module asked of it.
#pragma once

#include <stdint.h>

#include "DrovoUsbDriver.h"

#define FAKE_USB_API extern "C" __attribute__((visibility("default")))

struct FakeUsbDevice {
    // Attached devices and their identifying texts.
    int32_t countResult;
    uint32_t count;
    char texts[4][DROVO_USB_TEXT_SIZE];
    // Opening: the status answered, and whether a handle is produced.
    int32_t openResult;
    int32_t producesHandle;
    // The receive-queue check.
    int32_t queueResult;
    uint32_t queueStatus;
    // Starting a read: its status and the system error it leaves; the bytes it delivers.
    int32_t readResult;
    uint32_t readSystemError;
    uint8_t incoming[512];
    uint32_t incomingLength;
    // Collecting a read: completed or not, the system error, the bytes transferred.
    int32_t collectCompleted;
    uint32_t collectSystemError;
    uint32_t collectTransferred;
    // Writing: the status answered.
    int32_t writeResult;

    // What the module did.
    int32_t openedIndex;
    int32_t readsStarted;
    int32_t collects;
    int32_t closes;
    uint32_t rate;
    uint8_t setting[2];
    uint8_t written[1024];
    uint32_t writtenLength;
};

// The one device, reset to: no devices, every call succeeding, nothing incoming.
FAKE_USB_API FakeUsbDevice* FakeUsb_Device(void);
FAKE_USB_API void FakeUsb_Reset(void);
