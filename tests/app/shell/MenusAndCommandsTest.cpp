// The menu bar and the application's commands in the running application:
// every key of both shortcut sets reaches a command, items follow their
// commands, the View menu switches the layout, the sort marks, the Site
// menu's merge, closing all tabs and exporting them, the unread badge, the
// offer to become the default feed reader; and the feedback mail with the
// system profile, the machine identifier and the progress window.

#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHArticleListSettings.h"
#include "articlelist/ZPHSearchField.h"
#include "browser/CBBrowserTextField.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHTabCommands.h"
#include "browser/ZPHTabsController.h"
#include "common/ZPHDesktopEntries.h"
#include "common/ZPHFeedbackProgressWindowController.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHKeyMappingController.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "preferences/ZPHPreferenceWindowController.h"
#include "shell/ZPHApplicationCommands.h"
#include "shell/ZPHDockIconController.h"
#include "shell/ZPHFeedbackMailer.h"
#include "shell/ZPHMainMenuController.h"
#include "shell/ZPHSystemProfile.h"
#include "sourcelist/ZPHSourceListView.h"
#include "sourcelist/ZPHSourceListViewController.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QUrlQuery>
#include <QtGui/QAction>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QUndoStack>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

namespace {

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

QStringList keySetSelectors(const QString& name)
{
  QFile file(QStringLiteral(":/KeyMappings/%1.json").arg(name));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("Mappings")).toObject().keys();
}

class MenusAndCommandsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    for (const QString& key :
         {ZPHContentLayoutMode, ZPHSubscriptionsSortOrderKey, ZPHSortInGroupsOnly,
          ZPHSuppressDefaultAggregatorPromptKey, ZPHDisplayCloseAllTabsWarningSheet, ZPHUnreadCountSelection})
      defaults().removeObject(key);
  }
  void TearDown() override { app.stop(); }

  void start()
  {
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    window = app.delegate->mainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return window->isVisible(); }));
    window->activateWindow();
    menus = app.delegate->mainMenuController();
    commands = app.delegate->applicationCommands();
    controller = app.delegate->mainWindowController();
  }

  QAction* item(const QString& selector) const { return menus->itemForSelector(selector); }
  // What the item's menu shows as it opens.
  void open(const QString& selector)
  {
    QAction* action = item(selector);
    ASSERT_NE(action, nullptr) << selector.toStdString();
    for (QMenu* menu : menus->menuBar()->findChildren<QMenu*>())
      if (menu->actions().contains(action))
        Q_EMIT menu->aboutToShow();
  }

  ZPHTestTempDir dir;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  QMainWindow* window = nullptr;
  ZPHMainMenuController* menus = nullptr;
  ZPHApplicationCommands* commands = nullptr;
  ZPHMainWindowController* controller = nullptr;
};

TEST_F(MenusAndCommandsTest, EveryKeyOfBothSetsReachesACommand)
{
  ASSERT_NO_FATAL_FAILURE(start());
  EXPECT_EQ(window->menuBar(), menus->menuBar());
  QStringList selectors = keySetSelectors(QStringLiteral("Zephlin 4"));
  for (const QString& selector : keySetSelectors(QStringLiteral("Zephlin 3")))
    if (!selectors.contains(selector))
      selectors.append(selector);
  for (const QString& name : {ZPHKeyMappingController::Zephlin3SetName, ZPHKeyMappingController::Zephlin4SetName}) {
    defaults().setString(ZPHKeyMapSetName, name);
    ASSERT_TRUE(
        ZPHTestWaitUntil([&] { return ZPHKeyMappingController::sharedMappingController()->keySetName() == name; }));
    for (const QString& selector : selectors) {
      SCOPED_TRACE((name + u' ' + selector).toStdString());
      // Every selector has a menu item.
      ASSERT_NE(item(selector), nullptr);
      // The key is on the command, or, while no command of the window or the
      // application owns the selector, on the item, which sends it down the
      // chain.
      QAction* command = app.delegate->commandAction(selector);
      if (command == nullptr)
        command = controller->commandAction(selector);
      QAction* carrier = command != nullptr ? command : item(selector);
      // Ctrl+W closes the window while no browser tab is open: the key sits
      // on Close Window then, and moves to Close Tab with the tabs.
      if (selector == QLatin1String("closeTab:") && carrier->shortcut().isEmpty())
        carrier = app.delegate->commandAction(QStringLiteral("performClose:"));
      EXPECT_FALSE(carrier->shortcut().isEmpty());
      EXPECT_EQ(menus->keyCarryingItems().contains(item(selector)), command == nullptr);
    }
  }
  // The commands this work adds are all there.
  for (const char* selector :
       {"gotoAllUnread:", "gotoToday:", "gotoBookmarks:", "gotoFavorites:", "hideSourceList:", "toggleFullScreen:",
        "openPreferencesWindow:", "selectFind:", "showReaderWindow:", "toggleHideReadArticles:"})
    EXPECT_NE(app.delegate->commandAction(QString::fromLatin1(selector)), nullptr) << selector;
}

