#include "app/shell/AppHarness.h"
#include "articlelist/ZPHArticleListDelegate.h"
#include "articlelist/ZPHEmptyContentsViewController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "feeds/refresh/ZPHStatusItem.h"
#include "mainwindow/ZPHContentPaneController.h"
#include "mainwindow/ZPHMainWindowController.h"
#include "mainwindow/ZPHMainWindowSplitView.h"
#include "mainwindow/ZPHRightPaneContainerView.h"
#include "mainwindow/status/ZPHStatusViewController.h"
#include "shell/ZPHQuittingWindowController.h"
#include "sourcelist/ZPHSourceListViewController.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "themes/ZPHTheme.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QLockFile>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtWidgets/QMainWindow>

#include <atomic>

namespace {

class StartupAndQuitTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(server.start());
    server.route(QStringLiteral("/feed.xml"), [this](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestFeed(server.url(), 5);
      return response;
    });
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }
  QUrl feedURL() const { return server.url(QStringLiteral("/feed.xml")); }

  int feedRequests() const
  {
    int count = 0;
    for (const ZPHTestHTTPRequest& request : server.requests()) {
      if (request.path == QLatin1String("/feed.xml"))
        ++count;
    }
    return count;
  }

  // Starts on a store subscribed to the loopback feed and waits for the end
  // of start-up.
  void startWithFeed(AppHarness& app)
  {
    ZPHSeedStoreWithFeed(dataFolder(), feedURL());
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
};

}  // namespace

TEST_F(StartupAndQuitTest, StartsOnItsFolderWithOneTimerAndOneInitialRefreshAndQuitsAfterSaving)
{
  RefreshSessionCounter sessions;
  AppHarness app(dataFolder());
  startWithFeed(app);
  ZPHAppDelegate* delegate = app.delegate.get();

  EXPECT_TRUE(delegate->isFirstRun());
  EXPECT_EQ(delegate->pathToDataFolder(), dataFolder());
  EXPECT_EQ(delegate->pathToCacheFolder(), ZPHSharedTestCacheFolder());
  EXPECT_TRUE(QFileInfo::exists(dataFolder() + "/Articles"));
  EXPECT_TRUE(delegate->userAgent().startsWith(QLatin1String("Zephlin/")));
  EXPECT_TRUE(delegate->userAgent().endsWith(QLatin1String("; gzip-happy)")));
  EXPECT_TRUE(delegate->userAgent().contains(QLatin1String("(Linux; ")));
  ASSERT_NE(delegate->mainWindow(), nullptr);
  EXPECT_TRUE(delegate->mainWindow()->isVisible());
  ASSERT_NE(delegate->refreshController(), nullptr);
  ASSERT_NE(delegate->sourceListTreeBuilder(), nullptr);
  EXPECT_EQ(ZPHCoreApplicationDelegate::sharedDelegate(), delegate);
  EXPECT_EQ(ZPHUserDefaults::standardUserDefaults().integerForKey(ZPHNumberOfLaunchesKey), 1);

  // One timer of a minute; the initial refresh a second after the account
  // was ready, once, also when the account reports ready again.
  QTimer* timer = delegate->periodicRefreshTimer();
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 60000);
  EXPECT_EQ(feedRequests(), 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished == 1; }, 30000));
  EXPECT_EQ(feedRequests(), 1);
  EXPECT_EQ(delegate->lastRefreshDate(), app.clock);
  ZPHNotificationCenter::defaultCenter().post(ZPHDataAccountReadyNotification,
                                              QVariant::fromValue(static_cast<void*>(app.data())));
  ZPHTestSpinEventLoop(1500);
  EXPECT_EQ(delegate->periodicRefreshTimer(), timer);
  EXPECT_EQ(sessions.begun, 1);
  EXPECT_EQ(feedRequests(), 1);
  app.settle();

  // The articles arrived; one is read when the quit saves and stays read.
  ZPHManagedObjectContext* main = delegate->mainThreadManagedObjectContext();
  const QList<CBDataArticle*> articles = CBDataArticle::articlesForFeedWithURL(feedURL(), main);
  ASSERT_EQ(articles.size(), 5);
  CBDataArticle* first = nullptr;
  for (CBDataArticle* article : articles) {
    if (article->guid() == QLatin1String("item-0"))
      first = article;
  }
  ASSERT_NE(first, nullptr);
  ArticleMetadata* metadata = first->findOrInsertMetadata();
  ASSERT_NE(metadata, nullptr);
  metadata->setRead(true);  // not saved: the quit saves it

  app.stop();
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_FALSE(QFileInfo::exists(dataFolder() + "/Zephlin.lock"));

  // A restart keeps the read state and is not a first run.
  AppHarness again(dataFolder());
  again.start();
  ASSERT_TRUE(again.delegate->startupSequenceEnded());
  EXPECT_FALSE(again.delegate->isFirstRun());
  EXPECT_FALSE(again.delegate->previousRunEndedUncleanly());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished == 2; }, 30000));
  again.settle();
  ZPHManagedObjectContext* reopened = again.delegate->mainThreadManagedObjectContext();
  int read = 0;
  for (CBDataArticle* article : CBDataArticle::articlesForFeedWithURL(feedURL(), reopened))
    read += article->read() ? 1 : 0;
  EXPECT_EQ(read, 1);
  EXPECT_EQ(CBDataArticle::fetchArticleWithBestLink(server.url("/item/0").toString(), reopened)->read(), true);
}

