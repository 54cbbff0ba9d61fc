#pragma once

#include "platform/ZPHError.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObject.h"
#include "store/graph/ZPHManagedObjectID.h"
#include "store/graph/ZPHPersistentStore.h"

#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QObject>
#include <QtCore/QPair>
#include <QtCore/QSet>
#include <QtCore/QStringList>
#include <QtCore/QThread>
#include <QtCore/QVariantMap>

#include <functional>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

class ZPHSQLiteStatement;

// What executeFetchRequestForObjectIDsWithValues() answers: the
// identifiers, and for each the values of the key paths asked for.
struct ZPHObjectIDsWithValues {
  QList<ZPHManagedObjectID> objectIDs;
  // Row after row, valueCount values each, typed as the attributes are
  // (a missing object at the end of a hop gives null).
  QVariantList values;
  int valueCount = 0;
  const QVariant& value(qsizetype row, int column) const { return values.at(row * valueCount + column); }
};

// A context's list of unsaved objects (inserted, updated or deleted), in the
// order they joined it. An append keeps the epoch; anything else that
// changes the list (an erase, a clear) starts a new one, so that what is
// worked out from the list (the context's lookups per table and per text)
// catches up with appends alone and starts again otherwise. Writable
// iterators are for the erase-remove idiom only (the erase starts the new
// epoch).
class ZPHPendingList {
public:
  using List = std::vector<ZPHManagedObject*>;
  size_t size() const { return m_list.size(); }
  bool empty() const { return m_list.empty(); }
  ZPHManagedObject* operator[](size_t i) const { return m_list[i]; }
  List::const_iterator begin() const { return m_list.begin(); }
  List::const_iterator end() const { return m_list.end(); }
  List::iterator begin() { return m_list.begin(); }
  List::iterator end() { return m_list.end(); }
  void push_back(ZPHManagedObject* object) { m_list.push_back(object); }
  List::iterator erase(List::iterator first, List::iterator last)
  {
    ++m_epoch;
    return m_list.erase(first, last);
  }
  void clear()
  {
    ++m_epoch;
    m_list.clear();
  }
  operator const List&() const { return m_list; }
  // The list itself, to change as a whole: a new epoch.
  operator List&()
  {
    ++m_epoch;
    return m_list;
  }
  quint64 epoch() const { return m_epoch; }

private:
  List m_list;
  quint64 m_epoch = 0;
};

struct ZPHManagedObjectIDHash {
  size_t operator()(const ZPHManagedObjectID& id) const noexcept { return qHash(id); }
};

// A scratch pad over the store, used on one thread: the thread that made it
// (the main context on the main thread, temporary contexts on the store
// queue). Work from another thread is caught by an assertion in debug
// builds.
//
// A context keeps an identity map (one object per identifier), the objects
// inserted, updated and deleted since the last save, and writes all of them
// in one transaction on save(). Fetches see the context's own unsaved
// changes. Saves of other contexts reach the main context through merges, in
// which the main context's own unsaved values win per property.
class ZPHManagedObjectContext : public QObject {
  Q_OBJECT
public:
  // Main queue: the main thread only. Confinement: the thread that made the
  // context only. Private queue: work only inside performBlock() or
  // performBlockAndWait(), which run on a serial queue of the context's own.
  enum ConcurrencyType { MainQueueConcurrencyType, ConfinementConcurrencyType, PrivateQueueConcurrencyType };

  ZPHManagedObjectContext(ZPHPersistentStore* store, ConcurrencyType type);
  ~ZPHManagedObjectContext() override;

  ZPHPersistentStore* persistentStore() const { return m_store; }
  ConcurrencyType concurrencyType() const { return m_type; }
  bool isMainContext() const { return m_type == MainQueueConcurrencyType; }
  // Free-form values for the context's users.
  QVariantMap& userInfo() { return m_userInfo; }

