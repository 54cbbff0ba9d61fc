#include "store/operations/ZPHDeletionOperation.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/entities/CBNode.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/operations/ZPHBatchDeletionOperation.h"
#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"

#include <QtCore/QUrl>

#include <utility>

namespace {

using HTMLAndBaseURL = std::pair<QString, QUrl>;

// Tells the main thread what the context is about to delete; nothing when
// it deletes nothing.
void announceDeletions(ZPHManagedObjectContext* context, void* sender)
{
  const QList<ZPHManagedObject*> deleted = context->deletedObjects();
  if (deleted.isEmpty())
    return;
  QList<ZPHManagedObjectID> objectIDs;
  objectIDs.reserve(deleted.size());
  for (const ZPHManagedObject* object : deleted) objectIDs.append(object->objectID());
  ZPHNotificationCenter::defaultCenter().post(ZPHWillDeleteCoreDataObjectsInBackgroundNotification,
                                              QVariant::fromValue(sender),
                                              {{ZPHManagedObjectObjectIDsKey, QVariant::fromValue(objectIDs)}});
}

void purgeCachedImagesOnMainThread(QList<HTMLAndBaseURL> pages)
{
  if (pages.isEmpty())
    return;
  ZPHDeleteMarkedArticlesOperation::CachedImagesPurge purge = ZPHDeleteMarkedArticlesOperation::cachedImagesPurge();
  if (!purge)
    return;
  ZPHMainThread::async([purge = std::move(purge), pages = std::move(pages)] {
    for (const HTMLAndBaseURL& page : pages) purge(page.first, page.second);
  });
}

}  // namespace

ZPHDeletionOperation::ZPHDeletionOperation(const QSet<ZPHManagedObjectID>& objectIDsToDelete)
    : m_objectIDsToDelete(objectIDsToDelete)
{
}

std::shared_ptr<ZPHDeletionOperation> ZPHDeletionOperation::deletionOperationWithNodesToDelete(
    const QList<CBNode*>& nodes)
{
  ZPH_ASSERT_MAIN_THREAD();
  QSet<ZPHManagedObjectID> objectIDs;
  for (const CBNode* node : nodes) {
    if (dynamic_cast<const CBFeed*>(node) != nullptr || dynamic_cast<const CBFolder*>(node) != nullptr)
      objectIDs.insert(node->objectID());
  }
  if (objectIDs.isEmpty())
    return nullptr;
  return std::make_shared<ZPHDeletionOperation>(objectIDs);
}

void ZPHDeletionOperation::main()
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  std::shared_ptr<ZPHManagedObjectContext> owner = delegate ? delegate->temporaryManagedObjectContext() : nullptr;
  if (owner == nullptr || m_objectIDsToDelete.isEmpty())
    return;
  ZPHManagedObjectContext* context = owner.get();

  // What goes: the feeds (with the addresses of their articles) and the
  // folders that still exist.
  QList<ZPHManagedObjectID> feedIDs;
  QList<ZPHManagedObjectID> folderIDs;
  QVariantList feedURLs;
  for (const ZPHManagedObjectID& objectID : std::as_const(m_objectIDsToDelete)) {
    ZPHError error;
    ZPHManagedObject* object = context->existingObjectWithID(objectID, &error);
    if (object == nullptr) {
      qCCritical(zphStore).noquote() << QStringLiteral("Deletion operation couldn't find object with ID %1: %2")
                                            .arg(objectID.URIRepresentation().toString(), error.toString());
      continue;
    }
    if (auto* feed = dynamic_cast<CBFeed*>(object)) {
      feedIDs.append(objectID);
      if (!feed->url().isEmpty() && !feedURLs.contains(feed->url()))
        feedURLs.append(feed->url());
    } else if (dynamic_cast<CBFolder*>(object) != nullptr) {
      folderIDs.append(objectID);
    } else {
      Q_ASSERT_X(false, Q_FUNC_INFO, "Represented object being deleted has unexpected class");
      qCCritical(zphStore) << "Represented object being deleted has unexpected class:" << object->entity()->name();
    }
  }
  if (feedIDs.isEmpty() && folderIDs.isEmpty())
    return;

  // Every article of those feeds, marked for deletion or not.
  QList<ZPHManagedObjectID> articleIDs;
  if (!feedURLs.isEmpty()) {
    ZPHError error;
    articleIDs = context->executeFetchRequestForObjectIDs(
        ZPHFetchRequest(CBDataEntityNameArticle, ZPHPredicate::in(CBDataArticleFeedURLKey, feedURLs)), &error);
    if (!error.isNull()) {
      qCCritical(zphStore) << "cannot find the articles of the deleted feeds:" << error.toString();
      return;  // nothing deleted: the feeds stay with their articles
    }
  }

  qsizetype next = 0;
  bool deletedArticles = false;
  while (true) {
    context->reset();
    if (next == 0) {
      // With the first batch: the counts of the feeds that lose articles
      // and of the folders above them no longer hold, also when the run is
      // cut off before the end.
      for (ZPHManagedObject* object : context->existingObjectsWithIDs(feedIDs + folderIDs)) {
        if (auto* node = dynamic_cast<CBNode*>(object))
          node->setUnreadCountIsValid(false);
      }
    }
    const QList<ZPHManagedObjectID> batch = articleIDs.mid(next, ArticleBatchSize);
    next += batch.size();
    const bool last = next >= articleIDs.size();

    QList<CBDataArticle*> articles;
    QList<HTMLAndBaseURL> pages;
    const QList<ZPHManagedObject*> objects = context->existingObjectsWithIDs(batch);
    articles.reserve(objects.size());
    for (ZPHManagedObject* object : objects) {
      auto* article = dynamic_cast<CBDataArticle*>(object);
      if (article == nullptr)
        continue;
      articles.append(article);
      const CBDataArticleContent* content = article->content();
      const QString html = content ? content->htmlText() : QString();
      const QUrl baseURL = article->baseURLWithMOC(context);
      if (!html.isEmpty() && !baseURL.isEmpty())
        pages.append({html, baseURL});
    }
    // Bookmarked metadata stays.
    CBDataArticle::deleteArticles(articles, true, context);

    if (last) {
      // The nodes after their articles: a save cut short keeps them.
      for (ZPHManagedObject* object : context->existingObjectsWithIDs(feedIDs)) {
        if (auto* feed = dynamic_cast<CBFeed*>(object))
          CBFeed::deleteFeed(feed, false, context);
      }
      for (ZPHManagedObject* object : context->existingObjectsWithIDs(folderIDs)) {
        if (auto* folder = dynamic_cast<CBFolder*>(object))
          CBFolder::deleteFolder(folder, context);
      }
    }

    announceDeletions(context, this);
    CBSaveManagedObjectContext(context);
    if (context->hasChanges()) {
      // The save failed; the application delegate has been told.
      context->reset();
      return;
    }
    purgeCachedImagesOnMainThread(std::move(pages));
    deletedArticles |= !articles.isEmpty();
    if (last)
      break;
    if (isCancelled()) {
      qCInfo(zphStore) << "deletion stopped after" << next << "of" << articleIDs.size()
                       << "articles; the feeds and folders stay";
      break;
    }
  }
  context->reset();
  if (deletedArticles)
    ZPHNotificationCenter::defaultCenter().post(CBDataDidDeleteArticlesNotification);
}