TEST_F(StartupAndQuitTest, ThePeriodicRefreshFollowsTheIntervalAndTheNetwork)
{
  RefreshSessionCounter sessions;
  AppHarness app(dataFolder());
  startWithFeed(app);
  ZPHAppDelegate* delegate = app.delegate.get();

  // Nothing before the first session has ended.
  EXPECT_FALSE(delegate->lastRefreshDate().isValid());
  delegate->doPeriodicRefreshIfNeeded();
  EXPECT_EQ(sessions.begun, 0);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished == 1; }, 30000));
  app.settle();

  struct Case {
    const char* what;
    qint64 minutes;  // "refreshFeedsInterval"; 0: unset (30)
    qint64 secondsSinceLastSession;
    bool connected;
    bool refreshes;
  };
  const Case cases[] = {
      {"9 minutes never", 9, 9 * 60, true, false},          {"9 minutes, a day later", 9, 86400, true, false},
      {"10 minutes, a second early", 10, 599, true, false}, {"10 minutes, on time", 10, 600, true, true},
      {"unset is 30 minutes, early", 0, 1799, true, false}, {"unset is 30 minutes, on time", 0, 1800, true, true},
      {"10 minutes while offline", 10, 3600, false, false}, {"10 minutes, connected again", 10, 3600, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.minutes > 0)
      ZPHUserDefaults::standardUserDefaults().setInteger(QStringLiteral("refreshFeedsInterval"), c.minutes);
    else
      ZPHUserDefaults::standardUserDefaults().removeObject(QStringLiteral("refreshFeedsInterval"));
    app.reachability->setConnected(c.connected);
    ASSERT_TRUE(
        ZPHTestWaitUntil([&] { return delegate->networkController()->hasInternetConnectivity() == c.connected; }));
    const QDateTime last = delegate->lastRefreshDate();
    app.clock = last.addSecs(c.secondsSinceLastSession);
    const int before = sessions.begun;
    delegate->doPeriodicRefreshIfNeeded();
    if (c.refreshes) {
      ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished == before + 1; }, 30000));
      EXPECT_EQ(delegate->lastRefreshDate(), app.clock);
      app.settle();
    } else {
      ZPHTestSpinEventLoop(100);
      EXPECT_EQ(sessions.begun, before);
      EXPECT_EQ(delegate->lastRefreshDate(), last);
    }
  }
}

