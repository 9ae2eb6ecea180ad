/*
 * libVibrolink.so: the client interface of the tactor kit.
 *
 * Plain C functions, no classes and no handles. A client initialises the library, discovers and
 * connects controllers, addresses each by the device ID that Connect answered, queues commands,
 * polls UpdateTI regularly and reads the last error code when a call fails.
 *
 * Results: 0, a count or an ID on success; -1 (or NULL) on failure, with the reason in the last
 * error (GetLastDrovoError). A successful call never clears the last error. The codes are listed
 * below; codes of the serial and USB transport modules pass through unchanged, and the Hapset
 * functions pass on the Hapset manager's codes.
 *
 * Threads: any client thread may call any function. Every callback runs on the worker thread of
 * the device it concerns, never on the caller's thread, and should return promptly. A callback
 * may call any function of this library, Close of its own device included.
 *
 * Commands are queued, not sent: each connected device has a worker thread that sends the queued
 * commands in batches, one packet at a time, whenever the controller has answered the previous
 * packet. Replies (firmware version, segment list, battery level, self test) arrive later
 * through the ResponseCallback given to Connect.
 *
 * This header compiles as C (C99 or later) and as C++ on its own.
 */
#ifndef VIBROLINK_H
#define VIBROLINK_H

#include <stdint.h>

#ifndef VIBROLINK_API
#define VIBROLINK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ----------------------------------------------------------------------------------------------
 * Error codes (values of GetLastDrovoError; the numbers never change):
 *   -1      a group B command refused its arguments
 *   202000  the library is not initialised (InitializeTI has not been called)
 *   202001  connecting failed: the port did not open, or the device was lost during connect
 *   202002  bad parameter: port name, platform type, device ID, index or value
 *   202003  internal failure of a device worker
 *   202004  transport: fewer bytes read than asked
 *   202005  the device worker did not start; USB: write without an open device
 *   202006  USB: a read failed to complete
 *   202007  transport: the read is still in progress
 *   202008  transport: nothing to read
 *   202010  a reply was longer than its header announced
 *   202011  reading failed, or error handling gave up on the controller
 *   202012  a packet could not be sent; WriteToBoard to an unknown device ID
 *   203000  a group A command refused its arguments
 *   204010  the device's command list is full (or the controller takes no command lists)
 *   204011  no free device ID: 65 devices are connected
 *   302000  USB: the write failed
 *   402001  Close of an unknown device ID; a Hapset play with no device connected
 *   402002  a Hapset play to segment -1; the Hapset cannot be mapped onto the controller
 *   402000-402018, 502000  Hapset manager codes, passed on by the Hapset functions:
 *           402000 not initialised, 402004 no controller with the ID (or bad name index),
 *           402006 no Hapset to play, 402007 no loaded Hapset with the identifier,
 *           402008 no open database, 402009 64 controllers already registered,
 *           402010 more than 1000 actions, 402013 no loaded Hapset at that index or name,
 *           402014 closing the database failed, 402015 loading added no Hapset,
 *           402016 the database file did not open, 402017 a segment reply had no segments,
 *           402018 copying the Hapset for a play failed, 502000 a database operation failed
 *   602000  BeginStoreHapset while the device is already recording
 * ------------------------------------------------------------------------------------------- */

/* Platform types; Discover takes a mask of them. 4, 8 and 16 are reserved. */
#define VIBROLINK_PLATFORM_SERIAL 1 /* serial ports, Bluetooth serial ports included */
#define VIBROLINK_PLATFORM_USB 2

/* Length of a Hapset identifier (GetHapset writes exactly this many bytes, no terminator). */
#define VIBROLINK_HAPSET_ID_LENGTH 36

/* ----------------------------------------------------------------------------------------------
 * Callbacks. All run on the device's worker thread.
 * ------------------------------------------------------------------------------------------- */

