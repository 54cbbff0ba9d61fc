#pragma once

// Qt kind: none (static functions).

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <optional>

// One feed a page offers: its absolute http or https address and the title
// to show (null when the page gave none).
struct CBFeedLink {
  QString url;
  QString title;
  bool operator==(const CBFeedLink& other) const { return url == other.url && title == other.title; }
};

// Finds the feeds a loaded web page offers. A script of ours, run in the
// application's script world of the page (collectionScript()), reads the
// page's `link` and `a` elements and answers them as JSON, a bounded list
// of bounded strings; everything else happens here, on text that is the
// page's and so is not trusted: `link` elements that announce a feed type
// as an alternate, anchors whose address looks like a feed, wrapped and
// redirecting addresses unwrapped ("/sub/http…", "?url=…"), feed: addresses
// made web addresses, relative ones resolved against the page. Only http
// and https addresses with a host are ever offered. Duplicates (ignoring
// case) go, the first keeping a title; equal titles get their addresses.
//
// The results are kept by page address for the 100 pages used last (http
// and https pages only). Main thread.
class CBFeedLinkDetector {
public:
  CBFeedLinkDetector() = delete;

  static constexpr int MaxAnchors = 1000;
  static constexpr int MaxLinkElements = 100;
  static constexpr int MaxHrefLength = 2048;
  static constexpr int MaxTextLength = 256;
  static constexpr int CacheCapacity = 100;

  // The script: its result is a JSON text {"links": [{rel, type, href,
  // title}], "anchors": [{href, title, text}]}, in document order.
  static QString collectionScript();

  // The feeds in a collection the script answered (anything that is not
  // such a JSON text gives none), for the page; the result is cached under
  // the page's address. An empty or invalid page address gives none and
  // leaves the cache alone.
  static QList<CBFeedLink> feedLinksInCollection(const QByteArray& json, const QUrl& pageURL);

  // The cached feeds of a page; nullopt when the page has no entry (an
  // entry may be an empty list).
  static std::optional<QList<CBFeedLink>> cachedFeedLinksForURLString(const QString& pageURLString);
  static int cacheCount();
  static void clearCache();

  // ---- The steps, for the tests.
  // Unwraps and cleans up an href; null for nothing usable.
  static QString filterURL(const QString& href);
  // Whether an anchor's (absolute) address looks like a feed.
  static bool urlIsProbablyFeed(const QString& address);
  static void removeDuplicates(QList<CBFeedLink>& links);
  static void addURLsToDuplicateTitles(QList<CBFeedLink>& links);
};
