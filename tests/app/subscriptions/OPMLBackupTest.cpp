#include "SubscriptionsStoreFixture.h"

#include "common/ZPHApplicationNotifications.h"
#include "kit/ZPHManualClock.h"
#include "subscriptions/ZPHOPMLBackupController.h"
#include "subscriptions/ZPHOPMLExporter.h"

namespace {

class OPMLBackups : public SubscriptionsStoreFixture {
protected:
  void SetUp() override
  {
    SubscriptionsStoreFixture::SetUp();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHDidPerformInitialOPMLBackupKey);
    addFeed(QStringLiteral("http://backed.test/feed"), nullptr, QStringLiteral("Backed up"));
    settle();
  }

  std::unique_ptr<ZPHOPMLBackupController> makeController()
  {
    ZPHOPMLBackupController::Environment environment;
    environment.clock = &clock;
    environment.now = [this] { return start.addMSecs(clock.now()); };
    environment.hasFeeds = [this] { return hasFeeds; };
    auto controller = std::make_unique<ZPHOPMLBackupController>(environment);
    QObject::connect(controller.get(), &ZPHOPMLBackupController::backupFinished,
                     [this](bool written, const QString& path) {
                       finished.append({written, path});
                     });
    return controller;
  }

  QString folder() const { return QDir(delegate.pathToDataFolder()).filePath(QStringLiteral("OPML Backups")); }
  QStringList files() const { return QDir(folder()).entryList({QStringLiteral("*.opml")}, QDir::Files, QDir::Name); }
  bool didBackUp() const
  {
    return ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHDidPerformInitialOPMLBackupKey);
  }
  static void change(const QString& name = ZPHFeedsAddedNotification)
  {
    ZPHNotificationCenter::defaultCenter().post(name);
  }
  // Moves the clock and waits for any backup it started to be written.
  void advance(qint64 ms, ZPHOPMLBackupController* controller)
  {
    clock.advance(ms);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->performingBackup(); }, 30000));
  }

  ZPHManualClock clock;
  QDateTime start = QDateTime(QDate(2026, 3, 8), QTime(15, 5, 9));
  bool hasFeeds = true;
  QList<std::pair<bool, QString>> finished;
};

}  // namespace

TEST_F(OPMLBackups, TwoChanges20SecondsApartGiveOneFile30SecondsAfterTheLast)
{
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHDidPerformInitialOPMLBackupKey, true);
  auto controller = makeController();
  controller->startRunning();
  EXPECT_FALSE(controller->backupQueued());
  change();
  advance(20000, controller.get());
  change(ZPHFolderAddedNotification);
  advance(29000, controller.get());
  EXPECT_TRUE(files().isEmpty());
  EXPECT_TRUE(controller->hasRemainingWork());
  advance(1000, controller.get());
  ASSERT_EQ(files().size(), 1);
  EXPECT_FALSE(controller->hasRemainingWork());
  QFile file(QDir(folder()).filePath(files().first()));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("xmlUrl=\"http://backed.test/feed\""));
  // Every change that follows gives one more file.
  for (const QString& name : ZPHOPMLBackupController::notificationsToMonitor()) {
    change(name);
    advance(30000, controller.get());
  }
  EXPECT_EQ(files().size(), 6);
}

TEST_F(OPMLBackups, WithoutFeedsNothingIsWritten)
{
  hasFeeds = false;
  auto controller = makeController();
  controller->startRunning();
  change();
  advance(60000, controller.get());
  EXPECT_TRUE(files().isEmpty());
  EXPECT_FALSE(didBackUp());
}

TEST_F(OPMLBackups, AFirstLaunchWithFeedsBacksUpOnceWithoutAChange)
{
  {
    auto controller = makeController();
    controller->startRunning();
    EXPECT_TRUE(controller->backupQueued());
    advance(30000, controller.get());
    EXPECT_EQ(files().size(), 1);
    EXPECT_TRUE(didBackUp());
  }
  // The next launch: nothing until something changes.
  auto controller = makeController();
  controller->startRunning();
  EXPECT_FALSE(controller->backupQueued());
  advance(60000, controller.get());
  EXPECT_EQ(files().size(), 1);
}

TEST_F(OPMLBackups, AFailedWriteLeavesTheFirstBackupUndone)
{
  // A folder where the file must go: the write fails.
  const QString name = ZPHOPMLExporter::fileNameForDate(QStringLiteral("Zephlin Sites Backup"), start.addSecs(30));
  ASSERT_TRUE(QDir().mkpath(QDir(folder()).filePath(name)));
  auto controller = makeController();
  controller->startRunning();
  advance(30000, controller.get());
  ASSERT_EQ(finished.size(), 1);
  EXPECT_FALSE(finished.first().first);
  EXPECT_FALSE(didBackUp());
  ASSERT_TRUE(QDir(folder()).removeRecursively());

  // A file where the backups folder must go: no backup, no mark.
  dir.writeFile(QStringLiteral("data/OPML Backups"), "in the way");
  change();
  advance(30000, controller.get());
  EXPECT_EQ(finished.size(), 1);
  EXPECT_FALSE(didBackUp());
  EXPECT_TRUE(controller->backupDirectoryURL().isEmpty());
}

TEST_F(OPMLBackups, AQuitWritesAQueuedBackupFirst)
{
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHDidPerformInitialOPMLBackupKey, true);
  auto controller = makeController();
  controller->startRunning();
  change();
  // The application begins to quit: the store queue takes nothing new but
  // what ignores termination.
  delegate.shuttingDown = true;
  controller->startAnyQueuedBackups();
  EXPECT_TRUE(controller->hasRemainingWork());
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller->hasRemainingWork(); }, 30000));
  delegate.shuttingDown = false;
  EXPECT_EQ(files().size(), 1);
}

TEST_F(OPMLBackups, FileNamesCarryTheCalendarDate)
{
  start = QDateTime(QDate(2024, 12, 30), QTime(9, 0, 0));
  auto controller = makeController();
  controller->startRunning();
  advance(30000, controller.get());
  ASSERT_EQ(files().size(), 1);
  EXPECT_TRUE(files().first().startsWith(QStringLiteral("Zephlin Sites Backup 2024-12-30 at 9.00.30 ")))
      << files().first().toStdString();
  EXPECT_EQ(controller->newestBackupFilePath(), QDir(folder()).filePath(files().first()));
}

TEST_F(OPMLBackups, ABackupDueWhileOneIsWrittenFollowsIt)
{
  ZPHUserDefaults::standardUserDefaults().setBool(ZPHDidPerformInitialOPMLBackupKey, true);
  auto controller = makeController();
  controller->startRunning();
  change();
  clock.advance(30000);
  ASSERT_TRUE(controller->performingBackup());
  clock.advance(1000);  // a second later, another name
  change();
  controller->startAnyQueuedBackups();
  EXPECT_TRUE(controller->hasRemainingWork());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller->hasRemainingWork(); }, 30000));
  EXPECT_EQ(files().size(), 2);
  EXPECT_EQ(finished.size(), 2);
}
