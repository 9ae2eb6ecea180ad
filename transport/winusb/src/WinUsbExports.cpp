// The module's exported functions: argument checks, driver loading, then the device code.
#include <cstring>

#include "DrovoErrorCodes.h"
#include "DrovoWinUsb.h"
#include "FindDeviceIndex.h"
#include "UsbDriverLoader.h"
#include "UsbLastError.h"
#include "UsbRead.h"

using namespace drovo_winusb;

namespace {

constexpr uint32_t kConnectRate = 921600;

bool NameFits(const char* name) {
    return name && strlen(name) < DROVO_USB_TEXT_SIZE;
}

}  // namespace

extern "C" {

int winusb_Init(void) {
    return -1;
}

void winusb_Discover(void) {}

int winusb_GetLastDrovoError(void) {
    return LastError();
}

int winusb_SetProperties(void* handle, uint32_t rate) {
    if (!handle) {
        return Fail(DROVO_BAD_PARAMETER);
    }
    const UsbDriver* driver = GetUsbDriver();
    if (!driver) {
        return Fail(DROVO_INTERNAL_ERROR);
    }
    return driver->usbdrv_SetRate(handle, rate) == 0 ? 0 : -1;
}

void* winusb_Connect(const char* name) {
    if (!NameFits(name)) {
        SetLastError(DROVO_BAD_PARAMETER);
        return nullptr;
    }
    const UsbDriver* driver = GetUsbDriver();
    if (!driver) {
        SetLastError(DROVO_INTERNAL_ERROR);
        return nullptr;
    }
    DrovoUsbHandle handle = nullptr;
    int32_t opened = driver->usbdrv_Open(FindDeviceIndex(*driver, name), &handle);
    if (opened == DROVO_USB_FAILED || opened == DROVO_USB_NO_DEVICE || !handle) {
        return nullptr;
    }
    driver->usbdrv_SetRate(handle, kConnectRate);
    driver->usbdrv_SetDeviceSetting(handle, 1, 1);
    return handle;
}

int winusb_Close(void* handle, DrovoIoRecord* readRecord) {
    // A handle can only have come from a loaded driver, so loading cannot fail here.
    const UsbDriver* driver = handle ? GetUsbDriver() : nullptr;
    if (driver) {
        driver->usbdrv_Close(handle);
    }
    CloseReadEvent(readRecord);
    return 0;
}

int winusb_Write(void* handle, const uint8_t* bytes, int32_t count) {
    if (!handle) {
        return Fail(DROVO_THREAD_START_FAILED);
    }
    if (!bytes || count <= 0) {
        return Fail(DROVO_BAD_PARAMETER);
    }
    const UsbDriver* driver = GetUsbDriver();
    if (!driver) {
        return Fail(DROVO_INTERNAL_ERROR);
    }
    uint32_t written = 0;
    if (driver->usbdrv_Write(handle, bytes, static_cast<uint32_t>(count), &written, nullptr) != 0) {
        return Fail(DROVO_USB_WRITE_FAILED);
    }
    return static_cast<int>(written);
}

int winusb_Read(void* handle, DrovoIoRecord* record, int32_t count, uint8_t* buffer,
                int32_t* bytesRead, int32_t mode) {
    if (!handle || !record || !buffer || !bytesRead || count <= 0 || (mode != 0 && mode != 1)) {
        return Fail(DROVO_BAD_PARAMETER);
    }
    const UsbDriver* driver = GetUsbDriver();
    if (!driver) {
        return Fail(DROVO_INTERNAL_ERROR);
    }
    return ReadDevice(*driver, handle, record, count, buffer, bytesRead, mode);
}

}  // extern "C"
