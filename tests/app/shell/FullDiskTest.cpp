// A save the disk does not take (full, read-only, failing) leaves the store
// where it is: the user is told once and chooses to go on or to quit, what
// was saved before is all there at the next start, and what the main
// context could not save is saved once there is room.

#include "app/shell/AppHarness.h"
#include "shell/ZPHMacCoreDataStack.h"
#include "store/CBCoreDataUtilities.h"
#include "store/entities/CBDataModel.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPersistentStore.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>

#include <cstdio>

namespace {

constexpr char FullDiskVariable[] = "ZPH_FULL_DISK_FOLDER";

QStringList storeFiles(const QString& dataFolder)
{
  return QDir(dataFolder).entryList({QStringLiteral("Articles*")}, QDir::Files | QDir::Dirs, QDir::Name);
}

// The addresses of the feeds in the store of `dataFolder`, opened afresh
// with its integrity check.
QStringList storedFeedURLs(const QString& dataFolder)
{
  ZPHPersistentStore store(CBDataManagedObjectModel(), QDir(dataFolder).filePath(QStringLiteral("Articles")));
  ZPHError error;
  EXPECT_TRUE(store.open(true, &error)) << error.toString().toStdString();
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  QStringList urls;
  for (CBFeed* feed : CBFeed::feedsWithMOC(&context)) urls.append(feed->url());
  return urls;
}

// A name longer than the store's log: a change carrying it makes the log
// grow, whatever room the log already has for frames written again.
QString nameLongerThanTheLog(const QString& dataFolder)
{
  const qint64 log = QFileInfo(QDir(dataFolder).filePath(QStringLiteral("Articles-wal"))).size();
  return QString(int(std::max<qint64>(log, 0) + 256 * 1024), QLatin1Char('n'));
}

class FullDisk : public ::testing::Test {
protected:
  void SetUp() override
  {
    disk = qEnvironmentVariable(FullDiskVariable);
    if (disk.isEmpty())
      GTEST_SKIP() << "runs only as the child of StoreOnAFullDisk.KeepsTheStoreAndTheUserGoesOnOrQuits";
    ZPHResetApplicationSettings();
    dataFolder = QDir(disk).filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(dataFolder));
  }

  QString disk;
  QString dataFolder;
};

}  // namespace

