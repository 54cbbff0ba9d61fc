#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"

#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/parsers/CBParsedEnclosure.h"
#include "feeds/parsers/CBParsedNewsItem.h"
#include "foundation/CBEntityConversion.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperationQueue.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QSet>
#include <QtCore/QThread>
#include <QtCore/QThreadPool>
#include <QtCore/QTimeZone>
#include <QtCore/QWaitCondition>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <vector>

namespace {

const QString EnclosureURLKey = QStringLiteral("URL");
const QString EnclosureArticleKey = QStringLiteral("article");

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

// The texts of an item that updateArticle() copies into its article.
QString (CBParsedNewsItem::*const ArticleTexts[])() const = {
    &CBParsedNewsItem::authorEmail,    &CBParsedNewsItem::author,  &CBParsedNewsItem::authorURL,
    &CBParsedNewsItem::guid,           &CBParsedNewsItem::link,    &CBParsedNewsItem::permalink,
    &CBParsedNewsItem::plainTextTitle, &CBParsedNewsItem::preview, &CBParsedNewsItem::summary,
    &CBParsedNewsItem::thumbnailURL,   &CBParsedNewsItem::title};

// HTML in which the image finder sees no tag ("<img" or "IMG") has no image
// to cache.
bool hasImageTag(const QString& html)
{
  return html.contains(QLatin1String("<img")) || html.contains(QLatin1String("IMG"));
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

// The text work on a saver's items: each item's derived values (the ones
// the item keeps once worked out, and its HTML's search text and first
// image), worked out once per item by whichever thread claims the item
// first: helper threads of the global pool, and the saver itself when it
// needs them. Each item is touched by one thread only, and only before the
// saver saves it.
struct ZPHCoreDataArticleSaverOperation::ItemPreparation
    : std::enable_shared_from_this<ZPHCoreDataArticleSaverOperation::ItemPreparation> {
  // Each item once, also when the list holds it twice.
  explicit ItemPreparation(const QList<std::shared_ptr<CBParsedNewsItem>>& parsedArticles, bool withHtmlTexts = true)
      : htmlTexts(withHtmlTexts)
  {
    QSet<const CBParsedNewsItem*> seen;
    for (const std::shared_ptr<CBParsedNewsItem>& item : parsedArticles) {
      if (item && !seen.contains(item.get())) {
        seen.insert(item.get());
        items.append(item);
      }
    }
    prepared.resize(size_t(items.size()));
  }

  // Wakes `helpers` pool threads one after the other (each wakes the next,
  // so the caller pays for one wake-up only).
  void start(int helpers)
  {
    helpersLeft = helpers;
    startHelper();
  }

  // Works on the items nobody claimed yet, then waits for those that
  // helpers are working on. Helpers that start later find nothing to do.
  void finish()
  {
    drain();
    QMutexLocker locker(&mutex);
    closed = true;
    while (running > 0) idle.wait(&mutex);
  }

  QList<std::shared_ptr<CBParsedNewsItem>> items;
  std::vector<PreparedItem> prepared;  // by item index
  const bool htmlTexts;                // the HTML's stored forms too

private:
  void startHelper()
  {
    if (helpersLeft.fetch_sub(1) <= 0 || next.load() >= items.size())
      return;
    if (QThreadPool* pool = QThreadPool::globalInstance())
      pool->start([self = shared_from_this()] { self->help(); });
  }

  void help()
  {
    {
      QMutexLocker locker(&mutex);
      if (closed)
        return;
      ++running;
    }
    startHelper();
    drain();
    QMutexLocker locker(&mutex);
    if (--running == 0)
      idle.wakeAll();
  }

  void drain()
  {
    for (qsizetype i = next.fetch_add(1); i < items.size(); i = next.fetch_add(1)) prepare(i);
  }

  void prepare(qsizetype i)
  {
    const CBParsedNewsItem* item = items.at(i).get();
    if (item->guid().isEmpty() && item->link().isEmpty() && item->permalink().isEmpty())
      return;  // never saved
    const QString html = item->htmlText();
    PreparedItem& result = prepared[size_t(i)];
    if (item->thumbnailURL().isEmpty())
      result.firstImage = cb_firstImgURLStringInHTML(html);
    // What updateArticle() would otherwise work out on the store queue: the
    // texts as the store keeps them, and whether the HTML shows an image.
    // (plainTextTitle() and preview() are worked out here on first call.)
    if (htmlTexts) {
      result.htmlText = CobbletonExtras::zph_stringByReplacingSingularSurrogates(html);
      result.normalizedText = CobbletonExtras::zph_stringByReplacingSingularSurrogates(
          CBDataArticleContent::normalizedTextFromHtmlText(html));
      result.hasHtmlTexts = true;
    }
    // Scrubbing replaces unpaired surrogates only, never a tag's characters.
    result.htmlHasImageTag = hasImageTag(html);
    result.textsAreClean = std::all_of(
        std::begin(ArticleTexts), std::end(ArticleTexts), [item](QString (CBParsedNewsItem::*text)() const) {
          const QString value = (item->*text)();
          return CobbletonExtras::zph_stringByReplacingSingularSurrogates(value).constData() == value.constData();
        });
    result.isPrepared = true;
  }

  std::atomic<int> helpersLeft{0};
  std::atomic<qsizetype> next{0};
  QMutex mutex;
  QWaitCondition idle;
  int running = 0;
  bool closed = false;
};

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
  if (m_runByBatch.load()) {
    // The saver before it saved these articles along with its own; what is
    // left is the announcement, in the order the savers were queued.
    postArticlesUpdatedNotification();
    return;
  }
  if (m_privateContext) {
    m_privateContext->performBlockAndWait([this] {
      runGuarded(QStringLiteral(" in private queue context"), [this] { runCoreDataArticleSaverOperation(); });
    });
    return;
  }
  runBatch();
  postArticlesUpdatedNotification();
}

bool ZPHCoreDataArticleSaverOperation::runGuarded(const QString& where, const std::function<void()>& body)
{
  // An exception is logged, with where the run took place.
  try {
    body();
    return true;
  } catch (const std::exception& exception) {
    qCCritical(zphFeeds).noquote() << QStringLiteral("Exception running core data article saver operation%1! %2")
                                          .arg(where, QString::fromLocal8Bit(exception.what()));
  } catch (...) {
    qCCritical(zphFeeds).noquote()
        << QStringLiteral("Exception running core data article saver operation%1!").arg(where);
  }
  return false;
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
  struct LeaveContext {
    ZPHCoreDataArticleSaverOperation* saver;
    ~LeaveContext()
    {
      saver->m_context = nullptr;
      saver->m_temporaryContext.reset();
    }
  } leave{this};
  if (!m_privateContext)
    prepareNextSaver(this);
  if (!mergeItemsIntoContext())
    return;
  // A failed save reaches the application delegate's store-failure path and
  // leaves the context with its changes; nothing then counts as saved. A
  // cancel stops the save of a temporary context between its slices, as in
  // runBatch().
  if (m_temporaryContext)
    m_temporaryContext->setSaveStopCondition([this] { return isCancelled(); });
  CBSaveManagedObjectContext(m_context);
  settleAfterSave(!m_context->hasChanges());
}

// Savers queued one after the other on the store queue go into the store
// together: the first runs the items of each in turn in one context, in
// queue order, and saves them in one save (one transaction, or slices of
// whole articles when large), so that the store commits, and the main
// context merges, once for several feeds instead of once each. Each saver
// is otherwise as it would be alone: its own feed, matching and counts, its
// own cancel; the ones taken along still run in their turn, to announce
// their articles and finish.
void ZPHCoreDataArticleSaverOperation::runBatch()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  std::shared_ptr<ZPHManagedObjectContext> context =
      delegate != nullptr ? delegate->temporaryManagedObjectContext() : nullptr;
  if (context == nullptr) {
    qCWarning(zphFeeds) << "No store context to save the articles of" << m_feedURL;
    return;
  }
  const std::vector<std::shared_ptr<ZPHCoreDataArticleSaverOperation>> followers = takeFollowers();
  // Their text work goes on beside this one's run.
  for (const auto& follower : followers) follower->startPreparingItemsAhead();
  prepareNextSaver(followers.empty() ? this : followers.back().get());

