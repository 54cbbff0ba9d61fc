#include "foundation/CBDateManager.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMutexLocker>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>

#include <atomic>

const QString CBDatesDidChangeNotification = QStringLiteral("CBDatesDidChangeNotification");

namespace {

constexpr int kRecalculateIntervalMilliseconds = 900 * 1000;

// The start of `day` in `zone`; the system's local time when the zone is
// unknown. A day whose midnight is skipped by a daylight-saving change starts
// at its first existing instant.
QDateTime startOfDay(QDate day, const QTimeZone& zone)
{
  return zone.isValid() ? day.startOfDay(zone) : day.startOfDay();
}

QDate dayOf(const QDateTime& instant, const QTimeZone& zone)
{
  return zone.isValid() ? instant.toTimeZone(zone).date() : instant.toLocalTime().date();
}

std::atomic<CBDateManager*> g_sharedManager{nullptr};

QMutex& sharedManagerMutex()
{
  static auto* mutex = new QMutex;
  return *mutex;
}

}  // namespace

CBDateManager::CBDateManager(NowFunction now, TimeZoneFunction timeZone, QObject* parent)
    : QObject(parent), m_now(std::move(now)), m_timeZone(std::move(timeZone))
{
  recalculateDates();

  m_recalculateDatesTimer = new QTimer(this);
  m_recalculateDatesTimer->setInterval(kRecalculateIntervalMilliseconds);
  connect(m_recalculateDatesTimer, &QTimer::timeout, this, &CBDateManager::recalculateDates);
  m_recalculateDatesTimer->start();

  if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(application, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
      if (state == Qt::ApplicationActive)
        recalculateDates();
    });
  }
}

// The timer and the connections end with the object.
CBDateManager::~CBDateManager() = default;

CBDateManager* CBDateManager::sharedManager()
{
  if (CBDateManager* manager = g_sharedManager.load(std::memory_order_acquire))
    return manager;
  // Made on the main thread so that its timer runs on the main event loop.
  const auto make = [] {
    QMutexLocker locker(&sharedManagerMutex());
    if (g_sharedManager.load(std::memory_order_acquire) == nullptr)
      g_sharedManager.store(new CBDateManager, std::memory_order_release);
  };
  if (ZPHMainThread::isMainThread())
    make();
  else
    ZPHMainThread::sync(make);
  return g_sharedManager.load(std::memory_order_acquire);
}

void CBDateManager::recalculateDates()
{
  const QCalendar calendar;
  const QTimeZone zone = m_timeZone ? m_timeZone() : QTimeZone::systemTimeZone();
  const QDateTime now = m_now ? m_now() : QDateTime::currentDateTimeUtc();

  // Calendar days, not 86,400 seconds: around a daylight-saving change a day
  // is 23 or 25 hours long.
  const QDate day = dayOf(now, zone);
  const QDateTime today = startOfDay(day, zone).toUTC();
  const QDateTime yesterday = startOfDay(day.addDays(-1), zone).toUTC();
  const QDateTime tomorrow = startOfDay(day.addDays(1), zone).toUTC();

  bool changed = false;
  {
    QMutexLocker locker(&m_mutex);
    m_userCalendar = calendar;
    m_userTimeZone = zone;
    m_firstSecondOfTomorrow = tomorrow;
    m_firstSecondOfYesterday = yesterday;
    changed = m_firstSecondOfToday.isValid() && m_firstSecondOfToday != today;
    m_firstSecondOfToday = today;
  }
  if (changed)
    sendDatesDidRecalculateNotification();
}

int CBDateManager::groupForDate(const QDateTime& date) const
{
  if (!date.isValid())
    return 3;
  QMutexLocker locker(&m_mutex);
  if (date < m_firstSecondOfYesterday)
    return 3;
  if (date >= m_firstSecondOfTomorrow)
    return 0;
  if (date >= m_firstSecondOfToday)
    return 1;
  return 2;
}

void CBDateManager::year(int* year, int* month, const QDateTime& date) const
{
  if (!date.isValid())
    return;
  QCalendar calendar;
  QTimeZone zone;
  {
    QMutexLocker locker(&m_mutex);
    calendar = m_userCalendar;
    zone = m_userTimeZone;
  }
  const QCalendar::YearMonthDay parts = calendar.partsFromDate(dayOf(date, zone));
  if (year != nullptr)
    *year = parts.year;
  if (month != nullptr)
    *month = parts.month;
}

QDateTime CBDateManager::firstSecondOfYesterday() const
{
  QMutexLocker locker(&m_mutex);
  return m_firstSecondOfYesterday;
}

QDateTime CBDateManager::firstSecondOfToday() const
{
  QMutexLocker locker(&m_mutex);
  return m_firstSecondOfToday;
}

QDateTime CBDateManager::firstSecondOfTomorrow() const
{
  QMutexLocker locker(&m_mutex);
  return m_firstSecondOfTomorrow;
}

QCalendar CBDateManager::userCalendar() const
{
  QMutexLocker locker(&m_mutex);
  return m_userCalendar;
}

QTimeZone CBDateManager::userTimeZone() const
{
  QMutexLocker locker(&m_mutex);
  return m_userTimeZone;
}

void CBDateManager::sendDatesDidRecalculateNotification()
{
  ZPHNotificationCenter::defaultCenter().postOnMainThread(CBDatesDidChangeNotification, QVariant::fromValue(this));
}
