#include "articlelist/ZPHClassicLayoutViewController.h"

#include "articlelist/ZPHArticleListModel.h"
#include "articlelist/ZPHArticleListSelectionModel.h"
#include "articlelist/ZPHArticleListTableView.h"
#include "articlelist/ZPHClassicLayoutCellView.h"
#include "articlelist/ZPHClassicLayoutInnerShadowView.h"
#include "articlelist/ZPHClassicLayoutRowView.h"
#include "articlelist/ZPHClassicLayoutSearchHeader.h"
#include "articlelist/ZPHEmptyContentsViewController.h"
#include "articlelist/ZPHSearchOperation.h"
#include "articlelist/ZPHTableHeaderCornerView.h"
#include "articlelist/ZPHTableHeaderView.h"
#include "articlelist/ZPHTableViewContextualMenu.h"
#include "articleview/ZPHStyleSheetController.h"
#include "common/ZPHApplicationNotifications.h"
#include "kit/ZPHSplitViewAutosave.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QEvent>
#include <QtCore/QTimer>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QSplitterHandle>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QVBoxLayout>

#include <cmath>

namespace {

// Keeps the shade strip along the bottom of the table's viewport.
class InnerShadowPlacer : public QObject {
public:
  InnerShadowPlacer(QWidget* viewport, QWidget* strip) : QObject(viewport), m_viewport(viewport), m_strip(strip)
  {
    viewport->installEventFilter(this);
    place();
  }
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    if (watched == m_viewport && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
      place();
    return false;
  }
  void place()
  {
    m_strip->setGeometry(ZPHClassicLayoutInnerShadowView::frameInBounds(m_viewport->rect()));
    m_strip->raise();
  }

private:
  QWidget* m_viewport;
  QWidget* m_strip;
};

}  // namespace

ZPHClassicLayoutViewController::ZPHClassicLayoutViewController(QObject* parent) : ZPHReadingLayoutViewController(parent)
{
}

ZPHClassicLayoutViewController::~ZPHClassicLayoutViewController() { invalidate(); }

ZPHArticleListModel* ZPHClassicLayoutViewController::model() const
{
  return dataSource() ? dataSource()->articleListModel() : nullptr;
}

ZPHArticleSearchGroupHeaderView* ZPHClassicLayoutViewController::searchHeader() const { return m_searchHeader; }

QWidget* ZPHClassicLayoutViewController::loadView()
{
  m_view = new QWidget;
  m_view->setObjectName(splitOrientation() == Qt::Vertical ? QStringLiteral("ZPHClassicLayoutView")
                                                           : QStringLiteral("ZPHStandardLayoutView"));
  auto* layout = new QVBoxLayout(m_view);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  m_searchHeaderRowView = new QWidget(m_view);
  m_searchHeaderRowView->setFixedHeight(ZPHTableHeaderView::Height + 3);
  m_searchHeaderRowView->hide();
  layout->addWidget(m_searchHeaderRowView);
  m_splitView = new QSplitter(splitOrientation(), m_view);
  m_splitView->setChildrenCollapsible(false);
  m_splitView->setHandleWidth(1);
  layout->addWidget(m_splitView, 1);

  m_tableView = new ZPHArticleListTableView(m_splitView);
  m_articleDetailContainerView = new QStackedWidget(m_splitView);
  m_articleDetailContainerView->setObjectName(QStringLiteral("ZPHArticleDetailPaneView"));
  m_splitView->addWidget(m_tableView);
  m_splitView->addWidget(m_articleDetailContainerView);
  m_splitView->setStretchFactor(0, 0);
  m_splitView->setStretchFactor(1, 1);

  m_scrollTimer = new QTimer(this);
  m_scrollTimer->setSingleShot(true);
  m_scrollTimer->setInterval(100);
  connect(m_scrollTimer, &QTimer::timeout, this, [this] {
    if (m_tableView && m_pendingScrollRow >= 0)
      m_tableView->scrollRowToMiddleIfNotVisible(m_pendingScrollRow, false);
    m_pendingScrollRow = -1;
  });

  setupTableView();
  configureSplitView();
  // The list as large as the user left it.
  (new ZPHSplitViewAutosave(m_splitView, listSizeKey()))->restore();

  // The detail pane.
  detailPaneSlot() = makeDetailPane();
  ZPHArticleDetailPane* pane = detailViewController();
  m_articleDetailContainerView->addWidget(pane->view());
  connect(pane, &ZPHArticleDetailPane::mainFrameDidFinishLoading, this,
          &ZPHClassicLayoutViewController::detailViewDidFinishLoading);
  connect(pane, &ZPHArticleDetailPane::didFinishChangingTheme, this,
          &ZPHClassicLayoutViewController::detailViewDidFinishChangingTheme);
  // Sharing: the element a context menu of the page was opened on.
  connect(pane, &ZPHArticleDetailPane::willPresentContextMenuForFullArticle, this,
          &ZPHReadingLayoutViewController::willPresentContextMenuFromWebViewForFullArticle);

  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  using D = ZPHNotificationCenter::Delivery;
  m_observers.push_back(center.addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { updateViewColors(); },
      D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHActiveTrackingWindowShouldDrawActiveChangedNotification, QVariant(), this,
      [this](const ZPHNotification&) { updateViewColors(); }, D::MainThread));
  m_observers.push_back(center.addObserver(
      ZPHAppDelegateDidOpenURLInExternalWebBrowserNotification, QVariant(), this,
      [this](const ZPHNotification& notification) {
        appDelegateDidOpenURLInExternalWebBrowser(notification.object.toUrl());
      },
      D::MainThread));

  updateViewColors();
  if (fillsDetailPaneAtLoad())
    updateDetailContentView();
  return m_view;
}

