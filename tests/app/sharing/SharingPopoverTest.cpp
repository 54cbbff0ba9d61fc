// The sharing popover over the program's registered plug-ins: its rows and
// their groups, its height, menu-like hovering, and what choosing a row does.

#include "app/sharing/SharingTestSupport.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/ZPHFakeMenuTableView.h"
#include "sharing/ZPHPluginCommandSendToInstapaper.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharing.h"
#include "sharing/ZPHSharingPluginCommand.h"
#include "sharing/ZPHSharingPopoverViewController.h"

#include <QtTest/QTest>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolButton>

#include <gtest/gtest.h>

namespace {

QStringList rowTitles(const ZPHSharingPopoverViewController& popover)
{
  QStringList titles;
  for (ZPHSharingPluginCommand* command : popover.sharingPluginArray())
    titles.append(command != nullptr ? command->title() : QStringLiteral("-"));
  return titles;
}

QPoint centerOfRow(ZPHSharingPopoverTableView* table, int row)
{
  return table->visualRect(table->model()->index(row, 0)).center();
}

}  // namespace

TEST(SharingPopover, ListsTheShareMenusGroupsAndChoosesLikeAMenu)
{
  SharingTestEnvironment::shared();
  ScopedPasswordStore secrets;
  ZPHPluginCommandSendToInstapaper::setSavedUsername(QString());
  SharingURLRecorder desktop;
  QWidget window;
  window.resize(500, 400);
  window.show();
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();
  popover->rebuildList();

  const QStringList titles = rowTitles(*popover);
  EXPECT_EQ(titles, (QStringList{"Mail Link", "Share on Facebook", "Share on Twitter", "-", "Save to Instapaper", "-",
                                 "Send to Notes"}));
  // The browsers are registered, yet never rows.
  EXPECT_FALSE(ZPHPluginManager::sharedManager()->commandsOfType(ZPHSharingPluginCommand::OpenInBrowser).isEmpty());
  EXPECT_EQ(popover->preferredRect().height(), 5 * 26 + 2 * 13 + 4);

  // A link that is no web address: the web pages' rows are grey.
  const CBSharableItem tag = CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("tag:example.com,2024:1")));
  ASSERT_TRUE(popover->togglePopoverForItem(tag, &window));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return popover->tableView()->isVisible(); }));
  EXPECT_EQ(popover->popover()->height(), popover->preferredRect().height());
  ZPHSharingPopoverTableView* table = popover->tableView();
  const int facebook = int(titles.indexOf(QStringLiteral("Share on Facebook")));
  const int separator = int(titles.indexOf(QStringLiteral("-")));
  const int mail = int(titles.indexOf(QStringLiteral("Mail Link")));
  for (int row : {facebook, separator}) {
    QTest::mouseMove(table->viewport(), centerOfRow(table, row));
    ZPHTestSpinEventLoop(20);
    EXPECT_EQ(table->selectedRow(), -1) << row;
  }
  QTest::mouseMove(table->viewport(), centerOfRow(table, mail));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return table->selectedRow() == mail; }, 2000));
  // Clicking a grey row does nothing and keeps the popover.
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centerOfRow(table, facebook));
  EXPECT_TRUE(popover->isShown());
  EXPECT_TRUE(desktop.opened.isEmpty());
  popover->closePopOver();

  // Mail closes the popover; read-later without a login stays on its login.
  const CBSharableItem page = CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/p")), QUrl(),
                                                                  QStringLiteral("Page"));
  ASSERT_TRUE(popover->togglePopoverForItem(page, &window));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return table->isVisible(); }));
  QTest::mouseMove(table->viewport(), centerOfRow(table, mail));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centerOfRow(table, mail));
  ASSERT_EQ(desktop.opened.size(), 1);
  EXPECT_EQ(desktop.opened.first().scheme(), QStringLiteral("mailto"));
  EXPECT_FALSE(popover->isShown());

  ASSERT_TRUE(popover->togglePopoverForItem(page, &window));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return table->isVisible(); }));
  const int readLater = int(titles.indexOf(QStringLiteral("Save to Instapaper")));
  EXPECT_EQ(popover->clearCredentialsButtonForRow(readLater), nullptr);
  QTest::mouseMove(table->viewport(), centerOfRow(table, readLater));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centerOfRow(table, readLater));
  EXPECT_TRUE(popover->isShown());
  auto* command = ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
  ASSERT_NE(command->instapaperLoginViewController(), nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    return popover->contentChildView() == command->instapaperLoginViewController()->view() &&
           command->instapaperLoginViewController()->view()->isVisible();
  }));
  EXPECT_FALSE(popover->showingShareMenu());
  popover->closePopOver();
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(command->instapaperLoginViewController(), nullptr);

  // With a login kept, the row has a button that forgets it and closes.
  ZPHPluginCommandSendToInstapaper::setSavedUsername(QStringLiteral("reader"));
  ASSERT_TRUE(popover->togglePopoverForItem(page, &window));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return table->isVisible(); }));
  QToolButton* clear = popover->clearCredentialsButtonForRow(readLater);
  ASSERT_NE(clear, nullptr);
  clear->click();
  EXPECT_FALSE(popover->isShown());
  EXPECT_TRUE(ZPHPluginCommandSendToInstapaper::savedUsername().isEmpty());
}

TEST(SharingPopover, TheShareSubmenuListsWhatCanActOnTheItem)
{
  SharingTestEnvironment::shared();
  QMenu menu;
  const CBSharableItem page = CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/p")), QUrl(),
                                                                  QStringLiteral("Page"));
  EXPECT_EQ(ZPHSharing::addSharingCommandsToMenu(&menu, page, nullptr), 5);
  QStringList entries;
  for (QAction* action : menu.actions()) entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
  EXPECT_EQ(entries, (QStringList{"Mail Link", "Share on Facebook", "Share on Twitter", "-", "Save to Instapaper", "-",
                                  "Send to Notes"}));
  // A link that is no web address: the web pages are not offered.
  QMenu other;
  ZPHSharing::addSharingCommandsToMenu(&other, CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("smb://h/s"))),
                                       nullptr);
  for (QAction* action : other.actions()) {
    EXPECT_NE(action->text(), QStringLiteral("Share on Facebook"));
    EXPECT_NE(action->text(), QStringLiteral("Share on Twitter"));
  }
}
