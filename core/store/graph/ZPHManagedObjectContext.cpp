#include "store/graph/ZPHManagedObjectContext.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHQueryBuilder.h"
#include "store/graph/ZPHSQLiteConnection.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMutexLocker>
#include <QtCore/QSet>
#include <QtCore/QThreadPool>
#include <QtCore/QVarLengthArray>

#include <sqlite3.h>

#include <algorithm>
#include <limits>

namespace {

// The objects of a pending-change list that `keep` accepts.
template <typename Keep>
QList<ZPHManagedObject*> pendingObjects(const std::vector<ZPHManagedObject*>& list, Keep keep)
{
  QList<ZPHManagedObject*> objects;
  for (ZPHManagedObject* object : list) {
    if (keep(object))
      objects.append(object);
  }
  return objects;
}

}  // namespace

using namespace ZPHObjectGraphSQL;

// ------------------------------------------------------------------ context

namespace {
thread_local int t_mergeDepth = 0;
}  // namespace

ZPHManagedObjectContext::ZPHManagedObjectContext(ZPHPersistentStore* store, ConcurrencyType type)
    : m_store(store), m_type(type), m_thread(QThread::currentThread())
{
  Q_ASSERT_X(type != MainQueueConcurrencyType || QThread::currentThread() == QCoreApplication::instance()->thread(),
             Q_FUNC_INFO, "the main context is made on the main thread");
  if (type == PrivateQueueConcurrencyType) {
    m_privateQueue = std::make_unique<ZPHOperationQueue>(QStringLiteral("com.fernhollow.zephlin.privateQueueContext"));
    m_privateQueue->setMaxConcurrentOperationCount(1);
  }
  m_store->registerContext(this);
}

ZPHManagedObjectContext::~ZPHManagedObjectContext()
{
  if (m_privateQueue)
    m_privateQueue->waitUntilAllOperationsAreFinished();
  m_store->unregisterContext(this);
}

bool ZPHManagedObjectContext::isOnOwningThread() const
{
  if (m_privateQueue)
    return ZPHOperationQueue::currentQueue() == m_privateQueue.get();
  return QThread::currentThread() == m_thread;
}

void ZPHManagedObjectContext::performBlockAndWait(const std::function<void()>& block)
{
  Q_ASSERT_X(m_privateQueue, Q_FUNC_INFO, "performBlockAndWait needs a private-queue context");
  if (!m_privateQueue || isOnOwningThread()) {
    block();
    return;
  }
  auto operation = std::make_shared<ZPHBlockOperation>([this, &block] {
    block();
    // A save or merge of another thread may have queued changes meanwhile.
    drainInbox();
  });
  if (ZPHMainThread::isMainThread()) {
    // A save in the block merges into the main context on the main thread:
    // that merge (and any other work the block hands to the main thread) is
    // served while the main thread waits; nothing else of its event loop
    // runs meanwhile.
    operation->setCompletionBlock([] { ZPHMainThread::wakeWaiter(); });
    m_privateQueue->addOperation(operation);
    ZPHMainThread::waitServingSync([&] { return operation->isFinished(); });
  } else {
    m_privateQueue->addOperation(operation);
  }
  operation->waitUntilFinished();
}

void ZPHManagedObjectContext::performBlock(std::function<void()> block)
{
  Q_ASSERT_X(m_privateQueue, Q_FUNC_INFO, "performBlock needs a private-queue context");
  if (!m_privateQueue)
    return;
  m_privateQueue->addOperation(std::make_shared<ZPHBlockOperation>(std::move(block)));
}

bool ZPHManagedObjectContext::isMergingChanges() { return t_mergeDepth > 0; }

void ZPHManagedObjectContext::enqueueChanges(const ZPHStoreChanges& changes)
{
  QMutexLocker locker(&m_inboxMutex);
  m_inbox.append(changes);
}

void ZPHManagedObjectContext::drainInbox()
{
  QList<ZPHStoreChanges> pending;
  {
    QMutexLocker locker(&m_inboxMutex);
    if (m_inbox.isEmpty())
      return;
    pending.swap(m_inbox);
  }
  for (const ZPHStoreChanges& changes : std::as_const(pending)) mergeChanges(changes);
}

ZPHManagedObject* ZPHManagedObjectContext::makeObject(const ZPHEntityDescription* entity,
                                                      const ZPHManagedObjectID& objectID, bool inserted)
{
  std::unique_ptr<ZPHManagedObject> object(entity->factory() ? entity->factory()() : new ZPHManagedObject);
  object->m_context = this;
  object->m_entity = entity;
  object->m_objectID = objectID;
  if (inserted)
    object->m_values = entity->insertedValues();
  else
    object->m_values.resize(size_t(entity->propertyCount()));
  object->m_changed.resize((entity->propertyCount() + 63) / 64);
  std::fill(object->m_changed.begin(), object->m_changed.end(), 0);
  ZPHManagedObject* raw = object.get();
  m_registered.insert_or_assign(objectID, std::move(object));
  return raw;
}

ZPHManagedObject* ZPHManagedObjectContext::insertNewObject(const QString& entityName)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  const ZPHEntityDescription* entity = m_store->model()->entity(entityName);
  Q_ASSERT_X(entity && !entity->isAbstract(), Q_FUNC_INFO, "unknown or abstract entity");
  if (entity == nullptr || entity->isAbstract())
    return nullptr;
  ZPHManagedObject* object = makeObject(entity, m_store->newTemporaryID(entity), true);
  object->m_inserted = true;
  object->m_insertOrder = ++m_insertCount;
  m_inserted.push_back(object);
  object->awakeFromInsert();
  return object;
}

void ZPHManagedObjectContext::noteUpdated(ZPHManagedObject* object) { m_updated.push_back(object); }

void ZPHManagedObjectContext::deleteObject(ZPHManagedObject* object)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  Q_ASSERT_X(object == nullptr || object->m_context == this, Q_FUNC_INFO, "object of another context");
  if (object == nullptr || object->m_context != this)
    return;
  deleteObject(object, 0);
}

void ZPHManagedObjectContext::deleteObject(ZPHManagedObject* object, int depth)
{
  if (object == nullptr || object->m_deleted || depth > 64)
    return;
  object->ensureLoaded();
  object->m_deleted = true;
  m_deleted.push_back(object);
  const ZPHEntityDescription* entity = object->m_entity;
  for (int index = entity->attributeCount(); index < entity->propertyCount(); ++index) {
    const ZPHRelationshipDescription& relationship = entity->relationship(index);
    if (relationship.deleteRule == ZPHDeleteRule::NoAction)
      continue;
    const int inverse = entity->inverseIndex(index);
    const bool inverseToOne = !entity->destination(index)->relationship(inverse).toMany;
    QList<ZPHManagedObject*> related;
    if (relationship.toMany) {
      related = objectsRelatedTo(object, index);
    } else if (ZPHManagedObject* target = object->relatedObject(index)) {
      related.append(target);
    }
    for (ZPHManagedObject* target : std::as_const(related)) {
      if (target->m_deleted)
        continue;
      if (relationship.deleteRule == ZPHDeleteRule::Cascade) {
        deleteObject(target, depth + 1);
      } else if (inverseToOne && target->primitiveValue(inverse).value<ZPHManagedObjectID>() == object->m_objectID) {
        target->m_values[size_t(inverse)] = QVariant();
        target->markChanged(inverse);
        target->notifyChange(target->m_entity->propertyName(inverse));
      }
    }
  }
}

