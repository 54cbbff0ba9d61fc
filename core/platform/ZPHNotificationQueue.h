#pragma once

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QList>

// Posts notifications on the main thread when its event loop has finished
// the work already queued ("when idle"), merging notifications that carry the
// same name and the same object into one (the first payload is kept).
// Used on the main thread only.
class ZPHNotificationQueue {
public:
  explicit ZPHNotificationQueue(ZPHNotificationCenter& center);
  ~ZPHNotificationQueue();
  ZPHNotificationQueue(const ZPHNotificationQueue&) = delete;
  ZPHNotificationQueue& operator=(const ZPHNotificationQueue&) = delete;

  // The queue in front of the default center.
  static ZPHNotificationQueue& defaultQueue();

  void enqueueIdle(const ZPHNotification& notification);

  // Notifications waiting to be posted.
  int pendingCount() const { return static_cast<int>(m_pending.size()); }

private:
  void flush();

  ZPHNotificationCenter& m_center;
  QList<ZPHNotification> m_pending;
  bool m_scheduled = false;
  std::shared_ptr<bool> m_alive;
};
