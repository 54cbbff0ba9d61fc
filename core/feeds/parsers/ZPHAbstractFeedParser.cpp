#include "feeds/parsers/ZPHAbstractFeedParser.h"

#include "platform/ZPHLog.h"

const QString ZPHAbstractFeedParserAttributeKeyURL = QStringLiteral("url");
const QString ZPHAbstractFeedParserAttributeKeyHref = QStringLiteral("href");
const QString ZPHAbstractFeedParserAttributeKeyRel = QStringLiteral("rel");
const QString ZPHAbstractFeedParserAttributeRelValueAlternate = QStringLiteral("alternate");
const QString ZPHAbstractFeedParserAttributeRelValueRelated = QStringLiteral("related");
const QString ZPHAbstractFeedParserAttributeRelValueEnclosure = QStringLiteral("enclosure");
const QString ZPHAbstractFeedParserAttributeRelValueImage = QStringLiteral("image");

namespace {

// Text escaped for markup: "&", "<", ">" in text; "&", "<", '"' in
// attribute values.
void appendEscaped(QByteArray& out, QByteArrayView text, bool attribute)
{
  for (char c : text) {
    switch (c) {
      case '&':
        out.append("&amp;");
        break;
      case '<':
        out.append("&lt;");
        break;
      case '>':
        if (attribute)
          out.append(c);
        else
          out.append("&gt;");
        break;
      case '"':
        if (attribute)
          out.append("&quot;");
        else
          out.append(c);
        break;
      default:
        out.append(c);
    }
  }
}

}  // namespace

QString ZPHAbstractFeedParser::feedTitle() const
{
  if (!m_feedTitle.isNull())
    return m_feedTitle;
  return m_headerItems.value(QStringLiteral("title")).toString();
}

QString ZPHAbstractFeedParser::feedHomePageURL() const
{
  if (!m_feedHomePageURL.isNull())
    return m_feedHomePageURL;
  const QVariant homePage = m_headerItems.value(QStringLiteral("feedHomepageURL"));
  if (homePage.isValid())
    return homePage.toString();
  return m_headerItems.value(QStringLiteral("id")).toString();
}

void ZPHAbstractFeedParser::setDelegate(ZPHFeedParserDelegate* delegate)
{
  m_delegate = delegate;
  m_delegateRespondsToDidParseNewsItem = delegate != nullptr;
}

void ZPHAbstractFeedParser::xmlStartElement(const QString& localName, const QString& prefix, const QString& /*uri*/,
                                            const QVariantMap* /*namespaces*/, const ZPHXMLRawAttributes* attributes)
{
  ZPHXMLAttributes simple;
  if (attributes != nullptr && parserWantsAttributesForTagWithLocalName(localName, prefix)) {
    for (const ZPHXMLRawAttribute& attribute : *attributes) {
      const QString key = attributeDictionaryKeyForAttributeLocalName(attribute.localName, attribute.prefix);
      if (!key.isEmpty())
        simple.insert(key, attribute.value.trimmed());
    }
  }
  setCurrentXMLAttributes(simple);
  pushCurrentXMLAttributes();
}

void ZPHAbstractFeedParser::addNewsItem()
{
  m_newsItem = std::make_shared<CBParsedNewsItem>();
  m_newsItems.append(m_newsItem);
}

void ZPHAbstractFeedParser::addHeaderItem(const QString& localName, const QString& prefix)
{
  addItemToDictionary(localName, prefix, m_headerItems);
}

void ZPHAbstractFeedParser::processEnclosure()
{
  if (!m_newsItem)
    return;
  QString urlString = currentAttribute(ZPHAbstractFeedParserAttributeKeyURL);
  if (urlString.isEmpty())
    urlString = currentAttribute(ZPHAbstractFeedParserAttributeKeyHref);
  if (hasEnclosureWithURLString(urlString))
    return;
  QVariantMap dictionary;
  if (const ZPHXMLAttributes* attributes = currentXMLAttributes()) {
    for (auto it = attributes->cbegin(); it != attributes->cend(); ++it) dictionary.insert(it.key(), it.value());
  }
  m_newsItem->addEnclosure(CBParsedEnclosure::enclosureWithFeedEnclosureDictionary(dictionary));
}

