#include "feeds/parsers/ZPHOPMLParser.h"
#include "feeds/parsers/ZPHSingleStringParser.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

namespace {
std::shared_ptr<ZPHFeedStub> feedAt(const std::shared_ptr<ZPHFolderStub>& folder, qsizetype index)
{
  const auto items = folder->items();
  if (index >= items.size())
    return nullptr;
  const auto* feed = std::get_if<std::shared_ptr<ZPHFeedStub>>(&items.at(index));
  return feed ? *feed : nullptr;
}
std::shared_ptr<ZPHFolderStub> folderAt(const std::shared_ptr<ZPHFolderStub>& folder, qsizetype index)
{
  const auto items = folder->items();
  if (index >= items.size())
    return nullptr;
  const auto* child = std::get_if<std::shared_ptr<ZPHFolderStub>>(&items.at(index));
  return child ? *child : nullptr;
}
}  // namespace

TEST(OPMLParser, FoldersFeedsNamesAndNesting)
{
  auto parser = ZPHOPMLParser::xmlParser();
  ZPHError error;
  EXPECT_TRUE(parser->parseData(ZPHTestFixture("feeds/nested.opml"), &error));
  EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
  const auto root = parser->rootFolder();
  EXPECT_EQ(root->title(), "OPML Imports");

  // News folder, Tech, Typed only, unnamed folder, Parent feed, Child feed,
  // Child folder, Top after.
  ASSERT_EQ(root->items().size(), 8);
  const auto news = folderAt(root, 0);
  ASSERT_NE(news, nullptr);
  EXPECT_EQ(news->title(), "News");
  ASSERT_EQ(news->items().size(), 2);
  EXPECT_EQ(feedAt(news, 0)->urlString(), "http://one.example.com/feed");
  EXPECT_EQ(feedAt(news, 0)->homePageURLString(), "http://one.example.com/");
  EXPECT_EQ(feedAt(news, 0)->userSpecifiedName(), "One");
  // "&amp;#38;" in the file is the text "&#38;": decoded once.
  EXPECT_EQ(feedAt(news, 1)->urlString(), "http://two.example.com/feed?a=1&#38;b=2");

  const auto tech = feedAt(root, 1);  // XMLURL spelled in capitals, empty title
  ASSERT_NE(tech, nullptr);
  EXPECT_EQ(tech->userSpecifiedName(), "Tech");
  EXPECT_EQ(tech->urlString(), "http://tech.example.com/feed");

  const auto typed = feedAt(root, 2);
  ASSERT_NE(typed, nullptr);
  EXPECT_TRUE(typed->urlString().isNull());

  ASSERT_NE(folderAt(root, 3), nullptr);
  EXPECT_TRUE(folderAt(root, 3)->title().isNull());

  // Outlines nested in a feed outline become its siblings; the import goes on.
  EXPECT_EQ(feedAt(root, 4)->urlString(), "http://parent.example.com/feed");
  EXPECT_EQ(feedAt(root, 5)->urlString(), "http://child.example.com/feed");
  const auto childFolder = folderAt(root, 6);
  ASSERT_NE(childFolder, nullptr);
  EXPECT_EQ(childFolder->title(), "Child folder");
  ASSERT_EQ(childFolder->items().size(), 1);
  EXPECT_EQ(feedAt(childFolder, 0)->urlString(), "http://grand.example.com/feed");
  EXPECT_EQ(feedAt(root, 7)->urlString(), "http://after.example.com/feed");
}

TEST(OPMLParser, AttributesAreDecodedOnce)
{
  // What the file's attributes hold after XML's own decoding, and nothing
  // more: a reference written as text stays text.
  struct Case {
    const char* xmlUrl;   // as written in the file
    const char* address;  // as read
  };
  const Case cases[] = {
      {"http://x.example.com/?q=a&amp;#38;b", "http://x.example.com/?q=a&#38;b"},
      {"http://x.example.com/?a=1&amp;b=2", "http://x.example.com/?a=1&b=2"},
      {"http://x.example.com/?a=1&#38;b=2", "http://x.example.com/?a=1&b=2"},
      {"http://x.example.com/?a=&amp;amp;", "http://x.example.com/?a=&amp;"},
      {"http://x.example.com/?t=&amp;lt;b&amp;gt;", "http://x.example.com/?t=&lt;b&gt;"},
  };
  for (const Case& c : cases) {
    const QByteArray opml = QByteArray(
                                "<?xml version=\"1.0\"?><opml version=\"1.0\"><body><outline text=\"R&amp;D "
                                "&amp;#38; more\" xmlUrl=\"") +
                            c.xmlUrl + "\" htmlUrl=\"" + c.xmlUrl + "\"/></body></opml>";
    auto parser = ZPHOPMLParser::xmlParser();
    ZPHError error;
    EXPECT_TRUE(parser->parseData(opml, &error));
    EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
    const auto feed = feedAt(parser->rootFolder(), 0);
    ASSERT_NE(feed, nullptr) << c.xmlUrl;
    EXPECT_EQ(feed->urlString(), QString::fromLatin1(c.address)) << c.xmlUrl;
    EXPECT_EQ(feed->homePageURLString(), QString::fromLatin1(c.address)) << c.xmlUrl;
    EXPECT_EQ(feed->userSpecifiedName(), "R&D &#38; more");
  }
}

TEST(OPMLParser, BrokenFileKeepsStubsBeforeTheBreak)
{
  auto parser = ZPHOPMLParser::xmlParser();
  ZPHError error;
  EXPECT_TRUE(parser->parseData(ZPHTestFixture("feeds/truncated.opml"), &error));
  EXPECT_FALSE(error.isNull());
  const auto root = parser->rootFolder();
  ASSERT_EQ(root->items().size(), 1);
  const auto folder = folderAt(root, 0);
  ASSERT_NE(folder, nullptr);
  ASSERT_GE(folder->items().size(), 1);
  EXPECT_EQ(feedAt(folder, 0)->urlString(), "http://kept.example.com/feed");
}

TEST(SingleStringParser, FirstElementWithTheName)
{
  struct Case {
    const char* xml;
    const char* tag;
    const char* expected;  // null: none
  } cases[] = {
      {"<r><title>\n  One \n</title><title>Two</title></r>", "title", "One"},
      {"<r><title>One</title></r>", "missing", nullptr},
      {"<r><title>a<b>x</b>after</title></r>", "title", nullptr},
      {"<r><Title>Case</Title></r>", "title", nullptr},
      {"<r xmlns:p=\"urn:p\"><p:name>Local</p:name></r>", "name", "Local"},
  };
  for (const Case& c : cases) {
    const QString result = ZPHParseSingleStringWithTag(c.xml, QString::fromLatin1(c.tag));
    if (c.expected == nullptr)
      EXPECT_TRUE(result.isNull()) << c.xml << " gave " << result.toStdString();
    else
      EXPECT_EQ(result, QString::fromLatin1(c.expected)) << c.xml;
  }
}
