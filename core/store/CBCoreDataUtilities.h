#pragma once

#include "store/graph/ZPHPredicate.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>
#include <QtCore/QVariantMap>

class ZPHManagedObject;
class ZPHManagedObjectContext;

// Generic fetches and inserts by entity name, cached equality predicates and
// the one save routine of the program. Each runs on the thread of the
// context it is given; fetch errors give empty results.

// The substitution variable of the equality predicates: "VALUE".
extern const QString CBDataGenericSubstitionKey;

// Makes the predicate cache (once; the data controller calls it first).
void CBCoreDataUtilitiesStartup();

// "<attribute> == $VALUE", made once per attribute name and cached.
ZPHPredicate CBPredicateWithEquality(const QString& attributeName);
// "k1 == $k1 && k2 == $k2 …" for the dictionary's keys (not cached).
ZPHPredicate CBPredicateWithDictionaryMatches(const QVariantMap& dictionary);

ZPHManagedObject* CBFetchManagedObjectWithPredicate(const ZPHPredicate& predicate, const QString& entityName,
                                                    ZPHManagedObjectContext* context);
QList<ZPHManagedObject*> CBFetchManagedObjectArrayWithPredicate(const ZPHPredicate& predicate,
                                                                const QString& entityName,
                                                                ZPHManagedObjectContext* context);
ZPHManagedObject* CBFetchManagedObjectWithValueForKey(const QString& attributeName, const QVariant& value,
                                                      const QString& entityName, ZPHManagedObjectContext* context);
QList<ZPHManagedObject*> CBFetchManagedObjectArrayWithValueForKey(const QString& attributeName, const QVariant& value,
                                                                  const QString& entityName,
                                                                  ZPHManagedObjectContext* context);
ZPHManagedObject* CBFetchManagedObjectWithDictionary(const QVariantMap& dictionary, const QString& entityName,
                                                     ZPHManagedObjectContext* context);

ZPHManagedObject* CBInsertObject(const QString& entityName, ZPHManagedObjectContext* context);
ZPHManagedObject* CBInsertObjectWithDictionary(const QVariantMap& dictionary, const QString& entityName,
                                               ZPHManagedObjectContext* context);
ZPHManagedObject* CBInsertObjectWithValueForKey(const QString& attributeName, const QVariant& value,
                                                const QString& entityName, ZPHManagedObjectContext* context);

// The fetched object (*inserted false), else a new one with the value(s)
// set (*inserted true).
ZPHManagedObject* CBFetchOrInsertObjectWithValueForKey(const QString& attributeName, const QVariant& value,
                                                       const QString& entityName, ZPHManagedObjectContext* context,
                                                       bool* inserted);
ZPHManagedObject* CBFetchOrInsertObjectWithDictionary(const QVariantMap& dictionary, const QString& entityName,
                                                      ZPHManagedObjectContext* context, bool* inserted);

// The one save routine of the program: saves a context that has changes
// and answers whether the save went through (true also with nothing to
// save). A failed save is logged and handed
// to the application delegate's handleCoreDataFailureWithError(): a store
// found damaged is set aside and the program quits; any other failure (a
// full disk, a read-only folder, an I/O error) leaves the store as it was,
// the user is told, and the program goes on. The context then keeps what
// it could not save: the main context saves it with its next save; a
// store-queue context is let go of with it (the change is not made).
bool CBSaveManagedObjectContext(ZPHManagedObjectContext* context);

// For logs: each inserted or deleted object as itself, each other changed
// object as "<class> id:<URI> changes:<values>"; unchanged objects skipped.
QStringList CBOverviewOfChangesInSet(const QList<ZPHManagedObject*>& objects);

// Whether the object's context still finds it in the store.
bool cb_isPresentInManagedObjectContext(ZPHManagedObject* object);
