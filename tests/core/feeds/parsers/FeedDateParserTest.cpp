#include "feeds/parsers/CBFeedDateParser.h"

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QTimeZone>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

QDateTime parse(const char* text) { return ZPHDateWithBytes(text, std::strlen(text)); }

// "" for null, else the UTC date in ISO form ("2003-06-10T04:00:00Z").
std::string iso(const QDateTime& date)
{
  if (!date.isValid())
    return "";
  return date.toUTC().toString(Qt::ISODate).toStdString();
}

struct DateCase {
  const char* text;
  const char* expected;  // "" for no date
};

void expectCases(const std::vector<DateCase>& cases)
{
  for (const DateCase& c : cases) EXPECT_EQ(iso(parse(c.text)), c.expected) << "text: \"" << c.text << "\"";
}

}  // namespace

TEST(FeedDateParser, ReadsRFC822Dates)
{
  expectCases({
      {"Tue, 10 Jun 2003 04:00:00 GMT", "2003-06-10T04:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 -0700", "2003-06-10T11:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 PDT", "2003-06-10T11:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 +05:30", "2003-06-09T22:30:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 +0000", "2003-06-10T04:00:00Z"},
      {"10 Jun 2003 04:00 EST", "2003-06-10T09:00:00Z"},
      {"Tue,10 Jun 2003 04:00:00 GMT", "2003-06-10T04:00:00Z"},
      {"Tuesday, 10 June 2003 04:00:00 GMT", "2003-06-10T04:00:00Z"},
      {"10 jun 2003 04:00:00 gmt", "2003-06-10T04:00:00Z"},
      {"Tue, 3 Jun 2003 4:05:06 GMT", "2003-06-03T04:05:06Z"},
      {"Tue, 10 Jun 2003", "2003-06-10T00:00:00Z"},
      {"Tue, 00 Jun 2003 04:00:00 GMT", "2003-06-01T04:00:00Z"},  // day 0 reads as the first
      {"Mon, 01 Jan 2001 00:00:00 GMT", "2001-01-01T00:00:00Z"},  // early, but the fallback does not match
      {"Tue, 10 Jun 2003 04:00:00", "2003-06-10T04:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00+0200", "2003-06-10T04:00:00Z"},  // an offset needs a space before it
  });
}

TEST(FeedDateParser, ReadsEveryMonthWord)
{
  expectCases({
      {"1 Jan 2010 12:00:00 GMT", "2010-01-01T12:00:00Z"},
      {"1 Feb 2010 12:00:00 GMT", "2010-02-01T12:00:00Z"},
      {"1 Mar 2010 12:00:00 GMT", "2010-03-01T12:00:00Z"},
      {"1 Apr 2010 12:00:00 GMT", "2010-04-01T12:00:00Z"},
      {"1 May 2010 12:00:00 GMT", "2010-05-01T12:00:00Z"},
      {"1 Jun 2010 12:00:00 GMT", "2010-06-01T12:00:00Z"},
      {"1 Jul 2010 12:00:00 GMT", "2010-07-01T12:00:00Z"},
      {"1 Aug 2010 12:00:00 GMT", "2010-08-01T12:00:00Z"},
      {"1 Sep 2010 12:00:00 GMT", "2010-09-01T12:00:00Z"},
      {"1 Oct 2010 12:00:00 GMT", "2010-10-01T12:00:00Z"},
      {"1 Nov 2010 12:00:00 GMT", "2010-11-01T12:00:00Z"},
      {"1 Dec 2010 12:00:00 GMT", "2010-12-01T12:00:00Z"},
      {"1 JULY 2010 12:00:00 GMT", "2010-07-01T12:00:00Z"},
      {"1 august 2010 12:00:00 GMT", "2010-08-01T12:00:00Z"},
      {"1 Sept 2010 12:00:00 GMT", "2010-09-01T12:00:00Z"},
      {"1 X 2010 12:00:00 GMT", "2010-01-01T12:00:00Z"},
  });
}

