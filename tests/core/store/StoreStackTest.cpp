#include "platform/ZPHMainThread.h"
#include "store/CBDataController.h"
#include "store/ZPHCoreDataStack.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "store/graph/ZPHStoreIntegrityCheck.h"
#include "store/migration/CBDataArticleContentv10v11MigrationPolicy.h"
#include "store/migration/CBDataMappingModel.h"
#include "store/migration/ZPHArticleToArticleMigrationPolicy.h"
#include "support/ZPHTestApplicationDelegate.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtCore/QUuid>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <future>

namespace {

// The application's stack: records what the hooks saw; its "window" serves
// the main thread until the migration ends.
class TestStack : public ZPHCoreDataStack {
public:
  void runModalMigrationUI() override
  {
    ranModalUI = true;
    ZPHTestWaitUntil([&] { return completed; }, 60000);
  }
  void migrationProgressUpdated(double progress) override { progressValues.append(progress); }
  void migrationProcessCompleted() override { completed = true; }
  // The check's "window": what the test does while it shows, then it
  // serves the main thread until the check ends.
  void runModalIntegrityCheckUI() override
  {
    ranCheckUI = true;
    if (whileChecking)
      whileChecking();
    ZPHTestWaitUntil([&] { return checkCompleted; }, 60000);
  }
  void integrityCheckProgressUpdated(double progress) override { checkProgressValues.append(progress); }
  void integrityCheckCompleted() override { checkCompleted = true; }

  bool ranModalUI = false;
  bool completed = false;
  bool terminated = false;
  QList<double> progressValues;
  bool ranCheckUI = false;
  bool checkCompleted = false;
  QList<double> checkProgressValues;
  std::function<void()> whileChecking;

protected:
  void terminateApplication() override { terminated = true; }
};

struct OldArticle {
  const char* guid;
  const char* link;
  const char* permalink;
  bool read;
  bool starred;
  const char* html;  // content, or none
};

class StoreStackTest : public ::testing::Test {
protected:
  QString storePath() const { return QDir(delegate.pathToDataFolder()).filePath(QStringLiteral("Articles")); }

  QByteArray storeBytes() const
  {
    QFile file(storePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // A store of an older model version, written as that version wrote it.
  void makeOldStore(int version, const QList<OldArticle>& articles, int extraArticles = 0)
  {
    const ZPHManagedObjectModel* model = CBDataManagedObjectModelForVersion(version);
    ASSERT_NE(model, nullptr);
    ZPHPersistentStore store(model, storePath());
    ZPHError error;
    ASSERT_TRUE(store.open(false, &error)) << error.toString().toStdString();
    {
      ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
      ZPHManagedObject* folder = context.insertNewObject(CBDataEntityNameFolder);
      folder->setValue(QStringLiteral("guid"), QStringLiteral("folder"));
      ZPHManagedObject* feed = context.insertNewObject(CBDataEntityNameFeed);
      feed->setValue(QStringLiteral("guid"), QStringLiteral("feed"));
      feed->setValue(QStringLiteral("url"), QStringLiteral("https://example.com/feed"));
      feed->setValue(QStringLiteral("parent"), QVariant::fromValue(folder));
      auto add = [&](const OldArticle& old) {
        ZPHManagedObject* article = context.insertNewObject(CBDataEntityNameArticle);
        article->setValue(QStringLiteral("guid"), old.guid ? QString::fromUtf8(old.guid) : QString());
        article->setValue(QStringLiteral("link"), old.link ? QString::fromUtf8(old.link) : QString());
        article->setValue(QStringLiteral("permalink"), old.permalink ? QString::fromUtf8(old.permalink) : QString());
        article->setValue(QStringLiteral("feedURL"), QStringLiteral("https://example.com/feed"));
        article->setValue(QStringLiteral("read"), old.read);
        article->setValue(QStringLiteral("starred"), old.starred);
        if (old.html) {
          ZPHManagedObject* content = context.insertNewObject(CBDataEntityNameArticleContent);
          content->setValue(QStringLiteral("htmlText"), QString::fromUtf8(old.html));
          article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
        }
      };
      for (const OldArticle& old : articles) add(old);
      for (int i = 0; i < extraArticles; ++i) {
        const QByteArray link = "https://example.com/extra/" + QByteArray::number(i);
        add({nullptr, link.constData(), nullptr, i % 2 == 0, false, "<p>extra</p>"});
      }
      ASSERT_TRUE(context.save(&error)) << error.toString().toStdString();
    }
    ASSERT_TRUE(store.checkpointAndClose(&error));
  }

  bool noMigrationFilesLeft() const
  {
    const QStringList left =
        QDir(delegate.pathToDataFolder()).entryList({QStringLiteral("Articles_*")}, QDir::Files | QDir::Dirs);
    return left.isEmpty();
  }

  ZPHTestApplicationDelegate delegate;
};

// The metadata record keyed by `guid`, or nullptr.
ZPHManagedObject* metadataFor(ZPHManagedObjectContext* context, const QString& guid)
{
  const QList<ZPHManagedObject*> found = context->executeFetchRequest(
      ZPHFetchRequest(CBDataEntityNameArticleMetadata, ZPHPredicate::equal(QStringLiteral("guid"), guid)));
  return found.size() == 1 ? found.first() : nullptr;
}

}  // namespace

TEST_F(StoreStackTest, ANewStoreIsMadeWithoutMigration)
{
  TestStack stack;
  ZPHError error;
  ASSERT_TRUE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error));
  EXPECT_TRUE(stack.databasesLoaded());
  EXPECT_FALSE(stack.ranModalUI);
  EXPECT_EQ(ZPHCoreDataStack::instance(), &stack);
  EXPECT_EQ(ZPHCoreDataStack::migrationStoreFileName(), QStringLiteral("Articles_migration"));
  EXPECT_EQ(stack.persistentStore()->path(), storePath());
  QVariantMap metadata;
  EXPECT_TRUE(
      stack.persistentStoreAtURLIsCompatibleWithManagedObjectModel(storePath(), CBDataManagedObjectModel(), &metadata));
  EXPECT_EQ(metadata.value(QStringLiteral("modelVersion")).toInt(), CBDataModelCurrentVersion);
}

