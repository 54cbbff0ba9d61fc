#include "store/ArticleMetadata.h"

#include "store/CBDataArticle.h"

const QString ArticleMetadataReadKey = QStringLiteral("read");
const QString ArticleMetadataFlaggedKey = QStringLiteral("flagged");

namespace {
const QString ArticleKey = QStringLiteral("article");
}  // namespace

CBDataArticle* ArticleMetadata::article() const
{
  return static_cast<CBDataArticle*>(relatedObject(entity()->indexOfProperty(ArticleKey)));
}

void ArticleMetadata::didChangeValueForKey(const QString& key)
{
  if (key != ArticleMetadataReadKey && key != ArticleMetadataFlaggedKey)
    return;
  if (CBDataArticle* holder = article())
    holder->metadataDidChange(key == ArticleMetadataReadKey ? CBDataArticleReadKey : CBDataArticleFlaggedKey);
}
