// The tab set on a real store: which tab is selected after a close,
// throw-away tabs, when the column shows, how tabs are stored and come back
// after a restart (in order, titled, without web views until selected),
// and the tabs' pictures: their pacing under a clock of the test's and
// their files.

#include "app/browser/BrowserTestSupport.h"

#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHNewsItemsTab.h"
#include "browser/ZPHTabThumbnailCache.h"
#include "browser/ZPHTabThumbnailingController.h"
#include "browser/ZPHTabsTableViewController.h"
#include "foundation/CBPrefs.h"
#include "kit/ZPHManualClock.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperationQueue.h"
#include "store/entities/AbstractTab.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestHTTPServer.h"
#include "web/ZPHMacWebView.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolButton>

namespace {

class TabSetTest : public BrowserStoreTest {
protected:
  // Stored tabs for the addresses, as an earlier run left them, then a
  // restore: no web view is made.
  void restoreStoredTabs(const QStringList& addresses)
  {
    ZPHManagedObjectContext* context = tabs->tabsManagedObjectContext();
    ASSERT_NE(context, nullptr);
    int index = 1;
    for (const QString& address : addresses) {
      auto* tab = static_cast<AbstractTab*>(context->insertNewObject(CBDataEntityNameBrowserTab));
      tab->setGuid(QStringLiteral("guid-%1").arg(index));
      tab->setUrl(address);
      tab->setIndex(index++);
    }
    ASSERT_TRUE(context->save());
    tabs->restoreTabs();
  }

  QStringList storedOrder()
  {
    QStringList urls;
    ZPHFetchRequest request(CBDataEntityNameBrowserTab);
    request.sortDescriptors = {{QStringLiteral("index"), true}};
    for (ZPHManagedObject* object : controller->mainThreadManagedObjectContext()->executeFetchRequest(request))
      urls.append(static_cast<AbstractTab*>(object)->url());
    return urls;
  }

  QStringList tabAddresses() const
  {
    QStringList urls;
    for (ZPHBrowserTab* tab : tabs->browserTabs()) urls.append(tab->storedTab()->url());
    return urls;
  }

  int requestsFor(const ZPHTestHTTPServer& server, const QString& path) const
  {
    int count = 0;
    for (const ZPHTestHTTPRequest& request : server.requests()) count += request.path == path ? 1 : 0;
    return count;
  }

  // A page with a title, on the loopback server.
  static void routePage(ZPHTestHTTPServer& server, const QString& path, const QString& title)
  {
    server.route(path, [title](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "text/html; charset=utf-8"}};
      response.body =
          "<html><head><title>" + title.toUtf8() + "</title></head><body><p>" + title.toUtf8() + "</p></body></html>";
      return response;
    });
  }

  bool waitForTitle(ZPHBrowserTab* tab, const QString& title)
  {
    return ZPHTestWaitUntil([&] { return tab->webView() != nullptr && tab->webView()->title() == title; }, 60000);
  }
};

TEST_F(TabSetTest, ClosingATabSelectsByTheRules)
{
  const QStringList addresses{QStringLiteral("http://127.0.0.1:1/a"), QStringLiteral("http://127.0.0.1:1/b"),
                              QStringLiteral("http://127.0.0.1:1/c")};
  struct Case {
    qsizetype selected, closed;
    bool returnToNewsItems;
    const char* nowSelected;  // the address, or "" for the news-items tab
    qsizetype index;
  };
  const Case cases[] = {
      // The selected first of three: the one to its right, now index 1.
      {1, 1, false, "http://127.0.0.1:1/b", 1},
      // The selected last: the one to its left.
      {3, 3, false, "http://127.0.0.1:1/b", 2},
      // Another tab: the same tab stays selected, one place up or where it was.
      {2, 1, false, "http://127.0.0.1:1/b", 1},
      {2, 3, false, "http://127.0.0.1:1/b", 2},
      // Back to the news items when asked, for the selected tab only.
      {2, 2, true, "", 0},
      {2, 1, true, "http://127.0.0.1:1/b", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.selected << " closing " << c.closed);
    makeTabs();
    ZPHManagedObjectContext* context = tabs->tabsManagedObjectContext();
    for (ZPHManagedObject* old : context->executeFetchRequest(ZPHFetchRequest(CBDataEntityNameBrowserTab)))
      context->deleteObject(old);
    ASSERT_TRUE(context->save());
    restoreStoredTabs(addresses);
    defaults.setBool(ZPHReturnToNewsItemsOnCloseTab, c.returnToNewsItems);
    tabs->selectTabAtIndex(c.selected);
    tabs->closeTabAtIndex(c.closed);
    EXPECT_EQ(tabs->numberOfTabs(), 3);
    EXPECT_EQ(tabs->selectedTabIndex(), c.index);
    if (*c.nowSelected == 0) {
      EXPECT_TRUE(tabs->isNewsItemsTabSelected());
    } else {
      ASSERT_NE(tabs->currentBrowserTab(), nullptr);
      EXPECT_EQ(tabs->currentBrowserTab()->storedTab()->url(), QString::fromLatin1(c.nowSelected));
    }
    // Exactly the selected tab says it is.
    for (qsizetype i = 0; i < tabs->numberOfTabs(); ++i)
      EXPECT_EQ(tabs->tabItemAtIndex(i)->isSelected(), i == tabs->selectedTabIndex()) << i;
    // The close was saved at once.
    EXPECT_EQ(storedOrder().size(), 2);
  }
  defaults.removeObject(ZPHReturnToNewsItemsOnCloseTab);
}

