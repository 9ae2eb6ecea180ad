/* Marks what libdrovo_winusb.so exports; everything else in the library is hidden. */
#ifndef DROVO_WINUSB_EXPORT_H
#define DROVO_WINUSB_EXPORT_H

#define DROVO_WINUSB_API __attribute__((visibility("default")))

#endif
