#include "ArticleTestSupport.h"

#include "articleview/CBHTMLDataSourceArticle.h"
#include "articleview/ZPHArticleTheme.h"
#include "articleview/ZPHHTMLBuilderArticle.h"
#include "articleview/ZPHHTMLEscaping.h"
#include "articleview/ZPHStyleSheetController.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "foundation/CBDates.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"
#include "store/entities/ArticleMetadata.h"
#include "themes/ZPHTheme.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class DataSourceArticleTest : public ArticleStoreTest {
protected:
  QString value(const CBDataArticle* article, const char* key)
  {
    return CBHTMLDataSourceArticle(article).valueForPlaceholderKey(QString::fromLatin1(key));
  }
};

TEST_F(DataSourceArticleTest, TheTitleIsEscapedAndLinkedOnlyToWebAndMailAddresses)
{
  struct Case {
    const char* title;
    const char* link;
    const char* linked;
  } cases[] = {
      {"Tom & <b>Jerry</b> \"[[newsitem_title]]\"", "http://example.com/a b?x=1&y=\"2\"",
       "<a href=\"http://example.com/a%20b?x=1&amp;y=%222%22\">Tom &amp; &lt;b&gt;Jerry&lt;/b&gt; "
       "\"[[newsitem_title]]\"</a>"},
      {"Script", "javascript:alert(document.cookie)", "Script"},
      {"Data", " data:text/html,<script>x</script>", "Data"},
      {"Mail", "mailto:ed@example.com", "<a href=\"mailto:ed@example.com\">Mail</a>"},
      {"Relative", "/posts/1", "Relative"},
      {"", "https://example.com/x", "<a href=\"https://example.com/x\">Untitled</a>"},
  };
  for (const Case& c : cases) {
    CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"), QString::fromUtf8(c.link));
    article->setPlainTextTitle(QString::fromUtf8(c.title));
    EXPECT_EQ(text(value(article, "newsitem_title")), c.linked) << c.link;
  }
  // The page shows the title every display shows: the plain one, never the
  // feed's markup.
  CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"));
  article->setTitle(QStringLiteral("<i>Only</i> & stored"));
  EXPECT_EQ(text(value(article, "newsitem_plaintitle")), "Untitled");
  EXPECT_EQ(text(value(article, "newsitem_title")), "<a href=\"http://e.com/\">Untitled</a>");
  article->setPlainTextTitle(QStringLiteral("a <b> c & d"));
  EXPECT_EQ(text(value(article, "newsitem_plaintitle")), "a &lt;b&gt; c &amp; d");
  EXPECT_EQ(value(article, "newsitem_plaintitle"), ZPHHTMLEscaping::escapedText(article->plainTextTitleForDisplay()));
}

TEST_F(DataSourceArticleTest, TheAuthorLineEscapesEveryPart)
{
  struct Case {
    const char* name;
    const char* email;
    const char* url;
    const char* line;
  } cases[] = {
      {"Ann", "ann@example.com", "", "Ann <a href=\"mailto:ann@example.com\">ann@example.com</a>"},
      {"", "ab", "", "ab"},
      {"Ann ", "", "", "Ann"},
      {"<b>Bob</b>", "bob@Example.COM (Bob \"the\" <builder>)", "http://bob.example.com/?a=1&b=2",
       "&lt;b&gt;Bob&lt;/b&gt; <a href=\"mailto:bob@Example.COM\">bob@Example.COM (Bob \"the\" &lt;builder&gt;)</a> "
       "<a href=\"http://bob.example.com/?a=1&amp;b=2\">http://bob.example.com/?a=1&amp;b=2</a>"},
      {"", "no address <here>", "javascript:alert(1)", "no address &lt;here&gt; javascript:alert(1)"},
      {"", "\"><script>x</script>@evil.com", "", "\"&gt;&lt;script&gt;x&lt;/script&gt;@evil.com"},
  };
  for (const Case& c : cases) {
    CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"));
    article->setAuthorName(QString::fromUtf8(c.name));
    article->setAuthorEmail(QString::fromUtf8(c.email));
    article->setAuthorURL(QString::fromUtf8(c.url));
    EXPECT_EQ(text(value(article, "author_link")), c.line) << c.email;
    EXPECT_EQ(text(value(article, "by_if_author_link")), "by");
    EXPECT_EQ(text(value(article, "comma_if_author_link")), ",");
  }
  CBDataArticle* anonymous = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"));
  EXPECT_EQ(text(value(anonymous, "author_link")), "");
  EXPECT_EQ(text(value(anonymous, "by_if_author_link")), "");
  EXPECT_EQ(text(value(anonymous, "comma_if_author_link")), "");
}

