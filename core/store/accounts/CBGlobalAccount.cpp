#include "store/accounts/CBGlobalAccount.h"

#include "store/operations/ZPHBatchDeletionOperation.h"

#include "foundation/CBDateManager.h"
#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationQueue.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBDataController.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBDataAccount.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBDataArticle.h"
#include "store/operations/ZPHFlaggedArticleCalculateUnreadCountsOperation.h"
#include "store/operations/ZPHTodayFeedCalculateUnreadCountsOperation.h"

#include <QtCore/QTimer>

const QString CBTodayUnreadCountKey = QStringLiteral("todayUnreadCount");
const QString CBFlaggedUnreadCountKey = QStringLiteral("flaggedUnreadCount");
const QString ZPHExpandFavoritesKey = QStringLiteral("ZPHExpandFavorites");

namespace {

constexpr int RecountDelayMs = 200;

bool shuttingDown() { return ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown(); }

void announceUnreadCountChange()
{
  ZPHNotificationQueue::defaultQueue().enqueueIdle(ZPHNotification{ZPHUnreadCountDidChangeNotification, {}, {}});
}

CBTreeNode::Pointer smartFeedNode(CBTreeNodeRepresentedObject* object)
{
  CBTreeNode::Pointer node = CBTreeNode::treeNodeWithParent(static_cast<CBTreeNode*>(nullptr), object);
  node->setAllowsDragging(false);
  return node;
}

}  // namespace

CBGlobalAccount::CBGlobalAccount(CBDataAccount* localAccount) : m_localAccount(localAccount)
{
  ZPH_ASSERT_MAIN_THREAD();
  registerFavoritesPreferences();

  const auto makeFeed = [this](qint32 type, const QString& name, const QString& image, const QString& selected) {
    auto feed = std::make_unique<CBGlobalFeed>(type);
    feed->setNameForDisplay(name);
    feed->setImageName(image);
    feed->setSelectedImageName(selected);
    feed->setAccount(this);
    return feed;
  };
  m_allUnreadFeed = makeFeed(CBGlobalFeedTypeAllUnread, tr("All Unread"), QStringLiteral("UnreadTemplate"),
                             QStringLiteral("UnreadSelectedTemplate"));
  m_todayFeed = makeFeed(CBGlobalFeedTypeToday, tr("Today"), QStringLiteral("TodayTemplate"),
                         QStringLiteral("TodaySelectedTemplate"));
  m_flaggedFeed = makeFeed(CBGlobalFeedTypeFlagged, tr("Bookmarks"), QStringLiteral("FlaggedTemplate"),
                           QStringLiteral("FlaggedSelectedTemplate"));
  m_favoritesGroup = std::make_unique<ZPHGlobalFavoritesGroup>();
  m_favoritesGroup->setNameForDisplay(tr("Favorites"));
  m_favoritesGroup->setImageName(QStringLiteral("NSAddTemplate"));
  m_favoritesGroup->setSelectedImageName(QStringLiteral("NSRemoveTemplate"));
  m_favoritesGroup->setAccount(this);

  m_childTreeNodes = {smartFeedNode(m_allUnreadFeed.get()), smartFeedNode(m_todayFeed.get()),
                      smartFeedNode(m_flaggedFeed.get())};
  CBTreeNode::Pointer favoritesNode = smartFeedNode(m_favoritesGroup.get());
  favoritesNode->setIsGroup(true);
  favoritesNode->setExpanded(ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHExpandFavoritesKey));
  m_childTreeNodes.append(favoritesNode);
  m_favoritesGroup->setTreeNode(favoritesNode);

  m_accountTreeNode = CBTreeNode::treeNodeWithParent(static_cast<CBTreeNode*>(nullptr),
                                                     static_cast<CBTreeNodeRepresentedObject*>(this));
  m_accountTreeNode->setIsSpecialGroup(true);
  m_accountTreeNode->setIsGroup(true);
  m_accountTreeNode->setAllowsDragging(false);
  // Fixed order, set while the node has no children to pass it on to.
  m_accountTreeNode->setSortKeyForOrderingChildren(QLatin1String(""));
  // The four nodes take the top node as their parent, so that a change of
  // the Favorites children reaches the cached lists of every node above.
  m_accountTreeNode->setChildren(m_childTreeNodes);

  m_todayUnreadCountTimer = new QTimer(this);
  m_todayUnreadCountTimer->setSingleShot(true);
  connect(m_todayUnreadCountTimer, &QTimer::timeout, this, &CBGlobalAccount::updateTodayUnreadCount);
  m_flaggedUnreadCountTimer = new QTimer(this);
  m_flaggedUnreadCountTimer->setSingleShot(true);
  connect(m_flaggedUnreadCountTimer, &QTimer::timeout, this, &CBGlobalAccount::updateFlaggedUnreadCount);

  if (m_localAccount)
    connect(m_localAccount.data(), &CBDataAccount::unreadCountChanged, this,
            &CBGlobalAccount::updateAllUnreadFeedCount);
  registerObservers();
}

