#pragma once

#include <QtCore/QDeadlineTimer>

#include <functional>

// Main-thread dispatch. The main thread is the thread of the application
// object (QCoreApplication or a subclass); without one (before it is made,
// or while the process exits) work handed to async() or sync() from another
// thread is dropped, since no main loop is left to run it.
namespace ZPHMainThread {

// True on the thread that owns the application object.
bool isMainThread();

// Runs `work` on the main thread at a later turn of its event loop, also
// when called on the main thread. Never waits.
void async(std::function<void()> work);

// Runs `work` on the main thread and returns when it has run. On the main
// thread it runs at once. From another thread the caller waits; the main
// thread must not be waiting for the caller at the same time, except in
// waitServingSync().
void sync(const std::function<void()>& work);

// Runs `work` on the main thread in order with the work other threads hand
// to sync() and post() (and, like that work, also while the main thread
// waits in waitServingSync()), without waiting for it. On the main thread
// it runs at once.
void post(std::function<void()> work);

// On the main thread: blocks until `done` answers true, running meanwhile the
// work that other threads hand to sync() and post() and nothing else of the
// event loop (no timers, no posted events, no input). `done` is asked again
// whenever such work ran or wakeWaiter() was called, so whoever makes it
// true must call wakeWaiter() afterwards.
void waitServingSync(const std::function<bool()>& done);
void wakeWaiter();

// Serves the calling thread's event loop until `done` answers true or the
// deadline passes; answers the last value of `done`. For tests and for the
// rare caller that must wait without blocking delivery.
bool processEventsUntil(const std::function<bool()>& done, QDeadlineTimer deadline);

}  // namespace ZPHMainThread

// Debug-build guard for the thread rules.
#ifdef QT_DEBUG
#define ZPH_ASSERT_MAIN_THREAD() Q_ASSERT_X(ZPHMainThread::isMainThread(), Q_FUNC_INFO, "must run on the main thread")
#else
#define ZPH_ASSERT_MAIN_THREAD() \
  do {                           \
  } while (false)
#endif
