#include "platform/CBOperation.h"
#include "platform/CBOperationController.h"
#include "platform/FHLConcurrentOperation.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHTerminationCancelingOperation.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QSemaphore>
#include <QtCore/QUrl>

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Waits at its gate inside main() until released.
class GatedOperation : public CBOperation {
public:
  using CBOperation::CBOperation;
  QSemaphore gate;
  QSemaphore entered;

protected:
  void main() override
  {
    entered.release();
    gate.acquire();
    CBOperation::main();
  }
};

// Counts the notifications of one name for one controller or any object.
class NotificationCounter {
public:
  explicit NotificationCounter(const QString& name, QVariant object = {})
  {
    m_token = ZPHNotificationCenter::defaultCenter().addObserver(name, object, [this](const ZPHNotification& n) {
      ++count;
      objects.append(n.object);
    });
  }
  int count = 0;
  QVariantList objects;

private:
  ZPHObserverToken m_token;
};

QVariant controllerObject(CBOperationController* controller) { return QVariant::fromValue(controller); }

class OperationControllerTest : public ::testing::Test {
protected:
  ZPHTestApplicationDelegate delegate;
  QObject receiver;
};

}  // namespace

TEST_F(OperationControllerTest, DelegateIsCalledOnceOnTheMainThread)
{
  CBOperationController controller;
  int calls = 0;
  bool onMainThread = false;
  auto operation = std::make_shared<CBOperation>(&receiver, [&](const std::shared_ptr<CBOperation>&) {
    ++calls;
    onMainThread = ZPHMainThread::isMainThread();
  });
  NotificationCounter completions(CBOperationDidCompleteNotification);
  controller.addOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls == 1 && completions.count == 1; }));
  ZPHTestSpinEventLoop(20);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(onMainThread);
  EXPECT_EQ(completions.count, 1);
  EXPECT_EQ(completions.objects.first().value<std::shared_ptr<CBOperation>>(), operation);
}

TEST_F(OperationControllerTest, CancelledOperationNeverCallsItsDelegateAndCompletesOnce)
{
  CBOperationController controller;
  controller.setQueueWidth(1);
  int calls = 0;
  auto running = std::make_shared<GatedOperation>(&receiver, [&](const std::shared_ptr<CBOperation>&) { ++calls; });
  auto waiting = std::make_shared<CBOperation>(&receiver, [&](const std::shared_ptr<CBOperation>&) { ++calls; });
  NotificationCounter completions(CBOperationDidCompleteNotification);
  NotificationCounter ends(CBOperationControllerDidEndOperationsNotification, controllerObject(&controller));
  controller.addOperation(running);
  controller.addOperation(waiting);
  running->entered.acquire();
  // Cancelled while running and while waiting; each cancel twice.
  controller.cancelOperation(running);
  controller.cancelOperation(waiting);
  controller.cancelAllOperations();
  running->gate.release();
  controller.waitUntilAllOperationsAreFinished();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ends.count == 1; }));
  ZPHTestSpinEventLoop(30);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(completions.count, 2);
  EXPECT_EQ(ends.count, 1);
  EXPECT_EQ(controller.numberOfOperations(), 0);
}

TEST_F(OperationControllerTest, DelegateThatWentAwayIsNotCalled)
{
  CBOperationController controller;
  int calls = 0;
  auto* shortLived = new QObject;
  auto operation = std::make_shared<GatedOperation>(shortLived, [&](const std::shared_ptr<CBOperation>&) { ++calls; });
  controller.addOperation(operation);
  operation->entered.acquire();
  delete shortLived;
  operation->gate.release();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller.numberOfOperations() == 0; }));
  ZPHTestSpinEventLoop(20);
  EXPECT_EQ(calls, 0);
}

