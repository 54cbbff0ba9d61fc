#pragma once

// Qt kind: none (functions).

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtGui/QAction>
#include <QtGui/QKeySequence>
#include <QtWidgets/QMenu>

// Conveniences for building menus. An item's represented object is its
// QAction::data(); its tag is the action's property "tag".

// Removes every item, from the last to the first; items the menu owns are
// deleted.
void cb_removeAllItems(QMenu* menu);
// True when the menu has items and the last one is a separator.
bool cb_lastItemIsSeparatorItem(const QMenu* menu);
QAction* cb_addSeparatorItem(QMenu* menu);
// Appends a separator unless the last item is one already (an empty menu
// gets one).
void cb_addSeparatorItemIfLastItemIsNotSeparator(QMenu* menu);

// The item's tag (0 when none was set).
int cb_tag(const QAction* item);
// Sets the item checkable and checked (true) or not.
void cb_setStateWithBoolean(QAction* item, bool state);

// A new enabled item owned by `parent`, whose trigger calls `action` of
// `target` when a target is given.
template <class Target = QObject, class Action = void (QObject::*)()>
QAction* cb_menuItemWithTitle(QObject* parent, const QString& title, const Target* target = nullptr,
                              Action action = nullptr, const QVariant& representedObject = QVariant(), int tag = 0)
{
  auto* item = new QAction(title, parent);
  if (target != nullptr)
    QObject::connect(item, &QAction::triggered, target, action);
  if (representedObject.isValid())
    item->setData(representedObject);
  item->setProperty("tag", tag);
  item->setEnabled(true);
  return item;
}

// Appends an item with the title, the key equivalent (none for an empty
// one) and the represented object; its trigger calls `action` of `target`
// when a target is given.
template <class Target = QObject, class Action = void (QObject::*)()>
QAction* cb_addItemWithTitle(QMenu* menu, const QString& title, const Target* target = nullptr, Action action = nullptr,
                             const QKeySequence& keyEquivalent = QKeySequence(),
                             const QVariant& representedObject = QVariant())
{
  QAction* item = cb_menuItemWithTitle(menu, title, target, action, representedObject);
  item->setShortcut(keyEquivalent);
  menu->addAction(item);
  return item;
}
