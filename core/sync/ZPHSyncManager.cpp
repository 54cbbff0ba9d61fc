#include "sync/ZPHSyncManager.h"

#include "foundation/CBEventThrottler.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHTerminationCancelingOperation.h"
#include "platform/ZPHUserDefaults.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBNode.h"
#include "subscribe/ZPHCredentialsResult.h"
#include "sync/ZPHSyncAccountCreationOperation.h"
#include "sync/ZPHSyncArticleExportOperation.h"
#include "sync/ZPHSyncArticleRefreshOperation.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCredentials.h"
#include "sync/ZPHSyncDeletedNodeLog.h"
#include "sync/ZPHSyncFeedsAndFolderOperation.h"
#include "sync/ZPHSyncFullFeedAndFolderUpdateOperation.h"
#include "sync/ZPHSyncUtils.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonObject>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

namespace {

ZPHSyncManager* s_sharedManager = nullptr;

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

// How long the destructor serves the main thread while calls end.
constexpr int ShutdownWaitMs = 30000;

}  // namespace

ZPHSyncManager::ZPHSyncManager()
    : m_queue(std::make_unique<ZPHOperationQueue>(QStringLiteral("com.fernhollow.zephlin.syncQueue"))),
      m_feedFetchQueue(std::make_unique<ZPHOperationQueue>(QStringLiteral("com.fernhollow.zephlin.syncFeedFetchQueue")))
{
  ZPH_ASSERT_MAIN_THREAD();
  m_queue->setMaxConcurrentOperationCount(1);
  m_queue->setSuspended(true);
  m_feedFetchQueue->setSuspended(true);

  m_feedSyncEventThrottler = std::make_unique<CBEventThrottler>(
      this, [this](const QVariantList&) { fetchFeedsAndFolders(); }, SyncEventThrottleTimeout);
  m_feedSyncEventThrottler->setBumpUntilIdle(true);
  m_feedSyncEventThrottler->setTag(QStringLiteral("feedSyncEventThrottler"));
  m_articleSyncEventThrottler = std::make_unique<CBEventThrottler>(
      this, [this](const QVariantList&) { fetchArticles(); }, SyncEventThrottleTimeout);
  m_articleSyncEventThrottler->setBumpUntilIdle(true);
  m_articleSyncEventThrottler->setTag(QStringLiteral("articleSyncEventThrottler"));

  defaults().observe(ZPHSyncResetAccountInfo, this, [this](const QVariant& value) { resetAccountInfoChanged(value); });
  // On the saving thread, while the deleted node's values are at hand.
  m_deletionObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHSyncableFeedOrFolderDeletedNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { recordDeletion(notification); });
  // A call waiting for the server or for the user must not hold up the quit.
  m_terminationObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHApplicationWillTerminateNotification, QVariant(), this, [this](const ZPHNotification&) { stop(); },
      ZPHNotificationCenter::Delivery::MainThread);

  if (s_sharedManager == nullptr)
    s_sharedManager = this;
}

ZPHSyncManager::~ZPHSyncManager()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (s_sharedManager == this)
    s_sharedManager = nullptr;
  m_deletionObserver.reset();
  m_terminationObserver.reset();
  m_runningObservers.clear();
  m_running.store(false);
  // Cancelled calls end once their queue runs them; their store work may
  // need the main thread meanwhile.
  for (ZPHOperationQueue* queue : {m_queue.get(), m_feedFetchQueue.get()}) {
    queue->cancelAllOperations();
    queue->setSuspended(false);
  }
  ZPHMainThread::processEventsUntil(
      [this] { return m_queue->operationCount() == 0 && m_feedFetchQueue->operationCount() == 0; },
      QDeadlineTimer(ShutdownWaitMs));
}

ZPHSyncManager* ZPHSyncManager::existingController() { return s_sharedManager; }

ZPHSyncManager* ZPHSyncManager::sharedController()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (s_sharedManager == nullptr) {
    auto* manager = new ZPHSyncManager;
    manager->setParent(QCoreApplication::instance());
  }
  return s_sharedManager;
}

void ZPHSyncManager::start()
{
  ZPH_ASSERT_MAIN_THREAD();
  qCInfo(zphSync) << "ZPHSyncManager: start";
  if (!m_running.load()) {
    m_running.store(true);
    m_queue->setSuspended(false);
    m_feedFetchQueue->setSuspended(false);
    registerObservers();
  }
  fetchFeedsAndFolders();
}

