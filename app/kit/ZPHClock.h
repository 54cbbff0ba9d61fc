#pragma once

// Qt kind: none (an interface: an abstract class).

#include <QtCore/QtGlobal>

#include <functional>

class QObject;

// The time and the one-shot timers of views that take turns or fade on a
// schedule (the status area, the notification bezel, the spinner). The
// system clock is a steady clock and Qt timers; tests pass a ZPHManualClock
// and move time by hand. Main thread only.
class ZPHClock {
public:
  using TimerID = quint64;

  ZPHClock() = default;
  virtual ~ZPHClock();
  ZPHClock(const ZPHClock&) = delete;
  ZPHClock& operator=(const ZPHClock&) = delete;

  // The clock of the process: steady time and QTimer.
  static ZPHClock& systemClock();

  // Milliseconds on a steady clock; only differences mean something.
  virtual qint64 now() const = 0;

  // Runs `block` once, `delay` milliseconds from now (0 or less: as soon as
  // the clock runs timers again), unless the timer is cancelled or `context`
  // (required) is destroyed first. Answers a timer ID, never 0.
  virtual TimerID schedule(qint64 delay, QObject* context, std::function<void()> block) = 0;
  // Nothing for a timer that has run, was cancelled, or 0.
  virtual void cancel(TimerID timer) = 0;
};
