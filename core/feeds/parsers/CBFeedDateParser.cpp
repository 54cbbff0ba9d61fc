#include "feeds/parsers/CBFeedDateParser.h"

#include "platform/ZPHLog.h"

#include <QtCore/QByteArray>
#include <QtCore/QCalendar>
#include <QtCore/QLocale>
#include <QtCore/QTimeZone>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kShortestDateText = 6;
constexpr std::size_t kLongestDateText = 50;
// A date with comments may be longer; without them it is held to the rule.
constexpr std::size_t kLongestCommentedDateText = 1024;

// The farthest any zone is from UTC: 14 hours, either way.
constexpr int kLargestTimeZoneOffset = 14 * 3600;

struct ZPHTimeZoneAbbreviation {
  const char* abbreviation;
  int hours;
  int minutes;  // takes the sign of the hours
};

// Searched in this order; the values are this table's own, not always the
// most common meaning of an abbreviation ("IST" is +2:00, "BST" +6:00).
constexpr ZPHTimeZoneAbbreviation timeZoneTable[] = {
    {"GMT", 0, 0},   {"PDT", -7, 0},    {"PST", -8, 0},  {"EST", -5, 0},  {"EDT", -4, 0},   {"MDT", -6, 0},
    {"MST", -7, 0},  {"CST", -6, 0},    {"CDT", -5, 0},  {"ACT", -8, 0},  {"AFT", 4, 30},   {"AMT", 4, 0},
    {"ART", -3, 0},  {"AST", 3, 0},     {"AZT", 4, 0},   {"BIT", -12, 0}, {"BDT", 8, 0},    {"ACST", 9, 30},
    {"AEST", 10, 0}, {"AKST", -9, 0},   {"AMST", 5, 0},  {"AWST", 8, 0},  {"AZOST", -1, 0}, {"BIOT", 6, 0},
    {"BRT", -3, 0},  {"BST", 6, 0},     {"BTT", 6, 0},   {"CAT", 2, 0},   {"CCT", 6, 30},   {"CET", 1, 0},
    {"CEST", 2, 0},  {"CHAST", 12, 45}, {"ChST", 10, 0}, {"CIST", -8, 0}, {"CKT", -10, 0},  {"CLT", -4, 0},
    {"CLST", -3, 0}, {"COT", -5, 0},    {"COST", -4, 0}, {"CVT", -1, 0},  {"CXT", 7, 0},    {"EAST", -6, 0},
    {"EAT", 3, 0},   {"ECT", -4, 0},    {"EEST", 3, 0},  {"EET", 2, 0},   {"FJT", 12, 0},   {"FKST", -4, 0},
    {"GALT", -6, 0}, {"GET", 4, 0},     {"GFT", -3, 0},  {"GILT", 7, 0},  {"GIT", -9, 0},   {"GST", -2, 0},
    {"GYT", -4, 0},  {"HAST", -10, 0},  {"HKT", 8, 0},   {"HMT", 5, 0},   {"IRKT", 8, 0},   {"IRST", 3, 30},
    {"IST", 2, 0},   {"JST", 9, 0},     {"KRAT", 7, 0},  {"KST", 9, 0},   {"LHST", 10, 30}, {"LINT", 14, 0},
    {"MAGT", 11, 0}, {"MIT", -9, 30},   {"MSK", 3, 0},   {"MUT", 4, 0},   {"NDT", -2, 30},  {"NFT", 11, 30},
    {"NPT", 5, 45},  {"NT", -3, 30},    {"OMST", 6, 0},  {"PETT", 12, 0}, {"PHOT", 13, 0},  {"PKT", 5, 0},
    {"RET", 4, 0},   {"SAMT", 4, 0},    {"SAST", 2, 0},  {"SBT", 11, 0},  {"SCT", 4, 0},    {"SLT", 5, 30},
    {"SST", 8, 0},   {"TAHT", -10, 0},  {"THA", 7, 0},   {"UYT", -3, 0},  {"UYST", -2, 0},  {"VET", -4, 30},
    {"VLAT", 10, 0}, {"WAT", 1, 0},     {"WET", 0, 0},   {"WEST", 1, 0},  {"YAKT", 9, 0},   {"YEKT", 5, 0},
};
static_assert(sizeof(timeZoneTable) / sizeof(timeZoneTable[0]) == 96);

