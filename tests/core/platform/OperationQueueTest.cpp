#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QMutex>
#include <QtCore/QSemaphore>
#include <QtCore/QSet>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Counts how many run at once and records the order in which they start.
struct Recorder {
  QMutex mutex;
  std::vector<int> order;
  std::atomic<int> running{0};
  std::atomic<int> peak{0};

  std::shared_ptr<ZPHOperation> operation(int tag, QSemaphore* gate = nullptr)
  {
    return std::make_shared<ZPHBlockOperation>([this, tag, gate] {
      const int now = ++running;
      int seen = peak.load();
      while (now > seen && !peak.compare_exchange_weak(seen, now)) {
      }
      {
        QMutexLocker locker(&mutex);
        order.push_back(tag);
      }
      if (gate)
        gate->acquire();
      else
        QThread::usleep(200);
      --running;
    });
  }
};

// Finishes only when told to, from another thread.
class LateOperation : public ZPHOperation {
public:
  bool isConcurrent() const override { return true; }
  void start() override
  {
    setExecuting(true);
    started.release();
  }
  void complete() { setFinished(); }
  QSemaphore started;
};

}  // namespace

TEST(OperationQueue, SerialQueueRunsOneAtATimeInOrder)
{
  ZPHOperationQueue queue(QStringLiteral("serial"));
  queue.setMaxConcurrentOperationCount(1);
  Recorder recorder;
  for (int i = 0; i < 20; ++i) queue.addOperation(recorder.operation(i));
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(recorder.peak.load(), 1);
  std::vector<int> expected(20);
  for (int i = 0; i < 20; ++i) expected[i] = i;
  EXPECT_EQ(recorder.order, expected);
  EXPECT_EQ(queue.operationCount(), 0);
}

TEST(OperationQueue, WidthBoundsConcurrency)
{
  ZPHOperationQueue queue;
  queue.setMaxConcurrentOperationCount(3);
  Recorder recorder;
  QSemaphore gate;
  for (int i = 0; i < 6; ++i) queue.addOperation(recorder.operation(i, &gate));
  // Three start and wait at the gate; the others wait in the queue.
  while (recorder.running.load() < 3) QThread::usleep(100);
  EXPECT_EQ(queue.operationCount(), 6);
  gate.release(6);
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(recorder.peak.load(), 3);
  EXPECT_EQ(recorder.order.size(), 6u);
}

TEST(OperationQueue, CancelledWaitingOperationsFinishWithoutRunning)
{
  ZPHOperationQueue queue;
  queue.setMaxConcurrentOperationCount(1);
  Recorder recorder;
  QSemaphore gate;
  auto first = recorder.operation(1, &gate);
  auto second = recorder.operation(2);
  std::atomic<bool> completionRan{false};
  second->setCompletionBlock([&] { completionRan = true; });
  queue.addOperation(first);
  queue.addOperation(second);
  while (recorder.running.load() < 1) QThread::usleep(100);
  queue.cancelAllOperations();
  EXPECT_TRUE(first->isCancelled());
  gate.release();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(recorder.order, std::vector<int>{1});
  EXPECT_TRUE(second->isFinished());
  EXPECT_TRUE(completionRan.load());
}

TEST(OperationQueue, SuspendedQueueStartsNothingUntilResumed)
{
  ZPHOperationQueue queue;
  queue.setSuspended(true);
  Recorder recorder;
  auto operation = recorder.operation(1);
  queue.addOperation(operation);
  QThread::msleep(20);
  EXPECT_TRUE(recorder.order.empty());
  EXPECT_EQ(queue.operationCount(), 1);
  queue.setSuspended(false);
  operation->waitUntilFinished();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(recorder.order, std::vector<int>{1});
}

