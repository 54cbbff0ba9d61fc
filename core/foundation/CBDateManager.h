#pragma once

// CBDateManager: the one shared source of the day boundaries that the rest of
// the system calls Today and Yesterday. It recomputes them at creation, every
// 15 minutes, whenever a GUI application becomes active, and whenever the
// application calls recalculateDates(); when the day has changed it posts
// CBDatesDidChangeNotification so that lists and counts are redone.
//
// Used on the main thread; other threads may read the three boundaries.

#include <QtCore/QCalendar>
#include <QtCore/QDateTime>
#include <QtCore/QMutex>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QTimeZone>

#include <functional>

class QTimer;

// Posted on the main thread with the date manager (CBDateManager*) as object
// and no payload when the first second of today has moved.
extern const QString CBDatesDidChangeNotification;  // "CBDatesDidChangeNotification"

class CBDateManager : public QObject {
  Q_OBJECT

public:
  // Sources of "now" and of the user's time zone, asked again at every
  // recomputation. Empty functions mean the system clock and the system's
  // current time zone.
  using NowFunction = std::function<QDateTime()>;
  using TimeZoneFunction = std::function<QTimeZone()>;

  // Computes the boundaries once and starts the repeating 15-minute timer on
  // the calling thread's event loop.
  explicit CBDateManager(NowFunction now = {}, TimeZoneFunction timeZone = {}, QObject* parent = nullptr);
  ~CBDateManager() override;

  // The shared instance, made on the main thread on first use; it lives for
  // the process.
  static CBDateManager* sharedManager();

  // Recomputes the three boundaries from now in the user's calendar and time
  // zone; posts CBDatesDidChangeNotification when today has moved since the
  // previous computation.
  void recalculateDates();

  // 0 tomorrow or later, 1 today, 2 yesterday, 3 older or no date. Each
  // boundary instant belongs to the later group.
  int groupForDate(const QDateTime& date) const;

  // Writes the year and month of `date` in the user's calendar and time zone
  // (either pointer may be null). Writes nothing for an invalid date.
  void year(int* year, int* month, const QDateTime& date) const;

  // The start instants of the three days, in UTC.
  QDateTime firstSecondOfYesterday() const;
  QDateTime firstSecondOfToday() const;
  QDateTime firstSecondOfTomorrow() const;

  // The calendar and time zone of the latest recomputation.
  QCalendar userCalendar() const;
  QTimeZone userTimeZone() const;

  QTimer* recalculateDatesTimer() const { return m_recalculateDatesTimer; }

  // Posts CBDatesDidChangeNotification on the main thread, asynchronously.
  void sendDatesDidRecalculateNotification();

private:
  NowFunction m_now;
  TimeZoneFunction m_timeZone;
  QTimer* m_recalculateDatesTimer = nullptr;

  mutable QMutex m_mutex;  // guards everything below
  QCalendar m_userCalendar;
  QTimeZone m_userTimeZone;
  QDateTime m_firstSecondOfYesterday;
  QDateTime m_firstSecondOfToday;
  QDateTime m_firstSecondOfTomorrow;
};
