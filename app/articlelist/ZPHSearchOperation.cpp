#include "articlelist/ZPHSearchOperation.h"

#include "foundation/CBDateManager.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "store/accounts/CBGlobalFeed.h"
#include "store/accounts/ZPHGlobalFavoritesGroup.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"

namespace {

const QString DateForDisplayKey = QStringLiteral("dateForDisplay");

QVariantList variantList(const QStringList& strings)
{
  QVariantList list;
  list.reserve(strings.size());
  for (const QString& string : strings) list.append(string);
  return list;
}

}  // namespace

ZPHSearchOperation::ZPHSearchOperation() = default;
ZPHSearchOperation::~ZPHSearchOperation() = default;

int ZPHSearchOperation::scopeForType(int type)
{
  switch (type) {
    case 1:
    case 5:
      return ScopeAuthor;
    case 2:
    case 4:
      return ScopeTitle;
    default:
      return ScopeAll;
  }
}

bool ZPHSearchOperation::isTypeConstrainedToSelectedFeeds(int type) { return type >= 3 && type <= 5; }

int ZPHSearchOperation::type() const
{
  QMutexLocker locker(&m_mutex);
  return m_type;
}

void ZPHSearchOperation::setType(int type)
{
  QMutexLocker locker(&m_mutex);
  m_type = type;
}

QString ZPHSearchOperation::queryString() const
{
  QMutexLocker locker(&m_mutex);
  return m_queryString;
}

void ZPHSearchOperation::setQueryString(const QString& query)
{
  QMutexLocker locker(&m_mutex);
  m_queryString = query;
}

void ZPHSearchOperation::setSelectedFeeds(const QList<ZPHRepresentedObject>& feeds, const CBDateManager* dateManager)
{
  m_selectedFeeds = feeds;
  setSelectedSites(selectedSitesForFeeds(feeds, dateManager));
}

ZPHSearchOperation::SelectedSites ZPHSearchOperation::selectedSites() const
{
  QMutexLocker locker(&m_mutex);
  return m_selectedSites;
}

void ZPHSearchOperation::setSelectedSites(const SelectedSites& sites)
{
  QMutexLocker locker(&m_mutex);
  m_selectedSites = sites;
}

ZPHSearchOperation::SelectedSites ZPHSearchOperation::selectedSitesForFeeds(const QList<ZPHRepresentedObject>& feeds,
                                                                            const CBDateManager* dateManager)
{
  SelectedSites sites;
  if (dateManager == nullptr)
    dateManager = CBDateManager::sharedManager();
  for (const ZPHRepresentedObject& item : feeds) {
    if (const auto* node = std::get_if<CBNode*>(&item)) {
      if (!ZPHManagedObject::isLive(*node))
        continue;
      if ((*node)->isFolder()) {
        QStringList urls;
        for (const CBFeed* feed : static_cast<const CBFolder*>(*node)->allDescendantsThatAreFeeds()) {
          if (ZPHManagedObject::isLive(feed) && !feed->url().isEmpty())
            urls.append(feed->url());
        }
        if (!urls.isEmpty())
          sites.folderFeedURLs.append(urls);
      } else {
        const auto* feed = static_cast<const CBFeed*>(*node);
        if (!feed->url().isEmpty())
          sites.feedURLs.append(feed->url());
      }
      continue;
    }
    const auto* object = std::get_if<CBTreeNodeRepresentedObject*>(&item);
    if (object == nullptr || *object == nullptr)
      continue;
    if (const auto* smartFeed = dynamic_cast<const CBGlobalFeed*>(*object)) {
      switch (smartFeed->globalFeedType()) {
        case CBGlobalFeedTypeAllUnread:
          sites.unread = true;
          break;
        case CBGlobalFeedTypeToday:
          sites.today = true;
          sites.todayStart = dateManager->firstSecondOfToday();
          sites.tomorrowStart = dateManager->firstSecondOfTomorrow();
          break;
        case CBGlobalFeedTypeFlagged:
          sites.flagged = true;
          break;
        case CBGlobalFeedTypeFavorites:
          qCWarning(zphStore) << Q_FUNC_INFO
                              << "CBGlobalFeedTypeFavorites not yet supported. Looking for ZPHGlobalFavoritesGroup?";
          break;
        default:
          break;
      }
    } else if (dynamic_cast<const ZPHGlobalFavoritesGroup*>(*object) != nullptr) {
      sites.favorites = true;
    }
  }
  return sites;
}