TEST(OperationQueue, WaitingOperationsStartByPriorityThenInTheOrderAdded)
{
  // One runs and holds the serial queue; the others wait and then start by
  // priority, those of one priority in the order added. The running one is
  // not overtaken by a higher one added after it started.
  ZPHOperationQueue queue(QStringLiteral("serial"));
  queue.setMaxConcurrentOperationCount(1);
  Recorder recorder;
  QSemaphore gate;
  queue.addOperation(recorder.operation(0, &gate));
  while (recorder.running.load() < 1) QThread::usleep(100);
  const struct {
    int tag;
    ZPHOperationQueuePriority priority;
  } added[] = {
      {1, ZPHOperationQueuePriority::Low},     {2, ZPHOperationQueuePriority::Normal},
      {3, ZPHOperationQueuePriority::VeryLow}, {4, ZPHOperationQueuePriority::VeryHigh},
      {5, ZPHOperationQueuePriority::Normal},  {6, ZPHOperationQueuePriority::High},
      {7, ZPHOperationQueuePriority::Low},
  };
  for (const auto& [tag, priority] : added) {
    auto operation = recorder.operation(tag);
    EXPECT_EQ(operation->queuePriority(), ZPHOperationQueuePriority::Normal);
    operation->setQueuePriority(priority);
    queue.addOperation(operation);
  }
  // The waiting ones are listed in the order they will start.
  std::vector<int> listed;
  for (const std::shared_ptr<ZPHOperation>& operation : queue.waitingOperations(3))
    listed.push_back(int(operation->queuePriority()));
  EXPECT_EQ(listed, (std::vector<int>{8, 4, 0}));
  gate.release();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(recorder.order, (std::vector<int>{0, 4, 6, 2, 5, 1, 7, 3}));
}

TEST(OperationQueue, ConcurrentOperationHoldsItsSlotUntilItFinishes)
{
  ZPHOperationQueue queue;
  queue.setMaxConcurrentOperationCount(1);
  auto late = std::make_shared<LateOperation>();
  Recorder recorder;
  queue.addOperation(late);
  queue.addOperation(recorder.operation(2));
  late->started.acquire();
  QThread::msleep(20);
  EXPECT_TRUE(recorder.order.empty());  // the slot is still taken
  std::thread finisher([&] { late->complete(); });
  finisher.join();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(recorder.order, std::vector<int>{2});
}

TEST(OperationQueue, CurrentQueueIsKnownInsideItsOperations)
{
  ZPHOperationQueue queue(QStringLiteral("named"));
  ZPHOperationQueue* seen = nullptr;
  auto operation = std::make_shared<ZPHBlockOperation>([&] { seen = ZPHOperationQueue::currentQueue(); });
  queue.addOperation(operation);
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(seen, &queue);
  EXPECT_EQ(ZPHOperationQueue::currentQueue(), nullptr);
}

