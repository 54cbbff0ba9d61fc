#include "feeds/images/CBThumbnailController.h"

#include "feeds/images/CBImageDecoding.h"
#include "feeds/images/CBImageFolderCache.h"
#include "feeds/network/CBDownloadOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "platform/ZPHUserDefaults.h"

#include <QtCore/QDir>
#include <QtCore/QMutexLocker>

const QString CBThumbnailDownloadedNotification = QStringLiteral("CBThumbnailDownloadedNotification");
const QString CBThumbnailUnavailableNotification = QStringLiteral("CBThumbnailUnavailableNotification");
const QString CBThumbnailCacheLastNukedKey = QStringLiteral("dateThumbnailCacheLastNuked");

namespace {

QString absoluteString(const QUrl& url) { return QString::fromUtf8(url.toEncoded()); }

}  // namespace

CBThumbnailController* CBThumbnailController::sharedController()
{
  static CBThumbnailController* shared = [] {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    return new CBThumbnailController(delegate ? delegate->pathToCacheFolder() : QString());
  }();
  return shared;
}

CBThumbnailController::CBThumbnailController(const QString& cacheFolder, Clock now)
    : m_thumbnailControllerOperationQueue(
          std::make_unique<ZPHOperationQueue>(QStringLiteral("com.fernhollow.zephlin.thumbnailControllerQueue")))
{
  const QDateTime current = now ? now() : QDateTime::currentDateTimeUtc();
  m_folderPath =
      cacheFolder.isEmpty() ? QString() : QDir(cacheFolder).filePath(QStringLiteral("ThumbnailCache.noindex"));

  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QDateTime lastNuked = defaults.objectForKey(CBThumbnailCacheLastNukedKey).toDateTime();
  if (!lastNuked.isValid() || lastNuked.secsTo(current) >= WipeIntervalSeconds) {
    if (!m_folderPath.isEmpty())
      QDir(m_folderPath).removeRecursively();
    defaults.setObject(CBThumbnailCacheLastNukedKey, current.toUTC());
  }
  if (!m_folderPath.isEmpty() && !QDir().mkpath(m_folderPath))
    qCWarning(zphFeeds) << "could not make the thumbnail folder" << m_folderPath;
  m_imageFolderCache = std::make_unique<CBImageFolderCache>(m_folderPath);
  m_imageFolderCache->setInMemoryCacheCountLimit(InMemoryCacheCountLimit);
}

CBThumbnailController::~CBThumbnailController()
{
  // Waits for the queue's running block, which may still use the cache.
  m_thumbnailControllerOperationQueue.reset();
}

QImage CBThumbnailController::thumbnailForURL(const QUrl& url)
{
  if (url.isEmpty() || m_folderPath.isEmpty())
    return {};
  const QString filename = CBImageFolderCache::filenameForURLString(absoluteString(url));
  QImage image = m_imageFolderCache->cgImageForFilename(filename);
  if (!image.isNull())
    return image;
  // Only web images are fetched: a feed could name any scheme.
  if (!CBURLIsWebURL(url))
    return {};
  m_thumbnailControllerOperationQueue->addOperation(
      std::make_shared<ZPHBlockOperation>([this, url] { fetchThumbnail(url); }));
  return {};
}

void CBThumbnailController::cancelAllOperations() { m_thumbnailControllerOperationQueue->cancelAllOperations(); }

void CBThumbnailController::fetchThumbnail(const QUrl& url)
{
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return;
  const QString urlString = absoluteString(url);
  const QString filename = CBImageFolderCache::filenameForURLString(urlString);
  if (!m_imageFolderCache->cgImageForFilename(filename).isNull()) {
    postDownloaded(url);
    return;
  }
  {
    QMutexLocker locker(&m_mutex);
    if (m_checkedURLs.contains(urlString))
      return;
    m_checkedURLs.insert(urlString);
  }
  auto operation = std::make_shared<CBDownloadOperation>(
      url, this, [this](const std::shared_ptr<CBOperation>& finished) { downloadOperationDidFinish(finished); }, true);
  operation->setOperationType(DownloadOperationType);
  operation->setOperationObject(url);
  // A picture the list shows goes before the downloads that only fill caches.
  operation->setQueuePriority(ZPHOperationQueuePriority::High);
  ZPHMainThread::async(
      [operation] { CBOperationController::sharedDownloadOperationController()->addOperation(operation); });
}

void CBThumbnailController::downloadOperationDidFinish(const std::shared_ptr<CBOperation>& operation)
{
  auto download = std::dynamic_pointer_cast<CBDownloadOperation>(operation);
  if (!download || ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown() || download->isCancelled())
    return;
  const QUrl url = download->url();
  if (!download->okResponse()) {
    noteUnavailable(url);
    return;
  }
  const QByteArray body = download->responseBody();
  const QString filename = CBImageFolderCache::filenameForURLString(absoluteString(url));
  if (body.isEmpty() || filename.isEmpty()) {
    noteUnavailable(url);
    return;
  }
  m_thumbnailControllerOperationQueue->addOperation(std::make_shared<ZPHBlockOperation>([this, body, filename, url] {
    const QImage image = CBCGImageFromDataWithMaxPixelSize(body, ThumbnailMaxPixelSize);
    if (image.isNull()) {
      noteUnavailable(url);
      return;
    }
    if (m_imageFolderCache->saveCGImage(image, filename))
      postDownloaded(url);
  }));
}

bool CBThumbnailController::isThumbnailUnavailable(const QUrl& url)
{
  if (url.isEmpty() || !CBURLIsWebURL(url))
    return true;
  QMutexLocker locker(&m_mutex);
  return m_unavailableURLs.contains(absoluteString(url));
}

void CBThumbnailController::noteUnavailable(const QUrl& url)
{
  {
    QMutexLocker locker(&m_mutex);
    m_unavailableURLs.insert(absoluteString(url));
  }
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return;
  ZPHNotificationCenter::defaultCenter().postOnMainThread(
      CBThumbnailUnavailableNotification, QVariant::fromValue(static_cast<QObject*>(this)), {{CBURLKey, url}});
}

void CBThumbnailController::postDownloaded(const QUrl& url)
{
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return;
  ZPHNotificationCenter::defaultCenter().postOnMainThread(
      CBThumbnailDownloadedNotification, QVariant::fromValue(static_cast<QObject*>(this)), {{CBURLKey, url}});
}
