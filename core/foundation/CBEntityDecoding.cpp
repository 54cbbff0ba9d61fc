#include "foundation/CBEntityDecoding.h"

#include "foundation/CBString.h"
#include "foundation/ZPHHTMLNamedCharacterReferences.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace {

struct Entry {
  const char* name;
  const char16_t* value;
};

// Named references: HTML 4 characters, except that a few become ASCII
// look-alikes or a blank, and "&", "<", ">" stay encoded. "brkbar" is an
// older name of the broken bar.
const Entry kNamedEntities[] = {
    {"AElig", u"\u00C6"},  {"Aacute", u"\u00C1"}, {"Acirc", u"\u00C2"},  {"Agrave", u"\u00C0"}, {"Aring", u"\u00C5"},
    {"Atilde", u"\u00C3"}, {"Auml", u"\u00C4"},   {"Ccedil", u"\u00C7"}, {"Dstrok", u"\u0110"}, {"ETH", u"\u00D0"},
    {"Eacute", u"\u00C9"}, {"Ecirc", u"\u00CA"},  {"Egrave", u"\u00C8"}, {"Euml", u"\u00CB"},   {"Iacute", u"\u00CD"},
    {"Icirc", u"\u00CE"},  {"Igrave", u"\u00CC"}, {"Iuml", u"\u00CF"},   {"Ntilde", u"\u00D1"}, {"Oacute", u"\u00D3"},
    {"Ocirc", u"\u00D4"},  {"Ograve", u"\u00D2"}, {"Oslash", u"\u00D8"}, {"Otilde", u"\u00D5"}, {"Ouml", u"\u00D6"},
    {"Pi", u"\u03A0"},     {"THORN", u"\u00DE"},  {"Uacute", u"\u00DA"}, {"Ucirc", u"\u00DB"},  {"Ugrave", u"\u00D9"},
    {"Uuml", u"\u00DC"},   {"Yacute", u"Y"},      {"aacute", u"\u00E1"}, {"acirc", u"\u00E2"},  {"acute", u"\u00B4"},
    {"aelig", u"\u00E6"},  {"agrave", u"\u00E0"}, {"amp", u"&amp;"},     {"apos", u"'"},        {"aring", u"\u00E5"},
    {"atilde", u"\u00E3"}, {"auml", u"\u00E4"},   {"brkbar", u"\u00A6"}, {"brvbar", u"\u00A6"}, {"ccedil", u"\u00E7"},
    {"cedil", u"\u00B8"},  {"cent", u"\u00A2"},   {"copy", u"\u00A9"},   {"curren", u"\u00A4"}, {"deg", u"\u00B0"},
    {"die", u"\u00A8"},    {"divide", u"\u00F7"}, {"eacute", u"\u00E9"}, {"ecirc", u"\u00EA"},  {"egrave", u"\u00E8"},
    {"eth", u"\u00F0"},    {"euml", u"\u00EB"},   {"euro", u"\u20AC"},   {"frac12", u"1/2"},    {"frac14", u"1/4"},
    {"frac34", u"3/4"},    {"gt", u"&gt;"},       {"hearts", u"\u2665"}, {"hellip", u"\u2026"}, {"iacute", u"\u00ED"},
    {"icirc", u"\u00EE"},  {"iexcl", u"\u00A1"},  {"igrave", u"\u00EC"}, {"iquest", u"\u00BF"}, {"iuml", u"\u00EF"},
    {"laquo", u"\u00AB"},  {"ldquo", u"\u201C"},  {"lsquo", u"\u2018"},  {"lt", u"&lt;"},       {"macr", u"\u00AF"},
    {"mdash", u"\u2014"},  {"micro", u"\u00B5"},  {"middot", u"\u00B7"}, {"nbsp", u" "},        {"ndash", u"-"},
    {"not", u"\u00AC"},    {"ntilde", u"\u00F1"}, {"oacute", u"\u00F3"}, {"ocirc", u"\u00F4"},  {"ograve", u"\u00F2"},
    {"ordf", u"\u00AA"},   {"ordm", u"\u00BA"},   {"oslash", u"\u00F8"}, {"otilde", u"\u00F5"}, {"ouml", u"\u00F6"},
    {"para", u"\u00B6"},   {"pi", u"\u03C0"},     {"plusmn", u"\u00B1"}, {"pound", u"\u00A3"},  {"quot", u"\""},
    {"raquo", u"\u00BB"},  {"rdquo", u"\u201D"},  {"reg", u"\u00AE"},    {"rsquo", u"\u2019"},  {"sect", u"\u00A7"},
    {"shy", u" "},         {"sup1", u" "},        {"sup2", u" "},        {"sup3", u" "},        {"szlig", u"\u00DF"},
    {"thorn", u"\u00FE"},  {"times", u"x"},       {"trade", u"\u2122"},  {"uacute", u"\u00FA"}, {"ucirc", u"\u00FB"},
    {"ugrave", u"\u00F9"}, {"uml", u"\u00A8"},    {"uuml", u"\u00FC"},   {"yacute", u"y"},      {"yen", u"\u00A5"},
    {"yuml", u"\u00FF"},
};

