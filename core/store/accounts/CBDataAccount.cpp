#include "store/accounts/CBDataAccount.h"

#include "foundation/CBDates.h"
#include "foundation/CBEventThrottler.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationQueue.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBCoreDataUtilities.h"
#include "store/CBDataController.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/accounts/CBParsedFeedInfo.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHAccountCalculateUnreadCountsOperation.h"
#include "store/operations/ZPHBatchDeletionOperation.h"
#include "store/operations/ZPHDeletionOperation.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QPointer>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

const QString ZPHFeedsAddedNotification = QStringLiteral("ZPHFeedsAddedNotification");
const QString ZPHFolderOrFeedKey = QStringLiteral("folderOrFeed");
const QString CBFeedDataDidChangeNotification = QStringLiteral("CBFeedDataDidChangeNotification");
const QString ZPHFeedsWillDeleteNotification = QStringLiteral("ZPHFeedsWillDeleteNotification");
const QString ZPHFeedsAndFoldersDidReorganizeNotification =
    QStringLiteral("ZPHFeedsAndFoldersDidReorganizeNotification");
const QString ZPHURLsKey = QStringLiteral("urls");
const QString ZPHFeedsOrFoldersDeletedNotification = QStringLiteral("ZPHFeedsOrFoldersDeletedNotification");
const QString ZPHClientDidCreateFolderEvent = QStringLiteral("ZPHClientDidCreateFolderEvent");
const QString ZPHUnreadCountDidChangeNotification = QStringLiteral("ZPHUnreadCountDidChangeNotification");

namespace {

const QString AccountKey = QStringLiteral("account");
const QString FromSyncKey = QStringLiteral("fromSync");

ZPHCoreApplicationDelegate* appDelegate() { return ZPHCoreApplicationDelegate::sharedDelegate(); }

ZPHManagedObjectContext* mainContext()
{
  ZPHCoreApplicationDelegate* delegate = appDelegate();
  return delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
}

QVariant objectVariant(ZPHManagedObject* object) { return QVariant::fromValue(object); }

QUrl urlFromVariant(const QVariant& value)
{
  if (value.metaType() == QMetaType::fromType<QUrl>())
    return value.toUrl();
  return QUrl(value.toString());
}

}  // namespace

CBDataAccount::CBDataAccount(quint64 accountType, const QString& login) : m_accountType(accountType), m_login(login)
{
  createAccountTreeNode();
  m_saveEventThrottler = std::make_unique<CBEventThrottler>(
      this, [](const QVariantList&) {}, 1.0);
  initUnreadCountSystem();
  registerObservers();
  QPointer<CBDataAccount> guard(this);
  ZPHMainThread::async([guard] {
    if (guard)
      guard->updateTotalUnreadCount();
  });
}

CBDataAccount::~CBDataAccount()
{
  m_observers.clear();
  m_totalUnreadCountEventThrottler.reset();
  m_saveEventThrottler.reset();
  if (m_accountTreeNode)
    m_accountTreeNode->ensureChildrenAreOrphaned();
}

CBDataAccount* CBDataAccount::localAccount()
{
  ZPHCoreApplicationDelegate* delegate = appDelegate();
  CBDataController* controller = delegate ? delegate->dataController() : nullptr;
  return controller ? controller->localAccount() : nullptr;
}

bool CBDataAccount::accountIsOnMyMac(const CBDataAccount* account)
{
  return account != nullptr && account == localAccount();
}

QString CBDataAccount::sortKeyForSubscriptionSortOrder(quint64 sortOrder)
{
  switch (sortOrder) {
    case 0:
      return QStringLiteral("nameForDisplay");
    case 2:
      return QStringLiteral("dateForDisplay");
    case 3:
      return QStringLiteral("countForDisplay");
    default:
      return QLatin1String("");
  }
}

QString CBDataAccount::sortKeyForStoredSubscriptionSortOrder()
{
  const qint64 order = ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHSubscriptionsSortOrderKey);
  return sortKeyForSubscriptionSortOrder(quint64(std::max<qint64>(order, 0)));
}

void CBDataAccount::registerObservers()
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  auto observe = [&](const QString& name, void (CBDataAccount::*handler)(const ZPHNotification&),
                     ZPHNotificationCenter::Delivery delivery) {
    m_observers.push_back(center.addObserver(
        name, QVariant(), this, [this, handler](const ZPHNotification& n) { (this->*handler)(n); }, delivery));
  };
  using D = ZPHNotificationCenter::Delivery;
  observe(CBDidParseFeedInfoNotification, &CBDataAccount::parserDidParseFeedInfo, D::MainThread);
  observe(CBFaviconURLFoundNotification, &CBDataAccount::faviconURLFound, D::MainThread);
  observe(CBDataDidDeleteArticlesNotification, &CBDataAccount::articlesWereDeleted, D::MainThread);
  observe(CBDataArticleReadStatusDidChangeNotification, &CBDataAccount::articleReadStatusDidChange, D::MainThread);
  // Bulk changes may be announced from any thread; they are handled on the
  // main thread like every other change.
  observe(CBMultipleArticlesDidChangeReadStatusNotification, &CBDataAccount::multipleArticleReadStatusDidChange,
          D::MainThread);
  observe(ZPHFeedRefreshArticlesUpdatedNotification, &CBDataAccount::refreshDidUpdateFeed, D::MainThread);
  observe(ZPHRefreshSessionDidEndNotification, &CBDataAccount::refreshSessionDidEnd, D::MainThread);
  observe(CBFeedFavoriteDidChangeNotification, &CBDataAccount::feedFavoriteStatusDidChange, D::MainThread);
}

