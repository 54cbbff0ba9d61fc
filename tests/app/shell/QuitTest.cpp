// The quit of the running application: every wait ends, by the event it
// waits for or at its bound, which is reported; nothing is killed.

#include "app/shell/AppHarness.h"
#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "foundation/CBPrefs.h"
#include "keys/ZPHKeyMappingController.h"
#include "platform/CBOperation.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHOperationQueue.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHPredicate.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QSemaphore>
#include <QtCore/QThread>
#include <QtGui/QAction>
#include <QtTest/QTest>
#include <QtWidgets/QMainWindow>

#include <atomic>

namespace {

// Runs until its gate opens, cancelled or not.
class StubbornOperation : public CBOperation {
public:
  QSemaphore gate;
  QSemaphore entered;

protected:
  void main() override
  {
    entered.release();
    gate.acquire();
  }
};

const QString BoundReached = QStringLiteral("did not end within its bound");

class QuitTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(server.start());
    // A feed whose server takes its time (the body after 25 s).
    server.route(QStringLiteral("/slow.xml"), [this](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "application/rss+xml"}};
      response.body = ZPHTestFeed(server.url(), 3);
      response.delayBeforeBodyMs = 25000;
      return response;
    });
  }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }

  bool slowFeedAsked() const
  {
    for (const ZPHTestHTTPRequest& request : server.requests()) {
      if (request.path == QLatin1String("/slow.xml"))
        return true;
    }
    return false;
  }

  static int refreshQueueCount(ZPHAppDelegate* delegate)
  {
    return delegate->refreshController()->refreshOperationController()->operationQueue()->operationCount();
  }

  // Whether the store in the data folder has the folder of this guid.
  bool storeHasFolder(const QString& guid) const
  {
    ZPHTestApplicationDelegate reader;
    reader.setDataFolder(dataFolder());
    CBDataController controller;
    reader.useDataController(&controller);
    ZPHError error;
    if (!controller.setupCoreDataStackWithClass({}, false, &error))
      return false;
    const int count = controller.mainThreadManagedObjectContext()->countForFetchRequest(
        ZPHFetchRequest(CBDataEntityNameFolder, ZPHPredicate::equal(QStringLiteral("guid"), guid)));
    reader.useDataController(nullptr);
    return count == 1;
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
};

}  // namespace

TEST_F(QuitTest, AQuitDuringARefreshOfASlowSiteEndsWithTheRefreshEnded)
{
  ZPHSeedStoreWithFeed(dataFolder(), server.url(QStringLiteral("/slow.xml")));
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  ZPHAppDelegate* delegate = app.delegate.get();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return slowFeedAsked(); }, 30000));
  ASSERT_EQ(refreshQueueCount(delegate), 1);

  ZPHTestLogCapture log;
  delegate->requestTermination();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  // The refresh was cancelled and has ended, and the refresh controller's
  // list emptied with it: letting go of the controller waits for nothing.
  EXPECT_EQ(refreshQueueCount(delegate), 0);
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] { return delegate->refreshController()->refreshOperationController()->numberOfOperations() == 0; }, 10000));
  EXPECT_TRUE(log.linesContaining(BoundReached).isEmpty()) << log.lines().join('\n').toStdString();
  app.delegate.reset();
  EXPECT_TRUE(log.linesContaining(QStringLiteral("did not end within")).isEmpty())
      << log.lines().join('\n').toStdString();
  EXPECT_FALSE(QFileInfo::exists(dataFolder() + QStringLiteral("/Zephlin.lock")));
}

TEST_F(QuitTest, FeedMetadataWritesUnderWayDoNotHoldTheQuit)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache = CBLocalAccountFeedMetadataCache::sharedCache();
  ASSERT_TRUE(cache);

  // Writes as every saved feed leaves them; the quit begins while they run.
  for (int i = 0; i < 50; ++i) {
    const QByteArray n = QByteArray::number(i);
    cache->setContentHash(QCryptographicHash::hash(n, QCryptographicHash::Md5),
                          QUrl(QStringLiteral("http://127.0.0.1:9/quit-%1.xml").arg(i)));
  }
  ASSERT_TRUE(cache->hasOperations());
  ZPHTestLogCapture log;
  app.delegate->requestTermination();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_FALSE(cache->hasOperations());
  EXPECT_TRUE(log.linesContaining(BoundReached).isEmpty()) << log.lines().join('\n').toStdString();
}

