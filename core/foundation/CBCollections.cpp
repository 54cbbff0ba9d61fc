#include "foundation/CBCollections.h"

#include "platform/ZPHLog.h"

#include <QtCore/QAssociativeIterable>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QLocale>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QSaveFile>
#include <QtCore/QSequentialIterable>
#include <QtCore/QTimer>
#include <QtCore/QUrl>

#include <cmath>
#include <limits>
#include <optional>

namespace {

bool isNumber(const QVariant& value)
{
  switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
      return true;
    default:
      return false;
  }
}

bool isFloatingPoint(const QVariant& value)
{
  return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

bool isList(const QVariant& value)
{
  return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

bool isMap(const QVariant& value)
{
  return value.typeId() == QMetaType::QVariantMap || value.typeId() == QMetaType::QVariantHash;
}

// The longest prefix of `text` (after leading white space) that reads as a
// decimal number: sign, digits, and for `allowFraction` a fraction and an
// exponent.
QString leadingNumber(const QString& text, bool allowFraction)
{
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text.at(i).isSpace()) ++i;
  const qsizetype start = i;
  if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
    ++i;
  const auto isDigit = [&](qsizetype at) {
    return at < n && text.at(at) >= QLatin1Char('0') && text.at(at) <= QLatin1Char('9');
  };
  bool digits = false;
  while (isDigit(i)) {
    ++i;
    digits = true;
  }
  if (allowFraction && i < n && text.at(i) == QLatin1Char('.')) {
    qsizetype j = i + 1;
    bool fractionDigits = false;
    while (isDigit(j)) {
      ++j;
      fractionDigits = true;
    }
    if (digits || fractionDigits) {
      i = j;
      digits = true;
    }
  }
  if (!digits)
    return {};
  if (allowFraction && i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
    qsizetype j = i + 1;
    if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
      ++j;
    if (isDigit(j)) {
      while (isDigit(j)) ++j;
      i = j;
    }
  }
  return text.mid(start, i - start);
}

qint64 integerFromDouble(double value)
{
  if (std::isnan(value))
    return 0;
  if (value >= 9223372036854775807.0)
    return std::numeric_limits<qint64>::max();
  if (value <= -9223372036854775808.0)
    return std::numeric_limits<qint64>::min();
  return static_cast<qint64>(value);
}

// A string's leading integer (0 when it has none; clamped on overflow).
qint64 leadingInteger(const QString& text)
{
  const QString number = leadingNumber(text, false);
  if (number.isEmpty())
    return 0;
  bool ok = false;
  const qint64 value = number.toLongLong(&ok);
  if (ok)
    return value;
  return number.startsWith(QLatin1Char('-')) ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

double leadingDouble(const QString& text)
{
  const QString number = leadingNumber(text, true);
  return number.isEmpty() ? 0.0 : QLocale::c().toDouble(number);
}

// The integer value a number or a string answers; none for anything else.
std::optional<qint64> integerValue(const QVariant& value)
{
  if (value.typeId() == QMetaType::QString)
    return leadingInteger(value.toString());
  if (isFloatingPoint(value))
    return integerFromDouble(value.toDouble());
  if (value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong)
    return static_cast<qint64>(value.toULongLong());
  if (isNumber(value))
    return value.toLongLong();
  return std::nullopt;
}

std::optional<double> doubleValue(const QVariant& value)
{
  if (value.typeId() == QMetaType::QString)
    return leadingDouble(value.toString());
  if (isNumber(value))
    return value.toDouble();
  return std::nullopt;
}

QString numberText(const QVariant& number)
{
  if (number.typeId() == QMetaType::Bool)
    return number.toBool() ? QStringLiteral("1") : QStringLiteral("0");
  if (isFloatingPoint(number))
    return QString::number(number.toDouble(), 'g', QLocale::FloatingPointShortest);
  if (number.typeId() == QMetaType::ULongLong || number.typeId() == QMetaType::ULong)
    return QString::number(number.toULongLong());
  return QString::number(number.toLongLong());
}

template <typename Map>
bool boolForKey(const Map& dictionary, const QString& key)
{
  const QVariant value = dictionary.value(key);
  if (!value.isValid())
    return false;
  if (value.typeId() == QMetaType::Bool)
    return value.toBool();
  if (value.typeId() == QMetaType::QString) {
    const QString lower = value.toString().toLower();
    if (lower == QLatin1String("yes") || lower == QLatin1String("true"))
      return true;
  }
  return integerValue(value).value_or(0) != 0;
}

template <typename Map>
QString stringForKey(const Map& dictionary, const QString& key)
{
  const QVariant value = dictionary.value(key);
  if (value.typeId() == QMetaType::QString)
    return value.toString();
  if (isNumber(value))
    return numberText(value);
  return {};
}

template <typename Map>
QVariant objectForCaseInsensitiveKey(const Map& dictionary, const QString& key)
{
  const auto exact = dictionary.constFind(key);
  if (exact != dictionary.constEnd())
    return exact.value();
  const QString lower = key.toLower();
  for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) {
    if (it.key().toLower() == lower)
      return it.value();
  }
  return {};
}

// Only what JSON holds: strings, finite numbers, booleans, lists and maps.
bool isWritableAsJSON(const QVariant& value, int depth)
{
  if (depth > 256)
    return false;
  if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::Bool)
    return true;
  if (isNumber(value))
    return !isFloatingPoint(value) || std::isfinite(value.toDouble());
  if (value.typeId() == QMetaType::QStringList)
    return true;
  if (value.typeId() == QMetaType::QVariantList) {
    const QVariantList list = value.toList();
    for (const QVariant& element : list) {
      if (!isWritableAsJSON(element, depth + 1))
        return false;
    }
    return true;
  }
  if (value.typeId() == QMetaType::QVariantMap) {
    const QVariantMap map = value.toMap();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
      if (!isWritableAsJSON(it.value(), depth + 1))
        return false;
    }
    return true;
  }
  if (value.typeId() == QMetaType::QVariantHash) {
    const QVariantHash hash = value.toHash();
    for (auto it = hash.constBegin(); it != hash.constEnd(); ++it) {
      if (!isWritableAsJSON(it.value(), depth + 1))
        return false;
    }
    return true;
  }
  return false;
}

