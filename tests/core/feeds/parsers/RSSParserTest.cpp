#include "core/feeds/parsers/ParserTestSupport.h"

#include "feeds/parsers/ZPHRSSFeedParser.h"

#include <QtCore/QStringEncoder>

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
  EXPECT_EQ(second->title(), QString::fromUtf8("Café\u00A0time"));  // undeclared HTML entities resolved
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

TEST(RSSParser, DublinCoreStandsInForMissingElements)
{
  const ParsedFixture parsed = ParseFeedFixture("rss-dublin-core.xml");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  EXPECT_EQ(parsed.proxy->feedTitle(), "Dublin Core Channel");
  ASSERT_EQ(parsed.count(), 4);

  const CBParsedNewsItem* only = parsed.item(0);
  EXPECT_EQ(only->title(), "Only Dublin Core");
  EXPECT_EQ(only->author(), "Ada Lovelace");
  EXPECT_EQ(only->content(), "<p>From dc:description</p>");
  EXPECT_EQ(only->pubDate(), utc(2006, 2, 9, 12, 34, 56));
  EXPECT_EQ(only->dateModified(), utc(2006, 2, 10, 8, 0, 0));
  EXPECT_EQ(only->plainTextTitle(), "Only Dublin Core");

  // The RSS elements win wherever they are, before or after.
  const CBParsedNewsItem* rss = parsed.item(1);
  EXPECT_EQ(rss->title(), "The RSS title");
  EXPECT_EQ(rss->content(), "The RSS description");
  EXPECT_EQ(rss->pubDate(), utc(2006, 2, 9, 12, 0, 0));
  EXPECT_FALSE(rss->dateModified().isValid());

  // An XHTML body is the description, written back out as markup.
  EXPECT_EQ(parsed.item(2)->title(), "Body");
  EXPECT_EQ(parsed.item(2)->content(),
            "<p class=\"lead\">One &amp; <a href=\"http://dc.example.com/a?b=1&amp;c=&quot;2&quot;\">two</a></p>"
            "<p>&lt;script&gt;</p>");
  // Its elements are the body's, whatever their names.
  const CBParsedNewsItem* body = parsed.item(3);
  EXPECT_EQ(body->title(), "Default namespace");
  EXPECT_TRUE(body->link().isNull());
  EXPECT_EQ(body->content(), "<h2>Heading</h2><p>Text with a <title>title</title> and a <link>link</link> inside.</p>");
}

