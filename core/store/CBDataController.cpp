#include "store/CBDataController.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBCoreDataUtilities.h"
#include "store/ZPHCoreDataStack.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalAccount.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

const QString ZPHDataAccountReadyNotification = QStringLiteral("ZPHDataAccountReadyNotification");
const QString ZPHSortOrderUpdatedNotification = QStringLiteral("ZPHSortOrderUpdatedNotification");
const QString ZPHPersistentStoreConfigurationChangeNotification =
    QStringLiteral("ZPHPersistentStoreConfigurationChangeNotification");
const QString ZPHAccountUnreadCountsUpdatedEvent = QStringLiteral("ZPHAccountUnreadCountsUpdatedEvent");
const QString ZPHSubscriptionsSortOrderKey = QStringLiteral("subscriptionsSortOrder");
const QString ZPHManagedObjectContextUserInfoIsTabsOnlyKey = QStringLiteral("ZPHManagedObjectContextIsTabsOnly");
const QString ZPHManagedObjectContextUserInfoExplicitlySafeKey = QStringLiteral("ZPHManagedObjectContextExplicitySafe");
const QString CBDataControllerMainThreadCoreDataKey =
    QStringLiteral("com.fernhollow.zephlin.CBDataController.MainThreadCoreData");
const QString CBDataControllerCoreDataBackgroundQueueName =
    QStringLiteral("com.fernhollow.zephlin.coreDataBackgroundQueue");

namespace {

// The thread's own marker (only the main thread's is ever set).
thread_local bool t_mainThreadCoreData = false;

// A new context over the store; nullptr while there is none.
std::shared_ptr<ZPHManagedObjectContext> newContext(ZPHPersistentStore* store,
                                                    ZPHManagedObjectContext::ConcurrencyType type)
{
  return store ? std::make_shared<ZPHManagedObjectContext>(store, type) : nullptr;
}

}  // namespace

CBDataController::CBDataController()
{
  CBCoreDataUtilitiesStartup();
  m_queue = std::make_unique<ZPHOperationQueue>(CBDataControllerCoreDataBackgroundQueueName);
  m_queue->setMaxConcurrentOperationCount(1);
  // Observed and deliberately left alone.
  m_configurationObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHPersistentStoreConfigurationChangeNotification, QVariant(), [](const ZPHNotification&) {});
}

CBDataController::~CBDataController()
{
  m_configurationObserver.reset();
  m_unreadCountsObserver.reset();
  // No smart-feed recount starts while the queue drains.
  m_globalAccount.reset();
  m_queue->cancelAllOperations();
  // A running main-thread block waits for the main thread: serve it.
  if (ZPHMainThread::isMainThread())
    ZPHMainThread::processEventsUntil([this] { return m_queue->operationCount() == 0; }, QDeadlineTimer::Forever);
  m_queue->waitUntilAllOperationsAreFinished();
  m_queue.reset();
  m_localAccount.reset();
  m_stack.reset();
}

bool CBDataController::setupCoreDataStackWithClass(const StackFactory& makeStack, bool performIntegrityCheck,
                                                   ZPHError* error)
{
  Q_ASSERT_X(!m_stack, Q_FUNC_INFO, "the store stack is set up once");
  std::unique_ptr<ZPHCoreDataStack> stack = makeStack ? makeStack() : std::make_unique<ZPHCoreDataStack>();
  stack->setShouldPerformIntegrityCheckOnSetup(performIntegrityCheck);
  ZPHError setupError;
  const bool ok = stack->setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &setupError);
  if (!ok) {
    if (error)
      *error = setupError;
    return false;
  }
  m_stack = std::move(stack);
  return true;
}