TEST_F(TabSetTest, TheOnlyTabClosedShowsTheNewsItemsAndHidesTheColumnByItself)
{
  makeTabs();
  defaults.setInteger(ZPHBrowserTabsVisibility, 0);
  EXPECT_FALSE(tabs->shouldShowTabBar());
  restoreStoredTabs({QStringLiteral("http://127.0.0.1:1/only")});
  ZPHTestSpinEventLoop(20);  // the restore shows the column on the next turn
  EXPECT_TRUE(tabs->tabsVisible());
  tabs->selectTabAtIndex(1);
  // Closing through the command waits for the event loop to come round.
  tabs->closeTab();
  EXPECT_EQ(tabs->numberOfTabs(), 2);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == 1; }));
  EXPECT_TRUE(tabs->isNewsItemsTabSelected());
  EXPECT_FALSE(tabs->tabsVisible());
  EXPECT_TRUE(storedOrder().isEmpty());
}

TEST_F(TabSetTest, TheColumnShowsByTheSettingAndTheNumberOfTabs)
{
  makeTabs();
  const struct {
    qint64 visibility;
    int browserTabs;
    bool shows;
  } cases[] = {{0, 0, false}, {0, 1, true}, {1, 0, true}, {1, 2, true}, {2, 0, false}, {2, 2, false}};
  ZPHManagedObjectContext* context = tabs->tabsManagedObjectContext();
  for (const auto& c : cases) {
    for (ZPHManagedObject* old : context->executeFetchRequest(ZPHFetchRequest(CBDataEntityNameBrowserTab)))
      context->deleteObject(old);
    ASSERT_TRUE(context->save());
    QStringList addresses;
    for (int n = 0; n < c.browserTabs; ++n) addresses.append(QStringLiteral("http://127.0.0.1:1/%1").arg(n));
    restoreStoredTabs(addresses);
    defaults.setInteger(ZPHBrowserTabsVisibility, c.visibility);
    tabs->changeTabsVisibility(int(c.visibility), false);
    EXPECT_EQ(tabs->shouldShowTabBar(), c.shows) << c.visibility << " " << c.browserTabs;
    EXPECT_EQ(tabs->tabsVisible(), c.shows) << c.visibility << " " << c.browserTabs;
  }
  defaults.removeObject(ZPHBrowserTabsVisibility);
}

