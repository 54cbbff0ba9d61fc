#include "feeds/parsers/CBFeedParserProxy.h"

#include "feeds/parsers/CBFeedType.h"
#include "feeds/parsers/ZPHAtomFeedParser.h"
#include "feeds/parsers/ZPHRSSFeedParser.h"

bool CBFeedParserProxy::parseData(const QByteArray& data, ZPHError* error)
{
  switch (CBFeedTypeForData(data)) {
    case CBFeedTypeRSS:
      m_actualParser = ZPHRSSFeedParser::xmlParser();
      break;
    case CBFeedTypeAtom:
      m_actualParser = ZPHAtomFeedParser::xmlParser();
      break;
    case CBFeedTypeNotAFeed:
      return false;
  }
  if (!m_actualParser)
    return false;
  m_actualParser->parseData(data, error);
  return true;
}

QVariantMap CBFeedParserProxy::headerItems() const
{
  return m_actualParser ? m_actualParser->headerItems() : QVariantMap();
}

QList<std::shared_ptr<CBParsedNewsItem>> CBFeedParserProxy::newsItems() const
{
  return m_actualParser ? m_actualParser->newsItems() : QList<std::shared_ptr<CBParsedNewsItem>>();
}

QString CBFeedParserProxy::feedTitle() const { return m_actualParser ? m_actualParser->feedTitle() : QString(); }

QString CBFeedParserProxy::feedHomePageURL() const
{
  return m_actualParser ? m_actualParser->feedHomePageURL() : QString();
}

void CBFeedParserProxy::stopParsing()
{
  if (m_actualParser)
    m_actualParser->stopParsing();
}