// The calendar and zone dates are built with, made on first use on each
// thread and never shared between threads.
struct ZPHDateParsingState {
  QCalendar calendar{QCalendar::System::Gregorian};
  QTimeZone timeZone{QTimeZone::utc()};
};

ZPHDateParsingState& dateParsingState()
{
  thread_local ZPHDateParsingState state;
  return state;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equalIgnoringCase(const char* a, const char* b)
{
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (lower(*a) != lower(*b))
      return false;
  }
  return *a == *b;
}

// Index of the character right after the digit run that ended at `position`
// (see nextNumericValue): the limit was reached when `position` is a digit.
std::size_t indexAfterField(const char* bytes, std::size_t length, std::size_t position)
{
  if (position >= length)
    return length;
  return isDigit(bytes[position]) ? position + 1 : position;
}

// Two-digit years: 00-49 are 2000-2049, 50-99 are 1950-1999; three-digit
// years count from 1900 ("103" is 2003).
int fullYear(int year)
{
  if (year == ZPHMissingNumericValue)
    return year;
  if (year < 50)
    return year + 2000;
  if (year < 100)
    return year + 1900;
  if (year < 1000)
    return year + 1900;
  return year;
}

// The month named by the letters from `position` on (see the RFC 822 path);
// -1 when unset. `position` moves past what was read.
int monthFromLetters(const char* bytes, std::size_t length, std::size_t* position)
{
  std::size_t i = *position;
  while (i < length && !isLetter(bytes[i])) ++i;
  if (i >= length) {
    *position = length;
    return -1;
  }
  switch (lower(bytes[i])) {
    case 'd':
      *position = i + 1;
      return 12;
    case 'f':
      *position = i + 1;
      return 2;
    case 'n':
      *position = i + 1;
      return 11;
    case 'o':
      *position = i + 1;
      return 10;
    case 's':
      *position = i + 1;
      return 9;
    default:
      break;
  }
  char letters[3] = {0, 0, 0};
  int count = 0;
  while (i < length && count < 3 && isLetter(bytes[i])) letters[count++] = lower(bytes[i++]);
  *position = i;
  if (count < 2)
    return -1;
  switch (letters[0]) {
    case 'a':
      return letters[1] == 'u' ? 8 : 4;
    case 'j':
      if (letters[1] == 'a')
        return 1;
      if (letters[1] == 'u')
        return letters[2] == 'n' ? 6 : 7;
      return 1;
    case 'm':
      return letters[2] == 'y' ? 5 : 3;
    default:
      return 1;
  }
}

// The fallback for dates that came out missing or implausibly early: an
// abbreviated month name, day, four-digit year and 12-hour time with seconds
// and an AM/PM marker, in the user's locale (then in English) and local time.
QDateTime dateWithFallbackFormatter(const char* bytes, std::size_t length)
{
  const QString text = QString::fromUtf8(bytes, qsizetype(length));
  static const QString format = QStringLiteral("MMM d yyyy h:mm:ssAP");
  QDateTime date = QLocale::system().toDateTime(text, format);
  if (!date.isValid())
    date = QLocale::c().toDateTime(text, format);
  if (!date.isValid())
    return {};
  return date.toUTC();
}