/* Every complete packet the controller sends, before the kit processes it: packet points at
 * length bytes, valid only during the call. Called once with (deviceId, NULL, -1) when the
 * device stops on its own (the controller failed or stopped answering); not called for Close. */
typedef void (*ResponseCallback)(int32_t deviceId, const uint8_t* packet, int32_t length);

/* Every packet successfully written to the controller; bytes valid only during the call. */
typedef void (*OutgoingDataCallback)(int32_t deviceId, const uint8_t* bytes, int32_t length);

/* Each queued pulse, just before the batch that carries it is sent. */
typedef void (*TactorStateCallback)(int32_t deviceId, int32_t durationMs, int32_t tactor,
                                    int32_t delayMs);

/* ----------------------------------------------------------------------------------------------
 * Library life cycle and errors
 * ------------------------------------------------------------------------------------------- */

/* Initialises the platforms and the Hapset manager and marks the library ready. May be called
 * again. Returns 0 and sets the last error to 0, or -1 (platform or Hapset manager failure). */
VIBROLINK_API int32_t InitializeTI(void);

/* Cancels any discovery in progress, closes every device (waiting for their worker threads) and
 * shuts the Hapset manager down, unloading its Hapsets. The library stays initialised, so
 * devices may be connected again. Returns 0, or -1 (never initialised: 202000; Hapset manager
 * failure: its code). */
VIBROLINK_API int32_t ShutdownTI(void);

/* The library version, "1.0.6.0". Static text, never NULL. */
VIBROLINK_API const char* GetVersionNumber(void);

/* The last error code. Reading it does not clear it. */
VIBROLINK_API int32_t GetLastDrovoError(void);

/* Sets the last error and returns code. SetLastDrovoError(0) also clears the device manager's
 * own error, so that UpdateTI resumes removing stopped devices. */
VIBROLINK_API int32_t SetLastDrovoError(int32_t code);

/* Milliseconds per delay unit for every command made from now on (default 10). Returns 0, or -1
 * with 202002 when value is above 255. Hapset playback uses each Hapset's own factor. */
VIBROLINK_API int32_t SetTimeFactor(uint32_t value);

/* ----------------------------------------------------------------------------------------------
 * Discovery and connection
 * ------------------------------------------------------------------------------------------- */

/* Looks for controller ports on the platforms in typeMask (1 serial, 2 USB), serial first.
 * Ports of devices already connected are listed too. Returns the number of entries, readable
 * with GetDiscoveredDeviceName/Type, or -1 (202000). Blocks while ports are probed. */
VIBROLINK_API int32_t Discover(int32_t typeMask);

/* As Discover, but stops after limit ports in all (limit 0 or less: no limit). */
VIBROLINK_API int32_t DiscoverLimited(int32_t typeMask, int32_t limit);

/* Port name of discovery entry index (at most 255 characters), valid until the next discovery;
 * NULL with 202002 for a bad index, or with 202000 before InitializeTI. */
VIBROLINK_API const char* GetDiscoveredDeviceName(int32_t index);

/* Platform type of discovery entry index, or 0 (202002 bad index, 202000 not initialised). */
VIBROLINK_API int32_t GetDiscoveredDeviceType(int32_t index);

/* Opens portName (at most 511 characters) on platform type (1 serial, 2 USB), starts the
 * device's worker, asks the controller for its firmware version and its segment list, and
 * registers it with the Hapset manager. Blocks until the first packet has been written and the
 * port reads. callback may be NULL. Returns the new device ID (the smallest free one, 0 to 64),
 * or -1: 202000, 202001, 202002, 204011, or 402009 (Hapset registry full; the device is then
 * connected all the same and must be closed by the caller). */
VIBROLINK_API int32_t Connect(const char* portName, int32_t type, ResponseCallback callback);

/* Stops the device (waiting for its worker), closes its port and discards its queued commands.
 * Returns 0, or -1 with the code left in the device manager's error (402001 unknown ID, 202000
 * not initialised); the last error itself is not changed. */
