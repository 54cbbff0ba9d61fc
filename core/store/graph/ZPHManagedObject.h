#pragma once

#include "store/graph/ZPHEntityDescription.h"
#include "store/graph/ZPHManagedObjectID.h"

#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QVarLengthArray>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

#include <functional>
#include <memory>
#include <vector>

class ZPHManagedObjectContext;

// One object of the graph, owned by its context and used on that context's
// thread only. Attribute values are read and written by key or, faster, by
// property index (ZPHEntityDescription::indexOfProperty). A to-one
// relationship holds the identifier of the related object and loads it on
// first use; a to-many relationship is fetched when asked for. Each change
// is tracked per property, so a save writes only what changed.
//
// Subclasses (made by their entity's factory) add typed accessors and the
// hooks below.
class ZPHManagedObject {
public:
  ZPHManagedObject();
  virtual ~ZPHManagedObject();
  ZPHManagedObject(const ZPHManagedObject&) = delete;
  ZPHManagedObject& operator=(const ZPHManagedObject&) = delete;

  const ZPHEntityDescription* entity() const { return m_entity; }
  ZPHManagedObjectID objectID() const { return m_objectID; }
  // The owning context; nullptr once the object was deleted and saved, or
  // deleted from the store by another context.
  ZPHManagedObjectContext* managedObjectContext() const { return m_context; }

  bool isInserted() const { return m_inserted; }
  bool isUpdated() const { return m_updated && !m_inserted && !m_deleted; }
  bool isDeleted() const { return m_deleted; }
  bool isFault() const { return m_fault; }
  // Still in a context and not deleted: an object a view may read.
  static bool isLive(const ZPHManagedObject* object)
  {
    return object != nullptr && object->managedObjectContext() != nullptr && !object->isDeleted();
  }
  bool hasChanges() const { return m_inserted || m_deleted || m_updated; }

  // By key: attributes answer their value; a to-one relationship the related
  // object (QVariant of ZPHManagedObject*, null when none); a to-many
  // relationship a QVariantList of ZPHManagedObject*. An unknown key answers
  // an invalid QVariant.
  QVariant value(const QString& key) const;
  // Attributes and to-one relationships (a ZPHManagedObject* or null).
  void setValue(const QString& key, const QVariant& value);
  // "metadata.read": one or more hops through to-one relationships; "self"
  // is the object's own identifier.
  QVariant valueForKeyPath(const QString& keyPath) const;

  // By property index. For a to-one relationship the value is the related
  // object's identifier (a QVariant of ZPHManagedObjectID) or null.
  const QVariant& primitiveValue(int index) const;
  void setPrimitiveValue(int index, const QVariant& value);

  // Relationships.
  ZPHManagedObject* relatedObject(int index) const;
  void setRelatedObject(int index, ZPHManagedObject* object);
  // The objects whose inverse to-one points here, in no particular order.
  QList<ZPHManagedObject*> relatedObjects(int index) const;

  // Changed properties since the last save (or insert) with their values.
  QVariantMap changedValues() const;
  bool isChanged(int index) const
  {
    return index >= 0 && index / 64 < m_changed.size() && (m_changed[index / 64] >> (index % 64)) & 1;
  }

  // Called for every changed property after the change, and after a merge
  // from another context changed it; the key is the property name.
  using ChangeHandler = std::function<void(ZPHManagedObject* object, const QString& key)>;
  int addChangeObserver(ChangeHandler handler);
  void removeChangeObserver(int token);

protected:
  // Hooks. awakeFromInsert() runs once after insertion (defaults are set);
  // willSave() before a save writes the object (changes made here are
  // saved); didSave() after the save committed.
  virtual void awakeFromInsert() {}
  virtual void willSave() {}
  virtual void didSave() {}
  // Runs after any property change (local or merged), before observers.
  virtual void didChangeValueForKey(const QString& key) { Q_UNUSED(key); }

  // Tells observers that a derived key changed (e.g. an article's "read").
  void notifyChange(const QString& key);

private:
  friend class ZPHManagedObjectContext;
  void ensureLoaded() const;
  // The value of a to-one link that the other side stores, until looked up.
  static const QVariant& unresolvedLink();
  static bool isUnresolvedLink(const QVariant& value);
  void markChanged(int index);
  void clearChanges();

  ZPHManagedObjectContext* m_context = nullptr;
  const ZPHEntityDescription* m_entity = nullptr;
  ZPHManagedObjectID m_objectID;
  std::vector<QVariant> m_values;
  QVarLengthArray<quint64, 1> m_changed;  // a bit per property (in place for up to 64)
  quint64 m_insertOrder = 0;              // in its context, while inserted
  bool m_fault = false;
  bool m_inserted = false;
  bool m_updated = false;
  bool m_deleted = false;
  struct Observers;
  std::unique_ptr<Observers> m_observers;
};

Q_DECLARE_METATYPE(ZPHManagedObject*)
