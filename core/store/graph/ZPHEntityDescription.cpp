#include "store/graph/ZPHEntityDescription.h"

ZPHEntityDescription::ZPHEntityDescription(const QString& name, const QString& parentName, bool abstract)
    : m_name(name), m_parentName(parentName), m_abstract(abstract)
{
}

ZPHEntityDescription& ZPHEntityDescription::addAttribute(const ZPHAttributeDescription& attribute)
{
  m_declaredAttributes.append(attribute);
  return *this;
}

ZPHEntityDescription& ZPHEntityDescription::addRelationship(const ZPHRelationshipDescription& relationship)
{
  m_declaredRelationships.append(relationship);
  return *this;
}

ZPHEntityDescription& ZPHEntityDescription::addIndex(const QStringList& keys)
{
  m_indexes.append(keys);
  return *this;
}

ZPHEntityDescription& ZPHEntityDescription::setFactory(Factory factory)
{
  m_factory = std::move(factory);
  return *this;
}

QList<const ZPHEntityDescription*> ZPHEntityDescription::selfAndDescendants() const
{
  QList<const ZPHEntityDescription*> all{this};
  for (const ZPHEntityDescription* sub : m_subentities) all.append(sub->selfAndDescendants());
  return all;
}

bool ZPHEntityDescription::isKindOfEntity(const ZPHEntityDescription* other) const
{
  for (const ZPHEntityDescription* entity = this; entity != nullptr; entity = entity->m_super) {
    if (entity == other)
      return true;
  }
  return false;
}

QString ZPHEntityDescription::columnName(int index) const
{
  if (isAttribute(index))
    return attribute(index).name;
  return relationship(index).name + QStringLiteral("_id");
}

bool ZPHEntityDescription::isStored(int index) const
{
  if (isAttribute(index))
    return !attribute(index).transient;
  return isRelationship(index) && m_storedRelationships.value(index - attributeCount(), false);
}

QVariant ZPHNormalizedAttributeValue(ZPHAttributeType type, const QVariant& value)
{
  if (!value.isValid() || value.isNull())
    return QVariant();
  switch (type) {
    case ZPHAttributeType::String: {
      if (value.typeId() == QMetaType::QString)
        return value.toString().isNull() ? QVariant() : value;
      const QString text = value.toString();
      return text.isNull() ? QVariant() : QVariant(text);
    }
    case ZPHAttributeType::Int32:
      return QVariant(value.toInt());
    case ZPHAttributeType::Int64:
    case ZPHAttributeType::Number:
      return QVariant(value.typeId() == QMetaType::Bool ? qint64(value.toBool() ? 1 : 0) : value.toLongLong());
    case ZPHAttributeType::UInt64:
      return QVariant(value.toULongLong());
    case ZPHAttributeType::Double:
      return QVariant(value.toDouble());
    case ZPHAttributeType::Bool:
      return QVariant(value.toBool());
    case ZPHAttributeType::Date: {
      const QDateTime date = value.toDateTime();
      return date.isValid() ? QVariant(date.toUTC()) : QVariant();
    }
  }
  return value;
}
