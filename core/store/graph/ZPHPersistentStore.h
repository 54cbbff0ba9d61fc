#pragma once

#include "platform/ZPHError.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>

#include <memory>
#include <utility>

class ZPHManagedObjectContext;
class ZPHManagedObjectModel;
class ZPHSQLiteConnection;

// What one save or batch delete changed in the store: the identifiers of the
// inserted and deleted objects and, for each updated object, the properties
// that changed with their new values (to-one relationships as identifiers).
struct ZPHStoreChanges {
  QList<ZPHManagedObjectID> inserted;
  QHash<ZPHManagedObjectID, QVariantMap> updated;
  QList<ZPHManagedObjectID> deleted;
  // Objects that a batch update gave the same values each: the values once
  // for all (thousands of objects are not listed one map each).
  QList<std::pair<QList<ZPHManagedObjectID>, QVariantMap>> updatedAlike;
  bool isEmpty() const
  {
    return inserted.isEmpty() && updated.isEmpty() && deleted.isEmpty() && updatedAlike.isEmpty();
  }
};

// One SQLite store file holding the objects of one model version. The file
// runs with a write-ahead log, synchronous=NORMAL and foreign keys on (the
// log is written back into the file by a thread of the store's own once it
// has grown large, in a pause of the writing, so no writer spends its time
// on that; the last connection's close writes back the rest, unless
// leaveLogOnClose()); a
// metadata table holds the model version and the store's identifier. Each
// thread that touches the store gets its own connection, with its prepared
// statements cached, closed when the thread ends or the store goes away.
//
// The store hands every save of a context other than the main context to
// the main context, which merges it on the main thread in commit order; the
// saving thread does not wait for it (see distributeChanges()).
class ZPHPersistentStore {
public:
  // The model must be finished and outlive the store.
  ZPHPersistentStore(const ZPHManagedObjectModel* model, const QString& path);
  ~ZPHPersistentStore();
  ZPHPersistentStore(const ZPHPersistentStore&) = delete;
  ZPHPersistentStore& operator=(const ZPHPersistentStore&) = delete;

  // Opens the file, creating it and its schema when it does not exist. A
  // file that is not a database, that holds another model version or that
  // fails the integrity check (when asked for) is reported, never replaced,
  // and its write-ahead log and index are left beside it as they were (also
  // a log beside an empty file).
  bool open(bool performIntegrityCheck, ZPHError* error);

  // Gives the open store's tables exactly the indexes the model declares:
  // drops the ones it no longer declares (a store made by an earlier
  // version) and makes the missing ones, in one transaction. Nothing is
  // written when they agree already. For the store the application works
  // on (a migration leaves its source store as it is).
  bool alignIndexesWithModel(ZPHError* error);

  // Runs "PRAGMA integrity_check"; anything but "ok" is an error.
  bool checkIntegrity(ZPHError* error);
  // The same on a connection of the caller's (see ZPHStoreIntegrityCheck,
  // which runs it off the main thread before the store is opened).
  static bool checkIntegrityOfConnection(ZPHSQLiteConnection* connection, ZPHError* error);

  // The model version recorded in a store file: 0 when there is no file or
  // it holds no version (a fresh or empty file), -1 with an error when it
  // cannot be read.
  static int modelVersionOfStoreAtPath(const QString& path, ZPHError* error);
  // A value of the store file's metadata table, read without opening it as
  // a store; null when there is none or the file cannot be read.
  static QString metadataValueOfStoreAtPath(const QString& path, const QString& key);

  // A value of the open store's metadata table (null when there is none),
  // and writes one in a transaction of its own.
  QString metadataValue(const QString& key);
  bool setMetadataValue(const QString& key, const QString& value, ZPHError* error);

  // Writes what the write-ahead log holds into the main file, empties the
  // log, and closes the store with every connection (call it only while no
  // context works on the store); open() opens it again. When the log cannot
  // be written whole (a reader of another connection or process still uses
  // it, after a wait of up to 2 s) it fails, and the store is closed all the
  // same, the log keeping what it held.
  bool checkpointAndClose(ZPHError* error);
  // From now on the store's connections close without writing the log back
  // into the file, and a write-back under way stops at its next page (for
  // the program's quit: that write-back grows with the log and the file).
  // The store stays whole: the next open takes the log as it is, and the
  // store writes it back in the background once it commits.
  void leaveLogOnClose();

