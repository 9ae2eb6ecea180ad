/*
 * The exports of libHapsetManager.so: loaded Hapsets and their database, the controller
 * registry and the placement and playback of Hapsets as command Actions.
 *
 * The library keeps no manager state of its own. The caller owns one HapsetManagerState and
 * passes it first to every TM_ export. Failures answer -1 (or NULL) and keep a code from
 * HapsetErrorCodes.h in the state, read with TM_GetLastTMError; success never clears it.
 *
 * Threads: every export may be called from any thread. TM_ParsePacket runs on device threads
 * while clients call the others; the library serialises all exports on its own locks, so no
 * caller ever sees a half-replaced segment list or a controller removed in the middle of a
 * play. No export calls back into the caller.
 *
 * Memory: everything the library hands over (Actions and their payload buffers, the output
 * array, the combined text) is allocated with malloc and released with free, the heap every
 * library of the kit shares.
 *
 * Flat-array form of a Hapset, owned and sized by the caller:
 *   header         3 ints: time factor, number of actions, number of segments
 *   segments       2 ints per segment: first and last tactor
 *   actionHeaders  4 ints per action: start time, number of data values, number of
 *                  locations, action type
 *   data           the data values (double) of all actions, in action order
 *   locations      the tactor locations (int) of all actions, in action order
 * TM_GetHapsetArraySizes tells how large the arrays of a loaded Hapset must be; arrays and
 * buffers a function writes must not be NULL.
 *
 * Identifiers are read up to their 36th character, so the unterminated identifier buffer that
 * TM_GetHapset fills can be passed back as it is. Names and file names are terminated texts.
 */
#ifndef HAPSET_MANAGER_H
#define HAPSET_MANAGER_H

#include <stdint.h>

#include "Action.h"
#include "HapsetErrorCodes.h"
#include "HapsetManagerExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A tactor or segment of this value turns both the mapping check and remapping off. */
#define NO_REMAP 223

/* Most actions one played Hapset may hold. */
#define HAPSET_MAX_ACTIONS 1000

/* Most controllers the registry holds. */
#define HAPSET_MAX_CONTROLLERS 64

/* Characters of a Hapset identifier (8-4-4-4-12 hexadecimal form), without terminator. */
#define HAPSET_ID_LENGTH 36

/* Lists owned by the state; their contents are private to the library. */
struct TMLoadedHapsets;
struct TMControllerRegistry;
struct TMHapsetDatabase;

/*
 * The manager state. A zero-filled record is a valid, not yet initialised state; the library
 * creates the lists on first need. Release everything it holds with
 * TM_ReleaseHapsetManagerState when the owner is done with it (for example at process exit).
 */
typedef struct HapsetManagerState {
    struct TMLoadedHapsets* loaded;           /* the loaded Hapsets, addressed by index */
    struct TMControllerRegistry* controllers; /* the controller registry, at most 64 */
    uint8_t initialized;                      /* set by TM_InitializeHapsetManager, never cleared */
    int32_t lastError;                        /* last error code; 0 after initialisation */
    struct TMHapsetDatabase* database;        /* the attached database, or NULL */
} HapsetManagerState;

/*
 * The Actions a play made, in action order and within an action in location order. Start from
 * a zero-filled record. The record owns actionList and every non-NULL Action in it; a caller
 * that hands Actions on to someone else sets those entries to NULL (or actionCount to 0)
 * before TM_ReleaseHapsetOutput.
 */
typedef struct HapsetOutput {
    Action** actionList;    /* malloc'ed array of actionCount malloc'ed Actions */
    int32_t actionCount;    /* Actions in actionList */
    int32_t actionCapacity; /* entries allocated in actionList */
    int32_t timeFactor;     /* the played Hapset's time factor */
} HapsetOutput;

/* The five arrays of the flat-array form travelling together. */
typedef struct HapsetArrays {
    const int32_t* header;
    const int32_t* segments;
    const int32_t* actionHeaders;
    const double* data;
    const int32_t* locations;
} HapsetArrays;

/* ---- Manager lifetime ------------------------------------------------------------------- */

/* Initialises the state once: empty lists, last error 0. A second call changes nothing.
 * Answers 0. */
HAPSET_API int32_t TM_InitializeHapsetManager(HapsetManagerState* state);

/* Discards the loaded Hapsets and controllers and detaches the database. The state stays
 * initialised and can be used again at once. Answers 0, or -1 (402000) when not initialised. */
HAPSET_API int32_t TM_ShutdownHapsetManager(HapsetManagerState* state);

/* Frees everything the state holds (lists, database connection) and zero-fills it, so it is a
 * fresh, uninitialised state again. For the state's owner at the end of its life. */
HAPSET_API void TM_ReleaseHapsetManagerState(HapsetManagerState* state);

