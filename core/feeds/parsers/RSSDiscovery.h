#pragma once

// Finding feeds in fetched web pages: link tags that announce a feed, a meta
// refresh that points elsewhere and the new-location element of an XML
// redirect document. Pages are read with libxml2's forgiving HTML parser,
// which never loads anything (no network, no external entities) and reads
// broken markup as a browser would; attribute values come back with their
// character references decoded. Every function runs on any thread.

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

// Keys of the dictionaries of getLinkTagDictionariesWithOriginalXML().
extern const QString RSSDiscoveryURLStringKey;  // "RSSDiscoveryURLString": the feed URL as written in the page
extern const QString RSSDiscoveryTitleKey;      // "RSSDiscoveryTitle": the link's title, when it has one

// Where in a text something was found; `location` is -1 when nowhere.
struct RSSDiscoveryRange {
  qsizetype location = -1;
  qsizetype length = 0;
};

class RSSDiscovery {
public:
  // "application/rss+xml", "application/atom+xml", "application/rdf+xml".
  static const QStringList& feedMIMETypes();

  // The feed link tags of `xml` in page order, each a QVariantMap with
  // RSSDiscoveryURLStringKey and, when not empty, RSSDiscoveryTitleKey. A URL
  // is listed once, with the title of its first tag. Empty ("null") when the
  // page announces no feed.
  //
  // A link tag announces a feed when the words of its rel include
  // "alternate" or "service.feed", its type holds one of feedMIMETypes() or
  // its title is "rss" or "atom" (ignoring case), and it has a non-blank
  // href. Tags are read as HTML reads them: across lines, with references in
  // values decoded and the values trimmed. A relative href is resolved by the
  // caller against the page's base (getBaseURL()). The title is
  // lower-cased and references left encoded in it (doubly escaped ones) are
  // decoded by CBStringWithDecodedEntities; it is plain text, to be escaped
  // wherever it is put into HTML.
  static QVariantList getLinkTagDictionariesWithOriginalXML(const QString& xml);

  // The URL of the first feed link tag of `xml` (see above), or null. Fills
  // `foundRange` with the range of that URL's first occurrence in `xml`
  // (location -1 when it is not written there as is, e.g. when the href held
  // character references) and `title` with the tag's title when it is not
  // empty. Either out-argument may be null.
  static QString getNextLinkTagURLWithXML(const QString& xml, RSSDiscoveryRange* foundRange = nullptr,
                                          QString* title = nullptr);

  // The URL of the first meta refresh tag (http-equiv "refresh" and a content
  // holding "url") of `xml`: the text after "url" in the content, cleaned of
  // "=" and quotes. Null when there is none; may be empty.
  static QString getMetaRefreshURL(const QString& xml);

  // The cleaned text of the first non-empty newLocation element (any case) of
  // `xml`, or null.
  static QString getXMLRedirectURL(const QString& xml);

  // The href of the page's first base element that has one, trimmed: the
  // address the page's relative links are resolved against (itself resolved
  // against the page's own address). Null when there is none.
  static QString getBaseURL(const QString& xml);

  // The text of the page's first title element, white space collapsed; null
  // when there is none.
  static QString getPageTitle(const QString& xml);

  // A typed or found address made into a web address: trimmed, a feed:
  // address unwrapped, "http://" put in front of an address without a scheme.
  // Only http and https addresses come out; anything else ("file:///...",
  // "javascript:...", a refused feed: address, a blank string) gives null.
  static QString normalizeURL(const QString& string);
};
