#include "store/entities/CBFeed.h"

#include "foundation/CBDates.h"
#include "foundation/CBKeychain.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBCoreDataUtilities.h"
#include "store/CBDataController.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHMarkFeedAsFavoriteOperation.h"

#include <QtCore/QCoreApplication>

#include <algorithm>

const QString CBFeedLastFeedRefreshErrorKey = QStringLiteral("lastFeedRefreshError");
const QString CBFeedFavoriteDidChangeNotification = QStringLiteral("CBFeedFavoriteDidChangeNotification");
const QString CBFeedUnreadCountKey = QStringLiteral("unreadCount");

namespace {

const QString DeletedKey = QStringLiteral("deleted");
const QString UrlKey = QStringLiteral("url");
const QString GuidKey = QStringLiteral("guid");
// The order-change event of the source list.
const QString DateEventOrderChangeNotification = QStringLiteral("CBDateEventOrderChangeNotification");

QUrl urlFromString(const QString& text) { return text.isEmpty() ? QUrl() : QUrl(text); }

QString stringFromURL(const QUrl& url) { return url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded); }

QList<CBFeed*> fetchFeeds(ZPHManagedObjectContext* context, const ZPHPredicate& predicate)
{
  QList<CBFeed*> feeds;
  for (ZPHManagedObject* object : CBFetchManagedObjectArrayWithPredicate(predicate, CBDataEntityNameFeed, context))
    feeds.append(static_cast<CBFeed*>(object));
  return feeds;
}

CBFeed* firstFeed(ZPHManagedObjectContext* context, const ZPHPredicate& predicate)
{
  return static_cast<CBFeed*>(CBFetchManagedObjectWithPredicate(predicate, CBDataEntityNameFeed, context));
}

}  // namespace

CBFeed* CBFeed::insertFeedWithMOC(ZPHManagedObjectContext* context)
{
  return context == nullptr ? nullptr : static_cast<CBFeed*>(CBInsertObject(CBDataEntityNameFeed, context));
}

CBFeed* CBFeed::insertFeedWithURL(const QUrl& url, ZPHManagedObjectContext* context)
{
  CBFeed* feed = insertFeedWithMOC(context);
  if (feed != nullptr)
    feed->setURL(url);
  return feed;
}

CBFeed* CBFeed::insertFeedWithURL(const QUrl& url)
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return insertFeedWithURL(url, delegate ? delegate->mainThreadManagedObjectContext() : nullptr);
}

void CBFeed::preflightFeed(CBFeed* feed, ZPHManagedObjectContext* context)
{
  Q_UNUSED(context);
  if (feed == nullptr)
    return;
  feed->CBNode::setNeedsSync(true);
  feed->setModDate(cb_timeIntervalSince1970Now());
  feed->setGuid(cb_uuidString());
  const QUrl url = feed->URL();
  if (!url.isEmpty()) {
    if (ZPHFeedIngestionInterface* ingestion = ZPHFeedIngestionInterface::shared())
      ingestion->deleteStoredInfoForFeedURL(url);
  }
}

void CBFeed::addFeed(CBFeed* feed, CBDataAccount* account, CBFolder* folder, ZPHManagedObjectContext* context)
{
  Q_UNUSED(account);
  if (feed == nullptr)
    return;
  preflightFeed(feed, context);
  if (folder != nullptr) {
    const double now = cb_timeIntervalSince1970Now();
    feed->setParent(folder);
    feed->setParentguid(folder->guid());
    feed->setParentguidModDate(now);
    feed->setModDate(now);
    feed->CBNode::setNeedsSync(true);
    folder->setExpanded(true);
  } else {
    feed->setParent(nullptr);
  }
}

QList<CBFeed*> CBFeed::feedsWithMOC(ZPHManagedObjectContext* context)
{
  return fetchFeeds(context, ZPHPredicate::equal(DeletedKey, 0));
}

QList<CBFeed*> CBFeed::favoriteFeedsWithMOC(ZPHManagedObjectContext* context)
{
  QList<CBFeed*> feeds =
      fetchFeeds(context, ZPHPredicate::equal(DeletedKey, 0) && ZPHPredicate::equal(QStringLiteral("favorite"), 1));
  // nameForDisplay is computed, so the sort happens here.
  std::stable_sort(feeds.begin(), feeds.end(),
                   [](const CBFeed* a, const CBFeed* b) { return a->nameForDisplay() < b->nameForDisplay(); });
  return feeds;
}