QDateTime rfc822Date(const char* bytes, std::size_t length)
{
  std::size_t position = 0;
  int day = nextNumericValue(bytes, length, 0, 2, &position);
  if (day == ZPHMissingNumericValue || day == 0)
    day = 1;

  std::size_t monthPosition = indexAfterField(bytes, length, position);
  const int month = monthFromLetters(bytes, length, &monthPosition);

  const int year = fullYear(nextNumericValue(bytes, length, monthPosition, 4, &position));
  std::size_t lastFieldPosition = position;

  int hour = nextNumericValue(bytes, length, position + 1, 2, &position);
  if (hour != ZPHMissingNumericValue)
    lastFieldPosition = position;
  else
    hour = 0;
  int minute = nextNumericValue(bytes, length, position + 1, 2, &position);
  if (minute != ZPHMissingNumericValue)
    lastFieldPosition = position;
  else
    minute = 0;

  int second = 0;
  const std::size_t afterMinute = indexAfterField(bytes, length, lastFieldPosition);
  if (afterMinute < length && bytes[afterMinute] == ':') {
    second = nextNumericValue(bytes, length, position + 1, 2, &position);
    if (second != ZPHMissingNumericValue)
      lastFieldPosition = position;
    else
      second = 0;
  }

  int offset = 0;
  bool offsetIsValid = true;
  const std::size_t afterLastField = indexAfterField(bytes, length, lastFieldPosition);
  if (afterLastField < length && bytes[afterLastField] == ' ')
    offset = parsedTimeZoneOffset(bytes, length, afterLastField, &offsetIsValid);

  const QDateTime date =
      year == ZPHMissingNumericValue || !offsetIsValid
          ? QDateTime()
          : dateWithYearMonthDayHourMinuteSecondAndTimeZoneOffset(year, month, day, hour, minute, second, offset);
  if (!date.isValid() || !ZPHIsDateReasonableAsPubDate(date)) {
    const QDateTime fallback = dateWithFallbackFormatter(bytes, length);
    if (fallback.isValid())
      return fallback;
  }
  return date;
}

// A sign or "Z" at `index` (blanks before it passed over) begins the zone:
// the digits after it are the offset, never a field of the time of day.
bool zoneBeginsAt(const char* bytes, std::size_t length, std::size_t index)
{
  while (index < length && bytes[index] == ' ') ++index;
  if (index >= length)
    return false;
  const char c = bytes[index];
  return c == '+' || c == '-' || c == 'Z' || c == 'z';
}

QDateTime w3cDate(const char* bytes, std::size_t length)
{
  std::size_t position = 0;
  const int year = fullYear(nextNumericValue(bytes, length, 0, 4, &position));
  // A text without a single digit names no date at all.
  if (year == ZPHMissingNumericValue)
    return {};
  // The index right after the last field read; the zone is read from there.
  std::size_t afterLastField = indexAfterField(bytes, length, position);
  int fields[5] = {-1, -1, -1, -1, -1};  // month, day, hour, minute, second; -1 is unset
  for (int i = 0; i < 5; ++i) {
    // "18:30-05:00" has no seconds: the hour, minute and second end where the zone begins.
    if (i >= 2 && zoneBeginsAt(bytes, length, afterLastField))
      break;
    const int value = nextNumericValue(bytes, length, position + 1, 2, &position);
    if (value == ZPHMissingNumericValue)
      break;
    fields[i] = value;
    afterLastField = indexAfterField(bytes, length, position);
  }

  std::size_t offsetStart = afterLastField;
  if (offsetStart < length && bytes[offsetStart] == '.') {
    ++offsetStart;
    while (offsetStart < length && isDigit(bytes[offsetStart])) ++offsetStart;
  }
  bool offsetIsValid = true;
  const int offset = parsedTimeZoneOffset(bytes, length, offsetStart, &offsetIsValid);
  if (!offsetIsValid)
    return {};
  return dateWithYearMonthDayHourMinuteSecondAndTimeZoneOffset(year, fields[0], fields[1], fields[2], fields[3],
                                                               fields[4], offset);
}