/* Answers the last error code without clearing it. */
HAPSET_API int32_t TM_GetLastTMError(HapsetManagerState* state);

/* ---- Database and loaded Hapsets -------------------------------------------------------- */

/* Creates the database file fileName, when missing, with the empty "Hapset" table (uuid,
 * name, segment count, document). An existing file keeps its rows. The other exports never
 * create a file or a table. Answers 0, or -1 when the file cannot be created or opened, the
 * table cannot be made, or fileName is NULL, empty or 260 characters or longer. Needs no
 * state and sets no code. */
HAPSET_API int32_t TM_CreateHapsetDatabase(const char* fileName);

/* Stores one Hapset JSON document (as the files under hapset/samples hold) as a new row of the
 * existing database file fileName, keyed by the document's own "id" and "name". Answers 0, or
 * -1 when the document is not a readable Hapset (see the loader's rules), the file does not
 * open or the row cannot be stored. Needs no state and sets no code. */
HAPSET_API int32_t TM_AddHapsetDocumentToDatabase(const char* fileName, const char* document);

/* Attaches the database file (an existing file with the table; the file open already is kept)
 * and appends every stored Hapset not equal to one already loaded. Answers the number added,
 * or -1: 402000 not initialised, 402016 the file does not open, 402015 nothing was added. */
HAPSET_API int32_t TM_LoadHapsetDatabase(HapsetManagerState* state, const char* fileName);

/* Answers 1 when a database is open; -1 otherwise (402000 when not initialised, else no code). */
HAPSET_API int32_t TM_IsDatabaseLoaded(HapsetManagerState* state);

/* Answers the number of loaded Hapsets, or -1 (402000) when not initialised. */
HAPSET_API int32_t TM_GetLoadedHapsetSize(HapsetManagerState* state);

/* Discards every loaded Hapset and closes the database (it stays attached, without a file).
 * Answers 0, or -1 (402014) when closing failed. */
HAPSET_API int32_t TM_UnloadHapsets(HapsetManagerState* state);

/* Discards the first loaded Hapset with the identifier. Answers 0, or -1 (no code) when none. */
HAPSET_API int32_t TM_UnloadHapset(HapsetManagerState* state, const char* id);

/* Stores the last loaded Hapset with the identifier in the database, under the given name.
 * Answers 0, or -1: 402007 not loaded, 402008 no open database, 502000 the store failed. */
HAPSET_API int32_t TM_SaveHapset(HapsetManagerState* state, int32_t unused, const char* name,
                                 const char* id);

/* Builds a Hapset from the arrays under the name and appends it to the loaded list. When a
 * Hapset of that name is loaded already, the new one replaces it (in memory and in the
 * database) and keeps its identifier; otherwise it gets a fresh identifier. Then stores it.
 * Answers 0, or -1: 402008 no open database, 502000 the store failed (appended all the same). */
HAPSET_API int32_t TM_SaveNonLoadedHapset(HapsetManagerState* state, int32_t unused,
                                          const char* name, const int32_t* header,
                                          const int32_t* segments, const int32_t* actionHeaders,
                                          const double* data, const int32_t* locations);

/* Answers the array sizes TM_GetHapset needs for the first loaded Hapset with the name:
 * counts[0] actions, counts[1] segments, counts[2] data values, counts[3] locations. So header
 * takes 3 ints, segments 2 * counts[1], actionHeaders 4 * counts[0], data counts[2] doubles and
 * locations counts[3] ints. Answers 0, or -1 (402013) when no Hapset has the name. */
HAPSET_API int32_t TM_GetHapsetArraySizes(HapsetManagerState* state, const char* name,
                                          int32_t* counts);

/* Writes the first loaded Hapset with the name in flat-array form, and its 36 identifier
 * characters into idBuffer without a terminator. Prints its search on standard output.
 * Answers 0, or -1 (402013) when no Hapset has the name. */
HAPSET_API int32_t TM_GetHapset(HapsetManagerState* state, const char* name, char* idBuffer,
                                int32_t* header, int32_t* segments, int32_t* actionHeaders,
                                double* data, int32_t* locations);

/* Answers the name of the loaded Hapset at index (read unsigned), valid while it stays
 * loaded, or NULL (402004) when the index is outside the list. */
HAPSET_API const char* TM_GetHapsetName(HapsetManagerState* state, int32_t index);

/* Compares the Hapset given in arrays, name and identifier with the copy stored under that
 * identifier in fileName (the attached database is put back afterwards). Answers 1 when
 * equal, 0 when different, and when the identifier is not stored 0 if some stored Hapset has
 * the name, else -1. Sets no code. */
HAPSET_API int32_t TM_IsInDatabase(HapsetManagerState* state, const char* fileName,
                                   const char* name, const char* id, const int32_t* header,
                                   const int32_t* segments, const int32_t* actionHeaders,
                                   const double* data, const int32_t* locations);

