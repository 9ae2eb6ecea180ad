/*
 * libSomavib.so: make body-worn actuators vibrate, whatever drives them.
 *
 * A client creates a Somavib front end, initialises it with a body-actuator type, a port name
 * and an actuator count, and then vibrates actuators by index. The front end forwards each call
 * to its hub: the Drovo hub drives a tactor controller through libVibrolink, the Arduino hub
 * drives an Arduino board on a serial port. Each hub owns one Actuator record per actuator and
 * a worker thread that samples the records and turns them into commands; clients only set the
 * records' state, the worker threads alone talk to the hardware.
 *
 * Every object has _new (allocate, never NULL unless out of memory), _init (set up), _clear
 * (shut down, keeps the memory) and _delete (free; a NULL record is ignored). Record pointers
 * passed to the other functions must not be NULL.
 *
 * Bad arguments (an intensity outside 0 to 1, an intensity range that is not
 * 0 <= minimum < maximum <= 1, a tactor outside the hub for the frequency and range calls)
 * are rejected: the call writes one line on standard error naming the violated condition,
 * for example "[ArduinoHub] ArduinoHub_vibrate(): precondition failed: intensity <= 1", and
 * changes nothing. Hardware that cannot be opened ends the process with exit status 1 after a
 * line on standard error. All diagnostics go to standard error.
 */
#ifndef SOMAVIB_H
#define SOMAVIB_H

#include <pthread.h>
#include <stdbool.h>
#include <stdint.h>

#include "SomavibExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------- */
/* Actuator: the thread-safe state of one actuator. Every function locks the record's mutex
 * for its whole body, so each call is atomic with respect to the others. */

enum ActuatorState {
    ACTUATOR_STATE_STOP = 0,      /* not vibrating */
    ACTUATOR_STATE_ONCE = 1,      /* vibrating until endTime */
    ACTUATOR_STATE_CONTINUOUS = 2 /* vibrating until stopped */
};

typedef struct Actuator {
    uint8_t valid;         /* 1 after Actuator_init, 0 after Actuator_clear */
    pthread_mutex_t mutex; /* guards every field below */
    int32_t state;         /* an ActuatorState */
    int32_t endTime;       /* millisecond clock value at which a once-vibration ends */
    double intensity;      /* requested level, 0 to 1 */
    double minIntensity;   /* output for a level just above 0; 0.0 after init */
    double maxIntensity;   /* output for level 1; 1.0 after init */
    uint16_t frequency;    /* in the hub's own unit */
} Actuator;

/* Allocates a record with valid 0 and a usable mutex. */
SOMAVIB_API Actuator* Actuator_new(void);
/* Initialises the mutex and sets state 0, endTime 0, intensity 0, range 0 to 1, valid 1.
 * Must not run while another thread uses the record. */
SOMAVIB_API void Actuator_init(Actuator* self);
/* Sets valid to 0. */
SOMAVIB_API void Actuator_clear(Actuator* self);
/* Waits until no other call holds the record, then frees it. NULL is ignored. */
SOMAVIB_API void Actuator_delete(Actuator* self);
/* Intensity above 0: vibrate at that level for duration milliseconds from now (a duration of
 * 0 or less ends at once). Otherwise stop. Replaces any running vibration. */
SOMAVIB_API void Actuator_setStateOnce(Actuator* self, double intensity, int32_t duration);
/* Intensity above 0: vibrate at that level until stopped. Otherwise stop. */
SOMAVIB_API void Actuator_setStateContinuous(Actuator* self, double intensity);
/* Stops the actuator (state 0). */
SOMAVIB_API void Actuator_setStateStop(Actuator* self);
/* Stores the frequency, unchecked. */
SOMAVIB_API void Actuator_setFrequency(Actuator* self, uint16_t frequency);
/* Stores the output range, unchecked (the hubs check it). */
SOMAVIB_API void Actuator_setIntensityRange(Actuator* self, double minIntensity,
                                            double maxIntensity);
