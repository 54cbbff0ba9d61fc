#include "feeds/parsers/ZPHHTMLSanitizer.h"

#include "foundation/ZPHLibXML.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QVarLengthArray>

#include <cstring>
#include <limits>
#include <vector>

namespace {

// What an attribute holds, and so how its value is checked.
enum class AttributeKind {
  Text,        // any text
  Identifier,  // id, name: prefixed
  Link,        // href: http, https, mailto or an in-page "#x"
  WebAddress,  // cite, poster, media src: http or https
  ImageSource  // img src: http or https, then the image mapper
};

using AttributeTable = QHash<QByteArray, AttributeKind>;

struct ElementRule {
  bool isVoid = false;
  AttributeTable attributes;
};

// Elements that stay, with the attributes each may keep besides the global
// ones.
const QHash<QByteArray, ElementRule>& keptElements()
{
  static const QHash<QByteArray, ElementRule> table = [] {
    const AttributeKind T = AttributeKind::Text;
    QHash<QByteArray, ElementRule> rules;
    const char* plain[] = {"abbr",    "acronym", "address", "article",   "aside",  "b",    "bdi",     "bdo",
                           "big",     "caption", "cite",    "code",      "dd",     "dfn",  "div",     "dl",
                           "dt",      "em",      "figure",  "footer",    "h1",     "h2",   "h3",      "h4",
                           "h5",      "h6",      "header",  "hgroup",    "i",      "kbd",  "main",    "mark",
                           "nav",     "p",       "pre",     "rp",        "rt",     "ruby", "s",       "samp",
                           "section", "small",   "span",    "strike",    "strong", "sub",  "summary", "sup",
                           "tt",      "u",       "var",     "figcaption"};
    for (const char* name : plain) rules.insert(name, {});
    for (const char* name : {"br", "hr", "wbr"}) rules.insert(name, {true, {}});
    rules.insert("a", {false, {{"href", AttributeKind::Link}, {"name", AttributeKind::Identifier}}});
    rules.insert("img", {true, {{"src", AttributeKind::ImageSource}, {"alt", T}, {"width", T}, {"height", T}}});
    rules.insert("video", {false,
                           {{"src", AttributeKind::WebAddress},
                            {"poster", AttributeKind::WebAddress},
                            {"controls", T},
                            {"width", T},
                            {"height", T},
                            {"loop", T},
                            {"muted", T}}});
    rules.insert("audio", {false, {{"src", AttributeKind::WebAddress}, {"controls", T}, {"loop", T}, {"muted", T}}});
    rules.insert("source", {true, {{"src", AttributeKind::WebAddress}, {"type", T}}});
    rules.insert("blockquote", {false, {{"cite", AttributeKind::WebAddress}}});
    rules.insert("q", {false, {{"cite", AttributeKind::WebAddress}}});
    for (const char* name : {"del", "ins"})
      rules.insert(name, {false, {{"cite", AttributeKind::WebAddress}, {"datetime", T}}});
    rules.insert("time", {false, {{"datetime", T}}});
    rules.insert("details", {false, {{"open", T}}});
    rules.insert("table",
                 {false, {{"border", T}, {"cellpadding", T}, {"cellspacing", T}, {"width", T}, {"summary", T}}});
    for (const char* name : {"thead", "tbody", "tfoot", "tr"}) rules.insert(name, {false, {{"valign", T}}});
    for (const char* name : {"td", "th"})
      rules.insert(
          name,
          {false,
           {{"colspan", T}, {"rowspan", T}, {"headers", T}, {"scope", T}, {"valign", T}, {"width", T}, {"height", T}}});
    rules.insert("col", {true, {{"span", T}, {"width", T}, {"valign", T}}});
    rules.insert("colgroup", {false, {{"span", T}, {"width", T}, {"valign", T}}});
    rules.insert("ol", {false, {{"start", T}, {"type", T}, {"reversed", T}}});
    rules.insert("ul", {false, {{"type", T}}});
    rules.insert("li", {false, {{"value", T}}});
    return rules;
  }();
  return table;
}

const AttributeTable& globalAttributes()
{
  static const AttributeTable table = {{"id", AttributeKind::Identifier},
                                       {"title", AttributeKind::Text},
                                       {"lang", AttributeKind::Text},
                                       {"dir", AttributeKind::Text},
                                       {"align", AttributeKind::Text}};
  return table;
}

// Elements that go with everything inside them; those that have no content
// in a browser only go themselves (what the parser put inside them follows
// them in a browser, so it stays).
enum class DroppedElement { No, WithContent, Itself };

DroppedElement droppedElement(const QByteArray& name)
{
  static const QHash<QByteArray, DroppedElement> names = [] {
    QHash<QByteArray, DroppedElement> table;
    for (const char* name :
         {"script", "style",    "iframe",   "frame",    "frameset", "noframes", "object",  "applet", "form", "button",
          "select", "option",   "optgroup", "textarea", "datalist", "output",   "isindex", "svg",    "math", "head",
          "title",  "noscript", "noembed",  "template", "canvas",   "xml",      "dialog",  "portal", "slot"})
      table.insert(name, DroppedElement::WithContent);
    for (const char* name :
         {"embed", "param", "input", "keygen", "meta", "link", "base", "basefont", "bgsound", "track", "area"})
      table.insert(name, DroppedElement::Itself);
    return table;
  }();
  return names.value(name, DroppedElement::No);
}

// A name of the parser's (element and attribute names come lower-cased) as
// a key, without copying it.
QByteArray rawName(const xmlChar* name)
{
  return QByteArray::fromRawData(reinterpret_cast<const char*>(name),
                                 qsizetype(std::strlen(reinterpret_cast<const char*>(name))));
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isASCIILetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isNameStart(char c) { return isASCIILetter(c) || c == '_' || c == ':' || c == '.'; }
bool isNameCharacter(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '-'; }

qsizetype indexOfCaseInsensitive(const QByteArray& bytes, const char* needle, qsizetype from)
{
  const qsizetype length = qsizetype(std::strlen(needle));
  for (qsizetype i = from; i + length <= bytes.size(); ++i) {
    if (bytes[i] == '<' && qstrnicmp(bytes.constData() + i, needle, size_t(length)) == 0)
      return i;
  }
  return -1;
}

// The parser checks each attribute of a start tag against all earlier ones,
// so a tag with thousands of attributes takes seconds. This pass follows the
// parser's way of reading tags and attributes and cuts every start tag after
// MaximumAttributesPerTag attributes. Where it reads the bytes differently
// from the parser, the text is only shortened differently: what comes out
// still goes through the parser and the allow-list.
QByteArray withBoundedAttributes(const QByteArray& in)
{
  const char* p = in.constData();
  const qsizetype n = in.size();
  QByteArray out;
  qsizetype copied = 0;
  qsizetype i = 0;
  while (i < n) {
    const void* found = std::memchr(p + i, '<', size_t(n - i));
    if (found == nullptr)
      break;
    i = static_cast<const char*>(found) - p;
    if (i + 3 < n && p[i + 1] == '!' && p[i + 2] == '-' && p[i + 3] == '-') {
      const qsizetype end = in.indexOf("-->", i + 4);
      i = end < 0 ? n : end + 3;
      continue;
    }
    if (i + 1 >= n || !isASCIILetter(p[i + 1])) {
      ++i;
      continue;
    }
    qsizetype j = i + 1;
    while (j < n && isNameCharacter(p[j])) ++j;
    const qsizetype nameLength = j - i - 1;
    const bool script = nameLength == 6 && qstrnicmp(p + i + 1, "script", 6) == 0;
    const bool style = nameLength == 5 && qstrnicmp(p + i + 1, "style", 5) == 0;
    int count = 0;
    qsizetype cut = -1;
    while (true) {
      while (j < n && isBlank(p[j])) ++j;
      if (j >= n || p[j] == '>' || (p[j] == '/' && j + 1 < n && p[j + 1] == '>'))
        break;
      const qsizetype attributeStart = j;
      if (isNameStart(p[j])) {
        qsizetype k = j;
        while (k < n && isNameCharacter(p[k])) ++k;
        // Names are read in pieces of at most 100 characters.
        count += int(qMin<qsizetype>((k - j + 99) / 100, std::numeric_limits<int>::max() / 2));
        j = k;
        while (j < n && isBlank(p[j])) ++j;
        if (j < n && p[j] == '=') {
          ++j;
          while (j < n && isBlank(p[j])) ++j;
          if (j < n && (p[j] == '"' || p[j] == '\'')) {
            const void* close = std::memchr(p + j + 1, p[j], size_t(n - j - 1));
            j = close == nullptr ? n : static_cast<const char*>(close) - p + 1;
          } else {
            while (j < n && !isBlank(p[j]) && p[j] != '>') ++j;
          }
        }
      } else {
        // Not a name: skipped up to the next blank or the end of the tag.
        while (j < n && !isBlank(p[j]) && p[j] != '>' && !(p[j] == '/' && j + 1 < n && p[j + 1] == '>')) ++j;
        if (j == attributeStart)
          ++j;
      }
      if (count > ZPHHTMLSanitizer::MaximumAttributesPerTag && cut < 0)
        cut = attributeStart;
    }
    if (cut >= 0) {
      out.append(p + copied, cut - copied);
      copied = j;
    }
    i = j;
    // Script and style content is not markup to the parser.
    if (script || style) {
      const qsizetype end = indexOfCaseInsensitive(in, script ? "</script" : "</style", i);
      i = end < 0 ? n : end;
    }
  }
  if (copied == 0)
    return in;
  out.append(p + copied, n - copied);
  return out;
}

// The input as the parser gets it: without NUL characters (the parser stops
// at one), as UTF-8, cut at a character boundary, tags bounded.
QByteArray parserInput(const QString& html)
{
  QString text = html;
  text.remove(QChar(u'\0'));
  QByteArray bytes = text.toUtf8();
  if (bytes.size() > ZPHHTMLSanitizer::MaximumInputBytes) {
    qsizetype end = ZPHHTMLSanitizer::MaximumInputBytes;
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
    bytes.truncate(end);
  }
  // A body is open before the article's first byte: its text stays text of
  // the body and never lands in the head.
  return QByteArrayLiteral("<html><body>") + withBoundedAttributes(bytes);
}

// Text or an attribute value, escaped; characters a document may not hold
// (controls, non-characters, lone surrogates) dropped, line breaks as "\n".
void appendEscaped(QString& out, QStringView text, bool attribute)
{
  out.reserve(out.size() + text.size());
  const char16_t* units = text.utf16();
  const qsizetype n = text.size();
  qsizetype run = 0;
  auto flush = [&](qsizetype end) {
    if (end > run)
      out.append(reinterpret_cast<const QChar*>(units + run), end - run);
  };
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = units[i];
    if (c >= 0x20 && c < 0xD800 && c != u'&' && c != u'<' && c != u'>' && (c != u'"' || !attribute))
      continue;
    if (c == u'\t' || c == u'\n' || (c >= 0xE000 && c < 0xFFFE))
      continue;
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
      ++i;
      continue;
    }
    flush(i);
    run = i + 1;
    switch (c) {
      case u'&':
        out += QLatin1String("&amp;");
        break;
      case u'<':
        out += QLatin1String("&lt;");
        break;
      case u'>':
        out += QLatin1String("&gt;");
        break;
      case u'"':
        out += QLatin1String("&quot;");
        break;
      case u'\r':
        if (i + 1 >= n || units[i + 1] != u'\n')
          out += QLatin1Char('\n');
        break;
      default:
        break;
    }
  }
  flush(n);
}

