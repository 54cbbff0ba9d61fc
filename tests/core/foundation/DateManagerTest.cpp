#include "foundation/CBDateManager.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

void flushMainQueue()
{
  bool ran = false;
  ZPHMainThread::async([&] { ran = true; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ran; }));
}

QTimeZone zone(const char* id)
{
  QTimeZone tz(id);
  EXPECT_TRUE(tz.isValid()) << "time zone " << id << " is not installed";
  return tz;
}

QDateTime local(const char* zoneID, QDate date, QTime time = QTime(0, 0))
{
  return QDateTime(date, time, zone(zoneID));
}

// A manager whose clock and time zone the test sets.
class DateManagerTest : public ::testing::Test {
protected:
  QDateTime now;
  QTimeZone timeZone;
  std::unique_ptr<CBDateManager> makeManager()
  {
    return std::make_unique<CBDateManager>([this] { return now; }, [this] { return timeZone; });
  }
};

}  // namespace

TEST_F(DateManagerTest, BoundariesAreCalendarDaysInTheUsersTimeZone)
{
  struct Case {
    const char* zone;
    QDateTime now;
    QDate today;
    QTime todayStartsAt;
    qint64 hoursFromYesterday;
    qint64 hoursToTomorrow;
  };
  const Case cases[] = {
      // Daylight-saving time starts at 02:00: a 23-hour day.
      {"Europe/Berlin", local("Europe/Berlin", {2024, 3, 31}, {12, 0}), {2024, 3, 31}, {0, 0}, 24, 23},
      // The day after: yesterday is one calendar day back, 23 hours.
      {"Europe/Berlin", local("Europe/Berlin", {2024, 4, 1}), {2024, 4, 1}, {0, 0}, 23, 24},
      // Daylight-saving time ends: a 25-hour day, up to its last second.
      {"Europe/Berlin", local("Europe/Berlin", {2024, 10, 27}, {23, 59, 59}), {2024, 10, 27}, {0, 0}, 24, 25},
      // Daylight-saving time starts at midnight: the day starts at 01:00.
      {"America/Havana", local("America/Havana", {2024, 3, 10}, {12, 0}), {2024, 3, 10}, {1, 0}, 24, 23},
      // The year boundary, from either side.
      {"America/New_York", local("America/New_York", {2023, 12, 31}, {23, 59, 59}), {2023, 12, 31}, {0, 0}, 24, 24},
      {"America/New_York", local("America/New_York", {2024, 1, 1}), {2024, 1, 1}, {0, 0}, 24, 24},
      // A leap day, seen from a zone far from UTC.
      {"Pacific/Kiritimati", QDateTime({2024, 2, 28}, {10, 0}, Qt::UTC), {2024, 2, 29}, {0, 0}, 24, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + c.now.toString(Qt::ISODate).toStdString());
    now = c.now;
    timeZone = zone(c.zone);
    auto manager = makeManager();

    const QDateTime today = manager->firstSecondOfToday();
    EXPECT_EQ(today, QDateTime(c.today, c.todayStartsAt, timeZone));
    EXPECT_EQ(today.timeSpec(), Qt::UTC);
    EXPECT_EQ(manager->firstSecondOfYesterday().toTimeZone(timeZone).date(), c.today.addDays(-1));
    EXPECT_EQ(manager->firstSecondOfTomorrow().toTimeZone(timeZone).date(), c.today.addDays(1));
    EXPECT_EQ(manager->firstSecondOfYesterday().secsTo(today), c.hoursFromYesterday * 3600);
    EXPECT_EQ(today.secsTo(manager->firstSecondOfTomorrow()), c.hoursToTomorrow * 3600);
    EXPECT_EQ(manager->groupForDate(now), 1);
  }
}

TEST_F(DateManagerTest, EachBoundaryBelongsToTheLaterGroup)
{
  now = local("Europe/Berlin", {2024, 3, 31}, {9, 30});
  timeZone = zone("Europe/Berlin");
  auto manager = makeManager();
  const QDateTime yesterday = manager->firstSecondOfYesterday();
  const QDateTime today = manager->firstSecondOfToday();
  const QDateTime tomorrow = manager->firstSecondOfTomorrow();

  struct Case {
    QDateTime date;
    int group;
  };
  const Case cases[] = {
      {QDateTime(), 3},
      {yesterday.addMSecs(-1), 3},
      {QDateTime({1970, 1, 1}, {0, 0}, Qt::UTC), 3},
      {yesterday, 2},
      {today.addMSecs(-1), 2},
      {today, 1},
      {tomorrow.addMSecs(-1), 1},
      {tomorrow, 0},
      {QDateTime({2100, 1, 1}, {0, 0}, Qt::UTC), 0},
      // The same instant written in another zone groups the same.
      {today.toTimeZone(zone("Asia/Tokyo")), 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(manager->groupForDate(c.date), c.group) << c.date.toString(Qt::ISODateWithMs).toStdString();
}

TEST_F(DateManagerTest, DayChangeIsAnnouncedOnceWithAllThreeBoundariesMoved)
{
  timeZone = zone("Europe/Berlin");
  now = local("Europe/Berlin", {2024, 12, 31}, {23, 59});
  auto manager = makeManager();

  struct Seen {
    QDateTime yesterday, today, tomorrow;
    bool onMainThread;
  };
  QList<Seen> seen;
  auto observer = ZPHNotificationCenter::defaultCenter().addObserver(
      CBDatesDidChangeNotification, QVariant::fromValue(manager.get()), [&](const ZPHNotification& n) {
        EXPECT_TRUE(n.userInfo.isEmpty());
        seen << Seen{manager->firstSecondOfYesterday(), manager->firstSecondOfToday(), manager->firstSecondOfTomorrow(),
                     ZPHMainThread::isMainThread()};
      });

  // The first computation and another in the same day announce nothing.
  now = now.addSecs(59);
  manager->recalculateDates();
  flushMainQueue();
  EXPECT_TRUE(seen.isEmpty());

  // Just past midnight, into a new year.
  now = local("Europe/Berlin", {2025, 1, 1}, {0, 0, 1});
  manager->recalculateDates();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !seen.isEmpty(); }));
  EXPECT_TRUE(seen[0].onMainThread);
  EXPECT_EQ(seen[0].yesterday, local("Europe/Berlin", {2024, 12, 31}));
  EXPECT_EQ(seen[0].today, local("Europe/Berlin", {2025, 1, 1}));
  EXPECT_EQ(seen[0].tomorrow, local("Europe/Berlin", {2025, 1, 2}));

  manager->recalculateDates();
  flushMainQueue();
  EXPECT_EQ(seen.size(), 1);

  // Calls from another thread are announced on the main thread.
  now = now.addDays(1);
  std::thread other([&] { manager->recalculateDates(); });
  other.join();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return seen.size() == 2; }));
  EXPECT_TRUE(seen[1].onMainThread);
}