  std::vector<ZPHCoreDataArticleSaverOperation*> members{this};
  for (const auto& follower : followers) members.push_back(follower.get());
  std::vector<ZPHCoreDataArticleSaverOperation*> merged;
  ZPHCoreDataArticleSaverOperation* failed = nullptr;
  for (ZPHCoreDataArticleSaverOperation* member : members) {
    // One cancelled while it waited would not have run.
    if (member != this && member->isCancelled())
      continue;
    member->m_context = context.get();
    bool hasChanges = false;
    if (!runGuarded(QString(), [&] { hasChanges = member->mergeItemsIntoContext(); })) {
      failed = member;
      break;
    }
    if (hasChanges)
      merged.push_back(member);
  }
  if (failed != nullptr) {
    // What the others did is in the context with what the failed one left
    // half done: it goes, and the others run again, each alone, as if the
    // failed one had run alone.
    for (ZPHCoreDataArticleSaverOperation* member : members) member->m_context = nullptr;
    context->reset();
    context.reset();
    for (ZPHCoreDataArticleSaverOperation* member : members) {
      if (member == failed || (member != this && member->isCancelled()))
        continue;
      member->resetRunState();
      runGuarded(QString(), [member] { member->runCoreDataArticleSaverOperation(); });
    }
    return;
  }
  bool saved = false;
  // The saver that runs the batch cancelled meanwhile (the program quits):
  // the cancel ends the run at its next article, or the save between two
  // of its slices (what the slices before wrote stays, the rest goes with
  // the context); every member's feed keeps its validators and digest
  // unstored, and the next refresh saves these items again, finding the
  // articles already saved.
  if (!merged.empty() && !isCancelled()) {
    context->setSaveStopCondition([this] { return isCancelled(); });
    runGuarded(QString(), [&] {
      CBSaveManagedObjectContext(context.get());
      saved = !context->hasChanges();
    });
    if (!saved && isCancelled())
      qCInfo(zphFeeds) << "Saving the articles of" << merged.size() << "feeds stopped by a cancel";
  }
  for (ZPHCoreDataArticleSaverOperation* member : members) member->m_context = nullptr;
  // The batch's thousands of objects and parsed items are let go of on a
  // pool thread: the store queue has the next batch to run.
  context->resetDestroyingObjectsInBackground();
  context.reset();
  QList<std::shared_ptr<CBParsedNewsItem>> parsedItems;
  for (ZPHCoreDataArticleSaverOperation* member : merged) {
    parsedItems += member->m_parsedArticles;
    member->settleAfterSave(saved);
  }
  if (QThreadPool* pool = QThreadPool::globalInstance())
    pool->start([parsedItems = std::move(parsedItems)]() mutable { parsedItems.clear(); });
}

