#pragma once

// Qt kind: none (static functions).

#include <QtCore/QRectF>
#include <QtCore/QSizeF>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

#include <optional>

// What the article view checks before it acts on what the page sends (the
// "ArticleWebConsole" calls, which any script in the page could make) and
// before it opens a link of the page. Pure functions.
class ZPHArticleDetailChecks {
public:
  ZPHArticleDetailChecks() = delete;

  // "toggleImageLayout": only the numbers 0 and 1 (or false and true).
  static std::optional<int> imageLayoutValue(const QVariant& value);

  // "shareSelectedArticle…": x, y, width and height must be finite; the
  // rectangle is clamped to the view (origin inside it, size not negative
  // and not past its edges). Nothing for a non-finite value or an empty
  // view.
  static std::optional<QRectF> shareRectangle(double x, double y, double width, double height, const QSizeF& viewSize);

  // "publicURLForImageCachedURL": the address of the shown article's image
  // that `cachedURL` (an image-cache address of the page) stands for, found
  // among the images of the article's own HTML; empty for anything else
  // (another scheme, a malformed cache key, an image of another article, a
  // source that is not http or https).
  static QUrl publicURLForImageCachedURL(const QString& cachedURL, const QString& articleHTML, const QUrl& baseURL);

  // A link of the article page: a relative one resolves against the
  // article's base URL (QUrl::resolved, which keeps its query); any other
  // comes back unchanged, as does every link when the base is not absolute.
  static QUrl urlAdjustedForArticleRelativity(const QUrl& url, const QUrl& baseURL);
};
