#include "store/accounts/ZPHArticleListController.h"

#include "foundation/CBPrefs.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/operations/ZPHBatchDeletionOperation.h"

#include <QtCore/QPointer>

#include <algorithm>
#include <optional>

const QString ZPHArticleListController::DefaultSortKey = QStringLiteral("dateForDisplay");

ZPHArticleListControllerDelegate::~ZPHArticleListControllerDelegate() = default;

namespace {

const QString DateForDisplayKey = QStringLiteral("dateForDisplay");
const QString MetadataReadKeyPath = QStringLiteral("metadata.read");
const QString MetadataFlaggedKeyPath = QStringLiteral("metadata.flagged");

enum class SmartKind { AllUnread, Today, Flagged, Favorites, FavoritesGroup };

CBFeed* liveFeed(const ZPHRepresentedObject& item)
{
  if (const auto* node = std::get_if<CBNode*>(&item)) {
    if (ZPHManagedObject::isLive(*node) && !(*node)->isFolder())
      return static_cast<CBFeed*>(*node);
  }
  return nullptr;
}

CBFolder* liveFolder(const ZPHRepresentedObject& item)
{
  if (const auto* node = std::get_if<CBNode*>(&item)) {
    if (ZPHManagedObject::isLive(*node) && (*node)->isFolder())
      return static_cast<CBFolder*>(*node);
  }
  return nullptr;
}

// The sort value of a row, comparable.
QVariant sortValueOf(const ZPHArticleListRow& row, bool byDate)
{
  return ZPHComparableValue(byDate ? QVariant(row.dateForDisplay) : row.sortValue);
}

void sortRows(QList<ZPHArticleListRow>* rows, const QString& sortKey, bool ascending)
{
  const bool byDate = sortKey == DateForDisplayKey;
  std::stable_sort(rows->begin(), rows->end(), [&](const ZPHArticleListRow& a, const ZPHArticleListRow& b) {
    const int c = ZPHCompareValues(sortValueOf(a, byDate), sortValueOf(b, byDate));
    return ascending ? c < 0 : c > 0;
  });
}

}  // namespace

// What the main thread captured for one request.
struct ZPHArticleListController::Request {
  quint64 number = 0;
  QString sortKey;
  bool ascending = false;
  bool hideRead = false;
  bool allUnreadFavoritesOnly = false;
  bool todayFavoritesOnly = false;
  QStringList directURLs;
  QList<SmartKind> smart;
  QStringList folderURLs;
  QList<ZPHManagedObjectID> kept;

  ZPHPredicate smartPredicate(SmartKind kind, ZPHManagedObjectContext* context) const
  {
    switch (kind) {
      case SmartKind::AllUnread:
        return allUnreadFavoritesOnly ? CBDataArticle::predicateForUnreadArticlesInFavoriteFeedsWithMoc(context)
                                      : CBDataArticle::predicateForUnreadArticlesWithMoc(context);
      case SmartKind::Today: {
        std::optional<ZPHPredicate> predicate;
        if (todayFavoritesOnly)
          predicate = hideRead ? CBDataArticle::predicateForUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(context)
                               : CBDataArticle::predicateForArticlesPublishedTodayInFavoriteFeedsWithMoc(context);
        else
          predicate = hideRead ? CBDataArticle::predicateForUnreadArticlesPublishedTodayWithMoc(context)
                               : CBDataArticle::predicateForArticlesPublishedTodayWithMoc(context);
        return predicate.value_or(ZPHPredicate::falsePredicate());
      }
      case SmartKind::Flagged:
        return CBDataArticle::predicateForArticlesFlaggedWithMoc(context);
      case SmartKind::Favorites:
        return CBDataArticle::predicateForArticlesInFavoriteFeedsWithMoc(context);
      case SmartKind::FavoritesGroup:
        return hideRead ? CBDataArticle::predicateForUnreadArticlesInFavoriteFeedsWithMoc(context)
                        : CBDataArticle::predicateForArticlesInFavoriteFeedsWithMoc(context);
    }
    return ZPHPredicate::falsePredicate();
  }

  QList<ZPHArticleListRow> fetch(const ZPHPredicate& predicate, ZPHManagedObjectContext* context, int limit = 0) const
  {
    ZPHFetchRequest request(CBDataEntityNameArticle, predicate);
    request.sortDescriptors = {{sortKey, ascending}};
    request.fetchLimit = limit;
    ZPHError error;
    QList<ZPHArticleListRow> rows = ZPHArticleListController::fetchRows(context, request, &error);
    if (!error.isNull())
      qCWarning(zphStore) << "the article list could not be read:" << error.toString();
    return rows;
  }