/* Deletes the stored rows of the identifier from the attached database. Answers 0; with no
 * database attached it does nothing and still answers 0. */
HAPSET_API int32_t TM_DeleteHapsetFromDatabase(HapsetManagerState* state, int32_t unused,
                                               const char* id);

/* Answers a new text holding, for each loaded Hapset in order, a comma and its JSON document.
 * Empty when nothing is loaded. The buffer is at least 1,000,000 bytes and always large
 * enough; release it with free(). NULL only when memory runs out. */
HAPSET_API char* TM_GetHapsetOutput(HapsetManagerState* state);

/* Answers the length in milliseconds of the loaded Hapset at index, or -1: 402000 not
 * initialised, 402013 index outside the list, no code for a Hapset without actions. */
HAPSET_API int32_t TM_GetHapsetDuration(HapsetManagerState* state, int32_t index);

/* ---- Controllers ------------------------------------------------------------------------ */

/* Registers a controller with the device ID and no segments. Equal IDs may repeat; lookups
 * take the first. Answers 0, or -1: 402009 64 registered, 402000 not initialised. */
HAPSET_API int32_t TM_AddController(HapsetManagerState* state, int32_t id);

/* Appends segments read from text in byte pairs (first, last) as signed 8-bit numbers; an
 * odd last byte pairs with the terminator (0). No controller or an empty text: nothing. */
HAPSET_API void TM_AddSegmentToController(HapsetManagerState* state, int32_t id, const char* text);

/* Replaces the controller's segments by one segment of tactors 1 to 8. */
HAPSET_API void TM_DefaultSegmentList(HapsetManagerState* state, int32_t id);

/* Removes the first controller with the ID. Answers 0, or -1 (no code) when none. */
HAPSET_API int32_t TM_RemoveController(HapsetManagerState* state, int32_t id);

/* Removes every controller. Answers 0. */
HAPSET_API int32_t TM_RemoveAllControllers(HapsetManagerState* state);

/* Reads one inbound packet of the device ID (start byte, reply type, data count, data,
 * checksum). Length -1 removes the controller. A segment-list reply (data 0x45 followed by
 * the last tactor of each segment) replaces its segments; one without segment bytes empties
 * them and sets 402017. Packets shorter than 6 bytes, other replies and a reply whose data
 * count runs past its length are ignored. */
HAPSET_API void TM_ParsePacket(HapsetManagerState* state, int32_t id, const uint8_t* packet,
                               int32_t length);

/* ---- Placement and playback ------------------------------------------------------------- */

/* Answers 0 when the loaded Hapset at index can be placed with its tactor 1 on the given
 * controller tactor (always for NO_REMAP), or -1: 402004 no controller, 402013 index outside
 * the list, 402002 it does not fit. output is not used. */
HAPSET_API int32_t TM_CanHapsetMap(HapsetManagerState* state, int32_t id, HapsetOutput* output,
                                   int32_t index, int32_t tactor);

/* Places a copy of the loaded Hapset at index on the controller (segment -1: its tactor 1 on
 * the controller tactor; otherwise its reference segment on the 1-based controller segment,
 * starting at position tactor), scales it and fills output with its Actions. spareScale is not
 * used. Answers the number of Actions, or -1: 402004, 402013, 402002, 402018, 402010 (the
 * output is then unchanged). */
HAPSET_API int32_t TM_PlayHapset(HapsetManagerState* state, int32_t id, HapsetOutput* output,
                                 int32_t index, int32_t tactor, int32_t segment, float gainScale,
                                 float frequencyScale, float spareScale, float timeScale);

/* Fills output with the Actions of the Hapset given in arrays, unplaced and unscaled.
 * Answers the number of Actions, or -1 (402010). */
HAPSET_API int32_t TM_PlayNonLoadedHapset(HapsetManagerState* state, int32_t unused,
                                          HapsetOutput* output, const int32_t* header,
                                          const int32_t* segments, const int32_t* actionHeaders,
                                          const double* data, const int32_t* locations);

/* Writes the loaded Hapset of the name in flat-array form as TM_GetHapset does, then
 * overwrites locations with its locations placed on the controller at tactor. Answers 0, or
 * -1: 402004 no controller, 402013 name not loaded, 402002 it does not fit. */
HAPSET_API int32_t TM_RemapHapset(HapsetManagerState* state, int32_t id, const char* name,
                                  char* idBuffer, int32_t* header, int32_t* segments,
                                  int32_t* actionHeaders, double* data, int32_t* locations,
                                  int32_t tactor);

/* Frees every non-NULL Action in output->actionList (payload first) and the array, and
 * zero-fills the record. */
HAPSET_API void TM_ReleaseHapsetOutput(HapsetOutput* output);

#ifdef __cplusplus
}
#endif

#endif