TEST_F(MenusAndCommandsTest, EveryItemOfTheMenuBarReachesACommand)
{
  ASSERT_NO_FATAL_FAILURE(start());
  // Every item of the bar, its submenus' too, with the menu it sits in.
  QList<std::pair<QString, QString>> items;
  std::function<void(const QString&, const QList<ZPHMainMenuController::Item>&)> walk =
      [&](const QString& menu, const QList<ZPHMainMenuController::Item>& entries) {
        for (const ZPHMainMenuController::Item& entry : entries) {
          if (!entry.selector.isEmpty())
            items.append({menu, entry.selector});
          walk(menu + u'/' + entry.title, entry.submenu);
        }
      };
  for (const ZPHMainMenuController::Menu& menu : ZPHMainMenuController::menuBarData()) walk(menu.title, menu.items);
  ASSERT_GT(items.size(), 50);

  // What answers an item: a command found through the window's chain from
  // the focus; the items of a browser tab's page from inside the tab.
  const auto answers = [&](const QString& selector, QWidget* focus) {
    return controller->responderChain().actionForSelector(selector, focus) != nullptr;
  };
  QWidget* sourceList = controller->sourceListViewController()->sourceListOutlineView();
  sourceList->setFocus(Qt::OtherFocusReason);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return window->focusWidget() == sourceList; }));
  QStringList unanswered;
  for (const auto& [menu, selector] : items)
    if (!answers(selector, sourceList))
      unanswered.append(selector);

  ZPHTabsController* tabs = app.delegate->tabCommands()->tabsController();
  ASSERT_NE(tabs, nullptr);
  app.delegate->openNewTabInInternalBrowser();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->currentBrowserViewController() != nullptr; }));
  QWidget* inTab = tabs->currentBrowserViewController()->addressField();
  for (const auto& [menu, selector] : items) {
    SCOPED_TRACE((menu + u' ' + selector).toStdString());
    if (unanswered.contains(selector))
      EXPECT_TRUE(answers(selector, inTab)) << "no command answers the item";
    else
      EXPECT_TRUE(answers(selector, inTab) || answers(selector, sourceList));
  }
}

TEST_F(MenusAndCommandsTest, KeysRunTheirCommandsThroughTheChain)
{
  ASSERT_NO_FATAL_FAILURE(start());
  // Zephlin 4: Ctrl+Alt+3 goes to Bookmarks (row 3) and focuses the list.
  QTest::keyClick(window->windowHandle(), Qt::Key_3, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(controller->sourceListViewController()->selectedRows(), QList<int>{3});
  // Ctrl+, opens the preferences.
  QTest::keyClick(window->windowHandle(), Qt::Key_Comma, Qt::ControlModifier);
  ASSERT_NE(commands->preferenceWindowController(), nullptr);
  EXPECT_TRUE(commands->preferenceWindowController()->window()->isVisible());
  commands->preferenceWindowController()->window()->close();

  // Back and Forward are the window's: their commands hold the keys and
  // the items only show them.
  for (const QString& selector : {QStringLiteral("goBack:"), QStringLiteral("goForward:")}) {
    ASSERT_NE(controller->commandAction(selector), nullptr) << selector.toStdString();
    EXPECT_FALSE(menus->keyCarryingItems().contains(item(selector)));
    EXPECT_EQ(item(selector)->shortcutContext(), Qt::WidgetShortcut);
  }
  QAction* goBack = controller->commandAction(QStringLiteral("goBack:"));
  EXPECT_EQ(goBack->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
  // On the news items there is nowhere to go back to: off in its menu.
  open(QStringLiteral("goBack:"));
  EXPECT_FALSE(item(QStringLiteral("goBack:"))->isEnabled());
  // In a browser tab it is on, and its key runs it once: back from the
  // tab's first page shows the news items again.
  ZPHTabsController* tabs = app.delegate->tabCommands()->tabsController();
  app.delegate->openNewTabInInternalBrowser();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !tabs->isNewsItemsTabSelected(); }));
  open(QStringLiteral("goBack:"));
  EXPECT_TRUE(item(QStringLiteral("goBack:"))->isEnabled());
  int back = 0;
  QObject::connect(goBack, &QAction::triggered, window, [&] { ++back; });
  controller->validateCommands();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  QTest::keyClick(window->windowHandle(), Qt::Key_BracketLeft, Qt::ControlModifier);
  EXPECT_EQ(back, 1);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return tabs->isNewsItemsTabSelected(); }));
}

