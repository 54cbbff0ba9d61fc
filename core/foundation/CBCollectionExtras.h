#pragma once

// Collection extras of the older unprefixed family: null-safe access and
// mutation of lists, identity tests, moving an element, typed reads of maps
// that may hold strings or numbers, writing lists and maps to files and
// HTTP form encoding; and two C functions over lists of objects. The cb_
// family of foundation/CBCollections.h has counterparts of several of them;
// the two are separate functions and each keeps its own behaviour (where the
// rules agree, the function here calls the cb_ one).
//
// "null" is a null pointer for pointer elements and lists passed by pointer,
// an invalid QVariant for variants and a null QString for strings.
// Identity-based functions take lists of pointers (the same object, not an
// equal one).

#include "foundation/CBCollections.h"

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantHash>
#include <QtCore/QVariantList>
#include <QtCore/QVariantMap>

#include <limits>
#include <type_traits>

namespace CobbletonExtras {

// ---- Lists ----

// The element at `index`, or null (a value-initialised T) when the index is
// negative or not below the count.
template <typename T>
T safeObjectAtIndex(const QList<T>& array, qsizetype index)
{
  return cb_safeObjectAtIndex(array, index);
}

// Whether this very object is an element; false for null.
template <typename T>
bool containsObjectIdenticalTo(const QList<T*>& array, const std::type_identity_t<T>* object)
{
  return cb_containsObjectIdenticalTo<T>(array, object);
}

// False for an empty `other`; else whether any element of `array` is this
// very object in `other`.
template <typename T>
bool containsAtLeastOneObjectIdenticalToObjectInArray(const QList<T*>& array, const QList<T*>& other)
{
  return cb_containsAtLeastOneObjectIdenticalToObjectInArray(array, other);
}

// Compact JSON (`useBinaryFormat`, CBWriteArrayOrDictionaryToFileUsingBinaryFormat)
// or indented JSON, written atomically. Answers whether the file was written.
bool writeToFile(const QVariantList& array, const QString& path, bool useBinaryFormat);
bool writeToFile(const QVariantMap& dictionary, const QString& path, bool useBinaryFormat);

// Appends unless null.
template <typename T>
void safeAddObject(QList<T>& array, const std::type_identity_t<T>& object)
{
  cb_safeAddObject<T>(array, object);
}

// Appends every element of `objects` in order, unless `objects` is null.
template <typename T>
void safeAddObjectsFromArray(QList<T>& array, const QList<T>* objects)
{
  if (objects != nullptr)
    array.append(*objects);
}

// Takes the element at `from` out and puts it back at `to`, where `to`
// names a position in the list as it was before the removal (0 to the
// count): the element lands at `to`, or at `to` less one when `to` is past
// `from`. Indexes out of those ranges leave the list unchanged.
template <typename T>
void moveObjectAtIndex(QList<T>& array, qsizetype from, qsizetype to)
{
  if (from < 0 || from >= array.size() || to < 0 || to > array.size())
    return;
  array.move(from, to > from ? to - 1 : to);
}

// ---- Maps ----

// The value for the key itself; else for the lower-cased key; else for the
// first key (in the map's order) whose lower-cased form equals the
// lower-cased key; else null.
QVariant objectForCaseInsensitiveKey(const QVariantMap& dictionary, const QString& key);
QVariant objectForCaseInsensitiveKey(const QVariantHash& dictionary, const QString& key);

// False for a missing value or false; true for true; a string is true when
// it reads "yes" or "true" in any case; otherwise the value's integer value
// (a string's leading number) is tested for non-zero, false when it has none.
bool boolForKey(const QVariantMap& dictionary, const QString& key);
bool boolForKey(const QVariantHash& dictionary, const QString& key);

// The value's integer value (a string's leading number), held to the int
// range; 0 when missing or not numeric.
int intForKey(const QVariantMap& dictionary, const QString& key);
int intForKey(const QVariantHash& dictionary, const QString& key);

// A string value itself; a number as its decimal text; else null.
QString stringForKey(const QVariantMap& dictionary, const QString& key);
QString stringForKey(const QVariantHash& dictionary, const QString& key);

// Form encoding: "key=value" pairs joined by "&" in the map's order, keys as
// they are, values percent-escaped as UTF-8 (every character but letters,
// digits and "-._~!'()*", so a blank is "%20" and "+" is escaped); a list
// value gives one pair per element under the same key. Empty for an empty
// map.
QString httpPostArgsString(const QVariantMap& dictionary);

// Sets unless the object (or the key) is null; the key then keeps its value.
void safeSetObject(QVariantMap& dictionary, const QVariant& object, const QString& key);

// Store the value as a number.
void setInt(QVariantMap& dictionary, int value, const QString& key);
void setInteger(QVariantMap& dictionary, qint64 value, const QString& key);
void setBool(QVariantMap& dictionary, bool value, const QString& key);

}  // namespace CobbletonExtras

// ---------------------------------------------------------------------------
// C functions

// True when both are null; false when exactly one is null; else whether the
// two hold the same objects (identity) the same number of times, in any
// order.
template <typename T>
bool ZPHArraysHaveEqualContents(const QList<T*>* array1, const QList<T*>* array2)
{
  if (array1 == nullptr || array2 == nullptr)
    return array1 == nullptr && array2 == nullptr;
  if (array1->size() != array2->size())
    return false;
  QHash<const T*, qsizetype> counts;
  counts.reserve(array1->size());
  for (const T* element : *array1) ++counts[element];
  for (const T* element : *array2) {
    const auto found = counts.find(element);
    if (found == counts.end() || found.value() == 0)
      return false;
    --found.value();
  }
  return true;
}

template <typename T>
bool ZPHArraysHaveEqualContents(const QList<T*>& array1, const QList<T*>& array2)
{
  return ZPHArraysHaveEqualContents(&array1, &array2);
}

// The first index whose element is this very object; the largest qsizetype
// (the "not found" index) for null, for an empty list or when it is absent.
template <typename T>
qsizetype CBArrayIndexOfObjectIdenticalTo(const QList<T*>& array, const std::type_identity_t<T>* object)
{
  if (object == nullptr)
    return std::numeric_limits<qsizetype>::max();
  for (qsizetype i = 0; i < array.size(); ++i) {
    if (array.at(i) == object)
      return i;
  }
  return std::numeric_limits<qsizetype>::max();
}
