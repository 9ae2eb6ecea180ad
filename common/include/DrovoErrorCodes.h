/*
 * The error codes that the device library and its transport modules report through their
 * last-error codes. They are part of the kit's interface: clients compare against the numbers,
 * so the values never change. Hapset manager codes live with that library.
 */
#ifndef DROVO_ERROR_CODES_H
#define DROVO_ERROR_CODES_H

enum DrovoErrorCode {
    DROVO_ENCODER_REFUSED = -1, /* a group B encoder refused its arguments */
    DROVO_OK = 0,
    DROVO_NOT_INITIALISED = 202000,     /* the library is not initialised */
    DROVO_CONNECT_FAILED = 202001,      /* opening, cancelled, or lost during connect */
    DROVO_BAD_PARAMETER = 202002,       /* trace label "ERROR_BADPARAMETER" */
    DROVO_INTERNAL_ERROR = 202003,      /* trace label "ERROR_INTERNALERROR" */
    DROVO_PARTIAL_READ = 202004,        /* trace label "ERROR_PARTIALREAD" */
    DROVO_THREAD_START_FAILED = 202005, /* also: USB write without an open device */
    DROVO_READ_INCOMPLETE = 202006,     /* USB: a read failed to complete */
    DROVO_READ_PENDING = 202007,        /* the read is still in progress */
    DROVO_NO_READ = 202008,             /* trace label "ERROR_DROVONOREAD" */
    DROVO_MORE_TO_READ = 202010,        /* a reply longer than its header announced */
    DROVO_FAILED_TO_READ = 202011,      /* trace label "ERROR_FAILED_TO_READ"; gave up */
    DROVO_SEND_FAILED = 202012,         /* sending a batch failed; WriteToBoard to no device */
    DROVO_GROUP_A_REFUSED = 203000,     /* a group A encoder refused its arguments */
    DROVO_LIST_FULL = 204010,           /* action list full, no lists, or batch over limit */
    DROVO_NO_FREE_ID = 204011,          /* 65 devices connected */
    DROVO_USB_WRITE_FAILED = 302000,    /* USB: the write failed */
    DROVO_NO_SUCH_DEVICE = 402001,      /* Close of an unknown ID; hapset play with no device */
    DROVO_BAD_SEGMENT = 402002,         /* hapset play to segment -1 */
    DROVO_ALREADY_STORING = 602000      /* BeginStoreHapset while already storing */
};

#endif
