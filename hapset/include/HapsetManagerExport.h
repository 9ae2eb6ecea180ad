/* Marks what libHapsetManager.so exports; everything else in the library is hidden. */
#ifndef HAPSET_MANAGER_EXPORT_H
#define HAPSET_MANAGER_EXPORT_H

#define HAPSET_API __attribute__((visibility("default")))

#endif