std::vector<std::shared_ptr<ZPHCoreDataArticleSaverOperation>> ZPHCoreDataArticleSaverOperation::takeFollowers()
{
  std::vector<std::shared_ptr<ZPHCoreDataArticleSaverOperation>> followers;
  ZPHOperationQueue* queue = ZPHOperationQueue::currentQueue();
  if (queue == nullptr || queue->maxConcurrentOperationCount() != 1)
    return followers;
  qsizetype items = m_parsedArticles.size();
  // Only the savers right behind this one: whatever else waits between them
  // keeps its place in the order.
  for (const std::shared_ptr<ZPHOperation>& operation : queue->waitingOperations(MaxSaversPerBatch - 1)) {
    auto saver = std::dynamic_pointer_cast<ZPHCoreDataArticleSaverOperation>(operation);
    if (!saver || saver->m_privateContext || saver->isCancelled() || saver->m_runByBatch.load())
      break;
    items += saver->m_parsedArticles.size();
    if (items > MaxItemsPerBatch)
      break;
    saver->m_runByBatch = true;
    followers.push_back(std::move(saver));
  }
  return followers;
}

bool ZPHCoreDataArticleSaverOperation::mergeItemsIntoContext()
{
  CBFeed* feed = CBFeed::feedWithURL(m_feedURL.toString(QUrl::FullyEncoded), m_context);
  if (feed == nullptr)
    return false;  // the feed was deleted meanwhile

  m_latestPublishDate = distantPast();
  m_unreadCount = feed->unreadCount();
  prepareItems();

  // The articles' images are asked for once the run ends, however it ends.
  m_collectsImageCachingRequests = true;
  struct SendImageCachingRequests {
    ZPHCoreDataArticleSaverOperation* saver;
    ~SendImageCachingRequests() { saver->sendImageCachingRequests(); }
  } sendImageCachingRequests{this};

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

  bool statesChanged = false;
  if (!savedArticles.isEmpty())
    statesChanged = processMetadataForSavedArticles(savedArticles, feed);
  // New articles, or states taken from other records: the feed's stored
  // count (and its folders') no longer holds, in this same save, until a
  // recount writes it again; also when the program stops before that.
  if ((statesChanged || !m_insertedArticles.isEmpty()) && feed->unreadCountIsValid())
    feed->setUnreadCountIsValid(false);

  if (!stoppedByCancellation && !isCancelled()) {
    if (m_skipsMarkingMissingItemsAsDeleted)
      qCInfo(zphFeeds) << "Feed" << m_feedURL << "broke off; articles missing from it are kept";
    else
      markMissingItemsAsDeleted();
  }

  m_existingArticles.reset();
  m_insertedArticles.clear();
  m_enclosuresByArticle.clear();
  m_preparedItems.clear();
  return true;
}

