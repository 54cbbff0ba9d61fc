#include "feeds/refresh/CBDownloadableFeedRefresher.h"

#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "store/accounts/CBAccount.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QSet>
#include <QtCore/QTimer>

#include <utility>

namespace {

constexpr qsizetype MaxDisplayNameLength = 60;

// Refresh outcomes go onto their feeds on the main thread in store-queue
// order, after what each refresh handed to the store. Rather than one
// main-thread store block per refresh (a wake of the store queue and a
// round trip to the main thread each): the outcome of a refresh whose saver
// has still to run goes with the saver's own end to the main thread, and
// the others go in batches, one main-thread store block at a time. An
// outcome joins the block in the queue while that was queued after what its
// refresh handed over; else it waits for the next block, queued no sooner
// than a moment after this one has run (so that a stream of refreshes ending
// one after another makes a few blocks, not one each).
class RefreshOutcomes {
public:
  struct Outcome {
    ZPHManagedObjectID feedID;
    ZPHError refreshError;
  };

  static void add(ZPHCoreApplicationDelegate* delegate, const Outcome& outcome, quint64 handOverMark)
  {
    if (delegate == nullptr)
      return;
    std::shared_ptr<Batch> toQueue;
    {
      QMutexLocker locker(&mutex());
      State& current = state();
      if (current.queued && current.queued->mark > handOverMark) {
        current.queued->outcomes.append(outcome);
        return;
      }
      current.waiting.append(outcome);
      if (current.queued || current.nextScheduled)
        return;  // goes with the next block
      toQueue = takeWaiting(current);
    }
    queue(delegate, toQueue);
  }

  // Main thread: each feed is looked up again, as it may have been deleted
  // meanwhile.
  static void apply(const QList<Outcome>& outcomes)
  {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* context = delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
    if (context == nullptr)
      return;
    for (const Outcome& outcome : outcomes) {
      ZPHManagedObject* object = context->existingObjectWithID(outcome.feedID);
      if (object == nullptr || object->isDeleted())
        continue;
      auto* stillThere = dynamic_cast<CBFeed*>(object);
      Q_ASSERT(stillThere != nullptr);
      if (stillThere == nullptr)
        continue;
      stillThere->setLastFeedRefreshError(outcome.refreshError.isNull() ? ZPHError()
                                                                        : CBDownloadableFeedRefresher::translateError(
                                                                              outcome.refreshError, stillThere));
    }
  }

private:
  struct Batch {
    quint64 mark = 0;
    bool closed = false;
    QList<Outcome> outcomes;
  };
  struct Handle {
    explicit Handle(std::shared_ptr<Batch> b) : batch(std::move(b)) {}
    ~Handle() { close(batch); }
    std::shared_ptr<Batch> batch;
  };
  struct State {
    std::shared_ptr<Batch> queued;  // the block in the store queue, until it runs
    QList<Outcome> waiting;         // for the block after it
    bool nextScheduled = false;     // that block is queued when a timer fires
  };

  static QMutex& mutex()
  {
    static QMutex m;
    return m;
  }
  static State& state()
  {
    static State s;
    return s;
  }

  // The waiting outcomes as the batch to queue now (mutex held).
  static std::shared_ptr<Batch> takeWaiting(State& current)
  {
    auto batch = std::make_shared<Batch>();
    batch->outcomes = std::exchange(current.waiting, {});
    // Taken under the lock, so every batch queued later has a greater mark.
    batch->mark = ZPHRefreshFeedOperation::nextStoreHandOverMark();
    current.queued = batch;
    return batch;
  }

  static void queue(ZPHCoreApplicationDelegate* delegate, const std::shared_ptr<Batch>& batch)
  {
    // The block closes the batch when it runs, and also when the store queue
    // drops it (the application quits): its last copy goes then.
    auto handle = std::make_shared<Handle>(batch);
    delegate->addMainThreadCoreDataQueueBlock([handle] { run(handle->batch); });
  }

  // Main thread.
  static void run(const std::shared_ptr<Batch>& batch)
  {
    const QList<Outcome> outcomes = close(batch);
    {
      QMutexLocker locker(&mutex());
      State& current = state();
      // Outcomes that arrive from now on wait a moment for the next block,
      // and go in it together.
      if (!current.queued && !current.nextScheduled) {
        current.nextScheduled = true;
        QTimer::singleShot(CBOperation::CompletionBatchWindowMs, Qt::PreciseTimer, QCoreApplication::instance(),
                           &RefreshOutcomes::queueWaiting);
      }
    }
    apply(outcomes);
  }

