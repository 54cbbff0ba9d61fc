// Article pages in a real web view (offscreen): the page as the article view
// gets it, served by the article scheme on a profile of its own with page
// scripts off; the checks run in the application's script world.

#include "ArticleTestSupport.h"

#include "articleview/ZPHArticleSchemeHandler.h"
#include "articleview/ZPHArticleTheme.h"
#include "articleview/ZPHHTMLBuilderArticle.h"
#include "articleview/ZPHStyleSheetController.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "fixtures/images/ZPHTestImages.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHUserDefaults.h"
#include "support/ZPHTestHTTPServer.h"
#include "web/ZPHInternalPagesProfile.h"

#include <QtCore/QDir>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWebEngineCore/QWebEngineScriptCollection>
#include <QtWebEngineCore/QWebEngineSettings>
#include <QtWebEngineWidgets/QWebEngineView>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ArticlePageWebTest : public ArticleStoreTest {
protected:
  void SetUp() override
  {
    ArticleStoreTest::SetUp();
    styles = std::make_unique<ZPHStyleSheetController>(defaults, nullptr, 1.0,
                                                       settingsFolder.filePath(QStringLiteral("StyleSheets")));
    theme = styles->defaultArticleTheme();

    // The article profile: the application's internal pages' profile with
    // the article scheme, no page scripts and no hand-over of unknown
    // schemes; the style-sheet scheme serves the theme's folder.
    for (const QString& folder : styles->styleSheetFolders())
      CBLocalStyleSheetProtocol::registerStyleSheetFolder(folder);
    internalPages = std::make_unique<ZPHInternalPagesProfile>();
    profile = internalPages->profile();
    articles = ZPHArticleSchemeHandler::installOnProfile(profile);
    EXPECT_FALSE(profile->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_EQ(profile->settings()->unknownUrlSchemePolicy(), QWebEngineSettings::DisallowUnknownUrlSchemes);
    styles->applyToSettings(profile->settings());

    QWebEngineScript themeScript;
    themeScript.setName(QStringLiteral("theme"));
    themeScript.setSourceCode(theme->themeScript());
    themeScript.setWorldId(QWebEngineScript::ApplicationWorld);
    themeScript.setInjectionPoint(QWebEngineScript::DocumentReady);
    themeScript.setRunsOnSubFrames(false);
    profile->scripts()->insert(themeScript);

    page = std::make_unique<QWebEnginePage>(profile);
    view = std::make_unique<QWebEngineView>();
    view->setPage(page.get());
    view->resize(900, 1100);
    view->show();
  }

  void TearDown() override
  {
    view.reset();
    page.reset();
    internalPages.reset();
    for (const QString& folder : styles->styleSheetFolders())
      CBLocalStyleSheetProtocol::unregisterStyleSheetFolder(folder);
    ArticleStoreTest::TearDown();
  }

  // Serves the page through the article scheme and waits for its load.
  bool show(const QString& html)
  {
    bool finished = false;
    bool ok = false;
    const auto connection = QObject::connect(page.get(), &QWebEnginePage::loadFinished, [&](bool success) {
      finished = true;
      ok = success;
    });
    pageURL = articles->setCurrentPage(html);
    page->load(pageURL);
    const bool done = ZPHTestWaitUntil([&] { return finished; }, 60000);
    QObject::disconnect(connection);
    return done && ok;
  }

  // Runs a script in the application's world and answers its result.
  QVariant run(const QString& script)
  {
    bool done = false;
    QVariant result;
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
      result = value;
      done = true;
    });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return done; }, 30000)) << text(script.left(80));
    return result;
  }

  QJsonObject runForObject(const QString& script)
  {
    return QJsonDocument::fromJson(run(script).toString().toUtf8()).object();
  }

  // With ZPH_ARTICLE_SCREENSHOTS set to a folder, the view is saved there.
  void screenshot(const QString& name)
  {
    const QString folder = qEnvironmentVariable("ZPH_ARTICLE_SCREENSHOTS");
    if (folder.isEmpty())
      return;
    ZPHTestSpinEventLoop(500);
    QDir().mkpath(folder);
    view->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
  }

  ZPHArticlePage pageFor(const CBDataArticle* article, const ZPHArticlePageSettings& settings = {})
  {
    return ZPHHTMLBuilderArticle::articlePage(article, *theme, settings, &defaults);
  }

  ZPHTestTempDir settingsFolder;
  ZPHUserDefaults defaults{settingsFolder.filePath(QStringLiteral("defaults.conf"))};
  std::unique_ptr<ZPHStyleSheetController> styles;
  ZPHArticleTheme* theme = nullptr;
  std::unique_ptr<ZPHInternalPagesProfile> internalPages;
  QWebEngineProfile* profile = nullptr;
  ZPHArticleSchemeHandler* articles = nullptr;
  std::unique_ptr<QWebEnginePage> page;
  std::unique_ptr<QWebEngineView> view;
  QUrl pageURL;
};