void ZPHClassicLayoutViewController::setupTableView()
{
  ZPHArticleListModel* rows = model();
  if (rows != nullptr)
    rows->setColumns(columnCount());
  m_tableView->setArticleListModel(rows);
  m_itemDelegate = makeItemDelegate();
  m_tableView->setItemDelegate(m_itemDelegate);
  setupTableHeader();

  connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &ZPHClassicLayoutViewController::tableViewSelectionDidChange);
  connect(m_tableView, &ZPHArticleListTableView::openSelectedArticleRequested, this,
          &ZPHReadingLayoutViewController::openExternalURLForSelectedArticle);
  connect(m_tableView, &ZPHArticleListTableView::moveFocusToSourceListRequested, this,
          &ZPHClassicLayoutViewController::moveFocusToSourceListRequested);
  connect(m_tableView, &ZPHArticleListTableView::contextualMenuRequested, this,
          &ZPHClassicLayoutViewController::menuWillOpen);
  connect(m_tableView->contextualMenu(), &QMenu::aboutToHide, this, &ZPHClassicLayoutViewController::menuDidClose);
  if (rows != nullptr)
    connect(rows, &QAbstractItemModel::modelReset, this, &ZPHClassicLayoutViewController::applyRowHeights);
  applyRowHeights();
}

void ZPHClassicLayoutViewController::setupTableHeader()
{
  m_tableView->setHorizontalHeader(new ZPHTableHeaderView(m_tableView));
  m_tableView->horizontalHeader()->show();
  m_tableView->horizontalHeader()->setStretchLastSection(true);
  m_tableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_tableView->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
  m_tableView->horizontalHeader()->resizeSection(1, 140);
  m_tableView->addScrollBarWidget(new ZPHTableHeaderCornerView, Qt::AlignTop);
  m_innerShadow = new ZPHClassicLayoutInnerShadowView(m_tableView->viewport());
  new InnerShadowPlacer(m_tableView->viewport(), m_innerShadow);
}

QAbstractItemDelegate* ZPHClassicLayoutViewController::makeItemDelegate()
{
  return new ZPHClassicLayoutCellView(m_tableView);
}

void ZPHClassicLayoutViewController::configureSplitView()
{
  m_tableView->setMinimumHeight(MinimumTableHeight);
  m_tableView->setMaximumHeight(MaximumTableHeight);
  m_articleDetailContainerView->setMinimumHeight(MinimumDetailSize);
  m_splitView->setSizes({240, 400});
}

