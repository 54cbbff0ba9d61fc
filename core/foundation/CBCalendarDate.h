#pragma once

// Calendar dates: a QDateTime that carries its own time zone. Day tests and
// day grouping, a short time-of-day string, and readers for the two date
// notations of feeds (RFC 822 with the variants seen in the wild, and W3C
// date-time) plus a dispatcher that picks a reader from the characters of
// the text. An invalid QDateTime stands for "null".
//
// The readers use calendar formats with strftime-like conversion letters:
//   %a weekday name   %d day            %b %B month name   %Y year (1-4 digits)
//   %y two-digit year %m month number   %H hour 0-23       %I hour 1-12
//   %M minute         %S second         %F fraction of a second (1-9 digits)
//   %p AM/PM          %Z zone name      %z offset +hhmm/-hhmm    %% a "%"
// Names are English and matched without regard to case; %a and %b/%B take a
// full or an abbreviated name; the weekday is not checked against the date.
// %y gives 1969-1999 for 69-99 and 2000-2068 for 00-68; year 0 is 1 BC. A
// blank in a format matches one or more blanks, any other character itself
// (case counts). Blanks around the text are ignored; any other text left
// over, a field out of range (month 13, day 32, hour 24, minute 60, second
// 60, 30 February, an offset beyond 14 hours) or an unknown zone name gives
// null, never a rolled-over date. A text without zone is read in the local
// zone.
//
// Zone names: UT, UTC, GMT and Z (+0000); the North American EST EDT CST CDT
// MST MDT PST PDT AKST AKDT HST AST ADT NST NDT; WET WEST BST CET CEST EET
// EEST MSK; IST (India, +0530: the Irish and Israeli readings are not
// taken), SGT HKT JST KST AEST AEDT NZST NZDT. Each reads as its fixed
// offset, whatever the season of the date.

#include <QtCore/QDateTime>
#include <QtCore/QString>
#include <QtCore/QTimeZone>
#include <QtCore/QVariant>

// Calendar formats.
extern const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneOffset;
extern const QString CBCalendarDateRFC822TimeZoneOffset;
extern const QString CBCalendarDateTwitterFormat;
extern const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneName;
extern const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameTwoDigitsForYear;
extern const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameNoSeconds;
extern const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameNoSecondsTwoDigitsForYear;
extern const QString CBCalendarDateRFC822TimeZoneName;
extern const QString CBCalendarDateRFC822TimeZoneNameTwoDigitsForYear;
extern const QString CBCalendarDateRFC822DayOfWeekDayMonthFourDigitYear;
extern const QString CBCalendarDateRFC822DayOfWeekDayMonthTwoDigitYear;
extern const QString CBCalendarDateRFC822DayMonthFourDigitYearPlusTimeZoneName;
extern const QString CBCalendarDateRFC822DayMonthFourDigitYearPlusTimeZoneNameTwoDigitYear;
extern const QString CBCalendarDateFormatCompleteDatePlusHoursMinutesAndSecondsAndMilliseconds;
extern const QString CBCalendarDateFormatCompleteDatePlusHoursMinutesAndSeconds;
extern const QString CBCalendarDateFormatCompleteDatePlusHoursAndMinutes;
extern const QString CBCalendarDateFormatCompleteDate;
extern const QString CBCalendarDateFormatYearAndMonth;
extern const QString CBCalendarDateFormatYear;
extern const QString CBCalendarDateHyphen;
extern const QString CBCalendarDatePlus;
extern const QString CBCalendarDateZ;
extern const QString CBCalendarDateZeroTimezone;
extern const QString _CBContextualDateFormat;  // NOLINT(bugprone-reserved-identifier): the format's published name
extern const QString junkDateFormatString;

namespace CobbletonExtras {

// The time of day in the local zone, in the user's short time style. Null for
// an invalid date.
QString hourMinuteString(const QDateTime& date);

// Same year, month and day at 00:00:00 in the date's own zone (on a day that
// has no midnight, its first moment).
QDateTime beginningOfDay(const QDateTime& date);

// The date's year (in its own zone) is the current year.
bool inCurrentYear(const QDateTime& date);

// The same wall-clock day, month, year, hour and minute (seconds dropped) as
// a date in the local zone.
QDateTime calendarDateWithTimeConvertedToLocal(const QDateTime& date);

// In the current year, and its wall-clock day is today's day of the year.
bool isToday(const QDateTime& date);

// Day of month, month and year, each in its own date's zone, are equal.
bool isSameDayAs(const QDateTime& date, const QDateTime& other);

// The date's year and day of the year (in its own zone) are these.
bool dateIsSameDay(const QDateTime& date, int dayOfYear, int year);

// The date's wall clock taken as local, against today: 0 a later day (the
// future), 1 today, 2 yesterday, 3 the day before, 4 older, and then its
// month and year are written through the non-null out-arguments. An invalid
// date answers 4 and writes nothing.
int groupForDate(const QDateTime& date, int* month, int* year);

// hourMinuteString() for today, else e.g. "07 Sep 2002" in the date's zone.
QString contextualDateString(const QDateTime& date);

// The object itself when it holds a date, else CBCalendarDateWithNSDate().
QDateTime calendarDateWithObject(const QVariant& object);

// RFC 822 date-time, with offset ("+0200") or zone name ("GMT"), with or
// without weekday and seconds, four- or two-digit year, Twitter's order, and
// ".000" milliseconds right before " GMT". Null when nothing reads.
QDateTime dateWithRFC822DatetimeString(const QString& string);

// W3C date-time: "2003", "2003-12", "2003-12-13", and with "T" a time to
// minutes, seconds or fractions of a second with "Z" or an offset.
QDateTime dateWithW3CDatetimeString(const QString& string);

// RFC 822 for a text with ",", "20031213" and "20031213T183002", else W3C
// for a text with "-". Null when nothing reads.
QDateTime dateWithUnknownFormat(const QString& string);

// Forms of the above with the clock and the local zone passed in ("now"
// carries the local zone); the forms above call them with the current time
// in the system's zone. Tests call them to stay independent of the clock.
QString hourMinuteString(const QDateTime& date, const QTimeZone& localZone);
bool inCurrentYear(const QDateTime& date, const QDateTime& now);
QDateTime calendarDateWithTimeConvertedToLocal(const QDateTime& date, const QTimeZone& localZone);
bool isToday(const QDateTime& date, const QDateTime& now);
int groupForDate(const QDateTime& date, int* month, int* year, const QDateTime& now);
QString contextualDateString(const QDateTime& date, const QDateTime& now);
QDateTime calendarDateWithObject(const QVariant& object, const QDateTime& now);
QDateTime dateWithRFC822DatetimeString(const QString& string, const QTimeZone& localZone);
QDateTime dateWithW3CDatetimeString(const QString& string, const QTimeZone& localZone);
QDateTime dateWithUnknownFormat(const QString& string, const QTimeZone& localZone);

}  // namespace CobbletonExtras

// A date for the object: a string is first read as a date phrase ("now",
// "today", "tomorrow", "yesterday" at the current time of day; an ISO date
// "2003-12-13" with an optional time "18:30", "18:30:02", "18:30:02 +0100"
// or a W3C date-time; an RFC 822 date). Null for null, for anything that is
// not a date and for a string that does not read; a date becomes the same
// instant in the local zone.
QDateTime CBCalendarDateWithNSDate(const QVariant& object);
QDateTime CBCalendarDateWithNSDate(const QVariant& object, const QDateTime& now);
