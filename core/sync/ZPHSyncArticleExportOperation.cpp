#include "sync/ZPHSyncArticleExportOperation.h"

#include "platform/ZPHNotificationCenter.h"
#include "store/entities/CBDataArticle.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncUtils.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

namespace {

const QString ArticlesKey = QStringLiteral("articles");

}  // namespace

bool ZPHSyncArticleExportOperation::makePostBody(QByteArray* body, ZPHError* error)
{
  QJsonArray articles;
  m_localArticles.clear();
  const bool ran = performOnStoreQueue([&](ZPHManagedObjectContext* context) {
    for (const CBDataArticle* article : CBDataArticle::articlesToSyncWithMoc(context)) {
      articles.append(ZPHSyncUtils::dictionaryForArticle(article));
      m_localArticles.append({article->objectID(), article->modDate()});
    }
  });
  if (!ran) {
    return ZPHSetError(
        error,
        ZPHError(ZPHSyncErrorDomain, ZPHSyncErrorStore,
                 {{ZPHLocalizedDescriptionKey, QStringLiteral("The article states to send could not be read.")}}));
  }
  *body = QJsonDocument(QJsonObject{{ArticlesKey, articles}}).toJson(QJsonDocument::Compact);
  return true;
}

void ZPHSyncArticleExportOperation::success()
{
  const std::optional<QJsonObject> reply = usableReply();
  if (!reply)
    return;
  bool saved = false;
  const bool ran = performOnStoreQueue([&](ZPHManagedObjectContext* context) {
    QList<CBDataArticle*> deleted;
    for (const SentArticle& sent : std::as_const(m_localArticles)) {
      auto* article = dynamic_cast<CBDataArticle*>(context->existingObjectWithID(sent.objectID));
      if (article == nullptr || article->isDeleted())
        continue;
      // A change made while the call was under way goes with the next one.
      if (article->modDate() != sent.modDate)
        continue;
      article->setNeedsSync(false);
      if (article->deleted())
        deleted.append(article);
    }
    if (!deleted.isEmpty())
      CBDataArticle::deleteArticles(deleted, false, context);
    saved = saveContext(context);
  });
  if (!ran || !saved) {
    if (!isCancelled())
      failWithSyncError(ZPHSyncErrorStore, QStringLiteral("The sent article states could not be marked as synced."));
    return;
  }
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncArticleDataExportedNotification, QVariant(reply->toVariantMap()));
  setSucceeded();
}