ZPHManagedObject* ZPHManagedObjectContext::registeredObject(const ZPHManagedObjectID& objectID) const
{
  auto it = m_registered.find(objectID);
  return it == m_registered.end() ? nullptr : it->second.get();
}

bool ZPHManagedObjectContext::storeHasObjectWithID(const ZPHManagedObjectID& objectID)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  if (objectID.isNull() || objectID.isTemporaryID() || objectID.persistentStore() != m_store)
    return false;
  ZPHSQLiteConnection* db = m_store->connection();
  if (db == nullptr)
    return false;
  ZPHSQLiteStatement statement = db->prepare("SELECT 1 FROM " + objectID.entity()->quotedTableName() + " WHERE id = ?");
  if (!statement.isValid())
    return false;
  statement.bindInt64(1, objectID.rowID());
  return statement.step() == SQLITE_ROW;
}

const ZPHEntityDescription* ZPHManagedObjectContext::exactEntity(const ZPHManagedObjectID& objectID, bool* exists)
{
  const ZPHEntityDescription* entity = objectID.entity();
  *exists = true;
  if (!entity->hasHierarchy() || objectID.isTemporaryID())
    return entity;
  ZPHSQLiteConnection* db = m_store->connection();
  if (db == nullptr)
    return entity;
  ZPHSQLiteStatement statement =
      db->prepare("SELECT _entity FROM " + ZPHQuotedIdentifier(entity->tableName()) + " WHERE id = ?");
  if (!statement.isValid())
    return entity;
  statement.bindInt64(1, objectID.rowID());
  if (statement.step() != SQLITE_ROW) {
    *exists = false;
    return entity;
  }
  const ZPHEntityDescription* exact = m_store->model()->entityForCode(int(statement.columnInt64(0)));
  return exact && exact->isKindOfEntity(entity->rootEntity()) ? exact : entity;
}

ZPHManagedObject* ZPHManagedObjectContext::objectWithID(const ZPHManagedObjectID& objectID)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  if (objectID.isNull() || objectID.persistentStore() != m_store)
    return nullptr;
  if (ZPHManagedObject* object = registeredObject(objectID))
    return object;
  if (objectID.isTemporaryID())
    return nullptr;  // inserted in another context and never saved
  bool exists = true;
  const ZPHEntityDescription* entity = exactEntity(objectID, &exists);
  if (!exists)
    return nullptr;
  ZPHManagedObject* object = makeObject(entity, ZPHManagedObjectID(m_store, entity, objectID.rowID()));
  object->m_fault = true;
  return object;
}

void ZPHManagedObjectContext::loadRow(ZPHManagedObject* object, ZPHSQLiteStatement& row, int firstColumn)
{
  const ZPHEntityDescription* entity = object->m_entity;
  for (int i = 0; i < entity->propertyCount(); ++i) {
    const int position = entity->columnPosition(i);
    if (position < 0) {
      if (entity->isUnstoredToOne(i))
        object->m_values[size_t(i)] = ZPHManagedObject::unresolvedLink();
      continue;
    }
    const int column = firstColumn + position;
    QVariant& slot = object->m_values[size_t(i)];
    if (row.isNull(column)) {
      slot = QVariant();
      continue;
    }
    if (entity->isRelationship(i)) {
      slot = QVariant::fromValue(ZPHManagedObjectID(m_store, entity->destination(i), row.columnInt64(column)));
      continue;
    }
    slot = attributeValue(row, column, entity->attribute(i).type);
  }
  object->m_fault = false;
}

void ZPHManagedObjectContext::fulfillFault(ZPHManagedObject* object)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  if (!object->m_fault)
    return;
  object->m_fault = false;  // also when the row is gone: the object then reads as defaults
  ZPHSQLiteConnection* db = m_store->connection();
  if (db == nullptr)
    return;
  const ZPHEntityDescription* entity = object->m_entity;
  ZPHSQLiteStatement row = db->prepare("SELECT " + entity->rowColumns() + " FROM " +
                                       ZPHQuotedIdentifier(entity->tableName()) + " t0 WHERE t0.id = ?");
  if (!row.isValid())
    return;
  row.bindInt64(1, object->m_objectID.rowID());
  if (row.step() != SQLITE_ROW) {
    qCWarning(zphStore) << "object" << object->m_objectID.URIRepresentation() << "is gone from the store";
    return;
  }
  loadRow(object, row, entity->hasHierarchy() ? 2 : 1);
}

void ZPHManagedObjectContext::resolveUnstoredLink(ZPHManagedObject* object, int relationshipIndex)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  QVariant& slot = object->m_values[size_t(relationshipIndex)];
  slot = QVariant();
  if (object->m_objectID.isTemporaryID())
    return;
  ZPHSQLiteConnection* db = m_store->connection();
  if (db == nullptr)
    return;
  const ZPHEntityDescription* entity = object->m_entity;
  const ZPHEntityDescription* destination = entity->destination(relationshipIndex);
  const int inverse = entity->inverseIndex(relationshipIndex);
  const bool hierarchy = destination->hasHierarchy();
  ZPHSQLiteStatement statement =
      db->prepare(QByteArray("SELECT id") + (hierarchy ? ", _entity" : "") + " FROM " + destination->quotedTableName() +
                  " WHERE " + destination->quotedColumn(inverse) + " = ? LIMIT 1");
  if (!statement.isValid())
    return;
  statement.bindInt64(1, object->m_objectID.rowID());
  if (statement.step() != SQLITE_ROW)
    return;
  const ZPHEntityDescription* rowEntity =
      hierarchy ? m_store->model()->entityForCode(int(statement.columnInt64(1))) : destination;
  if (rowEntity != nullptr)
    slot = QVariant::fromValue(ZPHManagedObjectID(m_store, rowEntity, statement.columnInt64(0)));
}

ZPHManagedObject* ZPHManagedObjectContext::existingObjectWithID(const ZPHManagedObjectID& objectID, ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  ZPHManagedObject* object = registeredObject(objectID);
  if (object != nullptr && !object->m_fault)
    return object;
  if (object == nullptr)
    object = objectWithID(objectID);
  if (object != nullptr && object->m_fault) {
    ZPHSQLiteConnection* db = m_store->connection(error);
    if (db == nullptr)
      return nullptr;
    const ZPHEntityDescription* entity = object->m_entity;
    ZPHSQLiteStatement row = db->prepare("SELECT " + entity->rowColumns() + " FROM " +
                                         ZPHQuotedIdentifier(entity->tableName()) + " t0 WHERE t0.id = ?");
    if (!row.isValid()) {
      ZPHSetError(error, db->lastError());
      return nullptr;
    }
    row.bindInt64(1, objectID.rowID());
    if (row.step() == SQLITE_ROW) {
      loadRow(object, row, entity->hasHierarchy() ? 2 : 1);
      return object;
    }
    forget(object);
    object = nullptr;
  }
  if (object == nullptr) {
    ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphObjectNotFoundError,
                                           QStringLiteral("The object is no longer in the store.")));
  }
  return object;
}

