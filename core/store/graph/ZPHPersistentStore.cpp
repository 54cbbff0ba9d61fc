#include "store/graph/ZPHPersistentStore.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/graph/ZPHEntityDescription.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHSQLiteConnection.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QMutexLocker>
#include <QtCore/QScopeGuard>
#include <QtCore/QSet>
#include <QtCore/QThread>
#include <QtCore/QUuid>
#include <QtCore/QWaitCondition>

#include <sqlite3.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<qint64> g_nextTemporaryKey{1};

const QByteArray MetadataTable = "zph_metadata";

// Reads one metadata value; a null QString when there is none.
QString readMetadataValue(ZPHSQLiteConnection* connection, const QString& key)
{
  ZPHSQLiteStatement statement = connection->prepare("SELECT value FROM " + MetadataTable + " WHERE key = ?");
  if (!statement.isValid())
    return QString();
  statement.bindText(1, key);
  return statement.step() == SQLITE_ROW ? statement.columnText(0) : QString();
}

bool hasMetadataTable(ZPHSQLiteConnection* connection, bool* ok)
{
  ZPHSQLiteStatement statement =
      connection->prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '" + MetadataTable + "'");
  *ok = statement.isValid() && statement.step() == SQLITE_ROW;
  return *ok && statement.columnInt64(0) > 0;
}

}  // namespace

struct ZPHPersistentStore::ConnectionRegistry : std::enable_shared_from_this<ConnectionRegistry> {
  QMutex mutex;
  QHash<Qt::HANDLE, std::shared_ptr<ZPHSQLiteConnection>> connections;
  // Connections that ending threads took out and are closing. The store
  // is not gone before they are closed: the last close of a store's file
  // deletes its log by name, which would be the log of a new store made
  // at the same path meanwhile.
  int closingOnEndingThreads = 0;
  QWaitCondition closedOnEndingThread;
  // The connections close without writing the log back (leaveLogOnClose()).
  std::atomic<bool> leavesLog{false};

  void closing(ZPHSQLiteConnection* connection) const
  {
    if (connection != nullptr && leavesLog.load())
      connection->keepLogOnClose();
  }

  std::shared_ptr<ZPHSQLiteConnection> find(Qt::HANDLE thread)
  {
    QMutexLocker locker(&mutex);
    return connections.value(thread);
  }
  void insert(Qt::HANDLE thread, std::shared_ptr<ZPHSQLiteConnection> connection);
  // On a thread that ends.
  void remove(Qt::HANDLE thread)
  {
    std::shared_ptr<ZPHSQLiteConnection> closing;
    {
      QMutexLocker locker(&mutex);
      closing = connections.take(thread);
      if (!closing)
        return;
      ++closingOnEndingThreads;
    }
    this->closing(closing.get());
    closing.reset();  // the last owner: closed here
    QMutexLocker locker(&mutex);
    if (--closingOnEndingThreads == 0)
      closedOnEndingThread.wakeAll();
  }
  // Closes every connection; returns once those that ending threads are
  // closing are closed too.
  void clear()
  {
    QHash<Qt::HANDLE, std::shared_ptr<ZPHSQLiteConnection>> closing;
    QMutexLocker locker(&mutex);
    closing.swap(connections);
    locker.unlock();
    for (const std::shared_ptr<ZPHSQLiteConnection>& connection : std::as_const(closing))
      this->closing(connection.get());
    closing.clear();
    locker.relock();
    if (closingOnEndingThreads > 0)
      qCInfo(zphStore) << "waiting for" << closingOnEndingThreads << "connections that ending threads close";
    while (closingOnEndingThreads > 0) closedOnEndingThread.wait(&mutex);
  }
};

namespace {

// Closes the thread's connections of every store still alive when the
// thread ends.
struct ThreadConnections {
  std::vector<std::weak_ptr<ZPHPersistentStore::ConnectionRegistry>> registries;
  ~ThreadConnections()
  {
    const Qt::HANDLE thread = QThread::currentThreadId();
    for (const auto& weak : registries) {
      if (auto registry = weak.lock())
        registry->remove(thread);
    }
  }
};
thread_local ThreadConnections t_threadConnections;

}  // namespace

