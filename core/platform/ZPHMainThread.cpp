#include "platform/ZPHMainThread.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QThread>
#include <QtCore/QWaitCondition>

#include <deque>
#include <limits>
#include <memory>

namespace {

// Work handed to the main thread by sync() or post(): run by the main event
// loop, or at once by a main thread that waits in waitServingSync(), in the
// order handed over. A job of post() owns its work and nobody waits for it.
struct SyncJob {
  const std::function<void()>* work = nullptr;
  bool done = false;
  std::function<void()> owned;  // post()
  quint64 number = 0;           // in the order handed over
};

struct SyncMailbox {
  QMutex mutex;
  QWaitCondition changed;  // a job came, a job ended, or a waiter was woken
  std::deque<SyncJob*> jobs;
  quint64 wakes = 0;
  quint64 lastNumber = 0;
};

SyncMailbox& mailbox()
{
  static SyncMailbox* box = new SyncMailbox;  // lives for the process
  return *box;
}

// Runs the waiting jobs up to the one numbered `last`; on the main thread.
// The event loop runs each job in the turn of the event posted with it, so
// that the jobs and the events a thread posts in between (async(), posted
// notifications) run in the order that thread handed them over.
void drainMailbox(quint64 last = std::numeric_limits<quint64>::max())
{
  SyncMailbox& box = mailbox();
  QMutexLocker locker(&box.mutex);
  while (!box.jobs.empty() && box.jobs.front()->number <= last) {
    SyncJob* job = box.jobs.front();
    box.jobs.pop_front();
    locker.unlock();
    if (job->work == nullptr) {
      job->owned();
      delete job;
      locker.relock();
      box.changed.wakeAll();
      continue;
    }
    (*job->work)();
    locker.relock();
    job->done = true;
    box.changed.wakeAll();
  }
}

// Queues a job of sync() or post() for the main thread; false (nothing
// queued) without an application object.
bool handToMainThread(SyncJob* job)
{
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr)
    return false;
  SyncMailbox& box = mailbox();
  QMutexLocker locker(&box.mutex);
  job->number = ++box.lastNumber;
  box.jobs.push_back(job);
  box.changed.wakeAll();  // a main thread in waitServingSync() runs it
  // Else the event loop does, in this event's turn; a drain that finds the
  // job gone does nothing.
  QMetaObject::invokeMethod(
      app, [last = job->number] { drainMailbox(last); }, Qt::QueuedConnection);
  return true;
}

}  // namespace

namespace ZPHMainThread {

bool isMainThread()
{
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void async(std::function<void()> work)
{
  // Without an application object (before it is made, or while the process
  // exits and workers finish) there is no main loop left to run the work.
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr)
    return;
  QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void sync(const std::function<void()>& work)
{
  if (isMainThread()) {
    work();
    return;
  }
  SyncJob job;
  job.work = &work;
  if (!handToMainThread(&job))
    return;
  SyncMailbox& box = mailbox();
  QMutexLocker locker(&box.mutex);
  while (!job.done) box.changed.wait(&box.mutex);
}

void post(std::function<void()> work)
{
  if (isMainThread()) {
    work();
    return;
  }
  auto job = std::make_unique<SyncJob>(SyncJob{nullptr, false, std::move(work)});
  if (handToMainThread(job.get()))
    (void)job.release();  // the drain deletes it
}

void waitServingSync(const std::function<bool()>& done)
{
  Q_ASSERT_X(isMainThread(), Q_FUNC_INFO, "waitServingSync is for the main thread");
  SyncMailbox& box = mailbox();
  QMutexLocker locker(&box.mutex);
  while (true) {
    while (!box.jobs.empty()) {
      locker.unlock();
      drainMailbox();
      locker.relock();
    }
    const quint64 wakes = box.wakes;
    locker.unlock();
    if (done())
      return;
    locker.relock();
    if (box.jobs.empty() && box.wakes == wakes)
      box.changed.wait(&box.mutex);
  }
}

void wakeWaiter()
{
  SyncMailbox& box = mailbox();
  QMutexLocker locker(&box.mutex);
  ++box.wakes;
  box.changed.wakeAll();
}

bool processEventsUntil(const std::function<bool()>& done, QDeadlineTimer deadline)
{
  while (!done()) {
    if (deadline.hasExpired())
      return done();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!done())
      QThread::msleep(1);
  }
  return true;
}

}  // namespace ZPHMainThread