QString fromXML(const xmlChar* text)
{
  return text == nullptr ? QString() : QString::fromUtf8(reinterpret_cast<const char*>(text));
}

// An URL as a browser reads it: without leading and trailing controls and
// spaces, and without tabs and line breaks anywhere.
QString cleanedURLString(const QString& value)
{
  qsizetype start = 0;
  qsizetype end = value.size();
  while (start < end && value[start].unicode() <= 0x20) ++start;
  while (end > start && value[end - 1].unicode() <= 0x20) --end;
  QString url = value.mid(start, end - start);
  url.remove(QChar(u'\t'));
  url.remove(QChar(u'\n'));
  url.remove(QChar(u'\r'));
  return url;
}

// The value written for an attribute; false when the attribute goes.
// `mapped` gets the image mapper's address for an image source.
bool checkedAttributeValue(AttributeKind kind, const QString& value, const ZPHHTMLSanitizer::Options& options,
                           QString* checked, QString* mapped)
{
  switch (kind) {
    case AttributeKind::Text:
      *checked = value;
      return true;
    case AttributeKind::Identifier:
      if (value.isEmpty())
        return false;
      *checked = value.startsWith(ZPHHTMLSanitizer::idPrefix()) ? value : ZPHHTMLSanitizer::idPrefix() + value;
      return true;
    case AttributeKind::Link:
    case AttributeKind::WebAddress:
    case AttributeKind::ImageSource:
      break;
  }
  const QString string = cleanedURLString(value);
  if (string.isEmpty() || string.size() > ZPHHTMLSanitizer::MaximumURLLength)
    return false;
  if (kind == AttributeKind::Link && string.startsWith(QLatin1Char('#'))) {
    const QString fragment = string.mid(1);
    if (fragment.isEmpty() || fragment.startsWith(ZPHHTMLSanitizer::idPrefix()))
      *checked = string;
    else
      *checked = QLatin1Char('#') + ZPHHTMLSanitizer::idPrefix() + fragment;
    return true;
  }
  QUrl url(string);
  if (!url.isValid())
    return false;
  if (url.isRelative()) {
    if (!options.baseURL.isValid() || options.baseURL.isRelative())
      return false;
    url = options.baseURL.resolved(url);
  }
  const QString scheme = url.scheme();
  const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
  if (web ? url.host().isEmpty() : !(kind == AttributeKind::Link && scheme == QLatin1String("mailto")))
    return false;
  const QByteArray encoded = url.toEncoded();
  if (encoded.isEmpty() || encoded.size() > ZPHHTMLSanitizer::MaximumURLLength)
    return false;
  *checked = QString::fromLatin1(encoded);
  if (kind == AttributeKind::ImageSource && options.imageSourceMapper) {
    const QUrl image = options.imageSourceMapper(url);
    if (image.isValid() && !image.isEmpty() && image != url)
      *mapped = QString::fromLatin1(image.toEncoded());
  }
  return true;
}

