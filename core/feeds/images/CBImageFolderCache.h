#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtGui/QImage>

#include <memory>

class CBCache;

// Images kept as files in one folder, named from their URL, with memory
// caches in front: decoded images, images for display and PNG data, each
// keyed by file name. The memory caches empty themselves when the
// application stops being the active one, so images are then decoded from
// disk again. The folder is the owner's to make.
//
// Usable from any thread: file reads and writes are serialised by the
// cache's mutex, and the memory caches are thread-safe.
class CBImageFolderCache {
public:
  explicit CBImageFolderCache(const QString& folderPath);
  ~CBImageFolderCache();
  CBImageFolderCache(const CBImageFolderCache&) = delete;
  CBImageFolderCache& operator=(const CBImageFolderCache&) = delete;

  // The MD5 of the URL string, unchanged, as 32 lower-case hex digits, and
  // ".png".
  static QString filenameForURLString(const QString& urlString);

  QString folderPath() const { return m_folderPath; }

  // Sets the count limit of all three memory caches; reads the larger of
  // the image and PNG caches' limits.
  unsigned inMemoryCacheCountLimit() const;
  void setInMemoryCacheCountLimit(unsigned limit);

  QString pathWithFilename(const QString& filename) const;
  // A file URL.
  QUrl URLWithFilename(const QString& filename) const;

  // The file's bytes; null when missing.
  QByteArray dataForFilename(const QString& filename) const;

  // The decoded image from memory, else the file's first image decoded and
  // remembered; null when missing or undecodable.
  QImage cgImageForFilename(const QString& filename) const;
  // Memory only.
  QImage cachedCGImageForFilename(const QString& filename) const;
  QImage cachedNSImageForFilename(const QString& filename) const;

  // PNG bytes: from memory; else the file's bytes when it is a PNG; else the
  // file decoded and re-encoded as PNG. Remembered; null when nothing
  // decodes.
  QByteArray pngDataForFilename(const QString& filename) const;

  // Does nothing and answers false for a null image or an empty name;
  // otherwise remembers the image and writes it as a PNG file, answering
  // whether the write finished.
  bool saveCGImage(const QImage& image, const QString& filename, ZPHError* error = nullptr);
  // Writes the bytes as they are, atomically; PNG bytes are also remembered
  // as PNG data. Answers success.
  bool saveImageData(const QByteArray& data, const QString& filename, ZPHError* error = nullptr);

private:
  bool writeFile(const QByteArray& bytes, const QString& filename, ZPHError* error);

  const QString m_folderPath;
  mutable QMutex m_fileMutex;
  std::unique_ptr<CBCache> m_cgImageCache;
  std::unique_ptr<CBCache> m_nsImageCache;
  std::unique_ptr<CBCache> m_pngDataCache;
};
