#pragma once

// Qt kind: QObject that owns widgets.

#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHReadingLayoutViewController.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QPointer>

#include <memory>
#include <vector>

class QAbstractItemDelegate;
class QSplitter;
class QStackedWidget;
class QTimer;
class ZPHArticleListTableView;
class ZPHClassicLayoutRowView;
class ZPHArticleSearchGroupHeaderView;
class ZPHClassicLayoutInnerShadowView;
class ZPHClassicLayoutSearchHeader;
class ZPHEmptyContentsViewController;
class ZPHTableViewContextualMenu;

// The classic layout: the article table, with a "Title" and a "Date"
// column under a themed header, above the detail pane; while search results
// show, the search header sits in a strip above them. It is the base of the
// standard layout, which keeps its detail loading, search presentation,
// margins, contextual menu and selection handling and changes the table's
// look.
//
// A newly selected single article loads into the detail pane, which
// replaces the placeholder once the load has finished; the article is
// marked read when its load starts, and selecting the article already
// shown loads and marks nothing. Main thread only.
class ZPHClassicLayoutViewController : public ZPHReadingLayoutViewController {
  Q_OBJECT

public:
  explicit ZPHClassicLayoutViewController(QObject* parent = nullptr);
  ~ZPHClassicLayoutViewController() override;

  ZPHArticleListTableView* tableView() const { return m_tableView; }
  QSplitter* splitView() const { return m_splitView; }
  QStackedWidget* articleDetailContainerView() const { return m_articleDetailContainerView; }
  QWidget* searchHeaderRowView() const { return m_searchHeaderRowView; }
  ZPHArticleSearchGroupHeaderView* searchHeader() const;
  ZPHEmptyContentsViewController* detailViewEmptyContentsViewController() const { return m_emptyDetail.get(); }
  ZPHManagedObjectID lastLoadedArticleObjectID() const { return m_lastLoadedArticleObjectID; }
  // A scroll of the selection into view is waiting (0.1 s).
  bool hasPendingScroll() const;

  // The split: the table keeps 138 to 600 points, the detail pane 250.
  static constexpr int MinimumTableHeight = 138;
  static constexpr int MaximumTableHeight = 600;
  static constexpr int MinimumDetailSize = 250;

  // ZPHReadingLayoutViewController
  bool supportsGroupHeaders() const override { return false; }
  void invalidate() override;
  void updateViewColors() override;
  void updateWindowForActiveStateChange() override;
  void updateForChangedTheme() override { updateViewColors(); }
  QList<int> selectedRowIndexes() const override;
  int selectedRow() const override;
  int previousRow() const override;
  int nextRow() const override;
  int nextRowAfterRow(int row) const;
  void selectRow(int row) override;
  void selectTopRowIfNoneSelected() override;
  void selectRow(int row, bool scrollToVisibleIfNeeded) override;
  void selectRowIndexes(const QList<int>& rows, bool extend, int scrollRowToVisible) override;
  bool shouldSelectRow(int row) const override;
  bool showingDetailEmptyContentView() const override;
  void showEmptyDetailContentView() override;
  void detailViewDidFinishLoading() override;
  void detailViewDidFinishChangingTheme() override;
  bool supportsTextSize() const override { return !showingDetailEmptyContentView(); }
  bool supportsMargins() const override { return !showingDetailEmptyContentView(); }
  bool hasAnyAdjustableContent() const override { return !showingDetailEmptyContentView(); }
  bool canMakeMarginsWider() const override { return marginAdjustable(+1); }
  bool canMakeMarginsNarrower() const override { return marginAdjustable(-1); }
  void makeMarginsWider() override { adjustMargins(+1); }
  void makeMarginsNarrower() override { adjustMargins(-1); }
  int clickedRow() const override;
  QWidget* controlView() const override;
  QWidget* screenshotView() const override;
  QWidget* viewForPresentingPopOver() const override;
  void reloadDetailView() override { loadHTMLIntoDetailView(singleSelectedArticle()); }
  void reloadDataWithScrollingToTop(bool scrollToTop) override;
  void rowsWillMoveInPlace() override;
  void rowsDidMoveInPlace(const std::vector<int>& newRowOfOldRow) override;
  void configureForSearchResults(const QString& queryString) override;
  void searchCanceled(bool focus) override;
  QWidget* detailView() const override;
  QWidget* focusView() const override;
  bool mouseInArticleDetailArea() const override;
  QMenu* contextualMenu() override;

  // The date column's value: published, else modified, else arrival, else
  // now.
  static QDateTime displayDateForArticle(const CBDataArticle* article);

  // The external-browser cue: rows showing an article whose best link is
  // the address run their arrow.
  void appDelegateDidOpenURLInExternalWebBrowser(const QUrl& url);

Q_SIGNALS:
  // Plain Left Arrow in the table.
  void moveFocusToSourceListRequested();

protected:
  QWidget* loadView() override;
  // Hooks of the standard layout.
  virtual Qt::Orientation splitOrientation() const { return Qt::Vertical; }
  virtual int columnCount() const { return 2; }
  virtual void setupTableView();
  virtual void setupTableHeader();
  virtual QAbstractItemDelegate* makeItemDelegate();
  virtual void configureSplitView();
  // Where the list's size is kept (the split view's first pane: the list's
  // height here, its width in the standard layout).
  virtual QString listSizeKey() const { return QStringLiteral("ZPHClassicLayoutListHeight"); }
  virtual bool fillsDetailPaneAtLoad() const { return true; }
  virtual void applyRowHeights();
  virtual void tableViewSelectionDidChange();
  virtual void didReloadData();
  // The row painter whose arrow values the cue takes.
  virtual const ZPHClassicLayoutRowView& rowView() const;

  void classicSelectionDidChange();
  void updateDetailContentView();
  bool detailViewIsEmpty() const;
  // The one selected article; null for none or several.
  CBDataArticle* singleSelectedArticle() const;
  void startDetailViewHTMLLoad();
  // Hands the article's load request to the detail pane; null (or an article
  // gone from the store) shows the empty view.
  void loadHTMLIntoDetailView(CBDataArticle* article);
  void adjustTableViewScrollPositionAsNeededForRow(int row);
  void configureSearchResultsPlaceholder(const QString& queryString);
  bool marginAdjustable(int direction) const;
  void adjustMargins(int direction);
  ZPHArticleListModel* model() const;

  QPointer<QWidget> m_view;
  ZPHArticleListTableView* m_tableView = nullptr;
  QSplitter* m_splitView = nullptr;
  QStackedWidget* m_articleDetailContainerView = nullptr;
  QWidget* m_searchHeaderRowView = nullptr;
  ZPHClassicLayoutSearchHeader* m_searchHeader = nullptr;
  ZPHClassicLayoutInnerShadowView* m_innerShadow = nullptr;
  QAbstractItemDelegate* m_itemDelegate = nullptr;
  std::unique_ptr<ZPHEmptyContentsViewController> m_emptyDetail;
  ZPHManagedObjectID m_lastLoadedArticleObjectID;
  QTimer* m_scrollTimer = nullptr;
  int m_pendingScrollRow = -1;
  // Where the table was scrolled to while its rows move in place.
  ZPHArticleListTableView::ScrollAnchor m_scrollAnchor;
  std::vector<ZPHObserverToken> m_observers;

private:
  void menuWillOpen(ZPHTableViewContextualMenu* menu, const QPoint& position);
  void menuDidClose();
};
