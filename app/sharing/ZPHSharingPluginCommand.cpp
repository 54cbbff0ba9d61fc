#include "sharing/ZPHSharingPluginCommand.h"

ZPHSharingPluginCommand::~ZPHSharingPluginCommand() = default;

QUrl ZPHSharingPluginCommand::addressOfItem(const CBSharableItem& item)
{
  return item.permalink().isEmpty() ? item.URL() : item.permalink();
}

bool ZPHSharingPluginCommand::validateOneItemWithAddress(const QList<CBSharableItem>& items)
{
  return items.size() == 1 && (!items.first().URL().isEmpty() || !items.first().permalink().isEmpty());
}