  // Objects.
  ZPHManagedObject* insertNewObject(const QString& entityName);
  void deleteObject(ZPHManagedObject* object);
  // The registered object, or a new fault for it (not checked against the
  // store); nullptr for a null or foreign identifier.
  ZPHManagedObject* objectWithID(const ZPHManagedObjectID& objectID);
  // The object, loaded; nullptr (and an error) when the store has no such
  // object any more.
  ZPHManagedObject* existingObjectWithID(const ZPHManagedObjectID& objectID, ZPHError* error = nullptr);
  // Existing objects for the identifiers, in order, without the missing ones
  // (as existingObjectWithID() for each); the ones not loaded yet load in
  // one statement per table.
  QList<ZPHManagedObject*> existingObjectsWithIDs(const QList<ZPHManagedObjectID>& objectIDs);
  ZPHManagedObject* registeredObject(const ZPHManagedObjectID& objectID) const;
  // Asks the store (not the identity map) whether the saved object exists.
  bool storeHasObjectWithID(const ZPHManagedObjectID& objectID);

  // Fetches. Errors give an empty result (and -1 for counts).
  QList<ZPHManagedObject*> executeFetchRequest(const ZPHFetchRequest& request, ZPHError* error = nullptr);
  QList<ZPHManagedObjectID> executeFetchRequestForObjectIDs(const ZPHFetchRequest& request, ZPHError* error = nullptr);
  // The identifiers with the values of attribute key paths ("title",
  // "metadata.read") and of stored to-one links ("metadata": the related
  // object's identifier), read in the same statement; the context's unsaved
  // changes count as for the other fetches. An unusable key path is an
  // error.
  ZPHObjectIDsWithValues executeFetchRequestForObjectIDsWithValues(const ZPHFetchRequest& request,
                                                                   const QStringList& keyPaths,
                                                                   ZPHError* error = nullptr);
  qint64 countForFetchRequest(const ZPHFetchRequest& request, ZPHError* error = nullptr);
  // Counts of the matching saved objects per value of a key path, in one
  // grouped query.
  //
  // Unlike the other fetches, this one reads the store only: this
  // context's unsaved inserts, updates and deletes are NOT counted (an
  // article marked read but not saved still counts as unread). Save first
  // (as the unread counts do), or use countForFetchRequest() per value when
  // the context may hold changes (hasChanges()).
  QList<QPair<QVariant, qint64>> countsGroupedByKeyPath(const ZPHFetchRequest& request, const QString& keyPath,
                                                        ZPHError* error = nullptr);

  // Changes.
  bool hasChanges() const;
  QList<ZPHManagedObject*> insertedObjects() const;
  QList<ZPHManagedObject*> updatedObjects() const;
  QList<ZPHManagedObject*> deletedObjects() const;
  // Writes every change. The main context writes in one transaction: on
  // failure nothing is written and the context keeps its changes. Other
  // contexts of a store that has a main context (the store queue's) write a
  // large save in slices, each a transaction of whole groups of linked
  // objects (an article with its content and metadata): a save of up to 512
  // new objects (and its changes and deletions, if few), or one that nobody
  // waits for and that finishes quickly, is still one transaction; a longer
  // one commits a slice whenever it has run for a while, another thread
  // waits to write, or what the slice would write on its commit would take
  // a while at the speed the store's writes lately had (a slow disk). The
  // changes of saved objects that link to no new object go first, all in
  // the first slice (a count marked invalid is stored with, or before, the
  // objects that change it); then the new objects, the other changes and
  // the deletions. When a slice fails, the slices before it stay saved (and
  // are merged as usual) and the context keeps the rest of its changes.
  // A save that stops as asked (setSaveStopCondition()) answers true with
  // the rest of its changes kept.
  bool save(ZPHError* error = nullptr);
  // For a save in slices that may be asked to stop (an article saver's, at
  // the quit): asked on the context's thread wherever such a save could end
  // a slice; once it answers true, the save stops there. What it wrote since
  // its last commit is rolled back, the slices committed before stay saved
  // (and are merged as usual), and the context keeps the rest of its
  // changes. Also a save of fewer new objects then commits in slices of
  // whole groups, so that it can stop between them. A save in one
  // transaction (the main context's, setSavesAllOrNothing()) does not stop.
  // None by default.
  void setSaveStopCondition(std::function<bool()> shouldStop) { m_saveStopCondition = std::move(shouldStop); }
  // Saves of this context go in one transaction however large: all of it or
  // nothing (an import). A main-thread save that comes meanwhile waits for
  // the whole of it. Off by default.
  void setSavesAllOrNothing(bool value) { m_savesAllOrNothing = value; }
  bool savesAllOrNothing() const { return m_savesAllOrNothing; }
  // Drops every change and every registered object.
  void reset();
  // As reset(), but the objects are destroyed on a thread of the global
  // pool: for a context of thousands of objects on a thread with better
  // things to do (the store queue after a large save). Nothing may use
  // them any more.
  void resetDestroyingObjectsInBackground();
  // Reloads an unchanged object from the store on next use.
  void refreshObject(ZPHManagedObject* object);

