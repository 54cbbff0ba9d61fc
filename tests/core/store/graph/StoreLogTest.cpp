// The store's connections gather the pages of a transaction before writing
// them to the write-ahead log. Other connections must still read every
// commit whole as soon as it is visible, and a transaction that rolled back
// must leave nothing behind that could land on the log later.

#include "store/graph/ZPHSQLiteConnection.h"

#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

class StoreLogTest : public ::testing::Test {
protected:
  QTemporaryDir folder;
  QString path() const { return folder.filePath(QStringLiteral("Log.sqlite")); }

  std::unique_ptr<ZPHSQLiteConnection> open()
  {
    ZPHError error;
    std::unique_ptr<ZPHSQLiteConnection> connection = ZPHSQLiteConnection::open(path(), true, &error);
    EXPECT_NE(connection, nullptr) << error.localizedDescription().toStdString();
    return connection;
  }

  static qint64 single(ZPHSQLiteConnection& connection, const char* sql)
  {
    ZPHSQLiteStatement statement = connection.prepare(sql);
    EXPECT_TRUE(statement.isValid()) << sql;
    if (!statement.isValid() || statement.step() != SQLITE_ROW) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(connection.handle());
      return -1;
    }
    return statement.columnInt64(0);
  }

  static void expectIntact(ZPHSQLiteConnection& connection)
  {
    ZPHSQLiteStatement check = connection.prepare("PRAGMA integrity_check");
    ASSERT_EQ(check.step(), SQLITE_ROW);
    EXPECT_EQ(check.columnText(0), QStringLiteral("ok"));
  }

  // Inserts `rows` rows of `size` letters each, and counts them in `tally`,
  // in one transaction.
  static bool writeBatch(ZPHSQLiteConnection& connection, int rows, int size, bool commit = true)
  {
    if (!connection.exec("BEGIN IMMEDIATE"))
      return false;
    ZPHSQLiteStatement insert = connection.prepare("INSERT INTO t(payload) VALUES (?)");
    const QString payload(size, QLatin1Char('x'));
    for (int i = 0; i < rows; ++i) {
      insert.bindText(1, payload);
      if (!insert.execute())
        return false;
      insert.reset();
    }
    ZPHSQLiteStatement tally = connection.prepare("UPDATE tally SET rows = rows + ?, letters = letters + ?");
    tally.bindInt64(1, rows);
    tally.bindInt64(2, qint64(rows) * size);
    if (!tally.execute())
      return false;
    return connection.exec(commit ? "COMMIT" : "ROLLBACK");
  }

  void createTables()
  {
    std::unique_ptr<ZPHSQLiteConnection> connection = open();
    ASSERT_TRUE(
        connection->exec("CREATE TABLE t(id INTEGER PRIMARY KEY, payload TEXT);"
                         "CREATE INDEX t_payload ON t(payload);"
                         "CREATE TABLE tally(rows INTEGER, letters INTEGER);"
                         "INSERT INTO tally VALUES (0, 0);"));
  }
};

// Commits of every size (one page, several writes of the log, more than is
// ever gathered at once) against readers that check each snapshot whole.
TEST_F(StoreLogTest, ReadersOnOtherConnectionsSeeEveryCommitWhole)
{
  createTables();
  std::atomic<bool> writing{true};
  std::atomic<int> snapshots{0};
  std::atomic<int> faults{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      std::unique_ptr<ZPHSQLiteConnection> connection = open();
      while (writing.load()) {
        if (!connection->exec("BEGIN"))
          ++faults;
        {
          ZPHSQLiteStatement check = connection->prepare(
              "SELECT (SELECT rows FROM tally) = count(*), (SELECT letters FROM tally) = "
              "coalesce(sum(length(payload)), 0), count(*) FILTER (WHERE payload GLOB '*[^x]*') FROM t");
          if (!check.isValid() || check.step() != SQLITE_ROW || check.columnInt64(0) != 1 ||
              check.columnInt64(1) != 1 || check.columnInt64(2) != 0)
            ++faults;
        }
        if (!connection->exec("COMMIT"))
          ++faults;
        ++snapshots;
      }
    });
  }
  std::unique_ptr<ZPHSQLiteConnection> writer = open();
  const int sizes[][2] = {{1, 10}, {40, 3000}, {400, 3000}, {5, 100000}, {2, 10}};
  for (int round = 0; round < 30; ++round) {
    for (const auto& size : sizes) ASSERT_TRUE(writeBatch(*writer, size[0], size[1]));
  }
  // Readers took their snapshots while commits came.
  while (snapshots.load() < 20) std::this_thread::yield();
  writing = false;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(faults.load(), 0);
  EXPECT_EQ(single(*writer, "SELECT count(*) FROM t"), 30 * (1 + 40 + 400 + 5 + 2));
  expectIntact(*writer);
}

