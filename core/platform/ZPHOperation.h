#pragma once

#include <QtCore/QMutex>
#include <QtCore/QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>

class ZPHOperationQueue;

// How soon a queue starts an operation among those that wait: a higher
// priority first, operations of one priority in the order they were added.
// Running operations are never stopped for a higher one.
enum class ZPHOperationQueuePriority : int { VeryLow = -8, Low = -4, Normal = 0, High = 4, VeryHigh = 8 };

// One unit of background work, run once by a ZPHOperationQueue.
//
// A plain operation does its work in main(); the queue's worker thread calls
// start(), which runs main() unless the operation was cancelled first, and
// the operation is finished when main() returns. A concurrent operation
// (isConcurrent() true) overrides start(), returns early and calls
// setFinished() later from any thread; its queue slot stays taken until then.
//
// Operations are shared: the queue holds one reference while the operation
// waits or runs.
//
// Of the operation bases, this is the bare one: subclass it (or use
// ZPHBlockOperation) for work whose end nobody observes. Use CBOperation when
// a delegate or observers must learn of the end on the main thread,
// ZPHTerminationCancelingOperation when the work must stop at quit,
// FHLConcurrentOperation when the work ends after start() returns, and
// ZPHUndoableOperation for a user's change that Undo reverses.
class ZPHOperation : public std::enable_shared_from_this<ZPHOperation> {
public:
  ZPHOperation();
  virtual ~ZPHOperation();
  ZPHOperation(const ZPHOperation&) = delete;
  ZPHOperation& operator=(const ZPHOperation&) = delete;

  // Marks the operation cancelled. A waiting operation then finishes without
  // running main(); a running one sees isCancelled() and may stop early.
  virtual void cancel();
  bool isCancelled() const { return m_cancelled.load(); }
  bool isExecuting() const;
  bool isFinished() const;
  virtual bool isConcurrent() const { return false; }
  // Work that a later run does again by itself (a refresh's article saver):
  // a quit in a hurry may cancel it. Everything else on the store queue,
  // the user's changes above all, runs before the quit writes back.
  virtual bool mayBeDroppedAtQuit() const { return false; }

  // Set it before the operation is queued: its queue places it by the
  // priority it has when added. Normal unless set.
  ZPHOperationQueuePriority queuePriority() const { return m_queuePriority.load(); }
  void setQueuePriority(ZPHOperationQueuePriority priority) { m_queuePriority.store(priority); }

  // Runs on the worker thread that finished the operation, after it finished.
  void setCompletionBlock(std::function<void()> block);

  // Blocks until the operation finished. Never call it for an operation that
  // has not been added to a queue.
  void waitUntilFinished() const;

  // Called by the queue on a worker thread. The default runs main() and
  // finishes the operation, or only finishes it when it was cancelled; an
  // operation that finished already is left alone.
  virtual void start();

protected:
  virtual void main() {}

  // State changes for concurrent operations.
  void setExecuting(bool executing);
  void setFinished();

private:
  friend class ZPHOperationQueue;
  // Installs what the queue runs once the operation finished; false (and
  // nothing installed) when it has finished already.
  bool setFinishedHandler(std::function<void()> handler);

  std::atomic<bool> m_cancelled{false};
  std::atomic<ZPHOperationQueuePriority> m_queuePriority{ZPHOperationQueuePriority::Normal};
  mutable QMutex m_stateMutex;
  mutable QWaitCondition m_finishedCondition;
  bool m_executing = false;
  bool m_finished = false;
  bool m_settled = false;  // finished and its completion block has run
  std::function<void()> m_completionBlock;
  std::function<void()> m_finishedHandler;
};

// An operation whose work is a block.
class ZPHBlockOperation : public ZPHOperation {
public:
  explicit ZPHBlockOperation(std::function<void()> block) : m_block(std::move(block)) {}

protected:
  void main() override
  {
    if (m_block)
      m_block();
  }

private:
  std::function<void()> m_block;
};
