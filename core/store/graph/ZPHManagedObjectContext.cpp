#include "store/graph/ZPHManagedObjectContext.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHOperationQueue.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHSQLiteConnection.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QElapsedTimer>
#include <QtCore/QMutexLocker>
#include <QtCore/QSet>
#include <QtCore/QTimeZone>
#include <QtCore/QVarLengthArray>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Bound parameters of one statement stay below this many per IN list.
constexpr int MaxParametersPerList = 500;

ZPHError keyPathError(const QString& entity, const QString& keyPath)
{
  return ZPHObjectGraphError(ZPHObjectGraphSQLiteError,
                             QStringLiteral("The key path %1 is not usable on %2.").arg(keyPath, entity));
}

// The entity (or a subentity) that declares a property, with its index.
std::pair<const ZPHEntityDescription*, int> findProperty(const ZPHEntityDescription* entity, const QString& name)
{
  for (const ZPHEntityDescription* candidate : entity->selfAndDescendants()) {
    const int index = candidate->indexOfProperty(name);
    if (index >= 0)
      return {candidate, index};
  }
  return {nullptr, -1};
}

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

// Lists longer than this go to SQLite as one bound JSON array rather than a
// parameter per value, so no list meets the statement's parameter limit.
constexpr int MaxInlineListValues = 500;

// A comparable value (ZPHComparableValue) as a JSON scalar that json_each()
// hands back with the type the value would have bound with: integers stay
// integers, reals stay reals (also when whole), texts stay texts.
void appendJSONValue(QByteArray& json, const QVariant& value)
{
  switch (value.typeId()) {
    case QMetaType::LongLong:
      json += QByteArray::number(value.toLongLong());
      return;
    case QMetaType::Double: {
      const double number = value.toDouble();
      if (std::isnan(number)) {  // binds as NULL, which matches nothing
        json += "null";
      } else if (std::isinf(number)) {
        json += number > 0 ? "9e999" : "-9e999";
      } else {
        QByteArray text = QByteArray::number(number, 'g', 17);
        if (!text.contains('.') && !text.contains('e'))
          text += ".0";
        json += text;
      }
      return;
    }
    default:
      break;
  }
  // Texts as the bytes bindText() would bind, escaped for JSON.
  static const char hex[] = "0123456789abcdef";
  const QByteArray utf8 = value.toString().toUtf8();
  json += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      json += "\\u00";
      json += hex[byte >> 4];
      json += hex[byte & 15];
    } else {
      json += c;
    }
  }
  json += '"';
}

QByteArray placeholders(qsizetype count)
{
  QByteArray text;
  text.reserve(count * 2);
  for (qsizetype i = 0; i < count; ++i) text += i == 0 ? "?" : ",?";
  return text;
}

// A stored attribute's value as objects hold it (the column is not null).
QVariant attributeValue(ZPHSQLiteStatement& row, int column, ZPHAttributeType type)
{
  switch (type) {
    case ZPHAttributeType::String:
      return row.columnText(column);
    case ZPHAttributeType::Int32:
      return int(row.columnInt64(column));
    case ZPHAttributeType::Int64:
    case ZPHAttributeType::Number:
      return row.columnInt64(column);
    case ZPHAttributeType::UInt64:
      return quint64(row.columnInt64(column));
    case ZPHAttributeType::Double:
      return row.columnDouble(column);
    case ZPHAttributeType::Bool:
      return row.columnInt64(column) != 0;
    case ZPHAttributeType::Date:
      return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(row.columnDouble(column) * 1000.0)), Qt::UTC);
  }
  return QVariant();
}

// SQL for a fetch: FROM/JOIN/WHERE/ORDER BY pieces and their parameters.
class QueryBuilder {
public:
  QueryBuilder(const ZPHEntityDescription* entity) : m_entity(entity) {}

