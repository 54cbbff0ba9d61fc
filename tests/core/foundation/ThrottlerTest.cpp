#include "foundation/CBEventThrottler.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QMutex>
#include <QtCore/QObject>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// Timing: timers fire only while the main event loop is served. Tests that
// must keep a burst together trigger without serving it (or serve only the
// queued calls, never timers), so a slow machine cannot split a burst.

namespace {

// Runs everything queued on the main thread so far.
void flushMainQueue()
{
  bool ran = false;
  ZPHMainThread::async([&] { ran = true; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ran; }));
}

struct Calls {
  QList<QVariantList> deliveries;
  int onOtherThreads = 0;
  CBEventThrottler::Selector selector()
  {
    return [this](const QVariantList& notifications) {
      deliveries << notifications;
      if (!ZPHMainThread::isMainThread())
        ++onOtherThreads;
    };
  }
  int count() const { return static_cast<int>(deliveries.size()); }
};

// Records log lines while it lives.
class LogCapture {
public:
  LogCapture() { m_previous = qInstallMessageHandler(&LogCapture::handle); }
  ~LogCapture() { qInstallMessageHandler(m_previous); }
  static QStringList lines()
  {
    QMutexLocker locker(&mutex());
    return storage();
  }
  static void clear()
  {
    QMutexLocker locker(&mutex());
    storage().clear();
  }

private:
  static QMutex& mutex()
  {
    static QMutex m;
    return m;
  }
  static QStringList& storage()
  {
    static QStringList s;
    return s;
  }
  static void handle(QtMsgType, const QMessageLogContext&, const QString& message)
  {
    QMutexLocker locker(&mutex());
    storage() << message;
  }
  QtMessageHandler m_previous = nullptr;
};

QStringList recordKeys(const QVariant& record)
{
  QStringList keys = record.toMap().keys();
  keys.sort();
  return keys;
}

}  // namespace

TEST(EventThrottler, BurstGivesOneCallATimeoutAfterItsLastTrigger)
{
  Calls calls;
  CBEventThrottler throttler(calls.selector(), 0.3);
  EXPECT_FALSE(throttler.eventTriggered());

  QElapsedTimer sinceLastTrigger;
  for (int i = 0; i < 5; ++i) {
    if (i > 0)
      QThread::msleep(100);  // 0.4 s in all: a delay that did not restart would have run out
    throttler.setEventTriggered(true);
    sinceLastTrigger.start();
    QCoreApplication::sendPostedEvents();  // runs the queued re-arming, never a timer
  }
  EXPECT_TRUE(throttler.eventTriggered());
  EXPECT_TRUE(throttler.hasEventTimer());
  EXPECT_EQ(calls.count(), 0);

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() > 0; }));
  EXPECT_GE(sinceLastTrigger.elapsed(), 300);
  EXPECT_EQ(calls.deliveries.first(), QVariantList());  // called even with nothing collected
  EXPECT_EQ(calls.onOtherThreads, 0);
  EXPECT_FALSE(throttler.eventTriggered());
  EXPECT_FALSE(throttler.hasEventTimer());

  ZPHTestSpinEventLoop(700);
  EXPECT_EQ(calls.count(), 1);

  // The next trigger starts a new burst.
  throttler.setEventTriggered(true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() == 2; }));
}

TEST(EventThrottler, TriggersAndNotificationsFromManyThreadsMakeOneDelivery)
{
  Calls calls;
  CBEventThrottler throttler(calls.selector(), 0.05);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&throttler, t] {
      for (int i = 0; i < 200; ++i) {
        // Every thread adds the same four notifications over and over.
        throttler.addNotification(QStringLiteral("N"), QString::number(i % 4));
        throttler.setEventTriggered(true);
        if (i == 0)
          throttler.addNotification(QStringLiteral("T"), t);
      }
    });
  }
  for (auto& thread : threads) thread.join();

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() > 0; }));
  ZPHTestSpinEventLoop(200);
  ASSERT_EQ(calls.count(), 1);
  EXPECT_EQ(calls.onOtherThreads, 0);
  const QVariantList& records = calls.deliveries.first();
  ASSERT_EQ(records.size(), 8);
  QStringList seen;
  for (const QVariant& record : records)
    seen << record.toMap().value("name").toString() + record.toMap().value("object").toString();
  seen.sort();
  EXPECT_EQ(seen, (QStringList{"N0", "N1", "N2", "N3", "T0", "T1", "T2", "T3"}));
}