TEST_F(MenusAndCommandsTest, AMenuClosedWithEscapeLeavesEveryKeyToItsOneCommand)
{
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  // A step to undo, and the keys that reach a command counted: Ctrl+Z (the
  // window's) and Ctrl+Alt+2 (the application's).
  struct Step : QUndoCommand {
    int* undone;
    explicit Step(int* count) : QUndoCommand(QStringLiteral("Step")), undone(count) {}
    void undo() override { ++*undone; }
  };
  int undone = 0;
  controller->undoManager()->push(new Step(&undone));
  controller->undoManager()->push(new Step(&undone));
  int today = 0;
  QObject::connect(app.delegate->commandAction(QStringLiteral("gotoToday:")), &QAction::triggered, window,
                   [&] { ++today; });
  // Both menus have shown their items' keys once.
  open(QStringLiteral("undo:"));
  open(QStringLiteral("gotoToday:"));
  QMenuBar* bar = menus->menuBar();
  QMenu* edit = menus->menuNamed(QStringLiteral("editMenu"));
  ASSERT_NE(edit, nullptr);
  // Opened with a click and closed with Escape: the bar keeps the focus
  // for its own keys, and no item may answer a key its command holds.
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit->menuAction()).center());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return edit->isVisible(); }));
  QTest::keyClick(edit, Qt::Key_Escape);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !edit->isVisible(); }));
  QWidget* focus = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window;
  for (int press = 1; press <= 2; ++press) {
    QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_2, Qt::ControlModifier | Qt::AltModifier);
  }
  EXPECT_EQ(undone, 2);
  EXPECT_EQ(today, 2);
  // The items still show their keys.
  open(QStringLiteral("undo:"));
  EXPECT_TRUE(item(QStringLiteral("undo:"))
                  ->text()
                  .endsWith(u'\t' + QKeySequence(Qt::CTRL | Qt::Key_Z).toString(QKeySequence::NativeText)))
      << item(QStringLiteral("undo:"))->text().toStdString();
}

TEST_F(MenusAndCommandsTest, F11IsFullScreenAndTheEditMenuCutsCopiesPastesAndSelectsAll)
{
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  // F11 belongs to full screen alone, in both sets, beside the set's key.
  for (const QString& name : {ZPHKeyMappingController::Zephlin3SetName, ZPHKeyMappingController::Zephlin4SetName}) {
    defaults().setString(ZPHKeyMapSetName, name);
    ASSERT_TRUE(
        ZPHTestWaitUntil([&] { return ZPHKeyMappingController::sharedMappingController()->keySetName() == name; }));
    QStringList holders;
    for (QAction* action : window->findChildren<QAction*>() + app.delegate->findChildren<QAction*>() +
                               controller->findChildren<QAction*>())
      if (action->shortcuts().contains(QKeySequence(Qt::Key_F11)) && !holders.contains(action->objectName()))
        holders.append(action->objectName());
    EXPECT_EQ(holders, QStringList{QStringLiteral("toggleFullScreen:")}) << name.toStdString();
    EXPECT_EQ(app.delegate->commandAction(QStringLiteral("toggleFullScreen:"))->shortcuts().size(), 2);
  }
  QTest::keyClick(window->windowHandle(), Qt::Key_F11);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return window->isFullScreen(); }));
  QTest::keyClick(window->windowHandle(), Qt::Key_F11);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !window->isFullScreen(); }));
  open(QStringLiteral("toggleFullScreen:"));
  EXPECT_TRUE(item(QStringLiteral("toggleFullScreen:"))->text().endsWith(QStringLiteral("\tF11")))
      << item(QStringLiteral("toggleFullScreen:"))->text().toStdString();

  // The Edit menu's items on the field with the focus; their keys stay the
  // field's.
  QMenu* edit = menus->menuNamed(QStringLiteral("editMenu"));
  QStringList titles;
  for (QAction* action : edit->actions())
    titles.append(action->isSeparator() ? QStringLiteral("-") : action->objectName());
  EXPECT_EQ(titles.mid(2, 5), (QStringList{"-", "cut:", "copy:", "paste:", "selectAll:"}));
  QLineEdit* field = controller->searchField();
  ASSERT_NE(field, nullptr);
  field->setFocus(Qt::OtherFocusReason);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return window->focusWidget() == field; }));
  QGuiApplication::clipboard()->clear();
  open(QStringLiteral("selectAll:"));
  for (const char* selector : {"cut:", "copy:", "paste:", "selectAll:"})
    EXPECT_FALSE(item(QString::fromLatin1(selector))->isEnabled()) << selector;  // an empty field
  field->setText(QStringLiteral("harbor"));
  open(QStringLiteral("selectAll:"));
  EXPECT_TRUE(item(QStringLiteral("selectAll:"))->isEnabled());
  EXPECT_FALSE(item(QStringLiteral("copy:"))->isEnabled());
  EXPECT_TRUE(item(QStringLiteral("selectAll:"))
                  ->text()
                  .endsWith(u'\t' + QKeySequence(QKeySequence::SelectAll).toString(QKeySequence::NativeText)));
  item(QStringLiteral("selectAll:"))->trigger();
  EXPECT_EQ(field->selectedText(), QStringLiteral("harbor"));
  open(QStringLiteral("cut:"));
  EXPECT_TRUE(item(QStringLiteral("cut:"))->isEnabled());
  item(QStringLiteral("cut:"))->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("harbor"));
  EXPECT_TRUE(field->text().isEmpty());
  open(QStringLiteral("paste:"));
  item(QStringLiteral("paste:"))->trigger();
  item(QStringLiteral("paste:"))->trigger();
  EXPECT_EQ(field->text(), QStringLiteral("harborharbor"));
  // Ctrl+A and Ctrl+C in the field: the field's own, once.
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(field->selectedText(), QStringLiteral("harborharbor"));
  QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("harborharbor"));
  field->clear();
}

