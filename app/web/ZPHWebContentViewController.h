#pragma once

// Qt kind: QObject that owns widgets.

#include "kit/ZPHClock.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewUIDelegate.h"
#include "web/ZPHNavigationPolicy.h"
#include "web/ZPHWebElement.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QStringList>
#include <QtCore/QUrl>
#include <QtWidgets/QWidget>

#include <memory>

class CBDataArticle;
class QAction;
class QMenu;
class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;
class ZPHMacWebViewFindBarViewController;
class ZPHMacWebViewStatusBarWindowController;
class ZPHWebEnginePage;

// The tags of the web views' context menu items (QAction::data()).
enum ZPHWebContextMenuTag : int {
  ZPHWebContextMenuTagCopyImage = 6,
  ZPHWebContextMenuTagOpenInNewTab = 1000,
  ZPHWebContextMenuTagOpenInBrowser = 1001,
  ZPHWebContextMenuTagSaveImageAs = 1003,
  ZPHWebContextMenuTagCopyLink = 1005,
  ZPHWebContextMenuTagShare = 1007,
  ZPHWebContextMenuTagMakeTextLarger = 1010,
  ZPHWebContextMenuTagMakeTextSmaller = 1011,
  ZPHWebContextMenuTagQuickLookImage = 1012,
};

// The common base of the controllers that show a web view: the article
// view and a browser tab. It owns the web view and its page (on the profile
// it is given), a find bar and the link status bar (both made on first
// use). It decides where the page may go (ZPHNavigationPolicy): links the
// user clicks leave for the default browser, a tab, the mail client or the
// subscribe flow; nothing leaves without the user's click; what the page
// does by itself stays in the view or is refused. A window the page's
// script opens on the user's click becomes a new tab (pageForNewWindow());
// one it opens by itself is refused. Downloads the page starts
// are never saved: a feed starts the subscribe flow, anything else goes to
// the default browser, both only after the user's click. It carries out the
// context menu's actions (open, copy link, copy source, save image) and
// shows the link under the mouse in the status bar.
//
// Subclasses fill the hooks: the context menu, the load callbacks, where a
// clicked link goes.
//
// Main thread only.
class ZPHWebContentViewController : public QObject, public ZPHMacWebViewUIDelegate {
  Q_OBJECT

public:
  // The profile (the article profile or the browser profile) must outlive
  // the controller; so must the clock (the system clock when null).
  explicit ZPHWebContentViewController(QWebEngineProfile* profile, ZPHClock* clock = nullptr,
                                       QObject* parent = nullptr);
  ~ZPHWebContentViewController() override;

  // The controller's view: the web view.
  QWidget* view() const;
  ZPHMacWebView* webView() const { return m_webView; }
  ZPHWebEnginePage* page() const { return m_page; }
  QWebEngineProfile* profile() const { return m_profile; }
  ZPHClock* clock() const { return m_clock; }
  // The web view's window; null outside one.
  QWidget* window() const;

  // The articles shown (the article view); image and link actions fall
  // back to them. They belong to the main context.
  QList<CBDataArticle*> selectedArticles() const { return m_selectedArticles; }
  virtual void setSelectedArticles(const QList<CBDataArticle*>& articles) { m_selectedArticles = articles; }

  ZPHMacWebViewFindBarViewController* findBarViewController();
  bool findBarShown() const { return m_findBarShown; }
  void setFindBarShown(bool shown) { m_findBarShown = shown; }
  QWidget* findBarView();
  // The web view's frame; empty without a web view.
  QRect webViewRect() const;
  ZPHMacWebViewStatusBarWindowController* statusBarWindowController();
  // Stored only.
  QList<QAction*> additionalSpecificContextMenuItems() const { return m_additionalSpecificContextMenuItems; }
  void setAdditionalSpecificContextMenuItems(const QList<QAction*>& items)
  {
    m_additionalSpecificContextMenuItems = items;
  }

  void makeWebViewFirstResponder();
  // The bar over the web view's bottom edge, when it has a text.
  void showStatusBarForWebView(ZPHMacWebView* webView);
  void hideStatusBar();

  // Hooks.
  virtual void updateUI() {}
  // Before the owner lets go: the status bar hides, the page stops.
  virtual void invalidate();
  // Whether the view shows a browser tab (its status bar never goes dark).
  virtual bool isBrowserTab() const { return false; }
  // The page never goes anywhere by itself, and its links all leave it.
  virtual bool pageNeverNavigates() const { return false; }
  // The address a clicked link goes to (subclasses resolve relative links).
  virtual QUrl adjustedURLForClickedLink(const QUrl& url) const { return url; }
  // The menu for the element, or none (the base).
  virtual QMenu* contextualMenuForWebView(ZPHMacWebView* webView, const ZPHWebElement& element);
  // The main frame finished loading the address, or failed to (also when
  // a newer load took its place). A refused navigation is neither.
  virtual void webViewDidFinishLoad(const QUrl& url) { Q_UNUSED(url); }
  virtual void webViewDidFailLoad(const QUrl& url) { Q_UNUSED(url); }
  // A load the user asked for turned out to be a download and went to the
  // default browser or the subscribe flow (the view stays as it was).
  virtual void downloadWasHandedOut(const QUrl& url) { Q_UNUSED(url); }
  // A navigation of the main frame went elsewhere (the mail client, the
  // subscribe flow, ...) or was refused: the page stays as it was, and the
  // load the engine had begun for it is over.
  virtual void webViewKeptPage(const QUrl& url) { Q_UNUSED(url); }
  // The page of a new, selected tab for a window the page's script opened
  // on the user's click (window.open, with or without an address); the
  // window's page loads into it. None (the base): the window is refused.
  virtual QWebEnginePage* pageForNewWindow() { return nullptr; }
  // The page's script closed its window (window.close()): the view goes
  // back when it can; otherwise nothing.
  virtual void webViewClose();

