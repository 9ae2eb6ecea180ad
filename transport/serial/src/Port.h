// Opening, configuring and closing one serial port, and the handle that stands for it.
#pragma once

#include "DrovoSerial.h"

namespace drovo_serial {

// The handle is the port's descriptor plus one, so that descriptor 0 still gives a non-null
// handle and the value printed in the connect line is a small number.
inline DrovoSerialHandle HandleFromFd(int fd) {
    return reinterpret_cast<DrovoSerialHandle>(static_cast<intptr_t>(fd) + 1);
}
inline int FdFromHandle(DrovoSerialHandle handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle) - 1);
}

// Opens `path` exclusively, non-blocking, in raw 8N1 mode at the module's line speed, and drops
// input that waited from before. Returns the descriptor, or -1 with errno set.
int OpenPort(const char* path);

// True when the port reports a hang-up or an error condition.
bool PortFailed(int fd);

}  // namespace drovo_serial
