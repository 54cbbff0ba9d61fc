#include "store/graph/ZPHManagedObjectContext.h"

#include "platform/ZPHLog.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "store/graph/ZPHSQLiteLogVFS.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QSet>
#include <QtCore/QVarLengthArray>

#include <sqlite3.h>

#include <algorithm>
#include <functional>

// Saving: the checks, the writes in one transaction or in slices, and
// settling the objects written.

bool ZPHManagedObjectContext::save(ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  // Deletions committed elsewhere that the main thread has not merged yet
  // are merged now, with their delete rules: this save then writes what it
  // would write after that merge.
  if (isMainContext()) {
    const QList<ZPHManagedObjectID> deletedElsewhere = m_store->takeDeletionsNotMergedIntoMainContext();
    if (!deletedElsewhere.isEmpty()) {
      ZPHStoreChanges deletions;
      deletions.deleted = deletedElsewhere;
      mergeChanges(deletions);
    }
  }
  if (!hasChanges())
    return true;
  // Hooks first: what they change is saved too (the lists may grow).
  for (size_t i = 0; i < m_inserted.size(); ++i) {
    if (!m_inserted[i]->m_deleted)
      m_inserted[i]->willSave();
  }
  for (size_t i = 0; i < m_updated.size(); ++i) {
    if (!m_updated[i]->m_deleted)
      m_updated[i]->willSave();
  }
  for (size_t i = 0; i < m_deleted.size(); ++i) m_deleted[i]->willSave();

  // Required values.
  auto validate = [&](const ZPHManagedObject* object) {
    const ZPHEntityDescription* entity = object->m_entity;
    for (int i = 0; i < entity->attributeCount(); ++i) {
      if (!entity->attribute(i).optional && !object->m_values[size_t(i)].isValid()) {
        return ZPHSetError(
            error,
            ZPHObjectGraphError(
                ZPHObjectGraphValidationError,
                QStringLiteral("%1 needs a value for %2.").arg(entity->name(), entity->attribute(i).name),
                {{QStringLiteral("entity"), entity->name()}, {QStringLiteral("key"), entity->attribute(i).name}}));
      }
    }
    return true;
  };
  for (const ZPHManagedObject* object : m_inserted) {
    if (!object->m_deleted && !validate(object))
      return false;
  }
  for (const ZPHManagedObject* object : m_updated) {
    if (object->isUpdated() && !object->m_fault && !validate(object))
      return false;
  }

  PendingWrites writes;
  for (ZPHManagedObject* object : m_inserted) {
    if (!object->m_deleted)
      writes.inserts.push_back(object);
  }
  for (ZPHManagedObject* object : m_updated) {
    if (object->isUpdated())
      writes.updates.push_back(object);
  }
  for (ZPHManagedObject* object : m_deleted) {
    if (!object->m_inserted)
      writes.deletes.push_back(object);
  }
  QHash<qint64, ZPHManagedObjectID> permanent;  // temporary key -> saved identifier
  bool deletedMeanwhile = false;
  const bool ok = writeChanges(&writes, &permanent, error, &deletedMeanwhile);
  if (deletedMeanwhile)
    return save(error);  // nothing written: again, after their merge
  const bool whole = ok && !writes.stopped;
  if (writes.insertsDone == 0 && writes.updatesDone == 0 && writes.deletesDone == 0 && !whole)
    return ok;  // nothing committed: failed, or stopped as asked
  // The saved identifiers of new objects whose rows were not committed (a
  // slice failed, or the save stopped) were never used: those objects keep
  // their temporary ones, and links to them too.
  if (!whole) {
    for (size_t i = writes.insertsDone; i < writes.inserts.size(); ++i)
      permanent.remove(writes.inserts[i]->m_objectID.rowID());
  }

  // Committed (all of it, or the slices before a failure or a stop): settle
  // the objects written.
  ZPHStoreChanges changes;
  std::vector<ZPHManagedObject*> saved;
  saved.reserve(writes.insertsDone + writes.updatesDone);
  for (size_t i = 0; i < writes.insertsDone; ++i) {
    ZPHManagedObject* object = writes.inserts[i];
    auto node = m_registered.extract(object->m_objectID);
    object->m_objectID = permanent.value(object->m_objectID.rowID());
    node.key() = object->m_objectID;
    m_registered.insert(std::move(node));
    changes.inserted.append(object->m_objectID);
    saved.push_back(object);
  }
  for (size_t i = 0; i < writes.updatesDone; ++i) saved.push_back(writes.updates[i]);
  for (size_t i = 0; i < writes.deletesDone; ++i) changes.deleted.append(writes.deletes[i]->m_objectID);
  std::vector<ZPHManagedObject*> deleted;
  if (whole) {
    deleted = m_deleted;
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
  } else {
    // What is left stays for the next save.
    const QSet<const ZPHManagedObject*> done = [&] {
      QSet<const ZPHManagedObject*> set;
      for (const ZPHManagedObject* object : saved) set.insert(object);
      for (size_t i = 0; i < writes.deletesDone; ++i) set.insert(writes.deletes[i]);
      return set;
    }();
    auto keep = [&](std::vector<ZPHManagedObject*>& list) {
      list.erase(std::remove_if(list.begin(), list.end(), [&](ZPHManagedObject* o) { return done.contains(o); }),
                 list.end());
    };
    keep(m_inserted);
    keep(m_updated);
    keep(m_deleted);
    deleted.assign(writes.deletes.begin(), writes.deletes.begin() + qsizetype(writes.deletesDone));
  }
  // Links to objects that were temporary now name the saved rows, in the
  // saved objects and in those still waiting for a save.
  auto renameLinks = [&](ZPHManagedObject* object) {
    const ZPHEntityDescription* entity = object->m_entity;
    for (int i = entity->attributeCount(); i < entity->propertyCount(); ++i) {
      QVariant& link = object->m_values[size_t(i)];
      if (!link.isValid())
        continue;
      const ZPHManagedObjectID target = link.value<ZPHManagedObjectID>();
      if (target.isTemporaryID()) {
        const auto found = permanent.constFind(target.rowID());
        if (found != permanent.constEnd())
          link = QVariant::fromValue(found.value());
        else if (whole)
          link = QVariant();  // a link to an object deleted unsaved
      }
    }
  };
  for (ZPHManagedObject* object : saved) renameLinks(object);
  if (!whole) {
    for (ZPHManagedObject* object : m_inserted) renameLinks(object);
    for (ZPHManagedObject* object : m_updated) renameLinks(object);
  }
  QList<ZPHManagedObjectID> updatedIDs;
  for (ZPHManagedObject* object : saved) {
    if (!object->m_inserted) {
      changes.updated.insert(object->m_objectID, object->changedValues());
      updatedIDs.append(object->m_objectID);
    }
  }
  for (ZPHManagedObject* object : saved) object->clearChanges();
  for (ZPHManagedObject* object : saved) object->didSave();
  for (ZPHManagedObject* object : deleted) {
    object->didSave();
    forget(object);
  }
  m_store->distributeChanges(this, changes, false);
  Q_EMIT objectsDidChange(changes.inserted, updatedIDs, changes.deleted);
  return ok;
}

