#include "kit/CBImageExtras.h"

#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>

QImage cb_imageScaledToSize(const QImage& image, const QSizeF& size, bool maintainAspect)
{
  if (!cb_canBeDrawn(image) || !(size.width() > 0) || !(size.height() > 0))
    return {};
  const qreal scale = std::max<qreal>(1.0, image.devicePixelRatio());
  const QSize pixels(std::max(1, qRound(size.width() * scale)), std::max(1, qRound(size.height() * scale)));
  QImage scaled(pixels, QImage::Format_ARGB32_Premultiplied);
  if (scaled.isNull())
    return {};
  scaled.fill(Qt::transparent);

  const qreal sourceWidth = image.width();
  const qreal sourceHeight = image.height();
  QRectF source(0, 0, sourceWidth, sourceHeight);
  if (maintainAspect) {
    const qreal targetRatio = size.width() / size.height();
    if (targetRatio >= sourceWidth / sourceHeight) {
      // Relatively wider target: full width, the top part of the height.
      source = QRectF(0, 0, sourceWidth, sourceWidth / targetRatio);
    } else {
      // Relatively taller target: full height, the middle of the width.
      const qreal width = targetRatio * sourceHeight;
      source = QRectF((sourceWidth - width) / 2, 0, width, sourceHeight);
    }
  }
  {
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QRectF(0, 0, pixels.width(), pixels.height()), image, source);
  }
  scaled.setDevicePixelRatio(scale);
  return scaled;
}

QImage cb_imageScaledToSize(const QImage& image, const QSizeF& size)
{
  return cb_imageScaledToSize(image, size, false);
}

bool cb_canBeDrawn(const QImage& image) { return !image.isNull() && image.width() > 0 && image.height() > 0; }

QImage cb_firstBitmapImageRep(const QIcon& image)
{
  const QList<QSize> sizes = image.availableSizes();
  if (sizes.isEmpty())
    return {};
  return image.pixmap(sizes.constFirst(), 1.0).toImage();
}