void ZPHCoreDataArticleSaverOperation::settleAfterSave(bool saved)
{
  m_parsedArticles.clear();
  if (saved && !isCancelled())
    m_didSaveUncancelled = true;
}

void ZPHCoreDataArticleSaverOperation::resetRunState()
{
  m_existingArticles.reset();
  m_idsOfItemsInFeed.clear();
  m_insertedArticles.clear();
  m_insertedInOrder.clear();
  m_articlesByGuid.clear();
  m_articlesByGuidBuilt = false;
  m_guidlessOrder.clear();
  m_guidlessByTitle.clear();
  m_guidlessByDate.clear();
  m_guidlessByLink.clear();
  m_guidlessIndexBuilt = false;
  m_enclosuresByArticle.clear();
  m_didFetchStoredEnclosures = false;
  m_preparedItems.clear();
  m_imageCachingRequests.clear();
  m_unreadCount = 0;
}

void ZPHCoreDataArticleSaverOperation::postArticlesUpdatedNotification()
{
  if (!m_didSaveUncancelled.load() || m_privateContext || isCancelled())
    return;
  ZPHNotificationCenter::defaultCenter().postOnMainThread(
      ZPHFeedRefreshArticlesUpdatedNotification,
      QVariant::fromValue(std::static_pointer_cast<CBOperation>(
          std::static_pointer_cast<ZPHCoreDataArticleSaverOperation>(shared_from_this()))),
      {{CBURLKey, m_feedURL},
       {ZPHFeedRefreshUnreadCountKey, QVariant::fromValue<quint64>(m_unreadCount)},
       {ZPHFeedRefreshLatestPublishDateKey, m_latestPublishDate}});
}

// The store queue is serial; the text work on each item is not. It is
// done on several threads: ahead of the run when the saver queued before
// this one started it (see startPreparingItemsAhead()), else here, helped
// by pool threads, before the items are saved one by one.
void ZPHCoreDataArticleSaverOperation::prepareItems()
{
  std::shared_ptr<ItemPreparation> preparation;
  {
    QMutexLocker locker(&m_preparationMutex);
    preparation = m_preparation;
    if (!preparation) {
      preparation = std::make_shared<ItemPreparation>(m_parsedArticles);
      m_preparation = preparation;
      preparation->start(helperCount(preparation->items.size()));
    }
  }
  preparation->finish();
  for (qsizetype i = 0; i < preparation->items.size(); ++i) {
    if (preparation->prepared[size_t(i)].isPrepared)
      m_preparedItems.emplace(preparation->items.at(i).get(), std::move(preparation->prepared[size_t(i)]));
  }
  QMutexLocker locker(&m_preparationMutex);
  m_preparation.reset();
}