VIBROLINK_API int32_t Close(int32_t deviceId);

/* Closes every device as Close does. Returns 0, or -1 (202000, in the manager's error). */
VIBROLINK_API int32_t CloseAll(void);

/* Call regularly. Reports a pending error and removes devices that stopped on their own.
 * Returns 0, or the pending error code: while the last error is not 0, UpdateTI only returns it
 * (and logs it); clear it with SetLastDrovoError(0) to resume. */
VIBROLINK_API int32_t UpdateTI(void);

/* ----------------------------------------------------------------------------------------------
 * Commands. delay is in units of the time factor (0 to 255). Tactors are numbered from 1;
 * tactor 0 addresses all of them where the command allows it.
 *
 * Group A: returns 0 when the command was made, or -1: unknown device ID (202002) or not
 * initialised (202000), or arguments out of range (203000). A command that the device cannot
 * queue (list full, 204010) still returns 0; the next UpdateTI reports it.
 * ------------------------------------------------------------------------------------------- */

/* Vibrates tactor (0-64) for durationMs (10-2500, 10 ms steps); tactor 0 waits instead. */
VIBROLINK_API int32_t Pulse(int32_t deviceId, int32_t tactor, int32_t durationMs, int32_t delay);
/* Sets the gain (1-255) of tactor (0-64). */
VIBROLINK_API int32_t ChangeGain(int32_t deviceId, int32_t tactor, int32_t gain, int32_t delay);
/* Sets the frequency in Hz (300-3500) of tactor (0-65). */
VIBROLINK_API int32_t ChangeFreq(int32_t deviceId, int32_t tactor, int32_t frequency,
                                 int32_t delay);
/* Sets the signal source (1-7) of tactor (0-64). */
VIBROLINK_API int32_t ChangeSigSource(int32_t deviceId, int32_t tactor, int32_t source,
                                      int32_t delay);
/* Ramps the gain of tactor (0-64) from gainStart to gainEnd over durationMs (10-2500, 100 ms
 * steps); option is passed to the controller unchanged. */
VIBROLINK_API int32_t RampGain(int32_t deviceId, int32_t tactor, int32_t gainStart, int32_t gainEnd,
                               int32_t durationMs, int32_t option, int32_t delay);
/* Ramps the frequency of tactor (0-64) from freqStart to freqEnd over durationMs. */
VIBROLINK_API int32_t RampFreq(int32_t deviceId, int32_t tactor, int32_t freqStart, int32_t freqEnd,
                               int32_t durationMs, int32_t option, int32_t delay);
/* Makes the controller wait waitMs (10-2500) before its next command. */
VIBROLINK_API int32_t SendActionWait(int32_t deviceId, int32_t waitMs, int32_t delay);
/* Asks the controller to test itself; the result arrives through the ResponseCallback. */
VIBROLINK_API int32_t TactorSelfTest(int32_t deviceId, int32_t delay);
/* Asks for the segment list; the reply also updates the Hapset manager's view of the device. */
VIBROLINK_API int32_t ReadSegmentList(int32_t deviceId, int32_t delay);
/* Asks for the battery level; the reply arrives through the ResponseCallback. */
VIBROLINK_API int32_t ReadBatteryLevel(int32_t deviceId, int32_t delay);

/* ----------------------------------------------------------------------------------------------
 * Group B: returns 0 when the command was queued, or -1: unknown device ID (202002) or not
 * initialised (202000); arguments out of range (last error -1); the device refused it (last
 * error: the device manager's error, which may be 0; the device's own code, such as 204010,
 * reaches the client through the next UpdateTI).
 * ------------------------------------------------------------------------------------------- */