TEST_F(MenusAndCommandsTest, TheApplicationsKeysWorkWithPreferencesOrAnAddSiteSheetInFront)
{
  ASSERT_NO_FATAL_FAILURE(start());
  int addSites = 0;
  app.delegate->seams().addSite = [&](const QString&, bool, bool) { ++addSites; };
  // The preferences in front: Ctrl+N adds a site, Ctrl+Shift+I imports;
  // Ctrl+W stays the preferences' own.
  commands->openPreferencesWindow();
  QPointer<QWidget> preferences = commands->preferenceWindowController()->window();
  ASSERT_TRUE(QTest::qWaitForWindowActive(preferences));
  QTest::keyClick(preferences->windowHandle(), Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(addSites, 1);
  preferences->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(preferences));
  QTest::keyClick(preferences->windowHandle(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
  auto* importSheet = window->findChild<QDialog*>(QStringLiteral("importSheet"));
  ASSERT_NE(importSheet, nullptr);
  importSheet->reject();
  preferences->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(preferences));
  QTest::keyClick(preferences->windowHandle(), Qt::Key_W, Qt::ControlModifier);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return preferences == nullptr || !preferences->isVisible(); }));
  EXPECT_TRUE(window->isVisible());

  // A sheet in front of the main window (as Add Site is): Ctrl+Q quits.
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  auto* sheet = new QDialog;
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  ASSERT_TRUE(app.delegate->runModalSheet(sheet, {}));
  ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
  QTest::keyClick(sheet->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(app.waitForExit());
}

TEST_F(MenusAndCommandsTest, WithoutATrayCtrlWClosesTabsAndNeverQuits)
{
  ASSERT_NO_FATAL_FAILURE(start());
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  ASSERT_EQ(controller->trayIcon(), nullptr);  // no tray on this desktop
  ASSERT_TRUE(controller->closingWindowEndsProgram());
  ZPHTabsController* tabs = controller->tabsController();
  QAction* closeWindow = app.delegate->commandAction(QStringLiteral("performClose:"));
  const QKeySequence ctrlShiftW(Qt::CTRL | Qt::SHIFT | Qt::Key_W);
  EXPECT_EQ(closeWindow->shortcut(), ctrlShiftW);
  // Two tabs, and Ctrl+W pressed more often than there are tabs: they
  // close, the program stays.
  app.delegate->openNewTabInInternalBrowser();
  app.delegate->openNewTabInInternalBrowser();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == 3; }));
  for (int press = 0; press < 4; ++press) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->windowHandle(), Qt::Key_W, Qt::ControlModifier);
    ZPHTestSpinEventLoop(20);
    EXPECT_EQ(closeWindow->shortcut(), ctrlShiftW);
  }
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == 1; }));
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(app.exitStatus.has_value());
  // Close Window has its own key, and closing the window quits.
  QTest::keyClick(window->windowHandle(), Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(app.waitForExit());
}