  // Steps of the merge, on the store queue. When the first part holds more
  // than FirstRows articles (and nothing kept is added), its first rows go
  // to `firstRows` before the whole list is read: they are the list's first
  // rows whatever follows.
  QList<ZPHArticleListRow> run(ZPHManagedObjectContext* context,
                               const std::function<void(QList<ZPHArticleListRow>)>& firstRows = {}) const
  {
    std::vector<ZPHPredicate> parts;
    if (!directURLs.isEmpty()) {
      parts.push_back(hideRead ? CBDataArticle::predicateForUnreadArticlesForFeedsWithURLs(directURLs, context)
                               : CBDataArticle::predicateForArticlesForFeedsWithURLs(directURLs, context));
    }
    for (const SmartKind kind : smart) parts.push_back(smartPredicate(kind, context));
    if (!folderURLs.isEmpty())
      parts.push_back(CBDataArticle::predicateForUnreadArticlesForFeedsWithURLs(folderURLs, context));
    if (firstRows && !parts.empty() && kept.isEmpty()) {
      QList<ZPHArticleListRow> first = fetch(parts.front(), context, FirstRows + 1);
      if (first.size() > FirstRows) {
        first.resize(FirstRows);
        firstRows(std::move(first));
      }
    }

    QList<ZPHArticleListRow> rows;
    QSet<ZPHManagedObjectID> listed;
    const auto append = [&](QList<ZPHArticleListRow> part) {
      // One part needs no weeding (a fetch names each article once).
      if (parts.size() == 1 && kept.isEmpty()) {
        rows = std::move(part);
        return;
      }
      for (const ZPHArticleListRow& row : part) {
        if (!listed.contains(row.objectID)) {
          listed.insert(row.objectID);
          rows.append(row);
        }
      }
    };
    for (const ZPHPredicate& part : parts) append(fetch(part, context));

    QList<ZPHManagedObjectID> missing;
    for (const ZPHManagedObjectID& objectID : kept) {
      if (!listed.contains(objectID))
        missing.append(objectID);
    }
    if (missing.isEmpty())
      return rows;
    bool appended = false;
    const ZPHEntityDescription* article = context->persistentStore()->model()->entity(CBDataEntityNameArticle);
    for (ZPHManagedObject* object : context->existingObjectsWithIDs(missing)) {
      if (object->isDeleted() || !object->entity()->isKindOfEntity(article) || listed.contains(object->objectID()))
        continue;
      const auto* found = static_cast<const CBDataArticle*>(object);
      ZPHArticleListRow row;
      row.objectID = found->objectID();
      row.dateForDisplay = found->dateForDisplay();
      row.read = found->read();
      row.flagged = found->flagged();
      if (sortKey != DateForDisplayKey)
        row.sortValue = found->valueForKeyPath(sortKey);
      listed.insert(row.objectID);
      rows.append(std::move(row));
      appended = true;
    }
    if (appended)
      sortRows(&rows, sortKey, ascending);
    return rows;
  }
};

