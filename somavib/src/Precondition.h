/*
 * Argument checks of the hubs. A client's bad argument must not end its process, so a failed
 * check is reported on standard error and the call returns without changing anything.
 */
#ifndef SOMAVIB_PRECONDITION_H
#define SOMAVIB_PRECONDITION_H

/* Returns holds. When it is false, writes "<prefix> <function>(): precondition failed:
 * <condition>\n" to standard error, for example
 * "[DrovoHub] DrovoHub_vibrate(): precondition failed: intensity <= 1". */
bool Somavib_require(bool holds, const char* prefix, const char* function, const char* condition);

/* Checks "intensity >= 0" and "intensity <= 1" (a NaN fails the first). */
bool Somavib_requireIntensity(double intensity, const char* prefix, const char* function);

/* Checks "minIntensity >= 0", "maxIntensity <= 1" and "minIntensity < maxIntensity". */
bool Somavib_requireIntensityRange(double minIntensity, double maxIntensity, const char* prefix,
                                   const char* function);

#endif
