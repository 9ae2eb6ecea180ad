#include "Precondition.h"

#include <cstdio>

bool Somavib_require(bool holds, const char* prefix, const char* function, const char* condition) {
    if (!holds) {
        std::fprintf(stderr, "%s %s(): precondition failed: %s\n", prefix, function, condition);
    }
    return holds;
}

bool Somavib_requireIntensity(double intensity, const char* prefix, const char* function) {
    return Somavib_require(intensity >= 0, prefix, function, "intensity >= 0") &&
           Somavib_require(intensity <= 1, prefix, function, "intensity <= 1");
}

bool Somavib_requireIntensityRange(double minIntensity, double maxIntensity, const char* prefix,
                                   const char* function) {
    return Somavib_require(minIntensity >= 0, prefix, function, "minIntensity >= 0") &&
           Somavib_require(maxIntensity <= 1, prefix, function, "maxIntensity <= 1") &&
           Somavib_require(minIntensity < maxIntensity, prefix, function,
                           "minIntensity < maxIntensity");
}
