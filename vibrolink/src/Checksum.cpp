#include "Device.h"

uint8_t ComputeChecksum(const uint8_t* bytes, int32_t count) {
    uint8_t sum = 0;
    for (int32_t i = 0; i < count; ++i)
        sum ^= bytes[i];
    return sum ^ 0xEA;
}
