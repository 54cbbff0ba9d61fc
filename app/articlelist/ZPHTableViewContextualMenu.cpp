#include "articlelist/ZPHTableViewContextualMenu.h"

ZPHTableViewContextualMenu::ZPHTableViewContextualMenu(QWidget* parent) : QMenu(parent) {}

ZPHTableViewContextualMenu::ZPHTableViewContextualMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {}
