#include "platform/ZPHOperation.h"

#include <QtCore/QMutexLocker>

ZPHOperation::ZPHOperation() = default;
ZPHOperation::~ZPHOperation() = default;

void ZPHOperation::cancel() { m_cancelled.store(true); }

bool ZPHOperation::isExecuting() const
{
  QMutexLocker locker(&m_stateMutex);
  return m_executing;
}

bool ZPHOperation::isFinished() const
{
  QMutexLocker locker(&m_stateMutex);
  return m_finished;
}

void ZPHOperation::setCompletionBlock(std::function<void()> block)
{
  QMutexLocker locker(&m_stateMutex);
  m_completionBlock = std::move(block);
}

void ZPHOperation::waitUntilFinished() const
{
  QMutexLocker locker(&m_stateMutex);
  while (!m_settled) m_finishedCondition.wait(&m_stateMutex);
}

void ZPHOperation::start()
{
  if (isFinished())  // finished (e.g. by a cancel) before its queue started it
    return;
  if (isCancelled()) {
    setFinished();
    return;
  }
  setExecuting(true);
  main();
  setFinished();
}

void ZPHOperation::setExecuting(bool executing)
{
  QMutexLocker locker(&m_stateMutex);
  m_executing = executing;
}

void ZPHOperation::setFinished()
{
  std::function<void()> completion;
  std::function<void()> handler;
  {
    QMutexLocker locker(&m_stateMutex);
    if (m_finished)
      return;
    m_executing = false;
    m_finished = true;
    completion = std::move(m_completionBlock);
    handler = std::move(m_finishedHandler);
  }
  // The completion block runs before waiters wake, so a caller of
  // waitUntilFinished() sees its effects.
  if (completion)
    completion();
  {
    QMutexLocker locker(&m_stateMutex);
    m_settled = true;
    m_finishedCondition.wakeAll();
  }
  if (handler)
    handler();
}

bool ZPHOperation::setFinishedHandler(std::function<void()> handler)
{
  QMutexLocker locker(&m_stateMutex);
  if (m_finished)
    return false;
  m_finishedHandler = std::move(handler);
  return true;
}
