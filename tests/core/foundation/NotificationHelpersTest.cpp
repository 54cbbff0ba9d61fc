#include "foundation/CBNotificationHelpers.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationQueue.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Seen {
  std::atomic<int> count{0};
  std::atomic<int> offMainThread{0};
  QVariant object;
  QVariantMap userInfo;
};

ZPHObserverToken observe(const QString& name, Seen& seen)
{
  return ZPHNotificationCenter::defaultCenter().addObserver(name, {}, [&seen](const ZPHNotification& n) {
    if (!ZPHMainThread::isMainThread())
      ++seen.offMainThread;
    seen.object = n.object;
    seen.userInfo = n.userInfo;
    ++seen.count;
  });
}

}  // namespace

TEST(NotificationHelpers, PostOnMainThreadDeliversLaterWithObjectAndPayload)
{
  Seen seen;
  auto token = observe("CBTestPosted", seen);
  cb_postNotificationOnMainThread("CBTestPosted", QStringLiteral("feed-1"), {{"unread", 3}});
  EXPECT_EQ(seen.count, 0);  // not before the caller returns, even on the main thread
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return seen.count == 1; }));
  EXPECT_EQ(seen.object, QVariant("feed-1"));
  EXPECT_EQ(seen.userInfo, (QVariantMap{{"unread", 3}}));

  std::thread poster([] { cb_postNotificationOnMainThread("CBTestPosted"); });
  poster.join();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return seen.count == 2; }));
  EXPECT_EQ(seen.offMainThread, 0);
}

TEST(NotificationHelpers, EnqueuedNotificationsAreMergedAndPostedOnTheMainThread)
{
  Seen seen;
  auto token = observe("CBTestQueued", seen);
  // The one from another thread reaches the main thread before the queue's
  // idle turn, and joins the waiting one.
  std::thread poster([] { cb_enqueueNotificationOnMainThread("CBTestQueued", QStringLiteral("a")); });
  poster.join();
  cb_enqueueNotificationOnMainThread("CBTestQueued", QStringLiteral("a"), {{"first", true}});
  cb_enqueueNotificationOnMainThread("CBTestQueued", QStringLiteral("a"), {{"second", true}});
  EXPECT_EQ(seen.count, 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return seen.count >= 1; }));
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(seen.count, 1);
  EXPECT_EQ(seen.userInfo, (QVariantMap{{"first", true}}));
  EXPECT_EQ(seen.offMainThread, 0);

  // Another object is another notification.
  cb_enqueueIdleNotification(ZPHNotificationQueue::defaultQueue(), {"CBTestQueued", QStringLiteral("b"), {}});
  cb_enqueueIdleNotification(ZPHNotificationQueue::defaultQueue(), {"CBTestQueued", QStringLiteral("c"), {}});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return seen.count == 3; }));
}
