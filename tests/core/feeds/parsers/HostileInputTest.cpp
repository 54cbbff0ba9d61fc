#include "core/feeds/parsers/ParserTestSupport.h"

#include "feeds/parsers/ZPHRSSFeedParser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
QString allText(const ParsedFixture& parsed)
{
  QString text = parsed.proxy->feedTitle();
  for (const auto& item : parsed.proxy->newsItems()) text += item->title() + item->content() + item->guid();
  return text;
}
}  // namespace

TEST(HostileInput, BillionLaughsNeverExpands)
{
  // The document's own entities are never stored: their references stay as
  // written, and nothing ends the parse.
  const ParsedFixture parsed = ParseFeedFixture("billion-laughs.xml");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  ASSERT_EQ(parsed.count(), 3);
  EXPECT_EQ(parsed.item(0)->title(), "Before");
  EXPECT_EQ(parsed.item(1)->title(), "&lol9;");
  EXPECT_EQ(parsed.item(1)->content(), "&lol9;&lol9;&lol9;");
  EXPECT_EQ(parsed.item(2)->title(), "After");
  EXPECT_FALSE(allText(parsed).contains("lollol"));
}

TEST(HostileInput, ExternalEntitiesAreNeverLoaded)
{
  const ParsedFixture parsed = ParseFeedFixture("external-entity.xml");
  ASSERT_TRUE(parsed.isFeed);
  ASSERT_GE(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->title(), "Before");
  EXPECT_EQ(parsed.item(1)->title(), "&secret;");  // never declared for us
  EXPECT_FALSE(allText(parsed).contains("root:"));

  // The same with a file of our own that would show if it were read.
  ZPHTestTempDir dir;
  const QString secret = dir.writeFile("secret.txt", "TOP-SECRET-MARKER");
  const QByteArray xml = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY s SYSTEM \"file://" + secret.toUtf8() +
                         "\">]><rss><channel><item><title>&s;</title></item><item><title>x</title></item>"
                         "</channel></rss>";
  const ParsedFixture own = ParseFeedBytes(xml);
  EXPECT_FALSE(allText(own).contains("TOP-SECRET"));
  // Nor through a parameter entity in the document type.
  const QByteArray viaParameter = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY % p SYSTEM \"file://" +
                                  secret.toUtf8() + "\"> %p;]><rss><channel><title>t</title></channel></rss>";
  const ParsedFixture parameter = ParseFeedBytes(viaParameter);
  EXPECT_FALSE(allText(parameter).contains("TOP-SECRET"));
}

TEST(HostileInput, CutOffMidItemKeepsEarlierItems)
{
  const ParsedFixture parsed = ParseFeedFixture("truncated.xml");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_FALSE(parsed.error.isNull());
  ASSERT_GE(parsed.count(), 2);
  EXPECT_EQ(parsed.item(0)->guid(), "http://cut.example.com/1");
  EXPECT_EQ(parsed.item(1)->title(), "Complete two");
  EXPECT_EQ(parsed.proxy->feedTitle(), "Cut off");
}

TEST(HostileInput, EncodingsByteOrderMarkAndBlankLines)
{
  struct Case {
    const char* fixture;
    const char* feedTitle;
    const char* itemTitle;
  } cases[] = {
      {"iso-8859-1.xml", "Latin été", "Café crème"},
      {"windows-1252.xml", "Windows", "\xE2\x80\x9CQuoted\xE2\x80\x9D \xE2\x82\xAC 5"},
      {"utf8-bom.xml", "BOM feed", "Café"},
      {"leading-blank-lines.xml", "Blank lines", "Only item"},
  };
  for (const Case& c : cases) {
    const ParsedFixture parsed = ParseFeedFixture(c.fixture);
    ASSERT_TRUE(parsed.isFeed) << c.fixture;
    EXPECT_TRUE(parsed.error.isNull()) << c.fixture << ": " << parsed.error.toString().toStdString();
    EXPECT_EQ(parsed.proxy->feedTitle(), QString::fromUtf8(c.feedTitle)) << c.fixture;
    ASSERT_EQ(parsed.count(), 1) << c.fixture;
    EXPECT_EQ(parsed.item(0)->title(), QString::fromUtf8(c.itemTitle)) << c.fixture;
  }
}

