#include "store/CBDataArticle.h"

#include "store/ArticleMetadata.h"
#include "store/CBDataArticleContent.h"

const QString CBDataArticleReadKey = QStringLiteral("read");
const QString CBDataArticleFlaggedKey = QStringLiteral("flagged");
const QString CBDataArticleMetadataKey = QStringLiteral("metadata");
const QString CBDataArticleFeedURLKey = QStringLiteral("feedURL");

namespace {
const QString ContentKey = QStringLiteral("content");
const QString EnclosuresKey = QStringLiteral("enclosures");
}  // namespace

CBDataArticleContent* CBDataArticle::content() const
{
  return static_cast<CBDataArticleContent*>(relatedObject(entity()->indexOfProperty(ContentKey)));
}

void CBDataArticle::setContent(CBDataArticleContent* content)
{
  setRelatedObject(entity()->indexOfProperty(ContentKey), content);
}

ArticleMetadata* CBDataArticle::metadata() const
{
  return static_cast<ArticleMetadata*>(relatedObject(entity()->indexOfProperty(CBDataArticleMetadataKey)));
}

void CBDataArticle::setMetadata(ArticleMetadata* metadata)
{
  setRelatedObject(entity()->indexOfProperty(CBDataArticleMetadataKey), metadata);
}

QList<ZPHManagedObject*> CBDataArticle::enclosures() const
{
  return relatedObjects(entity()->indexOfProperty(EnclosuresKey));
}

bool CBDataArticle::read() const
{
  const ArticleMetadata* record = metadata();
  return record != nullptr && record->read();
}

bool CBDataArticle::flagged() const
{
  const ArticleMetadata* record = metadata();
  return record != nullptr && record->flagged();
}

void CBDataArticle::metadataDidChange(const QString& key)
{
  notifyChange(key);
}

void CBDataArticle::didChangeValueForKey(const QString& key)
{
  if (key == CBDataArticleMetadataKey) {
    notifyChange(CBDataArticleReadKey);
    notifyChange(CBDataArticleFlaggedKey);
  }
}
