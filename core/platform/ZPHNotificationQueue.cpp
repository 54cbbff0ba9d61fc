#include "platform/ZPHNotificationQueue.h"

#include "platform/ZPHMainThread.h"

ZPHNotificationQueue::ZPHNotificationQueue(ZPHNotificationCenter& center)
    : m_center(center), m_alive(std::make_shared<bool>(true))
{
}

ZPHNotificationQueue::~ZPHNotificationQueue() { *m_alive = false; }

ZPHNotificationQueue& ZPHNotificationQueue::defaultQueue()
{
  static ZPHNotificationQueue* queue = new ZPHNotificationQueue(ZPHNotificationCenter::defaultCenter());
  return *queue;
}

void ZPHNotificationQueue::enqueueIdle(const ZPHNotification& notification)
{
  ZPH_ASSERT_MAIN_THREAD();
  for (const ZPHNotification& pending : m_pending) {
    if (pending.name == notification.name && pending.object == notification.object)
      return;
  }
  m_pending.append(notification);
  if (m_scheduled)
    return;
  m_scheduled = true;
  std::weak_ptr<bool> alive = m_alive;
  ZPHMainThread::async([this, alive] {
    if (alive.lock())
      flush();
  });
}

void ZPHNotificationQueue::flush()
{
  m_scheduled = false;
  const QList<ZPHNotification> due = std::exchange(m_pending, {});
  for (const ZPHNotification& notification : due) m_center.post(notification);
}