TEST(HostileInput, BadBytesForTheDeclaredEncodingKeepEarlierItemsQuietly)
{
  testing::internal::CaptureStderr();
  const ParsedFixture parsed = ParseFeedBytes(
      "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><rss><channel><item><title>Good</title></item>"
      "<item><title>Bad \xC7\x75\xFF\xFE</title></item></channel></rss>");
  const std::string printed = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_FALSE(parsed.error.isNull());
  ASSERT_GE(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->title(), "Good");
  // libxml2's own encoding messages do not reach the terminal.
  EXPECT_EQ(printed.find("encoding error"), std::string::npos) << printed;
}

TEST(HostileInput, HTMLPageServedAsFeedIsNotAFeed)
{
  const ParsedFixture parsed = ParseFeedFixture("html-page.html");
  EXPECT_FALSE(parsed.isFeed);
  EXPECT_EQ(parsed.count(), 0);
}

TEST(HostileInput, UndeclaredHTMLEntitiesResolveOthersStayAsText)
{
  const ParsedFixture parsed = ParseFeedFixture("undeclared-entity.xml");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  ASSERT_EQ(parsed.count(), 4);
  EXPECT_EQ(parsed.item(0)->title(), QString::fromUtf8("One\u00A0two"));  // "&nbsp;": the no-break space
  EXPECT_EQ(parsed.item(0)->link(), "http://e.example.com/1?a=1&b=2");
  EXPECT_EQ(parsed.item(1)->title(), QString::fromUtf8("Copy© … —"));
  ASSERT_EQ(parsed.item(1)->enclosures().size(), 1);
  EXPECT_EQ(parsed.item(1)->enclosures()[0]->urlString(), QString::fromUtf8("http://e.example.com/xé.mp3"));
  // "&bogus;" is no HTML name: it stays as written, and the feed goes on.
  EXPECT_EQ(parsed.item(2)->title(), "Unknown &bogus; entity");
  EXPECT_EQ(parsed.item(3)->title(), "After the unknown entity");
}

TEST(HostileInput, EveryHTMLNamedReferenceResolvesInTextAndAttributes)
{
  const ParsedFixture rss = ParseFeedBytes(
      "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>A &rarr; B</title>"
      "<item><title>&bull; One &dagger; &alpha;&beta; &ETH;&thorn; &curren;&brvbar;</title>"
      "<description>&lt;p&gt;&hellip;&NotEqualTilde;&lt;/p&gt; &LT;b&GT;</description>"
      "<enclosure url=\"http://e.example.com/&alpha;&amp;&bogus;.mp3\" type=\"audio/mpeg\"/></item>"
      "<item><title>&Bull; &unknown; after</title></item>"
      "<item><title>Last</title></item></channel></rss>");
  ASSERT_TRUE(rss.isFeed);
  EXPECT_TRUE(rss.error.isNull()) << rss.error.toString().toStdString();
  EXPECT_EQ(rss.proxy->feedTitle(), QString::fromUtf8("A → B"));
  ASSERT_EQ(rss.count(), 3);
  EXPECT_EQ(rss.item(0)->title(), QString::fromUtf8("• One † αβ Ðþ ¤¦"));
  // Decoding never makes markup: "&LT;" is text, like "&lt;" in HTML.
  EXPECT_EQ(rss.item(0)->content(), QString::fromUtf8("<p>…\u2242\u0338</p> &lt;b&gt;"));
  ASSERT_EQ(rss.item(0)->enclosures().size(), 1);
  EXPECT_EQ(rss.item(0)->enclosures()[0]->urlString(), QString::fromUtf8("http://e.example.com/α&&bogus;.mp3"));
  EXPECT_EQ(rss.item(1)->title(), "&Bull; &unknown; after");
  EXPECT_EQ(rss.item(2)->title(), "Last");

  const ParsedFixture atom = ParseFeedBytes(
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>&mdash;&rsquo;</title>"
      "<entry><id>1</id><title>&laquo;&nbsp;Quote&nbsp;&raquo; &#8226; &hearts;</title>"
      "<link rel=\"alternate\" href=\"http://e.example.com/&eacute;&rarr;\"/>"
      "<content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">&copy; &bogus; <a "
      "title=\"&bull;\">x</a></div></content></entry></feed>");
  ASSERT_TRUE(atom.isFeed);
  EXPECT_TRUE(atom.error.isNull()) << atom.error.toString().toStdString();
  EXPECT_EQ(atom.proxy->feedTitle(), QString::fromUtf8("—’"));
  ASSERT_EQ(atom.count(), 1);
  EXPECT_EQ(atom.item(0)->title(), QString::fromUtf8("«\u00A0Quote\u00A0» • ♥"));
  EXPECT_EQ(atom.item(0)->permalink(), QString::fromUtf8("http://e.example.com/é→"));
  EXPECT_EQ(atom.item(0)->content(), QString::fromUtf8("<div>© &amp;bogus; <a title=\"•\">x</a></div>"));
}