TEST(EventThrottler, BumpUntilIdleDeliversOnlyAfterAFullQuietTimeout)
{
  struct Case {
    QString tag;
    int rounds;
  };
  const Case cases[] = {{QStringLiteral("unreadCounts"), 4}, {QString(), 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag.isNull() ? "no tag" : c.tag.toStdString());
    Calls calls;
    CBEventThrottler throttler(calls.selector(), 0.1);
    throttler.setFireAfterMaxPostpones(true);
    throttler.setBumpUntilIdle(true);
    EXPECT_FALSE(throttler.fireAfterMaxPostpones());
    throttler.setTag(c.tag);
    LogCapture log;
    LogCapture::clear();

    throttler.setEventTriggered(true);
    throttler.setEventTriggered(true);
    EXPECT_TRUE(throttler.bumped());
    for (int round = 0; round < c.rounds; ++round) {
      // The timer goes off with a trigger pending: it re-arms instead of
      // delivering.
      ASSERT_TRUE(ZPHTestWaitUntil([&] { return !throttler.bumped(); }));
      EXPECT_EQ(calls.count(), 0);
      EXPECT_TRUE(throttler.eventTriggered());
      throttler.setEventTriggered(true);
      EXPECT_TRUE(throttler.bumped());
    }
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() > 0; }));
    ZPHTestSpinEventLoop(300);
    EXPECT_EQ(calls.count(), 1);
    EXPECT_FALSE(throttler.hasEventTimer());

    const QStringList lines = LogCapture::lines();
    if (c.tag.isNull()) {
      EXPECT_TRUE(lines.filter("bump", Qt::CaseInsensitive).isEmpty()) << lines.join('\n').toStdString();
    } else {
      EXPECT_EQ(lines.count("bump: unreadCounts"), c.rounds + 1);
      EXPECT_EQ(lines.count("Bumping timer: unreadCounts"), c.rounds + 1);
      EXPECT_EQ(lines.count("bump complete: unreadCounts"), 1);
    }
  }
}

TEST(EventThrottler, IsIdleOnlyOnceEveryTriggerHasReachedTheSelector)
{
  // What a reader of the selector's work waits for: the timer alone says
  // nothing of a re-arming queued from another thread, nor of a firing whose
  // call is still queued.
  Calls calls;
  CBEventThrottler throttler(calls.selector(), 0.05);
  EXPECT_TRUE(throttler.isIdle());
  std::thread([&] { throttler.setEventTriggered(true); }).join();
  EXPECT_FALSE(throttler.hasEventTimer());
  EXPECT_FALSE(throttler.isIdle());
  QCoreApplication::sendPostedEvents();  // the re-arming, never a timer
  EXPECT_TRUE(throttler.hasEventTimer());
  EXPECT_FALSE(throttler.isIdle());
  throttler.eventTimerDidFire();
  EXPECT_FALSE(throttler.hasEventTimer());
  EXPECT_FALSE(throttler.isIdle());
  EXPECT_EQ(calls.count(), 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return throttler.isIdle(); }));
  EXPECT_EQ(calls.count(), 1);
}

