#pragma once

// Runs the real application delegate in the test process on a data folder
// of the test's own, with the clock, the free disk space, the connectivity,
// the alerts, the desktop and the end of the event loop in the test's
// hands.

#include "app/ZPHAppTestSchemes.h"
#include "feeds/network/ZPHNetworkController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "shell/ZPHAppDelegate.h"
#include "store/CBDataController.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBFeed.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTimeZone>
#include <QtGui/QDesktopServices>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

// Connectivity the test switches.
class ScriptedReachability : public ZPHNetworkController::ReachabilitySource {
public:
  explicit ScriptedReachability(bool connected) : m_connected(connected) {}
  bool setCallback(FlagsHandler handler) override
  {
    m_handler = std::move(handler);
    return true;
  }
  std::optional<quint32> currentFlags() override { return flags(); }
  void setConnected(bool connected)
  {
    m_connected = connected;
    if (m_handler)
      m_handler(flags());
  }

private:
  quint32 flags() const { return m_connected ? quint32(ZPHNetworkController::ReachabilityFlagReachable) : 0; }
  bool m_connected;
  FlagsHandler m_handler;
};

// The caches of the core library are made once per process, in the cache
// folder of the first application that asks: one folder for the whole run.
inline QString ZPHSharedTestCacheFolder()
{
  static ZPHTestTempDir* folder = new ZPHTestTempDir;  // kept for the run
  return folder->path();
}

// Counts the refresh sessions that begin.
struct RefreshSessionCounter {
  RefreshSessionCounter()
  {
    began = ZPHNotificationCenter::defaultCenter().addObserver(ZPHRefreshSessionDidBeginNotification, QVariant(),
                                                               [this](const ZPHNotification&) { ++begun; });
    ended = ZPHNotificationCenter::defaultCenter().addObserver(ZPHRefreshSessionDidEndNotification, QVariant(),
                                                               [this](const ZPHNotification&) { ++finished; });
  }
  int begun = 0;
  int finished = 0;
  ZPHObserverToken began;
  ZPHObserverToken ended;
};

class AppHarness {
public:
  explicit AppHarness(const QString& dataFolder) : dataFolder(dataFolder) {}
  ~AppHarness() { stop(); }

  QString dataFolder;
  QDateTime clock = QDateTime(QDate(2026, 3, 8), QTime(15, 5, 9));
  // Times the main window's delays when set (a ZPHManualClock of the test).
  ZPHClock* interfaceClock = nullptr;
  std::optional<qint64> freeBytes = qint64(50) * 1024 * 1024 * 1024;
  bool connected = true;
  QString screenshotPath;
  // Told what main() is told of its quit deadline's holds (none unless set).
  std::function<void(bool held)> holdQuitDeadline;
  // The button the user presses in an alert.
  std::function<int(const ZPHAlert&)> answerAlert = [](const ZPHAlert&) { return 0; };

  // The modifier keys held; with useDesktopServices, addresses go to the
  // desktop's handlers (QDesktopServices::setUrlHandler) instead of openedURLs.
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  bool useDesktopServices = false;
  // With useDesktopOpener, the application's own opener (xdg-open on the
  // PATH) takes them.
  bool useDesktopOpener = false;
  QStringList launchArguments;
  QString workingDirectory;

  QList<ZPHAlert> alerts;
  QList<QUrl> openedURLs;
  // Whether the desktop takes the addresses handed to it (openedURLs).
  bool desktopOpens = true;
  int beeps = 0;
  std::optional<int> exitStatus;
  int exits = 0;
  ScriptedReachability* reachability = nullptr;  // owned by the network controller
  std::unique_ptr<ZPHAppDelegate> delegate;
  // Runs once the delegate exists, before its start-up.
  std::function<void(ZPHAppDelegate*)> beforeLaunch;
  // The welcome window on a first run and the mailing-list reminder; off
  // unless a test looks at them.
  bool presentsFirstRunWindows = false;

  // Makes the delegate and runs its start-up.
  void start()
  {
    ZPHAppDelegate::Environment environment;
    environment.dataFolder = dataFolder;
    environment.cacheFolder = ZPHSharedTestCacheFolder();
    environment.screenshotPath = screenshotPath;
    environment.holdQuitDeadline = holdQuitDeadline;
    environment.now = [this] { return clock; };
    environment.interfaceClock = [this] { return interfaceClock; };
    environment.freeDiskSpace = [this](const QString&) { return freeBytes; };
    environment.makeReachabilitySource = [this] {
      auto source = std::make_unique<ScriptedReachability>(connected);
      reachability = source.get();
      return source;
    };
    environment.runModalAlert = [this](const ZPHAlert& alert) {
      alerts.append(alert);
      return answerAlert(alert);
    };
    if (!useDesktopServices && !useDesktopOpener) {
      environment.openURL = [this](const QUrl& url) {
        openedURLs.append(url);
        return desktopOpens;
      };
    } else if (!useDesktopOpener) {
      environment.openURL = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    }
    environment.keyboardModifiers = [this] { return modifiers; };
    environment.beep = [this] { ++beeps; };
    environment.presentsFirstRunWindows = presentsFirstRunWindows;
    environment.launchArguments = launchArguments;
    environment.workingDirectory = workingDirectory;
    environment.exitApplication = [this](int status) {
      exitStatus = status;
      ++exits;
    };
    exitStatus.reset();
    delegate = std::make_unique<ZPHAppDelegate>(std::move(environment));
    if (beforeLaunch)
      beforeLaunch(delegate.get());
    delegate->applicationDidFinishLaunching();
  }