void ZPHPersistentStore::ConnectionRegistry::insert(Qt::HANDLE thread, std::shared_ptr<ZPHSQLiteConnection> connection)
{
  {
    QMutexLocker locker(&mutex);
    connections.emplace(thread, std::move(connection));
  }
  auto& registries = t_threadConnections.registries;
  registries.erase(
      std::remove_if(registries.begin(), registries.end(), [](const auto& weak) { return weak.expired(); }),
      registries.end());
  registries.push_back(weak_from_this());
}

struct ZPHPersistentStore::PendingMerges {
  mutable QMutex mutex;
  ZPHPersistentStore* store = nullptr;  // null once the store is gone
  int count = 0;                        // handed to the main thread, not yet run
  // Deleted by commits of other contexts, not yet merged by the main one.
  QSet<ZPHManagedObjectID> deletedNotMerged;

  void merged(const QList<ZPHManagedObjectID>& deleted)
  {
    if (deletedNotMerged.isEmpty())
      return;
    for (const ZPHManagedObjectID& objectID : deleted) deletedNotMerged.remove(objectID);
  }
};

struct ZPHPersistentStore::WriteTurns {
  mutable QMutex mutex;
  QWaitCondition released;
  bool held = false;
  int mainWaiting = 0;
  int othersWaiting = 0;
  bool checkpointing = false;
  bool stopping = false;
  int logFrames = 0;         // the log's size after the last commit
  QElapsedTimer sinceWrite;  // since the last write turn ended
  QWaitCondition checkpointWake;
  std::thread checkpointer;
  sqlite3* checkpointConnection = nullptr;               // while a write-back runs: its connection
  QHash<const ZPHEntityDescription*, qint64> handedOut;  // highest row id per table given out here
};

ZPHPersistentStore::ZPHPersistentStore(const ZPHManagedObjectModel* model, const QString& path)
    : m_model(model),
      m_path(path),
      m_registry(std::make_shared<ConnectionRegistry>()),
      m_writeTurns(std::make_unique<WriteTurns>()),
      m_pendingMerges(std::make_shared<PendingMerges>())
{
  m_pendingMerges->store = this;
  Q_ASSERT_X(model && model->isFinished(), Q_FUNC_INFO, "model not finished");
}

ZPHPersistentStore::~ZPHPersistentStore()
{
  {
    QMutexLocker locker(&m_pendingMerges->mutex);
    m_pendingMerges->store = nullptr;
  }
  {
    // A write-back under way stops at its next page: the last connection's
    // close writes the log back (unless leaveLogOnClose()), else the next
    // open takes it as it is.
    QMutexLocker locker(&m_writeTurns->mutex);
    m_writeTurns->stopping = true;
    if (m_writeTurns->checkpointConnection != nullptr)
      sqlite3_interrupt(m_writeTurns->checkpointConnection);
    m_writeTurns->checkpointWake.wakeAll();
  }
  if (m_writeTurns->checkpointer.joinable())
    m_writeTurns->checkpointer.join();
  QMutexLocker locker(&m_mutex);
  Q_ASSERT_X(m_contexts.isEmpty(), Q_FUNC_INFO, "contexts outlive their store");
  locker.unlock();
  m_registry->clear();
}

QString ZPHPersistentStore::identifier() const
{
  QMutexLocker locker(&m_mutex);
  return m_identifier;
}

