#include "store/entities/CBDataArticle.h"

#include "foundation/CBDateManager.h"
#include "foundation/CBEntityConversion.h"
#include "foundation/CBEntityDecoding.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/AbstractManagedFolder.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHMarkAsFlaggedOperation.h"
#include "store/operations/ZPHMarkAsReadOperation.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QRegularExpression>

const QString CBDataArticleReadKey = QStringLiteral("read");
const QString CBDataArticleFlaggedKey = QStringLiteral("flagged");
const QString CBDataArticleMetadataKey = QStringLiteral("metadata");
const QString CBDataArticleFeedURLKey = QStringLiteral("feedURL");
const QString CBDataArticleReadStatusDidChangeNotification =
    QStringLiteral("CBDataArticleReadStatusDidChangeNotification");
const QString CBDataArticleFlaggedStatusDidChangeNotification =
    QStringLiteral("CBDataArticleFlaggedStatusDidChangeNotification");
const QString CBMultipleArticlesDidChangeReadStatusNotification =
    QStringLiteral("CBMultipleArticlesDidChangeReadStatusNotification");
const QString CBDataArticleFeedURLsKey = QStringLiteral("feedURLs");
const QString ZPHArticlesKey = QStringLiteral("articles");
const QString ZPHSyncableArticleEventNotification = QStringLiteral("ZPHSyncableArticleEventNotification");
const QString ZPHManagedObjectObjectIDKey = QStringLiteral("objectID");

const QString CBDataArticle::ShortMessageStatusPagePrefix = QStringLiteral("https://twitter.com/");
const QString CBDataArticle::ShortMessageShortLinkPrefix = QStringLiteral("https://t.co/");

namespace {

const QString ContentKey = QStringLiteral("content");
const QString EnclosuresKey = QStringLiteral("enclosures");
const QString MarkedForDeletionKey = QStringLiteral("markedForDeletion");
const QString MetadataReadKey = QStringLiteral("metadata.read");
const QString MetadataFlaggedKey = QStringLiteral("metadata.flagged");
const QString DateForDisplayKey = QStringLiteral("dateForDisplay");
const QString PlainTextTitleKey = QStringLiteral("plainTextTitle");
const QString PlainTextTitleForDisplayKey = QStringLiteral("plainTextTitleForDisplay");
const QString EnclosureURLKey = QStringLiteral("URL");
const QString EnclosureMediaTypeKey = QStringLiteral("mediaType");
// The inert base address of an article that gives no usable one.
const QString LastResortBaseURL = QStringLiteral("about:blank");

ZPHPredicate notMarkedForDeletion() { return ZPHPredicate::equal(MarkedForDeletionKey, 0); }

ZPHPredicate unreadMetadata() { return ZPHPredicate::equal(MetadataReadKey, 0); }

QVariantList toVariantList(const QStringList& strings)
{
  QVariantList values;
  values.reserve(strings.size());
  for (const QString& string : strings) values.append(string);
  return values;
}

ZPHPredicate publishedToday()
{
  CBDateManager* manager = CBDateManager::sharedManager();
  return ZPHPredicate::compare(DateForDisplayKey, ZPHPredicate::Operator::GreaterOrEqual,
                               manager->firstSecondOfToday()) &&
         ZPHPredicate::compare(DateForDisplayKey, ZPHPredicate::Operator::Less, manager->firstSecondOfTomorrow());
}

QString absoluteString(const QUrl& url) { return url.isEmpty() ? QString() : url.toString(QUrl::FullyEncoded); }

// A URL from a string without its fragment (and without the "#").
QUrl urlWithoutFragment(QString string)
{
  const qsizetype hash = string.indexOf(u'#');
  if (hash >= 0)
    string.truncate(hash);
  return QUrl(string);
}

// An absolute web address usable as a base: not a path, an http(s) scheme.
QUrl usableBaseURL(const QString& string)
{
  if (string.isEmpty() || string.startsWith(u'/'))
    return QUrl();
  const QUrl url = urlWithoutFragment(string);
  if (!url.isValid() || !url.scheme().toLower().startsWith(QLatin1String("http")))
    return QUrl();
  return url;
}

QDateTime now() { return QDateTime::currentDateTimeUtc(); }

// Cuts `html` at `from` up to the first white space or markup character.
qsizetype endOfLink(const QString& html, qsizetype from)
{
  for (qsizetype i = from; i < html.size(); ++i) {
    const QChar c = html.at(i);
    if (c.isSpace() || c == u'"' || c == u'\'' || c == u'<' || c == u'>')
      return i;
  }
  return html.size();
}

// Escaped for an HTML text or attribute value; references already in the
// text are decoded first so they are not escaped twice.
QString escapedForHTML(const QString& text)
{
  // The decoder keeps "&", "<" and ">" as references; they are escaped again
  // below with everything else.
  QString decoded = cb_stringWithDecodedEntities(text, true, false);
  decoded.replace(QLatin1String("&lt;"), QLatin1String("<"));
  decoded.replace(QLatin1String("&gt;"), QLatin1String(">"));
  decoded.replace(QLatin1String("&amp;"), QLatin1String("&"));
  return cb_stringByReplacingReservedXMLCharactersWithReferences(decoded);
}

}  // namespace

// ---------------------------------------------------------------------------
// Relationships and state

CBDataArticleContent* CBDataArticle::content() const
{
  return static_cast<CBDataArticleContent*>(relatedObject(entity()->indexOfProperty(ContentKey)));
}

void CBDataArticle::setContent(CBDataArticleContent* content)
{
  setRelatedObject(entity()->indexOfProperty(ContentKey), content);
}

int CBDataArticle::metadataIndex() const
{
  // One model: the index is the same for every article.
  static const int index = entity()->indexOfProperty(CBDataArticleMetadataKey);
  return index;
}