int ZPHCoreDataArticleSaverOperation::helperCount(qsizetype items)
{
  // A handful of items each: fewer helpers than that are not worth waking.
  return int(qMax<qsizetype>(0, qMin<qsizetype>(QThread::idealThreadCount() - 1, items / 8)));
}

void ZPHCoreDataArticleSaverOperation::prepareItemsOnThisThread(bool mostItemsStored)
{
  std::shared_ptr<ItemPreparation> preparation;
  {
    QMutexLocker locker(&m_preparationMutex);
    if (m_preparation || m_parsedArticles.isEmpty() || isCancelled())
      return;
    preparation = std::make_shared<ItemPreparation>(m_parsedArticles, !mostItemsStored);
    m_preparation = preparation;
  }
  // No helpers: every item on this thread, now.
  preparation->finish();
}

// Called by the saver running just before this one on the store queue: this
// saver's items are worked on while that one saves.
void ZPHCoreDataArticleSaverOperation::startPreparingItemsAhead()
{
  QMutexLocker locker(&m_preparationMutex);
  if (m_preparation || m_parsedArticles.isEmpty() || isCancelled())
    return;
  m_preparation = std::make_shared<ItemPreparation>(m_parsedArticles);
  // At least one helper: nobody else works on them until this saver runs.
  m_preparation->start(qMax(1, helperCount(m_parsedArticles.size())));
}

// The next saver waiting on the store queue behind `last` (this saver, or
// the last one its batch takes along), if any, starts on its items now.
void ZPHCoreDataArticleSaverOperation::prepareNextSaver(ZPHCoreDataArticleSaverOperation* last)
{
  ZPHOperationQueue* queue = ZPHOperationQueue::currentQueue();
  if (queue == nullptr || queue->maxConcurrentOperationCount() != 1)
    return;
  const QList<std::shared_ptr<ZPHOperation>> waiting = queue->waitingOperations(MaxSaversPerBatch + 4);
  qsizetype from = 0;
  if (last != this) {
    while (from < waiting.size() && waiting.at(from).get() != last) ++from;
    ++from;  // behind the last one taken along
  }
  // A few store blocks may sit between two savers.
  for (qsizetype i = from; i < waiting.size() && i < from + 4; ++i) {
    if (auto saver = std::dynamic_pointer_cast<ZPHCoreDataArticleSaverOperation>(waiting.at(i))) {
      if (!saver->m_privateContext && !saver->m_runByBatch.load())
        saver->startPreparingItemsAhead();
      return;
    }
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
    m_insertedInOrder.append(article);
  }
  updateArticle(article, item);
  // Later items of this feed match what this one left: a guid listed twice
  // makes one article, and a stored article without guid is found by the
  // values it has now. (Two items without guid stay two articles, as items
  // of one feed that happen to share a date or link.)
  if (inserted) {
    if (m_articlesByGuidBuilt)
      learnGuid(article);
  } else if (m_guidlessIndexBuilt) {
    learnArticleWithoutGuid(article);
  }
  // A new article has no metadata yet, so every new one counts.
  if (inserted && !article->read())
    ++m_unreadCount;
  return article;
}