TEST_F(StartupAndQuitTest, StartedOfflineTheFirstRefreshRunsOnceTheNetworkComes)
{
  RefreshSessionCounter sessions;
  AppHarness app(dataFolder());
  app.connected = false;
  startWithFeed(app);
  ZPHAppDelegate* delegate = app.delegate.get();

  ZPHTestSpinEventLoop(1500);
  EXPECT_EQ(sessions.begun, 0);
  EXPECT_FALSE(delegate->initialRefreshDone());
  // The status area learns that the network is gone.
  const auto offlineShown = [delegate] {
    QList<std::shared_ptr<ZPHStatusItem>> items = delegate->statusItems();
    if (ZPHStatusViewController* area = delegate->mainWindowController()->statusViewController())
      items += area->orderedStatusItems();
    return std::any_of(items.cbegin(), items.cend(), [](const std::shared_ptr<ZPHStatusItem>& item) {
      return item->identifier() == ZPHNetworkController::StatusItemIdentifier;
    });
  };
  EXPECT_TRUE(offlineShown());

  app.reachability->setConnected(true);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished == 1; }, 30000));
  EXPECT_TRUE(delegate->initialRefreshDone());
  EXPECT_EQ(feedRequests(), 1);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !offlineShown(); }, 20000));

  // From then on the timer takes over; the initial refresh does not come back.
  ZPHUserDefaults::standardUserDefaults().setInteger(QStringLiteral("refreshFeedsInterval"), 10);
  app.clock = delegate->lastRefreshDate().addSecs(600);
  delegate->doPeriodicRefreshIfNeeded();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return sessions.finished == 2; }, 30000));
  app.reachability->setConnected(false);
  app.reachability->setConnected(true);
  ZPHTestSpinEventLoop(200);
  EXPECT_EQ(sessions.begun, 2);
}

TEST_F(StartupAndQuitTest, AQuitBehindQueuedStoreWorkEndsWithTheMainWindowHidden)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  ZPHAppDelegate* delegate = app.delegate.get();
  delegate->mainWindow()->hide();

  // Store work that takes its time, and a change only the main context has.
  std::atomic<bool> release{false};
  std::atomic<bool> running{false};
  delegate->addCoreDataQueueBlock(
      [&] {
        running = true;
        for (int waited = 0; !release && waited < 60000; waited += 5) QThread::msleep(5);
      },
      {});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return running.load(); }));
  ZPHManagedObject* folder = delegate->mainThreadManagedObjectContext()->insertNewObject(CBDataEntityNameFolder);
  folder->setValue(QStringLiteral("guid"), QStringLiteral("made-before-the-quit"));

  delegate->requestTermination();
  EXPECT_TRUE(delegate->appIsShuttingDown());
  ZPHTestSpinEventLoop(300);
  EXPECT_FALSE(app.exitStatus.has_value());
  // The quitting window shows by itself, since the main window is hidden.
  ASSERT_NE(delegate->quittingWindowController(), nullptr);
  QDialog* quitting = delegate->quittingWindowController()->window();
  EXPECT_TRUE(quitting->isVisible());
  EXPECT_EQ(quitting->parentWidget(), nullptr);
  EXPECT_FALSE(delegate->runningModalSheet());
  // New store work is refused while quitting; another request does nothing.
  bool refusedRan = false;
  delegate->addCoreDataQueueBlock([&] { refusedRan = true; }, {});
  delegate->requestTermination();

  release = true;
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_FALSE(quitting->isVisible());
  EXPECT_FALSE(refusedRan);
  app.delegate.reset();

  // The main context was saved last.
  ZPHTestApplicationDelegate reader;
  reader.setDataFolder(dataFolder());
  CBDataController controller;
  reader.useDataController(&controller);
  ZPHError error;
  ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error));
  EXPECT_EQ(controller.mainThreadManagedObjectContext()->countForFetchRequest(ZPHFetchRequest(
                CBDataEntityNameFolder, ZPHPredicate::equal(QStringLiteral("guid"), "made-before-the-quit"))),
            1);
  reader.useDataController(nullptr);
}