QList<ZPHManagedObject*> ZPHManagedObjectContext::existingObjectsWithIDs(const QList<ZPHManagedObjectID>& objectIDs)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  // Every saved object that is not loaded yet, in one statement per table.
  const bool loaded = loadObjects(objectIDs);
  QList<ZPHManagedObject*> objects;
  objects.reserve(objectIDs.size());
  for (const ZPHManagedObjectID& objectID : objectIDs) {
    if (objectID.isNull() || objectID.persistentStore() != m_store)
      continue;
    ZPHManagedObject* object = registeredObject(objectID);
    if (object == nullptr)
      continue;
    if (!object->m_fault) {
      objects.append(object);
    } else if (loaded) {
      forget(object);  // gone from the store
    }
  }
  return objects;
}

bool ZPHManagedObjectContext::loadObjects(const QList<ZPHManagedObjectID>& objectIDs)
{
  // Row -> the entity the identifier names, per table.
  QHash<const ZPHEntityDescription*, QHash<qint64, const ZPHEntityDescription*>> wanted;
  for (const ZPHManagedObjectID& objectID : objectIDs) {
    if (objectID.isNull() || objectID.isTemporaryID() || objectID.persistentStore() != m_store)
      continue;
    const ZPHManagedObject* object = registeredObject(objectID);
    if (object != nullptr && !object->m_fault)
      continue;
    wanted[objectID.entity()->rootEntity()].insert(objectID.rowID(), object ? object->m_entity : objectID.entity());
  }
  if (wanted.isEmpty())
    return true;
  ZPHSQLiteConnection* db = m_store->connection();
  if (db == nullptr)
    return false;
  bool ok = true;
  for (auto it = wanted.constBegin(); it != wanted.constEnd(); ++it) {
    const ZPHEntityDescription* root = it.key();
    QByteArray rows = "[";
    for (auto row = it.value().constBegin(); row != it.value().constEnd(); ++row) {
      if (rows.size() > 1)
        rows += ',';
      rows += QByteArray::number(row.key());
    }
    rows += ']';
    ZPHSQLiteStatement statement = db->prepare("SELECT " + root->rowColumns() + " FROM " + root->quotedTableName() +
                                               " t0 WHERE t0.id IN (SELECT value FROM json_each(?))");
    if (!statement.isValid()) {
      ok = false;
      continue;
    }
    statement.bindText(1, QString::fromLatin1(rows));
    ok = registerRows(statement, root, it.value(), nullptr) && ok;
  }
  if (!ok)
    qCWarning(zphStore) << "loading objects failed:" << db->lastError().toString();
  return ok;
}

bool ZPHManagedObjectContext::registerRows(ZPHSQLiteStatement& statement, const ZPHEntityDescription* root,
                                           const QHash<qint64, const ZPHEntityDescription*>& entityByRow,
                                           const std::function<void(ZPHManagedObject*)>& onObject)
{
  const bool hierarchy = root->hasHierarchy();
  const int firstColumn = hierarchy ? 2 : 1;
  int rc;
  while ((rc = statement.step()) == SQLITE_ROW) {
    const qint64 rowID = statement.columnInt64(0);
    const ZPHEntityDescription* entity = entityByRow.value(rowID, root);
    if (hierarchy) {
      // As objectWithID() does: the row's own entity when it is one of the
      // table's.
      const ZPHEntityDescription* exact = m_store->model()->entityForCode(int(statement.columnInt64(1)));
      if (exact != nullptr && exact->isKindOfEntity(root))
        entity = exact;
    }
    ZPHManagedObject* object = registerFetched(entity, rowID, statement, firstColumn);
    if (onObject)
      onObject(object);
  }
  return rc == SQLITE_DONE;
}

ZPHManagedObject* ZPHManagedObjectContext::registerFetched(const ZPHEntityDescription* entity, qint64 rowID,
                                                           ZPHSQLiteStatement& row, int firstColumn)
{
  const ZPHManagedObjectID objectID(m_store, entity, rowID);
  ZPHManagedObject* object = registeredObject(objectID);
  if (object == nullptr) {
    object = makeObject(entity, objectID);
    loadRow(object, row, firstColumn);
  } else if (object->m_fault) {
    loadRow(object, row, firstColumn);
  }
  return object;
}

