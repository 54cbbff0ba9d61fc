#include "foundation/CBCalendarDate.h"

#include <QtCore/QLocale>
#include <QtCore/QStringList>
#include <QtCore/QStringView>

#include <optional>

const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneOffset = QStringLiteral("%a, %d %b %Y %H:%M:%S %z");
const QString CBCalendarDateRFC822TimeZoneOffset = QStringLiteral("%d %b %Y %H:%M:%S %z");
const QString CBCalendarDateTwitterFormat = QStringLiteral("%a %b %d %H:%M:%S %z %Y");
const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneName = QStringLiteral("%a, %d %b %Y %H:%M:%S %Z");
const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameTwoDigitsForYear =
    QStringLiteral("%a, %d %b %y %H:%M:%S %Z");
const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameNoSeconds = QStringLiteral("%a, %d %b %Y %H:%M %Z");
const QString CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameNoSecondsTwoDigitsForYear =
    QStringLiteral("%a, %d %b %y %H:%M %Z");
const QString CBCalendarDateRFC822TimeZoneName = QStringLiteral("%d %b %Y %H:%M:%S %Z");
const QString CBCalendarDateRFC822TimeZoneNameTwoDigitsForYear = QStringLiteral("%d %b %y %H:%M:%S %Z");
const QString CBCalendarDateRFC822DayOfWeekDayMonthFourDigitYear = QStringLiteral("%a, %d %b %Y");
const QString CBCalendarDateRFC822DayOfWeekDayMonthTwoDigitYear = QStringLiteral("%a, %d %b %y");
const QString CBCalendarDateRFC822DayMonthFourDigitYearPlusTimeZoneName = QStringLiteral("%d %b %Y %H:%M %Z");
const QString CBCalendarDateRFC822DayMonthFourDigitYearPlusTimeZoneNameTwoDigitYear =
    QStringLiteral("%d %b %y %H:%M %Z");
const QString CBCalendarDateFormatCompleteDatePlusHoursMinutesAndSecondsAndMilliseconds =
    QStringLiteral("%Y-%m-%dT%H:%M:%S.%F%z");
const QString CBCalendarDateFormatCompleteDatePlusHoursMinutesAndSeconds = QStringLiteral("%Y-%m-%dT%H:%M:%S%z");
const QString CBCalendarDateFormatCompleteDatePlusHoursAndMinutes = QStringLiteral("%Y-%m-%dT%H:%M%z");
const QString CBCalendarDateFormatCompleteDate = QStringLiteral("%Y-%m-%d");
const QString CBCalendarDateFormatYearAndMonth = QStringLiteral("%Y-%m");
const QString CBCalendarDateFormatYear = QStringLiteral("%Y");
const QString CBCalendarDateHyphen = QStringLiteral("-");
const QString CBCalendarDatePlus = QStringLiteral("+");
const QString CBCalendarDateZ = QStringLiteral("Z");
const QString CBCalendarDateZeroTimezone = QStringLiteral("+00:00");
const QString _CBContextualDateFormat = QStringLiteral("%d %b %Y");
const QString junkDateFormatString = QStringLiteral("%d %B %Y %I:%M %p");

