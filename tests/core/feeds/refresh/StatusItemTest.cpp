#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"
#include "feeds/refresh/ZPHStatusItem.h"

#include <gtest/gtest.h>

TEST(StatusItem, FactoriesFillTheItem)
{
  auto spinner = ZPHStatusItem::statusItemWithLocalizedDescription(
      QStringLiteral("Refreshing"), QStringLiteral("com.fernhollow.zephlin.status.refreshingFeeds"),
      ZPHStatusItemTypeIndeterminateProgress);
  EXPECT_EQ(spinner->localizedDescription(), QStringLiteral("Refreshing"));
  EXPECT_EQ(spinner->identifier(), QStringLiteral("com.fernhollow.zephlin.status.refreshingFeeds"));
  EXPECT_EQ(spinner->statusItemType(), ZPHStatusItemTypeIndeterminateProgress);
  EXPECT_TRUE(spinner->error().isNull());
  EXPECT_TRUE(spinner->description().startsWith(QStringLiteral("ZPHStatusItem(0x")));
  EXPECT_TRUE(
      spinner->description().endsWith(QStringLiteral(" (Refreshing, com.fernhollow.zephlin.status.refreshingFeeds)")));

  const ZPHError offline(QStringLiteral("ZPHErrors"), 1, {});
  auto error = ZPHStatusItem::statusItemWithLocalizedDescription(
      QStringLiteral("No Internet Connection"),
      QStringLiteral("com.fernhollow.zephlin.status.networkConnectivityStatus"), offline);
  EXPECT_EQ(error->statusItemType(), ZPHStatusItemTypeError);
  EXPECT_EQ(error->error(), offline);
}

TEST(StatusItem, SubclassFactoryMakesTheSubclassAndReportsProgress)
{
  auto item = ZPHDeterminateProgressStatusItem::determinateProgressStatusItemWithLocalizedDescription(
      QStringLiteral("Importing"), QStringLiteral("import"));
  EXPECT_EQ(item->statusItemType(), ZPHStatusItemTypeDeterminateProgress);
  EXPECT_TRUE(item->description().startsWith(QStringLiteral("ZPHDeterminateProgressStatusItem(0x")));
  std::shared_ptr<ZPHStatusItem> asBase = ZPHDeterminateProgressStatusItem::statusItemWithLocalizedDescription(
      QStringLiteral("Importing"), QStringLiteral("import"), ZPHStatusItemTypeIndeterminateProgress);
  EXPECT_NE(dynamic_cast<ZPHDeterminateProgressStatusItem*>(asBase.get()), nullptr);

  QList<double> seen;
  QObject::connect(item.get(), &ZPHDeterminateProgressStatusItem::progressValueChanged,
                   [&](double value) { seen.append(value); });
  item->setProgressValue(0.25);
  item->setProgressValue(1.0);
  EXPECT_EQ(seen, (QList<double>{0.25, 1.0}));
  EXPECT_EQ(item->progressValue(), 1.0);
}
