/*
 * The codes the Hapset manager keeps in its state's last error (402xxx) and in its database
 * record (502xxx). Clients compare against the numbers, so the values never change.
 */
#ifndef HAPSET_ERROR_CODES_H
#define HAPSET_ERROR_CODES_H

enum HapsetErrorCode {
    HAPSET_OK = 0,
    HAPSET_NOT_INITIALISED = 402000,  /* the manager state is not initialised */
    HAPSET_NO_DEVICE = 402001,        /* a play found no connected device (device library) */
    HAPSET_CANNOT_MAP = 402002,       /* the Hapset does not fit the controller's segments */
    HAPSET_NO_CONTROLLER = 402004,    /* no controller with the ID; name index out of range */
    HAPSET_NOTHING_TO_BUILD = 402006, /* no Hapset given to turn into Actions */
    HAPSET_NOT_LOADED = 402007,       /* no loaded Hapset has the identifier */
    HAPSET_NO_DATABASE = 402008,      /* no open database */
    HAPSET_REGISTRY_FULL = 402009,    /* 64 controllers are registered already */
    HAPSET_TOO_MANY_ACTIONS = 402010, /* the Hapset has more than 1000 actions */
    HAPSET_NOT_FOUND = 402013,        /* index outside the loaded list, or name not loaded */
    HAPSET_CLOSE_FAILED = 402014,     /* closing the database failed */
    HAPSET_NOTHING_LOADED = 402015,   /* loading the database added no Hapset */
    HAPSET_OPEN_FAILED = 402016,      /* opening the database file failed */
    HAPSET_NO_SEGMENTS = 402017,      /* a segment-list reply carried no segments */
    HAPSET_COPY_FAILED = 402018,      /* the working copy for a play could not be made */
    HAPSET_DB_FAILED = 502000,        /* a database operation failed */
    HAPSET_DB_DONE = 502001           /* the last statement completed without error */
};

#endif
