#pragma once

#include "platform/CBOperation.h"
#include "store/ZPHFeedIngestionInterface.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMultiHash>
#include <QtCore/QMutex>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CBDataArticle;
class CBFeed;
class CBParsedEnclosure;
class CBParsedNewsItem;
class ZPHManagedObject;
class ZPHManagedObjectContext;

// ZPHFeedRefreshArticlesUpdatedNotification and its keys, posted after a
// saver saved, come from store/ZPHFeedIngestionInterface.h.

// Merges the parsed items of one feed into the article store: finds the
// stored article each item stands for (by guid, else by two of title, date
// and link), inserts or updates articles, their contents and enclosures,
// reattaches read and bookmark state by best link, marks new articles read
// when they are not newer than the feed's last mark-all-read, and marks for
// deletion the read, unbookmarked articles that left the feed.
//
// Runs once, on the store queue in a temporary context, or inside a
// private-queue context the caller gives. On the store queue, savers queued
// right behind one another save together: the first runs the items of each
// in turn in one context and saves them all in one save (see runBatch());
// cancelled while it runs, it stops at its next item and saves nothing, or,
// once its save has begun, between two slices of the save (the articles of
// the slices committed stay saved; the next refresh finds them).
// A failed save goes to the application delegate's store-failure path.
class ZPHCoreDataArticleSaverOperation : public CBOperation {
public:
  ZPHCoreDataArticleSaverOperation(const QList<std::shared_ptr<CBParsedNewsItem>>& parsedArticles, const QUrl& feedURL);
  ~ZPHCoreDataArticleSaverOperation() override;

  // Optional, before queuing: the run happens inside this context and
  // nothing is posted.
  void setPrivateQueueManagedObjectContext(std::shared_ptr<ZPHManagedObjectContext> context);
  std::shared_ptr<ZPHManagedObjectContext> privateQueueManagedObjectContext() const { return m_privateContext; }

  // A feed whose XML broke off lists only the items before the break: set
  // this and the articles missing from the list are left alone.
  void setSkipsMarkingMissingItemsAsDeleted(bool skips) { m_skipsMarkingMissingItemsAsDeleted = skips; }
  bool skipsMarkingMissingItemsAsDeleted() const { return m_skipsMarkingMissingItemsAsDeleted; }

  // Optional, before queuing: works out the items' text (see prepareItems())
  // on the calling thread now, rather than on the store queue and its
  // helpers later. A refresh calls it on its own thread once it parsed: the
  // store queue, which every feed's save passes through, then only saves.
  // With `mostItemsStored` (the feed was saved before, so most items will
  // find their article unchanged), the HTML's stored forms are left to the
  // items whose HTML turns out to differ from the stored one.
  void prepareItemsOnThisThread(bool mostItemsStored);

  // True once a run saved its context and was not cancelled.
  bool didSaveUncancelled() const { return m_didSaveUncancelled.load(); }

  // A cancelled saver leaves its feed's validators and digest unstored, so
  // the next refresh saves its items again.
  bool mayBeDroppedAtQuit() const override { return true; }

  QList<std::shared_ptr<CBParsedNewsItem>> parsedArticles() const { return m_parsedArticles; }
  QUrl feedURL() const { return m_feedURL; }
  ZPHManagedObjectContext* managedObjectContext() const { return m_context; }
  quint64 unreadCount() const { return m_unreadCount; }
  QDateTime latestPublishDate() const { return m_latestPublishDate; }
  QSet<ZPHManagedObjectID> managedObjectIDsOfItemsInFeed() const { return m_idsOfItemsInFeed; }

  // At most this many savers, and this many items in all, save together.
  static constexpr int MaxSaversPerBatch = 32;
  static constexpr qsizetype MaxItemsPerBatch = 2000;

protected:
  void main() override;

private:
  // Runs `body`, logging an exception (with where the run took place);
  // false when one was thrown.
  static bool runGuarded(const QString& where, const std::function<void()>& body);
  // The run alone: in the private-queue context, or a temporary context of
  // its own.
  void runCoreDataArticleSaverOperation();
  // The run on the store queue, with the savers waiting right behind it.
  void runBatch();
  // The savers right behind this one on the store queue that its batch
  // takes along (marked so).
  std::vector<std::shared_ptr<ZPHCoreDataArticleSaverOperation>> takeFollowers();
  // Merges the items into m_context; false when there is nothing to save
  // (the feed is gone).
  bool mergeItemsIntoContext();
  // After the save of the context the items went into.
  void settleAfterSave(bool saved);
  // Forgets what a run learnt, for a run again from the start.
  void resetRunState();
  // ZPHFeedRefreshArticlesUpdatedNotification, once saved and not cancelled.
  void postArticlesUpdatedNotification();
  // One item: the stored article (found or inserted), or nullptr for an item
  // without guid, link and permalink.
  CBDataArticle* saveArticle(const CBParsedNewsItem& item, CBFeed* feed);
  // Matching, through maps of the stored articles built on first need: the
  // guid map learns every article this run inserts, the map of articles
  // without guid the values this run gives them.
  CBDataArticle* existingArticleForParsedArticle(const CBParsedNewsItem& item);
  CBDataArticle* existingArticleForParsedArticleThatHasGuid(const CBParsedNewsItem& item);
  CBDataArticle* existingArticleForParsedArticleWithoutGuid(const CBParsedNewsItem& item);
  // Two of title (or plain-text title), publication date and link agree,
  // and the stored article has no guid.
  static bool existingArticleIsSameAsParsedArticleWithoutGuid(const CBDataArticle* article,
                                                              const CBParsedNewsItem& item);
  void updateArticle(CBDataArticle* article, const CBParsedNewsItem& item);
  // Bit rate, file size, height, media type, medium, MIME type and width.
  static void updateEnclosure(ZPHManagedObject* enclosure, const CBParsedEnclosure& parsedEnclosure);
  // Whether it gave some article another state record (its read state may
  // have changed with it).
  bool processMetadataForSavedArticles(const QList<CBDataArticle*>& articles, CBFeed* feed);
  void markMissingItemsAsDeleted();
  // The feed's stored articles, fetched on first use.
  QList<CBDataArticle*> existingArticles();
  void learnGuid(CBDataArticle* article);
  void learnArticleWithoutGuid(CBDataArticle* article);