bool ZPHAbstractFeedParser::hasEnclosureWithURLString(const QString& urlString) const
{
  if (!m_newsItem)
    return false;
  for (const auto& enclosure : m_newsItem->enclosures()) {
    if (enclosure->urlString() == urlString)
      return true;
  }
  return false;
}

void ZPHAbstractFeedParser::processMediaThumbnail()
{
  addThumbnailURLIfNoThumbnail(currentAttribute(ZPHAbstractFeedParserAttributeKeyURL));
}

void ZPHAbstractFeedParser::addThumbnailURLIfNoThumbnail(const QString& urlString)
{
  if (m_newsItem && m_newsItem->mediaThumbnailURL().isEmpty() && !urlString.isNull())
    m_newsItem->setMediaThumbnailURL(urlString);
}

void ZPHAbstractFeedParser::processMediaCredit()
{
  if (!m_newsItem || m_newsItem->mediaCreditRoleIsPhotographer())
    return;
  const QString text = currentString();
  if (currentAttribute(QStringLiteral("role")).compare(QLatin1String("photographer"), Qt::CaseInsensitive) == 0 &&
      !text.isEmpty()) {
    m_newsItem->setMediaCredit(text);
    m_newsItem->setMediaCreditRoleIsPhotographer(true);
  } else if (m_newsItem->mediaCredit().isEmpty()) {
    m_newsItem->setMediaCredit(text);
  }
}

bool ZPHAbstractFeedParser::callDelegateWithNewsItem()
{
  if (m_delegate == nullptr || !m_delegateRespondsToDidParseNewsItem || !m_newsItem)
    return false;
  return m_delegate->feedParserDidParseNewsItem(this, m_newsItem.get());
}

void ZPHAbstractFeedParser::removeNewsItemIfDelegateWishes()
{
  if (callDelegateWithNewsItem()) {
    m_newsItem.reset();
    if (!m_newsItems.isEmpty())
      m_newsItems.removeLast();
  }
  if (m_newsItems.size() >= MaximumNewsItems && isParsing()) {
    qCWarning(zphFeeds) << "Stopping after" << m_newsItems.size() << "items";
    stopParsing();
  }
}

void ZPHAbstractFeedParser::notifyDelegateThatFeedParserDidComplete()
{
  if (m_delegate != nullptr)
    m_delegate->feedParserDidComplete(this);
}

void ZPHAbstractFeedParser::addInlineElement(const QString& localName, const QString& prefix,
                                             const ZPHXMLRawAttributes* attributes)
{
  QByteArray tag;
  tag.append('<');
  if (!prefix.isEmpty())
    tag.append(prefix.toUtf8()).append(':');
  tag.append(localName.toUtf8());
  if (attributes != nullptr) {
    for (const ZPHXMLRawAttribute& attribute : *attributes) {
      tag.append(' ');
      if (!attribute.prefix.isEmpty())
        tag.append(attribute.prefix.toUtf8()).append(':');
      tag.append(attribute.localName.toUtf8()).append("=\"");
      appendEscaped(tag, attribute.value.toUtf8(), true);
      tag.append('"');
    }
  }
  tag.append('>');
  appendBytes(tag);
}

void ZPHAbstractFeedParser::addInlineEndElement(const QString& localName, const QString& prefix)
{
  QByteArray tag("</");
  if (!prefix.isEmpty())
    tag.append(prefix.toUtf8()).append(':');
  tag.append(localName.toUtf8()).append('>');
  appendBytes(tag);
}

void ZPHAbstractFeedParser::addInlineText(QByteArrayView utf8)
{
  if (!storingCharacters())
    return;
  QByteArray escaped;
  escaped.reserve(utf8.size() + 16);
  appendEscaped(escaped, utf8, false);
  appendBytes(escaped);
}
