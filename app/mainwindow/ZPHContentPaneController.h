#pragma once

// Qt kind: QObject that owns widgets.

#include "browser/ZPHTabsControllerHost.h"
#include "browser/ZPHTabsTableViewController.h"
#include "kit/ZPHClock.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QImage>

#include <memory>
#include <vector>

class QStackedWidget;
class QWidget;
class ZPHArticleListDelegate;
class ZPHBrowserPaneView;
class ZPHBrowserViewController;
class ZPHExternalPagesProfile;
class ZPHMacWebView;
class ZPHOperationQueue;
class ZPHTabsController;

// The main window's content pane: the news-items tab's view (the article
// list's content view) or the selected browser tab's, with the tabs column
// beside it. It owns the tabs controller (ZPHTabsController) and the tabs
// column, shows the tab the user picks, lays the column out, keeps the
// news-items tab's picture, and announces what the window shares and the
// selected address. The article list tells its changes by its signals and
// is asked through its public interface; the list knows nothing of the
// tabs. Made by the main window controller after the list. Main thread only.
class ZPHContentPaneController : public QObject,
                                 public ZPHTabsControllerHost,
                                 public ZPHTabsTableViewControllerDelegate {
  Q_OBJECT

public:
  // The list must outlive the controller; the clock is that of the tabs'
  // timers (the system clock when null; it must outlive the controller).
  explicit ZPHContentPaneController(ZPHArticleListDelegate* list, ZPHClock* clock = nullptr, QObject* parent = nullptr);
  ~ZPHContentPaneController() override;

  // Builds the pane around the list's content view (the list set up
  // first), the tabs column and the stored tabs. Once.
  void setUp();
  QWidget* contentView() const;
  ZPHArticleListDelegate* articleListDelegate() const { return m_list; }

  // ---- The content pane: the news-items tab's view (the article layout or
  // the overall empty view) or the selected browser tab's.
  // The web preferences of the browser tabs' web views ("ZPHExternalPages",
  // in the data and cache folders), made on first use; the article view
  // has the internal pages' profile instead.
  ZPHExternalPagesProfile* webPreferences();
  // The layout's detail web view; null before the first article's page.
  ZPHMacWebView* detailViewWebView() const;
  // The selected browser tab's web view, else the detail web view.
  ZPHMacWebView* currentWebView() const;
  QWidget* currentWebViewWidget() const override;
  bool currentWebViewIsDetailView() const;
  bool currentDetailViewIsATab() const;
  bool currentDetailViewSupportsTextSize() const;
  bool currentDetailViewSupportsMargins() const;
  bool webviewCanScroll() const;
  void scrollWebviewDown();
  bool webviewCanScrollUp() const;
  void scrollWebviewUp();
  // Posts ZPHSelectedURLDidUpdateNotification: the best link of the one
  // selected article (none for several or none), and the detail web view
  // (the layout's detail view before the page exists), each only when
  // present.
  void updateStatusBarURL();
  // Posts ZPHPresentedSharableItemDidChangeNotification with the selected
  // article's sharable item on the news-items tab, else the page's (none
  // for a page without an address or at "about:blank").
  void configureAndNotifySharableItem() override;

  // ---- Browser tabs
  ZPHTabsController* tabsController() const { return m_tabsController.get(); }
  ZPHTabsTableViewController* tabsTableViewController() const { return m_tabsTableViewController.get(); }
  ZPHBrowserPaneView* browserPaneView() const;
  // The selected browser tab's controller; null on the news-items tab.
  ZPHBrowserViewController* currentBrowserViewController() const;
  bool animatingTabs() const;
  // The news-items tab's picture.
  QImage newsItemsThumbnailImage() const { return m_newsItemsThumbnailImage; }
  void updateNewsItemsThumbnailForcingUpdate(bool forcing);
  // ZPHTabsControllerHost
  void showDetailWebView() override;
  void makeArticleListFirstResponder() override;
  void showOrHideOverallEmptyContentsViewAsNeeded() override;
  void swapInViewForBrowserTabAtIndex(qsizetype index) override;
  void makeWebViewFirstResponder() override;
  QWidget* window() const override;
  void updateTabsViewLayoutWithAnimation(bool animate) override;
  QRect webViewRect() const override;
  // ZPHTabsTableViewControllerDelegate
  QMenu* menuForNewsItemTabOfTabsTableViewController(ZPHTabsTableViewController* controller) override;
  void tabsTableViewDidReceiveDoubleClickOnNewsItemTab(ZPHTabsTableViewController* controller) override;

Q_SIGNALS:
  // The article view became, or stopped being, the current web view.
  void currentWebViewIsDetailViewChanged(bool isDetailView);
  // The tabs column's width on screen (0 while hidden).
  void tabsViewWidthChanged(double width);

private:
  void setupTabsTableView();
  // The list wants its view on screen: the news-items tab is selected (and
  // the search field takes the focus, for search results).
  void showArticleList(bool focusingSearchField);
  QWidget* newsItemsView() const;

  QPointer<ZPHArticleListDelegate> m_list;
  ZPHClock* m_clock = nullptr;
  bool m_setUp = false;
  std::unique_ptr<ZPHExternalPagesProfile> m_webPreferences;
  QPointer<ZPHBrowserPaneView> m_browserPaneView;
  // The news-items tab's view and the browser tabs' views, one at a time.
  QStackedWidget* m_paneStack = nullptr;
  std::unique_ptr<ZPHTabsController> m_tabsController;
  std::unique_ptr<ZPHTabsTableViewController> m_tabsTableViewController;
  QPointer<ZPHBrowserViewController> m_currentBrowserViewController;
  QImage m_newsItemsThumbnailImage;
  std::unique_ptr<ZPHOperationQueue> m_tabsThumbnailResizingOperationQueue;
  bool m_thumbnailPending = false;
  std::vector<ZPHObserverToken> m_observers;
};
