#include "core/store/graph/KillMidSave.h"

#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "store/CBCoreDataUtilities.h"
#include "store/CBDataController.h"
#include "store/ZPHCoreDataStack.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "support/ZPHTestApplicationDelegate.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMutex>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// The application's side: the test delegate forwarding to a real data
// controller over a store in the delegate's data folder.
class DataControllerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, true, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
    ASSERT_NE(main, nullptr);
  }

  QString storePath() const { return QDir(delegate.pathToDataFolder()).filePath(QStringLiteral("Articles")); }

  ZPHManagedObject* insertFeed(ZPHManagedObjectContext* context, const QString& name)
  {
    ZPHManagedObject* feed = context->insertNewObject(CBDataEntityNameFeed);
    feed->setValue(QStringLiteral("guid"), name);
    feed->setValue(QStringLiteral("name"), name);
    feed->setValue(QStringLiteral("url"), QStringLiteral("https://example.com/") + name);
    return feed;
  }

  // Serves the main thread until the store queue is empty.
  void drainStoreQueue()
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
  }

  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
};

class Recorder {
public:
  void add(const QString& entry)
  {
    QMutexLocker locker(&m_mutex);
    m_entries.append(entry);
  }
  QStringList entries() const
  {
    QMutexLocker locker(&m_mutex);
    return m_entries;
  }

private:
  mutable QMutex m_mutex;
  QStringList m_entries;
};

constexpr char KillChildVariable[] = "ZPH_DATA_CONTROLLER_KILL_CHILD";

}  // namespace

TEST_F(DataControllerTest, OpensArticlesInTheDataFolderWithOneSerialStoreQueue)
{
  EXPECT_TRUE(QFileInfo::exists(storePath()));
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(storePath(), nullptr), CBDataModelCurrentVersion);
  EXPECT_EQ(controller.coreDataBackgroundOperationQueue()->name(),
            QStringLiteral("com.fernhollow.zephlin.coreDataBackgroundQueue"));
  EXPECT_EQ(controller.coreDataBackgroundOperationQueue()->maxConcurrentOperationCount(), 1);
  EXPECT_EQ(delegate.dataController(), &controller);
  EXPECT_EQ(controller.managedObjectContext().get(), main);

  // Off the main thread there is no main context, and a new temporary one.
  ZPHManagedObjectContext* offMain = main;
  bool temporaryIsNew = false;
  std::thread worker([&] {
    offMain = delegate.mainThreadManagedObjectContext();
    auto temporary = controller.managedObjectContext();
    temporaryIsNew = temporary && temporary.get() != main && !temporary->isMainContext();
  });
  worker.join();
  EXPECT_EQ(offMain, nullptr);
  EXPECT_TRUE(temporaryIsNew);
}

TEST(DataControllerSetupTest, AStoreThatIsNotADatabaseIsReportedAndKept)
{
  ZPHTestApplicationDelegate delegate;
  const QString path = QDir(delegate.pathToDataFolder()).filePath(QStringLiteral("Articles"));
  const QByteArray junk = QByteArray("not a store\n").repeated(500);
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(junk);
  }
  CBDataController controller;
  ZPHError error;
  EXPECT_FALSE(controller.setupCoreDataStackWithClass({}, true, &error));
  EXPECT_EQ(error.code(), ZPHObjectGraphNotADatabaseError);
  EXPECT_EQ(controller.persistentStore(), nullptr);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), junk);
}

// The saver does not wait for the main thread's merge, but the merge runs
// on the main thread before anything the saver hands the main thread after
// its save: work it waits for, and work it does not (as notifications go).
TEST_F(DataControllerTest, AStoreQueueSaveIsInTheMainContextBeforeWhatTheSaverHandsOnAfterIt)
{
  ZPHManagedObject* feed = insertFeed(main, QStringLiteral("one"));
  controller.saveMainThreadManagedObjectContext();
  const ZPHManagedObjectID feedID = feed->objectID();
  std::atomic<bool> mergedOnMainThread{false};
  const int token = feed->addChangeObserver([&](ZPHManagedObject* object, const QString& key) {
    if (key == QStringLiteral("name") && object->value(key) == QStringLiteral("renamed"))
      mergedOnMainThread = ZPHMainThread::isMainThread();
  });
  const auto renamed = [&] { return feed->value(QStringLiteral("name")).toString() == QStringLiteral("renamed"); };
  std::atomic<int> seenByLaterWork{0};
  std::atomic<int> laterWork{0};
  delegate.addCoreDataQueueBlock(
      [&] {
        auto context = delegate.temporaryManagedObjectContext();
        context->existingObjectWithID(feedID)->setValue(QStringLiteral("name"), QStringLiteral("renamed"));
        delegate.saveManagedObjectContext(context.get());
        ZPHMainThread::async([&] {
          seenByLaterWork += renamed() ? 1 : 0;
          ++laterWork;
        });
        ZPHMainThread::sync([&] {
          seenByLaterWork += renamed() ? 1 : 0;
          ++laterWork;
        });
      },
      {});
  drainStoreQueue();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return laterWork.load() == 2; }, 30000));
  EXPECT_TRUE(mergedOnMainThread);
  EXPECT_EQ(seenByLaterWork.load(), 2);
  EXPECT_TRUE(renamed());
  feed->removeChangeObserver(token);

  // A private-queue context works inside its blocks and merges the same way.
  auto privateContext = delegate.temporaryManagedObjectContextOnPrivateQueue();
  ASSERT_TRUE(privateContext);
  privateContext->performBlockAndWait([&] {
    insertFeed(privateContext.get(), QStringLiteral("two"));
    CBSaveManagedObjectContext(privateContext.get());
  });
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameFeed)), 2);
  EXPECT_TRUE(delegate.coreDataFailures().isEmpty());
}