// ------------------------------------------------------------- answers

bool CBDataAccount::isSubscribedToFeedWithURL(const QUrl& url) const { return feedWithURL(url) != nullptr; }

QList<CBFeed*> CBDataAccount::allFeedsThatCanBeRefreshed() const
{
  QList<CBFeed*> result;
  for (CBFeed* feed : m_feeds) {
    if (feed->canBeRefreshed())
      result.append(feed);
  }
  return result;
}

QString CBDataAccount::nameForDisplay() const
{
  QString name = m_accountType == 0 ? QObject::tr("All Sites") : m_title;
  if (name.isEmpty())
    name = QObject::tr("Untitled");
  return name;
}

void CBDataAccount::setAccountTreeNode(const CBTreeNode::Pointer& node)
{
  if (m_accountTreeNode == node)
    return;
  if (m_accountTreeNode)
    m_accountTreeNode->invalidateRecursively();
  m_accountTreeNode = node;
}

CBFeed* CBDataAccount::feedWithURL(const QUrl& url) const
{
  ZPH_ASSERT_MAIN_THREAD();
  return m_feedsDictionary.value(url, nullptr);
}

QString CBDataAccount::nameForDisplayForFeedWithURL(const QUrl& url) const
{
  CBFeed* feed = feedWithURL(url);
  return feed ? feed->nameForDisplay() : QString();
}

QList<QUrl> CBDataAccount::feedURLs() const
{
  QList<QUrl> urls;
  for (const CBFeed* feed : m_feeds) urls.append(feed->URL());
  return urls;
}

CBTreeNode::Pointer CBDataAccount::treeNodeForFolderWithGUID(const QString& guid) const
{
  ZPH_ASSERT_MAIN_THREAD();
  const auto found = m_foldersDictionary.constFind(guid);
  if (found == m_foldersDictionary.constEnd() || !m_accountTreeNode)
    return nullptr;
  for (const CBTreeNode::Pointer& node : m_accountTreeNode->flatItems()) {
    if (node->representsFolder() && node->representedNode()->objectID() == found.value())
      return node;
  }
  return nullptr;
}

CBTreeNode::Pointer CBDataAccount::treeNodeForFolder(CBFolder* folder) const
{
  if (folder == nullptr || !m_accountTreeNode)
    return nullptr;
  const CBTreeNode::List nodes = m_accountTreeNode->treeNodesForRepresentedObject(static_cast<CBNode*>(folder));
  return nodes.isEmpty() ? nullptr : nodes.first();
}

// --------------------------------------------------------------- loading

QList<CBNode*> CBDataAccount::topLevelNodesForAccount() const
{
  QList<CBNode*> nodes;
  ZPHManagedObjectContext* context = mainContext();
  if (context == nullptr)
    return nodes;
  ZPHFetchRequest request(CBDataEntityNameNode, ZPHPredicate::equal(QStringLiteral("deleted"), 0) &&
                                                    ZPHPredicate::equal(QStringLiteral("parentguid"), QVariant()));
  request.sortDescriptors.append({QStringLiteral("childindex"), true});
  ZPHError error;
  const QList<ZPHManagedObject*> objects = context->executeFetchRequest(request, &error);
  if (!error.isNull())
    qCWarning(zphStore) << "Fetch Request Error:" << error.toString();
  for (ZPHManagedObject* object : objects) {
    if (auto* node = dynamic_cast<CBNode*>(object))
      nodes.append(node);
  }
  return nodes;
}

void CBDataAccount::reloadFeedandFolderCachesFromDisk()
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHManagedObjectContext* context = mainContext();
  m_folders = context ? CBFolder::foldersWithMOC(context) : QList<CBFolder*>();
  const QList<CBFeed*> feeds = context ? CBFeed::feedsWithMOC(context) : QList<CBFeed*>();
  m_feedsDictionary.clear();
  m_foldersDictionary.clear();
  m_feeds.clear();
  for (CBFeed* feed : feeds) {
    if (m_feedsBeingDeleted.contains(feed->objectID()))
      continue;
    const QUrl url = feed->URL();
    if (url.isEmpty()) {
      // One bad row must not keep the account from loading.
      qCWarning(zphStore) << "Feed" << feed->objectID().URIRepresentation() << "has nil URL! Skipped.";
      continue;
    }
    m_feeds.append(feed);
    m_feedsDictionary.insert(url, feed);
  }
  for (CBFolder* folder : std::as_const(m_folders)) m_foldersDictionary.insert(folder->guid(), folder->objectID());
}

