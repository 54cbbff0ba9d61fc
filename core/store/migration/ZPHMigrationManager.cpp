#include "store/migration/ZPHMigrationManager.h"

#include "platform/ZPHLog.h"
#include "store/graph/ZPHManagedObject.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "store/graph/ZPHPersistentStore.h"

#include <QtCore/QFile>
#include <QtCore/QMutexLocker>

#include <cmath>

const QString ZPHMigrationCompleteKey = QStringLiteral("migrationComplete");

namespace {

// Progress moves in steps of a thousandth, so observers hear of each step
// once and not of every object.
float quantized(float value) { return std::floor(std::clamp(value, 0.0f, 1.0f) * 1000.0f) / 1000.0f; }

}  // namespace

// ------------------------------------------------------------------ policy

bool ZPHEntityMigrationPolicy::createDestinationInstancesForSourceInstance(ZPHManagedObject* source,
                                                                           const ZPHEntityMapping& mapping,
                                                                           ZPHMigrationManager* manager,
                                                                           ZPHError* error)
{
  ZPHManagedObject* destination = manager->destinationContext()->insertNewObject(mapping.destinationEntityName);
  if (destination == nullptr) {
    return ZPHSetError(
        error, ZPHObjectGraphError(ZPHObjectGraphValidationError,
                                   QStringLiteral("No entity %1 to migrate to.").arg(mapping.destinationEntityName)));
  }
  const ZPHEntityDescription* to = destination->entity();
  const ZPHEntityDescription* from = source->entity();
  for (int i = 0; i < to->attributeCount(); ++i) {
    const ZPHAttributeDescription& attribute = to->attribute(i);
    if (attribute.transient)
      continue;
    const int sourceIndex = from->indexOfProperty(attribute.name);
    if (from->isAttribute(sourceIndex) && !from->attribute(sourceIndex).transient)
      destination->setPrimitiveValue(i, source->primitiveValue(sourceIndex));
  }
  manager->associateSourceInstance(source, destination, mapping);
  return true;
}

bool ZPHEntityMigrationPolicy::createRelationshipsForDestinationInstance(ZPHManagedObject* destination,
                                                                         const ZPHEntityMapping& mapping,
                                                                         ZPHMigrationManager* manager, ZPHError* error)
{
  Q_UNUSED(mapping);
  Q_UNUSED(error);
  ZPHManagedObject* source = manager->sourceInstanceForDestinationInstance(destination);
  if (source == nullptr)
    return true;
  const ZPHEntityDescription* to = destination->entity();
  const ZPHEntityDescription* from = source->entity();
  // To-many links are the inverses of to-one links: setting every to-one
  // side sets them all.
  for (int i = to->attributeCount(); i < to->propertyCount(); ++i) {
    if (to->relationship(i).toMany)
      continue;
    const int sourceIndex = from->indexOfProperty(to->relationship(i).name);
    if (!from->isRelationship(sourceIndex) || from->relationship(sourceIndex).toMany)
      continue;
    ZPHManagedObject* target = source->relatedObject(sourceIndex);
    if (target == nullptr)
      continue;
    const QList<ZPHManagedObject*> migrated = manager->destinationInstancesForSourceInstance(target);
    for (ZPHManagedObject* candidate : migrated) {
      if (candidate->entity()->isKindOfEntity(to->destination(i))) {
        if (destination->relatedObject(i) != candidate)
          destination->setRelatedObject(i, candidate);
        break;
      }
    }
  }
  return true;
}

// ----------------------------------------------------------------- manager

ZPHMigrationManager::ZPHMigrationManager(const ZPHManagedObjectModel* sourceModel,
                                         const ZPHManagedObjectModel* destinationModel)
    : m_sourceModel(sourceModel), m_destinationModel(destinationModel)
{
}

ZPHMigrationManager::~ZPHMigrationManager() = default;

void ZPHMigrationManager::setProgressObserver(std::function<void(float, float)> observer)
{
  m_progressObserver = std::move(observer);
}

void ZPHMigrationManager::setProgress(float value)
{
  const float next = quantized(value);
  const float previous = m_progress.exchange(next);
  if (previous != next && m_progressObserver)
    m_progressObserver(previous, next);
}

void ZPHMigrationManager::cancelMigrationWithError(const ZPHError& error)
{
  QMutexLocker locker(&m_cancelMutex);
  if (m_cancelError.isNull())
    m_cancelError = error;
}

bool ZPHMigrationManager::isCancelled(ZPHError* error) const
{
  QMutexLocker locker(&m_cancelMutex);
  if (m_cancelError.isNull())
    return false;
  ZPHSetError(error, m_cancelError);
  return true;
}

