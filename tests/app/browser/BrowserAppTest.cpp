// The browser tabs in the running application: the tab commands and Ctrl+W,
// links that open tabs, and the tab indicator over the main window.

#include "app/shell/AppHarness.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHTabCommands.h"
#include "browser/ZPHTabIndicatorWindowController.h"
#include "browser/ZPHTabsController.h"
#include "common/ZPHApplicationNotifications.h"
#include "foundation/CBPrefs.h"
#include "mainwindow/ZPHMainWindowController.h"

#include <QtGui/QAction>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGraphicsOpacityEffect>
#include <QtWidgets/QMainWindow>

namespace {

class BrowserAppTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key : {ZPHBrowserTabsVisibility, ZPHBrowserSelectNewTabsAsTheyAreCreated,
                               ZPHAlwaysHideTabIndicatorKey, ZPHBrowserOpenLinksInZephlin})
      defaults.removeObject(key);
    ASSERT_TRUE(server.start());
    server.route(QStringLiteral("/page"), [](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "text/html"}};
      response.body = "<html><head><title>Page</title></head><body>page</body></html>";
      return response;
    });
    app.connected = false;
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    ASSERT_NE(controller, nullptr);
    tabs = controller->tabsController();
    ASSERT_NE(tabs, nullptr);
    window = controller->window();
    ASSERT_TRUE(AppHarness::showActive(window));
  }

  void TearDown() override
  {
    app.stop();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key :
         {ZPHBrowserTabsVisibility, ZPHBrowserSelectNewTabsAsTheyAreCreated, ZPHAlwaysHideTabIndicatorKey})
      defaults.removeObject(key);
  }

  QAction* command(const char* selector) const { return app.delegate->commandAction(QString::fromLatin1(selector)); }

  QUrl page(int n) const { return server.url(QStringLiteral("/page?%1").arg(n)); }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  ZPHMainWindowController* controller = nullptr;
  ZPHTabsController* tabs = nullptr;
  QMainWindow* window = nullptr;
};

TEST_F(BrowserAppTest, CtrlWClosesTheSelectedTabAndElseTheWindow)
{
  QAction* closeTab = command("closeTab:");
  QAction* closeWindow = command("performClose:");
  ASSERT_NE(closeTab, nullptr);
  ASSERT_NE(closeWindow, nullptr);
  const QKeySequence ctrlW(Qt::CTRL | Qt::Key_W);
  const QKeySequence ctrlShiftW(Qt::CTRL | Qt::SHIFT | Qt::Key_W);
  // Closing the window only hides it (as while a tray icon shows): Ctrl+W
  // moves between the tab and the window.
  tabs->setClosingWindowEndsProgram([] { return false; });
  tabs->updateKeyboardShortcuts();
  // The news items: Ctrl+W closes the window; Close Tab does nothing.
  EXPECT_EQ(closeWindow->shortcut(), ctrlW);
  EXPECT_TRUE(closeTab->shortcut().isEmpty());
  EXPECT_FALSE(closeTab->isEnabled());

  command("newTab:")->trigger();
  ASSERT_EQ(tabs->numberOfTabs(), 2);
  EXPECT_EQ(tabs->selectedTabIndex(), 1);
  EXPECT_EQ(closeTab->shortcut(), ctrlW);
  EXPECT_EQ(closeWindow->shortcut(), ctrlShiftW);
  EXPECT_TRUE(closeTab->isEnabled());

  // Another window active: Ctrl+W goes back to Close Window.
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !window->isActiveWindow(); }));
  EXPECT_EQ(closeWindow->shortcut(), ctrlW);
  EXPECT_TRUE(closeTab->shortcut().isEmpty());
  QApplication::setActiveWindow(window);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return window->isActiveWindow(); }));
  EXPECT_EQ(closeTab->shortcut(), ctrlW);

  // Close Tab closes the tab once the event loop comes round; the window
  // gets Ctrl+W back.
  closeTab->trigger();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == 1; }));
  ZPHTestSpinEventLoop(20);
  EXPECT_EQ(closeWindow->shortcut(), ctrlW);
  EXPECT_TRUE(closeTab->shortcut().isEmpty());
}