CBGlobalAccount::~CBGlobalAccount()
{
  m_observers.clear();
  teardown();
  m_flaggedUnreadCountTimer->stop();
  if (m_accountTreeNode) {
    // Out of any tree that still holds it, without touching the store.
    if (CBTreeNode* parent = m_accountTreeNode->parent())
      parent->removeChild(m_accountTreeNode.get());
    m_accountTreeNode->ensureChildrenAreOrphaned();
  }
}

CBGlobalAccount* CBGlobalAccount::globalAccount()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  CBDataController* controller = delegate ? delegate->dataController() : nullptr;
  return controller ? controller->globalAccount() : nullptr;
}

void CBGlobalAccount::registerFavoritesPreferences()
{
  ZPHUserDefaults::standardUserDefaults().registerDefaults(
      {{ZPHUnreadCountSelection, 1}, {ZPHAllUnreadFeedsSelection, 1}, {ZPHTodayFeedSelection, 1}});
}

void CBGlobalAccount::registerObservers()
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  // Every change is taken on the main thread, wherever it was announced:
  // the recount timers belong to the main thread.
  auto observe = [&](const QString& name, void (CBGlobalAccount::*handler)(const ZPHNotification&)) {
    m_observers.push_back(center.addObserver(
        name, QVariant(), this, [this, handler](const ZPHNotification& n) { (this->*handler)(n); },
        ZPHNotificationCenter::Delivery::MainThread));
  };
  observe(CBDataArticleReadStatusDidChangeNotification, &CBGlobalAccount::articleReadStatusDidChange);
  observe(CBDataArticleFlaggedStatusDidChangeNotification, &CBGlobalAccount::articleFlaggedStatusDidChange);
  observe(ZPHRefreshSessionDidEndNotification, &CBGlobalAccount::todayCountMayHaveChanged);
  observe(CBDataDidDeleteArticlesNotification, &CBGlobalAccount::todayCountMayHaveChanged);
  observe(CBMultipleArticlesDidChangeReadStatusNotification, &CBGlobalAccount::todayCountMayHaveChanged);
  observe(ZPHFeedsOrFoldersDeletedNotification, &CBGlobalAccount::feedsOrFoldersDeleted);
}

bool CBGlobalAccount::isSubscribedToFeedWithURL(const QUrl& url) const
{
  Q_UNUSED(url);
  return false;
}

QString CBGlobalAccount::title() const { return tr("News Feed"); }

// ------------------------------------------------------------- triggers

void CBGlobalAccount::articleReadStatusDidChange(const ZPHNotification& notification)
{
  ZPH_ASSERT_MAIN_THREAD();
  // Only an article of today can move Today's count.
  auto* article = dynamic_cast<CBDataArticle*>(notification.object.value<ZPHManagedObject*>());
  if (article != nullptr) {
    const QDateTime date = article->dateForDisplay();
    if (date.isValid() && date > CBDateManager::sharedManager()->firstSecondOfToday())
      scheduleUpdateForTodayUnreadCount();
  }
  scheduleUpdateForFlaggedArticles();
}

void CBGlobalAccount::articleFlaggedStatusDidChange(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  ZPH_ASSERT_MAIN_THREAD();
  scheduleUpdateForFlaggedArticles();
}

void CBGlobalAccount::todayCountMayHaveChanged(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  ZPH_ASSERT_MAIN_THREAD();
  scheduleUpdateForTodayUnreadCount();
}

void CBGlobalAccount::feedsOrFoldersDeleted(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  ZPH_ASSERT_MAIN_THREAD();
  scheduleUpdateForTodayUnreadCount();
  scheduleUpdateForFlaggedArticles();
}

// ------------------------------------------------------------- recounts

