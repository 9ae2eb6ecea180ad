/* The actuator records a hub owns, allocated as one array. */
#ifndef SOMAVIB_ACTUATOR_ARRAY_H
#define SOMAVIB_ACTUATOR_ARRAY_H

#include <stdint.h>

#include "Somavib.h"

/* Allocates count records, each through Actuator_init. Never NULL, even for a count of 0,
 * so that a hub's "initialised" test can rely on it; ends the process when memory runs out. */
Actuator* Somavib_newActuators(uint8_t count);

/* Clears count records and frees the array. NULL is ignored. No other thread may still use
 * the records. */
void Somavib_deleteActuators(Actuator* actuators, uint8_t count);

#endif
