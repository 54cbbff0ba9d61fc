#pragma once

#include <QtCore/QDateTime>
#include <QtCore/QMutex>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QImage>

#include <functional>
#include <memory>

class CBImageFolderCache;
class CBOperation;
class ZPHOperationQueue;

// Posted on the main thread when a thumbnail has been stored; object the
// controller (QObject*), userInfo {CBURLKey: the image URL}.
extern const QString CBThumbnailDownloadedNotification;  // "CBThumbnailDownloadedNotification"
// Posted on the main thread when a thumbnail could not be had (the download
// failed or gave no image); object the controller (QObject*), userInfo
// {CBURLKey: the image URL}.
extern const QString CBThumbnailUnavailableNotification;  // "CBThumbnailUnavailableNotification"
// User default (date): when the thumbnail folder was last wiped.
extern const QString CBThumbnailCacheLastNukedKey;  // "dateThumbnailCacheLastNuked"

// The small article images of the article list: answered from memory or
// disk at once, or fetched in the background and announced by
// CBThumbnailDownloadedNotification. Thumbnails are PNG files of at most
// 232 pixels on their longer side, in "ThumbnailCache.noindex" of the cache
// folder, named after the image URL; the folder is wiped when the
// controller is made three days or more after the last wipe.
//
// Only http and https images are fetched. An image is fetched at most once
// per controller, also when that failed.
class CBThumbnailController : public QObject {
public:
  using Clock = std::function<QDateTime()>;

  static constexpr int ThumbnailMaxPixelSize = 232;
  static constexpr unsigned InMemoryCacheCountLimit = 500;
  static constexpr qint64 WipeIntervalSeconds = 3 * 86400;
  static constexpr qint64 DownloadOperationType = 10;

  // Made on first use (main thread) over the application delegate's cache
  // folder.
  static CBThumbnailController* sharedController();

  // A controller over "ThumbnailCache.noindex" inside `cacheFolder`; `now`
  // is the clock of the wipe (the current time when empty).
  explicit CBThumbnailController(const QString& cacheFolder, Clock now = {});
  ~CBThumbnailController() override;

  // Main thread. The thumbnail from memory, else from its file; else a
  // fetch is queued and the answer is null.
  QImage thumbnailForURL(const QUrl& url);

  // Whether no thumbnail will come for the address: it is no web address,
  // or its fetch ended without an image. Any thread.
  bool isThumbnailUnavailable(const QUrl& url);

  // Cancels the pending fetches and saves.
  void cancelAllOperations();

  CBImageFolderCache* imageFolderCache() const { return m_imageFolderCache.get(); }
  QString folderPath() const { return m_folderPath; }

private:
  void fetchThumbnail(const QUrl& url);
  void downloadOperationDidFinish(const std::shared_ptr<CBOperation>& operation);
  void postDownloaded(const QUrl& url);
  void noteUnavailable(const QUrl& url);

  QString m_folderPath;
  std::unique_ptr<CBImageFolderCache> m_imageFolderCache;
  QMutex m_mutex;
  QSet<QString> m_checkedURLs;
  QSet<QString> m_unavailableURLs;
  std::unique_ptr<ZPHOperationQueue> m_thumbnailControllerOperationQueue;
};
