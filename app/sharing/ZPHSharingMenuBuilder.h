#pragma once

// Qt kind: none (static functions).

#include "sharing/CBSharableItem.h"

#include <QtCore/QList>

#include <functional>
#include <optional>

class QMenu;
class ZPHPluginManager;
class ZPHSharingPluginCommand;

// The share menus and the sharing popover's list: which plug-in commands
// show, in which groups, and the menu items for them.
class ZPHSharingMenuBuilder {
public:
  ZPHSharingMenuBuilder() = delete;

  // Sharing commands, then read-later commands, then those that send to
  // another program, in the order given, a separator (null) between
  // groups that have commands; a command titled with "twitter" among the
  // later ones moves up to end the first group. No separator ends the list.
  // Browser commands are not listed; a command of two of these types is
  // listed in both groups.
  static QList<ZPHSharingPluginCommand*> commandList(const QList<ZPHSharingPluginCommand*>& commands);
  // The same over the manager's commands of those types, each type's solo
  // commands before its grouped ones.
  static QList<ZPHSharingPluginCommand*> commandList(const ZPHPluginManager& manager);

  // Adds a menu item for each command of the list that validates for the
  // item (for no item: for an empty list of items), and separators only
  // between the items added. Choosing an item runs `perform` with its
  // command. Answers how many commands were added.
  static int addCommandsToMenu(const QList<ZPHSharingPluginCommand*>& list, QMenu* menu,
                               const std::optional<CBSharableItem>& item,
                               const std::function<void(ZPHSharingPluginCommand* command)>& perform);
};
