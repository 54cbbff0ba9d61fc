#include "feeds/parsers/ZPHAtomFeedParser.h"

#include "foundation/CBString.h"

#include <QtCore/QStringDecoder>

const QString ZPHAtomNamespaceURI = QStringLiteral("http://www.w3.org/2005/Atom");
const QString ZPHAtom03NamespaceURI = QStringLiteral("http://purl.org/atom/ns#");
const QString ZPHMediaRSSNamespaceURI = QStringLiteral("http://search.yahoo.com/mrss/");

namespace {
const QString kXMLBase = QStringLiteral("xml:base");
const QString kType = QStringLiteral("type");
const QString kMode = QStringLiteral("mode");

// How a text construct (title, subtitle) holds its text, by its "type"
// (Atom 0.3's media types too).
enum class TextType { Text, HTML, XHTML };

TextType textTypeOf(const QString& type)
{
  if (type == QLatin1String("html") || type == QLatin1String("text/html"))
    return TextType::HTML;
  if (type == QLatin1String("xhtml") || type == QLatin1String("application/xhtml+xml"))
    return TextType::XHTML;
  return TextType::Text;
}

// The text of a construct for people: markup of type "html" read once
// (tags removed, references decoded); the text of the others (already the
// text of their markup for "xhtml") with its white space collapsed.
QString plainText(const QString& text, TextType type)
{
  if (type == TextType::HTML)
    return cb_stringByMakingPlainTextTitle(text);
  QString plain = text;
  cb_collapseWhitespace(plain);
  return plain;
}

// Whether a construct of that type holds markup as child elements: Atom's
// "xhtml", and Atom 0.3's XHTML media type.
bool holdsInlineMarkup(const QString& type) { return textTypeOf(type) == TextType::XHTML; }

// Whether Atom 1.0 content of that "type" holds base64: a media type that
// is neither text ("text/...") nor XML ("+xml", "/xml"). The names "text",
// "html" and "xhtml" and a missing type are text.
bool holdsBase64(const QString& type)
{
  const QString mediaType = type.section(QLatin1Char(';'), 0, 0).trimmed();
  if (!mediaType.contains(QLatin1Char('/')))
    return false;
  return !mediaType.startsWith(QLatin1String("text/"), Qt::CaseInsensitive) &&
         !mediaType.endsWith(QLatin1String("+xml"), Qt::CaseInsensitive) &&
         !mediaType.endsWith(QLatin1String("/xml"), Qt::CaseInsensitive);
}

// Decoded base64 of another media type as text, or nothing when the bytes
// are not UTF-8 text (an image, say): those are never shown as text.
QString textOfBase64(const QString& encoded)
{
  // Line breaks and other stray characters of the encoding are skipped.
  const QByteArray bytes = QByteArray::fromBase64(encoded.toLatin1());
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder(bytes);
  if (decoder.hasError())
    return {};
  for (const QChar c : text) {
    if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
      return {};
  }
  return text;
}

bool isUsableAuthorName(const QString& name)
{
  return !name.isEmpty() && !name.contains(QLatin1String("unknown"), Qt::CaseInsensitive);
}

}  // namespace

ZPHAtomFeedParser::Namespace ZPHAtomFeedParser::namespaceOf(const QString& prefix, const QString& uri)
{
  if (uri == ZPHAtomNamespaceURI || uri == ZPHAtom03NamespaceURI || (uri.isEmpty() && prefix.isEmpty()))
    return Namespace::Atom;
  if (prefix == QLatin1String("media") || uri == ZPHMediaRSSNamespaceURI)
    return Namespace::Media;
  return Namespace::Other;
}

