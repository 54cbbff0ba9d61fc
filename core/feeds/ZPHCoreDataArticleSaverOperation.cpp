#include "feeds/ZPHCoreDataArticleSaverOperation.h"

#include "feeds/cache/ZPHArticleImageCacheController.h"
#include "feeds/parsers/CBParsedEnclosure.h"
#include "feeds/parsers/CBParsedNewsItem.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/ArticleMetadata.h"
#include "store/CBCoreDataUtilities.h"
#include "store/CBDataArticle.h"
#include "store/CBDataArticleContent.h"
#include "store/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QHash>
#include <QtCore/QTimeZone>

#include <exception>

const QString ZPHFeedRefreshArticlesUpdatedNotification = QStringLiteral("ZPHFeedRefreshArticlesUpdatedNotification");
const QString ZPHFeedRefreshUnreadCountKey = QStringLiteral("unreadCount");
const QString ZPHFeedRefreshLatestPublishDateKey = QStringLiteral("latestPublishDate");

namespace {

const QString EnclosureURLKey = QStringLiteral("URL");

QDateTime distantPast() { return QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc()); }

// Null and empty are different values here.
bool stringsDiffer(const QString& a, const QString& b) { return a.isNull() != b.isNull() || a != b; }

bool datesEqual(const QDateTime& a, const QDateTime& b)
{
  if (a.isValid() != b.isValid())
    return false;
  return !a.isValid() || a.toUTC() == b.toUTC();
}

// The stored media type of a parsed enclosure: its own (from the MIME type),
// else the one its medium names.
int mediaTypeOfParsedEnclosure(const CBParsedEnclosure& enclosure)
{
  switch (enclosure.mediaType()) {
    case CBMediaTypeVideo:
      return CBEnclosureMediaTypeMovie;
    case CBMediaTypeAudio:
      return CBEnclosureMediaTypeAudio;
    case CBMediaTypeImage:
      return CBEnclosureMediaTypeImage;
    default:
      break;
  }
  const QString medium = enclosure.medium().trimmed().toLower();
  if (medium == QLatin1String("video"))
    return CBEnclosureMediaTypeMovie;
  if (medium == QLatin1String("audio"))
    return CBEnclosureMediaTypeAudio;
  if (medium == QLatin1String("image"))
    return CBEnclosureMediaTypeImage;
  return 0;
}

// The enclosure's address as stored, or null for one we cannot use.
QString storedEnclosureURLString(const CBParsedEnclosure& enclosure)
{
  const QUrl url(enclosure.urlString().trimmed());
  if (!url.isValid() || url.isEmpty())
    return {};
  return url.toString(QUrl::FullyEncoded);
}

}  // namespace

ZPHCoreDataArticleSaverOperation::ZPHCoreDataArticleSaverOperation(
    const QList<std::shared_ptr<CBParsedNewsItem>>& parsedArticles, const QUrl& feedURL)
    : CBOperation(nullptr), m_parsedArticles(parsedArticles), m_feedURL(feedURL)
{
  m_idsOfItemsInFeed.reserve(parsedArticles.size());
}

ZPHCoreDataArticleSaverOperation::~ZPHCoreDataArticleSaverOperation() = default;

void ZPHCoreDataArticleSaverOperation::setPrivateQueueManagedObjectContext(
    std::shared_ptr<ZPHManagedObjectContext> context)
{
  m_privateContext = std::move(context);
}

void ZPHCoreDataArticleSaverOperation::main()
{
  // The refresh operation follows the saver through its completion block;
  // no operation-complete notification is posted here.
  if (isCancelled())
    return;
  // An exception is logged, with where the run took place.
  const auto run = [this](const QString& where) {
    try {
      runCoreDataArticleSaverOperation();
    } catch (const std::exception& exception) {
      qCCritical(zphFeeds).noquote() << QStringLiteral("Exception running core data article saver operation%1! %2")
                                            .arg(where, QString::fromLocal8Bit(exception.what()));
    } catch (...) {
      qCCritical(zphFeeds).noquote()
          << QStringLiteral("Exception running core data article saver operation%1!").arg(where);
    }
  };
  if (m_privateContext) {
    m_privateContext->performBlockAndWait([&run] { run(QStringLiteral(" in private queue context")); });
    return;
  }
  run(QString());
  m_context = nullptr;
  m_temporaryContext.reset();
}

