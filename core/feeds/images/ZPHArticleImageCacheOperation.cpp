#include "feeds/images/ZPHArticleImageCacheOperation.h"

#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/images/ZPHArticleImageCacheTarget.h"
#include "feeds/network/CBDownloadOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHMainThread.h"

#include <QtCore/QMutexLocker>
#include <QtCore/QSet>

ZPHArticleImageCacheOperation::ZPHArticleImageCacheOperation(const QString& htmlContent, const QUrl& baseURL,
                                                             ZPHOperationQueue* articleProcessingQueue)
    : m_htmlContent(htmlContent), m_baseURL(baseURL), m_articleProcessingQueue(articleProcessingQueue)
{
}

ZPHArticleImageCacheOperation::~ZPHArticleImageCacheOperation() = default;

QList<std::shared_ptr<CBDownloadOperation>> ZPHArticleImageCacheOperation::downloadOperations() const
{
  QMutexLocker locker(&m_mutex);
  return m_downloadOperations;
}

void ZPHArticleImageCacheOperation::cancel()
{
  ZPHOperation::cancel();
  const QList<std::shared_ptr<CBDownloadOperation>> downloads = downloadOperations();
  if (downloads.isEmpty())
    return;
  ZPHMainThread::async([downloads] {
    for (const std::shared_ptr<CBDownloadOperation>& download : downloads) download->cancel();
  });
}

QList<QUrl> ZPHArticleImageCacheOperation::imageURLsToFetch(const QString& htmlContent, const QUrl& baseURL)
{
  QList<QUrl> urls;
  if (htmlContent.isEmpty())
    return urls;
  CBWebCacheController* webCache = CBWebCacheController::sharedController();
  ZPHArticleImageCacheController* controller = ZPHArticleImageCacheController::sharedController();
  QSet<QUrl> seen;
  for (const ZPHArticleImageCacheTarget& target : zph_allImageCacheTargetsFoundInHTML(htmlContent, baseURL)) {
    const QUrl url = target.absoluteURL();
    // Only web images: a src may name any scheme, and a relative one that
    // is not a full address names nothing to download.
    if (!CBURLIsWebURL(url) || seen.contains(url) || cb_isIgnorableImgURLString(url.toString()))
      continue;
    if (seen.size() >= MaximumImagesPerArticle)
      break;
    seen.insert(url);
    if (!webCache->isObjectAtURLCached(url) && !controller->didImageFailBefore(url))
      urls.append(url);
  }
  return urls;
}

void ZPHArticleImageCacheOperation::main()
{
  CBWebCacheController* webCache = CBWebCacheController::sharedController();
  ZPHArticleImageCacheController* controller = ZPHArticleImageCacheController::sharedController();
  QList<std::shared_ptr<CBDownloadOperation>> downloads;
  for (const QUrl& url : imageURLsToFetch(m_htmlContent, m_baseURL)) {
    auto download = std::make_shared<CBDownloadOperation>(url);
    download->setMaximumBodySize(MaximumImageBytes);
    CBDownloadOperation* raw = download.get();
    // The download holds this operation until it ended, so the count below
    // outlives the wait in main().
    auto self = std::static_pointer_cast<ZPHArticleImageCacheOperation>(shared_from_this());
    download->setCompletionBlock([self, raw, url, webCache, controller] {
      if (!raw->isCancelled()) {
        // Only an image is kept: error pages, failures and bodies that do
        // not decode are remembered instead and not fetched again.
        const int status = raw->statusCode();
        const QByteArray body = raw->responseBody();
        if (raw->error().isNull() && status >= 200 && status < 300 && ZPHArticleImageCacheController::isImage(body))
          webCache->storeObject(body, url);
        else
          controller->rememberFailedImage(url, raw->error());
      }
      self->downloadDidEnd(raw);
    });
    downloads.append(download);
  }
  if (downloads.isEmpty() || isCancelled())
    return;
  // All of the article's downloads in one visit to the main thread.
  ZPHMainThread::sync([&] {
    CBOperationController* controller = CBOperationController::sharedDownloadOperationController();
    for (const std::shared_ptr<CBDownloadOperation>& download : std::as_const(downloads)) {
      if (isCancelled())
        return;
      {
        QMutexLocker locker(&m_mutex);
        m_downloadOperations.append(download);
        ++m_running;
      }
      controller->addOperation(download);
    }
  });

  QMutexLocker locker(&m_mutex);
  while (m_running > 0) m_allEnded.wait(&m_mutex);
}

void ZPHArticleImageCacheOperation::downloadDidEnd(CBDownloadOperation*)
{
  QMutexLocker locker(&m_mutex);
  if (--m_running <= 0)
    m_allEnded.wakeAll();
}
