#include "sourcelist/ZPHSourceListMenuBuilder.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QAction>
#include <QtWidgets/QMenu>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("ZPHSourceListViewController", text); }

using Item = ZPHSourceListMenuBuilder::Item;

void addSeparatorIfNeeded(QList<Item>* items)
{
  if (!items->isEmpty() && !items->constLast().isSeparator())
    items->append(Item::separator());
}

}  // namespace

bool ZPHSourceListMenuBuilder::validate(const QString& action, const Facts& facts)
{
  if (action == QLatin1String("deleteSelectedFeedsAndFolders:"))
    return facts.deletable;
  if (action == QLatin1String("openHomePageInBrowser:"))
    return facts.feedsWithHomePage > 0;
  if (action == QLatin1String("copyFeedURL:") || action == QLatin1String("validateFeedURL:"))
    return facts.singleFeedWithURL;
  if (action == QLatin1String("addToFavorites:"))
    return facts.feeds > facts.favoriteFeeds;
  if (action == QLatin1String("removeFromFavorites:"))
    return facts.feeds > 0 && facts.favoriteFeeds == facts.feeds;
  if (action == QLatin1String("renameEntry:"))
    return facts.singleFeedOrFolder;
  if (action == QLatin1String("markAllAsReadFromContextMenu:"))
    return facts.hasUnread;
  if (action == QLatin1String("activateFeed:"))
    return facts.suspendedFeeds > 0;
  return false;
}

QList<ZPHSourceListMenuBuilder::Item> ZPHSourceListMenuBuilder::itemsForSelection(Kind kind, const Facts& facts,
                                                                                  bool optionAndControlHeld)
{
  QList<Item> items;
  const int listed = facts.feeds + facts.smartFeeds;
  if (listed == 0 && facts.folders == 0 && facts.smartFeedsOrFavoritesGroup == 0)
    return items;
  // An item that is left out when invalid, or shown disabled.
  const auto add = [&](const char* title, const char* action, bool keepWhenInvalid) {
    const bool valid = validate(QString::fromLatin1(action), facts);
    if (valid || keepWhenInvalid)
      items.append(Item{tr(title), QString::fromLatin1(action), valid, std::nullopt, {}});
  };

  if (facts.folders == 0 && facts.smartFeedsOrFavoritesGroup == 0)
    add("Open Site in Browser", "openHomePageInBrowser:", true);
  addSeparatorIfNeeded(&items);

  const bool canAdd = validate(QStringLiteral("addToFavorites:"), facts);
  const bool canRemove = validate(QStringLiteral("removeFromFavorites:"), facts);
  if (canAdd || canRemove || kind == Kind::Site) {
    if (canAdd)
      add("Add to Favorites", "addToFavorites:", true);
    else if (canRemove)
      add("Remove from Favorites", "removeFromFavorites:", true);
    else
      items.append(Item{tr("Add to Favorites"), QStringLiteral("addToFavorites:"), false, std::nullopt, {}});
  }
  if (kind != Kind::Site)
    add("Mark All as Read", "markAllAsReadFromContextMenu:", true);
  if (facts.suspendedFeeds > 0)
    add("Activate", "activateFeed:", true);
  addSeparatorIfNeeded(&items);

  if (kind == Kind::Contextual)
    add("Copy Site News Link", "copyFeedURL:", false);
  if (optionAndControlHeld)
    add("Validate Site News Link", "validateFeedURL:", false);
  add("Rename", "renameEntry:", true);
  items.append(Item::separator());
  if (kind != Kind::Site)
    add("Remove", "deleteSelectedFeedsAndFolders:", false);

  while (!items.isEmpty() && items.constLast().isSeparator()) items.removeLast();
  return items;
}

QList<ZPHSourceListMenuBuilder::Item> ZPHSourceListMenuBuilder::gearMenuItems(const Facts& facts, qint64 sortOrder,
                                                                              bool sortInGroupsOnly,
                                                                              bool optionAndControlHeld)
{
  QList<Item> items = itemsForSelection(Kind::Gear, facts, optionAndControlHeld);
  if (!items.isEmpty())
    items.append(Item::separator());
  items.append(sortingItem(sortOrder, sortInGroupsOnly));
  return items;
}

ZPHSourceListMenuBuilder::Item ZPHSourceListMenuBuilder::sortingItem(qint64 sortOrder, bool sortInGroupsOnly)
{
  const bool manual = sortOrder == 1;
  Item arrange{tr("Arrange Sites"), QString(), true, std::nullopt, {}};
  arrange.submenu = {
      Item{tr("Automatically by Name"), QStringLiteral("sortByName:"), true, sortOrder == 0, {}},
      Item{tr("Manually"), QStringLiteral("sortByManualOrder:"), true, manual, {}},
      Item::separator(),
      Item{tr("Within Folders Only"),
           QStringLiteral("toggleSortInsideFoldersOnly:"),
           !manual,
           sortInGroupsOnly && !manual,
           {}},
  };
  return arrange;
}

QList<ZPHSourceListMenuBuilder::Item> ZPHSourceListMenuBuilder::addMenuItems(
    const std::function<bool(const QString&)>& available)
{
  QList<Item> items{Item{tr("New Site\u2026"), QStringLiteral("addFeed:"), true, std::nullopt, {}},
                    Item{tr("New Folder\u2026"), QStringLiteral("addFolder:"), true, std::nullopt, {}}};
  for (Item& item : items) item.enabled = available && available(item.action);
  return items;
}

QMenu* ZPHSourceListMenuBuilder::makeMenu(const QList<Item>& items, QWidget* parent,
                                          const std::function<void(const QString&)>& perform)
{
  auto* menu = new QMenu(parent);
  for (const Item& item : items) {
    if (!item.submenu.isEmpty()) {
      QMenu* submenu = makeMenu(item.submenu, menu, perform);
      submenu->setTitle(item.title);
      menu->addMenu(submenu);
      continue;
    }
    if (item.isSeparator()) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(item.title);
    action->setObjectName(item.action);
    action->setEnabled(item.enabled);
    if (item.checked.has_value()) {
      action->setCheckable(true);
      action->setChecked(*item.checked);
    }
    const QString command = item.action;
    QObject::connect(action, &QAction::triggered, menu, [perform, command] { perform(command); });
  }
  return menu;
}
