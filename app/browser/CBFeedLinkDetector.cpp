#include "browser/CBFeedLinkDetector.h"

#include "feeds/parsers/RSSDiscovery.h"
#include "foundation/CBString.h"
#include "web/ZPHNavigationPolicy.h"

#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QStringList>

namespace {

// The add-subscription pages of online aggregators: an anchor to one of
// them is an offer to subscribe elsewhere, not a feed.
const char* const kAggregatorAddPages[] = {"add.my.yahoo.com/rss", "fusion.google.com/add"};
// Feed proxies: their addresses are feeds unless they are the proxy's
// redirects to an item ("~r").
const char* const kFeedProxyHosts[] = {"feeds.feedburner.com", "feedproxy.google.com"};
// Addresses of this shape carry the feed's name after the marker.
const QString kNamedFeedMarker = QStringLiteral("/xml/rss/nyt/");
// The most a collection may be before it is not read at all.
constexpr qsizetype kMaxCollectionBytes = 8 * 1024 * 1024;

struct CacheEntry {
  QList<CBFeedLink> links;
  quint64 used = 0;
};

struct Cache {
  QHash<QString, CacheEntry> entries;
  quint64 clock = 0;
};

Cache& cache()
{
  static Cache shared;
  return shared;
}

bool isWebPage(const QUrl& url)
{
  return url.isValid() && ZPHNavigationPolicy::isWebScheme(url.scheme()) && !url.host().isEmpty();
}

void remember(const QString& page, const QList<CBFeedLink>& links)
{
  Cache& c = cache();
  c.entries.insert(page, CacheEntry{links, ++c.clock});
  while (c.entries.size() > CBFeedLinkDetector::CacheCapacity) {
    auto oldest = c.entries.begin();
    for (auto it = c.entries.begin(); it != c.entries.end(); ++it)
      if (it->used < oldest->used)
        oldest = it;
    c.entries.erase(oldest);
  }
}

QString bounded(const QJsonValue& value, int limit)
{
  const QString text = value.toString();
  return text.size() > limit ? text.left(limit) : text;
}

// The title of a feed link: the element's title, else its text, else for a
// named feed address the name after the marker.
QString titleFor(const QString& title, const QString& text, const QString& url)
{
  QString result = title.trimmed();
  if (result.isEmpty())
    result = text.simplified();
  if (result.isEmpty()) {
    const qsizetype marker = url.indexOf(kNamedFeedMarker, 0, Qt::CaseInsensitive);
    if (marker >= 0) {
      const qsizetype start = marker + kNamedFeedMarker.size();
      const qsizetype next = url.indexOf(kNamedFeedMarker, start, Qt::CaseInsensitive);
      result = url.mid(start, next < 0 ? -1 : next - start).trimmed();
    }
  }
  return result.isEmpty() ? QString() : result;
}

// The absolute web address of an href on the page; null when it is none.
QString resolvedWebAddress(const QString& href, const QUrl& pageURL)
{
  if (href.isEmpty())
    return {};
  const QString filtered = CBFeedLinkDetector::filterURL(href);
  if (filtered.isEmpty())
    return {};
  const QUrl relative(filtered);
  if (!relative.isValid())
    return {};
  const QUrl absolute = pageURL.resolved(relative);
  if (!isWebPage(absolute))
    return {};
  return absolute.toString(QUrl::FullyEncoded);
}

}  // namespace

QString CBFeedLinkDetector::collectionScript()
{
  return QStringLiteral(R"JS(
(function () {
  function cut(value, limit) {
    if (value === null || value === undefined)
      return '';
    value = String(value);
    return value.length > limit ? value.substring(0, limit) : value;
  }
  var result = {links: [], anchors: []};
  var links = document.getElementsByTagName('link');
  for (var i = 0; i < links.length && result.links.length < %1; ++i) {
    var href = links[i].getAttribute('href');
    if (!href || href.length > %3)
      continue;
    result.links.push({rel: links[i].hasAttribute('rel') ? cut(links[i].getAttribute('rel'), %4) : null,
                       type: cut(links[i].getAttribute('type'), %4), href: href,
                       title: cut(links[i].getAttribute('title'), %4)});
  }
  var anchors = document.getElementsByTagName('a');
  for (var j = 0; j < anchors.length && result.anchors.length < %2; ++j) {
    var target = anchors[j].getAttribute('href');
    if (!target || target.length > %3)
      continue;
    result.anchors.push({href: target, title: cut(anchors[j].getAttribute('title'), %4),
                         text: cut(anchors[j].textContent, %4)});
  }
  return JSON.stringify(result);
})()
)JS")
      .arg(MaxLinkElements)
      .arg(MaxAnchors)
      .arg(MaxHrefLength)
      .arg(MaxTextLength);
}

