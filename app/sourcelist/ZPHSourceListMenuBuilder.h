#pragma once

// Qt kind: none (static functions).

#include <QtCore/QList>
#include <QtCore/QString>

#include <functional>
#include <optional>

class QMenu;
class QWidget;

// The source list's menus as data: for what the selection holds, which
// commands a menu offers, in which order, and which of them are enabled,
// decided once while the menu is built. The contextual menu of a row
// (kind Contextual), the gear button's menu (Gear) and the site menu of the
// application's menus (Site) are three cuts of one list; the add button's
// menu and the sorting submenu are fixed. Commands are named by their
// selector; the source list view controller carries them out.
class ZPHSourceListMenuBuilder {
public:
  enum class Kind { Contextual = 0, Gear = 1, Site = 2 };

  // What the selection holds. The "selection list" is the feeds and smart
  // feeds selected (a feed under Favorites counts as a feed).
  struct Facts {
    int selectedNodes = 0;
    int feeds = 0;                       // feeds of the selection list
    int favoriteFeeds = 0;               // of those, favourites
    int feedsWithHomePage = 0;           // of those, with a home page
    int suspendedFeeds = 0;              // of those, suspended
    int smartFeeds = 0;                  // smart feeds of the selection list
    int folders = 0;                     // folders selected
    int smartFeedsOrFavoritesGroup = 0;  // smart feeds and the Favorites group selected
    bool hasUnread = false;              // an entry of the selection list, or a folder, has unread articles
    bool singleFeedWithURL = false;      // one node selected: a feed with an address
    bool singleFeedOrFolder = false;     // one node selected: a feed or a folder
    bool deletable = false;              // nothing selected, or every node may be deleted and none is a favourite's
  };

  struct Item {
    QString title;
    QString action;  // empty for a separator
    bool enabled = true;
    std::optional<bool> checked;  // a check mark, for the sorting items
    QList<Item> submenu;

    bool isSeparator() const { return action.isEmpty() && submenu.isEmpty(); }
    static Item separator() { return {}; }
    bool operator==(const Item&) const = default;
  };

  // Whether the command may run for the selection. Unlisted commands may
  // not.
  static bool validate(const QString& action, const Facts& facts);

  // The commands for the selection; `optionAndControlHeld`: Alt and Ctrl
  // are both held as the menu is built (it then offers to validate the
  // feed's address).
  static QList<Item> itemsForSelection(Kind kind, const Facts& facts, bool optionAndControlHeld = false);
  // The gear menu: the commands for the selection, then "Arrange Sites".
  static QList<Item> gearMenuItems(const Facts& facts, qint64 sortOrder, bool sortInGroupsOnly,
                                   bool optionAndControlHeld = false);
  // "Arrange Sites" with its submenu, for the sort order (0 by name, 1
  // manual) and the folders-only setting.
  static Item sortingItem(qint64 sortOrder, bool sortInGroupsOnly);
  // The add button's menu: "New Site…" and "New Folder…", each enabled
  // while `available` says its command can run.
  static QList<Item> addMenuItems(const std::function<bool(const QString& action)>& available);

  // A menu of the items: each action is named by its command, keeps the
  // enabled state and check mark it was built with, and runs `perform`
  // with the command when chosen.
  static QMenu* makeMenu(const QList<Item>& items, QWidget* parent, const std::function<void(const QString&)>& perform);
};
