#include "feeds/images/ZPHImageCacheProtocol.h"

#include "feeds/images/CBWebCacheController.h"
#include "feeds/network/CBDownloadOperation.h"
#include "foundation/CBMimeTypes.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>

namespace {

// NSURLErrorResourceUnavailable.
constexpr qint64 kResourceUnavailable = -1008;

const QRegularExpression& cacheKeyPattern()
{
  static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{32}\\.[A-Za-z0-9]{1,16}$"));
  return pattern;
}

// The key's file inside the folder, after links are resolved; null when it
// does not exist there.
QString containedFile(const QString& folder, const QString& name)
{
  const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
  const QString canonicalFile = QFileInfo(QDir(folder).filePath(name)).canonicalFilePath();
  if (canonicalFolder.isEmpty() || canonicalFile.isEmpty())
    return {};
  if (QFileInfo(canonicalFile).path() != canonicalFolder || !QFileInfo(canonicalFile).isFile())
    return {};
  return canonicalFile;
}

}  // namespace

QString ZPHImageCacheProtocol::scheme() { return QStringLiteral("zph-image-cache"); }

bool ZPHImageCacheProtocol::canInitWithURL(const QUrl& url) { return url.scheme() == scheme(); }

bool ZPHImageCacheProtocol::requestIsCacheEquivalent(const QUrl& a, const QUrl& b)
{
  return a.toEncoded() == b.toEncoded();
}

QString ZPHImageCacheProtocol::cacheKeyOfURL(const QUrl& url)
{
  const QString whole = url.toString();
  const qsizetype colon = whole.indexOf(u':');
  if (colon < 0)
    return {};
  QString key = whole.mid(colon + 1);
  while (key.startsWith(u'/')) key.remove(0, 1);
  return key;
}

bool ZPHImageCacheProtocol::isWellFormedCacheKey(const QString& key) { return cacheKeyPattern().match(key).hasMatch(); }

QByteArray ZPHImageCacheProtocol::dataForURL(const QUrl& url)
{
  if (!canInitWithURL(url))
    return {};
  const QString key = cacheKeyOfURL(url);
  if (!isWellFormedCacheKey(key))
    return {};
  CBWebCacheController* webCache = CBWebCacheController::sharedController();
  const QString folder = webCache->cacheFolderPath();
  if (folder.isEmpty())
    return {};

  QString name;
  if (!containedFile(folder, key).isEmpty()) {
    name = key;
  } else {
    // The URL's host came lower-cased; the stored extension may not be.
    const QString hex = key.section(u'.', 0, 0);
    const QStringList candidates = QDir(folder).entryList({hex + QStringLiteral(".*")}, QDir::Files | QDir::System);
    for (const QString& candidate : candidates) {
      if (candidate.compare(key, Qt::CaseInsensitive) == 0 && isWellFormedCacheKey(candidate) &&
          !containedFile(folder, candidate).isEmpty()) {
        name = candidate;
        break;
      }
    }
  }
  if (name.isEmpty())
    return {};
  return webCache->cachedObjectWithKey(name);
}

ZPHImageCacheResponse ZPHImageCacheProtocol::responseForURL(const QUrl& url)
{
  ZPHImageCacheResponse response;
  response.url = url;
  const QByteArray data = dataForURL(url);
  if (data.isNull()) {
    response.error = ZPHError(ZPHURLErrorDomain, kResourceUnavailable,
                              {{ZPHLocalizedDescriptionKey, QStringLiteral("The image is not in the cache.")},
                               {QStringLiteral("NSErrorFailingURLKey"), url}});
    return response;
  }
  const QString mimeType = CBMimeTypeForURLString(url.toString());
  response.mimeType = mimeType.isEmpty() ? QStringLiteral("application/octet-stream") : mimeType;
  response.data = data;
  response.expectedContentLength = data.size();
  response.allowedInURLCache = false;
  return response;
}
