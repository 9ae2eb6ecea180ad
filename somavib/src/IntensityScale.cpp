#include "IntensityScale.h"

uint8_t Somavib_scaleToByte(double output, int scale) {
    double scaled = output * scale;
    if (!(scaled > 0)) {
        return 0;
    }
    if (scaled >= 255) {
        return 255;
    }
    return static_cast<uint8_t>(scaled);
}
