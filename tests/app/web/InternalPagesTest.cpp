// The internal schemes in a real web view: the application's own pages load
// their style sheets and pictures; web pages can't.

#include "app/ZPHAppTestSchemes.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"
#include "web/ZPHInternalPagesProfile.h"
#include "web/ZPHURLSchemeHandler.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineWidgets/QWebEngineView>

#include <gtest/gtest.h>

namespace {

// Runs a script in the page and answers its result.
QVariant evaluate(QWebEnginePage* page, const QString& script)
{
  QVariant result;
  bool done = false;
  page->runJavaScript(script, [&](const QVariant& value) {
    result = value;
    done = true;
  });
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return done; }, 30000));
  return result;
}

bool load(QWebEngineView& view, const QUrl& url)
{
  bool finished = false;
  bool ok = false;
  const QMetaObject::Connection connection =
      QObject::connect(view.page(), &QWebEnginePage::loadFinished, [&](bool success) {
        finished = true;
        ok = success;
      });
  view.load(url);
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return finished; }, 60000)) << url.toString().toStdString();
  QObject::disconnect(connection);
  return ok;
}

class InternalPagesTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    QDir root(dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("themes")));
    ASSERT_TRUE(root.mkpath(QStringLiteral("secret")));
    write("themes/style.css", "body { background-color: rgb(1, 2, 3); }");
    write("secret/evil.css", "p { color: rgb(9, 9, 9); }");
    CBLocalStyleSheetProtocol::registerStyleSheetFolder(root.filePath(QStringLiteral("themes")));
    CBLocalStyleSheetProtocol::setRipplesPicturesFolder(QStringLiteral(":/ripples"));

    const QString themes = root.filePath(QStringLiteral("themes"));
    page =
        "<!doctype html><html><head>"
        "<link rel=\"stylesheet\" href=\"cbstylesheet://" +
        themes.toUtf8() +
        "/style.css\">"
        "<link rel=\"stylesheet\" href=\"cbstylesheet://" +
        themes.toUtf8() +
        "/%2e%2e/secret/evil.css\">"
        "</head><body><p>text</p><img id=\"ripples\" src=\"ripples:moss.jpg\"></body></html>";
    ASSERT_TRUE(server.start());
    server.route(QStringLiteral("/page.html"), [this](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", "text/html"}};
      response.body = page;
      return response;
    });
  }

  void TearDown() override { CBLocalStyleSheetProtocol::unregisterStyleSheetFolder(dir.filePath("themes")); }

  void write(const char* name, const QByteArray& bytes)
  {
    QFile file(QDir(dir.path()).filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  QByteArray page;
};

}  // namespace

TEST(URLSchemeHandler, OnlyTheApplicationAndItsOwnPagesMayAsk)
{
  struct Case {
    const char* initiator;
    bool allowed;
  };
  const Case cases[] = {
      {"", true},
      {"zph-test-page:", true},
      {"cbstylesheet:", true},
      {"http://127.0.0.1:8080", false},
      {"https://example.com", false},
      {"file:///", false},
      {"data:", false},
      {"null", false},
      {"blob:https://example.com/x", false},
      {"qrc:", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZPHURLSchemeHandler::initiatorIsAllowed(QUrl(QString::fromLatin1(c.initiator))), c.allowed)
        << c.initiator;
  EXPECT_TRUE(ZPHInternalSchemes::isInternalScheme(QStringLiteral("zph-image-cache")));
  EXPECT_TRUE(ZPHInternalSchemes::isInternalScheme(QStringLiteral("cbfavicon")));
  EXPECT_TRUE(ZPHInternalSchemes::isInternalScheme(QStringLiteral("ripples")));
  EXPECT_FALSE(ZPHInternalSchemes::isInternalScheme(QStringLiteral("http")));
}

TEST_F(InternalPagesTest, AnInternalPageLoadsItsStyleSheetAndAWebPageCannot)
{
  ZPHInternalPagesProfile internal;
  QWebEngineProfile* profile = internal.profile();
  // The application's pages only: the default profile, which browser
  // content may use, serves none of the internal schemes.
  for (const QByteArray& scheme : ZPHInternalSchemes::internalSchemes())
    EXPECT_EQ(QWebEngineProfile::defaultProfile()->urlSchemeHandler(scheme), nullptr) << scheme.constData();
  EXPECT_TRUE(profile->isOffTheRecord());

  ZPHURLSchemeHandler pages([this](const QUrl& url) {
    ZPHImageCacheResponse response;
    response.url = url;
    response.mimeType = QStringLiteral("text/html");
    response.data = page;
    return response;
  });
  profile->installUrlSchemeHandler(ZPHTestPageScheme, &pages);

  {
    QWebEnginePage webPage(profile);
    QWebEngineView view;
    view.setPage(&webPage);
    view.resize(400, 300);

    ASSERT_TRUE(load(view, QUrl(QStringLiteral("zph-test-page:///article.html"))));
    EXPECT_EQ(evaluate(&webPage, "getComputedStyle(document.body).backgroundColor").toString(),
              QStringLiteral("rgb(1, 2, 3)"));
    // The style sheet outside the folder is not served.
    EXPECT_EQ(evaluate(&webPage, "getComputedStyle(document.querySelector('p')).color").toString(),
              QStringLiteral("rgb(0, 0, 0)"));
    // The ripple pictures we ship.
    ASSERT_TRUE(ZPHTestWaitUntil(
        [&] { return evaluate(&webPage, "document.getElementById('ripples').complete").toBool(); }, 30000));
    EXPECT_GT(evaluate(&webPage, "document.getElementById('ripples').naturalWidth").toInt(), 0);
    ZPHURLSchemeHandler* styleSheets = internal.handlerForScheme("cbstylesheet");
    ASSERT_NE(styleSheets, nullptr);
    EXPECT_EQ(styleSheets->answeredRequestCount(), 1);
    EXPECT_EQ(internal.handlerForScheme("ripples")->answeredRequestCount(), 1);

    // The same page from the web gets nothing.
    ASSERT_TRUE(load(view, server.url(QStringLiteral("/page.html"))));
    EXPECT_EQ(evaluate(&webPage, "document.querySelector('p').textContent").toString(), QStringLiteral("text"));
    EXPECT_EQ(evaluate(&webPage, "getComputedStyle(document.body).backgroundColor").toString(),
              QStringLiteral("rgba(0, 0, 0, 0)"));
    EXPECT_EQ(evaluate(&webPage, "document.getElementById('ripples').naturalWidth").toInt(), 0);
    EXPECT_EQ(styleSheets->answeredRequestCount(), 1);
    EXPECT_EQ(internal.handlerForScheme("ripples")->answeredRequestCount(), 1);
  }
  profile->removeUrlSchemeHandler(&pages);
}