void ZPHSyncManager::stop()
{
  ZPH_ASSERT_MAIN_THREAD();
  qCInfo(zphSync) << "ZPHSyncManager: stop";
  m_running.store(false);
  m_runningObservers.clear();
  for (ZPHOperationQueue* queue : {m_queue.get(), m_feedFetchQueue.get()}) {
    queue->setSuspended(true);
    queue->cancelAllOperations();
  }
  m_refreshInProgress = false;
  m_activeCycle = 0;
}

void ZPHSyncManager::startIfSetUp()
{
  if (defaults().boolForKey(ZPHSyncDataHasBeenSynced) && !ZPHSyncCredentials::username().isEmpty())
    start();
}

void ZPHSyncManager::registerObservers()
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  const auto onMain = ZPHNotificationCenter::Delivery::MainThread;
  m_runningObservers.push_back(center.addObserver(
      ZPHSyncServiceAccountCreationResponse, QVariant(), this,
      [this](const ZPHNotification& notification) { accountCreationResponse(notification); }, onMain));
  m_runningObservers.push_back(center.addObserver(
      ZPHSyncServiceAccountCreationRequested, QVariant(), this,
      [this](const ZPHNotification& notification) { createAccount(notification); }, onMain));
  // Posted on whatever thread saved; the throttlers take triggers from any.
  m_runningObservers.push_back(
      center.addObserver(ZPHSyncableFeedOrFolderEventNotification, QVariant(), this, [this](const ZPHNotification&) {
        qCDebug(zphSync) << "feedOrFolderSyncRequest:hi";
        m_feedSyncEventThrottler->setEventTriggered(true);
      }));
  m_runningObservers.push_back(
      center.addObserver(ZPHSyncableArticleEventNotification, QVariant(), this, [this](const ZPHNotification&) {
        qCDebug(zphSync) << "articleSyncRequest";
        m_articleSyncEventThrottler->setEventTriggered(true);
      }));
}

void ZPHSyncManager::fetchFeedsAndFolders()
{
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHSyncManager> guard(this);
    ZPHMainThread::async([guard] {
      if (guard)
        guard->fetchFeedsAndFolders();
    });
    return;
  }
  qCDebug(zphSync) << "fetchFeedsAndFolders:hi";
  if (!m_running.load() || m_refreshInProgress)
    return;
  qCDebug(zphSync) << "fetchFeedsAndFolders:no refresh in progress - let's do this";
  m_refreshInProgress = true;
  m_activeCycle = ++m_cycleCounter;
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncDownloadingFeedsAndFoldersListNotification,
                                              QVariant::fromValue(static_cast<QObject*>(this)));
  queueCall(std::make_shared<ZPHSyncFeedsAndFolderOperation>(), Step::FeedsAndFolders, m_activeCycle);
  if (m_periodicRefreshTimer == nullptr) {
    m_periodicRefreshTimer = new QTimer(this);
    m_periodicRefreshTimer->setInterval(int(m_periodicRefreshInterval * 1000.0));
    connect(m_periodicRefreshTimer, &QTimer::timeout, this, &ZPHSyncManager::doPeriodicRefreshIfNeeded);
    m_periodicRefreshTimer->start();
  }
}

void ZPHSyncManager::fetchArticles()
{
  if (!ZPHMainThread::isMainThread()) {
    QPointer<ZPHSyncManager> guard(this);
    ZPHMainThread::async([guard] {
      if (guard)
        guard->fetchArticles();
    });
    return;
  }
  if (!m_running.load())
    return;
  // Not part of a cycle: its end leaves refreshInProgress alone.
  queueCall(std::make_shared<ZPHSyncArticleRefreshOperation>(), Step::ArticleRefresh, 0);
}

void ZPHSyncManager::doPeriodicRefreshIfNeeded()
{
  if (m_refreshInProgress || !m_lastRefreshDate.isValid())
    return;
  if (m_lastRefreshDate.addMSecs(qint64(m_periodicRefreshInterval * 1000.0)) > QDateTime::currentDateTimeUtc())
    return;
  QPointer<ZPHSyncManager> guard(this);
  ZPHMainThread::async([guard] {
    if (guard)
      guard->fetchFeedsAndFolders();
  });
}

