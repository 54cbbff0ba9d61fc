#include "browser/ZPHTabsTableView.h"

#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHTabCell.h"
#include "browser/ZPHTabsController.h"
#include "browser/ZPHTabsTableViewController.h"
#include "common/CBPasteboard.h"

#include <QtCore/QMimeData>
#include <QtGui/QDrag>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyledItemDelegate>

const QString ZPHTabsTableView::TabRowMimeType = QStringLiteral("application/x-zephlin-tab-row");

namespace {

// The one delegate of the list: each row is a tab cell.
class TabCellDelegate final : public QStyledItemDelegate {
public:
  TabCellDelegate(ZPHTabsTableView* view, ZPHTabsTableViewController* controller)
      : QStyledItemDelegate(view), m_view(view), m_controller(controller)
  {
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
  {
    Q_UNUSED(option);
    Q_UNUSED(index);
    return QSize(m_view->viewport()->width(), m_view->rowHeight() + m_view->intercellSpacing().height());
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
  {
    Q_UNUSED(option);
    ZPHTabCell::draw(*painter, m_view->cellFrameForRow(index.row()), m_controller->cellStateForRow(index.row()));
  }

private:
  ZPHTabsTableView* m_view;
  ZPHTabsTableViewController* m_controller;
};

}  // namespace

ZPHTabsTableView::ZPHTabsTableView(ZPHTabsTableViewController* controller, QWidget* parent)
    : QListView(parent), m_controller(controller)
{
  setObjectName(QStringLiteral("ZPHTabsTableView"));
  setFocusPolicy(Qt::NoFocus);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFrameShape(QFrame::NoFrame);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setMouseTracking(true);
  setAcceptDrops(true);
  setDragEnabled(false);  // the list starts its own drags
  viewport()->setAcceptDrops(true);
  viewport()->setAutoFillBackground(false);
  setAutoFillBackground(false);
  setAttribute(Qt::WA_TranslucentBackground);
  setStyleSheet(QStringLiteral("QListView { background: transparent; border: none; }"));
  setItemDelegate(new TabCellDelegate(this, controller));
}

void ZPHTabsTableView::setTabsViewState(int state)
{
  state = state == 1 ? 1 : 0;
  if (state == m_tabsViewState)
    return;
  m_tabsViewState = state;
  // The rows take their new height at once.
  scheduleDelayedItemsLayout();
  doItemsLayout();
  viewport()->update();
}

int ZPHTabsTableView::rowHeight() const
{
  return m_tabsViewState == 1 ? ZPHTabCell::LabelsRowHeight : ZPHTabCell::ThumbnailsRowHeight;
}

QSize ZPHTabsTableView::intercellSpacing() const { return QSize(3, m_tabsViewState == 1 ? 3 : 5); }

QRect ZPHTabsTableView::cellFrameForRow(int row) const
{
  const QRect rect = visualRect(model() != nullptr ? model()->index(row, 0) : QModelIndex());
  return QRect(0, rect.top(), viewport()->width(), rowHeight());
}

int ZPHTabsTableView::rowAtPoint(const QPoint& point) const
{
  const QModelIndex index = indexAt(point);
  return index.isValid() ? index.row() : -1;
}

int ZPHTabsTableView::dropRowForPoint(const QPoint& point) const
{
  const int count = model() != nullptr ? model()->rowCount() : 0;
  int row = count;
  const QModelIndex index = indexAt(point);
  if (index.isValid()) {
    const QRect rect = visualRect(index);
    row = point.y() < rect.center().y() ? index.row() : index.row() + 1;
  }
  // Nothing goes before the news-items tab.
  return std::clamp(row, 1, std::max(1, count));
}

void ZPHTabsTableView::resizeEvent(QResizeEvent* event)
{
  QListView::resizeEvent(event);
  doItemsLayout();
}

void ZPHTabsTableView::mousePressEvent(QMouseEvent* event)
{
  const QPoint point = event->position().toPoint();
  const int row = rowAtPoint(point);
  m_pressedRow = -1;
  if (row < 0 || event->button() != Qt::LeftButton) {
    if (event->button() != Qt::RightButton)
      event->accept();
    return;
  }
  ZPHTabsController* tabs = m_controller->tabsController();
  auto* tab = qobject_cast<ZPHBrowserTab*>(tabs->tabItemAtIndex(row));
  if (row > 0 && tab != nullptr && ZPHTabCell::rectOfCloseButton(cellFrameForRow(row)).contains(point)) {
    m_closeRow = row;
    m_closeTab = tab;
    tab->setCloseButtonHighlighted(true);
    viewport()->update();
    event->accept();
    return;
  }
  m_pressedRow = row;
  m_pressPoint = point;
  m_controller->rowPressed(row);
  event->accept();
}

void ZPHTabsTableView::mouseMoveEvent(QMouseEvent* event)
{
  const QPoint point = event->position().toPoint();
  if (m_closeRow >= 0) {
    const bool inside =
        rowAtPoint(point) == m_closeRow && ZPHTabCell::rectOfCloseButton(cellFrameForRow(m_closeRow)).contains(point);
    if (m_closeTab && m_closeTab->closeButtonHighlighted() != inside) {
      m_closeTab->setCloseButtonHighlighted(inside);
      viewport()->update();
    }
    event->accept();
    return;
  }
  if (m_pressedRow >= 0 && (event->buttons() & Qt::LeftButton) &&
      (point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
    const int row = m_pressedRow;
    m_pressedRow = -1;
    if (m_controller->canDragRow(row))
      startTabDrag(row);
    event->accept();
    return;
  }
  QListView::mouseMoveEvent(event);
}

void ZPHTabsTableView::mouseReleaseEvent(QMouseEvent* event)
{
  m_pressedRow = -1;
  if (m_closeRow < 0) {
    event->accept();
    return;
  }
  const QPoint point = event->position().toPoint();
  const bool inside =
      rowAtPoint(point) == m_closeRow && ZPHTabCell::rectOfCloseButton(cellFrameForRow(m_closeRow)).contains(point);
  QPointer<ZPHBrowserTab> tab = m_closeTab;
  m_closeRow = -1;
  m_closeTab = nullptr;
  if (tab)
    tab->setCloseButtonHighlighted(false);
  viewport()->update();
  if (inside && tab && event->button() == Qt::LeftButton)
    m_controller->closeButtonClicked(tab, (event->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier);
  event->accept();
}

void ZPHTabsTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
  const QPoint point = event->position().toPoint();
  const int row = rowAtPoint(point);
  if (row > 0 && ZPHTabCell::rectOfCloseButton(cellFrameForRow(row)).contains(point)) {
    mousePressEvent(event);
    return;
  }
  if (row >= 0 && event->button() == Qt::LeftButton)
    m_controller->openTabInDefaultBrowser(row);
  event->accept();
}

void ZPHTabsTableView::contextMenuEvent(QContextMenuEvent* event)
{
  const int row = rowAtPoint(viewport()->mapFrom(this, event->pos()));
  if (row < 0)
    return;
  QMenu* menu = m_controller->menuForRow(row);
  if (menu == nullptr)
    return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void ZPHTabsTableView::startTabDrag(int row)
{
  ZPHTabsController* tabs = m_controller->tabsController();
  auto* tab = qobject_cast<ZPHBrowserTab*>(tabs->tabItemAtIndex(row));
  if (tab == nullptr)
    return;
  QMimeData* data = CBMimeDataWithURLAndTitle(tab->displayURL(), tab->displayTitle());
  data->setData(TabRowMimeType, QByteArray::number(row));
  // The row's cell as the drag's picture.
  const QRect frame = cellFrameForRow(row);
  QPixmap picture(frame.size() * devicePixelRatioF());
  picture.setDevicePixelRatio(devicePixelRatioF());
  picture.fill(Qt::transparent);
  {
    QPainter painter(&picture);
    painter.translate(-frame.topLeft());
    ZPHTabCell::draw(painter, frame, m_controller->cellStateForRow(row));
  }
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->setPixmap(picture);
  drag->setHotSpot(m_pressPoint - frame.topLeft());
  drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

bool ZPHTabsTableView::validateDrop(QDropEvent* event, int* row)
{
  *row = dropRowForPoint(event->position().toPoint());
  const QMimeData* data = event->mimeData();
  if (event->source() == this && data->hasFormat(TabRowMimeType)) {
    event->setDropAction(Qt::MoveAction);
    return true;
  }
  if (ZPHTabsTableViewController::urlStringFromMimeData(data).isEmpty())
    return false;
  event->setDropAction(Qt::CopyAction);
  return true;
}

// An entering drag is a moving one (QDragEnterEvent is a QDragMoveEvent).
void ZPHTabsTableView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void ZPHTabsTableView::dragMoveEvent(QDragMoveEvent* event)
{
  int row = -1;
  if (validateDrop(event, &row)) {
    event->accept();
    m_dropIndicatorRow = row;
  } else {
    event->ignore();
    m_dropIndicatorRow = -1;
  }
  viewport()->update();
}

void ZPHTabsTableView::dragLeaveEvent(QDragLeaveEvent* event)
{
  m_dropIndicatorRow = -1;
  viewport()->update();
  event->accept();
}

void ZPHTabsTableView::dropEvent(QDropEvent* event)
{
  int row = -1;
  m_dropIndicatorRow = -1;
  viewport()->update();
  if (!validateDrop(event, &row)) {
    event->ignore();
    return;
  }
  const QMimeData* data = event->mimeData();
  const int dragged = event->source() == this ? data->data(TabRowMimeType).toInt() : 0;
  if (m_controller->acceptDrop(data, dragged, row))
    event->acceptProposedAction();
  else
    event->ignore();
}

void ZPHTabsTableView::paintEvent(QPaintEvent* event)
{
  QListView::paintEvent(event);
  if (m_dropIndicatorRow < 0 || model() == nullptr)
    return;
  // Where a drop goes: a line between the rows.
  const int count = model()->rowCount();
  int y = 0;
  if (m_dropIndicatorRow < count)
    y = visualRect(model()->index(m_dropIndicatorRow, 0)).top();
  else if (count > 0)
    y = visualRect(model()->index(count - 1, 0)).bottom() + 1;
  QPainter painter(viewport());
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
  painter.drawLine(QPointF(8, y), QPointF(viewport()->width() - 8, y));
}
