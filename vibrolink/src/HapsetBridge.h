// The device library's side of the Hapset manager: the packet hook every connected device
// carries.
#pragma once

#include <cstdint>

// Hands one reply of device id to the Hapset manager (no packet and length -1 when the device
// stopped on its own). Runs on the device's thread.
void ForwardPacketToHapsetManager(int32_t id, const uint8_t* packet, int32_t length);
