#include "app/shell/AppHarness.h"
#include "shell/ZPHCoreDataMigrationWindowController.h"
#include "shell/ZPHMacCoreDataStack.h"
#include "shell/ZPHQuittingWindowController.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHStoreIntegrityCheck.h"

#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtCore/QUrlQuery>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <unistd.h>

#include <future>

namespace {

const QByteArray Garbage = "This is not a database, whatever the name says.";

QByteArray readFile(const QString& path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

class StoreFailureTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(QDir().mkpath(dataFolder()));
  }
  void TearDown() override { ZPHStoreIntegrityCheck::setWillCheckHook({}); }

  QString dataFolder() const { return dir.filePath(QStringLiteral("data")); }
  QString storePath() const { return dataFolder() + QStringLiteral("/Articles"); }
  QString backupPath(const QDateTime& when) const
  {
    return dataFolder() + QLatin1Char('/') + ZPHMacCoreDataStack::backupFileNameForDate("Articles", when);
  }
  // The migration's window, or the integrity check's, while it is on
  // screen.
  static ZPHCoreDataMigrationWindowController* windowOnScreen(bool integrityCheck = false)
  {
    ZPHMacCoreDataStack* stack = ZPHMacCoreDataStack::instance();
    ZPHCoreDataMigrationWindowController* window = nullptr;
    if (stack != nullptr)
      window = integrityCheck ? stack->integrityCheckWindowController() : stack->migrationWindowController();
    return window != nullptr && window->window()->isVisible() ? window : nullptr;
  }

  // Why the store of seedStoreToCheck() is checked.
  enum class CheckCause { Due, UncleanEnd };

  // A store with `feeds` feeds whose integrity check is due, or that the
  // last run left without quitting; the next check waits before it reads
  // anything until `held` is set.
  void seedStoreToCheck(int feeds, CheckCause cause = CheckCause::Due)
  {
    QList<QUrl> urls;
    for (int i = 0; i < feeds; ++i) urls.append(QUrl(QStringLiteral("http://127.0.0.1:9/%1.xml").arg(i)));
    ASSERT_NO_FATAL_FAILURE(ZPHSeedStoreWithFeeds(dataFolder(), urls));
    if (cause == CheckCause::UncleanEnd)
      ASSERT_NO_FATAL_FAILURE(leaveTheLockOfARunThatDidNotQuit());
    else
      ZPHUserDefaults::standardUserDefaults().setBool(ZPHStoreIntegrityCheckDueKey, true);
    ZPHStoreIntegrityCheck::setWillCheckHook([this] { held.get_future().wait(); });
  }

  // The lock file of a run whose process ended without quitting.
  void leaveTheLockOfARunThatDidNotQuit()
  {
    QProcess ended;
    ended.start(QStringLiteral("/bin/true"));
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 pid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    ASSERT_NO_FATAL_FAILURE(
        writeFile(dataFolder() + QStringLiteral("/Zephlin.lock"), QByteArray::number(pid) + "\nzephlin\n\n"));
  }

  // The message of the check's window.
  static QString messageOf(ZPHCoreDataMigrationWindowController* window)
  {
    return window->window()->findChildren<QLabel*>().value(1)->text();
  }

