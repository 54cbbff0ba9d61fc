#include "sync/ZPHSyncFeedsAndFolderOperation.h"

#include "foundation/CBString.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/entities/CBNode.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "sync/CBDataAccountSync.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCredentials.h"
#include "sync/ZPHSyncDeletedNodeLog.h"
#include "sync/ZPHSyncUtils.h"

#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QMutexLocker>
#include <QtCore/QSet>

#include <algorithm>
#include <memory>

namespace {

const QString DataKey = QStringLiteral("data");
const QString FoldersKey = QStringLiteral("folders");
const QString FeedsKey = QStringLiteral("feeds");
const QString LastModDateKey = QStringLiteral("lastModDate");
const QString GuidKey = QStringLiteral("guid");
const QString URLKey = QStringLiteral("url");
const QString ModDateKey = QStringLiteral("modDate");
const QString IsDeletedKey = QStringLiteral("isDeleted");
const QString HomePageURLKey = QStringLiteral("homepageurl");
const QString FaviconURLKey = QStringLiteral("favIconUrl");

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

// Whether `candidate` is `node` or lies inside it.
bool isSelfOrDescendant(const CBNode* candidate, const CBNode* node)
{
  QSet<const CBNode*> seen;
  for (const CBNode* walk = candidate; walk != nullptr && !seen.contains(walk); walk = walk->parent()) {
    if (walk == node)
      return true;
    seen.insert(walk);
  }
  return false;
}

// What one merge did, handed from the store queue to the main thread.
struct MergeResult {
  QStringList createdFolderGUIDs;
  QList<std::pair<ZPHManagedObjectID, QUrl>> createdFeeds;
  bool changed = false;
  bool saved = false;
};

// One merge of a reply's "data" object in a temporary context.
class FeedsAndFoldersMerge {
public:
  explicit FeedsAndFoldersMerge(ZPHManagedObjectContext* context) : m_context(context)
  {
    m_lastModDate = defaults().doubleForKey(ZPHSyncLastFeedsAndFolderModTimeStamp);
    // What the user deleted and the server has not heard of yet stays
    // deleted: the server's older copy does not bring it back.
    for (const QJsonObject& node : ZPHSyncDeletedNodeLog::sharedLog().pendingNodes()) {
      m_locallyDeletedGUIDs.insert(node.value(GuidKey).toString());
      if (const QString url = node.value(URLKey).toString(); !url.isEmpty())
        m_locallyDeletedURLs.insert(url);
    }
  }

  MergeResult run(const QJsonObject& data)
  {
    for (const QJsonValue& value : ZPHSyncUtils::processArray(data.value(FoldersKey)))
      handleFolder(ZPHSyncUtils::processObject(value));
    for (const QJsonValue& value : ZPHSyncUtils::processArray(data.value(FeedsKey)))
      handleFeed(ZPHSyncUtils::processObject(value));
    return setParentsAndSave();
  }

private:
  void noteModDate(const QJsonObject& node)
  {
    const double modDate = ZPHSyncUtils::processTimeStamp(node.value(ModDateKey));
    if (modDate > m_lastModDate) {
      m_lastModDate = modDate;
      m_lastModDateChanged = true;
    }
  }

  void rememberParent(CBNode* node) { m_parentBefore.insert(node, {node->parentguid(), node->parentguidModDate()}); }

  void handleFolder(const QJsonObject& dictionary)
  {
    if (dictionary.isEmpty())
      return;
    const bool isDeleted = ZPHSyncUtils::processBool(dictionary.value(IsDeletedKey));
    const QString guid = ZPHSyncUtils::processIdentifier(dictionary.value(GuidKey));
    noteModDate(dictionary);
    if (guid.isEmpty())
      return;
    CBFolder* folder = CBFolder::folderWithGUID(guid, m_context);
    if (isDeleted) {
      if (folder != nullptr)
        m_deletedNodes.append(folder);
      return;
    }
    if (m_locallyDeletedGUIDs.contains(guid))
      return;
    const bool isNew = folder == nullptr;
    if (isNew) {
      folder = CBFolder::insertFolderWithMOC(m_context);
      folder->setGuid(guid);
      m_createdFolders.append(folder);
    } else {
      rememberParent(folder);
    }
    bool updated = false;
    bool dirty = false;
    ZPHSyncUtils::setNodeProperties(folder, dictionary, isNew, &updated, &dirty);
    if (!isNew && updated)
      m_updatedNodes.append(folder);
    folder->setNeedsSync(dirty);
    m_processedNodes.insert(guid, folder);
  }

