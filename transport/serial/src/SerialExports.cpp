// The module's exported functions: argument checks, then the port code.
#include <unistd.h>

#include <cstring>

#include "DrovoErrorCodes.h"
#include "DrovoSerial.h"
#include "ModuleState.h"
#include "Port.h"
#include "PortDiscovery.h"
#include "PortRead.h"
#include "PortWrite.h"

using namespace drovo_serial;

namespace {

// Reports `code` through the last error; returns -1 for the caller to pass on.
int Refuse(int code) {
    SetLastError(code);
    return -1;
}

void EndRead(DrovoIoRecord* record) {
    if (record) {
        record->pending = 0;
        record->wanted = 0;
        record->gathered = 0;
    }
}

}  // namespace

extern "C" {

int serial_Init(void) {
    return 0;
}

int serial_GetLastDrovoError(void) {
    return LastError();
}

int serial_Discover(DrovoSerialPortList* list) {
    if (!list) {
        return Refuse(DROVO_BAD_PARAMETER);
    }
    memset(list, 0, sizeof *list);
    for (const std::string& port : ListPorts(DiscoveryRoot())) {
        if (list->count == DROVO_SERIAL_MAX_PORTS) {
            break;
        }
        // A path too long for the list could not be opened by its cut-down name: skip it.
        if (port.size() >= DROVO_SERIAL_NAME_SIZE) {
            continue;
        }
        memcpy(list->names[list->count], port.c_str(), port.size() + 1);
        ++list->count;
    }
    return list->count;
}

DrovoSerialHandle serial_Connect(const char* name) {
    if (!name || name[0] == '\0' || strlen(name) >= DROVO_SERIAL_NAME_SIZE) {
        SetLastError(DROVO_BAD_PARAMETER);
        return nullptr;
    }
    int fd = OpenPort(name);
    if (fd < 0) {
        SetLastError(DROVO_CONNECT_FAILED);
        return nullptr;
    }
    return HandleFromFd(fd);
}

int serial_Close(DrovoSerialHandle handle, DrovoIoRecord* readRecord, DrovoIoRecord* writeRecord) {
    if (!handle) {
        return Refuse(DROVO_BAD_PARAMETER);
    }
    EndRead(readRecord);
    EndRead(writeRecord);
    // Never retried: Linux releases the descriptor even when close reports EINTR.
    if (close(FdFromHandle(handle)) != 0 && errno != EINTR) {
        return Refuse(DROVO_INTERNAL_ERROR);
    }
    return 0;
}

int serial_Read(DrovoSerialHandle handle, DrovoIoRecord* record, int32_t count, uint8_t* buffer,
                int32_t* bytesRead, int32_t mode) {
    if (bytesRead) {
        *bytesRead = 0;
    }
    if (!handle || !record || !buffer || !bytesRead || count < 1 ||
        count > static_cast<int32_t>(sizeof record->buffer) || (mode != 0 && mode != 1)) {
        return Refuse(DROVO_BAD_PARAMETER);
    }
    int fd = FdFromHandle(handle);
    return mode == 0 ? StartRead(fd, record, count, buffer, bytesRead)
                     : CollectRead(fd, record, count, buffer, bytesRead);
}

int serial_Write(DrovoSerialHandle handle, DrovoIoRecord* /*record*/, const uint8_t* bytes,
                 int32_t count) {
    if (!handle || !bytes || count < 1) {
        return Refuse(DROVO_BAD_PARAMETER);
    }
    return WriteAll(FdFromHandle(handle), bytes, count);
}

void serial_SetDiscoveryRootForTesting(const char* root) {
    SetDiscoveryRoot(root);
}

}  // extern "C"