void CBDataAccount::createAccountTreeNode()
{
  CBTreeNode::Pointer node = CBTreeNode::treeNodeWithParent(nullptr, static_cast<CBTreeNodeRepresentedObject*>(this));
  node->setIsSpecialGroup(true);
  node->setIsGroup(true);
  node->setAllowsDragging(false);
  node->setExpanded(true);
  node->setSortKeyForOrderingChildren(sortKeyForStoredSubscriptionSortOrder());
  setAccountTreeNode(node);
}

void CBDataAccount::addArchivedItems(const QList<CBNode*>& items, CBTreeNode* node)
{
  CBTreeNode::List collected;
  for (CBNode* item : items) {
    if (item == nullptr)
      continue;
    if (m_feedsBeingDeleted.contains(item->objectID()))
      continue;
    if (item->isFolder()) {
      auto* folder = static_cast<CBFolder*>(item);
      CBTreeNode::Pointer child = CBTreeNode::treeNodeForFolder(folder, node);
      addArchivedItems(folder->children(), child.get());
      collected.append(child);
    } else {
      auto* feed = static_cast<CBFeed*>(item);
      if (feed->URL().isEmpty() || feed->guid().isEmpty() || feed->deleted())
        continue;
      collected.append(CBTreeNode::treeNodeWithParent(node, item));
    }
  }
  node->setChildren(node->arraySortedByCurrentSortOrder(collected));
  node->sweepChildIndices(false);
}

void CBDataAccount::loadFeedsAndFoldersFromDisk()
{
  ZPH_ASSERT_MAIN_THREAD();
  const QList<CBNode*> topLevel = topLevelNodesForAccount();
  reloadFeedandFolderCachesFromDisk();
  createAccountTreeNode();
  if (!topLevel.isEmpty())
    addArchivedItems(topLevel, m_accountTreeNode.get());
  ZPHUserDefaults::standardUserDefaults().synchronize();
  m_accountTreeNode->setSortKeyForOrderingChildren(sortKeyForStoredSubscriptionSortOrder());
  m_totalUnreadCountEventThrottler->setEventTriggered(true);
}

namespace {

// The folders' rows under `node`, by folder.
void collectFolderRows(CBTreeNode* node, QHash<const CBNode*, CBTreeNode*>* rows)
{
  for (const CBTreeNode::Pointer& child : node->children()) {
    if (!child->representsFolder())
      continue;
    rows->insert(child->representedNode(), child.get());
    collectFolderRows(child.get(), rows);
  }
}

}  // namespace

CBTreeNode* CBDataAccount::treeNodeForStoredFolder(CBFolder* folder, QHash<const CBNode*, CBTreeNode*>* rows,
                                                   QSet<CBTreeNode*>* gained)
{
  if (folder == nullptr)
    return m_accountTreeNode.get();
  // Null while the folder's own row is being made: a folder that is its
  // own ancestor in a damaged store gets none.
  const auto found = rows->constFind(folder);
  if (found != rows->constEnd())
    return found.value();
  if (folder->deleted() || m_feedsBeingDeleted.contains(folder->objectID()))
    return nullptr;
  rows->insert(folder, nullptr);
  CBTreeNode* parent = treeNodeForStoredFolder(dynamic_cast<CBFolder*>(folder->parent()), rows, gained);
  rows->remove(folder);
  if (parent == nullptr)
    return nullptr;
  CBTreeNode::Pointer row = CBTreeNode::treeNodeForFolder(folder, parent);
  CBTreeNode::List children = parent->children();
  children.append(row);
  parent->setChildren(children);
  gained->insert(parent);
  rows->insert(folder, row.get());
  if (!m_foldersDictionary.contains(folder->guid())) {
    m_folders.append(folder);
    m_foldersDictionary.insert(folder->guid(), folder->objectID());
  }
  return row.get();
}

void CBDataAccount::sortGainedRows(const QSet<CBTreeNode*>& gained)
{
  for (CBTreeNode* row : gained) {
    // In stored order first, as a load fetches them: rows that keep the
    // order they are given (the account's own, in some sort orders) get it.
    std::vector<std::pair<int, CBTreeNode::Pointer>> stored;
    stored.reserve(size_t(row->children().size()));
    for (const CBTreeNode::Pointer& child : row->children())
      stored.emplace_back(child->representedNode() != nullptr ? child->representedNode()->childindex() : 0, child);
    std::stable_sort(stored.begin(), stored.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    CBTreeNode::List children;
    children.reserve(qsizetype(stored.size()));
    for (const auto& entry : stored) children.append(entry.second);
    row->setChildren(row->arraySortedByCurrentSortOrder(children));
  }
  if (!gained.isEmpty())
    m_totalUnreadCountEventThrottler->setEventTriggered(true);
}

void CBDataAccount::addStoredFolders()
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHManagedObjectContext* context = mainContext();
  if (context == nullptr || !m_accountTreeNode)
    return;
  QHash<const CBNode*, CBTreeNode*> rows;
  collectFolderRows(m_accountTreeNode.get(), &rows);
  QSet<CBTreeNode*> gained;
  for (CBFolder* folder : CBFolder::foldersWithMOC(context)) treeNodeForStoredFolder(folder, &rows, &gained);
  sortGainedRows(gained);
}

