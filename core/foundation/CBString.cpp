#include "foundation/CBString.h"

#include "foundation/CBEntityDecoding.h"
#include "foundation/ZPHTextScan.h"
#include "platform/ZPHLog.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringDecoder>
#include <QtCore/QUrl>
#include <QtCore/QUuid>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

QString emptyString() { return QString(QLatin1String("")); }

// A QString that is never null, even for an empty view.
QString toNonNullString(QStringView view) { return view.isEmpty() ? emptyString() : view.toString(); }

// Characters that a URL may hold as they are, beside letters, digits and
// "-_.~".
const QByteArray kURLLegalCharacters = QByteArrayLiteral("!*'();/?:@&=+$,#");

// The characters left as they are in a form value, beside "-_.~".
const QByteArray kURLEncodingLegalCharacters = QByteArrayLiteral("()");

int hexDigitValue(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Whether "<" followed by `next` begins markup, as HTML reads it: a tag
// ("<p", "</p"), a comment or declaration ("<!"), a processing instruction
// ("<?"). Any other "<" is text ("5 < 6", "<3").
bool opensMarkup(char16_t next)
{
  return (next >= u'a' && next <= u'z') || (next >= u'A' && next <= u'Z') || next == u'/' || next == u'!' ||
         next == u'?';
}

bool isASCIILetterOrDigit(char16_t c)
{
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isMarkupBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

// Elements whose tags stand between words in text: blocks, list items,
// table cells and rows, line breaks and rules.
bool separatesWords(QStringView name)
{
  static const char* const names[] = {
      "address", "article",    "aside",  "blockquote", "br",  "caption", "dd", "details", "div",     "dl",
      "dt",      "figcaption", "figure", "footer",     "h1",  "h2",      "h3", "h4",      "h5",      "h6",
      "header",  "hr",         "li",     "main",       "nav", "ol",      "p",  "pre",     "section", "summary",
      "table",   "tbody",      "td",     "tfoot",      "th",  "thead",   "tr", "ul",
  };
  if (name.isEmpty() || name.size() > 10)
    return false;
  for (const char* candidate : names) {
    if (name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0)
      return true;
  }
  return false;
}

// Past the markup that begins with the "<" at `at` (opensMarkup() holds for
// the character after it): a comment runs to "-->", a tag to its ">" (a ">"
// inside a quoted attribute value does not end it), a declaration or
// processing instruction to the next ">". Markup left open runs to the end.
// `*separates` tells whether it was a tag of separatesWords().
const char16_t* afterMarkup(const char16_t* at, const char16_t* end, bool* separates)
{
  *separates = false;
  const char16_t* p = at + 1;
  const bool endTag = *p == u'/' && p + 1 != end && ((p[1] >= u'a' && p[1] <= u'z') || (p[1] >= u'A' && p[1] <= u'Z'));
  if (*p != u'/' ? (*p == u'!' || *p == u'?') : !endTag) {
    if (end - p >= 3 && p[0] == u'!' && p[1] == u'-' && p[2] == u'-') {
      const QStringView rest(p + 3, end - (p + 3));
      const qsizetype close = rest.indexOf(QLatin1String("-->"));
      return close < 0 ? end : p + 3 + close + 3;
    }
    const QStringView rest(p, end - p);
    const qsizetype close = rest.indexOf(u'>');
    return close < 0 ? end : p + close + 1;
  }
  if (*p == u'/')
    ++p;
  const char16_t* const nameStart = p;
  while (p != end && isASCIILetterOrDigit(*p)) ++p;
  *separates = separatesWords(QStringView(nameStart, p - nameStart));
  // Attributes: a quote opens a quoted value only where a value begins.
  bool valueMayBegin = false;
  while (p != end) {
    const char16_t c = *p++;
    if (c == u'>')
      return p;
    if (c == u'=') {
      valueMayBegin = true;
    } else if (valueMayBegin && (c == u'"' || c == u'\'')) {
      while (p != end && *p != c) ++p;
      if (p == end)
        return end;
      ++p;
      valueMayBegin = false;
    } else if (!isMarkupBlank(c)) {
      valueMayBegin = false;
    }
  }
  return end;
}

// The walk shared by the two white-space-keeping tag strippers: markup as
// HTML reads it is dropped (see afterMarkup(); a "<" or ">" that is not
// markup is text), a blank run outside markup is written as one space, the
// tags of blocks, list items, table cells and line breaks stand for a blank
// between the words around them, and the walk stops once `maxCharacters`
// (when above 0) characters were written.
QString strippedHTMLWalk(QStringView string, int maxCharacters, bool* reachedMaximum)
{
  *reachedMaximum = false;
  // Written straight into a buffer of the largest possible size: each
  // character gives at most one, and markup (at least two characters) at
  // most one blank.
  const qsizetype capacity = maxCharacters > 0 ? qMin<qsizetype>(string.size(), maxCharacters) : string.size();
  if (capacity == 0)
    return emptyString();
  QString result(capacity, Qt::Uninitialized);
  char16_t* const begin = reinterpret_cast<char16_t*>(result.data());
  char16_t* out = begin;
  // Where the walk stops for the maximum (never, without one).
  char16_t* const limit = maxCharacters > 0 && maxCharacters <= capacity ? begin + maxCharacters : nullptr;
  bool previousWasBlank = false;
  // A separating tag came since the last character written: a blank goes
  // before the next one (none at the start, none at the end).
  bool separatorPending = false;
  const char16_t* at = string.utf16();
  const char16_t* const end = at + string.size();
  while (at != end && out != limit) {
    const char16_t c = *at;
    const bool text = c > u'>';  // letters among them: neither markup nor blank
    if (!text && c == u'<' && at + 1 != end && opensMarkup(at[1])) {
      bool separates = false;
      at = afterMarkup(at, end, &separates);
      separatorPending = separatorPending || separates;
    } else if (!text && (c == u'\t' || c == u'\n' || c == u'\r' || c == u' ')) {
      ++at;
      if (!previousWasBlank)
        *out++ = u' ';
      previousWasBlank = true;
      separatorPending = false;
    } else {
      if (separatorPending && !previousWasBlank && out != begin) {
        *out++ = u' ';
        if (out == limit)
          break;
      }
      // With the characters after it that are text too (neither markup nor
      // blank), up to the maximum, in one go.
      const char16_t* const stop = at + (limit != nullptr ? qMin<qsizetype>(end - at, limit - out) : end - at);
      const char16_t* const run = ZPHTextScan::firstAtMost(at + 1, stop, u'>');
      out = std::copy(at, run, out);
      at = run;
      previousWasBlank = false;
      separatorPending = false;
    }
  }
  if (out == limit)
    *reachedMaximum = true;
  if (out == begin)
    return emptyString();
  result.truncate(out - begin);
  return result;
}

struct XMLReference {
  const char* reference;
  char16_t character;
};

// Applied in this order; the ampersand references last, so "&amp;lt;" gives
// "&lt;".
const XMLReference kXMLReferences[] = {
    {"&lt;", u'<'},   {"&#60;", u'<'},   {"&#x3C;", u'<'}, {"&#x3c;", u'<'},  {"&gt;", u'>'},    {"&#x3E;", u'>'},
    {"&#62;", u'>'},  {"&#x3e;", u'>'},  {"&quot;", u'"'}, {"&#34;", u'"'},   {"&#x22;", u'"'},  {"&apos;", u'\''},
    {"&#39;", u'\''}, {"&#x27;", u'\''}, {"&nbsp;", u' '}, {"&mdash;", u'-'}, {"&ldquo;", u'"'}, {"&rdquo;", u'"'},
    {"&amp;", u'&'},  {"&#38;", u'&'},   {"&#x26;", u'&'},
};

// Fragments of image addresses that are advertising, tracking, counters or
// share buttons rather than pictures of an article.
const char* const kIgnorableImageURLFragments[] = {
    "feedburner",
    "googleadservices",
    "reblog",
    "zemanta",
    "pheedo",
    "tweetmeme",
    "doubleclick",
    "record_view",
    "stats.wordpress.com",
    "rfihub",
    "wp-digg-this",
    "slashdot-it",
    "feeds.wordpress.com",
    "facebook_icon",
    "pml.png",
    "//a.",
    "ZoneID",
    "adnxs",
    "//pixel.",
    "//hits.",
    "invitemedia",
    "partnerid",
    "share-button",
    "linkedin",
    "stumbleupon",
    "googlesyndication.com",
    "feedsportal.com",
    "flattr",
};

// Copies an attribute value that starts at `from`: blanks, quotes and "="
// before it are skipped; a tab, line break or ">" ends it anywhere; once
// something was copied, a quote or apostrophe ends it too, and so does a
// space when `spaceEnds`.
QStringView tagValue(QStringView tag, qsizetype from, bool spaceEnds)
{
  const qsizetype n = tag.size();
  qsizetype i = from;
  while (i < n && (tag[i] == u' ' || tag[i] == u'"' || tag[i] == u'\'' || tag[i] == u'=')) ++i;
  const qsizetype start = i;
  for (; i < n; ++i) {
    const QChar c = tag[i];
    if (c == u'\t' || c == u'\n' || c == u'\r' || c == u'>' || c == u'"' || c == u'\'')
      break;
    if (spaceEnds && c == u' ')
      break;
  }
  return tag.mid(start, i - start);
}

QString sourceOfImageTag(QStringView tag)
{
  qsizetype from = tag.indexOf(QLatin1String("http://"));
  if (from < 0) {
    from = tag.indexOf(QLatin1String(" src"));
    if (from < 0)
      return {};
    from += 4;
  }
  return toNonNullString(tagValue(tag, from, true));
}

std::optional<int> integerAttribute(QStringView tag, QLatin1String name)
{
  const qsizetype at = tag.indexOf(QLatin1Char(' ') + name);
  if (at < 0)
    return std::nullopt;
  const QStringView value = tagValue(tag, at + 1 + name.size(), false);
  if (value.isEmpty())
    return std::nullopt;
  return CBStringIntValue(value);
}

// Index of `needle` (two or more ASCII characters) in `text` at or after
// `from` (not negative), case-sensitive, as QString::indexOf() answers: the
// first character is looked for with the library's vectorised character
// search, the rest compared where it is found.
qsizetype indexOfASCII(QStringView text, QLatin1StringView needle, qsizetype from)
{
  const qsizetype last = text.size() - needle.size();
  const QChar first = QLatin1Char(needle.front());
  while (from <= last) {
    const qsizetype at = text.indexOf(first, from);
    if (at < 0 || at > last)
      return -1;
    qsizetype k = 1;
    while (k < needle.size() && text[at + k] == QLatin1Char(needle[k])) ++k;
    if (k == needle.size())
      return at;
    from = at + 1;
  }
  return -1;
}

// Walks the image tags of `html` in order: each tag runs from "<img" (or,
// when no "<img" is left, "IMG") to the next ">", and the next search starts
// one character after the tag's start. `visit` answers false to stop. Tags
// may overlap in hostile text, so the characters examined are bounded by a
// multiple of the text's length.
template <typename Visit>
void walkImageTags(const QString& html, Visit visit)
{
  const qsizetype n = html.size();
  qsizetype budget = 4 * n + 4096;
  bool lowerCaseTagsLeft = true;
  qsizetype offset = 0;
  while (offset < n) {
    qsizetype start = -1;
    if (lowerCaseTagsLeft) {
      start = indexOfASCII(html, QLatin1StringView("<img"), offset);
      lowerCaseTagsLeft = start >= 0;
    }
    if (start < 0)
      start = indexOfASCII(html, QLatin1StringView("IMG"), offset);
    if (start < 0)
      return;
    const qsizetype end = html.indexOf(u'>', start);
    if (end < 0)
      return;
    const QStringView tag = QStringView(html).mid(start, end - start + 1);
    budget -= tag.size();
    if (budget < 0) {
      qCWarning(zphCore) << "image tags overlap too much; scan stopped at" << start << "of" << n;
      return;
    }
    if (!visit(tag))
      return;
    offset = start + 1;
  }
}

bool isIgnorableImageURL(QStringView urlString)
{
  if (urlString.isEmpty())
    return true;
  // An address in ASCII (as nearly all are) compares as lower-case bytes:
  // for ASCII that is exactly the case-insensitive comparison.
  static const std::vector<std::string> lowerCaseFragments = [] {
    std::vector<std::string> fragments;
    for (const char* fragment : kIgnorableImageURLFragments) {
      std::string lower(fragment);
      for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
      fragments.push_back(std::move(lower));
    }
    return fragments;
  }();
  std::string lowerCase(size_t(urlString.size()), '\0');
  bool ascii = true;
  for (qsizetype i = 0; i < urlString.size() && ascii; ++i) {
    const char16_t c = urlString[i].unicode();
    ascii = c < 0x80;
    lowerCase[size_t(i)] = char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
  }
  if (ascii) {
    return std::any_of(
        lowerCaseFragments.cbegin(), lowerCaseFragments.cend(),
        [&lowerCase](const std::string& fragment) { return lowerCase.find(fragment) != std::string::npos; });
  }
  for (const char* fragment : kIgnorableImageURLFragments) {
    if (urlString.contains(QLatin1String(fragment), Qt::CaseInsensitive))
      return true;
  }
  return false;
}

// True when `text` starts with a URL scheme followed by "://".
bool startsWithSchemeAndSlashes(QStringView text)
{
  if (text.isEmpty() || !text[0].isLetter() || text[0].unicode() >= 128)
    return false;
  qsizetype i = 1;
  while (i < text.size() && text[i].unicode() < 128 &&
         (text[i].isLetterOrNumber() || text[i] == u'+' || text[i] == u'.' || text[i] == u'-'))
    ++i;
  return text.mid(i).startsWith(QLatin1String("://"));
}

QString percentEscaped(const QString& string, const QByteArray& legal)
{
  if (string.isNull())
    return {};
  return QString::fromLatin1(QUrl::toPercentEncoding(string, legal));
}

}  // namespace

int CBStringIntValue(QStringView text)
{
  qsizetype i = 0;
  while (i < text.size() && text[i].isSpace()) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  qint64 value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (value <= std::numeric_limits<int>::max())
      value = value * 10 + (text[i].unicode() - u'0');
  }
  if (negative)
    value = -value;
  return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// ---------------------------------------------------------------------------
// C functions

bool CBStringIsEmpty(const QString& string) { return string.isEmpty(); }

bool CBEqualNotEmptyStrings(const QString& string1, const QString& string2)
{
  return !string1.isEmpty() && !string2.isEmpty() && string1 == string2;
}

bool CBEqualStrings(const QString& string1, const QString& string2)
{
  if (string1.isNull() || string2.isNull())
    return string1.isNull() && string2.isNull();
  return string1 == string2;
}

QString CBAddStrings(const QString& string1, const QString& string2)
{
  if (string1.isNull())
    return string2;
  if (string2.isNull())
    return string1;
  return string1 + string2;
}

QString CBStringReplaceAll(const QString& string, const QString& target, const QString& replacement)
{
  if (string.isNull())
    return {};
  if (target.isEmpty() || replacement.isNull())
    return string;
  QString result = string;
  result.replace(target, replacement);
  return result;
}

QString CBStringCreateLink(const QString& text, const QString& urlString)
{
  const QString escapedText = cb_stringByReplacingReservedXMLCharactersWithReferences(text);
  const QUrl url(urlString.trimmed());
  const QString scheme = url.scheme().toLower();
  const bool linkable = url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                                          scheme == QLatin1String("mailto"));
  if (!linkable)
    return escapedText;
  const QString target = cb_stringByReplacingReservedXMLCharactersWithReferences(url.toString(QUrl::FullyEncoded));
  return QLatin1String("<a href=\"") + target + QLatin1String("\">") + escapedText + QLatin1String("</a>");
}