// Numeric references outside "#160" to "#255"; "#145" to "#153" take their
// Windows-1252 meaning.
const Entry kNumericEntities[] = {
    {"#034", u"\""},      {"#039", u"'"},       {"#145", u"\u2018"},  {"#146", u"\u2019"},  {"#147", u"\u201C"},
    {"#148", u"\u201D"},  {"#149", u"\u2022"},  {"#150", u"-"},       {"#151", u"\u2014"},  {"#153", u"\u2122"},
    {"#32", u" "},        {"#34", u"\""},       {"#39", u"'"},        {"#8194", u" "},      {"#8195", u" "},
    {"#8211", u"-"},      {"#8212", u"\u2014"}, {"#8216", u"\u2018"}, {"#8217", u"\u2019"}, {"#8220", u"\u201C"},
    {"#8221", u"\u201D"}, {"#8230", u"\u2026"},
};

// "#160" to "#255" are ISO 8859-1, except these.
const Entry kLatin1Exceptions[] = {
    {"#160", u" "},   {"#173", u" "},   {"#178", u" "}, {"#179", u" "}, {"#185", u" "}, {"#188", u"1/4"},
    {"#189", u"1/2"}, {"#190", u"3/4"}, {"#215", u"x"}, {"#221", u"Y"}, {"#253", u"y"},
};

QHash<QString, QString> buildEntitiesDictionary()
{
  QHash<QString, QString> table;
  table.reserve(240);
  for (const Entry& entry : kNamedEntities)
    table.insert(QString::fromLatin1(entry.name), QString::fromUtf16(entry.value));
  for (const Entry& entry : kNumericEntities)
    table.insert(QString::fromLatin1(entry.name), QString::fromUtf16(entry.value));
  for (char16_t code = 160; code <= 255; ++code)
    table.insert(QStringLiteral("#%1").arg(int(code)), QString(QChar(code)));
  for (const Entry& entry : kLatin1Exceptions)
    table.insert(QString::fromLatin1(entry.name), QString::fromUtf16(entry.value));
  return table;
}

// A named reference as feed text takes it.
struct NamedReference {
  std::string name;
  std::string utf8;
  QString text;
};

// HTML's whole table with "&", "<" and ">" kept encoded, the names of our
// own table taking its values; sorted by name.
std::vector<NamedReference> buildNamedReferences(const QHash<QString, QString>& ownTable)
{
  std::size_t count = 0;
  const ZPHHTMLNamedCharacterReference* html = ZPHHTMLNamedCharacterReferenceTable(&count);
  std::vector<NamedReference> references;
  references.reserve(count + 8);
  for (std::size_t i = 0; i < count; ++i) {
    QString text = QString::fromUtf8(html[i].value);
    text.replace(u'&', QLatin1String("&amp;"))
        .replace(u'<', QLatin1String("&lt;"))
        .replace(u'>', QLatin1String("&gt;"));
    references.push_back({html[i].name, {}, text});
  }
  const auto byName = [](const NamedReference& a, const NamedReference& b) { return a.name < b.name; };
  std::sort(references.begin(), references.end(), byName);
  for (auto it = ownTable.cbegin(); it != ownTable.cend(); ++it) {
    if (it.key().startsWith(u'#'))
      continue;
    NamedReference own{it.key().toStdString(), {}, it.value()};
    auto at = std::lower_bound(references.begin(), references.end(), own, byName);
    if (at != references.end() && at->name == own.name)
      at->text = own.text;
    else
      references.insert(at, own);
  }
  for (NamedReference& reference : references) reference.utf8 = reference.text.toStdString();
  return references;
}

const std::vector<NamedReference>& namedReferences()
{
  static const std::vector<NamedReference> references = buildNamedReferences(CBEntitiesDictionary());
  return references;
}

const NamedReference* findNamedReference(std::string_view name)
{
  const std::vector<NamedReference>& references = namedReferences();
  const auto before = [](const NamedReference& entry, std::string_view key) { return entry.name < key; };
  const auto found = std::lower_bound(references.begin(), references.end(), name, before);
  if (found == references.end() || found->name != name)
    return nullptr;
  return &*found;
}

// The longest name HTML has is 31 characters.
constexpr qsizetype kLongestReferenceName = 40;

bool isReferenceBreak(QChar c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ' || c == u'&'; }

bool isHexDigit(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

quint64 hexDigitValue(QChar c)
{
  if (c >= u'0' && c <= u'9')
    return c.unicode() - u'0';
  if (c >= u'a' && c <= u'f')
    return c.unicode() - u'a' + 10;
  return c.unicode() - u'A' + 10;
}

bool isDecodableCodePoint(qint64 value)
{
  return value >= 1 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
}

}  // namespace

const QHash<QString, QString>& CBEntitiesDictionary()
{
  static const QHash<QString, QString> table = buildEntitiesDictionary();
  return table;
}

QString CBNamedCharacterReferenceText(QStringView name)
{
  if (name.isEmpty() || name.size() > kLongestReferenceName)
    return {};
  char ascii[kLongestReferenceName];
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (c >= 0x80)
      return {};
    ascii[i] = char(c);
  }
  const NamedReference* reference = findNamedReference(std::string_view(ascii, std::size_t(name.size())));
  return reference != nullptr ? reference->text : QString();
}