TEST(FeedDateParser, ReadsShortYearsIntoTheRightCentury)
{
  expectCases({
      {"Sun, 1 Sep 99 10:00:00 GMT", "1999-09-01T10:00:00Z"},
      {"Fri, 1 Sep 50 10:00:00 GMT", "1950-09-01T10:00:00Z"},
      {"Fri, 1 Sep 49 10:00:00 GMT", "2049-09-01T10:00:00Z"},
      {"Mon, 1 Sep 03 10:00:00 GMT", "2003-09-01T10:00:00Z"},
      {"Fri, 1 Sep 00 10:00:00 GMT", "2000-09-01T10:00:00Z"},
      {"Mon, 1 Sep 103 10:00:00 GMT", "2003-09-01T10:00:00Z"},  // years since 1900
      {"Wed, 1 Sep 999 10:00:00 GMT", "2899-09-01T10:00:00Z"},
      {"03-12-13T18:30:02Z", "2003-12-13T18:30:02Z"},
      {"99-12-13T18:30:02Z", "1999-12-13T18:30:02Z"},
  });
}

TEST(FeedDateParser, ReadsW3CDates)
{
  expectCases({
      {"2003-12-13T18:30:02Z", "2003-12-13T18:30:02Z"},
      {"2003-12-13T18:30:02+00:00", "2003-12-13T18:30:02Z"},
      {"2003-12-13T18:30:02.25Z", "2003-12-13T18:30:02Z"},
      {"2003-12-13T18:30:02.123-05:00", "2003-12-13T23:30:02Z"},
      {"2003-12-13T18:30:02.123456789+01:00", "2003-12-13T17:30:02Z"},
      {"2003-12-13T18:30:02-0800", "2003-12-14T02:30:02Z"},
      {"2003-12-13T18:30:02", "2003-12-13T18:30:02Z"},
      {"2003-12-13", "2003-12-13T00:00:00Z"},
      {"2003-12", "2003-12-01T00:00:00Z"},
      {"20031213T183002Z", "2003-12-13T18:30:02Z"},
      {"2004-02-29T12:00:00Z", "2004-02-29T12:00:00Z"},
      {"2003-12-31T23:59:60Z", "2003-12-31T23:59:59Z"},  // a leap second
  });
}

TEST(FeedDateParser, EndsW3CTimesWhereTheZoneBegins)
{
  // Hours and minutes without seconds are valid W3C: the offset's hours are not seconds.
  expectCases({
      {"2003-12-13T18:30-05:00", "2003-12-13T23:30:00Z"},
      {"2003-12-13T18:30Z", "2003-12-13T18:30:00Z"},
      {"2003-12-13T18:30+01:00", "2003-12-13T17:30:00Z"},
      {"2003-12-13T18:30-0500", "2003-12-13T23:30:00Z"},
      {"2003-12-13T18-05:00", "2003-12-13T23:00:00Z"},
      {"20031213T1830-0500", "2003-12-13T23:30:00Z"},
      {"2003-12-13T18:30:02-05:00", "2003-12-13T23:30:02Z"},
  });
}

