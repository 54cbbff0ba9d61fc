#pragma once

// Qt kind: QObject that owns widgets.

#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "browser/ZPHTabsControllerHost.h"
#include "browser/ZPHTabsTableViewController.h"
#include "kit/ZPHClock.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/accounts/ZPHArticleListController.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QImage>

#include <functional>
#include <limits>
#include <memory>
#include <vector>

class CBDataArticle;
class CBDateManager;
class CBEventThrottler;
class QStackedWidget;
class QWidget;
class ZPHEmptyContentsViewController;
class ZPHExternalPagesProfile;
class ZPHMacWebView;
class ZPHSearchOperation;
class ZPHSearchWindowController;
class ZPHBrowserPaneView;
class ZPHBrowserViewController;
class ZPHOperationQueue;
class ZPHTabsController;

// The coordinator of the main window's content side: it takes the source
// list's selection, keeps the article list (through the article list
// controller, whose answers arrive later), owns the current layout
// (standard or classic, as "ZPHContentLayoutMode" says) and is its delegate
// and data source, keeps the selected articles and marks the shown one
// read, reloads on refreshes, deletions and setting changes, walks to the
// next unread article, and shows search results.
//
// Its content view holds the layout's view and, in its place when there is
// nothing to list, the overall empty-contents view.
//
// Browser tabs: it owns the tabs controller (ZPHTabsController) and the
// tabs column, shows the news-items tab's view or a browser tab's view in
// its content pane, lays the column out beside it and keeps the news-items
// tab's picture. Main thread only.
class ZPHArticleListDelegate : public QObject,
                               public ZPHReadingLayoutDelegate,
                               public ZPHReadingLayoutDataSource,
                               public ZPHArticleListControllerDelegate,
                               public ZPHTabsControllerHost,
                               public ZPHTabsTableViewControllerDelegate {
  Q_OBJECT

public:
  static constexpr qint64 NoRow = std::numeric_limits<qint64>::max();
  // Refreshes of feeds reached through a selected folder or smart feed
  // reload the list this long after the last one.
  static constexpr double FullReloadDelay = 2.0;  // seconds

  explicit ZPHArticleListDelegate(QObject* parent = nullptr);
  ~ZPHArticleListDelegate() override;

  // The one the application made (the last one made that still lives).
  static ZPHArticleListDelegate* sharedArticleListDelegate();

  // Before setUp(): the day boundaries (the shared date manager when null)
  // and the search window controller (none: searches are not asked for).
  void setDateManager(const CBDateManager* dateManager);
  const CBDateManager* dateManager() const;
  void setSearchWindowController(ZPHSearchWindowController* controller);
  ZPHSearchWindowController* searchWindowController() const;
  // Browser tabs: the clock of their timers (the system clock when null;
  // it must outlive the delegate).
  void setClock(ZPHClock* clock) { m_clock = clock; }
  // Where the source list's selection is read again when a search ends (its
  // represented objects, in order); the window that holds both sets it, and
  // hands every change of the selection in (sourcelistSelectionDidChange).
  // The focus requests and the hiding of the selection go out as signals.
  void setSourceListSelectionProvider(std::function<QList<ZPHRepresentedObject>()> provider);
  // What removes a feed after asking (the source list's delete command, set
  // by the main window); without it "Remove Site" does nothing.
  void setFeedRemover(std::function<void(CBFeed* feed)> remover) { m_feedRemover = std::move(remover); }
  // The source list's selection now (empty without a provider).
  QList<ZPHRepresentedObject> sourceListSelection() const;

  // Builds the content view and the layout of "ZPHContentLayoutMode";
  // reads the sort order. Once.
  void setUp();
  QWidget* contentView() const { return m_contentView; }

  ZPHArticleListController* articleListController() const { return m_articleListController.get(); }
  ZPHReadingLayoutViewController* currentLayoutViewController() const { return m_currentLayoutViewController.get(); }
  ZPHEmptyContentsViewController* overallEmptyContentsViewController() const
  {
    return m_overallEmptyContentsViewController.get();
  }
  bool overallEmptyContentsViewShown() const;

  // ---- The selection of the source list.
  // Leaves search mode and lists the new selection (the items' represented
  // objects, in order).
  void sourcelistSelectionDidChange(const QList<ZPHRepresentedObject>& items);
  // Sets what is listed and runs the list update.
  void setFeeds(const QList<ZPHRepresentedObject>& feeds);

  // ---- ZPHReadingLayoutDataSource
  bool showingMultipleFeeds() const override;
  ZPHArticleListModel* articleListModel() const override { return m_model.get(); }
  QList<ZPHRepresentedObject> feeds() const override { return m_feeds; }
  QList<CBDataArticle*> selectedArticles() const override { return m_selectedArticles; }
  void setSelectedArticles(const QList<CBDataArticle*>& articles) override;
  CBDataArticle* selectedArticle() const { return m_selectedArticles.isEmpty() ? nullptr : m_selectedArticles.first(); }

  // ---- ZPHReadingLayoutDelegate
  void hideEmptyContentsView() override;
  void updateForSelectionChange() override;
  void markCurrentArticleAsRead() override;
  void detailViewDidFinishChangingTheme() override {}
  void deleteFeed(CBFeed* feed) override;
  std::shared_ptr<ZPHSearchOperation> currentSearchOperation() const override { return m_currentSearchOperation; }
  void setCurrentSearchOperation(std::shared_ptr<ZPHSearchOperation> operation);
  bool showingSearchResultSet() const override { return m_showingSearchResultSet; }
  void setShowingSearchResultSet(bool showing) { m_showingSearchResultSet = showing; }
  void searchTypeChosen(int type) override;

  // ---- ZPHArticleListControllerDelegate
  void articleListControllerDidUpdateArticles(ZPHArticleListController* controller) override;
  void articleListControllerDidReceiveFirstArticles(ZPHArticleListController* controller) override;
  void articleListControllerDidRemoveArticles(ZPHArticleListController* controller,
                                              const QList<ZPHManagedObjectID>& removed) override;
  void articleListControllerDidChangeStates(ZPHArticleListController* controller,
                                            const QList<qsizetype>& indexes) override;

  // ---- The list.
  qint64 layoutMode() const { return m_layoutMode; }
  bool sortAscending() const { return m_sortAscending; }
  qint64 layoutSwapSelectedArticleIndex() const { return m_layoutSwapSelectedArticleIndex; }
  bool changingSelectedArticlesProgrammatically() const
  {
    return m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions;
  }
  // The list update: the controller asked again; the rest when it answers.
  void updateArticlesShowingEmptyViewsIfNeeded();
  // Asked again keeping the selected articles (also read ones that the
  // setting hides); the selection follows its article, and clears when it
  // is gone.
  void reloadArticlesFully();
  // The reload rule of a refreshed feed (its address).
  void refreshDidUpdateFeed(const QUrl& feedURL);
  // A full reload waits for its quiet time, or is on its way.
  bool isFullReloadScheduled() const;
  void updateSortOrder();
  void switchToLayoutMode(qint64 mode);
  void articleListDisplayPreferencesDidChange();

  // ---- Navigation.
  void navigateToArticleInCurrentList(CBDataArticle* article);
  void navigateToSelectedArticleInCurrentList();
  // The first unread article of the list; of the list of a new selection
  // once it is there, when its articles are still being read.
  void navigateToFirstUnreadArticle();

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
  bool mouseInDetailViewArea() const;
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

  // ---- Search.
  void searchResultsObtained(std::shared_ptr<ZPHSearchOperation> operation);
  void searchCanceledUpdatingArticles(bool updateArticles, bool changeFirstResponder = true,
                                      bool clearingSearchField = true);
  QString highlightedSearchTerm() const;

  // The rows of the controller's articles, grouped in the standard layout.
  QList<ZPHArticleListModel::Entry> entriesForControllerArticles() const;

Q_SIGNALS:
  // The list's content: its articles were set.
  void articlesChanged();
  void selectedArticlesChanged();
  void showingMultipleFeedsChanged();
  // The focus should go to the source list (Left Arrow in the table, or the
  // overall empty view came up while the list had it).
  void moveFocusToSourceListRequested();
  // The source list should hide (or show again) its selection.
  void sourceListSelectionHiddenChanged(bool hidden);
  // The article view became, or stopped being, the current web view.
  void currentWebViewIsDetailViewChanged(bool isDetailView);
  void mouseInDetailViewAreaChanged(bool inside);
  // The tabs column's width on screen (0 while hidden).
  void tabsViewWidthChanged(double width);

private:
  std::unique_ptr<ZPHReadingLayoutViewController> makeLayoutController(qint64 mode);
  void installLayout(std::unique_ptr<ZPHReadingLayoutViewController> layout);
  void setEntries(const QList<ZPHArticleListModel::Entry>& entries, bool notify = true);
  void announceSelectedArticles();
  void keepSelectionIntersectingRows();
  // The model's rows moved to `entries` in place, the layout keeping what
  // is in view; false, with nothing changed, when the change is too large.
  bool moveRowsInPlace(const QList<ZPHArticleListModel::Entry>& entries);
  // The controller's rows on screen, the selection kept where it still lists.
  void showControllerRows();
  void buildListForSearch();
  void completeLayoutSwitchWithSelection(qint64 index);
  void showOverallEmptyContentsView();
  void hideOverallEmptyContentsView();
  void recolor();
  void setupTabsTableView();
  void followMouseInDetailArea();
  QWidget* newsItemsView() const;
  void invalidateUnreadCountsOfFeeds();
  QList<ZPHManagedObjectID> selectedObjectIDs() const;
  bool rowsEqual(const QList<ZPHArticleListModel::Entry>& a, const QList<ZPHArticleListRow>& rowsA,
                 const QList<ZPHArticleListModel::Entry>& b, const QList<ZPHArticleListRow>& rowsB) const;

  const CBDateManager* m_dateManager = nullptr;
  QPointer<ZPHSearchWindowController> m_searchWindowController;
  std::function<QList<ZPHRepresentedObject>()> m_sourceListSelectionProvider;
  std::function<void(CBFeed* feed)> m_feedRemover;
  std::unique_ptr<ZPHArticleListController> m_articleListController;
  std::unique_ptr<ZPHArticleListModel> m_model;
  std::unique_ptr<ZPHReadingLayoutViewController> m_currentLayoutViewController;
  std::unique_ptr<ZPHEmptyContentsViewController> m_overallEmptyContentsViewController;
  std::unique_ptr<ZPHExternalPagesProfile> m_webPreferences;
  std::unique_ptr<CBEventThrottler> m_fullArticleRefreshEventThrottler;
  QPointer<ZPHBrowserPaneView> m_browserPaneView;
  QPointer<QWidget> m_contentView;
  // The news-items tab's view and the browser tabs' views, one at a time.
  QStackedWidget* m_paneStack = nullptr;
  // The news-items tab's view: the layout or the overall empty view.
  QStackedWidget* m_contentStack = nullptr;
  ZPHClock* m_clock = nullptr;
  std::unique_ptr<ZPHTabsController> m_tabsController;
  std::unique_ptr<ZPHTabsTableViewController> m_tabsTableViewController;
  QPointer<ZPHBrowserViewController> m_currentBrowserViewController;
  QImage m_newsItemsThumbnailImage;
  std::unique_ptr<ZPHOperationQueue> m_tabsThumbnailResizingOperationQueue;
  bool m_thumbnailPending = false;

  QList<ZPHRepresentedObject> m_feeds;
  QList<CBDataArticle*> m_selectedArticles;
  CBDataArticle* m_observedArticle = nullptr;
  int m_flaggedObserver = 0;
  std::shared_ptr<ZPHSearchOperation> m_currentSearchOperation;
  bool m_showingSearchResultSet = false;
  bool m_sortAscending = false;
  bool m_changingSelectedArticlesProgrammaticallyAndShouldIgnoreMarkAsReadActions = false;
  bool m_setUp = false;
  qint64 m_layoutMode = 0;
  qint64 m_layoutSwapSelectedArticleIndex = NoRow;
  // What the controller's next answer completes.
  std::function<void()> m_afterUpdate;
  // A new selection's list shows its first rows as soon as they arrive.
  bool m_showsFirstRows = false;
  std::vector<ZPHObserverToken> m_observers;
};