// A transaction large enough to spill pages into the log before it ends,
// rolled back; then another connection commits at the log's end, and the
// first one commits again. Nothing of the rolled-back pages may overwrite
// the other's, and the file reopened holds exactly the commits.
TEST_F(StoreLogTest, ARolledBackTransactionLeavesNothingToWriteLater)
{
  createTables();
  {
    std::unique_ptr<ZPHSQLiteConnection> first = open();
    std::unique_ptr<ZPHSQLiteConnection> second = open();
    ASSERT_TRUE(first->exec("PRAGMA cache_size = 20"));  // spills within the transaction
    ASSERT_TRUE(writeBatch(*first, 2000, 2000, false));
    ASSERT_TRUE(writeBatch(*second, 300, 1000));
    ASSERT_TRUE(writeBatch(*first, 10, 50));
    ASSERT_TRUE(writeBatch(*second, 1, 10));
  }
  std::unique_ptr<ZPHSQLiteConnection> reopened = open();
  EXPECT_EQ(single(*reopened, "SELECT count(*) FROM t"), 311);
  EXPECT_EQ(single(*reopened, "SELECT sum(length(payload)) FROM t"), 300 * 1000 + 10 * 50 + 10);
  EXPECT_EQ(single(*reopened, "SELECT rows FROM tally"), 311);
  expectIntact(*reopened);
}

// A commit whose frames cannot all be written (the file size limit stands
// in for a full disk) fails, publishes nothing, and leaves the store as it
// was for every connection; once room is back, commits go on.
TEST_F(StoreLogTest, ACommitThatCannotBeWrittenFailsAndLeavesTheStoreAsItWas)
{
  createTables();
  std::unique_ptr<ZPHSQLiteConnection> writer = open();
  std::unique_ptr<ZPHSQLiteConnection> reader = open();
  ASSERT_TRUE(writeBatch(*writer, 10, 100));
  ASSERT_EQ(single(*reader, "SELECT count(*) FROM t"), 10);

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = rlim_t(QFileInfo(path() + QStringLiteral("-wal")).size() + 200 * 1024);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  // Larger than what is gathered at once, and smaller than that.
  const bool large = writeBatch(*writer, 400, 3000);
  writer->exec("ROLLBACK");
  const bool small = writeBatch(*writer, 40, 3000);
  writer->exec("ROLLBACK");
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(large);
  EXPECT_FALSE(small);

  EXPECT_EQ(single(*reader, "SELECT count(*) FROM t"), 10);
  EXPECT_EQ(single(*reader, "SELECT rows FROM tally"), 10);
  ASSERT_TRUE(writeBatch(*writer, 5, 100));
  EXPECT_EQ(single(*reader, "SELECT count(*) FROM t"), 15);
  writer.reset();
  reader.reset();
  std::unique_ptr<ZPHSQLiteConnection> reopened = open();
  EXPECT_EQ(single(*reopened, "SELECT count(*) FROM t"), 15);
  expectIntact(*reopened);
}

}  // namespace