// What the page holds, read in the application's world.
const char* const kPageReport = R"JS(
(function () {
  function all(selector) { return Array.prototype.slice.call(document.querySelectorAll(selector)); }
  var root = document.documentElement;
  var report = {};
  report.markers = root.getAttributeNames().filter(function (name) { return name.indexOf('data-pwned') === 0; });
  report.documentTitle = document.title;
  report.banned = ['script', 'iframe', 'frame', 'object', 'embed', 'applet', 'form', 'input', 'button', 'textarea',
                   'select', 'svg', 'math', 'base', 'noscript', 'template'].filter(function (tag) {
    return document.getElementsByTagName(tag).length > 0;
  });
  report.styles = document.getElementsByTagName('style').length;
  report.links = all('link').map(function (link) { return link.getAttribute('href'); });
  report.metas = all('meta').map(function (meta) {
    return meta.getAttribute('http-equiv') || meta.getAttribute('charset') || meta.getAttribute('name');
  });
  report.firstInHead = document.head.firstElementChild.getAttribute('http-equiv');
  report.riskyAttributes = [];
  all('*').forEach(function (element) {
    Array.prototype.forEach.call(element.attributes, function (attribute) {
      var name = attribute.name.toLowerCase();
      if (name.indexOf('on') === 0 || name === 'style' || name === 'srcset' || name === 'target' ||
          name === 'srcdoc' || name === 'formaction' || name === 'http-equiv' && attribute.value !== 'Content-Security-Policy')
        report.riskyAttributes.push(element.tagName + '@' + name);
    });
  });
  report.anchors = all('a[href]').map(function (a) { return a.getAttribute('href'); });
  report.articleElements = all('[id="article"]').map(function (e) { return e.tagName; });
  var title = document.getElementById('title');
  report.titleText = title.textContent;
  report.titleElements = title.querySelectorAll('*').length;
  report.authorText = document.getElementById('author').textContent;
  report.contentText = document.querySelector('.newsItemContent').textContent;
  report.contentHTML = document.querySelector('.newsItemContent').innerHTML;
  var picture = document.getElementById('zph-picture');
  report.picture = picture ? {src: picture.getAttribute('src'), width: picture.naturalWidth} : null;
  report.location = location.href;
  report.background = getComputedStyle(document.body).backgroundColor;
  return JSON.stringify(report);
})()
)JS";

