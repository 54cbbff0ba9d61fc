#include "foundation/CBDates.h"

#include <QtCore/QLocale>

#include <gtest/gtest.h>

#include <ctime>

namespace {

// Sets the process's time zone for one test and puts the old one back.
class ScopedTimeZone {
public:
  explicit ScopedTimeZone(const char* zone) : m_wasSet(qEnvironmentVariableIsSet("TZ")), m_old(qgetenv("TZ"))
  {
    qputenv("TZ", zone);
    tzset();
  }
  ~ScopedTimeZone()
  {
    if (m_wasSet)
      qputenv("TZ", m_old);
    else
      qunsetenv("TZ");
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
  bool m_wasSet;
  QByteArray m_old;
};

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
  return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}

QDateTime local(const QDate& date, int hour = 0, int minute = 0)
{
  return QDateTime(date, QTime(hour, minute), Qt::LocalTime);
}

// The formatters keep the patterns of the locale they first see: every test
// that formats sets the same one first.
class DateFormats : public ::testing::Test {
protected:
  void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

}  // namespace

TEST(Dates, CalendarGroupBoundaries)
{
  ScopedTimeZone zone("Europe/Berlin");
  const QDate day(2024, 3, 15);
  const QDateTime now = local(day, 12);
  const struct {
    QDateTime date;
    int group;
  } cases[] = {
      {local(day.addDays(5)), 0},
      {local(day.addDays(1)), 0},
      {local(day.addDays(1)).addMSecs(-1), 1},
      {local(day), 1},
      {local(day).addMSecs(-1), 2},
      {local(day.addDays(-1)), 2},
      {local(day.addDays(-1)).addMSecs(-1), 3},
      {local(day.addDays(-2)), 3},
      {local(day.addDays(-2)).addMSecs(-1), 4},
      {QDateTime(), 4},
  };
  for (const auto& c : cases)
    EXPECT_EQ(cb_calendarGroup(c.date, now), c.group) << c.date.toString(Qt::ISODateWithMs).toStdString();
}

TEST(Dates, CalendarGroupCountsCalendarDaysAcrossDaylightSavingChanges)
{
  ScopedTimeZone zone("Europe/Berlin");
  const QDate spring(2024, 3, 31);   // 23 hours long
  const QDate autumn(2024, 10, 27);  // 25 hours long
  const struct {
    QDateTime now;
    QDateTime date;
    int group;
  } cases[] = {
      {local(spring, 12), local(spring).addSecs(23 * 3600), 0},
      {local(spring, 12), local(spring).addSecs(23 * 3600 - 1), 1},
      {local(autumn, 12), local(autumn).addSecs(24 * 3600 + 1800), 1},
      {local(autumn.addDays(1), 12), local(autumn.addDays(1)).addSecs(-(24 * 3600 + 1800)), 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(cb_calendarGroup(c.date, c.now), c.group) << c.date.toString(Qt::ISODate).toStdString();
}

TEST(Dates, CalendarGroupFollowsTheWholeDateAndTheZone)
{
  const QDateTime noon = utc(2024, 3, 10, 12);
  const QDateTime lateEvening = utc(2024, 3, 10, 23, 30);
  {
    ScopedTimeZone zone("UTC");
    const QDateTime january = utc(2024, 1, 15, 10);
    const QDateTime february = utc(2024, 2, 15, 10);  // the same day of the month
    EXPECT_EQ(cb_calendarGroup(january.addSecs(-7200), january), 1);
    EXPECT_EQ(cb_calendarGroup(february.addSecs(-7200), february), 1);
    EXPECT_EQ(cb_calendarGroup(january.addSecs(-7200), february), 4);

    EXPECT_EQ(cb_calendarGroup(lateEvening, noon), 1);
  }
  // Moments later, on the same local date, in a zone one hour ahead.
  ScopedTimeZone zone("Europe/Berlin");
  EXPECT_EQ(cb_calendarGroup(lateEvening, noon), 0);
}

TEST_F(DateFormats, TodayAndContextualStrings)
{
  const QDateTime now = QDateTime::currentDateTime();
  EXPECT_EQ(cb_calendarGroup(now), 1);
  EXPECT_TRUE(cb_isToday(now));
  EXPECT_FALSE(cb_isToday(now.addDays(-2)));
  EXPECT_FALSE(cb_isToday(QDateTime()));
  EXPECT_EQ(cb_contextualDateString(now), cb_hourMinuteString(now));
  EXPECT_EQ(cb_contextualDateString(now.addDays(-3)), cb_mediumDateOnlyString(now.addDays(-3)));

  const QDateTime before = QDateTime::currentDateTimeUtc();
  const QDateTime past = cb_dateWithNumberOfDaysInThePast(2);
  const QDateTime after = QDateTime::currentDateTimeUtc();
  EXPECT_LE(before.addSecs(-2 * 86400), past);
  EXPECT_GE(after.addSecs(-2 * 86400), past);
}

TEST_F(DateFormats, StylesInTheUserLocaleAndZone)
{
  ScopedTimeZone zone("America/New_York");
  const QDateTime date = utc(2024, 1, 5, 20, 4, 5);  // 15:04:05 in New York
  const struct {
    QString (*format)(const QDateTime&);
    const char* expected;
  } cases[] = {
      {cb_hourMinuteString, "3:04 PM"},
      {cb_shortTimeOnlyString, "3:04 PM"},
      {cb_mediumTimeOnlyString, "3:04:05 PM"},
      {cb_shortDateOnlyString, "1/5/24"},
      {cb_mediumDateOnlyString, "Jan 5, 2024"},
      {cb_shortDateAndTimeString, "1/5/24 3:04 PM"},
      {cb_mediumDateAndTimeString, "Jan 5, 2024 3:04:05 PM"},
      {cb_longDateAndTimeString, "January 5, 2024 3:04:05 PM EST"},
      {cb_monthDayYearHourMinuteString, "Jan 5, 2024 3:04 PM"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.format(date), QString::fromUtf8(c.expected));
    EXPECT_TRUE(c.format(QDateTime()).isNull());
  }
}

TEST_F(DateFormats, ShortTimesHaveNoSecondsInAnyLocale)
{
  // The C locale's short time format has seconds; the short styles drop
  // them (the article page's date), the medium ones keep them.
  ScopedTimeZone zone("UTC");
  const QDateTime date = utc(2026, 1, 1, 13, 11, 6);
  for (const QLocale& locale :
       {QLocale::c(), QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::English, QLocale::UnitedKingdom)}) {
    SCOPED_TRACE(locale.name().toStdString());
    QLocale::setDefault(locale);
    EXPECT_TRUE(cb_shortDateAndTimeString(date).endsWith(QStringLiteral("13:11")))
        << cb_shortDateAndTimeString(date).toStdString();
    EXPECT_EQ(cb_shortTimeOnlyString(date), QStringLiteral("13:11"));
    EXPECT_EQ(cb_hourMinuteString(date), QStringLiteral("13:11"));
    EXPECT_TRUE(cb_mediumTimeOnlyString(date).startsWith(QStringLiteral("13:11:06")));
  }
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST(Dates, W3CAndISOStrings)
{
  const QDateTime reference = utc(2001, 1, 1);
  const struct {
    const char* zone;
    QDateTime date;
    const char* w3c;
  } cases[] = {
      {"UTC", reference, "2001-01-01T00:00:00Z"},
      {"Europe/London", reference, "2001-01-01T00:00:00Z"},
      {"Asia/Kolkata", reference, "2001-01-01T05:30:00+05:30"},
      {"America/New_York", reference, "2000-12-31T19:00:00-05:00"},
      {"America/New_York", utc(2024, 7, 4, 16), "2024-07-04T12:00:00-04:00"},
      // An offset of -0:44:30 has no hh:mm form: the time is given in UTC.
      {"Africa/Monrovia", utc(1960, 6, 1, 12), "1960-06-01T12:00:00Z"},
  };
  for (const auto& c : cases) {
    ScopedTimeZone zone(c.zone);
    EXPECT_EQ(cb_w3cString(c.date), QString::fromLatin1(c.w3c)) << c.zone;
    EXPECT_EQ(cb_isoString(reference), "2001-01-01T00:00:00Z") << c.zone;
  }
  EXPECT_TRUE(cb_w3cString(QDateTime()).isNull());
  EXPECT_TRUE(cb_isoString(QDateTime()).isNull());

  EXPECT_EQ(cb_unixTimestampStringWithNoDecimal(reference), "978307200");
  EXPECT_EQ(cb_unixTimestampStringWithNoDecimal(reference.addMSecs(400)), "978307200");
  EXPECT_EQ(cb_unixTimestampStringWithNoDecimal(reference.addMSecs(600)), "978307201");
}

TEST(Dates, YearMonthDayInLocalTime)
{
  ScopedTimeZone zone("Europe/Berlin");
  int year = 0;
  int month = 0;
  int day = 0;
  cb_year(utc(2023, 12, 31, 23, 30), &year, &month, &day);
  EXPECT_EQ(year, 2024);
  EXPECT_EQ(month, 1);
  EXPECT_EQ(day, 1);
  cb_year(utc(2023, 6, 15), &year, &month);
  EXPECT_EQ(year, 2023);
  EXPECT_EQ(month, 6);
  cb_year(utc(2023, 6, 15), nullptr, nullptr, nullptr);
}