ZPHPredicate ZPHSearchOperation::predicateForQuery(const QString& query, int scope)
{
  // The stored search text was folded from the HTML; the query is folded
  // the same way, so "Café" finds "café" there.
  const ZPHPredicate content = ZPHPredicate::contains(QStringLiteral("content.normalizedText"),
                                                      CBDataArticleContent::normalizedTextFromPlainText(query));
  const ZPHPredicate author = ZPHPredicate::contains(
      QStringLiteral("authorName"), query, ZPHPredicate::CaseInsensitive | ZPHPredicate::DiacriticInsensitive);
  // The title as people read it, not the markup the feed wrote.
  const ZPHPredicate title =
      ZPHPredicate::contains(QStringLiteral("plainTextTitle"), query, ZPHPredicate::CaseInsensitive);
  switch (scope) {
    case ScopeAuthor:
      return author;
    case ScopeTitle:
      return title;
    default:
      return content || author || title;
  }
}

ZPHPredicate ZPHSearchOperation::predicateForSelectedSites(const SelectedSites& sites, ZPHManagedObjectContext* context)
{
  QList<ZPHPredicate> parts;
  if (sites.unread)
    parts.append(ZPHPredicate::equal(QStringLiteral("metadata.read"), false));
  if (sites.today) {
    parts.append(ZPHPredicate::compare(DateForDisplayKey, ZPHPredicate::Operator::GreaterOrEqual, sites.todayStart) &&
                 ZPHPredicate::compare(DateForDisplayKey, ZPHPredicate::Operator::Less, sites.tomorrowStart));
  }
  if (sites.flagged)
    parts.append(ZPHPredicate::equal(QStringLiteral("metadata.flagged"), true));
  for (const QStringList& folder : sites.folderFeedURLs)
    parts.append(ZPHPredicate::in(CBDataArticleFeedURLKey, variantList(folder)));
  if (sites.favorites && context != nullptr) {
    QVariantList urls;
    for (const CBFeed* feed : CBFeed::favoriteFeedsWithMOC(context)) urls.append(feed->url());
    parts.append(ZPHPredicate::in(CBDataArticleFeedURLKey, urls));
  }
  if (!sites.feedURLs.isEmpty())
    parts.append(ZPHPredicate::in(CBDataArticleFeedURLKey, variantList(sites.feedURLs)));
  return ZPHPredicate::orPredicate(parts);  // no part: false
}

bool ZPHSearchOperation::hasResults() const
{
  QMutexLocker locker(&m_mutex);
  return m_hasResults;
}

QList<ZPHManagedObjectID> ZPHSearchOperation::searchResultsDataArticleObjectIDs() const
{
  QMutexLocker locker(&m_mutex);
  return ZPHArticleListController::objectIDsOfRows(m_results);
}

QList<ZPHArticleListRow> ZPHSearchOperation::searchResultRows() const
{
  QMutexLocker locker(&m_mutex);
  return m_results;
}

void ZPHSearchOperation::main()
{
  if (isCancelled())
    return;
  const QString query = queryString();
  const int type = this->type();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  std::shared_ptr<ZPHManagedObjectContext> context = delegate ? delegate->temporaryManagedObjectContext() : nullptr;
  if (context != nullptr && !query.isEmpty()) {
    QList<ZPHPredicate> conditions{ZPHPredicate::equal(QStringLiteral("markedForDeletion"), 0),
                                   predicateForQuery(query, scopeForType(type))};
    if (isTypeConstrainedToSelectedFeeds(type))
      conditions.append(predicateForSelectedSites(selectedSites(), context.get()));
    ZPHFetchRequest request(CBDataEntityNameArticle, ZPHPredicate::andPredicate(conditions));
    request.sortDescriptors = {{DateForDisplayKey, false}};
    ZPHError error;
    QList<ZPHArticleListRow> rows = ZPHArticleListController::fetchRows(context.get(), request, &error);
    if (!error.isNull())
      qCWarning(zphStore) << "the search failed:" << error.toString();
    QMutexLocker locker(&m_mutex);
    m_results = std::move(rows);
    m_hasResults = true;
  }
  context.reset();
  CBOperation::main();
}
