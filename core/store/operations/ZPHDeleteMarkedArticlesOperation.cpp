#include "store/operations/ZPHDeleteMarkedArticlesOperation.h"

#include "platform/ZPHNotificationCenter.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataArticleContent.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

namespace {

QMutex g_purgeMutex;
ZPHDeleteMarkedArticlesOperation::CachedImagesPurge g_purge;

std::shared_ptr<ZPHBatchDeletionOperation> makeBatch(const QList<ZPHManagedObjectID>& batch,
                                                     std::shared_ptr<ZPHManagedObjectContext> context)
{
  return std::make_shared<ZPHDeleteMarkedArticlesOperation>(batch, std::move(context));
}

}  // namespace

ZPHDeleteMarkedArticlesOperation::ZPHDeleteMarkedArticlesOperation(
    const QList<ZPHManagedObjectID>& articleObjectIDsToDelete, std::shared_ptr<ZPHManagedObjectContext> context)
    : ZPHBatchDeletionOperation(articleObjectIDsToDelete, std::move(context))
{
}

void ZPHDeleteMarkedArticlesOperation::asynchronouslyDeleteArticlesMarkedForDeletion()
{
  startRun(&objectIDsForArticlesMarkedForDeletionWithMOC, &makeBatch);
}

QList<ZPHManagedObjectID> ZPHDeleteMarkedArticlesOperation::objectIDsForArticlesMarkedForDeletionWithMOC(
    ZPHManagedObjectContext* context)
{
  ZPHError error;
  const QList<ZPHManagedObjectID> objectIDs = context->executeFetchRequestForObjectIDs(
      ZPHFetchRequest(CBDataEntityNameArticle, ZPHPredicate::equal(QStringLiteral("markedForDeletion"), 1)), &error);
  if (!error.isNull())
    qCCritical(zphStore) << error.toString();
  return objectIDs;
}

void ZPHDeleteMarkedArticlesOperation::continueAsynchronouslyDeletingArticlesMarkedForDeletionWithManagedObjectContext(
    std::shared_ptr<ZPHManagedObjectContext> context, const QList<ZPHManagedObjectID>& articleObjectIDs)
{
  continueRun(std::move(context), articleObjectIDs, &makeBatch);
}

void ZPHDeleteMarkedArticlesOperation::setCachedImagesPurge(CachedImagesPurge purge)
{
  QMutexLocker locker(&g_purgeMutex);
  g_purge = std::move(purge);
}

ZPHDeleteMarkedArticlesOperation::CachedImagesPurge ZPHDeleteMarkedArticlesOperation::cachedImagesPurge()
{
  QMutexLocker locker(&g_purgeMutex);
  return g_purge;
}

void ZPHDeleteMarkedArticlesOperation::deleteObjects(const QList<ZPHManagedObject*>& objects,
                                                     ZPHManagedObjectContext* context)
{
  QList<CBDataArticle*> articles;
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
      m_htmlByBaseURL.insert(baseURL, html);
  }
  // Bookmarked metadata stays.
  CBDataArticle::deleteArticles(articles, true, context);
  m_deletedArticles = !articles.isEmpty();
}

void ZPHDeleteMarkedArticlesOperation::didSave()
{
  if (m_deletedArticles)
    ZPHNotificationCenter::defaultCenter().post(CBDataDidDeleteArticlesNotification);
  if (m_htmlByBaseURL.isEmpty())
    return;
  const CachedImagesPurge purge = cachedImagesPurge();
  if (!purge)
    return;
  ZPHMainThread::async([purge, htmlByBaseURL = std::move(m_htmlByBaseURL)] {
    for (auto it = htmlByBaseURL.cbegin(); it != htmlByBaseURL.cend(); ++it) purge(it.value(), it.key());
  });
  m_htmlByBaseURL.clear();
}