  // The start after a stopped check checks again; its window and the log
  // say why, and claim no unclean end.
  void expectTheNextStartToCheckAgainAsTheCheckWasStopped()
  {
    ZPHTestLogCapture log;
    AppHarness next(dataFolder());
    next.connected = false;
    std::atomic<bool> checked{false};
    std::promise<void> nextHeld;
    ZPHStoreIntegrityCheck::setWillCheckHook([&] {
      checked = true;
      nextHeld.get_future().wait();
    });
    QTimer user;
    QString message;
    QObject::connect(&user, &QTimer::timeout, [&] {
      ZPHCoreDataMigrationWindowController* window = windowOnScreen(true);
      if (!message.isEmpty() || window == nullptr)
        return;
      message = messageOf(window);
      nextHeld.set_value();
    });
    user.start(1);
    next.start();
    user.stop();
    EXPECT_TRUE(checked.load());
    EXPECT_EQ(message, QStringLiteral("Zephlin’s last check of your articles and sites was stopped before it "
                                      "finished, so it checks them again before it opens them. This can take a "
                                      "while."));
    ASSERT_TRUE(next.delegate->startupSequenceEnded());
    EXPECT_FALSE(next.delegate->previousRunEndedUncleanly());
    EXPECT_TRUE(log.linesContaining(QStringLiteral("did not end")).isEmpty()) << log.lines().join('\n').toStdString();
    EXPECT_FALSE(log.linesContaining(QStringLiteral("the previous run ended cleanly")).isEmpty())
        << log.lines().join('\n').toStdString();
    EXPECT_FALSE(ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHStoreIntegrityCheckDueKey));
  }

  QStringList storeFiles() const
  {
    return QDir(dataFolder()).entryList({QStringLiteral("Articles*")}, QDir::Files | QDir::Dirs, QDir::Name);
  }

  // A store as version 12 of the program left it, with `articles` articles.
  void makeVersion12Store(int articles)
  {
    ZPHPersistentStore store(CBDataManagedObjectModelForVersion(12), storePath());
    ZPHError error;
    ASSERT_TRUE(store.open(false, &error)) << error.toString().toStdString();
    {
      ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
      ZPHManagedObject* feed = context.insertNewObject(CBDataEntityNameFeed);
      feed->setValue(QStringLiteral("guid"), QStringLiteral("feed"));
      feed->setValue(QStringLiteral("url"), QStringLiteral("https://example.com/feed"));
      for (int i = 0; i < articles; ++i) {
        ZPHManagedObject* article = context.insertNewObject(CBDataEntityNameArticle);
        article->setValue(QStringLiteral("link"), QStringLiteral("https://example.com/a/%1").arg(i));
        article->setValue(QStringLiteral("feedURL"), QStringLiteral("https://example.com/feed"));
        article->setValue(QStringLiteral("read"), i % 2 == 0);
        ZPHManagedObject* content = context.insertNewObject(CBDataEntityNameArticleContent);
        content->setValue(QStringLiteral("htmlText"), QStringLiteral("<p>Article %1 of the old version</p>").arg(i));
        article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
      }
      ASSERT_TRUE(context.save(&error)) << error.toString().toStdString();
    }
    ASSERT_TRUE(store.checkpointAndClose(&error));
  }

  ZPHTestTempDir dir;
  std::promise<void> held;
};

}  // namespace

TEST_F(StoreFailureTest, AFileWhereTheDataFolderShouldBeStopsStartUp)
{
  const QString inTheWay = dir.filePath(QStringLiteral("in-the-way"));
  writeFile(inTheWay, "a file");
  AppHarness app(inTheWay);
  app.start();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 1);
  ASSERT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(app.alerts[0].messageText, QStringLiteral("Zephlin can’t use its data folder."));
  EXPECT_TRUE(app.alerts[0].informativeText.contains(inTheWay));
  EXPECT_FALSE(app.delegate->startupSequenceEnded());
  EXPECT_EQ(app.delegate->dataController(), nullptr);
  EXPECT_EQ(app.delegate->mainWindow(), nullptr);
  EXPECT_EQ(app.delegate->instanceLock(), nullptr);
  EXPECT_EQ(readFile(inTheWay), QByteArray("a file"));
}

TEST_F(StoreFailureTest, LowDiskSpaceStopsStartUpAndQuits)
{
  AppHarness app(dataFolder());
  app.freeBytes = 100 * 1024 * 1024 - 1;
  app.start();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 1);
  ASSERT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(app.alerts[0].messageText, QStringLiteral("Low on Disk Space!"));
  EXPECT_EQ(app.alerts[0].buttons, QStringList{QStringLiteral("Quit")});
  EXPECT_FALSE(app.delegate->startupSequenceEnded());
  EXPECT_EQ(app.delegate->refreshController(), nullptr);
  EXPECT_EQ(app.delegate->mainWindow(), nullptr);
  EXPECT_TRUE(app.delegate->appIsShuttingDown());

  // Exactly 100 MiB is enough; an unreadable size is not low.
  for (const std::optional<qint64>& free : {std::optional<qint64>(100 * 1024 * 1024), std::optional<qint64>()}) {
    app.delegate.reset();
    AppHarness enough(dataFolder());
    enough.freeBytes = free;
    enough.start();
    EXPECT_TRUE(enough.delegate->startupSequenceEnded());
    EXPECT_TRUE(enough.alerts.isEmpty());
  }
}

