#include "feeds/refresh/ZPHRefreshController.h"

#include "feeds/images/CBFaviconController.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/network/ZPHNetworkController.h"
#include "feeds/refresh/CBAccountRefresher.h"
#include "feeds/refresh/CBDownloadableFeedRefresher.h"
#include "feeds/refresh/CBLocalAccountRefresher.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/tree/CBTreeNode.h"

#include <QtCore/QPointer>

const QString ZPHRefreshControllerVisualRefreshInProgressKey = QStringLiteral("visualRefreshInProgress");
const QString ZPHRefreshFeedsIntervalKey = QStringLiteral("refreshFeedsInterval");

const QString ZPHRefreshController::OperationControllerName =
    QStringLiteral("com.fernhollow.zephlin.refreshOperationsController");
const QString ZPHRefreshController::StatusItemIdentifier =
    QStringLiteral("com.fernhollow.zephlin.status.refreshingFeeds");
const QString ZPHRefreshController::StatusItemText = QStringLiteral("Refreshing Sites…");

namespace {

// Feeds that arrive from the sync service, and the feeds of an import;
// announced by code outside the core library's feed layer.
const QString RemoteFeedAddedNotification = QStringLiteral("ZPHRemoteFeedAddedNotification");
const QString FeedsKey = QStringLiteral("feeds");

CBFeed* feedFromVariant(const QVariant& value)
{
  if (value.canConvert<ZPHManagedObject*>())
    return dynamic_cast<CBFeed*>(value.value<ZPHManagedObject*>());
  return nullptr;
}

// What the store asks of this layer: the shared favicon controller and feed
// metadata database answer.
class FeedIngestion final : public ZPHFeedIngestionInterface {
public:
  QUrl updateBestFaviconURLForHomePageURL(const QUrl& homePageURL) override
  {
    if (CBFaviconController* controller = CBFaviconController::sharedController())
      return controller->updateAndReturnBestFaviconURLForHomePageURL(homePageURL);
    return {};
  }

  void deleteStoredInfoForFeedURL(const QUrl& feedURL) override
  {
    if (auto cache = CBLocalAccountFeedMetadataCache::sharedCache())
      cache->deleteInfoForFeedURL(feedURL);
  }
};

}  // namespace

