#pragma once

// Qt kind: none (an interface: an abstract class).

#include "sharing/CBSharableItem.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtGui/QImage>

class CBPluginHelper;
class CBUserInterfaceContext;
class ZPHError;

// A command a sharing plug-in offers: mailing a link, opening it in a
// browser, saving it to read later, sending it to another program. Commands
// belong to their plug-in and live as long as the plug-in manager, so a
// command may keep state between runs (the login of the read-later
// service). Main thread only.
//
// The first five functions are what every command answers; the rest are
// optional, and an empty answer means "not answered".
class ZPHSharingPluginCommand {
public:
  // Where a command shows: type 1 in the share menus and the popover's first
  // group, 2 (browsers) only as toolbar items, 3 the second group, 4 the
  // third.
  enum Type { Sharing = 1, OpenInBrowser = 2, ReadLater = 3, SendToApplication = 4 };

  virtual ~ZPHSharingPluginCommand();

  // Whether the command can act on the items (usually: exactly one item
  // with an address).
  virtual bool validateWithItems(const QList<CBSharableItem>& items) const = 0;
  // Carries the command out; false, maybe with `error`, when it could not.
  virtual bool performCommandWithArray(const QList<CBSharableItem>& items, const CBUserInterfaceContext& context,
                                       CBPluginHelper* helper, ZPHError* error) = 0;
  virtual QString title() const = 0;
  // Unique; also the identifier of its toolbar item and shortcut.
  virtual QString commandID() const = 0;
  virtual QList<int> commandTypes() const = 0;

  // The title inside a group of its plug-in's commands.
  virtual QString shortTitle() const { return {}; }
  // The toolbar's and the popover's picture, and the menus' (preferred).
  virtual QImage image() const { return {}; }
  virtual QImage menuImage() const { return {}; }
  virtual QString tooltip() const { return {}; }

  // Commands that keep a login: whether there is one to forget, and
  // forgetting it (the popover's clear-credentials button).
  virtual bool canClearCredentials() const { return false; }
  virtual void clearCredentials() {}
  // Commands that go on showing their own views (a login, a composer) in
  // the sharing popover once they ran from it; the popover then stays open.
  virtual bool showsItsViewsInSharingPopover() const { return false; }

  bool isOfType(int type) const { return commandTypes().contains(type); }
  // The first type; 0 for a command of no type.
  int type() const
  {
    const QList<int> types = commandTypes();
    return types.isEmpty() ? 0 : types.first();
  }

  // The address a command acts on: the permalink, else the URL.
  static QUrl addressOfItem(const CBSharableItem& item);
  // The usual validation: exactly one item, with a URL or a permalink.
  static bool validateOneItemWithAddress(const QList<CBSharableItem>& items);
};

// The name the plug-ins' protocol goes by.
using CBPluginCommand = ZPHSharingPluginCommand;
