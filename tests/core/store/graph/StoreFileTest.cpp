#include "core/store/graph/KillMidSave.h"
#include "core/store/graph/StoreTestModel.h"

#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QUrl>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

class StoreFileTest : public ::testing::Test, public StoreTestFixture {
protected:
  QByteArray readFile() const
  {
    QFile file(path());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  ZPHError openError(bool integrityCheck = true)
  {
    ZPHPersistentStore probe(model.get(), path());
    ZPHError error;
    EXPECT_FALSE(probe.open(integrityCheck, &error));
    return error;
  }

  void insertArticles(ZPHManagedObjectContext& context, int count, int textSize, const QString& prefix)
  {
    const QString text(textSize, QLatin1Char('x'));
    for (int i = 0; i < count; ++i) {
      ZPHManagedObject* article = context.insertNewObject(QStringLiteral("Article"));
      article->setValue(QStringLiteral("guid"), prefix + QString::number(i));
      article->setValue(QStringLiteral("title"), text);
    }
  }
};

constexpr char KillChildVariable[] = "ZPH_STORE_KILL_CHILD";

}  // namespace

TEST_F(StoreFileTest, AFileThatIsNotADatabaseIsReportedAndKept)
{
  const QByteArray junk = QByteArray("This is a text file, not a store.\n").repeated(200);
  folder.writeFile(QStringLiteral("Articles"), junk);
  const ZPHError error = openError();
  EXPECT_EQ(error.domain(), ZPHObjectGraphErrorDomain);
  EXPECT_EQ(error.code(), ZPHObjectGraphNotADatabaseError);
  EXPECT_EQ(readFile(), junk);
  ZPHError versionError;
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(path(), &versionError), -1);
  EXPECT_FALSE(versionError.isNull());
}

TEST_F(StoreFileTest, ModelVersionIsRecordedAndChecked)
{
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(path(), nullptr), 0);  // no file yet
  ASSERT_TRUE(open());
  close();
  EXPECT_EQ(ZPHPersistentStore::modelVersionOfStoreAtPath(path(), nullptr), 1);

  model = makeStoreTestModel(2);
  const ZPHError error = openError();
  EXPECT_EQ(error.code(), ZPHObjectGraphIncompatibleVersionError);
  EXPECT_EQ(error.value(QStringLiteral("modelVersion")).toInt(), 1);

  // A database made by someone else is not taken over.
  const QString foreign = folder.filePath(QStringLiteral("Foreign"));
  {
    std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(foreign, true, nullptr);
    ASSERT_TRUE(raw);
    ASSERT_TRUE(raw->exec("CREATE TABLE notes (body TEXT)"));
  }
  ZPHPersistentStore other(model.get(), foreign);
  ZPHError foreignError;
  EXPECT_FALSE(other.open(false, &foreignError));
  EXPECT_EQ(foreignError.code(), ZPHObjectGraphIncompatibleVersionError);
}

TEST_F(StoreFileTest, ADamagedFileFailsTheIntegrityCheckAndIsKept)
{
  ASSERT_TRUE(open());
  insertArticles(*main, 2000, 200, QStringLiteral("a"));
  ASSERT_TRUE(main->save());
  ZPHError error;
  ASSERT_TRUE(store->checkIntegrity(&error));
  main.reset();
  ASSERT_TRUE(store->checkpointAndClose(&error)) << error.toString().toStdString();
  store.reset();
  ASSERT_FALSE(QFileInfo::exists(path() + QStringLiteral("-wal")) &&
               QFileInfo(path() + QStringLiteral("-wal")).size() > 0);

  ASSERT_NO_FATAL_FAILURE(damageRootPageOf("Article"));
  const QByteArray damaged = readFile();

  const ZPHError integrity = openError(true);
  EXPECT_EQ(integrity.code(), ZPHObjectGraphIntegrityCheckError) << integrity.toString().toStdString();
  EXPECT_FALSE(integrity.value(QStringLiteral("integrityCheck")).toStringList().isEmpty());
  EXPECT_EQ(readFile(), damaged);
}