bool ZPHPersistentStore::open(bool performIntegrityCheck, ZPHError* error)
{
  // An empty store file beside a log that is not: SQLite would take the log
  // for a stray one and delete it at once. It is no store to open; the
  // files stay as they are for the failure path to set aside.
  if (QFileInfo(m_path).exists() && QFileInfo(m_path).size() == 0 &&
      QFileInfo(m_path + QStringLiteral("-wal")).size() > 0) {
    qCCritical(zphStore) << "the store file is empty but its log is not:" << m_path;
    return ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphNotADatabaseError,
                                                  QStringLiteral("The store file is empty but its log is not.")));
  }
  ZPHError openError;
  std::shared_ptr<ZPHSQLiteConnection> connection(ZPHSQLiteConnection::open(m_path, true, &openError));
  if (!connection)
    return ZPHSetError(error, openError);
  // Until the store is open, a failure leaves its files as they were found.
  auto keepFiles = qScopeGuard([&connection] { connection->keepLogOnClose(); });

  bool ok = false;
  const bool hasMetadata = hasMetadataTable(connection.get(), &ok);
  if (!ok)
    return ZPHSetError(error, connection->lastError());
  if (!hasMetadata) {
    ZPHSQLiteStatement tables = connection->prepare("SELECT count(*) FROM sqlite_master");
    if (!tables.isValid() || tables.step() != SQLITE_ROW)
      return ZPHSetError(error, connection->lastError());
    if (tables.columnInt64(0) > 0) {
      return ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphIncompatibleVersionError,
                                                    QStringLiteral("The store file was not made by this program.")));
    }
    tables = ZPHSQLiteStatement();
    if (!createSchema(connection.get(), error))
      return false;
  } else {
    const int version = readMetadataValue(connection.get(), QStringLiteral("modelVersion")).toInt();
    if (version != m_model->versionNumber()) {
      return ZPHSetError(
          error,
          ZPHObjectGraphError(
              ZPHObjectGraphIncompatibleVersionError,
              QStringLiteral("The store holds model version %1, not %2.").arg(version).arg(m_model->versionNumber()),
              {{QStringLiteral("modelVersion"), version}}));
    }
  }
  const QString identifier = readMetadataValue(connection.get(), QStringLiteral("storeIdentifier"));
  m_registry->insert(QThread::currentThreadId(), connection);
  {
    QMutexLocker locker(&m_mutex);
    m_identifier = identifier;
    m_open = true;
  }
  if (performIntegrityCheck && !checkIntegrity(error)) {
    {
      QMutexLocker locker(&m_mutex);
      m_open = false;
    }
    connection->keepLogOnClose();
    m_registry->clear();
    return false;
  }
  keepFiles.dismiss();
  return true;
}