TEST(FeedDateParser, ReadsNumericOffsetsInEveryWrittenForm)
{
  // "+05:30", "+0530", "+5:30" and "+530" are one offset; "+05" and "+5" are whole hours.
  expectCases({
      {"2003-12-13T18:30:02+05:30", "2003-12-13T13:00:02Z"},
      {"2003-12-13T18:30:02+0530", "2003-12-13T13:00:02Z"},
      {"2003-12-13T18:30:02+5:30", "2003-12-13T13:00:02Z"},
      {"2003-12-13T18:30:02+530", "2003-12-13T13:00:02Z"},
      {"2003-12-13T18:30:02+05", "2003-12-13T13:30:02Z"},
      {"2003-12-13T18:30:02-5", "2003-12-13T23:30:02Z"},
      {"2003-12-13T18:30:02-9:30", "2003-12-14T04:00:02Z"},
      {"2003-12-13T18:30:02+14:00", "2003-12-13T04:30:02Z"},
      {"2003-12-13T18:30:02-14:00", "2003-12-14T08:30:02Z"},
      {"Tue, 10 Jun 2003 04:00:00 +5:30", "2003-06-09T22:30:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 -07", "2003-06-10T11:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 +5:30 (IST)", "2003-06-09T22:30:00Z"},  // text after an offset is stray
      {"Tue, 10 Jun 2003 04:00:00 -0700 (PDT)", "2003-06-10T11:00:00Z"},
  });
  // No zone is farther than 14:00 from UTC, and minutes past 59 would roll over.
  expectCases({
      {"2003-12-13T18:30:02+14:01", ""},
      {"2003-12-13T18:30:02-15:00", ""},
      {"2003-12-13T18:30:02+99:99", ""},
      {"2003-12-13T18:30:02+05:60", ""},
      {"2003-12-13T18:30+1500", ""},
      {"Tue, 10 Jun 2003 04:00:00 +2400", ""},
      {"Tue, 10 Jun 2003 04:00:00 -99", ""},
  });
}

TEST(FeedDateParser, ReadsISODatesWithABlankForTheT)
{
  expectCases({
      {"2003-12-13 18:30:02", "2003-12-13T18:30:02Z"},  // no zone: UTC, as in the W3C form
      {"2003-12-13T18:30:02", "2003-12-13T18:30:02Z"},
      {"2003-12-13 18:30:02Z", "2003-12-13T18:30:02Z"},
      {"2003-12-13 18:30:02-05:00", "2003-12-13T23:30:02Z"},
      {"2003-12-13 18:30:02 +05:30", "2003-12-13T13:00:02Z"},
      {"2003-12-13 18:30:02.5 -0800", "2003-12-14T02:30:02Z"},
      {"2003-12-13 18:30 -05:00", "2003-12-13T23:30:00Z"},
      {"2003-12-13 18:30:02 GMT", "2003-12-13T18:30:02Z"},
      {"2003-12-13 18:30:02 EST", "2003-12-13T23:30:02Z"},
      {"2003-12-13T18:30:02 +01:00", "2003-12-13T17:30:02Z"},
      {"2003-12-13 25:30:02", ""},
      {"2003-12-13 18:30:02 +15:00", ""},
  });
}

TEST(FeedDateParser, IgnoresWhiteSpaceAroundTheDate)
{
  // Indented element text, as pretty-printed feeds have it; the length limit
  // counts the whole text, blanks and all (the feed readers drop an
  // element's blanks before they read a date).
  expectCases({
      {"\n      2003-12-13T18:30:02Z\n    ", "2003-12-13T18:30:02Z"},
      {" 2003-12-13T18:30:02-05:00", "2003-12-13T23:30:02Z"},
      {"\t\r\n Sat, 13 Dec 2003 18:30:02 GMT \r\n", "2003-12-13T18:30:02Z"},
      {"                                        10 Jun 2003 04:00:00 GMT", ""},
      {"Tue, 10 Jun 2003 04:00:00 GMT                      ", ""},  // 51 bytes
      {"Tue, 10 Jun 2003 04:00:00 GMT                     ", "2003-06-10T04:00:00Z"},
      {"     12345", ""},
      {" \n\t ", ""},
  });
}

TEST(FeedDateParser, SkipsCommentsAnywhereInAMailDate)
{
  expectCases({
      {"Tue, 10 Jun 2003 04:00:00 -0700 (PDT)", "2003-06-10T11:00:00Z"},
      {"Tue (Tuesday), 10 Jun 2003 04:00:00 GMT", "2003-06-10T04:00:00Z"},
      {"(Tue) 10 Jun 2003 04:00:00 EST", "2003-06-10T09:00:00Z"},
      {"Tue, 10 (day) Jun (month) 2003 04:00:00 GMT", "2003-06-10T04:00:00Z"},
      {"Tue, 10 Jun 2003 (a (nested) one) 04:00:00 PDT", "2003-06-10T11:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00(x)PDT", "2003-06-10T11:00:00Z"},
      {"Tue, 10 Jun 2003 04:00 (\\) 9 \\( 8) -0500", "2003-06-10T09:00:00Z"},  // escaped parentheses
      {"Tue, 10 Jun 2003 04:00:00 GMT (open 9 9 9", "2003-06-10T04:00:00Z"},
      {"2003-12-13T18:30:02Z (UTC)", "2003-12-13T18:30:02Z"},
      {"(((((((((((((((((((((((((())))))))))))))))))))))))", ""},
  });
}