bool ZPHManagedObjectContext::pendingView(const ZPHEntityDescription* entity, const ZPHFetchRequest& request,
                                          PendingView* view, ZPHError* error)
{
  view->active = false;
  if (m_inserted.empty() && m_updated.empty() && m_deleted.empty())
    return true;
  const ZPHEntityDescription* root = entity->rootEntity();

  // The relationships the request reads through: a change on their other
  // side may change what it finds.
  struct Hop {
    const ZPHEntityDescription* owner;
    int index;
  };
  std::vector<Hop> hops;
  QStringList keyPaths;
  collectKeyPaths(request.predicate, &keyPaths);
  for (const ZPHSortDescriptor& sort : request.sortDescriptors) keyPaths.append(sort.keyPath);
  for (const QString& keyPath : std::as_const(keyPaths)) {
    const QStringList parts = keyPath.split(u'.');
    auto [owner, index] = findProperty(entity, parts[0]);
    if (owner == nullptr || !owner->isRelationship(index))
      continue;
    if (parts.size() == 1 && owner->isStored(index))
      continue;  // the link's own column
    if (parts.size() == 2) {
      auto [target, targetIndex] = findProperty(owner->destination(index), parts[1]);
      if (target != nullptr && target->isUnstoredToOne(targetIndex)) {
        view->active = true;  // two tables away: judge every object in memory
        view->everything = true;
        return true;
      }
    }
    hops.push_back({owner, index});
  }

  // The unsaved objects of the tables the request reads, each once: an
  // object is listed as inserted or as updated, and again as deleted when
  // it was deleted since.
  QVarLengthArray<const ZPHEntityDescription*, 4> readRoots{root};
  for (const Hop& hop : hops) {
    const ZPHEntityDescription* destinationRoot = hop.owner->destination(hop.index)->rootEntity();
    if (!readRoots.contains(destinationRoot))
      readRoots.append(destinationRoot);
  }
  struct Pending {
    const std::vector<ZPHManagedObject*>* inserted;
    const std::vector<ZPHManagedObject*>* updated;
    std::vector<ZPHManagedObject*> deleted;  // the saved ones, unchanged before
    bool isEmpty() const { return inserted->empty() && updated->empty() && deleted.empty(); }
  };
  QVarLengthArray<Pending, 4> pendingByRoot;
  bool anyPending = false;
  for (const ZPHEntityDescription* readRoot : readRoots) {
    Pending pending{&pendingOfRoot(m_inserted, &m_insertedByRoot, readRoot),
                    &pendingOfRoot(m_updated, &m_updatedByRoot, readRoot),
                    {}};
    for (ZPHManagedObject* object : pendingOfRoot(m_deleted, &m_deletedByRoot, readRoot)) {
      if (!object->m_inserted && !object->m_updated)
        pending.deleted.push_back(object);
    }
    anyPending = anyPending || !pending.isEmpty();
    pendingByRoot.append(std::move(pending));
  }
  if (!anyPending)
    return true;  // nothing unsaved that the request reads
  const auto forEachPending = [](const Pending& pending, const auto& body) {
    for (ZPHManagedObject* object : *pending.inserted) body(object);
    for (ZPHManagedObject* object : *pending.updated) body(object);
    for (ZPHManagedObject* object : pending.deleted) body(object);
  };

  view->active = true;
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return false;
  QSet<qint64> rows;  // saved rows of the table whose answer may differ
  const Pending& own = pendingByRoot[0];
  // Inserted objects are the temporary ones. Where every match holds one
  // of a few texts, only the objects that hold one are candidates.
  QString textKey;
  QList<QString> texts;
  constexpr size_t ScannedAtMost = 64;
  const auto judge = [&](ZPHManagedObject* object) {
    if (!object->m_objectID.isTemporaryID())
      rows.insert(object->m_objectID.rowID());
    else if (!object->m_deleted && object->m_entity->isKindOfEntity(entity))
      view->candidates.push_back(object);
  };
  if (own.inserted->size() > ScannedAtMost && request.predicate.requiredTexts(&textKey, &texts)) {
    for (ZPHManagedObject* object : insertedWithTexts(root, textKey, texts)) judge(object);
    for (ZPHManagedObject* object : *own.updated) judge(object);
    for (ZPHManagedObject* object : own.deleted) judge(object);
  } else {
    forEachPending(own, judge);
  }
  for (const Hop& hop : hops) {
    const ZPHEntityDescription* destination = hop.owner->destination(hop.index);
    const qsizetype at = readRoots.indexOf(destination->rootEntity());
    if (at < 0 || pendingByRoot[at].isEmpty())
      continue;
    const Pending& pending = pendingByRoot[at];
    QSet<qint64> partners;
    forEachPending(pending, [&](ZPHManagedObject* object) {
      if (!object->m_objectID.isTemporaryID())
        partners.insert(object->m_objectID.rowID());
    });
    const int inverse = hop.owner->inverseIndex(hop.index);
    QByteArray sql;
    if (hop.owner->isStored(hop.index)) {
      sql = "SELECT id FROM " + root->quotedTableName() + " WHERE " + hop.owner->quotedColumn(hop.index) +
            " IN (SELECT value FROM json_each(?))";
    } else {
      sql = "SELECT " + destination->quotedColumn(inverse) + " FROM " + destination->quotedTableName() +
            " WHERE id IN (SELECT value FROM json_each(?)) AND " + destination->quotedColumn(inverse) + " IS NOT NULL";
      // And the partners the unsaved objects name now.
      forEachPending(pending, [&](ZPHManagedObject* object) {
        if (object->m_fault || !object->m_entity->isRelationship(inverse) ||
            object->m_entity->destination(inverse)->rootEntity() != root)
          return;
        const QVariant& link = object->m_values[size_t(inverse)];
        if (link.isValid() && link.typeId() == qMetaTypeId<ZPHManagedObjectID>()) {
          const ZPHManagedObjectID partner = link.value<ZPHManagedObjectID>();
          if (!partner.isNull() && !partner.isTemporaryID())
            rows.insert(partner.rowID());
        }
      });
    }
    if (partners.isEmpty())
      continue;
    ZPHSQLiteStatement statement = db->prepare(sql);
    if (!statement.isValid())
      return ZPHSetError(error, db->lastError());
    statement.bindText(1, jsonRowList(partners));
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) rows.insert(statement.columnInt64(0));
    if (rc != SQLITE_DONE)
      return ZPHSetError(error, db->lastError());
  }
  if (rows.isEmpty() && view->candidates.empty()) {
    // Nothing unsaved can match or change a saved row's answer: the store
    // answers alone.
    view->active = false;
    return true;
  }
  view->rows = rows;
  // The saved ones are judged by their values in memory.
  QList<ZPHManagedObjectID> objectIDs;
  objectIDs.reserve(rows.size());
  for (const qint64 row : std::as_const(rows)) {
    objectIDs.append(ZPHManagedObjectID(m_store, root, row));
    if (registeredObject(objectIDs.constLast()) == nullptr)
      view->loadedHere.push_back(objectIDs.constLast());
  }
  loadObjects(objectIDs);
  for (const ZPHManagedObjectID& objectID : std::as_const(objectIDs)) {
    ZPHManagedObject* object = registeredObject(objectID);
    if (object != nullptr && !object->m_fault && !object->m_deleted && object->m_entity->isKindOfEntity(entity))
      view->candidates.push_back(object);
  }
  return true;
}

const std::vector<ZPHManagedObject*>& ZPHManagedObjectContext::pendingOfRoot(const ZPHPendingList& list,
                                                                             PendingByRoot* index,
                                                                             const ZPHEntityDescription* root)
{
  if (index->epoch != list.epoch()) {
    index->objects.clear();
    index->consumed = 0;
    index->epoch = list.epoch();
  }
  for (; index->consumed < list.size(); ++index->consumed) {
    ZPHManagedObject* object = list[index->consumed];
    index->objects[object->m_entity->rootEntity()].push_back(object);
  }
  static const std::vector<ZPHManagedObject*> none;
  const auto found = index->objects.find(root);
  return found == index->objects.end() ? none : found->second;
}

int ZPHManagedObjectContext::TextIndex::keyIndex(const ZPHEntityDescription* entity)
{
  auto found = indexOfKey.constFind(entity);
  if (found == indexOfKey.constEnd()) {
    const int index = entity->indexOfProperty(key);
    const bool text = entity->isAttribute(index) && entity->attribute(index).type == ZPHAttributeType::String;
    found = indexOfKey.insert(entity, text ? index : -1);
  }
  return found.value();
}

void ZPHManagedObjectContext::TextIndex::add(ZPHManagedObject* object, int index)
{
  const QVariant& value = object->m_values[size_t(index)];
  if (value.typeId() == QMetaType::QString && !value.isNull())
    objects.emplace(qHash(*static_cast<const QString*>(value.constData())), object);
}

void ZPHManagedObjectContext::noteInsertedText(ZPHManagedObject* object, int index)
{
  const ZPHEntityDescription* root = object->m_entity->rootEntity();
  for (TextIndex& texts : m_textIndexes) {
    // Objects not taken in yet are read as they are when they are.
    if (texts.root != root || texts.epoch != m_inserted.epoch() || object->m_insertOrder > texts.lastOrder)
      continue;
    if (texts.keyIndex(object->m_entity) == index)
      texts.add(object, index);
  }
}