struct Pass {
  struct Replacement {
    qsizetype position = 0;
    qsizetype length = 0;
    QString text;
  };
  QString html;
  QList<Replacement> imageReplacements;
};

class Writer {
public:
  Writer(const ZPHHTMLSanitizer::Options& options, qsizetype budget, bool textOnly)
      : m_options(options), m_budget(budget), m_textOnly(textOnly)
  {
  }

  Pass write(xmlDocPtr document)
  {
    struct Open {
      xmlNodePtr node;
      bool emitted;
    };
    std::vector<Open> open;
    xmlNodePtr node = document->children;
    while (true) {
      while (node != nullptr) {
        if (node->type == XML_TEXT_NODE) {
          if (!full())
            appendEscaped(m_pass.html, fromXML(node->content), false);
          node = node->next;
          continue;
        }
        if (node->type != XML_ELEMENT_NODE || node->ns != nullptr || full()) {
          node = node->next;
          continue;
        }
        const QByteArray name = rawName(node->name);
        const DroppedElement dropped = droppedElement(name);
        if (dropped == DroppedElement::WithContent) {
          node = node->next;
          continue;
        }
        const auto rule = m_textOnly || dropped == DroppedElement::Itself ? keptElements().constEnd()
                                                                          : keptElements().constFind(name);
        if (rule == keptElements().constEnd()) {
          open.push_back({node, false});
          node = node->children;
          continue;
        }
        if (!writeStartTag(node, name, *rule)) {
          node = node->next;
          continue;
        }
        if (rule->isVoid) {
          node = node->next;
          continue;
        }
        open.push_back({node, true});
        node = node->children;
      }
      if (open.empty())
        break;
      const Open last = open.back();
      open.pop_back();
      if (last.emitted) {
        m_pass.html += QLatin1String("</");
        m_pass.html += QLatin1String(reinterpret_cast<const char*>(last.node->name));
        m_pass.html += QLatin1Char('>');
      }
      node = last.node->next;
    }
    return std::move(m_pass);
  }

private:
  bool full() const { return m_pass.html.size() > m_budget; }