TEST_F(StoreFailureTest, BackupNamesUseTheCalendarYear)
{
  struct Case {
    QDate date;
    QTime time;
    const char* name;
  };
  const Case cases[] = {
      {QDate(2026, 3, 8), QTime(15, 5, 9), "Articles Corrupted 2026-03-08 at 3.05.09 PM"},
      // Week-based years differ from calendar years around New Year.
      {QDate(2024, 12, 31), QTime(23, 59, 59), "Articles Corrupted 2024-12-31 at 11.59.59 PM"},
      {QDate(2021, 1, 1), QTime(0, 0, 1), "Articles Corrupted 2021-01-01 at 12.00.01 AM"},
      {QDate(2027, 1, 1), QTime(12, 30, 0), "Articles Corrupted 2027-01-01 at 12.30.00 PM"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHMacCoreDataStack::backupFileNameForDate("Articles", QDateTime(c.date, c.time)), c.name);
}

TEST_F(StoreFailureTest, AnUnreadableStoreIsSetAsideAfterOneAlertAndTheNextStartIsEmpty)
{
  writeFile(storePath(), Garbage);
  AppHarness app(dataFolder());
  app.start();
  EXPECT_EQ(app.delegate->dataController(), nullptr);
  // A second report of the same run is ignored.
  app.delegate->handleCoreDataFailureWithError(ZPHError(ZPHCocoaErrorDomain, 11, {}));
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 1);
  ASSERT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(app.alerts[0].messageText, QStringLiteral("Well, this is embarrasing."));
  EXPECT_EQ(app.alerts[0].buttons, QStringList{QStringLiteral("Quit and Contact Support")});
  EXPECT_TRUE(app.alerts[0].informativeText.contains(QLatin1String("a folder window")));
  EXPECT_EQ(app.delegate->mainWindow(), nullptr);

  // Moved aside under the backup name, nothing lost.
  const QString backup = backupPath(app.clock);
  EXPECT_EQ(readFile(backup), Garbage);
  EXPECT_FALSE(QFileInfo::exists(storePath()));

  // The support mail, every field percent-encoded in full.
  ASSERT_EQ(app.openedURLs.size(), 1);
  const QUrl mail = app.openedURLs[0];
  EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
  const QUrlQuery query(mail);
  EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), QStringLiteral("Zephlin Saved Data Problem"));
  const QString body = query.queryItemValue("body", QUrl::FullyDecoded);
  EXPECT_TRUE(body.startsWith(QLatin1String("Zephlin encountered a saved data problem.")));
  EXPECT_TRUE(body.contains(QLatin1String("+++++++++ Core Data Error +++++++++")));
  EXPECT_TRUE(body.contains(QLatin1String("The store file is not a database.")));
  EXPECT_TRUE(body.contains(QLatin1String("+++++++++ Call Stack +++++++++")));
  app.delegate.reset();

  AppHarness next(dataFolder());
  next.start();
  EXPECT_TRUE(next.delegate->startupSequenceEnded());
  EXPECT_TRUE(next.alerts.isEmpty());
  EXPECT_EQ(readFile(backup), Garbage);
}

// The log and its index found beside an unreadable store go aside with it:
// nothing opened them before the failure path moved them.
TEST_F(StoreFailureTest, AnUnreadableStoreGoesAsideWithItsLogAndIndex)
{
  const QByteArray log = QByteArray("the log's frames ").repeated(64);
  writeFile(storePath(), Garbage);
  writeFile(storePath() + "-wal", log);
  writeFile(storePath() + "-shm", QByteArray("the log's index ").repeated(64));
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_EQ(app.exitStatus, 1);
  EXPECT_EQ(app.alerts.size(), 1);
  const QString backup = backupPath(app.clock);
  EXPECT_EQ(readFile(backup), Garbage);
  EXPECT_EQ(readFile(backup + "-wal"), log);
  EXPECT_TRUE(QFileInfo::exists(backup + "-shm"));
  EXPECT_TRUE(storeFiles().filter(QRegularExpression("^Articles(-wal|-shm)?$")).isEmpty());
}