// "2003-12-13": a text that begins with an ISO date of a four-digit year is
// W3C whatever follows ("2003-12-13 18:30:02" with a blank for the "T").
bool beginsWithISODate(const char* bytes, std::size_t length)
{
  static constexpr char pattern[] = "dddd-dd-dd";
  constexpr std::size_t patternLength = sizeof(pattern) - 1;
  if (length < patternLength)
    return false;
  for (std::size_t i = 0; i < patternLength; ++i) {
    if (pattern[i] == 'd' ? !isDigit(bytes[i]) : bytes[i] != pattern[i])
      return false;
  }
  return length == patternLength || !isDigit(bytes[patternLength]);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void trimBlanks(const char** bytes, std::size_t* length)
{
  while (*length > 0 && isBlank((*bytes)[0])) {
    ++*bytes;
    --*length;
  }
  while (*length > 0 && isBlank((*bytes)[*length - 1])) --*length;
}

// Copies the text into `out` (room for `length` bytes) with every comment in
// parentheses replaced by one blank, as in mail dates: comments nest, and a
// backslash inside one takes the next character as text ("(a \) b)" is one
// comment). A comment left open runs to the end. Gives the copy's length.
std::size_t copyWithoutComments(const char* bytes, std::size_t length, char* out)
{
  std::size_t written = 0;
  int depth = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = bytes[i];
    if (depth == 0) {
      if (c == '(') {
        depth = 1;
        out[written++] = ' ';
      } else {
        out[written++] = c;
      }
      continue;
    }
    if (c == '\\')
      ++i;
    else if (c == '(')
      ++depth;
    else if (c == ')')
      --depth;
  }
  return written;
}

}  // namespace

int nextNumericValue(const char* bytes, std::size_t length, std::size_t start, int maxDigits, std::size_t* outPosition)
{
  const int limit = maxDigits < 4 ? maxDigits : 4;
  std::size_t i = start;
  while (i < length && !isDigit(bytes[i])) ++i;
  if (i >= length || limit <= 0) {
    if (outPosition)
      *outPosition = length;
    return ZPHMissingNumericValue;
  }
  int value = 0;
  int digits = 0;
  for (;;) {
    value = value * 10 + (bytes[i] - '0');
    ++digits;
    if (digits == limit || i + 1 >= length || !isDigit(bytes[i + 1])) {
      // The last digit when the limit was reached or the text ended, else the
      // non-digit that ended the run.
      if (digits < limit && i + 1 < length)
        ++i;
      break;
    }
    ++i;
  }
  if (outPosition)
    *outPosition = i;
  return value;
}

int parsedTimeZoneOffset(const char* bytes, std::size_t length, std::size_t start, bool* isValid)
{
  if (isValid)
    *isValid = true;
  char collected[6] = {0, 0, 0, 0, 0, 0};
  std::size_t count = 0;
  std::size_t colonAt = 0;  // characters collected when the first colon came; 0 for none yet
  bool hasLetter = false;
  for (std::size_t i = start; i < length && count < 5; ++i) {
    const char c = bytes[i];
    if (c == ':') {
      if (colonAt == 0)
        colonAt = count;
      continue;
    }
    if (c == ' ')
      continue;
    if (isLetter(c) || isDigit(c) || c == '+' || c == '-') {
      collected[count++] = c;
      hasLetter = hasLetter || isLetter(c);
    }
  }
  if (count == 0 || collected[0] == 'z' || collected[0] == 'Z')
    return 0;

  // An offset that begins with a sign or a digit is numeric; letters after it
  // are stray text ("+05:30 (IST)").
  const bool isNumeric = collected[0] == '+' || collected[0] == '-' || isDigit(collected[0]);
  if (hasLetter) {
    char folded[6] = {0, 0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < count; ++i) folded[i] = lower(collected[i]);
    if (std::strstr(folded, "gmt") || std::strstr(folded, "utc"))
      return 0;
  }
  if (hasLetter && !isNumeric) {
    // Zone names in any case ("pDt"), the first in table order winning.
    for (const ZPHTimeZoneAbbreviation& row : timeZoneTable) {
      if (equalIgnoringCase(row.abbreviation, collected)) {
        const int minutes = row.hours < 0 ? -row.minutes : row.minutes;
        return row.hours * 3600 + minutes * 60;
      }
    }
    return 0;
  }

  // The first digit run holds the hours and minutes: split at a colon after
  // one or two digits ("+5:30", "+05:30"), else by its length ("+5", "+05",
  // "+530", "+0530").
  std::size_t first = 0;
  while (first < count && !isDigit(collected[first])) ++first;
  std::size_t end = first;
  while (end < count && isDigit(collected[end])) ++end;
  std::size_t hourDigits = end - first;
  if (colonAt > first && colonAt <= end && colonAt - first <= 2)
    hourDigits = colonAt - first;
  else if (hourDigits == 3)
    hourDigits = 1;
  else if (hourDigits > 2)
    hourDigits = 2;
  const std::size_t minuteDigits = std::min<std::size_t>(end - first - hourDigits, 2);
  int h = 0;
  for (std::size_t i = first; i < first + hourDigits; ++i) h = h * 10 + (collected[i] - '0');
  int m = 0;
  for (std::size_t i = first + hourDigits; i < first + hourDigits + minuteDigits; ++i)
    m = m * 10 + (collected[i] - '0');
  if (h == 0 && m == 0)
    return 0;
  // No zone is farther than 14:00 from UTC; minutes past 59 would roll over.
  const int seconds = h * 3600 + m * 60;
  if (isValid && (m > 59 || seconds > kLargestTimeZoneOffset))
    *isValid = false;
  return collected[0] == '+' ? seconds : -seconds;
}