bool ZPHAtomFeedParser::parserWantsAttributesForTagWithLocalName(const QString& localName, const QString& /*prefix*/)
{
  if (m_elementNamespace == Namespace::Atom)
    return localName == QLatin1String("category") || localName == QLatin1String("title") ||
           localName == QLatin1String("subtitle") || localName == QLatin1String("link") ||
           localName == QLatin1String("content") || localName == QLatin1String("summary") ||
           localName == QLatin1String("entry") || localName == QLatin1String("feed");
  if (m_elementNamespace == Namespace::Media)
    return localName == QLatin1String("thumbnail") || localName == QLatin1String("content");
  return false;
}

QString ZPHAtomFeedParser::attributeDictionaryKeyForAttributeLocalName(const QString& localName, const QString& prefix)
{
  if (prefix.isEmpty()) {
    if (localName == QLatin1String("term") || localName == kType || localName == QLatin1String("href") ||
        localName == QLatin1String("length") || localName == QLatin1String("rel") ||
        localName == QLatin1String("url") || localName == kMode)
      return localName;
    return {};
  }
  if (prefix == QLatin1String("xml") && localName == QLatin1String("base"))
    return kXMLBase;
  return {};
}

void ZPHAtomFeedParser::xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                                        const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes)
{
  if (m_inXHTML) {
    ++m_xhtmlDepth;
    addInlineElement(localName, prefix, attributes);
    return;
  }
  if (m_inXHTMLText) {
    // Markup of a title: only its text counts.
    ++m_xhtmlDepth;
    return;
  }
  m_elementNamespace = namespaceOf(prefix, uri);
  ZPHAbstractFeedParser::xmlStartElement(localName, prefix, uri, namespaces, attributes);
  const bool atom = m_elementNamespace == Namespace::Atom;
  if (atom) {
    if (localName == QLatin1String("source")) {
      m_inSource = true;
    } else if (localName == QLatin1String("entry")) {
      addNewsItem();
      setParsingNewsItem(true);
    } else if (localName == QLatin1String("author")) {
      m_parsingAuthor = true;
    } else if ((localName == QLatin1String("content") || localName == QLatin1String("summary")) &&
               holdsInlineMarkup(currentAttribute(kType))) {
      m_inXHTML = true;
      m_xhtmlDepth = 0;
    } else if ((localName == QLatin1String("title") || localName == QLatin1String("subtitle")) &&
               holdsInlineMarkup(currentAttribute(kType))) {
      m_inXHTMLText = true;
      m_xhtmlDepth = 0;
    }
  }
  if (!m_inSource) {
    if (parsingNewsItem() || (atom && (localName == QLatin1String("title") || localName == QLatin1String("subtitle") ||
                                       (m_parsingAuthor && localName == QLatin1String("name")))))
      startStoringCharacters();
  }
  if (!parsingNewsItem() && atom) {
    if (localName == QLatin1String("link"))
      processHeaderLink();
    else if (localName == QLatin1String("id"))
      startStoringCharacters();
    else if (localName == QLatin1String("feed"))
      processFeedTag();
  }
}

