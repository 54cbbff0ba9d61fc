#pragma once

// Qt kind: QObject that owns widgets.

#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/accounts/ZPHArticleListController.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

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
class ZPHSearchOperation;
class ZPHSearchWindowController;

// The coordinator of the main window's content side: it takes the source
// list's selection, keeps the article list (through the article list
// controller, whose answers arrive later), owns the current layout
// (standard or classic, as "ZPHContentLayoutMode" says) and is its delegate
// and data source, keeps the selected articles and marks the shown one
// read, reloads on refreshes, deletions and setting changes, walks to the
// next unread article, and shows search results.
//
// Its content view holds the layout's view and, in its place when there is
// nothing to list, the overall empty-contents view; the window's content
// pane shows it as its news-items tab and follows the list's signals.
// Main thread only.
class ZPHArticleListDelegate : public QObject,
                               public ZPHReadingLayoutDelegate,
                               public ZPHReadingLayoutDataSource,
                               public ZPHArticleListControllerDelegate {
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

  // ---- What the content pane asks of the list.
  // The mouse is over the layout's article detail area.
  bool mouseInDetailViewArea() const;
  // The layout's article list takes the keyboard focus.
  void makeArticleListFirstResponder();
  // The overall empty view in place of the layout, or the layout, as the
  // selection and the list say.
  void showOrHideOverallEmptyContentsViewAsNeeded();
  // The news-items view is back on screen: the colours and the selection a
  // layout switch kept (`index`, a row, or NoRow) are put in place.
  void completeLayoutSwitchWithSelection(qint64 index);

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
  void mouseInDetailViewAreaChanged(bool inside);
  // The list's view should be on screen (the source list's selection
  // changed, or search results came; then the search field keeps the focus).
  void articleListShowRequested(bool focusingSearchField);
  // The article the window presents may have changed: the selection was
  // announced, or the shown article was read.
  void presentedArticleChanged();
  // The layout's selection was taken in (by the user or the program).
  void layoutSelectionChanged();

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
  void showOverallEmptyContentsView();
  void hideOverallEmptyContentsView();
  void recolor();
  void followMouseInDetailArea();
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
  std::unique_ptr<CBEventThrottler> m_fullArticleRefreshEventThrottler;
  QPointer<QWidget> m_contentView;
  // The content view: the layout or the overall empty view.
  QStackedWidget* m_contentStack = nullptr;

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
