#pragma once

#include "platform/ZPHOperation.h"

#include <QtCore/QMutex>
#include <QtCore/QString>

// A base for operations that finish later than their start() returns.
// Subclasses override start(), call markAsRunning() and, when their
// asynchronous work ends (on any thread), markAsComplete(); the queue slot
// stays taken until then.
//
// Use it rather than ZPHOperation or CBOperation when the work itself waits
// on something else (a network answer, another queue) and should not hold a
// worker thread while it waits.
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
