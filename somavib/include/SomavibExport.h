/* Marks what libSomavib.so exports; everything else in the library is hidden. */
#ifndef SOMAVIB_EXPORT_H
#define SOMAVIB_EXPORT_H

#define SOMAVIB_API __attribute__((visibility("default")))

#endif