TEST(FeedDateParser, HoldsTheLengthRuleToTheTextWithoutItsComments)
{
  expectCases({
      // Comments glued to the words, longer than a date may be.
      {"Thu(oh how I hate thursdays), 9(th) Feb(ruary) 2006 12:34:56 +0000", "2006-02-09T12:34:56Z"},
      {"Thu (a (deeply (nested) comment) about nothing much), 09 Feb 2006 12:34:56 GMT", "2006-02-09T12:34:56Z"},
      {"Thu, 09 Feb 2006 12:34:56 GMT (and a comment that goes on for quite a while after the date)",
       "2006-02-09T12:34:56Z"},
      // What is left must still be a date of at most 50 bytes.
      {"(a long comment before it all) Tue, 10 Jun 2003 04:00:00 GMT and then more text, too", ""},
      {"(only a comment, for all of its many, many, many, many bytes)", ""},
  });
  // Not without bound: a text with comments is read up to 1024 bytes.
  const QByteArray longComment = "Thu, 09 Feb 2006 12:34:56 GMT (" + QByteArray(1000, 'x') + ")";
  EXPECT_EQ(iso(ZPHDateWithBytes(longComment.constData(), std::size_t(longComment.size()))), "");
  const QByteArray fits = "Thu, 09 Feb 2006 12:34:56 GMT (" + QByteArray(900, 'x') + ")";
  EXPECT_EQ(iso(ZPHDateWithBytes(fits.constData(), std::size_t(fits.size()))), "2006-02-09T12:34:56Z");
  EXPECT_EQ(iso(ZPHDateWithString(QString::fromLatin1(fits))), "2006-02-09T12:34:56Z");
  const QByteArray manyComments = QByteArray(2000, '(') + QByteArray(2000, ')');
  EXPECT_FALSE(ZPHDateWithBytes(manyComments.constData(), std::size_t(manyComments.size())).isValid());
}

TEST(FeedDateParser, ReadsZoneNamesInAnyCase)
{
  expectCases({
      {"Tue, 10 Jun 2003 04:00:00 pDt", "2003-06-10T11:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 pdt", "2003-06-10T11:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 est", "2003-06-10T09:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 Cest", "2003-06-10T02:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 CHST", "2003-06-09T18:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 ut", "2003-06-10T04:00:00Z"},
  });
}

TEST(FeedDateParser, ReadsZoneAbbreviationsFromItsOwnTable)
{
  expectCases({
      {"Tue, 10 Jun 2003 04:00:00 EDT", "2003-06-10T08:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 CET", "2003-06-10T03:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 IST", "2003-06-10T02:00:00Z"},   // +2:00 in this table
      {"Tue, 10 Jun 2003 04:00:00 BST", "2003-06-09T22:00:00Z"},   // +6:00 in this table
      {"Tue, 10 Jun 2003 04:00:00 NDT", "2003-06-10T06:30:00Z"},   // -2:30: the minutes follow the hours' sign
      {"Tue, 10 Jun 2003 04:00:00 NPT", "2003-06-09T22:15:00Z"},   // +5:45
      {"Tue, 10 Jun 2003 04:00:00 ChST", "2003-06-09T18:00:00Z"},  // +10:00
      {"Tue, 10 Jun 2003 04:00:00 XYZ", "2003-06-10T04:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 UTC", "2003-06-10T04:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 GMT+0500", "2003-06-10T04:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 Z", "2003-06-10T04:00:00Z"},
      {"Tue, 10 Jun 2003 04:00:00 0530", "2003-06-10T09:30:00Z"},  // no sign counts as west
  });
}

