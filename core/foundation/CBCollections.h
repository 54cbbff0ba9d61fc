#pragma once

// Collection helpers of the core library: emptiness tests, null-safe and
// identity-based list methods, typed reads of variant maps, HTTP form
// encoding, writing lists and maps to files, and two small helpers for
// numbers and timers.
//
// "null" is a null pointer for pointer elements, an invalid QVariant for
// variants and a null QString for strings. Identity-based methods take lists
// of pointers (the same object, not an equal one); equality-based methods
// take any list.

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVariantHash>
#include <QtCore/QVariantList>
#include <QtCore/QVariantMap>

#include <memory>
#include <type_traits>
#include <utility>

class QTimer;

// True for null, for an object with a length of 0 (string, bytes) and for a
// collection with a count of 0; false for anything else (a number is never
// empty).
bool CBIsEmpty(const QVariant& object);

template <typename T>
requires requires(const T& value) { value.isEmpty(); }
bool CBIsEmpty(const T& object) { return object.isEmpty(); }

// Whether a value stands for "null": a null pointer, an invalid variant, a
// null string. Values of other types are never null.
template <typename T>
bool CBIsNil(const T& value)
{
  // The branches that read alike act on different types.
  if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>)
    return value == nullptr;  // NOLINT(bugprone-branch-clone)
  else if constexpr (std::is_same_v<T, QVariant>)
    return !value.isValid();
  else if constexpr (std::is_same_v<T, QString>)
    return value.isNull();
  else if constexpr (requires {
                       value.get();
                       value == nullptr;
                     })
    return value == nullptr;
  else
    return false;
}

// Writes a list or map (QVariantList, QStringList, QVariantMap or
// QVariantHash) to `path` as compact JSON, atomically, under one
// process-wide lock. Answers false, and logs why, when the path is empty,
// the object is not a list or map, a value cannot be written as JSON (only
// strings, numbers, booleans, lists and maps can) or the file could not be
// written; an earlier file at the path is then left as it was.
bool CBWriteArrayOrDictionaryToFileUsingBinaryFormat(const QString& path, const QVariant& arrayOrDictionary);

// Reads what the writers here wrote (compact or indented): a QVariantList
// or QVariantMap, or an invalid QVariant when the file cannot be read or
// does not hold a JSON list or map.
QVariant CBReadArrayOrDictionaryFromFile(const QString& path);

// ---- Lists ----

// The element at `index`, or null (a value-initialised T) when the index is
// out of range.
template <typename T>
T cb_safeObjectAtIndex(const QList<T>& array, qsizetype index)
{
  if (index < 0 || index >= array.size())
    return T{};
  return array.at(index);
}

// Whether this very object is an element; false for null.
template <typename T>
bool cb_containsObjectIdenticalTo(const QList<T*>& array, const T* object)
{
  if (object == nullptr)
    return false;
  for (const T* element : array) {
    if (element == object)
      return true;
  }
  return false;
}

// Whether any element of `array` is identical to an element of `other`.
template <typename T>
bool cb_containsAtLeastOneObjectIdenticalToObjectInArray(const QList<T*>& array, const QList<T*>& other)
{
  if (array.isEmpty() || other.isEmpty())
    return false;
  for (const T* element : array) {
    if (cb_containsObjectIdenticalTo(other, element))
      return true;
  }
  return false;
}

// Compact JSON (`useBinaryFormat`) through
// CBWriteArrayOrDictionaryToFileUsingBinaryFormat, else indented JSON, both
// written atomically. Answers whether the file was written.
bool cb_writeToFile(const QVariantList& array, const QString& path, bool useBinaryFormat);
bool cb_writeToFile(const QVariantMap& dictionary, const QString& path, bool useBinaryFormat);

// Appends unless null.
template <typename T>
void cb_safeAddObject(QList<T>& array, const T& object)
{
  if (!CBIsNil(object))
    array.append(object);
}

// Removes the element at `index` when the index is in range.
template <typename T>
void cb_safeRemoveObjectAtIndex(QList<T>& array, qsizetype index)
{
  if (index >= 0 && index < array.size())
    array.removeAt(index);
}