TEST_F(StoreFailureTest, TheStoreFilesMoveAsideAllTogetherOrNotAtAll)
{
  const QDateTime when(QDate(2024, 12, 31), QTime(23, 59, 59));
  const QString backup = backupPath(when);
  auto writeStoreFiles = [&] {
    writeFile(storePath(), Garbage);
    writeFile(storePath() + "-wal", "wal bytes");
    writeFile(storePath() + "-shm", "shm bytes");
  };

  // Something in the way of the second file's backup name: its rename fails
  // (for any user) after the first one's succeeded, and the first comes back.
  writeStoreFiles();
  ASSERT_TRUE(QDir().mkpath(backup + "-wal/occupied"));
  EXPECT_FALSE(ZPHMacCoreDataStack::backupAndDeleteCoreDataStore(dataFolder(), when));
  EXPECT_EQ(readFile(storePath()), Garbage);
  EXPECT_EQ(readFile(storePath() + "-wal"), QByteArray("wal bytes"));
  EXPECT_EQ(readFile(storePath() + "-shm"), QByteArray("shm bytes"));
  EXPECT_FALSE(QFileInfo::exists(backup));
  EXPECT_FALSE(QFileInfo::exists(backup + "-shm"));

  ASSERT_TRUE(QDir(backup + "-wal").removeRecursively());
  EXPECT_TRUE(ZPHMacCoreDataStack::backupAndDeleteCoreDataStore(dataFolder(), when));
  EXPECT_EQ(readFile(backup), Garbage);
  EXPECT_EQ(readFile(backup + "-wal"), QByteArray("wal bytes"));
  EXPECT_EQ(readFile(backup + "-shm"), QByteArray("shm bytes"));
  EXPECT_TRUE(storeFiles().filter(QRegularExpression("^Articles(-wal|-shm)?$")).isEmpty());

  // A second failure in the same second finds the name taken: nothing moves.
  writeFile(storePath(), "newer");
  EXPECT_FALSE(ZPHMacCoreDataStack::backupAndDeleteCoreDataStore(dataFolder(), when));
  EXPECT_EQ(readFile(storePath()), QByteArray("newer"));
  EXPECT_EQ(readFile(backup), Garbage);
}

TEST_F(StoreFailureTest, InAReadOnlyFolderNothingIsLost)
{
  if (geteuid() == 0)
    GTEST_SKIP() << "permissions do not hold for root; the blocked rename above covers the same path";
  writeFile(storePath(), Garbage);
  ASSERT_TRUE(QFile::setPermissions(dataFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.waitForExit());
  QFile::setPermissions(dataFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  EXPECT_EQ(app.exitStatus, 1);
  EXPECT_EQ(readFile(storePath()), Garbage);
  EXPECT_EQ(storeFiles(), QStringList{QStringLiteral("Articles")});
}

TEST_F(StoreFailureTest, AFailedSaveWhileRunningClosesTheStoreBeforeMovingIt)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  ZPHAppDelegate* delegate = app.delegate.get();
  CBDataArticle* article = CBDataArticle::insertArticleWithFeedURL(QUrl("https://example.com/feed"),
                                                                   delegate->mainThreadManagedObjectContext());
  article->setGuid(QStringLiteral("kept"));
  ASSERT_TRUE(delegate->mainThreadManagedObjectContext()->save());

  // The store queue reports a save that found the store damaged, as the
  // save routine does.
  std::atomic<bool> reported{false};
  delegate->addCoreDataQueueBlock(
      [&] {
        ZPHCoreApplicationDelegate::sharedDelegate()->handleCoreDataFailureWithError(
            ZPHObjectGraphError(ZPHObjectGraphIntegrityCheckError, QStringLiteral("The store file is damaged.")));
        reported = true;
      },
      {});
  ASSERT_TRUE(app.waitForExit());
  EXPECT_TRUE(reported);
  EXPECT_EQ(app.exitStatus, 1);
  EXPECT_EQ(app.alerts.size(), 1);
  EXPECT_EQ(delegate->dataController(), nullptr);
  EXPECT_EQ(delegate->mainWindow(), nullptr);
  const QString body = QUrlQuery(app.openedURLs.value(0)).queryItemValue("body", QUrl::FullyDecoded);
  EXPECT_TRUE(body.contains(QLatin1String("The store file is damaged.")));

  // Every connection was closed before the move: the backup is a whole
  // store, with nothing left in a write-ahead log beside it.
  const QString backup = backupPath(app.clock);
  EXPECT_FALSE(QFileInfo::exists(storePath()));
  EXPECT_FALSE(QFileInfo::exists(storePath() + "-wal"));
  EXPECT_FALSE(QFileInfo::exists(backup + "-wal"));
  ZPHPersistentStore store(CBDataManagedObjectModel(), backup);
  ZPHError error;
  ASSERT_TRUE(store.open(true, &error)) << error.toString().toStdString();
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  EXPECT_EQ(context.countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)), 1);
}