bool ZPHPersistentStore::createSchema(ZPHSQLiteConnection* connection, ZPHError* error)
{
  if (!connection->exec("BEGIN IMMEDIATE"))
    return ZPHSetError(error, connection->lastError());
  bool ok = connection->exec("CREATE TABLE " + MetadataTable + " (key TEXT PRIMARY KEY, value)");
  for (const QByteArray& statement : m_model->schemaStatements()) {
    if (!ok)
      break;
    ok = connection->exec(statement);
  }
  const QVariantMap values{
      {QStringLiteral("modelVersion"), m_model->versionNumber()},
      {QStringLiteral("storeIdentifier"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
  };
  for (auto it = values.begin(); ok && it != values.end(); ++it) {
    ZPHSQLiteStatement insert = connection->prepare("INSERT INTO " + MetadataTable + " (key, value) VALUES (?, ?)");
    ok = insert.isValid();
    if (ok) {
      insert.bindText(1, it.key());
      insert.bindVariant(2, it.value());
      ok = insert.execute();
    }
  }
  if (ok)
    ok = connection->exec("COMMIT");
  if (!ok) {
    const ZPHError failure = connection->lastError();
    connection->exec("ROLLBACK");
    return ZPHSetError(error, failure);
  }
  return true;
}

bool ZPHPersistentStore::alignIndexesWithModel(ZPHError* error)
{
  ZPHSQLiteConnection* db = connection(error);
  if (db == nullptr)
    return false;
  const QHash<QString, QByteArray> declared = m_model->indexStatements();
  const QStringList tables = m_model->tableNames();
  // Indexes made by a statement (not SQLite's own for a key) on the
  // model's tables.
  QStringList stale;
  QSet<QString> present;
  {
    ZPHSQLiteStatement indexes =
        db->prepare("SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
    if (!indexes.isValid())
      return ZPHSetError(error, db->lastError());
    int rc;
    while ((rc = indexes.step()) == SQLITE_ROW) {
      const QString name = indexes.columnText(0);
      if (!tables.contains(indexes.columnText(1)))
        continue;
      present.insert(name);
      if (!declared.contains(name))
        stale.append(name);
    }
    if (rc != SQLITE_DONE)
      return ZPHSetError(error, db->lastError());
  }
  QByteArrayList missing;
  for (auto it = declared.constBegin(); it != declared.constEnd(); ++it) {
    if (!present.contains(it.key()))
      missing.append(it.value());
  }
  if (stale.isEmpty() && missing.isEmpty())
    return true;
  beginWriteTurn();
  bool ok = beginImmediateTransaction(db);
  for (const QString& name : std::as_const(stale)) {
    if (!ok)
      break;
    qCInfo(zphStore) << "dropping the index" << name << "that no query uses any more";
    ok = db->exec("DROP INDEX IF EXISTS " + ZPHQuotedIdentifier(name));
  }
  for (const QByteArray& statement : std::as_const(missing)) {
    if (!ok)
      break;
    ok = db->exec(statement);
  }
  ok = ok && db->exec("COMMIT");
  if (!ok) {
    ZPHSetError(error, db->lastError());
    db->exec("ROLLBACK");
  }
  endWriteTurn(db);
  return ok;
}

bool ZPHPersistentStore::checkIntegrity(ZPHError* error)
{
  ZPHSQLiteConnection* db = connection(error);
  return db != nullptr && checkIntegrityOfConnection(db, error);
}

bool ZPHPersistentStore::checkIntegrityOfConnection(ZPHSQLiteConnection* db, ZPHError* error)
{
  QStringList problems;
  ZPHSQLiteStatement statement = db->prepare("PRAGMA integrity_check");
  int rc = SQLITE_ERROR;
  if (statement.isValid()) {
    while ((rc = statement.step()) == SQLITE_ROW) problems.append(statement.columnText(0));
  }
  if (rc == SQLITE_DONE && problems == QStringList{QStringLiteral("ok")})
    return true;
  if ((rc & 0xff) == SQLITE_INTERRUPT) {
    // Stopped (a quit): nothing was found either way.
    return ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphSQLiteError,
                                                  QStringLiteral("The store's integrity check was stopped."),
                                                  {{ZPHSQLiteErrorCodeKey, rc}}));
  }
  ZPHError failure =
      ZPHObjectGraphError(ZPHObjectGraphIntegrityCheckError, QStringLiteral("The store file is damaged."));
  if (rc != SQLITE_DONE) {
    // A check that cannot even finish is a failed check.
    const ZPHError reason = db->lastError();
    problems.append(reason.value(ZPHSQLiteErrorMessageKey).toString());
    failure.setValue(ZPHSQLiteErrorCodeKey, reason.value(ZPHSQLiteErrorCodeKey));
    failure.setValue(ZPHSQLiteErrorMessageKey, reason.value(ZPHSQLiteErrorMessageKey));
  }
  failure.setValue(QStringLiteral("integrityCheck"), problems.mid(0, 100));
  qCCritical(zphStore) << "store failed its integrity check:" << problems.mid(0, 10);
  return ZPHSetError(error, failure);
}

int ZPHPersistentStore::modelVersionOfStoreAtPath(const QString& path, ZPHError* error)
{
  if (!QFileInfo::exists(path) || QFileInfo(path).size() == 0)
    return 0;
  ZPHError openError;
  std::unique_ptr<ZPHSQLiteConnection> connection = ZPHSQLiteConnection::open(path, false, &openError);
  if (!connection) {
    ZPHSetError(error, openError);
    return -1;
  }
  // A look leaves the files as they are.
  connection->keepLogOnClose();
  bool ok = false;
  if (!hasMetadataTable(connection.get(), &ok)) {
    if (!ok) {
      ZPHSetError(error, connection->lastError());
      return -1;
    }
    return 0;
  }
  return readMetadataValue(connection.get(), QStringLiteral("modelVersion")).toInt();
}

QString ZPHPersistentStore::metadataValueOfStoreAtPath(const QString& path, const QString& key)
{
  if (!QFileInfo::exists(path))
    return QString();
  std::unique_ptr<ZPHSQLiteConnection> connection = ZPHSQLiteConnection::open(path, false, nullptr);
  if (connection)
    connection->keepLogOnClose();  // a look leaves the files as they are
  bool ok = false;
  if (!connection || !hasMetadataTable(connection.get(), &ok))
    return QString();
  return readMetadataValue(connection.get(), key);
}

QString ZPHPersistentStore::metadataValue(const QString& key)
{
  ZPHSQLiteConnection* db = connection();
  return db ? readMetadataValue(db, key) : QString();
}

bool ZPHPersistentStore::setMetadataValue(const QString& key, const QString& value, ZPHError* error)
{
  ZPHSQLiteConnection* db = connection(error);
  if (db == nullptr)
    return false;
  beginWriteTurn();
  bool ok = beginImmediateTransaction(db);
  if (ok) {
    ZPHSQLiteStatement record = db->prepare("INSERT OR REPLACE INTO " + MetadataTable + " (key, value) VALUES (?, ?)");
    ok = record.isValid();
    if (ok) {
      record.bindText(1, key);
      record.bindText(2, value);
      ok = record.execute();
    }
    record = ZPHSQLiteStatement();
    ok = ok && db->exec("COMMIT");
    if (!ok) {
      ZPHSetError(error, db->lastError());
      db->exec("ROLLBACK");
    }
  } else {
    ZPHSetError(error, db->lastError());
  }
  endWriteTurn(db);
  return ok;
}

void ZPHPersistentStore::leaveLogOnClose() { m_registry->leavesLog = true; }

bool ZPHPersistentStore::checkpointAndClose(ZPHError* error)
{
  ZPHSQLiteConnection* db = connection(error);
  if (db == nullptr)
    return false;
  // The checkpoint waits for readers of the log to finish, but not long.
  sqlite3_busy_timeout(db->handle(), 2000);
  ZPHSQLiteStatement checkpoint = db->prepare("PRAGMA wal_checkpoint(TRUNCATE)");
  const int rc = checkpoint.isValid() ? checkpoint.step() : SQLITE_ERROR;
  // One row: whether it was blocked, the frames in the log, the frames
  // written back.
  const bool blocked = rc == SQLITE_ROW && checkpoint.columnInt64(0) != 0;
  const bool failed = rc != SQLITE_ROW;
  const ZPHError stepError = failed ? db->lastError() : ZPHError();
  checkpoint = ZPHSQLiteStatement();
  sqlite3_busy_timeout(db->handle(), ZPHSQLiteConnection::BusyTimeoutMs);
  // Closed whatever the checkpoint did: the caller is done with the store.
  {
    QMutexLocker locker(&m_mutex);
    m_open = false;
  }
  m_registry->clear();
  if (failed)
    return ZPHSetError(error, stepError);
  if (blocked) {
    qCWarning(zphStore) << "the store's log could not be checkpointed: it is in use";
    return ZPHSetError(error,
                       ZPHObjectGraphError(ZPHObjectGraphBusyError,
                                           QStringLiteral("The store is in use; its log could not be written into it."),
                                           {{ZPHSQLiteErrorCodeKey, SQLITE_BUSY}}));
  }
  return true;
}

ZPHSQLiteConnection* ZPHPersistentStore::connection(ZPHError* error)
{
  const Qt::HANDLE thread = QThread::currentThreadId();
  {
    QMutexLocker locker(&m_mutex);
    if (!m_open) {
      ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphSQLiteError, QStringLiteral("The store is not open.")));
      return nullptr;
    }
  }
  if (std::shared_ptr<ZPHSQLiteConnection> existing = m_registry->find(thread))
    return existing.get();
  ZPHError openError;
  std::shared_ptr<ZPHSQLiteConnection> made(ZPHSQLiteConnection::open(m_path, false, &openError));
  if (!made) {
    qCWarning(zphStore) << "cannot open a connection:" << openError.toString();
    ZPHSetError(error, openError);
    return nullptr;
  }
  m_registry->insert(thread, made);
  return made.get();
}

