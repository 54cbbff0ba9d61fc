#include "SubscriptionsAppFixture.h"

#include "common/ZPHApplicationNotifications.h"
#include "subscribe/CBDefaultFeedManager.h"
#include "subscriptions/ZPHAddFolderWindowController.h"
#include "subscriptions/ZPHAddSiteOrFolderTextView.h"
#include "subscriptions/ZPHAddSitePopularSitesContentViewController.h"
#include "subscriptions/ZPHAddSiteSubscriptionListTableView.h"
#include "subscriptions/ZPHAddSiteWindowController.h"
#include "subscriptions/ZPHModelAdditions.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtTest/QTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QPushButton>

namespace {

class PopularSites : public SubscriptionsAppFixture {
protected:
  void SetUp() override
  {
    SubscriptionsAppFixture::SetUp();
    // Three news sites (one of them /a.xml, subscribed), two tech sites,
    // and a category of only subscribed ones.
    QJsonArray feeds;
    const auto add = [&](const char* category, const char* name, const QString& path) {
      serveFeed(path, name);
      feeds.append(QJsonObject{{QStringLiteral("category"), QString::fromLatin1(category)},
                               {QStringLiteral("name"), QString::fromLatin1(name)},
                               {QStringLiteral("rss"), server.url(path).toString()},
                               {QStringLiteral("home"), server.url(QStringLiteral("/")).toString()},
                               {QStringLiteral("description"), QStringLiteral("About ") + QString::fromLatin1(name)}});
    };
    add("news", "Zulu News", QStringLiteral("/zulu.xml"));
    add("news", "Alpha", QStringLiteral("/a.xml"));
    add("news", "Yankee News", QStringLiteral("/yankee.xml"));
    add("tech", "Tech One", QStringLiteral("/t1.xml"));
    add("tech", "Tech Two", QStringLiteral("/t2.xml"));
    add("done", "Alpha Again", QStringLiteral("/a.xml"));
    const QJsonObject catalogue{
        {QStringLiteral("categories"), QJsonObject{{QStringLiteral("news"), QStringLiteral("News")},
                                                   {QStringLiteral("tech"), QStringLiteral("technology")},
                                                   {QStringLiteral("done"), QStringLiteral("Done")}}},
        {QStringLiteral("feeds"), feeds}};
    cataloguePath = dir.writeFile(QStringLiteral("catalogue.json"), QJsonDocument(catalogue).toJson());
    seedStore();
  }

  QString cataloguePath;
};

std::optional<CBDefaultFeedEntry> entryNamed(const ZPHAddSitePopularSitesContentViewController* pane,
                                             const QString& name)
{
  for (const QString& category : pane->categoryNames()) {
    for (const CBDefaultFeedEntry& entry : pane->entriesOfCategory(category)) {
      if (entry.name() == name)
        return entry;
    }
  }
  return std::nullopt;
}

}  // namespace

TEST(PopularSitesRules, CategoryStatesFromCounts)
{
  struct Case {
    int addable;
    int checked;
    int added;
    int state;
  };
  const Case cases[] = {
      {3, 0, 0, ZPHAddSiteCellStateUnchecked},     {3, 3, 0, ZPHAddSiteCellStateChecked},
      {3, 1, 0, ZPHAddSiteCellStateHeaderOrMixed}, {2, 2, 1, ZPHAddSiteCellStateChecked},
      {2, 0, 1, ZPHAddSiteCellStateUnchecked},     {0, 0, 3, ZPHAddSiteCellStateNothingToAdd},
      {0, 0, 0, ZPHAddSiteCellStateNothingToAdd},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHAddSitePopularSitesContentViewController::categoryCellState(c.addable, c.checked, c.added), c.state)
        << c.addable << " " << c.checked << " " << c.added;
}

