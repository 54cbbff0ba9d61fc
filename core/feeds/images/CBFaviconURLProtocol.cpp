#include "feeds/images/CBFaviconURLProtocol.h"

#include "foundation/CBFiles.h"

#include <QtCore/QFile>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

QString CBFaviconURLProtocol::scheme() { return QStringLiteral("cbfavicon"); }

namespace {

QMutex g_genericMutex;
QByteArray g_genericData;

}  // namespace

QByteArray CBFaviconURLProtocol::genericFeedFaviconData()
{
  {
    QMutexLocker locker(&g_genericMutex);
    if (!g_genericData.isEmpty())
      return g_genericData;
  }
  static const QByteArray resource = [] {
    QFile file(cb_pathForResourceWithSuffix(QStringLiteral("GenericFeedFavicon.png")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }();
  return resource;
}

void CBFaviconURLProtocol::setGenericFeedFaviconData(const QByteArray& png)
{
  QMutexLocker locker(&g_genericMutex);
  g_genericData = png;
}

ZPHImageCacheResponse CBFaviconURLProtocol::responseForURL(const QUrl& url)
{
  if (!canInitWithURL(url) || !isWellFormedFilename(filenameOfURL(url)))
    return responseWithData(url, {});
  QByteArray data = pngImageDataForURL(url);
  if (data.isEmpty())
    data = genericFeedFaviconData();
  return responseWithData(url, data);
}
