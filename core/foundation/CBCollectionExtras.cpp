#include "foundation/CBCollectionExtras.h"

#include <algorithm>

namespace {

template <typename Map>
QVariant objectForCaseInsensitiveKeyIn(const Map& dictionary, const QString& key)
{
  const auto exact = dictionary.constFind(key);
  if (exact != dictionary.constEnd())
    return exact.value();
  const auto lowercase = dictionary.constFind(key.toLower());
  if (lowercase != dictionary.constEnd())
    return lowercase.value();
  // The first key in the map's order that lower-cases to the same text.
  return cb_objectForCaseInsensitiveKey(dictionary, key);
}

int clampedToInt(qint64 value)
{
  return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

namespace CobbletonExtras {

bool writeToFile(const QVariantList& array, const QString& path, bool useBinaryFormat)
{
  return cb_writeToFile(array, path, useBinaryFormat);
}

bool writeToFile(const QVariantMap& dictionary, const QString& path, bool useBinaryFormat)
{
  return cb_writeToFile(dictionary, path, useBinaryFormat);
}

QVariant objectForCaseInsensitiveKey(const QVariantMap& dictionary, const QString& key)
{
  return objectForCaseInsensitiveKeyIn(dictionary, key);
}

QVariant objectForCaseInsensitiveKey(const QVariantHash& dictionary, const QString& key)
{
  return objectForCaseInsensitiveKeyIn(dictionary, key);
}

bool boolForKey(const QVariantMap& dictionary, const QString& key) { return cb_boolForKey(dictionary, key); }

bool boolForKey(const QVariantHash& dictionary, const QString& key) { return cb_boolForKey(dictionary, key); }

int intForKey(const QVariantMap& dictionary, const QString& key)
{
  return clampedToInt(cb_integerForKey(dictionary, key));
}

int intForKey(const QVariantHash& dictionary, const QString& key)
{
  return clampedToInt(cb_integerForKey(dictionary, key));
}

QString stringForKey(const QVariantMap& dictionary, const QString& key) { return cb_stringForKey(dictionary, key); }

QString stringForKey(const QVariantHash& dictionary, const QString& key) { return cb_stringForKey(dictionary, key); }

QString httpPostArgsString(const QVariantMap& dictionary) { return cb_httpPostArgsString(dictionary); }

void safeSetObject(QVariantMap& dictionary, const QVariant& object, const QString& key)
{
  cb_safeSetObject(dictionary, object, key);
}

void setInt(QVariantMap& dictionary, int value, const QString& key) { cb_setInteger(dictionary, value, key); }

void setInteger(QVariantMap& dictionary, qint64 value, const QString& key) { cb_setInteger(dictionary, value, key); }

void setBool(QVariantMap& dictionary, bool value, const QString& key) { cb_setBool(dictionary, value, key); }

}  // namespace CobbletonExtras
