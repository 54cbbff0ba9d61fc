#include "foundation/CBLocks.h"

#include "platform/ZPHLog.h"

#include <cerrno>
#include <cstdlib>

int CBLockCreate(pthread_mutex_t* lock)
{
  if (lock == nullptr)
    return EINVAL;
  return pthread_mutex_init(lock, nullptr);
}

int CBLockCreateRecursive(pthread_mutex_t* lock)
{
  if (lock == nullptr)
    return EINVAL;
  pthread_mutexattr_t attributes;
  int result = pthread_mutexattr_init(&attributes);
  if (result != 0)
    return result;
  result = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  if (result == 0)
    result = pthread_mutex_init(lock, &attributes);
  pthread_mutexattr_destroy(&attributes);
  return result;
}

int CBLockLock(pthread_mutex_t* lock) { return lock == nullptr ? EINVAL : pthread_mutex_lock(lock); }

int CBLockUnlock(pthread_mutex_t* lock) { return lock == nullptr ? EINVAL : pthread_mutex_unlock(lock); }

int CBLockDestroy(pthread_mutex_t* lock) { return lock == nullptr ? EINVAL : pthread_mutex_destroy(lock); }

void logAndExit(const QString& message)
{
  qCCritical(zphCore).noquote() << message;
  std::exit(-1);
}

void initLockOrExit(pthread_mutex_t* lock, const QString& message)
{
  if (CBLockCreate(lock) != 0)
    logAndExit(message);
}

void lockOrExit(pthread_mutex_t* lock, const QString& message)
{
  if (CBLockLock(lock) != 0)
    logAndExit(message);
}

void unlockOrExit(pthread_mutex_t* lock, const QString& message)
{
  if (CBLockUnlock(lock) != 0)
    logAndExit(message);
}

void destroyLockOrExit(pthread_mutex_t* lock, const QString& message)
{
  if (CBLockDestroy(lock) != 0)
    logAndExit(message);
}