void CBGlobalAccount::scheduleUpdateForTodayUnreadCount()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (shuttingDown())
    return;
  m_todayUnreadCountTimer->start(RecountDelayMs);
}

void CBGlobalAccount::scheduleUpdateForFlaggedArticles()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (shuttingDown())
    return;
  m_flaggedUnreadCountTimer->start(RecountDelayMs);
}

void CBGlobalAccount::updateTodayUnreadCount()
{
  m_todayUnreadCountTimer->stop();
  if (shuttingDown())
    return;
  queueUpdateForTodayUnreadCount();
  queueUpdateForFlaggedUnreadCount();
}

void CBGlobalAccount::updateFlaggedUnreadCount()
{
  m_flaggedUnreadCountTimer->stop();
  queueUpdateForFlaggedUnreadCount();
}

void CBGlobalAccount::queueUpdateForTodayUnreadCount()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  QPointer<CBGlobalAccount> guard(this);
  auto operation = std::make_shared<ZPHTodayFeedCalculateUnreadCountsOperation>(
      this,
      [guard](const std::shared_ptr<CBOperation>& op) {
        if (guard)
          guard->feedCountUnreadOperationDidComplete(op);
      },
      m_localAccount ? m_localAccount->identifier() : QString());
  // A recount gives way to the store work queued behind it.
  operation->setQueuePriority(ZPHOperationQueuePriority::Low);
  delegate->addCoreDataQueueOperation(operation);
}

void CBGlobalAccount::queueUpdateForFlaggedUnreadCount()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr)
    return;
  QPointer<CBGlobalAccount> guard(this);
  auto operation = std::make_shared<ZPHFlaggedArticleCalculateUnreadCountsOperation>(
      this, [guard](const std::shared_ptr<CBOperation>& op) {
        if (guard)
          guard->feedCountUnreadFlaggedOperationDidComplete(op);
      });
  operation->setQueuePriority(ZPHOperationQueuePriority::Low);
  delegate->addCoreDataQueueOperation(operation);
}

void CBGlobalAccount::feedCountUnreadOperationDidComplete(const std::shared_ptr<CBOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  auto recount = std::dynamic_pointer_cast<ZPHTodayFeedCalculateUnreadCountsOperation>(operation);
  if (recount == nullptr || shuttingDown())
    return;
  m_todayFeed->setUnreadCount(recount->unreadCount());
  ZPHUserDefaults::standardUserDefaults().setObject(CBTodayUnreadCountKey, QVariant(recount->unreadCount()));
  updateAllUnreadFeedCount();
  announceUnreadCountChange();
}

void CBGlobalAccount::feedCountUnreadFlaggedOperationDidComplete(const std::shared_ptr<CBOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  auto recount = std::dynamic_pointer_cast<ZPHFlaggedArticleCalculateUnreadCountsOperation>(operation);
  if (recount == nullptr || shuttingDown())
    return;
  m_flaggedFeed->setUnreadCount(recount->unreadCount());
  ZPHUserDefaults::standardUserDefaults().setObject(CBFlaggedUnreadCountKey, QVariant(recount->unreadCount()));
  updateAllUnreadFeedCount();
  announceUnreadCountChange();
}

void CBGlobalAccount::updateAllUnreadFeedCount()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (!m_localAccount)
    return;
  const bool favoritesOnly = ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHAllUnreadFeedsSelection) == 0;
  m_allUnreadFeed->setUnreadCount(favoritesOnly ? m_localAccount->favoritesUnreadCount()
                                                : m_localAccount->unreadCount());
}

void CBGlobalAccount::restoreUnreadCounts()
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QVariant today = defaults.objectForKey(CBTodayUnreadCountKey);
  if (today.isValid())
    m_todayFeed->setUnreadCount(today.toULongLong());
  const QVariant flagged = defaults.objectForKey(CBFlaggedUnreadCountKey);
  if (flagged.isValid())
    m_flaggedFeed->setUnreadCount(flagged.toULongLong());
  scheduleUpdateForTodayUnreadCount();
}

void CBGlobalAccount::clearUnreadCounts()
{
  m_allUnreadFeed->setUnreadCount(0);
  m_todayFeed->setUnreadCount(0);
  m_flaggedFeed->setUnreadCount(0);
}

void CBGlobalAccount::teardown() { m_todayUnreadCountTimer->stop(); }
