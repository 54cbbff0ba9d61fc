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

// Named references: the characters HTML names, except that "&", "<", ">"
// stay encoded. "brkbar" is an older name of the broken bar.
const Entry kNamedEntities[] = {
    {"AElig", u"\u00C6"},  {"Aacute", u"\u00C1"}, {"Acirc", u"\u00C2"},  {"Agrave", u"\u00C0"}, {"Aring", u"\u00C5"},
    {"Atilde", u"\u00C3"}, {"Auml", u"\u00C4"},   {"Ccedil", u"\u00C7"}, {"Dstrok", u"\u0110"}, {"ETH", u"\u00D0"},
    {"Eacute", u"\u00C9"}, {"Ecirc", u"\u00CA"},  {"Egrave", u"\u00C8"}, {"Euml", u"\u00CB"},   {"Iacute", u"\u00CD"},
    {"Icirc", u"\u00CE"},  {"Igrave", u"\u00CC"}, {"Iuml", u"\u00CF"},   {"Ntilde", u"\u00D1"}, {"Oacute", u"\u00D3"},
    {"Ocirc", u"\u00D4"},  {"Ograve", u"\u00D2"}, {"Oslash", u"\u00D8"}, {"Otilde", u"\u00D5"}, {"Ouml", u"\u00D6"},
    {"Pi", u"\u03A0"},     {"THORN", u"\u00DE"},  {"Uacute", u"\u00DA"}, {"Ucirc", u"\u00DB"},  {"Ugrave", u"\u00D9"},
    {"Uuml", u"\u00DC"},   {"Yacute", u"\u00DD"}, {"aacute", u"\u00E1"}, {"acirc", u"\u00E2"},  {"acute", u"\u00B4"},
    {"aelig", u"\u00E6"},  {"agrave", u"\u00E0"}, {"amp", u"&amp;"},     {"apos", u"'"},        {"aring", u"\u00E5"},
    {"atilde", u"\u00E3"}, {"auml", u"\u00E4"},   {"brkbar", u"\u00A6"}, {"brvbar", u"\u00A6"}, {"ccedil", u"\u00E7"},
    {"cedil", u"\u00B8"},  {"cent", u"\u00A2"},   {"copy", u"\u00A9"},   {"curren", u"\u00A4"}, {"deg", u"\u00B0"},
    {"die", u"\u00A8"},    {"divide", u"\u00F7"}, {"eacute", u"\u00E9"}, {"ecirc", u"\u00EA"},  {"egrave", u"\u00E8"},
    {"eth", u"\u00F0"},    {"euml", u"\u00EB"},   {"euro", u"\u20AC"},   {"frac12", u"\u00BD"}, {"frac14", u"\u00BC"},
    {"frac34", u"\u00BE"}, {"gt", u"&gt;"},       {"hearts", u"\u2665"}, {"hellip", u"\u2026"}, {"iacute", u"\u00ED"},
    {"icirc", u"\u00EE"},  {"iexcl", u"\u00A1"},  {"igrave", u"\u00EC"}, {"iquest", u"\u00BF"}, {"iuml", u"\u00EF"},
    {"laquo", u"\u00AB"},  {"ldquo", u"\u201C"},  {"lsquo", u"\u2018"},  {"lt", u"&lt;"},       {"macr", u"\u00AF"},
    {"mdash", u"\u2014"},  {"micro", u"\u00B5"},  {"middot", u"\u00B7"}, {"nbsp", u"\u00A0"},   {"ndash", u"\u2013"},
    {"not", u"\u00AC"},    {"ntilde", u"\u00F1"}, {"oacute", u"\u00F3"}, {"ocirc", u"\u00F4"},  {"ograve", u"\u00F2"},
    {"ordf", u"\u00AA"},   {"ordm", u"\u00BA"},   {"oslash", u"\u00F8"}, {"otilde", u"\u00F5"}, {"ouml", u"\u00F6"},
    {"para", u"\u00B6"},   {"pi", u"\u03C0"},     {"plusmn", u"\u00B1"}, {"pound", u"\u00A3"},  {"quot", u"\""},
    {"raquo", u"\u00BB"},  {"rdquo", u"\u201D"},  {"reg", u"\u00AE"},    {"rsquo", u"\u2019"},  {"sect", u"\u00A7"},
    {"shy", u"\u00AD"},    {"sup1", u"\u00B9"},   {"sup2", u"\u00B2"},   {"sup3", u"\u00B3"},   {"szlig", u"\u00DF"},
    {"thorn", u"\u00FE"},  {"times", u"\u00D7"},  {"trade", u"\u2122"},  {"uacute", u"\u00FA"}, {"ucirc", u"\u00FB"},
    {"ugrave", u"\u00F9"}, {"uml", u"\u00A8"},    {"uuml", u"\u00FC"},   {"yacute", u"\u00FD"}, {"yen", u"\u00A5"},
    {"yuml", u"\u00FF"},
};

// Numeric references outside "#160" to "#255"; "#145" to "#153" take their
// Windows-1252 meaning.
const Entry kNumericEntities[] = {
    {"#034", u"\""},      {"#039", u"'"},       {"#145", u"\u2018"},  {"#146", u"\u2019"},  {"#147", u"\u201C"},
    {"#148", u"\u201D"},  {"#149", u"\u2022"},  {"#150", u"\u2013"},  {"#151", u"\u2014"},  {"#153", u"\u2122"},
    {"#32", u" "},        {"#34", u"\""},       {"#39", u"'"},        {"#8194", u"\u2002"}, {"#8195", u"\u2003"},
    {"#8211", u"\u2013"}, {"#8212", u"\u2014"}, {"#8216", u"\u2018"}, {"#8217", u"\u2019"}, {"#8220", u"\u201C"},
    {"#8221", u"\u201D"}, {"#8230", u"\u2026"},
};