void ZPHClassicLayoutViewController::applyRowHeights()
{
  if (m_tableView == nullptr)
    return;
  m_tableView->setShowingMultipleFeeds(dataSource() != nullptr && dataSource()->showingMultipleFeeds());
  m_tableView->verticalHeader()->setDefaultSectionSize(ZPHClassicLayoutCellView::RowHeight);
}

void ZPHClassicLayoutViewController::invalidate()
{
  if (ZPHArticleDetailPane* pane = detailViewController())
    pane->invalidate();
  if (m_scrollTimer)
    m_scrollTimer->stop();
  m_observers.clear();
}

void ZPHClassicLayoutViewController::updateViewColors()
{
  if (m_tableView == nullptr)
    return;
  m_tableView->updateViewColors();
  const ZPHTheme* theme = ZPHTheme::currentTheme();
  const bool active = m_view == nullptr || m_view->window() == nullptr || zph_windowShouldDrawActive(m_view);
  const QColor divider = active ? theme->articleListDividerColor() : theme->articleListDividerInactiveColor();
  // The divider fills itself with its colour: a style sheet on the split
  // view would take the list's own background colours away.
  for (int index = 1; index < m_splitView->count(); ++index)
    if (QSplitterHandle* handle = m_splitView->handle(index)) {
      QPalette colours;
      colours.setColor(QPalette::Window, divider);
      handle->setPalette(colours);
      handle->setAutoFillBackground(true);
    }
  if (m_searchHeader)
    m_searchHeader->update();
  if (m_searchHeaderRowView)
    m_searchHeaderRowView->update();
  if (m_emptyDetail)
    m_emptyDetail->updateForWindowStateChange();
}

void ZPHClassicLayoutViewController::updateWindowForActiveStateChange() { updateViewColors(); }

QList<int> ZPHClassicLayoutViewController::selectedRowIndexes() const
{
  return m_tableView ? m_tableView->selectedRowIndexes() : QList<int>();
}

int ZPHClassicLayoutViewController::selectedRow() const { return m_tableView ? m_tableView->selectedRow() : -1; }

int ZPHClassicLayoutViewController::previousRow() const { return m_tableView ? m_tableView->previousRow() : -1; }

int ZPHClassicLayoutViewController::nextRow() const { return m_tableView ? m_tableView->nextRow() : -1; }

int ZPHClassicLayoutViewController::nextRowAfterRow(int row) const
{
  return m_tableView ? m_tableView->nextRowAfterRow(row) : -1;
}

void ZPHClassicLayoutViewController::selectRow(int row)
{
  if (m_tableView)
    m_tableView->selectRow(row);
}

void ZPHClassicLayoutViewController::selectTopRowIfNoneSelected()
{
  if (m_tableView)
    m_tableView->selectTopRowIfNoneSelected();
}

void ZPHClassicLayoutViewController::selectRow(int row, bool scrollToVisibleIfNeeded)
{
  if (m_tableView)
    m_tableView->selectRow(row, scrollToVisibleIfNeeded);
}

void ZPHClassicLayoutViewController::selectRowIndexes(const QList<int>& rows, bool extend, int scrollRowToVisible)
{
  if (m_tableView == nullptr)
    return;
  m_tableView->selectRowIndexes(rows, extend);
  if (model() != nullptr && scrollRowToVisible >= 0 && scrollRowToVisible < model()->rowCount())
    m_tableView->scrollTo(model()->index(scrollRowToVisible, 0), QAbstractItemView::EnsureVisible);
}

bool ZPHClassicLayoutViewController::shouldSelectRow(int row) const
{
  return model() != nullptr && model()->isArticleRow(row);
}

bool ZPHClassicLayoutViewController::showingDetailEmptyContentView() const
{
  return m_emptyDetail != nullptr && m_articleDetailContainerView != nullptr &&
         m_articleDetailContainerView->currentWidget() == m_emptyDetail->view();
}

int ZPHClassicLayoutViewController::clickedRow() const { return m_tableView ? m_tableView->clickedRow() : -1; }

QWidget* ZPHClassicLayoutViewController::controlView() const { return m_tableView; }

QWidget* ZPHClassicLayoutViewController::screenshotView() const { return m_articleDetailContainerView; }

QWidget* ZPHClassicLayoutViewController::viewForPresentingPopOver() const { return m_tableView; }

