#pragma once

// Reads Atom 1.0 and 0.3 documents into parsed items, the feed's title and
// id as header values and its home page from the feed-level alternate link.
// Atom's elements are recognised by their namespace URI, whatever prefix the
// document gives them (a document without any namespace is read as Atom
// too). Content and summary of type "xhtml" (Atom 0.3: "application/xhtml+xml")
// are written back out as markup text, with text and attribute values escaped
// again; a title or subtitle of such a type gives the text of its markup.
// Either ends only at the end tag of the element that began it. Atom 0.3's
// base64 titles, summaries and contents (mode="base64") are decoded, and its
// "modified" date is the entry's updated date. Atom 1.0 content of a media
// type that is neither text nor XML holds base64 and is decoded too; when
// the bytes are not UTF-8 text the entry has no content.
//
// Titles are text for people wherever they are shown: an entry's title keeps
// what the feed wrote (title()) and its plain text follows the title's type
// (markup of type "html" made plain, the text of the others as it is); the
// feed's title and subtitle (header values "title" and "subtitle") are
// stored as plain text. An entry without an author has the feed's.

#include "feeds/parsers/ZPHAbstractFeedParser.h"

#include <QtCore/QUrl>

#include <memory>

extern const QString ZPHAtomNamespaceURI;      // "http://www.w3.org/2005/Atom"
extern const QString ZPHAtom03NamespaceURI;    // "http://purl.org/atom/ns#"
extern const QString ZPHMediaRSSNamespaceURI;  // "http://search.yahoo.com/mrss/"

class ZPHAtomFeedParser : public ZPHAbstractFeedParser {
public:
  static std::unique_ptr<ZPHAtomFeedParser> xmlParser() { return std::make_unique<ZPHAtomFeedParser>(); }

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override;
  void xmlEndElement(const QString& localName, const QString& prefix, const QString& uri) override;
  void xmlCharactersFound(QByteArrayView utf8) override;
  void addNewsItem() override;
  void addNewsItemElement(const QString& localName, const QString& prefix) override;
  bool parserWantsAttributesForTagWithLocalName(const QString& localName, const QString& prefix) override;
  QString attributeDictionaryKeyForAttributeLocalName(const QString& localName, const QString& prefix) override;

  void processLink();
  void processHeaderLink();
  void processAuthor();
  void processFeedTag();
  QString expandedURLString(const QString& urlString) const;
  // The element's text, decoded when Atom 0.3's mode="base64" encodes it.
  QString decodedCurrentString() const;

private:
  enum class Namespace { Atom, Media, Other };
  static Namespace namespaceOf(const QString& prefix, const QString& uri);

  bool m_inSource = false;
  bool m_inXHTML = false;
  // Inside a title or subtitle of type "xhtml".
  bool m_inXHTMLText = false;
  // Elements open inside the xhtml markup.
  int m_xhtmlDepth = 0;
  bool m_parsingAuthor = false;
  // The first usable name of the feed's own author.
  QString m_feedAuthor;
  QUrl m_xmlBaseURLForFeed;
  QUrl m_xmlBaseURLForEntry;
  Namespace m_elementNamespace = Namespace::Other;
  // The ending element is in Atom 1.0's namespace (not 0.3's, nor none).
  bool m_elementIsAtom10 = false;
};