TEST(EventThrottler, FireAfterMaxPostponesMakesOneCallPerBurst)
{
  // However the main thread keeps up with the re-armings queued by the
  // burst, the burst delivers once: at its 13th trigger.
  enum Serving { NotServed, ServedBetweenTriggers, TriggeredFromAnotherThread };
  for (Serving serving : {NotServed, ServedBetweenTriggers, TriggeredFromAnotherThread}) {
    SCOPED_TRACE(serving);
    Calls calls;
    CBEventThrottler throttler(calls.selector(), 0.2);
    throttler.setFireAfterMaxPostpones(true);
    throttler.setMaxPostPones(10);
    throttler.addNotification(QStringLiteral("Saved"));

    QList<int> counts;
    const auto burst = [&] {
      for (int trigger = 1; trigger <= 13; ++trigger) {
        throttler.setEventTriggered(true);
        counts << throttler.numberOfPostpones();
        if (serving == ServedBetweenTriggers)
          QCoreApplication::sendPostedEvents();
      }
    };
    if (serving == TriggeredFromAnotherThread) {
      // The main thread runs the queued re-armings (never a timer) while the
      // other thread triggers, and the immediate firing cancels from there.
      std::atomic<bool> done{false};
      std::thread other([&] {
        burst();
        done = true;
      });
      while (!done) QCoreApplication::sendPostedEvents();
      other.join();
    } else {
      burst();
    }
    EXPECT_EQ(counts, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0}));
    EXPECT_FALSE(throttler.eventTriggered());

    ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() > 0; }));
    EXPECT_EQ(calls.onOtherThreads, 0);
    EXPECT_EQ(calls.deliveries.first().size(), 1);
    flushMainQueue();
    EXPECT_FALSE(throttler.hasEventTimer());
    ZPHTestSpinEventLoop(500);
    EXPECT_EQ(calls.count(), 1) << "a re-arming queued during the burst delivered again";

    // The count starts again: the next trigger begins a new burst, which the
    // timer ends.
    throttler.setEventTriggered(true);
    EXPECT_TRUE(throttler.eventTriggered());
    EXPECT_EQ(throttler.numberOfPostpones(), 0);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() == 2; }));
    EXPECT_TRUE(calls.deliveries.last().isEmpty());
  }
}

TEST(EventThrottler, CollectedNotificationsArePostedOnceInOrderBeforeTheCall)
{
  for (bool pass : {false, true}) {
    SCOPED_TRACE(pass ? "passNotifications" : "posting");
    QStringList events;
    auto observer = ZPHNotificationCenter::defaultCenter().addObserver(QString(), {}, [&](const ZPHNotification& n) {
      if (!n.name.startsWith("Throttled"))
        return;
      QString event = n.name + "/" + n.object.toString();
      if (!n.userInfo.isEmpty())
        event += "/" + n.userInfo.value("k").toString();
      events << event;
    });
    QObject target;
    CBEventThrottler throttler(
        &target, [&](const QVariantList& records) { events << "call:" + QString::number(records.size()); }, 0.05);
    throttler.setPassNotifications(pass);

    throttler.addNotification("ThrottledA", QStringLiteral("x"));
    throttler.setEventTriggered(true);
    throttler.addNotification("ThrottledA", QStringLiteral("x"));
    throttler.addNotification("ThrottledA", QStringLiteral("x"));
    throttler.addNotification("ThrottledA", QStringLiteral("y"));
    throttler.addNotification("ThrottledB");
    throttler.addNotification("ThrottledB", {}, QVariantMap{{"k", "v"}});
    throttler.addNotification("ThrottledB", {}, QVariantMap{});        // an empty payload is still a payload
    throttler.addNotification("ThrottledB", QStringLiteral("<nil>"));  // a present object, whatever its text
    throttler.addNotification("ThrottledB", {}, QVariantMap{{"k", "v"}});
    throttler.addNotification("ThrottledB", 7);
    throttler.addNotification("ThrottledB", QStringLiteral("7"));  // 7 and "7" are not the same object
    const QVariantList collected = throttler.notifications();
    ASSERT_EQ(collected.size(), 8);
    EXPECT_EQ(recordKeys(collected[0]), (QStringList{"name", "object"}));
    EXPECT_EQ(recordKeys(collected[2]), QStringList{"name"});
    EXPECT_EQ(recordKeys(collected[3]), (QStringList{"name", "userInfo"}));
    EXPECT_EQ(collected[3].toMap().value("userInfo").toMap(), (QVariantMap{{"k", "v"}}));
    EXPECT_EQ(recordKeys(collected[4]), (QStringList{"name", "userInfo"}));

    ASSERT_TRUE(ZPHTestWaitUntil([&] { return events.contains("call:8"); }));
    if (pass) {
      EXPECT_EQ(events, QStringList{"call:8"});
    } else {
      EXPECT_EQ(events, (QStringList{"ThrottledA/x", "ThrottledA/y", "ThrottledB/", "ThrottledB//v", "ThrottledB/",
                                     "ThrottledB/<nil>", "ThrottledB/7", "ThrottledB/7", "call:8"}));
    }
    EXPECT_TRUE(throttler.notifications().isEmpty());
    EXPECT_TRUE(throttler.notificationDictionary().isEmpty());
  }
}

