#pragma once

// Qt kind: none (functions).

#include <QtCore/QList>
#include <QtCore/QVariant>

class QAction;
class QMenu;

// Looking items up in menus built in code (see CBMenuExtras for building
// them). An item's represented object is its QAction::data().

// The first top-level item whose represented object equals `object`; items
// without a represented object never match. Null when none does.
QAction* zph_menuItemForRepresentedObject(const QMenu* menu, const QVariant& object);

// The menu's own items in order, then, for each item with a submenu in item
// order, that submenu's items gathered the same way: for A, B (with C, D),
// E this is A, B, E, C, D.
QList<QAction*> cb_allMenuItems(const QMenu* menu);

// The items with their separators tidied: a separator stays only between
// two items that are not separators (of a run of them one is kept), never
// first or last. An empty list gives an empty list.
QList<QAction*> zph_menuItemsByCleaningUpSeparatorItems(const QList<QAction*>& items);