// Runs on a small disk of its own, started by the test below: a store of a
// few hundred sites, the disk filled to the last byte, then a site added
// (a save of the main context) and a change on the store queue.
TEST_F(FullDisk, ChildSavesOnAFullDisk)
{
  QList<QUrl> urls;
  for (int i = 0; i < 300; ++i) urls.append(QUrl(QStringLiteral("http://127.0.0.1:9/site%1.xml").arg(i)));
  ASSERT_NO_FATAL_FAILURE(ZPHSeedStoreWithFeeds(dataFolder, urls));
  const QUrl added(QStringLiteral("http://127.0.0.1:9/added.xml"));
  const QUrl queued(QStringLiteral("http://127.0.0.1:9/queued.xml"));
  {
    AppHarness app(dataFolder);
    app.connected = false;
    bool quitAtTheNextAlert = false;
    app.answerAlert = [&](const ZPHAlert&) { return quitAtTheNextAlert ? 1 : 0; };
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    app.settle();
    ZPHManagedObjectContext* main = app.delegate->mainThreadManagedObjectContext();
    const QString longName = nameLongerThanTheLog(dataFolder);
    ASSERT_GE(ZPHTestFillDisk(disk), 0);

    // The user adds a site: the save fails, the store stays, the user is
    // told what failed and what to do, and goes on.
    CBFeed* feed = CBFeed::insertFeedWithURL(added, main);
    feed->setUserSpecifiedName(longName);
    ASSERT_NE(app.data()->localAccount()->addFeed(feed), nullptr);
    EXPECT_FALSE(CBSaveManagedObjectContext(main));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return app.alerts.size() == 1; }, 30000));
    const ZPHAlert told = app.alerts[0];
    EXPECT_EQ(told.messageText, QStringLiteral("Zephlin couldn’t save your latest changes."));
    EXPECT_TRUE(told.informativeText.startsWith(QLatin1String("The disk is full. Free some space on it.")))
        << told.informativeText.toStdString();
    EXPECT_TRUE(told.informativeText.contains(QLatin1String("Nothing Zephlin saved before is lost")));
    EXPECT_EQ(told.buttons, (QStringList{QStringLiteral("Continue"), QStringLiteral("Quit Zephlin")}));
    EXPECT_FALSE(app.exitStatus.has_value());
    EXPECT_NE(app.delegate->dataController(), nullptr);
    EXPECT_TRUE(main->hasChanges());  // kept for a save once there is room

    // A change on the store queue fails the same way, told already.
    std::atomic<int> queuedSave{-1};
    app.delegate->addCoreDataQueueBlock(
        [&] {
          std::shared_ptr<ZPHManagedObjectContext> context =
              ZPHCoreApplicationDelegate::sharedDelegate()->temporaryManagedObjectContext();
          CBFeed::insertFeedWithURL(queued, context.get())->setUserSpecifiedName(longName);
          queuedSave = CBSaveManagedObjectContext(context.get()) ? 1 : 0;
        },
        {});
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return queuedSave >= 0; }, 30000));
    EXPECT_EQ(queuedSave, 0);
    app.settle();
    EXPECT_EQ(app.alerts.size(), 1);
    EXPECT_EQ(storeFiles(dataFolder).filter(QStringLiteral("Corrupted")), QStringList());

    // Room again: the site the user added is saved with the next save.
    ASSERT_TRUE(QFile::remove(QDir(disk).filePath(QStringLiteral("filler"))));
    EXPECT_TRUE(CBSaveManagedObjectContext(main));
    EXPECT_FALSE(main->hasChanges());

    // The disk fills again: a save after that good one is told again, and
    // the user quits, on the full disk.
    ASSERT_GE(ZPHTestFillDisk(disk), 0);
    quitAtTheNextAlert = true;
    main->objectWithID(feed->objectID())->setValue(QStringLiteral("userSpecifiedName"), longName + "2");
    EXPECT_FALSE(CBSaveManagedObjectContext(main));
    ASSERT_TRUE(app.waitForExit());
    EXPECT_EQ(app.alerts.size(), 2);
    EXPECT_EQ(app.exitStatus, 0);
  }
  // The store is where it was, whole: every site, the one added once there
  // was room, not the change the store queue could not save.
  EXPECT_EQ(storeFiles(dataFolder).filter(QStringLiteral("Corrupted")), QStringList());
  ASSERT_TRUE(QFile::remove(QDir(disk).filePath(QStringLiteral("filler"))));
  const QStringList stored = storedFeedURLs(dataFolder);
  EXPECT_EQ(stored.size(), 301);
  EXPECT_TRUE(stored.contains(added.toString()));
  EXPECT_FALSE(stored.contains(queued.toString()));

  // And the next start opens it with every site.
  AppHarness next(dataFolder);
  next.connected = false;
  next.start();
  ASSERT_TRUE(next.delegate->startupSequenceEnded());
  EXPECT_TRUE(next.alerts.isEmpty());
  EXPECT_EQ(CBFeed::feedsWithMOC(next.delegate->mainThreadManagedObjectContext()).size(), 301);
  next.stop();
  std::fputs("kept the store on a full disk\n", stdout);
}

TEST(StoreOnAFullDisk, KeepsTheStoreAndTheUserGoesOnOrQuits)
{
  const ZPHTestSmallDiskRun child =
      ZPHTestRunOnASmallDisk(FullDiskVariable, QStringLiteral("FullDisk.ChildSavesOnAFullDisk"), 16);
  if (!child.ran)
    GTEST_SKIP() << "no mount namespace with a tmpfs here: " << child.output.toStdString();
  EXPECT_EQ(child.exitCode, 0) << child.output.toStdString();
  EXPECT_TRUE(child.output.contains("kept the store on a full disk")) << child.output.toStdString();
}

// A store that can't be opened for a reason of the disk or the folder (here
// a folder where the store file should be) stays as it is: the user is
// told, and the program quits.
TEST(StoreNotOpened, AStoreTheDiskCannotOpenStaysAndTheProgramQuits)
{
  ZPHResetApplicationSettings();
  ZPHTestTempDir dir;
  const QString dataFolder = dir.filePath(QStringLiteral("data"));
  ASSERT_TRUE(QDir().mkpath(QDir(dataFolder).filePath(QStringLiteral("Articles/inside"))));
  AppHarness app(dataFolder);
  app.connected = false;
  app.start();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 1);
  ASSERT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(app.alerts[0].messageText, QStringLiteral("Zephlin can’t open your sites and articles."));
  EXPECT_EQ(app.alerts[0].buttons, QStringList{QStringLiteral("Quit")});
  EXPECT_TRUE(app.openedURLs.isEmpty());  // no support mail
  EXPECT_EQ(storeFiles(dataFolder), QStringList{QStringLiteral("Articles")});
  EXPECT_TRUE(QFileInfo(QDir(dataFolder).filePath(QStringLiteral("Articles/inside"))).isDir());
}
