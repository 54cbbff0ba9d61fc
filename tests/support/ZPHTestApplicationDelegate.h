#pragma once

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QStringList>

#include <atomic>

// The application side of the core library for tests: its own data and cache
// folders in a temp folder, status items recorded in order, failures
// counted, and answers the test scripts. It registers itself as the shared
// delegate while it lives.
//
// The store-related members answer nothing until a test supplies them
// through the hooks below, or hands it a real data controller with
// useDataController(), after which they forward to that controller as the
// application does.
class ZPHTestApplicationDelegate : public ZPHCoreApplicationDelegate {
public:
  ZPHTestApplicationDelegate();
  ~ZPHTestApplicationDelegate() override;

  // Scripted answers.
  std::atomic<bool> shuttingDown{false};
  QString scriptedUserAgent = QStringLiteral("Zephlin/test");
  QList<CBFeed*> scriptedNewlyAddedFeeds;
  CBDataController* scriptedDataController = nullptr;
  ZPHRefreshController* scriptedRefreshController = nullptr;
  ZPHManagedObjectContext* scriptedMainContext = nullptr;
  std::function<std::shared_ptr<ZPHManagedObjectContext>()> makeTemporaryContext;
  std::function<void(std::shared_ptr<ZPHOperation>, bool wait)> onCoreDataQueueOperation;
  std::function<void(ZPHManagedObjectContext*)> onSave;
  // Told of every undoable operation before it is registered and queued.
  std::function<void(std::shared_ptr<ZPHUndoableOperation>)> onUndoableOperation;

  // Forwards the contexts, the store queue and saves to `controller` (not
  // owned; nullptr stops forwarding). Also answers it as dataController().
  void useDataController(CBDataController* controller);
  // Runs `work` in a new temporary context on the store queue and serves the
  // main thread until it has run; false when it did not within `timeoutMs`.
  bool runInTemporaryContextOnStoreQueue(const std::function<void(ZPHManagedObjectContext*)>& work,
                                         int timeoutMs = 20000);

  // What the library did.
  struct StatusEvent {
    enum Kind { Added, Removed, RemovedByIdentifier } kind;
    std::shared_ptr<ZPHStatusItem> item;  // null for RemovedByIdentifier
    QString identifier;                   // RemovedByIdentifier only
  };
  QList<StatusEvent> statusEvents() const;
  // Items added and not removed since, in order of addition.
  QList<std::shared_ptr<ZPHStatusItem>> visibleStatusItems() const;
  QList<ZPHError> coreDataFailures() const;
  QList<std::shared_ptr<ZPHSubscribeRequest>> subscribeRequests() const;
  // The addresses handed to openURLInDefaultWebBrowser(), in order; it
  // answers scriptedOpenURLResult.
  QList<QUrl> openedURLs() const;
  std::atomic<bool> scriptedOpenURLResult{true};

  // The undo stack, as the application's main window keeps it (main
  // thread): performUndoableOperation() registers the operation's inverse
  // under the operation's action name, then queues the operation. undo()
  // performs the newest inverse through performUndoableOperation(), which
  // registers that one's inverse as the redo step; redo() the same the other
  // way. A new operation clears the redo steps.
  bool canUndo() const;
  bool canRedo() const;
  // The names of the steps undo() and redo() would take; null when none.
  QString undoActionName() const;
  QString redoActionName() const;
  void undo();
  void redo();

  // Folders: data and cache inside the delegate's temp folder.
  QString rootFolder() const { return m_root.path(); }
  // Another data folder (e.g. one a parent process made); set it before the
  // library asks.
  void setDataFolder(const QString& path) { m_dataFolder = path; }

  // ZPHCoreApplicationDelegate
  bool appIsShuttingDown() const override { return shuttingDown.load(); }
  CBDataController* dataController() const override
  {
    return m_forwardTo ? m_forwardTo.load() : scriptedDataController;
  }
  ZPHRefreshController* refreshController() const override { return scriptedRefreshController; }
  ZPHManagedObjectContext* mainThreadManagedObjectContext() const override;
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContext() override;
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContextOnPrivateQueue() override;
  void addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation) override;
  void addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation) override;
  void addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completionHandler) override;
  void addMainThreadCoreDataQueueBlock(std::function<void()> block) override;
  void addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block) override;
  void saveManagedObjectContext(ZPHManagedObjectContext* context) override;
  void handleCoreDataFailureWithError(const ZPHError& error) override;
  void performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation) override;
  QString pathToDataFolder() const override { return m_dataFolder; }
  QString pathToCacheFolder() const override { return m_cacheFolder; }
  QString userAgent() const override { return scriptedUserAgent; }
  void addStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> addCompletionHandler) override;
  void removeStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> removalCompletionHandler) override;
  void removeAnyStatusItemWithIdentifier(const QString& identifier) override;
  QList<CBFeed*> addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(
      std::shared_ptr<ZPHSubscribeRequest> request) override;
  bool openURLInDefaultWebBrowser(const QUrl& url) override;

  // Identifier of a status item, supplied by tests that know the type (the
  // double cannot see inside the item).
  std::function<QString(const ZPHStatusItem&)> statusItemIdentifier;

private:
  ZPHTestTempDir m_root;
  QString m_dataFolder;
  QString m_cacheFolder;
  mutable QMutex m_mutex;
  QList<StatusEvent> m_statusEvents;
  QList<ZPHError> m_failures;
  QList<std::shared_ptr<ZPHSubscribeRequest>> m_subscribeRequests;
  QList<QUrl> m_openedURLs;
  ZPHCoreApplicationDelegate* m_previous = nullptr;
  struct UndoStep {
    std::shared_ptr<ZPHUndoableOperation> operation;
    QString actionName;
  };
  QList<UndoStep> m_undoSteps;
  QList<UndoStep> m_redoSteps;
  enum class UndoState { Normal, Undoing, Redoing } m_undoState = UndoState::Normal;
  std::atomic<CBDataController*> m_forwardTo{nullptr};
};
