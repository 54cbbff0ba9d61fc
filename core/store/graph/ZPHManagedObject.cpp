#include "store/graph/ZPHManagedObject.h"

#include "store/graph/ZPHManagedObjectContext.h"

struct ZPHManagedObject::Observers {
  int nextToken = 1;
  std::vector<std::pair<int, ChangeHandler>> handlers;
};

ZPHManagedObject::ZPHManagedObject() = default;
ZPHManagedObject::~ZPHManagedObject() = default;

void ZPHManagedObject::ensureLoaded() const
{
  if (m_fault && m_context != nullptr)
    m_context->fulfillFault(const_cast<ZPHManagedObject*>(this));
}

const QVariant& ZPHManagedObject::unresolvedLink()
{
  static const QVariant unresolved = QVariant::fromValue(ZPHManagedObjectID());
  return unresolved;
}

bool ZPHManagedObject::isUnresolvedLink(const QVariant& value)
{
  // Asked on every read of a value: the type's id is looked up once.
  static const int linkType = qMetaTypeId<ZPHManagedObjectID>();
  return value.typeId() == linkType && value.value<ZPHManagedObjectID>().isNull();
}

const QVariant& ZPHManagedObject::primitiveValue(int index) const
{
  static const QVariant none;
  if (index < 0 || size_t(index) >= m_values.size())
    return none;
  // Reads too belong to the context's thread, loaded object or not.
  if (m_context)
    ZPH_ASSERT_CONTEXT_THREAD(m_context);
  ensureLoaded();
  const QVariant& value = m_values[size_t(index)];
  if (isUnresolvedLink(value) && m_context != nullptr)
    m_context->resolveUnstoredLink(const_cast<ZPHManagedObject*>(this), index);
  return value;
}

void ZPHManagedObject::setPrimitiveValue(int index, const QVariant& value)
{
  Q_ASSERT_X(m_entity && m_entity->isAttribute(index), Q_FUNC_INFO, "not an attribute");
  if (!m_entity || !m_entity->isAttribute(index) || m_deleted)
    return;
  if (m_context)
    ZPH_ASSERT_CONTEXT_THREAD(m_context);
  ensureLoaded();
  const QVariant normalized = ZPHNormalizedAttributeValue(m_entity->attribute(index).type, value);
  QVariant& slot = m_values[size_t(index)];
  if (slot.isValid() == normalized.isValid() && slot == normalized)
    return;
  slot = normalized;
  markChanged(index);
  if (m_inserted && m_context)
    m_context->noteInsertedValueChanged(this, index);
  notifyChange(m_entity->propertyName(index));
}

QVariant ZPHManagedObject::value(const QString& key) const
{
  if (!m_entity)
    return QVariant();
  const int index = m_entity->indexOfProperty(key);
  if (index < 0)
    return QVariant();
  if (m_entity->isAttribute(index))
    return primitiveValue(index);
  if (m_entity->relationship(index).toMany) {
    QVariantList list;
    for (ZPHManagedObject* object : relatedObjects(index)) list.append(QVariant::fromValue(object));
    return list;
  }
  ZPHManagedObject* related = relatedObject(index);
  return related ? QVariant::fromValue(related) : QVariant();
}

void ZPHManagedObject::setValue(const QString& key, const QVariant& value)
{
  if (!m_entity)
    return;
  const int index = m_entity->indexOfProperty(key);
  Q_ASSERT_X(index >= 0, Q_FUNC_INFO, "unknown key");
  if (index < 0)
    return;
  if (m_entity->isAttribute(index)) {
    setPrimitiveValue(index, value);
    return;
  }
  ZPHManagedObject* related = nullptr;
  if (value.typeId() == qMetaTypeId<ZPHManagedObject*>()) {
    related = value.value<ZPHManagedObject*>();
  } else if (value.typeId() == qMetaTypeId<ZPHManagedObjectID>()) {
    related = m_context ? m_context->objectWithID(value.value<ZPHManagedObjectID>()) : nullptr;
  } else if (value.isValid()) {
    Q_ASSERT_X(false, Q_FUNC_INFO, "a link is set with a ZPHManagedObject* or an identifier");
    return;
  }
  setRelatedObject(index, related);
}

QVariant ZPHManagedObject::valueForKeyPath(const QString& keyPath) const
{
  if (keyPath == QLatin1String("self"))
    return QVariant::fromValue(m_objectID);
  const qsizetype dot = keyPath.indexOf(u'.');
  if (dot < 0)
    return value(keyPath);
  if (!m_entity)
    return QVariant();
  const int index = m_entity->indexOfProperty(keyPath.left(dot));
  if (!m_entity->isRelationship(index) || m_entity->relationship(index).toMany)
    return QVariant();
  const ZPHManagedObject* related = relatedObject(index);
  return related ? related->valueForKeyPath(keyPath.mid(dot + 1)) : QVariant();
}