  bool waitForExit(int timeoutMs = 60000)
  {
    return ZPHTestWaitUntil([&] { return exitStatus.has_value(); }, timeoutMs);
  }

  // Quits as the user would and lets the delegate go.
  void stop()
  {
    if (!delegate)
      return;
    if (!exitStatus) {
      delegate->requestTermination();
      EXPECT_TRUE(waitForExit()) << "the quit did not end";
    }
    delegate.reset();
    reachability = nullptr;
  }

  CBDataController* data() const { return delegate ? delegate->dataController() : nullptr; }

  // Waits until the store queue ran dry and what it handed to the main
  // thread has run.
  void settle()
  {
    for (int quiet = 0; quiet < 3;) {
      ASSERT_TRUE(ZPHTestWaitUntil([&] { return !data() || !data()->coreDataQueueHasOperations(); }, 60000));
      ZPHTestSpinEventLoop(20);
      quiet = data() && data()->coreDataQueueHasOperations() ? 0 : quiet + 1;
    }
  }

  // Shows a window and makes it the active one, as the user's click would;
  // true once it is.
  static bool showActive(QWidget* window)
  {
    window->show();
    QApplication::setActiveWindow(window);
    return ZPHTestWaitUntil([window] { return window->isActiveWindow(); });
  }
};

// Settings the application writes, cleared so every test starts as a first
// run with nothing stored.
inline void ZPHResetApplicationSettings()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  for (const QString& key :
       {ZPHFirstRunDateKey, ZPHNumberOfLaunchesKey, ZPHMainWindowControllerWasFullScreenKey,
        ZPHStoreIntegrityCheckDueKey, QStringLiteral("refreshFeedsInterval"),
        QStringLiteral("ZPHSubthemeStyleIndexKey"), QStringLiteral("ZPHHideReadItems"),
        QStringLiteral("ZPHHideReadArticles"), QStringLiteral("ZPHHideFeedsWithNoUnread"),
        QStringLiteral("ZPHKeyMapSetName"), QStringLiteral("ZPHMainWindowFrame"),
        QStringLiteral("ZPHMainWindowMaximized"), QStringLiteral("ZPHSourceListWidth"),
        QStringLiteral("ZPHStandardLayoutListWidth"), QStringLiteral("ZPHClassicLayoutListHeight")})
    defaults.removeObject(key);
}

// A small RSS feed whose links stay on the loopback server.
inline QByteArray ZPHTestFeed(const QUrl& base, int items)
{
  QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>Loopback</title>";
  xml += "<link>" + base.toString().toUtf8() + "site</link>";
  for (int i = 0; i < items; ++i) {
    const QByteArray n = QByteArray::number(i);
    xml += "<item><title>Item " + n + "</title><link>" + base.toString().toUtf8() + "item/" + n + "</link><guid>item-" +
           n + "</guid><pubDate>Sun, 08 Mar 2026 12:00:0" + QByteArray::number(i % 10) +
           " GMT</pubDate><description>Text " + n + "</description></item>";
  }
  return xml + "</channel></rss>";
}

// Serves ZPHTestFeed with `items` items at "/feed.xml" of the server.
inline void ZPHServeTestFeed(ZPHTestHTTPServer& server, int items)
{
  server.route(QStringLiteral("/feed.xml"), [&server, items](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "application/rss+xml"}};
    response.body = ZPHTestFeed(server.url(), items);
    return response;
  });
}

// Opens the store in `dataFolder`, lets `fill` add to it on the main
// thread's context, saves and closes it again, as an earlier run would have
// left it.
inline void ZPHSeedStore(const QString& dataFolder, const std::function<void(CBDataController&)>& fill)
{
  ZPHTestApplicationDelegate seeder;
  seeder.setDataFolder(dataFolder);
  CBDataController controller;
  seeder.useDataController(&controller);
  ZPHError error;
  ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, &error)) << error.toString().toStdString();
  controller.completeSetup();
  fill(controller);
  controller.saveMainThreadManagedObjectContext();
  ZPHTestSpinEventLoop(50);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
  seeder.useDataController(nullptr);
}

// Opens the store in `dataFolder` as the next run would, lets `read` look
// at it, and closes it again.
inline void ZPHReadStoredStore(const QString& dataFolder, const std::function<void(CBDataController&)>& read)
{
  ZPHTestApplicationDelegate reader;
  reader.setDataFolder(dataFolder);
  CBDataController controller;
  reader.useDataController(&controller);
  ZPHError error;
  if (controller.setupCoreDataStackWithClass({}, false, &error))
    read(controller);
  else
    ADD_FAILURE() << "the stored store did not open: " << error.toString().toStdString();
  reader.useDataController(nullptr);
}

// Subscribes a store in `dataFolder` to the feeds, as an earlier run would
// have left it; the store is closed again when this returns.
inline void ZPHSeedStoreWithFeeds(const QString& dataFolder, const QList<QUrl>& feedURLs)
{
  ZPHSeedStore(dataFolder, [&](CBDataController& controller) {
    for (const QUrl& feedURL : feedURLs) {
      CBFeed* feed = CBFeed::insertFeedWithURL(feedURL, controller.mainThreadManagedObjectContext());
      ASSERT_NE(controller.localAccount()->addFeed(feed), nullptr);
    }
  });
}

// Subscribes a store in `dataFolder` to the feed.
inline void ZPHSeedStoreWithFeed(const QString& dataFolder, const QUrl& feedURL)
{
  ZPHSeedStoreWithFeeds(dataFolder, {feedURL});
}
