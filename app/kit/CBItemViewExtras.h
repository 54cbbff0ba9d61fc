#pragma once

// Qt kind: none (functions).

#include <QtCore/QList>
#include <QtCore/QModelIndex>
#include <QtCore/QPoint>

#include <functional>

class QAbstractItemView;
class QFont;
class QIcon;
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
// The same (the row is one of the view's top level).
void cb_goToAbsoluteRow(QAbstractItemView* view, int row);
// Deselects each selected row in turn; the current index stays.
void cb_deselectAllRows(QAbstractItemView* view);
bool cb_isFirstResponderAndRowIsSelected(const QAbstractItemView* view, int row);

// The context menu for a click at `position` (viewport coordinates): none
// when no row and column lie there or `menuForTableColumn` is empty;
// otherwise that row is selected and scrolled to and the menu is what
// `menuForTableColumn(column, row)` answers.
QMenu* cb_menuForEvent(QAbstractItemView* view, const QPoint& position,
                       const std::function<QMenu*(int column, int row)>& menuForTableColumn);

// Shows `image` in the header of `column` (the model's header decoration);
// with `removeOthers` every other column's header loses its image first. A
// model that keeps no header data shows none.
void cb_setIndicatorImage(QAbstractItemView* view, const QIcon& image, int column, bool removeOthers);
// The rows of every column are drawn in `font`; the headers keep theirs.
void cb_setFontForAllColumns(QAbstractItemView* view, const QFont& font);
