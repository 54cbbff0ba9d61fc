#include "feeds/images/ZPHArticleImageCacheController.h"

#include "feeds/images/CBImageDecoding.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheOperation.h"
#include "feeds/images/ZPHArticleImageCacheTarget.h"
#include "feeds/images/ZPHImageCacheProtocol.h"
#include "feeds/network/CBDownloadOperation.h"
#include "foundation/CBString.h"
#include "platform/ZPHOperationQueue.h"

#include <QtCore/QMutexLocker>

ZPHArticleImageCacheController* ZPHArticleImageCacheController::sharedController()
{
  // Kept for the process: its queues' work may run until the very end.
  static ZPHArticleImageCacheController* shared = new ZPHArticleImageCacheController;
  return shared;
}

ZPHArticleImageCacheController::ZPHArticleImageCacheController()
    : m_articleProcessingOperationQueue(std::make_unique<ZPHOperationQueue>(
          QStringLiteral("com.fernhollow.zephlin.articleImageCacheProcessingQueue"))),
      m_cacheControllerManagementQueue(std::make_unique<ZPHOperationQueue>(
          QStringLiteral("com.fernhollow.zephlin.articleImageCacheManagementQueue"))),
      m_webCacheController(CBWebCacheController::sharedController())
{
  m_articleProcessingOperationQueue->setMaxConcurrentOperationCount(2);
  m_cacheControllerManagementQueue->setMaxConcurrentOperationCount(1);
}

ZPHArticleImageCacheController::~ZPHArticleImageCacheController() = default;

QUrl ZPHArticleImageCacheController::imageCacheURLForURL(const QUrl& imageURL)
{
  return QUrl(ZPHImageCacheProtocol::scheme() + QStringLiteral("://") + CBWebCacheController::cacheKeyForURL(imageURL));
}

bool ZPHArticleImageCacheController::isImage(const QByteArray& data)
{
  // A small decode: large enough to read every byte of the image, small
  // enough to cost little memory.
  return !data.isEmpty() && !CBCGImageFromDataWithMaxPixelSize(data, 64).isNull();
}

namespace {

QString serverOf(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  return scheme + QStringLiteral("://") + url.host().toLower() + QLatin1Char(':') +
         QString::number(url.port(scheme == QLatin1String("https") ? 443 : 80));
}

}  // namespace

bool ZPHArticleImageCacheController::didImageFailBefore(const QUrl& imageURL) const
{
  QMutexLocker locker(&m_failedImagesMutex);
  return m_failedImages.contains(imageURL) ||
         (!m_unreachableServers.isEmpty() && m_unreachableServers.contains(serverOf(imageURL)));
}

void ZPHArticleImageCacheController::rememberFailedImage(const QUrl& imageURL, const ZPHError& downloadError)
{
  // Nobody there: every image of that server would fail the same way.
  const bool unreachable =
      downloadError.domain() == ZPHURLErrorDomain &&
      (downloadError.code() == ZPHURLErrorCannotConnectToHost || downloadError.code() == ZPHURLErrorCannotFindHost);
  QMutexLocker locker(&m_failedImagesMutex);
  if (m_failedImages.size() >= MaximumRememberedFailures)
    m_failedImages.clear();
  m_failedImages.insert(imageURL);
  if (unreachable) {
    if (m_unreachableServers.size() >= MaximumRememberedFailures)
      m_unreachableServers.clear();
    m_unreachableServers.insert(serverOf(imageURL));
  }
}

void ZPHArticleImageCacheController::cacheImagesFoundInArticleContentHTML(const QString& html, const QUrl& baseURL)
{
  // An article with nothing to download needs no operation: most have no
  // image, or only images that are here or failed before.
  if (html.isEmpty() || ZPHArticleImageCacheOperation::imageURLsToFetch(html, baseURL).isEmpty())
    return;
  m_cacheControllerManagementQueue->addOperation(std::make_shared<ZPHBlockOperation>([this, html, baseURL] {
    auto operation =
        std::make_shared<ZPHArticleImageCacheOperation>(html, baseURL, m_articleProcessingOperationQueue.get());
    m_articleImageCacheOperationsByHTMLText.insert(html, operation);
    operation->setCompletionBlock([this, html] {
      m_cacheControllerManagementQueue->addOperation(
          std::make_shared<ZPHBlockOperation>([this, html] { m_articleImageCacheOperationsByHTMLText.remove(html); }));
    });
    m_articleProcessingOperationQueue->addOperation(operation);
  }));
}

void ZPHArticleImageCacheController::requestCachingOfImagesFoundInArticleContentHTML(const QString& html,
                                                                                     const QUrl& baseURL)
{
  cacheImagesFoundInArticleContentHTML(html, baseURL);
}

void ZPHArticleImageCacheController::purgeCachedImagesFoundInArticleContentHTML(const QString& html,
                                                                                const QUrl& baseURL)
{
  m_cacheControllerManagementQueue->addOperation(std::make_shared<ZPHBlockOperation>([this, html, baseURL] {
    for (const ZPHArticleImageCacheTarget& target : zph_allImageCacheTargetsFoundInHTML(html, baseURL))
      m_webCacheController->purgeCachedObjectAtURL(target.absoluteURL());
    if (auto operation = m_articleImageCacheOperationsByHTMLText.value(html))
      operation->cancel();
  }));
}

QUrl ZPHArticleImageCacheController::URLOfImageInArticleContentHTML(const QString& html, const QUrl& cachedURL,
                                                                    const QUrl& baseURL) const
{
  const QString key = cachedURL.host();
  if (key.isEmpty())
    return {};
  for (const ZPHArticleImageCacheTarget& target : zph_allImageCacheTargetsFoundInHTML(html, baseURL)) {
    if (CBWebCacheController::cacheKeyForURL(target.absoluteURL()).compare(key, Qt::CaseInsensitive) == 0)
      return target.absoluteURL();
  }
  return {};
}

QUrl ZPHArticleImageCacheController::URLOfBiggestImageInArticleContentHTML(const QString& html,
                                                                           const QUrl& baseURL) const
{
  QUrl biggest;
  qint64 biggestArea = 0;
  for (const ZPHArticleImageCacheTarget& target : zph_allImageCacheTargetsFoundInHTML(html, baseURL)) {
    const QUrl url = target.absoluteURL();
    if (cb_isIgnorableImgURLString(url.toString()) || !m_webCacheController->isObjectAtURLCached(url))
      continue;
    const QSize size = CBImagePixelSizeOfData(m_webCacheController->cachedObjectAtURL(url));
    if (!size.isValid())
      continue;
    const qint64 area = qint64(size.width()) * size.height();
    if (area > biggestArea) {
      biggestArea = area;
      biggest = url;
    }
  }
  return biggest.isEmpty() ? QUrl() : imageCacheURLForURL(biggest);
}

std::shared_ptr<ZPHArticleImageCacheOperation> ZPHArticleImageCacheController::registeredOperationForArticleContentHTML(
    const QString& html) const
{
  std::shared_ptr<ZPHArticleImageCacheOperation> registered;
  auto lookup = std::make_shared<ZPHBlockOperation>(
      [this, html, &registered] { registered = m_articleImageCacheOperationsByHTMLText.value(html); });
  m_cacheControllerManagementQueue->addOperation(lookup);
  lookup->waitUntilFinished();
  return registered;
}
