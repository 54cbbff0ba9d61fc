// The browser's rules as tables, without a web engine: typed addresses,
// what a tab loads, the thumbnails' file names, the view state, the tab
// indicator, dropped addresses and the feed link detector's steps and cache.

#include "app/browser/BrowserTestSupport.h"

#include "browser/CBFeedLinkDetector.h"
#include "browser/ZPHFeedPopupButton.h"
#include "browser/ZPHTabIndicatorWindowController.h"
#include "browser/ZPHTabThumbnailCache.h"
#include "browser/ZPHTabsTableViewController.h"
#include "browser/ZPHTypedAddress.h"
#include "foundation/CBPrefs.h"
#include "foundation/CBString.h"
#include "foundation/CBStringExtras.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QMimeData>

namespace {

TEST(TypedAddressTest, ASchemeIsLettersAndAColonAndOnlyOtherBareWordsGetDotCom)
{
  const struct {
    const char* typed;
    const char* expected;
  } cases[] = {
      {"w", "http://w.com"},
      {"  w  ", "http://w.com"},
      {"w.org/x", "http://w.org/x"},
      // A host with a port, and localhost, are hosts.
      {"w:8080", "http://w:8080"},
      {"w:8080/path", "http://w:8080/path"},
      {"localhost", "http://localhost"},
      {"LOCALHOST", "http://LOCALHOST"},
      {"localhost:3000", "http://localhost:3000"},
      {"127.0.0.1:8080", "http://127.0.0.1:8080"},
      // A host that starts with "http" is no scheme.
      {"httpbin.org", "http://httpbin.org"},
      {"https-example.org/a", "http://https-example.org/a"},
      // Schemes, in any case, stay as typed.
      {"http://example.com", "http://example.com"},
      {"HTTPS://Example.com/a", "HTTPS://Example.com/a"},
      {"about:blank", "about:blank"},
      {"file:///tmp/x.html", "file:///tmp/x.html"},
      {"javascript:alert(1)", "javascript:alert(1)"},
      {"mailto:x@example.com", "mailto:x@example.com"},
      {"", ""},
      {"   ", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ZPHTypedAddress::urlStringForTypedString(QString::fromLatin1(c.typed)), QString::fromLatin1(c.expected))
        << c.typed;
}

TEST(TypedAddressTest, ATabLoadsWebFileAndBlankPagesSubscribesToFeedsAndRefusesTheRest)
{
  using Use = ZPHTypedAddress::Use;
  const struct {
    const char* address;
    Use use;
  } cases[] = {
      {"http://example.com/", Use::Load},
      {"HTTPS://example.com/a", Use::Load},
      {"file:///tmp/page.html", Use::Load},
      {"about:blank", Use::Load},
      {"about:config", Use::Refuse},
      {"http:///no-host", Use::Refuse},
      {"feed://example.com/rss", Use::Subscribe},
      {"feed:https://example.com/rss", Use::Subscribe},
      {"javascript:alert(1)", Use::Refuse},
      {"data:text/html,x", Use::Refuse},
      {"smb://server/share", Use::Refuse},
      {"mailto:x@example.com", Use::Refuse},
      {"cbfavicon://x", Use::Refuse},
      {"zph-image-cache://x", Use::Refuse},
      {"zph-article://x/", Use::Refuse},
      {"custom-app://open", Use::Refuse},
      {"", Use::Refuse},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ZPHTypedAddress::useForURL(ZPHTypedAddress::urlForString(QString::fromLatin1(c.address))), c.use)
        << c.address;
  // An address that is no URL as written is tried with "^" and "~" escaped.
  EXPECT_EQ(ZPHTypedAddress::urlForString(QStringLiteral("http://example.com/a^b~c")).toString(QUrl::FullyEncoded),
            QStringLiteral("http://example.com/a%5Eb~c"));
}

TEST(TabThumbnailCacheTest, FileNamesComeFromTheAddressAndStayUnder256Characters)
{
  const struct {
    QString address;
    QString name;
  } cases[] = {
      {QStringLiteral("file:///tmp/a%20b.html"), QStringLiteral("_tmp_a%20b_html.tiff")},
      {QStringLiteral("http://example.com/a/b.html#top"), QStringLiteral("example_com_a_b_html_top.tiff")},
      {QStringLiteral("https://example.com:8443/"), QStringLiteral("example_com_8443_.tiff")},
      {QStringLiteral("about:blank"), QStringLiteral("about_blank.tiff")},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ZPHTabThumbnailCache::filenameForURL(QUrl(c.address)), c.name) << text(c.address);

  const QUrl longAddress(QStringLiteral("http://example.com/") + QString(300 - 19, QLatin1Char('x')));
  ASSERT_EQ(longAddress.toString().size(), 300);
  const QString name = ZPHTabThumbnailCache::filenameForURL(longAddress);
  EXPECT_EQ(name.size(), 255);
  const QString full = QStringLiteral("example_com_") + QString(281, QLatin1Char('x')) + QStringLiteral(".tiff");
  EXPECT_EQ(name, full.left(218) + cb_md5HashString(full) + QStringLiteral(".tiff"));
}

TEST(TabsViewStateTest, OneMeansLabelsAndAnythingElseThumbnails)
{
  ZPHTestTempDir folder;
  ZPHUserDefaults defaults(folder.filePath(QStringLiteral("defaults.conf")));
  EXPECT_EQ(ZPHTabsController::tabsViewState(&defaults), 0);  // unset
  const struct {
    QVariant stored;
    int state;
  } cases[] = {{0, 0}, {1, 1}, {2, 0}, {-1, 0}, {99, 0}, {QStringLiteral("1"), 1}};
  for (const auto& c : cases) {
    defaults.setObject(ZPHBrowserTabsViewState, c.stored);
    EXPECT_EQ(ZPHTabsController::tabsViewState(&defaults), c.state) << text(c.stored.toString());
  }
}

TEST(TabIndicatorTest, ItShowsForHiddenOrHoveredTabsOverTheArticleViewOnly)
{
  const struct {
    qint64 visibility;
    bool moreThanOneTab, alwaysHide, articleView, mouseOver;
    bool shows;
  } cases[] = {
      // Automatic: never, whatever the tabs.
      {0, true, false, true, true, false},
      {0, false, false, true, true, false},
      // Never shown: while tabs are open and the article view is current.
      {2, true, false, true, false, true},
      {2, false, false, true, false, false},
      {2, true, false, false, false, false},
      {2, true, true, true, true, false},
      // Always shown: only with the mouse over the article view.
      {1, true, false, true, false, false},
      {1, true, false, true, true, true},
      {1, true, false, false, true, false},
      {1, true, true, true, true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ZPHTabIndicatorWindowController::shouldShow(c.visibility, c.moreThanOneTab, c.alwaysHide, c.articleView,
                                                          c.mouseOver),
              c.shows)
        << c.visibility << c.moreThanOneTab << c.alwaysHide << c.articleView << c.mouseOver;
}

TEST(TabsListDropTest, OnlyWebAndFileAddressesWithoutBlanksAreTaken)
{
  const auto textDrop = [](const QString& string) {
    auto* data = new QMimeData;
    data->setText(string);
    return std::unique_ptr<QMimeData>(data);
  };
  const struct {
    const char* dropped;
    const char* taken;
  } cases[] = {
      {"http://example.com/a", "http://example.com/a"},
      {"HTTPS://example.com/a", "HTTPS://example.com/a"},
      {"file:///tmp/page.html", "file:///tmp/page.html"},
      {"feed://example.com/rss", "http://example.com/rss"},
      {"  http://example.com/b  ", "http://example.com/b"},
      {"http://example.com/a b", ""},
      {"example.com", ""},
      {"javascript:alert(1)", ""},
      {"ftp://example.com/x", ""},
      {"feed:javascript:alert(1)", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    const auto data = textDrop(QString::fromLatin1(c.dropped));
    EXPECT_EQ(ZPHTabsTableViewController::urlStringFromMimeData(data.get()), QString::fromLatin1(c.taken)) << c.dropped;
  }
  // A link with its title: the title comes along.
  QMimeData withTitle;
  const QJsonArray linksAndTitles{QJsonArray{QStringLiteral("https://example.com/t")},
                                  QJsonArray{QStringLiteral("A & B")}};
  withTitle.setData(WebURLsWithTitlesPboardType, QJsonDocument(linksAndTitles).toJson());
  withTitle.setText(QStringLiteral("ignored"));
  QString title;
  EXPECT_EQ(ZPHTabsTableViewController::urlStringFromMimeData(&withTitle, &title),
            QStringLiteral("https://example.com/t"));
  EXPECT_EQ(title, QStringLiteral("A & B"));
}

// The collection the detector's script answers, built by hand.
QByteArray collection(const QJsonArray& anchors, const QJsonArray& links = {})
{
  return QJsonDocument(QJsonObject{{QStringLiteral("anchors"), anchors}, {QStringLiteral("links"), links}}).toJson();
}

QJsonObject anchor(const QString& href, const QString& textContent = {}, const QString& title = {})
{
  return {{QStringLiteral("href"), href}, {QStringLiteral("text"), textContent}, {QStringLiteral("title"), title}};
}

QJsonObject link(const QString& href, const QString& type, const QString& title = {},
                 const QJsonValue& rel = QStringLiteral("alternate"))
{
  return {{QStringLiteral("href"), href},
          {QStringLiteral("type"), type},
          {QStringLiteral("title"), title},
          {QStringLiteral("rel"), rel}};
}

TEST(FeedLinkDetectorTest, WrappedAndRedirectingAddressesAreUnwrappedAndOnlyWebFeedsOffered)
{
  const struct {
    const char* href;
    const char* feed;  // "" for none
  } cases[] = {
      {"/feed", "http://example.com/feed"},
      {"/feed/", "http://example.com/feed/"},
      {"atom.xml", "http://example.com/news/atom.xml"},
      {"../rss.rdf", "http://example.com/rss.rdf"},
      {"https://other.example/a.rss", "https://other.example/a.rss"},
      {"/foaf.rdf", ""},
      {"/page.html", ""},
      {"feed://example.com/f.xml", "http://example.com/f.xml"},
      {"feed:https://example.com/g.xml", "https://example.com/g.xml"},
      {"/go?url=https%3A%2F%2Fexample.org%2Fencoded.xml", "https://example.org/encoded.xml"},
      {"/go?url=javascript:alert(1)//.xml", ""},
      {"/go?url=file:///etc/passwd.xml", ""},
      {"/go?url=file%3A%2F%2F%2Fetc%2Fpasswd.xml", ""},
      {"http://reader.example/sub/http://example.com/wrapped.xml", "http://example.com/wrapped.xml"},
      {"javascript:void(0)//x.xml", ""},
      {"http://add.my.yahoo.com/rss/content.xml", ""},
      {"http://feeds.feedburner.com/Example", "http://feeds.feedburner.com/Example"},
      {"http://feeds.feedburner.com/~r/Example/~3/1", ""},
  };
  const QUrl page(QStringLiteral("http://example.com/news/index.html"));
  for (const auto& c : cases) {
    const QList<CBFeedLink> found =
        CBFeedLinkDetector::feedLinksInCollection(collection({anchor(QString::fromLatin1(c.href))}), page);
    if (*c.feed == 0) {
      EXPECT_TRUE(found.isEmpty()) << c.href << " gave " << (found.isEmpty() ? "" : text(found.first().url));
    } else {
      ASSERT_EQ(found.size(), 1) << c.href;
      EXPECT_EQ(found.first().url, QString::fromLatin1(c.feed)) << c.href;
    }
  }
}

TEST(FeedLinkDetectorTest, LinkElementsAnnounceFeedsAndDuplicatesAndEqualTitlesAreSortedOut)
{
  const QUrl page(QStringLiteral("https://example.com/"));
  // The link element and an anchor to the same address in other letter case
  // make one entry: the anchor's, with the link's title.
  QList<CBFeedLink> found = CBFeedLinkDetector::feedLinksInCollection(
      collection({anchor(QStringLiteral("/RSS.xml"))},
                 {link(QStringLiteral("/rss.xml"), QStringLiteral("application/rss+xml"), QStringLiteral("News"))}),
      page);
  EXPECT_EQ(found, (QList<CBFeedLink>{{QStringLiteral("https://example.com/RSS.xml"), QStringLiteral("News")}}));

  // Style sheets are no feeds; capitals in rel and type are.
  found = CBFeedLinkDetector::feedLinksInCollection(
      collection(
          {},
          {link(QStringLiteral("/s.css"), QStringLiteral("text/css"), {}, QStringLiteral("stylesheet")),
           link(QStringLiteral("/a.xml"), QStringLiteral("application/rss+xml"), {}, QStringLiteral("stylesheet")),
           link(QStringLiteral("/b.xml"), QStringLiteral("APPLICATION/ATOM+XML"), QStringLiteral("B"),
                QStringLiteral("ALTERNATE")),
           link(QStringLiteral("/c.xml"), QStringLiteral("application/rdf+xml"), QStringLiteral("C"), QJsonValue())}),
      page);
  EXPECT_EQ(found, (QList<CBFeedLink>{{QStringLiteral("https://example.com/b.xml"), QStringLiteral("B")},
                                      {QStringLiteral("https://example.com/c.xml"), QStringLiteral("C")}}));

  // Equal titles get their addresses; another title stays.
  found = CBFeedLinkDetector::feedLinksInCollection(
      collection({anchor(QStringLiteral("/one.xml"), QStringLiteral("T")),
                  anchor(QStringLiteral("/two.xml"), {}, QStringLiteral("T")),
                  anchor(QStringLiteral("/three.xml"), QStringLiteral("  Other  "))}),
      page);
  EXPECT_EQ(found,
            (QList<CBFeedLink>{
                {QStringLiteral("https://example.com/one.xml"), QStringLiteral("T <https://example.com/one.xml>")},
                {QStringLiteral("https://example.com/two.xml"), QStringLiteral("T <https://example.com/two.xml>")},
                {QStringLiteral("https://example.com/three.xml"), QStringLiteral("Other")}}));

  // A feed named after its address.
  found = CBFeedLinkDetector::feedLinksInCollection(
      collection({anchor(QStringLiteral("/services/xml/rss/nyt/World.xml"))}), page);
  ASSERT_EQ(found.size(), 1);
  EXPECT_EQ(found.first().title, QStringLiteral("World.xml"));

  // Anything but the script's JSON gives nothing.
  EXPECT_TRUE(CBFeedLinkDetector::feedLinksInCollection("not json", page).isEmpty());
  EXPECT_TRUE(CBFeedLinkDetector::feedLinksInCollection("[1,2]", page).isEmpty());
}

TEST(FeedLinkDetectorTest, TheCacheKeepsTheHundredPagesUsedLastAndOnlyWebPages)
{
  CBFeedLinkDetector::clearCache();
  const QByteArray feeds = collection({anchor(QStringLiteral("/feed"))});
  for (int n = 0; n < 150; ++n)
    CBFeedLinkDetector::feedLinksInCollection(feeds, QUrl(QStringLiteral("https://example.com/%1").arg(n)));
  EXPECT_EQ(CBFeedLinkDetector::cacheCount(), 100);
  // The first fifty went, the last hundred stayed.
  EXPECT_FALSE(CBFeedLinkDetector::cachedFeedLinksForURLString(QStringLiteral("https://example.com/49")));
  ASSERT_TRUE(CBFeedLinkDetector::cachedFeedLinksForURLString(QStringLiteral("https://example.com/50")));
  // Using a page keeps it: after fifty more, 50 is there and 51 is not.
  for (int n = 150; n < 199; ++n)
    CBFeedLinkDetector::feedLinksInCollection(feeds, QUrl(QStringLiteral("https://example.com/%1").arg(n)));
  EXPECT_TRUE(CBFeedLinkDetector::cachedFeedLinksForURLString(QStringLiteral("https://example.com/50")));
  EXPECT_FALSE(CBFeedLinkDetector::cachedFeedLinksForURLString(QStringLiteral("https://example.com/51")));
  // A page known to have no feeds is an entry too; other schemes are none.
  CBFeedLinkDetector::feedLinksInCollection(collection({}), QUrl(QStringLiteral("https://example.com/none")));
  const auto none = CBFeedLinkDetector::cachedFeedLinksForURLString(QStringLiteral("https://example.com/none"));
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->isEmpty());
  CBFeedLinkDetector::feedLinksInCollection(feeds, QUrl(QStringLiteral("file:///tmp/page.html")));
  EXPECT_FALSE(CBFeedLinkDetector::cachedFeedLinksForURLString(QStringLiteral("file:///tmp/page.html")));
  EXPECT_EQ(CBFeedLinkDetector::cacheCount(), 100);
  CBFeedLinkDetector::clearCache();
}

TEST(FeedButtonTest, TitlesArePlainTextWithoutMnemonicsAndLongOnesAreCut)
{
  const QFontMetrics metrics{QFont()};
  EXPECT_EQ(ZPHFeedPopupButton::menuTitleForFeedTitle(QStringLiteral("News & Views"), metrics),
            QStringLiteral("News && Views"));
  EXPECT_EQ(ZPHFeedPopupButton::menuTitleForFeedTitle(QStringLiteral("A\tB\nC"), metrics), QStringLiteral("A B C"));
  const QString cut = ZPHFeedPopupButton::menuTitleForFeedTitle(QString(2000, QLatin1Char('W')), metrics);
  EXPECT_LE(metrics.horizontalAdvance(cut), ZPHFeedPopupButton::LongestTitleWidth);
  EXPECT_TRUE(cut.contains(QChar(0x2026)));
}

}  // namespace