void ZPHCoreDataArticleSaverOperation::runCoreDataArticleSaverOperation()
{
  if (m_privateContext) {
    m_context = m_privateContext.get();
  } else {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    m_temporaryContext = delegate != nullptr ? delegate->temporaryManagedObjectContext() : nullptr;
    m_context = m_temporaryContext.get();
  }
  if (m_context == nullptr) {
    qCWarning(zphFeeds) << "No store context to save the articles of" << m_feedURL;
    return;
  }

  CBFeed* feed = CBFeed::feedWithURL(m_feedURL.toString(QUrl::FullyEncoded), m_context);
  if (feed == nullptr) {
    // The feed was deleted meanwhile.
    m_context = nullptr;
    return;
  }

  m_latestPublishDate = distantPast();
  m_unreadCount = feed->unreadCount();

  QList<CBDataArticle*> savedArticles;
  bool stoppedByCancellation = false;
  for (const std::shared_ptr<CBParsedNewsItem>& item : std::as_const(m_parsedArticles)) {
    if (isCancelled()) {
      stoppedByCancellation = true;
      break;
    }
    if (!item)
      continue;
    CBDataArticle* article = saveArticle(*item, feed);
    if (article == nullptr)
      continue;
    savedArticles.append(article);
    const QDateTime published = item->pubDate();
    if (published.isValid() && published.toUTC() > m_latestPublishDate)
      m_latestPublishDate = published.toUTC();
  }

  if (!savedArticles.isEmpty())
    processMetadataForSavedArticles(savedArticles, feed);

  if (!stoppedByCancellation && !isCancelled()) {
    if (m_skipsMarkingMissingItemsAsDeleted)
      qCInfo(zphFeeds) << "Feed" << m_feedURL << "broke off; articles missing from it are kept";
    else
      markMissingItemsAsDeleted();
  }

  m_existingArticles.reset();
  m_parsedArticles.clear();
  m_insertedArticles.clear();
  // A failed save reaches the application delegate's store-failure path and
  // leaves the context with its changes; nothing then counts as saved.
  CBSaveManagedObjectContext(m_context);
  if (m_context->hasChanges()) {
    m_context = nullptr;
    return;
  }
  m_context = nullptr;

  if (isCancelled())
    return;
  m_didSaveUncancelled = true;
  if (!m_privateContext) {
    ZPHNotificationCenter::defaultCenter().postOnMainThread(
        ZPHFeedRefreshArticlesUpdatedNotification,
        QVariant::fromValue(std::static_pointer_cast<CBOperation>(
            std::static_pointer_cast<ZPHCoreDataArticleSaverOperation>(shared_from_this()))),
        {{CBURLKey, m_feedURL},
         {ZPHFeedRefreshUnreadCountKey, QVariant::fromValue<quint64>(m_unreadCount)},
         {ZPHFeedRefreshLatestPublishDateKey, m_latestPublishDate}});
  }
}

CBDataArticle* ZPHCoreDataArticleSaverOperation::saveArticle(const CBParsedNewsItem& item, CBFeed* feed)
{
  Q_UNUSED(feed);
  if (item.guid().isEmpty() && item.link().isEmpty() && item.permalink().isEmpty())
    return nullptr;
  CBDataArticle* article = existingArticleForParsedArticle(item);
  bool inserted = false;
  if (article == nullptr) {
    article = CBDataArticle::insertArticleWithFeedURL(m_feedURL, m_context);
    if (article == nullptr)
      return nullptr;
    inserted = true;
    m_insertedArticles.insert(article);
  }
  updateArticle(article, item);
  // A new article has no metadata yet, so every new one counts.
  if (inserted && !article->read())
    ++m_unreadCount;
  return article;
}

QList<CBDataArticle*> ZPHCoreDataArticleSaverOperation::existingArticles()
{
  if (!m_existingArticles)
    m_existingArticles = CBDataArticle::articlesForFeedWithURL(m_feedURL, m_context);
  return *m_existingArticles;
}

CBDataArticle* ZPHCoreDataArticleSaverOperation::existingArticleForParsedArticle(const CBParsedNewsItem& item)
{
  if (!item.guid().isEmpty())
    return existingArticleForParsedArticleThatHasGuid(item);
  return existingArticleForParsedArticleWithoutGuid(item);
}

CBDataArticle* ZPHCoreDataArticleSaverOperation::existingArticleForParsedArticleThatHasGuid(
    const CBParsedNewsItem& item)
{
  const QString guid = item.guid();
  for (CBDataArticle* article : existingArticles()) {
    if (article->guid() == guid && !article->guid().isNull())
      return article;
  }
  return nullptr;
}

CBDataArticle* ZPHCoreDataArticleSaverOperation::existingArticleForParsedArticleWithoutGuid(
    const CBParsedNewsItem& item)
{
  for (CBDataArticle* article : existingArticles()) {
    if (existingArticleIsSameAsParsedArticleWithoutGuid(article, item))
      return article;
  }
  return nullptr;
}