// After a run that did not end normally: the check runs off the main
// thread, whose event loop turns meanwhile, and the store opens after it.
// Stopped, it opens nothing and leaves the file as it was.
TEST_F(StoreStackTest, TheIntegrityCheckRunsWhileTheMainThreadServesItsEventsThenTheStoreOpens)
{
  {
    ZPHPersistentStore store(CBDataManagedObjectModel(), storePath());
    ZPHError error;
    ASSERT_TRUE(store.open(false, &error)) << error.toString().toStdString();
    {
      ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
      for (int i = 0; i < 300; ++i)
        context.insertNewObject(CBDataEntityNameArticle)->setValue(QStringLiteral("guid"), QString::number(i));
      ASSERT_TRUE(context.save(&error)) << error.toString().toStdString();
    }
    ASSERT_TRUE(store.checkpointAndClose(&error));
  }
  const QByteArray original = storeBytes();
  struct Case {
    const char* name;
    bool stop;
  };
  for (const Case& c : {Case{"checked", false}, Case{"stopped", true}}) {
    SCOPED_TRACE(c.name);
    std::promise<void> held;
    ZPHStoreIntegrityCheck::setWillCheckHook([&] { held.get_future().wait(); });
    TestStack stack;
    stack.setShouldPerformIntegrityCheckOnSetup(true);
    int turns = 0;
    stack.whileChecking = [&] {
      EXPECT_TRUE(stack.integrityCheckIsRunning());
      EXPECT_FALSE(stack.databasesLoaded());
      QTimer tick;
      QObject::connect(&tick, &QTimer::timeout, [&] { ++turns; });
      tick.start(1);
      EXPECT_TRUE(ZPHTestWaitUntil([&] { return turns >= 3; }));
      if (c.stop)
        stack.cancelIntegrityCheck();
      held.set_value();
    };
    ZPHError error;
    const bool opened = stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error);
    ZPHStoreIntegrityCheck::setWillCheckHook({});
    EXPECT_TRUE(stack.ranCheckUI);
    EXPECT_TRUE(stack.checkCompleted);
    EXPECT_GE(turns, 3);
    EXPECT_FALSE(stack.integrityCheckIsRunning());
    ASSERT_GE(stack.checkProgressValues.size(), 2);
    EXPECT_EQ(stack.checkProgressValues.first(), 0.0);
    EXPECT_EQ(stack.checkProgressValues.last(), 1.0);
    EXPECT_TRUE(std::is_sorted(stack.checkProgressValues.begin(), stack.checkProgressValues.end()));
    if (c.stop) {
      EXPECT_FALSE(opened);
      EXPECT_EQ(error.domain(), ZPHCocoaErrorDomain);
      EXPECT_EQ(error.code(), ZPHUserCancelledError);
      EXPECT_FALSE(stack.databasesLoaded());
      EXPECT_EQ(stack.persistentStore(), nullptr);
    } else {
      ASSERT_TRUE(opened) << error.toString().toStdString();
      EXPECT_EQ(stack.mainThreadManagedObjectContext()->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)),
                300);
    }
  }
  EXPECT_EQ(storeBytes(), original);
}

