#include "store/CBCoreDataUtilities.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHObjectGraphErrors.h"

#include <QtCore/QDebug>
#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

const QString CBDataGenericSubstitionKey = QStringLiteral("VALUE");

namespace {

struct PredicateCache {
  QMutex mutex;
  QHash<QString, ZPHPredicate> predicates;
};

PredicateCache*& predicateCache()
{
  static PredicateCache* cache = nullptr;
  return cache;
}

QMutex& startupMutex()
{
  static QMutex mutex;
  return mutex;
}

QString objectDescription(const ZPHManagedObject* object)
{
  return QStringLiteral("<%1: %2>").arg(object->entity()->name(), object->objectID().URIRepresentation().toString());
}

}  // namespace

void CBCoreDataUtilitiesStartup()
{
  QMutexLocker locker(&startupMutex());
  if (predicateCache() == nullptr)
    predicateCache() = new PredicateCache;  // lives for the process
}

ZPHPredicate CBPredicateWithEquality(const QString& attributeName)
{
  CBCoreDataUtilitiesStartup();
  PredicateCache* cache = predicateCache();
  QMutexLocker locker(&cache->mutex);
  auto it = cache->predicates.constFind(attributeName);
  if (it != cache->predicates.constEnd())
    return it.value();
  const ZPHPredicate predicate =
      ZPHPredicate::compareWithVariable(attributeName, ZPHPredicate::Operator::Equal, CBDataGenericSubstitionKey);
  cache->predicates.insert(attributeName, predicate);
  return predicate;
}

ZPHPredicate CBPredicateWithDictionaryMatches(const QVariantMap& dictionary)
{
  QList<ZPHPredicate> parts;
  for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it)
    parts.append(ZPHPredicate::compareWithVariable(it.key(), ZPHPredicate::Operator::Equal, it.key()));
  return ZPHPredicate::andPredicate(parts);
}

ZPHManagedObject* CBFetchManagedObjectWithPredicate(const ZPHPredicate& predicate, const QString& entityName,
                                                    ZPHManagedObjectContext* context)
{
  if (context == nullptr)
    return nullptr;
  ZPHFetchRequest request(entityName, predicate);
  request.fetchLimit = 1;
  const QList<ZPHManagedObject*> objects = context->executeFetchRequest(request);
  return objects.isEmpty() ? nullptr : objects.first();
}

QList<ZPHManagedObject*> CBFetchManagedObjectArrayWithPredicate(const ZPHPredicate& predicate,
                                                                const QString& entityName,
                                                                ZPHManagedObjectContext* context)
{
  if (context == nullptr)
    return {};
  return context->executeFetchRequest(ZPHFetchRequest(entityName, predicate));
}

ZPHManagedObject* CBFetchManagedObjectWithValueForKey(const QString& attributeName, const QVariant& value,
                                                      const QString& entityName, ZPHManagedObjectContext* context)
{
  return CBFetchManagedObjectWithPredicate(
      CBPredicateWithEquality(attributeName).withSubstitutionVariables({{CBDataGenericSubstitionKey, value}}),
      entityName, context);
}

QList<ZPHManagedObject*> CBFetchManagedObjectArrayWithValueForKey(const QString& attributeName, const QVariant& value,
                                                                  const QString& entityName,
                                                                  ZPHManagedObjectContext* context)
{
  return CBFetchManagedObjectArrayWithPredicate(
      CBPredicateWithEquality(attributeName).withSubstitutionVariables({{CBDataGenericSubstitionKey, value}}),
      entityName, context);
}

ZPHManagedObject* CBFetchManagedObjectWithDictionary(const QVariantMap& dictionary, const QString& entityName,
                                                     ZPHManagedObjectContext* context)
{
  return CBFetchManagedObjectWithPredicate(
      CBPredicateWithDictionaryMatches(dictionary).withSubstitutionVariables(dictionary), entityName, context);
}

ZPHManagedObject* CBInsertObject(const QString& entityName, ZPHManagedObjectContext* context)
{
  return context ? context->insertNewObject(entityName) : nullptr;
}

ZPHManagedObject* CBInsertObjectWithDictionary(const QVariantMap& dictionary, const QString& entityName,
                                               ZPHManagedObjectContext* context)
{
  ZPHManagedObject* object = CBInsertObject(entityName, context);
  if (object == nullptr)
    return nullptr;
  for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) object->setValue(it.key(), it.value());
  return object;
}

ZPHManagedObject* CBInsertObjectWithValueForKey(const QString& attributeName, const QVariant& value,
                                                const QString& entityName, ZPHManagedObjectContext* context)
{
  return CBInsertObjectWithDictionary({{attributeName, value}}, entityName, context);
}

ZPHManagedObject* CBFetchOrInsertObjectWithValueForKey(const QString& attributeName, const QVariant& value,
                                                       const QString& entityName, ZPHManagedObjectContext* context,
                                                       bool* inserted)
{
  ZPHManagedObject* object = CBFetchManagedObjectWithValueForKey(attributeName, value, entityName, context);
  if (inserted)
    *inserted = object == nullptr;
  return object ? object : CBInsertObjectWithValueForKey(attributeName, value, entityName, context);
}

ZPHManagedObject* CBFetchOrInsertObjectWithDictionary(const QVariantMap& dictionary, const QString& entityName,
                                                      ZPHManagedObjectContext* context, bool* inserted)
{
  ZPHManagedObject* object = CBFetchManagedObjectWithDictionary(dictionary, entityName, context);
  if (inserted)
    *inserted = object == nullptr;
  return object ? object : CBInsertObjectWithDictionary(dictionary, entityName, context);
}

bool CBSaveManagedObjectContext(ZPHManagedObjectContext* context)
{
  if (context == nullptr || !context->hasChanges())
    return true;
  ZPHError error;
  if (context->save(&error))
    return true;
  if (ZPHObjectGraphErrorSaysStoreIsDamaged(error))
    qCCritical(zphStore) << "Quitting due to Core Data save error:" << error.toString();
  else
    qCCritical(zphStore) << "Core Data save error; the store stays as it was:" << error.toString();
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->handleCoreDataFailureWithError(error);
  return false;
}

QStringList CBOverviewOfChangesInSet(const QList<ZPHManagedObject*>& objects)
{
  QStringList overview;
  for (const ZPHManagedObject* object : objects) {
    if (object == nullptr)
      continue;
    if (object->isInserted() || object->isDeleted()) {
      overview.append(objectDescription(object));
      continue;
    }
    if (!object->hasChanges())
      continue;
    QStringList changes;
    const QVariantMap values = object->changedValues();
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
      const QVariant& value = it.value();
      QString text;
      if (!value.isValid())
        text = QStringLiteral("nil");
      else if (value.typeId() == qMetaTypeId<ZPHManagedObjectID>())
        text = value.value<ZPHManagedObjectID>().URIRepresentation().toString();
      else if (value.canConvert<QString>())
        text = value.toString();
      else
        QDebug(&text).nospace().noquote() << value;
      changes.append(it.key() + QStringLiteral(" = ") + text);
    }
    overview.append(QStringLiteral("%1 id:%2 changes:{%3}")
                        .arg(object->entity()->name(), object->objectID().URIRepresentation().toString(),
                             changes.join(QStringLiteral("; "))));
  }
  return overview;
}

bool cb_isPresentInManagedObjectContext(ZPHManagedObject* object)
{
  if (object == nullptr || object->managedObjectContext() == nullptr)
    return false;
  if (object->objectID().isTemporaryID())
    return !object->isDeleted();
  return object->managedObjectContext()->storeHasObjectWithID(object->objectID());
}