bool ZPHCoreDataArticleSaverOperation::existingArticleIsSameAsParsedArticleWithoutGuid(const CBDataArticle* article,
                                                                                       const CBParsedNewsItem& item)
{
  if (!article->guid().isEmpty())
    return false;
  int score = 0;
  bool titlesEqual = false;
  const QString title = article->title();
  if (!title.isNull() && !item.title().isNull() && title == item.title()) {
    titlesEqual = true;
    ++score;
  }
  const QDateTime published = article->datePublished();
  if (published.isValid()) {
    if (datesEqual(published, item.pubDate()))
      ++score;
    if (score > 1)
      return true;
  }
  const QString link = article->link();
  if (!link.isNull() && !item.link().isNull() && link == item.link())
    ++score;
  if (score > 1)
    return true;
  if (score == 0 || titlesEqual)
    return false;
  // Titles that differ only in markup agree in plain text.
  const QString plainTextTitle = article->plainTextTitle();
  const QString itemPlainTextTitle = item.plainTextTitle();
  return !plainTextTitle.isNull() && !itemPlainTextTitle.isNull() && plainTextTitle == itemPlainTextTitle;
}

void ZPHCoreDataArticleSaverOperation::updateArticle(CBDataArticle* article, const CBParsedNewsItem& item)
{
  m_idsOfItemsInFeed.insert(article->objectID());

  const auto copy = [](const QString& current, const QString& value, auto setter) {
    if (stringsDiffer(current, value))
      setter(value);
  };
  copy(article->authorEmail(), item.authorEmail(), [&](const QString& v) { article->setAuthorEmail(v); });
  copy(article->authorName(), item.author(), [&](const QString& v) { article->setAuthorName(v); });
  copy(article->authorURL(), item.authorURL(), [&](const QString& v) { article->setAuthorURL(v); });
  copy(article->guid(), item.guid(), [&](const QString& v) { article->setGuid(v); });
  copy(article->link(), item.link(), [&](const QString& v) { article->setLink(v); });
  copy(article->permalink(), item.permalink(), [&](const QString& v) { article->setPermalink(v); });
  copy(article->plainTextTitle(), item.plainTextTitle(), [&](const QString& v) { article->setPlainTextTitle(v); });
  copy(article->plainTextPreview(), item.preview(), [&](const QString& v) { article->setPlainTextPreview(v); });
  copy(article->summary(), item.summary(), [&](const QString& v) { article->setSummary(v); });
  copy(article->thumbnailURL(), item.thumbnailURL(), [&](const QString& v) { article->setThumbnailURL(v); });
  copy(article->title(), item.title(), [&](const QString& v) { article->setTitle(v); });

  if (!datesEqual(article->dateModified(), item.dateModified()))
    article->setDateModified(item.dateModified());
  if (!datesEqual(article->datePublished(), item.pubDate()))
    article->setDatePublished(item.pubDate());
  QDateTime dateForDisplay = article->datePublished();
  if (!dateForDisplay.isValid())
    dateForDisplay = article->dateModified();
  if (!dateForDisplay.isValid())
    dateForDisplay = article->dateArrived();
  if (!datesEqual(article->dateForDisplay(), dateForDisplay))
    article->setDateForDisplay(dateForDisplay);

  CBDataArticleContent* content = article->content();
  if (content == nullptr)
    content = article->insertArticleContentWithMOC(m_context);
  const QString html = item.htmlText();
  if (content != nullptr) {
    if (stringsDiffer(content->htmlText(), html))
      content->setHtmlText(html);
    if (stringsDiffer(content->xmlBaseURL(), item.xmlBaseURL()))
      content->setXmlBaseURL(item.xmlBaseURL());
  }

  if (article->thumbnailURL().isEmpty()) {
    const QString firstImage = cb_firstImgURLStringInHTML(html);
    if (!firstImage.isEmpty())
      article->setThumbnailURL(firstImage);
  }

  updateEnclosures(article, item);

  if (content != nullptr && !content->htmlText().isEmpty()) {
    if (ZPHArticleImageCacheController* cache = ZPHArticleImageCacheController::sharedController())
      cache->requestCachingOfImagesFoundInArticleContentHTML(content->htmlText(), article->baseURLWithMOC(m_context));
  }
}