TEST(HostileInput, OnlyTheAttributesTheDocumentWroteCount)
{
  // Defaults from the document's own DTD never reach the reader: this one
  // would turn every link into an enclosure.
  const ParsedFixture defaulted = ParseFeedBytes(
      "<?xml version=\"1.0\"?><!DOCTYPE feed [<!ATTLIST link rel CDATA \"enclosure\" length CDATA \"9\">]>"
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>T</title><entry><id>1</id><title>One</title>"
      "<link href=\"http://e.example.com/1\"/></entry></feed>");
  ASSERT_TRUE(defaulted.isFeed);
  ASSERT_EQ(defaulted.count(), 1);
  EXPECT_EQ(defaulted.item(0)->permalink(), "http://e.example.com/1");
  EXPECT_TRUE(defaulted.item(0)->enclosures().isEmpty());

  // A large default on every element costs nothing: no attribute byte of
  // it is read, so the document stays far inside its attribute budget.
  const QByteArray large(256 * 1024, 'A');
  QByteArray xml = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ATTLIST enclosure url CDATA \"http://" + large +
                   "\" length CDATA \"" + large + "\">]><rss><channel><title>T</title>";
  for (int i = 0; i < 200; ++i)
    xml += "<item><title>I" + QByteArray::number(i) + "</title><enclosure type=\"audio/mpeg\"/></item>";
  xml += "</channel></rss>";
  ZPHRSSFeedParser parser;
  parser.setMaximumAttributeBytes(1024 * 1024);
  ZPHError error;
  parser.parseData(xml, &error);
  EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
  const auto items = parser.newsItems();
  ASSERT_EQ(items.size(), 200);
  EXPECT_TRUE(items.first()->enclosures().isEmpty());
  EXPECT_TRUE(items.last()->enclosures().isEmpty());
}

TEST(HostileInput, AttributesPastTheBudgetEndTheParse)
{
  QByteArray xml = "<rss><channel><title>T</title>";
  for (int i = 0; i < 100; ++i)
    xml += "<item><title>I" + QByteArray::number(i) + "</title><enclosure url=\"http://e.example.com/" +
           QByteArray(1000, 'x') + QByteArray::number(i) + "\"/></item>";
  xml += "</channel></rss>";
  ZPHRSSFeedParser parser;
  EXPECT_EQ(parser.maximumAttributeBytes(), ZPHStreamingXMLParser::MaximumAttributeBytes);
  parser.setMaximumAttributeBytes(50 * 1000);
  ZPHError error;
  parser.parseData(xml, &error);
  EXPECT_TRUE(error.localizedDescription().contains("Attributes")) << error.toString().toStdString();
  const auto items = parser.newsItems();
  // About fifty enclosures fit; the items before the break are kept.
  ASSERT_GE(items.size(), 45);
  ASSERT_LE(items.size(), 51);
  EXPECT_EQ(items.first()->enclosures().size(), 1);

  // Within the budget the same document reads to its end.
  ZPHRSSFeedParser roomy;
  ZPHError none;
  roomy.parseData(xml, &none);
  EXPECT_TRUE(none.isNull());
  EXPECT_EQ(roomy.newsItems().size(), 100);
}