TEST_F(StoreStackTest, Version12MovesReadAndStarredIntoMetadataByBestLink)
{
  makeOldStore(12, {
                       {"g1", "https://example.com/l1", "https://example.com/p1", true, false, "<p>one</p>"},
                       {"g2", " https://example.com/l2 \n", "not-a-web-address", false, true, nullptr},
                       {nullptr, nullptr, nullptr, true, true, nullptr},
                   });
  CBDataController controller;
  TestStack* stack = nullptr;
  ZPHError error;
  ASSERT_TRUE(controller.setupCoreDataStackWithClass(
      [&] {
        auto made = std::make_unique<TestStack>();
        stack = made.get();
        return made;
      },
      false, &error))
      << error.toString().toStdString();
  EXPECT_TRUE(stack->ranModalUI);
  EXPECT_TRUE(stack->completed);
  EXPECT_FALSE(stack->terminated);
  EXPECT_TRUE(noMigrationFilesLeft());
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(storePath(), nullptr), CBDataModelCurrentVersion);
  // Progress climbs to 1, each value reported once.
  ASSERT_FALSE(stack->progressValues.isEmpty());
  EXPECT_DOUBLE_EQ(stack->progressValues.last(), 1.0);
  for (qsizetype i = 1; i < stack->progressValues.size(); ++i)
    EXPECT_LT(stack->progressValues[i - 1], stack->progressValues[i]);

  ZPHManagedObjectContext* main = controller.mainThreadManagedObjectContext();
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)), 3);
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticleMetadata)), 3);

  ZPHManagedObject* byPermalink = metadataFor(main, QStringLiteral("https://example.com/p1"));
  ASSERT_NE(byPermalink, nullptr);
  EXPECT_TRUE(byPermalink->value(QStringLiteral("read")).toBool());
  EXPECT_FALSE(byPermalink->value(QStringLiteral("flagged")).toBool());
  ZPHManagedObject* first = byPermalink->value(QStringLiteral("article")).value<ZPHManagedObject*>();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->value(QStringLiteral("guid")).toString(), QStringLiteral("g1"));
  EXPECT_EQ(first->valueForKeyPath(QStringLiteral("content.htmlText")).toString(), QStringLiteral("<p>one</p>"));
  EXPECT_TRUE(static_cast<CBDataArticle*>(first)->read());

  ZPHManagedObject* byLink = metadataFor(main, QStringLiteral("https://example.com/l2"));
  ASSERT_NE(byLink, nullptr);
  EXPECT_FALSE(byLink->value(QStringLiteral("read")).toBool());
  EXPECT_TRUE(byLink->value(QStringLiteral("flagged")).toBool());

  // Without any link: a UUID becomes both the guid and the metadata's key.
  const QList<ZPHManagedObject*> bare = main->executeFetchRequest(
      ZPHFetchRequest(CBDataEntityNameArticle, ZPHPredicate::equal(QStringLiteral("link"), QVariant())));
  ASSERT_EQ(bare.size(), 1);
  const QString uuid = bare[0]->value(QStringLiteral("guid")).toString();
  EXPECT_FALSE(QUuid::fromString(uuid).isNull()) << uuid.toStdString();
  ZPHManagedObject* byUUID = metadataFor(main, uuid);
  ASSERT_NE(byUUID, nullptr);
  EXPECT_TRUE(byUUID->value(QStringLiteral("read")).toBool());
  EXPECT_TRUE(byUUID->value(QStringLiteral("flagged")).toBool());

  // Feeds and folders keep their tree.
  const QList<ZPHManagedObject*> feeds = main->executeFetchRequest(ZPHFetchRequest(CBDataEntityNameFeed));
  ASSERT_EQ(feeds.size(), 1);
  EXPECT_EQ(feeds[0]->valueForKeyPath(QStringLiteral("parent.guid")).toString(), QStringLiteral("folder"));
}

