#include "feeds/parsers/CBParsedEnclosure.h"
#include "feeds/parsers/CBParsedNewsItem.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/accounts/CBParsedFeedInfo.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

TEST(ParsedNewsItem, PreviewAndThumbnailWithoutText)
{
  CBParsedNewsItem item;
  EXPECT_TRUE(item.preview().isNull());
  EXPECT_TRUE(item.thumbnailURL().isNull());
  item.setMediaThumbnailURL(QStringLiteral("http://e.com/t.jpg"));
  EXPECT_EQ(item.thumbnailURL(), QStringLiteral("http://e.com/t.jpg"));
}

TEST(ParsedNewsItem, PreviewDropsScriptsTagsAndEntities)
{
  CBParsedNewsItem item;
  item.setContent(QStringLiteral("<p>Body</p>"));
  item.setSummary(QStringLiteral("<style>p{}</style><p>Caf&eacute;\n\n <b>bold</b></p><script>alert(1)</script>"));
  EXPECT_EQ(item.preview(), QStringLiteral("Café bold"));
  item.setSummary(QStringLiteral("changed"));
  EXPECT_EQ(item.preview(), QStringLiteral("Café bold"));  // cached
}

TEST(ParsedNewsItem, PreviewsKeepBlocksApartAndReadReferencesOnce)
{
  struct Case {
    const char16_t* html;
    const char16_t* preview;
  };
  const Case cases[] = {
      {u"<p>See the footnote[1].</p><p>RELATIVE-LINK</p>Filler text",
       u"See the footnote[1]. RELATIVE-LINK Filler text"},
      {u"<table><tr><td>simpler.</td><td>Tool</td></tr><tr><td>Lines</td><td>make</td><td>42</td></tr></table>",
       u"simpler. Tool Lines make 42"},
      {u"<ul><li>first</li><li>second</li></ul>third<br>fourth<br/>fifth", u"first second third fourth fifth"},
      {u"<h2>Head</h2><div>Body <b>bold</b>ly</div>", u"Head Body boldly"},
      {u"<p>&lt;b&gt; is text &amp;amp; so is &frac12; &times; &lang;x&rang;</p>",
       u"<b> is text &amp; so is \u00BD \u00D7 \u27E8x\u27E9"},
      {u"<p>5 < 6 and 7 > 3</p>", u"5 < 6 and 7 > 3"},
  };
  for (const Case& c : cases) {
    CBParsedNewsItem item;
    item.setContent(QString::fromUtf16(c.html));
    EXPECT_EQ(item.preview(), QString::fromUtf16(c.preview)) << QString::fromUtf16(c.html).toStdString();
  }
}

TEST(ParsedNewsItem, PlainTitleIsTheMarkupReadOnce)
{
  // RSS titles are markup: their plain text is what every display shows.
  CBParsedNewsItem item;
  item.setTitle(QStringLiteral("Run <script>alert(1)</script><b>this</b> &amp;amp; &lt;that&gt;"));
  EXPECT_EQ(item.plainTextTitle(), QStringLiteral("Run this &amp; <that>"));
  // A reader that knows its title is text says so.
  CBParsedNewsItem text;
  text.setTitle(QStringLiteral("a <b> c"));
  text.setPlainTextTitle(QStringLiteral("a <b> c"));
  EXPECT_EQ(text.plainTextTitle(), QStringLiteral("a <b> c"));
}

TEST(ParsedNewsItem, ThumbnailResolvedAgainstPermalink)
{
  struct Case {
    const char* html;
    const char* permalink;
    const char* link;
    const char* expected;
  } cases[] = {
      {"<p><img src=\"img/a.png\"></p>", "http://e.com/post/1", nullptr, "http://e.com/post/img/a.png"},
      {"<img src=\"img/a.png\">", nullptr, "http://e.com/x/y", "http://e.com/x/img/a.png"},
      {"<img src=\"http://cdn.e.com/a.png\">", "http://e.com/post/1", nullptr, "http://cdn.e.com/a.png"},
      {"<img src=\"img/a.png\">", nullptr, nullptr, "img/a.png"},
  };
  for (const Case& c : cases) {
    CBParsedNewsItem item;
    item.setContent(QString::fromLatin1(c.html));
    item.setPermalink(c.permalink ? QString::fromLatin1(c.permalink) : QString());
    item.setLink(c.link ? QString::fromLatin1(c.link) : QString());
    EXPECT_EQ(item.thumbnailURL(), QString::fromLatin1(c.expected)) << c.html;
  }
}