TEST_F(TabSetTest, WithTheColumnNeverShownATabIsThrownAwayOnTheWayBack)
{
  ZPHManualClock clock;
  makeTabs(&clock);
  tabs->restoreTabs();
  defaults.setInteger(ZPHBrowserTabsVisibility, 2);
  tabs->changeTabsVisibility(2, false);
  const qsizetype index = tabs->openURLStringInNewTab(QStringLiteral("http://127.0.0.1:1/throwaway"), true, false);
  ASSERT_EQ(index, 1);
  EXPECT_TRUE(tabs->currentBrowserTab()->storedTab()->disposable());
  // Nothing is marked for saving and no save waits.
  EXPECT_FALSE(tabs->tabsAreDirty());
  EXPECT_FALSE(tabs->saveTimerRuns());
  tabs->selectNewsItemsTab();
  EXPECT_EQ(tabs->numberOfTabs(), 1);
  EXPECT_TRUE(storedOrder().isEmpty());

  // Its Back, without history, shows the news items and throws it away too.
  tabs->openURLStringInNewTab(QStringLiteral("http://127.0.0.1:1/back"), true, false);
  ZPHBrowserViewController* browser = tabs->currentBrowserViewController();
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->backButtonClosesView());
  EXPECT_TRUE(browser->backButton()->isEnabled());
  browser->goBack();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == 1; }));
  EXPECT_TRUE(storedOrder().isEmpty());
  // One still open at a quit does not come back at the next start.
  tabs->openURLStringInNewTab(QStringLiteral("http://127.0.0.1:1/left"), true, false);
  EXPECT_EQ(storedOrder(), QStringList{QStringLiteral("http://127.0.0.1:1/left")});
  makeTabs(&clock);
  tabs->restoreTabs();
  EXPECT_EQ(tabs->numberOfTabs(), 1);
  EXPECT_TRUE(storedOrder().isEmpty());

  // Shown again, the column keeps the tab selected then.
  tabs->openURLStringInNewTab(QStringLiteral("http://127.0.0.1:1/kept"), true, false);
  ASSERT_TRUE(tabs->currentBrowserTab()->storedTab()->disposable());
  defaults.setInteger(ZPHBrowserTabsVisibility, 1);
  tabs->changeTabsVisibility(1, false);
  EXPECT_FALSE(tabs->currentBrowserTab()->storedTab()->disposable());
  EXPECT_FALSE(tabs->currentBrowserViewController()->backButtonClosesView());
  tabs->selectNewsItemsTab();
  EXPECT_EQ(tabs->numberOfTabs(), 2);
  defaults.removeObject(ZPHBrowserTabsVisibility);
}

TEST_F(TabSetTest, AnAddressATabShowsSelectsThatTab)
{
  makeTabs();
  restoreStoredTabs({QStringLiteral("http://127.0.0.1:1/same"), QStringLiteral("http://127.0.0.1:1/other"),
                     QStringLiteral("http://127.0.0.1:1/same/")});
  // Slashes at the ends do not matter; of two tabs the later wins.
  EXPECT_EQ(tabs->indexOfTabWithURLString(QStringLiteral("/http://127.0.0.1:1/same//")), 3);
  EXPECT_EQ(tabs->indexOfTabWithURLString(QStringLiteral("http://127.0.0.1:1/none")), ZPHTabsController::NotFound);
  EXPECT_EQ(tabs->openURLStringInNewTab(QStringLiteral("http://127.0.0.1:1/other"), true, false), 2);
  EXPECT_EQ(tabs->numberOfTabs(), 4);
  EXPECT_EQ(tabs->selectedTabIndex(), 2);
  // Next from the last wraps to the news items, previous from there to the last.
  tabs->selectLastTab();
  tabs->selectNextTab();
  EXPECT_EQ(tabs->selectedTabIndex(), 0);
  tabs->selectPreviousTab();
  EXPECT_EQ(tabs->selectedTabIndex(), 3);
}

