#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QImage>

#include <functional>
#include <memory>

class ZPHOperationQueue;

// The tab thumbnails kept on disk: one TIFF file per page address in the
// folder "TabThumbnails.noindex" of the cache folder, so a restored tab
// shows its last picture before it loads. Every file operation runs on one
// serial queue ("com.fernhollow.zephlin.queues.tabThumbnailCache"), one at a
// time; nothing waits for it: reads answer on the main thread later. Errors
// are logged and otherwise ignored; a missing or unreadable file reads as no
// picture. The clean-up follows no links: a link in the folder is removed
// as a link, never read through.
//
// Made and used on the main thread; its owner lets it go after the queue ran
// dry (the destructor waits for it).
class ZPHTabThumbnailCache {
public:
  // `folder`: the folder of the files (made when missing).
  explicit ZPHTabThumbnailCache(const QString& folder);
  ~ZPHTabThumbnailCache();

  QString folder() const { return m_folder; }

  // The file name for a page address: without a leading "http://",
  // "https://" or "file://", "/", ".", ":", " " and "#" made "_", then
  // ".tiff"; a name of 255 characters or more keeps its first 218 and ends
  // in the MD5 of the whole name and ".tiff" (exactly 255).
  static QString filenameForURL(const QUrl& url);
  QString pathForURL(const QUrl& url) const;

  // Reads the picture of the address and hands it (null for none) to
  // `done` on the main thread, unless `context` is gone by then.
  void imageForURL(const QUrl& url, QObject* context, std::function<void(const QImage& image)> done);
  // Writes the picture as the address's file (replaced whole).
  void setImageForURL(const QImage& image, const QUrl& url);
  // Deletes the address's file unless its name is among `keptNames` (another
  // open tab shows the same page).
  void asynchronouslyClearCacheForURL(const QUrl& url, const QSet<QString>& keptNames);
  // Deletes everything in the folder, its subfolders included, whose name
  // is not among `validNames`.
  void startupAndCleanCacheAsynchronously(const QSet<QString>& validNames);
  // Waits for the queue to run dry (tests, and the end).
  void waitUntilIdle();

private:
  QString m_folder;
  std::unique_ptr<ZPHOperationQueue> m_queue;
};