void ZPHPersistentStore::beginWriteTurn()
{
  const bool main = ZPHMainThread::isMainThread();
  QMutexLocker locker(&m_writeTurns->mutex);
  // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): made by the constructor, never reset
  int& waiting = main ? m_writeTurns->mainWaiting : m_writeTurns->othersWaiting;
  ++waiting;
  while (m_writeTurns->held || (!main && m_writeTurns->mainWaiting > 0))
    m_writeTurns->released.wait(&m_writeTurns->mutex);
  --waiting;
  m_writeTurns->held = true;
}

void ZPHPersistentStore::endWriteTurn(ZPHSQLiteConnection* connection)
{
  QMutexLocker locker(&m_writeTurns->mutex);
  m_writeTurns->held = false;
  m_writeTurns->sinceWrite.start();
  m_writeTurns->released.wakeAll();
  if (connection != nullptr)
    m_writeTurns->logFrames = connection->walFrames();
  if (m_writeTurns->logFrames >= ZPHSQLiteConnection::CheckpointFrames)
    startCheckpoint();
}

void ZPHPersistentStore::startCheckpoint()
{
  // The log is written back into the file on a thread of its own, with a
  // connection of its own: no writer (above all not the main thread)
  // spends its time on it. It waits for a pause in the writing (its writes
  // and syncs would slow the writers' down) unless the log grew very large.
  // One at a time; m_writeTurns->mutex is held.
  WriteTurns* turns = m_writeTurns.get();
  if (turns->checkpointing || turns->stopping)
    return;
  if (turns->checkpointer.joinable())
    turns->checkpointer.join();  // the last one, ended
  turns->checkpointing = true;
  turns->checkpointer = std::thread([this, turns] {
    constexpr qint64 PauseMs = 250;
    {
      QMutexLocker locker(&turns->mutex);
      while (!turns->stopping && turns->logFrames < 4 * ZPHSQLiteConnection::CheckpointFrames &&
             (turns->held || turns->sinceWrite.elapsed() < PauseMs))
        turns->checkpointWake.wait(&turns->mutex, QDeadlineTimer(PauseMs / 2));
      if (turns->stopping) {
        turns->checkpointing = false;
        return;
      }
    }
    if (std::unique_ptr<ZPHSQLiteConnection> connection = ZPHSQLiteConnection::open(m_path, false, nullptr)) {
      bool stopping = false;
      {
        // The store going away interrupts it through this handle.
        QMutexLocker locker(&turns->mutex);
        stopping = turns->stopping;
        if (!stopping)
          turns->checkpointConnection = connection->handle();
      }
      if (!stopping) {
        int logFrames = 0;
        int written = 0;
        sqlite3_wal_checkpoint_v2(connection->handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &written);
      }
      QMutexLocker locker(&turns->mutex);
      turns->checkpointConnection = nullptr;
      m_registry->closing(connection.get());
    }
    QMutexLocker locker(&turns->mutex);
    turns->logFrames = 0;
    turns->checkpointing = false;
  });
}

