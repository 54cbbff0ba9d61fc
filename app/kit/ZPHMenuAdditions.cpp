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

QList<QAction*> zph_menuItemsByCleaningUpSeparatorItems(const QList<QAction*>& items)
{
  QList<QAction*> kept;
  for (qsizetype i = 0; i < items.size(); ++i) {
    QAction* item = items.at(i);
    if (item == nullptr)
      continue;
    if (!item->isSeparator()) {
      kept.append(item);
      continue;
    }
    const bool followedByItem = i + 1 < items.size() && items.at(i + 1) != nullptr && !items.at(i + 1)->isSeparator();
    if (followedByItem)
      kept.append(item);
  }
  if (!kept.isEmpty() && kept.first()->isSeparator())
    kept.removeFirst();
  if (!kept.isEmpty() && kept.last()->isSeparator())
    kept.removeLast();
  return kept;
}
