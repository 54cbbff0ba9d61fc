#include "feeds/parsers/RSSDiscovery.h"

#include "feeds/parsers/ZPHStreamingXMLParser.h"
#include "foundation/CBEntityDecoding.h"
#include "foundation/CBString.h"
#include "foundation/ZPHLibXML.h"
#include "platform/ZPHLog.h"

#include <QtCore/QByteArray>
#include <QtCore/QSet>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <cstring>
#include <exception>

const QString RSSDiscoveryURLStringKey = QStringLiteral("RSSDiscoveryURLString");
const QString RSSDiscoveryTitleKey = QStringLiteral("RSSDiscoveryTitle");

namespace {

// Pages go to the parser in slices of this size, so that a scan that has
// found what it wants stops without reading the rest.
constexpr int kChunkSize = 64 * 1024;

// The most text of one newLocation element that is kept; an address is far
// shorter.
constexpr qsizetype kLongestRedirectText = 64 * 1024;

// The most of a page that goes into the log after a failed scan.
constexpr qsizetype kLoggedPageLength = 4096;

QString fromXmlChar(const xmlChar* text)
{
  return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

// The clean-up of a value read out of free text (a meta refresh's content, a
// newLocation element): without a leading "=" and the blanks around it
// ("URL = /new"), the first word, without enclosing quotes and without one
// trailing "/".
QString cleanedAttributeValue(const QString& text)
{
  QString value = text.trimmed();
  if (value.startsWith(u'='))
    value = value.mid(1).trimmed();
  const qsizetype space = value.indexOf(u' ');
  if (space >= 0)
    value.truncate(space);
  value = value.trimmed();
  if (value.startsWith(u'"') || value.startsWith(u'\''))
    value = value.mid(1).trimmed();
  if (value.endsWith(u'/') || value.endsWith(u'\''))
    value = value.chopped(1).trimmed();
  if (value.endsWith(u'"'))
    value = value.chopped(1).trimmed();
  return value;
}

struct LinkTag {
  QString url;
  QString title;
};

// What one pass over a page looks for, and what it found.
struct DiscoveryScan {
  enum class Target { LinkTags, MetaRefresh, XMLRedirect, Base, Title };

  Target target = Target::LinkTags;
  bool firstOnly = false;
  xmlParserCtxtPtr context = nullptr;
  bool finished = false;
  bool failed = false;
  QString failure;

  QList<LinkTag> linkTags;
  QSet<QString> seenURLs;
  QString found;  // meta refresh or redirect address; null until found

  bool inNewLocation = false;
  QString newLocationText;

  bool inTitle = false;
  QString titleText;

  void stop()
  {
    finished = true;
    xmlStopParser(context);
  }
};

// Attribute `name` of a start tag (names come lower-cased from the HTML
// parser); null when absent, empty when written without a value.
QString attributeValue(const xmlChar** attributes, const char* name)
{
  if (!attributes)
    return {};
  for (const xmlChar** a = attributes; a[0]; a += 2) {
    if (std::strcmp(reinterpret_cast<const char*>(a[0]), name) == 0)
      return a[1] ? fromXmlChar(a[1]) : QString(QLatin1String(""));
  }
  return {};
}

// rel is a list of words separated by white space.
bool relNamesFeed(const QString& rel)
{
  const QStringList words = rel.simplified().toLower().split(u' ', Qt::SkipEmptyParts);
  return words.contains(QLatin1String("alternate")) || words.contains(QLatin1String("service.feed"));
}

void readLinkTag(DiscoveryScan* scan, const xmlChar** attributes)
{
  if (!relNamesFeed(attributeValue(attributes, "rel")))
    return;

  const QString type = attributeValue(attributes, "type").trimmed().toLower();
  const QString title = attributeValue(attributes, "title");
  const QString simpleTitle = title.trimmed().toLower();
  bool announcesFeed = simpleTitle == QLatin1String("rss") || simpleTitle == QLatin1String("atom");
  for (const QString& mimeType : RSSDiscovery::feedMIMETypes())
    announcesFeed = announcesFeed || type.contains(mimeType);
  if (!announcesFeed)
    return;

  const QString url = attributeValue(attributes, "href").trimmed();
  if (url.isEmpty())
    return;
  if (scan->seenURLs.contains(url))
    return;
  scan->seenURLs.insert(url);
  scan->linkTags.append({url, CBStringWithDecodedEntities(title).toLower()});
  if (scan->firstOnly)
    scan->stop();
}

void readMetaTag(DiscoveryScan* scan, const xmlChar** attributes)
{
  if (!attributeValue(attributes, "http-equiv").contains(QLatin1String("refresh"), Qt::CaseInsensitive))
    return;
  const QString content = attributeValue(attributes, "content");
  const qsizetype url = content.indexOf(QLatin1String("url"), 0, Qt::CaseInsensitive);
  if (url < 0)
    return;
  scan->found = cleanedAttributeValue(content.mid(url + 3));
  scan->stop();
}

void readBaseTag(DiscoveryScan* scan, const xmlChar** attributes)
{
  const QString href = attributeValue(attributes, "href").trimmed();
  if (href.isNull())
    return;
  scan->found = href;
  scan->stop();
}

void endTitleText(DiscoveryScan* scan)
{
  if (!scan->inTitle)
    return;
  scan->inTitle = false;
  const QString title = scan->titleText.simplified();
  scan->found = title.isNull() ? QString(QLatin1String("")) : title;
  scan->stop();
}

// The text of a newLocation element ends at the next tag of any kind.
void endNewLocationText(DiscoveryScan* scan)
{
  if (!scan->inNewLocation)
    return;
  scan->inNewLocation = false;
  const QString value = cleanedAttributeValue(scan->newLocationText);
  scan->newLocationText.clear();
  if (!value.isEmpty()) {
    scan->found = value;
    scan->stop();
  }
}

// Runs one callback's work; nothing may unwind through the C parser, so a
// failure stops the scan and is reported when the parser has returned.
template <typename Work>
void guarded(DiscoveryScan* scan, Work work)
{
  if (scan->finished)
    return;
  try {
    work();
  } catch (const std::exception& e) {
    scan->failed = true;
    scan->failure = QString::fromUtf8(e.what());
    scan->stop();
  }
}

void startElement(void* userData, const xmlChar* name, const xmlChar** attributes)
{
  auto* scan = static_cast<DiscoveryScan*>(userData);
  if (!name)
    return;
  guarded(scan, [&] {
    const char* element = reinterpret_cast<const char*>(name);
    switch (scan->target) {
      case DiscoveryScan::Target::LinkTags:
        if (std::strcmp(element, "link") == 0)
          readLinkTag(scan, attributes);
        break;
      case DiscoveryScan::Target::MetaRefresh:
        if (std::strcmp(element, "meta") == 0)
          readMetaTag(scan, attributes);
        break;
      case DiscoveryScan::Target::XMLRedirect:
        endNewLocationText(scan);
        if (!scan->finished && std::strcmp(element, "newlocation") == 0)
          scan->inNewLocation = true;
        break;
      case DiscoveryScan::Target::Base:
        if (std::strcmp(element, "base") == 0)
          readBaseTag(scan, attributes);
        break;
      case DiscoveryScan::Target::Title:
        if (std::strcmp(element, "title") == 0)
          scan->inTitle = true;
        break;
    }
  });
}

// Any other markup ends the text of a newLocation element.
void otherMarkup(void* userData, const xmlChar*, const xmlChar*)
{
  auto* scan = static_cast<DiscoveryScan*>(userData);
  if (scan->target == DiscoveryScan::Target::XMLRedirect)
    guarded(scan, [&] { endNewLocationText(scan); });
}

void endElement(void* userData, const xmlChar* name)
{
  auto* scan = static_cast<DiscoveryScan*>(userData);
  if (scan->target == DiscoveryScan::Target::Title) {
    if (name && std::strcmp(reinterpret_cast<const char*>(name), "title") == 0)
      guarded(scan, [&] { endTitleText(scan); });
    return;
  }
  otherMarkup(userData, nullptr, nullptr);
}

void comment(void* userData, const xmlChar*) { otherMarkup(userData, nullptr, nullptr); }

void characters(void* userData, const xmlChar* text, int length)
{
  auto* scan = static_cast<DiscoveryScan*>(userData);
  if ((!scan->inNewLocation && !scan->inTitle) || length <= 0)
    return;
  QString& kept = scan->inTitle ? scan->titleText : scan->newLocationText;
  guarded(scan, [&] {
    const qsizetype room = kLongestRedirectText - kept.size();
    if (room > 0)
      kept += QString::fromUtf8(reinterpret_cast<const char*>(text), length).left(room);
  });
}

void ignoreStructuredError(void*, xmlErrorPtr) {}

// One pass of libxml2's HTML parser over `xml`, calling back into `scan`.
// Nothing is loaded from anywhere: no network, no external entities, and the
// page's own encoding declarations are ignored (the text is already decoded).
void runScan(DiscoveryScan* scan, const QString& xml)
{
  ZPHInitializeLibXML();

  if (xml.isEmpty())
    return;
  const QByteArray utf8 = xml.toUtf8();

  htmlSAXHandler handler;
  std::memset(&handler, 0, sizeof(handler));
  handler.initialized = XML_SAX2_MAGIC;  // for the structured error hook; HTML still calls startElement
  handler.startElement = startElement;
  handler.endElement = endElement;
  handler.characters = characters;
  handler.cdataBlock = characters;
  handler.processingInstruction = otherMarkup;
  handler.comment = comment;
  handler.serror = ignoreStructuredError;

  htmlParserCtxtPtr context = htmlCreatePushParserCtxt(&handler, scan, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
  if (!context) {
    scan->failed = true;
    scan->failure = QStringLiteral("out of memory");
    return;
  }
  htmlCtxtUseOptions(context, HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER |
                                  HTML_PARSE_IGNORE_ENC);
  scan->context = context;

  const char* data = utf8.constData();
  qsizetype remaining = utf8.size();
  while (!scan->finished) {
    const int chunk = remaining > kChunkSize ? kChunkSize : int(remaining);
    const bool last = chunk == remaining;
    htmlParseChunk(context, data, chunk, last ? 1 : 0);
    data += chunk;
    remaining -= chunk;
    if (last)
      break;
  }
  // Text still open at the end of the document ends there.
  if (!scan->finished && scan->target == DiscoveryScan::Target::XMLRedirect)
    endNewLocationText(scan);
  if (!scan->finished && scan->target == DiscoveryScan::Target::Title)
    endTitleText(scan);

  scan->context = nullptr;
  htmlFreeParserCtxt(context);
}

bool startsWithPort(QStringView rest)
{
  qsizetype digits = 0;
  while (digits < rest.size() && rest[digits].isDigit() && rest[digits].unicode() < 128) ++digits;
  return digits > 0 && (digits == rest.size() || rest[digits] == u'/' || rest[digits] == u'?' || rest[digits] == u'#');
}

// The scheme written at the start of `string` ("mailto" for "mailto:x"),
// lower-cased; null when there is none. "host:8080/path" has no scheme.
QString writtenScheme(const QString& string)
{
  if (string.isEmpty() || string[0].unicode() >= 128 || !string[0].isLetter())
    return {};
  qsizetype i = 1;
  while (i < string.size() && string[i].unicode() < 128 &&
         (string[i].isLetterOrNumber() || string[i] == u'+' || string[i] == u'.' || string[i] == u'-'))
    ++i;
  if (i >= string.size() || string[i] != u':')
    return {};
  if (startsWithPort(QStringView(string).mid(i + 1)))
    return {};
  return string.left(i).toLower();
}

}  // namespace

const QStringList& RSSDiscovery::feedMIMETypes()
{
  static const QStringList types = {QStringLiteral("application/rss+xml"), QStringLiteral("application/atom+xml"),
                                    QStringLiteral("application/rdf+xml")};
  return types;
}

QVariantList RSSDiscovery::getLinkTagDictionariesWithOriginalXML(const QString& xml)
{
  DiscoveryScan scan;
  scan.target = DiscoveryScan::Target::LinkTags;
  try {
    runScan(&scan, xml);
  } catch (const std::exception& e) {
    scan.failed = true;
    scan.failure = QString::fromUtf8(e.what());
  }
  if (scan.failed) {
    qCWarning(zphFeeds).noquote() << "Exception getting link tag dictionary:" << scan.failure
                                  << ". Original XML Follows:";
    qCWarning(zphFeeds).noquote() << xml.left(kLoggedPageLength);
  }

  QVariantList dictionaries;
  for (const LinkTag& tag : std::as_const(scan.linkTags)) {
    QVariantMap dictionary{{RSSDiscoveryURLStringKey, tag.url}};
    if (!tag.title.isEmpty())
      dictionary.insert(RSSDiscoveryTitleKey, tag.title);
    dictionaries.append(dictionary);
  }
  return dictionaries;
}

QString RSSDiscovery::getNextLinkTagURLWithXML(const QString& xml, RSSDiscoveryRange* foundRange, QString* title)
{
  DiscoveryScan scan;
  scan.target = DiscoveryScan::Target::LinkTags;
  scan.firstOnly = true;
  runScan(&scan, xml);
  if (scan.linkTags.isEmpty())
    return {};
  const LinkTag& tag = scan.linkTags.constFirst();
  if (foundRange) {
    const qsizetype location = xml.indexOf(tag.url);
    *foundRange = location >= 0 ? RSSDiscoveryRange{location, tag.url.size()} : RSSDiscoveryRange{};
  }
  if (title && !tag.title.isEmpty())
    *title = tag.title;
  return tag.url;
}

QString RSSDiscovery::getMetaRefreshURL(const QString& xml)
{
  DiscoveryScan scan;
  scan.target = DiscoveryScan::Target::MetaRefresh;
  runScan(&scan, xml);
  return scan.found;
}

QString RSSDiscovery::getXMLRedirectURL(const QString& xml)
{
  DiscoveryScan scan;
  scan.target = DiscoveryScan::Target::XMLRedirect;
  runScan(&scan, xml);
  return scan.found;
}

QString RSSDiscovery::getBaseURL(const QString& xml)
{
  DiscoveryScan scan;
  scan.target = DiscoveryScan::Target::Base;
  runScan(&scan, xml);
  return scan.found;
}

QString RSSDiscovery::getPageTitle(const QString& xml)
{
  DiscoveryScan scan;
  scan.target = DiscoveryScan::Target::Title;
  runScan(&scan, xml);
  return scan.found;
}

QString RSSDiscovery::normalizeURL(const QString& string)
{
  QString url = string.trimmed();
  if (CBURLIsFeedURL(url)) {
    // A feed: address wraps a web address; one that wraps anything else is
    // refused.
    url = CBURLWithFeedURL(url);
    if (url.isNull())
      return {};
  }
  const QString scheme = writtenScheme(url);
  if (scheme.isNull())
    url.prepend(QLatin1String("http://"));
  else if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
    return {};

  const QUrl parsed(url);
  if (!parsed.isValid() || parsed.host().isEmpty() ||
      !url.startsWith(parsed.scheme() + QLatin1String("://"), Qt::CaseInsensitive))
    return {};
  return url;
}
