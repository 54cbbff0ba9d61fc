#pragma once

// Date helpers of the core library: formatted strings in the user's locale
// and time zone, calendar-day groups relative to now, and W3C, ISO and Unix
// timestamp strings. An invalid QDateTime gives a null string.

#include <QtCore/QDateTime>
#include <QtCore/QString>

// Seconds since 1970 now, with milliseconds: the form the store keeps
// modification times in.
double cb_timeIntervalSince1970Now();

// Now minus `days` x 86,400 seconds.
QDateTime cb_dateWithNumberOfDaysInThePast(int days);

// The date in the user's locale and time zone, in the named date and time
// styles. Each style's pattern is taken from the locale on first use and
// kept for the process (per locale). Short styles are the locale's short
// formats, the time without seconds; long the locale's long formats without
// the weekday; medium the long date with an abbreviated month and the long
// time without the zone.
QString cb_hourMinuteString(const QDateTime& date);         // time short
QString cb_shortDateOnlyString(const QDateTime& date);      // date short
QString cb_shortDateAndTimeString(const QDateTime& date);   // date short, time short
QString cb_mediumDateOnlyString(const QDateTime& date);     // date medium
QString cb_shortTimeOnlyString(const QDateTime& date);      // time short
QString cb_mediumTimeOnlyString(const QDateTime& date);     // time medium
QString cb_mediumDateAndTimeString(const QDateTime& date);  // date medium, time medium
QString cb_longDateAndTimeString(const QDateTime& date);    // date long, time long

// Day, abbreviated month and year in the locale's order, a space and the
// short time.
QString cb_monthDayYearHourMinuteString(const QDateTime& date);

// The short time for a date of today, else the medium date.
QString cb_contextualDateString(const QDateTime& date);

// Whether the date falls on today's calendar day (local time).
bool cb_isToday(const QDateTime& date);

// The calendar day of the date relative to now, in local time: 0 tomorrow
// or later, 1 today, 2 yesterday, 3 the day before yesterday, 4 earlier (and
// for an invalid date). The day boundaries are kept between calls and made
// again when now's local date or the system time zone changed, or when the
// last call was more than 30 seconds before.
int cb_calendarGroup(const QDateTime& date);
// The same relative to `now`.
int cb_calendarGroup(const QDateTime& date, const QDateTime& now);

// The local year and month (and day of the month) of the date; null
// pointers are skipped.
void cb_year(const QDateTime& date, int* year, int* month);
void cb_year(const QDateTime& date, int* year, int* month, int* dayOfMonth);

// "yyyy-MM-ddTHH:mm:ss" in the user's time zone followed by its offset as
// "+hh:mm" or "-hh:mm", or in UTC followed by "Z" when the offset is zero
// (or not a whole number of minutes).
QString cb_w3cString(const QDateTime& date);

// "yyyy-MM-ddTHH:mm:ssZ" in UTC.
QString cb_isoString(const QDateTime& date);

// The seconds since 1970, rounded to a whole number ("%.0f").
QString cb_unixTimestampStringWithNoDecimal(const QDateTime& date);