/* True for a once-vibration whose end time has not passed, or a continuous one, when the level
 * is greater than minIntensity. False for every other state. */
SOMAVIB_API bool Actuator_isActive(Actuator* self);
/* The frequency as a floating-point number. */
SOMAVIB_API double Actuator_getFrequency(Actuator* self);
/* The output intensity: minIntensity + (maxIntensity - minIntensity) * intensity. */
SOMAVIB_API double Actuator_getIntensity(Actuator* self);
/* The state (an ActuatorState). */
SOMAVIB_API int32_t Actuator_getState(Actuator* self);

/* ---------------------------------------------------------------------------------------- */
/* Serial: a serial port at 57600 baud, 8 data bits, no parity, 1 stop bit, raw bytes, with
 * blocking writes. */

typedef struct Serial {
    uint8_t valid;        /* 1 between Serial_init and Serial_clear */
    const char* portName; /* the caller's text, not copied; must outlive the record's use */
    int handle;           /* file descriptor of the open port, -1 when closed */
    uint8_t lastWriteOk;  /* 1 when the last write call succeeded */
} Serial;

/* Allocates a record with valid 0 and no port. */
SOMAVIB_API Serial* Serial_new(void);
/* Opens an existing port for reading and writing, exclusively, and sets 57600 8N1 raw.
 * Ends the process with exit status 1 after "[Serial] Error in opening serial port %s" when
 * the port cannot be opened or is in use, and after "[Serial] Error in getting com state for
 * port %s" when it is not a serial port. */
SOMAVIB_API void Serial_init(Serial* self, const char* portName);
/* Closes the port; valid becomes 0. */
SOMAVIB_API void Serial_clear(Serial* self);
/* Frees the record (closing the port when still open). NULL is ignored. */
SOMAVIB_API void Serial_delete(Serial* self);
/* Writes count bytes with one blocking write call; lastWriteOk tells whether the call
 * succeeded. A failed or short write reports "[Serial] Could not write message to port %s";
 * nothing is retried. A record that is not valid, or a negative count, is rejected with a
 * precondition line. */
SOMAVIB_API void Serial_sendMessage(Serial* self, const uint8_t* bytes, int32_t count);

/* ---------------------------------------------------------------------------------------- */
/* ArduinoHub: actuators on an Arduino board. Every 10 ms its worker thread sends each
 * actuator's command: start (00 'A' type index+1 intensity frequency) while active, stop
 * (00 'X' type index+1) otherwise. The intensity byte is output x 255 for type codes 'M' and
 * 'P', output x 127 for 'E', and 0 for any other code. */

#define ARDUINO_HUB_TYPE_ERM 0x4D   /* 'M' */
#define ARDUINO_HUB_TYPE_EMS 0x45   /* 'E' */
#define ARDUINO_HUB_TYPE_PIEZO 0x50 /* 'P' */

typedef struct ArduinoHub {
    uint8_t running;       /* 1 while the worker thread is to run */
    uint8_t actuatorCount; /* 0 again after ArduinoHub_clear */
    pthread_t thread;      /* the worker thread */
    int32_t typeCode;      /* its low byte goes into every message */
    Serial* serial;        /* the open port, NULL before init and after clear */
    Actuator* actuators;   /* actuatorCount records, NULL before init and after clear */
} ArduinoHub;

/* Allocates a record with running 0. */
SOMAVIB_API ArduinoHub* ArduinoHub_new(void);
/* Sets up actuatorCount actuators at frequency 32, opens the port (ending the process when it
 * cannot) and starts the worker thread. */
SOMAVIB_API void ArduinoHub_init(ArduinoHub* self, const char* portName, int32_t typeCode,
                                 uint8_t actuatorCount);
/* Stops the worker thread, which first sends one last stop message for every actuator, then
 * frees the actuators and closes the port. Later calls on the hub report out-of-range tactors. */
