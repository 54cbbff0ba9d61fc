#include "feeds/parsers/ZPHFeedTypeDetectorParser.h"

void ZPHFeedTypeDetectorParser::xmlStartElement(const QString& localName, const QString& /*prefix*/,
                                                const QString& /*uri*/, const QVariantMap* /*namespaces*/,
                                                const ZPHXMLRawAttributes* /*attributes*/)
{
  if (localName == QLatin1String("rss") || localName == QLatin1String("RDF")) {
    m_feedType = CBFeedTypeRSS;
    stopParsing();
  } else if (localName == QLatin1String("feed")) {
    m_feedType = CBFeedTypeAtom;
    stopParsing();
  } else if (localName == QLatin1String("html")) {
    m_feedType = CBFeedTypeNotAFeed;
    stopParsing();
  } else if (++m_countStartElements >= 7) {
    stopParsing();
  }
}
