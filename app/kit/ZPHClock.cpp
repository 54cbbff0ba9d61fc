#include "kit/ZPHClock.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include <algorithm>
#include <limits>

namespace {

class ZPHSystemClock final : public ZPHClock {
public:
  ZPHSystemClock() { m_elapsed.start(); }

  qint64 now() const override { return m_elapsed.elapsed(); }

  TimerID schedule(qint64 delay, QObject* context, std::function<void()> block) override
  {
    Q_ASSERT_X(context != nullptr, Q_FUNC_INFO, "a timer needs a context");
    const TimerID id = ++m_lastID;
    if (context == nullptr)
      return id;
    if (m_timers.size() > 64)
      m_timers.removeIf([](QHash<TimerID, QPointer<QTimer>>::iterator entry) { return entry.value() == nullptr; });
    auto* timer = new QTimer(context);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, timer, block = std::move(block)] {
      m_timers.remove(id);
      timer->deleteLater();
      block();
    });
    m_timers.insert(id, timer);
    timer->start(static_cast<int>(std::clamp<qint64>(delay, 0, std::numeric_limits<int>::max())));
    return id;
  }

  void cancel(TimerID timer) override
  {
    const QPointer<QTimer> pending = m_timers.take(timer);
    if (pending != nullptr) {
      pending->stop();
      pending->deleteLater();
    }
  }

private:
  QElapsedTimer m_elapsed;
  TimerID m_lastID = 0;
  // Timers that have not run; a destroyed context leaves a null pointer
  // behind, which cancel() and the next look-up ignore.
  QHash<TimerID, QPointer<QTimer>> m_timers;
};

}  // namespace

ZPHClock::~ZPHClock() = default;

ZPHClock& ZPHClock::systemClock()
{
  static ZPHSystemClock clock;
  return clock;
}