TEST_F(StoreStackTest, Version10GainsNormalizedTextAndMetadata)
{
  makeOldStore(10, {{"g1", "https://example.com/l1", nullptr, false, true,
                     "<p>Caf&eacute; <b>\xef\xbc\xa1\xef\xbc\xa2</b> \xc3\x9c"
                     "ber</p>"}});
  TestStack stack;
  ZPHError error;
  ASSERT_TRUE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error))
      << error.toString().toStdString();
  ZPHManagedObjectContext* main = stack.mainThreadManagedObjectContext();
  const QList<ZPHManagedObject*> contents = main->executeFetchRequest(ZPHFetchRequest(CBDataEntityNameArticleContent));
  ASSERT_EQ(contents.size(), 1);
  EXPECT_EQ(contents[0]->value(QStringLiteral("normalizedText")).toString(), QStringLiteral("cafe ab uber"));
  ZPHManagedObject* metadata = metadataFor(main, QStringLiteral("https://example.com/l1"));
  ASSERT_NE(metadata, nullptr);
  EXPECT_TRUE(metadata->value(QStringLiteral("flagged")).toBool());
  EXPECT_TRUE(noMigrationFilesLeft());
  EXPECT_TRUE(CBDataArticleContentv10v11MigrationPolicy::normalizedTextFromHtmlText(QString()).isNull());
}

TEST_F(StoreStackTest, TheArticleMappingOfOtherVersionsRunsTheDefaultStepsOnly)
{
  makeOldStore(11, {{"g1", "https://example.com/l1", nullptr, true, true, "<p>x</p>"}});
  ZPHCoreDataStack stack;
  QString resulting;
  ZPHError error;
  ASSERT_TRUE(stack.migrateInPlaceForPersistentStoreAtURL(storePath(), {{QStringLiteral("modelVersion"), 11}},
                                                          CBDataManagedObjectModelForVersion(12), &resulting, {},
                                                          &error))
      << error.toString().toStdString();
  EXPECT_EQ(resulting, storePath());
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(storePath(), nullptr), 12);
  ZPHPersistentStore store(CBDataManagedObjectModelForVersion(12), storePath());
  ASSERT_TRUE(store.open(true, nullptr));
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  const QList<ZPHManagedObject*> articles = context.executeFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle));
  ASSERT_EQ(articles.size(), 1);
  EXPECT_TRUE(articles[0]->value(QStringLiteral("read")).toBool());
  EXPECT_TRUE(articles[0]->value(QStringLiteral("starred")).toBool());
  EXPECT_EQ(articles[0]->valueForKeyPath(QStringLiteral("content.htmlText")).toString(), QStringLiteral("<p>x</p>"));
}

TEST_F(StoreStackTest, ACancelledMigrationLeavesTheOriginalAndNoMigrationStore)
{
  makeOldStore(12, {}, 200);
  const QByteArray original = storeBytes();
  ZPHCoreDataStack stack;
  int reports = 0;
  QString resulting;
  ZPHError error;
  EXPECT_FALSE(stack.migrateInPlaceForPersistentStoreAtURL(
      storePath(), {{QStringLiteral("modelVersion"), 12}}, CBDataManagedObjectModel(), &resulting,
      [&](double) {
        if (++reports == 1)
          stack.cancelMigrationAndTerminateFromMigrationUI();
      },
      &error));
  EXPECT_EQ(error.domain(), ZPHCocoaErrorDomain);
  EXPECT_EQ(error.code(), ZPHUserCancelledError);
  EXPECT_TRUE(resulting.isEmpty());
  EXPECT_EQ(storeBytes(), original);
  EXPECT_TRUE(noMigrationFilesLeft());
  EXPECT_EQ(stack.currentMigrationManager(), nullptr);
}

