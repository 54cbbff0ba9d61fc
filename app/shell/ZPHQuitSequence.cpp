#include "shell/ZPHQuitSequence.h"

#include "browser/ZPHTabCommands.h"
#include "common/ZPHApplicationNotifications.h"
#include "common/ZPHShellLog.h"
#include "feeds/images/CBFaviconController.h"
#include "feeds/images/CBThumbnailController.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHTerminationCancelingOperation.h"
#include "shell/ZPHInstanceLock.h"
#include "shell/ZPHMacCoreDataStack.h"
#include "shell/ZPHQuittingWindowController.h"
#include "store/CBDataController.h"
#include "store/operations/ZPHBatchDeletionOperation.h"
#include "store/tree/ZPHSourceListTreeBuilder.h"
#include "subscriptions/ZPHOPMLBackupController.h"
#include "sync/ZPHSyncManager.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtWidgets/QDialog>
#include <QtWidgets/QMainWindow>

namespace {

constexpr int QuitPollIntervalMs = 20;

// What the wait for the user's changes sees of the store queue moving on.
struct StoreQueueProgress {
  ZPHObserverToken deletions;
  int batchesSaved = 0;  // announced by the deletions
  int seenBatches = 0;
  int seenOperations = 0;
};

}  // namespace

ZPHQuitSequence::ZPHQuitSequence(ZPHAppDelegate& delegate, const ZPHAppDelegate::Environment& environment)
    : m_delegate(delegate), m_environment(environment)
{
}

void ZPHQuitSequence::quitWithoutTheStore(int status)
{
  // At once, without the quit: nothing of this launch touched the store.
  m_terminationRequested = true;
  m_terminationReplied = true;
  m_delegate.m_exitStatus = status;
  m_environment.exitApplication(status);
}

void ZPHQuitSequence::requestTermination()
{
  if (m_terminationRequested) {
    if (m_delegate.m_appIsShuttingDown)
      qCInfo(zphShell) << "already quitting";
    return;
  }
  m_terminationRequested = true;
  m_quitClock.start();
  if (applicationShouldTerminate() == TerminateReply::TerminateNow)
    replyToApplicationShouldTerminate(true);
}

ZPHQuitSequence::TerminateReply ZPHQuitSequence::applicationShouldTerminate()
{
  if (m_delegate.dataController() == nullptr || m_delegate.terminatingDueToCoreDataFailure()) {
    // A start-up still checking the store stops the check and opens nothing.
    if (ZPHMacCoreDataStack* stack = ZPHMacCoreDataStack::instance();
        stack != nullptr && m_delegate.dataController() == nullptr)
      stack->cancelIntegrityCheck();
    return TerminateReply::TerminateNow;
  }
  terminateAsynchronously();
  return TerminateReply::TerminateLater;
}