void ZPHMigrationManager::associateSourceInstance(ZPHManagedObject* source, ZPHManagedObject* destination,
                                                  const ZPHEntityMapping& mapping)
{
  m_destinations[{mapping.name, source}].append(destination);
  m_allDestinations[source].append(destination);
  m_sources.insert(destination, source);
}

QList<ZPHManagedObject*> ZPHMigrationManager::destinationInstancesForEntityMappingNamed(const QString& mappingName,
                                                                                        ZPHManagedObject* source) const
{
  return m_destinations.value({mappingName, source});
}

QList<ZPHManagedObject*> ZPHMigrationManager::destinationInstancesForSourceInstance(ZPHManagedObject* source) const
{
  return m_allDestinations.value(source);
}

ZPHManagedObject* ZPHMigrationManager::sourceInstanceForDestinationInstance(ZPHManagedObject* destination) const
{
  return m_sources.value(destination);
}

bool ZPHMigrationManager::migrateStore(const QString& sourcePath, const QString& destinationPath,
                                       const ZPHMappingModel& mapping, ZPHError* error)
{
  for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
    QFile::remove(destinationPath + suffix);
  ZPHPersistentStore sourceStore(m_sourceModel, sourcePath);
  if (!sourceStore.open(false, error))
    return false;
  ZPHPersistentStore destinationStore(m_destinationModel, destinationPath);
  if (!destinationStore.open(false, error))
    return false;

  bool ok = true;
  {
    ZPHManagedObjectContext source(&sourceStore, ZPHManagedObjectContext::ConfinementConcurrencyType);
    ZPHManagedObjectContext destination(&destinationStore, ZPHManagedObjectContext::ConfinementConcurrencyType);
    m_sourceContext = &source;
    m_destinationContext = &destination;
    m_progress = 0.0f;

    struct Work {
      const ZPHEntityMapping* mapping;
      std::unique_ptr<ZPHEntityMigrationPolicy> policy;
      QList<ZPHManagedObject*> sources;
    };
    std::vector<Work> work;
    qint64 total = 0;
    for (const ZPHEntityMapping& entityMapping : mapping.entityMappings) {
      Work item{&entityMapping,
                entityMapping.makePolicy ? entityMapping.makePolicy() : std::make_unique<ZPHEntityMigrationPolicy>(),
                {}};
      ZPHError fetchError;
      // Objects of exactly this entity: subentities have mappings of their own.
      for (ZPHManagedObject* object :
           source.executeFetchRequest(ZPHFetchRequest(entityMapping.sourceEntityName), &fetchError)) {
        if (object->entity()->name() == entityMapping.sourceEntityName)
          item.sources.append(object);
      }
      if (!fetchError.isNull()) {
        ok = ZPHSetError(error, fetchError);
        break;
      }
      total += item.sources.size();
      work.push_back(std::move(item));
    }
    // Half of the progress for the objects, half for their links.
    qint64 done = 0;
    auto advance = [&] {
      ++done;
      setProgress(total > 0 ? float(done) / float(2 * total) : 0.0f);
    };
    for (Work& item : work) {
      for (ZPHManagedObject* object : std::as_const(item.sources)) {
        if (!ok || isCancelled(error) ||
            !item.policy->createDestinationInstancesForSourceInstance(object, *item.mapping, this, error)) {
          ok = false;
          break;
        }
        advance();
      }
    }
    for (Work& item : work) {
      for (ZPHManagedObject* object : std::as_const(item.sources)) {
        if (!ok)
          break;
        for (ZPHManagedObject* made : destinationInstancesForEntityMappingNamed(item.mapping->name, object)) {
          if (isCancelled(error) ||
              !item.policy->createRelationshipsForDestinationInstance(made, *item.mapping, this, error)) {
            ok = false;
            break;
          }
        }
        advance();
      }
    }
    if (ok && !isCancelled(error))
      ok = destination.save(error);
    else
      ok = false;
    // Marks the new file as whole: until this is written, it is no store to
    // recover from after a crash.
    if (ok)
      ok = destinationStore.setMetadataValue(ZPHMigrationCompleteKey, QStringLiteral("1"), error);
    if (ok)
      setProgress(1.0f);
    m_destinations.clear();
    m_allDestinations.clear();
    m_sources.clear();
    m_sourceContext = nullptr;
    m_destinationContext = nullptr;
  }
  // Both files are left whole, without side files, for the caller to move:
  // the source too, whose log (from a run that ended without closing it)
  // is in its file now.
  ZPHError closeError;
  if (!destinationStore.checkpointAndClose(&closeError) && ok)
    ok = ZPHSetError(error, closeError);
  if (!sourceStore.checkpointAndClose(&closeError) && ok)
    ok = ZPHSetError(error, closeError);
  if (!ok)
    qCWarning(zphStore) << "migration of" << sourcePath << "failed";
  return ok;
}
