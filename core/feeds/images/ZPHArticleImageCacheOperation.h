#pragma once

#include "platform/ZPHOperation.h"

#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QWaitCondition>

#include <memory>

class CBDownloadOperation;
class ZPHOperationQueue;

// Downloads the images of one article's HTML that the web cache lacks and
// stores them there: every image is fetched by its own download operation
// on the shared download controller, and the operation ends when all of
// them have ended.
//
// Bounded: only the first MaximumImagesPerArticle web images of an article
// are looked at, a body past MaximumImageBytes is refused, and only a
// successful (2xx) body that decodes as an image within the decoding bounds
// is stored. An image that failed is remembered by the controller and not
// fetched again in this run.
//
// Downloads are added on the main thread, which must keep serving its
// event loop while the operation runs.
class ZPHArticleImageCacheOperation : public ZPHOperation {
public:
  static constexpr int MaximumImagesPerArticle = 20;
  static constexpr qint64 MaximumImageBytes = 4 * 1024 * 1024;

  ZPHArticleImageCacheOperation(const QString& htmlContent, const QUrl& baseURL,
                                ZPHOperationQueue* articleProcessingQueue);
  ~ZPHArticleImageCacheOperation() override;

  // The base cancel, then every download of the article is cancelled (on
  // the main thread).
  void cancel() override;

  QString htmlContent() const { return m_htmlContent; }
  QUrl baseURL() const { return m_baseURL; }
  ZPHOperationQueue* articleProcessingQueue() const { return m_articleProcessingQueue; }
  QList<std::shared_ptr<CBDownloadOperation>> downloadOperations() const;

  // The images of the HTML an operation would download now: its first
  // MaximumImagesPerArticle web images that are not to be ignored, less those
  // in the web cache and those that failed before. Any thread.
  static QList<QUrl> imageURLsToFetch(const QString& htmlContent, const QUrl& baseURL);

protected:
  void main() override;

private:
  void downloadDidEnd(CBDownloadOperation* download);

  const QString m_htmlContent;
  const QUrl m_baseURL;
  ZPHOperationQueue* const m_articleProcessingQueue;

  mutable QMutex m_mutex;
  QWaitCondition m_allEnded;
  QList<std::shared_ptr<CBDownloadOperation>> m_downloadOperations;
  int m_running = 0;
};
