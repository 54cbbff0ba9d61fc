#include "foundation/CBCalendarDate.h"

#include <QtCore/QLocale>

#include <gtest/gtest.h>

using namespace CobbletonExtras;

namespace {

// The local zone of these tests: two hours ahead of UTC, so that a date read
// in the local zone is told apart from one read in UTC.
const QTimeZone kLocal(2 * 3600);

QDateTime at(int y, int mo, int d, int h, int mi, int s, const QTimeZone& zone)
{
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s), zone);
}

// The instant in UTC with milliseconds, or "null".
std::string utc(const QDateTime& date)
{
  return date.isValid() ? date.toUTC().toString(Qt::ISODateWithMs).toStdString() : std::string("nil");
}

struct ReadCase {
  const char* text;
  const char* utc;    // expected instant, or "null"
  int offsetMinutes;  // expected zone of the date read
};

void expectReads(const ReadCase& c, const QDateTime& date)
{
  EXPECT_EQ(utc(date), c.utc) << "reading \"" << c.text << '"';
  if (date.isValid()) {
    EXPECT_EQ(date.offsetFromUtc(), c.offsetMinutes * 60) << "reading \"" << c.text << '"';
  }
}

}  // namespace

TEST(CalendarDate, RFC822ReadsOffsetsNamesAndTheVariantsOfFeeds)
{
  const ReadCase cases[] = {
      // Named zones, with and without weekday and seconds.
      {"Sat, 07 Sep 2002 00:00:01 GMT", "2002-09-07T00:00:01.000Z", 0},
      {"Sat, 07 Sep 2002 00:01 EST", "2002-09-07T05:01:00.000Z", -300},
      {"07 Sep 2002 00:00:01 PDT", "2002-09-07T07:00:01.000Z", -420},
      {"07 Sep 2002 00:01 UT", "2002-09-07T00:01:00.000Z", 0},
      {"Sat, 07 Sep 2002 00:00:01 IST", "2002-09-06T18:30:01.000Z", 330},
      {"Sat, 07 Sep 2002 00:00:01 CEST", "2002-09-06T22:00:01.000Z", 120},
      // Two-digit years: first read as years 2, 0 and 99, then again.
      {"Sat, 07 Sep 02 00:00:01 GMT", "2002-09-07T00:00:01.000Z", 0},
      {"Sat, 07 Sep 00 00:00:01 GMT", "2000-09-07T00:00:01.000Z", 0},
      {"Sat, 07 Sep 99 00:00:01 GMT", "1999-09-07T00:00:01.000Z", 0},
      {"07 Sep 02 10:00:01 JST", "2002-09-07T01:00:01.000Z", 540},
      // No time: midnight in the local zone.
      {"Sat, 07 Sep 2002", "2002-09-06T22:00:00.000Z", 120},
      {"Sat, 07 Sep 02", "2002-09-06T22:00:00.000Z", 120},
      // Numeric offsets and Twitter's order.
      {"Sat, 07 Sep 2002 00:00:01 +0200", "2002-09-06T22:00:01.000Z", 120},
      {"07 Sep 2002 00:00:01 -0530", "2002-09-07T05:30:01.000Z", -330},
      {"Wed Aug 27 13:08:45 +0000 2008", "2008-08-27T13:08:45.000Z", 0},
      // Milliseconds before GMT are dropped only as ".ddd GMT".
      {"Sat, 07 Sep 2002 00:00:01.000 GMT", "2002-09-07T00:00:01.000Z", 0},
      {"Sat, 07 Sep 2002 00:00:01.00 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01.0000 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01.000 EST", "nil", 0},
      // Names without regard to case, full names, blanks.
      {"saturday, 7 september 2002 00:00:01 gmt", "2002-09-07T00:00:01.000Z", 0},
      {"  Sat,  7 Sep 2002  00:00:01 GMT \n", "2002-09-07T00:00:01.000Z", 0},
      {"Sun, 29 Feb 2004 00:00:01 GMT", "2004-02-29T00:00:01.000Z", 0},
      // Out of range: null, never a rolled-over date.
      {"Sat, 32 Sep 2002 00:00:01 GMT", "nil", 0},
      {"Sat, 31 Sep 2002 00:00:01 GMT", "nil", 0},
      {"Sat, 29 Feb 2001 00:00:01 GMT", "nil", 0},
      {"Sat, 00 Sep 2002 00:00:01 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 25:00:01 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 24:00:00 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 00:60:00 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:60 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 +1500", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 +0260", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 +02", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 +02:00", "nil", 0},
      // Unknown names, trailing text, hostile input.
      {"Sat, 07 Foo 2002 00:00:01 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 XYZ", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 GMT+1", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 GMT trailing", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01 GMTX", "nil", 0},
      {"Sat, 07 Sep 20021 00:00:01 GMT", "nil", 0},
      {"Sat, 99999999999999999999 Sep 2002 00:00:01 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 99999999999999999999:00:01 GMT", "nil", 0},
      {"Sat, \u0660\u0667 Sep 2002 00:00:01 GMT", "nil", 0},
      {"Sat, 07 Sep 2002 00:00:01", "nil", 0},
      {"%a, %d %b %Y", "nil", 0},
      {"GMT", "nil", 0},
      {".000 GMT", "nil", 0},
      {"", "nil", 0},
      {"garbage", "nil", 0},
  };
  for (const ReadCase& c : cases) expectReads(c, dateWithRFC822DatetimeString(QString::fromUtf8(c.text), kLocal));

  EXPECT_FALSE(dateWithRFC822DatetimeString(QString(), kLocal).isValid());
  EXPECT_FALSE(dateWithRFC822DatetimeString(QString(100000, QLatin1Char('9')) + QStringLiteral(" GMT")).isValid());
}

TEST(CalendarDate, W3CReadsDateTimesWithZoneAndPartialDatesInTheLocalZone)
{
  const ReadCase cases[] = {
      {"2003-12-13T18:30:02Z", "2003-12-13T18:30:02.000Z", 0},
      {"2003-12-13T18:30:02.25+01:00", "2003-12-13T17:30:02.250Z", 60},
      {"2003-12-13T18:30:02.123456789-05:00", "2003-12-13T23:30:02.123Z", -300},
      {"2003-12-13T18:30:02.5Z", "2003-12-13T18:30:02.500Z", 0},
      {"2003-12-13T18:30Z", "2003-12-13T18:30:00.000Z", 0},
      {"2003-12-13T18:30:02+05:30", "2003-12-13T13:00:02.000Z", 330},
      {"2003-12-13T18:30:02+0530", "2003-12-13T13:00:02.000Z", 330},
      {"2003-12-13", "2003-12-12T22:00:00.000Z", 120},
      {"2003-12", "2003-11-30T22:00:00.000Z", 120},
      {"2003", "2002-12-31T22:00:00.000Z", 120},
      // A time needs a zone; fields out of range; trailing and hostile text.
      {"2003-12-13T18:30:02", "nil", 0},
      {"2003-13", "nil", 0},
      {"2003-12-32", "nil", 0},
      {"2003-02-29", "nil", 0},
      {"2003-12-13T25:00Z", "nil", 0},
      {"2003-12-13T18:30:02+99:00", "nil", 0},
      {"2003-12-13T18:30:02.Z", "nil", 0},
      {"2003-12-13T18:30:02Zjunk", "nil", 0},
      {"2003-12-13t18:30:02z", "nil", 0},
      {"2003-12-13T", "nil", 0},
      {"20031-12-13", "nil", 0},
      {"T", "nil", 0},
      {"-", "nil", 0},
      {"+:::", "nil", 0},
      {"ZZZZZ", "nil", 0},
      {"", "nil", 0},
  };
  for (const ReadCase& c : cases) expectReads(c, dateWithW3CDatetimeString(QString::fromUtf8(c.text), kLocal));

  EXPECT_FALSE(dateWithW3CDatetimeString(QString(), kLocal).isValid());
}

TEST(CalendarDate, UnknownFormatPicksTheReaderFromTheText)
{
  const ReadCase cases[] = {
      {"20031213", "2003-12-12T22:00:00.000Z", 120},
      {"20031213T183002", "2003-12-13T16:30:02.000Z", 120},
      {"Sat, 13 Dec 2003 18:30:02 GMT", "2003-12-13T18:30:02.000Z", 0},
      {"2003-12-13T18:30:02Z", "2003-12-13T18:30:02.000Z", 0},
      {"2003-12-13", "2003-12-12T22:00:00.000Z", 120},
      {"13 Dec 2003", "nil", 0},
      {"Sat, garbage", "nil", 0},
      {"20031313", "nil", 0},
      {"2003121399", "nil", 0},
      {"20031213t183002", "nil", 0},
      {"20031213T183002Z", "nil", 0},
      {"", "nil", 0},
  };
  for (const ReadCase& c : cases) expectReads(c, dateWithUnknownFormat(QString::fromUtf8(c.text), kLocal));
}

TEST(CalendarDate, BeginningOfDayKeepsTheDateAndItsZone)
{
  const QTimeZone zones[] = {QTimeZone::utc(), QTimeZone(19800), QTimeZone(-8 * 3600), QTimeZone("Europe/Berlin"),
                             QTimeZone("America/Los_Angeles")};
  for (const QTimeZone& zone : zones) {
    const QDateTime midnight = beginningOfDay(at(2012, 3, 7, 15, 20, 11, zone));
    EXPECT_EQ(midnight, QDateTime(QDate(2012, 3, 7), QTime(0, 0), zone)) << zone.id().constData();
    EXPECT_EQ(midnight.date(), QDate(2012, 3, 7));
    EXPECT_EQ(midnight.time(), QTime(0, 0));
    EXPECT_EQ(midnight.timeZone(), zone);
  }
  EXPECT_FALSE(beginningOfDay(QDateTime()).isValid());
  // Santiago's clocks went from 00:00 to 01:00 on 2024-09-08: that day
  // begins at one in the morning.
  const QTimeZone santiago("America/Santiago");
  ASSERT_TRUE(santiago.isValid());
  const QDateTime dawn = beginningOfDay(QDateTime(QDate(2024, 9, 8), QTime(12, 0), santiago));
  EXPECT_EQ(dawn.toUTC(), QDateTime(QDate(2024, 9, 8), QTime(4, 0), Qt::UTC));
  EXPECT_EQ(dawn.toTimeZone(santiago).time(), QTime(1, 0));
}

TEST(CalendarDate, ConvertedToLocalKeepsTheWallClockToTheMinute)
{
  const struct {
    QTime time;
    QTime expected;
  } cases[] = {
      {QTime(0, 30, 59), QTime(0, 30)},   // 12:30 AM
      {QTime(12, 15, 1), QTime(12, 15)},  // 12:15 PM
      {QTime(13, 5, 0), QTime(13, 5)},
      {QTime(23, 59, 59), QTime(23, 59)},
  };
  for (const auto& c : cases) {
    const QDateTime date(QDate(2002, 9, 7), c.time, QTimeZone(9 * 3600));
    const QDateTime local = calendarDateWithTimeConvertedToLocal(date, kLocal);
    EXPECT_EQ(local.toString(Qt::ISODate),
              QStringLiteral("2002-09-07T") + c.expected.toString(Qt::ISODate) + QStringLiteral("+02:00"));
  }
  EXPECT_FALSE(calendarDateWithTimeConvertedToLocal(QDateTime(), kLocal).isValid());
}

TEST(CalendarDate, GroupsByTheWallClockDayAgainstNow)
{
  // 1 March of a leap year: yesterday is 29 February.
  const QDateTime now = at(2024, 3, 1, 10, 0, 0, kLocal);
  const struct {
    QDateTime date;
    int group;
    int month;  // written for group 4 only
    int year;
  } cases[] = {
      {at(2025, 1, 1, 0, 0, 0, kLocal), 0, -1, -1},
      {at(2024, 3, 2, 0, 10, 0, QTimeZone(-5 * 3600)), 0, -1, -1},
      {at(2024, 3, 1, 23, 30, 0, QTimeZone(9 * 3600)), 1, -1, -1},  // the wall clock counts, not the instant
      {at(2024, 3, 1, 0, 0, 0, QTimeZone::utc()), 1, -1, -1},
      {at(2024, 2, 29, 23, 59, 59, kLocal), 2, -1, -1},
      {at(2024, 2, 28, 12, 0, 0, kLocal), 3, -1, -1},
      {at(2024, 2, 27, 12, 0, 0, kLocal), 4, 2, 2024},
      {at(2024, 1, 21, 12, 0, 0, kLocal), 4, 1, 2024},  // 40 days old
      {at(2023, 3, 1, 12, 0, 0, kLocal), 4, 3, 2023},   // same day of another year
      {at(1999, 12, 31, 12, 0, 0, kLocal), 4, 12, 1999},
  };
  for (const auto& c : cases) {
    int month = -1;
    int year = -1;
    const std::string text = c.date.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(groupForDate(c.date, &month, &year, now), c.group) << text;
    EXPECT_EQ(month, c.month) << text;
    EXPECT_EQ(year, c.year) << text;
    EXPECT_EQ(isToday(c.date, now), c.group == 1) << text;
  }

  // Yesterday and the day before across a new year.
  const QDateTime newYear = at(2024, 1, 1, 8, 0, 0, kLocal);
  EXPECT_EQ(groupForDate(at(2023, 12, 31, 8, 0, 0, kLocal), nullptr, nullptr, newYear), 2);
  EXPECT_EQ(groupForDate(at(2023, 12, 30, 8, 0, 0, kLocal), nullptr, nullptr, newYear), 3);
  EXPECT_EQ(groupForDate(at(2023, 12, 29, 8, 0, 0, kLocal), nullptr, nullptr, newYear), 4);

  int month = -1;
  int year = -1;
  EXPECT_EQ(groupForDate(QDateTime(), &month, &year, now), 4);
  EXPECT_EQ(month, -1);
  EXPECT_EQ(year, -1);
}

TEST(CalendarDate, DayTests)
{
  const QDateTime now = at(2024, 3, 1, 10, 0, 0, kLocal);
  EXPECT_TRUE(inCurrentYear(at(2024, 12, 31, 23, 0, 0, QTimeZone::utc()), now));
  EXPECT_FALSE(inCurrentYear(at(2023, 12, 31, 23, 0, 0, QTimeZone::utc()), now));
  EXPECT_FALSE(inCurrentYear(QDateTime(), now));

  // Each date's day is taken in its own zone.
  const QDateTime tokyo = at(2024, 3, 1, 8, 0, 0, QTimeZone(9 * 3600));
  EXPECT_TRUE(isSameDayAs(tokyo, at(2024, 3, 1, 20, 0, 0, QTimeZone(-5 * 3600))));
  EXPECT_FALSE(isSameDayAs(tokyo, tokyo.toUTC()));
  EXPECT_FALSE(isSameDayAs(tokyo, at(2023, 3, 1, 8, 0, 0, QTimeZone(9 * 3600))));
  EXPECT_FALSE(isSameDayAs(QDateTime(), QDateTime()));

  EXPECT_TRUE(dateIsSameDay(tokyo, 61, 2024));
  EXPECT_FALSE(dateIsSameDay(tokyo, 61, 2023));
  EXPECT_FALSE(dateIsSameDay(tokyo, 60, 2024));
}

TEST(CalendarDate, ContextualStringIsTheTimeTodayAndTheDateOtherwise)
{
  const QDateTime now = at(2024, 3, 1, 10, 0, 0, kLocal);
  const QDateTime today = at(2024, 3, 1, 7, 5, 0, QTimeZone::utc());  // 09:05 local
  const QString time = QLocale::system().toString(QTime(9, 5), QLocale::ShortFormat);
  EXPECT_EQ(hourMinuteString(today, kLocal), time);
  EXPECT_EQ(contextualDateString(today, now), time);
  EXPECT_EQ(contextualDateString(at(2002, 9, 7, 23, 0, 0, QTimeZone(-5 * 3600)), now), QStringLiteral("07 Sep 2002"));
  EXPECT_EQ(contextualDateString(at(812, 1, 31, 0, 0, 0, kLocal), now), QStringLiteral("31 Jan 0812"));
  EXPECT_TRUE(contextualDateString(QDateTime(), now).isNull());
  EXPECT_TRUE(hourMinuteString(QDateTime()).isNull());
}

TEST(CalendarDate, ObjectsAndPhrasesBecomeLocalDates)
{
  const QDateTime now = at(2024, 3, 1, 10, 0, 0, kLocal);
  const struct {
    QVariant object;
    const char* utc;
  } cases[] = {
      {QStringLiteral("now"), "2024-03-01T08:00:00.000Z"},
      {QStringLiteral("Today"), "2024-03-01T08:00:00.000Z"},
      {QStringLiteral(" tomorrow "), "2024-03-02T08:00:00.000Z"},
      {QStringLiteral("YESTERDAY"), "2024-02-29T08:00:00.000Z"},
      {QStringLiteral("2003-12-13"), "2003-12-12T22:00:00.000Z"},
      {QStringLiteral("2003-12-13 18:30"), "2003-12-13T16:30:00.000Z"},
      {QStringLiteral("2003-12-13 18:30:02"), "2003-12-13T16:30:02.000Z"},
      {QStringLiteral("2003-12-13 18:30:02 +0000"), "2003-12-13T18:30:02.000Z"},
      {QStringLiteral("2003-12-13T18:30:02Z"), "2003-12-13T18:30:02.000Z"},
      {QStringLiteral("Sat, 07 Sep 2002 00:00:01 GMT"), "2002-09-07T00:00:01.000Z"},
      {QVariant(at(2002, 9, 7, 0, 0, 1, QTimeZone(-3600))), "2002-09-07T01:00:01.000Z"},
      // Null, strings that do not read, and objects that are not dates.
      {QStringLiteral("42"), "nil"},
      {QStringLiteral("2003"), "nil"},
      {QStringLiteral("2003-12"), "nil"},
      {QStringLiteral("2003-12-13 garbage"), "nil"},
      {QStringLiteral("next blue moon"), "nil"},
      {QStringLiteral(""), "nil"},
      {QVariant(QString()), "nil"},
      {QVariant(), "nil"},
      {QVariant(42), "nil"},
      {QVariant(1.5), "nil"},
      {QVariant(QDate(2003, 12, 13)), "nil"},
      {QVariant(QDateTime()), "nil"},
      {QVariant(QByteArray("2003-12-13")), "nil"},
  };
  for (const auto& c : cases) {
    const QDateTime date = CBCalendarDateWithNSDate(c.object, now);
    EXPECT_EQ(utc(date), c.utc) << c.object.toString().toStdString();
    if (date.isValid()) {
      EXPECT_EQ(date.timeZone(), kLocal) << c.object.toString().toStdString();
    }
  }

  // A date passes through unchanged, zone included; anything else is read.
  const QDateTime tokyo = at(2024, 3, 1, 8, 0, 0, QTimeZone(9 * 3600));
  EXPECT_EQ(calendarDateWithObject(QVariant(tokyo), now).timeZone(), tokyo.timeZone());
  EXPECT_EQ(calendarDateWithObject(QStringLiteral("tomorrow"), now), at(2024, 3, 2, 10, 0, 0, kLocal));
  EXPECT_FALSE(calendarDateWithObject(QVariant(7), now).isValid());
}
