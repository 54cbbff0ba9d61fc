#include "store/accounts/CBGlobalFeed.h"

#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QFile>

namespace {

qint64 setting(const QString& key) { return ZPHUserDefaults::standardUserDefaults().integerForKey(key); }

bool allUnreadShowsFavoritesOnly() { return setting(ZPHAllUnreadFeedsSelection) == 0; }
bool todayShowsFavoritesOnly() { return setting(ZPHTodayFeedSelection) == 0; }

}  // namespace

CBGlobalFeed::CBGlobalFeed(qint32 globalFeedType, QObject* parent) : QObject(parent), m_globalFeedType(globalFeedType)
{
}

CBGlobalFeed::~CBGlobalFeed() = default;

QImage CBGlobalFeed::imageNamed(const QString& name)
{
  const QString path = QStringLiteral(":/images/%1.png").arg(name);
  return QFile::exists(path) ? QImage(path) : QImage();
}

QString CBGlobalFeed::nameForDisplay() const
{
  return m_nameForDisplay.isEmpty() ? QObject::tr("Untitled") : m_nameForDisplay;
}

void CBGlobalFeed::setUnreadCount(quint64 unreadCount)
{
  if (unreadCount == m_unreadCount)
    return;
  m_unreadCount = unreadCount;
  Q_EMIT unreadCountChanged(unreadCount);
}

// ----------------------------------------------------------------- fetches

QList<CBDataArticle*> CBGlobalFeed::fetchArticlesWithSortDescriptor(const Sort& sort,
                                                                    ZPHManagedObjectContext* context) const
{
  switch (m_globalFeedType) {
    case CBGlobalFeedTypeAllUnread:
      return fetchAllUnreadArticlesWithSortDescriptor(sort, context);
    case CBGlobalFeedTypeToday:
      return fetchTodayArticlesWithSortDescriptor(sort, context);
    case CBGlobalFeedTypeFavorites:
      return fetchFavoritesArticlesWithSortDescriptor(sort, context);
    default:
      return fetchFlaggedArticlesWithSortDescriptor(sort, context);
  }
}

QList<CBDataArticle*> CBGlobalFeed::fetchUnreadArticlesWithSortDescriptor(const Sort& sort,
                                                                          ZPHManagedObjectContext* context) const
{
  switch (m_globalFeedType) {
    case CBGlobalFeedTypeAllUnread:
      return fetchAllUnreadArticlesWithSortDescriptor(sort, context);
    case CBGlobalFeedTypeToday:
      return fetchUnreadTodayArticlesWithSortDescriptor(sort, context);
    case CBGlobalFeedTypeFavorites:
      return fetchUnreadFavoritesArticlesWithSortDescriptor(sort, context);
    default:
      // Bookmarks list read and unread bookmarks alike.
      return fetchFlaggedArticlesWithSortDescriptor(sort, context);
  }
}

QList<CBDataArticle*> CBGlobalFeed::fetchAllUnreadArticlesWithSortDescriptor(const Sort& sort,
                                                                             ZPHManagedObjectContext* context)
{
  if (allUnreadShowsFavoritesOnly())
    return CBDataArticle::unreadArticlesForFavoriteFeedsWithSortDescriptor(sort, context);
  return CBDataArticle::unreadArticlesWithSortDescriptor(sort, context);
}

QList<CBDataArticle*> CBGlobalFeed::fetchTodayArticlesWithSortDescriptor(const Sort& sort,
                                                                         ZPHManagedObjectContext* context)
{
  const bool hideRead = ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHHideReadArticles);
  if (todayShowsFavoritesOnly()) {
    return hideRead ? CBDataArticle::unreadArticlesPublishedTodayInFavoriteFeedsWithSortDescriptor(sort, context)
                    : CBDataArticle::articlesPublishedTodayInFavoriteFeedsWithSortDescriptor(sort, context);
  }
  return hideRead ? CBDataArticle::unreadArticlesPublishedTodayWithSortDescriptor(sort, context)
                  : CBDataArticle::articlesPublishedTodayWithSortDescriptor(sort, context);
}

