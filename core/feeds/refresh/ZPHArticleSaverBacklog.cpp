#include "feeds/refresh/ZPHArticleSaverBacklog.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QMutexLocker>

#include <algorithm>

namespace {

// Waiters sleep until a slot is given back or they are woken (a cancel
// wakes them); this is only the rare look at `shouldStop` of a waiter whose
// stop comes without a wake.
constexpr int StopCheckIntervalMs = 250;

}  // namespace

void ZPHArticleSaverBacklog::Slot::release()
{
  std::shared_ptr<ZPHArticleSaverBacklog> backlog;
  {
    QMutexLocker locker(&m_mutex);
    backlog = std::move(m_backlog);
    m_backlog.reset();
  }
  if (backlog)
    backlog->releaseOne();
}

std::shared_ptr<ZPHArticleSaverBacklog> ZPHArticleSaverBacklog::sharedBacklog()
{
  static const std::shared_ptr<ZPHArticleSaverBacklog> backlog = std::make_shared<ZPHArticleSaverBacklog>();
  return backlog;
}

ZPHArticleSaverBacklog::ZPHArticleSaverBacklog(int limit) : m_limit(std::max(1, limit)) {}

std::shared_ptr<ZPHArticleSaverBacklog::Slot> ZPHArticleSaverBacklog::acquire(
    const std::shared_ptr<ZPHArticleSaverBacklog>& backlog, const std::function<bool()>& shouldStop)
{
  if (!backlog)
    return nullptr;
  {
    QMutexLocker locker(&backlog->m_mutex);
    for (;;) {
      if (shouldStop && shouldStop()) {
        // A slot given back may have woken this waiter alone: the next
        // one gets the wake.
        if (backlog->m_taken < backlog->m_limit)
          backlog->m_slotFreed.wakeOne();
        return nullptr;
      }
      if (backlog->m_taken < backlog->m_limit)
        break;
      backlog->m_slotFreed.wait(&backlog->m_mutex, QDeadlineTimer(StopCheckIntervalMs));
    }
    ++backlog->m_taken;
    backlog->m_mostTaken = std::max(backlog->m_mostTaken, backlog->m_taken);
  }
  return std::make_shared<Slot>(backlog);
}

int ZPHArticleSaverBacklog::slotsTaken() const
{
  QMutexLocker locker(&m_mutex);
  return m_taken;
}

int ZPHArticleSaverBacklog::mostSlotsTaken() const
{
  QMutexLocker locker(&m_mutex);
  return m_mostTaken;
}

void ZPHArticleSaverBacklog::wakeWaiters()
{
  QMutexLocker locker(&m_mutex);
  m_slotFreed.wakeAll();
}

void ZPHArticleSaverBacklog::releaseOne()
{
  QMutexLocker locker(&m_mutex);
  if (m_taken > 0)
    --m_taken;
  m_slotFreed.wakeOne();
}