// The quit, step by step. Each wait serves the event loop (the window keeps
// drawing) until the event it waits for, or until its bound, which is
// logged; the quit then goes on without what did not end:
// 1. No new work: the store queue and the operation controllers take none,
//    the timers stop, launches are no longer taken, the termination
//    notification goes out (sync stops, termination-cancelling operations
//    cancel). The quitting window shows while work is pending.
// 2. Cancel: downloads, favicons, thumbnails, refreshes and the shared
//    controller's operations, at once.
// 3. The cancelled refreshes and the feed metadata writes end
//    (QuitBackgroundWorkBoundMs).
// 4. Everything already on the store queue runs: a main-thread block
//    queued behind it writes back. Past QuitStoreQueueBoundMs, what a later
//    refresh does again is cancelled (the article savers: those not started
//    are dropped whole, the running one stops at its next article and
//    saves nothing of its batch, or, saving, between two slices of its
//    save); the rest (the user's changes: marks, Mark
//    All Read, deletions, moves and renames) still runs before the write-
//    back, main()'s deadline held meanwhile, however long it takes while it
//    moves on. Only work that does not end (savers still running
//    QuitCancelledSaversBoundMs after their cancel, or a queue that did not
//    move on for QuitUsersChangesBoundMs) has the whole queue cancelled
//    (QuitStoreQueueCancelBoundMs).
// 5. Write back once: the main context is saved.
// 6. Close: once the store queue is dry, the windows go and the event loop
//    ends; the delegate's destructor lets go of the refresh controller
//    (QuitTeardownBoundMs), the tree builder, the data controller (its
//    store closes without writing its log back), the lock and the web
//    profile.
// main() arms a deadline of QuitDeadlineMs when the quit begins
// (Environment::quitBegan): a process still running then ends at once.
// The bounds named here are the program's; each wait takes its own from
// m_bounds (Bounds), which tests shorten.
void ZPHQuitSequence::terminateAsynchronously()
{
  // A queued backup of the subscription list is written before the quit
  // goes on (its store-queue block runs once termination has begun).
  ZPHOPMLBackupController::sharedOPMLBackupController()->startAnyQueuedBackups();
  m_delegate.m_appIsShuttingDown = true;
  if (m_environment.quitBegan)
    m_environment.quitBegan();
  stopRefreshTimers();
  if (m_delegate.m_instanceLock)
    m_delegate.m_instanceLock->stopTakingHandOvers();
  ZPHNotificationCenter::defaultCenter().post(ZPHApplicationWillTerminateNotification,
                                              QVariant::fromValue(static_cast<QObject*>(&m_delegate)));
  CBDataController* data = m_delegate.dataController();
  const bool pending = (m_delegate.m_metadataCache && m_delegate.m_metadataCache->hasOperations()) ||
                       (data != nullptr && data->coreDataQueueHasOperations()) || refreshOperationsLeft() != 0 ||
                       ZPHOPMLBackupController::sharedOPMLBackupController()->hasRemainingWork();
  if (!pending) {
    qCInfo(zphShell) << "quitting";
    runFinishingSteps(false);
    return;
  }
  qCInfo(zphShell) << "quitting once the pending work is done";
  m_delegate.m_quittingWindowController = std::make_unique<ZPHQuittingWindowController>();
  auto work = [this] { runFinishingSteps(true); };
  // A sheet on the main window while it shows; else a window of its own, so
  // the quit is seen and always ends.
  if (!m_delegate.runModalSheet(m_delegate.m_quittingWindowController->window(), work)) {
    m_delegate.m_quittingWindowController->showWindow();
    QTimer::singleShot(0, this, work);
  }
}

void ZPHQuitSequence::stopRefreshTimers()
{
  if (m_delegate.m_periodicRefreshTimer)
    m_delegate.m_periodicRefreshTimer->stop();
  if (m_delegate.m_initialRefreshTimer)
    m_delegate.m_initialRefreshTimer->stop();
}

void ZPHQuitSequence::waitForQuitStep(const QString& what, int boundMs, std::function<bool()> done,
                                      std::function<void(bool ended)> then, std::function<bool()> progressed)
{
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  auto poll = std::make_shared<std::function<void()>>();
  // The poll holds itself only through the timer's copies; it ends with
  // the step.
  *poll = [this, what, boundMs, done = std::move(done), then = std::move(then), progressed = std::move(progressed),
           clock, weakPoll = std::weak_ptr<std::function<void()>>(poll)]() {
    if (done()) {
      then(true);
      return;
    }
    if (progressed && progressed())
      clock->restart();
    if (clock->hasExpired(boundMs)) {
      qCWarning(zphShell).noquote()
          << QStringLiteral("quit: %1 did not end within its bound of %2 ms; going on").arg(what).arg(boundMs);
      then(false);
      return;
    }
    if (const std::shared_ptr<std::function<void()>> self = weakPoll.lock())
      QTimer::singleShot(QuitPollIntervalMs, this, [self] { (*self)(); });
  };
  (*poll)();
}

int ZPHQuitSequence::refreshOperationsLeft() const
{
  // The queue's count: a cancelled refresh leaves the controller's list at
  // once, but its thread may still be at work.
  const ZPHRefreshController* refresh = m_delegate.refreshController();
  return refresh != nullptr ? refresh->refreshOperationController()->operationQueue()->operationCount() : 0;
}

