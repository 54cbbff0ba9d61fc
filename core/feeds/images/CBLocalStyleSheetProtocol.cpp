#include "feeds/images/CBLocalStyleSheetProtocol.h"

#include "feeds/network/CBDownloadOperation.h"
#include "foundation/CBCache.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

namespace {

// NSURLErrorResourceUnavailable.
constexpr qint64 kResourceUnavailable = -1008;

struct Registry {
  QMutex mutex;
  QStringList folders;  // canonical
  QString ripplesFolder;
  std::unique_ptr<CBCache> cache = CBCache::cache();
};

Registry& registry()
{
  static Registry shared;
  return shared;
}

QString ripplesFolder()
{
  Registry& r = registry();
  QMutexLocker locker(&r.mutex);
  return r.ripplesFolder;
}

QByteArray readFile(const QString& path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The ripple picture a "ripples:" address selects.
QString ripplesPictureName(const QUrl& url)
{
  const QString specifier = url.toString().section(u':', 1).toLower();
  if (specifier.startsWith(QLatin1String("moss")))
    return QStringLiteral("Ripples Moss.jpg");
  if (specifier.startsWith(QLatin1String("purple")))
    return QStringLiteral("Ripples Purple.jpg");
  return QStringLiteral("Ripples Blue.jpg");
}

// The local path a style-sheet URL names, before any check.
QString localPathOfStyleSheetURL(const QUrl& url)
{
  QString fileURLString = url.toString(QUrl::FullyEncoded);
  const QString prefix = CBLocalStyleSheetProtocol::styleSheetScheme() + QStringLiteral("://");
  if (!fileURLString.startsWith(prefix, Qt::CaseInsensitive))
    return {};
  fileURLString.replace(0, prefix.size(), QStringLiteral("file://"));
  const QUrl fileURL(fileURLString, QUrl::StrictMode);
  if (!fileURL.isValid() || !fileURL.isLocalFile() || !fileURL.host().isEmpty())
    return {};
  return fileURL.toLocalFile();
}

}  // namespace

QString CBLocalStyleSheetProtocol::styleSheetScheme() { return QStringLiteral("cbstylesheet"); }

QString CBLocalStyleSheetProtocol::ripplesScheme() { return QStringLiteral("ripples"); }

void CBLocalStyleSheetProtocol::registerStyleSheetFolder(const QString& folder)
{
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty() || !QFileInfo(canonical).isDir())
    return;
  Registry& r = registry();
  QMutexLocker locker(&r.mutex);
  if (!r.folders.contains(canonical))
    r.folders.append(canonical);
}

void CBLocalStyleSheetProtocol::unregisterStyleSheetFolder(const QString& folder)
{
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  Registry& r = registry();
  QMutexLocker locker(&r.mutex);
  r.folders.removeAll(canonical.isEmpty() ? folder : canonical);
  r.cache->removeAllObjects();
}

QStringList CBLocalStyleSheetProtocol::registeredStyleSheetFolders()
{
  Registry& r = registry();
  QMutexLocker locker(&r.mutex);
  return r.folders;
}

void CBLocalStyleSheetProtocol::setRipplesPicturesFolder(const QString& folder)
{
  Registry& r = registry();
  QMutexLocker locker(&r.mutex);
  r.ripplesFolder = folder;
}

bool CBLocalStyleSheetProtocol::canInitWithURL(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  return scheme == styleSheetScheme() || scheme == ripplesScheme();
}

bool CBLocalStyleSheetProtocol::requestIsCacheEquivalent(const QUrl& a, const QUrl& b)
{
  return a.toEncoded() == b.toEncoded();
}

QString CBLocalStyleSheetProtocol::mimeTypeForFilename(const QString& filename)
{
  const QString suffix = QFileInfo(filename).suffix().toLower();
  if (suffix == QLatin1String("css"))
    return QStringLiteral("text/css");
  if (suffix == QLatin1String("png"))
    return QStringLiteral("image/png");
  if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
    return QStringLiteral("image/jpeg");
  if (suffix == QLatin1String("gif"))
    return QStringLiteral("image/gif");
  return {};
}

