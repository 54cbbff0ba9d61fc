#include "platform/ZPHOperationQueue.h"

#include "platform/ZPHOperation.h"

#include <QtCore/QMutexLocker>
#include <QtCore/QThreadPool>

#include <utility>

namespace {
// Width of a queue without a fixed limit.
constexpr int UnboundedWidth = 64;
thread_local ZPHOperationQueue* t_currentQueue = nullptr;

// The list of waiting operations a priority belongs to: 0 for the highest.
std::size_t waitingListIndex(ZPHOperationQueuePriority priority)
{
  switch (priority) {
    case ZPHOperationQueuePriority::VeryHigh:
      return 0;
    case ZPHOperationQueuePriority::High:
      return 1;
    case ZPHOperationQueuePriority::Normal:
      return 2;
    case ZPHOperationQueuePriority::Low:
      return 3;
    case ZPHOperationQueuePriority::VeryLow:
      return 4;
  }
  return 2;
}

// What a worker thread of a queue runs now, and the operation it takes on
// next: when the operation it runs finishes and lets another one of its queue
// start, that one runs on this thread right after it, instead of waking
// another thread (and leaving this one to sleep).
struct HandOver {
  const ZPHOperationQueue* queue = nullptr;
  const ZPHOperation* running = nullptr;
  std::shared_ptr<ZPHOperation> next;
};
thread_local HandOver t_handOver;
}  // namespace

ZPHOperationQueue::ZPHOperationQueue(const QString& name) : m_name(name), m_pool(std::make_unique<QThreadPool>())
{
  m_pool->setMaxThreadCount(UnboundedWidth);
  m_idleThreadExpiry = m_pool->expiryTimeout();
  if (!name.isEmpty())
    m_pool->setObjectName(name);
}

ZPHOperationQueue::~ZPHOperationQueue()
{
  cancelAllOperations();
  waitUntilAllOperationsAreFinished();
  m_pool->waitForDone();
}

QString ZPHOperationQueue::name() const
{
  QMutexLocker locker(&m_mutex);
  return m_name;
}

void ZPHOperationQueue::setName(const QString& name)
{
  QMutexLocker locker(&m_mutex);
  m_name = name;
}

int ZPHOperationQueue::maxConcurrentOperationCount() const
{
  QMutexLocker locker(&m_mutex);
  return m_width;
}

void ZPHOperationQueue::setMaxConcurrentOperationCount(int count)
{
  QMutexLocker locker(&m_mutex);
  m_width = count;
  // A serial queue keeps to one thread for its whole life: the next
  // operation starts on the thread the last one ran on, however long the
  // queue stayed idle, so its per-thread state (the store's connection and
  // its page cache) stays open and warm.
  m_pool->setMaxThreadCount(count == 1 ? 1 : UnboundedWidth);
  m_pool->setExpiryTimeout(count == 1 ? -1 : m_idleThreadExpiry);
  startWaitingOperations();
}

int ZPHOperationQueue::idleThreadExpiry() const
{
  QMutexLocker locker(&m_mutex);
  return m_idleThreadExpiry;
}

void ZPHOperationQueue::setIdleThreadExpiry(int milliseconds)
{
  QMutexLocker locker(&m_mutex);
  m_idleThreadExpiry = milliseconds;
  if (m_width != 1)
    m_pool->setExpiryTimeout(milliseconds);
}

int ZPHOperationQueue::effectiveWidth() const { return m_width > 0 ? m_width : UnboundedWidth; }

void ZPHOperationQueue::addOperation(const std::shared_ptr<ZPHOperation>& operation)
{
  if (!operation)
    return;
  // The queue hears of the end from the moment the operation is in it: one
  // that finishes while it waits (a cancel that ends it at once) leaves at
  // once instead of holding its place for ever.
  ZPHOperation* raw = operation.get();
  if (!operation->setFinishedHandler([this, raw] { operationFinished(raw); }))
    return;  // finished already: nothing to run
  QMutexLocker locker(&m_mutex);
  Q_ASSERT_X(!m_entries.contains(raw), Q_FUNC_INFO, "operation added twice");
  // It may have finished since the handler went in, before it was listed;
  // the handler then found nothing to remove.
  if (operation->isFinished())
    return;
  m_operations.push_back(operation);
  const quint64 ticket = m_nextTicket++;
  m_entries.insert(raw, Entry{std::prev(m_operations.end()), ticket, true});
  m_waiting[waitingListIndex(operation->queuePriority())].emplace_back(raw, ticket);
  startWaitingOperations();
}

