#include "foundation/CBDates.h"

#include <QtCore/QHash>
#include <QtCore/QLocale>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimeZone>

namespace {

// The locale's long date pattern without the weekday name ("dddd" or "ddd"
// and the separator that joins it to the rest).
QString longDatePattern(const QLocale& locale)
{
  QString pattern = locale.dateFormat(QLocale::LongFormat);
  static const QRegularExpression leadingWeekday(QStringLiteral("^d{3,4}[,.\\s]*"));
  static const QRegularExpression otherWeekday(QStringLiteral("[,.\\s]*(?<!d)d{3,4}(?!d)"));
  pattern.remove(leadingWeekday);
  pattern.remove(otherWeekday);
  return pattern.trimmed();
}

QString mediumDatePattern(const QLocale& locale)
{
  QString pattern = longDatePattern(locale);
  pattern.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
  return pattern;
}

// The locale's long time pattern without the time zone.
QString mediumTimePattern(const QLocale& locale)
{
  QString pattern = locale.timeFormat(QLocale::LongFormat);
  static const QRegularExpression zone(QStringLiteral("\\s*\\(?(?<![A-Za-z'])t+(?![A-Za-z'])\\)?"));
  pattern.remove(zone);
  return pattern.trimmed();
}

// The locale's short time pattern without the seconds: some locales (the
// C locale among them) give them in their short format too.
QString shortTimePattern(const QLocale& locale)
{
  QString pattern = locale.timeFormat(QLocale::ShortFormat);
  static const QRegularExpression seconds(QStringLiteral("\\s*[:.]\\s*(?<![A-Za-z'])s{1,2}(?:[.,]z+)?(?![A-Za-z'])"));
  pattern.remove(seconds);
  return pattern.trimmed();
}

enum class Style { None, Short, Medium, Long };

QString makePattern(Style dateStyle, Style timeStyle)
{
  const QLocale locale;
  QString date;
  switch (dateStyle) {
    case Style::None:
      break;
    case Style::Short:
      date = locale.dateFormat(QLocale::ShortFormat);
      break;
    case Style::Medium:
      date = mediumDatePattern(locale);
      break;
    case Style::Long:
      date = longDatePattern(locale);
      break;
  }
  QString time;
  switch (timeStyle) {
    case Style::None:
      break;
    case Style::Short:
      time = shortTimePattern(locale);
      break;
    case Style::Medium:
      time = mediumTimePattern(locale);
      break;
    case Style::Long:
      time = locale.timeFormat(QLocale::LongFormat);
      break;
  }
  if (date.isEmpty())
    return time;
  if (time.isEmpty())
    return date;
  return date + QLatin1Char(' ') + time;
}

// The pattern of the styles for the current locale, made once per locale.
QString patternFor(Style dateStyle, Style timeStyle)
{
  static QMutex mutex;
  static QHash<QString, QString> patterns;
  const QString key = QLocale().name() + QLatin1Char('/') + QString::number(int(dateStyle)) + QLatin1Char('/') +
                      QString::number(int(timeStyle));
  QMutexLocker locker(&mutex);
  auto found = patterns.constFind(key);
  if (found == patterns.constEnd())
    found = patterns.insert(key, makePattern(dateStyle, timeStyle));
  return *found;
}

QString formatLocal(const QDateTime& date, const QString& pattern)
{
  if (!date.isValid())
    return {};
  return QLocale().toString(date.toLocalTime(), pattern);
}

}  // namespace

double cb_timeIntervalSince1970Now() { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; }

QDateTime cb_dateWithNumberOfDaysInThePast(int days)
{
  return QDateTime::currentDateTimeUtc().addSecs(-static_cast<qint64>(days) * 86400);
}

QString cb_hourMinuteString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::None, Style::Short);
  return formatLocal(date, pattern);
}

QString cb_shortDateOnlyString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::Short, Style::None);
  return formatLocal(date, pattern);
}

QString cb_shortDateAndTimeString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::Short, Style::Short);
  return formatLocal(date, pattern);
}

