#include "kit/ZPHShadow.h"

#include <QtCore/QtMath>
#include <QtGui/QImage>
#include <QtGui/QPaintDevice>
#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One pass of a box blur over the alpha bytes of a premultiplied ARGB image,
// along rows (horizontal) or columns.
void boxBlurAlpha(QImage& image, int radius, bool horizontal)
{
  if (radius < 1)
    return;
  const int width = image.width();
  const int height = image.height();
  const int lines = horizontal ? height : width;
  const int length = horizontal ? width : height;
  const int window = 2 * radius + 1;
  std::vector<int> source(length);
  for (int line = 0; line < lines; ++line) {
    const auto pixelAt = [&](int i) -> QRgb* {
      return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(line)) + i
                        : reinterpret_cast<QRgb*>(image.scanLine(i)) + line;
    };
    for (int i = 0; i < length; ++i) source[i] = qAlpha(*pixelAt(i));
    int sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < length) ? source[i] : 0;
    for (int i = 0; i < length; ++i) {
      const int alpha = sum / window;
      *pixelAt(i) = qRgba(0, 0, 0, alpha);
      const int leaving = i - radius;
      const int entering = i + radius + 1;
      if (leaving >= 0)
        sum -= source[leaving];
      if (entering < length)
        sum += source[entering];
    }
  }
}

}  // namespace

void ZPHShadow::setShadowWithBlurRadius(qreal blurRadius, const QColor& color, const QPointF& offset)
{
  m_blurRadius = blurRadius;
  m_color = color;
  m_offset = offset;
}

void ZPHShadow::draw(QPainter& painter, const QRectF& shapeBounds, const std::function<void(QPainter&)>& shape) const
{
  if (!m_color.isValid() || m_color.alpha() == 0 || shapeBounds.isEmpty() || !shape)
    return;
  const QPaintDevice* device = painter.device();
  const qreal scale = std::max<qreal>(1.0, device != nullptr ? device->devicePixelRatioF() : 1.0) *
                      std::max<qreal>(1.0, std::abs(painter.worldTransform().m11()));
  const qreal margin = std::ceil(std::max<qreal>(m_blurRadius, 0) * 1.5) + 1;
  const QRectF area = shapeBounds.adjusted(-margin, -margin, margin, margin);
  const QSize pixels(std::clamp(qCeil(area.width() * scale), 1, 8192),
                     std::clamp(qCeil(area.height() * scale), 1, 8192));

  QImage silhouette(pixels, QImage::Format_ARGB32_Premultiplied);
  if (silhouette.isNull())
    return;
  silhouette.fill(Qt::transparent);
  {
    QPainter offscreen(&silhouette);
    offscreen.setRenderHint(QPainter::Antialiasing);
    offscreen.scale(scale, scale);
    offscreen.translate(-area.topLeft());
    shape(offscreen);
  }
  // Three box passes come close to a Gaussian whose spread is about half
  // the blur radius.
  const int radius = qRound(std::max<qreal>(m_blurRadius, 0) * scale / 2.0);
  for (int pass = 0; pass < 3; ++pass) {
    boxBlurAlpha(silhouette, radius, true);
    boxBlurAlpha(silhouette, radius, false);
  }
  {
    QPainter colorize(&silhouette);
    colorize.setCompositionMode(QPainter::CompositionMode_SourceIn);
    colorize.fillRect(silhouette.rect(), m_color);
  }
  silhouette.setDevicePixelRatio(scale);

  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.drawImage(QRectF(area.topLeft() + m_offset, area.size()), silhouette);
  painter.restore();
}

void ZPHShadow::drawForPath(QPainter& painter, const QPainterPath& path) const
{
  draw(painter, path.boundingRect(), [&path](QPainter& offscreen) { offscreen.fillPath(path, Qt::black); });
}