QWidget* ZPHClassicLayoutViewController::detailView() const
{
  return detailViewController() ? detailViewController()->view() : nullptr;
}

QWidget* ZPHClassicLayoutViewController::focusView() const { return m_tableView; }

bool ZPHClassicLayoutViewController::mouseInArticleDetailArea() const
{
  return m_articleDetailContainerView != nullptr && m_articleDetailContainerView->underMouse();
}

QMenu* ZPHClassicLayoutViewController::contextualMenu()
{
  if (m_tableView == nullptr)
    return nullptr;
  menuNeedsUpdate(m_tableView->contextualMenu());
  return m_tableView->contextualMenu();
}

bool ZPHClassicLayoutViewController::hasPendingScroll() const { return m_scrollTimer && m_scrollTimer->isActive(); }

QDateTime ZPHClassicLayoutViewController::displayDateForArticle(const CBDataArticle* article)
{
  return ZPHArticleListModel::displayDateForArticle(article);
}

void ZPHClassicLayoutViewController::reloadDataWithScrollingToTop(bool scrollToTop)
{
  if (m_tableView == nullptr)
    return;
  applyRowHeights();
  m_tableView->viewport()->update();
  if (scrollToTop && model() != nullptr && model()->rowCount() > 0)
    m_tableView->scrollToTop();
  didReloadData();
}

void ZPHClassicLayoutViewController::rowsWillMoveInPlace()
{
  m_scrollAnchor = m_tableView != nullptr ? m_tableView->scrollAnchor() : ZPHArticleListTableView::ScrollAnchor();
}

void ZPHClassicLayoutViewController::rowsDidMoveInPlace(const std::vector<int>& newRowOfOldRow)
{
  if (m_tableView == nullptr)
    return;
  applyRowHeights();
  m_tableView->restoreScrollAnchor(m_scrollAnchor, newRowOfOldRow);
  m_scrollAnchor = {};
  m_tableView->viewport()->update();
}

void ZPHClassicLayoutViewController::didReloadData() {}

const ZPHClassicLayoutRowView& ZPHClassicLayoutViewController::rowView() const
{
  static const ZPHClassicLayoutRowView classic;
  return classic;
}

void ZPHClassicLayoutViewController::tableViewSelectionDidChange() { classicSelectionDidChange(); }

void ZPHClassicLayoutViewController::classicSelectionDidChange()
{
  if (delegate())
    delegate()->updateForSelectionChange();
  updateDetailContentView();
  if (dataSource() != nullptr) {
    const QList<CBDataArticle*> selected = dataSource()->selectedArticles();
    setContextualMenuArticle(selected.isEmpty() ? nullptr : selected.first());
  }
  adjustTableViewScrollPositionAsNeededForRow(selectedRow());
}

bool ZPHClassicLayoutViewController::detailViewIsEmpty() const
{
  return dataSource() == nullptr || dataSource()->selectedArticles().size() != 1;
}

CBDataArticle* ZPHClassicLayoutViewController::singleSelectedArticle() const
{
  return detailViewIsEmpty() ? nullptr : dataSource()->selectedArticles().first();
}

void ZPHClassicLayoutViewController::updateDetailContentView()
{
  if (detailViewIsEmpty())
    showEmptyDetailContentView();
  else
    startDetailViewHTMLLoad();
}

void ZPHClassicLayoutViewController::startDetailViewHTMLLoad()
{
  CBDataArticle* article = singleSelectedArticle();
  if (article == nullptr)
    return;
  // The article shown already: nothing is loaded or marked again.
  if (article->objectID() == m_lastLoadedArticleObjectID)
    return;
  setAwaitingMainFrameLoadingComplete(true);
  loadHTMLIntoDetailView(article);
  if (delegate())
    delegate()->markCurrentArticleAsRead();
}