  bool build(const ZPHFetchRequest& request, bool withOrderAndLimit, ZPHError* error)
  {
    QByteArrayList conditions;
    if (m_entity != m_entity->rootEntity() && m_entity->hasHierarchy()) {
      QByteArrayList codes;
      for (const ZPHEntityDescription* entity : m_entity->selfAndDescendants())
        codes.append(QByteArray::number(entity->entityCode()));
      // Without statistics SQLite rates the entity column's index as good as
      // any other, and may walk every row of the entity through it (every
      // feed, to find one by its address). Where the predicate compares a
      // column of its own index for equality, the "+" keeps the entity
      // column from being used as an index, so that index is; for one entity
      // both walks give the rows in the same (row) order.
      const bool byOtherIndex = codes.size() == 1 && hasIndexedEquality(request.predicate);
      conditions.append(QByteArray(byOtherIndex ? "+" : "") + "t0._entity IN (" + codes.join(',') + ")");
    }
    QByteArray where;
    if (!compile(request.predicate, &where, error))
      return false;
    if (where != "1")
      conditions.append(where);
    m_where = conditions.isEmpty() ? QByteArray() : " WHERE " + conditions.join(" AND ");
    if (withOrderAndLimit) {
      QByteArrayList order;
      for (const ZPHSortDescriptor& sort : request.sortDescriptors) {
        QByteArray column;
        if (!resolve(sort.keyPath, &column, nullptr)) {
          return ZPHSetError(error, keyPathError(m_entity->name(), sort.keyPath));
        }
        m_sortColumns.append(column);
        order.append(column + (sort.ascending ? " ASC" : " DESC"));
      }
      if (!order.isEmpty())
        m_tail += " ORDER BY " + order.join(", ");
      if (request.fetchLimit > 0)
        m_tail += " LIMIT " + QByteArray::number(request.fetchLimit);
    }
    return true;
  }

  // True when the predicate, or one of its and-ed parts, compares a column
  // of the entity's table that has an index of its own for equality.
  bool hasIndexedEquality(const ZPHPredicate& predicate) const
  {
    switch (predicate.kind()) {
      case ZPHPredicate::Kind::And:
        for (const ZPHPredicate& child : predicate.subpredicates()) {
          if (hasIndexedEquality(child))
            return true;
        }
        return false;
      case ZPHPredicate::Kind::Comparison:
        break;
      default:
        return false;
    }
    if (predicate.op() != ZPHPredicate::Operator::Equal || !predicate.variableName().isEmpty() ||
        predicate.keyPath().contains(u'.'))
      return false;
    auto [entity, index] = findProperty(m_entity, predicate.keyPath());
    if (entity == nullptr || !entity->isStored(index))
      return false;
    // Attributes marked indexed and stored links (foreign keys) have one.
    return entity->isAttribute(index) ? entity->attribute(index).indexed : true;
  }

  // The SQL of a key path ("t0."col""); joins a one-hop relationship once.
  // `target` gets the entity and index of the property named last.
  bool resolve(const QString& keyPath, QByteArray* column, bool* isRelationship, bool* isText = nullptr,
               std::pair<const ZPHEntityDescription*, int>* target = nullptr)
  {
    const QStringList parts = keyPath.split(u'.');
    if (parts.size() > 2)
      return false;
    auto [entity, index] = findProperty(m_entity, parts[0]);
    if (entity == nullptr || !(entity->isStored(index) || entity->isUnstoredToOne(index)))
      return false;
    if (parts.size() == 1) {
      if (target)
        *target = {entity, index};
      *column = columnExpression(entity, index, "t0");
      if (isRelationship)
        *isRelationship = entity->isRelationship(index);
      if (isText)
        *isText = entity->isAttribute(index) && entity->attribute(index).type == ZPHAttributeType::String;
      return true;
    }
    if (!entity->isRelationship(index))
      return false;
    const ZPHEntityDescription* destination = entity->destination(index);
    auto [targetEntity, targetIndex] = findProperty(destination, parts[1]);
    if (targetEntity == nullptr || !(targetEntity->isStored(targetIndex) || targetEntity->isUnstoredToOne(targetIndex)))
      return false;
    const QString joinKey = parts[0];
    QByteArray alias = m_joinAliases.value(joinKey);
    if (alias.isEmpty()) {
      alias = "t" + QByteArray::number(m_joinAliases.size() + 1);
      m_joinAliases.insert(joinKey, alias);
      const QByteArray on = entity->isStored(index)
                                ? alias + ".id = t0." + entity->quotedColumn(index)
                                : alias + "." + destination->quotedColumn(entity->inverseIndex(index)) + " = t0.id";
      m_joins += " LEFT JOIN " + destination->quotedTableName() + " " + alias + " ON " + on;
    }
    if (target)
      *target = {targetEntity, targetIndex};
    *column = columnExpression(targetEntity, targetIndex, alias);
    if (isRelationship)
      *isRelationship = targetEntity->isRelationship(targetIndex);
    if (isText)
      *isText = targetEntity->isAttribute(targetIndex) &&
                targetEntity->attribute(targetIndex).type == ZPHAttributeType::String;
    return true;
  }

