#include "sharing/ZPHSharingHost.h"

#include "sharing/ZPHSharingPluginCommand.h"

ZPHSharingHost::~ZPHSharingHost() = default;

bool ZPHSharingHost::validateSharingPluginCommand(const ZPHSharingPluginCommand* command) const
{
  if (command == nullptr)
    return false;
  const std::optional<CBSharableItem> item = presentedSharableItemForSharing();
  return command->validateWithItems(item.has_value() ? QList<CBSharableItem>{*item} : QList<CBSharableItem>{});
}

CBUserInterfaceContextControllerPopoverViewDelegate::~CBUserInterfaceContextControllerPopoverViewDelegate() = default;