TEST_F(TabSetTest, TabsComeBackInTheirOrderWithTheirTitlesAndNoWebViewUntilSelected)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  for (const char* name : {"first", "second", "third"})
    routePage(server, QStringLiteral("/%1").arg(QLatin1String(name)),
              QStringLiteral("Page %1").arg(QLatin1String(name)));
  const QString first = server.url(QStringLiteral("/first")).toString();
  const QString second = server.url(QStringLiteral("/second")).toString();
  const QString third = server.url(QStringLiteral("/third")).toString();

  makeTabs();
  tabs->restoreTabs();
  for (const QString& address : {first, second, third}) tabs->openURLStringInNewTab(address, false, false);
  ASSERT_EQ(tabs->numberOfTabs(), 4);
  for (int i = 1; i <= 3; ++i)
    ASSERT_TRUE(waitForTitle(tabs->browserTabAtIndex(i),
                             QStringLiteral("Page %1").arg(QStringList{"first", "second", "third"}[i - 1])));
  // The third moves before the first, the second closes; then the quit.
  tabs->swapTabAtIndex(3, 1);
  EXPECT_EQ(tabAddresses(), (QStringList{third, first, second}));
  EXPECT_TRUE(tabs->tabsAreDirty());
  tabs->closeTabAtIndex(3);
  tabs->saveTabsToDiskIfNeeded();
  EXPECT_EQ(storedOrder(), (QStringList{third, first}));
  tabs.reset();
  closeStore();

  // The next start, on the same folder.
  openStore();
  const int requestsBefore = requestsFor(server, QStringLiteral("/third"));
  makeTabs();
  tabs->restoreTabs();
  ASSERT_EQ(tabs->numberOfTabs(), 3);
  EXPECT_EQ(tabAddresses(), (QStringList{third, first}));
  EXPECT_EQ(tabs->browserTabAtIndex(1)->displayTitle(), QStringLiteral("Page third"));
  EXPECT_EQ(tabs->browserTabAtIndex(2)->displayTitle(), QStringLiteral("Page first"));
  EXPECT_EQ(tabs->browserTabAtIndex(1)->displayURL(), third);
  for (ZPHBrowserTab* tab : tabs->browserTabs()) {
    EXPECT_EQ(tab->webView(), nullptr);
    EXPECT_EQ(tab->browserViewController(), nullptr);
  }
  ZPHTestSpinEventLoop(200);
  EXPECT_EQ(requestsFor(server, QStringLiteral("/third")), requestsBefore);

  // Selecting a restored tab loads its address once; selecting it again
  // loads nothing.
  tabs->selectTabAtIndex(1);
  ASSERT_NE(tabs->browserTabAtIndex(1)->webView(), nullptr);
  EXPECT_EQ(tabs->browserTabAtIndex(2)->webView(), nullptr);
  ASSERT_TRUE(waitForTitle(tabs->browserTabAtIndex(1), QStringLiteral("Page third")));
  tabs->selectNewsItemsTab();
  tabs->selectTabAtIndex(1);
  ZPHTestSpinEventLoop(300);
  EXPECT_EQ(requestsFor(server, QStringLiteral("/third")), requestsBefore + 1);
}

// A row's menu is made for a tab; by the time an item is chosen the tabs
// may have moved, and the item still acts on that tab, not on the row.
TEST_F(TabSetTest, TheRowMenuActsOnTheTabItWasOpenedForWhereverThatTabMoved)
{
  const QString a = QStringLiteral("http://a.example/");
  const QString b = QStringLiteral("http://b.example/");
  const QString c = QStringLiteral("http://c.example/");
  makeTabs();
  restoreStoredTabs({a, b, c});
  ZPHTabsTableViewController list(tabs.get());
  const auto item = [](QMenu* menu, const QString& title) -> QAction* {
    for (QAction* action : menu->actions())
      if (action->text() == title)
        return action;
    return nullptr;
  };

  // Made for b (row 2); then c moves to the front, so b is row 3.
  std::unique_ptr<QMenu> menu(list.menuForRow(2));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(item(menu.get(), QStringLiteral("Share")), nullptr) << "no Share item without sharing";
  tabs->swapTabAtIndex(3, 1);
  ASSERT_EQ(tabAddresses(), (QStringList{c, a, b}));

  QGuiApplication::clipboard()->clear();
  item(menu.get(), QStringLiteral("Copy Link"))->trigger();
  EXPECT_EQ(text(QGuiApplication::clipboard()->text()), text(b));
  item(menu.get(), QStringLiteral("Open in Browser"))->trigger();
  ASSERT_FALSE(services.links.isEmpty());
  EXPECT_EQ(text(services.links.last().url.toString()), text(b));
  item(menu.get(), QStringLiteral("Close Tab"))->trigger();
  EXPECT_EQ(tabAddresses(), (QStringList{c, a}));
  // The tab is gone: its menu's items now do nothing.
  item(menu.get(), QStringLiteral("Close Tab"))->trigger();
  EXPECT_EQ(tabAddresses(), (QStringList{c, a}));

  // With sharing, the Share item is offered for the row's tab.
  QUrl sharedURL;
  tabs->setShareMenuFiller([&](QMenu* share, const QUrl& url, const QString&) {
    sharedURL = url;
    share->addAction(QStringLiteral("Somewhere"));
    return true;
  });
  std::unique_ptr<QMenu> withShare(list.menuForRow(2));
  ASSERT_NE(withShare, nullptr);
  QAction* share = item(withShare.get(), QStringLiteral("Share"));
  ASSERT_NE(share, nullptr);
  ASSERT_NE(share->menu(), nullptr);
  EXPECT_EQ(share->menu()->actions().size(), 1);
  EXPECT_EQ(text(sharedURL.toString()), text(a));
}

