#pragma once

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QUrl>

// One image found in an article's HTML: the src text exactly as written
// (the article key) and the address it stands for.
class ZPHArticleImageCacheTarget {
public:
  ZPHArticleImageCacheTarget() = default;
  ZPHArticleImageCacheTarget(const QString& articleKey, const QUrl& absoluteURL)
      : m_articleKey(articleKey), m_absoluteURL(absoluteURL)
  {
  }

  // A src starting with "/" is resolved against the base URL (nothing
  // without one); any other src is taken as an address by itself. Empty
  // when the text gives no address.
  static QUrl absoluteURLFromArticleKey(const QString& articleKey, const QUrl& baseURL);
  static ZPHArticleImageCacheTarget cacheObjectWithArticleKey(const QString& articleKey, const QUrl& absoluteURL);

  QString articleKey() const { return m_articleKey; }
  QUrl absoluteURL() const { return m_absoluteURL; }

private:
  QString m_articleKey;
  QUrl m_absoluteURL;
};

// The images of all img tags of the HTML, in order, each that gives an
// address.
QList<ZPHArticleImageCacheTarget> zph_allImageCacheTargetsFoundInHTML(const QString& html, const QUrl& baseURL);