TEST_F(DateManagerTest, TimeZoneIsTakenAgainAtEveryRecomputation)
{
  now = QDateTime({2024, 6, 15}, {20, 0}, Qt::UTC);
  timeZone = zone("Europe/Berlin");  // 22:00 on the 15th
  auto manager = makeManager();
  EXPECT_EQ(manager->firstSecondOfToday(), local("Europe/Berlin", {2024, 6, 15}));
  int announced = 0;
  auto observer = ZPHNotificationCenter::defaultCenter().addObserver(
      CBDatesDidChangeNotification, QVariant::fromValue(manager.get()), [&](const ZPHNotification&) { ++announced; });

  timeZone = zone("Asia/Tokyo");  // 05:00 on the 16th
  manager->recalculateDates();
  EXPECT_EQ(manager->userTimeZone(), zone("Asia/Tokyo"));
  EXPECT_EQ(manager->firstSecondOfToday(), local("Asia/Tokyo", {2024, 6, 16}));
  EXPECT_EQ(manager->firstSecondOfYesterday(), local("Asia/Tokyo", {2024, 6, 15}));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return announced == 1; }));
}

TEST_F(DateManagerTest, YearAndMonthAreThoseOfTheUsersCalendarAndTimeZone)
{
  const QDateTime newYearInEurope({2023, 12, 31}, {23, 30}, Qt::UTC);
  struct Case {
    const char* zone;
    int year;
    int month;
  };
  const Case cases[] = {{"Europe/Berlin", 2024, 1}, {"America/New_York", 2023, 12}, {"UTC", 2023, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zone);
    now = newYearInEurope;
    timeZone = zone(c.zone);
    auto manager = makeManager();
    int year = 0;
    int month = 0;
    manager->year(&year, &month, newYearInEurope);
    EXPECT_EQ(year, c.year);
    EXPECT_EQ(month, c.month);

    manager->year(&year, nullptr, QDateTime({2020, 7, 1}, {12, 0}, Qt::UTC));
    EXPECT_EQ(year, 2020);
    EXPECT_EQ(month, c.month);
    manager->year(&year, &month, QDateTime());  // no date: nothing written
    EXPECT_EQ(year, 2020);
    EXPECT_EQ(month, c.month);
  }
}

TEST(DateManager, SharedManagerLivesOnTheMainThreadWithItsTimer)
{
  // Asked first from another thread, it is still made on the main thread.
  std::atomic<CBDateManager*> fromOtherThread{nullptr};
  std::thread other([&] { fromOtherThread = CBDateManager::sharedManager(); });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return fromOtherThread.load() != nullptr; }));
  other.join();
  CBDateManager* manager = CBDateManager::sharedManager();
  EXPECT_EQ(manager, fromOtherThread.load());
  EXPECT_EQ(manager->thread(), QCoreApplication::instance()->thread());

  ASSERT_NE(manager->recalculateDatesTimer(), nullptr);
  EXPECT_TRUE(manager->recalculateDatesTimer()->isActive());
  EXPECT_EQ(manager->recalculateDatesTimer()->interval(), 900 * 1000);
  EXPECT_FALSE(manager->recalculateDatesTimer()->isSingleShot());

  // The system clock and zone: yesterday, today and tomorrow are consecutive
  // local days.
  const QTimeZone system = QTimeZone::systemTimeZone();
  const QDate today = manager->firstSecondOfToday().toTimeZone(system).date();
  EXPECT_EQ(manager->firstSecondOfYesterday().toTimeZone(system).date(), today.addDays(-1));
  EXPECT_EQ(manager->firstSecondOfTomorrow().toTimeZone(system).date(), today.addDays(1));
  EXPECT_LE(manager->firstSecondOfToday(), QDateTime::currentDateTimeUtc());
}