  // What updateArticle() derives from an item alone, worked out ahead on
  // several threads (see prepareItems()).
  struct PreparedItem {
    QString htmlText;                   // the item's HTML, scrubbed (see CBDataArticleContent)
    QString normalizedText;             // of the item's HTML, scrubbed
    std::optional<QString> firstImage;  // of the item's HTML; when it has no thumbnail
    bool htmlHasImageTag = false;       // where the image cache would look for images
    bool textsAreClean = false;         // no unpaired surrogate in the texts an article takes
    bool hasHtmlTexts = false;          // htmlText and normalizedText were worked out
    bool isPrepared = false;
  };
  struct ItemPreparation;
  void prepareItems();
  static int helperCount(qsizetype items);
  void startPreparingItemsAhead();
  void prepareNextSaver(ZPHCoreDataArticleSaverOperation* last);
  // Image caching asked for by updateArticle() during a run, handed to the
  // image cache controller from a pool thread once the run ends, so that the
  // wake-up of its queue for each article is not paid on the store queue.
  void sendImageCachingRequests();
  void updateEnclosures(CBDataArticle* article, const CBParsedNewsItem& item);
  // The article's stored enclosures as a fetch of them would answer, without
  // a fetch per article: none for an article inserted by this run, and for
  // the feed's stored articles one fetch for all of them.
  QList<ZPHManagedObject*> enclosuresOfArticle(CBDataArticle* article);

  QList<std::shared_ptr<CBParsedNewsItem>> m_parsedArticles;
  QUrl m_feedURL;
  std::shared_ptr<ZPHManagedObjectContext> m_privateContext;
  std::shared_ptr<ZPHManagedObjectContext> m_temporaryContext;
  ZPHManagedObjectContext* m_context = nullptr;
  std::optional<QList<CBDataArticle*>> m_existingArticles;
  QSet<ZPHManagedObjectID> m_idsOfItemsInFeed;
  QSet<CBDataArticle*> m_insertedArticles;
  QList<CBDataArticle*> m_insertedInOrder;
  // Non-empty guid -> the first article with it, stored ones in fetched
  // order, then the inserted ones.
  QHash<QString, CBDataArticle*> m_articlesByGuid;
  bool m_articlesByGuidBuilt = false;
  // The stored articles without guid, in fetched order, by title, date and
  // link.
  QHash<CBDataArticle*, qsizetype> m_guidlessOrder;
  QMultiHash<QString, CBDataArticle*> m_guidlessByTitle;
  QMultiHash<qint64, CBDataArticle*> m_guidlessByDate;
  QMultiHash<QString, CBDataArticle*> m_guidlessByLink;
  bool m_guidlessIndexBuilt = false;
  // Enclosures per article, as this run left them; the stored articles'
  // ones are fetched together on first need.
  QHash<CBDataArticle*, QList<ZPHManagedObject*>> m_enclosuresByArticle;
  bool m_didFetchStoredEnclosures = false;
  QHash<const CBParsedNewsItem*, PreparedItem> m_preparedItems;
  // The text work on the items once started (ahead of the run by the saver
  // before this one, or by the run), until the run takes its results.
  QMutex m_preparationMutex;
  std::shared_ptr<ItemPreparation> m_preparation;
  bool m_collectsImageCachingRequests = false;
  QList<std::pair<QString, QUrl>> m_imageCachingRequests;
  quint64 m_unreadCount = 0;
  QDateTime m_latestPublishDate;
  bool m_skipsMarkingMissingItemsAsDeleted = false;
  std::atomic<bool> m_didSaveUncancelled{false};
  // Its items were saved by the batch of a saver before it.
  std::atomic<bool> m_runByBatch{false};
};
