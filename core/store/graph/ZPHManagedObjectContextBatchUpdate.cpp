#include "store/graph/ZPHManagedObjectContext.h"

#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHQueryBuilder.h"
#include "store/graph/ZPHSQLiteConnection.h"

using namespace ZPHObjectGraphSQL;

bool ZPHManagedObjectContext::batchUpdateObjects(
    const QList<std::pair<QList<ZPHManagedObjectID>, QVariantMap>>& updates, ZPHError* error)
{
  ZPH_ASSERT_CONTEXT_THREAD(this);
  drainInbox();

  // Per entry and table: the rows, and the columns with their values (each
  // key checked against the entity of every object).
  struct Statement {
    QByteArray sql;
    QVariantList values;
    QSet<qint64> rows;
  };
  std::vector<Statement> statements;
  ZPHStoreChanges changes;
  for (const auto& [objectIDs, values] : updates) {
    QHash<const ZPHEntityDescription*, std::vector<ZPHManagedObjectID>> byEntity;
    for (const ZPHManagedObjectID& objectID : objectIDs) {
      if (!objectID.isNull() && !objectID.isTemporaryID() && objectID.persistentStore() == m_store)
        byEntity[objectID.entity()].push_back(objectID);
    }
    for (auto it = byEntity.constBegin(); it != byEntity.constEnd(); ++it) {
      const ZPHEntityDescription* entity = it.key();
      QVariantMap normalized;
      Statement statement;
      QByteArrayList assignments;
      for (auto value = values.constBegin(); value != values.constEnd(); ++value) {
        const int index = entity->indexOfProperty(value.key());
        if (index < 0 || !entity->isAttribute(index) || entity->columnPosition(index) < 0)
          continue;
        const QVariant stored = ZPHNormalizedAttributeValue(entity->attribute(index).type, value.value());
        normalized.insert(value.key(), stored);
        assignments.append(entity->quotedColumn(index) + " = ?");
        statement.values.append(stored);
      }
      if (assignments.isEmpty())
        continue;
      statement.sql = "UPDATE " + entity->quotedTableName() + " SET " + assignments.join(", ") +
                      " WHERE id IN (SELECT value FROM json_each(?))";
      QList<ZPHManagedObjectID> alike;
      alike.reserve(qsizetype(it.value().size()));
      for (const ZPHManagedObjectID& objectID : it.value()) {
        statement.rows.insert(objectID.rowID());
        alike.append(objectID);
      }
      changes.updatedAlike.append({std::move(alike), normalized});
      statements.push_back(std::move(statement));
    }
  }
  if (statements.empty())
    return true;

  ZPHSQLiteConnection* db = m_store->connection(error);
  if (db == nullptr)
    return false;
  m_store->beginWriteTurn();
  if (!ZPHPersistentStore::beginImmediateTransaction(db)) {
    const ZPHError failure = db->lastError();
    m_store->endWriteTurn(db);
    return ZPHSetError(error, failure);
  }
  for (const Statement& statement : statements) {
    ZPHSQLiteStatement update = db->prepare(statement.sql);
    bool ok = update.isValid();
    if (ok) {
      int parameter = 1;
      for (const QVariant& value : statement.values) update.bindVariant(parameter++, value);
      update.bindText(parameter, jsonRowList(statement.rows));
      ok = update.execute();
    }
    if (!ok) {
      const ZPHError failure = db->lastError();
      update = ZPHSQLiteStatement();
      db->exec("ROLLBACK");
      m_store->endWriteTurn(db);
      return ZPHSetError(error, failure);
    }
  }
  if (!db->exec("COMMIT")) {
    const ZPHError failure = db->lastError();
    db->exec("ROLLBACK");
    m_store->endWriteTurn(db);
    return ZPHSetError(error, failure);
  }
  m_store->endWriteTurn(db);

  mergeChanges(changes);
  m_store->distributeChanges(this, changes, false);
  return true;
}