TEST_F(StoreStackTest, AStoreInUseIsNotReplaced)
{
  makeOldStore(12, {{"g1", "https://example.com/l1", nullptr, true, false, nullptr}});
  const QByteArray original = storeBytes();
  // Another connection reads the store's log: it cannot be written back,
  // so the store is neither migrated nor replaced.
  std::unique_ptr<ZPHSQLiteConnection> reader = ZPHSQLiteConnection::open(storePath(), false, nullptr);
  ASSERT_TRUE(reader);
  ASSERT_TRUE(reader->exec("CREATE TABLE scratch (x); DROP TABLE scratch; BEGIN"));
  ZPHSQLiteStatement read = reader->prepare("SELECT count(*) FROM sqlite_master");
  ASSERT_EQ(read.step(), SQLITE_ROW);
  TestStack stack;
  ZPHError error;
  EXPECT_FALSE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error));
  EXPECT_EQ(error.code(), ZPHObjectGraphBusyError) << error.toString().toStdString();
  EXPECT_FALSE(stack.databasesLoaded());
  EXPECT_FALSE(stack.terminated);
  read = ZPHSQLiteStatement();
  reader.reset();
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(storePath(), nullptr), 12);
  EXPECT_TRUE(noMigrationFilesLeft());
}

namespace {

constexpr char MigrationKillVariable[] = "ZPH_MIGRATION_KILL_CHILD";

// Stops the program, as a kill would, right after one replacement step.
class KilledStack : public TestStack {
public:
  explicit KilledStack(int step) : m_step(step) {}

protected:
  void replacementStepDone(ReplacementStep step) override
  {
    if (int(step) == m_step)
      ::raise(SIGKILL);
  }

private:
  int m_step;
};

}  // namespace

// Runs in a child process started by the test below: migrates the store of
// the data folder and is killed at the step it is told.
TEST(StoreStackKillSafety, ChildMigratesUntilKilled)
{
  const QStringList arguments = qEnvironmentVariable(MigrationKillVariable).split(u'|');
  if (arguments.size() != 2)
    GTEST_SKIP() << "runs only as the child of AMigrationKilledAtAnyStepLosesNothing";
  ZPHTestApplicationDelegate delegate;
  delegate.setDataFolder(arguments[0]);
  KilledStack stack(arguments[1].toInt());
  ZPHError error;
  ASSERT_TRUE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error))
      << error.toString().toStdString();
}

// A kill at each step of the replacement, of a store whose last changes are
// still only in its log: the next start has a store with every article, at
// the current version, and nothing left over.
TEST_F(StoreStackTest, AMigrationKilledAtAnyStepLosesNothing)
{
  for (int step = 0; step <= 3; ++step) {
    SCOPED_TRACE(step);
    QDir(delegate.pathToDataFolder()).removeRecursively();
    QDir().mkpath(delegate.pathToDataFolder());
    ASSERT_NO_FATAL_FAILURE(makeOldStore(12, {}, 5));
    // Five more articles that reach only the log: the files are copied
    // while the store is still open, as a crash would leave them.
    {
      const QString live = delegate.rootFolder() + QStringLiteral("/live");
      QDir(live).removeRecursively();
      QDir().mkpath(live);
      ZPHPersistentStore store(CBDataManagedObjectModelForVersion(12), storePath());
      ASSERT_TRUE(store.open(false, nullptr));
      ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
      for (int i = 0; i < 5; ++i) {
        ZPHManagedObject* article = context.insertNewObject(CBDataEntityNameArticle);
        article->setValue(QStringLiteral("guid"), QStringLiteral("late-%1").arg(i));
        article->setValue(QStringLiteral("feedURL"), QStringLiteral("https://example.com/feed"));
      }
      ASSERT_TRUE(context.save());
      ASSERT_GT(QFileInfo(storePath() + QStringLiteral("-wal")).size(), 0);
      for (const QString& suffix : {QString(), QStringLiteral("-wal")})
        ASSERT_TRUE(QFile::copy(storePath() + suffix, live + QStringLiteral("/Articles") + suffix));
    }
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
      QFile::remove(storePath() + suffix);
      QFile::copy(delegate.rootFolder() + QStringLiteral("/live/Articles") + suffix, storePath() + suffix);
    }
    ASSERT_GT(QFileInfo(storePath() + QStringLiteral("-wal")).size(), 0);

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(MigrationKillVariable),
                       delegate.pathToDataFolder() + QStringLiteral("|") + QString::number(step));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=StoreStackKillSafety.ChildMigratesUntilKilled")});
    ASSERT_TRUE(child.waitForFinished(120000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAll().toStdString();
    EXPECT_TRUE(QFileInfo::exists(storePath()));  // never missing

    TestStack stack;
    ZPHError error;
    ASSERT_TRUE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error))
        << error.toString().toStdString();
    EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(storePath(), nullptr), CBDataModelCurrentVersion);
    EXPECT_EQ(stack.mainThreadManagedObjectContext()->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)),
              10);
    EXPECT_TRUE(noMigrationFilesLeft());
  }
}