void CBDataAccount::addStoredFeeds(const QList<CBFeed*>& feeds)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (feeds.isEmpty() || !m_accountTreeNode)
    return;
  QHash<const CBNode*, CBTreeNode*> rows;
  collectFolderRows(m_accountTreeNode.get(), &rows);
  QHash<CBTreeNode*, CBTreeNode::List> added;
  QSet<CBTreeNode*> gained;
  for (CBFeed* feed : feeds) {
    if (feed == nullptr || feed->deleted() || feed->guid().isEmpty() || m_feedsBeingDeleted.contains(feed->objectID()))
      continue;
    const QUrl url = feed->URL();
    if (url.isEmpty() || m_feedsDictionary.contains(url))
      continue;
    CBTreeNode* parent = treeNodeForStoredFolder(dynamic_cast<CBFolder*>(feed->parent()), &rows, &gained);
    if (parent == nullptr)
      continue;
    m_feeds.append(feed);
    m_feedsDictionary.insert(url, feed);
    added[parent].append(CBTreeNode::treeNodeWithParent(parent, static_cast<CBNode*>(feed)));
  }
  for (auto it = added.cbegin(); it != added.cend(); ++it) {
    CBTreeNode::List children = it.key()->children();
    children.append(it.value());
    it.key()->setChildren(children);
    gained.insert(it.key());
  }
  sortGainedRows(gained);
}

void CBDataAccount::sweepChildIndicesOfAllRows()
{
  ZPH_ASSERT_MAIN_THREAD();
  const std::function<void(CBTreeNode*)> sweep = [&sweep](CBTreeNode* row) {
    row->sweepChildIndices(false);
    for (const CBTreeNode::Pointer& child : row->children()) {
      if (child->representsFolder())
        sweep(child.get());
    }
  };
  if (m_accountTreeNode)
    sweep(m_accountTreeNode.get());
}

// ---------------------------------------------------------------- adding

void CBDataAccount::preflightFeed(CBFeed* feed)
{
  ZPH_ASSERT_MAIN_THREAD();
  // A new guid, modDate now, the sync mark; the metadata database forgets
  // the URL so that the first refresh downloads in full.
  CBFeed::preflightFeed(feed, mainContext());
  m_feeds.append(feed);
  const QUrl url = feed->URL();
  if (!url.isEmpty())
    m_feedsDictionary.insert(url, feed);
  updateFaviconURLForFeed(feed);
}

CBTreeNode::Pointer CBDataAccount::addFeed(CBFeed* feed)
{
  if (feed == nullptr)
    return nullptr;
  CBTreeNode::Pointer node;
  if (feedWithURL(feed->URL()) == nullptr) {
    preflightFeed(feed);
    node = CBTreeNode::treeNodeWithParent(m_accountTreeNode.get(), static_cast<CBNode*>(feed));
    m_accountTreeNode->addChild(node);
    m_accountTreeNode->sweepChildIndices(true);
  }
  m_saveEventThrottler->addNotification(ZPHFeedsAddedNotification, accountObject(),
                                        QVariantMap{{ZPHFolderOrFeedKey, objectVariant(feed)}});
  saveMOC();
  return node;
}

void CBDataAccount::addFeedAtEndOfFolder(CBFeed* feed, CBFolder* folder) { addFeedToFolder(feed, -1, folder); }

void CBDataAccount::addFeedAtIndexOfFolder(CBFeed* feed, qsizetype index, CBFolder* folder)
{
  addFeedToFolder(feed, std::max<qsizetype>(index, 0), folder);
}

void CBDataAccount::addFeedToFolder(CBFeed* feed, qsizetype index, CBFolder* folder)
{
  if (feed == nullptr || feedWithURL(feed->URL()) != nullptr)
    return;
  preflightFeed(feed);
  CBTreeNode::Pointer parentNode;
  if (folder != nullptr) {
    feed->setParent(folder);
    parentNode = treeNodeForFolder(folder);
  } else {
    feed->setParent(nullptr);
  }
  if (!parentNode)
    parentNode = m_accountTreeNode;
  CBTreeNode::Pointer node = CBTreeNode::treeNodeWithParent(parentNode.get(), static_cast<CBNode*>(feed));
  if (index < 0)
    parentNode->addChild(node);
  else
    parentNode->insertChild(node, index);
  if (folder != nullptr) {
    folder->setExpanded(true);
    parentNode->setExpanded(true);
  }
  parentNode->sweepChildIndices(true);
  m_saveEventThrottler->addNotification(ZPHFeedsAddedNotification, accountObject(),
                                        QVariantMap{{ZPHFolderOrFeedKey, objectVariant(feed)}});
  saveMOC();
}