// Appends unless null or this very object is already an element.
template <typename T>
void cb_addObjectIfNotIdentical(QList<T*>& array, T* object)
{
  if (object != nullptr && !cb_containsObjectIdenticalTo(array, object))
    array.append(object);
}

// Appends, in order, each object of `objects` that is not yet an element
// (identity, checked against the growing list); all of them when the list is
// empty.
template <typename T>
void cb_addObjectsThatAreNotIdentical(QList<T*>& array, const QList<T*>& objects)
{
  if (objects.isEmpty())
    return;
  if (array.isEmpty()) {
    array.append(objects);
    return;
  }
  for (T* object : objects) cb_addObjectIfNotIdentical(array, object);
}

// Appends unless null or an equal element is already there.
template <typename T>
void cb_addUniqueObject(QList<T>& array, const T& object)
{
  if (!CBIsNil(object) && !array.contains(object))
    array.append(object);
}

// A new list of `transformer`'s results for each element, in order, null
// results left out; empty for an empty list.
template <typename T, typename Transformer>
auto cb_mutableArrayWithArray(const QList<T>& array, Transformer transformer)
    -> QList<std::decay_t<std::invoke_result_t<Transformer&, const T&>>>
{
  QList<std::decay_t<std::invoke_result_t<Transformer&, const T&>>> result;
  for (const T& element : array) {
    auto transformed = transformer(element);
    if (!CBIsNil(transformed))
      result.append(std::move(transformed));
  }
  return result;
}

// ---- Sets ----

// Adds unless null.
template <typename T>
void cb_addObject(QSet<T>& set, const T& object)
{
  if (!CBIsNil(object))
    set.insert(object);
}

// ---- Maps ----

// False for a missing value or false; true for true; a string is true when
// it reads "yes" or "true" in any case; otherwise the value's integer value
// (a string's leading number) is tested for non-zero, false when it has none.
bool cb_boolForKey(const QVariantMap& dictionary, const QString& key);
bool cb_boolForKey(const QVariantHash& dictionary, const QString& key);

// The value's integer / double value (a string's leading number); 0 when
// missing or not numeric.
qint64 cb_integerForKey(const QVariantMap& dictionary, const QString& key);
qint64 cb_integerForKey(const QVariantHash& dictionary, const QString& key);
double cb_doubleForKey(const QVariantMap& dictionary, const QString& key);
double cb_doubleForKey(const QVariantHash& dictionary, const QString& key);

// A string value itself; a number as its decimal text; else null.
QString cb_stringForKey(const QVariantMap& dictionary, const QString& key);
QString cb_stringForKey(const QVariantHash& dictionary, const QString& key);

// The value for the key itself; else the value of the first key (in the
// map's order) that equals the key when both are lower-cased; else null.
QVariant cb_objectForCaseInsensitiveKey(const QVariantMap& dictionary, const QString& key);
QVariant cb_objectForCaseInsensitiveKey(const QVariantHash& dictionary, const QString& key);

// Form encoding: "key=value" pairs joined by "&" in the map's order, the
// values percent-escaped as UTF-8 (every character but letters, digits and
// "-._~!'()*"); a list value gives one pair per element under the same key.
// Empty for an empty map.
QString cb_httpPostArgsString(const QVariantMap& dictionary);
// The building steps: append one pair, or one pair per element of `array`,
// counting pairs in `index` ("&" goes before every pair but the first).
void cb_addHTTPPostArgValue(const QVariant& value, const QString& key, int* index, QString& string);
void cb_addHTTPPostArgsArray(const QVariantList& array, const QString& key, int* index, QString& string);

// Sets unless the object or the key is null.
void cb_safeSetObject(QVariantMap& dictionary, const QVariant& object, const QString& key);

// Store the value as a number.
void cb_setInteger(QVariantMap& dictionary, qint64 value, const QString& key);
void cb_setBool(QVariantMap& dictionary, bool value, const QString& key);

// ---- Numbers and timers ----

// A new number holding the integer value plus one.
QVariant numberIncremented(const QVariant& number);

// Stops a timer that is still running; nothing for null.
void cb_invalidateIfValid(QTimer* timer);
