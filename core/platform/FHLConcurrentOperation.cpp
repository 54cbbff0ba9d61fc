#include "platform/FHLConcurrentOperation.h"

#include <QtCore/QMutexLocker>

QString FHLConcurrentOperation::operationKey() const
{
  QMutexLocker locker(&m_keyMutex);
  return m_operationKey;
}

void FHLConcurrentOperation::setOperationKey(const QString& key)
{
  QMutexLocker locker(&m_keyMutex);
  m_operationKey = key;
}

void FHLConcurrentOperation::markAsRunning() { setExecuting(true); }

void FHLConcurrentOperation::markAsComplete() { setFinished(); }