TEST_F(ArticlePageWebTest, AHostileFeedRunsNothingAndShowsItsTextAsText)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  routeHostileFeed(server);
  const QByteArray origin = server.url(QStringLiteral("/")).toString().chopped(1).toUtf8();
  server.route(QStringLiteral("/evil.js"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "text/javascript"}};
    response.body = "document.documentElement.setAttribute('data-pwned-remote', '1');";
    return response;
  });

  // Refreshed into the store like any feed.
  const QUrl feedURL = server.url(QStringLiteral("/hostile.xml"));
  CBFeed* feed = addFeed(feedURL.toString());
  ZPHRefreshController refresh;
  refresh.refreshOneFeed(feed);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return refresh.refreshOperationController()->numberOfOperations() == 0; }, 30000));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
  ZPHTestSpinEventLoop(100);
  const QList<CBDataArticle*> stored = CBDataArticle::articlesForFeedWithURL(feedURL, main);
  ASSERT_EQ(stored.size(), 1);
  const CBDataArticle* article = stored.first();
  // The saver asked for the article's images; the page shows the cached one.
  const QUrl imageURL = server.url(QStringLiteral("/image.png"));
  EXPECT_TRUE(
      ZPHTestWaitUntil([&] { return CBWebCacheController::sharedController()->isObjectAtURLCached(imageURL); }, 20000));

  const ZPHArticlePage articlePage = pageFor(article);
  ASSERT_TRUE(show(articlePage.html));
  // Time for a refresh, a timer or a late script to do something.
  ZPHTestWaitUntil(
      [&] { return run(QStringLiteral("document.getElementById('zph-picture').naturalWidth > 0")).toBool(); }, 10000);
  ZPHTestSpinEventLoop(1500);
  screenshot(QStringLiteral("hostile"));

  const QJsonObject report = runForObject(QString::fromLatin1(kPageReport));
  ASSERT_FALSE(report.isEmpty());
  EXPECT_EQ(report.value("markers").toArray(), QJsonArray()) << text(QJsonDocument(report).toJson());
  EXPECT_NE(report.value("documentTitle").toString(), QStringLiteral("pwned"));
  EXPECT_EQ(report.value("banned").toArray(), QJsonArray());
  EXPECT_EQ(report.value("riskyAttributes").toArray(), QJsonArray()) << text(QJsonDocument(report).toJson());
  EXPECT_EQ(report.value("styles").toInt(), 1) << "the template's own";
  EXPECT_EQ(report.value("links").toArray().size(), 2) << "the template's style sheets";
  for (const QJsonValue& link : report.value("links").toArray())
    EXPECT_TRUE(link.toString().startsWith(QStringLiteral("cbstylesheet:///"))) << text(link.toString());
  EXPECT_EQ(report.value("metas").toArray(), (QJsonArray{"Content-Security-Policy", "utf-8"}));
  EXPECT_EQ(report.value("firstInHead").toString(), QStringLiteral("Content-Security-Policy"));
  EXPECT_EQ(report.value("articleElements").toArray(), QJsonArray{"ARTICLE"});
  EXPECT_EQ(report.value("location").toString(), pageURL.toString()) << "the page never navigated";

  // Links: only web, mail and in-page ones; relative ones resolved against
  // the article (its feed's home page: its own link is a script).
  QStringList anchors;
  for (const QJsonValue& anchor : report.value("anchors").toArray()) anchors.append(anchor.toString());
  for (const QString& anchor : anchors)
    EXPECT_TRUE(anchor.startsWith(QLatin1String("http://")) || anchor.startsWith(QLatin1String("https://")) ||
                anchor.startsWith(QLatin1String("mailto:")) || anchor.startsWith(QLatin1Char('#')))
        << text(anchor);
  EXPECT_TRUE(anchors.contains(QString::fromUtf8(origin + "/site/page?id=3"))) << text(anchors.join(u' '));
  EXPECT_TRUE(anchors.contains(QStringLiteral("https://example.com/story")));
  EXPECT_TRUE(anchors.contains(QStringLiteral("mailto:editor@example.com")));
  EXPECT_TRUE(anchors.contains(QStringLiteral("#zph-footnote")));

  // Title, author and placeholders as literal text.
  QString expectedTitle;
  article->bestSharingTitle(&expectedTitle, nullptr);
  EXPECT_EQ(report.value("titleText").toString(), expectedTitle);
  EXPECT_TRUE(expectedTitle.contains(QStringLiteral("[[newsitem_title]] {{stylesheet_url}}"))) << text(expectedTitle);
  EXPECT_EQ(report.value("titleElements").toInt(), 0) << "a script link is no link";
  EXPECT_TRUE(report.value("authorText").toString().contains(article->authorName())) << text(article->authorName());
  EXPECT_TRUE(
      report.value("contentText")
          .toString()
          .contains(QStringLiteral("Before everything. [[newsitem_title]] {{stylesheet_url}} {{article_width}}")));
  EXPECT_TRUE(report.value("contentText").toString().contains(QStringLiteral("Text after [[newsitem_dateline]].")));
  EXPECT_TRUE(report.value("contentText").toString().contains(QStringLiteral("The footnote.")));

  // The picture came from the image cache; the server saw the image asked
  // for, never the script, frame, form, style sheet or plug-ins.
  const QJsonObject picture = report.value("picture").toObject();
  EXPECT_TRUE(picture.value("src").toString().startsWith(QStringLiteral("zph-image-cache://")))
      << text(picture.value("src").toString());
  EXPECT_EQ(picture.value("width").toInt(), 120);
  QStringList paths;
  for (const ZPHTestHTTPRequest& request : server.requests()) paths.append(request.path);
  EXPECT_TRUE(paths.contains(QStringLiteral("/image.png")));
  for (const char* path : {"/evil.js", "/frame.html", "/form", "/refreshed", "/evil.css", "/object.swf", "/embed.swf"})
    EXPECT_FALSE(paths.contains(QString::fromLatin1(path))) << path;
  for (const QString& path : paths) EXPECT_FALSE(path.startsWith(QLatin1String("/based/"))) << text(path);
}

