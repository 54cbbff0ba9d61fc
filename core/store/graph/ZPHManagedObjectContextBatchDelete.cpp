#include "store/graph/ZPHManagedObjectContext.h"

#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHQueryBuilder.h"
#include "store/graph/ZPHSQLiteConnection.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>

using namespace ZPHObjectGraphSQL;

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
  m_store->noteDeletionsCommitted(this, changes.deleted);
  m_store->endWriteTurn(db);

  mergeChanges(changes);
  m_store->distributeChanges(this, changes, true);
  return true;
}