TEST(ParsedNewsItem, HashIgnoresDatesButNotCategoryOrder)
{
  auto make = [](const QDateTime& date, const QStringList& categories) {
    auto item = std::make_unique<CBParsedNewsItem>();
    item->setGuid(QStringLiteral("g"));
    item->setTitle(QStringLiteral("t"));
    item->setPubDate(date);
    for (const QString& category : categories) item->addCategory(category);
    return item;
  };
  const auto a = make(QDateTime::fromSecsSinceEpoch(1), {QStringLiteral("x"), QStringLiteral("y")});
  const auto b = make(QDateTime::fromSecsSinceEpoch(2), {QStringLiteral("x"), QStringLiteral("y")});
  const auto c = make(QDateTime::fromSecsSinceEpoch(1), {QStringLiteral("y"), QStringLiteral("x")});
  EXPECT_EQ(a->hashOfReadOnlyAttributes().size(), 16);
  EXPECT_EQ(a->hashOfReadOnlyAttributes(), b->hashOfReadOnlyAttributes());
  EXPECT_NE(a->hashOfReadOnlyAttributes(), c->hashOfReadOnlyAttributes());
}

TEST(ParsedNewsItem, DerivedTextFieldsAndSkippedNils)
{
  CBParsedNewsItem item;
  item.setSummary(QStringLiteral("s"));
  item.setXmlBaseURLForSummary(QStringLiteral("http://b/"));
  EXPECT_EQ(item.htmlText(), QStringLiteral("s"));
  EXPECT_EQ(item.xmlBaseURL(), QStringLiteral("http://b/"));
  item.setContent(QStringLiteral("c"));
  EXPECT_EQ(item.htmlText(), QStringLiteral("c"));
  item.addCategory(QString());
  item.addEnclosure(nullptr);
  EXPECT_TRUE(item.categories().isEmpty());
  EXPECT_TRUE(item.enclosures().isEmpty());
  EXPECT_TRUE(item.enclosuresPlist().isEmpty());
  const QVariantMap map = item.dictionaryRepresentation();
  EXPECT_EQ(map.value(QStringLiteral("starred")), QVariant(false));
  EXPECT_FALSE(map.contains(QStringLiteral("guid")));
  EXPECT_EQ(map.value(QStringLiteral("htmlText")).toString(), QStringLiteral("c"));
}

TEST(ParsedEnclosure, DictionaryForms)
{
  EXPECT_EQ(CBParsedEnclosure::enclosureWithFeedEnclosureDictionary({{"type", "audio/mpeg"}}), nullptr);
  EXPECT_EQ(CBParsedEnclosure::enclosureWithFeedEnclosureDictionary({{"url", ""}, {"href", ""}}), nullptr);

  auto href = CBParsedEnclosure::enclosureWithFeedEnclosureDictionary({{"href", "http://e.com/a.mp3"}});
  ASSERT_NE(href, nullptr);
  EXPECT_EQ(href->urlString(), QStringLiteral("http://e.com/a.mp3"));
  EXPECT_EQ(href->mimeType(), QStringLiteral("audio/mp3"));  // guessed from the address
  EXPECT_EQ(href->mediaType(), CBMediaTypeAudio);

  auto sized = CBParsedEnclosure::enclosureWithFeedEnclosureDictionary(
      {{"url", "http://e.com/v"}, {"fileSize", "0"}, {"length", "1234"}, {"type", "video/mp4"}, {"width", "x"}});
  ASSERT_NE(sized, nullptr);
  EXPECT_EQ(sized->fileSize(), 1234);
  EXPECT_EQ(sized->width(), 0);
  const QVariantMap map = sized->dictionaryRepresentation();
  EXPECT_EQ(map.value(QStringLiteral("fileSize")).toLongLong(), 1234);
  EXPECT_EQ(map.value(QStringLiteral("mimeType")).toString(), QStringLiteral("video/mp4"));
  for (const char* key : {"width", "height", "bitrate", "medium"})
    EXPECT_FALSE(map.contains(QString::fromLatin1(key))) << key;

  CBParsedNewsItem item;
  item.addEnclosure(sized);
  ASSERT_EQ(item.enclosuresPlist().size(), 1);
}

TEST(ParsedFeedInfo, PostsOnMainThread)
{
  auto info = std::make_shared<CBParsedFeedInfo>();
  info->setFeedURLString(QStringLiteral("http://e.com/feed"));
  std::shared_ptr<CBParsedFeedInfo> received;
  auto token = ZPHNotificationCenter::defaultCenter().addObserver(
      CBDidParseFeedInfoNotification, QVariant(), [&](const ZPHNotification& notification) {
        received = notification.object.value<std::shared_ptr<CBParsedFeedInfo>>();
      });
  info->sendDidParseFeedInfoNotification();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return received != nullptr; }));
  EXPECT_EQ(received, info);
  ZPHNotificationCenter::defaultCenter().removeObserver(token);
}