void CBDataController::completeSetup()
{
  ZPH_ASSERT_MAIN_THREAD();
  m_subscriptionsSortOrder = ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHSubscriptionsSortOrderKey);
  if (!m_localAccount) {
    m_localAccount = std::make_unique<CBDataAccount>(0, QString());
    connect(m_localAccount.get(), &CBDataAccount::unreadCountChanged, this, &CBDataController::updateUnreadCount);
    connect(m_localAccount.get(), &CBDataAccount::favoritesUnreadCountChanged, this,
            &CBDataController::updateUnreadCount);
  }
  m_localAccount->loadFeedsAndFoldersFromDisk();
  if (!m_unreadCountsObserver.isValid())
    m_unreadCountsObserver = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHAccountUnreadCountsUpdatedEvent, QVariant(), this, [this](const ZPHNotification&) { updateUnreadCount(); },
        ZPHNotificationCenter::Delivery::MainThread);
  m_unreadCount = m_localAccount->unreadCount();
  if (!m_globalAccount)
    m_globalAccount = std::make_unique<CBGlobalAccount>(m_localAccount.get());
  ZPHNotificationCenter::defaultCenter().post(ZPHDataAccountReadyNotification,
                                              QVariant::fromValue(static_cast<void*>(this)));
  updateTodayCount();
}

// ------------------------------------------------------------- store queue

void CBDataController::addCoreDataQueueOperation(std::shared_ptr<ZPHOperation> operation, bool ignoringTermination)
{
  Q_ASSERT_X(operation != nullptr, Q_FUNC_INFO, "coreDataBackgroundOperation");
  if (operation == nullptr || (!ignoringTermination && ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown()))
    return;
  m_queue->addOperation(operation);
}

void CBDataController::addCoreDataQueueOperationAndWait(std::shared_ptr<ZPHOperation> operation)
{
  // The main thread would wait for a queue that may be waiting for it.
  Q_ASSERT_X(!ZPHMainThread::isMainThread(), Q_FUNC_INFO, "addCoreDataQueueOperationAndWait on the main thread");
  addCoreDataQueueOperation(std::move(operation));
  m_queue->waitUntilAllOperationsAreFinished();
}

void CBDataController::addCoreDataQueueBlock(std::function<void()> block, std::function<void()> completionHandler,
                                             bool ignoringTermination)
{
  Q_ASSERT_X(block != nullptr, Q_FUNC_INFO, "blockToExecute");
  if (!block)
    return;
  auto operation = std::make_shared<ZPHBlockOperation>(std::move(block));
  if (completionHandler)
    operation->setCompletionBlock(std::move(completionHandler));
  addCoreDataQueueOperation(std::move(operation), ignoringTermination);
}

void CBDataController::addMainThreadCoreDataQueueBlock(std::function<void()> block, bool ignoringTermination)
{
  Q_ASSERT_X(block != nullptr, Q_FUNC_INFO, "blockToExecute");
  if (!block || (!ignoringTermination && ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown()))
    return;
  addCoreDataQueueBlock(
      [block = std::move(block)] {
        ZPHMainThread::sync([&block] {
          // The marker comes down also when the block throws.
          struct Marker {
            Marker() { t_mainThreadCoreData = true; }
            ~Marker() { t_mainThreadCoreData = false; }
          } marker;
          block();
        });
      },
      {}, ignoringTermination);
}

void CBDataController::cancelCoreDataBackgroundOperations() { m_queue->cancelAllOperations(); }

void CBDataController::cancelCoreDataBackgroundOperationsThatMayBeDropped()
{
  for (const std::shared_ptr<ZPHOperation>& operation : m_queue->operations()) {
    if (operation->mayBeDroppedAtQuit())
      operation->cancel();
  }
}

bool CBDataController::coreDataQueueHasOperations() const { return m_queue->operationCount() > 0; }

bool CBDataController::coreDataQueueRunsCancelledOperation() const
{
  for (const std::shared_ptr<ZPHOperation>& operation : m_queue->operations()) {
    if (operation->isExecuting())
      return operation->isCancelled();
  }
  return false;
}

// ---------------------------------------------------------------- contexts

ZPHManagedObjectContext* CBDataController::mainThreadManagedObjectContext() const
{
  if (!ZPHMainThread::isMainThread()) {
    qCWarning(zphStore) << "mainThreadManagedObjectContext referenced not on main thread! :"
                        << QThread::currentThread();
    return nullptr;
  }
  return m_stack ? m_stack->mainThreadManagedObjectContext() : nullptr;
}

std::shared_ptr<ZPHManagedObjectContext> CBDataController::temporaryManagedObjectContext() const
{
  return newContext(persistentStore(), ZPHManagedObjectContext::ConfinementConcurrencyType);
}

std::shared_ptr<ZPHManagedObjectContext> CBDataController::temporaryManagedObjectContextOnPrivateQueue() const
{
  return newContext(persistentStore(), ZPHManagedObjectContext::PrivateQueueConcurrencyType);
}

