#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QImage>

// One shared folder of downloaded objects (article images, downloads that
// ask for the web cache), one file per URL, kept without expiry. The folder
// is "CBWebCache.noindex" in the application's cache folder, made on first
// use.
//
// Every member may be called from any thread: reads, writes and the folder's
// creation are serialised by one lock shared by the class (and its
// subclass). Without an application delegate, or when its folder is empty,
// nothing is stored and nothing is found.
class CBWebCacheController {
public:
  virtual ~CBWebCacheController();
  CBWebCacheController(const CBWebCacheController&) = delete;
  CBWebCacheController& operator=(const CBWebCacheController&) = delete;

  static CBWebCacheController* sharedController();

  // The MD5 hex of the URL's absolute string, a dot and the path's
  // extension, "png" when the path has none. An extension that is not 1 to
  // 16 ASCII letters and digits also counts as none, so a hostile address
  // never makes an odd file name.
  static QString cacheKeyForURL(const QUrl& url);

  // Empty data is ignored; else the data is written atomically to the URL's
  // file. A failure is logged.
  void storeObject(const QByteArray& data, const QUrl& url);

  // The bytes of the URL's file; null when missing.
  QByteArray cachedObjectAtURL(const QUrl& url) const;
  // The bytes of the file named `key` (leading slashes dropped); null when
  // missing, and for a key that is not a plain file name (one with a path
  // separator, "." or "..").
  QByteArray cachedObjectWithKey(const QString& key) const;
  // cachedObjectAtURL decoded as an image; null when missing or undecodable.
  QImage cachedImageAtURL(const QUrl& url) const;

  bool isObjectAtURLCached(const QUrl& url) const;
  // The cached file as a file URL; empty when not cached.
  QUrl fileURLForCachedObjectAtURL(const QUrl& url) const;
  // Removes the URL's file, never the folder; an empty URL is ignored.
  void purgeCachedObjectAtURL(const QUrl& url);
  // The URL's file path (folder plus cache key); null without a folder.
  QString pathForObjectAtURL(const QUrl& url) const;

  // The folder this cache keeps its files in; null without a folder.
  virtual QString cacheFolderPath() const;

protected:
  CBWebCacheController();

private:
  // The folder, made when first needed (lock held); null when unusable.
  QString preparedFolder() const;
  QByteArray readFile(const QString& path) const;
};
