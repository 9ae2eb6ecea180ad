/*
 * The worker thread of a hub and its running flag. The flag is a plain byte in the public
 * record; it is only ever read and written here, atomically, because the client's thread
 * writes it while the worker thread reads it.
 */
#ifndef SOMAVIB_HUB_THREAD_H
#define SOMAVIB_HUB_THREAD_H

#include <pthread.h>
#include <stdint.h>

/* Sets *running to 1 and starts body(arg) in *thread. A thread that cannot be created leaves
 * the hub unusable, so the process stops with "Assertion failed: <assertion>, file <file>,
 * line <line>" on standard error. */
void Somavib_startHubThread(uint8_t* running, pthread_t* thread, void* (*body)(void*), void* arg,
                            const char* assertion, const char* file, int line);

/* Sets *running to 0 and, when it was 1, waits for the thread to end. */
void Somavib_stopHubThread(uint8_t* running, pthread_t thread);

/* Reads the flag. */
bool Somavib_hubRunning(const uint8_t* running);

/* Sleeps the worker thread for one cycle; a signal does not shorten it. */
void Somavib_sleepMilliseconds(int milliseconds);

#endif