std::vector<ZPHManagedObject*> ZPHManagedObjectContext::insertedWithTexts(const ZPHEntityDescription* root,
                                                                          const QString& key,
                                                                          const QList<QString>& texts)
{
  const std::vector<ZPHManagedObject*>& inserted = pendingOfRoot(m_inserted, &m_insertedByRoot, root);
  auto index = std::find_if(m_textIndexes.begin(), m_textIndexes.end(),
                            [&](const TextIndex& candidate) { return candidate.root == root && candidate.key == key; });
  if (index == m_textIndexes.end()) {
    index = m_textIndexes.insert(m_textIndexes.end(), TextIndex());
    index->root = root;
    index->key = key;
  }
  if (index->epoch != m_inserted.epoch()) {
    index->objects.clear();
    index->consumed = 0;
    index->lastOrder = 0;
    index->epoch = m_inserted.epoch();
  }
  for (; index->consumed < inserted.size(); ++index->consumed) {
    ZPHManagedObject* object = inserted[index->consumed];
    const int keyIndex = index->keyIndex(object->m_entity);
    if (keyIndex >= 0)
      index->add(object, keyIndex);
    index->lastOrder = object->m_insertOrder;
  }
  std::vector<ZPHManagedObject*> found;
  for (const QString& text : texts) {
    const auto [from, to] = index->objects.equal_range(qHash(text));
    for (auto listed = from; listed != to; ++listed) found.push_back(listed->second);
  }
  const auto byOrder = [](const ZPHManagedObject* a, const ZPHManagedObject* b) {
    return a->m_insertOrder < b->m_insertOrder;
  };
  std::sort(found.begin(), found.end(), byOrder);
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

void ZPHManagedObjectContext::releaseJudgedObjects(const PendingView& view, const QSet<ZPHManagedObjectID>& kept)
{
  // Objects loaded only to be judged, which no caller received and nobody
  // changed or observes, do not stay registered.
  for (const ZPHManagedObjectID& objectID : view.loadedHere) {
    if (kept.contains(objectID))
      continue;
    auto it = m_registered.find(objectID);
    if (it != m_registered.end() && !it->second->hasChanges() && !it->second->m_observers)
      m_registered.erase(it);
  }
}

QList<ZPHManagedObject*> ZPHManagedObjectContext::executeFetchRequest(const ZPHFetchRequest& request, ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  const ZPHEntityDescription* entity = m_store->model()->entity(request.entityName);
  if (entity == nullptr) {
    ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphSQLiteError,
                                           QStringLiteral("No entity named %1.").arg(request.entityName)));
    return {};
  }
  PendingView view;
  if (!pendingView(entity, request, &view, error))
    return {};
  if (view.active) {
    ZPHError fetchError;
    const QList<ZPHManagedObjectID> objectIDs = fetchIDs(request, &view, &fetchError);
    if (!fetchError.isNull()) {
      ZPHSetError(error, fetchError);
      return {};
    }
    loadObjects(objectIDs);  // the faults among them, in one statement per table
    QList<ZPHManagedObject*> objects;
    for (const ZPHManagedObjectID& objectID : objectIDs) {
      if (ZPHManagedObject* object = objectWithID(objectID))
        objects.append(object);
    }
    releaseJudgedObjects(view, QSet<ZPHManagedObjectID>(objectIDs.begin(), objectIDs.end()));
    prefetchRelationships(objects, request.relationshipKeyPathsForPrefetching);
    return objects;
  }
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return {};
  QueryBuilder builder(entity);
  if (!builder.build(request, true, error))
    return {};
  ZPHSQLiteStatement statement =
      db->prepare("SELECT " + entity->rowColumns() + builder.from() + builder.where() + builder.tail());
  if (!statement.isValid()) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  builder.bind(statement);
  const bool hierarchy = entity->hasHierarchy();
  const int firstColumn = hierarchy ? 2 : 1;
  QList<ZPHManagedObject*> objects;
  int rc;
  while ((rc = statement.step()) == SQLITE_ROW) {
    const ZPHEntityDescription* rowEntity = entity;
    if (hierarchy) {
      rowEntity = m_store->model()->entityForCode(int(statement.columnInt64(1)));
      if (rowEntity == nullptr)
        continue;
    }
    objects.append(registerFetched(rowEntity, statement.columnInt64(0), statement, firstColumn));
  }
  if (rc != SQLITE_DONE) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  statement = ZPHSQLiteStatement();
  prefetchRelationships(objects, request.relationshipKeyPathsForPrefetching);
  return objects;
}

void ZPHManagedObjectContext::prefetchRelationships(const QList<ZPHManagedObject*>& objects,
                                                    const QStringList& keyPaths)
{
  if (objects.isEmpty())
    return;
  for (const QString& keyPath : keyPaths) {
    // Links this side stores: the objects they name.
    QList<ZPHManagedObjectID> targets;
    // Links the other side stores: the rows that point at these objects.
    QHash<qint64, QList<ZPHManagedObject*>> holders;
    const ZPHEntityDescription* destination = nullptr;
    int inverse = -1;
    for (ZPHManagedObject* object : objects) {
      const ZPHEntityDescription* entity = object->m_entity;
      const int index = entity->indexOfProperty(keyPath);
      if (!entity->isRelationship(index) || object->m_fault)
        continue;  // (objects of a subentity without the relationship)
      if (entity->relationship(index).toMany) {
        qCWarning(zphStore) << "only to-one relationships prefetch, not" << keyPath << "of" << entity->name();
        return;
      }
      const QVariant& link = object->m_values[size_t(index)];
      if (entity->isStored(index)) {
        if (link.isValid())
          targets.append(link.value<ZPHManagedObjectID>());
      } else if (ZPHManagedObject::isUnresolvedLink(link) && !object->m_objectID.isTemporaryID()) {
        destination = entity->destination(index);
        inverse = entity->inverseIndex(index);
        holders[object->m_objectID.rowID()].append(object);
      }
    }
    if (!targets.isEmpty())
      loadObjects(targets);
    if (holders.isEmpty())
      continue;
    ZPHSQLiteConnection* db = m_store->connection();
    if (db == nullptr)
      return;
    const ZPHEntityDescription* root = destination->rootEntity();
    QByteArray rows = "[";
    for (auto it = holders.constBegin(); it != holders.constEnd(); ++it) {
      if (rows.size() > 1)
        rows += ',';
      rows += QByteArray::number(it.key());
    }
    rows += ']';
    const QByteArray inverseColumn = destination->quotedColumn(inverse);
    ZPHSQLiteStatement statement =
        db->prepare("SELECT " + root->rowColumns() + " FROM " + root->quotedTableName() + " t0 WHERE t0." +
                    inverseColumn + " IN (SELECT value FROM json_each(?))");
    if (!statement.isValid())
      continue;
    statement.bindText(1, QString::fromLatin1(rows));
    const int holderColumn = (root->hasHierarchy() ? 2 : 1) + destination->columnPosition(inverse);
    QHash<qint64, ZPHManagedObjectID> found;  // holder row -> the first row pointing at it, as a lookup finds
    const bool ok = registerRows(statement, root, {}, [&](ZPHManagedObject* object) {
      const qint64 holder = statement.columnInt64(holderColumn);
      if (!found.contains(holder))
        found.insert(holder, object->m_objectID);
    });
    if (!ok)
      continue;  // each link is looked up on use, as without prefetching
    for (auto it = holders.constBegin(); it != holders.constEnd(); ++it) {
      const auto target = found.constFind(it.key());
      for (ZPHManagedObject* object : it.value()) {
        const int index = object->m_entity->indexOfProperty(keyPath);
        QVariant& slot = object->m_values[size_t(index)];
        if (ZPHManagedObject::isUnresolvedLink(slot))
          slot = target == found.constEnd() ? QVariant() : QVariant::fromValue(target.value());
      }
    }
  }
}

QList<ZPHManagedObjectID> ZPHManagedObjectContext::executeFetchRequestForObjectIDs(const ZPHFetchRequest& request,
                                                                                   ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  const ZPHEntityDescription* entity = m_store->model()->entity(request.entityName);
  PendingView view;
  if (entity != nullptr && !pendingView(entity, request, &view, error))
    return {};
  const QList<ZPHManagedObjectID> objectIDs = fetchIDs(request, &view, error);
  releaseJudgedObjects(view, {});
  return objectIDs;
}

ZPHObjectIDsWithValues ZPHManagedObjectContext::executeFetchRequestForObjectIDsWithValues(
    const ZPHFetchRequest& request, const QStringList& keyPaths, ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  ZPHObjectIDsWithValues result;
  result.valueCount = int(keyPaths.size());
  const ZPHEntityDescription* entity = m_store->model()->entity(request.entityName);
  PendingView view;
  if (entity != nullptr && !pendingView(entity, request, &view, error))
    return result;
  ZPHError fetchError;
  result.objectIDs = fetchIDs(request, &view, &fetchError, keyPaths, &result.values);
  releaseJudgedObjects(view, {});
  if (!fetchError.isNull()) {
    ZPHSetError(error, fetchError);
    result.objectIDs.clear();
    result.values.clear();
  }
  return result;
}

