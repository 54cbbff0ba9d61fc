#pragma once

#include "platform/ZPHError.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>
#include <memory>

class CBDataAccount;
class CBDataArticle;
class CBGlobalAccount;
class ZPHCoreDataStack;
class ZPHManagedObjectContext;
class ZPHOperation;
class ZPHOperationQueue;
class ZPHPersistentStore;

extern const QString ZPHDataAccountReadyNotification;                    // "ZPHDataAccountReadyNotification"
extern const QString ZPHSortOrderUpdatedNotification;                    // "ZPHSortOrderUpdatedNotification"
extern const QString ZPHPersistentStoreConfigurationChangeNotification;  // same text
extern const QString ZPHAccountUnreadCountsUpdatedEvent;                 // "ZPHAccountUnreadCountsUpdatedEvent"
extern const QString ZPHSubscriptionsSortOrderKey;                       // "subscriptionsSortOrder"
// Keys of a context's user info read by the safe-to-modify test.
extern const QString ZPHManagedObjectContextUserInfoIsTabsOnlyKey;      // "ZPHManagedObjectContextIsTabsOnly"
extern const QString ZPHManagedObjectContextUserInfoExplicitlySafeKey;  // "ZPHManagedObjectContextExplicitySafe"
// The main thread's marker, set while a main-thread store-queue block runs:
// "com.fernhollow.zephlin.CBDataController.MainThreadCoreData".
extern const QString CBDataControllerMainThreadCoreDataKey;
// "com.fernhollow.zephlin.coreDataBackgroundQueue"
extern const QString CBDataControllerCoreDataBackgroundQueueName;

// Owner of the article store: the store stack, the contexts it hands out and
// the serial store queue on which every write away from the main thread
// happens. The application makes one at start-up and forwards the queue and
// context members to the rest of the program under the same names.
//
// The store queue is an operation queue of width 1. Each operation on it
// makes its own temporary context, works with object identifiers and saves;
// the save is merged into the main context on the main thread before the
// operation goes on. A main-thread block queued through it runs on the main
// thread in queue order, holding the queue while it runs.
//
// It owns the two accounts, both made by completeSetup(): the local account
// and the global pseudo-account of the smart feeds, and keeps the overall
// unread counts that follow the local account's.
class CBDataController : public QObject {
  Q_OBJECT
public:
  CBDataController();
  ~CBDataController() override;
  CBDataController(const CBDataController&) = delete;
  CBDataController& operator=(const CBDataController&) = delete;

  using StackFactory = std::function<std::unique_ptr<ZPHCoreDataStack>()>;
  // Once, on the main thread: makes the stack with `makeStack` (the
  // application's subclass), sets its integrity-check flag and sets it up.
  // false with the stack's error leaves no store.
  bool setupCoreDataStackWithClass(const StackFactory& makeStack, bool performIntegrityCheck, ZPHError* error);
  // After a successful set-up, on the main thread: makes and loads the local
  // account, follows its unread counts, makes the global account, announces
  // the data as ready and schedules a Today recount.
  void completeSetup();

  ZPHCoreDataStack* coreDataStack() const { return m_stack.get(); }
  ZPHOperationQueue* coreDataBackgroundOperationQueue() const { return m_queue.get(); }