  // The navigation request the page asks about, as the policy sees it.
  ZPHNavigationPolicy::Request requestForNavigation(const QUrl& url, ZPHNavigationPolicy::Type type, bool isMainFrame);
  // The user's click or key that led to the address, taken once.
  void takeUserInput(const QUrl& url, ZPHNavigationPolicy::Request& request);
  // The preference and the page's own state every decision weighs.
  void fillPageState(ZPHNavigationPolicy::Request& request) const;
  // The address the controller is loading itself (its own page).
  QUrl ownLoadURL() const { return m_ownLoadURL; }
  // `userAsked`: the user asked for this load (typed it, opened a link in
  // it), so what it leads to (a feed, a download) may leave the view.
  void setOwnLoadURL(const QUrl& url, bool userAsked = false)
  {
    m_ownLoadURL = url;
    m_ownLoadIsUsers = userAsked;
  }
  // The main-frame navigation under way followed the user's input.
  bool navigationFollowsUserInput() const { return m_navigationFollowsUserInput; }

  // ---- The element under a right-click
  static QString urlStringFromElement(const ZPHWebElement& element) { return element.linkURLString(); }
  // The link; else the best link of the first selected article; invalid
  // when there is neither.
  QUrl zph_urlForElement(const ZPHWebElement* element) const;
  // The address an image shown in the page stands for: for a cached
  // article image its address in the article, else the image's own.
  QUrl publicURLForImageURL(const QUrl& imageURL) const;
  static QList<QAction*> findMenuItemsWithTag(int tag, const QList<QAction*>& items);
  // "Copy Link", "Copy Link to Image" or "Copy Article Link", tag 1005.
  QAction* copyLinkMenuItemFromElement(const ZPHWebElement& element, QObject* parent);
  // The types that are never shown (in their order).
  static const QStringList& mimeTypesToOpenExternally();

  // ---- Context menu actions
  void uiCopyLink(const ZPHWebElement& element);
  void uiDelegateOpenInNewTab(const ZPHWebElement& element);
  void uiDelegateOpenInBrowser(const ZPHWebElement& element);
  void uiDelegateCopySource();
  // Saves the image's bytes as they came (from the image cache, the web
  // cache or the server) under a name the user picks.
  void uiDelegateSaveImageAs(const ZPHWebElement& element);
  // Writes the image's bytes, exactly as they came, to the file (replaced
  // whole): from the image cache or the web cache when they hold it, else
  // from its server through the page's profile. Never re-encoded.
  void saveImageAtURLToFile(const QUrl& imageURL, const QString& path);
  // The bytes the caches hold for the image; an empty array when they hold
  // none.
  void imageDataForURL(const QUrl& imageURL, std::function<void(const QByteArray& data)> done);
  // The file name for an image at the address: its last path component
  // ("/", ":" and ".." made "_"), a new UUID when there is none (or one
  // shorter than 2 characters); its extension removed on request.
  static QString filenameForImage(const QString& urlString, bool deletePathExtension);

  // The subscribe flow for a feed address, on the next turn of the event
  // loop.
  void subscribeFromWebKitHandlerWithAddSitesWindowToFeedAtURL(const QUrl& url);

  // ---- ZPHMacWebViewUIDelegate
  QMenu* webViewContextMenuForElement(ZPHMacWebView* webView, const ZPHWebElement& element) override;

Q_SIGNALS:
  // A link left the view (for the log and tests).
  void linkHandedOut(const QUrl& url, ZPHNavigationPolicy::Action action);
  // The page's navigation was refused.
  void navigationRefused(const QUrl& url, const QString& reason);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

  // Carries out a decision for a link that leaves the view.
  void handOut(const QUrl& url, ZPHNavigationPolicy::Action action);
  void openURLRespectingPreferencesAndShortcuts(const QUrl& url);
  void openURLInExternalBrowserRespectingPreferencesAndShortcuts(const QUrl& url);
  void openMailURL(const QUrl& url);
  static void copyURLStringToClipboard(const QString& urlString);

private:
  bool decideNavigation(const QUrl& url, int engineType, bool isMainFrame);
  void decideNewWindow(QWebEngineNewWindowRequest& request);
  void decideDownload(QWebEngineDownloadRequest* download);
  void loadingChanged(const QWebEngineLoadingInfo& info);
  void decideLinkTheEngineDoesNotLoad(const QUrl& url);
  void mouseDidMoveOverLink(const QString& link);
  void saveImageData(const QByteArray& data, const QString& fileName);
  void watchWindowState(bool watch);

  QWebEngineProfile* m_profile;
  ZPHClock* m_clock;
  QPointer<ZPHMacWebView> m_webView;
  ZPHWebEnginePage* m_page = nullptr;
  QList<CBDataArticle*> m_selectedArticles;
  std::unique_ptr<ZPHMacWebViewFindBarViewController> m_findBarViewController;
  std::unique_ptr<ZPHMacWebViewStatusBarWindowController> m_statusBarWindowController;
  QList<QAction*> m_additionalSpecificContextMenuItems;
  bool m_findBarShown = false;
  QUrl m_ownLoadURL;
  bool m_ownLoadIsUsers = false;
  // Navigations refused since the last load ended (their failures are no
  // failures of the page).
  QList<QUrl> m_refusedURLs;
  // The main-frame navigation under way followed the user's input.
  bool m_navigationFollowsUserInput = false;
  // Images the user saves that come from their server: address -> file.
  QHash<QUrl, QString> m_pendingImageSaves;
  ZPHClock::TimerID m_statusBarTimer = 0;
  QPointer<QWidget> m_watchedWindow;
};
