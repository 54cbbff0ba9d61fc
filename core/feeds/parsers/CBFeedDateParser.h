#pragma once

// Feed dates: RFC 822 dates of RSS ("Tue, 10 Jun 2003 04:00:00 GMT") and
// W3C/ISO 8601 dates of Atom and Dublin Core ("2003-12-13T18:30:02Z"), read
// from raw bytes without locale-dependent formatters on the common path. The
// reading is forgiving: digit runs and a month word are picked out by
// position and stray text never makes it fail. Fields out of range (month 13,
// day 32, hour 25) give no date rather than a rolled-over one.
//
// Every function here may run on any thread at once: the calendar and time
// zone the dates are built with are kept per thread.

#include <QtCore/QDateTime>
#include <QtCore/QString>

#include <climits>
#include <cstddef>

// The date in `bytes` (not NUL-terminated, `length` bytes), in UTC, or an
// invalid QDateTime ("null") when there is none. Blanks around the date are
// dropped, and comments in parentheses (nested, with backslash escapes, as
// mail dates have them, glued to a word or not) count as blanks; what is left
// must be 6 to 50 bytes long (a text with comments may be up to 1024 bytes
// before they are removed, one without them at most 50). A text holding a space or a comma is read as
// RFC 822, any other as W3C; so is one that begins with an ISO date
// ("2003-12-13 18:30:02", a blank in place of the "T"). W3C times end where
// the zone begins ("18:30-05:00" has no seconds), and a time without a zone
// is UTC. An offset beyond 14:00 either way gives null. Years of two digits
// are 2000-2049 (00-49) or 1950-1999 (50-99); three-digit years count from
// 1900.
QDateTime ZPHDateWithBytes(const char* bytes, std::size_t length);

// ZPHDateWithBytes over the UTF-8 bytes of `string`.
QDateTime ZPHDateWithString(const QString& string);

// 2006-03-03 06:28:16 UTC. Feed dates not later than this are suspect: an RFC
// 822 date that comes out earlier is tried once more with the fallback
// formatter.
QDateTime earliestDateAcceptable();

// Whether `date` is later than earliestDateAcceptable().
bool ZPHIsDateReasonableAsPubDate(const QDateTime& date);

// The steps of the reading, exposed for tests.

// "Missing": no digit before the end of the text.
constexpr int ZPHMissingNumericValue = INT_MAX;

// From `start`, skips non-digits and reads the following digit run, at most
// min(maxDigits, 4) digits. Gives the value, or ZPHMissingNumericValue. The
// out position is the last character looked at: the last digit read when the
// limit was reached, else the non-digit that ended the run (the length when
// the text ended).
int nextNumericValue(const char* bytes, std::size_t length, std::size_t start, int maxDigits, std::size_t* outPosition);

// The zone offset written from `start` on ("GMT", "Z", "+05:30", "-0700",
// "+5:30", "+05", "PDT"...), in seconds east of UTC. Zone names are found in
// any case; anything unknown gives 0. A numeric offset has hours of one or two digits and, after them or
// after a colon, two digits of minutes; without a "+" it counts as west. It
// begins with a sign or a digit, and letters after it are stray text. The
// value is the offset as written; `isValid`, when given, is set to false for
// one that no zone has (minutes past 59, or beyond 14:00 either way).
int parsedTimeZoneOffset(const char* bytes, std::size_t length, std::size_t start, bool* isValid = nullptr);

// Builds the UTC date of the given fields (Gregorian calendar) and subtracts
// `timeZoneOffset` seconds. A negative month, day, hour, minute or second
// stands for an unset field, which takes its lowest value (month and day 1,
// the rest 0). Fields out of range give null, as does a year outside 1..9999.
QDateTime dateWithYearMonthDayHourMinuteSecondAndTimeZoneOffset(int year, int month, int day, int hour, int minute,
                                                                int second, int timeZoneOffset);