TEST(FeedDateParser, GivesNoDateForFieldsOutOfRange)
{
  expectCases({
      {"2003-13-01T00:00:00Z", ""},
      {"2003-00-10T00:00:00Z", ""},
      {"2003-12-32T00:00:00Z", ""},
      {"2003-12-00T00:00:00Z", ""},
      {"2003-06-31T00:00:00Z", ""},
      {"2003-02-29T00:00:00Z", ""},
      {"2003-12-13T25:00:00Z", ""},
      {"2003-12-13T24:00:00Z", ""},
      {"2003-12-13T18:60:00Z", ""},
      {"2003-12-13T18:30:61Z", ""},
      {"Tue, 32 Jun 2003 04:00:00 GMT", ""},
      {"Tue, 31 Jun 2003 04:00:00 GMT", ""},
      {"Sat, 29 Feb 2003 04:00:00 GMT", ""},
      {"Tue, 10 Jun 2003 25:00:00 GMT", ""},
      {"Tue, 10 Jun 2003 04:99:00 GMT", ""},
      {"Tue, 10 Jun 2003 04:00:75 GMT", ""},
  });
}

TEST(FeedDateParser, GivesNoDateForJunkAndHostileText)
{
  expectCases({
      {"", ""},
      {"12345", ""},  // 5 bytes
      {"garbage", ""},
      {"not a date at all", ""},
      {"Tue, Jun GMT", ""},
      {"--::TZ+-", ""},
      {"99999999999999999999999999999999999999999999999999", ""},  // 50 bytes: year 9999, month 99
      {"Tue, 99999 Jun 99999 99999:99999:99999 GMT", ""},
      {"2003-12-13T18:30:02Z and then some more text here!!", ""},  // 51 bytes
  });

  // Embedded NULs and bytes that are not UTF-8 are read like any other stray text.
  const char withNul[] = "2003-12-13\0T18:30:02Z";
  EXPECT_EQ(iso(ZPHDateWithBytes(withNul, sizeof(withNul) - 1)), "2003-12-13T18:30:02Z");
  const char highBytes[] = "\xff\xfe 10 Jun 2003 04:00:00 \x80\x81";
  EXPECT_EQ(iso(ZPHDateWithBytes(highBytes, sizeof(highBytes) - 1)), "2003-06-10T04:00:00Z");
  EXPECT_FALSE(ZPHDateWithBytes(nullptr, 20).isValid());

  const QByteArray huge(8 * 1024 * 1024, '9');
  EXPECT_FALSE(ZPHDateWithBytes(huge.constData(), std::size_t(huge.size())).isValid());
  EXPECT_FALSE(ZPHDateWithString(QString(1 << 20, u'1')).isValid());
}

TEST(FeedDateParser, CountsLengthInUTF8Bytes)
{
  // Fifty bytes are read, fifty-one are not.
  const QString fifty = QStringLiteral("2003-12-13T18:30:02Z") + QString(30, u'x');
  EXPECT_EQ(iso(ZPHDateWithString(fifty)), "2003-12-13T18:30:02Z");
  EXPECT_FALSE(ZPHDateWithString(fifty + u'x').isValid());
  // 36 characters, but 52 bytes in UTF-8.
  const QString wide = QStringLiteral("2003-12-13T18:30:02Z") + QString(16, QChar(0x00E9));
  EXPECT_FALSE(ZPHDateWithString(wide).isValid());
  EXPECT_EQ(iso(ZPHDateWithString(QStringLiteral("10 Jun 2003 04:00:00 GMT \u00e9\u00e9"))), "2003-06-10T04:00:00Z");
}