  // False when the element is left out (an image or source without a
  // source). Written in place and taken back when left out.
  bool writeStartTag(xmlNodePtr node, const QByteArray& name, const ElementRule& rule)
  {
    QString& html = m_pass.html;
    const qsizetype tagStart = html.size();
    const qsizetype replacementsBefore = m_pass.imageReplacements.size();
    html += QLatin1Char('<');
    html += QLatin1String(name);
    bool hasSource = false;
    QVarLengthArray<QByteArray, 8> seen;
    for (xmlAttrPtr attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
      if (attribute->ns != nullptr)
        continue;
      const QByteArray attributeName = rawName(attribute->name);
      if (seen.contains(attributeName))
        continue;
      auto kind = rule.attributes.constFind(attributeName);
      if (kind == rule.attributes.constEnd()) {
        kind = globalAttributes().constFind(attributeName);
        if (kind == globalAttributes().constEnd())
          continue;
      }
      xmlChar* raw = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attribute));
      const QString value = fromXML(raw);
      xmlFree(raw);
      QString checked;
      QString mapped;
      if (!checkedValue(*kind, value, &checked, &mapped))
        continue;
      seen.append(attributeName);
      if (attributeName == "src")
        hasSource = true;
      html += QLatin1Char(' ');
      html += QLatin1String(attributeName);
      html += QLatin1String("=\"");
      const qsizetype valueStart = html.size();
      appendEscaped(html, checked, true);
      if (!mapped.isEmpty()) {
        QString escapedMapped;
        appendEscaped(escapedMapped, mapped, true);
        m_pass.imageReplacements.append({valueStart, html.size() - valueStart, escapedMapped});
      }
      html += QLatin1Char('"');
    }
    if ((name == "img" || name == "source") && !hasSource) {
      html.truncate(tagStart);
      m_pass.imageReplacements.resize(replacementsBefore);
      return false;
    }
    html += QLatin1Char('>');
    return true;
  }

  bool checkedValue(AttributeKind kind, const QString& value, QString* checked, QString* mapped) const
  {
    return checkedAttributeValue(kind, value, m_options, checked, mapped);
  }

  const ZPHHTMLSanitizer::Options& m_options;
  const qsizetype m_budget;
  const bool m_textOnly;
  Pass m_pass;
};