/* Asks for the firmware version. */
VIBROLINK_API int32_t ReadFW(int32_t deviceId);
/* Stops everything the controller is doing. */
VIBROLINK_API int32_t Stop(int32_t deviceId);
/* Sets all tactor states at once from the 8 bytes at states (NULL: -1 with 202002). */
VIBROLINK_API int32_t SetTactors(int32_t deviceId, int32_t delay, const uint8_t* states);
/* Sets the type (0x11, 0x12, 0x21 or 0x22) of tactor (0-64). */
VIBROLINK_API int32_t SetTactorType(int32_t deviceId, int32_t delay, int32_t tactor, int32_t type);
/* Starts recording the following commands into controller slot (0-9). Fails with 602000 when
 * a recording was begun and not finished on this device. */
VIBROLINK_API int32_t BeginStoreHapset(int32_t deviceId, int32_t slot);
/* Finishes the recording (also accepted without a begin). */
VIBROLINK_API int32_t FinishStoreHapset(int32_t deviceId);
/* Plays the recording in controller slot (0-9). */
VIBROLINK_API int32_t PlayStoredHapset(int32_t deviceId, int32_t delay, int32_t slot);
/* Switches the controller's frequency-time-delay mode on (state 1) or off (anything else). */
VIBROLINK_API int32_t SetFreqTimeDelay(int32_t deviceId, uint8_t state);

/* ----------------------------------------------------------------------------------------------
 * Settings and raw access
 * ------------------------------------------------------------------------------------------- */

/* 1: a device whose controller keeps refusing or stops answering is closed; 0 (the default,
 * testing mode): it keeps running. Applies to current and future devices. */
VIBROLINK_API void SetKillOnNaks(uint8_t flag);

/* Stores callback in every device connected now (devices connected later do not get it);
 * NULL changes nothing. */
VIBROLINK_API void SetTactorStateCallback(TactorStateCallback callback);
VIBROLINK_API void SetOutgoingDataCallback(OutgoingDataCallback callback);

/* Writes length bytes to the controller unchanged, without framing; the device then waits for a
 * reply before its next packet. Returns the transport's write result (0 or more), or -1:
 * 202012 unknown device ID, 202002 NULL bytes or length below 1, 202000 not initialised. */
VIBROLINK_API int32_t WriteToBoard(int32_t deviceId, const uint8_t* bytes, int32_t length);

/* Adds a device that has no controller behind it, so that Hapsets can be planned for a layout:
 * registers it with the Hapset manager with the segments in segmentText (bytes read in pairs,
 * first and last tactor of each segment; NULL: no segments). The first and third arguments
 * are ignored. The next UpdateTI removes the device again. Returns the new ID, or -1 when all
 * 65 IDs are in use. */
VIBROLINK_API int32_t AddFalseConnectedDevice(int32_t unused1, const char* segmentText,
                                              int32_t unused2);

/* ----------------------------------------------------------------------------------------------
 * Hapsets. A Hapset travels through these functions in flat arrays owned by the caller:
 *   header        3 int32:  [0] time factor, [1] number of actions, [2] number of segments
 *   segments      2 int32 per segment: first and last tactor
 *   actionHeaders 4 int32 per action: [0] start time, [1] number of data values,
 *                 [2] number of tactor locations, [3] action type
 *   data          double: the data values of all actions, in action order
 *   locations     int32:  the tactor locations (1-based, 0 = none) of all actions, in order
 * Functions that fill arrays take no sizes: the arrays must be large enough for the Hapset.
 * On failure every function returns -1 (NULL for GetHapsetName) and the Hapset manager's code
 * becomes the last error.
 * ------------------------------------------------------------------------------------------- */

/* Opens the database file (which must exist) and loads its Hapsets. Returns how many were
 * added (402016 no such database, 402015 nothing new). */
VIBROLINK_API int32_t LoadHapsetDatabase(const char* fileName);
/* 1 when a database is open; -1 otherwise (the last error is then whatever the Hapset manager
 * holds). */
