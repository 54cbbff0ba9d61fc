#include "common/FRNHCGUtils.h"

#include "feeds/images/CBFaviconController.h"
#include "kit/ZPHColorFilter.h"
#include "kit/ZPHNamedImage.h"

#include <QtCore/QHash>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPdfWriter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>

#include <algorithm>

namespace {

constexpr qreal kFaviconPoints = 16.0;

CBFaviconController* g_faviconController = nullptr;

QHash<QUrl, QImage>& faviconCache()
{
  static QHash<QUrl, QImage> cache;
  return cache;
}

QHash<QUrl, QImage>& faviconTemplateCache()
{
  static QHash<QUrl, QImage> cache;
  return cache;
}

QHash<QUrl, QImage>& faviconImageRefCache()
{
  static QHash<QUrl, QImage> cache;
  return cache;
}

QHash<QString, QImage>& templatedFolderImages()
{
  static QHash<QString, QImage> images = [] {
    QHash<QString, QImage> hash;
    hash.reserve(4);
    return hash;
  }();
  return images;
}

CBFaviconController* faviconController()
{
  return g_faviconController != nullptr ? g_faviconController : CBFaviconController::sharedController();
}

// The favicon URL when there is one, else the home-page URL; empty with
// neither.
QUrl cacheKey(const QUrl& homePageURL, const QUrl& feedFaviconURL)
{
  return !feedFaviconURL.isEmpty() ? feedFaviconURL : homePageURL;
}

// The bitmap shown at 16 x 16 points.
QImage sixteenPointImage(const QImage& bitmap)
{
  QImage image = bitmap;
  image.setDevicePixelRatio(std::max(1, std::max(bitmap.width(), bitmap.height())) / kFaviconPoints);
  return image;
}

QImage defaultBitmap()
{
  static const QImage bitmap = ZPHNamedImage(QStringLiteral("GenericFeedFavicon"));
  return bitmap;
}

using MakeImage = QImage (*)(const QImage& bitmap);

QImage cachedImage(QHash<QUrl, QImage>& cache, const QUrl& homePageURL, const QUrl& feedFaviconURL, MakeImage make)
{
  const QUrl key = cacheKey(homePageURL, feedFaviconURL);
  if (!key.isEmpty()) {
    if (const auto found = cache.constFind(key); found != cache.constEnd())
      return *found;
  }
  const QImage bitmap = faviconController()->faviconForHomePageURL(homePageURL, feedFaviconURL);
  if (bitmap.isNull())
    return {};
  const QImage image = make(bitmap);
  if (!image.isNull() && !key.isEmpty())
    cache.insert(key, image);
  return image;
}

}  // namespace

QImage FRNHCGUtils::imageForFeedWithHomePageURL(const QUrl& homePageURL, const QUrl& feedFaviconURL,
                                                bool useDefaultIfNotFound)
{
  const QImage image = cachedImage(faviconCache(), homePageURL, feedFaviconURL, &sixteenPointImage);
  if (!image.isNull() || !useDefaultIfNotFound)
    return image;
  return defaultFaviconImageWithTemplating(false);
}

QImage FRNHCGUtils::templatedImageForFeed(const QUrl& homePageURL, const QUrl& feedFaviconURL,
                                          bool useDefaultIfNotFound)
{
  const QImage image = cachedImage(faviconTemplateCache(), homePageURL, feedFaviconURL, &processTemplatedFeedIcon);
  if (!image.isNull() || !useDefaultIfNotFound)
    return image;
  return defaultFaviconImageWithTemplating(true);
}

QImage FRNHCGUtils::imageRefForFeedHomePageURL(const QUrl& homePageURL, const QUrl& feedFaviconURL,
                                               bool useDefaultIfNotFound)
{
  QHash<QUrl, QImage>& cache = faviconImageRefCache();
  for (const QUrl& key : {feedFaviconURL, homePageURL}) {
    if (key.isEmpty())
      continue;
    if (const auto found = cache.constFind(key); found != cache.constEnd())
      return *found;
  }
  const QImage bitmap = faviconController()->faviconForHomePageURL(homePageURL, feedFaviconURL);
  if (!bitmap.isNull()) {
    const QUrl key = cacheKey(homePageURL, feedFaviconURL);
    if (!key.isEmpty())
      cache.insert(key, bitmap);
    return bitmap;
  }
  return useDefaultIfNotFound ? defaultBitmap() : QImage();
}

QImage FRNHCGUtils::defaultFaviconImageWithTemplating(bool templating)
{
  if (!templating)
    return ZPHNamedImage(QStringLiteral("GenericFeedFavicon"));
  static const QImage mask =
      ZPHNamedImage(QStringLiteral("GenericFeedFaviconTemplate")).convertToFormat(QImage::Format_Alpha8);
  return mask;
}