QString CBLocalStyleSheetProtocol::servedFilePathForURL(const QUrl& url)
{
  if (url.scheme().toLower() != styleSheetScheme())
    return {};
  const QString path = localPathOfStyleSheetURL(url);
  if (path.isEmpty() || mimeTypeForFilename(path).isEmpty())
    return {};
  const QFileInfo canonical(QFileInfo(path).canonicalFilePath());
  if (!canonical.exists() || !canonical.isFile() || mimeTypeForFilename(canonical.fileName()).isEmpty())
    return {};
  const QString canonicalPath = canonical.filePath();
  for (const QString& folder : registeredStyleSheetFolders()) {
    if (canonicalPath.startsWith(folder + QLatin1Char('/')))
      return canonicalPath;
  }
  return {};
}

QByteArray CBLocalStyleSheetProtocol::styleSheetDataForURL(const QUrl& url)
{
  Registry& r = registry();
  if (url.scheme().toLower() == ripplesScheme()) {
    const QString folder = ripplesFolder();
    if (folder.isEmpty())
      return {};
    const QString key = url.toString(QUrl::FullyEncoded);
    const QVariant cached = r.cache->objectForKey(key);
    if (cached.isValid())
      return cached.toByteArray();
    const QByteArray data = readFile(QDir(folder).filePath(ripplesPictureName(url)));
    r.cache->setObjectIfNotNil(data.isEmpty() ? QVariant() : QVariant(data), key);
    return data;
  }

  const QString path = servedFilePathForURL(url);
  if (path.isEmpty())
    return {};
  const QString address = url.toString();
  const bool rewritesRipples = address.contains(QLatin1String("ripples"), Qt::CaseInsensitive) &&
                               address.endsWith(QLatin1String(".css"), Qt::CaseInsensitive);
  const QString key = (rewritesRipples ? QStringLiteral("ripples:") : QStringLiteral("file:")) + path;
  const QVariant cached = r.cache->objectForKey(key);
  if (cached.isValid())
    return cached.toByteArray();
  QByteArray data = readFile(path);
  if (data.isEmpty())
    return {};
  if (rewritesRipples) {
    QString text = QString::fromUtf8(data);
    text.replace(QLatin1String("file:///Library/Desktop%20Pictures/Ripples%20Blue.jpg"),
                 QLatin1String("ripples:blue.jpg"));
    text.replace(QLatin1String("file:///Library/Desktop%20Pictures/Ripples%20Moss.jpg"),
                 QLatin1String("ripples:moss.jpg"));
    text.replace(QLatin1String("file:///Library/Desktop%20Pictures/Ripples%20Purple.jpg"),
                 QLatin1String("ripples:purple.jpg"));
    data = text.toUtf8();
  }
  r.cache->setObject(data, key);
  return data;
}

ZPHImageCacheResponse CBLocalStyleSheetProtocol::responseForURL(const QUrl& url)
{
  ZPHImageCacheResponse response;
  response.url = url;
  const QByteArray data = canInitWithURL(url) ? styleSheetDataForURL(url) : QByteArray();
  if (data.isEmpty()) {
    response.error = ZPHError(ZPHURLErrorDomain, kResourceUnavailable,
                              {{ZPHLocalizedDescriptionKey, QStringLiteral("The style sheet is not available.")},
                               {QStringLiteral("NSErrorFailingURLKey"), url}});
    return response;
  }
  response.mimeType = url.scheme().toLower() == ripplesScheme() ? QStringLiteral("image/jpeg")
                                                                : mimeTypeForFilename(servedFilePathForURL(url));
  response.data = data;
  response.expectedContentLength = data.size();
  response.allowedInURLCache = false;
  return response;
}