namespace {

// Inserted objects in groups that link only among themselves (an article
// with its content and metadata, a folder with new feeds in it), so that a
// slice of a large save never commits a link to a row it has not written.
// Answers where each group ends.
std::vector<bool> orderByLinkedGroups(std::vector<ZPHManagedObject*>* inserts,
                                      const std::function<void(ZPHManagedObject*, std::vector<qint64>*)>& linkedKeys)
{
  const size_t count = inserts->size();
  QHash<qint64, size_t> indexByKey;
  indexByKey.reserve(qsizetype(count));
  for (size_t i = 0; i < count; ++i) indexByKey.insert((*inserts)[i]->objectID().rowID(), i);
  std::vector<size_t> parent(count);
  for (size_t i = 0; i < count; ++i) parent[i] = i;
  const auto find = [&](size_t i) {
    while (parent[i] != i) {
      parent[i] = parent[parent[i]];
      i = parent[i];
    }
    return i;
  };
  std::vector<qint64> keys;
  for (size_t i = 0; i < count; ++i) {
    keys.clear();
    linkedKeys((*inserts)[i], &keys);
    for (const qint64 key : keys) {
      const auto other = indexByKey.constFind(key);
      if (other == indexByKey.constEnd())
        continue;
      const size_t a = find(i);
      const size_t b = find(other.value());
      if (a != b)
        parent[std::max(a, b)] = std::min(a, b);
    }
  }
  // Groups in the order of their first member, members in their own order.
  std::vector<std::vector<size_t>> groups;
  std::vector<size_t> groupOfRoot(count, size_t(-1));
  for (size_t i = 0; i < count; ++i) {
    const size_t root = find(i);
    if (groupOfRoot[root] == size_t(-1)) {
      groupOfRoot[root] = groups.size();
      groups.emplace_back();
    }
    groups[groupOfRoot[root]].push_back(i);
  }
  std::vector<ZPHManagedObject*> ordered;
  ordered.reserve(count);
  std::vector<bool> ends;
  ends.reserve(count);
  for (const auto& group : groups) {
    for (size_t member = 0; member < group.size(); ++member) {
      ordered.push_back((*inserts)[group[member]]);
      ends.push_back(member + 1 == group.size());
    }
  }
  inserts->swap(ordered);
  return ends;
}

}  // namespace

