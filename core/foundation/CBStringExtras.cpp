#include "foundation/CBStringExtras.h"

#include <QtCore/QUrl>

#include "foundation/CBString.h"

#include <QtCore/QCollator>
#include <QtCore/QLocale>

#include <initializer_list>
#include <optional>

const QString URLCorePboardType = QStringLiteral("CorePasteboardFlavorType 0x75726C20");
const QString URLNameCorePboardType = QStringLiteral("CorePasteboardFlavorType 0x75726C6E");
const QString WebURLsWithTitlesPboardType = QStringLiteral("WebURLsWithTitlesPboardType");

namespace {

QString emptyString() { return QString(QLatin1String("")); }

bool isEmailSeparator(QChar c)
{
  switch (c.unicode()) {
    case u'\t':
    case u'\n':
    case u'\r':
    case u' ':
    case u'(':
    case u')':
    case u'<':
    case u'>':
      return true;
    default:
      return false;
  }
}

// One row of the leading-article table: the articles tried when the working
// string starts with `letter` and is at least `minimumLength` long.
struct ArticleRow {
  char16_t letter;
  qsizetype minimumLength;
  const char* articles[6];  // unused places are null
};

const ArticleRow kArticleRows[] = {
    {u't', 5, {"the "}},
    {u'a', 4, {"a ", "an "}},
    {u'd', 5, {"des ", "der ", "dem ", "den ", "die ", "das "}},
    {u'e', 4, {"el "}},
    {u'e', 5, {"ein "}},
    {u'e', 6, {"eine "}},
    {u'e', 7, {"einen ", "einem ", "einer ", "eines "}},
    {u'l', 4, {"l' ", "lo ", "la ", "le "}},
    {u'l', 4, {"l'"}},
    {u'l', 5, {"les ", "los ", "las "}},
    {u'u', 4, {"un "}},
    {u'u', 5, {"una ", "une "}},
    {u'i', 4, {"il "}},
};

}  // namespace

namespace CobbletonExtras {

// ---- Strings ----

bool contains(const QString& string, const QString& substring) { return cb_caseInsensitiveContains(string, substring); }

bool caseInsensitiveContains(const QString& string, const QString& substring)
{
  return cb_caseInsensitiveContains(string, substring);
}

bool caseSensitiveContains(const QString& string, const QString& substring) { return cb_contains(string, substring); }

bool usernameAndPasswordFromURL(const QString& urlString, QString* username, QString* password)
{
  return cb_usernameAndPasswordFromURL(urlString, username, password);
}

QString urlWithUsernameAndPasswordRemoved(const QString& urlString)
{
  // Credentials are cleared on the parsed address, so escaped ones go too;
  // an address with a user name alone stays as it is.
  QUrl url(urlString);
  if (!url.isValid() || url.userName().isEmpty() || url.password().isEmpty())
    return urlString;
  return cb_URLStringWithUsernameAndPasswordRemoved(urlString);
}

QString cb_replaceAll(const QString& string, const QString& target, const QString& replacement)
{
  return CBStringReplaceAll(string, target, replacement);
}

QString cb_trimWhiteSpace(const QString& string) { return cb_stringByTrimmingWhitespace(string); }

QString cb_stripHTML(const QString& string) { return CBStringStripHTML(string); }

QString collapsedWhiteSpaceString(const QString& string) { return cb_stringByCollapsingWhitespace(string); }

bool isGoodURLString(const QString& string) { return CBStringIsWebOrFileURLString(string); }

QString substringToFirstOccurenceOfString(const QString& string, const QString& substring)
{
  return cb_substringToFirstOccurenceOfString(string, substring);
}

QString substringAfterFirstOccurenceOfString(const QString& string, const QString& substring)
{
  return cb_substringAfterFirstOccurenceOfString(string, substring);
}

QString URLStringSafeForFileSystem(const QString& string)
{
  if (string.isNull())
    return {};
  QString result = string.contains(u'@') ? urlWithUsernameAndPasswordRemoved(string) : string;
  for (const char* prefix : {"http://", "https://", "file://"}) {
    const QLatin1String scheme(prefix);
    if (result.startsWith(scheme) && result.size() > scheme.size()) {
      result.remove(0, scheme.size());
      break;
    }
  }
  result.replace(u'/', u'_');
  result.replace(u'.', u'_');
  result.replace(u':', u'_');
  return result;
}

QString firstEmailAddress(const QString& string)
{
  if (string.size() < 2)
    return {};
  qsizetype start = -1;
  bool holdsAt = false;
  const qsizetype n = string.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = string.at(i);
    if (isEmailSeparator(c)) {
      if (holdsAt)
        return string.mid(start, i - start);
      start = -1;
      continue;
    }
    if (c == u'@' && holdsAt) {
      // A second "@": this token is no address; a new one starts after it.
      start = -1;
      holdsAt = false;
      continue;
    }
    if (start < 0)
      start = i;
    if (c == u'@')
      holdsAt = true;
  }
  if (holdsAt)
    return string.mid(start);
  return {};
}

