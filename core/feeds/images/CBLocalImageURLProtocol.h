#pragma once

#include "feeds/images/ZPHImageCacheProtocol.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>

class CBImageFolderCache;

// Serves the images of an image folder cache to web views under a scheme of
// their own: "<scheme>:" followed by the file name ("cbfavicon:<name>" for
// the favicons). The application maps its schemes at start-up and wraps the
// class in its web engine's scheme handler.
//
// Only the names the folder caches make are served: 32 lower-case hex digits
// and ".png". The file must lie directly inside the cache's folder once links
// are resolved. Anything else fails like a missing image.
//
// Usable from any thread; the map is meant to be written at start-up.
class CBLocalImageURLProtocol {
public:
  // Serves `scheme` from `cache` (not owned; it must live for as long as
  // the scheme is served). A null cache ends the mapping.
  static void mapSchemeToImageFolderCache(const QString& scheme, CBImageFolderCache* cache);
  static CBImageFolderCache* imageFolderCacheForScheme(const QString& scheme);

  // True when the URL's scheme is mapped.
  static bool canInitWithURL(const QUrl& url);
  // The request itself.
  static QUrl canonicalRequestForURL(const QUrl& url) { return url; }
  // Equal absolute URL strings.
  static bool requestIsCacheEquivalent(const QUrl& a, const QUrl& b);

  // The URL's resource specifier (after the scheme's colon) without leading
  // slashes, percent escapes decoded.
  static QString filenameOfURL(const QUrl& url);
  static bool isWellFormedFilename(const QString& filename);

  // PNG bytes of the named image; null when missing or refused.
  static QByteArray pngImageDataForURL(const QUrl& url);
  // The data as "image/png" with its length, cacheable; or the error
  // NSURLErrorDomain -1008 (resource unavailable).
  static ZPHImageCacheResponse responseForURL(const QUrl& url);

protected:
  static ZPHImageCacheResponse responseWithData(const QUrl& url, const QByteArray& data);
};