void ZPHPersistentStore::noteDeletionsCommitted(const ZPHManagedObjectContext* origin,
                                                const QList<ZPHManagedObjectID>& deleted)
{
  if (deleted.isEmpty() || origin == nullptr || origin->isMainContext() || mainContext() == nullptr)
    return;
  QMutexLocker locker(&m_pendingMerges->mutex);
  for (const ZPHManagedObjectID& objectID : deleted) m_pendingMerges->deletedNotMerged.insert(objectID);
}

bool ZPHPersistentStore::hasDeletionsNotMergedIntoMainContext() const
{
  QMutexLocker locker(&m_pendingMerges->mutex);
  return !m_pendingMerges->deletedNotMerged.isEmpty();
}

QList<ZPHManagedObjectID> ZPHPersistentStore::takeDeletionsNotMergedIntoMainContext()
{
  QMutexLocker locker(&m_pendingMerges->mutex);
  const QList<ZPHManagedObjectID> deleted(m_pendingMerges->deletedNotMerged.begin(),
                                          m_pendingMerges->deletedNotMerged.end());
  m_pendingMerges->deletedNotMerged.clear();
  return deleted;
}

bool ZPHPersistentStore::writeTurnIsWanted() const
{
  QMutexLocker locker(&m_writeTurns->mutex);
  return m_writeTurns->mainWaiting + m_writeTurns->othersWaiting > 0;
}

