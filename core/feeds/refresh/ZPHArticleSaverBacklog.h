#pragma once

#include <QtCore/QMutex>
#include <QtCore/QWaitCondition>

#include <functional>
#include <memory>

// Bounds how many parsed feeds wait for the article saver. The savers run
// one at a time on the store queue; refreshes download and parse faster, so
// without a bound their parsed articles pile up in memory. A refresh takes a
// slot before it parses and hands it to its saver, which gives it back when
// it has run (or was dropped); while every slot is taken, refreshes wait
// before parsing, and so hold back their next downloads too.
//
// Any thread.
class ZPHArticleSaverBacklog {
public:
  // Enough for the store queue to find several savers waiting at once and
  // save them together (see ZPHCoreDataArticleSaverOperation).
  static constexpr int DefaultLimit = 32;

  // Given back when the last copy goes, or by release().
  class Slot {
  public:
    explicit Slot(std::shared_ptr<ZPHArticleSaverBacklog> backlog) : m_backlog(std::move(backlog)) {}
    ~Slot() { release(); }
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    void release();

  private:
    QMutex m_mutex;
    std::shared_ptr<ZPHArticleSaverBacklog> m_backlog;
  };

  // The backlog of the process's store queue.
  static std::shared_ptr<ZPHArticleSaverBacklog> sharedBacklog();

  explicit ZPHArticleSaverBacklog(int limit = DefaultLimit);

  // Waits for a free slot; null when `shouldStop` answered true first (it is
  // asked whenever a slot is given back or wakeWaiters() is called, and a
  // few times a second besides).
  static std::shared_ptr<Slot> acquire(const std::shared_ptr<ZPHArticleSaverBacklog>& backlog,
                                       const std::function<bool()>& shouldStop);
  // Has every waiter ask its `shouldStop` again now (a refresh that is
  // cancelled calls it, so its wait ends at once).
  void wakeWaiters();

  int limit() const { return m_limit; }
  int slotsTaken() const;
  // The most slots taken at once so far.
  int mostSlotsTaken() const;

private:
  void releaseOne();

  const int m_limit;
  mutable QMutex m_mutex;
  QWaitCondition m_slotFreed;
  int m_taken = 0;
  int m_mostTaken = 0;
};
