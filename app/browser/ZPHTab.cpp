#include "browser/ZPHTab.h"

#include "platform/ZPHNotificationCenter.h"

ZPHTab::~ZPHTab() = default;

void ZPHTab::markSelfAsNeedingRedisplay(bool shouldUpdateNewsItemsThumbnail)
{
  QVariantMap userInfo;
  if (!shouldUpdateNewsItemsThumbnail)
    userInfo.insert(ZPHShouldUpdateNewsItemsThumbnailKey, false);
  ZPHNotificationCenter::defaultCenter().post(ZPHTabsTableViewControllerTabsNeedsDisplayNotification,
                                              QVariant::fromValue<QObject*>(this), userInfo);
}