// Operations that are finished before the queue gets to start them: each
// leaves the queue at once, and the operations behind it still run.
TEST(OperationQueue, OperationsFinishedBeforeTheyStartNeverStallTheQueue)
{
  struct Case {
    const char* name;
    bool finishBeforeAdding;
  } cases[] = {
      {"finished while it waits behind another", false},
      {"finished before it was added", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto queue = std::make_unique<ZPHOperationQueue>(QStringLiteral("serial"));
    queue->setMaxConcurrentOperationCount(1);
    QSemaphore gate;
    Recorder recorder;
    auto blocker = recorder.operation(1, &gate);
    auto early = std::make_shared<LateOperation>();
    if (c.finishBeforeAdding)
      early->complete();
    queue->addOperation(blocker);
    queue->addOperation(early);
    auto after = recorder.operation(3);
    queue->addOperation(after);
    if (!c.finishBeforeAdding)
      early->complete();  // a concurrent operation's cancel may end it like this
    gate.release();
    after->waitUntilFinished();
    EXPECT_EQ(early->started.available(), 0);  // never started
    EXPECT_TRUE(QThread::currentThread()->isRunning());
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(queue->operationCount(), 0);
    queue.reset();  // and the queue goes away without hanging
    EXPECT_EQ(recorder.order, (std::vector<int>{1, 3}));
  }
}

// A serial queue keeps its one thread however long it stays idle (longer
// than a pool thread's default expiry of 30 seconds).
namespace {

// Notes the end of the thread it was set on.
struct ThreadEnd {
  std::atomic<bool>* ended = nullptr;
  ~ThreadEnd()
  {
    if (ended != nullptr)
      *ended = true;
  }
};
thread_local ThreadEnd t_end;

}  // namespace

TEST(OperationQueue, SerialQueueKeepsItsThreadWhileIdle)
{
  // A serial and a wide queue whose idle threads end after 50 ms: the
  // serial queue's thread is still there, and runs its next operation, once
  // the wide queue's thread has ended for being idle.
  static thread_local bool t_seen = false;
  std::atomic<bool> serialEnded{false};
  std::atomic<bool> wideEnded{false};
  ZPHOperationQueue serial(QStringLiteral("serial"));
  serial.setMaxConcurrentOperationCount(1);
  serial.setIdleThreadExpiry(50);
  ZPHOperationQueue wide(QStringLiteral("wide"));
  wide.setIdleThreadExpiry(50);
  const auto run = [](ZPHOperationQueue& queue, std::atomic<bool>* noteEnd) {
    std::atomic<bool> seen{false};
    auto operation = std::make_shared<ZPHBlockOperation>([&] {
      seen = t_seen;
      if (noteEnd != nullptr) {
        t_seen = true;
        t_end.ended = noteEnd;
      }
    });
    queue.addOperation(operation);
    operation->waitUntilFinished();
    return seen.load();
  };
  run(serial, &serialEnded);
  run(wide, &wideEnded);
  const QDeadlineTimer deadline(20000);
  while (!wideEnded && !deadline.hasExpired()) QThread::msleep(5);
  ASSERT_TRUE(wideEnded);
  EXPECT_FALSE(serialEnded);
  EXPECT_TRUE(run(serial, nullptr));
}

// The queue finds its operations by address: one that finished while it
// waited and is gone must not be taken for a new operation made at the same
// address, which runs in its own turn, once.
TEST(OperationQueue, AnOperationMadeWhereAFinishedOneWaitedRunsInItsOwnTurn)
{
  struct Noted : LateOperation {
    Noted(Recorder* r, std::atomic<bool>* gone) : recorder(r), destroyed(gone) {}
    ~Noted() override { *destroyed = true; }
    void start() override
    {
      {
        QMutexLocker locker(&recorder->mutex);
        recorder->order.push_back(9);
      }
      LateOperation::start();
      complete();
    }
    Recorder* recorder;
    std::atomic<bool>* destroyed;
  };
  // Both operations live in the same storage, one after the other.
  alignas(Noted) unsigned char storage[sizeof(Noted)];
  const auto makeNoted = [&](Recorder* recorder, std::atomic<bool>* gone) {
    return std::shared_ptr<Noted>(new (storage) Noted(recorder, gone), [](Noted* noted) { noted->~Noted(); });
  };
  ZPHOperationQueue queue(QStringLiteral("serial"));
  queue.setMaxConcurrentOperationCount(1);
  QSemaphore gate;
  Recorder recorder;
  queue.addOperation(recorder.operation(1, &gate));
  std::atomic<bool> earlyGone{false};
  {
    auto early = makeNoted(&recorder, &earlyGone);
    queue.addOperation(early);
    early->complete();  // leaves the queue while it waits, and goes
  }
  ASSERT_TRUE(earlyGone.load());
  queue.addOperation(recorder.operation(2));
  std::atomic<bool> laterGone{false};
  auto later = makeNoted(&recorder, &laterGone);
  queue.addOperation(later);
  EXPECT_EQ(queue.waitingOperations(100).size(), 2);
  gate.release();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(recorder.order, (std::vector<int>{1, 2, 9}));
  EXPECT_EQ(later->started.available(), 1);
  // The worker lets go of the operation once its start() has returned, which
  // may come just after the queue said it was finished.
  later.reset();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return laterGone.load(); }));
}

TEST(OperationQueue, ABusyQueueRunsEachNextOperationOnTheThreadThatJustFinishedOne)
{
  // However many operations pass through, a queue of width 2 that always has
  // more waiting keeps to two threads: the end of one operation starts the
  // next on the same thread rather than waking another.
  ZPHOperationQueue queue;
  queue.setMaxConcurrentOperationCount(2);
  QMutex mutex;
  QSet<QThread*> threads;
  std::vector<int> order;
  std::atomic<int> running{0};
  std::atomic<int> peak{0};
  constexpr int Count = 40;
  for (int i = 0; i < Count; ++i) {
    queue.addOperation(std::make_shared<ZPHBlockOperation>([&, i] {
      const int now = ++running;
      int seen = peak.load();
      while (now > seen && !peak.compare_exchange_weak(seen, now)) {
      }
      EXPECT_EQ(ZPHOperationQueue::currentQueue(), &queue);
      {
        QMutexLocker locker(&mutex);
        threads.insert(QThread::currentThread());
        order.push_back(i);
      }
      QThread::usleep(300);
      --running;
    }));
  }
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(queue.operationCount(), 0);
  EXPECT_EQ(order.size(), size_t(Count));
  EXPECT_LE(peak.load(), 2);
  EXPECT_LE(threads.size(), 2);
  // Outside an operation the thread belongs to no queue.
  EXPECT_EQ(ZPHOperationQueue::currentQueue(), nullptr);
}
