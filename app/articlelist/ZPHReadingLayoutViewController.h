#pragma once

// Qt kind: QObject that owns widgets.

#include "articleview/ZPHArticleDetailPane.h"
#include "sharing/ZPHSharingHost.h"
#include "store/tree/ZPHTreeNodeRepresentedObjects.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QRect>

#include <memory>
#include <vector>

class CBDataArticle;
class CBFeed;
class QMenu;
class QWidget;
class ZPHArticleListModel;
class ZPHSearchOperation;

// What a layout reads of the article list (the article list delegate).
class ZPHReadingLayoutDataSource {
public:
  virtual ~ZPHReadingLayoutDataSource();
  // More than one feed is listed: rows show favicons and feed names.
  virtual bool showingMultipleFeeds() const = 0;
  // The rows (articles, headers where the layout shows them).
  virtual ZPHArticleListModel* articleListModel() const = 0;
  virtual QList<ZPHRepresentedObject> feeds() const = 0;
  virtual QList<CBDataArticle*> selectedArticles() const = 0;
  virtual void setSelectedArticles(const QList<CBDataArticle*>& articles) = 0;
};

// What a layout tells the article list (the article list delegate).
class ZPHReadingLayoutDelegate {
public:
  virtual ~ZPHReadingLayoutDelegate();
  virtual void hideEmptyContentsView() = 0;
  // The table's selection changed.
  virtual void updateForSelectionChange() = 0;
  // A different article started loading into the detail pane.
  virtual void markCurrentArticleAsRead() = 0;
  virtual void detailViewDidFinishChangingTheme() {}
  virtual void deleteFeed(CBFeed* feed) { Q_UNUSED(feed); }
  virtual std::shared_ptr<ZPHSearchOperation> currentSearchOperation() const = 0;
  virtual bool showingSearchResultSet() const = 0;
  // The search header's pop-up asked for a search of another type.
  virtual void searchTypeChosen(int type) { Q_UNUSED(type); }
};

// The common base of the two article layouts of the main window's content
// pane (the classic and the standard layout): an article table and, beside
// or below it, the detail pane. The main window and the article list hold
// the current layout through this class only.
//
// The base does what does not depend on the table's shape: the table's
// contextual menu and its commands (copy, open, mark, bookmark), opening an
// article's link, moving the focus into the list. Commands skip an article
// that is no longer in the store. Main thread only.
class ZPHReadingLayoutViewController : public QObject, public CBUserInterfaceContextControllerPopoverViewDelegate {
  Q_OBJECT

public:
  explicit ZPHReadingLayoutViewController(QObject* parent = nullptr);
  ~ZPHReadingLayoutViewController() override;

  ZPHReadingLayoutDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHReadingLayoutDelegate* delegate) { m_delegate = delegate; }
  ZPHReadingLayoutDataSource* dataSource() const { return m_dataSource; }
  void setDataSource(ZPHReadingLayoutDataSource* dataSource) { m_dataSource = dataSource; }

  // The detail pane a layout makes; the plain stand-in unless another
  // factory is installed (for every layout made afterwards; the
  // application installs the rendered page's).
  static void setDetailPaneFactory(ZPHArticleDetailPane::Factory factory);
  static std::unique_ptr<ZPHArticleDetailPane> makeDetailPane();

  // The layout's view, built on first use; the layout owns it until a
  // container takes it.
  QWidget* view();
  bool isViewLoaded() const { return m_view != nullptr; }
  ZPHArticleDetailPane* detailViewController() const { return m_detailViewController.get(); }

  // The article the contextual-menu commands act on; also the first
  // selected article after each selection change.
  CBDataArticle* contextualMenuArticle() const;
  void setContextualMenuArticle(CBDataArticle* article) { m_contextualMenuArticle = article; }
  bool awaitingMainFrameLoadingComplete() const { return m_awaitingMainFrameLoadingComplete; }
  QRect clickedSpecificElementRectForSharing() const { return m_clickedSpecificElementRectForSharing; }
  bool pluginPopoverFromTableViewMenu() const { return m_pluginPopoverFromTableViewMenu; }

  // ---- What the layouts implement.
  virtual bool supportsGroupHeaders() const = 0;
  virtual void invalidate() = 0;
  virtual void updateViewColors() = 0;
  virtual void updateWindowForActiveStateChange() = 0;
  virtual void updateForChangedTheme() = 0;
  virtual QList<int> selectedRowIndexes() const = 0;
  // -1 when nothing is selected.
  virtual int selectedRow() const = 0;
  virtual int previousRow() const = 0;
  virtual int nextRow() const = 0;
  virtual void selectRow(int row) = 0;
  virtual void selectTopRowIfNoneSelected() = 0;
  virtual void scrollToRow(int row) { Q_UNUSED(row); }
  virtual bool scrollRowToMiddleIfNotVisible(int row)
  {
    Q_UNUSED(row);
    return false;
  }
  virtual void selectRow(int row, bool scrollToVisibleIfNeeded) = 0;
  virtual void selectRowIndexes(const QList<int>& rows, bool extend, int scrollRowToVisible) = 0;
  virtual bool shouldSelectRow(int row) const = 0;
  virtual bool showingDetailEmptyContentView() const = 0;
  virtual void showEmptyDetailContentView() = 0;
  virtual void detailViewDidFinishLoading() = 0;
  virtual void detailViewDidFinishChangingTheme() = 0;
  virtual bool supportsTextSize() const = 0;
  virtual bool supportsMargins() const = 0;
  virtual bool hasAnyAdjustableContent() const = 0;
  virtual bool canMakeMarginsWider() const = 0;
  virtual bool canMakeMarginsNarrower() const = 0;
  virtual void makeMarginsWider() = 0;
  virtual void makeMarginsNarrower() = 0;
  virtual int clickedRow() const = 0;
  virtual QWidget* controlView() const = 0;
  virtual QWidget* screenshotView() const = 0;
  virtual QWidget* viewForPresentingPopOver() const = 0;
  virtual void reloadDetailView() = 0;
  virtual void reloadDataWithScrollingToTop(bool scrollToTop) = 0;
  // Rows of the model are about to move in place (ZPHArticleListModel::
  // updateEntries); then they moved (`newRowOfOldRow`: where each row went,
  // -1 for gone): the row heights follow and the rows in view stay in view.
  virtual void rowsWillMoveInPlace() {}
  virtual void rowsDidMoveInPlace(const std::vector<int>& newRowOfOldRow) { Q_UNUSED(newRowOfOldRow); }
  virtual void configureForSearchResults(const QString& queryString) = 0;
  virtual void searchCanceled(bool focus) = 0;
  virtual QWidget* detailView() const = 0;
  virtual QWidget* focusView() const = 0;
  virtual bool mouseInArticleDetailArea() const = 0;
  // The table's menu, filled for the current article.
  virtual QMenu* contextualMenu() = 0;

  // ---- The base's own.
  // Find in the article: the detail pane's view shows its find bar and
  // steps through the matches, where it has them (the rendered page).
  void showFindPanel();
  void highlightNextSearchResult();
  void highlightPreviousSearchResult();

  // The keyboard focus is in the article table.
  bool isArticleListFocused() const;
  void moveFocusToArticleListAndSelectTopRowIfNeeded();
  void moveFocusToArticleListAndSelectNone();

  // Fills the table's menu: for the clicked row (the menu's clickedRow),
  // else the first selected article; nothing on a header or without an
  // article. Link items only for an article with a link; then the mark
  // items that apply.
  void menuNeedsUpdate(QMenu* menu);
  void tableViewMenuWillOpen();
  void tableViewMenuDidClose();

  // Contextual-menu commands, on contextualMenuArticle(); nothing when it
  // is gone.
  void openLinkWithContextualMenuArticleAccordingToUserPreferneces();
  void openLinkInDefaultExternalBrowserWithContextualMenuArticle();
  void markAsReadWithContextualMenuArticle() { markContextualMenuArticleWithReadState(true); }
  void markAsUnreadWithContextualMenuArticle() { markContextualMenuArticleWithReadState(false); }
  void markAsFlaggedWithContextualMenuArticle() { markContextualMenuArticleWithFlag(true); }
  void markAsUnflaggedWithContextualMenuArticle() { markContextualMenuArticleWithFlag(false); }
  void copyURLWithContextualMenuArticle();
  // Asks the delegate to remove the article's feed (after its question).
  void removeContextualMenuArticleSite();
  void copyTitleWithContextualMenuArticle();
  void copyArticleHTML();
  void markContextualMenuArticleWithReadState(bool read);
  void markContextualMenuArticleWithFlag(bool flagged);

  // The link the article opens (its best link) as an address on the
  // clipboard (and as text); the plain title; the article's HTML as text.
  static void copyURLWithArticle(const CBDataArticle* article);
  static void copyTitleWithArticle(const CBDataArticle* article);
  // Opens the article's best link (forcing: its link) under the link rule:
  // http and https go to the browser, feed addresses to subscribing, the
  // rest nowhere.
  static void openExternalURLForArticle(const CBDataArticle* article, bool forcingExternal);
  // The first selected article; Return, Right Arrow and double clicks.
  void openExternalURLForSelectedArticle();

  // Where a sharing popover points.
  QWidget* pluginCommandPopoverRelativeView();
  QRect pluginCommandPopoverPositioningRectRelativeOfView(QWidget* view) const;
  QWidget* pluginCommandPopoverRelativeView(ZPHSharingPluginCommand* command) override;
  QRect pluginCommandPopoverPositioningRectRelativeOfView(ZPHSharingPluginCommand* command, QWidget* view) override;
  void willPresentContextMenuFromWebViewForFullArticle(bool fullArticle, const QRect& elementRect);

protected:
  virtual QWidget* loadView() = 0;
  void setAwaitingMainFrameLoadingComplete(bool awaiting) { m_awaitingMainFrameLoadingComplete = awaiting; }
  std::unique_ptr<ZPHArticleDetailPane>& detailPaneSlot() { return m_detailViewController; }
  // The live article of a row of the data source's model; nullptr else.
  CBDataArticle* articleAtRow(int row) const;

private:
  ZPHReadingLayoutDelegate* m_delegate = nullptr;
  ZPHReadingLayoutDataSource* m_dataSource = nullptr;
  QPointer<QWidget> m_view;
  std::unique_ptr<ZPHArticleDetailPane> m_detailViewController;
  CBDataArticle* m_contextualMenuArticle = nullptr;
  bool m_awaitingMainFrameLoadingComplete = false;
  QRect m_clickedSpecificElementRectForSharing;
  bool m_pluginPopoverFromTableViewMenu = false;
};
