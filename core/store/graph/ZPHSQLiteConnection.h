#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class ZPHSQLiteConnection;

// A prepared statement borrowed from a connection's cache. Binding is by
// 1-based index; reset() makes it ready for the next use and happens on
// destruction too, so a statement never stays busy.
//
// This is the object-graph layer's own SQLite access, for the article store
// only; the small side databases (the feed metadata database) use
// CBSQLiteDatabaseController instead.
class ZPHSQLiteStatement {
public:
  ZPHSQLiteStatement() = default;
  ZPHSQLiteStatement(ZPHSQLiteConnection* connection, sqlite3_stmt* statement, bool owned);
  ~ZPHSQLiteStatement();
  ZPHSQLiteStatement(ZPHSQLiteStatement&& other) noexcept;
  ZPHSQLiteStatement& operator=(ZPHSQLiteStatement&& other) noexcept;
  ZPHSQLiteStatement(const ZPHSQLiteStatement&) = delete;
  ZPHSQLiteStatement& operator=(const ZPHSQLiteStatement&) = delete;

  bool isValid() const { return m_statement != nullptr; }

  void bindNull(int index);
  void bindInt64(int index, qint64 value);
  void bindDouble(int index, double value);
  // Null for a null string.
  void bindText(int index, QStringView value);
  void bindText(int index, const QString& value)
  {
    bindText(index, value.isNull() ? QStringView() : QStringView(value));
  }
  // Strings, numbers, booleans, dates (seconds since 1970), null.
  void bindVariant(int index, const QVariant& value);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step();
  // Steps to the end; answers whether it got there without an error.
  bool execute();
  void reset();

  bool isNull(int column) const;
  qint64 columnInt64(int column) const;
  double columnDouble(int column) const;
  QString columnText(int column) const;
  // By the column's stored type: null, qint64, double or QString.
  QVariant columnVariant(int column) const;

private:
  void release();

  ZPHSQLiteConnection* m_connection = nullptr;
  sqlite3_stmt* m_statement = nullptr;
  bool m_owned = false;  // not from the cache: finalized when done
  // UTF-8 of the bound texts, which SQLite reads in place until the
  // statement lets them go (release()): one after the other in blocks that
  // the connection keeps for the next statement, so that a statement of
  // hundreds of texts does not allocate each.
  char* textRoom(qsizetype bytes);
  struct TextBlock {
    std::unique_ptr<char[]> bytes;
    qsizetype size = 0;
  };
  std::vector<TextBlock> m_textBlocks;
  char* m_textFree = nullptr;
  qsizetype m_textFreeBytes = 0;
};

// One SQLite connection, used by one thread at a time. Statements are
// prepared once per SQL text and kept for the life of the connection.
class ZPHSQLiteConnection {
public:
  ~ZPHSQLiteConnection();
  ZPHSQLiteConnection(const ZPHSQLiteConnection&) = delete;
  ZPHSQLiteConnection& operator=(const ZPHSQLiteConnection&) = delete;

  // Opens (creating when asked) the file and applies the store's settings:
  // WAL journal, synchronous=NORMAL, foreign keys, a busy timeout, and no
  // automatic checkpoints (see walFrames()).
  static std::unique_ptr<ZPHSQLiteConnection> open(const QString& path, bool create, ZPHError* error);

  // How long a statement waits for a store that another connection holds
  // before it answers SQLITE_BUSY.
  static constexpr int BusyTimeoutMs = 10000;

  // At most this many bound parameters per statement.
  static constexpr int MaxStatementParameters = 32766;

  // A cached prepared statement; invalid (and lastError() set) on failure.
  ZPHSQLiteStatement prepare(const QByteArray& sql);
  // Calls of prepare() so far: the statements run, for tests and measures.
  qint64 preparedCount() const { return m_preparedCount; }
  // Runs SQL text without results (may hold several statements).
  bool exec(const QByteArray& sql);

  // The error of the last failed call, as an object-graph error.
  ZPHError lastError() const;
  int changes() const;

  // The write-ahead log after this connection's last commit, in frames
  // (pages); the store writes it back into the file once it holds at least
  // CheckpointFrames of them (64 MB).
  static constexpr int CheckpointFrames = 8000;
  int walFrames() const { return m_walFrames; }

  sqlite3* handle() const { return m_db; }

  // Blocks for the UTF-8 of bound texts (see ZPHSQLiteStatement).
  static constexpr qsizetype TextBlockBytes = 64 * 1024;
  std::unique_ptr<char[]> takeTextBlock();
  void giveBackTextBlock(std::unique_ptr<char[]> block);

  // Finalizes every cached statement and closes; the connection is unusable
  // afterwards.
  void close();
  // The close leaves the write-ahead log and its index as they are (SQLite
  // would otherwise write the log back and delete both files): for a file
  // that failed to open, whose side files must reach whoever sets it aside.
  void keepLogOnClose();

private:
  friend class ZPHSQLiteStatement;
  explicit ZPHSQLiteConnection(sqlite3* db) : m_db(db) {}
  void noteError(int code);

  sqlite3* m_db = nullptr;
  QHash<QByteArray, sqlite3_stmt*> m_statements;
  QSet<sqlite3_stmt*> m_borrowed;  // cached statements now in use
  std::vector<std::unique_ptr<char[]>> m_spareTextBlocks;
  qint64 m_preparedCount = 0;
  int m_lastErrorCode = 0;
  int m_lastSystemErrno = 0;  // the errno behind it, where the disk failed
  int m_walFrames = 0;
  QString m_lastErrorMessage;
};
