#include "feeds/images/ZPHArticleImageCacheTarget.h"

#include "foundation/CBString.h"

QUrl ZPHArticleImageCacheTarget::absoluteURLFromArticleKey(const QString& articleKey, const QUrl& baseURL)
{
  if (articleKey.isEmpty())
    return {};
  if (articleKey.startsWith(u'/')) {
    if (baseURL.isEmpty())
      return {};
    const QUrl resolved = baseURL.resolved(QUrl(articleKey));
    return resolved.isValid() ? resolved : QUrl();
  }
  const QUrl url(articleKey);
  return url.isValid() ? url : QUrl();
}

ZPHArticleImageCacheTarget ZPHArticleImageCacheTarget::cacheObjectWithArticleKey(const QString& articleKey,
                                                                                 const QUrl& absoluteURL)
{
  return ZPHArticleImageCacheTarget(articleKey, absoluteURL);
}

QList<ZPHArticleImageCacheTarget> zph_allImageCacheTargetsFoundInHTML(const QString& html, const QUrl& baseURL)
{
  QList<ZPHArticleImageCacheTarget> targets;
  if (html.isEmpty())
    return targets;
  const QStringList sources = cb_allImgURLStringsInHTML(html);
  for (const QString& source : sources) {
    const QUrl url = ZPHArticleImageCacheTarget::absoluteURLFromArticleKey(source, baseURL);
    if (!url.isEmpty())
      targets.append(ZPHArticleImageCacheTarget::cacheObjectWithArticleKey(source, url));
  }
  return targets;
}