// Earlier versions moved the store aside before moving the migrated file
// in: a crash between the two left no store. The next start recovers it
// before it could make a new, empty one.
TEST_F(StoreStackTest, AMissingStoreIsRecoveredFromWhatAMigrationLeft)
{
  struct Case {
    const char* name;
    bool completeMigrated;  // a finished "Articles_migration" is there
    bool incompleteMigrated;
    int expectedVersion;
  } cases[] = {
      {"only the set-aside original", false, false, 12},
      {"the set-aside original and a complete migrated store", true, false, CBDataModelCurrentVersion},
      {"the set-aside original and an unfinished migrated store", false, true, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QDir(delegate.pathToDataFolder()).removeRecursively();
    QDir().mkpath(delegate.pathToDataFolder());
    ASSERT_NO_FATAL_FAILURE(makeOldStore(12, {}, 3));
    const QString migrated = QDir(delegate.pathToDataFolder()).filePath(QStringLiteral("Articles_migration"));
    if (c.completeMigrated || c.incompleteMigrated) {
      ZPHCoreDataStack migrator;
      ASSERT_TRUE(QFile::copy(storePath(), migrated + QStringLiteral(".source")));
      ZPHError error;
      QString resulting;
      ASSERT_TRUE(migrator.migrateInPlaceForPersistentStoreAtURL(migrated + QStringLiteral(".source"),
                                                                 {{QStringLiteral("modelVersion"), 12}},
                                                                 CBDataManagedObjectModel(), &resulting, {}, &error))
          << error.toString().toStdString();
      ASSERT_TRUE(QFile::rename(migrated + QStringLiteral(".source"), migrated));
      if (c.incompleteMigrated) {
        std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(migrated, false, nullptr);
        ASSERT_TRUE(raw->exec("DELETE FROM zph_metadata WHERE key = 'migrationComplete'"));
      }
    }
    ASSERT_TRUE(QFile::rename(storePath(), storePath() + QStringLiteral("_premigration")));

    TestStack stack;
    ZPHError error;
    ASSERT_TRUE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error))
        << error.toString().toStdString();
    EXPECT_EQ(stack.mainThreadManagedObjectContext()->countForFetchRequest(ZPHFetchRequest(CBDataEntityNameArticle)),
              3);
    EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(storePath(), nullptr), CBDataModelCurrentVersion);
    EXPECT_EQ(stack.ranModalUI, c.expectedVersion != CBDataModelCurrentVersion);  // migrated now
    EXPECT_TRUE(noMigrationFilesLeft());
  }
}

// A store that cannot be read is never opened, and what lies beside it
// stays as it was for the failure path to set aside with it: SQLite, left to
// itself, would delete a log it takes for a stray one (beside a file that is
// no database, or beside an empty file) and its index.
TEST_F(StoreStackTest, AnUnreadableStoreKeepsItsLogAndIndexBesideIt)
{
  const auto writeFile = [](const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
  };
  const auto readFile = [](const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
  };
  struct Case {
    const char* name;
    QByteArray store;
  } cases[] = {
      {"not a database", "This is not a database, whatever the name says."},
      {"an empty file", ""},
  };
  const QByteArray log = QByteArray("the log's frames ").repeated(64);
  const QByteArray index = QByteArray("the log's index ").repeated(64);
  for (const Case& c : cases) {
    for (const bool check : {false, true}) {
      SCOPED_TRACE(c.name);
      SCOPED_TRACE(check ? "with the integrity check" : "without a check");
      ASSERT_NO_FATAL_FAILURE(writeFile(storePath(), c.store));
      ASSERT_NO_FATAL_FAILURE(writeFile(storePath() + QStringLiteral("-wal"), log));
      ASSERT_NO_FATAL_FAILURE(writeFile(storePath() + QStringLiteral("-shm"), index));
      {
        TestStack stack;
        stack.setShouldPerformIntegrityCheckOnSetup(check);
        ZPHError error;
        EXPECT_FALSE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error));
        EXPECT_EQ(error.code(), ZPHObjectGraphNotADatabaseError) << error.toString().toStdString();
        EXPECT_FALSE(stack.databasesLoaded());
      }
      EXPECT_EQ(readFile(storePath()), c.store);
      EXPECT_EQ(readFile(storePath() + QStringLiteral("-wal")), log);
      // The index is SQLite's to rebuild, but it stays.
      EXPECT_TRUE(QFileInfo::exists(storePath() + QStringLiteral("-shm")));
      EXPECT_TRUE(noMigrationFilesLeft());
    }
  }
}

