#include "feeds/images/CBFaviconController.h"

#include "feeds/images/CBImageDecoding.h"
#include "feeds/images/CBImageFolderCache.h"
#include "feeds/images/ZPHFaviconURLFinderOperation.h"
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
#include <QtCore/QFileInfo>
#include <QtCore/QMutexLocker>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

const QString CBFaviconDownloadedNotification = QStringLiteral("CBFaviconDownloadedNotification");
const QString CBFaviconControllerScaleFactorUpdatedNotification =
    QStringLiteral("CBFaviconControllerScaleFactorUpdated");
const QString CBFaviconCacheLastNukedKey = QStringLiteral("dateFaviconCacheLastNuked");

namespace {

QString absoluteString(const QUrl& url) { return QString::fromUtf8(url.toEncoded()); }

QString filenameOf(const QUrl& url)
{
  return url.isEmpty() ? QString() : CBImageFolderCache::filenameForURLString(absoluteString(url));
}

QVariant controllerObject(CBFaviconController* controller)
{
  return QVariant::fromValue(static_cast<QObject*>(controller));
}

}  // namespace

CBFaviconController* CBFaviconController::sharedController()
{
  static CBFaviconController* shared = [] {
    ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
    return new CBFaviconController(delegate ? delegate->pathToCacheFolder() : QString());
  }();
  return shared;
}

CBFaviconController::CBFaviconController(const QString& cacheFolder, Clock now)
    : m_faviconCacheSavingQueue(
          std::make_unique<ZPHOperationQueue>(QStringLiteral("com.fernhollow.zephlin.faviconCacheSavingQueue")))
{
  m_faviconCacheSavingQueue->setMaxConcurrentOperationCount(1);
  const QDateTime current = now ? now() : QDateTime::currentDateTimeUtc();
  m_folderPath = cacheFolder.isEmpty() ? QString() : QDir(cacheFolder).filePath(QStringLiteral("FaviconCache.noindex"));

  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  const QDateTime lastNuked = defaults.objectForKey(CBFaviconCacheLastNukedKey).toDateTime();
  if (!lastNuked.isValid() || lastNuked.secsTo(current) >= WipeIntervalSeconds) {
    if (!m_folderPath.isEmpty())
      QDir(m_folderPath).removeRecursively();
    defaults.setObject(CBFaviconCacheLastNukedKey, current.toUTC());
  }
  if (!m_folderPath.isEmpty() && !QDir().mkpath(m_folderPath))
    qCWarning(zphFeeds) << "could not make the favicon folder" << m_folderPath;
  m_imageFolderCache = std::make_unique<CBImageFolderCache>(m_folderPath);

  m_dumpCheckedURLsCacheTimer = std::make_unique<QTimer>();
  m_dumpCheckedURLsCacheTimer->setInterval(CheckedURLsDumpIntervalMs);
  QObject::connect(m_dumpCheckedURLsCacheTimer.get(), &QTimer::timeout, this, [this] { dumpCheckedURLsCache(); });
  m_dumpCheckedURLsCacheTimer->start();
}

CBFaviconController::~CBFaviconController()
{
  m_dumpCheckedURLsCacheTimer.reset();
  // Waits for a running write, which uses the folder cache.
  m_faviconCacheSavingQueue.reset();
}

QList<QUrl> CBFaviconController::possibleFaviconURLs(const QUrl& homePageURL, const QUrl& faviconURL)
{
  QList<QUrl> urls;
  if (CBURLIsWebURL(faviconURL))
    urls.append(faviconURL);
  if (CBURLIsWebURL(homePageURL)) {
    urls.append(homePageURL.resolved(QUrl(QStringLiteral("/favicon.ico"))));
    urls.append(homePageURL.resolved(QUrl(QStringLiteral("/apple-touch-icon"))));
  }
  return urls;
}

void CBFaviconController::setCurrentFaviconScaleFactor(double scaleFactor)
{
  if (scaleFactor != 1.0 && scaleFactor != 2.0) {
    qCWarning(zphFeeds) << "favicon scale factors are 1 or 2, not" << scaleFactor;
    Q_ASSERT_X(false, Q_FUNC_INFO, "favicon scale factors are 1 or 2");
    return;
  }
  m_currentFaviconScaleFactor = scaleFactor;
}

int CBFaviconController::maximumPixelSize() const { return int(FaviconPointSize * m_currentFaviconScaleFactor); }

void CBFaviconController::dumpCheckedURLsCache()
{
  QMutexLocker locker(&m_mutex);
  m_checkedURLs.clear();
}