TEST(FeedDateParser, TriesTheFallbackFormatterForMissingOrEarlyDates)
{
  // Month word first and a 12-hour clock: only the fallback reads it, in local time.
  const QDateTime expected(QDate(2009, 6, 10), QTime(16, 5, 7), Qt::LocalTime);
  EXPECT_EQ(parse("Jun 10 2009 4:05:07PM"), expected.toUTC());
  EXPECT_EQ(parse("Jun 10 2009 04:05:07pm"), expected.toUTC());
  // Early but plausible dates the fallback cannot read stay as built.
  EXPECT_EQ(iso(parse("Thu, 1 Jan 1998 10:00:00 GMT")), "1998-01-01T10:00:00Z");
}

TEST(FeedDateParser, ReadsDigitRunsByPosition)
{
  const char text[] = "ab12345 7";
  std::size_t position = 0;
  EXPECT_EQ(nextNumericValue(text, 9, 0, 2, &position), 12);
  EXPECT_EQ(position, 3u);  // the last digit read: the limit was reached
  EXPECT_EQ(nextNumericValue(text, 9, position + 1, 9, &position), 345);
  EXPECT_EQ(position, 7u);  // the space that ended the run
  EXPECT_EQ(nextNumericValue(text, 9, position + 1, 4, &position), 7);
  EXPECT_EQ(nextNumericValue(text, 9, 9, 4, &position), ZPHMissingNumericValue);
  EXPECT_EQ(nextNumericValue(text, 9, 100, 4, &position), ZPHMissingNumericValue);
  EXPECT_EQ(nextNumericValue("x99999", 6, 0, 10, &position), 9999);  // never more than 4 digits

  const auto offset = [](const char* zone) { return parsedTimeZoneOffset(zone, std::strlen(zone), 0); };
  EXPECT_EQ(offset(" +05:30"), 5 * 3600 + 30 * 60);
  EXPECT_EQ(offset("-0700"), -7 * 3600);
  EXPECT_EQ(offset("0530"), -(5 * 3600 + 30 * 60));
  EXPECT_EQ(offset("+0000"), 0);
  EXPECT_EQ(offset("zulu"), 0);
  EXPECT_EQ(offset("MIT"), -(9 * 3600 + 30 * 60));
  EXPECT_EQ(offset("LINT"), 14 * 3600);
  EXPECT_EQ(offset("+5:30"), 5 * 3600 + 30 * 60);
  EXPECT_EQ(offset("+530"), 5 * 3600 + 30 * 60);
  EXPECT_EQ(offset("-05"), -5 * 3600);
  EXPECT_EQ(offset("+99:99"), 99 * 3600 + 99 * 60);  // as written; the validity flag refuses it
  EXPECT_EQ(offset(""), 0);

  const auto isValid = [](const char* zone) {
    bool valid = false;
    parsedTimeZoneOffset(zone, std::strlen(zone), 0, &valid);
    return valid;
  };
  EXPECT_TRUE(isValid("+14:00"));
  EXPECT_TRUE(isValid("-12:00"));
  EXPECT_TRUE(isValid("LINT"));
  EXPECT_TRUE(isValid("XYZ"));
  EXPECT_FALSE(isValid("+14:30"));
  EXPECT_FALSE(isValid("-1401"));
  EXPECT_FALSE(isValid("+05:75"));
  EXPECT_FALSE(isValid("+99:99"));
}

TEST(FeedDateParser, KnowsTheEarliestAcceptableDate)
{
  EXPECT_EQ(iso(earliestDateAcceptable()), "2006-03-03T06:28:16Z");
  EXPECT_FALSE(ZPHIsDateReasonableAsPubDate(earliestDateAcceptable()));
  EXPECT_TRUE(ZPHIsDateReasonableAsPubDate(earliestDateAcceptable().addSecs(1)));
  EXPECT_FALSE(ZPHIsDateReasonableAsPubDate(QDateTime()));
}

TEST(FeedDateParser, ParsesOnManyThreadsAtOnce)
{
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 500; ++i) {
        if (iso(parse("Tue, 10 Jun 2003 04:00:00 -0700")) != "2003-06-10T11:00:00Z" ||
            iso(parse("2003-12-13T18:30:02.123-05:00")) != "2003-12-13T23:30:02Z" || parse("2003-13-01").isValid())
          ++failures[std::size_t(t)];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}