  const ZPHManagedObjectModel* model() const { return m_model; }
  QString path() const { return m_path; }
  QString identifier() const;

  // The identifier named by a URI of this store, or a null identifier.
  ZPHManagedObjectID managedObjectIDForURIRepresentation(const QUrl& uri) const;
  // A fresh temporary identifier for an inserted object.
  ZPHManagedObjectID newTemporaryID(const class ZPHEntityDescription* entity);

  // The calling thread's connection (opened on first use), or nullptr when
  // the store is closed or the connection cannot be opened.
  ZPHSQLiteConnection* connection(ZPHError* error = nullptr);
  // Number of open connections (for tests and leak checks).
  int connectionCount() const;

  // Contexts register themselves while they live.
  void registerContext(ZPHManagedObjectContext* context);
  void unregisterContext(ZPHManagedObjectContext* context);
  ZPHManagedObjectContext* mainContext() const;

  // Called by a context after it committed a save or a batch delete: the
  // main context merges the changes on the main thread, in commit order and
  // before any work this thread hands the main thread afterwards (at once
  // when called on the main thread; from another thread without waiting,
  // unless MaxPendingMerges merges are still to run); for a batch delete
  // (`allContexts`), every other live context merges too (at once on this
  // thread, else on its next use).
  void distributeChanges(ZPHManagedObjectContext* origin, const ZPHStoreChanges& changes, bool allContexts);
  static constexpr int MaxPendingMerges = 4;

  // Deletions that another context committed and the main context has not
  // merged yet. Such a context notes them after its commit, before it lets
  // the write turn go; the main context's merge of its changes clears them.
  // A main-context save merges them first, also when it finds some noted
  // once it holds the write turn: it never writes a link to a row that a
  // commit before it deleted (the store would refuse the whole save), and
  // its outcome is the one it would have had after the merge.
  void noteDeletionsCommitted(const ZPHManagedObjectContext* origin, const QList<ZPHManagedObjectID>& deleted);
  bool hasDeletionsNotMergedIntoMainContext() const;
  QList<ZPHManagedObjectID> takeDeletionsNotMergedIntoMainContext();

  // Write transactions of this process take turns: each holds the store's
  // write turn from its BEGIN to its COMMIT or ROLLBACK, and a waiting main
  // thread gets the next turn before any other thread. (SQLite's own lock
  // would let a waiting thread sleep through the gaps between another's
  // transactions.) Not reentrant.
  void beginWriteTurn();
  // After the commit or rollback on `connection` (the calling thread's);
  // a log grown large is then written back into the store file in the
  // background, once the writing pauses for a quarter of a second (or at
  // once when the log passed four times that size).
  void endWriteTurn(ZPHSQLiteConnection* connection);
  // Whether another thread waits for the write turn (for a long writer that
  // can stop at a consistent point and let it go first).
  bool writeTurnIsWanted() const;

  // Begins a write transaction on `connection` (the calling thread's),
  // waiting out a store that is busy for another process however long it
  // takes: a busy store is a reason to wait, never a failure.
  static bool beginImmediateTransaction(ZPHSQLiteConnection* connection);

  // Inside a write transaction: the first of `count` new row ids for the
  // table of `root`. Ids are never handed out twice in a store, also after
  // the rows that had them were deleted: every transaction that deletes rows
  // records the highest id it deleted per table in the store's metadata
  // (recordDeletedRowIDs()), and new ids start above it and above every row
  // (stores that have no such record yet start above their highest row).
  bool allocateRowIDs(ZPHSQLiteConnection* connection, const class ZPHEntityDescription* root, qint64 count,
                      qint64* first);
  bool recordDeletedRowIDs(ZPHSQLiteConnection* connection, const class ZPHEntityDescription* root,
                           qint64 highestDeleted);

  // Internal: connections by thread; a thread's connection closes when the
  // thread ends.
  struct ConnectionRegistry;

private:
  bool createSchema(ZPHSQLiteConnection* connection, ZPHError* error);
  void startCheckpoint();
  struct WriteTurns;

  const ZPHManagedObjectModel* m_model;
  QString m_path;
  mutable QMutex m_mutex;
  bool m_open = false;
  QString m_identifier;
  std::shared_ptr<ConnectionRegistry> m_registry;
  QList<ZPHManagedObjectContext*> m_contexts;
  std::unique_ptr<WriteTurns> m_writeTurns;
  struct PendingMerges;
  std::shared_ptr<PendingMerges> m_pendingMerges;
};
