#include "platform/ZPHMainThread.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QThread>

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
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr)
    return;
  QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
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
