#include "feeds/parsers/ZPHRSSFeedParser.h"

namespace {
const QString kItem = QStringLiteral("item");
const QString kImage = QStringLiteral("image");
const QString kRdfAbout = QStringLiteral("rdf:about");
}  // namespace

const QStringList& ZPHRSSFeedParser::knownPrefixes()
{
  static const QStringList prefixes = {QStringLiteral("dc"),   QStringLiteral("media"),   QStringLiteral("rdf"),
                                       QStringLiteral("atom"), QStringLiteral("content"), QStringLiteral("itunes")};
  return prefixes;
}

bool ZPHRSSFeedParser::isUnknownPrefix(const QString& prefix)
{
  if (prefix.isEmpty())
    return false;
  for (const QString& known : knownPrefixes()) {
    if (prefix.compare(known, Qt::CaseInsensitive) == 0)
      return false;
  }
  return true;
}

bool ZPHRSSFeedParser::parserWantsAttributesForTagWithLocalName(const QString& localName, const QString& prefix)
{
  if (prefix.isEmpty())
    return localName == QLatin1String("guid") || localName == QLatin1String("enclosure") ||
           localName == QLatin1String("source") || localName == kItem;
  if (prefix == QLatin1String("media"))
    return localName == QLatin1String("thumbnail") || localName == QLatin1String("content") ||
           localName == QLatin1String("credit");
  return false;
}

QString ZPHRSSFeedParser::attributeDictionaryKeyForAttributeLocalName(const QString& localName, const QString& prefix)
{
  if (prefix == QLatin1String("rdf"))
    return localName == QLatin1String("about") ? kRdfAbout : QString();
  static const QStringList names = {QStringLiteral("url"),      QStringLiteral("isPermaLink"), QStringLiteral("length"),
                                    QStringLiteral("type"),     QStringLiteral("width"),       QStringLiteral("height"),
                                    QStringLiteral("fileSize"), QStringLiteral("bitrate"),     QStringLiteral("medium"),
                                    QStringLiteral("role")};
  if (!prefix.isEmpty())
    return {};
  return names.contains(localName) ? localName : QString();
}

void ZPHRSSFeedParser::xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes)
{
  ZPHAbstractFeedParser::xmlStartElement(localName, prefix, uri, namespaces, attributes);

  // Inside an element of an unknown namespace nothing starts; only nested
  // unknown elements are counted so that the matching end is found.
  if (isUnknownPrefix(prefix)) {
    if (m_unknownNamespaceDepth == NotInUnknownNamespace)
      m_unknownNamespaceDepth = 0;
    else
      ++m_unknownNamespaceDepth;
    return;
  }
  if (m_unknownNamespaceDepth != NotInUnknownNamespace)
    return;

  if (prefix.isEmpty()) {
    if (localName == kItem) {
      addNewsItem();
      setParsingNewsItem(true);
      const QString about = currentAttribute(kRdfAbout);
      if (!about.isEmpty())
        newsItem()->setGuid(about);
    } else if (localName == kImage) {
      // Nothing inside a channel image is stored: its title and link are
      // never the feed's.
      m_inImageTree = true;
      endStoringCharacters();
    }
  }
  if (!m_inImageTree)
    startStoringCharacters();
}

void ZPHRSSFeedParser::xmlEndElement(const QString& localName, const QString& prefix, const QString& uri)
{
  ZPHAbstractFeedParser::xmlEndElement(localName, prefix, uri);

  if (m_unknownNamespaceDepth != NotInUnknownNamespace) {
    if (isUnknownPrefix(prefix)) {
      if (m_unknownNamespaceDepth < 1)
        m_unknownNamespaceDepth = NotInUnknownNamespace;
      else
        --m_unknownNamespaceDepth;
    }
    return;
  }

  if (prefix.isEmpty() && localName == kImage) {
    m_inImageTree = false;
  } else if (prefix.isEmpty() && localName == kItem) {
    setParsingNewsItem(false);
    removeNewsItemIfDelegateWishes();
  } else if (!parsingNewsItem() || m_inImageTree) {
    addHeaderItem(localName, prefix);
  } else {
    addNewsItemElement(localName, prefix);
  }
}

void ZPHRSSFeedParser::addNewsItemElement(const QString& localName, const QString& prefix)
{
  CBParsedNewsItem* item = newsItem();
  if (item == nullptr)
    return;
  if (prefix.isEmpty()) {
    if (localName == QLatin1String("title"))
      item->setTitle(currentString());
    else if (localName == QLatin1String("link"))
      item->setLink(currentString());
    else if (localName == QLatin1String("description")) {
      if (item->content().isEmpty())
        item->setContent(currentString());
    } else if (localName == QLatin1String("pubDate"))
      item->setPubDate(currentDate());
    else if (localName == QLatin1String("author"))
      item->setAuthorEmail(currentString());
    else if (localName == QLatin1String("category"))
      item->addCategory(currentString());
    else if (localName == QLatin1String("guid"))
      processGuid();
    else if (localName == QLatin1String("source"))
      processSource();
    else if (localName == QLatin1String("enclosure"))
      processEnclosure();
  } else if (prefix == QLatin1String("dc")) {
    if (localName == QLatin1String("creator"))
      item->setAuthor(currentString());
    else if (localName == QLatin1String("date"))
      item->setPubDate(currentDate());
    else if (localName == QLatin1String("subject"))
      item->addCategory(currentString());
  } else if (prefix == QLatin1String("content")) {
    if (localName == QLatin1String("encoded"))
      item->setContent(currentString());
  } else if (prefix == QLatin1String("media")) {
    if (localName == QLatin1String("content"))
      processEnclosure();
    else if (localName == QLatin1String("thumbnail"))
      processMediaThumbnail();
    else if (localName == QLatin1String("title"))
      item->setMediaTitle(currentString());
    else if (localName == QLatin1String("credit"))
      processMediaCredit();
  } else if (prefix == QLatin1String("itunes")) {
    if (localName == QLatin1String("summary"))
      item->setItunesSummary(currentString());
    else if (localName == QLatin1String("subtitle"))
      item->setItunesSubtitle(currentString());
  }
}

void ZPHRSSFeedParser::processGuid()
{
  CBParsedNewsItem* item = newsItem();
  if (item == nullptr || characterBuffer().isEmpty())
    return;
  item->setGuid(currentString());
  const QString isPermaLink = currentAttribute(QStringLiteral("isPermaLink"));
  const bool permalink = isPermaLink.isEmpty() || isPermaLink != QLatin1String("false");
  item->setGuidIsPermalink(permalink);
  if (permalink)
    item->setPermalink(item->guid());
}

void ZPHRSSFeedParser::processSource()
{
  CBParsedNewsItem* item = newsItem();
  if (item == nullptr)
    return;
  item->setOriginalSourceName(currentString());
  item->setOriginalSourceURL(currentAttribute(QStringLiteral("url")));
}

void ZPHRSSFeedParser::addHeaderItem(const QString& localName, const QString& prefix)
{
  if (!prefix.isEmpty())
    return;
  if (localName == QLatin1String("link")) {
    if (!hasFeedHomePageURL())
      setFeedHomePageURL(currentString());
  } else if (localName == QLatin1String("title")) {
    if (storedFeedTitle().isEmpty())
      setFeedTitle(currentString());
  }
  endStoringCharacters();
}