TEST_F(StoreFailureTest, AFailureDuringTheQuitSetsTheStoreAsideAndEndsTheProgramOnce)
{
  AppHarness app(dataFolder());
  app.start();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  app.settle();
  ZPHAppDelegate* delegate = app.delegate.get();
  std::atomic<bool> release{false};
  delegate->addCoreDataQueueBlock(
      [&] {
        for (int waited = 0; !release && waited < 60000; waited += 5) QThread::msleep(5);
        ZPHCoreApplicationDelegate::sharedDelegate()->handleCoreDataFailureWithError(
            ZPHObjectGraphError(ZPHObjectGraphNotADatabaseError, QStringLiteral("The store file is not a database.")));
      },
      {});
  delegate->requestTermination();
  ZPHTestSpinEventLoop(100);
  EXPECT_TRUE(delegate->quittingWindowController()->window()->isVisible());
  release = true;
  ASSERT_TRUE(app.waitForExit());
  ZPHTestSpinEventLoop(300);
  EXPECT_EQ(app.exits, 1);
  EXPECT_EQ(app.exitStatus, 1);
  EXPECT_EQ(app.alerts.size(), 1);
  EXPECT_TRUE(QFileInfo::exists(backupPath(app.clock)));
  EXPECT_FALSE(QFileInfo::exists(storePath()));
  // The quitting window went with the main window.
  EXPECT_EQ(delegate->quittingWindowController(), nullptr);
}

TEST_F(StoreFailureTest, ACancelledMigrationQuitsAndLeavesTheStoreByteIdentical)
{
  makeVersion12Store(4000);
  const QByteArray original = readFile(storePath());
  AppHarness app(dataFolder());
  // As soon as the migration window shows: Cancel, then "Quit Zephlin".
  QTimer user;
  bool cancelled = false;
  QObject::connect(&user, &QTimer::timeout, [&] {
    ZPHCoreDataMigrationWindowController* window = windowOnScreen();
    if (cancelled || window == nullptr)
      return;
    window->cancelButton()->click();
    ASSERT_TRUE(window->showingConfirmationSheet());
    EXPECT_EQ(window->confirmationSheet()->text(), QStringLiteral("Cancel Migration?"));
    for (QAbstractButton* button : window->confirmationSheet()->buttons()) {
      if (button->text() == QLatin1String("Quit Zephlin"))
        button->click();
    }
    cancelled = true;
  });
  user.start(1);
  app.start();
  ASSERT_TRUE(app.waitForExit());
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(app.exitStatus, 0);
  EXPECT_TRUE(app.alerts.isEmpty());
  EXPECT_TRUE(app.openedURLs.isEmpty());
  EXPECT_EQ(app.delegate->dataController(), nullptr);
  EXPECT_EQ(readFile(storePath()), original);
  EXPECT_EQ(storeFiles(), QStringList{QStringLiteral("Articles")});
}