void FRNHCGUtils::clearCache()
{
  faviconCache().clear();
  faviconTemplateCache().clear();
  faviconImageRefCache().clear();
}

bool FRNHCGUtils::hasCachedImageForFeed(const QUrl& homePageURL, const QUrl& feedFaviconURL)
{
  const QUrl key = cacheKey(homePageURL, feedFaviconURL);
  return !key.isEmpty() && faviconCache().contains(key);
}

QImage FRNHCGUtils::templatedFolderImageForScaleFactor(double scaleFactor)
{
  const QString key = QStringLiteral("scale-%1").arg(scaleFactor, 0, 'f', 1);
  QHash<QString, QImage>& images = templatedFolderImages();
  if (const auto found = images.constFind(key); found != images.constEnd())
    return *found;
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return {};
  const int pixels = qRound(kFaviconPoints * std::max(1.0, scaleFactor));
  QImage folder = QApplication::style()->standardIcon(QStyle::SP_DirIcon).pixmap(pixels, pixels).toImage();
  folder.setDevicePixelRatio(std::max(1.0, scaleFactor));
  const QImage image = templatedImageFromImage(folder);
  if (!image.isNull())
    images.insert(key, image);
  return image;
}

QImage FRNHCGUtils::templatedImageFromImage(const QImage& image)
{
  if (image.isNull())
    return {};
  const qreal scale = std::max<qreal>(1.0, image.devicePixelRatio());
  const int pixels = qRound(kFaviconPoints * scale);
  QImage bitmap(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  bitmap.fill(Qt::transparent);
  {
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, pixels, pixels), image, QRectF(QPointF(0, 0), QSizeF(image.size())));
  }
  return processTemplatedFeedIcon(bitmap);
}

QImage FRNHCGUtils::processTemplatedFeedIcon(const QImage& bitmap)
{
  const QImage templated = createTemplatedImageRef(bitmap);
  if (templated.isNull())
    return {};
  const int pixels = std::max({static_cast<int>(kFaviconPoints), bitmap.width(), bitmap.height()});
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(0, 0, pixels, pixels), templated,
                      QRectF(QPointF(0, 0), QSizeF(templated.width(), templated.height())));
  }
  QImage mask = image.convertToFormat(QImage::Format_Alpha8);
  mask.setDevicePixelRatio(pixels / kFaviconPoints);
  return mask;
}

QImage FRNHCGUtils::createTemplatedImageRef(const QImage& bitmap)
{
  if (bitmap.isNull())
    return {};
  // The grey version: saturation 0, brightness and contrast unchanged.
  QImage grey = bitmap.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < grey.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x) {
      const int level = qGray(line[x]);
      line[x] = qRgba(level, level, level, qAlpha(line[x]));
    }
  }
  ZPHColorFilter filter;
  filter.setInputImage(grey);
  filter.setInputColor(QColor(255, 255, 255));
  return filter.outputImage();
}

void FRNHCGUtils::gradientFill(QPainter& painter, const QRectF& rect, const QColor& startColor, const QColor& endColor)
{
  QLinearGradient gradient(QPointF(rect.center().x(), rect.bottom()), QPointF(rect.center().x(), rect.top()));
  gradient.setColorAt(0, startColor);
  gradient.setColorAt(1, endColor);
  painter.save();
  painter.setClipRect(rect, Qt::IntersectClip);
  painter.fillRect(rect, gradient);
  painter.restore();
}

QImage FRNHCGUtils::imageFromCGImage(const QImage& bitmap, qreal width, qreal height)
{
  if (bitmap.isNull() || !(width > 0) || !(height > 0))
    return {};
  QImage image = bitmap;
  image.setDevicePixelRatio(std::max(bitmap.width() / width, bitmap.height() / height));
  return image;
}

bool FRNHCGUtils::renderInPDFFile(const QImage& bitmap, const QString& path)
{
  if (bitmap.isNull() || path.isEmpty())
    return false;
  QPdfWriter writer(path);
  writer.setPageSize(QPageSize(QSizeF(kFaviconPoints, kFaviconPoints), QPageSize::Point));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setResolution(72);
  QPainter painter;
  if (!painter.begin(&writer))
    return false;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(0, 0, kFaviconPoints, kFaviconPoints), bitmap);
  return painter.end();
}

bool FRNHCGUtils::colorIsBlackOrWhite(const QColor& color)
{
  const QColor rgb = color.toRgb();
  const qreal r = rgb.redF();
  const qreal g = rgb.greenF();
  const qreal b = rgb.blueF();
  return (r > 0.91 && g > 0.91 && b > 0.91) || (r < 0.09 && g < 0.09 && b < 0.09);
}

void FRNHCGUtils::setFaviconController(CBFaviconController* controller) { g_faviconController = controller; }