TEST_F(OperationControllerTest, BeginAndEndAreAnnouncedOncePerBusyStretch)
{
  CBOperationController controller;
  NotificationCounter begins(CBOperationControllerDidBeginOperationsNotification, controllerObject(&controller));
  NotificationCounter ends(CBOperationControllerDidEndOperationsNotification, controllerObject(&controller));
  auto first = std::make_shared<GatedOperation>();
  auto second = std::make_shared<GatedOperation>();
  controller.addOperation(first);
  controller.addOperation(second);
  EXPECT_EQ(controller.numberOfOperations(), 2);
  first->gate.release();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller.numberOfOperations() == 1; }));
  EXPECT_EQ(begins.count, 1);
  EXPECT_EQ(ends.count, 0);
  second->gate.release();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ends.count == 1; }));
  EXPECT_EQ(begins.count, 1);
  EXPECT_EQ(controller.numberOfOperations(), 0);

  // A second busy stretch is announced again.
  auto third = std::make_shared<CBOperation>();
  controller.addOperation(third);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ends.count == 2; }));
  EXPECT_EQ(begins.count, 2);
}

TEST_F(OperationControllerTest, AddIfNotInQueueMatchesTypeAndEqualObjectUntilCancelled)
{
  CBOperationController controller;
  auto queued = std::make_shared<GatedOperation>();
  queued->setOperationType(1);
  queued->setOperationObject(QUrl(QStringLiteral("https://example.com/feed")));
  EXPECT_TRUE(controller.addOperationIfNotInQueue(queued));

  struct Case {
    qint64 type;
    QString url;
    bool added;
  } cases[] = {
      {1, QStringLiteral("https://example.com/feed"), false},  // equal, not identical
      {2, QStringLiteral("https://example.com/feed"), true},   // other type
      {1, QStringLiteral("https://example.com/other"), true},  // other object
  };
  QList<std::shared_ptr<CBOperation>> added;
  for (const Case& c : cases) {
    auto candidate = std::make_shared<CBOperation>();
    candidate->setOperationType(c.type);
    candidate->setOperationObject(QUrl(c.url));
    EXPECT_EQ(controller.addOperationIfNotInQueue(candidate), c.added) << c.type << " " << c.url.toStdString();
  }
  EXPECT_EQ(controller.numberOfOperationsOfType(1), 2);
  EXPECT_TRUE(controller.hasOperationsScheduledOfType(2));

  controller.cancelOperation(queued);
  auto again = std::make_shared<CBOperation>();
  again->setOperationType(1);
  again->setOperationObject(QUrl(QStringLiteral("https://example.com/feed")));
  EXPECT_TRUE(controller.addOperationIfNotInQueue(again));
  queued->gate.release();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller.numberOfOperations() == 0; }));
}

TEST_F(OperationControllerTest, UntrackedControllerNeverAnnouncesAndAlwaysAdds)
{
  CBOperationController controller;
  controller.setTracksOperations(false);
  NotificationCounter begins(CBOperationControllerDidBeginOperationsNotification, controllerObject(&controller));
  NotificationCounter ends(CBOperationControllerDidEndOperationsNotification, controllerObject(&controller));
  auto first = std::make_shared<GatedOperation>();
  first->setOperationType(7);
  auto second = std::make_shared<CBOperation>();
  second->setOperationType(7);
  controller.addOperation(first);
  EXPECT_TRUE(controller.addOperationIfNotInQueue(second));
  EXPECT_EQ(controller.numberOfOperations(), 0);
  first->gate.release();
  controller.waitUntilAllOperationsAreFinished();
  ZPHTestSpinEventLoop(30);
  EXPECT_EQ(begins.count, 0);
  EXPECT_EQ(ends.count, 0);
}

TEST_F(OperationControllerTest, NothingIsQueuedOrAnnouncedWhileShuttingDown)
{
  CBOperationController controller;
  NotificationCounter begins(CBOperationControllerDidBeginOperationsNotification, controllerObject(&controller));
  delegate.shuttingDown = true;
  std::atomic<bool> ran{false};
  class Flagging : public CBOperation {
  public:
    explicit Flagging(std::atomic<bool>& flag) : m_flag(flag) {}

  protected:
    void main() override { m_flag = true; }

  private:
    std::atomic<bool>& m_flag;
  };
  controller.addOperation(std::make_shared<Flagging>(ran));
  controller.waitUntilAllOperationsAreFinished();
  ZPHTestSpinEventLoop(20);
  EXPECT_FALSE(ran.load());
  EXPECT_EQ(controller.numberOfOperations(), 0);
  EXPECT_EQ(controller.operationQueue()->operationCount(), 0);
  EXPECT_EQ(begins.count, 0);
}

