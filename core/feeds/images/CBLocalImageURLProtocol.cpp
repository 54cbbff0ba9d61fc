#include "feeds/images/CBLocalImageURLProtocol.h"

#include "feeds/images/CBImageFolderCache.h"
#include "feeds/network/CBDownloadOperation.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QRegularExpression>

namespace {

// NSURLErrorResourceUnavailable.
constexpr qint64 kResourceUnavailable = -1008;

struct SchemeMap {
  QMutex mutex;
  QHash<QString, CBImageFolderCache*> caches;
};

SchemeMap& schemeMap()
{
  static SchemeMap map;
  return map;
}

}  // namespace

void CBLocalImageURLProtocol::mapSchemeToImageFolderCache(const QString& scheme, CBImageFolderCache* cache)
{
  SchemeMap& map = schemeMap();
  QMutexLocker locker(&map.mutex);
  if (cache == nullptr)
    map.caches.remove(scheme.toLower());
  else
    map.caches.insert(scheme.toLower(), cache);
}

CBImageFolderCache* CBLocalImageURLProtocol::imageFolderCacheForScheme(const QString& scheme)
{
  SchemeMap& map = schemeMap();
  QMutexLocker locker(&map.mutex);
  return map.caches.value(scheme.toLower());
}

bool CBLocalImageURLProtocol::canInitWithURL(const QUrl& url)
{
  return !url.scheme().isEmpty() && imageFolderCacheForScheme(url.scheme()) != nullptr;
}

bool CBLocalImageURLProtocol::requestIsCacheEquivalent(const QUrl& a, const QUrl& b)
{
  return a.toEncoded() == b.toEncoded();
}

QString CBLocalImageURLProtocol::filenameOfURL(const QUrl& url)
{
  const QString whole = url.toString();
  const qsizetype colon = whole.indexOf(u':');
  if (colon < 0)
    return {};
  QString name = whole.mid(colon + 1);
  while (name.startsWith(u'/')) name.remove(0, 1);
  return name;
}

bool CBLocalImageURLProtocol::isWellFormedFilename(const QString& filename)
{
  static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{32}\\.png$"));
  return pattern.match(filename).hasMatch();
}

QByteArray CBLocalImageURLProtocol::pngImageDataForURL(const QUrl& url)
{
  CBImageFolderCache* cache = imageFolderCacheForScheme(url.scheme());
  if (cache == nullptr)
    return {};
  const QString filename = filenameOfURL(url);
  if (!isWellFormedFilename(filename))
    return {};
  // Directly inside the folder once links are resolved.
  const QString folder = QFileInfo(cache->folderPath()).canonicalFilePath();
  const QFileInfo file(QFileInfo(QDir(cache->folderPath()).filePath(filename)).canonicalFilePath());
  if (folder.isEmpty() || !file.exists() || !file.isFile() || file.path() != folder)
    return {};
  return cache->pngDataForFilename(filename);
}

ZPHImageCacheResponse CBLocalImageURLProtocol::responseForURL(const QUrl& url)
{
  return responseWithData(url, pngImageDataForURL(url));
}

ZPHImageCacheResponse CBLocalImageURLProtocol::responseWithData(const QUrl& url, const QByteArray& data)
{
  ZPHImageCacheResponse response;
  response.url = url;
  if (data.isEmpty()) {
    response.error = ZPHError(ZPHURLErrorDomain, kResourceUnavailable,
                              {{ZPHLocalizedDescriptionKey, QStringLiteral("The image is not available.")},
                               {QStringLiteral("NSErrorFailingURLKey"), url}});
    return response;
  }
  response.mimeType = QStringLiteral("image/png");
  response.data = data;
  response.expectedContentLength = data.size();
  response.allowedInURLCache = true;
  return response;
}