TEST_F(MenusAndCommandsTest, ItemsFollowTheirCommandsAndTheViewMenuSwitchesTheLayout)
{
  ASSERT_NO_FATAL_FAILURE(start());
  open(QStringLiteral("toggleHideReadSites:"));
  EXPECT_EQ(item(QStringLiteral("toggleHideReadSites:"))->text(), QStringLiteral("Hide Read Sites"));
  EXPECT_TRUE(item(QStringLiteral("toggleHideReadSites:"))->isEnabled());
  item(QStringLiteral("toggleHideReadSites:"))->trigger();
  EXPECT_TRUE(defaults().boolForKey(ZPHHideFeedsWithNoUnread));
  open(QStringLiteral("toggleHideReadSites:"));
  EXPECT_EQ(item(QStringLiteral("toggleHideReadSites:"))->text(), QStringLiteral("Show Read Sites"));

  // Without browser tabs, closing and exporting them are off; a new tab and
  // the column's pictures are not.
  for (const char* selector : {"closeAllTabs:", "exportTabs:"}) {
    open(QString::fromLatin1(selector));
    EXPECT_FALSE(item(QString::fromLatin1(selector))->isEnabled()) << selector;
  }
  for (const char* selector : {"newTab:", "toggleShowThumbnailsInTabs:"}) {
    open(QString::fromLatin1(selector));
    EXPECT_TRUE(item(QString::fromLatin1(selector))->isEnabled()) << selector;
  }

  // The layout, while the program runs.
  ZPHArticleListDelegate* list = controller->articleListDelegate();
  ASSERT_EQ(list->layoutMode(), 0);
  open(QStringLiteral("useClassicLayout:"));
  EXPECT_TRUE(item(QStringLiteral("useStandardLayout:"))->isChecked());
  item(QStringLiteral("useClassicLayout:"))->trigger();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list->layoutMode() == 1; }));
  open(QStringLiteral("useClassicLayout:"));
  EXPECT_TRUE(item(QStringLiteral("useClassicLayout:"))->isChecked());
  EXPECT_FALSE(item(QStringLiteral("useStandardLayout:"))->isChecked());
  item(QStringLiteral("useStandardLayout:"))->trigger();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list->layoutMode() == 0; }));

  // The source list hides and comes back, and the item says which.
  item(QStringLiteral("hideSourceList:"))->trigger();
  EXPECT_TRUE(commands->isSourceListHidden());
  open(QStringLiteral("hideSourceList:"));
  // The title, and after a tab the key it shows.
  EXPECT_EQ(item(QStringLiteral("hideSourceList:"))->text().section(u'\t', 0, 0), QStringLiteral("Show Source List"));
  item(QStringLiteral("hideSourceList:"))->trigger();
  EXPECT_FALSE(commands->isSourceListHidden());
  EXPECT_GE(controller->sourceListViewController()->view()->width(), ZPHSourceListViewController::MinimumSidebarWidth);
}

TEST_F(MenusAndCommandsTest, TheSortMarks)
{
  ASSERT_NO_FATAL_FAILURE(start());
  struct Case {
    qint64 order;
    bool inFolders;
    const char* checked;
    bool foldersChecked;
    bool foldersEnabled;
  };
  const QList<Case> cases = {
      {0, false, "sortByName:", false, true},        {0, true, "sortByName:", true, true},
      {1, true, "sortByManualOrder:", false, false}, {2, true, "sortByPublishDate:", true, true},
      {3, false, "sortByUnreadCount:", false, true}, {7, true, "sortByManualOrder:", true, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.order);
    defaults().setInteger(ZPHSubscriptionsSortOrderKey, test.order);
    defaults().setBool(ZPHSortInGroupsOnly, test.inFolders);
    open(QStringLiteral("sortByName:"));
    for (const char* selector : {"sortByName:", "sortByManualOrder:", "sortByPublishDate:", "sortByUnreadCount:"})
      EXPECT_EQ(item(QString::fromLatin1(selector))->isChecked(), QByteArray(selector) == test.checked) << selector;
    EXPECT_EQ(item(QStringLiteral("toggleSortInFolders:"))->isChecked(), test.foldersChecked);
    EXPECT_EQ(item(QStringLiteral("toggleSortInFolders:"))->isEnabled(), test.foldersEnabled);
  }
  // Choosing one sorts the source list that way.
  item(QStringLiteral("sortByUnreadCount:"))->trigger();
  EXPECT_EQ(defaults().integerForKey(ZPHSubscriptionsSortOrderKey), 3);
}