TEST_F(TabSetTest, ATabWithNeitherIdentityNorAddressIsDroppedAtRestoreAndOneWithoutAddressHasNoTitle)
{
  makeTabs();
  ZPHManagedObjectContext* context = tabs->tabsManagedObjectContext();
  context->insertNewObject(CBDataEntityNameBrowserTab);  // neither guid nor url
  auto* empty = static_cast<AbstractTab*>(context->insertNewObject(CBDataEntityNameBrowserTab));
  empty->setGuid(QStringLiteral("kept"));
  ASSERT_TRUE(context->save());
  tabs->restoreTabs();
  ASSERT_EQ(tabs->numberOfTabs(), 2);
  ZPHBrowserTab* tab = tabs->browserTabAtIndex(1);
  EXPECT_EQ(tab->displayTitle(), QStringLiteral("(No title)"));
  EXPECT_FALSE(tab->loadOnSelect());
  EXPECT_EQ(tab->description(), QStringLiteral("(No title): (No URL)"));
  EXPECT_EQ(storedOrder().size(), 1);
}

TEST_F(TabSetTest, APageThatNeverFinishesReadsAsLoadedAfterSevenSecondsAndKeepsLoading)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  server.route(QStringLiteral("/slow"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "text/html"}};
    response.body = "<html><head><title>Slow</title></head><body>" + QByteArray(4000, 'x') + "</body></html>";
    // A byte every few seconds: the load goes on well past the time-out.
    response.trickleIntervalMs = 3000;
    response.trickleBytes = 1;
    return response;
  });
  ZPHManualClock clock;
  makeTabs(&clock);
  tabs->restoreTabs();
  tabs->openURLStringInNewTab(server.url(QStringLiteral("/slow")).toString(), false, false);
  ZPHBrowserTab* tab = tabs->browserTabAtIndex(1);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tab->loadInProgressAccordingToWebViewOrTimeOut(); }, 30000));
  EXPECT_LT(tab->estimatedProgress(), 1.0 + 1e-9);
  clock.advance(ZPHBrowserTab::LoadTimeout - 1);
  EXPECT_TRUE(tab->loadInProgressAccordingToWebViewOrTimeOut());
  clock.advance(1);
  EXPECT_TRUE(tab->loadTimedOut());
  EXPECT_FALSE(tab->loadInProgressAccordingToWebViewOrTimeOut());
  EXPECT_EQ(tab->estimatedProgress(), 1.0);
  // The page itself is not stopped: its connection stays open.
  EXPECT_TRUE(tab->webView()->zph_loadIsInProgress());
  tab->stopLoading();
}

