#include "sharing/ZPHSharing.h"

#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingMenuBuilder.h"
#include "sharing/ZPHSharingPluginCommand.h"
#include "sharing/ZPHSharingPopoverViewController.h"

#include <QtCore/QPointer>
#include <QtWidgets/QMenu>

int ZPHSharing::addSharingCommandsToMenu(QMenu* menu, const CBSharableItem& item, QWidget* view,
                                         QObject* viewController)
{
  if (menu == nullptr)
    return 0;
  ZPHPluginManager* manager = ZPHPluginManager::sharedManager();
  QPointer<QWidget> anchor(view);
  QPointer<QObject> controller(viewController);
  const int added = ZPHSharingMenuBuilder::addCommandsToMenu(
      ZPHSharingMenuBuilder::commandList(*manager), menu, item,
      [manager, item, anchor, controller](ZPHSharingPluginCommand* command) {
        if (!command->validateWithItems({item}))
          return;
        // Without a view controller, the context finds the one around the
        // view.
        manager->runPluginCommand(command, {item}, controller, anchor, nullptr, CBUserInterfaceContext::currentEvent(),
                                  nullptr);
      });
  for (QAction* action : menu->actions()) {
    if (ZPHPluginManager::associatedPluginCommandForMenuItem(action) == nullptr)
      continue;
    ZPHPluginManager::associateMenuItemWithView(action, view);
    ZPHPluginManager::associateMenuItemWithViewController(action, viewController);
  }
  return added;
}

bool ZPHSharing::toggleSharingPopover(const CBSharableItem& item, QWidget* anchor, const QRect& rect)
{
  return ZPHSharingPopoverViewController::sharingPopoverViewController()->togglePopoverForItem(item, anchor, rect);
}