void CBFaviconController::cancelAllOperations() { m_faviconCacheSavingQueue->cancelAllOperations(); }

QImage CBFaviconController::cachedFaviconForURL(const QUrl& url, int* fileWidth) const
{
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    return {};
  const QString filename = filenameOf(url);
  if (filename.isEmpty())
    return {};
  const QByteArray data = m_imageFolderCache->dataForFilename(filename);
  if (data.isEmpty())
    return {};
  const QImage image = CBCGImageFromDataWithMaxPixelSize(data, maximumPixelSize());
  if (!image.isNull() && fileWidth)
    *fileWidth = CBImagePixelSizeOfData(data).width();
  return image;
}

QImage CBFaviconController::customFaviconForURL(const QUrl& homePageURL) const
{
  const QStringList labels = homePageURL.host().toLower().split(u'.');
  if (labels.size() < 2 || m_customFaviconFolder.isEmpty())
    return {};
  for (qsizetype first = 0; first + 2 <= labels.size(); ++first) {
    const QString suffix = labels.mid(first).join(u'.');
    if (suffix.isEmpty() || suffix.contains(u'/'))
      continue;
    const QString path = QDir(m_customFaviconFolder).filePath(suffix + QStringLiteral(".ico"));
    if (!QFileInfo(path).isFile())
      continue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
      continue;
    return CBCGImageFromDataWithMaxPixelSize(file.read(1024 * 1024), maximumPixelSize());
  }
  return {};
}

QImage CBFaviconController::faviconForHomePageURL(const QUrl& homePageURL, const QUrl& faviconURL)
{
  const QList<QUrl> candidates = possibleFaviconURLs(homePageURL, faviconURL);
  if (candidates.isEmpty())
    return customFaviconForURL(homePageURL);

  QImage cached;
  bool cachedIsLarge = false;
  bool allChecked = true;
  for (const QUrl& candidate : candidates) {
    if (cached.isNull()) {
      int width = 0;
      cached = cachedFaviconForURL(candidate, &width);
      cachedIsLarge = !cached.isNull() && width >= CBFaviconMinimumSizeRequiredToOverrideCustomFavicon;
    }
    QMutexLocker locker(&m_mutex);
    if (!m_checkedURLs.contains(absoluteString(candidate)))
      allChecked = false;
  }
  if (!allChecked)
    scheduleDownloadOperationForURLAtIndex(0, candidates, homePageURL);
  if (cachedIsLarge)
    return cached;
  const QImage custom = customFaviconForURL(homePageURL);
  return custom.isNull() ? cached : custom;
}

QString CBFaviconController::filenameForFavicon(const QUrl& homePageURL, const QUrl& faviconURL) const
{
  for (const QUrl& candidate : possibleFaviconURLs(homePageURL, faviconURL)) {
    const QString filename = filenameOf(candidate);
    if (QFileInfo(m_imageFolderCache->pathWithFilename(filename)).isFile())
      return filename;
  }
  if (!faviconURL.isEmpty())
    return filenameOf(faviconURL);
  if (!homePageURL.isEmpty())
    return filenameOf(homePageURL.resolved(QUrl(QStringLiteral("/favicon.ico"))));
  return {};
}

void CBFaviconController::scheduleDownloadOperationForURLAtIndex(int index, const QList<QUrl>& possibleURLs,
                                                                 const QUrl& homePageURL)
{
  for (; index < possibleURLs.size(); ++index) {
    const QUrl& url = possibleURLs[index];
    if (QFileInfo(m_imageFolderCache->pathWithFilename(filenameOf(url))).isFile())
      return;
    {
      QMutexLocker locker(&m_mutex);
      if (m_checkedURLs.contains(absoluteString(url)))
        continue;
      m_checkedURLs.insert(absoluteString(url));
    }
    auto download = std::make_shared<CBDownloadOperation>(url);
    download->setOperationType(DownloadOperationType);
    download->setOperationObject(url);
    CBDownloadOperation* raw = download.get();
    QPointer<CBFaviconController> guard(this);
    download->setCompletionBlock([guard, raw, index, possibleURLs, homePageURL] {
      const bool cancelled = raw->isCancelled();
      const bool ok = !cancelled && raw->okResponse();
      const QByteArray body = raw->responseBody();
      ZPHMainThread::async([guard, index, possibleURLs, homePageURL, cancelled, ok, body] {
        if (!guard)
          return;
        if (cancelled)
          guard->downloadWasCancelled(index, possibleURLs, homePageURL);
        else
          guard->downloadDidEnd(index, possibleURLs, homePageURL, ok, body);
      });
    });
    // Another download of the same icon is under way: its chain stores it.
    if (!CBOperationController::sharedDownloadOperationController()->addOperationIfNotInQueue(download)) {
      QMutexLocker locker(&m_mutex);
      m_checkedURLs.remove(absoluteString(url));
    }
    return;
  }
}

