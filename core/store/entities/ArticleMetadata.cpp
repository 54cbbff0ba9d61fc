#include "store/entities/ArticleMetadata.h"

#include "platform/ZPHLog.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"

const QString ArticleMetadataReadKey = QStringLiteral("read");
const QString ArticleMetadataFlaggedKey = QStringLiteral("flagged");

namespace {

const QString ArticleKey = QStringLiteral("article");
const QString GuidKey = QStringLiteral("guid");

QList<ArticleMetadata*> fetchMetadata(const ZPHPredicate& predicate, ZPHManagedObjectContext* context)
{
  ZPHError error;
  const QList<ZPHManagedObject*> objects =
      context->executeFetchRequest(ZPHFetchRequest(CBDataEntityNameArticleMetadata, predicate), &error);
  if (!error.isNull())
    qCWarning(zphStore) << "Fetch Request Error:" << error.toString();
  QList<ArticleMetadata*> records;
  records.reserve(objects.size());
  for (ZPHManagedObject* object : objects) records.append(static_cast<ArticleMetadata*>(object));
  return records;
}

}  // namespace

CBDataArticle* ArticleMetadata::article() const
{
  return static_cast<CBDataArticle*>(relatedObject(entity()->indexOfProperty(ArticleKey)));
}

void ArticleMetadata::didChangeValueForKey(const QString& key)
{
  if (key != ArticleMetadataReadKey && key != ArticleMetadataFlaggedKey)
    return;
  CBDataArticle* holder = m_holderHint;
  if (holder == nullptr || holder->metadataObjectID() != objectID())
    holder = article();
  if (holder != nullptr)
    holder->metadataDidChange(key == ArticleMetadataReadKey ? CBDataArticleReadKey : CBDataArticleFlaggedKey);
}

ArticleMetadata* ArticleMetadata::insertArticleMetadataWithMOC(ZPHManagedObjectContext* context)
{
  return context == nullptr ? nullptr
                            : static_cast<ArticleMetadata*>(CBInsertObject(CBDataEntityNameArticleMetadata, context));
}

ArticleMetadata* ArticleMetadata::insertArticleMetadataForGUID(const QString& guid, ZPHManagedObjectContext* context)
{
  Q_ASSERT_X(!guid.isNull(), Q_FUNC_INFO, "metadata.guid != nil");
  ArticleMetadata* record = insertArticleMetadataWithMOC(context);
  if (record != nullptr)
    record->setGuid(guid);
  return record;
}

ArticleMetadata* ArticleMetadata::findExistingArticleMetadataWithGUID(const QString& guid,
                                                                      ZPHManagedObjectContext* context)
{
  if (context == nullptr)
    return nullptr;
  return static_cast<ArticleMetadata*>(
      CBFetchManagedObjectWithValueForKey(GuidKey, guid, CBDataEntityNameArticleMetadata, context));
}

ArticleMetadata* ArticleMetadata::findOrInsertArticleMetadataWithGUID(const QString& guid,
                                                                      ZPHManagedObjectContext* context)
{
  if (ArticleMetadata* record = findExistingArticleMetadataWithGUID(guid, context))
    return record;
  return insertArticleMetadataForGUID(guid, context);
}

QList<ArticleMetadata*> ArticleMetadata::findExistingArticleMetadataForArticles(const QList<CBDataArticle*>& articles,
                                                                                ZPHManagedObjectContext* context)
{
  Q_ASSERT_X(context != nullptr, Q_FUNC_INFO, "moc");
  if (articles.isEmpty() || context == nullptr)
    return {};
  QVariantList values;
  values.reserve(articles.size());
  for (CBDataArticle* article : articles) values.append(QVariant::fromValue(static_cast<ZPHManagedObject*>(article)));
  return fetchMetadata(ZPHPredicate::in(ArticleKey, values), context);
}

QList<ArticleMetadata*> ArticleMetadata::findArticleMetadataForArticlesByGUID(const QList<CBDataArticle*>& articles,
                                                                              ZPHManagedObjectContext* context)
{
  Q_ASSERT_X(context != nullptr, Q_FUNC_INFO, "moc");
  if (context == nullptr)
    return {};
  QVariantList links;
  for (const CBDataArticle* article : articles) {
    const QString link = article->bestLink();
    if (!link.isEmpty())
      links.append(link);
  }
  if (links.isEmpty())
    return {};
  return fetchMetadata(ZPHPredicate::in(GuidKey, links), context);
}