  void handleFeed(const QJsonObject& dictionary)
  {
    if (dictionary.isEmpty())
      return;
    const QString guid = ZPHSyncUtils::processIdentifier(dictionary.value(GuidKey));
    // A login written into the server's address is no part of the feed's
    // address here (the store never keeps one); a new feed takes it as its
    // own, with the password in the keychain.
    const QString sentURL = ZPHSyncUtils::processIdentifier(dictionary.value(URLKey));
    const QString url = cb_URLStringWithUsernameAndPasswordRemoved(sentURL);
    noteModDate(dictionary);
    if (guid.isEmpty() || url.isEmpty())
      return;
    const bool isDeleted = ZPHSyncUtils::processBool(dictionary.value(IsDeletedKey));
    CBFeed* feed = CBFeed::feedWithURL(url, m_context);
    if (isDeleted) {
      if (feed != nullptr)
        m_deletedNodes.append(feed);
      return;
    }
    if (m_locallyDeletedGUIDs.contains(guid) || m_locallyDeletedURLs.contains(url))
      return;
    if (feed != nullptr) {
      rememberParent(feed);
      bool updated = false;
      bool dirty = false;
      ZPHSyncUtils::setNodeProperties(feed, dictionary, false, &updated, &dirty);
      m_processedNodes.insert(guid, feed);
      if (updated)
        m_updatedNodes.append(feed);
      feed->CBNode::setNeedsSync(dirty);
      return;
    }
    // Only web addresses become feeds; the refresh fetches nothing else.
    if (ZPHSyncUtils::processWebAddress(dictionary.value(URLKey)).isEmpty()) {
      qCWarning(zphSync).noquote() << "skipping a server feed whose address is not http or https";
      return;
    }
    feed = CBFeed::insertFeedWithMOC(m_context);
    feed->setGuid(guid);
    feed->setUrl(url);
    if (const QUrl withLogin(sentURL); !withLogin.userName().isEmpty()) {
      feed->setUsername(withLogin.userName(QUrl::FullyDecoded));
      feed->setPassword(withLogin.password(QUrl::FullyDecoded));
      if (!withLogin.password().isEmpty())
        feed->savePasswordInKeychain();
    }
    feed->setStrHomePageURL(ZPHSyncUtils::processWebAddress(dictionary.value(HomePageURLKey)));
    feed->setStrFaviconURL(ZPHSyncUtils::processWebAddress(dictionary.value(FaviconURLKey)));
    ZPHSyncUtils::setNodeProperties(feed, dictionary, true, nullptr, nullptr);
    m_createdFeeds.append(feed);
  }

  // Puts the node under the folder its parentguid names. A parent that is
  // not a folder, or that is the node itself or lies inside it, is refused:
  // the node keeps its place and its former parentguid.
  void setParent(CBNode* node)
  {
    const QString parentGUID = node->parentguid();
    AbstractManagedFolder* current = node->parent();
    if (parentGUID.isEmpty()) {
      if (current != nullptr)
        node->setParent(nullptr);
      return;
    }
    CBNode* candidate = m_processedNodes.value(parentGUID);
    if (candidate == nullptr)
      candidate = CBFolder::folderWithGUID(parentGUID, m_context);
    if (candidate == nullptr)
      return;
    if (!candidate->isFolder() || isSelfOrDescendant(candidate, node)) {
      qCWarning(zphSync).noquote() << "refusing the server's parent" << parentGUID << "for node" << node->guid()
                                   << "(not a folder, or the node itself or inside it)";
      const auto before = m_parentBefore.value(node, {QString(), 0.0});
      node->setParentguid(before.first);
      node->setParentguidModDate(before.second);
      return;
    }
    if (candidate != current)
      node->setParent(static_cast<AbstractManagedFolder*>(candidate));
  }

  void deleteNode(CBNode* node)
  {
    if (node->isDeleted())
      return;
    QList<CBFeed*> feeds;
    if (node->isFolder())
      feeds = static_cast<CBFolder*>(node)->allDescendantsThatAreFeeds();
    else
      feeds.append(static_cast<CBFeed*>(node));
    for (CBFeed* feed : feeds) {
      const QList<CBDataArticle*> articles = CBDataArticle::articlesForFeedWithURL(feed->URL(), m_context);
      if (!articles.isEmpty())
        CBDataArticle::deleteArticles(articles, true, m_context);
    }
    m_context->deleteObject(node);
  }