TEST_F(ArticlePageWebTest, OnlyTheCurrentRenderIsServed)
{
  ASSERT_TRUE(show(QStringLiteral("<!DOCTYPE html><p id=\"first\">first</p>")));
  const QUrl first = pageURL;
  EXPECT_EQ(first.scheme(), QStringLiteral("zph-article"));
  EXPECT_EQ(first.host().size(), 32);
  EXPECT_EQ(first.path(), QStringLiteral("/"));
  ASSERT_TRUE(show(QStringLiteral("<!DOCTYPE html><p id=\"second\">second</p>")));
  EXPECT_NE(pageURL, first);
  EXPECT_EQ(articles->currentPageURL(), pageURL);

  auto loads = [&](const QUrl& url) {
    bool finished = false;
    bool ok = false;
    const auto connection = QObject::connect(page.get(), &QWebEnginePage::loadFinished, [&](bool success) {
      finished = true;
      ok = success;
    });
    page->load(url);
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return finished; }, 30000)) << text(url.toString());
    QObject::disconnect(connection);
    return ok;
  };
  const QString current = pageURL.toString();
  for (const QUrl& refused :
       {first, QUrl(current + QStringLiteral("other")), QUrl(current + QStringLiteral("?x=1")),
        QUrl(QStringLiteral("zph-article://") + QString(32, QLatin1Char('0')) + QLatin1Char('/'))})
    EXPECT_FALSE(loads(refused)) << text(refused.toString());
  EXPECT_TRUE(loads(pageURL));
  EXPECT_TRUE(run(QStringLiteral("!!document.getElementById('second')")).toBool());
  articles->clearCurrentPage();
  EXPECT_FALSE(loads(QUrl(current)));
}

TEST_F(ArticlePageWebTest, AThreeMegabyteArticleIsShownWhole)
{
  QString html = QStringLiteral("<p id=\"start\">Start.</p>");
  const QString paragraph = QStringLiteral(
      "<p>Paragraph %1 of a very long article, with <b>some</b> markup and <a href=\"/link/%1\">a link</a>.</p>\n");
  int count = 0;
  while (html.size() < 3 * 1024 * 1024) html += paragraph.arg(++count);
  html += QStringLiteral("<p id=\"end\">The end.</p>");
  CBDataArticle* article =
      addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://example.com/long"), html);
  article->setPlainTextTitle(QStringLiteral("A long article"));
  const ZPHArticlePage articlePage = pageFor(article);
  ASSERT_GT(articlePage.html.toUtf8().size(), 3 * 1024 * 1024);
  ASSERT_TRUE(show(articlePage.html));
  const QJsonObject report = runForObject(
      QStringLiteral(
          "JSON.stringify({paragraphs: document.querySelectorAll('.newsItemContent p').length,"
          " start: !!document.getElementById('zph-start'), end: (document.getElementById('zph-end') || {}).textContent,"
          " lastLink: document.querySelectorAll('.newsItemContent a')[%1].getAttribute('href')})")
          .arg(count - 1));
  EXPECT_EQ(report.value("paragraphs").toInt(), count + 2);
  EXPECT_TRUE(report.value("start").toBool());
  EXPECT_EQ(report.value("end").toString(), QStringLiteral("The end."));
  EXPECT_EQ(report.value("lastLink").toString(), QStringLiteral("http://example.com/link/%1").arg(count));
}

