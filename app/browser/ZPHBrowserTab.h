#pragma once

// Qt kind: QObject.

#include "browser/ZPHTab.h"
#include "kit/ZPHClock.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <QtGui/QIcon>

#include <memory>

class AbstractTab;
class ZPHBrowserViewController;
class ZPHMacWebView;
class ZPHTabsController;

// One page of the built-in browser: its stored tab (an object of the entity
// "ZPHTab" in the tabs context, so the open tabs survive a restart) and the
// state that is not stored. The tab alone keeps the addresses asked for,
// the first title and whether the first load waits for a selection; its
// browser view controller (and with it the web view) is made on first need,
// so restored tabs cost no web view until they are shown.
//
// Load state: a main-frame load starts tracking (startTrackingNewLoad), with
// a 7-second time-out after which the tab counts as loaded for what the
// tabs list shows, while the page goes on loading. A load that failed keeps
// the failing address shown and the last good title.
//
// Made and deleted by the tabs controller, which outlives it. Main thread
// only.
class ZPHBrowserTab : public ZPHTab {
  Q_OBJECT

public:
  static constexpr qint64 LoadTimeout = 7000;  // ms

  ZPHBrowserTab(AbstractTab* stored, ZPHTabsController* tabs);
  ~ZPHBrowserTab() override;

  // The stored tab (the tabs context's object), null once it was deleted.
  AbstractTab* storedTab() const { return m_stored; }
  // The stored tab's identifier (permanent once the tab was saved).
  ZPHManagedObjectID objectID() const;
  void forgetStoredTab();
  ZPHTabsController* tabsController() const { return m_tabs; }

  bool isBrowserTab() const override { return true; }

  // A throw-away tab (the stored flag): it closes when the news items are
  // shown again, and its Back button, without history, does that.
  bool isDisposable() const;
  void setDisposable(bool disposable);

  // ---- What is not stored
  QString initialRequestedURL() const { return m_initialRequestedURL; }
  void setInitialRequestedURL(const QString& url) { m_initialRequestedURL = url; }
  QString lastRequestedURL() const { return m_lastRequestedURL; }
  void setLastRequestedURL(const QString& url) { m_lastRequestedURL = url; }
  QString initialTitle() const { return m_initialTitle; }
  void setInitialTitle(const QString& title) { m_initialTitle = title; }
  QString lastGoodTitle() const { return m_lastGoodTitle; }
  bool loadOnSelect() const { return m_loadOnSelect; }
  void setLoadOnSelect(bool load) { m_loadOnSelect = load; }
  bool initialLoadAttempted() const { return m_initialLoadAttempted; }
  bool lastRequestDidFail() const { return m_lastRequestDidFail; }
  void setLastRequestDidFail(bool failed) { m_lastRequestDidFail = failed; }
  bool isClosing() const { return m_isClosing; }
  bool closeButtonHighlighted() const { return m_closeButtonHighlighted; }
  void setCloseButtonHighlighted(bool highlighted) { m_closeButtonHighlighted = highlighted; }
  bool loadTimedOut() const { return m_loadTimedOut; }
  QUrl lastMainFrameURLForLoadingComplete() const { return m_lastMainFrameURLForLoadingComplete; }

  // ---- The browser view and the web view
  ZPHBrowserViewController* browserViewController() const { return m_browserViewController.get(); }
  ZPHBrowserViewController* browserViewControllerCreatingIfNeeded();
  // Null before the browser view controller is made.
  ZPHMacWebView* webView() const;
  ZPHMacWebView* webViewCreatedIfNeeded();

  // Selecting a tab without a web view makes it and starts the deferred
  // first load on the next turn of the event loop.
  void setIsSelected(bool selected) override;
  // The first load, once, when it waits for the selection.
  void doLoadOnSelectIfNeeded();
  // Loads the address (making the web view when needed) when a tab may load
  // it (ZPHTypedAddress): http, https, file and about:blank. A feed address
  // goes to the subscribe flow when `userAsked`; anything else is dropped.
  // Answers whether it loads.
  bool loadURLString(const QString& urlString, bool userAsked = true);
  void stopLoading();

  // ---- Load tracking
  void startTrackingNewLoad();
  void resetLoadingState();
  // The web view finished loading its main frame (at `url`).
  void webViewDidFinishLoading(const QUrl& url);
  // False while closing or after the time-out; else whether the web view
  // loads.
  bool loadInProgressAccordingToWebViewOrTimeOut() const;
  // 1 when no load is in progress by that rule, else the page's (0 to 1).
  double estimatedProgress() const;

  // ---- Shown
  // While a load is in progress or after a failure, the address asked for
  // last; else the last loaded; else the first requested; else the last
  // requested.
  QString displayURL() const;
  // The page's title; else the first title; else "(No title)". Remembered
  // as the last good title unless the last request failed.
  QString displayTitle() override;
  QString logicalLastGoodTitle() const;
  // The page's icon, else the default one.
  QIcon icon() const;
  QImage thumbnailImage() const override;
  // "<title>: <address>" ("(No title)", "(No URL)").
  QString description();

  // Before the tab goes: it stops loading and lets its browser view go.
  void invalidate();

private:
  AbstractTab* m_stored;
  ZPHManagedObjectID m_objectID;
  ZPHTabsController* m_tabs;
  std::unique_ptr<ZPHBrowserViewController> m_browserViewController;
  QString m_initialRequestedURL;
  QString m_lastRequestedURL;
  QString m_initialTitle;
  QString m_lastGoodTitle;
  bool m_loadOnSelect = false;
  bool m_initialLoadAttempted = false;
  bool m_lastRequestDidFail = false;
  bool m_isClosing = false;
  bool m_closeButtonHighlighted = false;
  bool m_loadTimedOut = false;
  ZPHClock::TimerID m_loadingTimeoutTimer = 0;
  QUrl m_lastMainFrameURLForLoadingComplete;
};