TEST_F(TabSetTest, PicturesArePacedOncePerSecondAndOncePerTab)
{
  ZPHManualClock clock;
  makeTabs(&clock);
  restoreStoredTabs({QStringLiteral("http://127.0.0.1:1/a"), QStringLiteral("http://127.0.0.1:1/b")});
  ZPHTabThumbnailingController* thumbnails = tabs->thumbnailingController();
  QList<ZPHBrowserTab*> captured;
  thumbnails->setCapture([&](ZPHBrowserTab* tab) {
    captured.append(tab);
    QImage picture(400, 250, QImage::Format_RGB32);
    picture.fill(captured.size() == 1 ? Qt::red : Qt::blue);
    return picture;
  });
  ZPHBrowserTab* a = tabs->browserTabAtIndex(1);
  ZPHBrowserTab* b = tabs->browserTabAtIndex(2);
  // Three changes of one tab within a second: one picture.
  for (int n = 0; n < 3; ++n) thumbnails->invalidateThumbnailForTab(a);
  thumbnails->invalidateThumbnailForTab(b);
  clock.advance(ZPHTabThumbnailingController::PacingInterval - 1);
  EXPECT_TRUE(captured.isEmpty());
  clock.advance(1);
  EXPECT_EQ(captured, QList<ZPHBrowserTab*>{a});
  // A tab being pictured is not queued again meanwhile.
  thumbnails->invalidateThumbnailForTab(a);
  EXPECT_EQ(thumbnails->tabsNeedingThumbnailing(), QList<ZPHBrowserTab*>{b});
  // The other tab a second later, and then the timer stops.
  clock.advance(ZPHTabThumbnailingController::PacingInterval);
  EXPECT_EQ(captured, (QList<ZPHBrowserTab*>{a, b}));
  EXPECT_FALSE(thumbnails->pacingTimerRuns());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !thumbnails->thumbnailForTab(b).isNull(); }, 10000));
  const QImage picture = thumbnails->thumbnailForTab(a);
  EXPECT_EQ(picture.size(),
            QSize(ZPHTabThumbnailingController::ThumbnailWidth, ZPHTabThumbnailingController::ThumbnailHeight));
  // Both went to their files.
  thumbnails->cache()->waitUntilIdle();
  for (ZPHBrowserTab* tab : {a, b})
    EXPECT_TRUE(QFileInfo::exists(thumbnails->cache()->pathForURL(QUrl(tab->displayURL())))) << text(tab->displayURL());
}

TEST_F(TabSetTest, ThumbnailFilesOfNoOpenTabGoAndTheCleanUpFollowsNoLinks)
{
  const QString folder = thumbnailFolder();
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/stray-folder")));
  QImage picture(113, 72, QImage::Format_RGB32);
  picture.fill(Qt::green);
  const QString kept =
      QDir(folder).filePath(ZPHTabThumbnailCache::filenameForURL(QUrl(QStringLiteral("http://127.0.0.1:1/kept"))));
  const QString shared =
      QDir(folder).filePath(ZPHTabThumbnailCache::filenameForURL(QUrl(QStringLiteral("http://127.0.0.1:1/shared"))));
  ASSERT_TRUE(picture.save(kept, "TIFF"));
  ASSERT_TRUE(picture.save(shared, "TIFF"));
  ASSERT_TRUE(picture.save(folder + QStringLiteral("/stray.tiff"), "TIFF"));
  ASSERT_TRUE(picture.save(folder + QStringLiteral("/stray-folder/inside.tiff"), "TIFF"));
  // A link out of the folder, to a file that must stay.
  const QString outside = this->folder.writeFile(QStringLiteral("outside.txt"), "keep me");
  ASSERT_TRUE(QFile::link(outside, folder + QStringLiteral("/link.tiff")));
  ASSERT_TRUE(QFile::link(this->folder.path(), folder + QStringLiteral("/linked-folder")));

  makeTabs();
  restoreStoredTabs({QStringLiteral("http://127.0.0.1:1/kept"), QStringLiteral("http://127.0.0.1:1/shared"),
                     QStringLiteral("http://127.0.0.1:1/shared")});
  ZPHTabThumbnailingController* thumbnails = tabs->thumbnailingController();
  thumbnails->cache()->waitUntilIdle();
  EXPECT_TRUE(QFileInfo::exists(kept));
  EXPECT_TRUE(QFileInfo::exists(shared));
  for (const char* gone : {"/stray.tiff", "/stray-folder", "/link.tiff", "/linked-folder"})
    EXPECT_FALSE(QFileInfo(folder + QLatin1String(gone)).exists() ||
                 QFileInfo(folder + QLatin1String(gone)).isSymLink())
        << gone;
  EXPECT_TRUE(QFileInfo::exists(outside));
  EXPECT_TRUE(QFileInfo(this->folder.path()).isDir());
  // A restored tab that was never loaded shows its file's picture.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !tabs->browserTabAtIndex(1)->thumbnailImage().isNull(); }, 10000));

  // Closing one of two tabs on one address keeps the file; the last one
  // takes it along.
  tabs->closeTabAtIndex(2);
  thumbnails->cache()->waitUntilIdle();
  EXPECT_TRUE(QFileInfo::exists(shared));
  tabs->closeTabAtIndex(2);
  thumbnails->cache()->waitUntilIdle();
  EXPECT_FALSE(QFileInfo::exists(shared));
  EXPECT_TRUE(QFileInfo::exists(kept));
}

}  // namespace