ZPHArticleListController::ZPHArticleListController(QObject* parent) : QObject(parent), m_sortKey(DefaultSortKey)
{
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  m_observers.push_back(center.addObserver(
      ZPHWillDeleteCoreDataObjectsInBackgroundNotification, QVariant(), this,
      [this](const ZPHNotification& notification) {
        willDeleteCoreDataObjectsInBackground(
            notification.userInfo.value(ZPHManagedObjectObjectIDsKey).value<QList<ZPHManagedObjectID>>());
      },
      D::MainThread));
  m_observers.push_back(center.addObserver(
      CBDataArticleReadStatusDidChangeNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { readStateDidChange(notification); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      CBMultipleArticlesDidChangeReadStatusNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { multipleReadStatesDidChange(notification); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      CBDataArticleFlaggedStatusDidChangeNotification, QVariant(), this,
      [this](const ZPHNotification& notification) { flaggedStateDidChange(notification); }, D::MainThread));
}

ZPHArticleListController::~ZPHArticleListController() = default;

ZPHManagedObjectContext* ZPHArticleListController::mainContext() const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
}

QList<ZPHRepresentedObject> ZPHArticleListController::addFeedsToArray(
    const QList<ZPHRepresentedObject>& feedsAndFolders)
{
  QList<ZPHRepresentedObject> items;
  for (const ZPHRepresentedObject& item : feedsAndFolders) {
    const auto* node = std::get_if<CBNode*>(&item);
    if (node == nullptr || (*node != nullptr && !(*node)->isFolder()))
      items.append(item);
  }
  return items;
}

QList<CBFeed*> ZPHArticleListController::addFeedsFromFoldersToArray(const QList<ZPHRepresentedObject>& feedsAndFolders)
{
  QList<CBFeed*> feeds;
  for (const ZPHRepresentedObject& item : feedsAndFolders) {
    if (CBFolder* folder = liveFolder(item))
      feeds.append(folder->allDescendantsThatAreFeeds());
  }
  return feeds;
}

QList<CBFeed*> ZPHArticleListController::addAllFeedsFromFeedsAndFolders(
    const QList<ZPHRepresentedObject>& feedsAndFolders)
{
  QList<CBFeed*> feeds;
  for (const ZPHRepresentedObject& item : feedsAndFolders) {
    if (CBFeed* feed = liveFeed(item))
      feeds.append(feed);
    else if (CBFolder* folder = liveFolder(item))
      feeds.append(folder->allDescendantsThatAreFeeds());
  }
  return feeds;
}

QList<ZPHArticleListRow> ZPHArticleListController::fetchRows(ZPHManagedObjectContext* context,
                                                             const ZPHFetchRequest& request, ZPHError* error)
{
  QStringList keyPaths{DateForDisplayKey, MetadataReadKeyPath, MetadataFlaggedKeyPath};
  const QString sortKey =
      request.sortDescriptors.isEmpty() ? DateForDisplayKey : request.sortDescriptors.first().keyPath;
  const bool byDate = sortKey == DateForDisplayKey;
  if (!byDate)
    keyPaths.append(sortKey);
  const ZPHObjectIDsWithValues found = context->executeFetchRequestForObjectIDsWithValues(request, keyPaths, error);
  QList<ZPHArticleListRow> rows;
  rows.reserve(found.objectIDs.size());
  for (qsizetype i = 0; i < found.objectIDs.size(); ++i) {
    ZPHArticleListRow row;
    row.objectID = found.objectIDs.at(i);
    row.dateForDisplay = found.value(i, 0).toDateTime();
    row.read = found.value(i, 1).toBool();
    row.flagged = found.value(i, 2).toBool();
    if (!byDate)
      row.sortValue = found.value(i, 3);
    rows.append(std::move(row));
  }
  return rows;
}

QList<ZPHManagedObjectID> ZPHArticleListController::objectIDsOfRows(const QList<ZPHArticleListRow>& rows)
{
  QList<ZPHManagedObjectID> objectIDs;
  objectIDs.reserve(rows.size());
  for (const ZPHArticleListRow& row : rows) objectIDs.append(row.objectID);
  return objectIDs;
}

void ZPHArticleListController::updateArticles(const QList<ZPHManagedObjectID>& articlesToKeep)
{
  ZPH_ASSERT_MAIN_THREAD();
  auto request = std::make_shared<Request>();
  request->number = ++m_lastRequest;
  request->sortKey = m_sortKey;
  request->ascending = m_sortAscending;
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  request->hideRead = defaults.boolForKey(ZPHHideReadArticles);
  request->allUnreadFavoritesOnly = defaults.integerForKey(ZPHAllUnreadFeedsSelection) == 0;
  request->todayFavoritesOnly = defaults.integerForKey(ZPHTodayFeedSelection) == 0;
  request->kept = articlesToKeep;

  // Steps 1 to 3 as the main thread sees the selection: direct feeds, the
  // smart feeds and the Favorites group, then the feeds inside folders that
  // were not handled already.
  QSet<const CBFeed*> handled;
  for (const ZPHRepresentedObject& item : std::as_const(m_feedsAndFolders)) {
    if (CBFeed* feed = liveFeed(item)) {
      const QString url = feed->url();
      if (!url.isEmpty() && !handled.contains(feed)) {
        handled.insert(feed);
        request->directURLs.append(url);
      }
    }
  }
  for (const ZPHRepresentedObject& item : std::as_const(m_feedsAndFolders)) {
    const auto* object = std::get_if<CBTreeNodeRepresentedObject*>(&item);
    if (object == nullptr || *object == nullptr)
      continue;
    if (const auto* smartFeed = dynamic_cast<const CBGlobalFeed*>(*object)) {
      switch (smartFeed->globalFeedType()) {
        case CBGlobalFeedTypeAllUnread:
          request->smart.append(SmartKind::AllUnread);
          break;
        case CBGlobalFeedTypeToday:
          request->smart.append(SmartKind::Today);
          break;
        case CBGlobalFeedTypeFavorites:
          request->smart.append(SmartKind::Favorites);
          break;
        default:
          request->smart.append(SmartKind::Flagged);
          break;
      }
    } else if (dynamic_cast<const ZPHGlobalFavoritesGroup*>(*object) != nullptr) {
      request->smart.append(SmartKind::FavoritesGroup);
    }
  }
  for (CBFeed* feed : addFeedsFromFoldersToArray(m_feedsAndFolders)) {
    if (!ZPHManagedObject::isLive(feed) || handled.contains(feed))
      continue;
    handled.insert(feed);
    if (!feed->url().isEmpty())
      request->folderURLs.append(feed->url());
  }

  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr || (request->directURLs.isEmpty() && request->smart.isEmpty() &&
                              request->folderURLs.isEmpty() && request->kept.isEmpty())) {
    // Nothing to look for: the answer is the empty list, on a later turn as
    // any other.
    m_pendingRequest = request->number;
    QMetaObject::invokeMethod(
        this, [this, number = request->number] { requestDidFinish(number, {}); }, Qt::QueuedConnection);
    return;
  }
  m_pendingRequest = request->number;
  QPointer<ZPHArticleListController> self(this);
  delegate->addCoreDataQueueBlock(
      [self, request] {
        ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
        std::shared_ptr<ZPHManagedObjectContext> context =
            delegate ? delegate->temporaryManagedObjectContext() : nullptr;
        QList<ZPHArticleListRow> rows;
        const auto firstRows = [self, number = request->number](QList<ZPHArticleListRow> first) {
          if (ZPHArticleListController* target = self.data()) {
            QMetaObject::invokeMethod(
                target,
                [self, number, first = std::move(first)]() mutable {
                  if (self)
                    self->requestDidDeliverFirstRows(number, std::move(first));
                },
                Qt::QueuedConnection);
          }
        };
        if (context != nullptr)
          rows = request->run(context.get(), firstRows);
        context.reset();
        // The controller may be gone by now; the answer is then dropped.
        ZPHArticleListController* target = self.data();
        if (target == nullptr)
          return;
        QMetaObject::invokeMethod(
            target,
            [self, number = request->number, rows = std::move(rows)]() mutable {
              if (self)
                self->requestDidFinish(number, std::move(rows));
            },
            Qt::QueuedConnection);
      },
      {});
}