SOMAVIB_API void ArduinoHub_clear(ArduinoHub* self);
/* Frees the record, clearing it first when its thread still runs. NULL is ignored. */
SOMAVIB_API void ArduinoHub_delete(ArduinoHub* self);
/* Vibrates one actuator at intensity (0 to 1) for duration milliseconds; 0 stops it.
 * A tactor outside the hub writes "[ArduinoHub] Tactor out of range [0, 7]: %d". */
SOMAVIB_API void ArduinoHub_vibrate(ArduinoHub* self, uint8_t tactor, double intensity,
                                    int32_t duration);
/* Vibrates one actuator at intensity (0 to 1) until stopped; 0 stops it. */
SOMAVIB_API void ArduinoHub_startVibration(ArduinoHub* self, uint8_t tactor, double intensity);
/* Stops one actuator. */
SOMAVIB_API void ArduinoHub_stopVibration(ArduinoHub* self, uint8_t tactor);
/* Sets the frequency byte (1 to 255) of the actuator's next start messages. A frequency outside
 * writes "[ArduinoHub] Frequency parameter out of range [1, 255]: %d"; a tactor outside the hub
 * writes the out-of-range line; neither changes anything. */
SOMAVIB_API void ArduinoHub_setFrequency(ArduinoHub* self, uint8_t tactor, uint16_t frequency);
/* Sets the actuator's output range; needs 0 <= minimum < maximum <= 1. */
SOMAVIB_API void ArduinoHub_setIntensityRange(ArduinoHub* self, uint8_t tactor, double minIntensity,
                                              double maxIntensity);
/* Build the start or stop message of actuator index and write it to the port. The worker
 * thread sends them every cycle; another caller would interleave its messages with the
 * thread's. */
SOMAVIB_API void ArduinoHub_sendStartMessage(ArduinoHub* self, uint8_t index);
SOMAVIB_API void ArduinoHub_sendStopMessage(ArduinoHub* self, uint8_t index);
/* The worker thread's body; arg is the hub. */
SOMAVIB_API void* ArduinoHub_thread(void* arg);

/* ---------------------------------------------------------------------------------------- */
/* DrovoHub: the tactors of one tactor controller on a serial port, driven through
 * libVibrolink. Actuator i is controller tactor i + 1; frequencies are in the library's unit
 * and go to the controller multiplied by 10. Every 20 ms the worker thread sends each active
 * actuator a gain change (output intensity x 255) and a 20 ms pulse. Results of the device
 * calls are ignored: a refused command is simply lost. */

typedef struct DrovoHub {
    uint8_t running;       /* 1 while the worker thread is to run */
    const char* portName;  /* the caller's text, not copied; NULL before init */
    pthread_t thread;      /* the worker thread */
    Actuator* actuators;   /* actuatorCount records, NULL before init and after clear */
    uint8_t actuatorCount; /* 0 again after DrovoHub_clear */
    uint8_t tactorType;    /* 17 */
    uint16_t frequency;    /* 250, set for all tactors during init */
    int32_t deviceId;      /* the device ID of the connected controller */
} DrovoHub;

/* Allocates a record with running 0. */
SOMAVIB_API DrovoHub* DrovoHub_new(void);
/* Initialises libVibrolink, connects the controller on portName (ending the process with
 * status 1 after "[DrovoHub] %s device could not be found: Error %d" when it cannot), sets
 * every tactor's type and frequency and starts the worker thread. */
SOMAVIB_API void DrovoHub_init(DrovoHub* self, const char* portName, uint8_t actuatorCount);
/* Stops every actuator and the worker thread, frees the actuators, closes the controller and
 * shuts libVibrolink down for the whole process. */
SOMAVIB_API void DrovoHub_clear(DrovoHub* self);
/* Frees the record, clearing it first when its thread still runs. NULL is ignored. */
SOMAVIB_API void DrovoHub_delete(DrovoHub* self);
/* As the Arduino hub's; the out-of-range line is "[DrovoHub] Tactor out of range [0, %d]: %d"
 * with the actuator count and the tactor. */