TEST_F(ArticlePageWebTest, TheThemeScriptServesTheApplication)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  server.route(QStringLiteral("/delta.png"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.headers = {{"Content-Type", "image/png"}};
    response.body = ZPHTestImages::png(300, 120);
    return response;
  });
  addFeed(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("Example News"),
          QStringLiteral("http://example.com/"));
  const QString html = QStringLiteral(
                           "<p>Rivers carve valleys over many years. A river's course changes slowly.</p>"
                           "<h2>Deltas</h2><p>Where a river meets the sea, it drops what it carried.</p>"
                           "<p><img id=\"delta\" src=\"%1\" alt=\"A delta\"></p>"
                           "<blockquote><p>The river is everywhere at once.</p></blockquote>"
                           "<pre><code>flow = area * velocity;</code></pre>"
                           "<ul><li>Source</li><li>Course</li><li>Mouth</li></ul>")
                           .arg(QStringLiteral("http://pictures.zephlin.test:%1/delta.png").arg(server.port()));
  CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"),
                                      QStringLiteral("http://example.com/2025/06/rivers"), html);
  article->setPlainTextTitle(QStringLiteral("How rivers shape the land"));
  article->setAuthorName(QStringLiteral("Ada Brook"));
  article->setDateForDisplay(QDateTime(QDate(2025, 6, 10), QTime(9, 41), Qt::UTC));

  ZPHArticlePageSettings settings;
  settings.searchTerm = QStringLiteral("RIVER");
  settings.searchScope = 0;
  const ZPHArticlePage articlePage = pageFor(article, settings);
  ASSERT_TRUE(show(articlePage.html));
  // The theme's style sheets came through their scheme, policy and all.
  EXPECT_EQ(run(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
            QStringLiteral("rgb(251, 250, 248)"));
  // A picture from the web (a host other than the loopback one to the
  // engine), straight from its server.
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] { return run(QStringLiteral("document.getElementById('zph-delta').naturalWidth")).toInt() == 300; }, 10000))
      << text(run(QStringLiteral("document.getElementById('zph-delta').outerHTML")).toString());
  // The title once, the text four times, whatever the case.
  EXPECT_EQ(run(articlePage.searchHighlightScript).toInt(), 5);
  EXPECT_EQ(run(QStringLiteral("document.querySelectorAll('span.highlightedtext').length")).toInt(), 5);
  screenshot(QStringLiteral("light"));

  const double fourEm = run(QStringLiteral("fourEmWidth()")).toDouble();
  EXPECT_GT(fourEm, 40);
  EXPECT_LT(fourEm, 200);
  EXPECT_GT(run(QStringLiteral("leftMarginWidth()")).toDouble(), 0);

  run(QStringLiteral("updateArticleFlaggedState(true)"));
  EXPECT_EQ(run(QStringLiteral("document.getElementById('article').className")).toString(),
            QStringLiteral("newsItemFlagActive"));
  run(QStringLiteral("setPictureLayout(0, 0)"));
  EXPECT_TRUE(run(QStringLiteral("document.body.classList.contains('pictureLayout-false')")).toBool());

  // The dark sub-theme, switched in place.
  const QString dark = theme->stylesheetURLStringForSubtheme(QStringLiteral("dark"));
  // Arguments go JSON-encoded, as the application passes them.
  const QByteArray argument = QJsonDocument(QJsonArray{dark}).toJson(QJsonDocument::Compact);
  run(QStringLiteral("setSubthemeStylesheet(%1)").arg(QString::fromUtf8(argument.mid(1, argument.size() - 2))));
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] {
        return run(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString() ==
               QStringLiteral("rgb(29, 30, 33)");
      },
      10000));
  screenshot(QStringLiteral("dark"));
}

}  // namespace
