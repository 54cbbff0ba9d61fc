#pragma once

// Qt kind: QObject.

#include "kit/ZPHClock.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QImage>

#include <functional>
#include <memory>

class ZPHBrowserTab;
class ZPHOperationQueue;
class ZPHTabThumbnailCache;

// The pictures of browser tabs for the tabs list (113 by 72 pixels), and
// their files. A tab's page is captured again when it changed
// (invalidateThumbnailForTab): the changed tabs wait in a list, and a
// 1-second timer takes the oldest one each tick, so a page that keeps
// changing is captured at most once a second and a tab that changes many
// times while it waits is captured once. The capture (grab() of the top of
// the web view, in a 1.61 : 1 shape) happens on the main thread, and only
// for a web view on screen: the engine does not render a hidden one, so a
// tab that is not shown keeps its last picture. The scaling runs on a queue
// of width 1 ("com.fernhollow.zephlin.operationQueues.tabThumbnailing") that
// never waits for the main thread; the picture comes back on the main
// thread, goes to the tab and to the disk cache under the tab's address,
// and the tab's row is redrawn.
//
// A registered tab without a picture in memory gets the one kept on disk
// for its address, read in the background. Main thread only.
class ZPHTabThumbnailingController : public QObject {
  Q_OBJECT

public:
  static constexpr int ThumbnailWidth = 113;
  static constexpr int ThumbnailHeight = 72;
  static constexpr qint64 PacingInterval = 1000;  // ms
  static constexpr double CaptureAspectRatio = 1.6100000143051147;

  // What takes a tab's picture, unscaled; null when it cannot.
  using Capture = std::function<QImage(ZPHBrowserTab* tab)>;

  // `cacheFolder`: the files' folder; `clock`: the pacing (the system clock
  // when null; it must outlive the controller).
  ZPHTabThumbnailingController(const QString& cacheFolder, ZPHClock* clock = nullptr, QObject* parent = nullptr);
  ~ZPHTabThumbnailingController() override;

  ZPHTabThumbnailCache* cache() const { return m_cache.get(); }
  // The capture; by default captureWebViewOfTab().
  void setCapture(Capture capture) { m_capture = std::move(capture); }
  // The top of the tab's web view when it is on screen; null otherwise.
  static QImage captureWebViewOfTab(ZPHBrowserTab* tab);

  void registerTab(ZPHBrowserTab* tab);
  // Forgets the tab and its picture; its file goes unless another open tab
  // has the same address (`keptNames`: the file names of the other tabs).
  void unregisterTab(ZPHBrowserTab* tab, const QSet<QString>& keptNames);
  bool isRegistered(const ZPHBrowserTab* tab) const;
  // The tab's page changed: it is captured again in turn.
  void invalidateThumbnailForTab(ZPHBrowserTab* tab);
  // The tab's picture; null for none (yet).
  QImage thumbnailForTab(const ZPHBrowserTab* tab) const;

  // For the tests.
  QList<ZPHBrowserTab*> tabsNeedingThumbnailing() const;
  ZPHBrowserTab* browserTabBeingThumbnailed() const { return m_browserTabBeingThumbnailed; }
  bool pacingTimerRuns() const { return m_timer != 0; }
  // The queue that scales (width 1).
  ZPHOperationQueue* operationQueue() const { return m_queue.get(); }

Q_SIGNALS:
  // A tab got a new picture.
  void thumbnailUpdated(ZPHBrowserTab* tab);

private:
  void startTimer();
  void stopTimer();
  void tick();
  void thumbnailTab(ZPHBrowserTab* tab);
  void loadCachedThumbnail(ZPHBrowserTab* tab);

  ZPHClock* m_clock;
  std::unique_ptr<ZPHTabThumbnailCache> m_cache;
  std::unique_ptr<ZPHOperationQueue> m_queue;
  Capture m_capture;
  // Registered tabs and their pictures (null: none yet).
  QHash<const ZPHBrowserTab*, QImage> m_latestThumbnailImagesByTab;
  QList<ZPHBrowserTab*> m_tabsNeedingThumbnailing;
  ZPHBrowserTab* m_browserTabBeingThumbnailed = nullptr;
  ZPHClock::TimerID m_timer = 0;
};