  MergeResult setParentsAndSave()
  {
    MergeResult result;
    for (CBFolder* folder : std::as_const(m_createdFolders)) {
      setParent(folder);
      result.createdFolderGUIDs.append(folder->guid());
    }
    for (CBFeed* feed : std::as_const(m_createdFeeds)) setParent(feed);
    // Parents first: a node the server moved out of a folder it deletes in
    // the same reply is no longer that folder's, and stays. A folder's
    // deletion then takes the children it has after the merge.
    const QSet<CBNode*> deleted(m_deletedNodes.cbegin(), m_deletedNodes.cend());
    for (CBNode* node : std::as_const(m_updatedNodes)) {
      if (!node->isDeleted() && !deleted.contains(node))
        setParent(node);
    }
    for (CBNode* node : std::as_const(m_deletedNodes)) deleteNode(node);
    result.changed = !m_createdFolders.isEmpty() || !m_createdFeeds.isEmpty() || !m_deletedNodes.isEmpty() ||
                     !m_updatedNodes.isEmpty();
    result.saved = ZPHSyncServerNetworkOperation::saveContext(m_context);
    if (!result.saved)
      return result;
    for (CBFeed* feed : std::as_const(m_createdFeeds)) {
      if (!feed->isDeleted())
        result.createdFeeds.append({feed->objectID(), feed->URL()});
    }
    if (m_lastModDateChanged)
      defaults().setDouble(ZPHSyncLastFeedsAndFolderModTimeStamp, m_lastModDate);
    return result;
  }

  ZPHManagedObjectContext* m_context;
  double m_lastModDate = 0.0;
  bool m_lastModDateChanged = false;
  QSet<QString> m_locallyDeletedGUIDs;
  QSet<QString> m_locallyDeletedURLs;
  QHash<QString, CBNode*> m_processedNodes;
  QList<CBFolder*> m_createdFolders;
  QList<CBFeed*> m_createdFeeds;
  QList<CBNode*> m_updatedNodes;
  QList<CBNode*> m_deletedNodes;
  QHash<CBNode*, std::pair<QString, double>> m_parentBefore;
};

}  // namespace

bool ZPHSyncFeedsAndFolderOperation::makePostBody(QByteArray* body, ZPHError* error)
{
  Q_UNUSED(error);
  const QJsonObject object{{LastModDateKey, defaults().doubleForKey(ZPHSyncLastFeedsAndFolderModTimeStamp)}};
  *body = QJsonDocument(object).toJson(QJsonDocument::Compact);
  return true;
}

void ZPHSyncFeedsAndFolderOperation::success()
{
  const std::optional<QJsonObject> reply = usableReply();
  if (!reply)
    return;
  m_responseDictionary = *reply;
  const QJsonValue dataValue = reply->value(DataKey);
  const QJsonObject data = ZPHSyncUtils::processObject(dataValue);

  if (!defaults().boolForKey(ZPHSyncDataHasBeenSynced)) {
    const bool serverEmpty = ZPHSyncUtils::processArray(data.value(FoldersKey)).isEmpty() &&
                             ZPHSyncUtils::processArray(data.value(FeedsKey)).isEmpty();
    int liveCount = 0;
    if (!dropDeletedNodes(&liveCount))
      return;
    const QVariant lastUser = defaults().objectForKey(ZPHLastValidUserNameKey);
    const bool sameUser = !lastUser.isValid() || lastUser.toString() == ZPHSyncCredentials::username();
    if (!((sameUser && serverEmpty) || liveCount == 0)) {
      switch (askMergeOrPurge()) {
        case FirstSyncChoice::Merge:
          break;
        case FirstSyncChoice::Purge:
          qCInfo(zphSync) << "Purge directive received. Wreaking havoc";
          if (!purge())
            return;
          break;
        case FirstSyncChoice::Declined:
          failWithSyncError(ZPHSyncErrorNoAnswer, QStringLiteral("Neither merging nor purging was chosen."));
          return;
        case FirstSyncChoice::Cancelled:
          return;
      }
    }
  }

  if (dataValue.isObject() && !doMerge(data))
    return;
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncDataImportedNotification,
                                              dataValue.isObject() ? QVariant(data.toVariantMap()) : QVariant());
  setSucceeded();
}

bool ZPHSyncFeedsAndFolderOperation::dropDeletedNodes(int* liveCount)
{
  bool saved = false;
  const bool ran = performOnStoreQueue([&](ZPHManagedObjectContext* context) {
    const QList<CBNode*> nodes = CBNode::nodesWithMOC(context);
    for (CBNode* node : nodes) {
      if (!node->isDeleted() && node->deleted())
        context->deleteObject(node);
    }
    *liveCount =
        int(std::count_if(nodes.cbegin(), nodes.cend(), [](const CBNode* node) { return !node->isDeleted(); }));
    saved = saveContext(context);
  });
  if (!ran || !saved) {
    if (!isCancelled())
      failWithSyncError(ZPHSyncErrorStore, QStringLiteral("The store could not be read or written."));
    return false;
  }
  return true;
}

