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

TEST(AtomParser, Atom03MarkupBase64AndModifiedDates)
{
  const ParsedFixture parsed = ParseFeedBytes(
      "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\">"
      "<title type=\"application/xhtml+xml\" mode=\"xml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
      "Example <b>Atom</b></div></title>"
      "<entry><id>1</id>"
      "<title type=\"application/xhtml+xml\" mode=\"xml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
      "Example <b>Atom</b> entry</div></title>"
      "<issued>2003-12-13T08:29:29-04:00</issued><modified>2003-12-14T18:30:02Z</modified>"
      "<summary type=\"application/xhtml+xml\" mode=\"xml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
      "A <i>short</i> summary</div></summary>"
      // "<p>Hello <b>world</b></p>" in base64, in two lines.
      "<content type=\"text/html\" mode=\"base64\">PHA+SGVsbG8gPGI+d29y\nbGQ8L2I+PC9wPg==</content></entry>"
      // "Base64 title", "A base64 summary" (UTF-8: "caf\xC3\xA9").
      "<entry><id>2</id><title type=\"text/plain\" mode=\"base64\">QmFzZTY0IHRpdGxl</title>"
      "<summary type=\"text/plain\" mode=\"base64\">QSBiYXNlNjQgc3VtbWFyeSwgY2Fmw6k=</summary>"
      "<modified>2003-12-15T18:30:02Z</modified></entry>"
      // Escaped markup stays as the feed wrote it.
      "<entry><id>3</id><title type=\"text/html\" mode=\"escaped\">&lt;b&gt;Bold&lt;/b&gt;</title></entry>"
      "</feed>");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  EXPECT_EQ(parsed.proxy->feedTitle(), "Example Atom");
  ASSERT_EQ(parsed.count(), 3);

  const CBParsedNewsItem* one = parsed.item(0);
  EXPECT_EQ(one->title(), "Example Atom entry");
  EXPECT_EQ(one->plainTextTitle(), "Example Atom entry");
  EXPECT_EQ(one->summary(), "<div>A <i>short</i> summary</div>");
  EXPECT_EQ(one->content(), "<p>Hello <b>world</b></p>");
  EXPECT_EQ(one->pubDate(), QDateTime(QDate(2003, 12, 13), QTime(12, 29, 29), QTimeZone::utc()));
  EXPECT_EQ(one->dateModified(), QDateTime(QDate(2003, 12, 14), QTime(18, 30, 2), QTimeZone::utc()));

  const CBParsedNewsItem* two = parsed.item(1);
  EXPECT_EQ(two->title(), "Base64 title");
  EXPECT_EQ(two->summary(), QString::fromUtf8("A base64 summary, caf\xC3\xA9"));
  EXPECT_EQ(two->dateModified(), QDateTime(QDate(2003, 12, 15), QTime(18, 30, 2), QTimeZone::utc()));

  EXPECT_EQ(parsed.item(2)->title(), "<b>Bold</b>");
  EXPECT_EQ(parsed.item(2)->plainTextTitle(), "Bold");
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

TEST(AtomParser, TitlesOfEveryTypeGiveTheirTextForPeople)
{
  // title(): what the feed wrote; plainTextTitle(): what people are shown.
  struct Case {
    const char* title;  // the element as written
    const char* written;
    const char* plain;
  };
  const Case cases[] = {
      {"<title type=\"html\">Why I switched to &lt;em&gt;plain&lt;/em&gt; Makefiles</title>",
       "Why I switched to <em>plain</em> Makefiles", "Why I switched to plain Makefiles"},
      {"<title type=\"html\">&lt;script&gt;alert(1)&lt;/script&gt;Safe &lt;b&gt;and&lt;/b&gt; sound</title>",
       "<script>alert(1)</script>Safe <b>and</b> sound", "Safe and sound"},
      {"<title type=\"html\">AT&amp;amp;T &amp;lt;3</title>", "AT&amp;T &lt;3", "AT&T <3"},
      {"<title type=\"text/html\">Old &lt;i&gt;Atom&lt;/i&gt;</title>", "Old <i>Atom</i>", "Old Atom"},
      // Text is text: what looks like markup is shown as written.
      {"<title type=\"text\">Using the &lt;em&gt; tag &amp;amp; friends</title>", "Using the <em> tag &amp; friends",
       "Using the <em> tag &amp; friends"},
      {"<title>5 &lt; 6 &amp;&amp; 7 &gt; 3\n   always</title>", "5 < 6 && 7 > 3\n   always", "5 < 6 && 7 > 3 always"},
      {"<title type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">The &lt;em&gt; <em>tag</em></div></title>",
       "The <em> tag", "The <em> tag"},
  };
  for (const Case& c : cases) {
    const QByteArray xml = QByteArray("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>F</title><entry><id>1</id>") +
                           c.title + "</entry></feed>";
    const ParsedFixture parsed = ParseFeedBytes(xml);
    ASSERT_EQ(parsed.count(), 1) << c.title;
    EXPECT_EQ(parsed.item(0)->title(), QString::fromUtf8(c.written)) << c.title;
    EXPECT_EQ(parsed.item(0)->plainTextTitle(), QString::fromUtf8(c.plain)) << c.title;
  }
}

TEST(AtomParser, FeedTitleSubtitleAndAuthor)
{
  const ParsedFixture parsed = ParseFeedBytes(
      "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
      "<title type=\"html\">Joe&amp;#8217;s &lt;b&gt;blog&lt;/b&gt;</title>"
      "<subtitle type=\"html\">Notes &amp;amp; &lt;i&gt;thoughts&lt;/i&gt;</subtitle>"
      "<author><name>Unknown</name></author>"
      "<entry><id>1</id><title>Own author</title><author><name>Entry Writer</name></author></entry>"
      "<entry><id>2</id><title>No author</title></entry>"
      "<entry><id>3</id><title>Source author only</title>"
      "<source><author><name>Source Writer</name></author></source></entry>"
      "<author><name>Feed Writer</name><email>feed@example.com</email></author>"
      "<entry><id>4</id><title>After the feed's author</title><author><name>Unknown Author</name></author></entry>"
      "</feed>");
  ASSERT_TRUE(parsed.isFeed);
  EXPECT_TRUE(parsed.error.isNull()) << parsed.error.toString().toStdString();
  EXPECT_EQ(parsed.proxy->feedTitle(), QString::fromUtf8("Joe\u2019s blog"));
  EXPECT_EQ(parsed.proxy->headerItems().value("subtitle").toString(), "Notes & thoughts");
  EXPECT_FALSE(parsed.proxy->headerItems().contains("name"));
  ASSERT_EQ(parsed.count(), 4);
  EXPECT_EQ(parsed.item(0)->author(), "Entry Writer");
  // The feed's author, even when it comes after the entry; "Unknown" is no
  // one's name.
  EXPECT_EQ(parsed.item(1)->author(), "Feed Writer");
  EXPECT_EQ(parsed.item(2)->author(), "Feed Writer");
  EXPECT_EQ(parsed.item(3)->author(), "Feed Writer");

  const ParsedFixture plain = ParseFeedBytes(
      "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>T</title>"
      "<subtitle>Text &amp;amp; more</subtitle><entry><id>1</id></entry></feed>");
  EXPECT_EQ(plain.proxy->headerItems().value("subtitle").toString(), "Text &amp; more");
  ASSERT_EQ(plain.count(), 1);
  EXPECT_TRUE(plain.item(0)->author().isNull());
}

TEST(AtomParser, ContentOfABinaryMediaTypeIsDecodedFromBase64)
{
  // "Example <b>Atom</b>" in base64, in two lines.
  const char* encoded = "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg==";
  struct Case {
    const char* type;
    const char* content;  // what the entry's content is
  };
  const Case cases[] = {
      {"application/octet-stream", "Example <b>Atom</b>"},
      {"Application/Octet-Stream; name=x", "Example <b>Atom</b>"},
      // Text and XML hold their content as written.
      {nullptr, "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg=="},
      {"text", "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg=="},
      {"html", "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg=="},
      {"text/plain", "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg=="},
      {"application/xhtml+xml", "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg=="},
      {"image/svg+xml", "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg=="},
      {"application/xml", "RXhhbXBsZSA8Yj5B\ndG9tPC9iPg=="},
  };
  for (const Case& c : cases) {
    const QByteArray type = c.type != nullptr ? QByteArray(" type=\"") + c.type + "\"" : QByteArray();
    const ParsedFixture parsed =
        ParseFeedBytes(QByteArray("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>F</title><entry><id>1</id>"
                                  "<content") +
                       type + ">" + encoded + "</content></entry></feed>");
    ASSERT_EQ(parsed.count(), 1) << c.type;
    EXPECT_EQ(parsed.item(0)->content(), QString::fromUtf8(c.content)) << (c.type != nullptr ? c.type : "(none)");
  }

  // Bytes that are not text (a PNG's signature, invalid UTF-8, a NUL) are
  // not shown as text: the entry has no content, its summary stays.
  for (const char* binary : {"iVBORw0KGgoAAAANSUhEUg==", "/w==", "QQBC"}) {
    const ParsedFixture parsed =
        ParseFeedBytes(QByteArray("<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>F</title><entry><id>1</id>"
                                  "<summary>S</summary><content type=\"image/png\">") +
                       binary + "</content></entry></feed>");
    ASSERT_EQ(parsed.count(), 1) << binary;
    EXPECT_TRUE(parsed.item(0)->content().isEmpty()) << binary;
    EXPECT_EQ(parsed.item(0)->summary(), "S") << binary;
  }

  // Atom 0.3 content of that type is base64 only with mode="base64".
  const ParsedFixture atom03 = ParseFeedBytes(
      QByteArray("<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><title>F</title><entry><id>1</id>"
                 "<content type=\"application/octet-stream\" mode=\"escaped\">") +
      encoded + "</content></entry></feed>");
  ASSERT_EQ(atom03.count(), 1);
  EXPECT_EQ(atom03.item(0)->content(), QString::fromUtf8(encoded));
}