void ZPHArticleListController::requestDidFinish(quint64 request, QList<ZPHArticleListRow> rows)
{
  if (request != m_pendingRequest)
    return;  // superseded
  m_pendingRequest = 0;
  if (!m_doomed.isEmpty()) {
    if (request <= m_doomedUntilRequest) {
      rows.removeIf([this](const ZPHArticleListRow& row) { return m_doomed.contains(row.objectID); });
    } else {
      m_doomed.clear();
    }
  }
  replaceRows(std::move(rows));
  if (m_delegate)
    m_delegate->articleListControllerDidUpdateArticles(this);
}

void ZPHArticleListController::requestDidDeliverFirstRows(quint64 request, QList<ZPHArticleListRow> rows)
{
  if (request != m_pendingRequest || !m_doomed.isEmpty())
    return;  // superseded, or rows may be on their way out: the whole list tells
  replaceRows(std::move(rows));
  if (m_delegate)
    m_delegate->articleListControllerDidReceiveFirstArticles(this);
}

void ZPHArticleListController::setArticles(const QList<ZPHArticleListRow>& rows)
{
  m_pendingRequest = 0;
  replaceRows(rows);
}

void ZPHArticleListController::replaceRows(QList<ZPHArticleListRow> rows)
{
  // Articles already loaded stay loaded.
  QHash<ZPHManagedObjectID, CBDataArticle*> loaded;
  for (size_t i = 0; i < m_loaded.size(); ++i) {
    if (m_loaded[i] != nullptr)
      loaded.insert(m_rows.at(qsizetype(i)).objectID, m_loaded[i]);
  }
  m_rows = std::move(rows);
  m_loaded.assign(size_t(m_rows.size()), nullptr);
  if (!loaded.isEmpty()) {
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
      CBDataArticle* article = loaded.value(m_rows.at(i).objectID);
      if (ZPHManagedObject::isLive(article))
        m_loaded[size_t(i)] = article;
    }
  }
  rebuildIndex();
}