TEST_F(StartupAndQuitTest, WithTheMainWindowShowingTheQuittingWindowIsASheetOnIt)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  ZPHAppDelegate* delegate = app.delegate.get();
  std::atomic<bool> release{false};
  std::atomic<bool> running{false};
  delegate->addCoreDataQueueBlock(
      [&] {
        running = true;
        for (int waited = 0; !release && waited < 60000; waited += 5) QThread::msleep(5);
      },
      {});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return running.load(); }));

  // Closing the main window is a request to quit; the window stays until
  // the work is done.
  EXPECT_FALSE(delegate->mainWindow()->close());
  EXPECT_TRUE(delegate->mainWindow()->isVisible());
  ZPHTestSpinEventLoop(100);
  QDialog* quitting = delegate->quittingWindowController()->window();
  EXPECT_TRUE(quitting->isVisible());
  EXPECT_EQ(quitting->parentWidget(), delegate->mainWindow());
  EXPECT_EQ(quitting->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(delegate->runningModalSheet());
  release = true;
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_FALSE(delegate->runningModalSheet());
}

TEST_F(StartupAndQuitTest, AQuitWithNothingPendingEndsWithoutTheQuittingWindow)
{
  AppHarness app(dataFolder());
  app.start();
  app.settle();
  // The application's own quit request (the quit command, the session
  // manager) takes the same road.
  QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_EQ(app.delegate->quittingWindowController(), nullptr);
}

TEST_F(StartupAndQuitTest, ALaunchThatFindsTheFolderTakenLeavesWithoutTouchingIt)
{
  // Another process that holds the lock and does not answer.
  ASSERT_TRUE(QDir().mkpath(dataFolder()));
  QLockFile holder(dataFolder() + QStringLiteral("/Zephlin.lock"));
  holder.setStaleLockTime(0);
  ASSERT_TRUE(holder.tryLock(0));

  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.exitStatus.has_value());
  EXPECT_EQ(app.exitStatus, 0);
  ASSERT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(app.alerts[0].messageText, QStringLiteral("Zephlin already running."));
  EXPECT_EQ(app.delegate->dataController(), nullptr);
  EXPECT_EQ(app.delegate->mainWindow(), nullptr);
  EXPECT_FALSE(QFileInfo::exists(dataFolder() + QStringLiteral("/Articles")));
  EXPECT_FALSE(ZPHUserDefaults::standardUserDefaults().hasStoredValue(ZPHFirstRunDateKey));
  app.delegate.reset();
  EXPECT_TRUE(holder.isLocked());
}

TEST_F(StartupAndQuitTest, TheMainWindowHoldsTheSourceListAndTheArticleList)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  ZPHMainWindowController* controller = app.delegate->mainWindowController();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(app.delegate->mainWindow(), controller->window());
  EXPECT_EQ(controller->window()->centralWidget(), controller->applicationSplitView());
  EXPECT_EQ(controller->applicationSplitView()->widget(0), controller->sourceListViewController()->view());
  EXPECT_EQ(controller->applicationSplitView()->widget(1), controller->rightPaneContainerView());
  // The article list fills the right pane.
  ASSERT_NE(controller->articleListDelegate(), nullptr);
  EXPECT_EQ(controller->rightPaneContainerView()->currentView(), controller->contentPaneController()->contentView());
  // The status area sits under the source list.
  EXPECT_TRUE(
      controller->sourceListStatusViewEnclosingView()->isAncestorOf(controller->statusViewController()->view()));
  // Today is selected.
  EXPECT_EQ(controller->sourceListViewController()->selectedRows(), QList<int>{2});
  // The window keeps working through a theme switch and back.
  const QString before = ZPHTheme::currenThemeIdentifier();
  ZPHTheme::switchToThemeWithIdentifier(ZPHDarkThemeIdentifier);
  ZPHTheme::switchToThemeWithIdentifier(before);
  EXPECT_EQ(ZPHTheme::currenThemeIdentifier(), before);
}