ArticleMetadata* CBDataArticle::metadata() const
{
  auto* record = static_cast<ArticleMetadata*>(relatedObject(metadataIndex()));
  if (record != nullptr)
    record->setHolderHint(const_cast<CBDataArticle*>(this));
  return record;
}

void CBDataArticle::setMetadata(ArticleMetadata* metadata)
{
  setRelatedObject(metadataIndex(), metadata);
  if (metadata != nullptr)
    metadata->setHolderHint(this);
}

ZPHManagedObjectID CBDataArticle::metadataObjectID() const
{
  const QVariant& link = primitiveValue(metadataIndex());
  return link.typeId() == qMetaTypeId<ZPHManagedObjectID>() ? link.value<ZPHManagedObjectID>() : ZPHManagedObjectID();
}

QList<ZPHManagedObject*> CBDataArticle::enclosures() const
{
  return relatedObjects(entity()->indexOfProperty(EnclosuresKey));
}

bool CBDataArticle::read() const
{
  const ArticleMetadata* record = metadata();
  return record != nullptr && record->read();
}

bool CBDataArticle::flagged() const
{
  const ArticleMetadata* record = metadata();
  return record != nullptr && record->flagged();
}

void CBDataArticle::metadataDidChange(const QString& key) { notifyChange(key); }

void CBDataArticle::didChangeValueForKey(const QString& key)
{
  if (key == CBDataArticleMetadataKey) {
    notifyChange(CBDataArticleReadKey);
    notifyChange(CBDataArticleFlaggedKey);
  } else if (key == PlainTextTitleKey) {
    notifyChange(PlainTextTitleForDisplayKey);
  }
}

void CBDataArticle::zph_setValueForKeyWithScrubbing(int index, const QString& value, bool scrubbing)
{
  setPrimitiveValue(index, scrubbing ? CobbletonExtras::zph_stringByReplacingSingularSurrogates(value) : value);
}

void CBDataArticle::setNeedsSync(bool needsSync)
{
  if (!primitiveValue(PropertyNeedsSyncChanged).toBool())
    setPrimitiveValue(PropertyNeedsSyncChanged, needsSync && !this->needsSync());
  setPrimitiveValue(PropertyNeedsSync, needsSync);
}

void CBDataArticle::willSave()
{
  ZPHManagedObject::willSave();
  // The mark goes back to false in the same save, so the store never keeps
  // it set for a later save of the article elsewhere to announce again.
  if (!isDeleted() && primitiveValue(PropertyNeedsSyncChanged).toBool()) {
    m_announceNeedsSync = true;
    setPrimitiveValue(PropertyNeedsSyncChanged, false);
  }
}

void CBDataArticle::didSave()
{
  ZPHManagedObject::didSave();
  if (!m_announceNeedsSync || isDeleted())
    return;
  m_announceNeedsSync = false;
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncableArticleEventNotification,
                                              QVariant::fromValue(static_cast<ZPHManagedObject*>(this)));
}

// ---------------------------------------------------------------------------
// Queries

ZPHPredicate CBDataArticle::predicateForArticlesForFeedWithURL(const QUrl& url, ZPHManagedObjectContext*)
{
  return ZPHPredicate::equal(CBDataArticleFeedURLKey, absoluteString(url)) && notMarkedForDeletion();
}

ZPHPredicate CBDataArticle::predicateForUnreadArticlesForFeedWithURL(const QUrl& url, ZPHManagedObjectContext*)
{
  return ZPHPredicate::andPredicate(
      {ZPHPredicate::equal(CBDataArticleFeedURLKey, absoluteString(url)), unreadMetadata(), notMarkedForDeletion()});
}

ZPHPredicate CBDataArticle::predicateForArticlesForFeedsWithURLs(const QStringList& urls, ZPHManagedObjectContext*)
{
  return ZPHPredicate::in(CBDataArticleFeedURLKey, toVariantList(urls)) && notMarkedForDeletion();
}

ZPHPredicate CBDataArticle::predicateForUnreadArticlesForFeedsWithURLs(const QStringList& urls,
                                                                       ZPHManagedObjectContext*)
{
  return ZPHPredicate::andPredicate(
      {ZPHPredicate::in(CBDataArticleFeedURLKey, toVariantList(urls)), unreadMetadata(), notMarkedForDeletion()});
}

ZPHPredicate CBDataArticle::predicateForUnreadArticlesWithMoc(ZPHManagedObjectContext*)
{
  return unreadMetadata() && notMarkedForDeletion();
}

ZPHPredicate CBDataArticle::predicateForArticlesPublishedTodayWithMoc(ZPHManagedObjectContext*)
{
  return publishedToday() && notMarkedForDeletion();
}

std::optional<ZPHPredicate> CBDataArticle::predicateForUnreadArticlesPublishedTodayWithMoc(
    ZPHManagedObjectContext* context)
{
  if (context == nullptr)
    return std::nullopt;
  return ZPHPredicate::andPredicate({publishedToday(), unreadMetadata(), notMarkedForDeletion()});
}

ZPHPredicate CBDataArticle::predicateForArticlesInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context)
{
  QVariantList urls;
  for (const CBFeed* feed : CBFeed::favoriteFeedsWithMOC(context)) urls.append(feed->url());
  return ZPHPredicate::in(CBDataArticleFeedURLKey, urls) && notMarkedForDeletion();
}

ZPHPredicate CBDataArticle::predicateForArticlesFlaggedWithMoc(ZPHManagedObjectContext*)
{
  return ZPHPredicate::equal(MetadataFlaggedKey, 1) && notMarkedForDeletion();
}

