#include "support/ZPHTestApplicationDelegate.h"

#include "platform/ZPHMainThread.h"
#include "store/CBDataController.h"
#include "store/operations/ZPHUndoableOperation.h"

#include <QtCore/QDir>
#include <QtCore/QMutexLocker>

ZPHTestApplicationDelegate::ZPHTestApplicationDelegate()
    : m_dataFolder(m_root.filePath(QStringLiteral("data"))), m_cacheFolder(m_root.filePath(QStringLiteral("cache")))
{
  QDir().mkpath(m_dataFolder);
  QDir().mkpath(m_cacheFolder);
  m_previous = sharedDelegate();
  setSharedDelegate(this);
}

ZPHTestApplicationDelegate::~ZPHTestApplicationDelegate()
{
  if (sharedDelegate() == this)
    setSharedDelegate(m_previous);
}

QList<ZPHTestApplicationDelegate::StatusEvent> ZPHTestApplicationDelegate::statusEvents() const
{
  QMutexLocker locker(&m_mutex);
  return m_statusEvents;
}

QList<std::shared_ptr<ZPHStatusItem>> ZPHTestApplicationDelegate::visibleStatusItems() const
{
  QMutexLocker locker(&m_mutex);
  QList<std::shared_ptr<ZPHStatusItem>> visible;
  for (const StatusEvent& event : m_statusEvents) {
    switch (event.kind) {
      case StatusEvent::Added:
        visible.append(event.item);
        break;
      case StatusEvent::Removed:
        visible.removeAll(event.item);
        break;
      case StatusEvent::RemovedByIdentifier:
        if (statusItemIdentifier) {
          visible.removeIf([&](const std::shared_ptr<ZPHStatusItem>& item) {
            return statusItemIdentifier(*item) == event.identifier;
          });
        }
        break;
    }
  }
  return visible;
}

QList<ZPHError> ZPHTestApplicationDelegate::coreDataFailures() const
{
  QMutexLocker locker(&m_mutex);
  return m_failures;
}

QList<std::shared_ptr<ZPHSubscribeRequest>> ZPHTestApplicationDelegate::subscribeRequests() const
{
  QMutexLocker locker(&m_mutex);
  return m_subscribeRequests;
}

QList<QUrl> ZPHTestApplicationDelegate::openedURLs() const
{
  QMutexLocker locker(&m_mutex);
  return m_openedURLs;
}

bool ZPHTestApplicationDelegate::openURLInDefaultWebBrowser(const QUrl& url)
{
  QMutexLocker locker(&m_mutex);
  m_openedURLs.append(url);
  return scriptedOpenURLResult.load();
}

void ZPHTestApplicationDelegate::useDataController(CBDataController* controller) { m_forwardTo = controller; }

bool ZPHTestApplicationDelegate::runInTemporaryContextOnStoreQueue(
    const std::function<void(ZPHManagedObjectContext*)>& work, int timeoutMs)
{
  auto done = std::make_shared<std::atomic<bool>>(false);
  addCoreDataQueueBlock(
      [this, work, done] {
        std::shared_ptr<ZPHManagedObjectContext> context = temporaryManagedObjectContext();
        work(context.get());
        *done = true;
      },
      {});
  return ZPHTestWaitUntil([&] { return done->load(); }, timeoutMs);
}

ZPHManagedObjectContext* ZPHTestApplicationDelegate::mainThreadManagedObjectContext() const
{
  if (CBDataController* controller = m_forwardTo)
    return controller->mainThreadManagedObjectContext();
  return ZPHMainThread::isMainThread() ? scriptedMainContext : nullptr;
}

std::shared_ptr<ZPHManagedObjectContext> ZPHTestApplicationDelegate::temporaryManagedObjectContext()
{
  if (CBDataController* controller = m_forwardTo)
    return controller->temporaryManagedObjectContext();
  return makeTemporaryContext ? makeTemporaryContext() : nullptr;
}

std::shared_ptr<ZPHManagedObjectContext> ZPHTestApplicationDelegate::temporaryManagedObjectContextOnPrivateQueue()
{
  if (CBDataController* controller = m_forwardTo)
    return controller->temporaryManagedObjectContextOnPrivateQueue();
  return temporaryManagedObjectContext();
}

void ZPHTestApplicationDelegate::addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation)
{
  if (CBDataController* controller = m_forwardTo)
    return controller->addCoreDataQueueOperation(std::move(operation));
  if (onCoreDataQueueOperation)
    onCoreDataQueueOperation(std::move(operation), false);
}

void ZPHTestApplicationDelegate::addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation)
{
  if (CBDataController* controller = m_forwardTo)
    return controller->addCoreDataQueueOperationAndWait(std::move(operation));
  if (onCoreDataQueueOperation)
    onCoreDataQueueOperation(std::move(operation), true);
}

void ZPHTestApplicationDelegate::addCoreDataQueueBlock(std::function<void()> block,
                                                       std::function<void()> completionHandler)
{
  if (CBDataController* controller = m_forwardTo)
    return controller->addCoreDataQueueBlock(std::move(block), std::move(completionHandler));
  if (shuttingDown)
    return;
  block();
  if (completionHandler)
    completionHandler();
}

