#pragma once

// Reads RSS 0.9x/2.0 and RSS 1.0 (RDF) documents into parsed items, the
// feed title and the home page. Elements are told apart by local name and
// the prefix as written; everything inside an element whose prefix is not
// a known one is skipped, start and end alike.

#include "feeds/parsers/ZPHAbstractFeedParser.h"

#include <QtCore/QStringList>

#include <limits>
#include <memory>

class ZPHRSSFeedParser : public ZPHAbstractFeedParser {
public:
  static std::unique_ptr<ZPHRSSFeedParser> xmlParser() { return std::make_unique<ZPHRSSFeedParser>(); }
  // "dc", "media", "rdf", "atom", "content", "itunes" (compared lower-cased).
  static const QStringList& knownPrefixes();

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override;
  void xmlEndElement(const QString& localName, const QString& prefix, const QString& uri) override;
  void addNewsItemElement(const QString& localName, const QString& prefix) override;
  void addHeaderItem(const QString& localName, const QString& prefix) override;
  bool parserWantsAttributesForTagWithLocalName(const QString& localName, const QString& prefix) override;
  QString attributeDictionaryKeyForAttributeLocalName(const QString& localName, const QString& prefix) override;

  void processGuid();
  void processSource();

private:
  static constexpr qsizetype NotInUnknownNamespace = std::numeric_limits<qsizetype>::max();
  static bool isUnknownPrefix(const QString& prefix);

  bool m_inImageTree = false;
  qsizetype m_unknownNamespaceDepth = NotInUnknownNamespace;
};