TEST_F(QuitTest, EveryWaitThatDoesNotEndStopsAtItsBoundAndSaysSo)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  ZPHAppDelegate* delegate = app.delegate.get();

  // A refresh that ignores its cancel, store work that ignores its cancel,
  // and a change only the main context has.
  auto refresh = std::make_shared<StubbornOperation>();
  delegate->refreshController()->refreshOperationController()->addOperation(refresh);
  ASSERT_TRUE(refresh->entered.tryAcquire(1, 10000));
  std::atomic<bool> release{false};
  std::atomic<bool> storeWorkRunning{false};
  delegate->addCoreDataQueueBlock(
      [&] {
        storeWorkRunning = true;
        for (int waited = 0; !release && waited < 120000; waited += 5) QThread::msleep(5);
      },
      {});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return storeWorkRunning.load(); }));
  ZPHManagedObject* folder = delegate->mainThreadManagedObjectContext()->insertNewObject(CBDataEntityNameFolder);
  folder->setValue(QStringLiteral("guid"), QStringLiteral("made-before-a-stuck-quit"));

  ZPHTestLogCapture log;
  delegate->requestTermination();
  // Nothing was let go, yet the quit ends: each step gave up at its bound.
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 0);
  const QStringList reached = log.linesContaining(BoundReached);
  ASSERT_EQ(reached.size(), 3) << log.lines().join('\n').toStdString();
  struct Expected {
    const char* what;
    int boundMs;
  } expected[] = {
      {"the cancelled refreshes and the feed metadata writes", ZPHAppDelegate::QuitBackgroundWorkBoundMs},
      {"the store queue", ZPHAppDelegate::QuitStoreQueueBoundMs},
      {"the cancelled store queue", ZPHAppDelegate::QuitStoreQueueCancelBoundMs},
  };
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(expected[i].what);
    EXPECT_TRUE(reached[i].contains(QStringLiteral("quit: %1 did not end within its bound of %2 ms")
                                        .arg(QString::fromLatin1(expected[i].what))
                                        .arg(expected[i].boundMs)))
        << reached[i].toStdString();
  }
  // The bounds together stay within the deadline main() sets.
  EXPECT_LT(ZPHAppDelegate::QuitBackgroundWorkBoundMs + ZPHAppDelegate::QuitStoreQueueBoundMs +
                ZPHAppDelegate::QuitStoreQueueCancelBoundMs + ZPHAppDelegate::QuitTeardownBoundMs,
            ZPHAppDelegate::QuitDeadlineMs);
  EXPECT_EQ(log.linesContaining(QStringLiteral("wrote the store back")).size(), 1);
  EXPECT_FALSE(delegate->mainWindow()->isVisible());

  // What still ran ends now; the delegate goes after it.
  refresh->gate.release();
  release = true;
  app.delegate.reset();
  EXPECT_TRUE(storeHasFolder(QStringLiteral("made-before-a-stuck-quit")));
  EXPECT_FALSE(QFileInfo::exists(dataFolder() + QStringLiteral("/Zephlin.lock")));
}

TEST_F(QuitTest, ControlQQuitsInEitherKeySet)
{
  for (const QString& set : {ZPHKeyMappingController::Zephlin3SetName, ZPHKeyMappingController::Zephlin4SetName}) {
    SCOPED_TRACE(set.toStdString());
    ZPHUserDefaults::standardUserDefaults().setString(ZPHKeyMapSetName, set);
    AppHarness app(dataFolder());
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    app.settle();
    QAction* quit = app.delegate->commandAction(QStringLiteral("terminate:"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_TRUE(app.delegate->mainWindow()->actions().contains(quit));

    QMainWindow* window = app.delegate->mainWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_TRUE(app.waitForExit());
    EXPECT_EQ(app.exitStatus, 0);
    app.delegate.reset();
  }
  ZPHUserDefaults::standardUserDefaults().removeObject(ZPHKeyMapSetName);
}

TEST_F(QuitTest, WithoutALockOnItsDataFolderNoCopyOpensTheStore)
{
  const QString folder = ZPHTestReadOnlyFolder(dir);
  AppHarness app(folder);
  app.start();
  ASSERT_TRUE(app.exitStatus.has_value());
  EXPECT_EQ(app.exitStatus, 1);
  ASSERT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(app.alerts[0].messageText, QStringLiteral("Zephlin can’t lock its data folder."));
  EXPECT_TRUE(app.alerts[0].informativeText.contains(folder + QStringLiteral("/Zephlin.lock")))
      << app.alerts[0].informativeText.toStdString();
  EXPECT_EQ(app.delegate->dataController(), nullptr);
  EXPECT_EQ(app.delegate->mainWindow(), nullptr);
  EXPECT_EQ(app.delegate->instanceLock(), nullptr);
  EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/Articles")));
  app.delegate.reset();
}