TEST_F(MenusAndCommandsTest, TheSiteMenuTakesTheSelectionsCommandsOnceEachTimeItOpens)
{
  ASSERT_NO_FATAL_FAILURE(start());
  CBFeed* feed = CBFeed::insertFeedWithURL(QUrl(QStringLiteral("https://example.com/feed")),
                                           app.delegate->mainThreadManagedObjectContext());
  app.data()->localAccount()->addFeed(feed);
  app.settle();
  ZPHSourceListViewController* sourceList = controller->sourceListViewController();
  sourceList->refreshDataCacheReloadDataAndSelectObject(static_cast<CBNode*>(feed), true);
  QMenu* site = menus->menuNamed(QStringLiteral("siteMenu"));
  ASSERT_NE(site, nullptr);
  const auto tagged = [&] {
    QStringList names;
    for (QAction* action : site->actions())
      if (action->data().toInt() == ZPHMainMenuController::SiteMenuItemTag)
        names.append(action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return names;
  };
  Q_EMIT site->aboutToShow();
  const QStringList first = tagged();
  EXPECT_TRUE(first.contains(QStringLiteral("renameEntry:")));
  EXPECT_TRUE(first.contains(QStringLiteral("openHomePageInBrowser:")));
  EXPECT_EQ(first.last(), QStringLiteral("-"));
  Q_EMIT site->aboutToShow();
  EXPECT_EQ(tagged(), first);
  // They follow the untagged separator after Refresh All.
  const QList<QAction*> actions = site->actions();
  const qsizetype refresh = actions.indexOf(item(QStringLiteral("refreshAll:")));
  ASSERT_GE(refresh, 0);
  EXPECT_TRUE(actions.at(refresh + 1)->isSeparator());
  EXPECT_EQ(actions.at(refresh + 2)->data().toInt(), ZPHMainMenuController::SiteMenuItemTag);
  // Another selection: its commands, once, as they are for it.
  sourceList->selectRow(1);
  Q_EMIT site->aboutToShow();
  const QStringList smart = tagged();
  EXPECT_EQ(smart.count(QStringLiteral("renameEntry:")), 1);
  for (QAction* action : site->actions())
    if (action->data().toInt() == ZPHMainMenuController::SiteMenuItemTag &&
        action->objectName() == QLatin1String("renameEntry:")) {
      EXPECT_FALSE(action->isEnabled());
    }
}

TEST_F(MenusAndCommandsTest, ClosingAllTabsAsksFirstAndExportingNamesAndWritesTheFile)
{
  ASSERT_NO_FATAL_FAILURE(start());
  struct TextCase {
    int tabs;
    QString message;
    QString button;
  };
  for (const TextCase& test :
       {TextCase{2, QStringLiteral("Are you sure you want to close the one open tab?"), QStringLiteral("Close Tab")},
        TextCase{5, QStringLiteral("Are you sure you want to close all 4 tabs?"), QStringLiteral("Close Tabs")}}) {
    const auto [message, button] = ZPHApplicationCommands::closeAllTabsTexts(test.tabs);
    EXPECT_EQ(message, test.message);
    EXPECT_EQ(button, test.button);
  }
  // The last days of a year belong to the next year's first week: the
  // name says the calendar year.
  const QDateTime late(QDate(2024, 12, 30), QTime(16, 5, 9));
  EXPECT_EQ(ZPHApplicationCommands::tabsExportFileName(late, 0),
            QStringLiteral("Zephlin Tabs 2024-12-30 at 4.05.09 PM.html"));
  EXPECT_EQ(ZPHApplicationCommands::tabsExportFileName(late, 1),
            QStringLiteral("Zephlin Tabs 2024-12-30 at 4.05.09 PM.txt"));
  EXPECT_EQ(ZPHApplicationCommands::tabsExportFileName(late, 2),
            QStringLiteral("Zephlin Tabs 2024-12-30 at 4.05.09 PM.opml"));

  // The tabs as the browser will give them.
  int tabs = 3;
  int closed = 0;
  app.delegate->seams().numberOfTabs = [&] { return tabs; };
  app.delegate->seams().tabURLsAndTitles = [] {
    return QList<QVariantMap>{{{"url", "https://example.com/é"}, {"title", "Één"}}};
  };
  app.delegate->seams().exportTabsText = [](const QList<QVariantMap>& list, int format) {
    return QStringLiteral("%1 %2 %3").arg(format).arg(list.size()).arg(list.first().value("title").toString());
  };
  // The tabs are counted here: the tab set's own command leaves the chain
  // to the one that counts.
  app.delegate->commandAction(QStringLiteral("actuallyCloseAllTabs:"))->setObjectName(QString());
  auto* actuallyClose = new QAction(app.delegate.get());
  actuallyClose->setObjectName(QStringLiteral("actuallyCloseAllTabs:"));
  QObject::connect(actuallyClose, &QAction::triggered, [&] { ++closed; });

  // Cancel stores nothing and closes nothing.
  app.delegate->commandAction(QStringLiteral("closeAllTabs:"))->trigger();
  QMessageBox* sheet = commands->closeAllTabsSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->text(), QStringLiteral("Are you sure you want to close all 2 tabs?"));
  sheet->reject();
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(defaults().boolForKey(ZPHDisplayCloseAllTabsWarningSheet));
  // The check box and the default button: stored, and the tabs close; the
  // next time no question.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !app.delegate->runningModalSheet(); }));
  app.delegate->commandAction(QStringLiteral("closeAllTabs:"))->trigger();
  sheet = commands->closeAllTabsSheet();
  ASSERT_NE(sheet, nullptr);
  // Its check box in the small size: smaller than the message, not larger.
  EXPECT_LT(sheet->checkBox()->font().pointSizeF(), sheet->font().pointSizeF());
  sheet->checkBox()->setChecked(true);
  sheet->defaultButton()->click();
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(defaults().boolForKey(ZPHDisplayCloseAllTabsWarningSheet));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !app.delegate->runningModalSheet(); }));
  app.delegate->commandAction(QStringLiteral("closeAllTabs:"))->trigger();
  EXPECT_EQ(closed, 2);

  // The export: UTF-8 text from the writers; a file that cannot be written
  // is said so.
  const QString path = dir.filePath(QStringLiteral("tabs.opml"));
  EXPECT_TRUE(commands->writeTabsExport(path, 2));
  QFile written(path);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(written.readAll()), QStringLiteral("2 1 Één"));
  EXPECT_FALSE(commands->writeTabsExport(dir.filePath(QStringLiteral("no/such/folder/tabs.html")), 0));
  QMessageBox* alert = nullptr;
  for (QMessageBox* box : window->findChildren<QMessageBox*>())
    if (box->isVisible() && box->text() == QStringLiteral("The tabs could not be exported."))
      alert = box;
  EXPECT_NE(alert, nullptr);
  if (alert != nullptr)
    alert->accept();
  app.delegate->seams().numberOfTabs = {};
  app.delegate->seams().tabURLsAndTitles = {};
  app.delegate->seams().exportTabsText = {};
}

