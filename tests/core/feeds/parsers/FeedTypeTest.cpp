#include "core/feeds/parsers/ParserTestSupport.h"

#include "feeds/parsers/CBFeedType.h"

#include <QtCore/QStringDecoder>
#include <QtCore/QStringEncoder>

#include <gtest/gtest.h>

TEST(FeedType, MarkersSignaturesAndLimits)
{
  const QByteArray pad1100(1100, ' ');
  const QByteArray comment = "<!--" + QByteArray(1100, '-').replace("--", "- ") + "-->";
  struct Case {
    const char* name;
    QByteArray data;
    CBFeedType expected;
  } cases[] = {
      {"empty", QByteArray(), CBFeedTypeNotAFeed},
      {"png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\0<rss>", 17), CBFeedTypeNotAFeed},
      {"jpeg", QByteArray("\xff\xd8\xff\xe0\0\x10JFIF\0\x01<rss>", 18), CBFeedTypeNotAFeed},
      {"gif", QByteArray("GIF89a......<rss>"), CBFeedTypeNotAFeed},
      {"mp4",
       QByteArray("\0\0\0\x18"
                  "ftypmp42<rss>",
                  17),
       CBFeedTypeNotAFeed},
      {"rss marker", "<rss version=\"2.0\">", CBFeedTypeRSS},
      {"rdf marker", "<rdf:RDF>", CBFeedTypeRSS},
      {"feed marker", "<feed xmlns=\"http://www.w3.org/2005/Atom\">", CBFeedTypeAtom},
      {"html marker", "<html><body><x:feed xmlns:x=\"u\"/></body></html>", CBFeedTypeNotAFeed},
      {"rss marker wins over html", "<html><rss/></html>", CBFeedTypeRSS},
      {"capital RSS", "<RSS><channel/></RSS>", CBFeedTypeNotAFeed},
      {"rss after 1024 bytes", "<?xml version=\"1.0\"?>" + comment + "<rss><channel/></rss>", CBFeedTypeRSS},
      {"atom after 1024 bytes", comment + "<a:feed xmlns:a=\"http://www.w3.org/2005/Atom\"/>", CBFeedTypeAtom},
      {"html after 1024 bytes", comment + "<html><body/></html>", CBFeedTypeNotAFeed},
      {"seven other elements", "<a><b><c><d><e><f><g><x:rss xmlns:x=\"u\"/></g></f></e></d></c></b></a>",
       CBFeedTypeNotAFeed},
      {"six other elements", "<a><b><c><d><e><f><x:rss xmlns:x=\"u\"/></f></e></d></c></b></a>", CBFeedTypeRSS},
      {"prefixed RDF", "<r:RDF xmlns:r=\"u\"/>", CBFeedTypeRSS},
      {"not xml", "just some text", CBFeedTypeNotAFeed},
      // A marker counts only where it begins a tag.
      {"rss inside an attribute of a page",
       "<!DOCTYPE html>\n<html lang=\"en\"><head><meta name=\"description\" content=\"Get our <rss> feed\">"
       "<link rel=\"alternate\" title='<rss version=\"2.0\">' href=\"/feed\"></head><body></body></html>",
       CBFeedTypeNotAFeed},
      {"rss inside an attribute before the html tag",
       "<!DOCTYPE html><meta content=\"<rss> <feed>\"><title>Page</title><body><p>text</p></body>", CBFeedTypeNotAFeed},
      {"rss inside a comment of a page", "<!-- <rss> --><html><body/></html>", CBFeedTypeNotAFeed},
      {"rss after a stylesheet instruction",
       "<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/xsl\" href=\"s.xsl?a=<b>\"?><rss version=\"2.0\"/>",
       CBFeedTypeRSS},
      {"feed with a quoted greater-than",
       "<?xml version=\"1.0\"?><!-- x > y --><feed xmlns=\"http://www.w3.org/2005/Atom\" a=\"<rss>\"/>",
       CBFeedTypeAtom},
  };
  for (const Case& c : cases) EXPECT_EQ(CBFeedTypeForData(c.data), c.expected) << c.name;
  EXPECT_TRUE(CBDataIsFeed("<rss/>"));
  EXPECT_FALSE(CBDataIsFeed("<html/>"));
  EXPECT_FALSE(CBDataIsProbablyMedia("GIF89a"));  // under 12 bytes
}

TEST(FeedType, UTF16FeedIsFoundByTheParser)
{
  const QString text = QStringLiteral(
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss><channel><item>"
      "<title>Wide</title></item></channel></rss>");
  QStringEncoder encoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
  const QByteArray data = encoder(text);
  EXPECT_EQ(CBFeedTypeForData(data), CBFeedTypeRSS);
  const ParsedFixture parsed = ParseFeedBytes(data);
  ASSERT_EQ(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->title(), "Wide");
}

TEST(FeedType, LargeDocuments)
{
  const QByteArray body(6 * 1024 * 1024, 'x');
  EXPECT_EQ(CBFeedTypeForData("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>" + body + "</title></feed>"),
            CBFeedTypeAtom);
  EXPECT_EQ(CBFeedTypeForData("<?xml version=\"1.0\"?>\n<!-- " + body + " --><rss/>"), CBFeedTypeNotAFeed);
  // A 5 MB page without a marker in its head is decided by its first element.
  const QByteArray page = "<!DOCTYPE html>\n<!--" + QByteArray(2000, ' ') + "-->\n<html><body>" +
                          QByteArray(5 * 1000 * 1000, 'y') + "</body></html>";
  EXPECT_EQ(CBFeedTypeForData(page), CBFeedTypeNotAFeed);
}

TEST(FeedParserProxy, NotAFeedLeavesErrorAlone)
{
  CBFeedParserProxy proxy;
  ZPHError error(QStringLiteral("untouched"), 7);
  EXPECT_FALSE(proxy.parseData(ZPHTestFixture("feeds/html-page.html"), &error));
  EXPECT_EQ(error.domain(), "untouched");
  EXPECT_EQ(proxy.actualParser(), nullptr);
  EXPECT_TRUE(proxy.newsItems().isEmpty());
  EXPECT_TRUE(proxy.feedTitle().isNull());
  proxy.stopParsing();
}
