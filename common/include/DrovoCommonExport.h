/* Marks what libdrovo_common.so exports; everything else in the library is hidden. */
#ifndef DROVO_COMMON_EXPORT_H
#define DROVO_COMMON_EXPORT_H

#define DROVO_COMMON_API __attribute__((visibility("default")))

#ifdef __cplusplus
#define DROVO_EXTERN_C extern "C"
#else
#define DROVO_EXTERN_C
#endif

#endif