  // Deletes the objects (at most a few hundred at a time) and everything
  // their delete rules take with them directly in the store, in one
  // transaction, then brings every live context up to date.
  bool batchDeleteObjectsWithIDs(const QList<ZPHManagedObjectID>& objectIDs, ZPHError* error = nullptr);

  // Sets attribute values of saved objects straight in the store, without
  // loading them: each entry gives the objects and the values they all take.
  // One transaction for all, then this context and the main context learn of
  // it as of a save (the main one on the main thread before this returns;
  // other contexts on their next save's merge, as for saves). Objects and
  // keys that are not saved attributes are skipped. For changes of thousands
  // of objects at once (marking articles read); objects this context holds
  // with unsaved changes of those keys keep their own values.
  bool batchUpdateObjects(const QList<std::pair<QList<ZPHManagedObjectID>, QVariantMap>>& updates,
                          ZPHError* error = nullptr);

  // Applies another context's committed changes (main thread for the main
  // context). Unsaved values of this context win per property, except links
  // to objects that the changes deleted: those follow the deleted object's
  // delete rules as the store's rows did (cleared, or for an unsaved insert
  // that a cascade rule takes along, deleted).
  void mergeChanges(const ZPHStoreChanges& changes);

  // True on the thread that owns the context (for a private-queue context:
  // inside one of its blocks).
  bool isOnOwningThread() const;

  // Private-queue contexts: runs the block on the context's queue, waiting
  // for it (at once when already there), or later.
  void performBlockAndWait(const std::function<void()>& block);
  void performBlock(std::function<void()> block);

  // True while the calling thread merges another context's saved changes
  // into a context.
  static bool isMergingChanges();