QDateTime dateWithYearMonthDayHourMinuteSecondAndTimeZoneOffset(int year, int month, int day, int hour, int minute,
                                                                int second, int timeZoneOffset)
{
  ZPHDateParsingState& state = dateParsingState();
  Q_ASSERT(state.timeZone.isValid());

  month = month < 0 ? 1 : month;
  day = day < 0 ? 1 : day;
  hour = hour < 0 ? 0 : hour;
  minute = minute < 0 ? 0 : minute;
  second = second < 0 ? 0 : second;
  // A leap second names the last second of its minute.
  if (second == 60)
    second = 59;

  QDate date;
  if (year >= 1 && year <= 9999 && month <= 12 && day <= 31)
    date = QDate(year, month, day, state.calendar);
  const QTime time(hour, minute, second);
  if (!date.isValid() || !time.isValid()) {
    qCDebug(zphFeeds).nospace() << "Can't create UTC date from date compoennts: " << year << "-" << month << "-" << day
                                << " " << hour << ":" << minute << ":" << second;
    return {};
  }
  const QDateTime utcDate = QDateTime(date, time, state.timeZone).toUTC();
  const QDateTime adjusted = utcDate.addSecs(-qint64(timeZoneOffset));
  if (!adjusted.isValid()) {
    qCDebug(zphFeeds).nospace() << "Can't create timeZone-adjusted date from UTC date: " << utcDate
                                << ", timeZoneOffset " << timeZoneOffset;
    return {};
  }
  return adjusted;
}

QDateTime earliestDateAcceptable()
{
  static const QDateTime date = QDateTime::fromSecsSinceEpoch(1141367296, Qt::UTC);
  return date;
}

bool ZPHIsDateReasonableAsPubDate(const QDateTime& date) { return date.isValid() && date > earliestDateAcceptable(); }

QDateTime ZPHDateWithBytes(const char* bytes, std::size_t length)
{
  if (!bytes || length < kShortestDateText)
    return {};
  const bool hasComment = std::memchr(bytes, '(', length) != nullptr;
  if (length > (hasComment ? kLongestCommentedDateText : kLongestDateText))
    return {};
  // White space around the date is not part of it (and a blank would send a
  // W3C date to the RFC 822 reader).
  trimBlanks(&bytes, &length);
  // Comments are white space too; the length rule holds for what is left
  // ("Thu(oh how I hate thursdays), 9(th) Feb(ruary) 2006 ...").
  char withoutComments[kLongestCommentedDateText];
  if (hasComment) {
    length = copyWithoutComments(bytes, length, withoutComments);
    bytes = withoutComments;
    trimBlanks(&bytes, &length);
  }
  if (length < kShortestDateText || length > kLongestDateText)
    return {};
  const bool isRFC822 =
      (std::memchr(bytes, ' ', length) || std::memchr(bytes, ',', length)) && !beginsWithISODate(bytes, length);
  return isRFC822 ? rfc822Date(bytes, length) : w3cDate(bytes, length);
}

QDateTime ZPHDateWithString(const QString& string)
{
  // Each UTF-16 unit is at least one UTF-8 byte: a long text is refused
  // without converting it.
  if (std::size_t(string.size()) > kLongestCommentedDateText)
    return {};
  const QByteArray utf8 = string.toUtf8();
  return ZPHDateWithBytes(utf8.constData(), std::size_t(utf8.size()));
}
