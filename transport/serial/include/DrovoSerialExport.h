/* Marks what libdrovo_serial.so exports; everything else in the library is hidden. */
#ifndef DROVO_SERIAL_EXPORT_H
#define DROVO_SERIAL_EXPORT_H

#define DROVO_SERIAL_API __attribute__((visibility("default")))

#endif