TEST_F(OperationControllerTest, OperationsThatEndWhileQuittingLeaveTheListWithoutAnnouncement)
{
  // The quit waits for the list to empty: operations under way when the
  // application starts to quit must still leave it as they end, cancelled
  // or not.
  CBOperationController controller;
  NotificationCounter ends(CBOperationControllerDidEndOperationsNotification, controllerObject(&controller));
  auto running = std::make_shared<GatedOperation>();
  auto cancelled = std::make_shared<GatedOperation>();
  controller.addOperation(running);
  controller.addOperation(cancelled);
  ASSERT_TRUE(running->entered.tryAcquire(1, 10000));
  ASSERT_TRUE(cancelled->entered.tryAcquire(1, 10000));
  ASSERT_EQ(controller.numberOfOperations(), 2);

  delegate.shuttingDown = true;
  cancelled->cancel();
  cancelled->gate.release();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return controller.numberOfOperations() == 1; }, 10000));
  running->gate.release();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return controller.numberOfOperations() == 0; }, 10000));
  ZPHTestSpinEventLoop(20);
  EXPECT_EQ(ends.count, 0);
}

TEST_F(OperationControllerTest, TerminationCancelsTerminationCancelingOperations)
{
  CBOperationController controller;
  int calls = 0;
  auto operation = std::make_shared<ZPHTerminationCancelingOperation>(
      &receiver, [&](const std::shared_ptr<CBOperation>&) { ++calls; });
  controller.setSuspended(true);
  controller.addOperation(operation);
  ZPHNotificationCenter::defaultCenter().post(ZPHApplicationWillTerminateNotification);
  EXPECT_TRUE(operation->isCancelled());
  controller.setSuspended(false);
  controller.waitUntilAllOperationsAreFinished();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return controller.numberOfOperations() == 0; }));
  EXPECT_EQ(calls, 0);
}

TEST_F(OperationControllerTest, SharedControllersAreNamedAndSized)
{
  CBOperationController* shared = CBOperationController::sharedController();
  EXPECT_EQ(shared, CBOperationController::sharedController());
  EXPECT_EQ(shared->name(), QStringLiteral("com.fernhollow.zephlin.sharedOperationControllerQueue"));
  EXPECT_EQ(shared->queueWidth(), -1);
  CBOperationController* download = CBOperationController::sharedDownloadOperationController();
  EXPECT_EQ(download->name(), QStringLiteral("com.fernhollow.zephlin.sharedOperationControllerDownloadQueue"));
  EXPECT_EQ(download->queueWidth(), 12);
  EXPECT_TRUE(
      shared->description().endsWith(QStringLiteral(" - com.fernhollow.zephlin.sharedOperationControllerQueue")));

  auto operation = std::make_shared<CBOperation>();
  operation->setOperationType(16);
  operation->setOperationObject(QStringLiteral("icon"));
  EXPECT_TRUE(CBAddOperationIfNotInQueue(operation));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shared->numberOfOperations() == 0; }));
}

namespace {
class LateFinisher : public FHLConcurrentOperation {
public:
  void start() override
  {
    markAsRunning();
    started.release();
  }
  void finish() { markAsComplete(); }
  QSemaphore started;
};
}  // namespace

TEST_F(OperationControllerTest, ConcurrentOperationIsExecutingUntilMarkedComplete)
{
  ZPHOperationQueue queue;
  auto operation = std::make_shared<LateFinisher>();
  operation->setOperationKey(QStringLiteral("key"));
  queue.addOperation(operation);
  operation->started.acquire();
  EXPECT_TRUE(operation->isConcurrent());
  EXPECT_TRUE(operation->isExecuting());
  EXPECT_FALSE(operation->isFinished());
  EXPECT_EQ(queue.operationCount(), 1);
  operation->finish();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_FALSE(operation->isExecuting());
  EXPECT_TRUE(operation->isFinished());
  EXPECT_EQ(operation->operationKey(), QStringLiteral("key"));
}