QList<ZPHManagedObjectID> ZPHManagedObjectContext::fetchIDs(const ZPHFetchRequest& request, const PendingView* view,
                                                            ZPHError* error, const QStringList& valueKeyPaths,
                                                            QVariantList* values)
{
  const ZPHEntityDescription* entity = m_store->model()->entity(request.entityName);
  if (entity == nullptr) {
    ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphSQLiteError,
                                           QStringLiteral("No entity named %1.").arg(request.entityName)));
    return {};
  }
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return {};
  // The values of an object in memory, row after row (a link as the
  // related object's identifier, as the store gives it).
  const auto appendMemoryValues = [&](const ZPHManagedObject* object) {
    for (const QString& keyPath : valueKeyPaths) {
      QVariant value = object->valueForKeyPath(keyPath);
      if (value.typeId() == qMetaTypeId<ZPHManagedObject*>()) {
        const ZPHManagedObject* related = value.value<ZPHManagedObject*>();
        value = related != nullptr ? QVariant::fromValue(related->objectID()) : QVariant();
      }
      values->append(value.isNull() ? QVariant() : value);
    }
  };
  if (view->active && view->everything) {
    QList<ZPHManagedObjectID> objectIDs = fetchIDsJudgingEverything(request, entity, error);
    if (values != nullptr) {
      for (const ZPHManagedObjectID& objectID : std::as_const(objectIDs)) {
        if (const ZPHManagedObject* object = objectWithID(objectID))
          appendMemoryValues(object);
      }
    }
    return objectIDs;
  }
  QueryBuilder builder(entity);
  if (!builder.build(request, true, error))
    return {};
  const bool hierarchy = entity->hasHierarchy();
  QByteArray columns = QByteArray("SELECT t0.id") + (hierarchy ? ", t0._entity" : "");
  // The value columns come first, the sort values (for a merge) after them.
  // A value is an attribute, or a stored to-one link (the related object's
  // identifier; `linkTargets` holds the destination, else nullptr).
  QList<ZPHAttributeType> valueTypes;
  QList<const ZPHEntityDescription*> linkTargets;
  if (values != nullptr) {
    for (const QString& keyPath : valueKeyPaths) {
      QByteArray column;
      bool isRelationship = false;
      std::pair<const ZPHEntityDescription*, int> target{nullptr, -1};
      const bool resolved = builder.resolve(keyPath, &column, &isRelationship, nullptr, &target);
      const bool attribute =
          resolved && !isRelationship && target.first != nullptr && target.first->isAttribute(target.second);
      const bool link = resolved && isRelationship && target.first != nullptr && target.first->isStored(target.second);
      if (!attribute && !link) {
        ZPHSetError(error, keyPathError(entity->name(), keyPath));
        return {};
      }
      columns += ", " + column;
      valueTypes.append(attribute ? target.first->attribute(target.second).type : ZPHAttributeType::Int64);
      linkTargets.append(link ? target.first->destination(target.second) : nullptr);
    }
  }
  const int firstValueColumn = hierarchy ? 2 : 1;
  const int firstSortColumn = firstValueColumn + int(valueTypes.size());
  QByteArray where = builder.where();
  if (view->active) {
    // The store's answer without the rows that unsaved changes may alter
    // (their sort values come along), merged below with the objects in
    // memory that match now.
    for (const QByteArray& column : builder.sortColumns()) columns += ", " + column;
    where = builder.whereAnd("t0.id NOT IN (SELECT value FROM json_each(?))");
  }
  ZPHSQLiteStatement statement = db->prepare(columns + builder.from() + where + builder.tail());
  if (!statement.isValid()) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  builder.bind(statement);
  if (view->active)
    statement.bindText(builder.parameterCount() + 1, jsonRowList(view->rows));
  struct Found {
    ZPHManagedObjectID objectID;
    QVarLengthArray<QVariant, 2> sortValues;
  };
  std::vector<Found> stored;
  QVariantList storedValues;  // row after row, as `stored`
  int rc;
  while ((rc = statement.step()) == SQLITE_ROW) {
    const ZPHEntityDescription* rowEntity =
        hierarchy ? m_store->model()->entityForCode(int(statement.columnInt64(1))) : entity;
    if (rowEntity == nullptr)
      continue;
    Found found{ZPHManagedObjectID(m_store, rowEntity, statement.columnInt64(0)), {}};
    for (int i = 0; i < int(valueTypes.size()); ++i) {
      const int column = firstValueColumn + i;
      if (statement.isNull(column))
        storedValues.append(QVariant());
      else if (linkTargets[i] != nullptr)
        storedValues.append(
            QVariant::fromValue(ZPHManagedObjectID(m_store, linkTargets[i], statement.columnInt64(column))));
      else
        storedValues.append(attributeValue(statement, column, valueTypes[i]));
    }
    if (view->active) {
      for (qsizetype i = 0; i < request.sortDescriptors.size(); ++i)
        found.sortValues.append(statement.columnVariant(firstSortColumn + int(i)));
    }
    stored.push_back(std::move(found));
  }
  if (rc != SQLITE_DONE) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  statement = ZPHSQLiteStatement();
  QList<ZPHManagedObjectID> objectIDs;
  if (!view->active) {
    objectIDs.reserve(qsizetype(stored.size()));
    for (const Found& found : stored) objectIDs.append(found.objectID);
    if (values != nullptr)
      *values = std::move(storedValues);
    return objectIDs;
  }

  QList<ZPHManagedObject*> matches;
  for (ZPHManagedObject* object : view->candidates) {
    if (!object->m_deleted && request.predicate.evaluateWithObject(object))
      matches.append(object);
  }
  const auto compare = [&](const auto& valuesOfA, const auto& valuesOfB) {
    for (qsizetype i = 0; i < request.sortDescriptors.size(); ++i) {
      const int c = ZPHCompareValues(valuesOfA(i), valuesOfB(i));
      if (c != 0)
        return request.sortDescriptors[i].ascending ? c : -c;
    }
    return 0;
  };
  const auto memoryValue = [&](const ZPHManagedObject* object) {
    return [&request, object](qsizetype i) {
      return ZPHComparableValue(object->valueForKeyPath(request.sortDescriptors[i].keyPath));
    };
  };
  if (!request.sortDescriptors.isEmpty()) {
    std::stable_sort(matches.begin(), matches.end(), [&](const ZPHManagedObject* a, const ZPHManagedObject* b) {
      return compare(memoryValue(a), memoryValue(b)) < 0;
    });
  }
  // Merged by the sort (stored rows first among equals); without a sort,
  // the store's rows, then the objects in memory.
  const qsizetype limit = request.fetchLimit > 0 ? request.fetchLimit : std::numeric_limits<qsizetype>::max();
  size_t s = 0;
  qsizetype m = 0;
  while (objectIDs.size() < limit && (s < stored.size() || m < matches.size())) {
    bool takeStored = m >= matches.size();
    if (!takeStored && s < stored.size()) {
      if (request.sortDescriptors.isEmpty()) {
        takeStored = true;
      } else {
        const Found& found = stored[s];
        const auto storedValue = [&found](qsizetype i) { return ZPHComparableValue(found.sortValues[i]); };
        takeStored = compare(storedValue, memoryValue(matches[m])) <= 0;
      }
    }
    if (takeStored) {
      if (values != nullptr) {
        for (qsizetype i = 0; i < valueTypes.size(); ++i)
          values->append(storedValues.at(qsizetype(s) * valueTypes.size() + i));
      }
      objectIDs.append(stored[s++].objectID);
    } else {
      if (values != nullptr)
        appendMemoryValues(matches[m]);
      objectIDs.append(matches[m++]->m_objectID);
    }
  }
  return objectIDs;
}

