#include "browser/ZPHTab.h"

#include "platform/ZPHNotificationCenter.h"

const QString ZPHTabsTableViewControllerTabsNeedsDisplayNotification =
    QStringLiteral("ZPHTabsTableViewControllerTabsNeedsDisplayNotification");
const QString ZPHShouldUpdateNewsItemsThumbnailKey = QStringLiteral("shouldUpdateNewsItemsThumbnail");

ZPHTab::~ZPHTab() = default;

void ZPHTab::markSelfAsNeedingRedisplay(bool shouldUpdateNewsItemsThumbnail)
{
  QVariantMap userInfo;
  if (!shouldUpdateNewsItemsThumbnail)
    userInfo.insert(ZPHShouldUpdateNewsItemsThumbnailKey, false);
  ZPHNotificationCenter::defaultCenter().post(ZPHTabsTableViewControllerTabsNeedsDisplayNotification,
                                              QVariant::fromValue<QObject*>(this), userInfo);
}
