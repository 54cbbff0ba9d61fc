#include "store/graph/ZPHManagedObjectModel.h"

#include "platform/ZPHLog.h"

#include <QtCore/QSet>

QByteArray ZPHQuotedIdentifier(const QString& name)
{
  QByteArray quoted = name.toUtf8();
  quoted.replace('"', "\"\"");
  return '"' + quoted + '"';
}

ZPHManagedObjectModel::ZPHManagedObjectModel(int versionNumber) : m_versionNumber(versionNumber) {}

ZPHManagedObjectModel::~ZPHManagedObjectModel() = default;

ZPHEntityDescription& ZPHManagedObjectModel::addEntity(const QString& name, const QString& parentName, bool abstract)
{
  Q_ASSERT_X(!m_finished, Q_FUNC_INFO, "model already finished");
  Q_ASSERT_X(!m_byName.contains(name), Q_FUNC_INFO, "entity declared twice");
  m_entities.push_back(std::make_unique<ZPHEntityDescription>(name, parentName, abstract));
  ZPHEntityDescription* entity = m_entities.back().get();
  m_byName.insert(name, entity);
  return *entity;
}

const ZPHEntityDescription* ZPHManagedObjectModel::entityForCode(int code) const
{
  if (code < 0 || code >= int(m_entities.size()))
    return nullptr;
  return m_entities[size_t(code)].get();
}

QList<const ZPHEntityDescription*> ZPHManagedObjectModel::entities() const
{
  QList<const ZPHEntityDescription*> all;
  for (const auto& entity : m_entities) all.append(entity.get());
  return all;
}

bool ZPHManagedObjectModel::finish()
{
  if (m_finished)
    return true;
  // Hierarchy and inherited properties, in declaration order.
  for (size_t i = 0; i < m_entities.size(); ++i) {
    ZPHEntityDescription* entity = m_entities[i].get();
    entity->m_tableColumns.clear();
    entity->m_subentities.clear();
    entity->m_model = this;
    entity->m_code = int(i);
    entity->m_attributes.clear();
    entity->m_relationships.clear();
    if (!entity->m_parentName.isEmpty()) {
      ZPHEntityDescription* parent = m_byName.value(entity->m_parentName);
      if (parent == nullptr || parent->m_model != this) {
        qCCritical(zphStore) << "entity" << entity->m_name << "names an unknown or later superentity"
                             << entity->m_parentName;
        return false;
      }
      entity->m_super = parent;
      entity->m_root = parent->m_root;
      parent->m_subentities.append(entity);
      entity->m_attributes = parent->m_attributes;
      entity->m_relationships = parent->m_relationships;
      if (!entity->m_factory)
        entity->m_factory = parent->m_factory;
    } else {
      entity->m_root = entity;
    }
    entity->m_attributes.append(entity->m_declaredAttributes);
    entity->m_relationships.append(entity->m_declaredRelationships);
  }
  // Property indexes, then destinations and inverses.
  for (const auto& entity : m_entities) {
    entity->m_propertyIndex.clear();
    for (int i = 0; i < entity->propertyCount(); ++i) entity->m_propertyIndex.insert(entity->propertyName(i), i);
  }
  for (const auto& entity : m_entities) {
    entity->m_destinations.clear();
    entity->m_inverseIndexes.clear();
    entity->m_storedRelationships.clear();
    for (const ZPHRelationshipDescription& relationship : std::as_const(entity->m_relationships)) {
      const ZPHEntityDescription* destination = m_byName.value(relationship.destinationEntityName);
      const int inverse = destination ? destination->indexOfProperty(relationship.inverseName) : -1;
      if (destination == nullptr || !destination->isRelationship(inverse)) {
        qCCritical(zphStore) << "relationship" << entity->m_name << relationship.name
                             << "has no destination or inverse";
        return false;
      }
      if (relationship.toMany && destination->relationship(inverse).toMany) {
        qCCritical(zphStore) << "many-to-many relationship" << entity->m_name << relationship.name
                             << "is not supported";
        return false;
      }
      entity->m_destinations.append(destination);
      entity->m_inverseIndexes.append(inverse);
      // A link is stored once: on the to-one side of a one-to-many, and on
      // the earlier-declared side of a one-to-one.
      bool stored = !relationship.toMany;
      if (stored && !destination->relationship(inverse).toMany) {
        const int ownCode = entity->m_root->m_code;
        const int otherCode = destination->m_root->m_code;
        stored = ownCode < otherCode || (ownCode == otherCode && relationship.name < relationship.inverseName);
      }
      entity->m_storedRelationships.append(stored);
    }
  }
  // Table columns: the union over each hierarchy, in declaration order.
  for (const auto& entity : m_entities) {
    ZPHEntityDescription* root = const_cast<ZPHEntityDescription*>(entity->m_root);
    for (int i = 0; i < entity->propertyCount(); ++i) {
      if (entity->isStored(i) && !root->m_tableColumns.contains(entity->columnName(i)))
        root->m_tableColumns.append(entity->columnName(i));
    }
  }
  for (const auto& entity : m_entities) {
    entity->m_columnPositions.clear();
    for (int i = 0; i < entity->propertyCount(); ++i) {
      entity->m_columnPositions.append(
          entity->isStored(i) ? int(entity->m_root->m_tableColumns.indexOf(entity->columnName(i))) : -1);
    }
  }
  // SQL text used on every save and fetch.
  for (const auto& entity : m_entities) {
    if (entity->m_root == entity.get()) {
      entity->m_quotedTable = ZPHQuotedIdentifier(entity->m_name);
      entity->m_rowColumns = "t0.id";
      if (!entity->m_subentities.isEmpty())
        entity->m_rowColumns += ", t0._entity";
      for (const QString& column : std::as_const(entity->m_tableColumns))
        entity->m_rowColumns += ", t0." + ZPHQuotedIdentifier(column);
    }
  }
  for (const auto& entity : m_entities) {
    entity->m_quotedColumns.clear();
    QByteArray columns = "id";
    QByteArray values = "?";
    if (entity->hasHierarchy()) {
      columns += ", _entity";
      values += ", " + QByteArray::number(entity->m_code);
    }
    for (int i = 0; i < entity->propertyCount(); ++i) {
      entity->m_quotedColumns.append(ZPHQuotedIdentifier(entity->columnName(i)));
      if (entity->m_columnPositions.at(i) >= 0) {
        columns += ", " + entity->m_quotedColumns.last();
        values += ", ?";
      }
    }
    entity->m_insertedValues.assign(size_t(entity->propertyCount()), QVariant());
    for (int i = 0; i < entity->attributeCount(); ++i)
      entity->m_insertedValues[size_t(i)] =
          ZPHNormalizedAttributeValue(entity->attribute(i).type, entity->attribute(i).defaultValue);
    entity->m_insertStatement =
        "INSERT OR ROLLBACK INTO " + entity->m_root->m_quotedTable + " (" + columns + ") VALUES (" + values + ")";
  }
  m_finished = true;
  return true;
}