bool writeJSONFile(const QString& path, const QVariant& arrayOrDictionary, QJsonDocument::JsonFormat format)
{
  if (path.isEmpty() || !(isList(arrayOrDictionary) || isMap(arrayOrDictionary)))
    return false;
  if (!isWritableAsJSON(arrayOrDictionary, 0)) {
    qCWarning(zphCore) << "not writable as JSON:" << path;
    return false;
  }
  const QJsonDocument document = isList(arrayOrDictionary)
                                     ? QJsonDocument(QJsonArray::fromVariantList(arrayOrDictionary.toList()))
                                     : QJsonDocument(QJsonObject::fromVariantMap(arrayOrDictionary.toMap()));
  const QByteArray bytes = document.toJson(format);

  static QMutex writeLock;
  QMutexLocker locker(&writeLock);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    qCWarning(zphCore) << "cannot write" << path << ":" << file.errorString();
    return false;
  }
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    qCWarning(zphCore) << "cannot write" << path << ":" << file.errorString();
    file.cancelWriting();
    return false;
  }
  return true;
}

}  // namespace

bool CBIsEmpty(const QVariant& object)
{
  if (!object.isValid() || object.isNull())
    return true;
  switch (object.typeId()) {
    case QMetaType::QString:
      return object.toString().isEmpty();
    case QMetaType::QByteArray:
      return object.toByteArray().isEmpty();
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
      return object.toList().isEmpty();
    case QMetaType::QVariantMap:
      return object.toMap().isEmpty();
    case QMetaType::QVariantHash:
      return object.toHash().isEmpty();
    default:
      break;
  }
  if (object.canConvert<QSequentialIterable>())
    return object.value<QSequentialIterable>().size() == 0;
  if (object.canConvert<QAssociativeIterable>())
    return object.value<QAssociativeIterable>().size() == 0;
  return false;
}

bool CBWriteArrayOrDictionaryToFileUsingBinaryFormat(const QString& path, const QVariant& arrayOrDictionary)
{
  return writeJSONFile(path, arrayOrDictionary, QJsonDocument::Compact);
}

