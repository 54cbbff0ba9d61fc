#pragma once

// Qt kind: none (functions).

#include <QtCore/QList>
#include <QtCore/QModelIndex>
#include <QtCore/QPoint>

#include <functional>

class QAbstractItemView;
class QMenu;

// Selection conveniences for outline (tree) and table views. An item is a
// model index; a row is a row of the view's top level, its selection that of
// the whole row.

bool cb_isItemSelected(const QAbstractItemView* view, const QModelIndex& item);
// The item's row is selected while the application is active, the view's
// window is the active window and its focus widget is the view or one of the
// view's ancestors.
bool cb_isFirstResponderAndItemIsSelected(const QAbstractItemView* view, const QModelIndex& item);
// The items (first column) of the selected rows in the order they are shown;
// empty when nothing is selected.
QModelIndexList cb_selectedItems(const QAbstractItemView* view);
// Selects exactly the rows of the items that belong to the view's model;
// deselects everything when none does.
void cb_selectItemsWithArray(QAbstractItemView* view, const QModelIndexList& items);

// The current row when it is selected, else the last selected row; -1 when
// nothing is selected.
int cb_absoluteSelectedRow(const QAbstractItemView* view);
// The selected rows in ascending order.
QList<int> cb_absoluteSelectedRowIndexes(const QAbstractItemView* view);
// Selects only that row, makes it current and scrolls it into view.
void cb_goToRow(QAbstractItemView* view, int row);
bool cb_isFirstResponderAndRowIsSelected(const QAbstractItemView* view, int row);

// The context menu for a click at `position` (viewport coordinates): none
// when no row and column lie there or `menuForTableColumn` is empty;
// otherwise that row is selected and scrolled to and the menu is what
// `menuForTableColumn(column, row)` answers.
QMenu* cb_menuForEvent(QAbstractItemView* view, const QPoint& position,
                       const std::function<QMenu*(int column, int row)>& menuForTableColumn);
