#include "FakeUsbDriver.h"

#include <algorithm>
#include <cstring>

namespace {

FakeUsbDevice g_device;
thread_local uint32_t t_lastSystemError = 0;
int g_handleToken = 0;  // its address is the handle of the open device

bool IsOpen(DrovoUsbHandle handle) {
    return handle == &g_handleToken;
}

}  // namespace

FAKE_USB_API FakeUsbDevice* FakeUsb_Device(void) {
    return &g_device;
}

FAKE_USB_API void FakeUsb_Reset(void) {
    memset(&g_device, 0, sizeof g_device);
    g_device.producesHandle = 1;
    g_device.queueStatus = 2;
    g_device.collectCompleted = 1;
    g_device.openedIndex = -99;
}

FAKE_USB_API int32_t usbdrv_GetDeviceCount(uint32_t* count) {
    *count = g_device.count;
    return g_device.countResult;
}

FAKE_USB_API int32_t usbdrv_GetDeviceText(int32_t index, char* text, uint32_t option) {
    if (index < 0 || index >= 4 || option != 0) {
        return DROVO_USB_NO_DEVICE;
    }
    memcpy(text, g_device.texts[index], DROVO_USB_TEXT_SIZE);
    return DROVO_USB_OK;
}

FAKE_USB_API int32_t usbdrv_Open(int32_t index, DrovoUsbHandle* handle) {
    g_device.openedIndex = index;
    *handle = g_device.producesHandle && index >= 0 ? &g_handleToken : nullptr;
    return g_device.openResult;
}

FAKE_USB_API int32_t usbdrv_Close(DrovoUsbHandle handle) {
    g_device.closes += IsOpen(handle) ? 1 : 0;
    return DROVO_USB_OK;
}

FAKE_USB_API int32_t usbdrv_Read(DrovoUsbHandle, uint8_t* buffer, uint32_t count,
                                 uint32_t* transferred, DrovoIoRecord*) {
    ++g_device.readsStarted;
    uint32_t length = std::min(count, g_device.incomingLength);
    memcpy(buffer, g_device.incoming, length);
    *transferred = g_device.readResult == 0 ? length : 0;
    t_lastSystemError = g_device.readSystemError;
    return g_device.readResult;
}

FAKE_USB_API int32_t usbdrv_Write(DrovoUsbHandle, const uint8_t* bytes, uint32_t count,
                                  uint32_t* written, DrovoIoRecord*) {
    if (g_device.writeResult != 0) {
        *written = 0;
        return g_device.writeResult;
    }
    uint32_t length = std::min<uint32_t>(count, sizeof g_device.written);
    memcpy(g_device.written, bytes, length);
    g_device.writtenLength = length;
    *written = length;
    return DROVO_USB_OK;
}

FAKE_USB_API int32_t usbdrv_SetDeviceSetting(DrovoUsbHandle, uint8_t first, uint8_t second) {
    g_device.setting[0] = first;
    g_device.setting[1] = second;
    return DROVO_USB_OK;
}

FAKE_USB_API int32_t usbdrv_CheckReceiveQueue(DrovoUsbHandle, uint32_t* queued, uint32_t* status) {
    *queued = g_device.incomingLength;
    *status = g_device.queueStatus;
    return g_device.queueResult;
}

FAKE_USB_API int32_t usbdrv_SetRate(DrovoUsbHandle, uint32_t rate) {
    g_device.rate = rate;
    return DROVO_USB_OK;
}

FAKE_USB_API int32_t usbdrv_GetOverlappedResult(DrovoUsbHandle, DrovoIoRecord*,
                                                uint32_t* transferred, int32_t) {
    ++g_device.collects;
    *transferred = g_device.collectTransferred;
    t_lastSystemError = g_device.collectSystemError;
    return g_device.collectCompleted;
}

FAKE_USB_API uint32_t usbdrv_GetLastSystemError(void) {
    return t_lastSystemError;
}