bool ZPHPersistentStore::beginImmediateTransaction(ZPHSQLiteConnection* connection)
{
  QDeadlineTimer nextWarning(10000);
  while (true) {
    ZPHSQLiteStatement begin = connection->prepare("BEGIN IMMEDIATE");
    if (!begin.isValid())
      return false;
    const int rc = begin.step();
    if (rc == SQLITE_DONE)
      return true;
    if ((rc & 0xff) != SQLITE_BUSY)
      return false;
    // Another process holds the store (each try waited the busy timeout).
    if (nextWarning.hasExpired()) {
      qCWarning(zphStore) << "the store is busy for another process; still waiting to write";
      nextWarning.setRemainingTime(10000);
    }
  }
}

bool ZPHPersistentStore::allocateRowIDs(ZPHSQLiteConnection* connection, const ZPHEntityDescription* root, qint64 count,
                                        qint64* first)
{
  // Above every row there is, every id the store recorded as deleted, and
  // every id this process handed out already (a save that commits in
  // slices has ids out whose rows come later). Nothing is written here:
  // the record changes only when rows are deleted.
  const QString key = QStringLiteral("lastRowID.") + root->tableName();
  ZPHSQLiteStatement highest =
      connection->prepare("SELECT max(coalesce((SELECT CAST(value AS INTEGER) FROM " + MetadataTable +
                          " WHERE key = ?), 0), coalesce((SELECT max(id) FROM " + root->quotedTableName() + "), 0))");
  if (!highest.isValid())
    return false;
  highest.bindText(1, key);
  if (highest.step() != SQLITE_ROW)
    return false;
  QMutexLocker locker(&m_writeTurns->mutex);
  qint64& handedOut = m_writeTurns->handedOut[root];
  *first = std::max(highest.columnInt64(0), handedOut) + 1;
  handedOut = *first + count - 1;
  return true;
}

bool ZPHPersistentStore::recordDeletedRowIDs(ZPHSQLiteConnection* connection, const ZPHEntityDescription* root,
                                             qint64 highestDeleted)
{
  const QString key = QStringLiteral("lastRowID.") + root->tableName();
  ZPHSQLiteStatement record = connection->prepare(
      "INSERT INTO " + MetadataTable +
      " (key, value) VALUES (?, ?) ON CONFLICT (key) DO UPDATE SET value = max(CAST(value AS INTEGER), "
      "excluded.value)");
  if (!record.isValid())
    return false;
  record.bindText(1, key);
  record.bindInt64(2, highestDeleted);
  return record.execute();
}

int ZPHPersistentStore::connectionCount() const
{
  QMutexLocker locker(&m_registry->mutex);
  return int(m_registry->connections.size());
}