ZPHRefreshController::ZPHRefreshController(QObject* parent)
    : QObject(parent), m_operationController(std::make_unique<CBOperationController>())
{
  // The feeds layer is ready once its refresh controller is: from now on the
  // store's requests reach it.
  static FeedIngestion ingestion;
  ZPHFeedIngestionInterface::setShared(&ingestion);

  m_operationController->setName(OperationControllerName);
  m_operationController->setTracksOperations(true);
  m_operationController->setQueueWidth(MaxConcurrentRefreshes);

  auto localRefresher = std::make_unique<CBLocalAccountRefresher>();
  localRefresher->registerFeedRefresher(std::make_unique<CBDownloadableFeedRefresher>());
  registerAccountRefresher(std::move(localRefresher));

  ZPHUserDefaults::standardUserDefaults().registerDefaults({{ZPHRefreshFeedsIntervalKey, qint64(30)}});

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  const QVariant controllerObject = QVariant::fromValue(m_operationController.get());
  using D = ZPHNotificationCenter::Delivery;
  m_observers.push_back(center.addObserver(
      CBOperationControllerDidBeginOperationsNotification, controllerObject, this,
      [this](const ZPHNotification& n) { refreshOperationsDidBegin(n); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      CBOperationControllerDidEndOperationsNotification, controllerObject, this,
      [this](const ZPHNotification& n) { refreshOperationsDidEnd(n); }, D::MainThread));
  for (const QString& name : {ZPHFeedsAddedNotification, RemoteFeedAddedNotification}) {
    m_observers.push_back(center.addObserver(
        name, QVariant(), this, [this](const ZPHNotification& n) { feedsAdded(n); }, D::MainThread));
  }
  m_observers.push_back(center.addObserver(
      ZPHNetworkControllerInternetConnectivityChangedNotification, QVariant(), this,
      [this](const ZPHNotification& n) { internetConnectivityChanged(n); }, D::MainThread));
}

ZPHRefreshController::~ZPHRefreshController()
{
  m_observers.clear();
  m_operationController->cancelAllOperations();
  m_operationController->waitUntilAllOperationsAreFinished();
}

// ------------------------------------------------------------- refreshing

void ZPHRefreshController::refreshAllInAccounts(const QList<CBAccount*>& accounts)
{
  ZPH_ASSERT_MAIN_THREAD();
  for (CBAccount* account : accounts) {
    if (CBAccountRefresher* refresher = refresherForAccount(account))
      refresher->refreshAll(account, m_operationController.get());
  }
}

void ZPHRefreshController::refreshFeeds(const QList<CBFeed*>& feeds)
{
  ZPH_ASSERT_MAIN_THREAD();
  // Every feed belongs to the local account: the only account with feeds
  // of its own.
  CBAccount* account = CBDataAccount::localAccount();
  CBAccountRefresher* refresher = refresherForAccount(account);
  if (refresher == nullptr)
    return;
  // Handed over as one list: the refresher looks through what is queued
  // once for all of them, not once a feed.
  QList<CBFeed*> refreshable;
  refreshable.reserve(feeds.size());
  for (CBFeed* feed : feeds) {
    if (feed != nullptr && !feed->url().isEmpty() && !feed->suspended())
      refreshable.append(feed);
  }
  if (!refreshable.isEmpty())
    refresher->refreshFeeds(refreshable, account, m_operationController.get());
}

void ZPHRefreshController::refreshOneFeed(CBFeed* feed) { refreshFeeds({feed}); }

void ZPHRefreshController::refreshFeedsInFolder(CBTreeNode* folderNode)
{
  if (folderNode == nullptr)
    return;
  QList<CBFeed*> feeds;
  for (const CBTreeNode::Pointer& child : folderNode->children()) {
    if (child->isGroup()) {
      refreshFeedsInFolder(child.get());
    } else if (auto* feed = dynamic_cast<CBFeed*>(child->representedNode())) {
      feeds.append(feed);
    }
  }
  refreshFeeds(feeds);
}

void ZPHRefreshController::refreshFeedOrFolder(CBNode* feedOrFolder)
{
  if (auto* folder = dynamic_cast<CBFolder*>(feedOrFolder)) {
    CBDataAccount* account = CBDataAccount::localAccount();
    if (account != nullptr) {
      const CBTreeNode::Pointer node = account->treeNodeForFolderWithGUID(folder->guid());
      refreshFeedsInFolder(node.get());
    }
    return;
  }
  refreshOneFeed(dynamic_cast<CBFeed*>(feedOrFolder));
}

void ZPHRefreshController::registerAccountRefresher(std::unique_ptr<CBAccountRefresher> refresher)
{
  if (refresher)
    m_accountRefreshers.push_back(std::move(refresher));
}

CBAccountRefresher* ZPHRefreshController::refresherForAccount(CBAccount* account) const
{
  if (account == nullptr)
    return nullptr;
  for (const std::unique_ptr<CBAccountRefresher>& refresher : m_accountRefreshers) {
    if (refresher->wantsToRefreshAccount(account))
      return refresher.get();
  }
  return nullptr;
}

QList<CBAccountRefresher*> ZPHRefreshController::accountRefreshers() const
{
  QList<CBAccountRefresher*> result;
  for (const std::unique_ptr<CBAccountRefresher>& refresher : m_accountRefreshers) result.append(refresher.get());
  return result;
}

void ZPHRefreshController::cancelAllOperations() { m_operationController->cancelAllOperations(); }

// ------------------------------------------------------------- notifications

void ZPHRefreshController::feedsAdded(const ZPHNotification& notification)
{
  const QVariant folderOrFeed = notification.userInfo.value(ZPHFolderOrFeedKey);
  if (folderOrFeed.isValid()) {
    if (CBFeed* feed = feedFromVariant(folderOrFeed))
      refreshFeeds({feed});
  }
  const QVariantList feeds = notification.userInfo.value(FeedsKey).toList();
  if (!feeds.isEmpty()) {
    QList<CBFeed*> list;
    for (const QVariant& value : feeds) {
      if (CBFeed* feed = feedFromVariant(value))
        list.append(feed);
    }
    refreshFeeds(list);
  }
}

void ZPHRefreshController::postSessionNotification(const QString& name)
{
  // Begin and end share this one queue, so they reach observers in the
  // order the sessions began and ended.
  QPointer<ZPHRefreshController> self(this);
  ZPHMainThread::async([self, name] {
    if (self)
      ZPHNotificationCenter::defaultCenter().post(name, QVariant::fromValue(static_cast<QObject*>(self.data())));
  });
}

void ZPHRefreshController::refreshOperationsDidBegin(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  ZPH_ASSERT_MAIN_THREAD();
  postSessionNotification(ZPHRefreshSessionDidBeginNotification);
  // An item still on its way out belongs to the previous session.
  if (m_statusItem && m_statusItem != m_statusItemBeingRemoved)
    return;
  m_statusItem = ZPHStatusItem::statusItemWithLocalizedDescription(StatusItemText, StatusItemIdentifier,
                                                                   ZPHStatusItemTypeIndeterminateProgress);
  setVisualRefreshInProgress(true);
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->addStatusItem(m_statusItem, [] {});
}

void ZPHRefreshController::refreshOperationsDidEnd(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  ZPH_ASSERT_MAIN_THREAD();
  postSessionNotification(ZPHRefreshSessionDidEndNotification);
  if (!m_statusItem || m_statusItem == m_statusItemBeingRemoved)
    return;
  const std::shared_ptr<ZPHStatusItem> item = m_statusItem;
  m_statusItemBeingRemoved = item;
  QPointer<ZPHRefreshController> self(this);
  auto removed = [self, item] {
    if (!self)
      return;
    if (self->m_statusItemBeingRemoved == item)
      self->m_statusItemBeingRemoved.reset();
    // A session begun meanwhile has an item of its own.
    if (self->m_statusItem == item) {
      self->m_statusItem.reset();
      self->setVisualRefreshInProgress(false);
    }
  };
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->removeStatusItem(item, removed);
  else
    removed();
}

void ZPHRefreshController::internetConnectivityChanged(const ZPHNotification& notification)
{
  Q_ASSERT(notification.userInfo.contains(ZPHNetworkControllerHasInternetConnectivityKey));
  if (!notification.userInfo.value(ZPHNetworkControllerHasInternetConnectivityKey).toBool())
    m_operationController->cancelAllOperations();
}

void ZPHRefreshController::setVisualRefreshInProgress(bool inProgress)
{
  if (m_visualRefreshInProgress == inProgress)
    return;
  m_visualRefreshInProgress = inProgress;
  Q_EMIT visualRefreshInProgressChanged(inProgress);
}
