// Conversions that keep client-supplied values from overflowing the kit's 32-bit fields.
#ifndef HAPSET_NUMBERS_H
#define HAPSET_NUMBERS_H

#include <cstdint>

// Truncates toward zero, saturating at the int32 range; NaN gives 0.
int32_t TruncateToInt(double value);

// Saturates a wide intermediate result into the int32 range.
int32_t SaturateToInt(int64_t value);

#endif