// One stored enclosure per usable parsed enclosure (matched by address, so an
// unchanged list changes nothing); the media flags follow what is stored.
void ZPHCoreDataArticleSaverOperation::updateEnclosures(CBDataArticle* article, const CBParsedNewsItem& item)
{
  QHash<QString, std::shared_ptr<CBParsedEnclosure>> parsedByURL;
  QStringList order;
  for (const std::shared_ptr<CBParsedEnclosure>& parsed : item.enclosures()) {
    if (!parsed)
      continue;
    const QString url = storedEnclosureURLString(*parsed);
    if (url.isEmpty() || parsedByURL.contains(url))
      continue;
    parsedByURL.insert(url, parsed);
    order.append(url);
  }

  QHash<QString, ZPHManagedObject*> storedByURL;
  for (ZPHManagedObject* stored : article->enclosures()) {
    const QString url = stored->value(EnclosureURLKey).toString();
    if (!parsedByURL.contains(url) || storedByURL.contains(url))
      m_context->deleteObject(stored);
    else
      storedByURL.insert(url, stored);
  }

  bool hasAudio = false;
  bool hasVideo = false;
  for (const QString& url : std::as_const(order)) {
    const CBParsedEnclosure& parsed = *parsedByURL.value(url);
    ZPHManagedObject* stored = storedByURL.value(url);
    if (stored == nullptr)
      stored = article->insertEnclosureWithURL(QUrl(url), m_context);
    if (stored == nullptr)
      continue;
    updateEnclosure(stored, parsed);
    const int mediaType = stored->value(QStringLiteral("mediaType")).toInt();
    hasAudio = hasAudio || mediaType == CBEnclosureMediaTypeAudio;
    hasVideo = hasVideo || mediaType == CBEnclosureMediaTypeMovie;
  }
  if (article->hasAudioEnclosure() != hasAudio)
    article->setHasAudioEnclosure(hasAudio);
  if (article->hasVideoEnclosure() != hasVideo)
    article->setHasVideoEnclosure(hasVideo);
}

void ZPHCoreDataArticleSaverOperation::updateEnclosure(ZPHManagedObject* enclosure,
                                                       const CBParsedEnclosure& parsedEnclosure)
{
  const auto set = [enclosure](const QString& key, const QVariant& value) {
    const QVariant current = enclosure->value(key);
    if (current.isNull() != value.isNull() || current != value)
      enclosure->setValue(key, value);
  };
  set(QStringLiteral("bitRate"), QVariant::fromValue<qint64>(parsedEnclosure.bitrate()));
  set(QStringLiteral("fileSize"), QVariant::fromValue<qint64>(parsedEnclosure.fileSize()));
  set(QStringLiteral("height"), QVariant::fromValue<qint64>(parsedEnclosure.height()));
  set(QStringLiteral("mediaType"), QVariant::fromValue<qint64>(mediaTypeOfParsedEnclosure(parsedEnclosure)));
  set(QStringLiteral("medium"), parsedEnclosure.medium().isNull() ? QVariant() : QVariant(parsedEnclosure.medium()));
  const QString mimeType = parsedEnclosure.mimeType();
  set(QStringLiteral("mimeType"), mimeType.isNull() ? QVariant() : QVariant(mimeType));
  set(QStringLiteral("width"), QVariant::fromValue<qint64>(parsedEnclosure.width()));
}

void ZPHCoreDataArticleSaverOperation::processMetadataForSavedArticles(const QList<CBDataArticle*>& articles,
                                                                       CBFeed* feed)
{
  QHash<QString, QList<ArticleMetadata*>> recordsByGuid;
  for (ArticleMetadata* record : ArticleMetadata::findArticleMetadataForArticlesByGUID(articles, m_context))
    recordsByGuid[record->guid()].append(record);

  const double markAllAsReadDate = feed != nullptr ? feed->markAllAsReadLastArticleDate() : 0;
  for (CBDataArticle* article : articles) {
    QString key = article->bestLink();
    ArticleMetadata* chosen = nullptr;
    for (ArticleMetadata* record : recordsByGuid.value(key)) {
      CBDataArticle* holder = record->article();
      if (holder == nullptr || holder == article) {
        chosen = record;
        break;
      }
    }
    if (chosen != nullptr) {
      if (article->metadata() != chosen)
        article->setMetadata(chosen);
    } else if (article->metadata() == nullptr) {
      if (key.isEmpty()) {
        qCCritical(zphFeeds).noquote()
            << QStringLiteral("Article %1 has no guid / bestlink. Creating a UUID string to use as the guid")
                   .arg(article->objectID().URIRepresentation().toString());
        key = cb_uuidString();
      }
      if (ArticleMetadata* record = ArticleMetadata::insertArticleMetadataForGUID(key, m_context))
        article->setMetadata(record);
    }
    // A new article not newer than the feed's last mark-all-read arrives read.
    if (feed != nullptr && m_insertedArticles.contains(article)) {
      const QDateTime date = article->dateForDisplay();
      if (date.isValid() && double(date.toMSecsSinceEpoch()) / 1000.0 <= markAllAsReadDate) {
        if (ArticleMetadata* metadata = article->metadata(); metadata != nullptr && !metadata->read())
          metadata->setRead(true);
      }
    }
  }
}

void ZPHCoreDataArticleSaverOperation::markMissingItemsAsDeleted()
{
  for (CBDataArticle* article : existingArticles()) {
    if (m_idsOfItemsInFeed.contains(article->objectID()))
      continue;
    if (article->read() && !article->flagged() && !article->markedForDeletion())
      article->setMarkedForDeletion(true);
  }
}