TEST_F(PopularSites, CategoriesChecksAndRequestsInCatalogueOrder)
{
  start();
  CBDefaultFeedManager manager(cataloguePath);
  std::unique_ptr<ZPHAddSiteWindowController> owned = ZPHAddSiteWindowController::showingPopularSites();
  owned->setDefaultFeedManager(&manager);
  ZPHAddSiteWindowController* window = owned.get();
  bool ended = false;
  ASSERT_TRUE(commands->runAddSiteWindowController(std::move(owned), [&](const QList<CBFeed*>&) { ended = true; }));
  ZPHAddSitePopularSitesContentViewController* pane = window->popularSitesContentViewController();
  EXPECT_EQ(window->currentContentViewController(), pane);
  // Sorted ignoring case.
  EXPECT_EQ(pane->categoryNames(),
            (QStringList{QStringLiteral("Done"), QStringLiteral("News"), QStringLiteral("technology")}));
  EXPECT_FALSE(window->addSiteButton()->isEnabled());

  const std::optional<CBDefaultFeedEntry> alpha = entryNamed(pane, QStringLiteral("Alpha"));
  const std::optional<CBDefaultFeedEntry> zulu = entryNamed(pane, QStringLiteral("Zulu News"));
  const std::optional<CBDefaultFeedEntry> yankee = entryNamed(pane, QStringLiteral("Yankee News"));
  ASSERT_TRUE(alpha && zulu && yankee);
  EXPECT_EQ(pane->categoryCellStateForCategoryName(QStringLiteral("Done")), ZPHAddSiteCellStateNothingToAdd);
  EXPECT_EQ(pane->siteCellStateForEntry(*alpha), ZPHAddSiteCellStateAlreadyAdded);
  ZPHAddSiteTableCellView* alphaRow = pane->rowForEntry(*alpha);
  ASSERT_NE(alphaRow, nullptr);
  EXPECT_FALSE(alphaRow->checkbox()->isEnabled());
  EXPECT_EQ(alphaRow->folderChooserPopUpButton()->currentText(), "Already Added");
  ZPHAddSiteTableCellView* doneRow = pane->rowForCategory(QStringLiteral("Done"));
  EXPECT_FALSE(doneRow->checkbox()->isEnabled());
  EXPECT_EQ(doneRow->checkbox()->checkState(), Qt::Checked);

  // One of two addable sites: mixed; the category's box then checks both.
  QTest::mouseClick(pane->rowForEntry(*yankee), Qt::LeftButton);
  EXPECT_TRUE(pane->isChecked(*yankee));
  EXPECT_EQ(pane->categoryCellStateForCategoryName(QStringLiteral("News")), ZPHAddSiteCellStateHeaderOrMixed);
  ZPHAddSiteTableCellView* newsRow = pane->rowForCategory(QStringLiteral("News"));
  EXPECT_EQ(newsRow->checkbox()->checkState(), Qt::PartiallyChecked);
  EXPECT_TRUE(window->addSiteButton()->isEnabled());
  QTest::mouseClick(newsRow, Qt::LeftButton);
  EXPECT_TRUE(pane->isChecked(*zulu));
  EXPECT_EQ(pane->categoryCellStateForCategoryName(QStringLiteral("News")), ZPHAddSiteCellStateChecked);
  EXPECT_FALSE(pane->isChecked(*alpha));
  // Unchecking the category leaves the added one as it is.
  QTest::mouseClick(newsRow, Qt::LeftButton);
  EXPECT_FALSE(pane->isChecked(*zulu));
  EXPECT_FALSE(pane->isChecked(*yankee));
  EXPECT_EQ(pane->siteCellStateForEntry(*alpha), ZPHAddSiteCellStateAlreadyAdded);

  // A press dragged out of the row before it is let go changes nothing.
  ZPHAddSiteTableCellView* zuluRow = pane->rowForEntry(*zulu);
  QTest::mousePress(zuluRow, Qt::LeftButton);
  QMouseEvent move(QEvent::MouseMove, QPointF(-20, -20), zuluRow->mapToGlobal(QPointF(-20, -20)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(zuluRow, &move);
  QTest::mouseRelease(zuluRow, Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
  EXPECT_FALSE(pane->isChecked(*zulu));

  // The checked sites, in catalogue order, into the chosen folder.
  CBFolder* news = folderNamed(QStringLiteral("News"));
  pane->setEntryChecked(*yankee, true);
  pane->setEntryChecked(*zulu, true);
  pane->setTargetForEntry(*yankee, {account(), news});
  const ZPHSubscribeRequests requests = pane->subscribeRequestsForCheckedEntries();
  ASSERT_EQ(requests.size(), 2);
  EXPECT_EQ(requests.at(0)->feedURL().path(), "/zulu.xml");
  EXPECT_EQ(requests.at(0)->parentFolder(), nullptr);
  EXPECT_EQ(requests.at(1)->feedURL().path(), "/yankee.xml");
  EXPECT_EQ(requests.at(1)->parentFolder(), news);
  EXPECT_EQ(requests.at(1)->title(), "Yankee News");

  window->addSiteButton()->click();
  EXPECT_FALSE(window->addSiteButton()->isEnabled());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ended; }, 60000));
  app.settle();
  EXPECT_EQ(feedPathsIn(news), (QStringList{QStringLiteral("/a.xml"), QStringLiteral("/yankee.xml")}));
  EXPECT_NE(account()->feedWithURL(server.url(QStringLiteral("/zulu.xml"))), nullptr);
}