TEST_F(DataSourceArticleTest, DatesAndTheDateline)
{
  CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"));
  EXPECT_EQ(text(value(article, "newsitem_dateline")), "");
  EXPECT_EQ(text(value(article, "date_long")), "");
  const QDateTime date(QDate(2025, 6, 10), QTime(9, 41), Qt::UTC);
  article->setDateForDisplay(date);
  article->setAuthorName(QStringLiteral("A & B"));
  EXPECT_EQ(value(article, "newsitem_dateline"),
            QStringLiteral("<span class=\"newsItemDate\" title=\"2025-06-10T09:41:00Z\">%1</span> <span "
                           "class=\"newsItemCreator\">A &amp; B</span> ")
                .arg(cb_shortDateAndTimeString(date)));
  EXPECT_EQ(value(article, "date_long"), cb_monthDayYearHourMinuteString(date));
  EXPECT_FALSE(value(article, "date_long").isEmpty());
}

TEST_F(DataSourceArticleTest, TheContentIsSanitisedAgainstTheArticleAndShowsCachedImages)
{
  const QUrl cached(QStringLiteral("http://example.com/dir/cached.png"));
  CBWebCacheController::sharedController()->storeObject("png bytes", cached);
  CBDataArticle* article =
      addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://example.com/dir/post"),
                 QStringLiteral("<p onclick=\"x()\">See <a href=\"page?id=3\">this</a>.</p><script>alert(1)</script>"
                                "<img src=\"cached.png\"><img src=\"other.png\">"));
  EXPECT_EQ(text(value(article, "newsitem_description")),
            "<p>See <a href=\"http://example.com/dir/page?id=3\">this</a>.</p><img src=\"" +
                ZPHArticleImageCacheController::imageCacheURLForURL(cached).toString().toStdString() +
                "\"><img src=\"http://example.com/dir/other.png\">");
  EXPECT_EQ(text(value(article, "newsitem_extralinks")), "");
  EXPECT_EQ(text(value(addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/")),
                       "newsitem_description")),
            "");

  // Bare short links of short-message posts become links, then pass the
  // sanitiser like the rest.
  CBDataArticle* post = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"),
                                   QStringLiteral("Look: https://t.co/AbC123 <script>x</script>"));
  post->setPermalink(QStringLiteral("https://twitter.com/someone/status/1"));
  EXPECT_EQ(text(value(post, "newsitem_description")),
            "Look: <a href=\"https://t.co/AbC123\">https://t.co/AbC123</a> ");
}

TEST_F(DataSourceArticleTest, FeedLinks)
{
  addFeed(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("Feed & <Co>"),
          QStringLiteral("http://example.com/"));
  CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"));
  EXPECT_EQ(text(value(article, "feedlink_nofavicon")), "<a href=\"http://example.com/\">Feed &amp; &lt;Co&gt;</a>");
  EXPECT_EQ(text(value(article, "comma_if_feedlink_nofavicon")), ",");
  const QString withFavicon = value(article, "feedlink_withfavicon");
  EXPECT_TRUE(
      withFavicon.startsWith(QStringLiteral("<a class=\"favicon\" href=\"http://example.com/\"><img "
                                            "src=\"cbfavicon:")))
      << text(withFavicon);
  EXPECT_TRUE(withFavicon.endsWith(
      QStringLiteral("\" class=\"news-item-favicon\" alt=\"\" title=\"Feed &amp; &lt;Co&gt;\" ></a><a "
                     "href=\"http://example.com/\">Feed &amp; &lt;Co&gt;</a>, ")))
      << text(withFavicon);

  // Without a home page there is no feed link; with one that cannot be a
  // link, the name alone and no favicon.
  addFeed(QStringLiteral("http://example.com/bare.xml"), QStringLiteral("Bare"));
  CBDataArticle* bare = addArticle(QStringLiteral("http://example.com/bare.xml"), QStringLiteral("http://e.com/b"));
  EXPECT_EQ(text(value(bare, "feedlink_nofavicon")), "");
  EXPECT_EQ(text(value(bare, "feedlink_withfavicon")), "");
  EXPECT_EQ(text(value(bare, "comma_if_feedlink_nofavicon")), "");
  addFeed(QStringLiteral("http://example.com/odd.xml"), QStringLiteral("Odd"), QStringLiteral("javascript:alert(1)"));
  CBDataArticle* odd = addArticle(QStringLiteral("http://example.com/odd.xml"), QStringLiteral("http://e.com/o"));
  EXPECT_EQ(text(value(odd, "feedlink_nofavicon")), "Odd");
  EXPECT_EQ(text(value(odd, "feedlink_withfavicon")), "Odd");
  CBDataArticle* orphan = addArticle(QStringLiteral("http://example.com/gone.xml"), QStringLiteral("http://e.com/g"));
  EXPECT_EQ(text(value(orphan, "feedlink_withfavicon")), "");
}