QList<CBDataArticle*> ZPHCoreDataArticleSaverOperation::existingArticles()
{
  // Every item is compared with its article's body: the bodies come along.
  if (!m_existingArticles)
    m_existingArticles = CBDataArticle::articlesWithContentForFeedWithURL(m_feedURL, m_context);
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
  if (!m_articlesByGuidBuilt) {
    m_articlesByGuidBuilt = true;
    const QList<CBDataArticle*> stored = existingArticles();
    m_articlesByGuid.reserve(stored.size() + m_parsedArticles.size());
    for (CBDataArticle* article : stored) learnGuid(article);
    for (CBDataArticle* article : std::as_const(m_insertedInOrder)) learnGuid(article);
  }
  return m_articlesByGuid.value(item.guid());
}

void ZPHCoreDataArticleSaverOperation::learnGuid(CBDataArticle* article)
{
  const QString guid = article->guid();
  // The first article in fetched order keeps a guid listed twice.
  if (!guid.isEmpty() && !m_articlesByGuid.contains(guid))
    m_articlesByGuid.insert(guid, article);
}

void ZPHCoreDataArticleSaverOperation::learnArticleWithoutGuid(CBDataArticle* article)
{
  // The feed's stored articles only, by their values now.
  if (!article->guid().isEmpty())
    return;
  if (!m_guidlessOrder.contains(article))
    m_guidlessOrder.insert(article, m_guidlessOrder.size());
  // Values it had before stay listed: a candidate is always checked again.
  if (!article->title().isNull())
    m_guidlessByTitle.insert(article->title(), article);
  if (const QDateTime published = article->datePublished(); published.isValid())
    m_guidlessByDate.insert(published.toMSecsSinceEpoch(), article);
  if (!article->link().isNull())
    m_guidlessByLink.insert(article->link(), article);
}

CBDataArticle* ZPHCoreDataArticleSaverOperation::existingArticleForParsedArticleWithoutGuid(
    const CBParsedNewsItem& item)
{
  if (!m_guidlessIndexBuilt) {
    m_guidlessIndexBuilt = true;
    for (CBDataArticle* article : existingArticles()) learnArticleWithoutGuid(article);
  }
  // A match agrees on at least one of title, date and link: only the
  // articles that do are candidates, tried in fetched order.
  QList<CBDataArticle*> candidates;
  if (!item.title().isNull())
    candidates += m_guidlessByTitle.values(item.title());
  if (item.pubDate().isValid())
    candidates += m_guidlessByDate.values(item.pubDate().toMSecsSinceEpoch());
  if (!item.link().isNull())
    candidates += m_guidlessByLink.values(item.link());
  if (candidates.isEmpty())
    return nullptr;
  std::sort(candidates.begin(), candidates.end(),
            [this](CBDataArticle* a, CBDataArticle* b) { return m_guidlessOrder.value(a) < m_guidlessOrder.value(b); });
  CBDataArticle* previous = nullptr;
  for (CBDataArticle* article : std::as_const(candidates)) {
    if (article == previous)
      continue;
    previous = article;
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

  const auto prepared = m_preparedItems.constFind(&item);
  const bool isPrepared = prepared != m_preparedItems.constEnd();
  // The article's string setters scrub; texts known to be clean need not be
  // scanned again.
  const bool scrubs = !isPrepared || !prepared->textsAreClean;
  const auto copy = [&](int index, const QString& current, const QString& value) {
    if (stringsDiffer(current, value))
      article->zph_setValueForKeyWithScrubbing(index, value, scrubs);
  };
  copy(CBDataArticle::PropertyAuthorEmail, article->authorEmail(), item.authorEmail());
  copy(CBDataArticle::PropertyAuthorName, article->authorName(), item.author());
  copy(CBDataArticle::PropertyAuthorURL, article->authorURL(), item.authorURL());
  copy(CBDataArticle::PropertyGuid, article->guid(), item.guid());
  copy(CBDataArticle::PropertyLink, article->link(), item.link());
  copy(CBDataArticle::PropertyPermalink, article->permalink(), item.permalink());
  copy(CBDataArticle::PropertyPlainTextTitle, article->plainTextTitle(), item.plainTextTitle());
  copy(CBDataArticle::PropertyPlainTextPreview, article->plainTextPreview(), item.preview());
  copy(CBDataArticle::PropertySummary, article->summary(), item.summary());
  copy(CBDataArticle::PropertyThumbnailURL, article->thumbnailURL(), item.thumbnailURL());
  copy(CBDataArticle::PropertyTitle, article->title(), item.title());

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
    if (stringsDiffer(content->htmlText(), html)) {
      if (isPrepared && prepared->hasHtmlTexts) {
        // setHtmlText(), with the texts already worked out and scrubbed.
        content->zph_setValueForKeyWithScrubbing(CBDataArticleContent::PropertyHtmlText, prepared->htmlText, false);
        content->zph_setValueForKeyWithScrubbing(CBDataArticleContent::PropertyNormalizedText, prepared->normalizedText,
                                                 false);
      } else {
        content->setHtmlText(html);
      }
    }
    if (stringsDiffer(content->xmlBaseURL(), item.xmlBaseURL()))
      content->setXmlBaseURL(item.xmlBaseURL());
  }

  if (article->thumbnailURL().isEmpty()) {
    const QString firstImage =
        isPrepared && prepared->firstImage ? *prepared->firstImage : cb_firstImgURLStringInHTML(html);
    if (!firstImage.isEmpty())
      article->setThumbnailURL(firstImage);
  }

  updateEnclosures(article, item);

  // HTML in which the image finder sees no tag has no image to cache: the
  // request would do nothing. (The content's HTML is the item's, scrubbed,
  // which keeps its tags.)
  if (content != nullptr && (isPrepared ? prepared->htmlHasImageTag : hasImageTag(content->htmlText()))) {
    if (m_collectsImageCachingRequests) {
      m_imageCachingRequests.append({content->htmlText(), article->baseURLWithMOC(m_context)});
    } else if (ZPHArticleImageCacheController* cache = ZPHArticleImageCacheController::sharedController()) {
      cache->requestCachingOfImagesFoundInArticleContentHTML(content->htmlText(), article->baseURLWithMOC(m_context));
    }
  }
}

