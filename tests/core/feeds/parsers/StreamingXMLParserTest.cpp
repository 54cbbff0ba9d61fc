#include "feeds/parsers/ZPHOPMLParser.h"
#include "feeds/parsers/ZPHRSSFeedParser.h"
#include "feeds/parsers/ZPHStreamingXMLParser.h"

#include <gtest/gtest.h>

namespace {

// Records what the base hands to its hooks.
class RecordingParser : public ZPHStreamingXMLParser {
public:
  QStringList events;
  QVariantMap dictionary;
  QList<QVariantMap> rawAttributes;
  QList<ZPHXMLAttributes> endAttributes;

protected:
  void xmlStartElement(const QString& localName, const QString& prefix, const QString& uri,
                       const QVariantMap* namespaces, const ZPHXMLRawAttributes* attributes) override
  {
    ZPHStreamingXMLParser::xmlStartElement(localName, prefix, uri, namespaces, attributes);
    events << QStringLiteral("start %1|%2|%3").arg(localName, prefix.isNull() ? QStringLiteral("nil") : prefix, uri);
    if (attributes) {
      for (const ZPHXMLRawAttribute& attribute : *attributes) rawAttributes << attribute.dictionary();
    }
    startStoringCharacters();
  }
  void xmlEndElement(const QString& localName, const QString& prefix, const QString& uri) override
  {
    ZPHStreamingXMLParser::xmlEndElement(localName, prefix, uri);
    endAttributes << (currentXMLAttributes() ? *currentXMLAttributes() : ZPHXMLAttributes());
    addItemToDictionary(localName, prefix, dictionary);
  }
};

}  // namespace

TEST(StreamingXMLParser, HooksNamesAttributesAndText)
{
  RecordingParser parser;
  ZPHError error;
  const QByteArray xml =
      "<r xmlns:p=\"urn:p\"><p:a p:k=\"v\" plain=\"x&amp;#38;y\">text <![CDATA[<raw>]]></p:a><b/><c>x</c></r>";
  EXPECT_TRUE(parser.parseData(xml, &error));
  EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
  EXPECT_EQ(parser.events, QStringList({"start r|nil|", "start a|p|urn:p", "start b|nil|", "start c|nil|"}));
  ASSERT_EQ(parser.rawAttributes.size(), 2);
  EXPECT_EQ(parser.rawAttributes[0].value("localName"), "k");
  EXPECT_EQ(parser.rawAttributes[0].value("prefix"), "p");
  EXPECT_EQ(parser.rawAttributes[0].value("value"), "v");
  EXPECT_EQ(parser.rawAttributes[0].value("uri"), "urn:p");
  EXPECT_FALSE(parser.rawAttributes[1].contains("prefix"));
  // The base's simple form holds the values decoded once: "&amp;#38;" is
  // the text "&#38;".
  EXPECT_EQ(parser.endAttributes[0].value("p:k"), "v");
  EXPECT_EQ(parser.endAttributes[0].value("plain"), "x&#38;y");
  EXPECT_TRUE(parser.endAttributes[1].isEmpty());
  EXPECT_EQ(parser.dictionary.value("p:a"), "text <raw>");
  EXPECT_FALSE(parser.dictionary.contains("b"));  // no text: dictionary unchanged
  EXPECT_EQ(parser.dictionary.value("c"), "x");
}

TEST(StreamingXMLParser, BrokenDocumentKeepsWhatCameBeforeAndReportsError)
{
  RecordingParser parser;
  ZPHError error;
  EXPECT_TRUE(parser.parseData("<r><a>1</a><b>2</c></r>", &error));
  EXPECT_FALSE(error.isNull());
  EXPECT_EQ(error.domain(), ZPHXMLParserErrorDomain);
  EXPECT_EQ(parser.dictionary.value("a"), "1");

  RecordingParser empty;
  ZPHError untouched;
  EXPECT_TRUE(empty.parseData(QByteArray(), &untouched));
  EXPECT_TRUE(untouched.isNull());
  EXPECT_TRUE(empty.events.isEmpty());
}

TEST(StreamingXMLParser, LeadingBlankLinesAndByteOrderMark)
{
  for (const QByteArray& prefix : {QByteArray("\n\n"), QByteArray("\xEF\xBB\xBF"), QByteArray("\xEF\xBB\xBF \r\n")}) {
    RecordingParser parser;
    ZPHError error;
    parser.parseData(prefix + "<?xml version=\"1.0\"?><r><a>1</a></r>", &error);
    EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
    EXPECT_EQ(parser.dictionary.value("a"), "1");
  }
}

TEST(StreamingXMLParser, QualifiedNameSplitting)
{
  struct Case {
    const char* name;
    const char* prefix;
    const char* local;
  } cases[] = {{"dc:date", "dc", "date"}, {"date", nullptr, "date"}, {":x", "", "x"}, {"a:b:c", "a", "b"}};
  for (const Case& c : cases) {
    QString prefix, local;
    ZPHStreamingXMLParser::prefixFromQualifiedName(QString::fromLatin1(c.name), &prefix, &local);
    EXPECT_EQ(prefix.isNull(), c.prefix == nullptr) << c.name;
    if (c.prefix) {
      EXPECT_EQ(prefix, QString::fromLatin1(c.prefix)) << c.name;
    }
    EXPECT_EQ(local, QString::fromLatin1(c.local)) << c.name;
  }
  EXPECT_EQ(ZPHStreamingXMLParser::keyWithLocalName("date", QString()), "date");
  EXPECT_EQ(ZPHStreamingXMLParser::keyWithLocalName("date", "dc"), "dc:date");
}

TEST(StreamingXMLParser, EscapedAmpersandReferenceIsDecodedOnceForEveryReader)
{
  // "&amp;#38;" is the text "&#38;" for the OPML reader and a feed reader
  // alike.
  const QByteArray opml = "<opml><body><outline text=\"a&amp;#38;b\" xmlUrl=\"http://x/\"/></body></opml>";
  ZPHOPMLParser opmlParser;
  opmlParser.parseData(opml);
  const auto items = opmlParser.rootFolder()->items();
  ASSERT_EQ(items.size(), 1);
  EXPECT_EQ(std::get<std::shared_ptr<ZPHFeedStub>>(items[0])->userSpecifiedName(), "a&#38;b");

  const QByteArray rss = "<rss><channel><item><enclosure url=\"http://x/a&amp;#38;b.mp3\"/></item></channel></rss>";
  ZPHRSSFeedParser rssParser;
  rssParser.parseData(rss);
  ASSERT_EQ(rssParser.newsItems().size(), 1);
  ASSERT_EQ(rssParser.newsItems()[0]->enclosures().size(), 1);
  EXPECT_EQ(rssParser.newsItems()[0]->enclosures()[0]->urlString(), "http://x/a&#38;b.mp3");
}
