#pragma once

// Qt kind: none (a plain class: an importer).

#include "subscriptions/ZPHImporter.h"

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <memory>

class CBFolder;
class CBParsedNewsItem;

// Brings the previous major version's subscriptions and stored articles into
// the local account: its folders (reused by name), its feeds with their
// names after what is there already, and each feed's articles with their
// bookmark (flag) state.
//
// The old data folder is "Zephlin" in the user's generic data folder
// (~/.local/share/Zephlin), where a user copies it from the old computer;
// it counts when its "Subscriptions.plist" can be read. The property lists
// may be XML or binary. Each entry is checked: one without a name, a feed
// without an address, an address that is not http or https (feed: is
// mapped), a smart or script feed, or anything but a dictionary is logged
// and skipped, and the import goes on. A feed whose address (web form) the
// store has already, in any folder, is a duplicate; one listed twice is
// imported once. A file that cannot be read or parsed ends the import with
// its error before anything is changed.
//
// Each feed's articles ("Feeds.noindex/<address made safe>") are saved by
// the article saver, one feed after another, in the import's own context.
// The stored articles' guids are "ZPH3ImportedArticle/<key>"; after each
// feed's first refresh, the imported articles that the refresh fetched
// again (the same best link) are dropped (ZPHImportPostProcessor).
//
// No progress is reported. Its entry point is the welcome window's.
class ZPHZephlin3LocalFeedImporter : public ZPHImporter {
public:
  // Larger property lists are not read.
  static constexpr qint64 MaximumPropertyListBytes = 64 * 1024 * 1024;
  // Folders nested deeper are skipped.
  static constexpr int MaximumFolderDepth = 64;
  // The guid prefix of imported articles.
  static const QString ImportedArticleGUIDPrefix;  // "ZPH3ImportedArticle"

  ZPHZephlin3LocalFeedImporter();

  // The old data folder: "Zephlin" in the generic data folder unless set
  // (tests).
  static QString previousVersionDataFolder();
  static void setPreviousVersionDataFolder(const QString& path);
  // "Subscriptions.plist" there, when readable; else empty.
  static QString subscriptionsFilePath();
  // A feed's article file there, when readable; else empty.
  static QString articleFilePathForFeedURL(const QString& feedURL);
  // The file name of a feed's articles: a login before "@" removed, a
  // leading "http://", "https://" or "file://" cut, then "/", "." and ":"
  // as "_".
  static QString urlStringSafeForFileSystem(const QString& urlString);

  static bool importIsPossibleNow() { return !subscriptionsFilePath().isEmpty(); }
  bool importIsCurrentlyPossible() const override { return importIsPossibleNow(); }

  // A property list (XML or binary) as QVariant: dictionaries as
  // QVariantMap, arrays as QVariantList, strings, booleans, numbers, dates
  // (QDateTime, UTC) and data (QByteArray). Invalid, with `error`, when it
  // is no property list or nests deeper than 64. A binary one is measured
  // before it is parsed, counting a shared object again for every reference
  // to it: one that would nest deeper, make more than 4,000,000 nodes or
  // copy more bytes of values than four times its size (1 MiB for a smaller
  // file), one that holds itself or is damaged is never parsed.
  static QVariant propertyListFromData(const QByteArray& data, ZPHError* error);

  // The mark-all-as-read date of a feed whose articles are `items`: sorted
  // oldest first, the end of the unbroken run of read items from the first
  // read one; when none is read, one second before the oldest. A missing
  // date counts as `now`. Invalid for no items.
  static QDateTime markAllAsReadDateForItems(const QList<std::shared_ptr<CBParsedNewsItem>>& items,
                                             const QDateTime& now);

  // After a feed's first refresh: in each group of its articles sharing a
  // best link, the imported ones are marked for deletion, never the last
  // unmarked one of the group.
  static void postProcessImportedAndFetchedFeed(CBFeed* feed, ZPHManagedObjectContext* context);

protected:
  void runImportOnImportQueueWithTemporaryImportMOC(ZPHManagedObjectContext* context) override;
  void importWillFinishOnImportQueue(const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates,
                                     const ZPHError& error) override;

private:
  void importEntry(const QVariant& entry, CBFolder* parent, int depth, ZPHManagedObjectContext* context);
  void importFeed(const QVariantMap& entry, CBFolder* parent, ZPHManagedObjectContext* context);
  void importArticles(CBFeed* feed, const QString& urlString, ZPHManagedObjectContext* context);

  QList<CBFeed*> m_importedFeeds;
  QList<CBFeed*> m_duplicateFeeds;
  QHash<QString, CBFeed*> m_feedsByWebForm;
  QSet<QString> m_importedWebForms;
};
