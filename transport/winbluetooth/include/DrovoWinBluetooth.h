/*
 * The Bluetooth transport library holds no transport: Bluetooth controllers are reached as
 * serial ports through the serial module. Its one export keeps the library's interface fixed.
 */
#ifndef DROVO_WINBLUETOOTH_H
#define DROVO_WINBLUETOOTH_H

#define DROVO_WINBLUETOOTH_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Takes nothing, does nothing, returns nothing. */
DROVO_WINBLUETOOTH_API void __dummy__remove__this__(void);

#ifdef __cplusplus
}
#endif

#endif
