#include "articleview/ZPHArticleDetailChecks.h"

#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/images/ZPHImageCacheProtocol.h"

#include <algorithm>
#include <cmath>

std::optional<int> ZPHArticleDetailChecks::imageLayoutValue(const QVariant& value)
{
  switch (value.typeId()) {
    case QMetaType::Bool:
      return value.toBool() ? 1 : 0;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: {
      const double number = value.toDouble();
      if (number == 0.0 || number == 1.0)
        return int(number);
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<QRectF> ZPHArticleDetailChecks::shareRectangle(double x, double y, double width, double height,
                                                             const QSizeF& viewSize)
{
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) || !std::isfinite(height))
    return std::nullopt;
  if (!std::isfinite(viewSize.width()) || !std::isfinite(viewSize.height()) || viewSize.width() <= 0 ||
      viewSize.height() <= 0)
    return std::nullopt;
  const double left = std::clamp(x, 0.0, viewSize.width());
  const double top = std::clamp(y, 0.0, viewSize.height());
  const double right = std::clamp(x + std::max(width, 0.0), left, viewSize.width());
  const double bottom = std::clamp(y + std::max(height, 0.0), top, viewSize.height());
  return QRectF(left, top, right - left, bottom - top);
}

QUrl ZPHArticleDetailChecks::publicURLForImageCachedURL(const QString& cachedURL, const QString& articleHTML,
                                                        const QUrl& baseURL)
{
  const QUrl url(cachedURL);
  if (!url.isValid() || !ZPHImageCacheProtocol::canInitWithURL(url) ||
      !ZPHImageCacheProtocol::isWellFormedCacheKey(ZPHImageCacheProtocol::cacheKeyOfURL(url)))
    return {};
  const QUrl image =
      ZPHArticleImageCacheController::sharedController()->URLOfImageInArticleContentHTML(articleHTML, url, baseURL);
  if (image.scheme() != QLatin1String("http") && image.scheme() != QLatin1String("https"))
    return {};
  return image;
}

QUrl ZPHArticleDetailChecks::urlAdjustedForArticleRelativity(const QUrl& url, const QUrl& baseURL)
{
  if (!url.isRelative() || !baseURL.isValid() || baseURL.isRelative())
    return url;
  return baseURL.resolved(url);
}