void ZPHCoreDataArticleSaverOperation::sendImageCachingRequests()
{
  m_collectsImageCachingRequests = false;
  if (m_imageCachingRequests.isEmpty())
    return;
  QList<std::pair<QString, QUrl>> requests;
  requests.swap(m_imageCachingRequests);
  const auto send = [requests = std::move(requests)] {
    if (ZPHArticleImageCacheController* cache = ZPHArticleImageCacheController::sharedController()) {
      for (const auto& [html, baseURL] : requests)
        cache->requestCachingOfImagesFoundInArticleContentHTML(html, baseURL);
    }
  };
  if (QThreadPool* pool = QThreadPool::globalInstance())
    pool->start(send);
  else
    send();
}

// One stored enclosure per usable parsed enclosure (matched by address, so an
// unchanged list changes nothing); the media flags follow what is stored.
void ZPHCoreDataArticleSaverOperation::updateEnclosures(CBDataArticle* article, const CBParsedNewsItem& item)
{
  // An article this run made, for an item without enclosures (most of them):
  // none to keep, none to make.
  if (item.enclosures().isEmpty() && m_insertedArticles.contains(article) && !m_enclosuresByArticle.contains(article)) {
    if (article->hasAudioEnclosure())
      article->setHasAudioEnclosure(false);
    if (article->hasVideoEnclosure())
      article->setHasVideoEnclosure(false);
    return;
  }
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
  QList<ZPHManagedObject*> kept;
  for (ZPHManagedObject* stored : enclosuresOfArticle(article)) {
    const QString url = stored->value(EnclosureURLKey).toString();
    if (!parsedByURL.contains(url) || storedByURL.contains(url)) {
      m_context->deleteObject(stored);
    } else {
      storedByURL.insert(url, stored);
      kept.append(stored);
    }
  }

  bool hasAudio = false;
  bool hasVideo = false;
  QList<ZPHManagedObject*> inserted;
  for (const QString& url : std::as_const(order)) {
    const CBParsedEnclosure& parsed = *parsedByURL.value(url);
    ZPHManagedObject* stored = storedByURL.value(url);
    if (stored == nullptr) {
      stored = article->insertEnclosureWithURL(QUrl(url), m_context);
      if (stored != nullptr)
        inserted.append(stored);
    }
    if (stored == nullptr)
      continue;
    updateEnclosure(stored, parsed);
    const int mediaType = stored->value(QStringLiteral("mediaType")).toInt();
    hasAudio = hasAudio || mediaType == CBEnclosureMediaTypeAudio;
    hasVideo = hasVideo || mediaType == CBEnclosureMediaTypeMovie;
  }
  // What a fetch would now answer: the kept ones in stored order, then the
  // new ones in the order they were made.
  m_enclosuresByArticle.insert(article, kept + inserted);
  if (article->hasAudioEnclosure() != hasAudio)
    article->setHasAudioEnclosure(hasAudio);
  if (article->hasVideoEnclosure() != hasVideo)
    article->setHasVideoEnclosure(hasVideo);
}