QList<CBFeed*> CBFeed::feedsWithURL(const QString& url, ZPHManagedObjectContext* context)
{
  return fetchFeeds(context, ZPHPredicate::equal(UrlKey, url));
}

QList<CBFeed*> CBFeed::feedsWithURLs(const QStringList& urls, ZPHManagedObjectContext* context)
{
  QVariantList values;
  for (const QString& url : urls) values.append(url);
  return fetchFeeds(context, ZPHPredicate::in(UrlKey, values));
}

CBFeed* CBFeed::feedWithURL(const QString& url, ZPHManagedObjectContext* context)
{
  return firstFeed(context, ZPHPredicate::equal(UrlKey, url));
}

CBFeed* CBFeed::feedWithURL(const QString& url, const QString& guid, ZPHManagedObjectContext* context)
{
  return firstFeed(context, ZPHPredicate::equal(UrlKey, url) && ZPHPredicate::equal(GuidKey, guid));
}

CBFeed* CBFeed::feedWithURL(const QString& url)
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return feedWithURL(url, delegate ? delegate->mainThreadManagedObjectContext() : nullptr);
}

QList<CBFeed*> CBFeed::feedsForGUIDs(const QStringList& guids, ZPHManagedObjectContext* context)
{
  if (guids.isEmpty() || context == nullptr)
    return {};
  QVariantList values;
  for (const QString& guid : guids) values.append(guid);
  ZPHError error;
  QList<CBFeed*> feeds;
  const QList<ZPHManagedObject*> objects =
      context->executeFetchRequest(ZPHFetchRequest(CBDataEntityNameFeed, ZPHPredicate::in(GuidKey, values)), &error);
  if (!error.isNull())
    qCWarning(zphStore) << error.toString();
  for (ZPHManagedObject* object : objects) feeds.append(static_cast<CBFeed*>(object));
  return feeds;
}

void CBFeed::deleteFeed(CBFeed* feed, bool deleteArticles, ZPHManagedObjectContext* context)
{
  if (feed == nullptr || context == nullptr)
    return;
  if (deleteArticles) {
    const QList<CBDataArticle*> articles = CBDataArticle::articlesForFeedWithURL(feed->URL(), context);
    if (!articles.isEmpty())
      CBDataArticle::deleteArticles(articles, true, context);
  }
  feed->setDeleted(true);
  feed->CBNode::setNeedsSync(true);
  feed->setModDate(cb_timeIntervalSince1970Now());
  context->deleteObject(feed);
}

QHash<QString, qint64> CBFeed::feedUnreadCountsWithMOC(ZPHManagedObjectContext* context)
{
  QHash<QString, qint64> counts;
  if (context == nullptr)
    return counts;
  ZPHError error;
  const auto groups = context->countsGroupedByKeyPath(
      ZPHFetchRequest(CBDataEntityNameArticle, CBDataArticle::predicateForUnreadArticlesWithMoc(context)),
      CBDataArticleFeedURLKey, &error);
  if (!error.isNull()) {
    qCWarning(zphStore) << "Failed to fetch unread counts with error :" << error.toString();
    return counts;
  }
  for (const auto& group : groups) counts.insert(group.first.toString(), group.second);
  return counts;
}

QList<ZPHManagedObjectID> CBFeed::managedObjectIDsOfUnreadArticlesForFeeds(const QList<CBFeed*>& feeds,
                                                                           ZPHManagedObjectContext* context)
{
  QStringList urls;
  for (const CBFeed* feed : feeds) {
    if (feed != nullptr && !feed->url().isEmpty())
      urls.append(feed->url());
  }
  if (urls.isEmpty() || context == nullptr)
    return {};
  return context->executeFetchRequestForObjectIDs(ZPHFetchRequest(
      CBDataEntityNameArticle, CBDataArticle::predicateForUnreadArticlesForFeedsWithURLs(urls, context)));
}

QString CBFeed::nameForDisplay() const
{
  if (!userSpecifiedName().isEmpty())
    return userSpecifiedName();
  if (!feedSpecifiedName().isEmpty())
    return feedSpecifiedName();
  return QCoreApplication::translate("CBFeed", "Untitled");
}

QString CBFeed::name() const
{
  if (!userSpecifiedName().isEmpty())
    return userSpecifiedName();
  if (!feedSpecifiedName().isEmpty())
    return feedSpecifiedName();
  return QCoreApplication::translate("CBFeed", "Untitled Site");
}