void ZPHAtomFeedParser::xmlEndElement(const QString& localName, const QString& prefix, const QString& uri)
{
  const Namespace ns = namespaceOf(prefix, uri);
  const bool atom = ns == Namespace::Atom;
  if (m_inXHTML) {
    // Only the end of the element that began the markup ends it: a nested
    // element may share its name (the summary of a details element).
    if (m_xhtmlDepth > 0) {
      --m_xhtmlDepth;
      addInlineEndElement(localName, prefix);
      return;
    }
    // The wrapper's own attributes (its xml:base) come back from the stack.
    ZPHAbstractFeedParser::xmlEndElement(localName, prefix, uri);
    m_elementNamespace = ns;
    m_elementIsAtom10 = uri == ZPHAtomNamespaceURI;
    if (parsingNewsItem())
      addNewsItemElement(localName, prefix);
    m_inXHTML = false;
    return;
  }
  if (m_inXHTMLText) {
    if (m_xhtmlDepth > 0) {
      --m_xhtmlDepth;
      return;
    }
    // The title itself ends, with the text of its markup.
    m_inXHTMLText = false;
  }

  ZPHAbstractFeedParser::xmlEndElement(localName, prefix, uri);
  m_elementNamespace = ns;
  m_elementIsAtom10 = uri == ZPHAtomNamespaceURI;
  if (atom && localName == QLatin1String("author")) {
    m_parsingAuthor = false;
  } else if (atom && localName == QLatin1String("entry")) {
    m_parsingAuthor = false;
    setParsingNewsItem(false);
    // An entry without an author of its own has the feed's.
    if (CBParsedNewsItem* item = newsItem(); item != nullptr && item->author().isEmpty() && !m_feedAuthor.isEmpty())
      item->setAuthor(m_feedAuthor);
    removeNewsItemIfDelegateWishes();
  } else if (parsingNewsItem()) {
    if (!m_inSource)
      addNewsItemElement(localName, prefix);
  } else if (atom && localName == QLatin1String("feed")) {
    // The feed's author may come after its entries.
    if (!m_feedAuthor.isEmpty()) {
      for (const std::shared_ptr<CBParsedNewsItem>& item : newsItems()) {
        if (item->author().isEmpty())
          item->setAuthor(m_feedAuthor);
      }
    }
    notifyDelegateThatFeedParserDidComplete();
  } else if (atom && m_parsingAuthor && localName == QLatin1String("name")) {
    if (m_feedAuthor.isEmpty() && isUsableAuthorName(currentString()))
      m_feedAuthor = currentString();
    endStoringCharacters();
  } else if (atom && (localName == QLatin1String("title") || localName == QLatin1String("subtitle"))) {
    // The feed's title and subtitle as text for people.
    const QString text = decodedCurrentString();
    if (!text.isEmpty())
      mutableHeaderItems().insert(localName, plainText(text, textTypeOf(currentAttribute(kType))));
    endStoringCharacters();
  } else if (atom) {
    // Atom's own header values are keyed without the prefix they were
    // written with.
    addHeaderItem(localName, QString());
  } else if (!prefix.isEmpty()) {
    addHeaderItem(localName, prefix);
  } else {
    // An unprefixed element of another namespace would pass for Atom's.
    endStoringCharacters();
  }
  if (atom && localName == QLatin1String("source"))
    m_inSource = false;
}

void ZPHAtomFeedParser::xmlCharactersFound(QByteArrayView utf8)
{
  if (m_inXHTML)
    addInlineText(utf8);
  else
    ZPHAbstractFeedParser::xmlCharactersFound(utf8);
}

void ZPHAtomFeedParser::addNewsItem()
{
  ZPHAbstractFeedParser::addNewsItem();
  const QString base = currentAttribute(kXMLBase);
  if (base.isEmpty())
    m_xmlBaseURLForEntry = m_xmlBaseURLForFeed;
  else if (m_xmlBaseURLForFeed.isValid() && !m_xmlBaseURLForFeed.isEmpty())
    m_xmlBaseURLForEntry = m_xmlBaseURLForFeed.resolved(QUrl(base));
  else
    m_xmlBaseURLForEntry = QUrl(base);
}