QList<ZPHManagedObjectID> ZPHManagedObjectContext::fetchIDsJudgingEverything(const ZPHFetchRequest& request,
                                                                             const ZPHEntityDescription* entity,
                                                                             ZPHError* error)
{
  // Every candidate row of the store (the predicate's parts that SQL can
  // judge are not trusted here), judged by its values in memory.
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return {};
  QueryBuilder builder(entity);
  if (!builder.build(request, false, error))
    return {};
  const bool hierarchy = entity->hasHierarchy();
  ZPHSQLiteStatement statement =
      db->prepare(QByteArray("SELECT t0.id") + (hierarchy ? ", t0._entity" : "") + builder.from() + builder.where());
  if (!statement.isValid()) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  builder.bind(statement);
  QList<ZPHManagedObjectID> objectIDs;
  int rc;
  while ((rc = statement.step()) == SQLITE_ROW) {
    const ZPHEntityDescription* rowEntity =
        hierarchy ? m_store->model()->entityForCode(int(statement.columnInt64(1))) : entity;
    if (rowEntity != nullptr)
      objectIDs.append(ZPHManagedObjectID(m_store, rowEntity, statement.columnInt64(0)));
  }
  if (rc != SQLITE_DONE) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  statement = ZPHSQLiteStatement();
  loadObjects(objectIDs);
  QList<ZPHManagedObject*> matches;
  QSet<ZPHManagedObject*> seen;
  for (const ZPHManagedObjectID& objectID : std::as_const(objectIDs)) {
    ZPHManagedObject* object = objectWithID(objectID);
    if (object == nullptr || object->m_deleted)
      continue;
    seen.insert(object);
    if (!object->m_fault && !request.predicate.evaluateWithObject(object))
      continue;
    matches.append(object);
  }
  auto consider = [&](ZPHManagedObject* object) {
    if (object->m_deleted || seen.contains(object) || !object->m_entity->isKindOfEntity(entity))
      return;
    seen.insert(object);
    if (request.predicate.evaluateWithObject(object))
      matches.append(object);
  };
  for (size_t i = 0; i < m_inserted.size(); ++i) consider(m_inserted[i]);
  for (size_t i = 0; i < m_updated.size(); ++i) consider(m_updated[i]);
  if (!request.sortDescriptors.isEmpty()) {
    std::stable_sort(matches.begin(), matches.end(), [&](const ZPHManagedObject* a, const ZPHManagedObject* b) {
      for (const ZPHSortDescriptor& sort : request.sortDescriptors) {
        const int c = ZPHCompareValues(ZPHComparableValue(a->valueForKeyPath(sort.keyPath)),
                                       ZPHComparableValue(b->valueForKeyPath(sort.keyPath)));
        if (c != 0)
          return sort.ascending ? c < 0 : c > 0;
      }
      return false;
    });
  }
  if (request.fetchLimit > 0 && matches.size() > request.fetchLimit)
    matches.resize(request.fetchLimit);
  QList<ZPHManagedObjectID> result;
  result.reserve(matches.size());
  for (const ZPHManagedObject* object : std::as_const(matches)) result.append(object->m_objectID);
  return result;
}

qint64 ZPHManagedObjectContext::countForFetchRequest(const ZPHFetchRequest& request, ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  const ZPHEntityDescription* entity = m_store->model()->entity(request.entityName);
  if (entity == nullptr) {
    ZPHSetError(error, ZPHObjectGraphError(ZPHObjectGraphSQLiteError,
                                           QStringLiteral("No entity named %1.").arg(request.entityName)));
    return -1;
  }
  PendingView view;
  if (!pendingView(entity, request, &view, error))
    return -1;
  if (view.active && view.everything) {
    ZPHError fetchError;
    const QList<ZPHManagedObjectID> objectIDs = fetchIDs(request, &view, &fetchError);
    if (!fetchError.isNull()) {
      ZPHSetError(error, fetchError);
      return -1;
    }
    return objectIDs.size();
  }
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return -1;
  QueryBuilder builder(entity);
  if (!builder.build(request, false, error))
    return -1;
  // With unsaved changes: the store's rows that they cannot alter, counted
  // there, and the objects in memory that match now.
  const QByteArray where =
      view.active ? builder.whereAnd("t0.id NOT IN (SELECT value FROM json_each(?))") : builder.where();
  ZPHSQLiteStatement statement = db->prepare("SELECT count(*)" + builder.from() + where);
  if (!statement.isValid()) {
    ZPHSetError(error, db->lastError());
    return -1;
  }
  builder.bind(statement);
  if (view.active)
    statement.bindText(builder.parameterCount() + 1, jsonRowList(view.rows));
  if (statement.step() != SQLITE_ROW) {
    ZPHSetError(error, db->lastError());
    return -1;
  }
  qint64 count = statement.columnInt64(0);
  for (const ZPHManagedObject* object : view.candidates) {
    if (!object->m_deleted && request.predicate.evaluateWithObject(object))
      ++count;
  }
  statement = ZPHSQLiteStatement();
  releaseJudgedObjects(view, {});
  return request.fetchLimit > 0 ? std::min<qint64>(count, request.fetchLimit) : count;
}

QList<QPair<QVariant, qint64>> ZPHManagedObjectContext::countsGroupedByKeyPath(const ZPHFetchRequest& request,
                                                                               const QString& keyPath, ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  const ZPHEntityDescription* entity = m_store->model()->entity(request.entityName);
  ZPHSQLiteConnection* db = entity ? m_store->connection(error) : nullptr;
  if (db == nullptr) {
    if (entity == nullptr)
      ZPHSetError(error, keyPathError(request.entityName, keyPath));
    return {};
  }
  QueryBuilder builder(entity);
  QByteArray column;
  bool isRelationship = false;
  if (!builder.resolve(keyPath, &column, &isRelationship)) {
    ZPHSetError(error, keyPathError(entity->name(), keyPath));
    return {};
  }
  if (!builder.build(request, false, error))
    return {};
  ZPHSQLiteStatement statement =
      db->prepare("SELECT " + column + ", count(*)" + builder.from() + builder.where() + " GROUP BY " + column);
  if (!statement.isValid()) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  builder.bind(statement);
  QList<QPair<QVariant, qint64>> counts;
  const ZPHEntityDescription* destination = nullptr;
  if (isRelationship) {
    const QStringList parts = keyPath.split(u'.');
    auto [owner, index] = findProperty(entity, parts[0]);
    if (parts.size() == 2) {
      auto [target, targetIndex] = findProperty(owner->destination(index), parts[1]);
      destination = target->destination(targetIndex);
    } else {
      destination = owner->destination(index);
    }
  }
  int rc;
  while ((rc = statement.step()) == SQLITE_ROW) {
    QVariant key = statement.columnVariant(0);
    if (destination != nullptr && key.isValid())
      key = QVariant::fromValue(ZPHManagedObjectID(m_store, destination, key.toLongLong()));
    counts.append({key, statement.columnInt64(1)});
  }
  if (rc != SQLITE_DONE) {
    ZPHSetError(error, db->lastError());
    return {};
  }
  return counts;
}