QVariant CBReadArrayOrDictionaryFromFile(const QString& path)
{
  if (path.isEmpty())
    return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError) {
    qCWarning(zphCore) << "cannot read" << path << ":" << error.errorString();
    return {};
  }
  if (document.isArray())
    return document.array().toVariantList();
  if (document.isObject())
    return document.object().toVariantMap();
  return {};
}

bool cb_writeToFile(const QVariantList& array, const QString& path, bool useBinaryFormat)
{
  if (useBinaryFormat)
    return CBWriteArrayOrDictionaryToFileUsingBinaryFormat(path, array);
  return writeJSONFile(path, array, QJsonDocument::Indented);
}

bool cb_writeToFile(const QVariantMap& dictionary, const QString& path, bool useBinaryFormat)
{
  if (useBinaryFormat)
    return CBWriteArrayOrDictionaryToFileUsingBinaryFormat(path, dictionary);
  return writeJSONFile(path, dictionary, QJsonDocument::Indented);
}

bool cb_boolForKey(const QVariantMap& dictionary, const QString& key) { return boolForKey(dictionary, key); }
bool cb_boolForKey(const QVariantHash& dictionary, const QString& key) { return boolForKey(dictionary, key); }

qint64 cb_integerForKey(const QVariantMap& dictionary, const QString& key)
{
  return integerValue(dictionary.value(key)).value_or(0);
}

qint64 cb_integerForKey(const QVariantHash& dictionary, const QString& key)
{
  return integerValue(dictionary.value(key)).value_or(0);
}

double cb_doubleForKey(const QVariantMap& dictionary, const QString& key)
{
  return doubleValue(dictionary.value(key)).value_or(0.0);
}

double cb_doubleForKey(const QVariantHash& dictionary, const QString& key)
{
  return doubleValue(dictionary.value(key)).value_or(0.0);
}

QString cb_stringForKey(const QVariantMap& dictionary, const QString& key) { return stringForKey(dictionary, key); }
QString cb_stringForKey(const QVariantHash& dictionary, const QString& key) { return stringForKey(dictionary, key); }

QVariant cb_objectForCaseInsensitiveKey(const QVariantMap& dictionary, const QString& key)
{
  return objectForCaseInsensitiveKey(dictionary, key);
}

QVariant cb_objectForCaseInsensitiveKey(const QVariantHash& dictionary, const QString& key)
{
  return objectForCaseInsensitiveKey(dictionary, key);
}

void cb_addHTTPPostArgValue(const QVariant& value, const QString& key, int* index, QString& string)
{
  if (index != nullptr) {
    if (*index > 0)
      string += QLatin1Char('&');
    ++*index;
  }
  const QString text = value.typeId() == QMetaType::QString ? value.toString()
                       : isNumber(value)                    ? numberText(value)
                                                            : value.toString();
  string += key;
  string += QLatin1Char('=');
  string += QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("!'()*")));
}

void cb_addHTTPPostArgsArray(const QVariantList& array, const QString& key, int* index, QString& string)
{
  for (const QVariant& value : array) cb_addHTTPPostArgValue(value, key, index, string);
}

QString cb_httpPostArgsString(const QVariantMap& dictionary)
{
  QString string(QLatin1String(""));
  int index = 0;
  for (auto it = dictionary.constBegin(); it != dictionary.constEnd(); ++it) {
    if (isList(it.value()))
      cb_addHTTPPostArgsArray(it.value().toList(), it.key(), &index, string);
    else
      cb_addHTTPPostArgValue(it.value(), it.key(), &index, string);
  }
  return string;
}

void cb_safeSetObject(QVariantMap& dictionary, const QVariant& object, const QString& key)
{
  if (object.isValid() && !key.isNull())
    dictionary.insert(key, object);
}

void cb_setInteger(QVariantMap& dictionary, qint64 value, const QString& key) { dictionary.insert(key, value); }

void cb_setBool(QVariantMap& dictionary, bool value, const QString& key) { dictionary.insert(key, value); }

QVariant numberIncremented(const QVariant& number)
{
  const qint64 value = integerValue(number).value_or(0);
  return QVariant::fromValue<qint64>(value == std::numeric_limits<qint64>::max() ? value : value + 1);
}

void cb_invalidateIfValid(QTimer* timer)
{
  if (timer != nullptr && timer->isActive())
    timer->stop();
}