  // Main thread: the outcomes that arrived since the last block.
  static void queueWaiting()
  {
    std::shared_ptr<Batch> next;
    {
      QMutexLocker locker(&mutex());
      State& current = state();
      current.nextScheduled = false;
      if (!current.queued && !current.waiting.isEmpty())
        next = takeWaiting(current);
    }
    if (!next)
      return;
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
      queue(delegate, next);
    else
      close(next);
  }

  static QList<Outcome> close(const std::shared_ptr<Batch>& batch)
  {
    QMutexLocker locker(&mutex());
    if (state().queued == batch)
      state().queued.reset();
    if (batch->closed)
      return {};
    batch->closed = true;
    return std::move(batch->outcomes);
  }
};

}  // namespace

CBDownloadableFeedRefresher::~CBDownloadableFeedRefresher() = default;

bool CBDownloadableFeedRefresher::wantsToRefreshFeed(CBFeed* feed, CBAccount* accountToRefresh) const
{
  if (feed == nullptr || feed->suspended())
    return false;
  if (accountToRefresh == nullptr || accountToRefresh->accountType() != 0)
    return false;
  return CBURLIsDownloadable(feed->URL());
}

void CBDownloadableFeedRefresher::refreshFeed(CBFeed* feed, CBAccount* account,
                                              CBOperationController* operationController)
{
  Q_UNUSED(account);
  ZPH_ASSERT_MAIN_THREAD();
  if (feed == nullptr || operationController == nullptr)
    return;
  operationController->addOperationIfNotInQueue(refreshOperationForFeed(feed, feed->URL()));
}

void CBDownloadableFeedRefresher::refreshFeeds(const QList<CBFeed*>& feeds, CBAccount* account,
                                               CBOperationController* operationController)
{
  Q_UNUSED(account);
  ZPH_ASSERT_MAIN_THREAD();
  if (operationController != nullptr)
    refreshInParts(feeds, operationController);
}

void CBDownloadableFeedRefresher::refreshInParts(const QList<CBFeed*>& feeds,
                                                 CBOperationController* operationController)
{
  if (feeds.isEmpty())
    return;
  auto queued = std::make_shared<QSet<QUrl>>(queuedAddresses(operationController));
  if (feeds.size() <= FeedsPerTurn) {
    queueRefreshes(feeds, queued.get(), operationController);
    return;
  }
  QList<ZPHManagedObjectID> rest;
  rest.reserve(feeds.size() - FeedsPerTurn);
  for (qsizetype i = FeedsPerTurn; i < feeds.size(); ++i) {
    if (feeds.at(i) != nullptr)
      rest.append(feeds.at(i)->objectID());
  }
  const std::shared_ptr<quint64> mark = queueLater(std::move(rest), queued, operationController);
  queueRefreshes(feeds.mid(0, FeedsPerTurn), queued.get(), operationController);
  *mark = operationController->operationsAdded();
}

std::shared_ptr<quint64> CBDownloadableFeedRefresher::queueLater(QList<ZPHManagedObjectID> feedIDs,
                                                                 std::shared_ptr<QSet<QUrl>> queued,
                                                                 CBOperationController* operationController)
{
  // The rest follows in the next turn, by identifier (a feed may go
  // meanwhile). It is asked for before the part before it is queued: a
  // refresh of that part that ends at once posts its end after it, so the
  // controller hears of the rest before it could find itself empty and end
  // the session. What this list queued is known already; only what others
  // added meanwhile is looked up.
  const std::weak_ptr<const void> controllerAlive = operationController->lifetime();
  // The controller's count of additions once the part before is queued
  // (the caller notes it).
  auto mark = std::make_shared<quint64>(0);
  ZPHMainThread::async([feedIDs = std::move(feedIDs), queued, controllerAlive, operationController, mark] {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    ZPHManagedObjectContext* context = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
    if (controllerAlive.expired() || context == nullptr)
      return;
    if (operationController->operationsAdded() != *mark)
      queued->unite(queuedAddresses(operationController));
    const qsizetype count = std::min<qsizetype>(FeedsPerTurn, feedIDs.size());
    QList<CBFeed*> part;
    part.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
      auto* feed = dynamic_cast<CBFeed*>(context->registeredObject(feedIDs.at(i)));
      if (feed != nullptr && !feed->isDeleted())
        part.append(feed);
    }
    std::shared_ptr<quint64> next;
    if (feedIDs.size() > count)
      next = queueLater(feedIDs.mid(count), queued, operationController);
    queueRefreshes(part, queued.get(), operationController);
    if (next)
      *next = operationController->operationsAdded();
  });
  return mark;
}

