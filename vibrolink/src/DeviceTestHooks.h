// Internal test hooks of the Device.
#pragma once

// Makes the next thread start in Device::Connect fail as if the system had refused it.
void FailNextDeviceThreadStartForTesting();