TEST(RSSParser, AuthorsSplitIntoNameAndAddress)
{
  struct Case {
    const char* elements;  // inside the item
    const char* name;      // "" for none
    const char* email;
  };
  const Case cases[] = {
      {"<author>x@example.com (J\xC3\xBCrgen M\xC3\xBCller)</author>", "J\xC3\xBCrgen M\xC3\xBCller", "x@example.com"},
      {"<author>J\xC3\xBCrgen M\xC3\xBCller &lt;x@example.com&gt;</author>", "J\xC3\xBCrgen M\xC3\xBCller",
       "x@example.com"},
      {"<author>\"Jane Doe\" &lt;mailto:jane@example.com&gt;</author>", "Jane Doe", "jane@example.com"},
      {"<author>Jane Doe (jane@example.com)</author>", "Jane Doe", "jane@example.com"},
      {"<author>  jane@example.com  </author>", "", "jane@example.com"},
      {"<author>Jane Doe</author>", "Jane Doe", ""},
      {"<author>noreply@example.com (Jane\n  Doe)</author>", "Jane Doe", "noreply@example.com"},
      // dc:creator names the author; the address of the author element stays.
      {"<author>x@example.com (Name In Author)</author><dc:creator>Creator Name</dc:creator>", "Creator Name",
       "x@example.com"},
      {"<dc:creator>Creator Name</dc:creator><author>x@example.com (Name In Author)</author>", "Creator Name",
       "x@example.com"},
      {"<dc:creator>y@example.com (Creator Name)</dc:creator>", "Creator Name", ""},
      // dc:author names the author when nothing else does.
      {"<dc:author>Dc Author</dc:author>", "Dc Author", ""},
      {"<dc:author>Dc Author</dc:author><author>x@example.com (Name In Author)</author>", "Name In Author",
       "x@example.com"},
      {"<dc:author>Dc Author</dc:author><dc:creator>Creator Name</dc:creator>", "Creator Name", ""},
      {"<dc:author>z@example.com (&lt;b&gt;Z&lt;/b&gt;)</dc:author>", "Z", ""},
      // Not an address with a name: kept whole as the address.
      {"<author>write to x@example.com please</author>", "", "write to x@example.com please"},
      {"<author></author>", "", ""},
      // A name is text: escaped markup in it is read once, as in a title.
      {"<dc:creator>&lt;b&gt;Mallory&lt;/b&gt;</dc:creator>", "Mallory", ""},
      {"<author>x@example.com (&lt;i&gt;Eve&lt;/i&gt; &amp;amp; Co)</author>", "Eve & Co", "x@example.com"},
  };
  for (const Case& c : cases) {
    const QByteArray xml = QByteArray(
                               "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                               "<channel><title>T</title><item><title>I</title>") +
                           c.elements + "</item></channel></rss>";
    const ParsedFixture parsed = ParseFeedBytes(xml);
    ASSERT_EQ(parsed.count(), 1) << c.elements;
    EXPECT_EQ(parsed.item(0)->author(), QString::fromUtf8(c.name)) << c.elements;
    EXPECT_EQ(parsed.item(0)->authorEmail(), QString::fromUtf8(c.email)) << c.elements;
  }
}

TEST(RSSParser, TheChannelTitleIsShownAsText)
{
  // Escaped markup in a channel's title is read once, as an item's title is.
  const ParsedFixture parsed = ParseFeedBytes(
      "<rss version=\"2.0\"><channel><title>Hostile Corner &lt;i&gt;it&lt;/i&gt; &amp;amp; more</title>"
      "<item><title>I</title></item></channel></rss>");
  EXPECT_EQ(parsed.proxy->feedTitle(), "Hostile Corner it & more");
}

TEST(RSSParser, AChannelWithoutATitleHasItsDublinCoreTitle)
{
  const struct {
    const char* name;
    const char* channel;
    const char* title;
  } cases[] = {
      {"dc:title alone", "<dc:title>Dublin &lt;b&gt;Core&lt;/b&gt;</dc:title>", "Dublin Core"},
      {"the channel's own title first", "<title>Own</title><dc:title>Dublin Core</dc:title>", "Own"},
      {"the channel's own title after it", "<dc:title>Dublin Core</dc:title><title>Own</title>", "Own"},
      {"an empty own title", "<dc:title>Dublin Core</dc:title><title></title>", "Dublin Core"},
      {"an image's dc:title is not the feed's", "<image><dc:title>Logo</dc:title></image>", ""},
  };
  for (const auto& c : cases) {
    const ParsedFixture parsed =
        ParseFeedBytes(QByteArray("<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel>") +
                       c.channel + "<item><title>I</title><dc:title>Item DC</dc:title></item></channel></rss>");
    ASSERT_EQ(parsed.count(), 1) << c.name;
    EXPECT_EQ(parsed.proxy->feedTitle(), QString::fromUtf8(c.title)) << c.name;
    EXPECT_EQ(parsed.item(0)->title(), "I") << c.name;
  }
  // In RSS 1.0 too, where the items follow the channel.
  const ParsedFixture rdf = ParseFeedBytes(
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel rdf:about=\"http://r.example.com/\">"
      "<dc:title>RDF Channel</dc:title></channel><item rdf:about=\"http://r.example.com/1\"><title>One</title>"
      "</item></rdf:RDF>");
  ASSERT_EQ(rdf.count(), 1);
  EXPECT_EQ(rdf.proxy->feedTitle(), "RDF Channel");
}

TEST(RSSParser, HexadecimalReferencesWithACapitalX)
{
  // XML writes "&#x"; "&#X" is read the same instead of ending the document.
  const ParsedFixture parsed = ParseFeedBytes(
      "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Caps&#X21;</title>"
      "<item><title>A&#X42;C &#Xe9;</title><link>http://e.example.com/?a=&#X31;</link>"
      "<description><![CDATA[<p>&#X44;</p>]]></description></item>"
      "<item><title>After</title></item></channel></rss>");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  EXPECT_EQ(parsed.proxy->feedTitle(), "Caps!");
  ASSERT_EQ(parsed.count(), 2);
  EXPECT_EQ(parsed.item(0)->title(), QString::fromUtf8("ABC \xC3\xA9"));
  EXPECT_EQ(parsed.item(0)->link(), "http://e.example.com/?a=1");
  EXPECT_EQ(parsed.item(0)->preview(), "D");
  EXPECT_EQ(parsed.item(1)->title(), "After");

  // The same in UTF-16 of either byte order.
  const QString document = QStringLiteral(
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss version=\"2.0\"><channel>"
      "<item><title>A&#X42;C</title></item><item><title>Z</title></item>"
      "</channel></rss>");
  for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    const ParsedFixture utf16 = ParseFeedBytes(encoder.encode(document));
    EXPECT_TRUE(utf16.error.isNull()) << utf16.error.toString().toStdString();
    ASSERT_EQ(utf16.count(), 2);
    EXPECT_EQ(utf16.item(0)->title(), "ABC");
  }
}
