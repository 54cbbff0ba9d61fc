#pragma once

// What the RSS and Atom readers share: the parsed items, the feed's header
// values, enclosure and media handling and an optional delegate.
//
// A document yields at most MaximumNewsItems items; the parse stops after
// the item that reaches the limit.

#include "feeds/parsers/CBParsedNewsItem.h"
#include "feeds/parsers/ZPHStreamingXMLParser.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <memory>

extern const QString ZPHAbstractFeedParserAttributeKeyURL;             // "url"
extern const QString ZPHAbstractFeedParserAttributeKeyHref;            // "href"
extern const QString ZPHAbstractFeedParserAttributeKeyRel;             // "rel"
extern const QString ZPHAbstractFeedParserAttributeRelValueAlternate;  // "alternate"
extern const QString ZPHAbstractFeedParserAttributeRelValueRelated;    // "related"
extern const QString ZPHAbstractFeedParserAttributeRelValueEnclosure;  // "enclosure"
extern const QString ZPHAbstractFeedParserAttributeRelValueImage;      // "image"

class ZPHAbstractFeedParser;

// Optional observer of a feed parse.
class ZPHFeedParserDelegate {
public:
  virtual ~ZPHFeedParserDelegate() = default;
  // Answer true to have the item dropped.
  virtual bool feedParserDidParseNewsItem(ZPHAbstractFeedParser* parser, CBParsedNewsItem* item) = 0;
  virtual void feedParserDidComplete(ZPHAbstractFeedParser* /*parser*/) {}
};

class ZPHAbstractFeedParser : public ZPHStreamingXMLParser {
public:
  static constexpr qsizetype MaximumNewsItems = 10000;

  QList<std::shared_ptr<CBParsedNewsItem>> newsItems() const { return m_newsItems; }
  QVariantMap headerItems() const { return m_headerItems; }
  // The stored title, else the header value "title".
  QString feedTitle() const;
  // The stored home page, else the header "feedHomepageURL", else "id".
  QString feedHomePageURL() const;
  bool hasFeedHomePageURL() const { return !m_feedHomePageURL.isEmpty(); }
  void setDelegate(ZPHFeedParserDelegate* delegate);

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override;

  virtual void addNewsItem();
  virtual void addHeaderItem(const QString& localName, const QString& prefix);
  virtual void addNewsItemElement(const QString& /*localName*/, const QString& /*prefix*/) {}
  virtual bool parserWantsAttributesForTagWithLocalName(const QString& /*localName*/, const QString& /*prefix*/)
  {
    return false;
  }
  virtual QString attributeDictionaryKeyForAttributeLocalName(const QString& /*localName*/, const QString& /*prefix*/)
  {
    return {};
  }

  void processEnclosure();
  bool hasEnclosureWithURLString(const QString& urlString) const;
  void processMediaThumbnail();
  void addThumbnailURLIfNoThumbnail(const QString& urlString);
  void processMediaCredit();
  bool callDelegateWithNewsItem();
  // At the end of each item: drops it when the delegate asks, and stops the
  // parse once MaximumNewsItems items were kept.
  void removeNewsItemIfDelegateWishes();
  void notifyDelegateThatFeedParserDidComplete();

  // Markup that arrives as elements (Atom's xhtml content, an RSS item's
  // XHTML body) written back out into the character buffer as markup text:
  // a start tag with its attributes (values quoted, '"', "&" and "<"
  // escaped), an end tag, and text with "&", "<" and ">" escaped again. The
  // prefix is written before the name when one is given.
  void addInlineElement(const QString& localName, const QString& prefix, const ZPHXMLRawAttributes* attributes);
  void addInlineEndElement(const QString& localName, const QString& prefix);
  void addInlineText(QByteArrayView utf8);

  CBParsedNewsItem* newsItem() const { return m_newsItem.get(); }
  bool parsingNewsItem() const { return m_parsingNewsItem; }
  void setParsingNewsItem(bool value) { m_parsingNewsItem = value; }
  void setFeedTitle(const QString& title) { m_feedTitle = title; }
  QString storedFeedTitle() const { return m_feedTitle; }
  void setFeedHomePageURL(const QString& url) { m_feedHomePageURL = url; }
  QVariantMap& mutableHeaderItems() { return m_headerItems; }

private:
  QVariantMap m_headerItems;
  QList<std::shared_ptr<CBParsedNewsItem>> m_newsItems;
  std::shared_ptr<CBParsedNewsItem> m_newsItem;
  bool m_parsingNewsItem = false;
  QString m_feedTitle;
  QString m_feedHomePageURL;
  ZPHFeedParserDelegate* m_delegate = nullptr;
  bool m_delegateRespondsToDidParseNewsItem = false;
};
