#include "foundation/CBEntityConversion.h"

#include "foundation/CBEntityDecoding.h"
#include "foundation/CBString.h"
#include "foundation/ZPHTextScan.h"

#include <QtCore/QStringList>

#include <algorithm>

const QString ZPHAmp38 = QStringLiteral("&#38;");
const QString ZPHAmpersand = QStringLiteral("&");

namespace {

struct Reference {
  const char* reference;
  char16_t character;
};

// The five XML escapes and their numeric forms; the ampersand comes last so
// that "&amp;lt;" gives "&lt;".
const Reference kXMLReferences[] = {
    {"&lt;", u'<'},   {"&#60;", u'<'},   {"&#x3C;", u'<'}, {"&#x3c;", u'<'}, {"&gt;", u'>'},   {"&#62;", u'>'},
    {"&#x3E;", u'>'}, {"&#x3e;", u'>'},  {"&quot;", u'"'}, {"&#34;", u'"'},  {"&#x22;", u'"'}, {"&apos;", u'\''},
    {"&#39;", u'\''}, {"&#x27;", u'\''}, {"&amp;", u'&'},  {"&#38;", u'&'},  {"&#x26;", u'&'},
};

// Value -> entity name: a named entry wins over a numeric one; among several
// of a kind the first in name order is taken, so the choice is stable.
QHash<QString, QString> buildEntityNamesByValue()
{
  const QHash<QString, QString>& table = CBEntitiesDictionary();
  QStringList names = table.keys();
  std::sort(names.begin(), names.end());
  QHash<QString, QString> named;
  QHash<QString, QString> numeric;
  for (const QString& name : names) {
    QHash<QString, QString>& target = name.startsWith(u'#') ? numeric : named;
    if (!target.contains(table.value(name)))
      target.insert(table.value(name), name);
  }
  for (auto it = numeric.cbegin(); it != numeric.cend(); ++it) {
    if (!named.contains(it.key()))
      named.insert(it.key(), it.value());
  }
  return named;
}

}  // namespace

QString CBStringUnescapeXMLEntities(const QString& string)
{
  if (string.isNull())
    return {};
  QString result = string;
  for (const Reference& entry : kXMLReferences)
    result = CBStringReplaceAll(result, QString::fromLatin1(entry.reference), QString(QChar(entry.character)));
  return result;
}

namespace CobbletonExtras {

const QHash<QString, QString>& _entitiesDictionary() { return CBEntitiesDictionary(); }

QString entityForCharacterString(const QString& character)
{
  static const QHash<QString, QString> namesByValue = buildEntityNamesByValue();
  const auto it = namesByValue.constFind(character);
  if (it == namesByValue.constEnd())
    return {};
  return QLatin1Char('&') + it.value() + QLatin1Char(';');
}

QString stringWithDecodedEntities(const QString& string) { return cb_stringWithDecodedEntities(string, true, false); }

QString stringWithDecodedEntities(const QString& string, bool convertCarets)
{
  return cb_stringWithDecodedEntities(string, convertCarets, false);
}

QString stringWithDecodedEntities(const QString& string, bool convertCarets, bool hexEntitiesOnly)
{
  return cb_stringWithDecodedEntities(string, convertCarets, hexEntitiesOnly);
}

QString convertFromCommonEntities(const QString& string, const QVariant& unused, bool convertCarets)
{
  Q_UNUSED(unused);
  return stringWithDecodedEntities(string, convertCarets);
}

bool intValueFromHexDigit(const QString& string, uint* value)
{
  quint32 scanned = 0;
  if (!cb_intValueFromHexDigit(string, &scanned))
    return false;
  if (value != nullptr)
    *value = scanned;
  return true;
}

QString convertEntities(const QString& string)
{
  return cb_stringByReplacingReservedXMLCharactersWithReferences(string);
}

bool hasHighChars(const QString& string)
{
  return std::any_of(string.cbegin(), string.cend(), [](QChar c) { return c.unicode() >= 128; });
}

QString convertHighCharsToEntities(const QString& string)
{
  if (!hasHighChars(string))
    return string;
  QString result;
  result.reserve(string.size() * 2);
  const qsizetype n = string.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = string[i];
    if (c.unicode() < 128) {
      result += c;
      continue;
    }
    char32_t codePoint = c.unicode();
    qsizetype units = 1;
    if (c.isHighSurrogate() && i + 1 < n && string[i + 1].isLowSurrogate()) {
      codePoint = QChar::surrogateToUcs4(c, string[i + 1]);
      units = 2;
    } else if (c.isSurrogate()) {
      codePoint = QChar::ReplacementCharacter;
    }
    const QString entity = c.isSurrogate() && units == 1 ? QString() : entityForCharacterString(string.mid(i, units));
    result += entity.isNull() ? QStringLiteral("&#%1;").arg(uint(codePoint)) : entity;
    i += units - 1;
  }
  return result;
}

QString stringWithAmpersandEntitiesDecoded(const QString& string)
{
  QString result = string;
  replaceAmpersandEntities(result);
  return result;
}

QString zph_stringByReplacingSingularSurrogates(const QString& string)
{
  const qsizetype n = string.size();
  // Most text holds no surrogate, and most that does holds whole pairs:
  // the scan goes from one surrogate to the next, a vector at a time.
  const char16_t* const text = reinterpret_cast<const char16_t*>(string.constData());
  const char16_t* const end = text + n;
  qsizetype firstBad = -1;
  for (const char16_t* at = ZPHTextScan::firstSurrogate(text, end); at != end;
       at = ZPHTextScan::firstSurrogate(at, end)) {
    if (QChar::isHighSurrogate(*at) && at + 1 != end && QChar::isLowSurrogate(at[1])) {
      at += 2;
      continue;
    }
    firstBad = at - text;
    break;
  }
  if (firstBad < 0)
    return string;

  QString result = string;
  QChar* units = result.data();
  for (qsizetype i = firstBad; i < n; ++i) {
    const QChar c = units[i];
    if (c.isHighSurrogate() && i + 1 < n && units[i + 1].isLowSurrogate())
      ++i;
    else if (c.isSurrogate())
      units[i] = QChar(QChar::ReplacementCharacter);
  }
  return result;
}

void replaceAmpersandEntities(QString& string)
{
  string.replace(QLatin1String("&amp;"), QLatin1String("&"));
  string.replace(QLatin1String("&#38;"), QLatin1String("&"));
}

void replaceEntity38WithAmpersand(QString& string) { string.replace(ZPHAmp38, ZPHAmpersand); }

void replaceXMLCharacterReferences(QString& string)
{
  if (!string.contains(u'&') || !string.contains(u';'))
    return;
  for (const Reference& entry : kXMLReferences) string.replace(QLatin1String(entry.reference), QChar(entry.character));
}

}  // namespace CobbletonExtras
