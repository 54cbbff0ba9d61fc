#pragma once

#include "store/operations/ZPHBatchDeletionOperation.h"

#include <QtCore/QHash>
#include <QtCore/QUrl>

// The final removal of the articles that refreshes marked for deletion
// (read, not bookmarked, gone from their feed), in batches of 500 on the
// store queue. The application starts a run when the data account is ready.
//
// Each article goes with the metadata it holds unless that metadata is
// bookmarked: a bookmark set after the article was marked outlives it, as in
// every other deletion. After a batch is saved, CBDataDidDeleteArticlesNotification
// is posted and the cached images found in the deleted articles' HTML are
// purged on the main thread.
class ZPHDeleteMarkedArticlesOperation : public ZPHBatchDeletionOperation {
public:
  ZPHDeleteMarkedArticlesOperation(const QList<ZPHManagedObjectID>& articleObjectIDsToDelete,
                                   std::shared_ptr<ZPHManagedObjectContext> context);

  // Starts a run.
  static void asynchronouslyDeleteArticlesMarkedForDeletion();
  // The identifiers of the articles with markedForDeletion set (a fetch
  // error is logged and gives what was found, possibly nothing).
  static QList<ZPHManagedObjectID> objectIDsForArticlesMarkedForDeletionWithMOC(ZPHManagedObjectContext* context);
  static void continueAsynchronouslyDeletingArticlesMarkedForDeletionWithManagedObjectContext(
      std::shared_ptr<ZPHManagedObjectContext> context, const QList<ZPHManagedObjectID>& articleObjectIDs);

  // Purges the cached images of an article's HTML, on the main thread. Feed
  // ingestion (above the store) keeps the cache, so the application installs
  // the purge at start-up; until then nothing is purged.
  using CachedImagesPurge = std::function<void(const QString& html, const QUrl& baseURL)>;
  static void setCachedImagesPurge(CachedImagesPurge purge);
  // The installed purge (empty when none); any thread.
  static CachedImagesPurge cachedImagesPurge();

protected:
  void deleteObjects(const QList<ZPHManagedObject*>& objects, ZPHManagedObjectContext* context) override;
  void didSave() override;

private:
  // HTML by base URL, of the deleted articles that had both.
  QHash<QUrl, QString> m_htmlByBaseURL;
  // Whether the batch deleted any article.
  bool m_deletedArticles = false;
};