void ZPHClassicLayoutViewController::loadHTMLIntoDetailView(CBDataArticle* article)
{
  if (article == nullptr || article->managedObjectContext() == nullptr || article->isDeleted()) {
    showEmptyDetailContentView();
    m_lastLoadedArticleObjectID = ZPHManagedObjectID();
    return;
  }
  m_lastLoadedArticleObjectID = article->objectID();
  ZPHArticleDetailPane::LoadRequest request;
  request.article = article;
  if (delegate() != nullptr) {
    if (std::shared_ptr<ZPHSearchOperation> search = delegate()->currentSearchOperation();
        search && !search->queryString().isEmpty()) {
      request.searchQuery = search->queryString();
      request.searchScope = search->scope();
    }
  }
  if (ZPHArticleDetailPane* pane = detailViewController())
    pane->loadArticle(request);
}

void ZPHClassicLayoutViewController::detailViewDidFinishLoading()
{
  if (!awaitingMainFrameLoadingComplete())
    return;
  setAwaitingMainFrameLoadingComplete(false);
  if (ZPHArticleDetailPane* pane = detailViewController())
    m_articleDetailContainerView->setCurrentWidget(pane->view());
  // The article page posts the tabs list's redraw of the news-items tab.
}

void ZPHClassicLayoutViewController::detailViewDidFinishChangingTheme()
{
  if (delegate())
    delegate()->detailViewDidFinishChangingTheme();
}

void ZPHClassicLayoutViewController::showEmptyDetailContentView()
{
  if (m_articleDetailContainerView == nullptr)
    return;
  if (!m_emptyDetail) {
    m_emptyDetail = std::make_unique<ZPHEmptyContentsViewController>();
    m_emptyDetail->configureForNoSelection();
    m_articleDetailContainerView->addWidget(m_emptyDetail->view());
  }
  setAwaitingMainFrameLoadingComplete(false);
  if (delegate() != nullptr && delegate()->showingSearchResultSet()) {
    std::shared_ptr<ZPHSearchOperation> search = delegate()->currentSearchOperation();
    configureSearchResultsPlaceholder(search ? search->queryString() : QString());
  } else {
    CBFeed* feed = nullptr;
    const QList<ZPHRepresentedObject> feeds = dataSource() ? dataSource()->feeds() : QList<ZPHRepresentedObject>();
    if (!feeds.isEmpty()) {
      if (const auto* node = std::get_if<CBNode*>(&feeds.first());
          node != nullptr && *node != nullptr && !(*node)->isFolder() && (*node)->managedObjectContext() != nullptr)
        feed = static_cast<CBFeed*>(*node);
    }
    m_emptyDetail->configureForNoArticleSelectedWithFeed(feed);
  }
  m_articleDetailContainerView->setCurrentWidget(m_emptyDetail->view());
  m_emptyDetail->updateForWindowStateChange();
}

void ZPHClassicLayoutViewController::configureSearchResultsPlaceholder(const QString& queryString)
{
  if (!m_emptyDetail) {
    m_emptyDetail = std::make_unique<ZPHEmptyContentsViewController>();
    m_articleDetailContainerView->addWidget(m_emptyDetail->view());
  }
  m_emptyDetail->configureForSearchResultsForQuery(queryString);
  if (delegate())
    delegate()->hideEmptyContentsView();
}

void ZPHClassicLayoutViewController::configureForSearchResults(const QString& queryString)
{
  // The standard layout shows its search header as the results' header
  // row instead of a strip.
  if (!supportsGroupHeaders() && delegate() != nullptr && delegate()->showingSearchResultSet() &&
      m_searchHeaderRowView != nullptr) {
    m_searchHeaderRowView->show();
    if (m_searchHeader == nullptr) {
      m_searchHeader = new ZPHClassicLayoutSearchHeader(m_searchHeaderRowView);
      m_searchHeader->setTitle(tr("Search:"));
      auto* layout = new QVBoxLayout(m_searchHeaderRowView);
      layout->setContentsMargins(0, 0, 0, 0);
      layout->addWidget(m_searchHeader);
      connect(m_searchHeader, &ZPHArticleSearchGroupHeaderView::searchTypeChosen, this, [this](int type) {
        if (delegate())
          delegate()->searchTypeChosen(type);
      });
    }
    m_searchHeader->setSelectedFeeds(dataSource() ? dataSource()->feeds() : QList<ZPHRepresentedObject>());
    m_searchHeader->setSearchOperation(delegate()->currentSearchOperation());
    m_searchHeader->update();
  }
  configureSearchResultsPlaceholder(queryString);
  reloadDataWithScrollingToTop(true);
  reloadDetailView();
}

