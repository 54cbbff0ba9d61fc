#pragma once

#include "platform/ZPHOperation.h"

#include <QtCore/QMetaType>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <atomic>
#include <functional>
#include <memory>

// Object: the operation (std::shared_ptr<CBOperation>). Posted on the main
// thread once per operation, when it completes or is cancelled, whichever
// comes first; an operation that allows it (completionMayJoinOthers) has its
// notice posted a few milliseconds later, together with others.
extern const QString CBOperationDidCompleteNotification;  // "CBOperationDidCompleteNotification"

// A non-concurrent operation that reports its end to a delegate on the main
// thread and by CBOperationDidCompleteNotification. Subclasses do their work
// in main() and end with notifyObserversThatOperationIsComplete() (or call
// the base main() last). CBOperations always live in a std::shared_ptr.
//
// The delegate is not owned: the callback runs on the main thread only while
// the delegate still exists and the operation is not cancelled, and at most
// once.
//
// Use it rather than a bare ZPHOperation whenever something waits for the end
// on the main thread: CBOperationController tracks only these.
class CBOperation : public ZPHOperation {
public:
  using Callback = std::function<void(const std::shared_ptr<CBOperation>&)>;

  CBOperation(QObject* delegate = nullptr, Callback callbackSelector = {});
  ~CBOperation() override;

  void notifyObserversThatOperationIsComplete();
  void callDelegate();
  void postOperationDidCompleteNotification();

  // Posts the completion notification first, then cancels.
  void cancel() override;

  QObject* delegate() const;
  void setDelegate(QObject* delegate);
  Callback callbackSelector() const;
  void setCallbackSelector(Callback callback);

  qint64 operationType() const { return m_operationType.load(); }
  void setOperationType(qint64 type) { m_operationType.store(type); }
  QVariant operationObject() const;
  void setOperationObject(const QVariant& object);

  // True for download operations, which the controllers count separately.
  virtual bool isDownloadOperation() const { return false; }

  // How long an uncancelled operation's completion notification may wait to
  // go to the main thread with those of others that end meanwhile.
  static constexpr int CompletionBatchWindowMs = 5;

protected:
  // True when the completion notification may wait and join others (see
  // CompletionBatchWindowMs): only for an operation that handed nothing else
  // to the main thread that it must come after, and has no delegate.
  virtual bool completionMayJoinOthers() const { return false; }

  void main() override;

private:
  mutable QMutex m_mutex;
  QPointer<QObject> m_delegate;
  Callback m_callback;
  QVariant m_operationObject;
  std::atomic<qint64> m_operationType{0};
  std::atomic<bool> m_delegateCalled{false};
  std::atomic<bool> m_completionPosted{false};
};

Q_DECLARE_METATYPE(std::shared_ptr<CBOperation>)
