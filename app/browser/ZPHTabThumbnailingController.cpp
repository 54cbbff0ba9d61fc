#include "browser/ZPHTabThumbnailingController.h"

#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHTabThumbnailCache.h"
#include "common/ZPHWebLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QPointer>

#include <cmath>

namespace {

bool isCacheable(const QUrl& url) { return url.isValid() && !url.isEmpty() && !url.scheme().isEmpty(); }

}  // namespace

ZPHTabThumbnailingController::ZPHTabThumbnailingController(const QString& cacheFolder, ZPHClock* clock, QObject* parent)
    : QObject(parent),
      m_clock(clock != nullptr ? clock : &ZPHClock::systemClock()),
      m_cache(std::make_unique<ZPHTabThumbnailCache>(cacheFolder)),
      m_queue(std::make_unique<ZPHOperationQueue>(
          QStringLiteral("com.fernhollow.zephlin.operationQueues.tabThumbnailing"))),
      m_capture(&ZPHTabThumbnailingController::captureWebViewOfTab)
{
  m_queue->setMaxConcurrentOperationCount(1);
}

ZPHTabThumbnailingController::~ZPHTabThumbnailingController()
{
  stopTimer();
  // The scaling answers through the main thread, guarded; the files finish.
  m_queue->waitUntilAllOperationsAreFinished();
  m_cache.reset();
}

QImage ZPHTabThumbnailingController::captureWebViewOfTab(ZPHBrowserTab* tab)
{
  ZPHMacWebView* webView = tab != nullptr ? tab->webView() : nullptr;
  if (webView == nullptr)
    return {};
  // Only a view on screen is rendered: a hidden one keeps its last picture.
  if (!webView->isVisible() || webView->window() == nullptr || !webView->window()->isVisible())
    return {};
  const int width = webView->width();
  if (width <= 0 || webView->height() <= 0)
    return {};
  const int height = int(std::lround(std::min(width / CaptureAspectRatio, double(webView->height()))));
  const QImage image = webView->grab(QRect(0, 0, width, height)).toImage();
  if (image.isNull())
    qCWarning(zphWeb) << "I have attempted to create a thumbnail for this tab, but the image I created was nil";
  return image;
}

void ZPHTabThumbnailingController::registerTab(ZPHBrowserTab* tab)
{
  ZPH_ASSERT_MAIN_THREAD();
  Q_ASSERT_X(tab, Q_FUNC_INFO, "Invalid parameter not satisfying: tab");
  if (tab == nullptr || m_latestThumbnailImagesByTab.contains(tab))
    return;
  m_latestThumbnailImagesByTab.insert(tab, QImage());
  loadCachedThumbnail(tab);
}

void ZPHTabThumbnailingController::loadCachedThumbnail(ZPHBrowserTab* tab)
{
  const QUrl url(tab->displayURL());
  if (!isCacheable(url))
    return;
  QPointer<ZPHBrowserTab> guard(tab);
  m_cache->imageForURL(url, this, [this, guard](const QImage& image) {
    // Only a registered tab that has no newer picture takes the file's.
    if (!guard || image.isNull() || !m_latestThumbnailImagesByTab.contains(guard) ||
        !m_latestThumbnailImagesByTab.value(guard).isNull())
      return;
    m_latestThumbnailImagesByTab.insert(guard, image);
    Q_EMIT thumbnailUpdated(guard);
    guard->markSelfAsNeedingRedisplay();
  });
}

void ZPHTabThumbnailingController::unregisterTab(ZPHBrowserTab* tab, const QSet<QString>& keptNames)
{
  ZPH_ASSERT_MAIN_THREAD();
  Q_ASSERT_X(tab, Q_FUNC_INFO, "Invalid parameter not satisfying: tab");
  if (tab == nullptr || !m_latestThumbnailImagesByTab.contains(tab))
    return;
  m_latestThumbnailImagesByTab.remove(tab);
  const QUrl url(tab->displayURL());
  if (isCacheable(url))
    m_cache->asynchronouslyClearCacheForURL(url, keptNames);
  m_tabsNeedingThumbnailing.removeAll(tab);
  if (m_browserTabBeingThumbnailed == tab)
    m_browserTabBeingThumbnailed = nullptr;
  if (m_tabsNeedingThumbnailing.isEmpty())
    stopTimer();
}

bool ZPHTabThumbnailingController::isRegistered(const ZPHBrowserTab* tab) const
{
  return m_latestThumbnailImagesByTab.contains(tab);
}

void ZPHTabThumbnailingController::invalidateThumbnailForTab(ZPHBrowserTab* tab)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (tab == nullptr || !m_latestThumbnailImagesByTab.contains(tab) || tab == m_browserTabBeingThumbnailed)
    return;
  if (!m_tabsNeedingThumbnailing.contains(tab))
    m_tabsNeedingThumbnailing.append(tab);
  startTimer();
}

QImage ZPHTabThumbnailingController::thumbnailForTab(const ZPHBrowserTab* tab) const
{
  return m_latestThumbnailImagesByTab.value(tab);
}

QList<ZPHBrowserTab*> ZPHTabThumbnailingController::tabsNeedingThumbnailing() const
{
  return m_tabsNeedingThumbnailing;
}

void ZPHTabThumbnailingController::startTimer()
{
  if (m_timer != 0)
    return;
  m_timer = m_clock->schedule(PacingInterval, this, [this] {
    m_timer = 0;
    tick();
  });
}

void ZPHTabThumbnailingController::stopTimer()
{
  if (m_timer == 0)
    return;
  m_clock->cancel(m_timer);
  m_timer = 0;
}

void ZPHTabThumbnailingController::tick()
{
  if (m_tabsNeedingThumbnailing.isEmpty())
    return;
  ZPHBrowserTab* tab = m_tabsNeedingThumbnailing.takeFirst();
  // The timer repeats while tabs wait.
  if (!m_tabsNeedingThumbnailing.isEmpty())
    startTimer();
  thumbnailTab(tab);
}

void ZPHTabThumbnailingController::thumbnailTab(ZPHBrowserTab* tab)
{
  const QImage unscaled = m_capture ? m_capture(tab) : QImage();
  if (unscaled.isNull())
    return;
  m_browserTabBeingThumbnailed = tab;
  QPointer<ZPHTabThumbnailingController> self(this);
  QPointer<ZPHBrowserTab> guard(tab);
  m_queue->addOperation(std::make_shared<ZPHBlockOperation>([self, guard, unscaled] {
    const QImage scaled =
        unscaled.scaled(ThumbnailWidth, ThumbnailHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ZPHMainThread::async([self, guard, scaled] {
      if (!self)
        return;
      if (self->m_browserTabBeingThumbnailed == guard.data())
        self->m_browserTabBeingThumbnailed = nullptr;
      if (!guard || !self->m_latestThumbnailImagesByTab.contains(guard) || scaled.isNull())
        return;
      self->m_latestThumbnailImagesByTab.insert(guard, scaled);
      const QUrl url(guard->displayURL());
      if (isCacheable(url))
        self->m_cache->setImageForURL(scaled, url);
      Q_EMIT self->thumbnailUpdated(guard);
      guard->markSelfAsNeedingRedisplay();
    });
  }));
}
