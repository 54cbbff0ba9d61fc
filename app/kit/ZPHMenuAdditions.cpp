#include "kit/ZPHMenuAdditions.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>

QAction* zph_menuItemForRepresentedObject(const QMenu* menu, const QVariant& object)
{
  if (menu == nullptr)
    return nullptr;
  for (QAction* item : menu->actions()) {
    const QVariant represented = item->data();
    if (represented.isValid() && represented == object)
      return item;
  }
  return nullptr;
}

QList<QAction*> cb_allMenuItems(const QMenu* menu)
{
  QList<QAction*> items;
  if (menu == nullptr)
    return items;
  const QList<QAction*> own = menu->actions();
  items = own;
  for (QAction* item : own) {
    if (item->menu() != nullptr)
      items.append(cb_allMenuItems(item->menu()));
  }
  return items;
}