  // A stored column, or for a link the other side keeps, the row that
  // points here.
  static QByteArray columnExpression(const ZPHEntityDescription* entity, int index, const QByteArray& alias)
  {
    if (entity->isStored(index))
      return alias + "." + entity->quotedColumn(index);
    const ZPHEntityDescription* destination = entity->destination(index);
    return "(SELECT x.id FROM " + destination->quotedTableName() + " x WHERE x." +
           destination->quotedColumn(entity->inverseIndex(index)) + " = " + alias + ".id LIMIT 1)";
  }

  bool compile(const ZPHPredicate& predicate, QByteArray* sql, ZPHError* error)
  {
    switch (predicate.kind()) {
      case ZPHPredicate::Kind::True:
        *sql = "1";
        return true;
      case ZPHPredicate::Kind::False:
        *sql = "0";
        return true;
      case ZPHPredicate::Kind::Not: {
        QByteArray inner;
        if (!compile(predicate.subpredicates().value(0), &inner, error))
          return false;
        // A comparison with null is unknown in SQL and false in memory.
        *sql = "(NOT coalesce(" + inner + ", 0))";
        return true;
      }
      case ZPHPredicate::Kind::And:
      case ZPHPredicate::Kind::Or: {
        const bool isAnd = predicate.kind() == ZPHPredicate::Kind::And;
        const QList<ZPHPredicate> children = predicate.subpredicates();
        if (children.isEmpty()) {
          *sql = isAnd ? "1" : "0";
          return true;
        }
        QByteArrayList parts;
        for (const ZPHPredicate& child : children) {
          QByteArray part;
          if (!compile(child, &part, error))
            return false;
          parts.append(part);
        }
        *sql = "(" + parts.join(isAnd ? " AND " : " OR ") + ")";
        return true;
      }
      case ZPHPredicate::Kind::Comparison:
        break;
    }
    QByteArray column;
    bool isText = false;
    if (!resolve(predicate.keyPath(), &column, nullptr, &isText))
      return ZPHSetError(error, keyPathError(m_entity->name(), predicate.keyPath()));
    if (!predicate.variableName().isEmpty()) {
      return ZPHSetError(
          error, ZPHObjectGraphError(
                     ZPHObjectGraphSQLiteError,
                     QStringLiteral("The predicate %1 has an unfilled variable.").arg(predicate.predicateFormat())));
    }
    const ZPHPredicate::Operator op = predicate.op();
    if (op == ZPHPredicate::Operator::In) {
      QVariantList values;
      for (const QVariant& value : predicate.value().toList()) {
        const QVariant comparable = ZPHComparableValue(value);
        if (comparable.isValid())
          values.append(comparable);
      }
      if (values.isEmpty()) {
        *sql = "0";
        return true;
      }
      if (values.size() <= MaxInlineListValues) {
        *sql = "(" + column + " IN (" + placeholders(values.size()) + "))";
        m_bindings.append(values);
        return true;
      }
      // One JSON array for the lot. JSON texts end at U+0000, so the rare
      // text that holds one keeps a parameter of its own.
      QByteArray json = "[";
      QVariantList ownParameters;
      for (const QVariant& value : std::as_const(values)) {
        if (value.typeId() == QMetaType::QString && value.toString().contains(QChar(0))) {
          ownParameters.append(value);
          continue;
        }
        if (json.size() > 1)
          json += ',';
        appendJSONValue(json, value);
      }
      json += ']';
      // A list of parameters takes a text column's affinity, turning numbers
      // into their text; a subquery's values do not, so the cast does it.
      *sql = "(" + column +
             (isText ? " IN (SELECT CAST(value AS TEXT) FROM json_each(?))" : " IN (SELECT value FROM json_each(?))");
      m_bindings.append(QString::fromUtf8(json));
      if (!ownParameters.isEmpty()) {
        *sql += " OR " + column + " IN (" + placeholders(ownParameters.size()) + ")";
        m_bindings.append(ownParameters);
      }
      *sql += ")";
      return true;
    }
    if (op == ZPHPredicate::Operator::Contains) {
      const ZPHPredicate::ComparisonOptions options = predicate.options();
      const QString folded = ZPHPredicate::foldedForComparison(predicate.value().toString(), options);
      if (folded.isEmpty()) {
        *sql = "0";  // an empty text is found nowhere
      } else if (!(options & ZPHPredicate::CaseInsensitive || options & ZPHPredicate::DiacriticInsensitive)) {
        *sql = "(instr(" + column + ", ?) > 0)";
        m_bindings.append(folded);
      } else {
        *sql = "zph_contains(" + column + ", ?, " + QByteArray::number(options.toInt()) + ")";
        m_bindings.append(folded);
      }
      return true;
    }
    const QVariant value = ZPHComparableValue(predicate.value());
    if (!value.isValid()) {
      if (op == ZPHPredicate::Operator::Equal)
        *sql = "(" + column + " IS NULL)";
      else if (op == ZPHPredicate::Operator::NotEqual)
        *sql = "(" + column + " IS NOT NULL)";
      else
        *sql = "0";
      return true;
    }
    static const char* const operators[] = {" = ", " IS NOT ", " < ", " <= ", " > ", " >= "};
    *sql = "(" + column + operators[int(op)] + "?)";
    m_bindings.append(value);
    return true;
  }