void ZPHAtomFeedParser::addNewsItemElement(const QString& localName, const QString& /*prefix*/)
{
  CBParsedNewsItem* item = newsItem();
  if (item == nullptr)
    return;
  if (m_elementNamespace == Namespace::Media) {
    if (localName == QLatin1String("content"))
      processEnclosure();
    else if (localName == QLatin1String("thumbnail"))
      processMediaThumbnail();
    return;
  }
  if (m_elementNamespace != Namespace::Atom)
    return;
  if (localName == QLatin1String("id")) {
    item->setGuid(currentString());
  } else if (localName == QLatin1String("title")) {
    const QString text = decodedCurrentString();
    if (!text.isEmpty()) {
      item->setTitle(text);
      // Only markup of type "html" is made plain from the title; the text
      // of the other types is plain already, "<" and "&" included.
      const TextType type = textTypeOf(currentAttribute(kType));
      item->setPlainTextTitle(type == TextType::HTML ? QString() : plainText(text, type));
    }
  } else if (localName == QLatin1String("category")) {
    const QString term = currentAttribute(QStringLiteral("term"));
    if (!term.isEmpty())
      item->addCategory(term);
  } else if (localName == QLatin1String("published") || localName == QLatin1String("issued")) {
    item->setPubDate(currentDate());
  } else if (localName == QLatin1String("updated") || localName == QLatin1String("modified")) {
    // "modified" is Atom 0.3's name for it.
    item->setDateModified(currentDate());
  } else if (localName == QLatin1String("link")) {
    processLink();
  } else if (localName == QLatin1String("name")) {
    if (m_parsingAuthor)
      processAuthor();
  } else if (localName == QLatin1String("summary")) {
    const QString text = decodedCurrentString();
    if (!text.isEmpty()) {
      item->setSummary(text);
      item->setXmlBaseURLForSummary(currentAttribute(kXMLBase));
    }
  } else if (localName == QLatin1String("content")) {
    // Atom 1.0 content of a media type that is neither text nor XML is
    // base64.
    const QString text = m_elementIsAtom10 && holdsBase64(currentAttribute(kType)) ? textOfBase64(currentString())
                                                                                   : decodedCurrentString();
    if (!text.isEmpty()) {
      item->setContent(text);
      item->setXmlBaseURLForContent(currentAttribute(kXMLBase));
    }
  }
}

QString ZPHAtomFeedParser::decodedCurrentString() const
{
  const QString text = currentString();
  if (currentAttribute(kMode) != QLatin1String("base64"))
    return text;
  // Line breaks and other stray characters of the encoding are skipped.
  return QString::fromUtf8(QByteArray::fromBase64(text.toLatin1()));
}

void ZPHAtomFeedParser::processAuthor()
{
  const QString name = currentString();
  if (isUsableAuthorName(name))
    newsItem()->setAuthor(name);
}

void ZPHAtomFeedParser::processLink()
{
  const QString href = currentAttribute(ZPHAbstractFeedParserAttributeKeyHref);
  if (href.isEmpty())
    return;
  const QString rel = currentAttribute(ZPHAbstractFeedParserAttributeKeyRel);
  if (rel.isEmpty() || rel == ZPHAbstractFeedParserAttributeRelValueAlternate)
    newsItem()->setPermalink(expandedURLString(href));
  else if (rel == ZPHAbstractFeedParserAttributeRelValueRelated)
    newsItem()->setLink(expandedURLString(href));
  else if (rel == ZPHAbstractFeedParserAttributeRelValueEnclosure)
    processEnclosure();
  else if (rel == ZPHAbstractFeedParserAttributeRelValueImage)
    addThumbnailURLIfNoThumbnail(href);
}

void ZPHAtomFeedParser::processHeaderLink()
{
  if (hasFeedHomePageURL())
    return;
  const QString href = currentAttribute(ZPHAbstractFeedParserAttributeKeyHref);
  if (currentAttribute(ZPHAbstractFeedParserAttributeKeyRel) == ZPHAbstractFeedParserAttributeRelValueAlternate &&
      !href.isEmpty())
    setFeedHomePageURL(href);
}

void ZPHAtomFeedParser::processFeedTag()
{
  const QString base = currentAttribute(kXMLBase);
  if (!base.isEmpty())
    m_xmlBaseURLForFeed = QUrl(base);
}

QString ZPHAtomFeedParser::expandedURLString(const QString& urlString) const
{
  if (urlString.isEmpty() || urlString.startsWith(QLatin1String("http")) || m_xmlBaseURLForEntry.isEmpty() ||
      !m_xmlBaseURLForEntry.isValid())
    return urlString;
  const QUrl resolved = m_xmlBaseURLForEntry.resolved(QUrl(urlString));
  if (!resolved.isValid() || resolved.isEmpty())
    return urlString;
  return resolved.toString();
}