TEST(EventThrottler, ObjectsAreToldApartByIdentity)
{
  Calls calls;
  CBEventThrottler throttler(calls.selector(), 0.05);
  QObject first;
  QObject second;
  const auto shared = std::make_shared<int>(1);
  throttler.addNotification("Changed", QVariant::fromValue(&first));
  throttler.addNotification("Changed", QVariant::fromValue(&second));
  throttler.addNotification("Changed", QVariant::fromValue(&first));
  throttler.addNotification("Changed", QVariant::fromValue(shared));
  throttler.addNotification("Changed", QVariant::fromValue(std::make_shared<int>(1)));
  throttler.addNotification("Changed", QVariant::fromValue(shared));
  ASSERT_EQ(throttler.notifications().size(), 4);
  EXPECT_EQ(throttler.notifications()[1].toMap().value("object").value<QObject*>(), &second);
}

TEST(EventThrottler, TriggerDuringDeliveryStartsANewBurst)
{
  Calls calls;
  CBEventThrottler throttler(calls.selector(), 0.05);
  // Posting the first burst's records happens after the firing has taken
  // them; what is collected from here on belongs to the next burst.
  auto observer = ZPHNotificationCenter::defaultCenter().addObserver("FirstBurst", {}, [&](const ZPHNotification&) {
    throttler.addNotification("SecondBurst");
    throttler.setEventTriggered(true);
  });
  throttler.addNotification("FirstBurst");
  throttler.setEventTriggered(true);

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() == 2; }));
  EXPECT_EQ(calls.deliveries[0], (QVariantList{QVariantMap{{"name", "FirstBurst"}}}));
  EXPECT_EQ(calls.deliveries[1], (QVariantList{QVariantMap{{"name", "SecondBurst"}}}));
}

TEST(EventThrottler, TimeoutCalculatorSetsTheDelayBeforeEachArming)
{
  Calls calls;
  CBEventThrottler throttler(calls.selector(), 3600);
  int asked = 0;
  throttler.setTimeoutCalculator([&](CBEventThrottler& t) {
    ++asked;
    EXPECT_EQ(&t, &throttler);
    t.setTimeout(0.02);
  });
  throttler.setEventTriggered(true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return calls.count() == 1; }));
  EXPECT_EQ(asked, 1);
  EXPECT_DOUBLE_EQ(throttler.timeout(), 0.02);
}

TEST(EventThrottler, NothingIsCalledForAGoneTargetOrThrottler)
{
  int posted = 0;
  auto observer =
      ZPHNotificationCenter::defaultCenter().addObserver("Gone", {}, [&](const ZPHNotification&) { ++posted; });
  int called = 0;
  const auto selector = [&](const QVariantList&) { ++called; };

  // The target goes away during the burst: the records are still posted.
  auto target = std::make_unique<QObject>();
  CBEventThrottler throttler(target.get(), selector, 0.05);
  throttler.addNotification("Gone");
  throttler.setEventTriggered(true);
  target.reset();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return posted == 1; }));
  flushMainQueue();
  EXPECT_EQ(called, 0);

  // A null target is no target.
  CBEventThrottler untargeted(nullptr, selector, 0.01);
  untargeted.setEventTriggered(true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !untargeted.eventTriggered(); }));
  flushMainQueue();
  EXPECT_EQ(called, 0);

  // The throttler goes away with a timer armed, or with a delivery queued.
  for (bool fired : {false, true}) {
    auto doomed = std::make_unique<CBEventThrottler>(selector, 0.05);
    doomed->addNotification("Gone");
    doomed->setEventTriggered(true);
    QCoreApplication::sendPostedEvents();
    if (fired)
      doomed->eventTimerDidFire();
    doomed.reset();
    ZPHTestSpinEventLoop(150);
  }
  EXPECT_EQ(called, 0);
  EXPECT_EQ(posted, 1);
}
