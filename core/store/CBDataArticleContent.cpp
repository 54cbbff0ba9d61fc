#include "store/CBDataArticleContent.h"

#include "store/CBDataArticle.h"

CBDataArticle* CBDataArticleContent::article() const
{
  return static_cast<CBDataArticle*>(relatedObject(entity()->indexOfProperty(QStringLiteral("article"))));
}
