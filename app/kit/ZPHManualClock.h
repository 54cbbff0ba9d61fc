#pragma once

// Qt kind: none (a plain class).

#include "kit/ZPHClock.h"

#include <QtCore/QPointer>

#include <vector>

// A clock that moves only when told to: time stands still until advance(),
// which runs every timer that falls due on the way, in time order (timers
// due at the same moment in the order they were scheduled), each with the
// clock set to its due time. For tests and for reproducible screenshots.
class ZPHManualClock final : public ZPHClock {
public:
  qint64 now() const override { return m_now; }
  TimerID schedule(qint64 delay, QObject* context, std::function<void()> block) override;
  void cancel(TimerID timer) override;

  // Moves time forward by `milliseconds` (0 runs what is due now).
  void advance(qint64 milliseconds);
  // Timers scheduled and not yet run or cancelled (their context alive).
  int pendingTimerCount() const;

private:
  struct Timer {
    TimerID id = 0;
    qint64 due = 0;
    QPointer<QObject> context;
    std::function<void()> block;
  };

  qint64 m_now = 0;
  TimerID m_lastID = 0;
  std::vector<Timer> m_timers;
};