TEST_F(PopularSites, TheListIsAsHighAsItsFirstNineRowsLessOnePoint)
{
  start();
  // Two categories of six sites: fourteen rows.
  QJsonArray feeds;
  for (const char* category : {"one", "two"})
    for (int i = 0; i < 6; ++i)
      feeds.append(
          QJsonObject{{QStringLiteral("category"), QString::fromLatin1(category)},
                      {QStringLiteral("name"), QStringLiteral("%1 %2").arg(QString::fromLatin1(category)).arg(i)},
                      {QStringLiteral("rss"),
                       server.url(QStringLiteral("/%1-%2.xml").arg(QString::fromLatin1(category)).arg(i)).toString()},
                      {QStringLiteral("home"), server.url(QStringLiteral("/")).toString()},
                      {QStringLiteral("description"), QStringLiteral("A site")}});
  const QJsonObject catalogue{
      {QStringLiteral("categories"),
       QJsonObject{{QStringLiteral("one"), QStringLiteral("One")}, {QStringLiteral("two"), QStringLiteral("Two")}}},
      {QStringLiteral("feeds"), feeds}};
  CBDefaultFeedManager many(dir.writeFile(QStringLiteral("many.json"), QJsonDocument(catalogue).toJson()));
  CBDefaultFeedManager nine(cataloguePath);
  CBDefaultFeedManager none(dir.writeFile(QStringLiteral("none.json"), "{}"));
  const auto heightOfRows = [](ZPHAddSitePopularSitesContentViewController& pane, int count) {
    int height = 0;
    for (int i = 0; i < count; ++i) height += pane.tableView()->rows().at(i)->sizeHint().height();
    return height;
  };

  ZPHAddSitePopularSitesContentViewController longList(&many);
  longList.view();
  ASSERT_EQ(longList.tableView()->numberOfRows(), 14);
  // Nine rows less a point, and the pane's border below them.
  EXPECT_EQ(longList.contentSize(), QSize(480, heightOfRows(longList, 9) - 1 + 1));
  EXPECT_GT(longList.contentSize().height(), heightOfRows(longList, 8) + 1);

  ZPHAddSitePopularSitesContentViewController exactlyNine(&nine);
  exactlyNine.view();
  ASSERT_EQ(exactlyNine.tableView()->numberOfRows(), 9);
  EXPECT_EQ(exactlyNine.contentSize().height(), heightOfRows(exactlyNine, 9));

  ZPHAddSitePopularSitesContentViewController empty(&none);
  empty.view();
  ASSERT_EQ(empty.tableView()->numberOfRows(), 0);
  EXPECT_EQ(empty.contentSize().height(), ZPHAddSitePopularSitesContentViewController::EmptyListHeight + 1);
}

