#include "feeds/images/CBFaviconURLProtocol.h"

#include "foundation/CBFiles.h"

#include <QtCore/QFile>

QString CBFaviconURLProtocol::scheme() { return QStringLiteral("cbfavicon"); }

QByteArray CBFaviconURLProtocol::genericFeedFaviconData()
{
  static const QByteArray data = [] {
    QFile file(cb_pathForResourceWithSuffix(QStringLiteral("GenericFeedFavicon.png")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }();
  return data;
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