QHash<QString, QString> buildEntitiesDictionary()
{
  QHash<QString, QString> table;
  table.reserve(240);
  for (const Entry& entry : kNamedEntities)
    table.insert(QString::fromLatin1(entry.name), QString::fromUtf16(entry.value));
  for (const Entry& entry : kNumericEntities)
    table.insert(QString::fromLatin1(entry.name), QString::fromUtf16(entry.value));
  // "#160" to "#255" are ISO 8859-1.
  for (char16_t code = 160; code <= 255; ++code)
    table.insert(QStringLiteral("#%1").arg(int(code)), QString(QChar(code)));
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

// What the numeric references 128 to 159 stand for in HTML: the characters
// Windows-1252 has there (feeds written in it give them as they were). The
// five codes Windows-1252 leaves empty stay themselves.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// How a walk writes the references for "&", "<" and ">".
enum class Markup {
  Encoded,          // "&amp;", "&lt;", "&gt;"
  CaretsAsWritten,  // "&amp;"; those for "<" and ">" as the text wrote them
  Text,             // the characters themselves
  Numeric,          // "&#38;", "&#60;", "&#62;", and quotes as "&#34;", "&#39;"
};

// The text that the numeric reference `name` ("#233", "#xe9", "#XE9")
// stands for, or a null string when it is to stay as written.
QString numericReferenceReplacement(QStringView name, Markup markup)
{
  qint64 code = 0;
  if (name.size() > 1 && (name[1] == u'x' || name[1] == u'X')) {
    quint32 hex = 0;
    if (!cb_intValueFromHexDigit(QStringLiteral("0x") + name.mid(2).toString(), &hex))
      return {};
    code = hex;
  } else {
    code = CBStringIntValue(name.mid(1));
  }
  if (!isDecodableCodePoint(code))
    return {};
  if (code >= 0x80 && code <= 0x9F)
    code = kWindows1252[code - 0x80];
  if (markup != Markup::Text) {
    // Decoding never makes markup: "&", "<" and ">" stay encoded like their
    // named references.
    if (code == u'&')
      return QStringLiteral("&amp;");
    if (code == u'<' || code == u'>') {
      if (markup == Markup::CaretsAsWritten)
        return {};
      return code == u'<' ? QStringLiteral("&lt;") : QStringLiteral("&gt;");
    }
  }
  const char32_t codePoint = char32_t(code);
  return QString::fromUcs4(&codePoint, 1);
}

// A reference's text (which holds "&", "<" and ">" encoded) as the
// characters themselves.
QString asText(const QString& encoded)
{
  if (!encoded.contains(u'&'))
    return encoded;
  QString text = encoded;
  text.replace(QLatin1String("&lt;"), QLatin1String("<"));
  text.replace(QLatin1String("&gt;"), QLatin1String(">"));
  text.replace(QLatin1String("&amp;"), QLatin1String("&"));
  return text;
}

QString decodedReferences(const QString& string, Markup markup, bool numericOnly)
{
  if (string.isEmpty() || !string.contains(u'&'))
    return string;

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
    const bool numeric = nameView.startsWith(u'#');
    QString replacement;
    if (!numericOnly && !numeric)
      replacement = CBNamedCharacterReferenceText(nameView);
    if (numeric) {
      if (!numericOnly)
        replacement = table.value(nameView.toString());
      if (replacement.isNull())
        replacement = numericReferenceReplacement(nameView, markup);
    }
    if (markup == Markup::Text) {
      replacement = asText(replacement);
    } else if (markup == Markup::Numeric && !replacement.isNull()) {
      // Markup that means the same: the characters of its syntax as numeric
      // references.
      QString written;
      for (const QChar c : asText(replacement)) {
        if (c == u'&' || c == u'<' || c == u'>' || c == u'"' || c == u'\'')
          written += QStringLiteral("&#%1;").arg(c.unicode());
        else
          written += c;
      }
      replacement = written;
    }
    // Carets that are to stay encoded stay as they were written ("&lt;",
    // "&LT;").
    const bool keepCaretAsWritten =
        markup == Markup::CaretsAsWritten && !numeric &&
        (replacement.contains(QLatin1String("&lt;")) || replacement.contains(QLatin1String("&gt;")));
    if (replacement.isNull() || keepCaretAsWritten)
      result += text.mid(ampersand, semicolon - ampersand + 1);
    else
      result += replacement;
    i = semicolon + 1;
  }
  return result;
}

}  // namespace

QString cb_stringWithDecodedEntities(const QString& string, bool convertCarets, bool convertHexEntitiesOnly)
{
  const bool caretsStayEncoded = !convertCarets || convertHexEntitiesOnly;
  return decodedReferences(string, caretsStayEncoded ? Markup::CaretsAsWritten : Markup::Encoded,
                           convertHexEntitiesOnly);
}

QString cb_stringWithDecodedEntities(const QString& string)
{
  return cb_stringWithDecodedEntities(string, true, false);
}

QString CBStringWithDecodedEntities(const QString& string) { return cb_stringWithDecodedEntities(string, true, false); }

QString CBTextWithDecodedEntities(const QString& string) { return decodedReferences(string, Markup::Text, false); }

QString CBMarkupWithDecodedEntities(const QString& markup) { return decodedReferences(markup, Markup::Numeric, false); }
