/* Turning an output intensity into the byte a controller or board reads. */
#ifndef SOMAVIB_INTENSITY_SCALE_H
#define SOMAVIB_INTENSITY_SCALE_H

#include <stdint.h>

/* output x scale, truncated towards zero and clamped to 0 to 255 (NaN gives 0). */
uint8_t Somavib_scaleToByte(double output, int scale);

#endif