void ZPHArticleListController::rebuildIndex()
{
  m_indexByID.clear();
  m_indexByID.reserve(m_rows.size());
  for (qsizetype i = 0; i < m_rows.size(); ++i) m_indexByID.insert(m_rows.at(i).objectID, i);
}

qsizetype ZPHArticleListController::indexOfFirstUnreadArticle() const
{
  for (qsizetype i = 0; i < m_rows.size(); ++i) {
    const CBDataArticle* article = m_loaded[size_t(i)];
    if (ZPHManagedObject::isLive(article) ? !article->read() : !m_rows.at(i).read)
      return i;
  }
  return -1;
}

CBDataArticle* ZPHArticleListController::firstUnreadArticle()
{
  const qsizetype index = indexOfFirstUnreadArticle();
  return index < 0 ? nullptr : articleAtIndex(index);
}

void ZPHArticleListController::loadArticles(qsizetype from, qsizetype to)
{
  from = qMax<qsizetype>(0, from);
  to = qMin(to, m_rows.size());
  QList<ZPHManagedObjectID> wanted;
  for (qsizetype i = from; i < to; ++i) {
    if (m_loaded[size_t(i)] == nullptr)
      wanted.append(m_rows.at(i).objectID);
  }
  ZPHManagedObjectContext* context = mainContext();
  if (wanted.isEmpty() || context == nullptr)
    return;
  QHash<ZPHManagedObjectID, CBDataArticle*> found;
  QList<ZPHManagedObjectID> metadata;
  for (ZPHManagedObject* object : context->existingObjectsWithIDs(wanted)) {
    if (object->isDeleted())
      continue;
    auto* article = static_cast<CBDataArticle*>(object);
    found.insert(article->objectID(), article);
    const ZPHManagedObjectID metadataID = article->metadataObjectID();
    if (!metadataID.isNull())
      metadata.append(metadataID);
  }
  // The read and bookmark records in one more statement.
  if (!metadata.isEmpty())
    context->existingObjectsWithIDs(metadata);
  for (qsizetype i = from; i < to; ++i) {
    if (m_loaded[size_t(i)] != nullptr)
      continue;
    CBDataArticle* article = found.value(m_rows.at(i).objectID);
    if (article == nullptr)
      continue;
    m_loaded[size_t(i)] = article;
    ZPHArticleListRow& row = m_rows[i];
    row.read = article->read();
    row.flagged = article->flagged();
  }
}

CBDataArticle* ZPHArticleListController::articleAtIndex(qsizetype index)
{
  if (index < 0 || index >= m_rows.size())
    return nullptr;
  if (m_loaded[size_t(index)] == nullptr)
    loadArticles(index, index + 1);
  CBDataArticle* article = m_loaded[size_t(index)];
  return ZPHManagedObject::isLive(article) ? article : nullptr;
}

CBDataArticle* ZPHArticleListController::loadedArticleAtIndex(qsizetype index) const
{
  if (index < 0 || index >= m_rows.size())
    return nullptr;
  CBDataArticle* article = m_loaded[size_t(index)];
  return ZPHManagedObject::isLive(article) ? article : nullptr;
}

void ZPHArticleListController::willDeleteCoreDataObjectsInBackground(const QList<ZPHManagedObjectID>& objectIDs)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (objectIDs.isEmpty())
    return;
  // Answers of requests made until now may have been read before the
  // deletion: they leave these out.
  if (m_pendingRequest != 0) {
    for (const ZPHManagedObjectID& objectID : objectIDs) m_doomed.insert(objectID);
    m_doomedUntilRequest = m_lastRequest;
  }
  QSet<ZPHManagedObjectID> doomed;
  for (const ZPHManagedObjectID& objectID : objectIDs) {
    if (m_indexByID.contains(objectID))
      doomed.insert(objectID);
  }
  if (doomed.isEmpty())
    return;
  QList<ZPHArticleListRow> rows;
  std::vector<CBDataArticle*> loaded;
  rows.reserve(m_rows.size() - doomed.size());
  loaded.reserve(size_t(m_rows.size() - doomed.size()));
  QList<ZPHManagedObjectID> removed;
  for (qsizetype i = 0; i < m_rows.size(); ++i) {
    if (doomed.contains(m_rows.at(i).objectID)) {
      removed.append(m_rows.at(i).objectID);
      continue;
    }
    rows.append(m_rows.at(i));
    loaded.push_back(m_loaded[size_t(i)]);
  }
  m_rows = std::move(rows);
  m_loaded = std::move(loaded);
  rebuildIndex();
  if (m_delegate)
    m_delegate->articleListControllerDidRemoveArticles(this, removed);
}