TEST_F(StoreStackTest, AStoreOfAnUnknownVersionIsNotOpened)
{
  {
    auto model = std::make_unique<ZPHManagedObjectModel>(9);
    model->addEntity(QStringLiteral("Thing"));
    ASSERT_TRUE(model->finish());
    ZPHPersistentStore store(model.get(), storePath());
    ASSERT_TRUE(store.open(false, nullptr));
    ASSERT_TRUE(store.checkpointAndClose(nullptr));
  }
  const QByteArray original = storeBytes();
  TestStack stack;
  ZPHError error;
  EXPECT_FALSE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error));
  EXPECT_FALSE(error.isNull());
  EXPECT_EQ(storeBytes(), original);
  EXPECT_FALSE(CBDataMappingModelForVersions(9, 10).has_value());
  EXPECT_FALSE(CBDataMappingModelForVersions(10, 12).has_value());
}

// The store's indexes follow the model: one an earlier version made that no
// query uses any more goes at the next start (each index costs every
// insert), and one the model declares that the store lacks is made. The
// data stays as it is.
TEST_F(StoreStackTest, TheStoreKeepsExactlyTheIndexesOfTheModel)
{
  const auto indexes = [](ZPHPersistentStore* store) {
    QStringList names;
    ZPHSQLiteStatement statement = store->connection()->prepare(
        "SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL AND tbl_name = 'Article'");
    while (statement.step() == SQLITE_ROW) names.append(statement.columnText(0));
    names.sort();
    return names;
  };
  QStringList declared;
  {
    TestStack stack;
    ZPHError error;
    ASSERT_TRUE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error));
    ZPHManagedObjectContext* main = stack.mainThreadManagedObjectContext();
    ZPHManagedObject* article = main->insertNewObject(CBDataEntityNameArticle);
    article->setValue(QStringLiteral("guid"), QStringLiteral("g"));
    article->setValue(QStringLiteral("feedURL"), QStringLiteral("https://example.com/feed"));
    ASSERT_TRUE(main->save(&error));
    declared = indexes(stack.persistentStore());
    EXPECT_FALSE(declared.contains(QStringLiteral("Article_guid")));
    EXPECT_TRUE(declared.contains(QStringLiteral("Article_feedURL_markedForDeletion_metadata")));
  }
  {
    // As an earlier version left it: an article guid index, and (say) a
    // feed index lost.
    std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(storePath(), false, nullptr);
    ASSERT_NE(raw, nullptr);
    ASSERT_TRUE(raw->exec("CREATE INDEX \"Article_guid\" ON \"Article\" (\"guid\")"));
    ASSERT_TRUE(raw->exec("DROP INDEX \"Article_feedURL_markedForDeletion_metadata\""));
  }
  for (int start = 0; start < 2; ++start) {  // and a second start changes nothing
    SCOPED_TRACE(start);
    TestStack stack;
    ZPHError error;
    ASSERT_TRUE(stack.setupCoreDataStackWithModelResourceName(CBCoreDataModelResourceName, &error));
    EXPECT_EQ(indexes(stack.persistentStore()), declared);
    EXPECT_EQ(stack.mainThreadManagedObjectContext()->countForFetchRequest(ZPHFetchRequest(
                  CBDataEntityNameArticle, ZPHPredicate::equal(QStringLiteral("guid"), QStringLiteral("g")))),
              1);
  }
}
