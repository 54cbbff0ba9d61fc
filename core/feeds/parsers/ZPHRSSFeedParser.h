#pragma once

// Reads RSS 0.9x/2.0 and RSS 1.0 (RDF) documents into parsed items, the
// feed title and the home page. Elements are told apart by local name and
// the prefix as written; everything inside an element whose prefix is not
// a known one is skipped, start and end alike.
//
// Where an item lacks an RSS element, Dublin Core's stands in: dc:title for
// the title, dc:description (after an XHTML body) for the description,
// dcterms:issued for the date; dcterms:modified is the date modified. An
// item's XHTML body (a "body" element of the XHTML namespace, whatever its
// prefix) is written back out as markup text. The author element holds an
// address, often with a name ("x@example.com (Name)", "Name <x@example.com>"):
// the address is the author's e-mail and the name, when dc:creator gives
// none, the author's name; text without an address is a name. Without either,
// dc:author (used by some feeds) names the author. A channel without a
// title element has its dc:title as the feed's title.

#include "feeds/parsers/ZPHAbstractFeedParser.h"

#include <QtCore/QStringList>

#include <limits>
#include <memory>

class ZPHRSSFeedParser : public ZPHAbstractFeedParser {
public:
  static std::unique_ptr<ZPHRSSFeedParser> xmlParser() { return std::make_unique<ZPHRSSFeedParser>(); }
  // "dc", "dcterms", "media", "rdf", "atom", "content", "itunes", "xhtml"
  // (compared lower-cased).
  static const QStringList& knownPrefixes();

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override;
  void xmlEndElement(const QString& localName, const QString& prefix, const QString& uri) override;
  void addNewsItemElement(const QString& localName, const QString& prefix) override;
  void addHeaderItem(const QString& localName, const QString& prefix) override;
  bool parserWantsAttributesForTagWithLocalName(const QString& localName, const QString& prefix) override;
  QString attributeDictionaryKeyForAttributeLocalName(const QString& localName, const QString& prefix) override;

  void xmlCharactersFound(QByteArrayView utf8) override;

  void processGuid();
  void processSource();

private:
  static constexpr qsizetype NotInUnknownNamespace = std::numeric_limits<qsizetype>::max();
  static bool isUnknownPrefix(const QString& prefix);
  // The values that stand in for missing RSS elements, put in at the item's
  // end.
  void completeNewsItem();

  bool m_inImageTree = false;
  qsizetype m_unknownNamespaceDepth = NotInUnknownNamespace;
  // Inside an item's XHTML body, and how deep in it.
  bool m_inXHTMLBody = false;
  int m_xhtmlDepth = 0;
  // The current item's stand-ins.
  QString m_dcTitle;
  QString m_dcDescription;
  QString m_xhtmlBody;
  QDateTime m_dctermsIssued;
  QString m_authorElementName;
  // An item's dc:author.
  QString m_dcAuthor;
  // The feed's title so far is the channel's dc:title, which its own title
  // replaces.
  bool m_feedTitleIsDublinCore = false;
};