TEST(HostileInput, FiftyMegabyteFeedIsBounded)
{
  // Built here rather than stored: one item with 12 MB of text, then enough
  // small items to pass the item limit, about 50 MB in all.
  QByteArray xml = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Big</title><item><title>Huge";
  xml += "</title><description>";
  const QByteArray words = "lorem ipsum &amp; dolor ";
  xml.reserve(52 * 1024 * 1024);
  while (xml.size() < 12 * 1024 * 1024) xml += words;
  xml += "</description></item>";
  const QByteArray item = "<item><title>Small</title><description>" + QByteArray(3200, 'z') + "</description></item>";
  while (xml.size() < 50 * 1024 * 1024) xml += item;
  xml += "</channel></rss>";

  const ParsedFixture parsed = ParseFeedBytes(xml);
  ASSERT_TRUE(parsed.isFeed);
  ASSERT_GE(parsed.count(), 1);
  const qsizetype huge = parsed.item(0)->content().toUtf8().size();
  EXPECT_GT(huge, 0);
  EXPECT_LE(huge, ZPHStreamingXMLParser::MaximumBufferedTextBytes);
  EXPECT_EQ(parsed.count(), ZPHAbstractFeedParser::MaximumNewsItems);
}

TEST(HostileInput, OverlongTextIsCutAtACharacterBoundary)
{
  QByteArray text;
  const qsizetype count = (ZPHStreamingXMLParser::MaximumBufferedTextBytes + 4096) / 2;
  text.reserve(count * 2);
  for (qsizetype i = 0; i < count; ++i) text += "\xC3\xA9";  // é
  const ParsedFixture parsed = ParseFeedBytes("<rss><channel><item><description>x" + text +
                                              "</description><title>After</title></item></channel></rss>");
  ASSERT_EQ(parsed.count(), 1);
  const QString content = parsed.item(0)->content();
  EXPECT_LE(content.toUtf8().size(), ZPHStreamingXMLParser::MaximumBufferedTextBytes);
  EXPECT_GT(content.size(), 1000000);
  EXPECT_FALSE(content.contains(QChar::ReplacementCharacter));
  EXPECT_EQ(parsed.item(0)->title(), "After");
}

TEST(HostileInput, DeepNestingEndsWithAnError)
{
  QByteArray xml = "<rss><channel><item><title>Kept</title></item>";
  for (int i = 0; i < 100000; ++i) xml += "<d>";
  const ParsedFixture parsed = ParseFeedBytes(xml);
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.localizedDescription().contains("deep")) << parsed.error.toString().toStdString();
  ASSERT_EQ(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->title(), "Kept");
}

TEST(HostileInput, ParsesOnManyThreadsAtOnce)
{
  const QByteArray xml = ZPHTestFixture("feeds/undeclared-entity.xml");
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 40; ++i) {
        CBFeedParserProxy proxy;
        proxy.parseData(xml);
        const auto items = proxy.newsItems();
        if (items.size() == 4 && items[1]->title() == QString::fromUtf8("Copy© … —") &&
            items[1]->enclosures().size() == 1 &&
            items[1]->enclosures()[0]->urlString() == QString::fromUtf8("http://e.example.com/xé.mp3"))
          ++good;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(good.load(), 6 * 40);
}