ZPHSyncFeedsAndFolderOperation::FirstSyncChoice ZPHSyncFeedsAndFolderOperation::askMergeOrPurge()
{
  // Shared with the observer, which may still be delivering on the main
  // thread when this call has stopped waiting.
  auto response = std::make_shared<QString>();
  const std::weak_ptr<ZPHOperation> weakSelf = weak_from_this();
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHSyncMergeOrPurgeDataResponse, QVariant(), [response, weakSelf](const ZPHNotification& notification) {
        const auto self = std::static_pointer_cast<ZPHSyncFeedsAndFolderOperation>(weakSelf.lock());
        if (!self)
          return;
        {
          QMutexLocker locker(self->answerMutex());
          if (!response->isNull())
            return;
          // Only "merge" merges and only "purge" purges; any other answer
          // ("cancel": the question was closed) ends the cycle.
          *response = notification.userInfo.value(ZPHSyncMergeOrPurgeResponseKey).toString();
          if (response->isNull())
            *response = QStringLiteral("");
        }
        self->wakeAnswerWaiters();
      });
  ZPHNotificationCenter::defaultCenter().postOnMainThread(ZPHSyncMergeOrPurgeDataRequest);
  const WaitResult result = waitForAnswer([&response] { return !response->isNull(); });
  observer.reset();
  if (result == WaitResult::Cancelled)
    return FirstSyncChoice::Cancelled;
  QMutexLocker locker(answerMutex());
  if (*response == ZPHSyncMergeResponse)
    return FirstSyncChoice::Merge;
  if (*response == ZPHSyncPurgeResponse)
    return FirstSyncChoice::Purge;
  return FirstSyncChoice::Declined;
}

bool ZPHSyncFeedsAndFolderOperation::purge()
{
  bool saved = false;
  const bool ran = performOnStoreQueue([&](ZPHManagedObjectContext* context) {
    for (CBNode* node : CBNode::nodesWithMOC(context)) {
      if (!node->isDeleted())
        context->deleteObject(node);
    }
    saved = saveContext(context);
    if (!saved)
      return;
    const QList<ZPHManagedObjectID> articles =
        context->executeFetchRequestForObjectIDs(ZPHFetchRequest(CBDataEntityNameArticle));
    ZPHError error;
    if (!articles.isEmpty() && !context->batchDeleteObjectsWithIDs(articles, &error)) {
      qCWarning(zphSync).noquote() << "could not delete the articles:" << error.toString();
      saved = false;
    }
  });
  if (!ran || !saved) {
    if (!isCancelled())
      failWithSyncError(ZPHSyncErrorStore, QStringLiteral("The local feeds and folders could not be deleted."));
    return false;
  }
  // What was deleted here before is gone for the server too now.
  ZPHSyncDeletedNodeLog::sharedLog().clear();
  ZPHMainThread::async([] {
    if (CBDataAccount* account = CBDataAccount::localAccount())
      account->loadFeedsAndFoldersFromDisk();
    ZPHNotificationCenter::defaultCenter().post(ZPHRemoteFeedOrFolderMetadataNotification);
  });
  return true;
}

bool ZPHSyncFeedsAndFolderOperation::doMerge(const QJsonObject& data)
{
  MergeResult result;
  const bool ran =
      performOnStoreQueue([&](ZPHManagedObjectContext* context) { result = FeedsAndFoldersMerge(context).run(data); });
  if (!ran || !result.saved) {
    if (!isCancelled())
      failWithSyncError(ZPHSyncErrorStore, QStringLiteral("The server's feeds and folders could not be stored."));
    return false;
  }
  ZPHMainThread::async([result] {
    CBDataAccount* account = CBDataAccount::localAccount();
    if (result.changed && account != nullptr)
      account->loadFeedsAndFoldersFromDisk();
    ZPHNotificationCenter::defaultCenter().post(ZPHRemoteFeedOrFolderReorderingNotification);
    for (const QString& guid : result.createdFolderGUIDs) CBDataAccountSync::addFolderFromSyncManager(guid);
    for (const auto& [feedID, url] : result.createdFeeds) CBDataAccountSync::addFeedFromSyncManager(feedID, url);
  });
  return true;
}
