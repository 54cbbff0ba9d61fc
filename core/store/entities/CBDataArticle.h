#pragma once

#include "store/graph/ZPHManagedObject.h"

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QSizeF>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <functional>
#include <optional>

class ArticleMetadata;
class CBDataArticleContent;
class ZPHManagedObjectContext;

extern const QString CBDataArticleReadKey;      // "read"
extern const QString CBDataArticleFlaggedKey;   // "flagged"
extern const QString CBDataArticleMetadataKey;  // "metadata"
extern const QString CBDataArticleFeedURLKey;   // "feedURL"

// Posted on the main thread after an article's read state changed; object:
// the article in the main context (ZPHManagedObject*).
extern const QString CBDataArticleReadStatusDidChangeNotification;
// Posted on the main thread after an article's bookmark changed; object: the
// article's identifier (ZPHManagedObjectID); user info CBDataArticleFlaggedKey:
// the new state (a bool), when the poster knows it.
extern const QString CBDataArticleFlaggedStatusDidChangeNotification;
// Posted on the main thread after a bulk read change; no object; user info
// ZPHArticlesKey: the identifiers of the articles (a QVariantList of
// ZPHManagedObjectID), present only when there are any; CBDataArticleReadKey:
// the state they all have now (a bool), when they all have the same;
// CBDataArticleFeedURLsKey: the addresses of the feeds whose articles
// changed (a QStringList), when the poster knows them and marked those
// articles for sync itself.
extern const QString CBMultipleArticlesDidChangeReadStatusNotification;
extern const QString ZPHArticlesKey;            // "articles"
extern const QString CBDataArticleFeedURLsKey;  // "feedURLs"
// Posted after a save for each article whose needsSync went from false to
// true; object: the saved article (ZPHManagedObject*). A mark by identifiers
// (operation_only_markArticlesWithIDs) posts it once, without object.
extern const QString ZPHSyncableArticleEventNotification;
// Key path of an object's identifier.
extern const QString ZPHManagedObjectObjectIDKey;  // "objectID"

// Enclosure media types.
enum CBEnclosureMediaType {
  CBEnclosureMediaTypeMovie = 1,
  CBEnclosureMediaTypeAudio = 2,
  CBEnclosureMediaTypeImage = 3
};

// A stored article (entity "Article"). It has no link to its feed: feedURL
// names it. Its booleans are stored as numbers (compared with 0 and 1 in
// predicates) and read here as bool; its dates are QDateTime in UTC.
class CBDataArticle : public ZPHManagedObject {
public:
  // Attribute indexes (inherited attributes come first).
  enum AttributeIndex {
    PropertyGuid,
    PropertyFeedURL,
    PropertyLink,
    PropertyPermalink,
    PropertyTitle,
    PropertyPlainTextTitle,
    PropertyPlainTextPreview,
    PropertySummary,
    PropertyAuthorName,
    PropertyAuthorEmail,
    PropertyAuthorURL,
    PropertyOriginalSourceTitle,
    PropertyThumbnailURL,
    PropertyDatePublished,
    PropertyDateModified,
    PropertyDateArrived,
    PropertyDateForDisplay,
    PropertyModDate,
    PropertyNoKillModDate,
    PropertyDeleted,
    PropertyMarkedForDeletion,
    PropertyNeedsSync,
    PropertyNeedsSyncChanged,
    PropertyNoKill,
    PropertyHasAudioEnclosure,
    PropertyHasVideoEnclosure,
    AttributeCount
  };

