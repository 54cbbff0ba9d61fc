#include "core/store/graph/StoreTestModel.h"

#include "platform/ZPHMainThread.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "store/graph/ZPHSQLiteLogVFS.h"
#include "store/graph/ZPHStoreIntegrityCheck.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <future>

namespace {

class StoreIntegrityCheckTest : public ::testing::Test, public StoreTestFixture {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(open());
    const QString text(2000, QLatin1Char('t'));
    for (int i = 0; i < 1500; ++i) {
      ZPHManagedObject* article = main->insertNewObject(QStringLiteral("Article"));
      article->setValue(QStringLiteral("guid"), QString::number(i));
      article->setValue(QStringLiteral("title"), text);
    }
    ASSERT_TRUE(main->save());
    close();
  }

  void TearDown() override { ZPHStoreIntegrityCheck::setWillCheckHook({}); }

  // The store file and what its log holds (a log it did not have may come
  // empty).
  QByteArray storeFiles() const
  {
    QByteArray all;
    for (const QString& suffix : {QString(), QStringLiteral("-wal")}) {
      QFile file(path() + suffix);
      all += suffix.toUtf8() + ':' + (file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    return all;
  }

  // Holds the next check before it reads anything, until released.
  void holdTheCheck()
  {
    ZPHStoreIntegrityCheck::setWillCheckHook([this] { held.get_future().wait(); });
  }

  struct Outcome {
    bool done = false;
    ZPHError error;
  };
  std::unique_ptr<ZPHStoreIntegrityCheck> startCheck(Outcome* outcome)
  {
    return std::make_unique<ZPHStoreIntegrityCheck>(path(), [outcome](const ZPHError& error) {
      outcome->error = error;
      outcome->done = true;
    });
  }

  std::promise<void> held;
};

}  // namespace

// The check runs on a thread of its own: the main thread's event loop turns
// meanwhile, and the store's files stay as they were.
TEST_F(StoreIntegrityCheckTest, AWholeStoreIsCheckedOffTheMainThreadAndLeftAsItWas)
{
  const QByteArray before = storeFiles();
  holdTheCheck();
  Outcome outcome;
  std::unique_ptr<ZPHStoreIntegrityCheck> check = startCheck(&outcome);
  int turns = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++turns; });
  tick.start(1);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return turns >= 3; }));
  EXPECT_FALSE(outcome.done);
  EXPECT_EQ(check->progress(), 0.0);
  held.set_value();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return outcome.done; }, 60000));
  EXPECT_TRUE(outcome.error.isNull()) << outcome.error.toString().toStdString();
  EXPECT_EQ(check->progress(), 1.0);
  EXPECT_FALSE(check->wasCancelled());
  EXPECT_EQ(storeFiles(), before);
}

TEST_F(StoreIntegrityCheckTest, ADamagedStoreFailsAndIsKept)
{
  ASSERT_FALSE(QFileInfo(path() + QStringLiteral("-wal")).size() > 0);  // all of it in the file
  ASSERT_NO_FATAL_FAILURE(damageRootPageOf("Article"));
  const QByteArray damaged = storeFiles();
  Outcome outcome;
  std::unique_ptr<ZPHStoreIntegrityCheck> check = startCheck(&outcome);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return outcome.done; }, 60000));
  EXPECT_EQ(outcome.error.domain(), ZPHObjectGraphErrorDomain);
  EXPECT_EQ(outcome.error.code(), ZPHObjectGraphIntegrityCheckError) << outcome.error.toString().toStdString();
  EXPECT_FALSE(outcome.error.value(QStringLiteral("integrityCheck")).toStringList().isEmpty());
  EXPECT_EQ(storeFiles(), damaged);
}

// Stopped (a quit), the check ends with an error at once, whether it was
// waiting to begin or reading; going away stops it too.
TEST_F(StoreIntegrityCheckTest, AStoppedCheckEndsAtOnceWithAnError)
{
  holdTheCheck();
  Outcome outcome;
  std::unique_ptr<ZPHStoreIntegrityCheck> check = startCheck(&outcome);
  check->cancel();
  held.set_value();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return outcome.done; }, 60000));
  EXPECT_TRUE(check->wasCancelled());
  EXPECT_FALSE(outcome.error.isNull());
  EXPECT_NE(outcome.error.code(), ZPHObjectGraphIntegrityCheckError);

  ZPHStoreIntegrityCheck::setWillCheckHook({});
  Outcome abandoned;
  startCheck(&abandoned).reset();
  // Its end, if it handed one over, comes before what is handed over now.
  bool later = false;
  ZPHMainThread::async([&] { later = true; });
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return later; }));
  EXPECT_FALSE(abandoned.done);  // its owner went away: no completion
}

// The store's file layer counts what a connection reads of the file and its
// log when asked to, and stops when told.
TEST_F(StoreIntegrityCheckTest, TheFileLayerCountsTheBytesAConnectionReads)
{
  std::unique_ptr<ZPHSQLiteConnection> raw = ZPHSQLiteConnection::open(path(), false, nullptr);
  ASSERT_TRUE(raw);
  raw->keepLogOnClose();
  std::atomic<long long> read{0};
  ASSERT_EQ(sqlite3_file_control(raw->handle(), "main", ZPHSQLiteLogVFSCountReads, &read), SQLITE_OK);
  {
    ZPHSQLiteStatement all = raw->prepare("SELECT sum(length(title)) FROM Article");
    ASSERT_EQ(all.step(), SQLITE_ROW);
    EXPECT_EQ(all.columnInt64(0), 1500 * 2000);
  }
  const long long counted = read.load();
  EXPECT_GE(counted, 1500 * 2000);
  EXPECT_LE(counted, QFileInfo(path()).size() + QFileInfo(path() + QStringLiteral("-wal")).size());
  ASSERT_EQ(sqlite3_file_control(raw->handle(), "main", ZPHSQLiteLogVFSCountReads, nullptr), SQLITE_OK);
  ASSERT_TRUE(raw->exec("PRAGMA cache_size=0"));  // read again from the files
  {
    ZPHSQLiteStatement all = raw->prepare("SELECT count(*) FROM Article");
    ASSERT_EQ(all.step(), SQLITE_ROW);
  }
  EXPECT_EQ(read.load(), counted);
}
