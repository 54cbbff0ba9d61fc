#include "subscriptions/ZPHImporter.h"

#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/FHLConcurrentOperation.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBDataController.h"
#include "store/ZPHCoreDataStack.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPredicate.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThreadPool>
#include <QtCore/QTimer>
#include <QtCore/QVariantList>

#include <algorithm>
#include <exception>

const QString ZPHFeedsKey = QStringLiteral("feeds");

// The import's place on the store queue: taken when the queue starts it,
// given back once the completion has run on the main thread.
class ZPHImportOperation final : public FHLConcurrentOperation {
public:
  explicit ZPHImportOperation(std::shared_ptr<ZPHImporter> importer) : m_importer(std::move(importer)) {}

  void start() override
  {
    if (isFinished())
      return;
    markAsRunning();
    std::shared_ptr<ZPHImportOperation> self =
        std::static_pointer_cast<ZPHImportOperation>(std::shared_ptr<ZPHOperation>(shared_from_this()));
    std::shared_ptr<ZPHImporter> importer = m_importer;
    if (isCancelled()) {
      ZPHMainThread::async([self, importer] {
        importer->finishImportOnMainThreadWithError(ZPHImporter::genericImportError());
        self->end();
      });
      return;
    }
    ZPHMainThread::async([self, importer] { importer->runImportOnMainThreadQueue(self); });
  }

  // Any thread: frees the queue.
  void end()
  {
    m_importer.reset();
    markAsComplete();
  }

private:
  std::shared_ptr<ZPHImporter> m_importer;
};

// One run of the work on the import queue. Whatever way the work ends, the
// import ends: when the run goes away (the work returned, threw, or was
// never started) without a finishing call, it ends it with the generic error.
struct ZPHImporter::Run {
  explicit Run(std::shared_ptr<ZPHImporter> importer) : importer(std::move(importer)) {}
  ~Run()
  {
    if (!importer->m_finishRequested.load()) {
      qCWarning(zphSubscriptions) << "an import ended without finishing; it ends with the generic error";
      importer->finishOnImportQueue(genericImportError(), {}, {});
    }
  }
  void work(ZPHManagedObjectContext* context)
  {
    try {
      importer->runImportOnImportQueueWithTemporaryImportMOC(context);
    } catch (const std::exception& exception) {
      qCCritical(zphSubscriptions).noquote()
          << QStringLiteral("Exception during import: %1.").arg(QString::fromLocal8Bit(exception.what()));
    } catch (...) {
      qCCritical(zphSubscriptions) << "Exception during import.";
    }
  }
  std::shared_ptr<ZPHImporter> importer;
};

ZPHImporter::ZPHImporter() = default;
ZPHImporter::~ZPHImporter() = default;

ZPHError ZPHImporter::genericImportError() { return ZPHError(ZPHCocoaErrorDomain, 0); }

QString ZPHImporter::webFormOfAddress(const QString& address)
{
  // As the feed stubs read it: "<address>" stands for the address.
  QString text = cb_stringStrippedForItsURL(address.trimmed()).trimmed();
  if (CBURLIsFeedURL(text))
    text = CBURLWithFeedURL(text);
  if (text.isEmpty())
    return {};
  const QUrl url(text, QUrl::TolerantMode);
  if (!url.isValid())
    return {};
  return url.adjusted(QUrl::RemoveUserInfo | QUrl::NormalizePathSegments).toString(QUrl::FullyEncoded);
}

std::optional<double> ZPHImporter::progressValue() const
{
  const double value = m_progressValue.load();
  return value < 0 ? std::nullopt : std::optional<double>(value);
}

void ZPHImporter::importWithCompletionHandler(CompletionHandler completionHandler, ProgressHandler progressHandler)
{
  ZPH_ASSERT_MAIN_THREAD();
  Q_ASSERT_X(!m_started, Q_FUNC_INFO, "an importer runs once");
  if (m_started)
    return;
  m_started = true;
  m_completionHandler = std::move(completionHandler);
  m_progressHandler = std::move(progressHandler);

  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  std::shared_ptr<ZPHImporter> self = shared_from_this();
  if (delegate == nullptr || delegate->dataController() == nullptr || delegate->appIsShuttingDown()) {
    qCWarning(zphSubscriptions) << "no store to import into";
    ZPHMainThread::async([self] { self->finishImportOnMainThreadWithError(genericImportError()); });
    return;
  }
  m_operation = std::make_shared<ZPHImportOperation>(self);
  delegate->addCoreDataQueueOperation(m_operation);
}

void ZPHImporter::runImportOnMainThreadQueue(const std::shared_ptr<ZPHImportOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  m_operation = operation;
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  m_context = delegate != nullptr ? delegate->temporaryManagedObjectContextOnPrivateQueue() : nullptr;
  if (m_context == nullptr) {
    qCWarning(zphSubscriptions) << "no context to import in";
    finishImportOnMainThreadWithError(genericImportError());
    return;
  }
  auto run = std::make_shared<Run>(shared_from_this());
  ZPHManagedObjectContext* context = m_context.get();
  // The run goes with the block, run or not.
  m_context->performBlock([run, context]() mutable {
    run->work(context);
    run.reset();
  });
}

