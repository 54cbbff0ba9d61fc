#include "feeds/parsers/ZPHSingleStringParser.h"

void ZPHSingleStringParser::xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                                            const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes)
{
  ZPHStreamingXMLParser::xmlStartElement(localName, prefix, uri, namespaces, attributes);
  startStoringCharacters();
}

void ZPHSingleStringParser::xmlEndElement(const QString& localName, const QString& prefix, const QString& uri)
{
  ZPHStreamingXMLParser::xmlEndElement(localName, prefix, uri);
  if (!m_returnedString.isNull())
    return;
  if (localName == m_tagName) {
    m_returnedString = currentString();
    stopParsing();
    return;
  }
  endStoringCharacters();
}

QString ZPHParseSingleStringWithTag(const QByteArray& data, const QString& tagName)
{
  auto parser = ZPHSingleStringParser::xmlParser();
  parser->setTagName(tagName);
  parser->parseData(data, nullptr);
  const QString found = parser->returnedString();
  if (found.isNull())
    return {};
  return found.trimmed();
}
