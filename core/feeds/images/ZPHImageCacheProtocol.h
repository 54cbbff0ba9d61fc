#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>

// What a load of an image-cache URL answers: the data with its response
// fields, or an error.
struct ZPHImageCacheResponse {
  QUrl url;
  QString mimeType;
  qint64 expectedContentLength = 0;
  QByteArray data;
  ZPHError error;  // null on success
  bool allowedInURLCache = false;
};

// Serves the article images kept in the web cache to web views under the
// scheme "zph-image-cache"; the application wraps it in its web engine's
// scheme handler. An URL is "zph-image-cache://" and a web-cache key.
//
// Only keys of the form the web cache itself makes are served: 32
// lower-case hex digits, a dot and an extension of 1 to 16 ASCII letters or
// digits. Since URL hosts come lower-cased, a key whose extension differs
// only in case from a stored file finds that file. The file must lie
// directly inside the web-cache folder after links are resolved. Anything
// else fails like a missing image.
class ZPHImageCacheProtocol {
public:
  // "zph-image-cache".
  static QString scheme();

  static bool canInitWithURL(const QUrl& url);
  // The request itself.
  static QUrl canonicalRequestForURL(const QUrl& url) { return url; }
  // Equal absolute URL strings.
  static bool requestIsCacheEquivalent(const QUrl& a, const QUrl& b);

  // The URL's resource specifier (after the scheme's colon) without leading
  // slashes.
  static QString cacheKeyOfURL(const QUrl& url);
  static bool isWellFormedCacheKey(const QString& key);

  // The cached bytes for the URL; null when missing or refused.
  static QByteArray dataForURL(const QUrl& url);
  // Data with MIME type (from the URL's extension, else
  // "application/octet-stream"), its length, not allowed into the URL cache;
  // or the error NSURLErrorDomain -1008 (resource unavailable).
  static ZPHImageCacheResponse responseForURL(const QUrl& url);
};
