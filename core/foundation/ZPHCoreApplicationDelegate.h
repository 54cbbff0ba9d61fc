#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>
#include <memory>

class CBDataController;
class CBFeed;
class ZPHOperation;
class ZPHManagedObjectContext;
class ZPHRefreshController;
class ZPHStatusItem;
class ZPHSubscribeRequest;
class ZPHUndoableOperation;

// What the core library asks of the application. The application implements
// it once and registers it with setSharedDelegate() at start-up, before the
// library is used; tests register ZPHTestApplicationDelegate.
//
// Store objects stay with their contexts; status items and requests are
// shared between the two sides.
class ZPHCoreApplicationDelegate {
public:
  virtual ~ZPHCoreApplicationDelegate();

  // The registered delegate, or nullptr before the application registered one.
  static ZPHCoreApplicationDelegate* sharedDelegate();
  // Registers the delegate (not owned: the application keeps it alive for
  // as long as the library runs). nullptr unregisters.
  static void setSharedDelegate(ZPHCoreApplicationDelegate* delegate);

  // True from the moment the application has begun to terminate.
  virtual bool appIsShuttingDown() const = 0;
  // The registered delegate's answer; false while none is registered.
  static bool sharedDelegateIsShuttingDown();

  // Long-lived controllers made at start-up.
  virtual CBDataController* dataController() const = 0;
  virtual ZPHRefreshController* refreshController() const = 0;

  // Store contexts: the main one (nullptr off the main thread) and new
  // temporary ones for the store queue or an operation's own thread.
  virtual ZPHManagedObjectContext* mainThreadManagedObjectContext() const = 0;
  virtual std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContext() = 0;
  virtual std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContextOnPrivateQueue() = 0;

  // The store queue (any operation: block, deletion and undoable operations
  // alike), forwarded unchanged to the data controller.
  virtual void addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation) = 0;
  virtual void addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation) = 0;
  virtual void addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completionHandler) = 0;
  virtual void addMainThreadCoreDataQueueBlock(std::function<void()> block) = 0;
  virtual void addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block) = 0;

  // Saves a context; a failed save ends in handleCoreDataFailureWithError().
  virtual void saveManagedObjectContext(ZPHManagedObjectContext* context) = 0;
  // A store that failed. When the error says the store file is damaged
  // (ZPHObjectGraphErrorSaysStoreIsDamaged()), it runs on the main thread
  // (callers elsewhere wait), and the first call of a run tells the user,
  // moves the store aside and terminates. Any other failure (a full disk, a
  // read-only folder, an I/O error) leaves the store where it is: the user
  // is told without the caller waiting, and chooses to go on or to quit.
  virtual void handleCoreDataFailureWithError(const ZPHError& error) = 0;

  // Registers the operation's inverse with the undo stack, then performs it.
  virtual void performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation) = 0;

  // Absolute folders fixed at start-up.
  virtual QString pathToDataFolder() const = 0;
  virtual QString pathToCacheFolder() const = 0;

  // The HTTP "User-Agent" text built at start-up.
  virtual QString userAgent() const = 0;

  // The main window's status area.
  virtual void addStatusItem(std::shared_ptr<ZPHStatusItem> item, std::function<void()> addCompletionHandler) = 0;
  virtual void removeStatusItem(std::shared_ptr<ZPHStatusItem> item,
                                std::function<void()> removalCompletionHandler) = 0;
  virtual void removeAnyStatusItemWithIdentifier(const QString& identifier) = 0;

  // Runs the Add Site window for the request; the feeds added, or an empty
  // list (also when a modal sheet is already running).
  virtual QList<CBFeed*> addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(
      std::shared_ptr<ZPHSubscribeRequest> request) = 0;

  // Hands an http or https address to the user's default web browser (main
  // thread); answers whether it was handed over. The library asks only for
  // web addresses. Without an application to ask, nothing opens: the default
  // answers false.
  virtual bool openURLInDefaultWebBrowser(const QUrl& url);
};