void ZPHQuitSequence::runFinishingSteps(bool modal)
{
  if (m_delegate.terminatingDueToCoreDataFailure())
    return;  // the failure path ends the program

  // The open tabs are saved.
  if (m_delegate.m_tabCommands != nullptr)
    m_delegate.m_tabCommands->saveTabs();
  CBOperationController::sharedDownloadOperationController()->cancelAllOperations();
  if (m_delegate.m_faviconController)
    m_delegate.m_faviconController->cancelAllOperations();
  CBThumbnailController::sharedController()->cancelAllOperations();
  if (ZPHRefreshController* refresh = m_delegate.refreshController())
    refresh->cancelAllOperations();
  CBOperationController::sharedController()->cancelAllOperations();

  waitForQuitStep(
      QStringLiteral("the cancelled refreshes and the feed metadata writes"), m_bounds.backgroundWorkMs,
      [this] {
        return refreshOperationsLeft() == 0 &&
               (!m_delegate.m_metadataCache || !m_delegate.m_metadataCache->hasOperations());
      },
      [this, modal](bool) { finishAfterStoreQueue(modal); });
}

void ZPHQuitSequence::finishAfterStoreQueue(bool modal)
{
  if (m_delegate.terminatingDueToCoreDataFailure())
    return;  // the failure path ends the program
  CBDataController* data = m_delegate.dataController();
  if (data == nullptr) {
    replyToApplicationShouldTerminate(true);
    return;
  }
  // Behind everything already on the store queue; whichever comes first,
  // the block or the end of the wait, writes back.
  auto written = std::make_shared<bool>(false);
  QPointer<ZPHQuitSequence> self(this);
  data->addMainThreadCoreDataQueueBlockIgnoringTermination([self, modal, written] {
    if (self && !*written) {
      *written = true;
      self->writeBackAndClose(modal);
    }
  });
  waitForQuitStep(
      QStringLiteral("the store queue"), m_bounds.storeQueueMs, [written] { return *written; },
      [this, modal, written](bool ended) {
        if (!ended)
          finishAfterTheUsersChanges(modal, written);
      });
}

void ZPHQuitSequence::finishAfterTheUsersChanges(bool modal, std::shared_ptr<bool> written)
{
  // What a later refresh does again is dropped: the savers not started
  // whole, the running one's batch at its next article or its save between
  // two slices. The rest of the
  // queue (the user's changes above all) runs before the write-back, main()'s
  // deadline held meanwhile.
  CBDataController* data = m_delegate.dataController();
  if (data != nullptr)
    data->cancelCoreDataBackgroundOperationsThatMayBeDropped();
  if (m_environment.holdQuitDeadline)
    m_environment.holdQuitDeadline(true);
  auto sinceCancel = std::make_shared<QElapsedTimer>();
  sinceCancel->start();
  auto saversStuck = std::make_shared<bool>(false);
  // The bound counts from the queue's last step forward: an operation that
  // ended, or a batch of a deletion saved (a large deletion is one operation
  // of many batches). So the user's work ends however slowly it moves on (a
  // large deletion on a busy machine); only a queue that stands still is
  // given up. It takes no new work since the quit began, so what moves on
  // ends. Each step forward holds main()'s deadline anew.
  auto progress = std::make_shared<StoreQueueProgress>();
  progress->seenOperations = data != nullptr ? data->coreDataBackgroundOperationQueue()->operationCount() : 0;
  progress->deletions = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHWillDeleteCoreDataObjectsInBackgroundNotification, QVariant(), this,
      [weak = std::weak_ptr<StoreQueueProgress>(progress)](const ZPHNotification&) {
        if (const std::shared_ptr<StoreQueueProgress> progress = weak.lock())
          ++progress->batchesSaved;
      },
      ZPHNotificationCenter::Delivery::MainThread);
  auto movedOn = [this, progress] {
    const CBDataController* data = m_delegate.dataController();
    const int operations = data != nullptr ? data->coreDataBackgroundOperationQueue()->operationCount() : 0;
    const bool moved = operations < progress->seenOperations || progress->batchesSaved != progress->seenBatches;
    progress->seenOperations = operations;
    progress->seenBatches = progress->batchesSaved;
    if (moved && m_environment.holdQuitDeadline) {
      m_environment.holdQuitDeadline(false);
      m_environment.holdQuitDeadline(true);
    }
    return moved;
  };
  waitForQuitStep(
      QStringLiteral("the user's changes on the store queue"), m_bounds.usersChangesMs,
      [this, written, sinceCancel, saversStuck] {
        const CBDataController* data = m_delegate.dataController();
        if (!*written && data != nullptr && data->coreDataQueueRunsCancelledOperation() &&
            sinceCancel->hasExpired(m_bounds.cancelledSaversMs)) {
          qCWarning(zphShell).noquote() << QStringLiteral(
                                               "quit: the cancelled savers did not end within their bound of %1 ms; "
                                               "going on")
                                               .arg(m_bounds.cancelledSaversMs);
          *saversStuck = true;
        }
        return *written || *saversStuck;
      },
      [this, modal, written, saversStuck, progress](bool ended) {
        progress->deletions.reset();
        if (m_environment.holdQuitDeadline)
          m_environment.holdQuitDeadline(false);
        if (ended && !*saversStuck)
          return;  // written back
        finishAfterCancellingTheStoreQueue(modal, written);
      },
      std::move(movedOn));
}