bool ZPHManagedObjectContext::writeChanges(PendingWrites* writes, QHash<qint64, ZPHManagedObjectID>* permanent,
                                           ZPHError* error, bool* deletedMeanwhile)
{
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return false;
  // A save of the main context is small and goes in one transaction. A save
  // elsewhere (the store queue) may be large; while the store has a main
  // context, it goes in slices of whole groups of linked objects, each slice
  // committed once it has run a while or when another thread waits to
  // write, so no writer (above all the main thread) waits long for it. A
  // store without a main context (a migration's) has nobody to wait, and a
  // context that saves all or nothing never commits a part.
  const bool mayCommitInSlices = !isMainContext() && m_store->mainContext() != nullptr && !m_savesAllOrNothing;
  // A save that may be asked to stop goes in slices of whole groups also
  // when it is small, so that it can stop between them.
  const bool mayStop = mayCommitInSlices && m_saveStopCondition;
  std::vector<bool> groupEnds;
  if (mayCommitInSlices && writes->inserts.size() > size_t(mayStop ? RowsPerChunk : RowsInOneChunkAtMost)) {
    groupEnds = orderByLinkedGroups(&writes->inserts, [](ZPHManagedObject* object, std::vector<qint64>* keys) {
      const ZPHEntityDescription* entity = object->m_entity;
      for (int i = entity->attributeCount(); i < entity->propertyCount(); ++i) {
        const QVariant& link = object->m_values[size_t(i)];
        if (link.isValid() && link.typeId() == qMetaTypeId<ZPHManagedObjectID>()) {
          const ZPHManagedObjectID target = link.value<ZPHManagedObjectID>();
          if (target.isTemporaryID())
            keys->push_back(target.rowID());
        }
      }
    });
  }

  // Changes of saved objects that link to no new object go first (in
  // their own order), in the first slice: a slice that commits new
  // objects, or changes that link to them, never comes before them.
  if (mayCommitInSlices) {
    const auto linksToNoNewObject = [](const ZPHManagedObject* object) {
      const ZPHEntityDescription* entity = object->m_entity;
      for (int i = entity->attributeCount(); i < entity->propertyCount(); ++i) {
        if (!object->isChanged(i) || entity->columnPosition(i) < 0)
          continue;
        const QVariant& link = object->m_values[size_t(i)];
        if (link.isValid() && link.value<ZPHManagedObjectID>().isTemporaryID())
          return false;
      }
      return true;
    };
    const auto firstLinking = std::stable_partition(writes->updates.begin(), writes->updates.end(), linksToNoNewObject);
    writes->updatesBeforeInserts = size_t(firstLinking - writes->updates.begin());
  }

  bool holdingTurn = false;
  auto fail = [&]() {
    const ZPHError failure = db->lastError();
    db->exec("ROLLBACK");
    if (holdingTurn)
      m_store->endWriteTurn(db);
    qCWarning(zphStore) << "save failed:" << failure.toString();
    return ZPHSetError(error, failure);
  };
  auto begin = [&]() {
    m_store->beginWriteTurn();
    holdingTurn = true;
    if (!ZPHPersistentStore::beginImmediateTransaction(db))
      return fail();
    return true;
  };
  // The transaction's own statements come from the statement cache: no
  // parsing on every save.
  auto commit = [&]() {
    ZPHSQLiteStatement statement = db->prepare("COMMIT");
    if (!statement.isValid() || !statement.execute())
      return fail();
    if (!isMainContext() && writes->deletesWritten > writes->deletesDone) {
      QList<ZPHManagedObjectID> deleted;
      deleted.reserve(qsizetype(writes->deletesWritten - writes->deletesDone));
      for (size_t i = writes->deletesDone; i < writes->deletesWritten; ++i)
        deleted.append(writes->deletes[i]->m_objectID);
      m_store->noteDeletionsCommitted(this, deleted);
    }
    m_store->endWriteTurn(db);
    holdingTurn = false;
    return true;
  };
  if (!begin())
    return false;
  // Holding the write turn, no other commit comes before this one: deletions
  // committed before it that the main thread has not merged yet send the
  // save back to merge them first.
  if (isMainContext() && m_store->hasDeletionsNotMergedIntoMainContext()) {
    db->exec("ROLLBACK");
    m_store->endWriteTurn(db);
    *deletedMeanwhile = true;
    return false;
  }

  // Row ids are handed out here, inside the write lock, so that every row
  // is written once with its links already in place.
  {
    QHash<const ZPHEntityDescription*, qint64> counts;
    for (const ZPHManagedObject* object : writes->inserts) ++counts[object->m_entity->rootEntity()];
    QHash<const ZPHEntityDescription*, qint64> nextRowID;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
      qint64 first = 0;
      if (!m_store->allocateRowIDs(db, it.key(), it.value(), &first))
        return fail();
      nextRowID.insert(it.key(), first);
    }
    permanent->reserve(qsizetype(writes->inserts.size()));
    for (const ZPHManagedObject* object : writes->inserts) {
      qint64& next = nextRowID[object->m_entity->rootEntity()];
      permanent->insert(object->m_objectID.rowID(), ZPHManagedObjectID(m_store, object->m_entity, next++));
    }
  }

  // The pages the slice under way would write on its commit, estimated
  // (see SliceBasePages), and how many may go in one commit at the speed
  // the store's writes lately had.
  auto pageCount = [db]() -> qint64 {
    ZPHSQLiteStatement statement = db->prepare("PRAGMA page_count");
    return statement.isValid() && statement.step() == SQLITE_ROW ? statement.columnInt64(0) : 0;
  };
  qint64 pagesAtSliceStart = mayCommitInSlices ? pageCount() : 0;
  size_t rowsChangedAtSliceStart = 0;
  auto sliceIsLargeForTheDisk = [&]() {
    // Before the first write of the process, a slice of one chunk: its
    // commit tells how fast the disk is.
    const double msPerPage = ZPHSQLiteLogVFSMillisecondsPerPageWritten();
    if (msPerPage <= 0)
      return true;
    const size_t rowsChanged = writes->updatesWritten + writes->deletesWritten;
    const qint64 pages =
        SliceBasePages + (pageCount() - pagesAtSliceStart) + qint64(rowsChanged) - qint64(rowsChangedAtSliceStart);
    return double(pages) * msPerPage >= SliceWriteMilliseconds;
  };
  QElapsedTimer slice;
  slice.start();
  // After a chunk: stops when asked (rolling back what this slice wrote),
  // or commits and begins the next slice when it is time. False when the
  // save ends here: failed, or stopped (writes->stopped).
  auto maybeEndSlice = [&](bool moreToCome) {
    if (!mayCommitInSlices || !moreToCome)
      return true;
    const auto stopRequested = [&] { return mayStop && m_saveStopCondition(); };
    if (stopRequested()) {
      db->exec("ROLLBACK");
      m_store->endWriteTurn(db);
      holdingTurn = false;
      writes->stopped = true;
      return false;
    }
    // The first slice ends once the changes that go before the new objects
    // are all written.
    if (writes->updatesWritten < writes->updatesBeforeInserts ||
        (slice.elapsed() < SliceMilliseconds && !m_store->writeTurnIsWanted() && !sliceIsLargeForTheDisk()))
      return true;
    if (!commit())
      return false;
    writes->insertsDone = writes->insertsWritten;
    writes->updatesDone = writes->updatesWritten;
    writes->deletesDone = writes->deletesWritten;
    if (stopRequested()) {
      writes->stopped = true;
      return false;
    }
    if (!begin())
      return false;
    slice.restart();
    pagesAtSliceStart = pageCount();
    rowsChangedAtSliceStart = writes->updatesWritten + writes->deletesWritten;
    return true;
  };

  while (writes->updatesWritten < writes->updatesBeforeInserts) {
    const size_t end = std::min(writes->updatesBeforeInserts, writes->updatesWritten + size_t(RowsPerChunk));
    if (!writeUpdates(db, writes->updates, writes->updatesWritten, end, *permanent))
      return fail();
    writes->updatesWritten = end;
    if (!maybeEndSlice(end < writes->updates.size() || !writes->inserts.empty() || !writes->deletes.empty()))
      return writes->stopped;
  }
  const size_t insertCount = writes->inserts.size();
  while (writes->insertsWritten < insertCount) {
    size_t end = std::min(insertCount, writes->insertsWritten + size_t(RowsPerChunk));
    if (!groupEnds.empty()) {
      while (end < insertCount && !groupEnds[end - 1]) ++end;
    } else {
      end = insertCount;  // few enough for one chunk (or no slices at all)
    }
    if (!writeInserts(db, writes->inserts, writes->insertsWritten, end, *permanent))
      return fail();
    writes->insertsWritten = end;
    if (!maybeEndSlice(true))
      return writes->stopped;
  }
  while (writes->updatesWritten < writes->updates.size()) {
    const size_t end = std::min(writes->updates.size(), writes->updatesWritten + size_t(RowsPerChunk));
    if (!writeUpdates(db, writes->updates, writes->updatesWritten, end, *permanent))
      return fail();
    writes->updatesWritten = end;
    if (!maybeEndSlice(writes->updatesWritten < writes->updates.size() || !writes->deletes.empty()))
      return writes->stopped;
  }
  while (writes->deletesWritten < writes->deletes.size()) {
    const size_t end = std::min(writes->deletes.size(), writes->deletesWritten + size_t(RowsPerChunk));
    QHash<const ZPHEntityDescription*, qint64> highestDeleted;
    for (size_t i = writes->deletesWritten; i < end; ++i) {
      const ZPHManagedObject* object = writes->deletes[i];
      ZPHSQLiteStatement remove = db->prepare("DELETE FROM " + object->m_entity->quotedTableName() + " WHERE id = ?");
      if (!remove.isValid())
        return fail();
      remove.bindInt64(1, object->m_objectID.rowID());
      if (!remove.execute())
        return fail();
      qint64& highest = highestDeleted[object->m_entity->rootEntity()];
      highest = std::max(highest, object->m_objectID.rowID());
    }
    for (auto it = highestDeleted.constBegin(); it != highestDeleted.constEnd(); ++it) {
      if (!m_store->recordDeletedRowIDs(db, it.key(), it.value()))
        return fail();
    }
    writes->deletesWritten = end;
    if (!maybeEndSlice(writes->deletesWritten < writes->deletes.size()))
      return writes->stopped;
  }
  if (!commit())
    return false;
  writes->insertsDone = writes->insertsWritten;
  writes->updatesDone = writes->updatesWritten;
  writes->deletesDone = writes->deletesWritten;
  return true;
}

