#pragma once

#include "store/ZPHFeedIngestionInterface.h"

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QImage>

#include <functional>
#include <memory>

class CBImageFolderCache;
class QTimer;
class ZPHOperationQueue;

// Posted on the main thread when an icon was stored; object the controller
// (QObject*), userInfo {CBURLKey: the icon URL, CBFaviconControllerHomePageURLKey:
// the home page URL when known}.
extern const QString CBFaviconDownloadedNotification;  // "CBFaviconDownloadedNotification"
// CBFaviconURLFoundNotification and CBFaviconControllerHomePageURLKey come
// from store/ZPHFeedIngestionInterface.h.
// Posted by the source list after it changed the scale factor.
extern const QString CBFaviconControllerScaleFactorUpdatedNotification;  // "CBFaviconControllerScaleFactorUpdated"
// User default (date): when the icon folder was last wiped.
extern const QString CBFaviconCacheLastNukedKey;  // "dateFaviconCacheLastNuked"

// A downloaded icon at least this wide beats a custom icon of the program.
constexpr double CBFaviconMinimumSizeRequiredToOverrideCustomFavicon = 64.0;

// Finds, downloads, stores and decodes the small site icons shown beside
// feeds. A site's candidates are the feed's own icon URL, then
// "/favicon.ico" and "/apple-touch-icon" at the root of its home page; only
// http and https candidates are used. Icons are stored as they came, in
// "FaviconCache.noindex" of the cache folder, which is wiped when the
// controller is made seven days or more after the last wipe, and decoded at
// 16 pixels times the scale factor. A candidate whose download failed is
// not tried again before the hourly clearing; one whose download was
// cancelled (the network layer cancels every download when the connection
// comes, which it does at every start) was not tried and is asked for again
// at once unless the application is quitting. A custom icon of the program
// ("CustomFavicons/<host suffix>.ico" in the resources) stands in for a site
// unless a downloaded icon is at least 64 pixels wide.
//
// faviconForHomePageURL() and the best-icon bookkeeping belong to the main
// thread; filenameForFavicon() may be called from any thread.
class CBFaviconController : public QObject {
public:
  using Clock = std::function<QDateTime()>;

  static constexpr qint64 WipeIntervalSeconds = 7 * 86400;
  static constexpr int CheckedURLsDumpIntervalMs = 3600 * 1000;
  static constexpr qint64 DownloadOperationType = 16;
  static constexpr int FaviconPointSize = 16;

  // Made on first use (main thread) over the application delegate's cache
  // folder.
  static CBFaviconController* sharedController();

  // A controller over "FaviconCache.noindex" inside `cacheFolder`; `now` is
  // the clock of the wipe (the current time when empty). Main thread.
  explicit CBFaviconController(const QString& cacheFolder, Clock now = {});
  ~CBFaviconController() override;

  // The candidates of a site, in order (see above).
  static QList<QUrl> possibleFaviconURLs(const QUrl& homePageURL, const QUrl& faviconURL);

  // The decoded icon of a site, or null; starts downloading candidates not
  // tried yet.
  QImage faviconForHomePageURL(const QUrl& homePageURL, const QUrl& faviconURL);

  // The file name under which the site's icon is stored: that of the first
  // cached candidate; else that of the favicon URL; else that of
  // "/favicon.ico" on the home page; null with neither URL.
  QString filenameForFavicon(const QUrl& homePageURL, const QUrl& faviconURL) const;

  // The best icon link known for a home page, or empty. The first call for
  // a page starts reading it and answers empty; a page without an icon link
  // is not read again. A reading that was cancelled (the connection came
  // back, see below) starts again unless the application is quitting.
  QUrl updateAndReturnBestFaviconURLForHomePageURL(const QUrl& homePageURL);

  // 1.0 (the default) or 2.0; any other value is a programming error and is
  // ignored.
  double currentFaviconScaleFactor() const { return m_currentFaviconScaleFactor; }
  void setCurrentFaviconScaleFactor(double scaleFactor);

  // Where custom icons are looked for (":/CustomFavicons" by default).
  QString customFaviconFolder() const { return m_customFaviconFolder; }
  void setCustomFaviconFolder(const QString& folder) { m_customFaviconFolder = folder; }

  CBImageFolderCache* imageFolderCache() const { return m_imageFolderCache.get(); }
  QString folderPath() const { return m_folderPath; }

  // Forgets which candidates were tried (every hour).
  void dumpCheckedURLsCache();
  // Cancels the pending writes.
  void cancelAllOperations();

private:
  QImage cachedFaviconForURL(const QUrl& url, int* fileWidth) const;
  QImage customFaviconForURL(const QUrl& homePageURL) const;
  void scheduleDownloadOperationForURLAtIndex(int index, const QList<QUrl>& possibleURLs, const QUrl& homePageURL);
  void downloadDidEnd(int index, const QList<QUrl>& possibleURLs, const QUrl& homePageURL, bool ok,
                      const QByteArray& body);
  void downloadWasCancelled(int index, const QList<QUrl>& possibleURLs, const QUrl& homePageURL);
  void cacheFaviconData(const QByteArray& data, const QUrl& imageURL, const QUrl& homePageURL);
  int maximumPixelSize() const;

  QString m_folderPath;
  std::unique_ptr<CBImageFolderCache> m_imageFolderCache;
  mutable QMutex m_mutex;
  QSet<QString> m_checkedURLs;
  std::unique_ptr<QTimer> m_dumpCheckedURLsCacheTimer;
  double m_currentFaviconScaleFactor = 1.0;
  // Home page to its best icon link; an empty URL while (or after) looking.
  QHash<QString, QUrl> m_bestFavIconURLByHomePageURL;
  std::unique_ptr<ZPHOperationQueue> m_faviconCacheSavingQueue;
  QString m_customFaviconFolder = QStringLiteral(":/CustomFavicons");
};
