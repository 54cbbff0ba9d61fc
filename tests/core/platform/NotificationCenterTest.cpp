#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHNotificationQueue.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(NotificationCenter, DeliversByNameAndObjectOnThePostingThread)
{
  ZPHNotificationCenter center;
  QStringList seen;
  auto any = center.addObserver(QString(), {}, [&](const ZPHNotification& n) { seen << "any:" + n.name; });
  auto named =
      center.addObserver("A", {}, [&](const ZPHNotification& n) { seen << "A:" + n.userInfo["k"].toString(); });
  auto forObject =
      center.addObserver("A", QVariant(QStringLiteral("feed-1")), [&](const ZPHNotification&) { seen << "A/feed-1"; });

  center.post("A", QStringLiteral("feed-2"), {{"k", "v"}});
  center.post("A", QStringLiteral("feed-1"));
  center.post("B");
  EXPECT_EQ(seen, (QStringList{"any:A", "A:v", "any:A", "A:", "A/feed-1", "any:B"}));

  named.reset();
  seen.clear();
  center.post("A", QStringLiteral("x"));
  EXPECT_EQ(seen, QStringList{"any:A"});
}

TEST(NotificationCenter, TokenAndContextEndTheObserver)
{
  ZPHNotificationCenter center;
  int calls = 0;
  {
    auto token = center.addObserver("N", {}, [&](const ZPHNotification&) { ++calls; });
    center.post("N");
  }
  center.post("N");
  EXPECT_EQ(calls, 1);

  auto* context = new QObject;
  auto token = center.addObserver("N", {}, context, [&](const ZPHNotification&) { ++calls; });
  center.post("N");
  delete context;
  center.post("N");
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(center.observerCount(), 0);

  // An observer may remove itself while it is being called.
  ZPHObserverToken self;
  self = center.addObserver("N", {}, [&](const ZPHNotification&) {
    ++calls;
    self.reset();
  });
  center.post("N");
  center.post("N");
  EXPECT_EQ(calls, 3);
}

TEST(NotificationCenter, MainThreadDeliveryFromAnotherThread)
{
  ZPHNotificationCenter center;
  std::atomic<int> onMain{0};
  std::atomic<int> onPoster{0};
  auto mainObserver = center.addObserver(
      "N", {},
      [&](const ZPHNotification&) {
        if (ZPHMainThread::isMainThread())
          ++onMain;
      },
      ZPHNotificationCenter::Delivery::MainThread);
  auto posterObserver = center.addObserver("N", {}, [&](const ZPHNotification&) {
    if (!ZPHMainThread::isMainThread())
      ++onPoster;
  });

  std::thread poster([&] { center.post("N"); });
  poster.join();
  EXPECT_EQ(onPoster.load(), 1);
  EXPECT_EQ(onMain.load(), 0);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return onMain.load() == 1; }));
}

TEST(NotificationCenter, PostOnMainThreadNeverDeliversBeforeTheCallerReturns)
{
  ZPHNotificationCenter center;
  bool delivered = false;
  auto token = center.addObserver("Later", {}, [&](const ZPHNotification& n) {
    EXPECT_TRUE(ZPHMainThread::isMainThread());
    EXPECT_EQ(n.userInfo.value("x").toInt(), 7);
    delivered = true;
  });
  center.postOnMainThread("Later", {}, {{"x", 7}});
  EXPECT_FALSE(delivered);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return delivered; }));

  delivered = false;
  std::thread([&] { center.postOnMainThread("Later", {}, {{"x", 7}}); }).join();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return delivered; }));
}