void ZPHManagedObjectContext::bindProperty(ZPHSQLiteStatement& statement, int parameter, const ZPHManagedObject* object,
                                           int index, const QHash<qint64, ZPHManagedObjectID>& permanent) const
{
  const QVariant& value = object->m_values[size_t(index)];
  if (object->m_entity->isAttribute(index)) {
    statement.bindVariant(parameter, value);
    return;
  }
  if (!value.isValid()) {
    statement.bindNull(parameter);
    return;
  }
  ZPHManagedObjectID target = value.value<ZPHManagedObjectID>();
  if (target.isTemporaryID())
    target = permanent.value(target.rowID());
  if (target.isNull())
    statement.bindNull(parameter);
  else
    statement.bindInt64(parameter, target.rowID());
}

bool ZPHManagedObjectContext::writeInserts(ZPHSQLiteConnection* db, const std::vector<ZPHManagedObject*>& inserts,
                                           size_t from, size_t to,
                                           const QHash<qint64, ZPHManagedObjectID>& permanent) const
{
  // Inserts go per entity, many rows to a statement: the statement's own
  // set-up and tear-down in SQLite costs about as much as a row. Rows of
  // different entities may go in any order, as links are checked at commit.
  QHash<const ZPHEntityDescription*, std::vector<const ZPHManagedObject*>> insertsByEntity;
  std::vector<const ZPHEntityDescription*> insertOrder;
  for (size_t i = from; i < to; ++i) {
    const ZPHManagedObject* object = inserts[i];
    auto& rows = insertsByEntity[object->m_entity];
    if (rows.empty())
      insertOrder.push_back(object->m_entity);
    rows.push_back(object);
  }
  // Rows whose links point at other new rows go after those: a link whose
  // row is already there is checked once, where one to a row still to come
  // is noted and checked again when that row arrives.
  {
    std::vector<const ZPHEntityDescription*> sorted;
    QSet<const ZPHEntityDescription*> placed;
    QSet<const ZPHEntityDescription*> visiting;
    std::function<void(const ZPHEntityDescription*)> place = [&](const ZPHEntityDescription* entity) {
      if (placed.contains(entity) || visiting.contains(entity))
        return;
      visiting.insert(entity);
      for (int i = entity->attributeCount(); i < entity->propertyCount(); ++i) {
        if (!entity->isStored(i))
          continue;
        const ZPHEntityDescription* target = entity->destination(i)->rootEntity();
        for (const ZPHEntityDescription* other : insertOrder) {
          if (other != entity && other->rootEntity() == target)
            place(other);
        }
      }
      visiting.remove(entity);
      placed.insert(entity);
      sorted.push_back(entity);
    };
    for (const ZPHEntityDescription* entity : insertOrder) place(entity);
    insertOrder.swap(sorted);
  }
  const int parameterLimit = sqlite3_limit(db->handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
  for (const ZPHEntityDescription* entity : insertOrder) {
    const std::vector<const ZPHManagedObject*>& rows = insertsByEntity[entity];
    const QByteArray& single = entity->insertStatement();
    const qsizetype valuesAt = single.indexOf(" VALUES ");
    const QByteArray head = single.left(valuesAt + 8);
    const QByteArray tuple = single.mid(valuesAt + 8);
    const int perRow = int(tuple.count('?'));
    // Statements of 32, 16, 8, 4, 2 and 1 rows: a few texts per entity in
    // the connection's statement cache.
    int batch = 32;
    while (batch > 1 && batch * perRow > parameterLimit) batch /= 2;
    size_t next = 0;
    while (next < rows.size()) {
      while (size_t(batch) > rows.size() - next) batch /= 2;
      QByteArray sql = head;
      sql.reserve(head.size() + batch * (tuple.size() + 1));
      for (int row = 0; row < batch; ++row) {
        if (row > 0)
          sql += ',';
        sql += tuple;
      }
      ZPHSQLiteStatement insert = db->prepare(sql);
      if (!insert.isValid())
        return false;
      int parameter = 1;
      for (int row = 0; row < batch; ++row) {
        const ZPHManagedObject* object = rows[next++];
        insert.bindInt64(parameter++, permanent.value(object->m_objectID.rowID()).rowID());
        for (int i = 0; i < entity->propertyCount(); ++i) {
          if (entity->columnPosition(i) >= 0)
            bindProperty(insert, parameter++, object, i, permanent);
        }
      }
      if (!insert.execute())
        return false;
    }
  }
  return true;
}

bool ZPHManagedObjectContext::writeUpdates(ZPHSQLiteConnection* db, const std::vector<ZPHManagedObject*>& updates,
                                           size_t from, size_t to,
                                           const QHash<qint64, ZPHManagedObjectID>& permanent) const
{
  for (size_t n = from; n < to; ++n) {
    const ZPHManagedObject* object = updates[n];
    const ZPHEntityDescription* entity = object->m_entity;
    QByteArray sql = "UPDATE " + entity->quotedTableName() + " SET ";
    QVarLengthArray<int, 16> indexes;
    for (int i = 0; i < entity->propertyCount(); ++i) {
      if (object->isChanged(i) && entity->columnPosition(i) >= 0) {
        if (!indexes.isEmpty())
          sql += ", ";
        sql += entity->quotedColumn(i) + " = ?";
        indexes.append(i);
      }
    }
    if (indexes.isEmpty())
      continue;
    sql += " WHERE id = ?";
    ZPHSQLiteStatement update = db->prepare(sql);
    if (!update.isValid())
      return false;
    int parameter = 1;
    for (int index : std::as_const(indexes)) bindProperty(update, parameter++, object, index, permanent);
    update.bindInt64(parameter, object->m_objectID.rowID());
    if (!update.execute())
      return false;
  }
  return true;
}
