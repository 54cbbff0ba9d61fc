#pragma once

#include "platform/ZPHError.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QDateTime>
#include <QtCore/QObject>

#include <atomic>
#include <memory>
#include <vector>

class CBEventThrottler;
class QTimer;
class ZPHOperationQueue;
class ZPHSyncServerNetworkOperation;

// Drives the sync client. It owns the serial queue on which the sync calls
// run, one at a time, and the queue of feed reactivations. A cycle is the
// four data calls in a row: list the server's feeds and folders and merge
// them, send the local ones, list the server's article states and merge
// them, send the local ones. A cycle starts on a local change of a feed or
// folder (0.2 s after the last of a burst), every periodicRefreshInterval()
// once one cycle got through, and on request; no second cycle starts while
// one is under way (refreshInProgress). An article change alone runs the
// two article calls.
//
// Each call hands its outcome back on the main thread, and the next call of
// the cycle is queued only when the one before succeeded. A call that fails
// (no or a bad reply, a refused login, no answer from the user) or is
// cancelled ends the cycle and clears refreshInProgress, so the next trigger
// starts a new cycle; nothing that was not accepted by the server is marked
// as synced.
//
// The client starts when the user-defaults key ZPHSyncResetAccountInfo turns
// true (the account is reset first, and the key set back to false), and at
// start-up through startIfSetUp() when an account has synced before.
//
// Made and used on the main thread. The application makes one after the
// data controller's set-up and keeps it; while it lives it is the shared
// manager. It stops at ZPHApplicationWillTerminateNotification, and its
// destruction waits (serving the main thread) for its calls to end. Local deletions of feeds and folders are noted from
// the moment it exists (see ZPHSyncDeletedNodeLog).
class ZPHSyncManager : public QObject {
  Q_OBJECT
public:
  static constexpr double DefaultPeriodicRefreshInterval = 300.0;  // seconds
  static constexpr double SyncEventThrottleTimeout = 0.2;          // seconds

  ZPHSyncManager();
  // Stops the client and waits for its calls to end.
  ~ZPHSyncManager() override;

  // The manager that lives, else a new one owned by the application object.
  static ZPHSyncManager* sharedController();
  // The manager that lives, or nullptr.
  static ZPHSyncManager* existingController();

  // Resumes the queues and observes local changes (once), then starts a
  // cycle.
  void start();
  // Stops observing local changes, suspends both queues and cancels their
  // calls; refreshInProgress becomes false.
  void stop();
  // start() when an account has synced before (ZPHSyncDataHasBeenSynced and
  // a user name): what the application calls at start-up.
  void startIfSetUp();

  // Starts a cycle unless one is under way or the client is stopped.
  void fetchFeedsAndFolders();
  // Queues the article calls alone.
  void fetchArticles();
  // A cycle is due when none is under way and the last one got through at
  // least periodicRefreshInterval() ago; the periodic timer's action.
  void doPeriodicRefreshIfNeeded();

  bool running() const { return m_running.load(); }
  bool refreshInProgress() const { return m_refreshInProgress; }
  // When the last cycle got through its feeds and folders; null before.
  QDateTime lastRefreshDate() const { return m_lastRefreshDate; }
  // The error that ended the last cycle early; null after a complete one.
  ZPHError lastError() const { return m_lastError; }

  double periodicRefreshInterval() const { return m_periodicRefreshInterval; }
  // Tests shorten it; takes effect for the timer made next.
  void setPeriodicRefreshInterval(double seconds) { m_periodicRefreshInterval = seconds; }

  // The serial queue of the sync calls and the queue of feed reactivations
  // (ZPHSyncFeedFetchOperation).
  ZPHOperationQueue* queue() const { return m_queue.get(); }
  ZPHOperationQueue* feedFetchQueue() const { return m_feedFetchQueue.get(); }
  CBEventThrottler* feedSyncEventThrottler() const { return m_feedSyncEventThrottler.get(); }
  CBEventThrottler* articleSyncEventThrottler() const { return m_articleSyncEventThrottler.get(); }

private:
  enum class Step { FeedsAndFolders, FullUpdate, ArticleRefresh, ArticleExport, AccountCreation };

  void queueCall(const std::shared_ptr<ZPHSyncServerNetworkOperation>& operation, Step step, quint64 cycle);
  void callFinished(Step step, quint64 cycle, bool succeeded, const ZPHError& error);
  void endCycle(quint64 cycle, const ZPHError& error);
  void syncComplete(quint64 cycle);
  void registerObservers();
  void resetAccountInfoChanged(const QVariant& value);
  void recordDeletion(const ZPHNotification& notification);
  void createAccount(const ZPHNotification& notification);
  void accountCreationResponse(const ZPHNotification& notification);

  std::atomic<bool> m_running{false};
  bool m_refreshInProgress = false;
  quint64 m_cycleCounter = 0;
  quint64 m_activeCycle = 0;  // the cycle that set refreshInProgress
  QDateTime m_lastRefreshDate;
  ZPHError m_lastError;
  double m_periodicRefreshInterval = DefaultPeriodicRefreshInterval;
  QTimer* m_periodicRefreshTimer = nullptr;
  std::unique_ptr<CBEventThrottler> m_feedSyncEventThrottler;
  std::unique_ptr<CBEventThrottler> m_articleSyncEventThrottler;
  std::unique_ptr<ZPHOperationQueue> m_queue;
  std::unique_ptr<ZPHOperationQueue> m_feedFetchQueue;
  std::vector<ZPHObserverToken> m_runningObservers;
  ZPHObserverToken m_deletionObserver;
  ZPHObserverToken m_terminationObserver;
};
