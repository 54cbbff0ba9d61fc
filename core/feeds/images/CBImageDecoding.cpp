#include "feeds/images/CBImageDecoding.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtGui/QImageReader>

#include <cmath>

namespace {

// Multi-image files (icons) are looked at up to this many images.
constexpr int kMaximumImagesExamined = 64;

bool isAcceptableSize(const QSize& size)
{
  if (!size.isValid() || size.width() <= 0 || size.height() <= 0)
    return false;
  if (size.width() > CBImageDecodingMaximumSide || size.height() > CBImageDecodingMaximumSide)
    return false;
  return qint64(size.width()) * qint64(size.height()) <= CBImageDecodingMaximumPixelCount;
}

void prepareReader(QImageReader& reader)
{
  reader.setAllocationLimit(CBImageDecodingAllocationLimitMB);
  reader.setAutoTransform(true);
  reader.setDecideFormatFromContent(true);
}

// A prepared reader over bytes in memory.
struct DataImageReader {
  explicit DataImageReader(const QByteArray& data)
  {
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    reader.setDevice(&buffer);
    prepareReader(reader);
  }

  QBuffer buffer;
  QImageReader reader;
};

// 32-bit RGB, with alpha only when the image has any.
QImage normalized(const QImage& image)
{
  if (image.isNull())
    return {};
  return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// The proportional size whose longer side is `maxPixelSize`.
QSize fittedSize(const QSize& size, int maxPixelSize)
{
  if (size.width() >= size.height()) {
    const int height = std::max(1, int(std::lround(double(size.height()) * maxPixelSize / size.width())));
    return {maxPixelSize, height};
  }
  const int width = std::max(1, int(std::lround(double(size.width()) * maxPixelSize / size.height())));
  return {width, maxPixelSize};
}

bool fits(const QSize& size, int maxPixelSize)
{
  return size.width() >= 1 && size.height() >= 1 && size.width() <= maxPixelSize && size.height() <= maxPixelSize;
}

// Reads the current image of the reader, scaled down to fit `maxPixelSize`
// when it is larger (0: never scaled). The declared size is checked first.
QImage readCurrentImage(QImageReader& reader, int maxPixelSize)
{
  const QSize size = reader.size();
  if (!isAcceptableSize(size))
    return {};
  if (maxPixelSize > 0 && !fits(size, maxPixelSize))
    reader.setScaledSize(fittedSize(size, maxPixelSize));
  QImage image = reader.read();
  if (!image.isNull() && maxPixelSize > 0 && !fits(image.size(), maxPixelSize))
    image = image.scaled(fittedSize(image.size(), maxPixelSize), Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return normalized(image);
}

}  // namespace

QSize CBImagePixelSizeOfData(const QByteArray& data)
{
  if (data.isEmpty())
    return {};
  DataImageReader source(data);
  const QSize size = source.reader.size();
  return size.isValid() && size.width() > 0 && size.height() > 0 ? size : QSize();
}

QImage CBCGImageFromData(const QByteArray& data)
{
  if (data.isEmpty())
    return {};
  DataImageReader source(data);
  return readCurrentImage(source.reader, 0);
}

QImage CBCGImageFromDataWithMaxPixelSize(const QByteArray& data, int maxPixelSize)
{
  if (data.isEmpty() || maxPixelSize <= 0)
    return {};

  // Which image of a multi-image file: the last one of exactly M x M, else
  // the smallest one at least M on both sides (scaled down), else the
  // largest.
  int chosen = 0;
  {
    DataImageReader source(data);
    QImageReader& reader = source.reader;
    const int count = std::min(reader.imageCount(), kMaximumImagesExamined);
    if (count > 1) {
      int exact = -1;
      int smallestCovering = -1;
      qint64 smallestCoveringArea = 0;
      int largest = -1;
      qint64 largestArea = 0;
      for (int index = 0; index < count; ++index) {
        if (index > 0 && !reader.jumpToImage(index))
          break;
        const QSize size = reader.size();
        if (!isAcceptableSize(size))
          continue;
        const qint64 area = qint64(size.width()) * size.height();
        if (size == QSize(maxPixelSize, maxPixelSize))
          exact = index;
        if (size.width() >= maxPixelSize && size.height() >= maxPixelSize &&
            (smallestCovering < 0 || area < smallestCoveringArea)) {
          smallestCovering = index;
          smallestCoveringArea = area;
        }
        if (largest < 0 || area > largestArea) {
          largest = index;
          largestArea = area;
        }
      }
      chosen = exact >= 0 ? exact : smallestCovering >= 0 ? smallestCovering : std::max(largest, 0);
    }
  }

  DataImageReader source(data);
  QImageReader& reader = source.reader;
  if (chosen > 0 && !reader.jumpToImage(chosen))
    return {};
  return readCurrentImage(reader, maxPixelSize);
}

QImage CBCGImageThumbnailFromImageSourceWithMaxPixelSize(QIODevice* imageSource, int maxPixelSize)
{
  if (!imageSource || maxPixelSize <= 0)
    return {};
  QImageReader reader(imageSource);
  prepareReader(reader);
  return readCurrentImage(reader, maxPixelSize);
}

QImage CBCGImageWithFilePath(const QString& path)
{
  if (path.isEmpty())
    return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QImageReader reader(&file);
  prepareReader(reader);
  return readCurrentImage(reader, 0);
}

QImage CBCGImageInResources(const QString& name)
{
  if (name.isEmpty() || name.contains(u'/'))
    return {};
  const QString exact = QStringLiteral(":/") + name;
  if (QFileInfo(exact).isFile())
    return CBCGImageWithFilePath(exact);
  const QStringList matches =
      QDir(QStringLiteral(":/")).entryList({name + QStringLiteral(".*")}, QDir::Files, QDir::Name);
  return matches.isEmpty() ? QImage() : CBCGImageWithFilePath(QStringLiteral(":/") + matches.first());
}