TEST_F(DataControllerTest, MainThreadBlocksRunInQueueOrderWithTheMarkerSet)
{
  Recorder order;
  std::atomic<bool> safeOnQueue{false};
  bool markerInside = false;
  bool safeInside = false;
  controller.addCoreDataQueueBlock(
      [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        safeOnQueue = CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(nullptr);
        order.add(QStringLiteral("store 1"));
      },
      [&] { order.add(QStringLiteral("store 1 done")); });
  controller.addMainThreadCoreDataQueueBlock([&] {
    markerInside = CBDataController::mainThreadCoreDataMarker() && ZPHMainThread::isMainThread();
    safeInside = CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(main);
    order.add(QStringLiteral("main 1"));
  });
  controller.addCoreDataQueueBlock([&] { order.add(QStringLiteral("store 2")); }, {});
  controller.addMainThreadCoreDataQueueBlock([&] { order.add(QStringLiteral("main 2")); });
  drainStoreQueue();
  EXPECT_EQ(order.entries(),
            (QStringList{QStringLiteral("store 1"), QStringLiteral("store 1 done"), QStringLiteral("main 1"),
                         QStringLiteral("store 2"), QStringLiteral("main 2")}));
  EXPECT_TRUE(safeOnQueue);
  EXPECT_TRUE(markerInside);
  EXPECT_TRUE(safeInside);
  EXPECT_FALSE(CBDataController::mainThreadCoreDataMarker());
  EXPECT_FALSE(CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(main));
}

TEST_F(DataControllerTest, SafeToModifyRulesForTabsOnlyAndExplicitlySafeContexts)
{
  main->userInfo().insert(ZPHManagedObjectContextUserInfoIsTabsOnlyKey, true);
  EXPECT_TRUE(CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(main));  // no changes
  main->insertNewObject(CBDataEntityNameBrowserTab);
  EXPECT_TRUE(CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(main));
  insertFeed(main, QStringLiteral("one"));
  EXPECT_FALSE(CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(main));
  main->userInfo().insert(ZPHManagedObjectContextUserInfoExplicitlySafeKey, true);
  EXPECT_TRUE(CBDataController::currentThreadIsSafeForCoreDataModificationWithMOC(main));
}

TEST_F(DataControllerTest, AnyAccountIsSubscribedToAFeedOfTheLocalAccountOnly)
{
  const QUrl subscribed(QStringLiteral("https://example.com/feed.xml"));
  // Before the accounts exist nothing is subscribed.
  EXPECT_FALSE(controller.anyAccountIsSubscribedToFeedWithURL(subscribed));
  controller.completeSetup();
  ASSERT_NE(controller.localAccount(), nullptr);
  controller.localAccount()->addFeed(CBFeed::insertFeedWithURL(subscribed, main));
  EXPECT_TRUE(controller.anyAccountIsSubscribedToFeedWithURL(subscribed));
  for (const char* other : {"https://example.com/other.xml", "", "http://[bad"})
    EXPECT_FALSE(controller.anyAccountIsSubscribedToFeedWithURL(QUrl(QString::fromLatin1(other)))) << other;
}

TEST_F(DataControllerTest, NothingIsQueuedOnceTheApplicationShutsDownUnlessAsked)
{
  delegate.shuttingDown = true;
  std::atomic<bool> ran{false};
  std::atomic<bool> handled{false};
  delegate.addCoreDataQueueBlock([&] { ran = true; }, [&] { handled = true; });
  delegate.addMainThreadCoreDataQueueBlock([&] { ran = true; });
  controller.addCoreDataQueueOperation(std::make_shared<ZPHBlockOperation>([&] { ran = true; }));
  bool finalSave = false;
  delegate.addMainThreadCoreDataQueueBlockIgnoringTermination([&] { finalSave = true; });
  drainStoreQueue();
  EXPECT_TRUE(finalSave);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(handled);
}

