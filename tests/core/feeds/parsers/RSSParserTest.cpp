#include "core/feeds/parsers/ParserTestSupport.h"

#include "feeds/parsers/ZPHRSSFeedParser.h"

#include <gtest/gtest.h>

namespace {
QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}
}  // namespace

TEST(RSSParser, ChannelAndFirstItem)
{
  const ParsedFixture parsed = ParseFeedFixture("rss2.xml");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  // The channel image's title and link, and a late title, do not replace the channel's.
  EXPECT_EQ(parsed.proxy->feedTitle(), "Example Channel");
  EXPECT_EQ(parsed.proxy->feedHomePageURL(), "http://example.com/");
  EXPECT_TRUE(parsed.proxy->headerItems().isEmpty());
  // The item inside foo:extra is skipped with everything in it.
  ASSERT_EQ(parsed.count(), 3);

  const CBParsedNewsItem* item = parsed.item(0);
  EXPECT_EQ(item->title(), "First & best");
  EXPECT_EQ(item->link(), "http://example.com/1");
  EXPECT_EQ(item->content(), "<p>Full <b>body</b></p>");
  EXPECT_EQ(item->guid(), "abc");
  EXPECT_FALSE(item->guidIsPermalink());
  EXPECT_TRUE(item->permalink().isNull());
  EXPECT_EQ(item->pubDate(), utc(2003, 6, 10, 4, 0, 0));
  EXPECT_EQ(item->authorEmail(), "writer@example.com");
  EXPECT_EQ(item->author(), "Jane Writer");
  EXPECT_EQ(item->categories(), QStringList({"News", "World"}));
  EXPECT_EQ(item->originalSourceName(), "Source Name");
  EXPECT_EQ(item->originalSourceURL(), "http://source.example.com/feed");
  ASSERT_EQ(item->enclosures().size(), 2);  // the repeated URL is ignored
  EXPECT_EQ(item->enclosures()[0]->urlString(), "http://example.com/a.mp3");
  EXPECT_EQ(item->enclosures()[0]->fileSize(), 1234);
  EXPECT_EQ(item->enclosures()[0]->mimeType(), "audio/mpeg");
  EXPECT_EQ(item->enclosures()[1]->medium(), "video");
  EXPECT_EQ(item->enclosures()[1]->width(), 640);
  EXPECT_EQ(item->mediaThumbnailURL(), "http://example.com/t1.jpg");
  EXPECT_EQ(item->mediaCredit(), "B");
  EXPECT_TRUE(item->mediaCreditRoleIsPhotographer());
}

TEST(RSSParser, PrecedenceAndGuidRules)
{
  const ParsedFixture parsed = ParseFeedFixture("rss2.xml");
  ASSERT_EQ(parsed.count(), 3);
  const CBParsedNewsItem* second = parsed.item(1);
  EXPECT_EQ(second->content(), "Encoded first");  // content:encoded wins in either order
  EXPECT_EQ(second->guid(), "http://example.com/2");
  EXPECT_TRUE(second->guidIsPermalink());
  EXPECT_EQ(second->permalink(), "http://example.com/2");
  EXPECT_EQ(second->title(), QString::fromUtf8("Café time"));  // undeclared HTML entities resolved
  EXPECT_EQ(second->pubDate(), utc(2003, 12, 13, 18, 30, 2));
  EXPECT_EQ(second->mediaCredit(), "B");  // the photographer credit stays
  EXPECT_TRUE(second->mediaCreditRoleIsPhotographer());

  const CBParsedNewsItem* third = parsed.item(2);
  EXPECT_EQ(third->guid(), "http://example.com/3");  // the empty guid leaves it
  EXPECT_TRUE(third->guidIsPermalink());             // "FALSE" is not "false"
}

TEST(RSSParser, RDFAboutIsGuidAndLateChannelTitle)
{
  const ParsedFixture parsed = ParseFeedFixture("rss1.rdf");
  ASSERT_TRUE(parsed.isFeed);
  ASSERT_EQ(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->guid(), "http://example.org/item/1");
  EXPECT_EQ(parsed.item(0)->title(), "RDF item");
  EXPECT_EQ(parsed.proxy->feedTitle(), "RDF channel title after items");
  EXPECT_EQ(parsed.proxy->feedHomePageURL(), "http://example.org/");
}

TEST(RSSParser, UnknownNamespaceSkipsStartsAndEnds)
{
  const QByteArray xml =
      "<rss xmlns:foo=\"urn:foo\"><channel><item><title>Real</title>"
      "<foo:x><foo:y><title>No</title></foo:y><item><title>Nested</title></item><title>No2</title></foo:x>"
      "<link>http://l/</link></item></channel></rss>";
  const ParsedFixture parsed = ParseFeedBytes(xml);
  ASSERT_EQ(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->title(), "Real");
  EXPECT_EQ(parsed.item(0)->link(), "http://l/");
}

TEST(RSSParser, DelegateCanDropItems)
{
  struct DropOdd : ZPHFeedParserDelegate {
    int seen = 0;
    bool feedParserDidParseNewsItem(ZPHAbstractFeedParser*, CBParsedNewsItem*) override { return (seen++ % 2) == 1; }
  } delegate;
  ZPHRSSFeedParser parser;
  parser.setDelegate(&delegate);
  parser.parseData(
      "<rss><channel><item><title>1</title></item><item><title>2</title></item>"
      "<item><title>3</title></item></channel></rss>");
  ASSERT_EQ(parser.newsItems().size(), 2);
  EXPECT_EQ(parser.newsItems()[1]->title(), "3");
}

TEST(RSSParser, UndeclaredKnownPrefixIsStillRead)
{
  // Sloppy feeds use dc: without declaring it: a namespace error, not the end.
  const ParsedFixture parsed =
      ParseFeedBytes("<rss><channel><item><dc:creator>Ann</dc:creator><title>T</title></item></channel></rss>");
  ASSERT_EQ(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->author(), "Ann");
  EXPECT_EQ(parsed.item(0)->title(), "T");
  EXPECT_TRUE(parsed.error.isNull());
}

TEST(RSSParser, IndentedDatesAreRead)
{
  // The blanks around an element's text are no part of its date, however
  // deep the feed is indented.
  const QByteArray indent(60, ' ');
  const ParsedFixture parsed =
      ParseFeedBytes("<rss><channel><item><title>A</title><pubDate>\n" + indent +
                     "Tue, 10 Jun 2003 04:00:00 pDt (Pacific)\n" + indent +
                     "</pubDate></item><item><dc:date xmlns:dc=\"http://purl.org/dc/"
                     "elements/1.1/\">\t" +
                     indent + "2003-12-13T18:30:02Z\r\n" + indent + "</dc:date></item></channel></rss>");
  ASSERT_EQ(parsed.count(), 2);
  EXPECT_EQ(parsed.item(0)->pubDate(), QDateTime(QDate(2003, 6, 10), QTime(11, 0), QTimeZone::utc()));
  EXPECT_EQ(parsed.item(1)->pubDate(), QDateTime(QDate(2003, 12, 13), QTime(18, 30, 2), QTimeZone::utc()));
}