TEST(NotificationQueue, CoalescesSameNameAndObjectUntilIdle)
{
  ZPHNotificationCenter center;
  ZPHNotificationQueue queue(center);
  QStringList seen;
  auto token = center.addObserver(QString(), {}, [&](const ZPHNotification& n) {
    seen << n.name + "/" + n.object.toString() + "/" + n.userInfo.value("i").toString();
  });

  queue.enqueueIdle({"Count", QStringLiteral("a"), {{"i", 1}}});
  queue.enqueueIdle({"Count", QStringLiteral("a"), {{"i", 2}}});
  queue.enqueueIdle({"Count", QStringLiteral("b"), {{"i", 3}}});
  queue.enqueueIdle({"Other", QStringLiteral("a"), {{"i", 4}}});
  EXPECT_TRUE(seen.isEmpty());
  EXPECT_EQ(queue.pendingCount(), 3);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return seen.size() == 3; }));
  EXPECT_EQ(seen, (QStringList{"Count/a/1", "Count/b/3", "Other/a/4"}));

  // After a flush the same notification is posted again.
  queue.enqueueIdle({"Count", QStringLiteral("a"), {{"i", 5}}});
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return seen.size() == 4; }));
}

TEST(MainThread, SyncFromAnotherThreadRunsOnMainAndWaits)
{
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    ZPHMainThread::sync([&] { ranOnMain = ZPHMainThread::isMainThread(); });
    returned = true;
  });
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_TRUE(ranOnMain.load());
}

// post() hands work to the main thread without waiting (the main thread
// here is blocked in join() meanwhile); the main thread runs it, and the
// work the same thread hands it in between with async() and sync(), in the
// order handed over; also while it waits in waitServingSync().
TEST(MainThread, PostRunsOnMainInOrderWithoutWaiting)
{
  constexpr int Rounds = 30;
  QStringList order;
  bool allOnMain = true;
  const auto note = [&](const QString& entry) {
    allOnMain = allOnMain && ZPHMainThread::isMainThread();
    order.append(entry);
  };
  std::thread worker([&] {
    for (int i = 0; i < Rounds; ++i) {
      ZPHMainThread::post([&, i] { note(QStringLiteral("post %1").arg(i)); });
      ZPHMainThread::async([&, i] { note(QStringLiteral("async %1").arg(i)); });
    }
  });
  worker.join();
  EXPECT_TRUE(order.isEmpty());
  std::thread syncing([&] { ZPHMainThread::sync([&] { note(QStringLiteral("sync")); }); });
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return order.size() == 2 * Rounds + 1; }));
  syncing.join();
  QStringList expected;
  for (int i = 0; i < Rounds; ++i) expected << QStringLiteral("post %1").arg(i) << QStringLiteral("async %1").arg(i);
  expected << QStringLiteral("sync");
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(allOnMain);

  std::atomic<bool> ran{false};
  std::thread poster([&] {
    ZPHMainThread::post([&] {
      ran = true;
      ZPHMainThread::wakeWaiter();
    });
  });
  ZPHMainThread::waitServingSync([&] { return ran.load(); });
  poster.join();
  EXPECT_TRUE(ran.load());
}

// Removing an observer waits for a delivery to it that runs on another
// thread; afterwards its handler never runs. A handler may remove its own
// observer without waiting for itself.
TEST(NotificationCenter, RemovalWaitsForDeliveriesInFlight)
{
  ZPHNotificationCenter center;
  std::atomic<bool> entered{false};
  std::atomic<bool> left{false};
  std::atomic<int> calls{0};
  ZPHObserverToken token = center.addObserver(QStringLiteral("slow"), QVariant(), [&](const ZPHNotification&) {
    ++calls;
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    left = true;
  });
  std::thread poster([&] { center.post(QStringLiteral("slow")); });
  while (!entered) std::this_thread::yield();
  token.reset();
  EXPECT_TRUE(left.load());  // the removal returned only after the handler did
  poster.join();
  center.post(QStringLiteral("slow"));
  EXPECT_EQ(calls.load(), 1);

  ZPHObserverToken self;
  int selfCalls = 0;
  self = center.addObserver(QStringLiteral("once"), QVariant(), [&](const ZPHNotification&) {
    ++selfCalls;
    self.reset();
  });
  std::thread([&] { center.post(QStringLiteral("once")); }).join();
  center.post(QStringLiteral("once"));
  EXPECT_EQ(selfCalls, 1);
}