CBFolder* CBDataAccount::addFolderWithName(const QString& name, CBFolder* parentFolder)
{
  ZPH_ASSERT_MAIN_THREAD();
  Q_ASSERT_X(!name.isEmpty(), Q_FUNC_INFO, "!CBStringIsEmpty(folderName)");
  if (name.isEmpty())
    return nullptr;
  CBTreeNode::Pointer parentNode = parentFolder ? treeNodeForFolder(parentFolder) : m_accountTreeNode;
  if (!parentNode)
    parentNode = m_accountTreeNode;
  CBFolder* folder = CBFolder::createFolderWithName(name, mainContext());
  if (folder == nullptr)
    return nullptr;
  CBTreeNode::Pointer node = CBTreeNode::treeNodeForFolder(folder, parentNode.get());
  parentNode->addChild(node);
  parentNode->sweepChildIndices(true);
  const double now = cb_timeIntervalSince1970Now();
  folder->setParent(parentFolder);
  if (parentFolder != nullptr) {
    folder->setParentguid(parentFolder->guid());
    folder->setParentguidModDate(now);
  }
  folder->setModDate(now);
  folder->setNeedsSync(true);
  saveMOC();
  // Known by guid at once, as after a load.
  m_folders.append(folder);
  m_foldersDictionary.insert(folder->guid(), folder->objectID());
  ZPHNotificationCenter::defaultCenter().post(ZPHClientDidCreateFolderEvent, objectVariant(folder));
  return folder;
}

// -------------------------------------------------------------- deleting

QSet<CBNode*> CBDataAccount::preprocessNodesForDeletion(const QList<CBNode*>& nodes)
{
  ZPH_ASSERT_MAIN_THREAD();
  QSet<CBNode*> result;
  for (CBNode* node : nodes) {
    if (node == nullptr || result.contains(node))
      continue;
    result.insert(node);
    if (node->isFolder()) {
      const QList<CBNode*> children = static_cast<CBFolder*>(node)->children();
      // The children keep their folder in the store until the deletion
      // has removed them (before the folder): a deletion cut short leaves
      // the folder as it was, less some articles.
      for (CBNode* child : children) child->recursivelyInvalidateUnreadCountsUpTree();
      result.unite(preprocessNodesForDeletion(children));
    }
  }
  return result;
}

void CBDataAccount::deleteNodes(const QList<CBNode*>& nodes)
{
  if (nodes.isEmpty())
    return;
  const QSet<CBNode*> set = preprocessNodesForDeletion(nodes);
  if (set.isEmpty())
    return;
  bool feedOrFolder = false;
  QVariantList urls;
  QList<CBNode*> ordered;  // feeds first, then folders
  for (CBNode* node : set) {
    feedOrFolder = true;
    if (!node->isFolder()) {
      const QUrl url = static_cast<CBFeed*>(node)->URL().adjusted(QUrl::NormalizePathSegments);
      if (!url.isEmpty() && !urls.contains(QVariant(url)))
        urls.append(url);
      ordered.prepend(node);
    } else {
      ordered.append(node);
    }
  }
  if (urls.isEmpty())
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedsWillDeleteNotification, accountObject());
  else
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedsWillDeleteNotification, accountObject(),
                                                QVariantMap{{ZPHURLsKey, urls}});
  saveMOC();

  std::shared_ptr<ZPHDeletionOperation> operation = ZPHDeletionOperation::deletionOperationWithNodesToDelete(ordered);
  ZPHCoreApplicationDelegate* delegate = appDelegate();
  if (operation == nullptr || delegate == nullptr)
    return;
  QSet<ZPHManagedObjectID> feedIDs;
  for (CBNode* node : ordered) {
    if (!node->isFolder())
      feedIDs.insert(node->objectID());
  }
  // A deletion still running keeps its own feeds in the set.
  m_feedsBeingDeleted.unite(feedIDs);
  // The store queue goes on at once; the main thread hears of the end later.
  QPointer<CBDataAccount> guard(this);
  operation->setCompletionBlock([guard, feedOrFolder, feedIDs] {
    ZPHMainThread::async([guard, feedOrFolder, feedIDs] {
      if (!guard)
        return;
      if (feedOrFolder) {
        ZPHNotificationCenter::defaultCenter().post(ZPHFeedsOrFoldersDeletedNotification, guard->accountObject());
        guard->m_totalUnreadCountEventThrottler->setEventTriggered(true);
      }
      guard->m_feedsBeingDeleted.subtract(feedIDs);
    });
  });
  delegate->addCoreDataQueueOperation(std::move(operation));
  rebuildFeedsDictionaryFromAccountTreeNode();
}

void CBDataAccount::deleteFeedWithURL(const QUrl& url)
{
  ZPH_ASSERT_MAIN_THREAD();
  CBFeed* feed = m_feedsDictionary.take(url);
  if (feed != nullptr)
    m_feeds.removeAll(feed);
}

void CBDataAccount::rebuildFeedsDictionaryFromAccountTreeNode()
{
  ZPH_ASSERT_MAIN_THREAD();
  m_feedsDictionary.clear();
  QList<CBFeed*> feeds;
  if (m_accountTreeNode) {
    for (const CBTreeNode::Pointer& node : m_accountTreeNode->flatItems()) {
      if (node->isGroup() || node->isSpecialGroup() || !node->representsFeed())
        continue;
      auto* feed = static_cast<CBFeed*>(node->representedNode());
      feeds.append(feed);
      const QUrl url = feed->URL();
      if (!url.isEmpty())
        m_feedsDictionary.insert(url, feed);
    }
  }
  m_feeds = feeds;
}

// ------------------------------------------------------ feed information

