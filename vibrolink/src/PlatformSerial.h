// The serial platform (type 1): serial ports, Bluetooth serial ports included, through the
// serial module. Every operation passes the Device's connection state to a module function;
// discovery probes each port the module lists with a full temporary-device connect.
#pragma once

#include "PlatformInterface.h"

class PlatformSerial : public PlatformInterface {
  public:
    int32_t Init() override;
    int32_t GetLastPlatformError() override;
    // Blocks for at least one connect time per port tried.
    int32_t Discover(std::vector<std::string>& names, const CancelFlag* cancel,
                     int32_t limit) override;
    int32_t Connect(Device* device) override;
    int32_t Close(Device* device) override;
    int32_t Read(Device* device, int32_t bytesWanted, uint8_t* buffer, int32_t* bytesRead,
                 int32_t mode) override;
    int32_t Write(Device* device, const uint8_t* bytes, int32_t count) override;
};

// Internal test hook: called with the temporary device's ID and the port name just before each
// discovery probe connects, on the discovering thread. nullptr removes it.
using SerialProbeObserver = void (*)(int32_t deviceId, const char* portName);
void SetSerialProbeObserverForTesting(SerialProbeObserver observer);