QHash<QString, QByteArray> ZPHManagedObjectModel::indexStatements() const
{
  // "CREATE INDEX "name" ON ..." as schemaStatements() writes them.
  QHash<QString, QByteArray> indexes;
  for (const QByteArray& statement : schemaStatements()) {
    if (!statement.startsWith("CREATE INDEX \""))
      continue;
    const qsizetype from = 14;
    qsizetype at = from;
    QByteArray name;
    while (at < statement.size()) {
      if (statement.at(at) == '"') {
        if (at + 1 < statement.size() && statement.at(at + 1) == '"') {
          name += '"';
          at += 2;
          continue;
        }
        break;
      }
      name += statement.at(at++);
    }
    indexes.insert(QString::fromUtf8(name), statement);
  }
  return indexes;
}

QStringList ZPHManagedObjectModel::tableNames() const
{
  QStringList names;
  for (const auto& entity : m_entities) {
    if (entity->m_super == nullptr)
      names.append(entity->m_name);
  }
  return names;
}

QByteArrayList ZPHManagedObjectModel::schemaStatements() const
{
  Q_ASSERT_X(m_finished, Q_FUNC_INFO, "model not finished");
  QByteArrayList statements;
  for (const auto& root : m_entities) {
    if (root->m_super != nullptr)
      continue;
    const QByteArray table = ZPHQuotedIdentifier(root->m_name);
    QByteArrayList columns{"id INTEGER PRIMARY KEY"};
    QByteArrayList indexes;
    const bool hierarchy = !root->m_subentities.isEmpty();
    if (hierarchy) {
      columns.append("_entity INTEGER NOT NULL");
      indexes.append("CREATE INDEX " + ZPHQuotedIdentifier(root->m_name + QStringLiteral("__entity")) + " ON " + table +
                     " (_entity)");
    }
    QSet<QString> seen;
    for (const ZPHEntityDescription* entity : root->selfAndDescendants()) {
      for (int i = 0; i < entity->propertyCount(); ++i) {
        if (!entity->isStored(i))
          continue;
        const QString column = entity->columnName(i);
        if (seen.contains(column))
          continue;
        seen.insert(column);
        QByteArray definition = ZPHQuotedIdentifier(column);
        bool indexed = false;
        if (entity->isAttribute(i)) {
          switch (entity->attribute(i).type) {
            case ZPHAttributeType::String:
              definition += " TEXT";
              break;
            case ZPHAttributeType::Double:
            case ZPHAttributeType::Date:
              definition += " REAL";
              break;
            default:
              definition += " INTEGER";
              break;
          }
          indexed = entity->attribute(i).indexed;
        } else {
          // The store keeps the link even when the other side goes first in
          // a transaction; the delete rules themselves are applied by the
          // contexts, which know every object they touch.
          const ZPHEntityDescription* destination = entity->destination(i);
          definition += " INTEGER REFERENCES " + ZPHQuotedIdentifier(destination->tableName()) +
                        "(id) ON DELETE SET NULL DEFERRABLE INITIALLY DEFERRED";
          indexed = true;
        }
        columns.append(definition);
        if (indexed) {
          indexes.append("CREATE INDEX " + ZPHQuotedIdentifier(root->m_name + QStringLiteral("_") + column) + " ON " +
                         table + " (" + ZPHQuotedIdentifier(column) + ")");
        }
      }
      for (const QStringList& keys : entity->m_indexes) {
        QByteArrayList quoted;
        for (const QString& key : keys) {
          const int index = entity->indexOfProperty(key);
          quoted.append(ZPHQuotedIdentifier(index >= 0 ? entity->columnName(index) : key));
        }
        indexes.append("CREATE INDEX " + ZPHQuotedIdentifier(root->m_name + QStringLiteral("_") + keys.join(u'_')) +
                       " ON " + table + " (" + quoted.join(", ") + ")");
      }
    }
    statements.append("CREATE TABLE " + table + " (" + columns.join(", ") + ")");
    statements.append(indexes);
  }
  return statements;
}