  // The store queue; each may be called from any thread. Unless told to
  // ignore termination, additions are dropped silently while the
  // application shuts down.
  void addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation, bool ignoringTermination = false);
  // Off the main thread only: adds, then waits until the queue is empty.
  void addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation);
  // The handler runs on the queue's thread after the block.
  void addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completionHandler,
                             bool ignoringTermination = false);
  // Runs the block on the main thread, in queue order, with the main
  // thread's marker set while it runs.
  void addMainThreadCoreDataQueueBlock(std::function<void()> block, bool ignoringTermination = false);
  void addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block)
  {
    addMainThreadCoreDataQueueBlock(std::move(block), true);
  }
  void cancelCoreDataBackgroundOperations();
  // Cancels only the operations that a later run does again by itself
  // (ZPHOperation::mayBeDroppedAtQuit(): the article savers); the rest runs.
  void cancelCoreDataBackgroundOperationsThatMayBeDropped();
  bool coreDataQueueHasOperations() const;
  // Whether the operation the store queue runs now was cancelled (and has
  // not stopped yet).
  bool coreDataQueueRunsCancelledOperation() const;

  // Contexts. The main one on the main thread (nullptr, with a log line,
  // elsewhere); new temporary ones for the store queue or an operation's own
  // thread; private-queue ones used through performBlockAndWait(). The
  // caller owns a temporary context and lets it go before the controller.
  ZPHManagedObjectContext* mainThreadManagedObjectContext() const;
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContext() const;
  std::shared_ptr<ZPHManagedObjectContext> temporaryManagedObjectContextOnPrivateQueue() const;
  // The main context on the main thread (not owned by the pointer), else a
  // new temporary context.
  std::shared_ptr<ZPHManagedObjectContext> managedObjectContext() const;
  ZPHPersistentStore* persistentStore() const;

  // CBSaveManagedObjectContext: a failed save ends in the application
  // delegate's handleCoreDataFailureWithError(); answers whether it went
  // through.
  bool saveManagedObjectContext(ZPHManagedObjectContext* context);
  // Saves the main context on the main thread (later, when called elsewhere).
  void saveMainThreadManagedObjectContext();

  // Whether the calling thread may change the context: inside a merge of
  // saved changes, on the store queue, a tabs-only main context that changed
  // only browser tabs, a context marked explicitly safe, or the main thread
  // while its marker is set.
  static bool currentThreadIsSafeForCoreDataModificationWithMOC(ZPHManagedObjectContext* context);
  // The main thread's marker (false on every other thread).
  static bool mainThreadCoreDataMarker();

  // Accounts, made by completeSetup(); nullptr before.
  CBDataAccount* localAccount() const { return m_localAccount.get(); }
  CBGlobalAccount* globalAccount() const { return m_globalAccount.get(); }
  // The local account for a null identifier or its own; else nullptr.
  CBDataAccount* accountWithID(const QString& identifier) const;
  // Whether any account (today the local one) is subscribed to the feed at
  // the address; false before the accounts exist and for an invalid address.
  bool anyAccountIsSubscribedToFeedWithURL(const QUrl& url) const;

  // The local account's totals (main thread).
  quint64 unreadCount() const { return m_unreadCount; }
  quint64 unreadFavoritesCount() const { return m_unreadFavoritesCount; }
  // Reads the local account's totals (favourites first, then the total),
  // gives the favourites' total to the Favorites group and schedules a
  // Today recount. Runs on every change of the local account's totals.
  void updateUnreadCount();
  // The global account recounts Today (and Bookmarks) 0.2 s later.
  void updateTodayCount();
  // The local account recounts, then Today.
  void updateAllUnreadCountsOnMainThread();

  // The articles selected in the article list, as the application sets
  // them: held, not interpreted (objects of the main context; main thread).
  const QList<CBDataArticle*>& currentArticles() const { return m_currentArticles; }
  void setCurrentArticles(const QList<CBDataArticle*>& articles) { m_currentArticles = articles; }

  qint64 subscriptionsSortOrder() const { return m_subscriptionsSortOrder; }
  // Stores the order in user defaults and announces it.
  void setSubscriptionsSortOrder(qint64 sortOrder);

Q_SIGNALS:
  // The observable "unreadCount" and "unreadFavoritesCount".
  void unreadCountChanged(quint64 unreadCount);
  void unreadFavoritesCountChanged(quint64 unreadFavoritesCount);

private:
  std::unique_ptr<ZPHOperationQueue> m_queue;
  std::unique_ptr<ZPHCoreDataStack> m_stack;
  qint64 m_subscriptionsSortOrder = 0;
  ZPHObserverToken m_configurationObserver;
  ZPHObserverToken m_unreadCountsObserver;
  std::unique_ptr<CBDataAccount> m_localAccount;
  // Follows the local account: made after it, gone before it.
  std::unique_ptr<CBGlobalAccount> m_globalAccount;
  quint64 m_unreadCount = 0;
  quint64 m_unreadFavoritesCount = 0;
  QList<CBDataArticle*> m_currentArticles;
};
