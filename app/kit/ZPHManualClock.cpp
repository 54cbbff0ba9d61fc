#include "kit/ZPHManualClock.h"

#include <algorithm>

ZPHClock::TimerID ZPHManualClock::schedule(qint64 delay, QObject* context, std::function<void()> block)
{
  Q_ASSERT_X(context != nullptr, Q_FUNC_INFO, "a timer needs a context");
  const TimerID id = ++m_lastID;
  m_timers.push_back(Timer{id, m_now + std::max<qint64>(delay, 0), context, std::move(block)});
  return id;
}

void ZPHManualClock::cancel(TimerID timer)
{
  std::erase_if(m_timers, [timer](const Timer& entry) { return entry.id == timer; });
}

void ZPHManualClock::advance(qint64 milliseconds)
{
  const qint64 target = m_now + std::max<qint64>(milliseconds, 0);
  for (;;) {
    std::erase_if(m_timers, [](const Timer& entry) { return entry.context == nullptr; });
    // The earliest due timer; IDs grow, so the smaller ID was scheduled first.
    auto next = std::min_element(m_timers.begin(), m_timers.end(), [](const Timer& a, const Timer& b) {
      return a.due != b.due ? a.due < b.due : a.id < b.id;
    });
    if (next == m_timers.end() || next->due > target)
      break;
    Timer timer = std::move(*next);
    m_timers.erase(next);
    m_now = std::max(m_now, timer.due);
    timer.block();
  }
  m_now = target;
}

int ZPHManualClock::pendingTimerCount() const
{
  return static_cast<int>(
      std::count_if(m_timers.begin(), m_timers.end(), [](const Timer& entry) { return entry.context != nullptr; }));
}
