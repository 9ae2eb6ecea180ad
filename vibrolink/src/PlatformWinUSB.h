// The USB platform (type 2): USB controllers through the USB module, which is loaded at the
// first USB call. USB controllers are not discovered; they are connected by name.
#pragma once

#include "PlatformInterface.h"

class PlatformWinUSB : public PlatformInterface {
  public:
    int32_t Init() override;
    // The module's last error; 202003 when the module cannot be loaded.
    int32_t GetLastPlatformError() override;
    int32_t Discover(std::vector<std::string>& names, const CancelFlag* cancel,
                     int32_t limit) override;
    int32_t Connect(Device* device) override;
    int32_t Close(Device* device) override;
    int32_t Read(Device* device, int32_t bytesWanted, uint8_t* buffer, int32_t* bytesRead,
                 int32_t mode) override;
    int32_t Write(Device* device, const uint8_t* bytes, int32_t count) override;
};