// A write the disk does not take fails the save and says why; the store
// stays as it was (not damaged) and the context keeps its changes, which a
// later save writes.
TEST_F(StoreFileTest, AFailedWriteSaysWhyAndLeavesTheStoreAndTheChanges)
{
  ASSERT_TRUE(open());
  insertArticles(*main, 50, 100, QStringLiteral("kept"));
  ASSERT_TRUE(main->save());
  struct Case {
    const char* what;
    std::function<std::shared_ptr<void>()> failWrites;
    ZPHObjectGraphErrorCode code;
  };
  const Case cases[] = {
      {"no file may grow (a full disk)",
       [this]() -> std::shared_ptr<void> {
         auto limit = std::make_shared<ZPHTestFileSizeLimit>(
             std::max(QFileInfo(path()).size(), QFileInfo(path() + QStringLiteral("-wal")).size()));
         EXPECT_TRUE(limit->applied());
         return limit;
       },
       ZPHObjectGraphDiskFullError},
      {"the store may not be written",
       [this]() -> std::shared_ptr<void> {
         ZPHSQLiteConnection* connection = store->connection();
         EXPECT_TRUE(connection != nullptr && connection->exec("PRAGMA query_only = ON"));
         return std::shared_ptr<void>(nullptr, [connection](void*) { connection->exec("PRAGMA query_only = OFF"); });
       },
       ZPHObjectGraphReadOnlyError},
  };
  int saved = 50;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    insertArticles(*main, 500, 2000, QString::fromLatin1(c.what));
    {
      const std::shared_ptr<void> failing = c.failWrites();
      ZPHError error;
      EXPECT_FALSE(main->save(&error));
      EXPECT_EQ(error.domain(), ZPHObjectGraphErrorDomain);
      EXPECT_EQ(error.code(), c.code) << error.toString().toStdString();
      EXPECT_FALSE(ZPHObjectGraphErrorSaysStoreIsDamaged(error));
      EXPECT_TRUE(main->hasChanges());
    }
    EXPECT_TRUE(main->save());
    saved += 500;
  }
  close();
  ASSERT_TRUE(open());  // with its integrity check
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), saved);
}

// Identifiers (and so stored URIs) are never handed out twice in a store:
// after the newest object of a table is deleted, the next one gets a new
// row, whether deleted by a save or a batch delete, in the same or another
// entity of the table, across a reopen, and in a store written before the
// store kept its highest identifiers.
TEST_F(StoreFileTest, RowIDsAreNeverHandedOutTwice)
{
  struct Case {
    const char* name;
    bool batchDelete;
    const char* nextEntity;
    bool reopen;
    bool olderStore;  // no record of the highest identifier yet
  } cases[] = {
      {"saved delete, same entity", false, "Feed", false, false},
      {"saved delete, the folder after a feed", false, "Folder", false, false},
      {"batch delete", true, "Folder", false, false},
      {"across a reopen", false, "Folder", true, false},
      {"a store from before", false, "Folder", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    close();
    QFile::remove(path());
    ASSERT_TRUE(open());
    for (int i = 0; i < 3; ++i) main->insertNewObject(QStringLiteral("Feed"));
    ASSERT_TRUE(main->save());
    ZPHManagedObject* newest = main->insertNewObject(QStringLiteral("Feed"));
    newest->setValue(QStringLiteral("name"), QStringLiteral("newest"));
    ASSERT_TRUE(main->save());
    const ZPHManagedObjectID newestID = newest->objectID();
    const QUrl newestURI = newestID.URIRepresentation();
    if (c.batchDelete) {
      ASSERT_TRUE(main->batchDeleteObjectsWithIDs({newestID}));
    } else {
      main->deleteObject(newest);
      ASSERT_TRUE(main->save());
    }
    if (c.olderStore) {
      close();
      std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(path(), false, nullptr);
      ASSERT_TRUE(raw->exec("DELETE FROM zph_metadata WHERE key LIKE 'lastRowID.%'"));
      raw.reset();
      ASSERT_TRUE(open());
    } else if (c.reopen) {
      close();
      ASSERT_TRUE(open());
    }
    ZPHManagedObject* next = main->insertNewObject(QString::fromLatin1(c.nextEntity));
    ASSERT_TRUE(main->save());
    if (c.olderStore) {
      // It knew only its rows: after the highest one left is all it can
      // promise, and it keeps working.
      EXPECT_GE(next->objectID().rowID(), newestID.rowID());
      continue;
    }
    EXPECT_GT(next->objectID().rowID(), newestID.rowID());
    EXPECT_EQ(main->existingObjectWithID(store->managedObjectIDForURIRepresentation(newestURI)), nullptr);
  }
}

// A checkpoint that cannot write the whole log back (a reader of another
// connection still uses it) fails; the store is closed all the same, its
// connections with it, and the log keeps what it held.
TEST_F(StoreFileTest, CheckpointThatCannotFinishFails)
{
  ASSERT_TRUE(open());
  insertArticles(*main, 50, 100, QStringLiteral("a"));
  ASSERT_TRUE(main->save());
  std::unique_ptr<ZPHSQLiteConnection> reader = ZPHSQLiteConnection::open(path(), false, nullptr);
  ASSERT_TRUE(reader->exec("BEGIN"));
  ZPHSQLiteStatement read = reader->prepare("SELECT count(*) FROM \"Article\"");
  ASSERT_EQ(read.step(), SQLITE_ROW);
  main->deleteObject(main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))).value(0));
  ASSERT_TRUE(main->save());  // a frame the reader's snapshot does not hold
  main.reset();
  ZPHError error;
  ASSERT_GT(store->connectionCount(), 0);
  EXPECT_FALSE(store->checkpointAndClose(&error));
  EXPECT_EQ(error.code(), ZPHObjectGraphBusyError) << error.toString().toStdString();
  EXPECT_EQ(store->connectionCount(), 0);
  EXPECT_EQ(store->connection(), nullptr);  // closed
  EXPECT_GT(QFileInfo(path() + QStringLiteral("-wal")).size(), 0);
  read = ZPHSQLiteStatement();
  reader.reset();
  ASSERT_TRUE(store->open(false, &error)) << error.toString().toStdString();
  {
    ZPHManagedObjectContext context(store.get(), ZPHManagedObjectContext::ConfinementConcurrencyType);
    EXPECT_EQ(context.countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), 49);  // nothing lost
  }
  EXPECT_TRUE(store->checkpointAndClose(&error)) << error.toString().toStdString();
  EXPECT_LE(QFileInfo(path() + QStringLiteral("-wal")).size(), 0);
}