QSet<QUrl> CBDownloadableFeedRefresher::queuedAddresses(CBOperationController* operationController)
{
  // What addOperationIfNotInQueue() would find: the addresses of the
  // uncancelled refreshes the controller tracks.
  QSet<QUrl> queued;
  for (const std::shared_ptr<CBOperation>& operation : operationController->operations()) {
    if (operation->isCancelled() || operation->operationType() != ZPHRefreshFeedOperation::OperationType)
      continue;
    const QVariant object = operation->operationObject();
    if (object.metaType() == QMetaType::fromType<QUrl>())
      queued.insert(object.toUrl());
  }
  return queued;
}

void CBDownloadableFeedRefresher::queueRefreshes(const QList<CBFeed*>& feeds, QSet<QUrl>* queued,
                                                 CBOperationController* operationController)
{
  for (CBFeed* feed : feeds) {
    if (feed == nullptr)
      continue;
    const QUrl url = feed->URL();
    if (queued->contains(url))
      continue;
    queued->insert(url);
    operationController->addOperation(refreshOperationForFeed(feed, url));
  }
}

std::shared_ptr<ZPHRefreshFeedOperation> CBDownloadableFeedRefresher::refreshOperationForFeed(CBFeed* feed,
                                                                                              const QUrl& url)
{
  auto operation = std::make_shared<ZPHRefreshFeedOperation>(url);
  operation->setUsername(feed->username());
  if (!feed->username().isEmpty())
    operation->setPassword(feed->password());
  operation->setOperationObject(url);

  // The outcome goes onto the feed on the main thread, in store-queue order,
  // after the articles the refresh handed to the store. The feed is looked
  // up again: it may have been deleted meanwhile.
  const ZPHManagedObjectID feedID = feed->objectID();
  std::weak_ptr<ZPHRefreshFeedOperation> weakOperation = operation;
  operation->setCompletionBlock([weakOperation, feedID] {
    std::shared_ptr<ZPHRefreshFeedOperation> finished = weakOperation.lock();
    if (!finished)
      return;
    const RefreshOutcomes::Outcome outcome{feedID, finished->refreshError()};
    // A refresh whose saver has still to run has its outcome go with the
    // saver's end to the main thread; any other joins a store block.
    if (finished->applyOutcomeAfterSavedArticles([outcome] { RefreshOutcomes::apply({outcome}); }))
      return;
    RefreshOutcomes::add(ZPHCoreApplicationDelegate::sharedDelegate(), outcome, finished->storeHandOverMark());
  });

  return operation;
}

ZPHError CBDownloadableFeedRefresher::translateError(const ZPHError& error, CBFeed* feed)
{
  Q_ASSERT(!error.isNull());
  Q_ASSERT(feed != nullptr);
  if (error.isNull() || feed == nullptr)
    return error;

  QString name = feed->nameForDisplay();
  if (name.isEmpty())
    name = feed->URL().host();
  if (name.isEmpty())
    name = QStringLiteral("Unnamed Site");
  if (name.size() > MaxDisplayNameLength)
    name = name.left(MaxDisplayNameLength) + QStringLiteral("…");

  QVariantMap userInfo;
  const QVariantMap original = error.userInfo();
  for (auto it = original.constBegin(); it != original.constEnd(); ++it) {
    if (it.value().typeId() == QMetaType::QString) {
      QString text = it.value().toString();
      text.replace(ZPHRefreshFeedOperationFeedDisplayNameTextPlaceholder, name);
      userInfo.insert(it.key(), text);
    } else {
      userInfo.insert(it.key(), it.value());
    }
  }
  return ZPHError(error.domain(), error.code(), userInfo);
}
