#pragma once

// Qt kind: QObject that owns widgets.

#include "browser/CBFeedLinkDetector.h"
#include "browser/ZPHBrowserTab.h"
#include "web/ZPHWebContentViewController.h"

#include <QtCore/QPointer>
#include <QtCore/QRect>

#include <memory>

class CBBrowserTextField;
class QToolButton;
class QWebEngineLoadingInfo;
class ZPHBrowserContentView;
class ZPHTabsController;
class ZPHToolbar;

// Object: the browser view controller (QObject*), or its web view for a
// new title. Posted whenever the page of a browser tab changed.
extern const QString ZPHWebViewDidUpdateNotification;  // "ZPHWebViewDidUpdateNotification"

// The controller of one browser tab: its toolbar strip (close, back and
// forward, stop and reload, the address field with its feed button and
// spinner) and its web view, on the browser pages' profile. It keeps the
// strip and the tab's load state in step with the page's main frame
// (loadingChanged, urlChanged, titleChanged, iconChanged), looks for the
// page's feeds once it has loaded, builds the page's context menu and turns
// what is typed into an address. A tab loads only http, https, file and
// about:blank addresses; a feed address goes to the subscribe flow; nothing
// else loads or leaves (ZPHTypedAddress).
//
// Made by its tab on first need and owned by it. Main thread only.
class ZPHBrowserViewController : public ZPHWebContentViewController {
  Q_OBJECT

public:
  // The profile must be the browser pages' (ZPHExternalPagesProfile); the
  // tabs controller and the clock must outlive the controller.
  ZPHBrowserViewController(QWebEngineProfile* profile, ZPHTabsController* tabs, ZPHClock* clock = nullptr,
                           QObject* parent = nullptr);
  ~ZPHBrowserViewController() override;

  // The tab's view: the strip and the web view.
  ZPHBrowserContentView* contentView() const;
  ZPHToolbar* toolbar() const { return m_toolbar; }
  CBBrowserTextField* addressField() const { return m_addressField; }
  QToolButton* backButton() const { return m_backButton; }
  QToolButton* forwardButton() const { return m_forwardButton; }
  QToolButton* refreshButton() const { return m_refreshButton; }
  ZPHTabsController* tabsController() const { return m_tabs; }

  ZPHBrowserTab* browserTab() const { return m_tab; }
  void setTab(ZPHBrowserTab* tab) { m_tab = tab; }

  // ---- Feeds of the page
  QList<CBFeedLink> feedLinks() const { return m_feedLinks; }
  QString feedLinksURL() const { return m_feedLinksURL; }
  // How often the page was searched for feeds (a page is searched once per
  // address).
  int feedSearchCount() const { return m_feedSearchCount; }
  void updateFeedButton();

  // ---- State
  bool backButtonClosesView() const { return m_backButtonClosesView; }
  void setBackButtonClosesView(bool closes) { m_backButtonClosesView = closes; }
  bool pageLoadInProgress() const { return m_pageLoadInProgress; }
  // 0 while nothing loads, else the page's (0 to 1).
  double estimatedProgress() const { return m_pageLoadInProgress ? m_progress : 0.0; }
  QRect clickedSpecificElementRectForSharing() const { return m_clickedRect; }

  // ---- The strip
  void updateUI() override;
  void updateAddressField();
  void setURLStringForBrowserTextField(const QString& urlString);
  void setImageForBrowserTextField(const QIcon& image);
  void validateButtons();
  void setProgressIndicatorRunning(bool running);
  void makeAddressFieldFirstResponder();
  void selectTextInAddressField();
  // The web view goes into its place in the tab's view.
  void mountWebView();

  // ---- Actions
  void stop();
  void reload();
  void goBack();
  void goForward();
  // The page has a page to go forward to.
  bool canGoForward() const;
  // What the user typed (ZPHTypedAddress) loads, or goes to the subscribe
  // flow; the web view takes the focus.
  void openSpecifiedURL(const QString& typed);
  // Loads the address as the user's (it may lead to a download or a
  // feed) or not; false when a tab does not load it.
  bool loadURLString(const QString& urlString, bool userAsked);

  // ---- Overrides
  bool isBrowserTab() const override { return true; }
  void invalidate() override;
  QMenu* contextualMenuForWebView(ZPHMacWebView* webView, const ZPHWebElement& element) override;
  bool webViewShouldPerformAction(ZPHMacWebView* webView, QWebEnginePage::WebAction action) override;
  void webViewDidFinishLoad(const QUrl& url) override;
  void webViewDidFailLoad(const QUrl& url) override;
  void downloadWasHandedOut(const QUrl& url) override;
  void webViewKeptPage(const QUrl& url) override;
  QWebEnginePage* pageForNewWindow() override;

  // The page's text size, one step up or down (the context menu's items).
  void makeTextLarger();
  void makeTextSmaller();

Q_SIGNALS:
  // The page was searched for feeds (the button shows what was found).
  void feedLinksUpdated();

private:
  void buildToolbar();
  void loadingChanged(const QWebEngineLoadingInfo& info);
  void handleWebViewUpdated(bool dirty);
  void setAddressStopReloadButton(bool loading);
  void disableFeedButton();
  void copyPageLink();
  void addShareMenu(QMenu* menu, const QUrl& url, const QString& title, const QRect& elementRect);

  ZPHTabsController* m_tabs;
  QPointer<ZPHBrowserTab> m_tab;
  // The view may go with a window before the controller does.
  QPointer<ZPHBrowserContentView> m_contentView;
  ZPHToolbar* m_toolbar = nullptr;
  CBBrowserTextField* m_addressField = nullptr;
  QToolButton* m_backButton = nullptr;
  QToolButton* m_forwardButton = nullptr;
  QToolButton* m_refreshButton = nullptr;
  QList<CBFeedLink> m_feedLinks;
  QString m_feedLinksURL;
  bool m_feedLinksKnown = false;
  QString m_feedSearchURL;
  int m_feedSearchCount = 0;
  bool m_backButtonClosesView = false;
  bool m_pageLoadInProgress = false;
  double m_progress = 0;
  QRect m_clickedRect;
  // False once the controller goes: the page answers its scripts' calls
  // even while it is being destroyed.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