// A store closed the ordinary way writes its log back into the file; one
// told to leave its log (the program's quit) closes without that write, and
// opens again whole from the file and the log, without any check.
TEST_F(StoreFileTest, AStoreClosedLeavingItsLogOpensAgainWithEveryCommit)
{
  const auto size = [this](const QString& suffix) { return QFileInfo(path() + suffix).size(); };
  for (const bool leavesLog : {false, true}) {
    SCOPED_TRACE(leavesLog ? "leaving the log" : "writing the log back");
    ASSERT_TRUE(open());
    for (int save = 0; save < 5; ++save) {
      insertArticles(*main, 200, 500, QStringLiteral("%1-%2-").arg(leavesLog).arg(save));
      ASSERT_TRUE(main->save());
    }
    const qint64 fileBefore = size(QString());
    ASSERT_GT(size(QStringLiteral("-wal")), 0);
    if (leavesLog)
      store->leaveLogOnClose();
    close();
    if (leavesLog) {
      EXPECT_EQ(size(QString()), fileBefore);
      EXPECT_GT(size(QStringLiteral("-wal")), 0);
    } else {
      EXPECT_GT(size(QString()), fileBefore);
      EXPECT_LE(size(QStringLiteral("-wal")), 0);
    }
    ASSERT_TRUE(open());
    EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))), leavesLog ? 2000 : 1000);
    ZPHError error;
    EXPECT_TRUE(store->checkIntegrity(&error)) << error.toString().toStdString();
    close();
  }
}

// Runs in a child process started by the test below: commits a first save,
// then starts a large one and is killed while it writes.
TEST(StoreKillSafety, ChildSavesUntilKilled)
{
  const QString storePath = qEnvironmentVariable(KillChildVariable);
  if (storePath.isEmpty())
    GTEST_SKIP() << "runs only as the child of LargeSaveKilledMidwayKeepsWholeSlices";
  auto model = makeStoreTestModel();
  ZPHPersistentStore store(model.get(), storePath);
  ASSERT_TRUE(store.open(false, nullptr));
  // As in the application: a main context, and the large save in another.
  ZPHManagedObjectContext main(&store, ZPHManagedObjectContext::MainQueueConcurrencyType);
  ZPHManagedObjectContext context(&store, ZPHManagedObjectContext::ConfinementConcurrencyType);
  auto insert = [&](int first, int count, const QString& text) {
    for (int i = first; i < first + count; ++i) {
      ZPHManagedObject* article = context.insertNewObject(QStringLiteral("Article"));
      article->setValue(QStringLiteral("guid"), QString::number(i));
      article->setValue(QStringLiteral("title"), text);
      ZPHManagedObject* content = context.insertNewObject(QStringLiteral("ArticleContent"));
      article->setValue(QStringLiteral("content"), QVariant::fromValue(content));
    }
  };
  insert(0, 10, QStringLiteral("first"));
  ASSERT_TRUE(context.save());
  insert(10, 40000, QString(1500, QLatin1Char('y')));
  std::fputs("saving\n", stdout);
  std::fflush(stdout);
  context.save();
  std::fputs("saved\n", stdout);
  std::fflush(stdout);
}

// A large save commits in slices (so that other writers need not wait for
// all of it); a kill leaves the slices committed before it, each whole: no
// article without its content.
TEST_F(StoreFileTest, LargeSaveKilledMidwayKeepsWholeSlices)
{
  bool finishedFirst = false;
  ASSERT_NO_FATAL_FAILURE(killChildMidSave(KillChildVariable, path(),
                                           QStringLiteral("StoreKillSafety.ChildSavesUntilKilled"),
                                           path() + QStringLiteral("-wal"), &finishedFirst));

  ASSERT_TRUE(open());  // with the integrity check
  const qint64 articles = main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("Article")));
  EXPECT_GE(articles, 10);
  EXPECT_LE(articles, 40010);
  if (finishedFirst) {
    EXPECT_EQ(articles, 40010);
  }
  EXPECT_EQ(main->countForFetchRequest(ZPHFetchRequest(QStringLiteral("ArticleContent"))), articles);
  EXPECT_EQ(main->countForFetchRequest(
                ZPHFetchRequest(QStringLiteral("Article"), ZPHPredicate::equal(QStringLiteral("content"), QVariant()))),
            0);
}
