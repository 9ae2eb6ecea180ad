/*
 * The millisecond clock behind once-vibrations. It counts from an arbitrary origin and wraps
 * after about 49 days; compare its values only with SomavibClock_notPast, which is safe across
 * the wrap for spans below 24 days.
 */
#ifndef SOMAVIB_CLOCK_H
#define SOMAVIB_CLOCK_H

#include <stdint.h>

/* Milliseconds of the monotonic clock, truncated to 32 bits. */
int32_t SomavibClock_now();

/* now + duration, wrapping instead of overflowing. */
int32_t SomavibClock_after(int32_t now, int32_t duration);

/* True when moment is now or still ahead of now. */
bool SomavibClock_notPast(int32_t moment, int32_t now);

/* Test hook: replaces the clock with source (nullptr restores the monotonic clock). */
void SomavibClock_setSource(int32_t (*source)());

#endif
