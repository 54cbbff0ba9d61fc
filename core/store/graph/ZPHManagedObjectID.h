#pragma once

#include "store/graph/ZPHEntityDescription.h"

#include <QtCore/QHashFunctions>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QUrl>

class ZPHPersistentStore;

// Names one object of a store, stable across threads and contexts: its
// entity and its row. Identifiers compare by entity hierarchy and row, so an
// identifier made with a superentity names the same object. An object inserted and not yet saved has a temporary
// identifier (isTemporaryID()) that the first save replaces. Plain value;
// copy it freely between threads.
class ZPHManagedObjectID {
public:
  ZPHManagedObjectID() = default;
  ZPHManagedObjectID(const ZPHPersistentStore* store, const ZPHEntityDescription* entity, qint64 key)
      : m_store(store), m_entity(entity), m_key(key)
  {
  }

  bool isNull() const { return m_entity == nullptr; }
  bool isTemporaryID() const { return m_key < 0; }
  const ZPHEntityDescription* entity() const { return m_entity; }
  const ZPHPersistentStore* persistentStore() const { return m_store; }
  // The row id of a saved object; negative for a temporary identifier.
  qint64 rowID() const { return m_key; }

  // "x-zph-store://<store identifier>/<entity>/p<row>" ("t<n>" while temporary).
  QUrl URIRepresentation() const;

  friend bool operator==(const ZPHManagedObjectID& a, const ZPHManagedObjectID& b)
  {
    return a.m_key == b.m_key && a.root() == b.root() && a.m_store == b.m_store;
  }
  friend bool operator!=(const ZPHManagedObjectID& a, const ZPHManagedObjectID& b) { return !(a == b); }
  friend size_t qHash(const ZPHManagedObjectID& id, size_t seed = 0) noexcept
  {
    return qHashMulti(seed, id.m_key, id.root());
  }

private:
  const ZPHEntityDescription* root() const { return m_entity ? m_entity->rootEntity() : nullptr; }

  const ZPHPersistentStore* m_store = nullptr;
  const ZPHEntityDescription* m_entity = nullptr;
  qint64 m_key = 0;
};

// Moved by its bytes: a QVariant holds it in place, without an allocation
// (every link between objects is one).
Q_DECLARE_TYPEINFO(ZPHManagedObjectID, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(ZPHManagedObjectID)