TEST_F(BrowserAppTest, LinksOpenTabsAndTheTabCommandsActOnThem)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  defaults.setBool(ZPHBrowserSelectNewTabsAsTheyAreCreated, false);
  int background = 0;
  ZPHObserverToken token = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHAppDelegateBackgroundTabOpenedNotification, QVariant(), [&](const ZPHNotification&) { ++background; });
  for (int n = 0; n < 3; ++n)
    EXPECT_EQ(app.delegate->openLink(page(n), ZPHAppServices::LinkPlace::NewTab),
              ZPHAppServices::LinkOutcome::Internal);
  ASSERT_EQ(tabs->numberOfTabs(), 4);
  EXPECT_TRUE(tabs->isNewsItemsTabSelected());
  EXPECT_EQ(background, 3);
  EXPECT_TRUE(app.openedURLs.isEmpty());
  // The same address again selects no new tab.
  app.delegate->openLink(page(1), ZPHAppServices::LinkPlace::NewTab);
  EXPECT_EQ(tabs->numberOfTabs(), 4);

  command("selectNextTab:")->trigger();
  EXPECT_EQ(tabs->selectedTabIndex(), 1);
  command("selectPreviousTab:")->trigger();
  EXPECT_EQ(tabs->selectedTabIndex(), 0);
  command("selectPreviousTab:")->trigger();
  EXPECT_EQ(tabs->selectedTabIndex(), 3);
  command("selectNewsItemsTab:")->trigger();
  EXPECT_TRUE(tabs->isNewsItemsTabSelected());

  // The column's three modes, stored and checked.
  EXPECT_TRUE(tabs->tabsVisible());
  command("hideTabBar:")->trigger();
  EXPECT_EQ(defaults.integerForKey(ZPHBrowserTabsVisibility), 2);
  EXPECT_FALSE(tabs->tabsVisible());
  EXPECT_TRUE(command("hideTabBar:")->isChecked());
  EXPECT_FALSE(command("showTabBar:")->isChecked());
  command("automaticallyShowHideTabBar:")->trigger();
  EXPECT_EQ(defaults.integerForKey(ZPHBrowserTabsVisibility), 0);
  EXPECT_TRUE(tabs->tabsVisible());
  EXPECT_TRUE(command("automaticallyShowHideTabBar:")->isChecked());

  command("actuallyCloseAllTabs:")->trigger();
  EXPECT_EQ(tabs->numberOfTabs(), 1);
  EXPECT_FALSE(command("actuallyCloseAllTabs:")->isEnabled());
  ZPHTestSpinEventLoop(20);
  EXPECT_FALSE(tabs->tabsVisible());
}

TEST_F(BrowserAppTest, ATabOpenedSelectedLoadsItsAddressOnceItWasStored)
{
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHBrowserSelectNewTabsAsTheyAreCreated, true);
  app.delegate->openLink(page(7), ZPHAppServices::LinkPlace::NewTab);
  ASSERT_EQ(tabs->numberOfTabs(), 2);
  EXPECT_EQ(tabs->selectedTabIndex(), 1);
  ZPHBrowserTab* tab = tabs->currentBrowserTab();
  ASSERT_NE(tab, nullptr);
  // The load comes once the event loop turns, for the tab as stored.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tab->displayTitle() == QStringLiteral("Page"); }, 60000));
  EXPECT_EQ(tab->displayURL(), page(7).toString());
}

TEST_F(BrowserAppTest, TheIndicatorShowsForHiddenTabsAndOnceFadedOutTakesNoClick)
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  defaults.setBool(ZPHBrowserSelectNewTabsAsTheyAreCreated, false);
  command("hideTabBar:")->trigger();
  ZPHTabIndicatorWindowController* indicator = controller->tabIndicatorWindowController();
  ASSERT_NE(indicator, nullptr);
  ASSERT_NE(indicator->window(), nullptr);
  const auto opacity = [&] {
    return static_cast<QGraphicsOpacityEffect*>(indicator->window()->graphicsEffect())->opacity();
  };
  EXPECT_FALSE(indicator->window()->isVisible());

  // A tab opened in the background: the indicator fades in and widens once.
  app.delegate->openLink(page(1), ZPHAppServices::LinkPlace::NewTab);
  EXPECT_TRUE(indicator->showingWindow());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return indicator->window()->isVisible() && opacity() == 1.0; }, 5000));
  EXPECT_TRUE(indicator->animating());
  const int wide = indicator->window()->width();
  EXPECT_GT(wide, ZPHTabIndicatorWindowController::NarrowWidth);
  app.delegate->openLink(page(2), ZPHAppServices::LinkPlace::NewTab);
  EXPECT_EQ(indicator->window()->width(), wide);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !indicator->animating(); }, 5000));
  EXPECT_EQ(indicator->window()->width(), ZPHTabIndicatorWindowController::NarrowWidth);
  // It sits 10 points above the window's bottom edge.
  EXPECT_EQ(indicator->window()->geometry().bottom() + 1,
            window->height() - ZPHTabIndicatorWindowController::BottomMargin);

  // A browser tab shown: it fades out, and then it is hidden, taking no
  // click.
  tabs->selectTabAtIndex(1);
  EXPECT_FALSE(indicator->showingWindow());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !indicator->window()->isVisible(); }, 5000));
  indicator->mouseClickedInWindow();
  EXPECT_EQ(defaults.integerForKey(ZPHBrowserTabsVisibility), 2);

  // Back on the news items, a click shows the column.
  tabs->selectNewsItemsTab();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return indicator->window()->isVisible() && opacity() == 1.0; }, 5000));
  EXPECT_EQ(indicator->glyphToolTip(), QStringLiteral("Show Tabs"));
  indicator->mouseClickedInWindow();
  EXPECT_EQ(defaults.integerForKey(ZPHBrowserTabsVisibility), 1);
  EXPECT_TRUE(tabs->tabsVisible());
  // Always shown, it shows only with the mouse over the article view; the
  // always-hide setting hides it.
  indicator->setMouseInArticleDetailArea(false);
  EXPECT_FALSE(indicator->showingWindow());
  indicator->setMouseInArticleDetailArea(true);
  EXPECT_TRUE(indicator->showingWindow());
  defaults.setBool(ZPHAlwaysHideTabIndicatorKey, true);
  EXPECT_FALSE(indicator->showingWindow());
}

}  // namespace
