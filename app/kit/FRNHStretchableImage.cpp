#include "kit/FRNHStretchableImage.h"

#include "kit/ZPHNamedImage.h"

#include <QtGui/QPaintDevice>

#include <cmath>

namespace {

// Half of a dimension: an odd one keeps a middle of one point.
qreal defaultInset(qreal dimension)
{
  const auto whole = static_cast<unsigned>(std::max<qreal>(dimension, 0));
  return whole % 2 == 1 ? std::floor((whole - 1) * 0.5) : whole * 0.5;
}

}  // namespace

FRNHStretchableImage::FRNHStretchableImage(const QImage& image, const QString& name) : m_image(image), m_name(name)
{
  frnh_assignDefaultCapInsets();
}

std::shared_ptr<FRNHStretchableImage> FRNHStretchableImage::imageNamed(const QString& name)
{
  const QImage image = ZPHNamedImage(name);
  if (image.isNull())
    return nullptr;
  return std::make_shared<FRNHStretchableImage>(image, name);
}

QSizeF FRNHStretchableImage::size() const { return m_image.isNull() ? QSizeF() : m_image.deviceIndependentSize(); }

void FRNHStretchableImage::setStretchableCapInsets(const CapInsets& insets)
{
  m_insets = insets;
  frnh_generateSubImages();
}

void FRNHStretchableImage::frnh_assignDefaultCapInsets()
{
  const QSizeF imageSize = size();
  const qreal vertical = defaultInset(imageSize.height());
  const qreal horizontal = defaultInset(imageSize.width());
  setStretchableCapInsets({vertical, horizontal, vertical, horizontal});
}

void FRNHStretchableImage::setFlipped(bool flipped)
{
  m_flipped = flipped;
  frnh_generateSubImages();
}

void FRNHStretchableImage::frnh_generateSubImages()
{
  const QSizeF imageSize = size();
  const qreal width = imageSize.width();
  const qreal height = imageSize.height();
  const qreal left = m_insets.left;
  const qreal top = m_insets.top;
  const qreal right = m_insets.right;
  const qreal bottom = m_insets.bottom;
  const qreal middleWidth = std::trunc(width - left - right);
  const qreal middleHeight = std::trunc(height - top - bottom);
  // Top-left origin: the middle row starts where the bottom row's height
  // and the middle height leave it.
  const qreal middleY = height - bottom - middleHeight;
  const std::array<QRectF, PieceCount> sources = {
      QRectF(0, 0, left, top),
      QRectF(left, 0, middleWidth, top),
      QRectF(width - right, 0, right, top),
      QRectF(0, middleY, left, middleHeight),
      QRectF(left, middleY, middleWidth, middleHeight),
      QRectF(width - right, middleY, right, middleHeight),
      QRectF(0, height - bottom, left, bottom),
      QRectF(left, height - bottom, middleWidth, bottom),
      QRectF(width - right, height - bottom, right, bottom),
  };

  const qreal sourceScale = m_image.devicePixelRatio();
  for (int index = 0; index < PieceCount; ++index) {
    const QRectF& source = sources[index];
    m_pieces1x[index] = QImage();
    m_pieces2x[index] = QImage();
    if (!(source.width() > 0) || !(source.height() > 0) || m_image.isNull())
      continue;
    const QRectF sourcePixels(source.x() * sourceScale, source.y() * sourceScale, source.width() * sourceScale,
                              source.height() * sourceScale);
    for (const int scale : {1, 2}) {
      QImage bitmap(qRound(source.width() * scale), qRound(source.height() * scale),
                    QImage::Format_ARGB32_Premultiplied);
      if (bitmap.isNull())
        continue;
      bitmap.fill(Qt::transparent);
      {
        QPainter painter(&bitmap);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(QRectF(0, 0, bitmap.width(), bitmap.height()), m_image, sourcePixels);
      }
      bitmap.setDevicePixelRatio(scale);
      (scale == 1 ? m_pieces1x : m_pieces2x)[index] = bitmap;
    }
  }
}

QImage FRNHStretchableImage::piece(Piece piece, int scale) const
{
  const auto index = static_cast<std::size_t>(piece);
  return scale > 1 ? m_pieces2x[index] : m_pieces1x[index];
}

void FRNHStretchableImage::drawInRect(QPainter& painter, const QRectF& rect, QPainter::CompositionMode operation,
                                      qreal fraction) const
{
  if (rect.isEmpty() || m_image.isNull())
    return;
  const QPaintDevice* device = painter.device();
  const bool highDensity = device != nullptr && device->devicePixelRatioF() > 1.0;
  const auto& pieces = highDensity ? m_pieces2x : m_pieces1x;

  const qreal left = m_insets.left;
  const qreal top = m_insets.top;
  const qreal right = m_insets.right;
  const qreal bottom = m_insets.bottom;
  const qreal middleWidth = rect.width() - left - right;
  const qreal middleHeight = rect.height() - top - bottom;
  const std::array<QRectF, PieceCount> targets = {
      QRectF(rect.left(), rect.top(), left, top),
      QRectF(rect.left() + left, rect.top(), middleWidth, top),
      QRectF(rect.right() - right, rect.top(), right, top),
      QRectF(rect.left(), rect.top() + top, left, middleHeight),
      QRectF(rect.left() + left, rect.top() + top, middleWidth, middleHeight),
      QRectF(rect.right() - right, rect.top() + top, right, middleHeight),
      QRectF(rect.left(), rect.bottom() - bottom, left, bottom),
      QRectF(rect.left() + left, rect.bottom() - bottom, middleWidth, bottom),
      QRectF(rect.right() - right, rect.bottom() - bottom, right, bottom),
  };

  painter.save();
  painter.setCompositionMode(operation);
  painter.setOpacity(painter.opacity() * fraction);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  for (int index = 0; index < PieceCount; ++index) {
    const QImage& image = pieces[index];
    const QRectF& target = targets[index];
    if (image.isNull() || !(target.width() > 0) || !(target.height() > 0))
      continue;
    painter.drawImage(target, image);
  }
  painter.restore();
}