ZPHPredicate CBDataArticle::predicateForUnreadArticlesFlaggedWithMoc(ZPHManagedObjectContext*)
{
  return ZPHPredicate::andPredicate(
      {ZPHPredicate::equal(MetadataFlaggedKey, 1), unreadMetadata(), notMarkedForDeletion()});
}

ZPHPredicate CBDataArticle::predicateForUnreadArticlesInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context)
{
  return predicateForUnreadArticlesWithMoc(context) && predicateForArticlesInFavoriteFeedsWithMoc(context);
}

ZPHPredicate CBDataArticle::predicateForArticlesPublishedTodayInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context)
{
  return predicateForArticlesPublishedTodayWithMoc(context) && predicateForArticlesInFavoriteFeedsWithMoc(context);
}

std::optional<ZPHPredicate> CBDataArticle::predicateForUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(
    ZPHManagedObjectContext* context)
{
  const std::optional<ZPHPredicate> today = predicateForUnreadArticlesPublishedTodayWithMoc(context);
  if (!today)
    return std::nullopt;
  return *today && predicateForArticlesInFavoriteFeedsWithMoc(context);
}

namespace {

QList<CBDataArticle*> articlesOfRequest(const ZPHFetchRequest& request, ZPHManagedObjectContext* context)
{
  const QList<ZPHManagedObject*> objects = context->executeFetchRequest(request);
  QList<CBDataArticle*> articles;
  articles.reserve(objects.size());
  for (ZPHManagedObject* object : objects) articles.append(static_cast<CBDataArticle*>(object));
  return articles;
}

}  // namespace

QList<CBDataArticle*> CBDataArticle::articlesWithPredicate(const std::optional<ZPHPredicate>& predicate,
                                                           const std::optional<ZPHSortDescriptor>& sortDescriptor,
                                                           ZPHManagedObjectContext* context)
{
  if (!predicate || context == nullptr)
    return {};
  ZPHFetchRequest request(CBDataEntityNameArticle, *predicate);
  request.relationshipKeyPathsForPrefetching = {CBDataArticleMetadataKey};  // read() and flagged() of each
  if (sortDescriptor)
    request.sortDescriptors = {*sortDescriptor};
  return articlesOfRequest(request, context);
}

QList<CBDataArticle*> CBDataArticle::articlesForFeedWithURL(const QUrl& url, ZPHManagedObjectContext* context)
{
  if (url.isEmpty())
    return {};
  return articlesWithPredicate(predicateForArticlesForFeedWithURL(url, context), std::nullopt, context);
}

QList<CBDataArticle*> CBDataArticle::articlesWithContentForFeedWithURL(const QUrl& url,
                                                                       ZPHManagedObjectContext* context)
{
  if (url.isEmpty() || context == nullptr)
    return {};
  ZPHFetchRequest request(CBDataEntityNameArticle, predicateForArticlesForFeedWithURL(url, context));
  request.relationshipKeyPathsForPrefetching = {CBDataArticleMetadataKey, ContentKey};
  return articlesOfRequest(request, context);
}

QList<CBDataArticle*> CBDataArticle::sortedArticlesForFeedsWithURLs(const QStringList& urls, bool hideReadArticles,
                                                                    const Sort& sort, ZPHManagedObjectContext* context)
{
  if (urls.isEmpty())
    return {};
  return articlesWithPredicate(hideReadArticles ? predicateForUnreadArticlesForFeedsWithURLs(urls, context)
                                                : predicateForArticlesForFeedsWithURLs(urls, context),
                               sort, context);
}