void CBFeed::setNameForDisplay(const QString& name)
{
  const double now = cb_timeIntervalSince1970Now();
  setUserSpecifiedName(name);
  setUserSpecifiedNameModDate(now);
  setModDate(now);
  CBNode::setNeedsSync(true);
}

bool CBFeed::canBeRefreshed() const
{
  if (suspended() || deleted())
    return false;
  return !excludeFromDisplay();
}

void CBFeed::updateUnreadCount()
{
  const quint64 count = quint64(CBDataArticle::unreadCountForArticlesWithFeedURL(URL(), managedObjectContext()));
  // The folders above sum it: theirs no longer hold.
  if (count != unreadCount()) {
    if (AbstractManagedFolder* folder = parent())
      folder->recursivelyInvalidateUnreadCountsUpTree();
  }
  setUnreadCount(count);
  setUnreadCountIsValid(true);
}

QString CBFeed::password() const
{
  const QString stored = AbstractManagedFeed::password();
  if (!stored.isEmpty())
    return stored;
  if (!username().isEmpty())
    return CBKeychainFetchInternetPassword(URL(), username());
  return QString();
}

bool CBFeed::savePasswordInKeychain() const { return CBKeychainStoreInternetPassword(URL(), username(), password()); }

void CBFeed::publishDateUpdate(const ZPHNotification& notification)
{
  const QVariant value = notification.userInfo.value(ZPHFeedRefreshLatestPublishDateKey);
  if (!value.canConvert<QDateTime>())
    return;
  const QDateTime date = value.toDateTime();
  if (!date.isValid())
    return;
  qCInfo(zphStore) << nameForDisplay() << ": update received";
  const double previous = pubDate();
  const double seconds = double(date.toMSecsSinceEpoch()) / 1000.0;
  setPubDate(seconds);
  if (seconds != previous && ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHSubscriptionsSortOrderKey) == 2)
    ZPHNotificationCenter::defaultCenter().post(DateEventOrderChangeNotification);
}

void CBFeed::markAsNeedsToBeSaved()
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate != nullptr)
    CBSaveManagedObjectContext(delegate->mainThreadManagedObjectContext());
}

QUrl CBFeed::URL() const { return urlFromString(url()); }

void CBFeed::setURL(const QUrl& url) { setUrl(stringFromURL(url)); }

// A login that an earlier version stored in these addresses is never handed out.
QUrl CBFeed::homePageURL() const { return urlFromString(strHomePageURL()).adjusted(QUrl::RemoveUserInfo); }

void CBFeed::setHomePageURL(const QUrl& url) { setStrHomePageURL(stringFromURL(url)); }

QUrl CBFeed::faviconURL() const { return urlFromString(strFaviconURL()).adjusted(QUrl::RemoveUserInfo); }

void CBFeed::setFaviconURL(const QUrl& url) { setStrFaviconURL(stringFromURL(url)); }

QDateTime CBFeed::dateForDisplay() const { return QDateTime::fromMSecsSinceEpoch(qint64(pubDate() * 1000.0), Qt::UTC); }

void CBFeed::setLastFeedRefreshError(const ZPHError& error)
{
  m_lastFeedRefreshError = error;
  notifyChange(CBFeedLastFeedRefreshErrorKey);
}

QString CBFeed::description() const
{
  return QStringLiteral("<CBFeed: 0x%1>  url:%2")
      .arg(quintptr(this), 0, 16)
      .arg(isFault() ? QStringLiteral("<FAULT>") : url());
}

void CBFeed::markFeeds(const QList<CBFeed*>& feeds, bool favorite)
{
  std::shared_ptr<ZPHMarkFeedAsFavoriteOperation> operation =
      ZPHMarkFeedAsFavoriteOperation::favoriteOperationWithFeedsToFavorite(QList<CBNode*>(feeds.begin(), feeds.end()),
                                                                           favorite);
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (operation == nullptr || delegate == nullptr)
    return;
  // The feed class has no object of its own here: its entity name stands
  // for it.
  operation->setCompletionBlock([] {
    ZPHMainThread::async(
        [] { ZPHNotificationCenter::defaultCenter().post(CBFeedFavoriteDidChangeNotification, CBDataEntityNameFeed); });
  });
  delegate->addCoreDataQueueOperation(std::move(operation));
}

void CBFeed::markAsFavorite(bool favorite) { markFeeds({this}, favorite); }
