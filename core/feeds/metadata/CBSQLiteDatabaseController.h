#pragma once

#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantList>

#include <functional>
#include <optional>

namespace SQLite {
class Database;
class Statement;
}  // namespace SQLite

// A small SQLite file reached through one connection per thread.
//
// Each thread keeps its own connection to the file in its thread dictionary,
// made on first use and kept for as long as the thread lives (connections are
// never closed early). Transactions nest per thread. Statement failures are
// never raised to callers: they are logged and answered as "nothing" (a
// failed update answers false, a failed query no row); a file that cannot be
// opened makes database() answer nullptr and every statement do nothing.
//
// Callers that need statements serialised across threads bring their own
// lock (see CBLocalAccountFeedMetadataCache).
//
// Use it for a small side database whose loss costs nothing but a download;
// the article store goes through the object-graph layer's ZPHSQLiteConnection,
// which reports every failure.
class CBSQLiteDatabaseController {
public:
  // The file `databaseFileName` in the application delegate's data folder;
  // runs ensureDatabaseFileExists() with the statement.
  CBSQLiteDatabaseController(const QString& databaseFileName, const QString& createTableStatement);
  virtual ~CBSQLiteDatabaseController();
  CBSQLiteDatabaseController(const CBSQLiteDatabaseController&) = delete;
  CBSQLiteDatabaseController& operator=(const CBSQLiteDatabaseController&) = delete;

  // Full path of the file (empty when there was no folder to put it in).
  QString databaseFilePath() const { return m_databaseFilePath; }
  // "<file name>_cachedDatabaseKey": the entry of this database's connection
  // in each thread's dictionary.
  QString databaseKey() const { return m_databaseKey; }
  // "<file name>_cachedRefCountKey": the entry of this database's
  // transaction depth in each thread's dictionary.
  QString refcountKey() const { return m_refcountKey; }
  // True when the file did not exist when it was first ensured.
  bool databaseIsNew() const { return m_databaseIsNew; }

  // When the file is missing, marks the database new (opening the calling
  // thread's connection creates it). Then runs the create statement, but
  // only when its table is missing, so a file made earlier keeps its rows
  // and no failing "CREATE TABLE" runs at every start.
  void ensureDatabaseFileExists(const QString& createTableStatement);

  // The calling thread's connection: the one in its dictionary, else a new
  // one stored there. nullptr when the file cannot be opened.
  SQLite::Database* database();
  // Makes a fresh connection for the calling thread, replacing its old one.
  SQLite::Database* newDatabase();

  // Transactions nested per thread: the outermost begin starts one, the
  // matching end commits it.
  void beginTransaction();
  void endTransaction();

  // Runs one statement with its arguments (QString as text, QByteArray as a
  // blob, integers and doubles as numbers, an invalid QVariant as NULL) on
  // the calling thread's connection. A failure is logged; false then.
  bool executeUpdate(const QString& sql, const QVariantList& arguments = {});
  // The first row of a query, column by column (text as QString, blobs as
  // QByteArray, NULL as an invalid QVariant); nullopt when there is no row
  // or the query failed (logged).
  std::optional<QVariantList> executeQueryForFirstRow(const QString& sql, const QVariantList& arguments = {});
  // Every row of a query, as executeQueryForFirstRow() gives the first;
  // false when the query failed (logged).
  bool executeQuery(const QString& sql, const QVariantList& arguments,
                    const std::function<void(const QVariantList& row)>& onRow);
  // Creates the table of a "CREATE TABLE <name> (...)" statement only when
  // no table of that name exists yet. False when it failed (logged).
  bool createTableIfMissing(const QString& createTableStatement);

protected:
  // Sets the path and the keys only; the subclass places the file itself
  // and ensures it later.
  struct DeferredSetUp {};
  CBSQLiteDatabaseController(DeferredSetUp, const QString& databaseFileName, const QString& databaseFilePath);

  void setDatabaseFilePath(const QString& path) { m_databaseFilePath = path; }

private:
  // The keys of this object's entries in the thread dictionaries: the keys
  // above plus a process-unique number, so a database made again for the same
  // file name never picks up a connection to a file deleted in between.
  QString threadConnectionKey() const;
  QString threadRefcountKey() const;

  // Prepares (or reuses) the statement on this thread's connection, binds the
  // arguments and hands it to `step`; a failure is logged, the statement
  // dropped from the cache, and false answered.
  bool runStatement(const QString& sql, const QVariantList& arguments,
                    const std::function<void(SQLite::Statement&)>& step);

  QString m_databaseFilePath;
  QString m_databaseKey;
  QString m_refcountKey;
  quint64 m_serial = 0;
  bool m_databaseIsNew = false;
  QMutex m_objectLock;  // table creation and transaction depth
};