void CBDataAccount::parserDidParseFeedInfo(const ZPHNotification& notification)
{
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown() || !notification.object.isValid())
    return;
  auto info = notification.object.value<std::shared_ptr<CBParsedFeedInfo>>();
  ZPHCoreApplicationDelegate* delegate = appDelegate();
  if (info == nullptr || delegate == nullptr)
    return;
  // One main-thread store block applies what every refresh parsed before it
  // runs, with one save: during a refresh, feeds are parsed faster than a
  // block a feed (a store-queue stop that waits for the main thread, and a
  // save) would get through.
  m_pendingFeedInfos.append(std::move(info));
  if (std::exchange(m_feedInfoBlockQueued, true))
    return;
  QPointer<CBDataAccount> guard(this);
  delegate->addMainThreadCoreDataQueueBlock([guard] {
    if (!guard)
      return;
    guard->m_feedInfoBlockQueued = false;
    const QList<std::shared_ptr<CBParsedFeedInfo>> infos = std::exchange(guard->m_pendingFeedInfos, {});
    bool changed = false;
    for (const std::shared_ptr<CBParsedFeedInfo>& info : infos) changed = guard->applyParsedFeedInfo(*info) || changed;
    if (changed)
      guard->saveMOC();
  });
}

void CBDataAccount::processUpdatedParsedFeedInfo(const CBParsedFeedInfo& info)
{
  if (applyParsedFeedInfo(info))
    saveMOC();
}

bool CBDataAccount::applyParsedFeedInfo(const CBParsedFeedInfo& info)
{
  ZPH_ASSERT_MAIN_THREAD();
  const QUrl url(info.feedURLString());
  if (url.isEmpty())
    return false;
  CBFeed* feed = feedWithURL(url);
  if (feed == nullptr)
    return false;
  bool changed = false;
  const QString title = info.title().trimmed();
  if (!title.isEmpty() && title != feed->feedSpecifiedName()) {
    feed->setFeedSpecifiedName(title);
    changed = true;
  }
  const QString homePage = info.homePageURLString().trimmed();
  if (!homePage.isEmpty()) {
    const QUrl homePageURL(homePage, QUrl::StrictMode);
    if (CBURLIsWebURL(homePageURL) && homePageURL != feed->homePageURL()) {
      feed->setHomePageURL(homePageURL);
      updateFaviconURLForFeed(feed);
      changed = true;
    }
  }
  if (changed)
    m_saveEventThrottler->addNotification(CBFeedDataDidChangeNotification, objectVariant(feed));
  return changed;
}

void CBDataAccount::updateFaviconURLForFeed(CBFeed* feed)
{
  if (feed == nullptr)
    return;
  const QUrl homePage = feed->homePageURL();
  if (!CBURLIsWebURL(homePage))
    return;
  ZPHFeedIngestionInterface* ingestion = ZPHFeedIngestionInterface::shared();
  if (ingestion == nullptr)
    return;
  // An icon found before this feed had its home page (for another feed of
  // the site, or while the site was being added) is announced only once:
  // the feed takes it now.
  const QUrl known = ingestion->updateBestFaviconURLForHomePageURL(homePage);
  if (!known.isEmpty() && known != feed->faviconURL())
    feed->setFaviconURL(known);
}

void CBDataAccount::faviconURLFound(const ZPHNotification& notification)
{
  Q_ASSERT_X(notification.userInfo.contains(CBFaviconControllerHomePageURLKey), Q_FUNC_INFO,
             "no home page URL in the favicon notification");
  const QUrl homePage = urlFromVariant(notification.userInfo.value(CBFaviconControllerHomePageURLKey));
  const QUrl favicon = urlFromVariant(notification.userInfo.value(CBURLKey));
  ZPHCoreApplicationDelegate* delegate = appDelegate();
  if (homePage.isEmpty() || delegate == nullptr)
    return;
  QPointer<CBDataAccount> guard(this);
  delegate->addMainThreadCoreDataQueueBlock([guard, homePage, favicon] {
    if (!guard)
      return;
    const QList<CBFeed*> feeds = guard->m_feeds;
    for (CBFeed* feed : feeds) {
      if (feed->homePageURL() != homePage && feed->URL() != homePage)
        continue;
      feed->setFaviconURL(favicon);
      guard->m_saveEventThrottler->addNotification(CBFeedDataDidChangeNotification, objectVariant(feed));
      guard->saveMOC();
    }
  });
}

void CBDataAccount::articlesWereDeleted(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  markAllUnreadCountsAsInvalid();
  m_totalUnreadCountEventThrottler->setEventTriggered(true);
}

void CBDataAccount::saveMOC()
{
  if (ZPHCoreApplicationDelegate* delegate = appDelegate()) {
    if (ZPHManagedObjectContext* context = delegate->mainThreadManagedObjectContext())
      delegate->saveManagedObjectContext(context);
  }
  m_saveEventThrottler->setEventTriggered(true);
}

// --------------------------------------------------------- unread counts

