// The content pane in the running application: it holds the article list's
// view beside the browser tabs, follows the list's changes (a new source
// list selection or search results bring the news items back), and says
// what the window shares and which web view is current for the tab shown.

#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHSearchField.h"
#include "articlelist/ZPHSearchWindowController.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHTabsController.h"
#include "foundation/CBPrefs.h"
#include "mainwindow/ZPHContentPaneController.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/ZPHRightPaneContainerView.h"
#include "sharing/CBSharableItem.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/accounts/ZPHArticleListController.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtTest/QSignalSpy>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>

#include <memory>

namespace {

class ContentPaneTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key : {ZPHBrowserTabsVisibility, ZPHBrowserSelectNewTabsAsTheyAreCreated})
      defaults.removeObject(key);
    defaults.setBool(ZPHBrowserSelectNewTabsAsTheyAreCreated, true);
    ASSERT_TRUE(server.start());
    ZPHServeTestFeed(server, 3);
    server.route(QStringLiteral("/page"), [](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "text/html"}};
      response.body = "<html><head><title>Page</title></head><body>page</body></html>";
      return response;
    });
    RefreshSessionCounter sessions;
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    controller = app.delegate->mainWindowController();
    ASSERT_NE(controller, nullptr);
    pane = controller->contentPaneController();
    ASSERT_NE(pane, nullptr);
    list = controller->articleListDelegate();
    tabs = pane->tabsController();
    ASSERT_NE(tabs, nullptr);
    ZPHManagedObjectContext* main = app.delegate->mainThreadManagedObjectContext();
    CBDataAccount* account = app.data()->localAccount();
    folder = account->addFolderWithName(QStringLiteral("News"));
    feed = CBFeed::insertFeedWithURL(server.url(QStringLiteral("/feed.xml")), main);
    account->addFeedAtEndOfFolder(feed, folder);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished > 0; }, 30000));
    app.settle();
    select(folder);
    ASSERT_TRUE(AppHarness::showActive(controller->window()));
  }

  void TearDown() override
  {
    app.stop();
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    for (const QString& key : {ZPHBrowserTabsVisibility, ZPHBrowserSelectNewTabsAsTheyAreCreated})
      defaults.removeObject(key);
  }

  // Selects the node in the source list and waits for its three articles.
  void select(CBNode* node)
  {
    controller->sourceListViewController()->refreshDataCacheReloadDataAndSelectObject(node, true);
    ASSERT_TRUE(ZPHTestWaitUntil([&] {
      return list->feeds() == QList<ZPHRepresentedObject>{node} && list->articleListController()->count() == 3;
    }));
  }

  // Opens the page in a new tab, selected, and waits for its web view.
  void openPageInTab()
  {
    app.delegate->openLink(server.url(QStringLiteral("/page")), ZPHAppServices::LinkPlace::NewTab);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return pane->currentBrowserViewController() != nullptr; }));
  }

  CBSharableItem shared() const { return controller->presentedSharableItem().value<CBSharableItem>(); }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  ZPHMainWindowController* controller = nullptr;
  ZPHContentPaneController* pane = nullptr;
  ZPHArticleListDelegate* list = nullptr;
  ZPHTabsController* tabs = nullptr;
  CBFolder* folder = nullptr;
  CBFeed* feed = nullptr;
};

}  // namespace

TEST_F(ContentPaneTest, ABrowserTabTakesThePaneAndTheListsChangesBringTheNewsItemsBack)
{
  // The pane is the right pane's view and holds the list's.
  EXPECT_EQ(controller->rightPaneContainerView()->currentView(), pane->contentView());
  EXPECT_TRUE(pane->contentView()->isAncestorOf(list->contentView()));
  EXPECT_TRUE(pane->currentWebViewIsDetailView());
  QSignalSpy detail(pane, &ZPHContentPaneController::currentWebViewIsDetailViewChanged);

  openPageInTab();
  EXPECT_FALSE(tabs->isNewsItemsTabSelected());
  EXPECT_TRUE(pane->currentDetailViewIsATab());
  EXPECT_FALSE(pane->currentWebViewIsDetailView());
  EXPECT_EQ(pane->currentWebView(), pane->currentBrowserViewController()->webView());
  EXPECT_FALSE(list->contentView()->isVisible());
  ASSERT_EQ(detail.count(), 1);
  EXPECT_FALSE(detail.at(0).at(0).toBool());
  // What the window shares is the tab's page, once it has its address.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shared().URL() == server.url(QStringLiteral("/page")); }));

  // A new selection in the source list shows the news items again.
  select(feed);
  EXPECT_TRUE(tabs->isNewsItemsTabSelected());
  EXPECT_TRUE(list->contentView()->isVisible());
  EXPECT_EQ(pane->currentBrowserViewController(), nullptr);
  ASSERT_EQ(detail.count(), 2);
  EXPECT_TRUE(detail.at(1).at(0).toBool());

  // So do search results, and the search field keeps the keys.
  tabs->selectTabAtIndex(1);
  ASSERT_FALSE(tabs->isNewsItemsTabSelected());
  controller->searchField()->setText(QStringLiteral("Item"));
  controller->searchWindowController()->executeSearchWithType(0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list->showingSearchResultSet(); }, 20000));
  EXPECT_TRUE(tabs->isNewsItemsTabSelected());
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return controller->searchField()->hasFocus(); }));
}

TEST_F(ContentPaneTest, TheSelectedArticleIsWhatTheNewsItemsTabSharesCopiesAndShowsAsItsAddress)
{
  // Nothing selected: nothing to share, and the tab's menu has no link.
  EXPECT_TRUE(controller->presentedSharableItem().isNull() || shared().URL().isEmpty());
  std::unique_ptr<QMenu> empty(pane->menuForNewsItemTabOfTabsTableViewController(pane->tabsTableViewController()));
  ASSERT_FALSE(empty->actions().isEmpty());
  EXPECT_FALSE(empty->actions().first()->isEnabled());

  CBDataArticle* article = list->articleListController()->articleAtIndex(0);
  list->navigateToArticleInCurrentList(article);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return list->selectedArticle() == article; }));
  // The window's address and shared item follow the selection.
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return controller->selectedURL() == article->bestLink(); }));
  EXPECT_EQ(shared().title(), article->title());
  // "Copy Article Link" of the news-items row copies the article's link.
  std::unique_ptr<QMenu> menu(pane->menuForNewsItemTabOfTabsTableViewController(pane->tabsTableViewController()));
  QAction* copy = menu->actions().first();
  ASSERT_TRUE(copy->isEnabled());
  copy->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), article->bestLink());

  // On a browser tab the page is shared instead; back on the news items,
  // the article again.
  openPageInTab();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return shared().URL() == server.url(QStringLiteral("/page")); }));
  tabs->selectNewsItemsTab();
  list->navigateToArticleInCurrentList(list->articleListController()->articleAtIndex(1));
  EXPECT_TRUE(
      ZPHTestWaitUntil([&] { return shared().title() == list->articleListController()->articleAtIndex(1)->title(); }));
}
