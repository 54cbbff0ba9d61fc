#pragma once

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <functional>
#include <vector>

class ZPHManagedObject;
class ZPHManagedObjectModel;

// Storage type of an attribute and the value type it reads as.
enum class ZPHAttributeType {
  String,  // QString; null is null
  Int32,   // int
  Int64,   // qint64
  UInt64,  // quint64
  Double,  // double
  Bool,    // bool
  Date,    // QDateTime (UTC), stored as seconds since 1970
  Number,  // boxed boolean or integer (qint64), may be null
};

enum class ZPHDeleteRule {
  Nullify,   // the related objects lose their link
  Cascade,   // the related objects are deleted too
  NoAction,  // nothing is done (the caller keeps the graph consistent)
};

struct ZPHAttributeDescription {
  QString name;
  ZPHAttributeType type = ZPHAttributeType::String;
  QVariant defaultValue;   // a freshly inserted object reads this
  bool optional = true;    // a save of a null required value fails
  bool indexed = false;    // an index of its own
  bool transient = false;  // kept in memory, never written
};

struct ZPHRelationshipDescription {
  QString name;
  QString destinationEntityName;
  QString inverseName;  // required: every link is kept from both sides
  bool toMany = false;  // a to-many is the inverse of a to-one; ordered by fetch
  ZPHDeleteRule deleteRule = ZPHDeleteRule::Nullify;
};

// One entity of a model: its attributes and relationships, and where it sits
// in an entity hierarchy. All entities of a hierarchy share the table of the
// root, with an entity column telling them apart. A property's index (its
// slot in an object's value array) counts inherited properties first.
class ZPHEntityDescription {
public:
  using Factory = std::function<ZPHManagedObject*()>;

  explicit ZPHEntityDescription(const QString& name, const QString& parentName = QString(), bool abstract = false);

  QString name() const { return m_name; }
  QString parentName() const { return m_parentName; }
  bool isAbstract() const { return m_abstract; }

  // Declaration, before the model is finished.
  ZPHEntityDescription& addAttribute(const ZPHAttributeDescription& attribute);
  ZPHEntityDescription& addRelationship(const ZPHRelationshipDescription& relationship);
  // An index over several attributes, e.g. {"feedURL", "markedForDeletion"}.
  ZPHEntityDescription& addIndex(const QStringList& keys);
  // Makes the object of this entity (a subclass of ZPHManagedObject); inherited
  // by subentities that set none.
  ZPHEntityDescription& setFactory(Factory factory);

  // Valid once the model is finished.
  const ZPHManagedObjectModel* model() const { return m_model; }
  const ZPHEntityDescription* superentity() const { return m_super; }
  const ZPHEntityDescription* rootEntity() const { return m_root; }
  QList<const ZPHEntityDescription*> subentities() const { return m_subentities; }
  // The entity and every entity below it.
  QList<const ZPHEntityDescription*> selfAndDescendants() const;
  bool isKindOfEntity(const ZPHEntityDescription* other) const;
  bool hasHierarchy() const { return m_root->m_subentities.size() > 0; }
  int entityCode() const { return m_code; }
  QString tableName() const { return m_root->m_name; }

  // Every property, inherited first: attributes, then relationships.
  int propertyCount() const { return int(m_attributes.size() + m_relationships.size()); }
  int attributeCount() const { return int(m_attributes.size()); }
  // Property index by name, or -1.
  int indexOfProperty(const QString& name) const { return m_propertyIndex.value(name, -1); }
  bool isAttribute(int index) const { return index >= 0 && index < attributeCount(); }
  bool isRelationship(int index) const { return index >= attributeCount() && index < propertyCount(); }
  const ZPHAttributeDescription& attribute(int index) const { return m_attributes.at(index); }
  const ZPHRelationshipDescription& relationship(int index) const
  {
    return m_relationships.at(index - attributeCount());
  }
  QString propertyName(int index) const
  {
    return isAttribute(index) ? attribute(index).name : relationship(index).name;
  }
  // For relationships: the destination entity and the inverse's index there.
  const ZPHEntityDescription* destination(int index) const { return m_destinations.at(index - attributeCount()); }
  int inverseIndex(int index) const { return m_inverseIndexes.at(index - attributeCount()); }
  // The column that stores a property (attributes and stored to-one
  // relationships).
  QString columnName(int index) const;
  bool isStored(int index) const;
  // A to-one relationship whose link is kept by the other side's column: one
  // side of a one-to-one pair (the side of the entity declared later) reads
  // its link by looking up the other side.
  bool isUnstoredToOne(int index) const
  {
    return isRelationship(index) && !relationship(index).toMany && !m_storedRelationships.at(index - attributeCount());
  }

  // A property's place among the stored columns of the entity's table (the
  // union over its hierarchy, in schema order, without id and _entity), or -1
  // when it has no column.
  int columnPosition(int index) const { return m_columnPositions.value(index, -1); }

  // SQL made once: the quoted column of a property, the insert statement of
  // the entity (id, [_entity,] its stored columns in property order) and
  // the full-row column list "t0.id[, t0._entity], t0.…".
  const QByteArray& quotedColumn(int index) const { return m_quotedColumns.at(index); }
  const QByteArray& quotedTableName() const { return m_root->m_quotedTable; }
  const QByteArray& insertStatement() const { return m_insertStatement; }
  const QByteArray& rowColumns() const { return m_root->m_rowColumns; }
  // The values of a freshly inserted object (attribute defaults, no links).
  const std::vector<QVariant>& insertedValues() const { return m_insertedValues; }

  const Factory& factory() const { return m_factory; }
  QList<QStringList> indexes() const { return m_indexes; }
  // Declared relationships only (without inherited ones).
  const QList<ZPHRelationshipDescription>& declaredRelationships() const { return m_declaredRelationships; }

private:
  friend class ZPHManagedObjectModel;

  QString m_name;
  QString m_parentName;
  bool m_abstract = false;
  QList<ZPHAttributeDescription> m_declaredAttributes;
  QList<ZPHRelationshipDescription> m_declaredRelationships;
  QList<QStringList> m_indexes;
  Factory m_factory;

  const ZPHManagedObjectModel* m_model = nullptr;
  const ZPHEntityDescription* m_super = nullptr;
  const ZPHEntityDescription* m_root = nullptr;
  QList<const ZPHEntityDescription*> m_subentities;
  int m_code = 0;
  QList<ZPHAttributeDescription> m_attributes;
  QList<ZPHRelationshipDescription> m_relationships;
  QList<const ZPHEntityDescription*> m_destinations;
  QList<int> m_inverseIndexes;
  QList<bool> m_storedRelationships;
  QHash<QString, int> m_propertyIndex;
  QStringList m_tableColumns;  // root only
  QList<int> m_columnPositions;
  QList<QByteArray> m_quotedColumns;
  QByteArray m_quotedTable;  // root only
  QByteArray m_rowColumns;   // root only
  QByteArray m_insertStatement;
  std::vector<QVariant> m_insertedValues;
};

// The value in the attribute type's own form (QString, int, qint64, quint64,
// double, bool, QDateTime in UTC, qint64 for numbers); a null string, an
// invalid date and an invalid QVariant all become QVariant() (null).
QVariant ZPHNormalizedAttributeValue(ZPHAttributeType type, const QVariant& value);