namespace {

// Indexed by QDate::month() - 1 and QDate::dayOfWeek() - 1; the first three
// letters of each are its abbreviation.
const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kWeekdayNames[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

struct ZoneName {
  const char* name;
  int offsetMinutes;
};

// Zone names read by %Z, each as its fixed offset. IST is India's.
const ZoneName kZoneNames[] = {
    {"UT", 0},         {"UTC", 0},        {"GMT", 0},        {"Z", 0},          {"EST", -5 * 60},  {"EDT", -4 * 60},
    {"CST", -6 * 60},  {"CDT", -5 * 60},  {"MST", -7 * 60},  {"MDT", -6 * 60},  {"PST", -8 * 60},  {"PDT", -7 * 60},
    {"AKST", -9 * 60}, {"AKDT", -8 * 60}, {"HST", -10 * 60}, {"AST", -4 * 60},  {"ADT", -3 * 60},  {"NST", -210},
    {"NDT", -150},     {"WET", 0},        {"WEST", 60},      {"BST", 60},       {"CET", 60},       {"CEST", 2 * 60},
    {"EET", 2 * 60},   {"EEST", 3 * 60},  {"MSK", 3 * 60},   {"IST", 330},      {"SGT", 8 * 60},   {"HKT", 8 * 60},
    {"JST", 9 * 60},   {"KST", 9 * 60},   {"AEST", 10 * 60}, {"AEDT", 11 * 60}, {"NZST", 12 * 60}, {"NZDT", 13 * 60},
};

// The widest offset a zone has.
constexpr int kMaxOffsetMinutes = 14 * 60;

bool contains(const QString& string, QStringView needle) { return string.contains(needle, Qt::CaseInsensitive); }

QTimeZone systemZone()
{
  const QTimeZone zone = QTimeZone::systemTimeZone();
  return zone.isValid() ? zone : QTimeZone::utc();
}

QDateTime currentDateTime() { return QDateTime::currentDateTimeUtc().toTimeZone(systemZone()); }

QTimeZone zoneWithOffsetMinutes(int minutes) { return minutes == 0 ? QTimeZone::utc() : QTimeZone(minutes * 60); }

bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool isAsciiLetter(QChar c)
{
  return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// Reads minDigits to maxDigits ASCII digits (maxDigits <= 9) at `pos`.
bool readNumber(QStringView text, qsizetype& pos, int minDigits, int maxDigits, int& value, int* digitsRead = nullptr)
{
  int digits = 0;
  int number = 0;
  while (digits < maxDigits && pos < text.size() && isAsciiDigit(text[pos])) {
    number = number * 10 + (text[pos].unicode() - '0');
    ++pos;
    ++digits;
  }
  if (digits < minDigits)
    return false;
  value = number;
  if (digitsRead != nullptr)
    *digitsRead = digits;
  return true;
}

bool readNumberInRange(QStringView text, qsizetype& pos, int maxDigits, int low, int high, int& value)
{
  return readNumber(text, pos, 1, maxDigits, value) && value >= low && value <= high;
}

// A full name, else its three-letter abbreviation, without regard to case.
template <std::size_t N>
bool readName(QStringView text, qsizetype& pos, const char* const (&names)[N], int& index)
{
  const QStringView rest = text.mid(pos);
  for (std::size_t i = 0; i < N; ++i) {
    const QLatin1StringView full(names[i]);
    if (rest.startsWith(full, Qt::CaseInsensitive)) {
      pos += full.size();
      index = static_cast<int>(i);
      return true;
    }
  }
  for (std::size_t i = 0; i < N; ++i) {
    const QLatin1StringView abbreviation(names[i], 3);
    if (rest.startsWith(abbreviation, Qt::CaseInsensitive)) {
      pos += abbreviation.size();
      index = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

bool readZoneName(QStringView text, qsizetype& pos, std::optional<QTimeZone>& zone)
{
  const qsizetype start = pos;
  while (pos < text.size() && isAsciiLetter(text[pos])) ++pos;
  const QStringView name = text.mid(start, pos - start);
  for (const ZoneName& entry : kZoneNames) {
    if (name.compare(QLatin1StringView(entry.name), Qt::CaseInsensitive) == 0) {
      zone = zoneWithOffsetMinutes(entry.offsetMinutes);
      return true;
    }
  }
  return false;
}

// "+hhmm" or "-hhmm", at most 14 hours.
bool readZoneOffset(QStringView text, qsizetype& pos, std::optional<QTimeZone>& zone)
{
  if (pos >= text.size() || (text[pos] != QLatin1Char('+') && text[pos] != QLatin1Char('-')))
    return false;
  const int sign = text[pos] == QLatin1Char('-') ? -1 : 1;
  ++pos;
  int hours = 0;
  int minutes = 0;
  if (!readNumber(text, pos, 2, 2, hours) || !readNumber(text, pos, 2, 2, minutes) || minutes > 59)
    return false;
  const int offset = hours * 60 + minutes;
  if (offset > kMaxOffsetMinutes)
    return false;
  zone = zoneWithOffsetMinutes(sign * offset);
  return true;
}

// Reads `string` with a calendar format (see the header for the letters);
// null unless the whole text, blanks around it aside, matches.
QDateTime readCalendarDate(const QString& string, QStringView format, const QTimeZone& localZone)
{
  const QStringView text = QStringView(string).trimmed();
  qsizetype pos = 0;
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int hour12 = -1;
  bool afternoon = false;
  std::optional<QTimeZone> zone;

  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar f = format[i];
    if (f.isSpace()) {
      if (pos >= text.size() || !text[pos].isSpace())
        return {};
      while (pos < text.size() && text[pos].isSpace()) ++pos;
      continue;
    }
    if (f != QLatin1Char('%') || i + 1 == format.size()) {
      if (pos >= text.size() || text[pos] != f)
        return {};
      ++pos;
      continue;
    }
    bool ok = false;
    switch (format[++i].unicode()) {
      case 'a': {
        int weekday = 0;  // not checked against the date
        ok = readName(text, pos, kWeekdayNames, weekday);
        break;
      }
      case 'b':
      case 'B':
        ok = readName(text, pos, kMonthNames, month);
        ++month;
        break;
      case 'd':
        ok = readNumberInRange(text, pos, 2, 1, 31, day);
        break;
      case 'm':
        ok = readNumberInRange(text, pos, 2, 1, 12, month);
        break;
      case 'Y':
        ok = readNumber(text, pos, 1, 4, year);
        // Year 0 is 1 BC, which QDate numbers -1.
        if (year == 0)
          year = -1;
        break;
      case 'y': {
        int shortYear = 0;
        ok = readNumber(text, pos, 1, 2, shortYear);
        year = shortYear < 69 ? 2000 + shortYear : 1900 + shortYear;
        break;
      }
      case 'H':
        ok = readNumberInRange(text, pos, 2, 0, 23, hour);
        break;
      case 'I':
        ok = readNumberInRange(text, pos, 2, 1, 12, hour12);
        break;
      case 'M':
        ok = readNumberInRange(text, pos, 2, 0, 59, minute);
        break;
      case 'S':
        ok = readNumberInRange(text, pos, 2, 0, 59, second);
        break;
      case 'F': {
        int fraction = 0;
        int digits = 0;
        ok = readNumber(text, pos, 1, 9, fraction, &digits);
        for (; digits < 3; ++digits) fraction *= 10;
        for (; digits > 3; --digits) fraction /= 10;
        millisecond = fraction;
        break;
      }
      case 'p': {
        const QStringView rest = text.mid(pos);
        if (rest.startsWith(QLatin1StringView("AM"), Qt::CaseInsensitive) ||
            rest.startsWith(QLatin1StringView("PM"), Qt::CaseInsensitive)) {
          afternoon = rest.front().toUpper() == QLatin1Char('P');
          pos += 2;
          ok = true;
        }
        break;
      }
      case 'Z':
        ok = readZoneName(text, pos, zone);
        break;
      case 'z':
        ok = readZoneOffset(text, pos, zone);
        break;
      case '%':
        ok = pos < text.size() && text[pos] == QLatin1Char('%');
        ++pos;
        break;
      default:
        break;
    }
    if (!ok)
      return {};
  }
  if (pos != text.size())
    return {};

  if (hour12 >= 0)
    hour = hour12 % 12 + (afternoon ? 12 : 0);
  const QDate date(year, month, day);
  if (!date.isValid())
    return {};
  const QDateTime result(date, QTime(hour, minute, second, millisecond), zone ? *zone : localZone);
  return result.isValid() ? result : QDateTime();
}

QString twoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

// Writes a date in its own zone with a calendar format, English names.
QString writeCalendarDate(const QDateTime& dateTime, QStringView format)
{
  const QDate date = dateTime.date();
  const QTime time = dateTime.time();
  QString result;
  for (qsizetype i = 0; i < format.size(); ++i) {
    if (format[i] != QLatin1Char('%') || i + 1 == format.size()) {
      result += format[i];
      continue;
    }
    switch (format[++i].unicode()) {
      case 'a':
        result += QLatin1StringView(kWeekdayNames[date.dayOfWeek() - 1], 3);
        break;
      case 'b':
        result += QLatin1StringView(kMonthNames[date.month() - 1], 3);
        break;
      case 'B':
        result += QLatin1StringView(kMonthNames[date.month() - 1]);
        break;
      case 'd':
        result += twoDigits(date.day());
        break;
      case 'm':
        result += twoDigits(date.month());
        break;
      case 'Y':
        result += date.year() >= 0 ? QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'))
                                   : QString::number(date.year());
        break;
      case 'y':
        result += twoDigits(qAbs(date.year()) % 100);
        break;
      case 'H':
        result += twoDigits(time.hour());
        break;
      case 'I':
        result += twoDigits(time.hour() % 12 == 0 ? 12 : time.hour() % 12);
        break;
      case 'M':
        result += twoDigits(time.minute());
        break;
      case 'S':
        result += twoDigits(time.second());
        break;
      case 'F':
        result += QStringLiteral("%1").arg(time.msec(), 3, 10, QLatin1Char('0'));
        break;
      case 'p':
        result += time.hour() < 12 ? QLatin1StringView("AM") : QLatin1StringView("PM");
        break;
      case 'z': {
        const int offset = dateTime.offsetFromUtc() / 60;
        result += offset < 0 ? QLatin1Char('-') : QLatin1Char('+');
        result += twoDigits(qAbs(offset) / 60) + twoDigits(qAbs(offset) % 60);
        break;
      }
      case 'Z':
        result += dateTime.timeZoneAbbreviation();
        break;
      default:
        result += format[i];
        break;
    }
  }
  return result;
}

QDateTime readWithFormats(const QString& string, std::initializer_list<const QString*> formats,
                          const QTimeZone& localZone)
{
  for (const QString* format : formats) {
    const QDateTime date = readCalendarDate(string, *format, localZone);
    if (date.isValid())
      return date;
  }
  return {};
}

// "2003-12-13" at the start of a trimmed text.
bool startsWithISODate(QStringView text)
{
  static constexpr QLatin1StringView kPattern("dddd-dd-dd");
  if (text.size() < kPattern.size())
    return false;
  for (qsizetype i = 0; i < kPattern.size(); ++i) {
    if (kPattern[i] == QLatin1Char('d') ? !isAsciiDigit(text[i]) : text[i] != kPattern[i])
      return false;
  }
  return true;
}

// Common date phrases and notations, read at `now` in now's zone.
QDateTime readDatePhrase(const QString& string, const QDateTime& now)
{
  const QString phrase = string.trimmed();
  if (phrase.compare(QLatin1StringView("now"), Qt::CaseInsensitive) == 0 ||
      phrase.compare(QLatin1StringView("today"), Qt::CaseInsensitive) == 0)
    return now;
  if (phrase.compare(QLatin1StringView("tomorrow"), Qt::CaseInsensitive) == 0)
    return now.addDays(1);
  if (phrase.compare(QLatin1StringView("yesterday"), Qt::CaseInsensitive) == 0)
    return now.addDays(-1);

  const QTimeZone zone = now.timeZone();
  if (startsWithISODate(phrase)) {
    static const QString withSecondsAndOffset = QStringLiteral("%Y-%m-%d %H:%M:%S %z");
    static const QString withSeconds = QStringLiteral("%Y-%m-%d %H:%M:%S");
    static const QString withMinutes = QStringLiteral("%Y-%m-%d %H:%M");
    const QDateTime date = readWithFormats(phrase, {&withSecondsAndOffset, &withSeconds, &withMinutes}, zone);
    return date.isValid() ? date : CobbletonExtras::dateWithW3CDatetimeString(phrase, zone);
  }
  return CobbletonExtras::dateWithRFC822DatetimeString(phrase, zone);
}

}  // namespace

namespace CobbletonExtras {

QString hourMinuteString(const QDateTime& date) { return hourMinuteString(date, systemZone()); }

QString hourMinuteString(const QDateTime& date, const QTimeZone& localZone)
{
  if (!date.isValid())
    return {};
  // The shared formatter: the user's locale as it was on first use.
  static const QLocale formatterLocale = QLocale::system();
  return formatterLocale.toString(date.toTimeZone(localZone).time(), QLocale::ShortFormat);
}

QDateTime beginningOfDay(const QDateTime& date)
{
  if (!date.isValid())
    return {};
  // A day whose clocks jump over midnight begins at the first moment it has.
  switch (date.timeSpec()) {
    case Qt::TimeZone:
      return date.date().startOfDay(date.timeZone());
    case Qt::OffsetFromUTC:
      return date.date().startOfDay(Qt::OffsetFromUTC, date.offsetFromUtc());
    case Qt::UTC:
    case Qt::LocalTime:
      break;
  }
  return date.date().startOfDay(date.timeSpec());
}

bool inCurrentYear(const QDateTime& date) { return inCurrentYear(date, currentDateTime()); }

bool inCurrentYear(const QDateTime& date, const QDateTime& now)
{
  return date.isValid() && date.date().year() == now.date().year();
}

QDateTime calendarDateWithTimeConvertedToLocal(const QDateTime& date)
{
  return calendarDateWithTimeConvertedToLocal(date, systemZone());
}

QDateTime calendarDateWithTimeConvertedToLocal(const QDateTime& date, const QTimeZone& localZone)
{
  if (!date.isValid())
    return {};
  return readCalendarDate(writeCalendarDate(date, junkDateFormatString), junkDateFormatString, localZone);
}

bool isToday(const QDateTime& date) { return isToday(date, currentDateTime()); }

bool isToday(const QDateTime& date, const QDateTime& now)
{
  if (!inCurrentYear(date, now))
    return false;
  const QDateTime local = calendarDateWithTimeConvertedToLocal(date, now.timeZone());
  return local.isValid() && local.date().dayOfYear() == now.date().dayOfYear();
}

bool isSameDayAs(const QDateTime& date, const QDateTime& other)
{
  return date.isValid() && other.isValid() && date.date() == other.date();
}

bool dateIsSameDay(const QDateTime& date, int dayOfYear, int year)
{
  return date.isValid() && date.date().year() == year && date.date().dayOfYear() == dayOfYear;
}

int groupForDate(const QDateTime& date, int* month, int* year)
{
  return groupForDate(date, month, year, currentDateTime());
}

int groupForDate(const QDateTime& date, int* month, int* year, const QDateTime& now)
{
  const QDateTime local = calendarDateWithTimeConvertedToLocal(date, now.timeZone());
  if (!local.isValid())
    return 4;
  const QDate day = local.date();
  const QDate today = now.date();
  if (day.year() > today.year() || (day.year() == today.year() && day.dayOfYear() > today.dayOfYear()))
    return 0;
  const auto isDay = [&day](const QDate& other) {
    return day.year() == other.year() && day.dayOfYear() == other.dayOfYear();
  };
  if (isDay(today))
    return 1;
  if (isDay(today.addDays(-1)))
    return 2;
  if (isDay(today.addDays(-2)))
    return 3;
  if (month != nullptr)
    *month = day.month();
  if (year != nullptr)
    *year = day.year();
  return 4;
}

QString contextualDateString(const QDateTime& date) { return contextualDateString(date, currentDateTime()); }

QString contextualDateString(const QDateTime& date, const QDateTime& now)
{
  if (!date.isValid())
    return {};
  if (isToday(date, now))
    return hourMinuteString(date, now.timeZone());
  return writeCalendarDate(date, _CBContextualDateFormat);
}

QDateTime calendarDateWithObject(const QVariant& object) { return calendarDateWithObject(object, currentDateTime()); }

QDateTime calendarDateWithObject(const QVariant& object, const QDateTime& now)
{
  if (object.typeId() == QMetaType::QDateTime)
    return object.toDateTime();
  return CBCalendarDateWithNSDate(object, now);
}

QDateTime dateWithRFC822DatetimeString(const QString& string)
{
  return dateWithRFC822DatetimeString(string, systemZone());
}

QDateTime dateWithRFC822DatetimeString(const QString& string, const QTimeZone& localZone)
{
  QString text = string;
  // "00:00:01.000 GMT": drop the milliseconds, only when they are three
  // digits right before the zone.
  const qsizetype size = text.size();
  if (size >= 8 && text.endsWith(QLatin1StringView(" GMT")) && text[size - 8] == QLatin1Char('.') &&
      isAsciiDigit(text[size - 7]) && isAsciiDigit(text[size - 6]) && isAsciiDigit(text[size - 5]))
    text.remove(size - 8, 4);

  if (contains(text, CBCalendarDateHyphen) || contains(text, CBCalendarDatePlus)) {
    return readWithFormats(text,
                           {&CBCalendarDateRFC822DayOfWeekPlusTimeZoneOffset, &CBCalendarDateRFC822TimeZoneOffset,
                            &CBCalendarDateTwitterFormat},
                           localZone);
  }

  struct FormatPair {
    const QString* fourDigitYear;
    const QString* twoDigitYear;
  };
  const FormatPair pairs[] = {
      {&CBCalendarDateRFC822DayOfWeekPlusTimeZoneName, &CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameTwoDigitsForYear},
      {&CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameNoSeconds,
       &CBCalendarDateRFC822DayOfWeekPlusTimeZoneNameNoSecondsTwoDigitsForYear},
      {&CBCalendarDateRFC822TimeZoneName, &CBCalendarDateRFC822TimeZoneNameTwoDigitsForYear},
      {&CBCalendarDateRFC822DayOfWeekDayMonthFourDigitYear, &CBCalendarDateRFC822DayOfWeekDayMonthTwoDigitYear},
      {&CBCalendarDateRFC822DayMonthFourDigitYearPlusTimeZoneName,
       &CBCalendarDateRFC822DayMonthFourDigitYearPlusTimeZoneNameTwoDigitYear},
  };
  for (const FormatPair& pair : pairs) {
    QDateTime date = readCalendarDate(text, *pair.fourDigitYear, localZone);
    // A year before 1970 was most likely written with two digits.
    if (date.isValid() && date.toMSecsSinceEpoch() < 0)
      date = readCalendarDate(text, *pair.twoDigitYear, localZone);
    if (date.isValid())
      return date;
  }
  return {};
}

QDateTime dateWithW3CDatetimeString(const QString& string) { return dateWithW3CDatetimeString(string, systemZone()); }

QDateTime dateWithW3CDatetimeString(const QString& string, const QTimeZone& localZone)
{
  if (string.isEmpty())
    return {};
  QString text = string;
  text.replace(CBCalendarDateZ, CBCalendarDateZeroTimezone);

  // The offset is read without its colon: +05:30 becomes +0530.
  const QStringList pieces = text.split(QLatin1Char('T'));
  if (pieces.size() == 2) {
    QStringList timePieces = pieces[1].split(CBCalendarDateHyphen);
    if (timePieces.size() < 2)
      timePieces = pieces[1].split(CBCalendarDatePlus);
    if (timePieces.size() == 2 && contains(timePieces[1], u":") && string.size() >= 5 &&
        text[text.size() - 3] == QLatin1Char(':'))
      text.remove(text.size() - 3, 1);
  }

  return readWithFormats(text,
                         {&CBCalendarDateFormatCompleteDatePlusHoursMinutesAndSecondsAndMilliseconds,
                          &CBCalendarDateFormatCompleteDatePlusHoursMinutesAndSeconds,
                          &CBCalendarDateFormatCompleteDatePlusHoursAndMinutes, &CBCalendarDateFormatCompleteDate,
                          &CBCalendarDateFormatYearAndMonth, &CBCalendarDateFormatYear},
                         localZone);
}

QDateTime dateWithUnknownFormat(const QString& string) { return dateWithUnknownFormat(string, systemZone()); }

QDateTime dateWithUnknownFormat(const QString& string, const QTimeZone& localZone)
{
  if (contains(string, u",")) {
    const QDateTime date = dateWithRFC822DatetimeString(string, localZone);
    if (date.isValid())
      return date;
  }
  if (!contains(string, u"T") && !contains(string, CBCalendarDateHyphen) && !contains(string, u" ")) {
    const QDateTime date = readCalendarDate(string, u"%Y%m%d", localZone);
    if (date.isValid())
      return date;
  }
  const QDateTime date = readCalendarDate(string, u"%Y%m%dT%H%M%S", localZone);
  if (date.isValid())
    return date;
  if (contains(string, CBCalendarDateHyphen))
    return dateWithW3CDatetimeString(string, localZone);
  return {};
}

}  // namespace CobbletonExtras

QDateTime CBCalendarDateWithNSDate(const QVariant& object)
{
  return CBCalendarDateWithNSDate(object, currentDateTime());
}

QDateTime CBCalendarDateWithNSDate(const QVariant& object, const QDateTime& now)
{
  QDateTime date;
  if (object.typeId() == QMetaType::QString)
    date = readDatePhrase(object.toString(), now);
  else if (object.typeId() == QMetaType::QDateTime)
    date = object.toDateTime();
  if (!date.isValid())
    return {};
  return date.toTimeZone(now.timeZone());
}