void ZPHImporter::reportProgressOnImportQueueWithProgressValue(double value)
{
  Q_ASSERT_X(!ZPHMainThread::isMainThread(), Q_FUNC_INFO, "progress is reported on the import queue");
  value = std::clamp(value, 0.0, 100.0);
  double previous = m_progressValue.load();
  while (value > previous && !m_progressValue.compare_exchange_weak(previous, value)) {
  }
  if (value <= previous && previous >= 0)
    return;
  if (m_progressPostPending.exchange(true))
    return;
  std::weak_ptr<ZPHImporter> weak = weak_from_this();
  ZPHMainThread::async([weak] {
    std::shared_ptr<ZPHImporter> self = weak.lock();
    if (self == nullptr)
      return;
    self->m_progressPostPending = false;
    if (self->m_completed || !self->m_progressHandler)
      return;
    const double newest = self->m_progressValue.load();
    // The final 100 belongs to the completion. A value that came while
    // the last post ran was handed out by it already.
    if (newest >= 0 && newest < 100.0 && newest > self->m_progressHandedOut) {
      self->m_progressHandedOut = newest;
      self->m_progressHandler(newest);
    }
  });
}

void ZPHImporter::finishImportSuccessfullyOnImportQueueWithImportedFeeds(const QList<CBFeed*>& imported,
                                                                         const QList<CBFeed*>& duplicates)
{
  finishOnImportQueue(ZPHError(), imported, duplicates);
}

void ZPHImporter::finishImportOnImportQueueWithError(const ZPHError& error, const QList<CBFeed*>& imported,
                                                     const QList<CBFeed*>& duplicates)
{
  finishOnImportQueue(error.isNull() ? genericImportError() : error, imported, duplicates);
}

void ZPHImporter::importWillFinishOnImportQueue(const QList<CBFeed*>&, const QList<CBFeed*>&, const ZPHError&) {}

QStringList ZPHImporter::guidsOfFeeds(const QList<CBFeed*>& feeds)
{
  QStringList guids;
  guids.reserve(feeds.size());
  for (const CBFeed* feed : feeds) {
    if (feed != nullptr && !feed->guid().isEmpty())
      guids.append(feed->guid());
  }
  return guids;
}

void ZPHImporter::finishOnImportQueue(const ZPHError& error, const QList<CBFeed*>& imported,
                                      const QList<CBFeed*>& duplicates)
{
  if (m_finishRequested.exchange(true)) {
    qCWarning(zphSubscriptions) << "an import finished twice; the second end is ignored";
    return;
  }
  importWillFinishOnImportQueue(imported, duplicates, error);
  const QStringList importedGUIDs = guidsOfFeeds(imported);
  const QStringList duplicateGUIDs = guidsOfFeeds(duplicates);
  std::shared_ptr<ZPHImporter> self = shared_from_this();
  ZPHMainThread::async([self, importedGUIDs, duplicateGUIDs, error] {
    self->completeImportOnMainThread(importedGUIDs, duplicateGUIDs, error);
  });
}

void ZPHImporter::finishImportOnMainThreadWithError(const ZPHError& error)
{
  ZPH_ASSERT_MAIN_THREAD();
  m_finishRequested = true;
  completeImportOnMainThread({}, {}, error.isNull() ? genericImportError() : error);
}

void ZPHImporter::completeImportOnMainThread(const QStringList& importedGUIDs, const QStringList& duplicateGUIDs,
                                             const ZPHError& error)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_completed)
    return;
  m_completed = true;
  finishImportCommonOnMainThread();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* main = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
  if (main != nullptr)
    delegate->saveManagedObjectContext(main);
  auto completion = std::make_shared<Completion>();
  completion->importedGUIDs = importedGUIDs;
  completion->duplicateGUIDs = duplicateGUIDs;
  completion->error = error;
  continueCompletion(completion);
}