void CBFaviconController::downloadDidEnd(int index, const QList<QUrl>& possibleURLs, const QUrl& homePageURL, bool ok,
                                         const QByteArray& body)
{
  // The body must really be an image (within the decoding bounds).
  if (ok && !CBCGImageFromDataWithMaxPixelSize(body, maximumPixelSize()).isNull()) {
    cacheFaviconData(body, possibleURLs[index], homePageURL);
    return;
  }
  scheduleDownloadOperationForURLAtIndex(index + 1, possibleURLs, homePageURL);
}

void CBFaviconController::downloadWasCancelled(int index, const QList<QUrl>& possibleURLs, const QUrl& homePageURL)
{
  // Downloads are cancelled when the connection comes back (at every start)
  // and when the application quits. The candidate was not tried: it stays
  // free, and unless the application is quitting it is asked for again now,
  // as nothing else would ask before the hourly clearing.
  {
    QMutexLocker locker(&m_mutex);
    m_checkedURLs.remove(absoluteString(possibleURLs[index]));
  }
  if (!ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
    scheduleDownloadOperationForURLAtIndex(index, possibleURLs, homePageURL);
}

void CBFaviconController::cacheFaviconData(const QByteArray& data, const QUrl& imageURL, const QUrl& homePageURL)
{
  const QString filename = filenameOf(imageURL);
  if (ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown() || filename.isEmpty())
    return;
  m_faviconCacheSavingQueue->addOperation(
      std::make_shared<ZPHBlockOperation>([this, data, filename, imageURL, homePageURL] {
        if (!m_imageFolderCache->saveImageData(data, filename))
          return;
        QVariantMap userInfo{{CBURLKey, imageURL}};
        if (!homePageURL.isEmpty())
          userInfo.insert(CBFaviconControllerHomePageURLKey, homePageURL);
        ZPHNotificationCenter::defaultCenter().postOnMainThread(CBFaviconDownloadedNotification, controllerObject(this),
                                                                userInfo);
      }));
}

QUrl CBFaviconController::updateAndReturnBestFaviconURLForHomePageURL(const QUrl& homePageURL)
{
  ZPH_ASSERT_MAIN_THREAD();
  const QString key = absoluteString(homePageURL);
  if (key.isEmpty())
    return {};
  const auto found = m_bestFavIconURLByHomePageURL.constFind(key);
  if (found != m_bestFavIconURLByHomePageURL.constEnd())
    return found.value();
  m_bestFavIconURLByHomePageURL.insert(key, QUrl());

  auto finder = std::make_shared<ZPHFaviconURLFinderOperation>(homePageURL);
  ZPHFaviconURLFinderOperation* raw = finder.get();
  QPointer<CBFaviconController> guard(this);
  finder->setCompletionBlock([guard, raw, key, homePageURL] {
    const bool cancelled = raw->isCancelled();
    const QUrl faviconURL = cancelled ? QUrl() : raw->faviconURL();
    ZPHMainThread::async([guard, key, homePageURL, cancelled, faviconURL] {
      if (!guard)
        return;
      const auto entry = guard->m_bestFavIconURLByHomePageURL.constFind(key);
      if (entry == guard->m_bestFavIconURLByHomePageURL.constEnd() || !entry.value().isEmpty())
        return;
      if (cancelled) {
        // The page was not read: it is looked at again (see
        // downloadWasCancelled()).
        guard->m_bestFavIconURLByHomePageURL.remove(key);
        if (!ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown())
          guard->updateAndReturnBestFaviconURLForHomePageURL(homePageURL);
        return;
      }
      if (faviconURL.isEmpty())
        return;
      guard->m_bestFavIconURLByHomePageURL.insert(key, faviconURL);
      ZPHNotificationCenter::defaultCenter().post(
          CBFaviconURLFoundNotification, controllerObject(guard.data()),
          {{CBFaviconControllerHomePageURLKey, homePageURL}, {CBURLKey, faviconURL}});
    });
  });
  // Reading a home page for its icon waits for the icons and pictures
  // themselves.
  finder->setQueuePriority(ZPHOperationQueuePriority::Low);
  CBOperationController::sharedDownloadOperationController()->addOperation(finder);
  return {};
}