void ZPHSyncManager::queueCall(const std::shared_ptr<ZPHSyncServerNetworkOperation>& operation, Step step,
                               quint64 cycle)
{
  ZPH_ASSERT_MAIN_THREAD();
  QPointer<ZPHSyncManager> guard(this);
  const std::weak_ptr<ZPHSyncServerNetworkOperation> weakOperation = operation;
  // Runs on the queue's thread once the call ended (also when it was
  // cancelled before it started).
  operation->setCompletionBlock([guard, weakOperation, step, cycle] {
    const std::shared_ptr<ZPHSyncServerNetworkOperation> ended = weakOperation.lock();
    const bool succeeded = ended && ended->succeeded();
    const ZPHError error = ended ? ended->syncError() : ZPHError();
    ZPHMainThread::async([guard, step, cycle, succeeded, error] {
      if (guard)
        guard->callFinished(step, cycle, succeeded, error);
    });
  });
  m_queue->addOperation(operation);
}

void ZPHSyncManager::callFinished(Step step, quint64 cycle, bool succeeded, const ZPHError& error)
{
  if (step == Step::AccountCreation || !m_running.load())
    return;
  const bool inCycle = cycle != 0 && cycle == m_activeCycle;
  // A cycle that was ended (stop, reset) goes no further.
  if (cycle != 0 && !inCycle)
    return;
  if (!succeeded) {
    qCWarning(zphSync).noquote() << "sync call failed:" << error.toString();
    if (inCycle)
      endCycle(cycle, error);
    return;
  }
  switch (step) {
    case Step::FeedsAndFolders:  // the server's feeds and folders are in
      queueCall(std::make_shared<ZPHSyncFullFeedAndFolderUpdateOperation>(), Step::FullUpdate, cycle);
      return;
    case Step::FullUpdate:
      syncComplete(cycle);
      return;
    case Step::ArticleRefresh:
      queueCall(std::make_shared<ZPHSyncArticleExportOperation>(), Step::ArticleExport, cycle);
      return;
    case Step::ArticleExport:
      if (inCycle)
        endCycle(cycle, ZPHError());
      return;
    case Step::AccountCreation:
      return;
  }
}

void ZPHSyncManager::endCycle(quint64 cycle, const ZPHError& error)
{
  if (cycle != m_activeCycle)
    return;
  m_refreshInProgress = false;
  m_activeCycle = 0;
  m_lastError = error;
}

void ZPHSyncManager::syncComplete(quint64 cycle)
{
  m_lastRefreshDate = QDateTime::currentDateTimeUtc();
  if (!defaults().boolForKey(ZPHSyncDataHasBeenSynced)) {
    // User names stay out of the log.
    qCInfo(zphSync) << "ZPHSyncManager: Replacing the last synced user with the current one";
    defaults().setString(ZPHLastValidUserNameKey, ZPHSyncCredentials::username());
    defaults().setBool(ZPHSyncDataHasBeenSynced, true);
  }
  queueCall(std::make_shared<ZPHSyncArticleRefreshOperation>(), Step::ArticleRefresh, cycle);
}

void ZPHSyncManager::resetAccountInfoChanged(const QVariant& value)
{
  if (!value.toBool())
    return;
  stop();
  ZPHSyncCredentials::reset();
  start();
  defaults().setBool(ZPHSyncResetAccountInfo, false);
}

void ZPHSyncManager::recordDeletion(const ZPHNotification& notification)
{
  // Deletions the sync client makes itself (the server's) are not sent back,
  // and without an account there is nobody to tell.
  if (ZPHSyncDeletedNodeLog::OwnDeletionsScope::isActive() || ZPHSyncCredentials::username().isEmpty())
    return;
  // The node goes up with its last values: a server reads the whole node
  // object, deleted or not.
  const QJsonObject node = ZPHSyncUtils::dictionaryForDeletedNode(notification.userInfo);
  if (node.value(QStringLiteral("guid")).toString().isEmpty())
    return;
  ZPHSyncDeletedNodeLog::sharedLog().record(node);
  if (m_running.load())
    m_feedSyncEventThrottler->setEventTriggered(true);
}

void ZPHSyncManager::createAccount(const ZPHNotification& notification)
{
  if (!notification.object.canConvert<ZPHCredentialsResult>()) {
    qCWarning(zphSync) << "account creation requested without credentials";
    return;
  }
  const ZPHCredentialsResult credentials = notification.object.value<ZPHCredentialsResult>();
  if (credentials.didCancel())
    return;
  queueCall(std::make_shared<ZPHSyncAccountCreationOperation>(credentials), Step::AccountCreation, 0);
}

void ZPHSyncManager::accountCreationResponse(const ZPHNotification& notification)
{
  const QVariantMap reply = notification.object.toMap();
  if (reply.value(QStringLiteral("status")).toString() == QStringLiteral("ok")) {
    m_refreshInProgress = false;
    m_activeCycle = 0;
  }
}
