#include "foundation/CBNotificationHelpers.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationQueue.h"

void cb_postNotificationOnMainThread(const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
  cb_postNotificationOnMainThread(ZPHNotificationCenter::defaultCenter(), name, object, userInfo);
}

void cb_postNotificationOnMainThread(ZPHNotificationCenter& center, const QString& name, const QVariant& object,
                                     const QVariantMap& userInfo)
{
  center.postOnMainThread(ZPHNotification{name, object, userInfo});
}

void cb_enqueueNotificationOnMainThread(const QString& name, const QVariant& object, const QVariantMap& userInfo)
{
  ZPHNotification notification{name, object, userInfo};
  if (ZPHMainThread::isMainThread()) {
    cb_enqueueIdleNotification(ZPHNotificationQueue::defaultQueue(), notification);
    return;
  }
  ZPHMainThread::async([notification = std::move(notification)] {
    cb_enqueueIdleNotification(ZPHNotificationQueue::defaultQueue(), notification);
  });
}

void cb_enqueueIdleNotification(ZPHNotificationQueue& queue, const ZPHNotification& notification)
{
  queue.enqueueIdle(notification);
}