ZPHManagedObjectID ZPHPersistentStore::managedObjectIDForURIRepresentation(const QUrl& uri) const
{
  if (uri.scheme() != QLatin1String("x-zph-store") || uri.host() != identifier().toLower())
    return {};
  const QStringList parts = uri.path().split(u'/', Qt::SkipEmptyParts);
  if (parts.size() != 2 || parts[1].size() < 2)
    return {};
  const ZPHEntityDescription* entity = m_model->entity(parts[0]);
  bool ok = false;
  const qint64 number = parts[1].mid(1).toLongLong(&ok);
  if (entity == nullptr || !ok || number <= 0)
    return {};
  if (parts[1].startsWith(u'p'))
    return ZPHManagedObjectID(this, entity, number);
  if (parts[1].startsWith(u't'))
    return ZPHManagedObjectID(this, entity, -number);
  return {};
}

ZPHManagedObjectID ZPHPersistentStore::newTemporaryID(const ZPHEntityDescription* entity)
{
  return ZPHManagedObjectID(this, entity, -g_nextTemporaryKey.fetch_add(1));
}

void ZPHPersistentStore::registerContext(ZPHManagedObjectContext* context)
{
  QMutexLocker locker(&m_mutex);
  Q_ASSERT_X(!context->isMainContext() ||
                 std::none_of(m_contexts.begin(), m_contexts.end(), [](auto* c) { return c->isMainContext(); }),
             Q_FUNC_INFO, "a store has one main context");
  m_contexts.append(context);
}

void ZPHPersistentStore::unregisterContext(ZPHManagedObjectContext* context)
{
  QMutexLocker locker(&m_mutex);
  m_contexts.removeAll(context);
}

ZPHManagedObjectContext* ZPHPersistentStore::mainContext() const
{
  QMutexLocker locker(&m_mutex);
  for (ZPHManagedObjectContext* context : m_contexts) {
    if (context->isMainContext())
      return context;
  }
  return nullptr;
}

void ZPHPersistentStore::distributeChanges(ZPHManagedObjectContext* origin, const ZPHStoreChanges& changes,
                                           bool allContexts)
{
  if (changes.isEmpty())
    return;
  QList<ZPHManagedObjectContext*> onThisThread;
  ZPHManagedObjectContext* main = nullptr;
  {
    // Contexts of other threads get the changes in their inbox under the
    // lock, so none can go away meanwhile; they apply them on next use.
    QMutexLocker locker(&m_mutex);
    for (ZPHManagedObjectContext* context : std::as_const(m_contexts)) {
      if (context == origin)
        continue;
      if (context->isMainContext())
        main = context;
      else if (allContexts && context->isOnOwningThread())
        onThisThread.append(context);
      else if (allContexts)
        context->enqueueChanges(changes);
    }
  }
  for (ZPHManagedObjectContext* context : std::as_const(onThisThread)) context->mergeChanges(changes);
  if (main == nullptr)
    return;
  // The main thread merges in the order the changes were committed, before
  // anything this thread hands it later (sync(), post(), and the
  // notifications posted through its event loop, which the merge's turn
  // precedes); this thread goes on meanwhile. Only when the main thread
  // falls behind by MaxPendingMerges does it wait, so changes do not pile up.
  // The main context is looked up again on the main thread: it may have gone
  // away meanwhile; while it is registered, the store is there too. (A main
  // thread that waits for this thread in a private-queue context's block
  // serves the merge then.)
  std::shared_ptr<PendingMerges> pending = m_pendingMerges;
  const auto merge = [pending, main, changes] {
    bool mainIsThere = false;
    {
      QMutexLocker locker(&pending->mutex);
      --pending->count;
      mainIsThere = pending->store != nullptr && pending->store->mainContext() == main;
    }
    if (mainIsThere)
      main->mergeChanges(changes);
    QMutexLocker locker(&pending->mutex);
    pending->merged(changes.deleted);
  };
  bool wait = false;
  {
    QMutexLocker locker(&pending->mutex);
    wait = pending->count >= MaxPendingMerges;
    ++pending->count;
  }
  if (wait)
    ZPHMainThread::sync(merge);
  else
    ZPHMainThread::post(merge);
}
