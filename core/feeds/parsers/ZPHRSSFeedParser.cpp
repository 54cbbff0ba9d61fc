#include "feeds/parsers/ZPHRSSFeedParser.h"

#include "foundation/CBString.h"

namespace {
const QString kItem = QStringLiteral("item");
const QString kImage = QStringLiteral("image");
const QString kRdfAbout = QStringLiteral("rdf:about");
const QString kXHTMLNamespaceURI = QStringLiteral("http://www.w3.org/1999/xhtml");

// An author's name is shown as text: escaped markup in it is read once.
QString plainName(const QString& name) { return name.isNull() ? name : cb_stringByMakingPlainTextTitle(name); }
}  // namespace

const QStringList& ZPHRSSFeedParser::knownPrefixes()
{
  static const QStringList prefixes = {QStringLiteral("dc"),     QStringLiteral("dcterms"), QStringLiteral("media"),
                                       QStringLiteral("rdf"),    QStringLiteral("atom"),    QStringLiteral("content"),
                                       QStringLiteral("itunes"), QStringLiteral("xhtml")};
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
  if (m_inXHTMLBody) {
    // Markup of the body, written without the prefix its document gave it.
    ++m_xhtmlDepth;
    addInlineElement(localName, QString(), attributes);
    return;
  }
  ZPHAbstractFeedParser::xmlStartElement(localName, prefix, uri, namespaces, attributes);

  if (parsingNewsItem() && !m_inImageTree && m_unknownNamespaceDepth == NotInUnknownNamespace &&
      localName == QLatin1String("body") && uri == kXHTMLNamespaceURI) {
    m_inXHTMLBody = true;
    m_xhtmlDepth = 0;
    startStoringCharacters();
    return;
  }

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
      m_dcTitle.clear();
      m_dcDescription.clear();
      m_xhtmlBody.clear();
      m_dctermsIssued = QDateTime();
      m_authorElementName.clear();
      m_dcAuthor.clear();
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
  if (m_inXHTMLBody) {
    if (m_xhtmlDepth > 0) {
      --m_xhtmlDepth;
      addInlineEndElement(localName, QString());
      return;
    }
    // The body itself ends.
    m_inXHTMLBody = false;
    ZPHAbstractFeedParser::xmlEndElement(localName, prefix, uri);
    if (m_xhtmlBody.isEmpty())
      m_xhtmlBody = currentString();
    endStoringCharacters();
    return;
  }
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
    completeNewsItem();
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
    else if (localName == QLatin1String("author")) {
      QString name;
      QString email;
      CBSplitAuthorNameAndEmail(currentString(), &name, &email);
      item->setAuthorEmail(email);
      m_authorElementName = plainName(name);
    } else if (localName == QLatin1String("category"))
      item->addCategory(currentString());
    else if (localName == QLatin1String("guid"))
      processGuid();
    else if (localName == QLatin1String("source"))
      processSource();
    else if (localName == QLatin1String("enclosure"))
      processEnclosure();
  } else if (prefix == QLatin1String("dc")) {
    if (localName == QLatin1String("creator") || localName == QLatin1String("author")) {
      // A name; an address written with one gives the name alone.
      QString name;
      QString email;
      CBSplitAuthorNameAndEmail(currentString(), &name, &email);
      const QString author = name.isNull() ? email : plainName(name);
      if (localName == QLatin1String("creator"))
        item->setAuthor(author);
      else
        m_dcAuthor = author;
    } else if (localName == QLatin1String("date"))
      item->setPubDate(currentDate());
    else if (localName == QLatin1String("subject"))
      item->addCategory(currentString());
    else if (localName == QLatin1String("title"))
      m_dcTitle = currentString();
    else if (localName == QLatin1String("description"))
      m_dcDescription = currentString();
  } else if (prefix == QLatin1String("dcterms")) {
    if (localName == QLatin1String("issued"))
      m_dctermsIssued = currentDate();
    else if (localName == QLatin1String("modified"))
      item->setDateModified(currentDate());
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

void ZPHRSSFeedParser::xmlCharactersFound(QByteArrayView utf8)
{
  if (m_inXHTMLBody)
    addInlineText(utf8);
  else
    ZPHAbstractFeedParser::xmlCharactersFound(utf8);
}

void ZPHRSSFeedParser::completeNewsItem()
{
  CBParsedNewsItem* item = newsItem();
  if (item == nullptr)
    return;
  if (item->title().isEmpty() && !m_dcTitle.isEmpty())
    item->setTitle(m_dcTitle);
  if (item->content().isEmpty()) {
    if (!m_xhtmlBody.isEmpty())
      item->setContent(m_xhtmlBody);
    else if (!m_dcDescription.isEmpty())
      item->setContent(m_dcDescription);
  }
  if (!item->pubDate().isValid() && m_dctermsIssued.isValid())
    item->setPubDate(m_dctermsIssued);
  if (item->author().isEmpty() && !m_authorElementName.isEmpty())
    item->setAuthor(m_authorElementName);
  if (item->author().isEmpty() && !m_dcAuthor.isEmpty())
    item->setAuthor(m_dcAuthor);
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
  if (prefix == QLatin1String("dc") && localName == QLatin1String("title") && !m_inImageTree) {
    // The feed's title until the channel's own title comes (the first one).
    if (storedFeedTitle().isEmpty()) {
      setFeedTitle(cb_stringByMakingPlainTextTitle(currentString()));
      m_feedTitleIsDublinCore = !storedFeedTitle().isEmpty();
    }
    endStoringCharacters();
    return;
  }
  if (!prefix.isEmpty())
    return;
  if (localName == QLatin1String("link")) {
    if (!hasFeedHomePageURL())
      setFeedHomePageURL(currentString());
  } else if (localName == QLatin1String("title")) {
    // Shown as the site's name: the markup of an escaped title is read once,
    // as for an item's title.
    if (storedFeedTitle().isEmpty() || m_feedTitleIsDublinCore) {
      const QString title = cb_stringByMakingPlainTextTitle(currentString());
      if (!title.isEmpty()) {
        setFeedTitle(title);
        m_feedTitleIsDublinCore = false;
      }
    }
  }
  endStoringCharacters();
}