QString zph_stringByRemovingLeadingArticles(const QString& string)
{
  const QString lowercase = string.toLower();
  if (lowercase.isEmpty())
    return string;

  QString working = lowercase;
  QString resultBase = string;
  if (lowercase.at(0) == u'"' && lowercase.size() >= 2) {
    working = lowercase.mid(1);
    resultBase = working;
  }

  const QChar first = working.at(0);
  for (const ArticleRow& row : kArticleRows) {
    if (first != QChar(row.letter) || working.size() < row.minimumLength)
      continue;
    for (const char* article : row.articles) {
      if (article == nullptr)
        break;
      const QLatin1String text(article);
      if (!working.startsWith(text))
        continue;
      // The rest after "a " is taken from the lower-cased text.
      const QString& base = text == QLatin1String("a ") ? working : resultBase;
      return base.mid(text.size());
    }
  }
  return resultBase;
}

int zph_ignoringArticleCompare(const QString& string, const QString& other)
{
  // The C locale collates by code point, which would ignore the numeric
  // rule: it collates with the neutral (English) rules instead.
  QLocale locale;
  if (locale.language() == QLocale::C)
    locale = QLocale(QLocale::English, QLocale::UnitedStates);

  // One collator per thread, made again when the user's locale changes.
  thread_local std::optional<QCollator> collator;
  if (!collator || collator->locale() != locale) {
    collator.emplace(locale);
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    collator->setNumericMode(true);
  }
  const int result =
      collator->compare(zph_stringByRemovingLeadingArticles(string), zph_stringByRemovingLeadingArticles(other));
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

QString stripSuffix(const QString& string, const QString& suffix)
{
  return cb_stringByStrippingCaseInsensitiveSuffix(string, suffix);
}

QString stripPrefix(const QString& string, const QString& prefix)
{
  return cb_stringByStrippingCaseInsensitivePrefix(string, prefix);
}

QString createLink(const QString& text, const QString& urlString) { return CBStringCreateLink(text, urlString); }

QString stringWithUTF8EncodedData(const QByteArray& data) { return cb_stringWithUTF8EncodedData(data); }

QString usefulStringWithData(const QByteArray& data) { return CBStringUsefulStringWithData(data); }

QString stringWithContentsOfUTF8EncodedFile(const QString& path)
{
  return cb_stringWithContentsOfUTF8EncodedFile(path);
}

QString stringWithQueryStripped(const QString& string) { return cb_stringByStrippingURLQuery(string); }

QString stringWithByteOrderMarkRemoved(const QString& string)
{
  if (string.isNull())
    return {};
  const qsizetype n = string.size();
  const auto startsWithUnits = [&](std::initializer_list<char16_t> units) {
    qsizetype i = 0;
    for (const char16_t unit : units) {
      if (i >= n || string.at(i).unicode() != unit)
        return false;
      ++i;
    }
    return true;
  };
  if (n >= 4 && startsWithUnits({0xEF, 0xBB, 0xBF}))
    return string.mid(3);
  if (n >= 5 && (startsWithUnits({0x00, 0x00, 0xFE, 0xFF}) || startsWithUnits({0xFF, 0xFE, 0x00, 0x00})))
    return string.mid(4);
  if (n >= 3 && (startsWithUnits({0xFE, 0xFF}) || startsWithUnits({0xFF, 0xFE})))
    return string.mid(2);
  return string;
}

QString zph_keyPathWithComponents(const QString& first, const QStringList& further)
{
  if (first.isNull())
    return {};
  QString keyPath = first;
  for (const QString& component : further) {
    if (component.isNull())
      break;
    keyPath += QLatin1Char('.');
    keyPath += component;
  }
  return keyPath;
}

// ---- Mutable strings ----

void safeAppendString(QString& string, const QString& other) { cb_safeAppendString(string, other); }

void cb_replaceOccurrencesOfString(QString& string, const QString& target, const QString& replacement)
{
  ::cb_replaceOccurrencesOfString(string, target, replacement);
}

void collapseWhitespace(QString& string) { cb_collapseWhitespace(string); }

QString stringWithThreeParts(const QString& s1, const QString& s2, const QString& s3)
{
  return cb_mutableStringByAddingThreeStrings(s1, s2, s3);
}

QString emptyMutableString() { return emptyString(); }

}  // namespace CobbletonExtras