QList<ZPHManagedObject*> ZPHCoreDataArticleSaverOperation::enclosuresOfArticle(CBDataArticle* article)
{
  const auto known = m_enclosuresByArticle.constFind(article);
  if (known != m_enclosuresByArticle.constEnd())
    return known.value();
  // Nothing links to an article made by this run until this run does.
  if (m_insertedArticles.contains(article))
    return {};
  if (!m_didFetchStoredEnclosures && m_context != nullptr) {
    m_didFetchStoredEnclosures = true;
    const QList<CBDataArticle*> stored = existingArticles();
    QVariantList articleIDs;
    articleIDs.reserve(stored.size());
    for (const CBDataArticle* candidate : stored) {
      if (!candidate->objectID().isTemporaryID())
        articleIDs.append(QVariant::fromValue(candidate->objectID()));
    }
    if (!articleIDs.isEmpty()) {
      // Grouped per article in the order the store answers, which is the
      // order a fetch of one article's enclosures gives.
      ZPHFetchRequest request(CBDataEntityNameEnclosure, ZPHPredicate::in(EnclosureArticleKey, articleIDs));
      QHash<ZPHManagedObjectID, QList<ZPHManagedObject*>> byArticleID;
      for (ZPHManagedObject* enclosure : m_context->executeFetchRequest(request))
        byArticleID[enclosure->primitiveValue(enclosure->entity()->indexOfProperty(EnclosureArticleKey))
                        .value<ZPHManagedObjectID>()]
            .append(enclosure);
      for (CBDataArticle* candidate : stored) {
        if (!m_enclosuresByArticle.contains(candidate))
          m_enclosuresByArticle.insert(candidate, byArticleID.value(candidate->objectID()));
      }
    }
    const auto fetched = m_enclosuresByArticle.constFind(article);
    if (fetched != m_enclosuresByArticle.constEnd())
      return fetched.value();
  }
  // An article from elsewhere: asked directly.
  return article->enclosures();
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

bool ZPHCoreDataArticleSaverOperation::processMetadataForSavedArticles(const QList<CBDataArticle*>& articles,
                                                                       CBFeed* feed)
{
  // An article that already holds the record of its key keeps it (most of
  // a feed's items on a refresh), and is not new either, as a new article
  // has no record yet: only the others are looked up and gone through.
  QList<CBDataArticle*> unmatched;
  for (CBDataArticle* article : articles) {
    const ArticleMetadata* own = article->metadata();
    if (own == nullptr || own->guid().isEmpty() || own->guid() != article->bestLink())
      unmatched.append(article);
  }
  QHash<QString, QList<ArticleMetadata*>> recordsByGuid;
  if (!unmatched.isEmpty()) {
    for (ArticleMetadata* record : ArticleMetadata::findArticleMetadataForArticlesByGUID(unmatched, m_context))
      recordsByGuid[record->guid()].append(record);
  }

  const double markAllAsReadDate = feed != nullptr ? feed->markAllAsReadLastArticleDate() : 0;
  for (CBDataArticle* article : std::as_const(unmatched)) {
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
  return !unmatched.isEmpty();
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
