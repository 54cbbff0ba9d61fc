#include "feeds/images/CBImageFolderCache.h"

#include "feeds/images/CBImageDecoding.h"
#include "foundation/CBCache.h"
#include "foundation/CBData.h"
#include "foundation/CBFiles.h"
#include "foundation/CBString.h"
#include "foundation/ZPHErrors.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QMutexLocker>
#include <QtCore/QSaveFile>

#include <algorithm>

namespace {

QByteArray encodedPNG(const QImage& image)
{
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG"))
    return {};
  return bytes;
}

}  // namespace

CBImageFolderCache::CBImageFolderCache(const QString& folderPath)
    : m_folderPath(folderPath),
      m_cgImageCache(CBCache::cache()),
      m_nsImageCache(CBCache::cache()),
      m_pngDataCache(CBCache::cache())
{
}

CBImageFolderCache::~CBImageFolderCache() = default;

QString CBImageFolderCache::filenameForURLString(const QString& urlString)
{
  return cb_URLStringSafeForFileSystem(urlString) + QStringLiteral(".png");
}

unsigned CBImageFolderCache::inMemoryCacheCountLimit() const
{
  return std::max(m_cgImageCache->countLimit(), m_pngDataCache->countLimit());
}

void CBImageFolderCache::setInMemoryCacheCountLimit(unsigned limit)
{
  m_cgImageCache->setCountLimit(limit);
  m_nsImageCache->setCountLimit(limit);
  m_pngDataCache->setCountLimit(limit);
}

QString CBImageFolderCache::pathWithFilename(const QString& filename) const
{
  return QDir(m_folderPath).filePath(filename);
}

QUrl CBImageFolderCache::URLWithFilename(const QString& filename) const
{
  return QUrl::fromLocalFile(pathWithFilename(filename));
}

QByteArray CBImageFolderCache::dataForFilename(const QString& filename) const
{
  if (filename.isEmpty())
    return {};
  QMutexLocker locker(&m_fileMutex);
  QFile file(pathWithFilename(filename));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll();
}

QImage CBImageFolderCache::cgImageForFilename(const QString& filename) const
{
  QImage image = cachedCGImageForFilename(filename);
  if (!image.isNull())
    return image;
  // Files may hold downloaded bytes as they came: decoded within the bounds.
  image = CBCGImageFromData(dataForFilename(filename));
  if (!image.isNull())
    m_cgImageCache->setObject(image, filename);
  return image;
}

QImage CBImageFolderCache::cachedCGImageForFilename(const QString& filename) const
{
  return m_cgImageCache->objectForKey(filename).value<QImage>();
}

QImage CBImageFolderCache::cachedNSImageForFilename(const QString& filename) const
{
  return m_nsImageCache->objectForKey(filename).value<QImage>();
}

QByteArray CBImageFolderCache::pngDataForFilename(const QString& filename) const
{
  QByteArray png = m_pngDataCache->objectForKey(filename).toByteArray();
  if (!png.isEmpty())
    return png;
  const QByteArray bytes = dataForFilename(filename);
  if (dataIsPNG(bytes))
    png = bytes;
  else
    png = encodedPNG(CBCGImageFromData(bytes));
  if (png.isEmpty())
    return {};
  m_pngDataCache->setObject(png, filename);
  return png;
}

bool CBImageFolderCache::saveCGImage(const QImage& image, const QString& filename, ZPHError* error)
{
  if (image.isNull() || filename.isEmpty())
    return false;
  m_cgImageCache->setObject(image, filename);
  const QByteArray png = encodedPNG(image);
  if (png.isEmpty()) {
    if (error)
      *error = ZPHErrors::errorWithCode(QFileDevice::WriteError, QStringLiteral("The image could not be encoded."));
    return false;
  }
  return writeFile(png, filename, error);
}

bool CBImageFolderCache::saveImageData(const QByteArray& data, const QString& filename, ZPHError* error)
{
  if (filename.isEmpty())
    return false;
  if (dataIsPNG(data))
    m_pngDataCache->setObject(data, filename);
  return writeFile(data, filename, error);
}

bool CBImageFolderCache::writeFile(const QByteArray& bytes, const QString& filename, ZPHError* error)
{
  QMutexLocker locker(&m_fileMutex);
  QSaveFile file(pathWithFilename(filename));
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
    return true;
  if (error)
    *error = ZPHErrors::errorWithCode(file.error(), file.errorString());
  file.cancelWriting();
  return false;
}
