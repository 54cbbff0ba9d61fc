#include "core/feeds/parsers/ParserTestSupport.h"

#include <gtest/gtest.h>

namespace {
QDateTime utc(int y, int mo, int d) { return QDateTime(QDate(y, mo, d), QTime(0, 0), QTimeZone::utc()); }
}  // namespace

TEST(AtomParser, HeaderValues)
{
  const ParsedFixture parsed = ParseFeedFixture("atom.xml");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  EXPECT_EQ(parsed.proxy->feedHomePageURL(), "http://example.com/home");  // first alternate
  EXPECT_EQ(parsed.proxy->headerItems().value("id"), "urn:uuid:feed");
  // A title after the entries is a header value too (the later one is kept).
  EXPECT_EQ(parsed.proxy->feedTitle(), "Second feed title");
  ASSERT_EQ(parsed.count(), 2);

  const ParsedFixture noRel = ParseFeedFixture("atom-no-rel.xml");
  EXPECT_EQ(noRel.proxy->feedHomePageURL(), "tag:norel.example.com,2024:feed");
}

TEST(AtomParser, EntryFields)
{
  const ParsedFixture parsed = ParseFeedFixture("atom.xml");
  ASSERT_EQ(parsed.count(), 2);
  const CBParsedNewsItem* one = parsed.item(0);
  EXPECT_EQ(one->title(), "Entry One");  // the source's title does not replace it
  EXPECT_EQ(one->guid(), "urn:uuid:1");
  EXPECT_EQ(one->permalink(), "http://example.com/blog/a");  // entry base resolved against the feed's
  EXPECT_EQ(one->link(), "http://elsewhere.example.com/r");
  ASSERT_EQ(one->enclosures().size(), 1);
  EXPECT_EQ(one->enclosures()[0]->fileSize(), 42);
  EXPECT_EQ(one->enclosures()[0]->mimeType(), "audio/mpeg");
  EXPECT_EQ(one->mediaThumbnailURL(), "http://example.com/i.png");
  EXPECT_EQ(one->pubDate(), utc(2004, 1, 1));  // issued came after published
  EXPECT_EQ(one->dateModified(), utc(2005, 2, 2));
  EXPECT_TRUE(one->author().isNull());  // "Unknown Author"
  EXPECT_EQ(one->categories(), QStringList({"tech"}));
  EXPECT_EQ(one->summary(), "<p>Summary</p>");
  EXPECT_EQ(one->xmlBaseURLForContent(), "http://example.com/content/");

  const CBParsedNewsItem* two = parsed.item(1);
  EXPECT_EQ(two->author(), "Real Person");
  EXPECT_EQ(two->permalink(), "http://example.com/two");
  EXPECT_EQ(two->mediaThumbnailURL(), "http://example.com/thumb.jpg");
  ASSERT_EQ(two->enclosures().size(), 1);
  EXPECT_EQ(two->enclosures()[0]->urlString(), "http://example.com/m.mp4");
  EXPECT_EQ(two->content(), "<p>Two</p>");
}

TEST(AtomParser, XHTMLContentIsEscapedAgain)
{
  const ParsedFixture parsed = ParseFeedFixture("atom.xml");
  ASSERT_GE(parsed.count(), 1);
  EXPECT_EQ(parsed.item(0)->content(),
            "<div><p class=\"x\">Hi &lt;script&gt;alert(1)&lt;/script&gt; &amp; "
            "<a href=\"/q?a=1&amp;b=&quot;2&quot;&lt;\">l</a></p></div>");
}

TEST(AtomParser, ElementsMatchedByNamespaceNotPrefix)
{
  const ParsedFixture parsed = ParseFeedFixture("atom-prefixed.xml");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_EQ(parsed.proxy->feedTitle(), "Prefixed Atom");
  EXPECT_EQ(parsed.proxy->feedHomePageURL(), "http://prefixed.example.com/");
  ASSERT_EQ(parsed.count(), 1);  // the "entry" of another namespace is not one
  const CBParsedNewsItem* item = parsed.item(0);
  EXPECT_EQ(item->title(), "Prefixed entry");
  EXPECT_EQ(item->guid(), "urn:prefixed:1");
  EXPECT_EQ(item->permalink(), "http://prefixed.example.com/1");
  // An XHTML "summary" inside the content does not end it.
  EXPECT_EQ(item->content(), "<div><summary>inner</summary><p>after</p></div>");
}

TEST(AtomParser, XHTMLTitlesGiveTheTextOfTheirMarkup)
{
  const ParsedFixture parsed = ParseFeedBytes(
      "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
      "<title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">Feed <em>of</em> <b>Atom</b></div></title>"
      "<subtitle type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">Sub <i>title</i></div></subtitle>"
      "<entry><id>1</id><title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">Example "
      "<b>Atom</b> &amp; <span><i>more</i></span></div></title>"
      "<link href=\"http://e.example.com/1\"/><summary>S</summary></entry>"
      // Without the XHTML namespace the markup is Atom's: a title inside still
      // belongs to the outer one.
      "<entry><id>2</id><title type=\"xhtml\"><div>Plain <title>inner</title> end</div></title></entry>"
      "</feed>");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  EXPECT_EQ(parsed.proxy->feedTitle(), "Feed of Atom");
  ASSERT_EQ(parsed.count(), 2);
  EXPECT_EQ(parsed.item(0)->title(), "Example Atom & more");
  EXPECT_EQ(parsed.item(0)->permalink(), "http://e.example.com/1");
  EXPECT_EQ(parsed.item(0)->summary(), "S");
  EXPECT_EQ(parsed.item(1)->title(), "Plain inner end");
}

TEST(AtomParser, XHTMLContentEndsOnlyWithTheElementThatBeganIt)
{
  // The div does not declare the XHTML namespace, so the summary of the
  // details element is Atom's name too.
  const ParsedFixture parsed = ParseFeedBytes(
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>T</title>"
      "<entry><id>1</id><title>One</title><content type=\"xhtml\"><div><p>Before</p>"
      "<details><summary>More</summary><p>Hidden</p></details><content>x</content><p>After</p></div></content>"
      "<summary type=\"xhtml\"><div><summary>s</summary> tail</div></summary></entry>"
      "<entry><id>2</id><title>Two</title></entry></feed>");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  ASSERT_EQ(parsed.count(), 2);
  EXPECT_EQ(parsed.item(0)->content(),
            "<div><p>Before</p><details><summary>More</summary><p>Hidden</p></details><content>x</content>"
            "<p>After</p></div>");
  EXPECT_EQ(parsed.item(0)->summary(), "<div><summary>s</summary> tail</div>");
  EXPECT_EQ(parsed.item(0)->title(), "One");
  EXPECT_EQ(parsed.item(1)->title(), "Two");
}