TEST_F(StoreFailureTest, ContinueUpdatingLetsTheMigrationFinishWithItsProgressShown)
{
  makeVersion12Store(1500);
  AppHarness app(dataFolder());
  QTimer user;
  bool askedAndContinued = false;
  double shownProgress = 0;
  QObject::connect(&user, &QTimer::timeout, [&] {
    ZPHMacCoreDataStack* stack = ZPHMacCoreDataStack::instance();
    ZPHCoreDataMigrationWindowController* window = stack ? stack->migrationWindowController() : nullptr;
    if (window == nullptr)
      return;
    shownProgress = std::max(shownProgress, window->migrationProgress());
    if (askedAndContinued || !window->window()->isVisible())
      return;
    window->cancelButton()->click();
    for (QAbstractButton* button : window->confirmationSheet()->buttons()) {
      if (button->text() == QLatin1String("Continue Updating"))
        button->click();
    }
    askedAndContinued = true;
  });
  user.start(1);
  app.start();
  user.stop();
  EXPECT_TRUE(askedAndContinued);
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  EXPECT_GT(shownProgress, 0.0);
  EXPECT_LE(shownProgress, 100.0);
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(storePath(), nullptr), CBDataModelCurrentVersion);
  EXPECT_EQ(
      app.delegate->mainThreadManagedObjectContext()->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)),
      1500);
}

// After a run that did not end normally, the store is checked before it
// opens: its window shows, with the progress, while the check runs off the
// main thread, and the window answers the user meanwhile.
TEST_F(StoreFailureTest, TheCheckAfterAnUncleanEndShowsItsWindowWhileTheProgramAnswers)
{
  ASSERT_NO_FATAL_FAILURE(seedStoreToCheck(2, CheckCause::UncleanEnd));
  ZPHTestLogCapture log;
  AppHarness app(dataFolder());
  app.connected = false;
  QTimer user;
  int turnsWhileShown = 0;
  bool askedAndContinued = false;
  QString title;
  QString message;
  QObject::connect(&user, &QTimer::timeout, [&] {
    ZPHCoreDataMigrationWindowController* window = windowOnScreen(true);
    if (askedAndContinued || window == nullptr)
      return;
    EXPECT_TRUE(ZPHMacCoreDataStack::instance()->integrityCheckIsRunning());
    EXPECT_EQ(app.delegate->dataController(), nullptr);
    if (++turnsWhileShown < 3)
      return;
    title = window->window()->findChildren<QLabel*>().value(0)->text();
    message = messageOf(window);
    // Cancel asks first; the check goes on.
    window->cancelButton()->click();
    ASSERT_TRUE(window->showingConfirmationSheet());
    EXPECT_EQ(window->confirmationSheet()->text(), QStringLiteral("Stop the Check?"));
    for (QAbstractButton* button : window->confirmationSheet()->buttons()) {
      if (button->text() == QLatin1String("Continue Checking"))
        button->click();
    }
    EXPECT_FALSE(window->showingConfirmationSheet());
    askedAndContinued = true;
    held.set_value();
  });
  user.start(1);
  app.start();
  user.stop();
  EXPECT_TRUE(askedAndContinued);
  EXPECT_EQ(title, QStringLiteral("Checking Zephlin’s Database"));
  EXPECT_EQ(message, QStringLiteral("Zephlin did not quit normally the last time, so it checks that your articles "
                                    "and sites are intact before it opens them. This can take a while."));
  EXPECT_FALSE(log.linesContaining(QStringLiteral("the previous run did not end cleanly")).isEmpty())
      << log.lines().join('\n').toStdString();
  ASSERT_TRUE(app.delegate->startupSequenceEnded());
  EXPECT_TRUE(app.delegate->previousRunEndedUncleanly());
  EXPECT_NE(app.delegate->mainWindow(), nullptr);
  EXPECT_TRUE(app.alerts.isEmpty());
  EXPECT_EQ(CBFeed::feedsWithMOC(app.delegate->mainThreadManagedObjectContext()).size(), 2);
  EXPECT_FALSE(ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHStoreIntegrityCheckDueKey));
}