QList<CBDataArticle*> CBGlobalFeed::fetchUnreadTodayArticlesWithSortDescriptor(const Sort& sort,
                                                                               ZPHManagedObjectContext* context)
{
  if (todayShowsFavoritesOnly())
    return CBDataArticle::unreadArticlesPublishedTodayInFavoriteFeedsWithSortDescriptor(sort, context);
  return CBDataArticle::unreadArticlesPublishedTodayWithSortDescriptor(sort, context);
}

QList<CBDataArticle*> CBGlobalFeed::fetchFlaggedArticlesWithSortDescriptor(const Sort& sort,
                                                                           ZPHManagedObjectContext* context)
{
  return CBDataArticle::articlesFlaggedWithSortDescriptor(sort, context);
}

QList<CBDataArticle*> CBGlobalFeed::fetchFavoritesArticlesWithSortDescriptor(const Sort& sort,
                                                                             ZPHManagedObjectContext* context)
{
  return CBDataArticle::articlesInFavoriteFeedsWithSortDescriptor(sort, context);
}

QList<CBDataArticle*> CBGlobalFeed::fetchUnreadFavoritesArticlesWithSortDescriptor(const Sort& sort,
                                                                                   ZPHManagedObjectContext* context)
{
  return CBDataArticle::unreadArticlesForFavoriteFeedsWithSortDescriptor(sort, context);
}

// -------------------------------------------------------------- predicates

ZPHPredicate CBGlobalFeed::predicateForAllUnreadArticlesWithSortDescriptor(const Sort& sort,
                                                                           ZPHManagedObjectContext* context)
{
  Q_UNUSED(sort);
  if (allUnreadShowsFavoritesOnly())
    return CBDataArticle::predicateForUnreadArticlesInFavoriteFeedsWithMoc(context);
  return CBDataArticle::predicateForUnreadArticlesWithMoc(context);
}

ZPHPredicate CBGlobalFeed::predicateForTodaysArticlesWithSortDescriptor(const Sort& sort,
                                                                        ZPHManagedObjectContext* context)
{
  Q_UNUSED(sort);
  if (todayShowsFavoritesOnly())
    return CBDataArticle::predicateForArticlesPublishedTodayInFavoriteFeedsWithMoc(context);
  return CBDataArticle::predicateForArticlesPublishedTodayWithMoc(context);
}

ZPHPredicate CBGlobalFeed::predicateForFlaggedArticlesWithSortDescriptor(const Sort& sort,
                                                                         ZPHManagedObjectContext* context)
{
  Q_UNUSED(sort);
  return CBDataArticle::predicateForArticlesFlaggedWithMoc(context);
}

QList<ZPHManagedObjectID> CBGlobalFeed::managedObjectIDsOfUnreadArticlesWithManagedObjectContext(
    ZPHManagedObjectContext* context) const
{
  // The articles fetchUnreadArticlesWithSortDescriptor() lists, by identifier
  // only: no article is loaded (All Unread may hold tens of thousands).
  if (context == nullptr)
    return {};
  std::optional<ZPHPredicate> predicate;
  switch (m_globalFeedType) {
    case CBGlobalFeedTypeAllUnread:
      predicate = predicateForAllUnreadArticlesWithSortDescriptor(std::nullopt, context);
      break;
    case CBGlobalFeedTypeToday:
      predicate = todayShowsFavoritesOnly()
                      ? CBDataArticle::predicateForUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(context)
                      : CBDataArticle::predicateForUnreadArticlesPublishedTodayWithMoc(context);
      break;
    case CBGlobalFeedTypeFavorites:
      predicate = CBDataArticle::predicateForUnreadArticlesInFavoriteFeedsWithMoc(context);
      break;
    default:
      // Bookmarks list read and unread bookmarks alike.
      predicate = CBDataArticle::predicateForArticlesFlaggedWithMoc(context);
      break;
  }
  if (!predicate)
    return {};
  return context->executeFetchRequestForObjectIDs(ZPHFetchRequest(CBDataEntityNameArticle, *predicate));
}