  QByteArray from() const { return " FROM " + ZPHQuotedIdentifier(m_entity->tableName()) + " t0" + m_joins; }
  QByteArray where() const { return m_where; }
  QByteArray tail() const { return m_tail; }
  // The sort key paths' SQL, in order (after build() with order and limit).
  const QByteArrayList& sortColumns() const { return m_sortColumns; }
  // The WHERE clause with one more condition and-ed to it.
  QByteArray whereAnd(const QByteArray& condition) const
  {
    return m_where.isEmpty() ? " WHERE " + condition : m_where + " AND " + condition;
  }
  int parameterCount() const { return int(m_bindings.size()); }
  void bind(ZPHSQLiteStatement& statement) const
  {
    for (int i = 0; i < m_bindings.size(); ++i) statement.bindVariant(i + 1, m_bindings.at(i));
  }

private:
  const ZPHEntityDescription* m_entity;
  QHash<QString, QByteArray> m_joinAliases;
  QByteArray m_joins;
  QByteArray m_where;
  QByteArray m_tail;
  QByteArrayList m_sortColumns;
  QVariantList m_bindings;
};

// The rows of a list as a JSON array, for "IN (SELECT value FROM json_each(?))".
QString jsonRowList(const QSet<qint64>& rows)
{
  QByteArray json = "[";
  for (const qint64 row : rows) {
    if (json.size() > 1)
      json += ',';
    json += QByteArray::number(row);
  }
  json += ']';
  return QString::fromLatin1(json);
}