std::shared_ptr<ZPHManagedObjectContext> CBDataController::managedObjectContext() const
{
  if (ZPHMainThread::isMainThread()) {
    ZPHManagedObjectContext* main = mainThreadManagedObjectContext();
    return main ? std::shared_ptr<ZPHManagedObjectContext>(main, [](ZPHManagedObjectContext*) {}) : nullptr;
  }
  return temporaryManagedObjectContext();
}

ZPHPersistentStore* CBDataController::persistentStore() const { return m_stack ? m_stack->persistentStore() : nullptr; }

bool CBDataController::saveManagedObjectContext(ZPHManagedObjectContext* context)
{
  return CBSaveManagedObjectContext(context);
}

void CBDataController::saveMainThreadManagedObjectContext()
{
  if (!ZPHMainThread::isMainThread()) {
    ZPHMainThread::async([this] { saveMainThreadManagedObjectContext(); });
    return;
  }
  CBSaveManagedObjectContext(mainThreadManagedObjectContext());
}

// ---------------------------------------------------------- thread rules

bool CBDataController::mainThreadCoreDataMarker() { return t_mainThreadCoreData; }

bool CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(ZPHManagedObjectContext* context)
{
  if (ZPHManagedObjectContext::isMergingChanges())
    return true;
  if (const ZPHOperationQueue* queue = ZPHOperationQueue::currentQueue();
      queue != nullptr && queue->name() == CBDataControllerCoreDataBackgroundQueueName)
    return true;
  if (context != nullptr && context->userInfo().value(ZPHManagedObjectContextUserInfoIsTabsOnlyKey).toBool() &&
      ZPHMainThread::isMainThread()) {
    bool onlyTabs = true;
    for (const auto& objects : {context->insertedObjects(), context->updatedObjects(), context->deletedObjects()}) {
      for (const ZPHManagedObject* object : objects) {
        if (object->entity()->name() != CBDataEntityNameBrowserTab)
          onlyTabs = false;
      }
    }
    if (onlyTabs)
      return true;
  }
  if (context != nullptr && context->userInfo().value(ZPHManagedObjectContextUserInfoExplicitlySafeKey).toBool())
    return true;
  return t_mainThreadCoreData;
}

// ---------------------------------------------------------------- accounts

CBDataAccount* CBDataController::accountWithID(const QString& identifier) const
{
  if (m_localAccount && (identifier.isNull() || identifier == m_localAccount->identifier()))
    return m_localAccount.get();
  return nullptr;
}

bool CBDataController::anyAccountIsSubscribedToFeedWithURL(const QUrl& url) const
{
  if (!url.isValid() || url.isEmpty())
    return false;
  return m_localAccount && m_localAccount->isSubscribedToFeedWithURL(url);
}

void CBDataController::updateUnreadCount()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (!m_localAccount)
    return;
  const quint64 total = m_localAccount->unreadCount();
  const quint64 favorites = m_localAccount->favoritesUnreadCount();
  if (favorites != m_unreadFavoritesCount) {
    m_unreadFavoritesCount = favorites;
    Q_EMIT unreadFavoritesCountChanged(favorites);
  }
  if (total != m_unreadCount) {
    m_unreadCount = total;
    Q_EMIT unreadCountChanged(total);
  }
  if (m_globalAccount)
    m_globalAccount->favoritesGroup()->setUnreadCount(favorites);
  updateTodayCount();
}

void CBDataController::updateTodayCount()
{
  if (m_globalAccount)
    m_globalAccount->scheduleUpdateForTodayUnreadCount();
}

void CBDataController::updateAllUnreadCountsOnMainThread()
{
  if (m_localAccount)
    m_localAccount->updateUnreadCountsOnMainThread();
  updateTodayCount();
}

void CBDataController::setSubscriptionsSortOrder(qint64 sortOrder)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  defaults.setInteger(ZPHSubscriptionsSortOrderKey, sortOrder);
  defaults.synchronize();
  m_subscriptionsSortOrder = sortOrder;
  ZPHNotificationCenter::defaultCenter().post(ZPHSortOrderUpdatedNotification,
                                              QVariant::fromValue(static_cast<void*>(this)));
}
