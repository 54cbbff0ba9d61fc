#include "platform/CBOperation.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QMutexLocker>

const QString CBOperationDidCompleteNotification = QStringLiteral("CBOperationDidCompleteNotification");

CBOperation::CBOperation(QObject* delegate, Callback callbackSelector)
    : m_delegate(delegate), m_callback(std::move(callbackSelector))
{
}

CBOperation::~CBOperation() = default;

void CBOperation::main() { notifyObserversThatOperationIsComplete(); }

void CBOperation::notifyObserversThatOperationIsComplete()
{
  callDelegate();
  postOperationDidCompleteNotification();
}

void CBOperation::callDelegate()
{
  if (isCancelled())
    return;
  Callback callback;
  {
    QMutexLocker locker(&m_mutex);
    if (m_delegate.isNull() || !m_callback)
      return;
    callback = m_callback;
  }
  std::shared_ptr<CBOperation> self = std::static_pointer_cast<CBOperation>(weak_from_this().lock());
  if (!self || m_delegateCalled.exchange(true))
    return;
  // Checked again on the main thread: a cancel or a delegate that went away
  // in the meantime wins over the queued call.
  ZPHMainThread::async([self, callback] {
    if (self->isCancelled() || self->delegate() == nullptr)
      return;
    callback(self);
  });
}

void CBOperation::postOperationDidCompleteNotification()
{
  std::shared_ptr<CBOperation> self = std::static_pointer_cast<CBOperation>(weak_from_this().lock());
  if (!self || m_completionPosted.exchange(true))
    return;
  ZPHNotificationCenter::defaultCenter().postOnMainThread(CBOperationDidCompleteNotification,
                                                          QVariant::fromValue(self));
}

void CBOperation::cancel()
{
  postOperationDidCompleteNotification();
  ZPHOperation::cancel();
}

QObject* CBOperation::delegate() const
{
  QMutexLocker locker(&m_mutex);
  return m_delegate.data();
}

void CBOperation::setDelegate(QObject* delegate)
{
  QMutexLocker locker(&m_mutex);
  m_delegate = delegate;
}

CBOperation::Callback CBOperation::callbackSelector() const
{
  QMutexLocker locker(&m_mutex);
  return m_callback;
}

void CBOperation::setCallbackSelector(Callback callback)
{
  QMutexLocker locker(&m_mutex);
  m_callback = std::move(callback);
}

QVariant CBOperation::operationObject() const
{
  QMutexLocker locker(&m_mutex);
  return m_operationObject;
}

void CBOperation::setOperationObject(const QVariant& object)
{
  QMutexLocker locker(&m_mutex);
  m_operationObject = object;
}
