#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <any>
#include <atomic>
#include <functional>
#include <memory>

class ZPHEntityMigrationPolicy;
class ZPHManagedObject;
class ZPHManagedObjectContext;
class ZPHManagedObjectModel;
class ZPHMigrationManager;

// How the objects of one source entity become objects of a destination
// entity: by name, with a policy that does the work (the default policy
// copies every attribute the two entities share by name, and every to-one
// link whose target was migrated too).
struct ZPHEntityMapping {
  QString name;  // e.g. "ArticleToArticle"
  QString sourceEntityName;
  QString destinationEntityName;
  // Free-form; the article policy reads "sourceModelVersion" and
  // "destinationModelVersion".
  QVariantMap userInfo;
  // Makes the policy for one migration; empty for the default policy.
  std::function<std::unique_ptr<ZPHEntityMigrationPolicy>()> makePolicy;
};

// The metadata key with which a migration marks the store file it made as
// complete ("migrationComplete" = "1").
extern const QString ZPHMigrationCompleteKey;

// The mappings of one step from a model version to the next.
struct ZPHMappingModel {
  QList<ZPHEntityMapping> entityMappings;
};

// The work done for each object of an entity mapping. Subclasses call the
// base first and add to what it did.
class ZPHEntityMigrationPolicy {
public:
  virtual ~ZPHEntityMigrationPolicy() = default;

  // Inserts the destination object for `source` and copies the attributes
  // both entities have; associates the two in the manager.
  virtual bool createDestinationInstancesForSourceInstance(ZPHManagedObject* source, const ZPHEntityMapping& mapping,
                                                           ZPHMigrationManager* manager, ZPHError* error);
  // Sets the destination object's to-one links to the destination objects
  // of its source's targets.
  virtual bool createRelationshipsForDestinationInstance(ZPHManagedObject* destination, const ZPHEntityMapping& mapping,
                                                         ZPHMigrationManager* manager, ZPHError* error);
};

// Copies a store of one model version into a new store file of the next
// version, entity mapping by entity mapping, in one transaction on the
// destination. The source file is only read. Runs on one thread (the one
// that calls migrateStore); cancelMigrationWithError() may come from any
// thread and ends the migration at its next object.
class ZPHMigrationManager {
public:
  ZPHMigrationManager(const ZPHManagedObjectModel* sourceModel, const ZPHManagedObjectModel* destinationModel);
  ~ZPHMigrationManager();
  ZPHMigrationManager(const ZPHMigrationManager&) = delete;
  ZPHMigrationManager& operator=(const ZPHMigrationManager&) = delete;

  const ZPHManagedObjectModel* sourceModel() const { return m_sourceModel; }
  const ZPHManagedObjectModel* destinationModel() const { return m_destinationModel; }

  // Any file at destinationPath is replaced. On success both files are
  // whole without side files (the source's log written into it), and the
  // destination carries ZPHMigrationCompleteKey. On failure or cancel the
  // destination file may be left behind; the caller deletes it.
  bool migrateStore(const QString& sourcePath, const QString& destinationPath, const ZPHMappingModel& mapping,
                    ZPHError* error);

  // 0 to 1 over the whole migration.
  float migrationProgress() const { return m_progress.load(); }
  // Called on the migrating thread with the old and the new progress at
  // every change (the stand-in for observing "migrationProgress").
  void setProgressObserver(std::function<void(float oldValue, float newValue)> observer);

  void cancelMigrationWithError(const ZPHError& error);

  // While a migration runs.
  ZPHManagedObjectContext* sourceContext() const { return m_sourceContext; }
  ZPHManagedObjectContext* destinationContext() const { return m_destinationContext; }
  void associateSourceInstance(ZPHManagedObject* source, ZPHManagedObject* destination,
                               const ZPHEntityMapping& mapping);
  // The destination objects made for a source object by a mapping, in the
  // order made.
  QList<ZPHManagedObject*> destinationInstancesForEntityMappingNamed(const QString& mappingName,
                                                                     ZPHManagedObject* source) const;
  // The destination objects made from any source object, by any mapping.
  QList<ZPHManagedObject*> destinationInstancesForSourceInstance(ZPHManagedObject* source) const;
  ZPHManagedObject* sourceInstanceForDestinationInstance(ZPHManagedObject* destination) const;

  // Free-form values for the policies of one migration.
  QHash<QString, std::any>& userInfo() { return m_userInfo; }

private:
  void setProgress(float value);
  bool isCancelled(ZPHError* error) const;

  const ZPHManagedObjectModel* m_sourceModel;
  const ZPHManagedObjectModel* m_destinationModel;
  std::atomic<float> m_progress{0.0f};
  std::function<void(float, float)> m_progressObserver;
  mutable QMutex m_cancelMutex;
  ZPHError m_cancelError;
  ZPHManagedObjectContext* m_sourceContext = nullptr;
  ZPHManagedObjectContext* m_destinationContext = nullptr;
  QHash<QPair<QString, ZPHManagedObject*>, QList<ZPHManagedObject*>> m_destinations;
  QHash<ZPHManagedObject*, QList<ZPHManagedObject*>> m_allDestinations;
  QHash<ZPHManagedObject*, ZPHManagedObject*> m_sources;
  QHash<QString, std::any> m_userInfo;
};
