#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <memory>

class CBWebCacheController;
class ZPHArticleImageCacheOperation;
class ZPHOperationQueue;

// Keeps the images of articles in the web cache so that articles show them
// offline: one ZPHArticleImageCacheOperation per article downloads the
// missing ones (at most two articles at once), cache URLs of the
// "zph-image-cache" scheme map back to the image URLs of the HTML, the
// biggest cached image can stand as the article's thumbnail, and an
// article's images are purged when it goes.
//
// Every member may be called from any thread; the bookkeeping runs on a
// serial management queue.
class ZPHArticleImageCacheController {
public:
  static ZPHArticleImageCacheController* sharedController();

  ZPHArticleImageCacheController(const ZPHArticleImageCacheController&) = delete;
  ZPHArticleImageCacheController& operator=(const ZPHArticleImageCacheController&) = delete;

  // HTML with no image to download (ZPHArticleImageCacheOperation::
  // imageURLsToFetch) does nothing. Otherwise an operation for the HTML is
  // made, registered under the HTML text (in place of an earlier one) and
  // queued; its end removes the registration.
  void cacheImagesFoundInArticleContentHTML(const QString& html, const QUrl& baseURL);
  void requestCachingOfImagesFoundInArticleContentHTML(const QString& html, const QUrl& baseURL);

  // Removes the cached file of every image of the HTML and cancels an
  // operation registered for the same HTML text.
  void purgeCachedImagesFoundInArticleContentHTML(const QString& html, const QUrl& baseURL);

  // The address of the first image of the HTML whose cache key is the host
  // of `cachedURL` (compared ignoring case, as URL hosts are lower-cased);
  // empty when none.
  QUrl URLOfImageInArticleContentHTML(const QString& html, const QUrl& cachedURL, const QUrl& baseURL) const;

  // The image-cache URL of the cached image of the HTML with the largest
  // pixel area (the first of equals); empty when none. Only image headers
  // are read.
  QUrl URLOfBiggestImageInArticleContentHTML(const QString& html, const QUrl& baseURL) const;

  // "zph-image-cache://<cache key>".
  static QUrl imageCacheURLForURL(const QUrl& imageURL);

  // Whether the bytes decode as an image within the decoding bounds
  // (CBImageDecoding.h).
  static bool isImage(const QByteArray& data);

  // Images whose download failed or gave no image are not fetched again
  // in this run, nor any image of a server that refused the connection or
  // whose name does not resolve (at most MaximumRememberedFailures of each
  // are kept; then the list starts over). `downloadError` is the download's
  // transport error, null for a failure of the answer itself.
  static constexpr qsizetype MaximumRememberedFailures = 20000;
  bool didImageFailBefore(const QUrl& imageURL) const;
  void rememberFailedImage(const QUrl& imageURL, const ZPHError& downloadError = {});

  // The operation registered for the HTML text now, after everything queued
  // on the management queue before this call.
  std::shared_ptr<ZPHArticleImageCacheOperation> registeredOperationForArticleContentHTML(const QString& html) const;

private:
  ZPHArticleImageCacheController();
  ~ZPHArticleImageCacheController();

  std::unique_ptr<ZPHOperationQueue> m_articleProcessingOperationQueue;
  std::unique_ptr<ZPHOperationQueue> m_cacheControllerManagementQueue;
  CBWebCacheController* m_webCacheController;
  // Management queue only.
  QHash<QString, std::shared_ptr<ZPHArticleImageCacheOperation>> m_articleImageCacheOperationsByHTMLText;
  mutable QMutex m_failedImagesMutex;
  QSet<QUrl> m_failedImages;
  QSet<QString> m_unreachableServers;  // scheme://host:port
};