  // Internal: used by objects and the store.
  void fulfillFault(ZPHManagedObject* object);
  void resolveUnstoredLink(ZPHManagedObject* object, int relationshipIndex);
  QList<ZPHManagedObject*> objectsRelatedTo(const ZPHManagedObject* object, int relationshipIndex);
  void noteUpdated(ZPHManagedObject* object);
  // An attribute of an inserted object took a new value.
  void noteInsertedValueChanged(ZPHManagedObject* object, int index)
  {
    if (!m_textIndexes.empty())
      noteInsertedText(object, index);
  }
  void enqueueChanges(const ZPHStoreChanges& changes);

Q_SIGNALS:
  // After a save, a merge or a batch delete: the objects concerned.
  void objectsDidChange(const QList<ZPHManagedObjectID>& inserted, const QList<ZPHManagedObjectID>& updated,
                        const QList<ZPHManagedObjectID>& deleted);

private:
  struct FetchPlan;
  void drainInbox();
  // With `inserted`, the object starts with its entity's values for a new
  // one; else with nulls, to be loaded.
  ZPHManagedObject* makeObject(const ZPHEntityDescription* entity, const ZPHManagedObjectID& objectID,
                               bool inserted = false);
  // Loads the saved objects of the identifiers that are not loaded yet, one
  // statement per table; false when a statement failed.
  bool loadObjects(const QList<ZPHManagedObjectID>& objectIDs);
  // Registers (loading faults) the objects of full rows of a table.
  bool registerRows(ZPHSQLiteStatement& statement, const ZPHEntityDescription* root,
                    const QHash<qint64, const ZPHEntityDescription*>& entityByRow,
                    const std::function<void(ZPHManagedObject*)>& onObject);
  void prefetchRelationships(const QList<ZPHManagedObject*>& objects, const QStringList& keyPaths);
  ZPHManagedObject* registerFetched(const ZPHEntityDescription* entity, qint64 rowID, ZPHSQLiteStatement& row,
                                    int firstColumn);
  void loadRow(ZPHManagedObject* object, ZPHSQLiteStatement& row, int firstColumn);
  const ZPHEntityDescription* exactEntity(const ZPHManagedObjectID& objectID, bool* exists);
  // What this context's unsaved changes make of a fetch: inactive when none
  // of them touches the tables the request reads (the store answers alone);
  // else the saved rows whose answer may differ (left to memory) and the
  // objects in memory to judge instead.
  struct PendingView {
    bool active = false;
    bool everything = false;  // a key path too far away: judge every candidate in memory
    QSet<qint64> rows;
    std::vector<ZPHManagedObject*> candidates;
    std::vector<ZPHManagedObjectID> loadedHere;  // registered by pendingView()
  };
  // The objects of a pending list whose table is `root`'s, in list order,
  // caught up with the list.
  struct PendingByRoot {
    quint64 epoch = std::numeric_limits<quint64>::max();
    size_t consumed = 0;
    std::unordered_map<const ZPHEntityDescription*, std::vector<ZPHManagedObject*>> objects;
  };
  const std::vector<ZPHManagedObject*>& pendingOfRoot(const ZPHPendingList& list, PendingByRoot* index,
                                                      const ZPHEntityDescription* root);
  // The inserted objects of a table by the text an attribute holds, built
  // on first need and kept up to date by appends and by
  // noteInsertedValueChanged(). Listed by the texts' hashes, and an object
  // stays listed under texts it held before: whoever looks one up judges it
  // again.
  struct TextIndex {
    const ZPHEntityDescription* root = nullptr;
    QString key;
    quint64 epoch = std::numeric_limits<quint64>::max();         // none yet: taken in from the start
    size_t consumed = 0;                                         // of the table's inserted objects
    quint64 lastOrder = 0;                                       // the insert order of the last one taken in
    QHash<const ZPHEntityDescription*, int> indexOfKey;          // per entity of the table
    std::unordered_multimap<size_t, ZPHManagedObject*> objects;  // by the text's hash
    int keyIndex(const ZPHEntityDescription* entity);
    void add(ZPHManagedObject* object, int index);
  };
  void noteInsertedText(ZPHManagedObject* object, int index);
  // The inserted objects of `root`'s table that may hold one of `texts` in
  // `key` (and some that held one before), in insert order.
  std::vector<ZPHManagedObject*> insertedWithTexts(const ZPHEntityDescription* root, const QString& key,
                                                   const QList<QString>& texts);
  void releaseJudgedObjects(const PendingView& view, const QSet<ZPHManagedObjectID>& kept);
  bool pendingView(const ZPHEntityDescription* entity, const ZPHFetchRequest& request, PendingView* view,
                   ZPHError* error);
  // With `values`, also the values of `valueKeyPaths` (row after row).
  QList<ZPHManagedObjectID> fetchIDs(const ZPHFetchRequest& request, const PendingView* view, ZPHError* error,
                                     const QStringList& valueKeyPaths = {}, QVariantList* values = nullptr);
  QList<ZPHManagedObjectID> fetchIDsJudgingEverything(const ZPHFetchRequest& request,
                                                      const ZPHEntityDescription* entity, ZPHError* error);
  void forget(ZPHManagedObject* object);
  void applyDeleteRulesOfMergedDeletions(const QList<ZPHManagedObjectID>& deleted,
                                         QList<ZPHManagedObjectID>* updatedIDs);
  void deleteObject(ZPHManagedObject* object, int depth);
  // What one save writes, and how much of it is committed.
  struct PendingWrites {
    std::vector<ZPHManagedObject*> inserts;
    std::vector<ZPHManagedObject*> updates;
    std::vector<ZPHManagedObject*> deletes;
    size_t insertsWritten = 0, updatesWritten = 0, deletesWritten = 0;
    size_t insertsDone = 0, updatesDone = 0, deletesDone = 0;  // committed
    // The first updates link to no new object: they go before the inserts.
    size_t updatesBeforeInserts = 0;
    bool stopped = false;  // by the stop condition
  };
  // Rows written before a large save may commit a slice; a slice runs at
  // least this long before it commits unless another writer waits.
  static constexpr int RowsPerChunk = 64;
  // A save of at most this many new objects writes them as one chunk.
  static constexpr int RowsInOneChunkAtMost = 512;
  static constexpr qint64 SliceMilliseconds = 50;
  // A slice also commits once its commit would take about this long to
  // write. The pages a commit writes are those the slice added to the file,
  // one for each row changed or deleted in place, and the last pages of
  // the tables and indexes it grew, which every commit writes again (about
  // this many for a save of articles).
  static constexpr double SliceWriteMilliseconds = 250;
  static constexpr qint64 SliceBasePages = 16;
  // `deletedMeanwhile`: the main context's save wrote nothing, as deletions
  // of other contexts wait for its merge (see ZPHPersistentStore).
  bool writeChanges(PendingWrites* writes, QHash<qint64, ZPHManagedObjectID>* permanent, ZPHError* error,
                    bool* deletedMeanwhile);
  bool writeInserts(class ZPHSQLiteConnection* db, const std::vector<ZPHManagedObject*>& inserts, size_t from,
                    size_t to, const QHash<qint64, ZPHManagedObjectID>& permanent) const;
  bool writeUpdates(class ZPHSQLiteConnection* db, const std::vector<ZPHManagedObject*>& updates, size_t from,
                    size_t to, const QHash<qint64, ZPHManagedObjectID>& permanent) const;
  void bindProperty(ZPHSQLiteStatement& statement, int parameter, const ZPHManagedObject* object, int index,
                    const QHash<qint64, ZPHManagedObjectID>& permanent) const;