void CBDataAccount::initUnreadCountSystem()
{
  QPointer<CBDataAccount> guard(this);
  m_totalUnreadCountEventThrottler = std::make_unique<CBEventThrottler>(
      this,
      [guard](const QVariantList&) {
        if (guard)
          guard->updateTotalUnreadCount();
      },
      0.2);
  m_totalUnreadCountEventThrottler->setBumpUntilIdle(true);
}

void CBDataAccount::updateTotalUnreadCount()
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = appDelegate();
  if (delegate == nullptr || delegate->appIsShuttingDown())
    return;
  const quint64 generation = ++m_lastUnreadCountOperationGeneration;
  QPointer<CBDataAccount> guard(this);
  auto operation = std::make_shared<ZPHAccountCalculateUnreadCountsOperation>(
      this,
      [guard](const std::shared_ptr<CBOperation>& op) {
        if (guard)
          guard->accountUnreadCountUpdateOperationDidComplete(op);
      },
      m_identifier, generation);
  // A recount gives way to the store work queued behind it.
  operation->setQueuePriority(ZPHOperationQueuePriority::Low);
  delegate->addCoreDataQueueOperation(operation);
}

void CBDataAccount::setUnreadCounts(quint64 unreadCount, quint64 favoritesUnreadCount)
{
  const bool totalChanged = unreadCount != m_unreadCount;
  const bool favoritesChanged = favoritesUnreadCount != m_favoritesUnreadCount;
  m_unreadCount = unreadCount;
  m_favoritesUnreadCount = favoritesUnreadCount;
  if (totalChanged)
    Q_EMIT unreadCountChanged(unreadCount);
  if (favoritesChanged)
    Q_EMIT favoritesUnreadCountChanged(favoritesUnreadCount);
}

void CBDataAccount::accountUnreadCountUpdateOperationDidComplete(const std::shared_ptr<CBOperation>& operation)
{
  ZPH_ASSERT_MAIN_THREAD();
  auto recount = std::dynamic_pointer_cast<ZPHAccountCalculateUnreadCountsOperation>(operation);
  if (recount == nullptr)
    return;
  const QString accountID = recount->accountID();
  if (!(accountID == m_identifier || (accountID.isNull() && m_identifier.isNull())))
    return;
  setUnreadCounts(recount->unreadCount(), recount->favoritesUnreadCount());
  QPointer<CBDataAccount> guard(this);
  ZPHMainThread::async([guard] {
    if (!guard)
      return;
    guard->m_saveEventThrottler->addNotification(ZPHAccountUnreadCountsUpdatedEvent, guard->accountObject());
    guard->m_saveEventThrottler->setEventTriggered(true);
    ZPHNotificationQueue::defaultQueue().enqueueIdle(ZPHNotification{ZPHUnreadCountDidChangeNotification, {}, {}});
  });
}

void CBDataAccount::updateUnreadCountsOnMainThread() { m_totalUnreadCountEventThrottler->setEventTriggered(true); }

namespace {

// Runs `work` on the store queue in a temporary context (nothing when there is
// none); its completion asks the account for a recount.
void inStoreContextThenRecount(const QPointer<CBDataAccount>& guard,
                               std::function<void(ZPHCoreApplicationDelegate*, ZPHManagedObjectContext*)> work)
{
  ZPHCoreApplicationDelegate* delegate = appDelegate();
  if (delegate == nullptr)
    return;
  delegate->addCoreDataQueueBlock(
      [work = std::move(work)] {
        ZPHCoreApplicationDelegate* d = appDelegate();
        std::shared_ptr<ZPHManagedObjectContext> context = d ? d->temporaryManagedObjectContext() : nullptr;
        if (context != nullptr)
          work(d, context.get());
      },
      [guard] {
        if (guard)
          guard->updateUnreadCountsOnMainThread();
      });
}

// Marks the feeds with these addresses invalid (and so the folders above
// them), then saves and asks for a recount.
void invalidateFeedsWithURLs(const QPointer<CBDataAccount>& guard, const QStringList& urls)
{
  if (urls.isEmpty())
    return;
  inStoreContextThenRecount(guard, [urls](ZPHCoreApplicationDelegate* d, ZPHManagedObjectContext* context) {
    for (CBFeed* feed : CBFeed::feedsWithURLs(urls, context)) feed->setUnreadCountIsValid(false);
    d->saveManagedObjectContext(context);
  });
}

}  // namespace

void CBDataAccount::markAllUnreadCountsAsInvalid()
{
  inStoreContextThenRecount(QPointer<CBDataAccount>(this),
                            [](ZPHCoreApplicationDelegate* d, ZPHManagedObjectContext* context) {
                              for (CBNode* node : CBNode::nodesWithMOC(context)) node->setUnreadCountIsValid(false);
                              d->saveManagedObjectContext(context);
                            });
}

void CBDataAccount::articleReadStatusDidChange(const ZPHNotification& notification)
{
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return;
  auto* article = dynamic_cast<CBDataArticle*>(notification.object.value<ZPHManagedObject*>());
  if (article == nullptr || article->feedURL().isEmpty())
    return;
  invalidateFeedsWithURLs(QPointer<CBDataAccount>(this), {article->feedURL()});
}