TEST_F(DataSourceArticleTest, WithoutAnArticleEveryKeyIsEmpty)
{
  for (const char* key :
       {"newsitem_title", "newsitem_plaintitle", "newsitem_dateline", "author_link", "newsitem_description",
        "newsitem_extralinks", "feedlink_nofavicon", "feedlink_withfavicon", "date_long", "by_if_author_link",
        "comma_if_author_link", "comma_if_feedlink_nofavicon", "anything_else"}) {
    EXPECT_TRUE(value(nullptr, key).isEmpty()) << key;
    EXPECT_FALSE(value(nullptr, key).isNull()) << key;
  }
  CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"));
  EXPECT_EQ(text(value(article, "anything_else")), "");
}

class ArticlePageTest : public DataSourceArticleTest {
protected:
  void SetUp() override
  {
    DataSourceArticleTest::SetUp();
    controller =
        std::make_unique<ZPHStyleSheetController>(defaults, nullptr, 1.0, temp.filePath(QStringLiteral("StyleSheets")));
    theme = controller->defaultArticleTheme();
  }

  ZPHTestTempDir temp;
  ZPHUserDefaults defaults{temp.filePath(QStringLiteral("defaults.conf"))};
  std::unique_ptr<ZPHStyleSheetController> controller;
  ZPHArticleTheme* theme = nullptr;
};

TEST_F(ArticlePageTest, TheLoadStepFillsThePageValues)
{
  CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://e.com/"));
  QHash<QString, QString> values = ZPHHTMLBuilderArticle::pageValuesForArticle(article, *theme, 37.6, &defaults);
  EXPECT_EQ(text(values.value(QStringLiteral("news_item_flag_state"))), "newsItemFlagInactive");
  EXPECT_EQ(values.value(QStringLiteral("stylesheet_url")),
            ZPHArticleTheme::stylesheetURLStringForPath(theme->cssFilePath()));
  EXPECT_TRUE(values.value(QStringLiteral("stylesheet_url")).startsWith(QStringLiteral("cbstylesheet:///")));
  EXPECT_TRUE(values.value(QStringLiteral("subtheme_stylesheet_url")).endsWith(QStringLiteral("/light.css")));
  EXPECT_EQ(text(values.value(QStringLiteral("article_width"))), "38");
  EXPECT_EQ(text(values.value(QStringLiteral("photo_setting"))), "false");

  ArticleMetadata* metadata = ArticleMetadata::insertArticleMetadataForGUID(article->bestLink(), main);
  metadata->setFlagged(true);
  article->setMetadata(metadata);
  defaults.setInteger(ZPHPictureLayoutKey, 1);
  defaults.setInteger(ZPHSubthemeStyleIndexKey, 1);
  values = ZPHHTMLBuilderArticle::pageValuesForArticle(article, *theme, 94, &defaults);
  EXPECT_EQ(text(values.value(QStringLiteral("news_item_flag_state"))), "newsItemFlagActive");
  EXPECT_TRUE(values.value(QStringLiteral("subtheme_stylesheet_url")).endsWith(QStringLiteral("/dark.css")));
  EXPECT_EQ(text(values.value(QStringLiteral("article_width"))), "94");
  EXPECT_EQ(text(values.value(QStringLiteral("photo_setting"))), "true");
  defaults.setInteger(ZPHSubthemeStyleIndexKey, 5);
  EXPECT_EQ(text(ZPHHTMLBuilderArticle::pageValuesForArticle(article, *theme, 94, &defaults)
                     .value(QStringLiteral("subtheme_stylesheet_url"))),
            "");
}