void ZPHArticleListController::readStateDidChange(const ZPHNotification& notification)
{
  const ZPHManagedObject* object = notification.object.value<ZPHManagedObject*>();
  if (object == nullptr)
    return;
  const qsizetype index = indexOfArticle(object->objectID());
  if (index < 0)
    return;
  const bool read = ZPHManagedObject::isLive(object) && static_cast<const CBDataArticle*>(object)->read();
  if (m_rows.at(index).read != read) {
    m_rows[index].read = read;
    tellStatesChanged({index});
  } else if (m_loaded[size_t(index)] != nullptr) {
    tellStatesChanged({index});  // the loaded article changed already
  }
}

void ZPHArticleListController::multipleReadStatesDidChange(const ZPHNotification& notification)
{
  QList<qsizetype> indexes;
  for (const QVariant& value : notification.userInfo.value(ZPHArticlesKey).toList()) {
    const qsizetype index = indexOfArticle(value.value<ZPHManagedObjectID>());
    if (index >= 0)
      indexes.append(index);
  }
  if (indexes.isEmpty())
    return;
  const QVariant state = notification.userInfo.value(CBDataArticleReadKey);
  if (state.isValid()) {
    const bool read = state.toBool();
    for (const qsizetype index : std::as_const(indexes)) m_rows[index].read = read;
    tellStatesChanged(indexes);
    return;
  }
  tellStatesChanged(refreshStatesFromArticles(indexes));
}

void ZPHArticleListController::flaggedStateDidChange(const ZPHNotification& notification)
{
  const qsizetype index = indexOfArticle(notification.object.value<ZPHManagedObjectID>());
  if (index < 0)
    return;
  const QVariant state = notification.userInfo.value(CBDataArticleFlaggedKey);
  if (state.isValid()) {
    m_rows[index].flagged = state.toBool();
    tellStatesChanged({index});
    return;
  }
  tellStatesChanged(refreshStatesFromArticles({index}));
}

QList<qsizetype> ZPHArticleListController::refreshStatesFromArticles(const QList<qsizetype>& indexes)
{
  ZPHManagedObjectContext* context = mainContext();
  if (context == nullptr)
    return {};
  QList<ZPHManagedObjectID> wanted;
  for (const qsizetype index : indexes) {
    if (m_loaded[size_t(index)] == nullptr)
      wanted.append(m_rows.at(index).objectID);
  }
  QHash<ZPHManagedObjectID, CBDataArticle*> found;
  if (!wanted.isEmpty()) {
    QList<ZPHManagedObjectID> metadata;
    for (ZPHManagedObject* object : context->existingObjectsWithIDs(wanted)) {
      auto* article = static_cast<CBDataArticle*>(object);
      found.insert(article->objectID(), article);
      if (!article->metadataObjectID().isNull())
        metadata.append(article->metadataObjectID());
    }
    if (!metadata.isEmpty())
      context->existingObjectsWithIDs(metadata);
  }
  QList<qsizetype> changed;
  for (const qsizetype index : indexes) {
    CBDataArticle* article = m_loaded[size_t(index)];
    if (article == nullptr) {
      article = found.value(m_rows.at(index).objectID);
      m_loaded[size_t(index)] = article;
    }
    if (!ZPHManagedObject::isLive(article))
      continue;
    ZPHArticleListRow& row = m_rows[index];
    row.read = article->read();
    row.flagged = article->flagged();
    changed.append(index);
  }
  return changed;
}

void ZPHArticleListController::tellStatesChanged(QList<qsizetype> indexes)
{
  if (indexes.isEmpty() || m_delegate == nullptr)
    return;
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  m_delegate->articleListControllerDidChangeStates(this, indexes);
}
