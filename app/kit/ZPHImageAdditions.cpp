#include "kit/ZPHImageAdditions.h"

#include "kit/ZPHNamedImage.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>

std::optional<QIcon> zph_imageWithNames(const QStringList& names)
{
  if (names.isEmpty())
    return std::nullopt;
  QIcon image;
  for (const QString& name : names) {
    const QImage representation = ZPHNamedImage(name);
    if (!representation.isNull())
      image.addPixmap(QPixmap::fromImage(representation));
  }
  return image;
}

QIcon zph_imageByDrawingBothRepresentationsWithSize(const QSize& size,
                                                    const std::function<void(QPainter&)>& drawingBlock)
{
  QIcon image;
  if (size.isEmpty())
    return image;
  for (const int scale : {1, 2}) {
    QImage representation(size * scale, QImage::Format_ARGB32_Premultiplied);
    representation.setDevicePixelRatio(scale);
    representation.fill(Qt::transparent);
    {
      QPainter painter(&representation);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      if (drawingBlock)
        drawingBlock(painter);
    }
    image.addPixmap(QPixmap::fromImage(representation));
  }
  return image;
}