QString cb_mediumDateOnlyString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::Medium, Style::None);
  return formatLocal(date, pattern);
}

QString cb_shortTimeOnlyString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::None, Style::Short);
  return formatLocal(date, pattern);
}

QString cb_mediumTimeOnlyString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::None, Style::Medium);
  return formatLocal(date, pattern);
}

QString cb_mediumDateAndTimeString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::Medium, Style::Medium);
  return formatLocal(date, pattern);
}

QString cb_longDateAndTimeString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::Long, Style::Long);
  return formatLocal(date, pattern);
}

QString cb_monthDayYearHourMinuteString(const QDateTime& date)
{
  const QString pattern = patternFor(Style::Medium, Style::None);
  if (!date.isValid())
    return {};
  return formatLocal(date, pattern) + QLatin1Char(' ') + cb_shortTimeOnlyString(date);
}

QString cb_contextualDateString(const QDateTime& date)
{
  return cb_isToday(date) ? cb_hourMinuteString(date) : cb_mediumDateOnlyString(date);
}

bool cb_isToday(const QDateTime& date) { return cb_calendarGroup(date) == 1; }

int cb_calendarGroup(const QDateTime& date) { return cb_calendarGroup(date, QDateTime::currentDateTimeUtc()); }

int cb_calendarGroup(const QDateTime& date, const QDateTime& now)
{
  struct Boundaries {
    QDate localDate;
    QByteArray zoneID;
    QDateTime lastCheck;
    QDateTime tomorrow;
    QDateTime today;
    QDateTime yesterday;
    QDateTime dayBeforeYesterday;
  };
  static QMutex lock;
  static Boundaries boundaries;

  if (!date.isValid())
    return 4;
  QMutexLocker locker(&lock);
  const QDate localDate = now.toLocalTime().date();
  const QByteArray zoneID = QTimeZone::systemTimeZoneId();
  const bool keep = boundaries.lastCheck.isValid() && qAbs(boundaries.lastCheck.secsTo(now)) <= 30 &&
                    boundaries.localDate == localDate && boundaries.zoneID == zoneID;
  if (!keep) {
    boundaries.localDate = localDate;
    boundaries.zoneID = zoneID;
    boundaries.today = localDate.startOfDay();
    boundaries.yesterday = localDate.addDays(-1).startOfDay();
    boundaries.dayBeforeYesterday = localDate.addDays(-2).startOfDay();
    boundaries.tomorrow = localDate.addDays(1).startOfDay();
  }
  boundaries.lastCheck = now;

  if (date >= boundaries.tomorrow)
    return 0;
  if (date >= boundaries.today)
    return 1;
  if (date >= boundaries.yesterday)
    return 2;
  if (date >= boundaries.dayBeforeYesterday)
    return 3;
  return 4;
}

void cb_year(const QDateTime& date, int* year, int* month) { cb_year(date, year, month, nullptr); }

void cb_year(const QDateTime& date, int* year, int* month, int* dayOfMonth)
{
  const QDate local = date.toLocalTime().date();
  if (year != nullptr)
    *year = local.year();
  if (month != nullptr)
    *month = local.month();
  if (dayOfMonth != nullptr)
    *dayOfMonth = local.day();
}

QString cb_w3cString(const QDateTime& date)
{
  if (!date.isValid())
    return {};
  static const QString pattern = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");
  const QDateTime local = date.toLocalTime();
  const int offset = local.offsetFromUtc();
  if (offset == 0 || offset % 60 != 0)
    return QLocale::c().toString(date.toUTC(), pattern) + QLatin1Char('Z');
  const int minutes = qAbs(offset) / 60;
  return QLocale::c().toString(local, pattern) + QLatin1Char(offset < 0 ? '-' : '+') +
         QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString cb_isoString(const QDateTime& date)
{
  if (!date.isValid())
    return {};
  return QLocale::c().toString(date.toUTC(), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

QString cb_unixTimestampStringWithNoDecimal(const QDateTime& date)
{
  if (!date.isValid())
    return {};
  return QString::asprintf("%.0f", static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0);
}