TEST_F(PopularSites, TheNewFolderSheetMakesAFolderWhereTheSelectionIs)
{
  start();
  CBFolder* news = folderNamed(QStringLiteral("News"));
  ASSERT_NE(news, nullptr);
  CBFolder* inner = account()->addFolderWithName(QStringLiteral("Inner"), news);
  CBFolder* deepest = account()->addFolderWithName(QStringLiteral("Deepest"), inner);
  app.settle();
  // The menu: the account, its folders one level deeper per depth.
  QList<std::pair<QString, int>> levels;
  for (const ZPHFolderMenuItem& item : ZPHGenerateMenuOfAllModifiableFolders())
    if (!item.isSeparator)
      levels.append({item.title, item.indentationLevel});
  ASSERT_EQ(levels.size(), 4);
  EXPECT_EQ(levels.at(1), (std::pair<QString, int>{QStringLiteral("News"), 1}));
  EXPECT_EQ(levels.at(2), (std::pair<QString, int>{QStringLiteral("Inner"), 2}));
  EXPECT_EQ(levels.at(3), (std::pair<QString, int>{QStringLiteral("Deepest"), 3}));

  // A feed in News selected: the sheet opens on News.
  CBFeed* alpha = account()->feedWithURL(server.url(QStringLiteral("/a.xml")));
  sourceList()->refreshDataCacheReloadDataAndSelectObject(alpha, true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ZPHTargetOfSelectedTreeNode().folder == news; }, 10000));

  int posted = 0;
  QString postedName;
  ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFolderAddedNotification, QVariant(), [&](const ZPHNotification& notification) {
        ++posted;
        postedName = notification.userInfo.value(CBNameKey).toString();
      });
  commands->addFolder();
  ZPHAddFolderWindowController* sheet = commands->addFolderWindowController();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(ZPHFolderTargetAtIndex(sheet->folderPopupButton(), sheet->folderPopupButton()->currentIndex()),
            (ZPHFolderTarget{account(), news}));
  EXPECT_TRUE(sheet->folderPopupButton()->toolTip().contains(QLatin1String("News")));
  EXPECT_FALSE(sheet->addButton()->isEnabled());
  // Return without a name beeps and keeps the sheet.
  const int beeps = app.beeps;
  QTest::keyClick(sheet->folderNameTextView(), Qt::Key_Return);
  EXPECT_TRUE(sheet->window()->isVisible());
  EXPECT_EQ(posted, 0);
  Q_UNUSED(beeps);
  // The name as typed, spaces and all.
  QTest::keyClicks(sheet->folderNameTextView(), QStringLiteral(" Weekend "));
  EXPECT_TRUE(sheet->addButton()->isEnabled());
  QTest::keyClick(sheet->folderNameTextView(), Qt::Key_Return);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return posted == 1; }, 10000));
  EXPECT_EQ(postedName, " Weekend ");
  EXPECT_FALSE(sheet->window()->isVisible());
  CBFolder* weekend = folderNamed(QStringLiteral(" Weekend "));
  ASSERT_NE(weekend, nullptr);
  EXPECT_EQ(weekend->parent(), news);
  // It is selected.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return ZPHTargetOfSelectedTreeNode().folder == weekend; }, 10000));

  // No folder made: nothing posted.
  commands->addFolder();
  sheet = commands->addFolderWindowController();
  sheet->folderPopupButton()->clear();
  sheet->setFolderName(QStringLiteral("Nowhere"));
  sheet->createFolder();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !sheet->window()->isVisible(); }, 10000));
  app.settle();
  EXPECT_EQ(posted, 1);
  EXPECT_EQ(folderNamed(QStringLiteral("Nowhere")), nullptr);
  Q_UNUSED(deepest);
}
