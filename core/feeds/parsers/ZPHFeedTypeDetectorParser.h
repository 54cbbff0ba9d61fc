#pragma once

// Decides a feed type from the first telling start element: "rss" or "RDF"
// (any prefix) is RSS, "feed" is Atom, "html" is not a feed; after seven
// other elements it gives up (not a feed). Builds no attribute dictionaries.

#include "feeds/parsers/CBFeedType.h"
#include "feeds/parsers/ZPHStreamingXMLParser.h"

#include <memory>

class ZPHFeedTypeDetectorParser : public ZPHStreamingXMLParser {
public:
  static std::unique_ptr<ZPHFeedTypeDetectorParser> xmlParser()
  {
    return std::make_unique<ZPHFeedTypeDetectorParser>();
  }

  CBFeedType feedType() const { return m_feedType; }
  int countStartElements() const { return m_countStartElements; }

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override;
  void xmlEndElement(const QString&, const QString&, const QString&) override {}
  void xmlCharactersFound(QByteArrayView) override {}

private:
  CBFeedType m_feedType = CBFeedTypeNotAFeed;
  int m_countStartElements = 0;
};
