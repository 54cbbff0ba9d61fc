#pragma once

#include "platform/ZPHError.h"
#include "platform/ZPHOperation.h"
#include "store/ZPHCoreDataStack.h"

#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QWaitCondition>

#include <atomic>
#include <deque>
#include <functional>

class QThread;

// An operation whose whole life after start runs on one thread, the
// operation's run-loop thread: the queue worker that runs it. Subclasses
// start their work in operationDidStart(), serve events as they come in
// serviceRunLoop(), and end with finishWithError(), which keeps the first
// error given and is answered true once. Work from other threads (answers,
// cancellation) reaches the run-loop thread through performOnRunLoopThread().
//
// The state only moves forward: inited, executing, finished. A cancelled
// operation still starts, and finishes at once with the cancellation error
// (ZPHCocoaErrorDomain 3072), so that whoever waits for its end hears of it.
class ESRunLoopOperation : public ZPHOperation {
public:
  enum State : qint32 { Inited = 0, Executing = 1, Finished = 2 };

  // The longest stretch the run loop waits before it looks again.
  static constexpr int RunLoopSliceMs = 10 * 1000;

  ESRunLoopOperation();
  ~ESRunLoopOperation() override;

  State state() const { return State(m_state.load()); }
  // The first error the operation finished with; null on success.
  ZPHError error() const;
  static ZPHError cancelledError();

  // Marks the operation cancelled; a running one finishes on its run-loop
  // thread with the cancellation error. Any thread; does not wait.
  void cancel() override;
  void start() override;

  // Runs `work` on the run-loop thread at its next turn, in the order
  // given. False (and the work dropped) once the operation has finished.
  // Any thread.
  bool performOnRunLoopThread(std::function<void()> work);
  bool isActualRunLoopThread() const;

protected:
  // The operation's life on its run-loop thread: executing, then
  // operationDidStart() (or the cancellation error), then the run loop until
  // finished.
  void main() override;

  // Run-loop thread only. Finishes an executing operation: keeps `error`
  // unless an error is held already, runs operationWillFinish(), sets the
  // state finished, then operationDidFinish(). Answers whether this call
  // finished the operation.
  bool finishWithError(const ZPHError& error);

  // Hooks, on the run-loop thread.
  virtual void operationDidStart() {}
  virtual void operationWillFinish() {}
  virtual void operationDidFinish() {}
  // Waits at most `timeoutMs` for events and handles them; returns early
  // after wakeRunLoop(). The base waits for performed work only.
  virtual void serviceRunLoop(int timeoutMs);
  // Ends a serviceRunLoop() wait early; any thread.
  virtual void wakeRunLoop();

private:
  void runPerformedWork();

  std::atomic<qint32> m_state{Inited};
  mutable QMutex m_errorMutex;
  ZPHError m_error;
  std::atomic<QThread*> m_runLoopThread{nullptr};

  QMutex m_mailboxMutex;
  QWaitCondition m_mailboxCondition;
  std::deque<std::function<void()>> m_mailbox;
  bool m_woken = false;
};