QList<CBDataArticle*> CBDataArticle::unreadArticlesForFeedsWithURLs(const QStringList& urls, const Sort& sort,
                                                                    ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForUnreadArticlesForFeedsWithURLs(urls, context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::unreadArticlesWithSortDescriptor(const Sort& sort,
                                                                      ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForUnreadArticlesWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::unreadArticlesForFavoriteFeedsWithSortDescriptor(const Sort& sort,
                                                                                      ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForUnreadArticlesInFavoriteFeedsWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::articlesPublishedTodayWithSortDescriptor(const Sort& sort,
                                                                              ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForArticlesPublishedTodayWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::unreadArticlesPublishedTodayWithSortDescriptor(const Sort& sort,
                                                                                    ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForUnreadArticlesPublishedTodayWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::articlesPublishedTodayInFavoriteFeedsWithSortDescriptor(
    const Sort& sort, ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForArticlesPublishedTodayInFavoriteFeedsWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::unreadArticlesPublishedTodayInFavoriteFeedsWithSortDescriptor(
    const Sort& sort, ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::articlesInFavoriteFeedsWithSortDescriptor(const Sort& sort,
                                                                               ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForArticlesInFavoriteFeedsWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::articlesFlaggedWithSortDescriptor(const Sort& sort,
                                                                       ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForArticlesFlaggedWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::unreadArticlesFlaggedWithSortDescriptor(const Sort& sort,
                                                                             ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(predicateForUnreadArticlesFlaggedWithMoc(context), sort, context);
}

QList<CBDataArticle*> CBDataArticle::articlesWithMoc(ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(ZPHPredicate::truePredicate(), std::nullopt, context);
}

QList<CBDataArticle*> CBDataArticle::articlesToSyncWithMoc(ZPHManagedObjectContext* context)
{
  return articlesWithPredicate(ZPHPredicate::equal(QStringLiteral("needsSync"), 1), std::nullopt, context);
}

QList<CBDataArticle*> CBDataArticle::articlesWithManagedObjectIDs(const QList<ZPHManagedObjectID>& objectIDs,
                                                                  ZPHManagedObjectContext* context)
{
  QList<CBDataArticle*> articles;
  if (context == nullptr)
    return articles;
  for (ZPHManagedObject* object : context->existingObjectsWithIDs(objectIDs)) {
    if (!object->isDeleted() && object->entity()->name() == CBDataEntityNameArticle)
      articles.append(static_cast<CBDataArticle*>(object));
  }
  return articles;
}

CBDataArticle* CBDataArticle::fetchArticleWithBestLink(const QString& bestLink, ZPHManagedObjectContext* context)
{
  if (bestLink.isEmpty() || context == nullptr)
    return nullptr;
  ZPHFetchRequest request(CBDataEntityNameArticle,
                          ZPHPredicate::orPredicate({ZPHPredicate::equal(QStringLiteral("link"), bestLink),
                                                     ZPHPredicate::equal(QStringLiteral("permalink"), bestLink),
                                                     ZPHPredicate::equal(QStringLiteral("guid"), bestLink)}));
  request.fetchLimit = 1;
  const QList<ZPHManagedObject*> objects = context->executeFetchRequest(request);
  return objects.isEmpty() ? nullptr : static_cast<CBDataArticle*>(objects.first());
}

qint64 CBDataArticle::unreadCountWithPredicate(const std::optional<ZPHPredicate>& predicate,
                                               ZPHManagedObjectContext* context)
{
  if (!predicate || context == nullptr)
    return 0;
  return qMax<qint64>(0, context->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle, *predicate)));
}

qint64 CBDataArticle::countOfUnreadArticlesPublishedTodayWithMoc(ZPHManagedObjectContext* context)
{
  return unreadCountWithPredicate(predicateForUnreadArticlesPublishedTodayWithMoc(context), context);
}

qint64 CBDataArticle::countOfUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context)
{
  return unreadCountWithPredicate(predicateForUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(context), context);
}

qint64 CBDataArticle::unreadCountForFlaggedArticlesWithMoc(ZPHManagedObjectContext* context)
{
  return unreadCountWithPredicate(predicateForUnreadArticlesFlaggedWithMoc(context), context);
}

qint64 CBDataArticle::unreadCountForArticlesWithFeedURL(const QUrl& url, ZPHManagedObjectContext* context)
{
  if (url.isEmpty())
    return 0;
  return unreadCountWithPredicate(predicateForUnreadArticlesForFeedWithURL(url, context), context);
}

// ---------------------------------------------------------------------------
// Inserting and deleting

CBDataArticle* CBDataArticle::insertArticleWithMOC(ZPHManagedObjectContext* context)
{
  return context == nullptr ? nullptr : static_cast<CBDataArticle*>(CBInsertObject(CBDataEntityNameArticle, context));
}

CBDataArticle* CBDataArticle::insertArticleWithFeedURL(const QUrl& feedURL, ZPHManagedObjectContext* context)
{
  CBDataArticle* article = insertArticleWithMOC(context);
  if (article != nullptr) {
    // A feed's articles arrive together: its address is written out once.
    thread_local QUrl lastFeedURL;
    thread_local QString lastFeedURLString;
    if (feedURL != lastFeedURL) {
      lastFeedURL = feedURL;
      lastFeedURLString = absoluteString(feedURL);
    }
    article->setFeedURL(lastFeedURLString);
    article->setDateArrived(now());
  }
  return article;
}

CBDataArticleContent* CBDataArticle::insertArticleContentWithMOC(ZPHManagedObjectContext* context)
{
  if (context == nullptr)
    return nullptr;
  auto* content = static_cast<CBDataArticleContent*>(CBInsertObject(CBDataEntityNameArticleContent, context));
  setContent(content);
  return content;
}

void CBDataArticle::deleteArticles(const QList<CBDataArticle*>& articles, bool deleteMetadata,
                                   ZPHManagedObjectContext* context)
{
  if (context == nullptr)
    return;
  for (CBDataArticle* article : articles) {
    if (article == nullptr || article->isDeleted())
      continue;
    ArticleMetadata* record = article->metadata();
    if (deleteMetadata && record != nullptr && !record->flagged())
      context->deleteObject(record);
    context->deleteObject(article);
  }
}

// ---------------------------------------------------------------------------
// Identity and display

QString CBDataArticle::bestLinkForArticle(const CBDataArticle* article)
{
  if (article == nullptr)
    return QString();
  const QString permalink = article->permalink().trimmed();
  if (!permalink.isEmpty() &&
      (permalink.startsWith(QLatin1String("http://")) || permalink.startsWith(QLatin1String("https://")) ||
       permalink.startsWith(QLatin1String("rss://"))))
    return permalink;
  const QString link = article->link().trimmed();
  if (!link.isEmpty())
    return link;
  return article->guid();
}

QUrl CBDataArticle::baseURLWithMOC(ZPHManagedObjectContext* context) const
{
  QUrl url = usableBaseURL(bestLink());
  if (url.isValid())
    return url;
  url = usableBaseURL(link());
  if (url.isValid())
    return url;
  if (!feedURL().isEmpty()) {
    if (const CBFeed* feed = CBFeed::feedWithURL(feedURL(), context)) {
      if (!feed->strHomePageURL().isEmpty())
        return urlWithoutFragment(feed->strHomePageURL());
    }
    url = urlWithoutFragment(feedURL());
    if (url.isValid())
      return url;
  }
  return QUrl(LastResortBaseURL);
}

QUrl CBDataArticle::baseURL() const
{
  ZPH_ASSERT_MAIN_THREAD();
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  return baseURLWithMOC(delegate ? delegate->mainThreadManagedObjectContext() : nullptr);
}

QString CBDataArticle::plainTextTitleForDisplay() const
{
  // The stored plain title is text already (its markup was read once when
  // the feed was): stripping it again would take "<b>" from "a <b> c".
  const QString title = plainTextTitle();
  if (title.isEmpty())
    return QCoreApplication::translate("CBDataArticle", "Untitled");
  return title;
}

void CBDataArticle::bestSharingTitle(QString* title, QString* link) const
{
  if (title != nullptr) {
    if (!plainTextTitle().isEmpty())
      *title = plainTextTitle();
    else if (!this->title().isEmpty())
      *title = this->title();
  }
  if (link != nullptr)
    *link = bestLink();
}

ArticleMetadata* CBDataArticle::findOrInsertMetadata()
{
  if (ArticleMetadata* record = metadata())
    return record;
  const QString link = bestLink();
  ZPHManagedObjectContext* context = managedObjectContext();
  if (link.isEmpty() || context == nullptr)
    return nullptr;
  ArticleMetadata* record = ArticleMetadata::findOrInsertArticleMetadataWithGUID(link, context);
  setMetadata(record);
  return record;
}

// ---------------------------------------------------------------------------
// Marking

void CBDataArticle::operation_only_markAsRead(bool read, bool updateUnread, bool saveContext, bool notify)
{
  if (this->read() == read)
    return;
  ArticleMetadata* record = findOrInsertMetadata();
  if (record == nullptr) {
    qCWarning(zphStore) << "an article without best link has no read state:" << objectID().URIRepresentation();
    return;
  }
  ZPHManagedObjectContext* context = managedObjectContext();
  record->setRead(read);
  setModDate(now());
  if (updateUnread) {
    if (CBFeed* feed = CBFeed::feedWithURL(feedURL(), context))
      feed->updateUnreadCount();
  }
  if (saveContext) {
    setNeedsSync(true);
    CBSaveManagedObjectContext(context);
  }
  if (notify) {
    // After the save, so the identifier is the permanent one.
    const ZPHManagedObjectID articleID = objectID();
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate()) {
      delegate->addMainThreadCoreDataQueueBlock([articleID] {
        ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
        ZPHManagedObjectContext* main = delegate ? delegate->mainThreadManagedObjectContext() : nullptr;
        ZPHManagedObject* article = main ? main->existingObjectWithID(articleID) : nullptr;
        if (article != nullptr)
          ZPHNotificationCenter::defaultCenter().post(CBDataArticleReadStatusDidChangeNotification,
                                                      QVariant::fromValue(article));
      });
    }
  }
}

namespace {

// The feeds whose last mark-all-read date a mark raises to the newest date
// of their marked articles, with the new date (seconds since 1970).
QList<std::pair<CBFeed*, double>> markAllAsReadDatesToRaise(const QHash<QString, QDateTime>& newestDateByFeed,
                                                            ZPHManagedObjectContext* context)
{
  QList<std::pair<CBFeed*, double>> raised;
  for (CBFeed* feed : CBFeed::feedsWithURLs(newestDateByFeed.keys(), context)) {
    const QDateTime newest = newestDateByFeed.value(feed->url());
    if (!newest.isValid())
      continue;
    const double seconds = double(newest.toMSecsSinceEpoch()) / 1000.0;
    if (feed->markAllAsReadLastArticleDate() < seconds)
      raised.append({feed, seconds});
  }
  return raised;
}

// The feeds with these addresses and the folders above them: their stored
// counts no longer hold once the read states of the feeds' articles change.
// They are marked invalid in the same save as the change, so no count stays
// valid past a change that no recount followed (the program quit first).
QList<ZPHManagedObjectID> nodesCountingFeeds(const QSet<QString>& feedURLs, ZPHManagedObjectContext* context)
{
  QList<ZPHManagedObjectID> nodes;
  if (feedURLs.isEmpty())
    return nodes;
  for (CBFeed* feed : CBFeed::feedsWithURLs(QStringList(feedURLs.begin(), feedURLs.end()), context)) {
    nodes.append(feed->objectID());
    int depth = 0;
    for (const CBNode* folder = feed->parent(); folder != nullptr && depth < 1000; folder = folder->parent(), ++depth)
      nodes.append(folder->objectID());
  }
  return nodes;
}

}  // namespace

void CBDataArticle::operation_only_markArticles(const QList<CBDataArticle*>& articles, bool read,
                                                ZPHManagedObjectContext* context)
{
  Q_ASSERT_X(context != nullptr, Q_FUNC_INFO, "managedObjectContext");
  if (articles.isEmpty() || context == nullptr)
    return;

  QHash<QString, ArticleMetadata*> metadataByGUID;
  for (ArticleMetadata* record : ArticleMetadata::findExistingArticleMetadataForArticles(articles, context)) {
    if (!record->guid().isEmpty())
      metadataByGUID.insert(record->guid(), record);
  }

  QHash<QString, QDateTime> newestDateByFeed;
  QSet<QString> changedFeeds;
  for (CBDataArticle* article : articles) {
    const QString feed = article->feedURL();
    if (!feed.isEmpty()) {
      const QDateTime date = article->dateForDisplay();
      auto found = newestDateByFeed.find(feed);
      if (found == newestDateByFeed.end())
        newestDateByFeed.insert(feed, date);
      else if (date.isValid() && (!found->isValid() || date > *found))
        *found = date;
    }
    const bool changes = article->read() != read;
    article->operation_only_markAsRead(read, false, false, false);
    // In this same save, so a change made just before quitting still syncs.
    if (changes) {
      article->setNeedsSync(true);
      if (!feed.isEmpty())
        changedFeeds.insert(feed);
    }
    const QString link = article->bestLink();
    if (!link.isEmpty()) {
      if (ArticleMetadata* record = metadataByGUID.value(link))
        record->setRead(read);
    }
  }

  for (const auto& [feed, seconds] : markAllAsReadDatesToRaise(newestDateByFeed, context))
    feed->setMarkAllAsReadLastArticleDate(seconds);
  for (CBFeed* feed : CBFeed::feedsWithURLs(QStringList(changedFeeds.begin(), changedFeeds.end()), context))
    feed->setUnreadCountIsValid(false);  // and the folders above it (see nodesCountingFeeds())

  if (!CBSaveManagedObjectContext(context))
    return;  // nothing marked: nothing to announce

  QVariantList articleIDs;
  articleIDs.reserve(articles.size());
  for (const CBDataArticle* article : articles) articleIDs.append(QVariant::fromValue(article->objectID()));
  QVariantMap userInfo;
  if (!articleIDs.isEmpty())
    userInfo.insert(ZPHArticlesKey, articleIDs);
  userInfo.insert(CBDataArticleReadKey, read);
  ZPHNotificationCenter::defaultCenter().postOnMainThread(CBMultipleArticlesDidChangeReadStatusNotification, QVariant(),
                                                          userInfo);
}

void CBDataArticle::operation_only_markArticlesWithIDs(const QList<ZPHManagedObjectID>& objectIDs, bool read,
                                                       ZPHManagedObjectContext* context)
{
  Q_ASSERT_X(context != nullptr, Q_FUNC_INFO, "managedObjectContext");
  if (objectIDs.isEmpty() || context == nullptr)
    return;
  // What operation_only_markArticles() reads of each article, in one
  // statement: its state record and that record's state, its feed and date.
  // (The records it finds by best link are the listed articles' own: each
  // changes when its article does.)
  QVariantList wanted;
  wanted.reserve(objectIDs.size());
  for (const ZPHManagedObjectID& objectID : objectIDs) wanted.append(QVariant::fromValue(objectID));
  ZPHFetchRequest request(CBDataEntityNameArticle, ZPHPredicate::in(QStringLiteral("self"), wanted));
  enum Column { Metadata, MetadataRead, FeedURL, DateForDisplay, NeedsSync };
  ZPHError error;
  const ZPHObjectIDsWithValues rows = context->executeFetchRequestForObjectIDsWithValues(
      request,
      {CBDataArticleMetadataKey, QStringLiteral("metadata.read"), CBDataArticleFeedURLKey, DateForDisplayKey,
       QStringLiteral("needsSync")},
      &error);
  if (!error.isNull()) {
    qCWarning(zphStore) << "the articles to mark could not be read:" << error.toString();
    return;
  }

  const QDateTime modified = now();
  QList<ZPHManagedObjectID> records;  // state records to set
  QList<ZPHManagedObjectID> changed;  // articles whose state changes: modDate and needsSync
  QList<ZPHManagedObjectID> withoutRecord;
  QHash<QString, QDateTime> newestDateByFeed;
  QSet<QString> changedFeeds;
  bool newlySyncable = false;  // an article's needsSync goes from false to true
  for (qsizetype row = 0; row < rows.objectIDs.size(); ++row) {
    const QString feed = rows.value(row, FeedURL).toString();
    if (!feed.isEmpty()) {
      const QDateTime date = rows.value(row, DateForDisplay).toDateTime();
      auto found = newestDateByFeed.find(feed);
      if (found == newestDateByFeed.end())
        newestDateByFeed.insert(feed, date);
      else if (date.isValid() && (!found->isValid() || date > *found))
        *found = date;
    }
    const ZPHManagedObjectID record = rows.value(row, Metadata).value<ZPHManagedObjectID>();
    const bool isRead = rows.value(row, MetadataRead).toBool();
    if (record.isNull()) {
      if (read)  // no record reads as unread: one is made for it
        withoutRecord.append(rows.objectIDs.at(row));
      continue;
    }
    if (isRead != read) {
      records.append(record);
      changed.append(rows.objectIDs.at(row));
      if (!feed.isEmpty())
        changedFeeds.insert(feed);
      newlySyncable = newlySyncable || !rows.value(row, NeedsSync).toBool();
    }
  }

  QList<std::pair<QList<ZPHManagedObjectID>, QVariantMap>> updates;
  updates.append({records, {{CBDataArticleReadKey, read}}});
  updates.append({changed, {{QStringLiteral("modDate"), modified}, {QStringLiteral("needsSync"), true}}});
  for (const auto& [feed, seconds] : markAllAsReadDatesToRaise(newestDateByFeed, context))
    updates.append({{feed->objectID()}, {{QStringLiteral("markAllAsReadLastArticleDate"), seconds}}});
  updates.append({nodesCountingFeeds(changedFeeds, context), {{QStringLiteral("unreadCountIsValid"), false}}});
  if (!context->batchUpdateObjects(updates, &error)) {
    qCWarning(zphStore) << "marking articles failed:" << error.toString();
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
      delegate->handleCoreDataFailureWithError(error);
    return;
  }
  // No article was loaded to announce itself: the sync is told once.
  if (newlySyncable)
    ZPHNotificationCenter::defaultCenter().post(ZPHSyncableArticleEventNotification);
  // The few without a record get one, as one at a time would.
  if (!withoutRecord.isEmpty()) {
    const QList<CBDataArticle*> articles = articlesWithManagedObjectIDs(withoutRecord, context);
    QSet<QString> feeds;
    for (CBDataArticle* article : articles) {
      if (!article->feedURL().isEmpty())
        feeds.insert(article->feedURL());
      article->operation_only_markAsRead(read, false, false, false);
      article->setNeedsSync(true);
    }
    for (CBFeed* feed : CBFeed::feedsWithURLs(QStringList(feeds.begin(), feeds.end()), context))
      feed->setUnreadCountIsValid(false);
    changedFeeds.unite(feeds);
    // Not stored: these stay as they were, the others are marked.
    if (CBSaveManagedObjectContext(context))
      withoutRecord.clear();
  }

  const QSet<ZPHManagedObjectID> notMarked(withoutRecord.cbegin(), withoutRecord.cend());
  QVariantList articleIDs;
  articleIDs.reserve(rows.objectIDs.size());
  for (const ZPHManagedObjectID& objectID : rows.objectIDs) {
    if (!notMarked.contains(objectID))
      articleIDs.append(QVariant::fromValue(objectID));
  }
  QVariantMap userInfo;
  if (!articleIDs.isEmpty())
    userInfo.insert(ZPHArticlesKey, articleIDs);
  userInfo.insert(CBDataArticleReadKey, read);
  userInfo.insert(CBDataArticleFeedURLsKey, QStringList(changedFeeds.begin(), changedFeeds.end()));
  ZPHNotificationCenter::defaultCenter().postOnMainThread(CBMultipleArticlesDidChangeReadStatusNotification, QVariant(),
                                                          userInfo);
}

void CBDataArticle::operation_only_markAsFlagged(bool flagged)
{
  if (this->flagged() == flagged)
    return;
  ArticleMetadata* record = findOrInsertMetadata();
  if (record == nullptr) {
    qCWarning(zphStore) << "an article without best link has no bookmark:" << objectID().URIRepresentation();
    return;
  }
  ZPHManagedObjectContext* context = managedObjectContext();
  record->setFlagged(flagged);
  setModDate(now());
  if (!CBSaveManagedObjectContext(context))
    return;  // not stored: nothing to announce
  ZPHNotificationCenter::defaultCenter().postOnMainThread(CBDataArticleFlaggedStatusDidChangeNotification,
                                                          QVariant::fromValue(objectID()),
                                                          {{CBDataArticleFlaggedKey, flagged}});
  setNeedsSync(true);
  CBSaveManagedObjectContext(context);
}

// ---------------------------------------------------------------------------
// Enclosures

QList<ZPHManagedObject*> CBDataArticle::fetchSetOfEnclosuresWithValue(const QVariant& value, const QString& key) const
{
  QList<ZPHManagedObject*> found;
  const ZPHPredicate predicate =
      CBPredicateWithEquality(key).withSubstitutionVariables({{CBDataGenericSubstitionKey, value}});
  for (ZPHManagedObject* enclosure : enclosures()) {
    if (predicate.evaluateWithObject(enclosure))
      found.append(enclosure);
  }
  return found;
}

ZPHManagedObject* CBDataArticle::fetchEnclosureWithURL(const QUrl& url, ZPHManagedObjectContext* context)
{
  return CBFetchManagedObjectWithValueForKey(EnclosureURLKey, absoluteString(url), CBDataEntityNameEnclosure, context);
}

ZPHManagedObject* CBDataArticle::insertEnclosureWithURL(const QUrl& url, ZPHManagedObjectContext* context)
{
  ZPHManagedObject* enclosure =
      CBInsertObjectWithValueForKey(EnclosureURLKey, absoluteString(url), CBDataEntityNameEnclosure, context);
  if (enclosure != nullptr)
    enclosure->setValue(QStringLiteral("article"), QVariant::fromValue(static_cast<ZPHManagedObject*>(this)));
  return enclosure;
}

ZPHManagedObject* CBDataArticle::fetchOrInsertEnclosureWithURL(const QUrl& url, ZPHManagedObjectContext* context)
{
  if (ZPHManagedObject* enclosure = fetchEnclosureWithURL(url, context))
    return enclosure;
  return insertEnclosureWithURL(url, context);
}

void CBDataArticle::updateHasAudioAndVideoEnclosures()
{
  setHasAudioEnclosure(anyEnclosureWithMediaType(CBEnclosureMediaTypeAudio) != nullptr);
  setHasVideoEnclosure(anyEnclosureWithMediaType(CBEnclosureMediaTypeMovie) != nullptr);
}

ZPHManagedObject* CBDataArticle::anyEnclosureWithMediaType(int mediaType) const
{
  for (ZPHManagedObject* enclosure : enclosures()) {
    if (enclosure->value(EnclosureMediaTypeKey).toInt() == mediaType)
      return enclosure;
  }
  return nullptr;
}

QList<ZPHManagedObject*> CBDataArticle::allEnclosuresWithMediaType(int mediaType) const
{
  QList<ZPHManagedObject*> found;
  for (ZPHManagedObject* enclosure : enclosures()) {
    if (enclosure->value(EnclosureMediaTypeKey).toInt() == mediaType)
      found.append(enclosure);
  }
  return found;
}

ZPHManagedObject* CBDataArticle::richestMediaEnclosure() const
{
  if (ZPHManagedObject* movie = bestMovieEnclosure())
    return movie;
  return bestAudioEnclosure();
}

QList<ZPHManagedObject*> CBDataArticle::allEnclosuresWithMediaTypeNotInHTMLText(int mediaType) const
{
  const CBDataArticleContent* body = content();
  const QString html = body != nullptr ? body->htmlText() : QString();
  QList<ZPHManagedObject*> found;
  for (ZPHManagedObject* enclosure : allEnclosuresWithMediaType(mediaType)) {
    const QString url = enclosure->value(EnclosureURLKey).toString();
    if (!url.isEmpty() && !html.contains(url))
      found.append(enclosure);
  }
  return found;
}

bool CBDataArticle::thumbnailAppearsInHTMLText() const
{
  const CBDataArticleContent* body = content();
  return !thumbnailURL().isEmpty() && body != nullptr && body->htmlText().contains(thumbnailURL());
}

QStringList CBDataArticle::allImagesNotInHTMLText() const
{
  QStringList urls;
  for (const ZPHManagedObject* enclosure : allImageEnclosuresNotInHTMLText())
    urls.append(enclosure->value(EnclosureURLKey).toString());
  if (!thumbnailURL().isEmpty() && !thumbnailAppearsInHTMLText())
    urls.append(thumbnailURL());
  return urls;
}

bool CBDataArticle::enclosureIsBiggerThan(const ZPHManagedObject* enclosure, const ZPHManagedObject* other)
{
  const auto number = [](const ZPHManagedObject* object, const char* key) {
    return object->value(QString::fromLatin1(key)).toLongLong();
  };
  if (number(enclosure, "fileSize") > number(other, "fileSize"))
    return true;
  if (number(enclosure, "width") > number(other, "width"))
    return true;
  return number(enclosure, "height") > number(other, "height");
}

ZPHManagedObject* CBDataArticle::biggestImageEnclosureNotInHTMLText() const
{
  ZPHManagedObject* biggest = nullptr;
  for (ZPHManagedObject* enclosure : allImageEnclosuresNotInHTMLText()) {
    if (biggest == nullptr || enclosureIsBiggerThan(enclosure, biggest))
      biggest = enclosure;
  }
  return biggest;
}

QString CBDataArticle::URLOfBiggestImageEnclosureNotInHTMLText() const
{
  const ZPHManagedObject* biggest = biggestImageEnclosureNotInHTMLText();
  return biggest != nullptr ? biggest->value(EnclosureURLKey).toString() : QString();
}

QString CBDataArticle::URLOfBiggestImageNotInHTMLText() const
{
  const QString enclosure = URLOfBiggestImageEnclosureNotInHTMLText();
  if (!enclosure.isEmpty())
    return enclosure;
  if (!thumbnailURL().isEmpty() && !thumbnailAppearsInHTMLText())
    return thumbnailURL();
  return QString();
}

QString CBDataArticle::URLOfBiggestImageInHTMLText() const
{
  const CBDataArticleContent* body = content();
  const QString html = body != nullptr ? body->htmlText() : QString();
  if (html.isEmpty())
    return QString();
  // The article image cache, which knows the images' real sizes, is not part
  // of the library yet: the first usable image stands in for the biggest.
  const QString first = cb_firstImgURLStringInHTML(html);
  return first.isEmpty() ? thumbnailURL() : first;
}

QSizeF CBDataArticle::sizeOfEnclosureImageWithURL(const QUrl& url) const
{
  const QString target = absoluteString(url);
  for (const ZPHManagedObject* enclosure : allImageEnclosures()) {
    if (enclosure->value(EnclosureURLKey).toString() == target)
      return QSizeF(enclosure->value(QStringLiteral("width")).toDouble(),
                    enclosure->value(QStringLiteral("height")).toDouble());
  }
  return QSizeF(0, 0);
}

// ---------------------------------------------------------------------------
// Short-message transforms

QString CBDataArticle::injectShortLinkTransform(const QString& html) const
{
  if (!permalink().startsWith(ShortMessageStatusPagePrefix) || html.contains(QLatin1String("</a>")))
    return html;
  const qsizetype start = html.lastIndexOf(ShortMessageShortLinkPrefix);
  if (start < 0)
    return html;
  const qsizetype end = endOfLink(html, start);
  const QString link = escapedForHTML(html.mid(start, end - start));
  QString result = html;
  result.replace(start, end - start, QStringLiteral("<a href=\"%1\">%1</a>").arg(link));
  return result;
}

QString CBDataArticle::injectTwitterImageTransform(
    const QString& html, const std::function<QString(const QString& address)>& imageSource) const
{
  static const QString byline = QStringLiteral("<div id=\"zphByline\">");
  if (!permalink().startsWith(ShortMessageStatusPagePrefix) || thumbnailURL().isEmpty() || !imageSource)
    return html;
  const qsizetype at = html.lastIndexOf(byline);
  if (at < 0)
    return html;
  const QString source = imageSource(thumbnailURL());
  if (source.isEmpty())
    return html;
  QString result = html;
  result.insert(at + byline.size(), QStringLiteral("<img src=\"%1\"/>&nbsp;").arg(escapedForHTML(source)));
  return result;
}

// ---------------------------------------------------------------------------
// Marking for the user

namespace {

// The identifiers the store queue can find: saved, not deleted articles.
QList<ZPHManagedObjectID> markableArticleIDs(const QList<CBDataArticle*>& articles)
{
  QList<ZPHManagedObjectID> objectIDs;
  for (const CBDataArticle* article : articles) {
    if (article == nullptr || article->isDeleted())
      continue;
    const ZPHManagedObjectID objectID = article->objectID();
    if (!objectID.isNull() && !objectID.isTemporaryID())
      objectIDs.append(objectID);
  }
  return objectIDs;
}

void performUndoable(std::shared_ptr<ZPHUndoableOperation> operation)
{
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->performUndoableOperation(std::move(operation));
}

}  // namespace

void CBDataArticle::markAsRead(bool read) { markArticles({this}, read); }

void CBDataArticle::markArticles(const QList<CBDataArticle*>& articles, bool read)
{
  ZPH_ASSERT_MAIN_THREAD();
  const QList<ZPHManagedObjectID> objectIDs = markableArticleIDs(articles);
  if (!objectIDs.isEmpty())
    performUndoable(ZPHMarkAsReadOperation::operationWithArticleManagedObjectIds(objectIDs, read));
}

void CBDataArticle::markAsFlagged(bool flagged) { markArticlesAsFlagged({this}, flagged); }

void CBDataArticle::markArticlesAsFlagged(const QList<CBDataArticle*>& articles, bool flagged)
{
  ZPH_ASSERT_MAIN_THREAD();
  const QList<ZPHManagedObjectID> objectIDs = markableArticleIDs(articles);
  if (!objectIDs.isEmpty())
    performUndoable(ZPHMarkAsFlaggedOperation::operationWithArticleManagedObjectIds(objectIDs, flagged));
}