// One pass: parse, then write what the allow-list keeps.
Pass sanitizeOnce(const QString& html, const ZPHHTMLSanitizer::Options& options, bool textOnly = false)
{
  if (html.isEmpty())
    return {QString(QLatin1String("")), {}};
  const QByteArray input = parserInput(html);
  ZPHInitializeLibXML();
  // No network, no external entities (the HTML parser never substitutes
  // them), and no switch of encoding by a meta element of the article.
  const int parseOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                           HTML_PARSE_COMPACT | HTML_PARSE_IGNORE_ENC;
  htmlDocPtr document = htmlReadMemory(input.constData(), int(input.size()), nullptr, "utf-8", parseOptions);
  if (document == nullptr)
    return {QString(QLatin1String("")), {}};
  const qsizetype budget = 4 * html.size() + 256 * 1024;
  Pass pass = Writer(options, budget, textOnly).write(document);
  xmlFreeDoc(document);
  if (pass.html.isNull())
    pass.html = QLatin1String("");
  return pass;
}

QString withReplacements(const Pass& pass)
{
  if (pass.imageReplacements.isEmpty())
    return pass.html;
  QString result;
  result.reserve(pass.html.size());
  qsizetype at = 0;
  for (const Pass::Replacement& replacement : pass.imageReplacements) {
    result += QStringView(pass.html).mid(at, replacement.position - at);
    result += replacement.text;
    at = replacement.position + replacement.length;
  }
  result += QStringView(pass.html).mid(at);
  return result;
}

}  // namespace

QString ZPHHTMLSanitizer::idPrefix() { return QStringLiteral("zph-"); }

QString ZPHHTMLSanitizer::imageSource(const QString& address, const Options& options)
{
  QString checked;
  QString mapped;
  if (!checkedAttributeValue(AttributeKind::ImageSource, address, options, &checked, &mapped))
    return {};
  return mapped.isEmpty() ? checked : mapped;
}

QString ZPHHTMLSanitizer::sanitizedHTML(const QString& html, const QUrl& baseURL)
{
  return sanitizedHTML(html, Options{baseURL, {}});
}

QString ZPHHTMLSanitizer::sanitizedHTML(const QString& html, const Options& options)
{
  // The parser may read our own output into a slightly different tree (an
  // element unwrapped above may now close its new parent, blanks may go).
  // The answer is a text the parser reads back into itself, so sanitising it
  // again changes nothing; a few rounds settle it. Image addresses are mapped
  // only in the answer, since a mapped address is not one a later round
  // would keep.
  const Options unmapped{options.baseURL, {}};
  Pass pass = sanitizeOnce(html, unmapped);
  for (int round = 0; round < 3; ++round) {
    Pass again = sanitizeOnce(pass.html, options);
    if (again.html == pass.html)
      return withReplacements(again);
    pass = std::move(again);
    pass.imageReplacements.clear();
  }
  // Never settled: the text alone, if that is stable; else nothing.
  const QString text = sanitizeOnce(pass.html, unmapped, true).html;
  if (sanitizeOnce(text, unmapped).html == text)
    return text;
  return QString(QLatin1String(""));
}
