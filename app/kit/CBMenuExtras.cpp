#include "kit/CBMenuExtras.h"

void cb_removeAllItems(QMenu* menu)
{
  if (menu == nullptr)
    return;
  const QList<QAction*> items = menu->actions();
  for (auto item = items.crbegin(); item != items.crend(); ++item) {
    menu->removeAction(*item);
    if ((*item)->parent() == menu)
      delete *item;
  }
}

bool cb_lastItemIsSeparatorItem(const QMenu* menu)
{
  if (menu == nullptr || menu->actions().isEmpty())
    return false;
  return menu->actions().constLast()->isSeparator();
}

QAction* cb_addSeparatorItem(QMenu* menu) { return menu != nullptr ? menu->addSeparator() : nullptr; }

void cb_addSeparatorItemIfLastItemIsNotSeparator(QMenu* menu)
{
  if (menu != nullptr && !cb_lastItemIsSeparatorItem(menu))
    cb_addSeparatorItem(menu);
}

int cb_tag(const QAction* item) { return item != nullptr ? item->property("tag").toInt() : 0; }

void cb_setStateWithBoolean(QAction* item, bool state)
{
  if (item == nullptr)
    return;
  item->setCheckable(true);
  item->setChecked(state);
}
