#include "feeds/images/CBWebCacheController.h"

#include "feeds/images/CBImageDecoding.h"

#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QSaveFile>
#include <QtCore/QSet>

namespace {

constexpr qsizetype kMaximumExtensionLength = 16;

// One lock for every web cache: reads, writes and folder creation.
QMutex& webCacheLock()
{
  static QMutex lock;
  return lock;
}

// Folders made so far in this process (lock held).
QSet<QString>& createdFolders()
{
  static QSet<QString> folders;
  return folders;
}

bool isPlainExtension(const QString& extension)
{
  if (extension.isEmpty() || extension.size() > kMaximumExtensionLength)
    return false;
  for (const QChar c : extension) {
    if (c.unicode() > 0x7f || !c.isLetterOrNumber())
      return false;
  }
  return true;
}

bool isPlainFilename(const QString& name)
{
  return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/') &&
         !name.contains(u'\\') && !name.contains(QChar(0));
}

}  // namespace

CBWebCacheController::CBWebCacheController() = default;
CBWebCacheController::~CBWebCacheController() = default;

CBWebCacheController* CBWebCacheController::sharedController()
{
  static CBWebCacheController* shared = new CBWebCacheController;
  return shared;
}

QString CBWebCacheController::cacheFolderPath() const
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  const QString cacheFolder = delegate ? delegate->pathToCacheFolder() : QString();
  if (cacheFolder.isEmpty())
    return {};
  return QDir(cacheFolder).filePath(QStringLiteral("CBWebCache.noindex"));
}

QString CBWebCacheController::cacheKeyForURL(const QUrl& url)
{
  const QString lastComponent = url.path().section(u'/', -1);
  const qsizetype dot = lastComponent.lastIndexOf(u'.');
  QString extension = dot > 0 ? lastComponent.mid(dot + 1) : QString();
  if (!isPlainExtension(extension))
    extension = QStringLiteral("png");
  return cb_md5HashString(QString::fromUtf8(url.toEncoded())) + u'.' + extension;
}

QString CBWebCacheController::pathForObjectAtURL(const QUrl& url) const
{
  const QString folder = cacheFolderPath();
  if (folder.isEmpty())
    return {};
  return QDir(folder).filePath(cacheKeyForURL(url));
}

QString CBWebCacheController::preparedFolder() const
{
  const QString folder = cacheFolderPath();
  if (folder.isEmpty())
    return {};
  if (!createdFolders().contains(folder)) {
    if (!QDir().mkpath(folder)) {
      qCWarning(zphFeeds).noquote() << QStringLiteral("Error creating web cache: %1 %2")
                                           .arg(folder, QStringLiteral("the folder could not be made"));
      return {};
    }
    createdFolders().insert(folder);
  }
  return folder;
}

void CBWebCacheController::storeObject(const QByteArray& data, const QUrl& url)
{
  if (data.isEmpty() || url.isEmpty())
    return;
  QMutexLocker locker(&webCacheLock());
  const QString folder = preparedFolder();
  if (folder.isEmpty())
    return;
  QSaveFile file(QDir(folder).filePath(cacheKeyForURL(url)));
  if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
    qCWarning(zphFeeds).noquote()
        << QStringLiteral("Error storing object in web data cache: %1").arg(file.errorString());
    file.cancelWriting();
  }
}

QByteArray CBWebCacheController::readFile(const QString& path) const
{
  QMutexLocker locker(&webCacheLock());
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QByteArray bytes = file.readAll();
  if (bytes.isNull())
    bytes = QByteArray("");  // an empty file still counts as found
  return bytes;
}

QByteArray CBWebCacheController::cachedObjectAtURL(const QUrl& url) const
{
  if (url.isEmpty())
    return {};
  const QString path = pathForObjectAtURL(url);
  return path.isEmpty() ? QByteArray() : readFile(path);
}

QByteArray CBWebCacheController::cachedObjectWithKey(const QString& key) const
{
  QString name = key;
  while (name.startsWith(u'/')) name.remove(0, 1);
  const QString folder = cacheFolderPath();
  if (folder.isEmpty() || !isPlainFilename(name))
    return {};
  return readFile(QDir(folder).filePath(name));
}

QImage CBWebCacheController::cachedImageAtURL(const QUrl& url) const
{
  const QByteArray data = cachedObjectAtURL(url);
  if (data.isEmpty())
    return {};
  // Cached bytes came from the web: decode within the size bounds.
  return CBCGImageFromData(data);
}

bool CBWebCacheController::isObjectAtURLCached(const QUrl& url) const
{
  if (url.isEmpty())
    return false;
  const QString path = pathForObjectAtURL(url);
  return !path.isEmpty() && QFileInfo::exists(path);
}

QUrl CBWebCacheController::fileURLForCachedObjectAtURL(const QUrl& url) const
{
  if (!isObjectAtURLCached(url))
    return {};
  return QUrl::fromLocalFile(pathForObjectAtURL(url));
}

void CBWebCacheController::purgeCachedObjectAtURL(const QUrl& url)
{
  if (url.isEmpty())
    return;
  const QString path = pathForObjectAtURL(url);
  if (path.isEmpty())
    return;
  QMutexLocker locker(&webCacheLock());
  if (QFileInfo(path).isFile() || QFileInfo(path).isSymLink())
    QFile::remove(path);
}