void ZPHQuitSequence::finishAfterCancellingTheStoreQueue(bool modal, std::shared_ptr<bool> written)
{
  // Work that ignores its cancel, or that does not end: the store queue is
  // cancelled whole, and the main context is written back beside it.
  if (CBDataController* data = m_delegate.dataController())
    data->cancelCoreDataBackgroundOperations();
  waitForQuitStep(
      QStringLiteral("the cancelled store queue"), m_bounds.storeQueueCancelMs,
      [this, written] {
        const CBDataController* data = m_delegate.dataController();
        return *written || data == nullptr || !data->coreDataQueueHasOperations();
      },
      [this, modal, written](bool) {
        if (*written)
          return;
        *written = true;
        writeBackAndClose(modal);
      });
}

void ZPHQuitSequence::writeBackAndClose(bool modal)
{
  // Once: also a running store operation lets the main thread's save take
  // its turn.
  bool written = true;
  if (CBDataController* data = m_delegate.dataController())
    written = data->saveManagedObjectContext(data->mainThreadManagedObjectContext());
  if (m_delegate.terminatingDueToCoreDataFailure())
    return;  // the store is damaged: the failure path ends the program
  const qint64 elapsed = m_quitClock.isValid() ? m_quitClock.elapsed() : 0;
  if (written)
    qCInfo(zphShell).noquote() << QStringLiteral("wrote the store back %1 ms after the quit began").arg(elapsed);
  else
    qCWarning(zphShell).noquote() << QStringLiteral(
                                         "could not write the last changes back %1 ms after the quit began; the "
                                         "store stays as it was saved before")
                                         .arg(elapsed);
  // The OPML backups queued at the quit's start read the list in store-queue
  // order (before this write-back) and are written off the main thread.
  waitForQuitStep(
      QStringLiteral("the OPML backups"), m_bounds.backupMs,
      [] { return !ZPHOPMLBackupController::sharedOPMLBackupController()->hasRemainingWork(); },
      [this, modal](bool) { endQuit(modal); });
}

void ZPHQuitSequence::endQuit(bool modal)
{
  // The quit completes once the store queue is dry, so that letting go of
  // the store afterwards waits for nothing. Work that ignored its cancel
  // holds it here until main()'s deadline ends the program.
  if (const CBDataController* data = m_delegate.dataController();
      data != nullptr && data->coreDataQueueHasOperations()) {
    // (The write-back's own block ends right after this.)
    if (++m_quitStoreQueueChecks == 2)
      qCInfo(zphShell) << "quit: waiting for the store queue to run dry";
    QPointer<ZPHQuitSequence> self(this);
    QTimer::singleShot(QuitPollIntervalMs, this, [self, modal] {
      if (self)
        self->endQuit(modal);
    });
    return;
  }
  if (!modal) {
    replyToApplicationShouldTerminate(true);
    return;
  }
  if (m_delegate.m_quittingWindowController)
    m_delegate.m_quittingWindowController->closeWindow();
  m_delegate.m_runningModalSheet = false;
  QPointer<ZPHQuitSequence> self(this);
  QTimer::singleShot(0, this, [self] {
    if (self)
      self->replyToApplicationShouldTerminate(true);
  });
}