QList<ZPHManagedObject*> ZPHManagedObjectContext::objectsRelatedTo(const ZPHManagedObject* object,
                                                                   int relationshipIndex)
{
  const ZPHEntityDescription* entity = object->m_entity;
  const ZPHEntityDescription* destination = entity->destination(relationshipIndex);
  const QString inverseName = destination->propertyName(entity->inverseIndex(relationshipIndex));
  ZPHFetchRequest request(destination->name(),
                          ZPHPredicate::equal(inverseName, QVariant::fromValue(object->m_objectID)));
  return executeFetchRequest(request);
}

bool ZPHManagedObjectContext::hasChanges() const
{
  return !m_inserted.empty() || !m_updated.empty() || !m_deleted.empty();
}

QList<ZPHManagedObject*> ZPHManagedObjectContext::insertedObjects() const
{
  return pendingObjects(m_inserted, [](const ZPHManagedObject* object) { return !object->m_deleted; });
}

QList<ZPHManagedObject*> ZPHManagedObjectContext::updatedObjects() const
{
  return pendingObjects(m_updated, [](const ZPHManagedObject* object) { return object->isUpdated(); });
}

QList<ZPHManagedObject*> ZPHManagedObjectContext::deletedObjects() const
{
  return pendingObjects(m_deleted, [](const ZPHManagedObject* object) { return !object->m_inserted; });
}

void ZPHManagedObjectContext::forget(ZPHManagedObject* object)
{
  auto erase = [object](ZPHPendingList& list) {
    list.erase(std::remove(list.begin(), list.end(), object), list.end());
  };
  erase(m_inserted);
  erase(m_updated);
  erase(m_deleted);
  auto node = m_registered.extract(object->m_objectID);
  object->m_context = nullptr;
  object->m_fault = false;
  if (!node.empty())
    m_forgotten.push_back(std::move(node.mapped()));
}

void ZPHManagedObjectContext::reset()
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  {
    QMutexLocker locker(&m_inboxMutex);
    m_inbox.clear();
  }
  m_inserted.clear();
  m_updated.clear();
  m_deleted.clear();
  m_insertedByRoot = {};
  m_updatedByRoot = {};
  m_deletedByRoot = {};
  m_textIndexes.clear();
  m_registered.clear();
  m_forgotten.clear();
}

void ZPHManagedObjectContext::resetDestroyingObjectsInBackground()
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  QThreadPool* pool = QThreadPool::globalInstance();
  if (pool == nullptr) {
    reset();
    return;
  }
  struct Objects {
    decltype(m_registered) registered;
    decltype(m_forgotten) forgotten;
  };
  auto objects = std::make_shared<Objects>();
  objects->registered.swap(m_registered);
  objects->forgotten.swap(m_forgotten);
  reset();
  pool->start([objects = std::move(objects)]() mutable { objects.reset(); });
}

void ZPHManagedObjectContext::refreshObject(ZPHManagedObject* object)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  if (object == nullptr || object->m_context != this || object->hasChanges() || object->m_objectID.isTemporaryID())
    return;
  object->m_fault = true;
}

void ZPHManagedObjectContext::mergeChanges(const ZPHStoreChanges& changes)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  ++t_mergeDepth;
  struct Leave {
    ~Leave() { --t_mergeDepth; }
  } leave;
  QList<ZPHManagedObjectID> updatedIDs;
  QList<ZPHManagedObjectID> deletedIDs;
  for (const ZPHManagedObjectID& objectID : changes.deleted) {
    if (ZPHManagedObject* object = registeredObject(objectID)) {
      forget(object);
      object->notifyChange(QString());
      deletedIDs.append(objectID);
    }
  }
  if (!changes.deleted.isEmpty())
    applyDeleteRulesOfMergedDeletions(changes.deleted, &updatedIDs);
  const auto mergeValues = [&](const ZPHManagedObjectID& objectID, const QVariantMap& values) {
    ZPHManagedObject* object = registeredObject(objectID);
    if (object == nullptr || object->m_fault)
      return;  // a fault reads the new values when it loads
    const ZPHEntityDescription* entity = object->m_entity;
    bool changed = false;
    for (auto value = values.constBegin(); value != values.constEnd(); ++value) {
      const int index = entity->indexOfProperty(value.key());
      if (index < 0 || object->isChanged(index))  // this context's own value wins
        continue;
      QVariant& slot = object->m_values[size_t(index)];
      if (slot.isValid() == value.value().isValid() && slot == value.value())
        continue;
      slot = value.value();
      changed = true;
      object->notifyChange(value.key());
    }
    if (changed)
      updatedIDs.append(objectID);
  };
  for (auto it = changes.updated.constBegin(); it != changes.updated.constEnd(); ++it)
    mergeValues(it.key(), it.value());
  for (const auto& [objectIDs, values] : changes.updatedAlike) {
    for (const ZPHManagedObjectID& objectID : objectIDs) mergeValues(objectID, values);
  }
  if (!updatedIDs.isEmpty() || !deletedIDs.isEmpty() || !changes.inserted.isEmpty())
    Q_EMIT objectsDidChange(changes.inserted, updatedIDs, deletedIDs);
}

void ZPHManagedObjectContext::applyDeleteRulesOfMergedDeletions(const QList<ZPHManagedObjectID>& deleted,
                                                                QList<ZPHManagedObjectID>* updatedIDs)
{
  // The store applied the delete rules to the rows it holds; this
  // context's unsaved links to the deleted objects get them here, or the
  // next save would write links to rows that are gone. A link is cleared
  // (nullify, and no action: the store would clear it too); an unsaved
  // insert that the deleted object's cascade rule takes along is deleted.
  QSet<ZPHManagedObjectID> gone(deleted.begin(), deleted.end());
  std::vector<ZPHManagedObject*> pending;
  pending.reserve(m_inserted.size() + m_updated.size());
  for (ZPHManagedObject* object : std::as_const(m_inserted)) pending.push_back(object);
  for (ZPHManagedObject* object : std::as_const(m_updated)) pending.push_back(object);
  std::vector<ZPHManagedObject*> cascaded;
  for (ZPHManagedObject* object : pending) {
    if (object->m_deleted || object->m_context != this)
      continue;
    const ZPHEntityDescription* entity = object->m_entity;
    bool changed = false;
    for (int i = entity->attributeCount(); i < entity->propertyCount(); ++i) {
      if (entity->relationship(i).toMany)
        continue;
      // Saved objects write only the links they changed.
      if (!object->m_inserted && !object->isChanged(i))
        continue;
      QVariant& link = object->m_values[size_t(i)];
      if (!link.isValid() || link.typeId() != qMetaTypeId<ZPHManagedObjectID>())
        continue;
      const ZPHManagedObjectID target = link.value<ZPHManagedObjectID>();
      if (target.isNull() || !gone.contains(target))
        continue;
      const ZPHRelationshipDescription& rule = entity->destination(i)->relationship(entity->inverseIndex(i));
      if (object->m_inserted && rule.deleteRule == ZPHDeleteRule::Cascade) {
        cascaded.push_back(object);
        break;
      }
      link = QVariant();
      object->markChanged(i);
      object->notifyChange(entity->propertyName(i));
      changed = true;
    }
    if (changed && !object->m_inserted)
      updatedIDs->append(object->m_objectID);
  }
  for (ZPHManagedObject* object : cascaded) deleteObject(object, 0);
}