void CBDataAccount::multipleArticleReadStatusDidChange(const ZPHNotification& notification)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return;
  if (notification.userInfo.contains(CBDataArticleFeedURLsKey)) {
    // The poster named the feeds and marked the articles for sync: nothing
    // to look up article by article. A bulk change is counted again at once
    // rather than after the usual pause.
    const QStringList urls = notification.userInfo.value(CBDataArticleFeedURLsKey).toStringList();
    ZPHCoreApplicationDelegate* delegate = appDelegate();
    if (urls.isEmpty() || delegate == nullptr)
      return;
    QPointer<CBDataAccount> guard(this);
    delegate->addCoreDataQueueBlock(
        [urls] {
          ZPHCoreApplicationDelegate* d = appDelegate();
          std::shared_ptr<ZPHManagedObjectContext> context = d ? d->temporaryManagedObjectContext() : nullptr;
          if (context == nullptr)
            return;
          for (CBFeed* feed : CBFeed::feedsWithURLs(urls, context.get())) feed->setUnreadCountIsValid(false);
          d->saveManagedObjectContext(context.get());
        },
        [guard] {
          ZPHMainThread::async([guard] {
            if (guard)
              guard->updateTotalUnreadCount();
          });
        });
    return;
  }
  const QVariantList articles = notification.userInfo.value(ZPHArticlesKey).toList();
  const bool fromSync = notification.userInfo.value(FromSyncKey).toBool();
  QList<ZPHManagedObjectID> objectIDs;
  for (const QVariant& value : articles) {
    if (value.canConvert<ZPHManagedObjectID>())
      objectIDs.append(value.value<ZPHManagedObjectID>());
  }
  const auto work = [objectIDs, fromSync](ZPHCoreApplicationDelegate* d, ZPHManagedObjectContext* context) {
    QStringList urls;
    for (ZPHManagedObject* object : context->existingObjectsWithIDs(objectIDs)) {
      auto* article = dynamic_cast<CBDataArticle*>(object);
      if (article == nullptr)
        continue;
      if (!article->feedURL().isEmpty() && !urls.contains(article->feedURL()))
        urls.append(article->feedURL());
      if (!fromSync)
        article->setNeedsSync(true);
    }
    if (!urls.isEmpty()) {
      for (CBFeed* feed : CBFeed::feedsWithURLs(urls, context)) feed->setUnreadCountIsValid(false);
    }
    d->saveManagedObjectContext(context);
  };
  inStoreContextThenRecount(QPointer<CBDataAccount>(this), work);
}

struct CBDataAccount::PendingFeedCounts {
  QMutex mutex;
  QHash<QString, std::optional<quint64>> counts;  // feed address -> the count, when the saver gave one
  bool blockQueued = false;
};

void CBDataAccount::refreshDidUpdateFeed(const ZPHNotification& notification)
{
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return;
  const QVariantMap& info = notification.userInfo;
  if (!m_identifier.isNull() && m_identifier != info.value(AccountKey).toString())
    return;
  const QUrl url = urlFromVariant(info.value(CBURLKey));
  if (url.isEmpty())
    return;
  std::optional<quint64> count;
  if (info.contains(CBFeedUnreadCountKey))
    count = info.value(CBFeedUnreadCountKey).toULongLong();
  if (appDelegate() == nullptr)
    return;
  // One store-queue block writes the counts of every feed reported before it
  // runs, in one save: during a refresh, savers report faster than a block
  // and a save per feed would get through the store queue.
  if (!m_pendingFeedCounts)
    m_pendingFeedCounts = std::make_shared<PendingFeedCounts>();
  const std::shared_ptr<PendingFeedCounts> pending = m_pendingFeedCounts;
  {
    QMutexLocker locker(&pending->mutex);
    pending->counts.insert(url.toString(), count);
    if (std::exchange(pending->blockQueued, true))
      return;
  }
  inStoreContextThenRecount(QPointer<CBDataAccount>(this),
                            [pending](ZPHCoreApplicationDelegate* d, ZPHManagedObjectContext* context) {
                              QHash<QString, std::optional<quint64>> counts;
                              {
                                QMutexLocker locker(&pending->mutex);
                                counts.swap(pending->counts);
                                pending->blockQueued = false;
                              }
                              // A reported count shows at once, but it is the saver's
                              // estimate (it counts before states are taken from other
                              // records): it stays invalid, with the folders above, until
                              // the recount this asks for, so a quit before that recount
                              // leaves no wrong count stored as valid.
                              bool changed = false;
                              for (CBFeed* feed : CBFeed::feedsWithURLs(counts.keys(), context)) {
                                const std::optional<quint64> feedCount = counts.value(feed->url());
                                if (feedCount && *feedCount == feed->unreadCount())
                                  continue;
                                if (feedCount)
                                  feed->setUnreadCount(*feedCount);
                                feed->setUnreadCountIsValid(false);
                                changed = true;
                              }
                              if (changed)
                                d->saveManagedObjectContext(context);
                            });
}

void CBDataAccount::feedFavoriteStatusDidChange(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return;
  updateUnreadCountsOnMainThread();
}

void CBDataAccount::refreshSessionDidEnd(const ZPHNotification& notification)
{
  Q_UNUSED(notification);
  updateUnreadCountsOnMainThread();
}