TEST(UnreadBadge, TheTitleShowsTheChosenCountAndAnUnchangedCountTouchesNothing)
{
  ZPHUserDefaults& settings = defaults();
  QWidget window;
  ZPHDockIconController badge;
  badge.setMainWindow(&window);
  struct Case {
    qint64 selection;
    quint64 unread;
    quint64 favourites;
    QString title;
  };
  const QList<Case> cases = {
      {1, 12, 3, QStringLiteral("Zephlin (12)")}, {0, 12, 3, QStringLiteral("Zephlin (3)")},
      {2, 12, 3, QStringLiteral("Zephlin")},      {1, 0, 0, QStringLiteral("Zephlin")},
      {7, 5, 5, QStringLiteral("Zephlin")},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.title.toStdString());
    settings.setInteger(ZPHUnreadCountSelection, test.selection);
    badge.setUnreadCounts(test.unread, test.favourites);
    EXPECT_EQ(window.windowTitle(), test.title);
  }
  settings.setInteger(ZPHUnreadCountSelection, 1);
  badge.setUnreadCounts(4, 0);
  const int updates = badge.badgeUpdates();
  badge.setUnreadCounts(4, 9);  // the shown count did not change
  EXPECT_EQ(badge.badgeUpdates(), updates);
  settings.removeObject(ZPHUnreadCountSelection);

  // The tray's picture carries the count; none for 0.
  QPixmap base(32, 32);
  base.fill(Qt::white);
  const QIcon plain(base);
  const QImage badged = ZPHDockIconController::badgedIcon(plain, 12).pixmap(32, 32).toImage();
  EXPECT_NE(badged, base.toImage());
  EXPECT_EQ(ZPHDockIconController::badgedIcon(plain, 0).pixmap(32, 32).toImage(), base.toImage());
  EXPECT_EQ(ZPHDockIconController::toolTipForCount(12), QStringLiteral("Zephlin: 12 unread articles"));
}

TEST(FeedbackMail, TextRoundTripsThroughTheMailtoAddressWithTheSystemProfile)
{
  const QString body = QStringLiteral("&=+#% a\nb\r\nc é");
  const QVariantMap profile{{"osVersion", "6.1.0"}, {"ncpu", "8"}, {"appName", "zephlin"}};
  const ZPHFeedbackMailer mailer(QStringLiteral("Subject &=+#% é"), body, true, profile);
  const QUrl url = mailer.mailtoURL();
  const QUrlQuery query(url);
  EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), QStringLiteral("Subject &=+#% é"));
  const QString sent = query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
  // The block starts two line breaks after the body; the profile is its last
  // part, sorted by key.
  EXPECT_TRUE(sent.startsWith(body + QStringLiteral("\n\n+++++++++ Your Feedback +++++++++\n\n\n\n")));
  EXPECT_TRUE(sent.endsWith(QStringLiteral("appName = zephlin\nncpu = 8\nosVersion = 6.1.0")));
  // A mail without it is the body alone.
  EXPECT_EQ(QUrlQuery(ZPHFeedbackMailer(QStringLiteral("s"), body).mailtoURL())
                .queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
            body);
}