void ZPHOperationQueue::startWaitingOperations(std::shared_ptr<ZPHOperation>* handOver)
{
  while (!m_suspended && m_running < effectiveWidth()) {
    WaitingList* list = nullptr;
    for (WaitingList& candidate : m_waiting) {
      if (!candidate.empty()) {
        list = &candidate;
        break;
      }
    }
    if (list == nullptr)
      break;
    const auto [next, ticket] = list->front();
    list->pop_front();
    const auto entry = m_entries.find(next);
    if (entry == m_entries.end() || entry->ticket != ticket)
      continue;  // finished while it waited
    entry->waiting = false;
    std::shared_ptr<ZPHOperation> operation = *entry->position;
    ++m_running;
    if (handOver != nullptr && !*handOver) {
      *handOver = std::move(operation);
      continue;
    }
    m_pool->start([this, operation] { runOperations(operation); });
  }
}

void ZPHOperationQueue::runOperations(std::shared_ptr<ZPHOperation> operation)
{
  ZPHOperationQueue* previousQueue = t_currentQueue;
  HandOver previous = std::exchange(t_handOver, HandOver{});
  t_currentQueue = this;
  while (operation) {
    t_handOver.queue = this;
    t_handOver.running = operation.get();
    operation->start();
    // Set when its end started the next one. The queue outlives this loop
    // while that one is listed.
    operation = std::exchange(t_handOver.next, nullptr);
  }
  t_handOver = std::move(previous);
  t_currentQueue = previousQueue;
}

void ZPHOperationQueue::operationFinished(ZPHOperation* operation)
{
  // Keeps the operation alive until the lock is released.
  std::shared_ptr<ZPHOperation> keep;
  QMutexLocker locker(&m_mutex);
  const auto entry = m_entries.constFind(operation);
  if (entry == m_entries.constEnd())
    return;  // finished before it was listed (see addOperation)
  keep = std::move(*entry->position);
  m_operations.erase(entry->position);
  const bool wasWaiting = entry->waiting;
  m_entries.erase(entry);
  if (!wasWaiting)
    --m_running;
  // The operation this thread runs for the queue has ended: the next one
  // runs here once it returns.
  const bool ownEnd = !wasWaiting && t_handOver.queue == this && t_handOver.running == operation;
  startWaitingOperations(ownEnd ? &t_handOver.next : nullptr);
  if (m_operations.empty())
    m_emptyCondition.wakeAll();
  locker.unlock();
}

QList<std::shared_ptr<ZPHOperation>> ZPHOperationQueue::operations() const
{
  QMutexLocker locker(&m_mutex);
  return QList<std::shared_ptr<ZPHOperation>>(m_operations.begin(), m_operations.end());
}

QList<std::shared_ptr<ZPHOperation>> ZPHOperationQueue::waitingOperations(int count) const
{
  QList<std::shared_ptr<ZPHOperation>> waiting;
  QMutexLocker locker(&m_mutex);
  for (const WaitingList& list : m_waiting) {
    for (const auto& [operation, ticket] : list) {
      if (waiting.size() >= count)
        return waiting;
      const auto entry = m_entries.constFind(operation);
      if (entry != m_entries.constEnd() && entry->ticket == ticket)
        waiting.append(*entry->position);
    }
  }
  return waiting;
}

int ZPHOperationQueue::operationCount() const
{
  QMutexLocker locker(&m_mutex);
  return int(m_operations.size());
}

void ZPHOperationQueue::cancelAllOperations()
{
  for (const std::shared_ptr<ZPHOperation>& operation : operations()) operation->cancel();
}

void ZPHOperationQueue::waitUntilAllOperationsAreFinished()
{
  QMutexLocker locker(&m_mutex);
  // A suspended queue with waiting operations would never empty.
  while (!m_operations.empty() && !(m_suspended && m_running == 0)) m_emptyCondition.wait(&m_mutex);
}

void ZPHOperationQueue::setSuspended(bool suspended)
{
  QMutexLocker locker(&m_mutex);
  m_suspended = suspended;
  if (suspended)
    m_emptyCondition.wakeAll();
  startWaitingOperations();
}

bool ZPHOperationQueue::isSuspended() const
{
  QMutexLocker locker(&m_mutex);
  return m_suspended;
}

ZPHOperationQueue* ZPHOperationQueue::currentQueue() { return t_currentQueue; }