// A quit during the check (a signal, the session's end) stops it: nothing
// opens the store, which stays as it was, and the next start checks again.
TEST_F(StoreFailureTest, AQuitDuringTheCheckOpensNothingAndTheNextStartChecksAgain)
{
  ASSERT_NO_FATAL_FAILURE(seedStoreToCheck(1));
  const QByteArray original = readFile(storePath());
  {
    AppHarness app(dataFolder());
    app.connected = false;
    QTimer user;
    bool quit = false;
    QObject::connect(&user, &QTimer::timeout, [&] {
      if (quit || windowOnScreen(true) == nullptr)
        return;
      quit = true;
      app.delegate->requestTermination();
      held.set_value();
    });
    user.start(1);
    app.start();
    user.stop();
    EXPECT_TRUE(quit);
    ASSERT_TRUE(app.waitForExit());
    EXPECT_EQ(app.exitStatus, 0);
    EXPECT_EQ(app.exits, 1);
    EXPECT_TRUE(app.alerts.isEmpty());
    EXPECT_EQ(app.delegate->dataController(), nullptr);
    EXPECT_EQ(app.delegate->mainWindow(), nullptr);
  }
  EXPECT_EQ(readFile(storePath()), original);
  EXPECT_TRUE(ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHStoreIntegrityCheckDueKey));
  expectTheNextStartToCheckAgainAsTheCheckWasStopped();
}

// The user stops the check after an unclean end ("Quit Zephlin"): the
// program quits cleanly, and the next start tells that it checks again
// because the check was stopped, not because of an unclean end.
TEST_F(StoreFailureTest, AfterTheUserStopsTheCheckTheNextStartSaysTheCheckWasStopped)
{
  ASSERT_NO_FATAL_FAILURE(seedStoreToCheck(1, CheckCause::UncleanEnd));
  {
    AppHarness app(dataFolder());
    app.connected = false;
    QTimer user;
    bool stopped = false;
    QObject::connect(&user, &QTimer::timeout, [&] {
      ZPHCoreDataMigrationWindowController* window = windowOnScreen(true);
      if (stopped || window == nullptr)
        return;
      EXPECT_TRUE(messageOf(window).contains(QStringLiteral("did not quit normally")));
      window->cancelButton()->click();
      ASSERT_TRUE(window->showingConfirmationSheet());
      for (QAbstractButton* button : window->confirmationSheet()->buttons()) {
        if (button->text() == QLatin1String("Quit Zephlin"))
          button->click();
      }
      stopped = true;
      held.set_value();
    });
    user.start(1);
    app.start();
    user.stop();
    EXPECT_TRUE(stopped);
    ASSERT_TRUE(app.waitForExit());
    EXPECT_EQ(app.exitStatus, 0);
    EXPECT_TRUE(app.alerts.isEmpty());
    EXPECT_EQ(app.delegate->dataController(), nullptr);
  }
  EXPECT_FALSE(QFileInfo::exists(dataFolder() + QStringLiteral("/Zephlin.lock")));
  EXPECT_TRUE(ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHStoreIntegrityCheckDueKey));
  expectTheNextStartToCheckAgainAsTheCheckWasStopped();
}

TEST(MigrationWindow, ProgressIsShownInPercent)
{
  struct NoDelegate : ZPHCoreDataMigrationWindowController::Delegate {
    void coreDataMigrationWindowControllerUserDidRequestCancel(ZPHCoreDataMigrationWindowController*) override
    {
      ++cancels;
    }
    int cancels = 0;
  } delegate;
  ZPHCoreDataMigrationWindowController window(&delegate);
  window.setMigrationProgress(0.25 * 100.0);
  EXPECT_EQ(window.migrationProgress(), 25.0);
  // Closing the window asks to cancel rather than closing it.
  window.window()->show();
  EXPECT_FALSE(window.window()->close());
  EXPECT_TRUE(window.showingConfirmationSheet());
  EXPECT_EQ(delegate.cancels, 0);
  window.endMigrationUIUserInitiated(false);
  EXPECT_FALSE(window.showingConfirmationSheet());
}