QString CBFeedLinkDetector::filterURL(const QString& href)
{
  QString address = href.trimmed();
  const QString wrapped = QStringLiteral("/sub/http");
  const qsizetype sub = address.indexOf(wrapped);
  if (sub >= 0) {
    const qsizetype start = sub + wrapped.size();
    const qsizetype next = address.indexOf(wrapped, start);
    address = QLatin1String("http") + address.mid(start, next < 0 ? -1 : next - start);
  } else if (address.contains(QLatin1Char('?'))) {
    if (const std::optional<QHash<QString, QString>> parameters = CBDictionaryFromURLString(address)) {
      for (const char* key : {"url", "add", ".url", "feedurl", "r"}) {
        const QString value = parameters->value(QString::fromLatin1(key));
        if (!value.isEmpty()) {
          address = value;
          break;
        }
      }
    }
  }
  return CBURLWithFeedURL(address);
}

bool CBFeedLinkDetector::urlIsProbablyFeed(const QString& address)
{
  if (address.endsWith(QLatin1String("foaf.rdf")))
    return false;
  for (const char* page : kAggregatorAddPages)
    if (address.contains(QLatin1String(page)))
      return false;
  for (const char* ending : {".rss", ".xml", ".atom", ".rdf", "/feed/", "/feed"})
    if (address.endsWith(QLatin1String(ending)))
      return true;
  for (const char* host : kFeedProxyHosts)
    if (address.contains(QLatin1String(host)) && !address.contains(QLatin1String("~r")))
      return true;
  return false;
}

void CBFeedLinkDetector::removeDuplicates(QList<CBFeedLink>& links)
{
  for (qsizetype i = links.size() - 1; i >= 0; --i) {
    for (qsizetype j = 0; j < i; ++j) {
      if (links.at(j).url.compare(links.at(i).url, Qt::CaseInsensitive) != 0)
        continue;
      if (links.at(j).title.isEmpty() && !links.at(i).title.isEmpty())
        links[j].title = links.at(i).title;
      links.removeAt(i);
      break;
    }
  }
}

void CBFeedLinkDetector::addURLsToDuplicateTitles(QList<CBFeedLink>& links)
{
  for (qsizetype n = links.size() - 1; n >= 0; --n) {
    const QString title = links.at(n).title;
    if (title.isEmpty())
      continue;
    bool shared = false;
    for (qsizetype m = 0; m < links.size() && !shared; ++m) shared = m != n && links.at(m).title == title;
    if (!shared)
      continue;
    for (CBFeedLink& link : links)
      if (!link.url.isEmpty() && link.title == title)
        link.title = title + QStringLiteral(" <") + link.url + QLatin1Char('>');
  }
}

QList<CBFeedLink> CBFeedLinkDetector::feedLinksInCollection(const QByteArray& json, const QUrl& pageURL)
{
  if (!pageURL.isValid() || pageURL.isEmpty())
    return {};
  QList<CBFeedLink> found;
  const QJsonObject collection =
      json.size() <= kMaxCollectionBytes ? QJsonDocument::fromJson(json).object() : QJsonObject();
  const QStringList feedTypes = RSSDiscovery::feedMIMETypes();

  // Anchors first, then the link elements, each in document order.
  const QJsonArray anchors = collection.value(QStringLiteral("anchors")).toArray();
  for (qsizetype i = 0; i < anchors.size() && i < MaxAnchors; ++i) {
    const QJsonObject anchor = anchors.at(i).toObject();
    const QString url = resolvedWebAddress(bounded(anchor.value(QStringLiteral("href")), MaxHrefLength), pageURL);
    if (url.isEmpty() || !urlIsProbablyFeed(url))
      continue;
    found.append({url, titleFor(bounded(anchor.value(QStringLiteral("title")), MaxTextLength),
                                bounded(anchor.value(QStringLiteral("text")), MaxTextLength), url)});
  }
  const QJsonArray elements = collection.value(QStringLiteral("links")).toArray();
  for (qsizetype i = 0; i < elements.size() && i < MaxLinkElements; ++i) {
    const QJsonObject link = elements.at(i).toObject();
    const QJsonValue rel = link.value(QStringLiteral("rel"));
    if (rel.isString() && !rel.toString().contains(QLatin1String("alternate"), Qt::CaseInsensitive))
      continue;
    const QString type = bounded(link.value(QStringLiteral("type")), MaxTextLength).trimmed().toLower();
    if (type.isEmpty() || !feedTypes.contains(type))
      continue;
    const QString url = resolvedWebAddress(bounded(link.value(QStringLiteral("href")), MaxHrefLength), pageURL);
    if (url.isEmpty())
      continue;
    found.append({url, titleFor(bounded(link.value(QStringLiteral("title")), MaxTextLength), QString(), url)});
  }
  removeDuplicates(found);
  addURLsToDuplicateTitles(found);
  if (isWebPage(pageURL))
    remember(pageURL.toString(QUrl::FullyEncoded), found);
  return found;
}

std::optional<QList<CBFeedLink>> CBFeedLinkDetector::cachedFeedLinksForURLString(const QString& pageURLString)
{
  if (pageURLString.isEmpty())
    return std::nullopt;
  Cache& c = cache();
  auto it = c.entries.find(pageURLString);
  if (it == c.entries.end())
    return std::nullopt;
  it->used = ++c.clock;
  return it->links;
}

int CBFeedLinkDetector::cacheCount() { return int(cache().entries.size()); }

void CBFeedLinkDetector::clearCache() { cache().entries.clear(); }