void ZPHClassicLayoutViewController::searchCanceled(bool focus)
{
  if (delegate() == nullptr || !delegate()->showingSearchResultSet()) {
    if (m_searchHeaderRowView)
      m_searchHeaderRowView->hide();
  }
  reloadDataWithScrollingToTop(true);
  if (focus && m_tableView)
    m_tableView->setFocus(Qt::OtherFocusReason);
}

void ZPHClassicLayoutViewController::adjustTableViewScrollPositionAsNeededForRow(int row)
{
  if (m_scrollTimer)
    m_scrollTimer->stop();
  m_pendingScrollRow = -1;
  if (m_tableView == nullptr || row < 0)
    return;
  const QRect rowRect = m_tableView->rectOfRow(row);
  if (!rowRect.isValid() || rowRect.height() <= 0)
    return;
  const QRect visible = rowRect.intersected(m_tableView->viewport()->rect());
  if (visible.height() >= 0.95f * rowRect.height())
    return;
  m_pendingScrollRow = row;
  m_scrollTimer->start();
}

bool ZPHClassicLayoutViewController::marginAdjustable(int direction) const
{
  const ZPHArticleDetailPane* pane = detailViewController();
  if (pane == nullptr)
    return false;
  ZPHStyleSheetController* styles = ZPHStyleSheetController::sharedController();
  if (direction > 0)
    return pane->shouldAllowArticleWidthIncrease() && styles->currentMarginIndex() < styles->maximumMarginIndex();
  return pane->shouldAllowArticleWidthDecrease() &&
         styles->currentMarginIndex() > ZPHStyleSheetController::minimumMarginIndex();
}

void ZPHClassicLayoutViewController::adjustMargins(int direction)
{
  ZPHArticleDetailPane* pane = detailViewController();
  if (pane == nullptr)
    return;
  ZPHStyleSheetController* styles = ZPHStyleSheetController::sharedController();
  int index = styles->currentMarginIndex();
  const double start = pane->articleWidth();
  // Step until the page's column really changed, or the table ends.
  while (true) {
    index += direction;
    styles->setCurrentMarginIndex(index);
    const std::optional<double> margin = styles->marginAtIndex(index);
    if (margin && *margin > 0)
      pane->setMarginWidth(*margin);
    if (pane->articleWidth() != start || index <= ZPHStyleSheetController::minimumMarginIndex() ||
        index >= styles->maximumMarginIndex())
      break;
  }
}

void ZPHClassicLayoutViewController::menuWillOpen(ZPHTableViewContextualMenu* menu, const QPoint& position)
{
  tableViewMenuWillOpen();
  menuNeedsUpdate(menu);
  if (menu->clickedRow() != -1)
    m_tableView->setContextualHighlightRow(menu->clickedRow());
  if (!menu->actions().isEmpty())
    menu->popup(position);
  else
    menuDidClose();
}

void ZPHClassicLayoutViewController::menuDidClose()
{
  if (m_tableView == nullptr)
    return;
  m_tableView->setContextualHighlightRow(-1);
  m_tableView->contextualMenu()->setClickedRow(-1);
  tableViewMenuDidClose();
}

void ZPHClassicLayoutViewController::appDelegateDidOpenURLInExternalWebBrowser(const QUrl& url)
{
  ZPHArticleListModel* rows = model();
  if (m_tableView == nullptr || rows == nullptr)
    return;
  const QString address = url.toString();
  const QRect visible = m_tableView->viewport()->rect();
  const int first = m_tableView->rowAt(visible.top());
  const int last = m_tableView->rowAt(visible.bottom());
  if (first < 0)
    return;
  const ZPHClassicLayoutRowView& painter = rowView();
  for (int row = first; row <= (last < 0 ? rows->rowCount() - 1 : last); ++row) {
    CBDataArticle* article = rows->articleAtRow(row);
    if (article != nullptr && article->bestLink() == address)
      m_tableView->runArrowAnimation(row, painter.arrowAnimationDuration(), painter.arrowWidthMultiplier());
  }
}