SOMAVIB_API void DrovoHub_vibrate(DrovoHub* self, uint8_t tactor, double intensity,
                                  int32_t duration);
SOMAVIB_API void DrovoHub_startVibration(DrovoHub* self, uint8_t tactor, double intensity);
SOMAVIB_API void DrovoHub_stopVibration(DrovoHub* self, uint8_t tactor);
/* Stores the frequency (30 to 355) and sends it to the controller at once. A frequency outside
 * writes "[DrovoHub] Frequency parameter out of range [30, 355]: %d" and changes nothing. */
SOMAVIB_API void DrovoHub_setFrequency(DrovoHub* self, uint8_t tactor, uint16_t frequency);
/* Sets the actuator's output range; needs 0 <= minimum < maximum <= 1. */
SOMAVIB_API void DrovoHub_setIntensityRange(DrovoHub* self, uint8_t tactor, double minIntensity,
                                            double maxIntensity);
/* Sends the actuator's gain and a 20 ms pulse now. */
SOMAVIB_API void DrovoHub_sendVibrationCommand(DrovoHub* self, uint8_t index);
/* Takes a device call's result and ignores it. */
SOMAVIB_API void DrovoHub_check(int32_t result);
/* The worker thread's body; arg is the hub. */
SOMAVIB_API void* DrovoHub_thread(void* arg);

/* ---------------------------------------------------------------------------------------- */
/* Somavib: the front end. */

enum SomavibType {
    SOMAVIB_TYPE_NONE = 0,
    SOMAVIB_TYPE_DROVO = 1, /* Drovo hub */
    SOMAVIB_TYPE_PIEZO = 2, /* Arduino hub, type code 'P' */
    SOMAVIB_TYPE_ERM = 3,   /* Arduino hub, type code 'M' */
    SOMAVIB_TYPE_EMS = 4    /* Arduino hub, type code 'E' */
};

/* The names of the five types, indexed by type number. */
SOMAVIB_API extern const char* const Somavib_Type_Names[5];

typedef struct Somavib {
    uint8_t initialized;    /* 1 after Somavib_init, 0 after Somavib_clear */
    uint8_t actuatorCount;  /* as given to Somavib_init */
    int32_t type;           /* a SomavibType; other values give no hub */
    ArduinoHub* arduinoHub; /* for types 2 to 4 */
    DrovoHub* drovoHub;     /* for type 1 */
} Somavib;

/* Allocates a record with initialized 0 and no hub. */
SOMAVIB_API Somavib* Somavib_new(void);
/* Creates and starts the hub for the type (none for types outside 1 to 4) and writes
 * "Somavib_init(): actuator type = %d". A record that is already initialised is refused with a
 * line on standard error. Must not run concurrently with other calls on the record. */
SOMAVIB_API void Somavib_init(Somavib* self, int32_t type, const char* portName,
                              uint8_t actuatorCount);
/* Stops and frees the hub. Must not run concurrently with other calls on the record. */
SOMAVIB_API void Somavib_clear(Somavib* self);
/* Frees the record, clearing it first when it is still initialised. NULL is ignored. */
SOMAVIB_API void Somavib_delete(Somavib* self);
/* Forwarded to the hub; a front end without a hub does nothing. */
SOMAVIB_API void Somavib_actuate(Somavib* self, uint8_t tactor, double intensity, int32_t duration);
SOMAVIB_API void Somavib_startActuation(Somavib* self, uint8_t tactor, double intensity);
SOMAVIB_API void Somavib_stopActuation(Somavib* self, uint8_t tactor);
/* Types 1 and 2 only: ERM and EMS actuators have no settable frequency. */
SOMAVIB_API void Somavib_setFrequency(Somavib* self, uint8_t tactor, uint16_t frequency);
SOMAVIB_API void Somavib_setIntensityRange(Somavib* self, uint8_t tactor, double minIntensity,
                                           double maxIntensity);

#ifdef __cplusplus
}
#endif

#endif