QString CBStringByAddingPercentEscapes(const QString& string) { return percentEscaped(string, kURLLegalCharacters); }

QString CBURLDecodedString(const QString& string)
{
  if (string.isNull() || !string.contains(u'%'))
    return string;
  const QByteArray bytes = string.toUtf8();
  QByteArray decoded;
  decoded.reserve(bytes.size());
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '%') {
      decoded += bytes[i];
      continue;
    }
    const int high = i + 2 < bytes.size() ? hexDigitValue(bytes[i + 1]) : -1;
    const int low = high >= 0 ? hexDigitValue(bytes[i + 2]) : -1;
    if (low < 0)
      return {};
    decoded += char(high * 16 + low);
    i += 2;
  }
  QStringDecoder decoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  const QString text = decoder.decode(decoded);
  if (decoder.hasError())
    return {};
  return text.isNull() ? emptyString() : text;
}

QString CBStringMailToLinkWithTitleAndBody(const QString& title, const QString& body)
{
  // Subject and body are encoded in full: a "#", "&", "+", "=" or "?" of a
  // title or link must not end or split the mail's fields.
  const auto encoded = [](const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
  const QString subjectPart = title.isNull() ? emptyString() : QLatin1String("subject=") + encoded(title);
  const QString bodyPart = body.isNull() ? emptyString() : QLatin1String("body=") + encoded(body);
  return QLatin1String("mailto:?") + subjectPart + QLatin1Char('&') + bodyPart;
}

bool CBStringIsWebOrFileURLString(const QString& string)
{
  if (string.isEmpty())
    return false;
  if (!string.startsWith(QLatin1String("http://")) && !string.startsWith(QLatin1String("https://")) &&
      !string.startsWith(QLatin1String("file://")))
    return false;
  return QUrl(string, QUrl::StrictMode).isValid();
}

bool CBURLIsFeedURL(const QString& string) { return string.startsWith(QLatin1String("feed:"), Qt::CaseInsensitive); }

QString CBURLWithFeedURL(const QString& string)
{
  if (string.isNull())
    return {};
  if (!CBURLIsFeedURL(string))
    return string;
  QString rest = string.mid(5);
  if (rest.startsWith(QLatin1String("//")))
    rest.remove(0, 2);
  if (rest.isEmpty())
    return {};

  // A feed: address either wraps a complete web address or stands for
  // "http:" followed by the rest. A wrapped address of any other scheme
  // ("feed:javascript://...") is refused.
  QString candidate;
  if (rest.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
      rest.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
    candidate = rest;
  } else {
    if (startsWithSchemeAndSlashes(rest))
      return {};
    candidate = QLatin1String("http://") + rest;
  }
  const QUrl url(candidate);
  const QString scheme = url.scheme();
  if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
    return {};
  return candidate;
}

qsizetype CBStringIndexOfFirstInstanceOfCharacter(const QString& string, QChar character)
{
  if (string.size() < 3)
    return -1;
  const qsizetype index = string.indexOf(character, 1);
  return index >= 0 && index < string.size() - 1 ? index : -1;
}

QStringList CBArraySeparatedByFirstInstanceOfCharacter(const QString& string, QChar character)
{
  const qsizetype index = CBStringIndexOfFirstInstanceOfCharacter(string, character);
  if (index < 0)
    return {};
  return {string.left(index), string.mid(index + 1)};
}

QString CBStringStartingAfterCharacter(const QString& string, QChar character)
{
  const qsizetype index = CBStringIndexOfFirstInstanceOfCharacter(string, character);
  if (index < 0)
    return {};
  return string.mid(index + 1);
}

QString CBQueryStringFromURLString(const QString& urlString) { return CBStringStartingAfterCharacter(urlString, u'?'); }

std::optional<QHash<QString, QString>> CBDictionaryFromURLParametersString(const QString& parameters)
{
  if (parameters.isNull())
    return std::nullopt;
  QHash<QString, QString> result;
  result.reserve(10);
  const QStringList pairs = parameters.split(u'&');
  for (const QString& pair : pairs) {
    const QStringList nameAndValue = CBArraySeparatedByFirstInstanceOfCharacter(pair, u'=');
    if (nameAndValue.size() != 2)
      continue;
    const QString name = CBURLDecodedString(nameAndValue.at(0));
    const QString value = CBURLDecodedString(nameAndValue.at(1));
    if (name.isNull() || value.isNull())
      continue;
    result.insert(name, value);
  }
  return result;
}

std::optional<QHash<QString, QString>> CBDictionaryFromURLString(const QString& urlString)
{
  const QString query = CBQueryStringFromURLString(urlString);
  if (query.isNull())
    return std::nullopt;
  return CBDictionaryFromURLParametersString(query);
}

QString CBStringStripHTML(const QString& string)
{
  if (string.isNull() || !string.contains(u'<'))
    return string;
  QString result;
  result.reserve(string.size());
  qsizetype depth = 0;
  for (const QChar c : string) {
    if (c == u'<') {
      ++depth;
    } else if (c == u'>') {
      // A stray ">" leaves the depth at 0 instead of hiding the text after it.
      if (depth > 0 && --depth == 0)
        result += u' ';
    } else if (depth == 0) {
      if (c == u' ' && result.endsWith(u' '))
        continue;
      result += c;
    }
  }
  return result;
}

QString CBStringUsefulStringWithData(const QByteArray& data)
{
  if (data.isNull())
    return {};
  if (data.size() >= 3) {
    const auto b0 = static_cast<unsigned char>(data.at(0));
    const auto b1 = static_cast<unsigned char>(data.at(1));
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      QStringDecoder decoder(QStringDecoder::Utf16, QStringDecoder::Flag::Stateless);
      QString text = decoder.decode(data);
      if (!decoder.hasError())
        return text;
    }
  }
  static const char* const encodings[] = {"UTF-8",        "ISO-8859-1",   "macintosh",    "US-ASCII",    "windows-1251",
                                          "windows-1252", "windows-1253", "windows-1254", "windows-1250"};
  for (const char* name : encodings) {
    QStringDecoder decoder(name, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
      continue;
    QString text = decoder.decode(data);
    if (!decoder.hasError())
      return text;
  }
  return {};
}

// ---------------------------------------------------------------------------
// Strings

bool cb_contains(const QString& string, const QString& substring)
{
  return !substring.isEmpty() && string.contains(substring);
}

bool cb_caseInsensitiveContains(const QString& string, const QString& substring)
{
  return !substring.isEmpty() && string.contains(substring, Qt::CaseInsensitive);
}

QString cb_stringByStrippingPrefix(const QString& string, const QString& prefix)
{
  if (prefix.isEmpty() || !string.startsWith(prefix))
    return string;
  return string.mid(prefix.size());
}

QString cb_stringByStrippingSuffix(const QString& string, const QString& suffix)
{
  if (suffix.isEmpty() || !string.endsWith(suffix))
    return string;
  return string.left(string.size() - suffix.size());
}

QString cb_stringByStrippingCaseInsensitivePrefix(const QString& string, const QString& prefix)
{
  if (prefix.isEmpty() || !string.startsWith(prefix, Qt::CaseInsensitive))
    return string;
  return string.mid(prefix.size());
}

QString cb_stringByStrippingCaseInsensitiveSuffix(const QString& string, const QString& suffix)
{
  if (suffix.isEmpty() || !string.endsWith(suffix, Qt::CaseInsensitive))
    return string;
  return string.left(string.size() - suffix.size());
}

QString cb_stringByStrippingURLQuery(const QString& string)
{
  if (!string.contains(QLatin1Char('?')))
    return string;
  QStringList parts = string.split(QLatin1Char('?'));
  parts.removeLast();
  return parts.join(QLatin1Char('?'));
}

QString cb_stringByTrimmingWhitespace(const QString& string) { return string.trimmed(); }

QString cb_stringByCollapsingWhitespace(const QString& string)
{
  QString result = string;
  cb_collapseWhitespace(result);
  return result;
}

QString cb_stringByTrimmingCharactersFromEnd(const QString& string, int count)
{
  if (string.isNull())
    return {};
  if (string.size() <= count)
    return emptyString();
  return string.left(string.size() - qMax(count, 0));
}

QString cb_replaceAll(const QString& string, const QString& target, const QString& replacement)
{
  return CBStringReplaceAll(string, target, replacement);
}

QString cb_md5HashString(const QString& string)
{
  return QString::fromLatin1(QCryptographicHash::hash(string.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString cb_URLStringSafeForFileSystem(const QString& string) { return cb_md5HashString(string); }

QString cb_uuidString() { return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(); }

QString cb_stringWithContentsOfUTF8EncodedFile(const QString& path)
{
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  const QByteArray data = file.readAll();
  if (data.isEmpty())
    return emptyString();
  const QString text = cb_stringWithUTF8EncodedData(data);
  if (!text.isNull())
    return text;
  // Not UTF-8: a byte-order mark names the encoding.
  const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(data);
  if (!encoding || *encoding == QStringConverter::Utf8)
    return {};
  QStringDecoder decoder(*encoding, QStringDecoder::Flag::Stateless);
  const QString decoded = decoder.decode(data);
  if (decoder.hasError())
    return {};
  return decoded.isNull() ? emptyString() : decoded;
}

QString cb_stringWithUTF8EncodedData(const QByteArray& data)
{
  if (data.isNull())
    return {};
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder.decode(data);
  if (decoder.hasError())
    return {};
  return text.isNull() ? emptyString() : text;
}

QString cb_stringByAddingStrings(const QString& string1, const QString& string2) { return string1 + string2; }

QString cb_stringByInserting2XSignifier(const QString& string)
{
  const qsizetype dot = string.lastIndexOf(u'.');
  if (string.size() < 10 || dot < 0)
    return {};
  QString result = string;
  result.insert(dot, QLatin1String("@2x"));
  return result;
}

QString cb_stringStrippedForItsURL(const QString& string)
{
  if (string.isNull())
    return {};
  const qsizetype open = string.indexOf(u'<');
  const qsizetype close = open >= 0 ? string.indexOf(u'>', open + 1) : -1;
  if (close < 0)
    return string;
  return string.mid(open + 1, close - open - 1).trimmed();
}

QString cb_stringWithStrippedHTML(const QString& string, int maxCharacters)
{
  if (string.isNull())
    return {};
  if (!string.contains(u'<'))
    return maxCharacters > 0 && maxCharacters < string.size() ? string.left(maxCharacters) : string;
  bool reachedMaximum = false;
  return strippedHTMLWalk(string, maxCharacters, &reachedMaximum);
}

QString cb_stringWithCollapsedWhitespace(const QString& string)
{
  if (string.isNull())
    return {};
  const QString trimmed = string.trimmed();
  QString result;
  result.reserve(trimmed.size());
  for (QChar c : trimmed) {
    if (c == u'\t' || c == u'\r' || c == u'\n')
      c = u' ';
    if (c == u' ' && result.endsWith(u' '))
      continue;
    result += c;
  }
  return result.isNull() ? emptyString() : result;
}

namespace {

template <typename Keep>
QString keepingCodePoints(const QString& string, Keep keep)
{
  if (string.isNull())
    return {};
  QString result = emptyString();
  result.reserve(string.size());
  const qsizetype n = string.size();
  for (qsizetype i = 0; i < n; ++i) {
    char32_t codePoint = string[i].unicode();
    qsizetype units = 1;
    if (string[i].isHighSurrogate() && i + 1 < n && string[i + 1].isLowSurrogate()) {
      codePoint = QChar::surrogateToUcs4(string[i], string[i + 1]);
      units = 2;
    }
    if (keep(codePoint))
      result += QStringView(string).mid(i, units);
    i += units - 1;
  }
  return result;
}

}  // namespace

QString cb_stringWithCollapsedNonAlphaNumericCharacters(const QString& string)
{
  return keepingCodePoints(string, [](char32_t c) { return QChar::isLetterOrNumber(c) || QChar::isMark(c); });
}

QString cb_stringWithCollapsedNonNumbericCharacters(const QString& string)
{
  return keepingCodePoints(string, [](char32_t c) { return QChar::category(c) == QChar::Number_DecimalDigit; });
}

QString cb_substringToFirstOccurenceOfString(const QString& string, const QString& substring)
{
  const qsizetype index = substring.isEmpty() ? -1 : string.indexOf(substring);
  if (index <= 0)
    return {};
  return string.left(index);
}

QString cb_substringAfterFirstOccurenceOfString(const QString& string, const QString& substring)
{
  const qsizetype index = substring.isEmpty() ? -1 : string.indexOf(substring);
  if (index <= 0)
    return {};
  const qsizetype after = index + substring.size();
  if (after >= string.size())
    return {};
  return string.mid(after);
}

QString cb_ellipsizeAfterNWords(const QString& string, int count)
{
  if (string.isNull())
    return {};
  const QString words = string.split(u' ').mid(0, qMax(count, 0)).join(u' ');
  return words.isNull() ? emptyString() : words;
}

void cb_splitFilenameWithSuffix(const QString& filenameWithSuffix, QString* filename, QString* suffix)
{
  if (filenameWithSuffix.isEmpty())
    return;
  const int dot = filenameWithSuffix.lastIndexOf(QLatin1Char('.'));
  const int slash = filenameWithSuffix.lastIndexOf(QLatin1Char('/'));
  const bool hasExtension = dot > slash + 1 && dot < filenameWithSuffix.size() - 1;
  if (filename != nullptr)
    *filename = hasExtension ? filenameWithSuffix.left(dot) : filenameWithSuffix;
  if (suffix != nullptr)
    *suffix = hasExtension ? filenameWithSuffix.mid(dot + 1) : QString(QLatin1String(""));
}

bool cb_usernameAndPasswordFromURL(const QString& urlString, QString* username, QString* password)
{
  const qsizetype slashes = urlString.indexOf(QLatin1String("//"));
  if (!urlString.contains(u'@') || slashes < 0)
    return false;
  QString credentials = urlString.mid(slashes + 2);
  const qsizetype slash = credentials.indexOf(u'/');
  if (slash >= 0)
    credentials.truncate(slash);
  const qsizetype at = credentials.indexOf(u'@');
  if (at >= 0)
    credentials.truncate(at);
  const QStringList pieces = credentials.split(u':');
  if (username != nullptr)
    *username = CBURLDecodedString(pieces.at(0));
  if (password != nullptr)
    *password = pieces.size() > 1 ? CBURLDecodedString(pieces.at(1)) : QString();
  return true;
}

namespace {

// An e-mail address as authors write it: one word with an "@" inside and no
// brackets; "mailto:" before it is dropped. Null when it is none.
QStringView authorAddress(QStringView text)
{
  if (text.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
    text = text.mid(7);
  const qsizetype at = text.indexOf(u'@');
  if (at <= 0 || at == text.size() - 1)
    return {};
  for (const QChar c : text) {
    if (c.isSpace() || c == u'<' || c == u'>' || c == u'(' || c == u')' || c == u'"' || c == u',')
      return {};
  }
  return text;
}

QStringView withoutQuotes(QStringView text)
{
  if (text.size() >= 2 &&
      ((text.startsWith(u'"') && text.endsWith(u'"')) || (text.startsWith(u'\'') && text.endsWith(u'\''))))
    return text.mid(1, text.size() - 2).trimmed();
  return text;
}

}  // namespace

void CBSplitAuthorNameAndEmail(const QString& text, QString* name, QString* email)
{
  QStringView foundName;
  QStringView foundEmail;
  const QString t = text.simplified();
  const QStringView whole(t);
  if (!t.isEmpty()) {
    if (!whole.contains(u'@')) {
      foundName = whole;
    } else if (const QStringView address = authorAddress(whole); !address.isNull()) {
      foundEmail = address;
    } else if (const qsizetype open = whole.lastIndexOf(u'<'); whole.endsWith(u'>') && open >= 0) {
      // "Name <address>"
      foundEmail = authorAddress(whole.mid(open + 1, whole.size() - open - 2).trimmed());
      if (!foundEmail.isNull())
        foundName = withoutQuotes(whole.left(open).trimmed());
    } else if (const qsizetype paren = whole.indexOf(u'('); whole.endsWith(u')') && paren >= 0) {
      // "address (Name)" or "Name (address)"
      const QStringView outside = whole.left(paren).trimmed();
      const QStringView inside = whole.mid(paren + 1, whole.size() - paren - 2).trimmed();
      if (const QStringView outer = authorAddress(outside); !outer.isNull()) {
        foundEmail = outer;
        foundName = withoutQuotes(inside);
      } else if (const QStringView inner = authorAddress(inside); !inner.isNull()) {
        foundEmail = inner;
        foundName = withoutQuotes(outside);
      }
    }
    if (foundEmail.isNull() && foundName.isNull())
      foundEmail = whole;
  }
  if (name != nullptr)
    *name = foundName.isEmpty() ? QString() : foundName.toString();
  if (email != nullptr)
    *email = foundEmail.isNull() ? QString() : foundEmail.toString();
}

QString cb_URLStringWithUsernameAndPasswordRemoved(const QString& urlString)
{
  QUrl url(urlString);
  if (!url.isValid() || url.userInfo().isEmpty())
    return urlString;
  url.setUserInfo(QString());
  return url.toString(QUrl::FullyEncoded);
}

QString cb_stringWithURLEncoding(const QString& string) { return percentEscaped(string, kURLEncodingLegalCharacters); }

QString cb_stringWithURLEncodedNameValuePair(const QString& name, const QString& value)
{
  return cb_stringWithURLEncoding(name) + QLatin1Char('=') + cb_stringWithURLEncoding(value);
}

QString cb_stringWithURLEncodedNameValuePairsFromDictionarySortedByKey(const QVariantMap& dictionary)
{
  QStringList pairs;
  pairs.reserve(dictionary.size());
  for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
    pairs.append(cb_stringWithURLEncodedNameValuePair(it.key(), it.value().toString()));
  const QString joined = pairs.join(u'&');
  return joined.isNull() ? emptyString() : joined;
}

QString cb_byteString(quint64 count) { return QStringLiteral("%1 bytes").arg(count); }

QString cb_kilobyteString(quint64 count)
{
  if (count < 1024)
    return cb_byteString(count);
  return cb_doubleStringWithOneDecimalPlace(double(count) / 1024.0) + QLatin1String(" KB");
}

QString cb_megabyteString(quint64 count)
{
  if (count <= 1048575)
    return cb_kilobyteString(count);
  return cb_doubleStringWithOneDecimalPlace(double(count) / 1048576.0) + QLatin1String(" MB");
}

QString cb_gigabyteString(quint64 count)
{
  if (count <= 1073741823)
    return cb_megabyteString(count);
  return cb_doubleStringWithOneDecimalPlace(double(count) / 1073741824.0) + QLatin1String(" GB");
}

QString cb_doubleStringWithOneDecimalPlace(double number)
{
  const QString text = QString::asprintf("%f", number);
  const qsizetype dot = text.indexOf(u'.');
  if (dot < 0 || dot + 1 >= text.size())
    return text;
  return text.left(dot + 2);
}

QString cb_stringByReplacingXMLCharacterReferences(const QString& string)
{
  QString result = string;
  cb_replaceXMLCharacterReferences(result);
  return result;
}

QString cb_stringByReplacingReservedXMLCharactersWithReferences(const QString& string)
{
  QString result = string;
  result.replace(u'&', QLatin1String("&amp;"));
  result.replace(u'>', QLatin1String("&gt;"));
  result.replace(u'<', QLatin1String("&lt;"));
  result.replace(u'"', QLatin1String("&quot;"));
  return result;
}

QString cb_stringByMakingPlainTextTitle(const QString& string)
{
  if (string.isNull())
    return {};
  // The title's markup read once: scripts and style sheets go with their
  // text, the other tags go and leave their text, and the references are
  // decoded last, so what they stand for stays text ("&lt;b&gt;" is "<b>").
  QString title = string;
  if (title.contains(u'<')) {
    title = cb_stringByFilteringHTMLTagContentsWithinTagsWithNames(title,
                                                                   {QStringLiteral("script"), QStringLiteral("style")});
    bool reachedMaximum = false;
    title = strippedHTMLWalk(title, 0, &reachedMaximum);
  }
  title = CBTextWithDecodedEntities(title);
  cb_collapseWhitespace(title);
  return title;
}

namespace {

bool isPlainTagName(const QString& name)
{
  if (name.isEmpty())
    return false;
  for (const QChar c : name) {
    const char16_t u = c.unicode();
    const bool plain = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_' ||
                       u == u'-' || u == u':';
    if (!plain)
      return false;
  }
  return true;
}

// White space as "\\s" of a pattern reads it.
bool isPatternBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v'; }

// Index just past "</ name >" (blanks allowed around the name) at or after
// `from`, or -1.
qsizetype endOfClosingTag(const QString& text, qsizetype from, const QString& name)
{
  for (qsizetype at = text.indexOf(QLatin1String("</"), from); at >= 0;
       at = text.indexOf(QLatin1String("</"), at + 2)) {
    qsizetype i = at + 2;
    while (i < text.size() && isPatternBlank(text.at(i))) ++i;
    if (QStringView(text).mid(i, name.size()).compare(name, Qt::CaseInsensitive) != 0)
      continue;
    i += name.size();
    while (i < text.size() && isPatternBlank(text.at(i))) ++i;
    if (i < text.size() && text.at(i) == u'>')
      return i + 1;
  }
  return -1;
}

// The same removal as the pattern "<\s*NAME.*?>(.*?)</\s*NAME\s*>" (case
// insensitive, "." matching line breaks) in one linear pass, so a page full
// of unclosed tags costs no more than its length.
QString filterElements(const QString& text, const QStringList& names)
{
  QString result;
  QList<bool> closable(names.size(), true);  // false once a name has no closing tag left
  qsizetype copiedUpTo = 0;
  qsizetype at = text.indexOf(u'<');
  while (at >= 0) {
    qsizetype nameStart = at + 1;
    while (nameStart < text.size() && isPatternBlank(text.at(nameStart))) ++nameStart;
    qsizetype matchEnd = -1;
    for (qsizetype n = 0; n < names.size() && matchEnd < 0; ++n) {
      const QString& name = names.at(n);
      if (!closable.at(n) || QStringView(text).mid(nameStart, name.size()).compare(name, Qt::CaseInsensitive) != 0)
        continue;
      const qsizetype openEnd = text.indexOf(u'>', nameStart + name.size());
      if (openEnd < 0)
        return copiedUpTo == 0 ? text : result.append(QStringView(text).mid(copiedUpTo));
      matchEnd = endOfClosingTag(text, openEnd + 1, name);
      if (matchEnd < 0)
        closable[n] = false;
    }
    if (matchEnd >= 0) {
      result += QStringView(text).mid(copiedUpTo, at - copiedUpTo);
      copiedUpTo = matchEnd;
      at = text.indexOf(u'<', matchEnd);
    } else {
      at = text.indexOf(u'<', at + 1);
    }
  }
  if (copiedUpTo == 0)
    return text;
  result += QStringView(text).mid(copiedUpTo);
  return result;
}

}  // namespace

QString cb_stringByFilteringHTMLTagContentsWithinTagsWithNames(const QString& string, const QStringList& tagNames)
{
  if (tagNames.isEmpty())
    return string;
  if (std::all_of(tagNames.cbegin(), tagNames.cend(), isPlainTagName))
    return filterElements(string, tagNames);
  // Names that are not plain tag names are pattern fragments.
  QStringList patterns;
  patterns.reserve(tagNames.size());
  for (const QString& name : tagNames)
    patterns.append(QLatin1String("<\\s*") + name + QLatin1String(".*?>(.*?)</\\s*") + name + QLatin1String("\\s*>"));
  // Elements span lines (scripts and style sheets mostly do), so "." must
  // match line breaks too.
  const QRegularExpression expression(
      patterns.join(u'|'), QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  if (!expression.isValid()) {
    qCWarning(zphCore).noquote() << QStringLiteral("error creating regex : %1").arg(expression.errorString());
    return {};
  }
  QString result = string;
  result.replace(expression, QString());
  return result;
}

// ---------------------------------------------------------------------------
// Images in HTML

bool cb_isIgnorableImgURLString(const QString& urlString) { return isIgnorableImageURL(urlString); }

QStringList cb_allImgURLStringsInHTML(const QString& html)
{
  QStringList sources;
  walkImageTags(html, [&sources](QStringView tag) {
    const QString source = sourceOfImageTag(tag);
    if (!source.isNull())
      sources.append(cb_stringByReplacingXMLCharacterReferences(source));
    return true;
  });
  return sources;
}

QString cb_firstImgURLStringInHTML(const QString& html)
{
  QString found;
  walkImageTags(html, [&found](QStringView tag) {
    const QString source = sourceOfImageTag(tag);
    if (source.isNull())
      return false;
    const std::optional<int> width = integerAttribute(tag, QLatin1String("width"));
    const std::optional<int> height = integerAttribute(tag, QLatin1String("height"));
    if (isIgnorableImageURL(source) || (width && *width < 32) || (height && *height < 32))
      return true;
    found = cb_stringByReplacingXMLCharacterReferences(source);
    return false;
  });
  return found;
}

QString cb_sourceOfImageTag(const QString& tag) { return sourceOfImageTag(tag); }

std::optional<int> cb_widthOfImageTag(const QString& tag) { return integerAttribute(tag, QLatin1String("width")); }

std::optional<int> cb_heightOfImageTag(const QString& tag) { return integerAttribute(tag, QLatin1String("height")); }

QString cb_htmlTagAttributeValue(const QString& tag, const QString& name)
{
  const qsizetype at = name.isEmpty() ? -1 : tag.indexOf(QLatin1Char(' ') + name);
  if (at < 0)
    return {};
  const QStringView value = tagValue(tag, at + 1 + name.size(), false);
  if (value.isEmpty())
    return {};
  return value.toString();
}

// ---------------------------------------------------------------------------
// Mutable strings

void cb_safeAppendString(QString& string, const QString& other)
{
  if (!other.isNull())
    string.append(other);
}

void cb_replaceOccurrencesOfString(QString& string, const QString& target, const QString& replacement)
{
  if (target.isEmpty() || replacement.isNull())
    return;
  string.replace(target, replacement);
}

void cb_replaceEntity38WithAmpersand(QString& string) { string.replace(QLatin1String("&#38;"), QLatin1String("&")); }

void cb_collapseWhitespace(QString& string)
{
  if (string.isEmpty())
    return;
  QString result(string.size(), Qt::Uninitialized);
  char16_t* const begin = reinterpret_cast<char16_t*>(result.data());
  char16_t* out = begin;
  const char16_t* const end = reinterpret_cast<const char16_t*>(string.constData()) + string.size();
  for (const char16_t* at = reinterpret_cast<const char16_t*>(string.constData()); at != end; ++at) {
    char16_t c = *at;
    if (c <= u' ') {
      if (c == u'\t' || c == u'\r' || c == u'\n')
        c = u' ';
      if (c == u' ' && out != begin && out[-1] == u' ')
        continue;
    }
    *out++ = c;
  }
  result.truncate(out - begin);
  string = result.trimmed();
}

void cb_replaceXMLCharacterReferences(QString& string)
{
  if (!string.contains(u'&') || !string.contains(u';'))
    return;
  for (const XMLReference& entry : kXMLReferences)
    string.replace(QLatin1String(entry.reference), QChar(entry.character));
}

QString cb_mutableStringByAddingThreeStrings(const QString& s1, const QString& s2, const QString& s3)
{
  QString result = emptyString();
  cb_safeAppendString(result, s1);
  cb_safeAppendString(result, s2);
  cb_safeAppendString(result, s3);
  return result;
}

QString cb_mutableStringWithStrippedHTML(const QString& string, int maxCharacters)
{
  if (string.isEmpty())
    return {};
  if (!string.contains(u'<'))
    return maxCharacters > 0 && maxCharacters < string.size() ? string.left(maxCharacters) : string;
  bool reachedMaximum = false;
  QString result = strippedHTMLWalk(string, maxCharacters, &reachedMaximum);
  if (reachedMaximum) {
    qsizetype lastBlank = result.size() - 1;
    while (lastBlank >= 0 && !result.at(lastBlank).isSpace()) --lastBlank;
    if (lastBlank >= 0)
      result.replace(lastBlank, result.size() - lastBlank, QLatin1String("..."));
  }
  return result;
}
