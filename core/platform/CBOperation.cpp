#include "platform/CBOperation.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QList>
#include <QtCore/QMutexLocker>
#include <QtCore/QTimer>

#include <utility>

const QString CBOperationDidCompleteNotification = QStringLiteral("CBOperationDidCompleteNotification");

namespace {

// Completion notifications that wait a moment to reach the main thread
// together: thousands of short operations ending one after another (a
// refresh's conditional requests) wake the main thread a few times instead
// of once each. They are posted in the order the operations ended.
class CompletionBatch {
public:
  static void add(std::shared_ptr<CBOperation> operation)
  {
    {
      QMutexLocker locker(&mutex());
      pending().append(std::move(operation));
      if (pending().size() > 1)
        return;  // the batch is on its way
    }
    ZPHMainThread::async([] {
      QTimer::singleShot(CBOperation::CompletionBatchWindowMs, Qt::PreciseTimer, QCoreApplication::instance(),
                         &CompletionBatch::post);
    });
  }

private:
  static QMutex& mutex()
  {
    static QMutex m;
    return m;
  }
  static QList<std::shared_ptr<CBOperation>>& pending()
  {
    static QList<std::shared_ptr<CBOperation>> list;
    return list;
  }

  static void post()
  {
    QList<std::shared_ptr<CBOperation>> batch;
    {
      QMutexLocker locker(&mutex());
      batch = std::exchange(pending(), {});
    }
    for (const std::shared_ptr<CBOperation>& operation : batch)
      ZPHNotificationCenter::defaultCenter().post(CBOperationDidCompleteNotification, QVariant::fromValue(operation));
  }
};

}  // namespace

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
  if (!isCancelled() && delegate() == nullptr && completionMayJoinOthers() && QCoreApplication::instance() != nullptr) {
    CompletionBatch::add(std::move(self));
    return;
  }
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