  QString guid() const { return primitiveValue(PropertyGuid).toString(); }
  void setGuid(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyGuid, value, true); }
  QString feedURL() const { return primitiveValue(PropertyFeedURL).toString(); }
  void setFeedURL(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyFeedURL, value, true); }
  QString link() const { return primitiveValue(PropertyLink).toString(); }
  void setLink(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyLink, value, true); }
  QString permalink() const { return primitiveValue(PropertyPermalink).toString(); }
  void setPermalink(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyPermalink, value, true); }
  QString title() const { return primitiveValue(PropertyTitle).toString(); }
  void setTitle(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyTitle, value, true); }
  QString plainTextTitle() const { return primitiveValue(PropertyPlainTextTitle).toString(); }
  void setPlainTextTitle(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyPlainTextTitle, value, true); }
  QString plainTextPreview() const { return primitiveValue(PropertyPlainTextPreview).toString(); }
  void setPlainTextPreview(const QString& value)
  {
    zph_setValueForKeyWithScrubbing(PropertyPlainTextPreview, value, true);
  }
  QString summary() const { return primitiveValue(PropertySummary).toString(); }
  void setSummary(const QString& value) { zph_setValueForKeyWithScrubbing(PropertySummary, value, true); }
  QString authorName() const { return primitiveValue(PropertyAuthorName).toString(); }
  void setAuthorName(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyAuthorName, value, true); }
  QString authorEmail() const { return primitiveValue(PropertyAuthorEmail).toString(); }
  void setAuthorEmail(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyAuthorEmail, value, true); }
  QString authorURL() const { return primitiveValue(PropertyAuthorURL).toString(); }
  void setAuthorURL(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyAuthorURL, value, true); }
  QString originalSourceTitle() const { return primitiveValue(PropertyOriginalSourceTitle).toString(); }
  void setOriginalSourceTitle(const QString& value)
  {
    zph_setValueForKeyWithScrubbing(PropertyOriginalSourceTitle, value, true);
  }
  QString thumbnailURL() const { return primitiveValue(PropertyThumbnailURL).toString(); }
  void setThumbnailURL(const QString& value) { zph_setValueForKeyWithScrubbing(PropertyThumbnailURL, value, true); }
  QDateTime datePublished() const { return primitiveValue(PropertyDatePublished).toDateTime(); }
  void setDatePublished(const QDateTime& value) { setPrimitiveValue(PropertyDatePublished, value); }
  QDateTime dateModified() const { return primitiveValue(PropertyDateModified).toDateTime(); }
  void setDateModified(const QDateTime& value) { setPrimitiveValue(PropertyDateModified, value); }
  QDateTime dateArrived() const { return primitiveValue(PropertyDateArrived).toDateTime(); }
  void setDateArrived(const QDateTime& value) { setPrimitiveValue(PropertyDateArrived, value); }
  QDateTime dateForDisplay() const { return primitiveValue(PropertyDateForDisplay).toDateTime(); }
  void setDateForDisplay(const QDateTime& value) { setPrimitiveValue(PropertyDateForDisplay, value); }
  QDateTime modDate() const { return primitiveValue(PropertyModDate).toDateTime(); }
  void setModDate(const QDateTime& value) { setPrimitiveValue(PropertyModDate, value); }
  QDateTime noKillModDate() const { return primitiveValue(PropertyNoKillModDate).toDateTime(); }
  void setNoKillModDate(const QDateTime& value) { setPrimitiveValue(PropertyNoKillModDate, value); }
  bool deleted() const { return primitiveValue(PropertyDeleted).toBool(); }
  void setDeleted(bool value) { setPrimitiveValue(PropertyDeleted, value); }
  bool markedForDeletion() const { return primitiveValue(PropertyMarkedForDeletion).toBool(); }
  void setMarkedForDeletion(bool value) { setPrimitiveValue(PropertyMarkedForDeletion, value); }
  bool needsSync() const { return primitiveValue(PropertyNeedsSync).toBool(); }
  // A change from false to true is announced after the next save
  // (ZPHSyncableArticleEventNotification).
  void setNeedsSync(bool needsSync);
  bool needsSyncChanged() const { return primitiveValue(PropertyNeedsSyncChanged).toBool(); }
  void setNeedsSyncChanged(bool value) { setPrimitiveValue(PropertyNeedsSyncChanged, value); }
  bool noKill() const { return primitiveValue(PropertyNoKill).toBool(); }
  void setNoKill(bool value) { setPrimitiveValue(PropertyNoKill, value); }
  bool hasAudioEnclosure() const { return primitiveValue(PropertyHasAudioEnclosure).toBool(); }
  void setHasAudioEnclosure(bool value) { setPrimitiveValue(PropertyHasAudioEnclosure, value); }
  bool hasVideoEnclosure() const { return primitiveValue(PropertyHasVideoEnclosure).toBool(); }
  void setHasVideoEnclosure(bool value) { setPrimitiveValue(PropertyHasVideoEnclosure, value); }

  CBDataArticleContent* content() const;
  void setContent(CBDataArticleContent* content);
  ArticleMetadata* metadata() const;
  void setMetadata(ArticleMetadata* metadata);
  // The identifier of the metadata record, without loading it.
  ZPHManagedObjectID metadataObjectID() const;
  QList<ZPHManagedObject*> enclosures() const;

  // The metadata's flags; false without metadata. Changes of the metadata's
  // read and flagged reach this article's observers as "read" and "flagged".
  bool read() const;
  bool flagged() const;

  // Called by the metadata when its read or flagged changed.
  void metadataDidChange(const QString& key);

  // --- Queries. Every article query leaves out articles marked for deletion.
  static ZPHPredicate predicateForArticlesForFeedWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForUnreadArticlesForFeedWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForArticlesForFeedsWithURLs(const QStringList& urls, ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForUnreadArticlesForFeedsWithURLs(const QStringList& urls,
                                                                 ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForUnreadArticlesWithMoc(ZPHManagedObjectContext* context);
  // dateForDisplay from the first second of today up to that of tomorrow.
  static ZPHPredicate predicateForArticlesPublishedTodayWithMoc(ZPHManagedObjectContext* context);
  // Nothing without a context.
  static std::optional<ZPHPredicate> predicateForUnreadArticlesPublishedTodayWithMoc(ZPHManagedObjectContext* context);
  // Articles of the favourite feeds.
  static ZPHPredicate predicateForArticlesInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForArticlesFlaggedWithMoc(ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForUnreadArticlesFlaggedWithMoc(ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForUnreadArticlesInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context);
  static ZPHPredicate predicateForArticlesPublishedTodayInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context);
  static std::optional<ZPHPredicate> predicateForUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(
      ZPHManagedObjectContext* context);

  // Fetches (with their values loaded), sorted by the one descriptor when
  // given. An empty list without predicate or context.
  static QList<CBDataArticle*> articlesWithPredicate(const std::optional<ZPHPredicate>& predicate,
                                                     const std::optional<ZPHSortDescriptor>& sortDescriptor,
                                                     ZPHManagedObjectContext* context);
  using Sort = std::optional<ZPHSortDescriptor>;
  static QList<CBDataArticle*> articlesForFeedWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  // The same, each with its content loaded too (one query for them all
  // instead of one per article whose body is read).
  static QList<CBDataArticle*> articlesWithContentForFeedWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> sortedArticlesForFeedsWithURLs(const QStringList& urls, bool hideReadArticles,
                                                              const Sort& sort, ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> unreadArticlesForFeedsWithURLs(const QStringList& urls, const Sort& sort,
                                                              ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> unreadArticlesWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> unreadArticlesForFavoriteFeedsWithSortDescriptor(const Sort& sort,
                                                                                ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> articlesPublishedTodayWithSortDescriptor(const Sort& sort,
                                                                        ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> unreadArticlesPublishedTodayWithSortDescriptor(const Sort& sort,
                                                                              ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> articlesPublishedTodayInFavoriteFeedsWithSortDescriptor(
      const Sort& sort, ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> unreadArticlesPublishedTodayInFavoriteFeedsWithSortDescriptor(
      const Sort& sort, ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> articlesInFavoriteFeedsWithSortDescriptor(const Sort& sort,
                                                                         ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> articlesFlaggedWithSortDescriptor(const Sort& sort, ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> unreadArticlesFlaggedWithSortDescriptor(const Sort& sort,
                                                                       ZPHManagedObjectContext* context);
  static QList<CBDataArticle*> articlesWithMoc(ZPHManagedObjectContext* context);
  // needsSync == 1
  static QList<CBDataArticle*> articlesToSyncWithMoc(ZPHManagedObjectContext* context);
  // The existing, not deleted articles for the identifiers, in order.
  static QList<CBDataArticle*> articlesWithManagedObjectIDs(const QList<ZPHManagedObjectID>& objectIDs,
                                                            ZPHManagedObjectContext* context);
  // The article whose link, permalink or guid is the string; nullptr for an
  // empty string.
  static CBDataArticle* fetchArticleWithBestLink(const QString& bestLink, ZPHManagedObjectContext* context);

  // Counts, without loading articles; 0 without predicate or context.
  static qint64 unreadCountWithPredicate(const std::optional<ZPHPredicate>& predicate,
                                         ZPHManagedObjectContext* context);
  static qint64 countOfUnreadArticlesPublishedTodayWithMoc(ZPHManagedObjectContext* context);
  static qint64 countOfUnreadArticlesPublishedTodayInFavoriteFeedsWithMoc(ZPHManagedObjectContext* context);
  static qint64 unreadCountForFlaggedArticlesWithMoc(ZPHManagedObjectContext* context);
  static qint64 unreadCountForArticlesWithFeedURL(const QUrl& url, ZPHManagedObjectContext* context);

  // --- Inserting and deleting.
  static CBDataArticle* insertArticleWithMOC(ZPHManagedObjectContext* context);
  // feedURL and dateArrived (now) set.
  static CBDataArticle* insertArticleWithFeedURL(const QUrl& feedURL, ZPHManagedObjectContext* context);
  // A new content, made this article's content.
  CBDataArticleContent* insertArticleContentWithMOC(ZPHManagedObjectContext* context);
  // Deletes the articles; with deleteMetadata their metadata too, unless it
  // is bookmarked (a bookmark outlives its article). Without deleteMetadata
  // every metadata record stays.
  static void deleteArticles(const QList<CBDataArticle*>& articles, bool deleteMetadata,
                             ZPHManagedObjectContext* context);

  // --- Identity and display.
  // The trimmed permalink when it starts with http://, https:// or rss://,
  // else the trimmed link when not empty, else the guid. The guid of the
  // article's metadata.
  static QString bestLinkForArticle(const CBDataArticle* article);
  QString bestLink() const { return bestLinkForArticle(this); }
  // The address relative links resolve against: the best link or the link
  // when it is an absolute web address, else the feed's home page, else the
  // feed address, else about:blank. Fragments are dropped.
  QUrl baseURLWithMOC(ZPHManagedObjectContext* context) const;
  // The same in the main context (main thread).
  QUrl baseURL() const;
  // "Untitled" for an empty plainTextTitle, else plainTextTitle: the one
  // title every display shows (the list, its tool tips, the page, the
  // window, search results), plain text to be shown as text.
  QString plainTextTitleForDisplay() const;
  // plainTextTitle, else title (both left untouched when empty); the best
  // link.
  void bestSharingTitle(QString* title, QString* link) const;
  bool hasLink() const { return !link().isEmpty() || !permalink().isEmpty(); }
  bool hasTitle() const { return !title().isEmpty(); }
  bool canMarkAsRead() const { return !read(); }
  bool canMarkAsUnread() const { return read(); }
  bool canMarkAsFlagged() const { return !flagged(); }
  bool canMarkAsUnflagged() const { return flagged(); }

  // The metadata record of this article: its own, else the one kept for its
  // best link, else a new one for its best link (nullptr when the article
  // has no best link).
  ArticleMetadata* findOrInsertMetadata();

  // --- Marking read and bookmarked; these run on the store queue in a
  // temporary context. Nothing happens when the state is already the target.
  // With notify, CBDataArticleReadStatusDidChangeNotification follows on the
  // main thread; with saveContext the article is marked for sync and its
  // context saved.
  void operation_only_markAsRead(bool read, bool updateUnread, bool saveContext, bool notify);
  // All in one save, needsSync included; raises the feeds'
  // markAllAsReadLastArticleDate to the newest dateForDisplay among their
  // articles; posts CBMultipleArticlesDidChangeReadStatusNotification.
  static void operation_only_markArticles(const QList<CBDataArticle*>& articles, bool read,
                                          ZPHManagedObjectContext* context);
  // The same for the articles with these identifiers (gone ones skipped),
  // without loading them: their states are read and written in the store
  // directly (ZPHManagedObjectContext::batchUpdateObjects), in one
  // transaction; only articles without a state record yet go the way of
  // operation_only_markArticles(). The notification names the feeds.
  static void operation_only_markArticlesWithIDs(const QList<ZPHManagedObjectID>& objectIDs, bool read,
                                                 ZPHManagedObjectContext* context);
  // Saves and posts CBDataArticleFlaggedStatusDidChangeNotification.
  void operation_only_markAsFlagged(bool flagged);

  // --- Enclosures (generic objects of entity "Enclosure"), matched by URL.
  QList<ZPHManagedObject*> fetchSetOfEnclosuresWithValue(const QVariant& value, const QString& key) const;
  // Any enclosure of the store with the address / a new one added to this
  // article / the found one, else a new one.
  static ZPHManagedObject* fetchEnclosureWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  ZPHManagedObject* insertEnclosureWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  ZPHManagedObject* fetchOrInsertEnclosureWithURL(const QUrl& url, ZPHManagedObjectContext* context);
  void updateHasAudioAndVideoEnclosures();
  ZPHManagedObject* anyEnclosureWithMediaType(int mediaType) const;
  QList<ZPHManagedObject*> allEnclosuresWithMediaType(int mediaType) const;
  ZPHManagedObject* bestAudioEnclosure() const { return anyEnclosureWithMediaType(CBEnclosureMediaTypeAudio); }
  ZPHManagedObject* bestMovieEnclosure() const { return anyEnclosureWithMediaType(CBEnclosureMediaTypeMovie); }
  ZPHManagedObject* richestMediaEnclosure() const;
  QList<ZPHManagedObject*> allImageEnclosures() const { return allEnclosuresWithMediaType(CBEnclosureMediaTypeImage); }
  QList<ZPHManagedObject*> allEnclosuresWithMediaTypeNotInHTMLText(int mediaType) const;
  QList<ZPHManagedObject*> allImageEnclosuresNotInHTMLText() const
  {
    return allEnclosuresWithMediaTypeNotInHTMLText(CBEnclosureMediaTypeImage);
  }
  bool thumbnailAppearsInHTMLText() const;
  QStringList allImagesNotInHTMLText() const;
  static bool enclosureIsBiggerThan(const ZPHManagedObject* enclosure, const ZPHManagedObject* other);
  ZPHManagedObject* biggestImageEnclosureNotInHTMLText() const;
  QString URLOfBiggestImageEnclosureNotInHTMLText() const;
  QString URLOfBiggestImageNotInHTMLText() const;
  // Null without HTML; else the first usable image source of the HTML, else
  // thumbnailURL.
  QString URLOfBiggestImageInHTMLText() const;
  QSizeF sizeOfEnclosureImageWithURL(const QUrl& url) const;

  // --- Transforms of the HTML for short-message posts (the HTML unchanged
  // unless the permalink is a status page of the service). Every value put
  // into the HTML is escaped.
  static const QString ShortMessageStatusPagePrefix;  // "https://twitter.com/"
  static const QString ShortMessageShortLinkPrefix;   // "https://t.co/"
  QString injectShortLinkTransform(const QString& html) const;
  // The post's picture (thumbnailURL) before the byline, from the address
  // `imageSource` gives for it: the page shows only what the rule of its
  // own images lets through (null: no picture).
  QString injectTwitterImageTransform(const QString& html,
                                      const std::function<QString(const QString& address)>& imageSource) const;

  // Stores a string attribute; with scrubbing every unpaired UTF-16
  // surrogate becomes U+FFFD first.
  void zph_setValueForKeyWithScrubbing(int index, const QString& value, bool scrubbing);

  // --- Marking read and bookmarked for the user (main thread): an undoable
  // operation over the saved, not deleted articles, handed to the
  // application delegate's performUndoableOperation(). Nothing when no
  // article is left.
  void markAsRead(bool read);
  static void markArticles(const QList<CBDataArticle*>& articles, bool read);
  void markAsFlagged(bool flagged);
  static void markArticlesAsFlagged(const QList<CBDataArticle*>& articles, bool flagged);

protected:
  void didChangeValueForKey(const QString& key) override;
  void willSave() override;
  void didSave() override;

private:
  // needsSync went from false to true: announced after the save that
  // writes the mark back to false.
  bool m_announceNeedsSync = false;
  int metadataIndex() const;
};
