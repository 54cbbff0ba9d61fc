#pragma once

#include "platform/ZPHOperation.h"

#include <QtCore/QMutex>
#include <QtCore/QString>

// A base for operations that finish later than their start() returns.
// Subclasses override start(), call markAsRunning() and, when their
// asynchronous work ends (on any thread), markAsComplete(); the queue slot
// stays taken until then.
class FHLConcurrentOperation : public ZPHOperation {
public:
  bool isConcurrent() const override { return true; }

  QString operationKey() const;
  void setOperationKey(const QString& key);

protected:
  void markAsRunning();
  void markAsComplete();

private:
  mutable QMutex m_keyMutex;
  QString m_operationKey;
};
