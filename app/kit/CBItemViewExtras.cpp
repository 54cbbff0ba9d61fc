#include "kit/CBItemViewExtras.h"

#include "kit/CBViewExtras.h"

#include <QtCore/QItemSelectionModel>
#include <QtGui/QFont>
#include <QtGui/QIcon>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QHeaderView>

#include <algorithm>

namespace {

// The rows from the top level down to the item: comparing two paths orders
// items as a tree shows them.
QList<int> pathOf(const QModelIndex& item)
{
  QList<int> path;
  for (QModelIndex index = item; index.isValid(); index = index.parent()) path.prepend(index.row());
  return path;
}

}  // namespace

bool cb_isItemSelected(const QAbstractItemView* view, const QModelIndex& item)
{
  if (view == nullptr || view->selectionModel() == nullptr || !item.isValid() || item.model() != view->model())
    return false;
  return view->selectionModel()->isRowSelected(item.row(), item.parent());
}

bool cb_isFirstResponderAndItemIsSelected(const QAbstractItemView* view, const QModelIndex& item)
{
  return cb_isItemSelected(view, item) && cb_isOrIsDescendedFromFirstResponder(view);
}

QModelIndexList cb_selectedItems(const QAbstractItemView* view)
{
  if (view == nullptr || view->selectionModel() == nullptr)
    return {};
  QModelIndexList items = view->selectionModel()->selectedRows(0);
  std::sort(items.begin(), items.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return pathOf(a) < pathOf(b); });
  return items;
}

void cb_selectItemsWithArray(QAbstractItemView* view, const QModelIndexList& items)
{
  if (view == nullptr || view->selectionModel() == nullptr)
    return;
  QItemSelection selection;
  for (const QModelIndex& item : items) {
    if (item.isValid() && item.model() == view->model())
      selection.select(item, item);
  }
  view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int cb_absoluteSelectedRow(const QAbstractItemView* view)
{
  if (view == nullptr || view->selectionModel() == nullptr)
    return -1;
  const QModelIndex current = view->selectionModel()->currentIndex();
  if (current.isValid() && !current.parent().isValid() &&
      view->selectionModel()->isRowSelected(current.row(), QModelIndex()))
    return current.row();
  const QList<int> rows = cb_absoluteSelectedRowIndexes(view);
  return rows.isEmpty() ? -1 : rows.constLast();
}

QList<int> cb_absoluteSelectedRowIndexes(const QAbstractItemView* view)
{
  QList<int> rows;
  if (view == nullptr || view->selectionModel() == nullptr)
    return rows;
  for (const QModelIndex& index : view->selectionModel()->selectedRows(0)) {
    if (!index.parent().isValid())
      rows.append(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void cb_goToRow(QAbstractItemView* view, int row)
{
  if (view == nullptr || view->model() == nullptr || view->selectionModel() == nullptr)
    return;
  const QModelIndex index = view->model()->index(row, 0);
  if (!index.isValid())
    return;
  view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->scrollTo(index);
}

bool cb_isFirstResponderAndRowIsSelected(const QAbstractItemView* view, int row)
{
  return row >= 0 && cb_absoluteSelectedRow(view) == row && cb_isOrIsDescendedFromFirstResponder(view);
}

QMenu* cb_menuForEvent(QAbstractItemView* view, const QPoint& position,
                       const std::function<QMenu*(int column, int row)>& menuForTableColumn)
{
  if (view == nullptr)
    return nullptr;
  const QModelIndex index = view->indexAt(position);
  if (!index.isValid() || index.row() < 0 || index.column() < 0 || !menuForTableColumn)
    return nullptr;
  cb_goToRow(view, index.row());
  return menuForTableColumn(index.column(), index.row());
}

void cb_goToAbsoluteRow(QAbstractItemView* view, int row) { cb_goToRow(view, row); }

void cb_deselectAllRows(QAbstractItemView* view)
{
  if (view == nullptr || view->selectionModel() == nullptr)
    return;
  for (const QModelIndex& row : view->selectionModel()->selectedRows(0))
    view->selectionModel()->select(row, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void cb_setIndicatorImage(QAbstractItemView* view, const QIcon& image, int column, bool removeOthers)
{
  QAbstractItemModel* model = view != nullptr ? view->model() : nullptr;
  if (model == nullptr)
    return;
  if (removeOthers) {
    for (int other = 0; other < model->columnCount(); ++other) {
      if (other != column)
        model->setHeaderData(other, Qt::Horizontal, QVariant(), Qt::DecorationRole);
    }
  }
  model->setHeaderData(column, Qt::Horizontal, image.isNull() ? QVariant() : QVariant(image), Qt::DecorationRole);
}

void cb_setFontForAllColumns(QAbstractItemView* view, const QFont& font)
{
  if (view == nullptr)
    return;
  // A header takes the view's font unless it has one of its own.
  for (QHeaderView* header : view->findChildren<QHeaderView*>(QString(), Qt::FindDirectChildrenOnly)) {
    QFont own = header->font();
    own.setResolveMask(QFont::AllPropertiesResolved);
    header->setFont(own);
  }
  view->setFont(font);
}
