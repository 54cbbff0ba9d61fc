#pragma once

// Qt kind: none (an interface: an abstract class).

#include "sharing/CBSharableItem.h"

#include <QtCore/QList>
#include <QtCore/QRect>

#include <optional>

class QWidget;
class ZPHSharingPluginCommand;

// What the sharing popover and the commands ask of the main window: the
// item it presents (the selected article), how it runs a command on it, and
// where its share control is. The main window controller answers it.
class ZPHSharingHost {
public:
  virtual ~ZPHSharingHost();

  // The item the share menus and the popover act on; none when nothing is
  // selected.
  virtual std::optional<CBSharableItem> presentedSharableItemForSharing() const = 0;
  // Runs the command on the presented item from the view that shows it.
  virtual void performSharingPluginCommandWithPluginCommand(ZPHSharingPluginCommand* command) = 0;
  // The toolbar's share control: popovers for the presented item point at
  // it. Null when the toolbar shows none.
  virtual QWidget* presentedSharableItemPopoverRelativeView() const = 0;
  // Shows the sharing popover at the share control (the read-later command
  // asks again for a login there).
  virtual void presentSharingPopOver() = 0;

  // Whether the command acts on the presented item.
  bool validateSharingPluginCommand(const ZPHSharingPluginCommand* command) const;
};

// What a view controller that hosts sharable content answers so that a
// command run from it points its popover at the element clicked: the view
// to anchor to (null: none, the command's view serves) and the rectangle in
// it.
class CBUserInterfaceContextControllerPopoverViewDelegate {
public:
  virtual ~CBUserInterfaceContextControllerPopoverViewDelegate();
  virtual QWidget* pluginCommandPopoverRelativeView(ZPHSharingPluginCommand* command) = 0;
  virtual QRect pluginCommandPopoverPositioningRectRelativeOfView(ZPHSharingPluginCommand* command, QWidget* view) = 0;
};
