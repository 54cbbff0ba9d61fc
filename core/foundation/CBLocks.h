#pragma once

// Mutex functions over POSIX thread mutexes embedded in their owner. Each
// answers the POSIX result: 0 for success, else the error number (EINVAL
// for a null mutex).

#include <QtCore/QString>

#include <pthread.h>

int CBLockCreate(pthread_mutex_t* lock);
// A recursive mutex; the attribute object is destroyed after use.
int CBLockCreateRecursive(pthread_mutex_t* lock);
int CBLockLock(pthread_mutex_t* lock);
int CBLockUnlock(pthread_mutex_t* lock);
int CBLockDestroy(pthread_mutex_t* lock);

// Logs the message and ends the process with exit status -1 (255 as the
// parent sees it).
[[noreturn]] void logAndExit(const QString& message);

// The same operations (initLockOrExit makes a mutex with default
// attributes), ending the process through logAndExit with `message` when
// the operation fails.
void initLockOrExit(pthread_mutex_t* lock, const QString& message);
void lockOrExit(pthread_mutex_t* lock, const QString& message);
void unlockOrExit(pthread_mutex_t* lock, const QString& message);
void destroyLockOrExit(pthread_mutex_t* lock, const QString& message);