void ZPHQuitSequence::terminateAfterCoreDataFailure()
{
  m_terminationRequested = true;
  if (m_delegate.m_quittingWindowController)
    m_delegate.m_quittingWindowController->closeWindow();
  replyToApplicationShouldTerminate(true);
}

void ZPHQuitSequence::replyToApplicationShouldTerminate(bool shouldTerminate)
{
  if (!shouldTerminate || m_terminationReplied)
    return;
  m_terminationReplied = true;
  // The window goes from the screen now, while the platform is whole.
  if (QMainWindow* window = m_delegate.mainWindow())
    window->hide();
  qCInfo(zphShell).noquote()
      << QStringLiteral("quit complete (%1 ms)").arg(m_quitClock.isValid() ? m_quitClock.elapsed() : 0);
  m_environment.exitApplication(m_delegate.m_exitStatus);
}

void ZPHQuitSequence::closeStoreThen(std::function<void()> then)
{
  m_delegate.m_appIsShuttingDown = true;
  stopRefreshTimers();
  ZPHNotificationCenter::defaultCenter().post(ZPHApplicationWillTerminateNotification,
                                              QVariant::fromValue(static_cast<QObject*>(&m_delegate)));
  if (ZPHRefreshController* refresh = m_delegate.refreshController())
    refresh->cancelAllOperations();
  if (CBDataController* data = m_delegate.dataController())
    data->cancelCoreDataBackgroundOperations();

  auto idle = [this] {
    const CBDataController* data = m_delegate.dataController();
    const ZPHRefreshController* refresh = m_delegate.refreshController();
    return (data == nullptr || !data->coreDataQueueHasOperations()) &&
           (refresh == nullptr || refresh->refreshOperationController()->numberOfOperations() == 0);
  };
  if (!idle()) {
    QTimer::singleShot(QuitPollIntervalMs, this,
                       [this, then = std::move(then)]() mutable { closeStoreThen(std::move(then)); });
    return;
  }
  // Views let go of store objects with their window.
  m_delegate.m_quittingWindowController.reset();
  m_delegate.m_mainWindowController.reset();
  releaseRefreshController();
  m_delegate.m_sourceListTreeBuilder.reset();
  releaseDataController();
  qCInfo(zphShell) << "closed the store";
  if (then)
    then();
}

void ZPHQuitSequence::releaseRefreshController()
{
  ZPHRefreshController* refresh = m_delegate.m_refreshControllerOwner.get();
  if (refresh == nullptr)
    return;
  refresh->cancelAllOperations();
  // The quit waited for the cancelled refreshes already, so this is quick
  // unless one did not end; the controller's destructor then waits for it.
  if (!ZPHMainThread::processEventsUntil([this] { return refreshOperationsLeft() == 0; },
                                         QDeadlineTimer(m_bounds.teardownMs)))
    qCWarning(zphShell).noquote() << QStringLiteral(
                                         "quit: %1 refreshes did not end within the bound of %2 ms after their cancel")
                                         .arg(refreshOperationsLeft())
                                         .arg(m_bounds.teardownMs);
  m_delegate.m_refreshController = nullptr;
  m_delegate.m_refreshControllerOwner.reset();
}

void ZPHQuitSequence::releaseDataController()
{
  // The sync client's calls end in store work, so it goes first.
  m_delegate.m_syncManager.reset();
  if (!m_delegate.m_dataControllerOwner)
    return;
  m_delegate.m_dataControllerOwner->disconnect(&m_delegate);
  // Runs the store queue dry (serving the main thread), then closes the
  // store and every connection to it.
  m_delegate.m_dataControllerOwner.reset();
  m_delegate.m_dataController = nullptr;
}