TEST_F(ArticlePageTest, TheShortMessagePictureFollowsTheRuleOfTheContentsImages)
{
  const QUrl cached(QStringLiteral("https://pbs.example.com/cached.jpg"));
  CBWebCacheController::sharedController()->storeObject("jpeg bytes", cached);
  const QString byline = QStringLiteral("<div id=\"zphByline\">");
  struct Case {
    const char* thumbnail;
    std::string source;  // "" for no picture
  } cases[] = {
      {"https://pbs.example.com/a.jpg", "https://pbs.example.com/a.jpg"},
      {"http://pbs.example.com/b c.jpg", "http://pbs.example.com/b%20c.jpg"},
      {"/media/d.png", "https://twitter.com/media/d.png"},
      {"https://pbs.example.com/cached.jpg",
       ZPHArticleImageCacheController::imageCacheURLForURL(cached).toString().toStdString()},
      {"cbfavicon:0123456789abcdef.png", ""},
      {"zph-image-cache:https://pbs.example.com/a.jpg", ""},
      {"cbstylesheet:///etc/passwd", ""},
      {"file:///etc/passwd", ""},
      {"javascript:alert(1)", ""},
      {"data:image/png;base64,iVBORw0KGgo=", ""},
      {"https:///no-host.png", ""},
  };
  for (const Case& c : cases) {
    CBDataArticle* article =
        addArticle(QStringLiteral("http://example.com/feed.xml"),
                   QStringLiteral("https://twitter.com/someone/status/3"), QStringLiteral("<p>x</p>"));
    article->setPermalink(QStringLiteral("https://twitter.com/someone/status/3"));
    article->setThumbnailURL(QString::fromLatin1(c.thumbnail));
    const QString html = ZPHHTMLBuilderArticle::articlePage(article, *theme, ZPHArticlePageSettings(), &defaults).html;
    const qsizetype at = html.indexOf(byline);
    ASSERT_GE(at, 0) << c.thumbnail;
    const QString after = html.mid(at + byline.size(), 200);
    if (c.source.empty()) {
      EXPECT_FALSE(after.startsWith(QStringLiteral("<img"))) << c.thumbnail << ": " << text(after);
      EXPECT_FALSE(html.contains(QString::fromLatin1(c.thumbnail))) << c.thumbnail;
    } else {
      EXPECT_TRUE(after.startsWith(QStringLiteral("<img src=\"%1\"/>").arg(QString::fromStdString(c.source))))
          << c.thumbnail << ": " << text(after);
    }
  }
}

TEST_F(ArticlePageTest, ThePageHasNoPlaceholderLeftAndFeedTextIsNeverFilledIn)
{
  CBDataArticle* article =
      addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("https://twitter.com/someone/status/2"),
                 QStringLiteral("<p>Body {{article_width}} [[newsitem_title]]</p>"));
  article->setPermalink(QStringLiteral("https://twitter.com/someone/status/2"));
  article->setPlainTextTitle(QStringLiteral("Title {{stylesheet_url}}"));
  article->setAuthorName(QStringLiteral("[[date_long]]"));
  article->setThumbnailURL(QStringLiteral("https://example.com/{{photo_setting}}.png"));
  ZPHArticlePageSettings settings;
  settings.articleWidth = 50;
  const ZPHArticlePage page = ZPHHTMLBuilderArticle::articlePage(article, *theme, settings, &defaults);
  EXPECT_TRUE(page.searchHighlightScript.isEmpty());
  EXPECT_TRUE(
      page.html.startsWith(QStringLiteral("<!DOCTYPE html>\n<html>\n<head><meta "
                                          "http-equiv=\"Content-Security-Policy\"")))
      << text(page.html.left(200));
  EXPECT_TRUE(page.html.contains(QStringLiteral("<style nonce=\"")));
  EXPECT_TRUE(page.html.contains(QStringLiteral("#article { width: 50em; }")));
  EXPECT_TRUE(page.html.contains(QStringLiteral("<p>Body {{article_width}} [[newsitem_title]]</p>")));
  EXPECT_TRUE(page.html.contains(QStringLiteral(">Title {{stylesheet_url}}</a></h1>")));
  EXPECT_TRUE(page.html.contains(QStringLiteral(">[[date_long]]</span>")));
  // The short-message picture goes into the byline, its address as the
  // content's images have theirs: checked and encoded.
  EXPECT_TRUE(page.html.contains(
      QStringLiteral("<div id=\"zphByline\"><img src=\"https://example.com/%7B%7Bphoto_setting%7D%7D.png\"/>&nbsp;")))
      << text(page.html);
  // Only the article's text holds placeholders now.
  QString rest = page.html;
  for (const QString& literal :
       {QStringLiteral("{{article_width}}"), QStringLiteral("[[newsitem_title]]"), QStringLiteral("{{stylesheet_url}}"),
        QStringLiteral("[[date_long]]"), QStringLiteral("{{photo_setting}}")})
    rest.remove(literal);
  EXPECT_FALSE(rest.contains(QStringLiteral("[["))) << text(rest);
  EXPECT_FALSE(rest.contains(QStringLiteral("{{"))) << text(rest);

  settings.searchTerm = QStringLiteral("it's");
  settings.searchScope = 2;
  EXPECT_EQ(text(ZPHHTMLBuilderArticle::articlePage(article, *theme, settings, &defaults).searchHighlightScript),
            "doHighlight(\"title\",\"highlightedtext\",\"it's\");");
}

}  // namespace
