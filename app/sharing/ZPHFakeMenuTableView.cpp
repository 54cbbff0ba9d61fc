#include "sharing/ZPHFakeMenuTableView.h"

#include <QtGui/QMouseEvent>

ZPHFakeMenuTableView::ZPHFakeMenuTableView(QWidget* parent) : QListView(parent)
{
  setMouseTracking(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
}

int ZPHFakeMenuTableView::selectedRow() const
{
  const QModelIndexList rows = selectionModel() != nullptr ? selectionModel()->selectedRows() : QModelIndexList{};
  return rows.isEmpty() ? -1 : rows.first().row();
}

void ZPHFakeMenuTableView::selectRowIfAllowed(int row)
{
  if (model() == nullptr || selectionModel() == nullptr)
    return;
  const QModelIndex index = model()->index(row, 0);
  const Qt::ItemFlags flags = index.isValid() ? model()->flags(index) : Qt::NoItemFlags;
  if (!flags.testFlag(Qt::ItemIsEnabled) || !flags.testFlag(Qt::ItemIsSelectable)) {
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    return;
  }
  if (selectedRow() != row)
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ZPHFakeMenuTableView::mouseMoveEvent(QMouseEvent* event)
{
  const QModelIndex index = indexAt(event->position().toPoint());
  selectRowIfAllowed(index.isValid() ? index.row() : -1);
}

void ZPHFakeMenuTableView::leaveEvent(QEvent* event)
{
  selectRowIfAllowed(-1);
  QListView::leaveEvent(event);
}