void ZPHTestApplicationDelegate::addMainThreadCoreDataQueueBlock(std::function<void()> block)
{
  if (CBDataController* controller = m_forwardTo)
    return controller->addMainThreadCoreDataQueueBlock(std::move(block));
  if (shuttingDown)
    return;
  ZPHMainThread::sync(block);
}

void ZPHTestApplicationDelegate::addMainThreadCoreDataQueueBlockIgnoringTermination(std::function<void()> block)
{
  if (CBDataController* controller = m_forwardTo)
    return controller->addMainThreadCoreDataQueueBlockIgnoringTermination(std::move(block));
  ZPHMainThread::sync(block);
}

void ZPHTestApplicationDelegate::saveManagedObjectContext(ZPHManagedObjectContext* context)
{
  if (CBDataController* controller = m_forwardTo) {
    controller->saveManagedObjectContext(context);
    return;
  }
  if (onSave)
    onSave(context);
}

void ZPHTestApplicationDelegate::handleCoreDataFailureWithError(const ZPHError& error)
{
  QMutexLocker locker(&m_mutex);
  m_failures.append(error);
}

void ZPHTestApplicationDelegate::performUndoableOperation(std::shared_ptr<ZPHUndoableOperation> operation)
{
  if (operation == nullptr)
    return;
  if (onUndoableOperation)
    onUndoableOperation(operation);
  if (std::shared_ptr<ZPHUndoableOperation> inverse = operation->inverseOperation()) {
    QMutexLocker locker(&m_mutex);
    UndoStep step{std::move(inverse), operation->actionName()};
    switch (m_undoState) {
      case UndoState::Undoing:
        m_redoSteps.append(std::move(step));
        break;
      case UndoState::Redoing:
        m_undoSteps.append(std::move(step));
        break;
      case UndoState::Normal:
        m_undoSteps.append(std::move(step));
        m_redoSteps.clear();
        break;
    }
  }
  addCoreDataQueueOperation(std::move(operation));
}

bool ZPHTestApplicationDelegate::canUndo() const
{
  QMutexLocker locker(&m_mutex);
  return !m_undoSteps.isEmpty();
}

bool ZPHTestApplicationDelegate::canRedo() const
{
  QMutexLocker locker(&m_mutex);
  return !m_redoSteps.isEmpty();
}

QString ZPHTestApplicationDelegate::undoActionName() const
{
  QMutexLocker locker(&m_mutex);
  return m_undoSteps.isEmpty() ? QString() : m_undoSteps.last().actionName;
}

QString ZPHTestApplicationDelegate::redoActionName() const
{
  QMutexLocker locker(&m_mutex);
  return m_redoSteps.isEmpty() ? QString() : m_redoSteps.last().actionName;
}

void ZPHTestApplicationDelegate::undo()
{
  std::shared_ptr<ZPHUndoableOperation> operation;
  {
    QMutexLocker locker(&m_mutex);
    if (m_undoSteps.isEmpty())
      return;
    operation = m_undoSteps.takeLast().operation;
  }
  m_undoState = UndoState::Undoing;
  performUndoableOperation(std::move(operation));
  m_undoState = UndoState::Normal;
}

void ZPHTestApplicationDelegate::redo()
{
  std::shared_ptr<ZPHUndoableOperation> operation;
  {
    QMutexLocker locker(&m_mutex);
    if (m_redoSteps.isEmpty())
      return;
    operation = m_redoSteps.takeLast().operation;
  }
  m_undoState = UndoState::Redoing;
  performUndoableOperation(std::move(operation));
  m_undoState = UndoState::Normal;
}

void ZPHTestApplicationDelegate::addStatusItem(std::shared_ptr<ZPHStatusItem> item,
                                               std::function<void()> addCompletionHandler)
{
  {
    QMutexLocker locker(&m_mutex);
    m_statusEvents.append({StatusEvent::Added, std::move(item), {}});
  }
  if (addCompletionHandler)
    ZPHMainThread::async(std::move(addCompletionHandler));
}

void ZPHTestApplicationDelegate::removeStatusItem(std::shared_ptr<ZPHStatusItem> item,
                                                  std::function<void()> removalCompletionHandler)
{
  {
    QMutexLocker locker(&m_mutex);
    m_statusEvents.append({StatusEvent::Removed, std::move(item), {}});
  }
  if (removalCompletionHandler)
    ZPHMainThread::async(std::move(removalCompletionHandler));
}

void ZPHTestApplicationDelegate::removeAnyStatusItemWithIdentifier(const QString& identifier)
{
  QMutexLocker locker(&m_mutex);
  m_statusEvents.append({StatusEvent::RemovedByIdentifier, nullptr, identifier});
}

QList<CBFeed*> ZPHTestApplicationDelegate::addFeedsWithSubscribeRequestReturningNewlyAddedFeeds(
    std::shared_ptr<ZPHSubscribeRequest> request)
{
  QMutexLocker locker(&m_mutex);
  m_subscribeRequests.append(std::move(request));
  return scriptedNewlyAddedFeeds;
}