ZPHManagedObject* ZPHManagedObject::relatedObject(int index) const
{
  if (!m_entity || !m_entity->isRelationship(index) || m_entity->relationship(index).toMany || !m_context)
    return nullptr;
  const QVariant& link = primitiveValue(index);
  if (link.isNull())
    return nullptr;
  return m_context->objectWithID(link.value<ZPHManagedObjectID>());
}

void ZPHManagedObject::setRelatedObject(int index, ZPHManagedObject* object)
{
  Q_ASSERT_X(m_entity && m_entity->isRelationship(index) && !m_entity->relationship(index).toMany, Q_FUNC_INFO,
             "not a to-one relationship");
  if (!m_entity || !m_entity->isRelationship(index) || m_entity->relationship(index).toMany || m_deleted)
    return;
  if (m_context)
    ZPH_ASSERT_CONTEXT_THREAD(m_context);
  Q_ASSERT_X(object == nullptr || object->m_context == m_context, Q_FUNC_INFO, "objects of two contexts");
  ZPHManagedObject* previous = relatedObject(index);
  if (previous == object)
    return;
  const int inverse = m_entity->inverseIndex(index);
  const bool inverseToOne = !m_entity->destination(index)->relationship(inverse).toMany;
  // One-to-one: the old partners let go of both sides.
  if (inverseToOne) {
    if (previous != nullptr && previous->primitiveValue(inverse).value<ZPHManagedObjectID>() == m_objectID) {
      previous->m_values[size_t(inverse)] = QVariant();
      previous->markChanged(inverse);
      previous->notifyChange(m_entity->destination(index)->propertyName(inverse));
    }
    if (object != nullptr) {
      ZPHManagedObject* objectsPartner = object->relatedObject(inverse);
      if (objectsPartner != nullptr && objectsPartner != this) {
        objectsPartner->ensureLoaded();
        objectsPartner->m_values[size_t(index)] = QVariant();
        objectsPartner->markChanged(index);
        objectsPartner->notifyChange(m_entity->propertyName(index));
      }
      object->m_values[size_t(inverse)] = QVariant::fromValue(m_objectID);
      object->markChanged(inverse);
      object->notifyChange(object->m_entity->propertyName(inverse));
    }
  }
  ensureLoaded();
  m_values[size_t(index)] = object ? QVariant::fromValue(object->objectID()) : QVariant();
  markChanged(index);
  notifyChange(m_entity->propertyName(index));
}

QList<ZPHManagedObject*> ZPHManagedObject::relatedObjects(int index) const
{
  if (!m_entity || !m_entity->isRelationship(index) || !m_entity->relationship(index).toMany || !m_context)
    return {};
  return m_context->objectsRelatedTo(this, index);
}

QVariantMap ZPHManagedObject::changedValues() const
{
  QVariantMap changes;
  for (size_t i = 0; i < m_values.size(); ++i) {
    if (isChanged(int(i)))
      changes.insert(m_entity->propertyName(int(i)), m_values[i]);
  }
  return changes;
}

void ZPHManagedObject::markChanged(int index)
{
  m_changed[index / 64] |= quint64(1) << (index % 64);
  if (!m_inserted && !m_updated && m_context) {
    m_updated = true;
    m_context->noteUpdated(this);
  }
}

void ZPHManagedObject::clearChanges()
{
  std::fill(m_changed.begin(), m_changed.end(), 0);
  m_inserted = false;
  m_updated = false;
}

int ZPHManagedObject::addChangeObserver(ChangeHandler handler)
{
  if (!m_observers)
    m_observers = std::make_unique<Observers>();
  const int token = m_observers->nextToken++;
  m_observers->handlers.emplace_back(token, std::move(handler));
  return token;
}

void ZPHManagedObject::removeChangeObserver(int token)
{
  if (!m_observers)
    return;
  auto& handlers = m_observers->handlers;
  handlers.erase(std::remove_if(handlers.begin(), handlers.end(), [token](const auto& h) { return h.first == token; }),
                 handlers.end());
}

void ZPHManagedObject::notifyChange(const QString& key)
{
  didChangeValueForKey(key);
  if (!m_observers)
    return;
  // Copied: a handler may add or remove observers.
  const auto handlers = m_observers->handlers;
  for (const auto& handler : handlers) handler.second(this, key);
}