void ZPHImporter::continueCompletion(const std::shared_ptr<Completion>& completion)
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  ZPHManagedObjectContext* main = delegate != nullptr ? delegate->mainThreadManagedObjectContext() : nullptr;
  // The feeds are fetched, then placed in the account's tree, a slice at a
  // time, one slice a turn of the event loop, so a large import keeps the
  // main thread answering.
  const auto fetchSlice = [main](const QStringList& guids, qsizetype* next, QList<CBFeed*>* into) {
    if (main == nullptr || *next >= guids.size())
      return true;
    const qsizetype count = std::min<qsizetype>(CompletionSliceSize, guids.size() - *next);
    into->append(CBFeed::feedsForGUIDs(guids.mid(*next, count), main));
    *next += count;
    return *next >= guids.size();
  };
  const auto continueLater = [this, completion] {
    // A timer, not a posted event: the window's own timers and input get
    // their turns in between.
    std::shared_ptr<ZPHImporter> self = shared_from_this();
    QTimer::singleShot(0, QCoreApplication::instance(), [self, completion] { self->continueCompletion(completion); });
  };
  if (!fetchSlice(completion->importedGUIDs, &completion->nextImported, &completion->imported) ||
      !fetchSlice(completion->duplicateGUIDs, &completion->nextDuplicate, &completion->duplicates))
    return continueLater();

  QList<CBFeed*>& imported = completion->imported;
  if (imported.isEmpty())
    return finishCompletion(completion);
  CBDataAccount* account = CBDataAccount::localAccount();
  if (!completion->inFileOrder) {
    // The feeds in their file order: each folder's rows come in that order.
    QHash<QString, qsizetype> order;
    order.reserve(completion->importedGUIDs.size());
    for (qsizetype i = 0; i < completion->importedGUIDs.size(); ++i) order.insert(completion->importedGUIDs.at(i), i);
    QList<std::pair<qsizetype, CBFeed*>> ordered;
    ordered.reserve(imported.size());
    for (CBFeed* feed : std::as_const(imported)) ordered.append({order.value(feed->guid()), feed});
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (qsizetype i = 0; i < ordered.size(); ++i) imported[i] = ordered.at(i).second;
    completion->inFileOrder = true;
    if (account == nullptr)
      return finishCompletion(completion);
    // The folders first, those left empty too, as a reload would show them.
    account->addStoredFolders();
    return continueLater();
  }
  if (account == nullptr)
    return finishCompletion(completion);
  const qsizetype count = std::min<qsizetype>(CompletionSliceSize, imported.size() - completion->nextPlaced);
  account->addStoredFeeds(imported.mid(completion->nextPlaced, count));
  completion->nextPlaced += count;
  if (completion->nextPlaced < imported.size())
    return continueLater();
  account->sweepChildIndicesOfAllRows();
  finishCompletion(completion);
}

void ZPHImporter::finishCompletion(const std::shared_ptr<Completion>& state)
{
  // Whatever happens below, the store queue goes on once this has run and
  // the import's context is gone. A context that holds every object of a
  // large import takes a while to go: that happens on a worker thread,
  // and the store queue waits for it (the data controller must outlive it).
  struct EndOperation {
    ZPHImporter* importer;
    ~EndOperation()
    {
      std::shared_ptr<ZPHManagedObjectContext> context = std::exchange(importer->m_context, nullptr);
      std::shared_ptr<ZPHImportOperation> operation = std::exchange(importer->m_operation, nullptr);
      if (context == nullptr) {
        if (operation != nullptr)
          operation->end();
        return;
      }
      QThreadPool::globalInstance()->start([context = std::move(context), operation = std::move(operation)]() mutable {
        context.reset();
        if (operation != nullptr)
          operation->end();
      });
    }
  } endOperation{this};
  std::shared_ptr<ZPHImporter> keepAlive = shared_from_this();

  QList<CBFeed*>& imported = state->imported;
  if (!imported.isEmpty()) {
    QVariantList feeds;
    feeds.reserve(imported.size());
    for (CBFeed* feed : std::as_const(imported))
      feeds.append(QVariant::fromValue(static_cast<ZPHManagedObject*>(feed)));
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedsAddedNotification,
                                                QVariant::fromValue(static_cast<void*>(this)), {{ZPHFeedsKey, feeds}});
  }

  CompletionHandler completion = std::exchange(m_completionHandler, nullptr);
  ProgressHandler progress = std::exchange(m_progressHandler, nullptr);
  if (completion) {
    if (m_progressValue.load() >= 0) {
      m_progressValue = -1.0;
      if (progress)
        progress(100.0);
    }
    completion(imported, state->duplicates, state->error);
  }
}

int ZPHImporter::proposedChildIndexForNextItemInFolderAndIncrement(CBFolder* folder, ZPHManagedObjectContext* context)
{
  if (folder == nullptr) {
    if (!m_nextTopLevelIndex.has_value()) {
      ZPHFetchRequest request(CBDataEntityNameNode, ZPHPredicate::equal(QStringLiteral("deleted"), 0) &&
                                                        ZPHPredicate::equal(QStringLiteral("parentguid"), QVariant()));
      ZPHError error;
      int next = 0;
      for (ZPHManagedObject* object : context->executeFetchRequest(request, &error)) {
        if (auto* node = dynamic_cast<CBNode*>(object))
          next = std::max(next, node->childindex() + 1);
      }
      m_nextTopLevelIndex = next;
    }
    return (*m_nextTopLevelIndex)++;
  }
  auto it = m_nextChildIndex.find(folder);
  if (it == m_nextChildIndex.end()) {
    int next = 0;
    for (const CBNode* child : folder->children()) {
      if (child != nullptr && !child->deleted())
        next = std::max(next, child->childindex() + 1);
    }
    it = m_nextChildIndex.insert(folder, next);
  }
  return (*it)++;
}