// Every key path a predicate reads.
void collectKeyPaths(const ZPHPredicate& predicate, QStringList* keyPaths)
{
  switch (predicate.kind()) {
    case ZPHPredicate::Kind::Comparison:
      keyPaths->append(predicate.keyPath());
      return;
    case ZPHPredicate::Kind::And:
    case ZPHPredicate::Kind::Or:
    case ZPHPredicate::Kind::Not:
      for (const ZPHPredicate& child : predicate.subpredicates()) collectKeyPaths(child, keyPaths);
      return;
    default:
      return;
  }
}

}  // namespace

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
                                                      const ZPHManagedObjectID& objectID)
{
  std::unique_ptr<ZPHManagedObject> object(entity->factory() ? entity->factory()() : new ZPHManagedObject);
  object->m_context = this;
  object->m_entity = entity;
  object->m_objectID = objectID;
  object->m_values.resize(size_t(entity->propertyCount()));
  object->m_changed.assign(size_t(entity->propertyCount()), 0);
  ZPHManagedObject* raw = object.get();
  m_registered[objectID] = std::move(object);
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
  ZPHManagedObject* object = makeObject(entity, m_store->newTemporaryID(entity));
  object->m_values = entity->insertedValues();
  object->m_inserted = true;
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
  // The unsaved objects of each table.
  QHash<const ZPHEntityDescription*, std::vector<ZPHManagedObject*>> pendingByRoot;
  QSet<const ZPHManagedObject*> listed;
  for (const auto* list : {&m_inserted, &m_updated, &m_deleted}) {
    for (ZPHManagedObject* object : *list) {
      if (!listed.contains(object)) {
        listed.insert(object);
        pendingByRoot[object->m_entity->rootEntity()].push_back(object);
      }
    }
  }
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
  bool touched = pendingByRoot.contains(root);
  for (const Hop& hop : hops)
    touched = touched || pendingByRoot.contains(hop.owner->destination(hop.index)->rootEntity());
  if (!touched)
    return true;  // nothing unsaved that the request reads

  view->active = true;
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return false;
  QSet<qint64> rows;  // saved rows of the table whose answer may differ
  for (ZPHManagedObject* object : pendingByRoot.value(root)) {
    if (!object->m_objectID.isTemporaryID())
      rows.insert(object->m_objectID.rowID());
    else if (!object->m_deleted && object->m_entity->isKindOfEntity(entity))
      view->candidates.push_back(object);
  }
  for (const Hop& hop : hops) {
    const ZPHEntityDescription* destination = hop.owner->destination(hop.index);
    const auto pending = pendingByRoot.constFind(destination->rootEntity());
    if (pending == pendingByRoot.constEnd())
      continue;
    QSet<qint64> partners;
    for (ZPHManagedObject* object : pending.value()) {
      if (!object->m_objectID.isTemporaryID())
        partners.insert(object->m_objectID.rowID());
    }
    const int inverse = hop.owner->inverseIndex(hop.index);
    QByteArray sql;
    if (hop.owner->isStored(hop.index)) {
      sql = "SELECT id FROM " + root->quotedTableName() + " WHERE " + hop.owner->quotedColumn(hop.index) +
            " IN (SELECT value FROM json_each(?))";
    } else {
      sql = "SELECT " + destination->quotedColumn(inverse) + " FROM " + destination->quotedTableName() +
            " WHERE id IN (SELECT value FROM json_each(?)) AND " + destination->quotedColumn(inverse) + " IS NOT NULL";
      // And the partners the unsaved objects name now.
      for (ZPHManagedObject* object : pending.value()) {
        if (object->m_fault || !object->m_entity->isRelationship(inverse) ||
            object->m_entity->destination(inverse)->rootEntity() != root)
          continue;
        const QVariant& link = object->m_values[size_t(inverse)];
        if (link.isValid() && link.typeId() == qMetaTypeId<ZPHManagedObjectID>()) {
          const ZPHManagedObjectID partner = link.value<ZPHManagedObjectID>();
          if (!partner.isNull() && !partner.isTemporaryID())
            rows.insert(partner.rowID());
        }
      }
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
  // The values of an object in memory, row after row.
  const auto appendMemoryValues = [&](const ZPHManagedObject* object) {
    for (const QString& keyPath : valueKeyPaths) {
      const QVariant value = object->valueForKeyPath(keyPath);
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
  QList<ZPHAttributeType> valueTypes;
  if (values != nullptr) {
    for (const QString& keyPath : valueKeyPaths) {
      QByteArray column;
      bool isRelationship = false;
      std::pair<const ZPHEntityDescription*, int> target{nullptr, -1};
      if (!builder.resolve(keyPath, &column, &isRelationship, nullptr, &target) || isRelationship ||
          target.first == nullptr || !target.first->isAttribute(target.second)) {
        ZPHSetError(error, keyPathError(entity->name(), keyPath));
        return {};
      }
      columns += ", " + column;
      valueTypes.append(target.first->attribute(target.second).type);
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
      storedValues.append(statement.isNull(column) ? QVariant() : attributeValue(statement, column, valueTypes[i]));
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

bool ZPHManagedObjectContext::save(ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
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
  const bool ok = writeChanges(&writes, &permanent, error);
  if (writes.insertsDone == 0 && writes.updatesDone == 0 && writes.deletesDone == 0 && !ok)
    return false;
  const bool whole = ok;

  // Committed (all of it, or the slices before a failure): settle the
  // objects written.
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
  return whole;
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
                                           ZPHError* error)
{
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return false;
  // A save of the main context is small and goes in one transaction. A save
  // elsewhere (the store queue) may be large; while the store has a main
  // context, it goes in slices of whole groups of linked objects, each slice
  // committed once it has run a while or when another thread waits to
  // write, so no writer (above all the main thread) waits long for it. A
  // store without a main context (a migration's) has nobody to wait.
  const bool mayCommitInSlices = !isMainContext() && m_store->mainContext() != nullptr;
  std::vector<bool> groupEnds;
  if (mayCommitInSlices && writes->inserts.size() > size_t(RowsInOneChunkAtMost)) {
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
    m_store->endWriteTurn(db);
    holdingTurn = false;
    return true;
  };
  if (!begin())
    return false;

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

  QElapsedTimer slice;
  slice.start();
  // After a chunk: commits and begins the next slice when it is time.
  auto maybeEndSlice = [&](bool moreToCome) {
    if (!mayCommitInSlices || !moreToCome || (slice.elapsed() < SliceMilliseconds && !m_store->writeTurnIsWanted()))
      return true;
    if (!commit() || !begin())
      return false;
    writes->insertsDone = writes->insertsWritten;
    writes->updatesDone = writes->updatesWritten;
    writes->deletesDone = writes->deletesWritten;
    slice.restart();
    return true;
  };

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
      return false;
  }
  while (writes->updatesWritten < writes->updates.size()) {
    const size_t end = std::min(writes->updates.size(), writes->updatesWritten + size_t(RowsPerChunk));
    if (!writeUpdates(db, writes->updates, writes->updatesWritten, end, *permanent))
      return fail();
    writes->updatesWritten = end;
    if (!maybeEndSlice(writes->updatesWritten < writes->updates.size() || !writes->deletes.empty()))
      return false;
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
      return false;
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

void ZPHManagedObjectContext::forget(ZPHManagedObject* object)
{
  auto erase = [object](std::vector<ZPHManagedObject*>& list) {
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
  m_registered.clear();
  m_forgotten.clear();
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
  for (auto it = changes.updated.constBegin(); it != changes.updated.constEnd(); ++it) {
    ZPHManagedObject* object = registeredObject(it.key());
    if (object == nullptr || object->m_fault)
      continue;  // a fault reads the new values when it loads
    const ZPHEntityDescription* entity = object->m_entity;
    bool changed = false;
    for (auto value = it.value().constBegin(); value != it.value().constEnd(); ++value) {
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
      updatedIDs.append(it.key());
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
  for (ZPHManagedObject* object : m_inserted) pending.push_back(object);
  for (ZPHManagedObject* object : m_updated) pending.push_back(object);
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

bool ZPHManagedObjectContext::batchDeleteObjectsWithIDs(const QList<ZPHManagedObjectID>& objectIDs, ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();
  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return false;
  const ZPHManagedObjectModel* model = m_store->model();
  m_store->beginWriteTurn();
  if (!ZPHPersistentStore::beginImmediateTransaction(db)) {
    const ZPHError failure = db->lastError();
    m_store->endWriteTurn(db);
    return ZPHSetError(error, failure);
  }
  auto fail = [&]() {
    const ZPHError failure = db->lastError();
    db->exec("ROLLBACK");
    m_store->endWriteTurn(db);
    return ZPHSetError(error, failure);
  };

  // Runs `sql` with "%IN%" replaced by a list of up to 500 parameters, for
  // every slice of `rows`, handing each result row to `onRow`.
  auto forEachSlice = [&](const QByteArray& sql, const QList<qint64>& rows,
                          const std::function<void(ZPHSQLiteStatement&)>& onRow) {
    for (qsizetype start = 0; start < rows.size(); start += MaxParametersPerList) {
      const qsizetype count = std::min<qsizetype>(MaxParametersPerList, rows.size() - start);
      QByteArray text = sql;
      text.replace("%IN%", placeholders(count));
      ZPHSQLiteStatement statement = db->prepare(text);
      if (!statement.isValid())
        return false;
      for (qsizetype i = 0; i < count; ++i) statement.bindInt64(int(i + 1), rows.at(start + i));
      int rc;
      while ((rc = statement.step()) == SQLITE_ROW) {
        if (onRow)
          onRow(statement);
      }
      if (rc != SQLITE_DONE)
        return false;
    }
    return true;
  };

  // The rows to delete, per table: the given ones and, following cascade
  // rules, everything they take along.
  QHash<const ZPHEntityDescription*, QSet<qint64>> doomed;  // root -> rows
  QHash<const ZPHEntityDescription*, QList<qint64>> frontier;
  for (const ZPHManagedObjectID& objectID : objectIDs) {
    if (objectID.isNull() || objectID.isTemporaryID() || objectID.persistentStore() != m_store)
      continue;
    const ZPHEntityDescription* root = objectID.entity()->rootEntity();
    if (!doomed[root].contains(objectID.rowID())) {
      doomed[root].insert(objectID.rowID());
      frontier[root].append(objectID.rowID());
    }
  }
  while (!frontier.isEmpty()) {
    QHash<const ZPHEntityDescription*, QList<qint64>> next;
    for (auto it = frontier.constBegin(); it != frontier.constEnd(); ++it) {
      const ZPHEntityDescription* root = it.key();
      for (const ZPHEntityDescription* entity : root->selfAndDescendants()) {
        for (const ZPHRelationshipDescription& relationship : entity->declaredRelationships()) {
          if (relationship.deleteRule != ZPHDeleteRule::Cascade)
            continue;
          const int index = entity->indexOfProperty(relationship.name);
          const ZPHEntityDescription* destination = entity->destination(index);
          const ZPHEntityDescription* destinationRoot = destination->rootEntity();
          QByteArray sql;
          if (relationship.toMany || entity->isUnstoredToOne(index)) {
            const QString inverseColumn = destination->columnName(entity->inverseIndex(index));
            sql = "SELECT id FROM " + ZPHQuotedIdentifier(destination->tableName()) + " WHERE " +
                  ZPHQuotedIdentifier(inverseColumn) + " IN (%IN%)";
          } else {
            sql = "SELECT " + ZPHQuotedIdentifier(entity->columnName(index)) + " FROM " +
                  ZPHQuotedIdentifier(entity->tableName()) + " WHERE id IN (%IN%) AND " +
                  ZPHQuotedIdentifier(entity->columnName(index)) + " IS NOT NULL";
          }
          const bool ok = forEachSlice(sql, it.value(), [&](ZPHSQLiteStatement& row) {
            const qint64 rowID = row.columnInt64(0);
            if (!doomed[destinationRoot].contains(rowID)) {
              doomed[destinationRoot].insert(rowID);
              next[destinationRoot].append(rowID);
            }
          });
          if (!ok)
            return fail();
        }
      }
    }
    frontier.swap(next);
  }

  ZPHStoreChanges changes;
  // Exact identifiers of the rows that exist.
  for (auto it = doomed.constBegin(); it != doomed.constEnd(); ++it) {
    const ZPHEntityDescription* root = it.key();
    const bool hierarchy = root->hasHierarchy();
    const QByteArray sql = QByteArray("SELECT id") + (hierarchy ? ", _entity" : "") + " FROM " +
                           ZPHQuotedIdentifier(root->tableName()) + " WHERE id IN (%IN%)";
    const bool ok = forEachSlice(sql, it.value().values(), [&](ZPHSQLiteStatement& row) {
      const ZPHEntityDescription* entity = hierarchy ? model->entityForCode(int(row.columnInt64(1))) : root;
      if (entity)
        changes.deleted.append(ZPHManagedObjectID(m_store, entity, row.columnInt64(0)));
    });
    if (!ok)
      return fail();
  }
  // Links from surviving rows into the doomed ones are cleared, and reported;
  // so are the links that surviving rows kept through a doomed row's column.
  for (const ZPHEntityDescription* entity : model->entities()) {
    for (const ZPHRelationshipDescription& relationship : entity->declaredRelationships()) {
      const int index = entity->indexOfProperty(relationship.name);
      if (!entity->isStored(index))
        continue;
      const ZPHEntityDescription* destination = entity->destination(index);
      const int inverse = entity->inverseIndex(index);
      const auto own = doomed.constFind(entity->rootEntity());
      if (destination->isUnstoredToOne(inverse) && own != doomed.constEnd()) {
        const QSet<qint64>& partnersDoomed = doomed.value(destination->rootEntity());
        const bool ok = forEachSlice("SELECT " + entity->quotedColumn(index) + " FROM " + entity->quotedTableName() +
                                         " WHERE id IN (%IN%) AND " + entity->quotedColumn(index) + " IS NOT NULL",
                                     own.value().values(), [&](ZPHSQLiteStatement& row) {
                                       const qint64 partner = row.columnInt64(0);
                                       if (!partnersDoomed.contains(partner))
                                         changes.updated[ZPHManagedObjectID(m_store, destination, partner)].insert(
                                             relationship.inverseName, QVariant());
                                     });
        if (!ok)
          return fail();
      }
      const ZPHEntityDescription* destinationRoot = entity->destination(index)->rootEntity();
      const auto target = doomed.constFind(destinationRoot);
      if (target == doomed.constEnd())
        continue;
      const QSet<qint64>& ownDoomed = doomed.value(entity->rootEntity());
      const QByteArray column = ZPHQuotedIdentifier(entity->columnName(index));
      const QByteArray table = ZPHQuotedIdentifier(entity->tableName());
      const bool hierarchy = entity->hasHierarchy();
      const QList<qint64> rows = target.value().values();
      bool ok = forEachSlice(
          QByteArray("SELECT id") + (hierarchy ? ", _entity" : "") + " FROM " + table + " WHERE " + column +
              " IN (%IN%)",
          rows, [&](ZPHSQLiteStatement& row) {
            const qint64 rowID = row.columnInt64(0);
            if (ownDoomed.contains(rowID))
              return;
            const ZPHEntityDescription* rowEntity = hierarchy ? model->entityForCode(int(row.columnInt64(1))) : entity;
            if (rowEntity)
              changes.updated[ZPHManagedObjectID(m_store, rowEntity, rowID)].insert(relationship.name, QVariant());
          });
      ok =
          ok && forEachSlice("UPDATE " + table + " SET " + column + " = NULL WHERE " + column + " IN (%IN%)", rows, {});
      if (!ok)
        return fail();
    }
  }
  for (auto it = doomed.constBegin(); it != doomed.constEnd(); ++it) {
    if (!forEachSlice("DELETE FROM " + ZPHQuotedIdentifier(it.key()->tableName()) + " WHERE id IN (%IN%)",
                      it.value().values(), {}))
      return fail();
    if (!it.value().isEmpty() &&
        !m_store->recordDeletedRowIDs(db, it.key(), *std::max_element(it.value().begin(), it.value().end())))
      return fail();
  }
  if (!db->exec("COMMIT"))
    return fail();
  m_store->endWriteTurn(db);

  mergeChanges(changes);
  m_store->distributeChanges(this, changes, true);
  return true;
}