TEST_F(DataControllerTest, AFailedStoreQueueSaveReachesTheFailureHandlerOnce)
{
  {
    std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(storePath(), false, nullptr);
    ASSERT_TRUE(raw);
    ASSERT_TRUE(
        raw->exec("CREATE TRIGGER boom BEFORE INSERT ON \"Node\" WHEN NEW.name = 'boom' "
                  "BEGIN SELECT RAISE(ABORT, 'boom'); END"));
  }
  delegate.addCoreDataQueueBlock(
      [&] {
        auto context = delegate.temporaryManagedObjectContext();
        insertFeed(context.get(), QStringLiteral("fine"));
        insertFeed(context.get(), QStringLiteral("boom"));
        delegate.saveManagedObjectContext(context.get());
      },
      {});
  drainStoreQueue();
  ASSERT_EQ(delegate.coreDataFailures().size(), 1);
  EXPECT_EQ(delegate.coreDataFailures()[0].domain(), ZPHObjectGraphErrorDomain);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameNode)), 0);
}

#ifdef QT_DEBUG
TEST_F(DataControllerTest, WritingToTheMainContextFromTheStoreQueueIsCaught)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ZPHManagedObject* feed = insertFeed(main, QStringLiteral("one"));
  EXPECT_DEATH(
      {
        delegate.addCoreDataQueueBlock([&] { feed->setValue(QStringLiteral("name"), QStringLiteral("other")); }, {});
        drainStoreQueue();
      },
      "store context used off its own thread");
}
#endif

// Runs in a child process started by the test below: through the data
// controller, commits a first save on the store queue, then starts a large
// one there and is killed while it writes.
TEST(DataControllerKillSafety, ChildSavesOnTheStoreQueueUntilKilled)
{
  const QString dataFolder = qEnvironmentVariable(KillChildVariable);
  if (dataFolder.isEmpty())
    GTEST_SKIP() << "runs only as the child of ALargeStoreQueueSaveKilledMidwayKeepsWholeSlices";
  ZPHTestApplicationDelegate delegate;
  delegate.setDataFolder(dataFolder);
  CBDataController controller;
  delegate.useDataController(&controller);
  ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, false, nullptr));
  auto insertArticles = [](ZPHManagedObjectContext* context, int first, int count, const QString& text) {
    for (int i = first; i < first + count; ++i) {
      ZPHManagedObject* article = context->insertNewObject(CBDataEntityNameArticle);
      article->setValue(QStringLiteral("guid"), QString::number(i));
      article->setValue(QStringLiteral("title"), text);
      ZPHManagedObject* content = context->insertNewObject(CBDataEntityNameArticleContent);
      content->setValue(QStringLiteral("htmlText"), text);
      article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
    }
  };
  std::atomic<bool> done{false};
  delegate.addCoreDataQueueBlock(
      [&] {
        auto context = delegate.temporaryManagedObjectContext();
        insertArticles(context.get(), 0, 10, QStringLiteral("first"));
        delegate.saveManagedObjectContext(context.get());
        insertArticles(context.get(), 10, 40000, QString(800, QLatin1Char('y')));
        std::fputs("saving\n", stdout);
        std::fflush(stdout);
        delegate.saveManagedObjectContext(context.get());
        std::fputs("saved\n", stdout);
        std::fflush(stdout);
      },
      [&] { done = true; });
  ZPHTestWaitUntil([&] { return done.load(); }, 120000);
}

// A large store-queue save commits in slices; a kill keeps the slices
// before it, each whole.
TEST(DataControllerKillSafetyTest, ALargeStoreQueueSaveKilledMidwayKeepsWholeSlices)
{
  ZPHTestApplicationDelegate delegate;
  const QString storePath = QDir(delegate.pathToDataFolder()).filePath(QStringLiteral("Articles"));
  bool finishedFirst = false;
  ASSERT_NO_FATAL_FAILURE(
      killChildMidSave(KillChildVariable, delegate.pathToDataFolder(),
                       QStringLiteral("DataControllerKillSafety.ChildSavesOnTheStoreQueueUntilKilled"),
                       storePath + QStringLiteral("-wal"), &finishedFirst));

  CBDataController controller;
  delegate.useDataController(&controller);
  ZPHError error;
  ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, true, &error)) << error.toString().toStdString();
  ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();
  const qint64 articles = main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle));
  const qint64 contents = main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticleContent));
  EXPECT_GE(articles, 10);
  EXPECT_LE(articles, 40010);
  EXPECT_EQ(contents, articles);
  if (finishedFirst) {
    EXPECT_EQ(articles, 40010);
  }
}

TEST(DataControllerLifetimeTest, GoingAwayServesAMainThreadBlockThatAlreadyWaits)
{
  ZPHTestApplicationDelegate delegate;
  std::atomic<bool> ran{false};
  {
    CBDataController controller;
    controller.addMainThreadCoreDataQueueBlock([&] { ran = true; });
    // The queue's side runs and waits for the main thread, which is busy here.
    ZPHOperationQueue* queue = controller.coreDataBackgroundOperationQueue();
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() &&
           (queue->operations().isEmpty() || !queue->operations().constFirst()->isExecuting()))
      std::this_thread::yield();
    ASSERT_FALSE(deadline.hasExpired());
  }
  EXPECT_TRUE(ran);
}
