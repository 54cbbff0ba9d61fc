#include "subscribe/ESRunLoopOperation.h"

#include "platform/ZPHLog.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QMutexLocker>
#include <QtCore/QThread>

ESRunLoopOperation::ESRunLoopOperation() = default;

ESRunLoopOperation::~ESRunLoopOperation()
{
  if (state() == Executing)
    qCWarning(zphNetwork) << "Run loop operation dealloced while still executing";
}

ZPHError ESRunLoopOperation::error() const
{
  QMutexLocker locker(&m_errorMutex);
  return m_error;
}

ZPHError ESRunLoopOperation::cancelledError()
{
  return ZPHError(ZPHCocoaErrorDomain, ZPHUserCancelledError,
                  {{ZPHLocalizedDescriptionKey, QStringLiteral("The operation was cancelled.")}});
}

void ESRunLoopOperation::cancel()
{
  const bool wasCancelled = isCancelled();
  ZPHOperation::cancel();
  if (wasCancelled)
    return;
  performOnRunLoopThread([this] {
    if (state() == Executing)
      finishWithError(cancelledError());
  });
}

void ESRunLoopOperation::start()
{
  // Also when cancelled: main() then finishes at once and reports its end.
  setExecuting(true);
  main();
  setFinished();
}

bool ESRunLoopOperation::performOnRunLoopThread(std::function<void()> work)
{
  if (state() == Finished)
    return false;
  {
    QMutexLocker locker(&m_mailboxMutex);
    m_mailbox.push_back(std::move(work));
  }
  wakeRunLoop();
  return true;
}

bool ESRunLoopOperation::isActualRunLoopThread() const { return m_runLoopThread.load() == QThread::currentThread(); }

void ESRunLoopOperation::main()
{
  m_runLoopThread = QThread::currentThread();
  qint32 inited = Inited;
  if (!m_state.compare_exchange_strong(inited, Executing)) {
    qCWarning(zphNetwork) << "Operation started in invalid state" << inited;
    m_runLoopThread = nullptr;
    return;
  }
  if (isCancelled())
    finishWithError(cancelledError());
  else
    operationDidStart();
  while (state() != Finished) {
    runPerformedWork();
    if (state() == Finished)
      break;
    serviceRunLoop(RunLoopSliceMs);
  }
  {
    // Work that arrives too late is dropped.
    QMutexLocker locker(&m_mailboxMutex);
    m_mailbox.clear();
  }
  m_runLoopThread = nullptr;
}

bool ESRunLoopOperation::finishWithError(const ZPHError& error)
{
  Q_ASSERT_X(isActualRunLoopThread(), Q_FUNC_INFO, "Entered finishWithError from non run loop thread");
  if (state() != Executing)
    return false;
  {
    QMutexLocker locker(&m_errorMutex);
    if (m_error.isNull())
      m_error = error;
  }
  operationWillFinish();
  m_state = Finished;
  operationDidFinish();
  return true;
}

void ESRunLoopOperation::serviceRunLoop(int timeoutMs)
{
  QMutexLocker locker(&m_mailboxMutex);
  if (m_mailbox.empty() && !m_woken)
    m_mailboxCondition.wait(&m_mailboxMutex, QDeadlineTimer(timeoutMs));
  m_woken = false;
}

void ESRunLoopOperation::wakeRunLoop()
{
  QMutexLocker locker(&m_mailboxMutex);
  m_woken = true;
  m_mailboxCondition.wakeAll();
}

void ESRunLoopOperation::runPerformedWork()
{
  for (;;) {
    std::function<void()> work;
    {
      QMutexLocker locker(&m_mailboxMutex);
      if (m_mailbox.empty())
        return;
      work = std::move(m_mailbox.front());
      m_mailbox.pop_front();
    }
    if (state() == Finished)
      continue;
    work();
  }
}