  ZPHPersistentStore* m_store;
  ConcurrencyType m_type;
  QThread* m_thread;
  std::unique_ptr<class ZPHOperationQueue> m_privateQueue;
  QVariantMap m_userInfo;
  bool m_savesAllOrNothing = false;
  std::function<bool()> m_saveStopCondition;
  std::unordered_map<ZPHManagedObjectID, std::unique_ptr<ZPHManagedObject>, ZPHManagedObjectIDHash> m_registered;
  std::vector<std::unique_ptr<ZPHManagedObject>> m_forgotten;  // gone from the store; kept for holders
  ZPHPendingList m_inserted;
  ZPHPendingList m_updated;
  ZPHPendingList m_deleted;
  PendingByRoot m_insertedByRoot;
  PendingByRoot m_updatedByRoot;
  PendingByRoot m_deletedByRoot;
  std::vector<TextIndex> m_textIndexes;
  quint64 m_insertCount = 0;  // the insert order of the last object inserted
  QMutex m_inboxMutex;
  QList<ZPHStoreChanges> m_inbox;
};

#ifdef QT_DEBUG
#define ZPH_ASSERT_CONTEXT_THREAD(context) \
  Q_ASSERT_X((context)->isOnOwningThread(), Q_FUNC_INFO, "store context used off its own thread")
#else
#define ZPH_ASSERT_CONTEXT_THREAD(context) \
  do {                                     \
  } while (false)
#endif
