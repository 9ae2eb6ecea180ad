/* A client written in C against the installed header and the shared library's exports. */
#include "Somavib.h"

int somavibCClientRun(void) {
    Actuator* actuator = Actuator_new();
    Actuator_init(actuator);
    Actuator_setIntensityRange(actuator, 0.2, 0.6);
    Actuator_setStateContinuous(actuator, 0.5);
    bool active = Actuator_isActive(actuator);
    double output = Actuator_getIntensity(actuator);
    Actuator_clear(actuator);
    Actuator_delete(actuator);

    Somavib* front = Somavib_new();
    Somavib_init(front, SOMAVIB_TYPE_NONE, "", 4);
    Somavib_startActuation(front, 0, 0.5);
    int initialized = front->initialized;
    Somavib_clear(front);
    Somavib_delete(front);

    return active && output > 0.39 && output < 0.41 && initialized == 1 &&
           Somavib_Type_Names[SOMAVIB_TYPE_EMS][13] == 'E';
}
