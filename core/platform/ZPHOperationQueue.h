#pragma once

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QWaitCondition>

#include <array>
#include <deque>
#include <list>
#include <memory>

class QThreadPool;
class ZPHOperation;

// Runs operations on worker threads of its own, at most `maxConcurrentOperationCount`
// at a time: those of a higher queue priority first, those of one priority in
// the order added (ZPHOperationQueuePriority). Width 1 makes a serial queue; the default
// (-1) allows a generous fixed number. A suspended queue starts nothing new.
// A serial queue runs every operation on one thread, which lives as long as
// the queue (it never ends for being idle). A thread whose operation ends
// runs the next waiting one itself, so a busy queue hands work from one
// operation to the next without waking another thread.
// Every member may be called from any thread.
//
// Use it for a queue private to its owner (the store queue is one, of width
// 1). Use CBOperationController instead when others need to find the queue
// by name, ask what it holds or learn when it fills and empties.
class ZPHOperationQueue {
public:
  static constexpr int DefaultMaxConcurrentOperationCount = -1;

  explicit ZPHOperationQueue(const QString& name = QString());
  // Cancels what waits and waits for what runs.
  ~ZPHOperationQueue();
  ZPHOperationQueue(const ZPHOperationQueue&) = delete;
  ZPHOperationQueue& operator=(const ZPHOperationQueue&) = delete;

  QString name() const;
  void setName(const QString& name);

  int maxConcurrentOperationCount() const;
  void setMaxConcurrentOperationCount(int count);

  // How long a thread of a queue wider than one waits for work before it
  // ends (the thread pool's 30 s unless set); a serial queue keeps its
  // thread whatever this is.
  int idleThreadExpiry() const;
  void setIdleThreadExpiry(int milliseconds);

  // Queues an operation; an operation belongs to one queue, once.
  void addOperation(const std::shared_ptr<ZPHOperation>& operation);

  // Operations waiting or running, in the order added.
  QList<std::shared_ptr<ZPHOperation>> operations() const;
  int operationCount() const;
  // The first `count` operations that wait to start, in the order they
  // will start (fewer when fewer wait).
  QList<std::shared_ptr<ZPHOperation>> waitingOperations(int count) const;

  void cancelAllOperations();
  void waitUntilAllOperationsAreFinished();

  void setSuspended(bool suspended);
  bool isSuspended() const;

  // The queue whose operation runs on the calling thread, or nullptr.
  static ZPHOperationQueue* currentQueue();

private:
  // m_mutex held. With `handOver`, the first operation started goes there
  // for the calling worker thread to run next, instead of to another thread.
  void startWaitingOperations(std::shared_ptr<ZPHOperation>* handOver = nullptr);
  // A worker thread's run: `operation`, then each one handed over to it.
  void runOperations(std::shared_ptr<ZPHOperation> operation);
  void operationFinished(ZPHOperation* operation);
  int effectiveWidth() const;

  mutable QMutex m_mutex;
  QWaitCondition m_emptyCondition;
  QString m_name;
  int m_width = DefaultMaxConcurrentOperationCount;
  bool m_suspended = false;
  int m_running = 0;
  // Waiting and running operations in the order added, and where each is in
  // that list: a queue of thousands finds the one that finished at once.
  struct Entry {
    std::list<std::shared_ptr<ZPHOperation>>::iterator position;
    quint64 ticket = 0;  // tells it from an earlier operation at the same address
    bool waiting = true;
  };
  std::list<std::shared_ptr<ZPHOperation>> m_operations;
  QHash<const ZPHOperation*, Entry> m_entries;
  // Those not started yet, one list per priority (the highest first), each
  // in order; one that finished while waiting stays here until its turn
  // comes and is skipped then.
  static constexpr std::size_t PriorityLevels = 5;
  using WaitingList = std::deque<std::pair<const ZPHOperation*, quint64>>;
  std::array<WaitingList, PriorityLevels> m_waiting;
  quint64 m_nextTicket = 1;
  std::unique_ptr<QThreadPool> m_pool;
  int m_idleThreadExpiry = 30000;
};