VIBROLINK_API int32_t IsDatabaseLoaded(void);
/* Number of loaded Hapsets. */
VIBROLINK_API int32_t GetLoadedHapsetSize(void);
/* Duration in milliseconds of the loaded Hapset at index. */
VIBROLINK_API int32_t GetHapsetDuration(int32_t index);
/* Unloads every Hapset and closes the database. */
VIBROLINK_API int32_t UnloadHapsets(void);
/* Unloads the loaded Hapset with this identifier (-1 when none). */
VIBROLINK_API int32_t UnloadHapset(const char* identifier);
/* Copies the first loaded Hapset called name into the arrays and its 36-character identifier
 * into identifier (no terminator). header NULL: -1 with 202002. */
VIBROLINK_API int32_t GetHapset(const char* name, char* identifier, int32_t* header,
                                int32_t* segments, int32_t* actionHeaders, double* data,
                                int32_t* locations);
/* As GetHapset, with the Hapset's tactors remapped onto the segments of device deviceId so that
 * it starts at tactor. Prints "name given to remap = <name>". */
VIBROLINK_API int32_t RemapHapset(int32_t deviceId, const char* name, char* identifier,
                                  int32_t* header, int32_t* segments, int32_t* actionHeaders,
                                  double* data, int32_t* locations, int32_t tactor);
/* Compares the Hapset in the arrays (with name and 36-character identifier) with the copy
 * stored in database fileName: 1 equal, 0 different or stored only under that name, -1 not
 * stored. */
VIBROLINK_API int32_t IsInDatabase(const char* fileName, const char* name, const char* identifier,
                                   int32_t* header, int32_t* segments, int32_t* actionHeaders,
                                   double* data, int32_t* locations);
/* Deletes the stored Hapset with this identifier from the open database. Returns 0. */
VIBROLINK_API int32_t DeleteHapsetFromDatabase(int32_t unused, const char* identifier);
/* Name of the loaded Hapset at index, valid while it stays loaded; NULL with 402004. */
VIBROLINK_API const char* GetHapsetName(int32_t index);
/* Stores the loaded Hapset with this identifier in the database under name. Prints "saving
 * hapset with name <name>". */
VIBROLINK_API int32_t SaveHapset(int32_t unused, const char* name, const char* identifier);
/* Builds a Hapset called name from the arrays, stores it and adds it to the loaded Hapsets; a
 * loaded Hapset of the same name is replaced under its identifier. Prints "saving hapset with
 * name <name>". */
VIBROLINK_API int32_t SaveNonLoadedHapset(int32_t unused, const char* name, int32_t* header,
                                          int32_t* segments, int32_t* actionHeaders, double* data,
                                          int32_t* locations);
/* 0 when the loaded Hapset at index fits onto device deviceId starting at tactor, else -1. */
VIBROLINK_API int32_t CanHapsetMap(int32_t deviceId, int32_t index, int32_t tactor);
/* Places the loaded Hapset at index onto device deviceId starting at tactor, scales its gains,
 * frequencies and timing (unusedScale is ignored) and queues its commands on the device.
 * Returns 0, or -1: 402001 when no device is connected, a Hapset manager code, or (last error
 * unchanged) the device could not queue the commands. */
VIBROLINK_API int32_t PlayHapset(int32_t deviceId, int32_t index, int32_t tactor, float gainScale,
                                 float freqScale, float unusedScale, float timeScale);
/* As PlayHapset, onto one segment of the device; segment -1: -1 with 402002. */
VIBROLINK_API int32_t PlayHapsetToSegment(int32_t deviceId, int32_t index, int32_t tactor,
                                          int32_t segment, float gainScale, float freqScale,
                                          float unusedScale, float timeScale);
/* Plays the Hapset given in the arrays on device deviceId without loading it. */
VIBROLINK_API int32_t PlayNonLoadedHapset(int32_t deviceId, int32_t* header, int32_t* segments,
                                          int32_t* actionHeaders, double* data, int32_t* locations);

#ifdef __cplusplus
}
#endif

#endif