// ---------------------------------------------------------------------------
// C functions

bool CBStringContains(const QString& string, const QString& substring)
{
  return cb_caseInsensitiveContains(string, substring);
}

QString CBStringCollapsedWhiteSpaceString(const QString& string) { return cb_stringByCollapsingWhitespace(string); }

bool CBStringIsEmptyOrIsAllWhitespace(const QString& string) { return string.trimmed().isEmpty(); }

QString CBKilobyteString(quint64 bytes) { return cb_kilobyteString(bytes); }

QString CBMegabyteString(quint64 bytes) { return cb_megabyteString(bytes); }

QString CBGigabyteString(quint64 bytes) { return cb_gigabyteString(bytes); }

QString CBDoubleStringWithOneDecimalPlace(double value) { return cb_doubleStringWithOneDecimalPlace(value); }

QString CBConcatenateStrings(const QString& string1, const QString& string2)
{
  const QString joined = cb_stringByAddingStrings(string1, string2);
  return joined.isNull() ? emptyString() : joined;
}

QString CBStringWithLineBreaksConvertedToBRTags(const QString& string)
{
  if (string.isNull())
    return {};
  QString result = string;
  result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  result.replace(u'\n', QLatin1String("<br />"));
  result.replace(u'\r', QLatin1String("<br />"));
  const QLatin1String threeBreaks("<br /><br /><br />");
  // Each pass shortens the text, so this ends.
  while (result.contains(threeBreaks)) result.replace(threeBreaks, QLatin1String("<br /><br />"));
  return result;
}

QString CBStringWithNamespaceStripped(const QString& name)
{
  const qsizetype colon = name.indexOf(u':');
  if (colon < 0)
    return name;
  const qsizetype next = name.indexOf(u':', colon + 1);
  return name.mid(colon + 1, next < 0 ? -1 : next - colon - 1);
}

QString CBStringMailToLinkWithTitleAndBodyAndRecipient(const QString& title, const QString& body,
                                                       const QString& recipient)
{
  const auto escaped = [](const QString& value) {
    QString text = CBStringByAddingPercentEscapes(value);
    text.replace(u'&', QLatin1String("%26"));
    return text;
  };
  return QLatin1String("mailto:") + escaped(recipient) + QLatin1String("?subject=") + escaped(title) +
         QLatin1String("&body=") + escaped(body);
}

QString CBURLStringWithStrippedQueryString(const QString& urlString)
{
  const QStringList pieces = CBArraySeparatedByFirstInstanceOfCharacter(urlString, u'?');
  if (pieces.isEmpty() || pieces.first().isEmpty())
    return urlString;
  return pieces.first();
}

QString CBHTMLDiff(const QString& oldHTML, const QString& newHTML)
{
  Q_UNUSED(oldHTML);
  return newHTML.isNull() ? emptyString() : newHTML;
}
