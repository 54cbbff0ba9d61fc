#pragma once

// The object graph's own SQL, shared by the context's fetch, save and
// batch-delete code: the query builder that turns a fetch request into
// SQL, and the small helpers around it. Not for use outside store/graph/.

#include "platform/ZPHError.h"
#include "store/graph/ZPHEntityDescription.h"
#include "store/graph/ZPHFetchRequest.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHPredicate.h"

#include <QtCore/QByteArray>
#include <QtCore/QByteArrayList>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <utility>

class ZPHSQLiteStatement;

namespace ZPHObjectGraphSQL {

// Bound parameters of one statement stay below this many per IN list.
constexpr int MaxParametersPerList = 500;

ZPHError keyPathError(const QString& entity, const QString& keyPath);

// The entity (or a subentity) that declares a property, with its index.
std::pair<const ZPHEntityDescription*, int> findProperty(const ZPHEntityDescription* entity, const QString& name);

QByteArray placeholders(qsizetype count);

// A stored attribute's value as objects hold it (the column is not null).
QVariant attributeValue(ZPHSQLiteStatement& row, int column, ZPHAttributeType type);

// The rows of a list as a JSON array, for "IN (SELECT value FROM json_each(?))".
QString jsonRowList(const QSet<qint64>& rows);

// Every key path a predicate reads.
void collectKeyPaths(const ZPHPredicate& predicate, QStringList* keyPaths);

// SQL for a fetch: FROM/JOIN/WHERE/ORDER BY pieces and their parameters.
class QueryBuilder {
public:
  QueryBuilder(const ZPHEntityDescription* entity) : m_entity(entity) {}

  bool build(const ZPHFetchRequest& request, bool withOrderAndLimit, ZPHError* error);

  // True when the predicate, or one of its and-ed parts, compares a column
  // of the entity's table that has an index of its own for equality.
  bool hasIndexedEquality(const ZPHPredicate& predicate) const;

  // The SQL of a key path ("t0."col""); joins a one-hop relationship once.
  // `target` gets the entity and index of the property named last.
  bool resolve(const QString& keyPath, QByteArray* column, bool* isRelationship, bool* isText = nullptr,
               std::pair<const ZPHEntityDescription*, int>* target = nullptr);

  // A stored column, or for a link the other side keeps, the row that
  // points here.
  static QByteArray columnExpression(const ZPHEntityDescription* entity, int index, const QByteArray& alias);

  bool compile(const ZPHPredicate& predicate, QByteArray* sql, ZPHError* error);

  QByteArray from() const { return " FROM " + ZPHQuotedIdentifier(m_entity->tableName()) + " t0" + m_joins; }
  QByteArray where() const { return m_where; }
  QByteArray tail() const { return m_tail; }
  // The sort key paths' SQL, in order (after build() with order and limit).
  const QByteArrayList& sortColumns() const { return m_sortColumns; }
  // The WHERE clause with one more condition and-ed to it.
  QByteArray whereAnd(const QByteArray& condition) const;
  int parameterCount() const { return int(m_bindings.size()); }
  void bind(ZPHSQLiteStatement& statement) const;

private:
  const ZPHEntityDescription* m_entity;
  QHash<QString, QByteArray> m_joinAliases;
  QByteArray m_joins;
  QByteArray m_where;
  QByteArray m_tail;
  QByteArrayList m_sortColumns;
  QVariantList m_bindings;
};

}  // namespace ZPHObjectGraphSQL
