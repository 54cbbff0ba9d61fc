#include "browser/ZPHTabThumbnailCache.h"

#include "common/ZPHWebLog.h"
#include "foundation/CBString.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"

#include <QtCore/QBuffer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QSaveFile>
#include <QtGui/QImageReader>
#include <QtGui/QImageWriter>

namespace {

constexpr qsizetype kLongestName = 255;
constexpr qsizetype kKeptPrefix = 218;
// A thumbnail is small; a file much larger is no thumbnail of ours.
constexpr qint64 kLargestFile = 4 * 1024 * 1024;

void add(ZPHOperationQueue* queue, std::function<void()> work)
{
  queue->addOperation(std::make_shared<ZPHBlockOperation>(std::move(work)));
}

// Removes what `path` names without following a link: a link or a file
// goes as it is, a folder with everything inside it.
void removeWithoutFollowing(const QFileInfo& item)
{
  if (item.isSymLink() || !item.isDir()) {
    if (!QFile::remove(item.filePath()))
      qCWarning(zphWeb).noquote() << "ZPHTabThumbnailCache: Error deleting" << item.filePath();
    return;
  }
  const QDir folder(item.filePath());
  for (const QFileInfo& child :
       folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
    removeWithoutFollowing(child);
  if (!QDir().rmdir(item.filePath()))
    qCWarning(zphWeb).noquote() << "ZPHTabThumbnailCache: Error deleting" << item.filePath();
}

// Deletes every item below `folder` whose name is not valid; valid files
// inside subfolders stay, the subfolders with them.
void clean(const QString& folder, const QSet<QString>& validNames)
{
  const QDir dir(folder);
  for (const QFileInfo& item :
       dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
    if (item.isDir() && !item.isSymLink()) {
      if (validNames.contains(item.fileName()))
        clean(item.filePath(), validNames);
      else
        removeWithoutFollowing(item);
      continue;
    }
    if (!validNames.contains(item.fileName()))
      removeWithoutFollowing(item);
  }
}

}  // namespace

ZPHTabThumbnailCache::ZPHTabThumbnailCache(const QString& folder)
    : m_folder(folder),
      m_queue(std::make_unique<ZPHOperationQueue>(QStringLiteral("com.fernhollow.zephlin.queues.tabThumbnailCache")))
{
  m_queue->setMaxConcurrentOperationCount(1);
  if (!m_folder.isEmpty() && !QDir().mkpath(m_folder))
    qCWarning(zphWeb).noquote() << "cannot make the tab thumbnails' folder" << m_folder;
}

ZPHTabThumbnailCache::~ZPHTabThumbnailCache() { m_queue->waitUntilAllOperationsAreFinished(); }

void ZPHTabThumbnailCache::waitUntilIdle() { m_queue->waitUntilAllOperationsAreFinished(); }

QString ZPHTabThumbnailCache::filenameForURL(const QUrl& url)
{
  QString name = url.toString(QUrl::FullyEncoded);
  if (name.size() > 7 && name.startsWith(QLatin1String("http://")))
    name.remove(0, 7);
  if (name.size() > 8 && name.startsWith(QLatin1String("https://")))
    name.remove(0, 8);
  if (name.size() > 7 && name.startsWith(QLatin1String("file://")))
    name.remove(0, 7);
  for (const QChar c : {u'/', u'.', u':', u' ', u'#'}) name.replace(c, u'_');
  name += QLatin1String(".tiff");
  if (name.size() >= kLongestName)
    name = name.left(kKeptPrefix) + cb_md5HashString(name) + QLatin1String(".tiff");
  return name;
}

QString ZPHTabThumbnailCache::pathForURL(const QUrl& url) const { return QDir(m_folder).filePath(filenameForURL(url)); }

void ZPHTabThumbnailCache::imageForURL(const QUrl& url, QObject* context, std::function<void(const QImage&)> done)
{
  Q_ASSERT_X(url.isValid() && done, Q_FUNC_INFO, "Invalid parameter not satisfying: url && done");
  if (m_folder.isEmpty())
    return;
  const QString path = pathForURL(url);
  QPointer<QObject> guard(context);
  add(m_queue.get(), [path, guard, done = std::move(done)] {
    QImage image;
    const QFileInfo info(path);
    if (info.isFile() && !info.isSymLink() && info.size() <= kLargestFile) {
      QImageReader reader(path, "tiff");
      reader.setAllocationLimit(16);
      image = reader.read();
    }
    ZPHMainThread::async([guard, done, image] {
      if (guard)
        done(image);
    });
  });
}

void ZPHTabThumbnailCache::setImageForURL(const QImage& image, const QUrl& url)
{
  Q_ASSERT_X(url.isValid() && !image.isNull(), Q_FUNC_INFO, "Invalid parameter not satisfying: url && image");
  if (m_folder.isEmpty())
    return;
  const QString path = pathForURL(url);
  const QImage copy = image.copy();
  add(m_queue.get(), [path, copy] {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    QSaveFile file(path);
    if (!writer.write(copy) || !file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
      qCWarning(zphWeb).noquote() << "ZPHTabThumbnailCache: Failed to write the thumbnail to" << path
                                  << (writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                                                   : file.errorString());
  });
}

void ZPHTabThumbnailCache::asynchronouslyClearCacheForURL(const QUrl& url, const QSet<QString>& keptNames)
{
  if (!url.isValid() || url.isEmpty() || m_folder.isEmpty())
    return;
  const QString name = filenameForURL(url);
  if (keptNames.contains(name))
    return;
  const QString path = pathForURL(url);
  add(m_queue.get(), [path] {
    const QFileInfo item(path);
    if (item.exists() || item.isSymLink())
      removeWithoutFollowing(item);
  });
}

void ZPHTabThumbnailCache::startupAndCleanCacheAsynchronously(const QSet<QString>& validNames)
{
  const QString folder = m_folder;
  if (folder.isEmpty())
    return;
  add(m_queue.get(), [folder, validNames] { clean(folder, validNames); });
}