TEST(SystemProfile, FromTheKernelDMISysconfAndCpuInformation)
{
  struct Release {
    const char* release;
    const char* version;
  };
  for (const Release& test : {Release{"6.1.0-18-amd64", "6.1.0"}, Release{"5.15.153.1-microsoft-standard", "5.15.153"},
                              Release{"6.8", ""}, Release{"", ""}, Release{"v6.1.0", ""}})
    EXPECT_EQ(ZPHSystemProfile::osVersionForKernelRelease(QString::fromLatin1(test.release)),
              QString::fromLatin1(test.version))
        << test.release;

  ZPHSystemProfile::Sources sources;
  sources.kernelRelease = [] { return QStringLiteral("6.1.0-18-amd64"); };
  sources.readFile = [](const QString& path) -> std::optional<QByteArray> {
    if (path.endsWith(QLatin1String("sys_vendor")))
      return QByteArray("Fernhollow Labs\n");
    if (path.endsWith(QLatin1String("product_name")))
      return QByteArray("Workbench 7\n");
    if (path == QLatin1String("/proc/cpuinfo"))
      return QByteArray("processor\t: 0\ncpu MHz\t\t: 2419.200\n");
    return std::nullopt;  // no cpufreq folder
  };
  sources.sysconf = [](int name) -> long {
    if (name == _SC_NPROCESSORS_ONLN)
      return 8;
    if (name == _SC_PHYS_PAGES)
      return 4 * 1024 * 1024;  // 16 GiB of 4 KiB pages
    if (name == _SC_PAGESIZE)
      return 4096;
    return -1;
  };
  sources.cpuArchitecture = [] { return QStringLiteral("x86_64"); };
  sources.firstUILanguage = [] { return QStringLiteral("de-DE"); };
  sources.appName = QStringLiteral("zephlin");
  sources.appVersion = QStringLiteral("0.1.0");
  const QVariantMap profile = ZPHSystemProfile::buildSystemProfileDictionary(sources);
  EXPECT_EQ(profile, (QVariantMap{{"osVersion", "6.1.0"},
                                  {"cpu64bit", "1"},
                                  {"model", "Fernhollow Labs Workbench 7"},
                                  {"cpuFreqMHz", "2419"},
                                  {"ncpu", "8"},
                                  {"ramMB", "16384"},
                                  {"lang", "de-DE"},
                                  {"appName", "zephlin"},
                                  {"appVersion", "0.1.0"}}));
  // Unreadable sources leave their keys out.
  ZPHSystemProfile::Sources none;
  none.appName = QStringLiteral("zephlin");
  EXPECT_EQ(ZPHSystemProfile::buildSystemProfileDictionary(none), (QVariantMap{{"appName", "zephlin"}}));
}

TEST(MachineIdentifier, TheSHA1OfTheMachineIdOrNothing)
{
  const QByteArray id = "0123456789abcdef0123456789abcdef";
  const QString expected = QString::fromLatin1(QCryptographicHash::hash(id + "FHZL", QCryptographicHash::Sha1).toHex());
  EXPECT_EQ(ZPHMachineIdentifierForMachineId(id), expected);
  EXPECT_EQ(expected.size(), 40);
  EXPECT_NE(ZPHMachineIdentifierForMachineId("another-machine"), expected);
  // Without a machine id, no identifier: never one value for every machine.
  EXPECT_TRUE(ZPHMachineIdentifierForMachineId(QByteArray()).isEmpty());
}

TEST(FeedbackProgressWindow, ASuccessStopsTheSpinnerAndFadesAway)
{
  ZPHFeedbackProgressWindowController progress;
  progress.closeWindow();  // before the window exists: nothing
  EXPECT_FALSE(progress.isWindowLoaded());
  progress.setTitle(QStringLiteral("Sending\u2026"));
  progress.showWindow();
  EXPECT_TRUE(progress.window()->isVisible());
  EXPECT_TRUE(progress.isSpinning());
  progress.setTitle(QStringLiteral("Sent"));
  progress.setShowingSuccessMessage(true);
  progress.showWindow();
  EXPECT_FALSE(progress.isSpinning());
  EXPECT_TRUE(progress.window()->isVisible());
  progress.fadeoutWindow();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !progress.window()->isVisible(); }, 10000));
  // Closed: its texts and image are let go.
  EXPECT_FALSE(progress.showingSuccessMessage());
  EXPECT_TRUE(progress.image().isNull());
}

}  // namespace