const char* CBNamedCharacterReferenceUTF8(std::string_view name, std::size_t* length)
{
  const NamedReference* reference = findNamedReference(name);
  if (reference == nullptr)
    return nullptr;
  if (length != nullptr)
    *length = reference->utf8.size();
  return reference->utf8.c_str();
}

bool cb_intValueFromHexDigit(const QString& string, quint32* value)
{
  qsizetype i = 0;
  const qsizetype n = string.size();
  while (i < n && string[i].isSpace()) ++i;
  if (i + 2 < n && string[i] == u'0' && (string[i + 1] == u'x' || string[i + 1] == u'X') && isHexDigit(string[i + 2]))
    i += 2;
  if (i >= n || !isHexDigit(string[i]))
    return false;
  quint64 scanned = 0;
  for (; i < n && isHexDigit(string[i]); ++i) {
    if (scanned <= std::numeric_limits<quint32>::max())
      scanned = scanned * 16 + hexDigitValue(string[i]);
  }
  if (value != nullptr)
    *value = scanned > std::numeric_limits<quint32>::max() ? std::numeric_limits<quint32>::max() : quint32(scanned);
  return true;
}

namespace {

// The text that the numeric reference `name` ("#233", "#xe9") stands for, or
// a null string when it is to stay as written.
QString numericReferenceReplacement(const QString& name, bool caretsStayEncoded)
{
  qint64 code = 0;
  if (name.startsWith(QLatin1String("#x"))) {
    QString digits = name;
    digits.replace(QLatin1String("#x"), QLatin1String("0x"));
    quint32 hex = 0;
    cb_intValueFromHexDigit(digits, &hex);
    code = hex;
  } else {
    code = CBStringIntValue(QStringView(name).mid(1));
  }
  if (!isDecodableCodePoint(code))
    return {};
  // Decoding never makes markup: "&", "<" and ">" stay encoded like their
  // named references.
  if (code == u'&')
    return QStringLiteral("&amp;");
  if (code == u'<' || code == u'>') {
    if (caretsStayEncoded)
      return {};
    return code == u'<' ? QStringLiteral("&lt;") : QStringLiteral("&gt;");
  }
  const char32_t codePoint = char32_t(code);
  return QString::fromUcs4(&codePoint, 1);
}

}  // namespace

QString cb_stringWithDecodedEntities(const QString& string, bool convertCarets, bool convertHexEntitiesOnly)
{
  if (string.isEmpty() || !string.contains(u'&'))
    return string;

  const bool caretsStayEncoded = !convertCarets || convertHexEntitiesOnly;
  const QHash<QString, QString>& table = CBEntitiesDictionary();
  const QStringView text(string);
  const qsizetype n = text.size();

  QString result;
  result.reserve(n);
  qsizetype i = 0;
  while (i < n) {
    const qsizetype ampersand = text.indexOf(u'&', i);
    if (ampersand < 0) {
      result += text.mid(i);
      break;
    }
    result += text.mid(i, ampersand - i);

    // A reference runs to the next ";"; white space or another "&" first
    // means this "&" is plain text.
    qsizetype semicolon = ampersand + 1;
    while (semicolon < n && text[semicolon] != u';' && !isReferenceBreak(text[semicolon])) ++semicolon;
    if (semicolon >= n || text[semicolon] != u';') {
      result += u'&';
      i = ampersand + 1;
      continue;
    }

    const QStringView nameView = text.mid(ampersand + 1, semicolon - ampersand - 1);
    QString replacement;
    if (!convertHexEntitiesOnly && !nameView.startsWith(u'#'))
      replacement = CBNamedCharacterReferenceText(nameView);
    if (replacement.isNull() && nameView.startsWith(u'#')) {
      const QString name = nameView.toString();
      if (!convertHexEntitiesOnly)
        replacement = table.value(name);
      if (replacement.isNull())
        replacement = numericReferenceReplacement(name, caretsStayEncoded);
    }
    // Carets that are to stay encoded stay as they were written ("&lt;",
    // "&LT;").
    const bool keepCaretAsWritten =
        caretsStayEncoded && !nameView.startsWith(u'#') &&
        (replacement.contains(QLatin1String("&lt;")) || replacement.contains(QLatin1String("&gt;")));
    if (replacement.isNull() || keepCaretAsWritten)
      result += text.mid(ampersand, semicolon - ampersand + 1);
    else
      result += replacement;
    i = semicolon + 1;
  }
  return result;
}

QString cb_stringWithDecodedEntities(const QString& string)
{
  return cb_stringWithDecodedEntities(string, true, false);
}

QString CBStringWithDecodedEntities(const QString& string) { return cb_stringWithDecodedEntities(string, true, false); }
