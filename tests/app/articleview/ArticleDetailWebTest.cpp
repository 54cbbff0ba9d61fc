// The article view in a real web view (offscreen): the detail controller
// in its pane, clicked, hovered and searched as a user would, with a double
// of the desktop behind QDesktopServices.

#include "ArticleTestSupport.h"

#include "articleview/ZPHArticleDetailPaneView.h"
#include "articleview/ZPHArticleDetailViewController.h"
#include "articleview/ZPHArticleSchemeHandler.h"
#include "articleview/ZPHArticleWebConsole.h"
#include "articleview/ZPHStyleSheetController.h"
#include "feeds/images/CBLocalStyleSheetProtocol.h"
#include "feeds/images/CBWebCacheController.h"
#include "feeds/images/ZPHArticleImageCacheController.h"
#include "feeds/refresh/ZPHRefreshController.h"
#include "fixtures/images/ZPHTestImages.h"
#include "foundation/CBPrefs.h"
#include "kit/ZPHManualClock.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "support/ZPHTestHTTPServer.h"
#include "themes/ZPHRegisterThemes.h"
#include "web/CBShadowTextField.h"
#include "web/ZPHFindBarSearchField.h"
#include "web/ZPHInternalPagesProfile.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"
#include "web/ZPHMacWebViewStatusBarWindow.h"
#include "web/ZPHMacWebViewStatusBarWindowController.h"
#include "web/ZPHWebEnginePage.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtGui/QDesktopServices>
#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEngineFindTextResult>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Stands in for the desktop: what QDesktopServices would hand on.
class DesktopDouble : public QObject {
  Q_OBJECT

public:
  QList<QUrl> opened;

public Q_SLOTS:
  void open(const QUrl& url) { opened.append(url); }
};

const char* const kSchemes[] = {"http", "https", "mailto", "file", "ftp", "data", "javascript", "feed"};

class ArticleDetailWebTest : public ArticleStoreTest {
protected:
  void SetUp() override
  {
    ArticleStoreTest::SetUp();
    ZPHRegisterThemes();
    styles = std::make_unique<ZPHStyleSheetController>(defaults, nullptr, 1.0,
                                                       settingsFolder.filePath(QStringLiteral("StyleSheets")));
    for (const QString& folder : styles->styleSheetFolders())
      CBLocalStyleSheetProtocol::registerStyleSheetFolder(folder);
    internalPages = std::make_unique<ZPHInternalPagesProfile>();
    detail =
        std::make_unique<ZPHArticleDetailViewController>(internalPages->profile(), styles.get(), &defaults, &clock);
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    pane = new ZPHArticleDetailPaneView(window.get());
    layout->addWidget(pane);
    pane->setDetailContentView(detail->view());
    window->resize(900, 800);
    window->show();
    QApplication::setActiveWindow(window.get());
    for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &desktop, "open");
  }

  void TearDown() override
  {
    for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    window.reset();
    detail.reset();
    internalPages.reset();
    for (const QString& folder : styles->styleSheetFolders())
      CBLocalStyleSheetProtocol::unregisterStyleSheetFolder(folder);
    ArticleStoreTest::TearDown();
  }

  ZPHMacWebView* webView() const { return detail->webView(); }
  QWidget* input() const { return webView()->focusProxy(); }

  bool waitForLoad(const std::function<void()>& start)
  {
    int finished = 0;
    int failed = 0;
    const auto ok = QObject::connect(detail.get(), &ZPHArticleDetailViewController::detailViewDidFinishLoading,
                                     [&] { ++finished; });
    const auto bad =
        QObject::connect(detail.get(), &ZPHArticleDetailViewController::detailViewDidFailLoading, [&] { ++failed; });
    start();
    const bool done = ZPHTestWaitUntil([&] { return finished + failed > 0; }, 60000);
    QObject::disconnect(ok);
    QObject::disconnect(bad);
    return done && finished == 1 && failed == 0;
  }

  bool showArticle(CBDataArticle* article)
  {
    return waitForLoad([&] { detail->loadArticle(article, {}); });
  }

  QVariant run(const QString& script)
  {
    bool done = false;
    QVariant result;
    detail->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
      result = value;
      done = true;
    });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return done; }, 30000)) << text(script.left(80));
    return result;
  }

  // The centre of the element, scrolled into view, in the view's pixels.
  QPoint centreOf(const QString& id)
  {
    const QVariantList box = run(QStringLiteral("(function () { var e = document.getElementById('%1');"
                                                " if (!e) return null; e.scrollIntoView({block: 'center'});"
                                                " var r = e.getBoundingClientRect();"
                                                " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                                     .arg(id))
                                 .toList();
    EXPECT_EQ(box.size(), 2) << text(id);
    if (box.size() != 2)
      return {};
    ZPHTestSpinEventLoop(100);
    return QPoint(qRound(box.at(0).toDouble()), qRound(box.at(1).toDouble()));
  }

  void moveMouse(const QPoint& point)
  {
    QMouseEvent move(QEvent::MouseMove, point, input()->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(input(), &move);
  }

  // Moves over the element (waiting for the engine to report the link when
  // it is one) and clicks it.
  void click(const QString& id, const QString& expectedLink = QString(), Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier)
  {
    const QPoint point = centreOf(id);
    moveMouse(point);
    if (!expectedLink.isEmpty())
      EXPECT_TRUE(ZPHTestWaitUntil([&] { return webView()->hoveredLink() == expectedLink; }, 10000))
          << text(webView()->hoveredLink());
    else
      ZPHTestSpinEventLoop(200);
    QTest::mouseClick(input(), button, modifiers, point);
  }

  // A feed of one hostile article, refreshed from the loopback server into
  // the store.
  CBDataArticle* refreshHostileArticle(ZPHTestHTTPServer& server)
  {
    routeHostileFeed(server);
    const QUrl feedURL = server.url(QStringLiteral("/hostile.xml"));
    CBFeed* feed = addFeed(feedURL.toString());
    ZPHRefreshController refresh;
    refresh.refreshOneFeed(feed);
    EXPECT_TRUE(
        ZPHTestWaitUntil([&] { return refresh.refreshOperationController()->numberOfOperations() == 0; }, 30000));
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
    ZPHTestSpinEventLoop(100);
    const QList<CBDataArticle*> stored = CBDataArticle::articlesForFeedWithURL(feedURL, main);
    EXPECT_EQ(stored.size(), 1);
    return stored.isEmpty() ? nullptr : stored.first();
  }

  // The bridge's calls other than the page's "ready".
  int bridgeCalls() const { return detail->webConsole()->callCount() - readyCalls; }

  void waitForBridge()
  {
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return detail->webConsole()->callCount() > 0; }, 20000))
        << "the theme script reached the bridge";
    readyCalls = detail->webConsole()->callCount();
  }

  ZPHTestTempDir settingsFolder;
  ZPHUserDefaults defaults{settingsFolder.filePath(QStringLiteral("defaults.conf"))};
  ZPHManualClock clock;
  DesktopDouble desktop;
  std::unique_ptr<ZPHStyleSheetController> styles;
  std::unique_ptr<ZPHInternalPagesProfile> internalPages;
  std::unique_ptr<ZPHArticleDetailViewController> detail;
  std::unique_ptr<QWidget> window;
  ZPHArticleDetailPaneView* pane = nullptr;
  int readyCalls = 0;
};

TEST_F(ArticleDetailWebTest, ClicksOnAHostileArticleOpenOnlyItsWebLinkOncePerClick)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  CBDataArticle* article = refreshHostileArticle(server);
  ASSERT_NE(article, nullptr);
  ASSERT_TRUE(showArticle(article));
  const QUrl page = webView()->url();
  waitForBridge();

  // The feed's script and data links are text now; clicks on them, and a
  // script that moves the page, open nothing.
  for (const char* id : {"zph-mixed", "zph-entity", "zph-data"}) click(QString::fromLatin1(id));
  run(QStringLiteral("window.location.href = %1")
          .arg(QStringLiteral("'%1'").arg(server.url(QStringLiteral("/scripted")).toString())));
  ZPHTestSpinEventLoop(1500);
  EXPECT_EQ(desktop.opened, QList<QUrl>());
  EXPECT_EQ(bridgeCalls(), 0);
  EXPECT_EQ(webView()->url(), page);

  // The web link: once per click, plain, with Ctrl and with the middle
  // button (a new window the engine asks for); the page stays.
  const QString web = QStringLiteral("https://example.com/story");
  click(QStringLiteral("zph-web"), web);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return desktop.opened.size() == 1; }, 10000));
  click(QStringLiteral("zph-web"), web, Qt::LeftButton, Qt::ControlModifier);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return desktop.opened.size() == 2; }, 10000));
  click(QStringLiteral("zph-web"), web, Qt::MiddleButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return desktop.opened.size() == 3; }, 10000));
  click(QStringLiteral("zph-mail"), QStringLiteral("mailto:editor@example.com"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return desktop.opened.size() == 4; }, 10000));
  ZPHTestSpinEventLoop(1000);
  // A mail link reaches the mail client with its recipient and subject only,
  // never a file to attach.
  click(QStringLiteral("zph-attach"),
        QStringLiteral("mailto:editor@example.com?attach=/etc/passwd&subject=Hi&Attachment=~/.ssh/id_rsa"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return desktop.opened.size() == 5; }, 10000));
  ZPHTestSpinEventLoop(1000);
  // A relative link, resolved against the article's address with its query.
  const QString relative = server.url(QStringLiteral("/site/page")).toString() + QStringLiteral("?id=3");
  click(QStringLiteral("zph-relative"), relative);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return desktop.opened.size() == 6; }, 10000));
  ZPHTestSpinEventLoop(1000);
  EXPECT_EQ(desktop.opened,
            (QList<QUrl>{QUrl(web), QUrl(web), QUrl(web), QUrl(QStringLiteral("mailto:editor@example.com")),
                         QUrl(QStringLiteral("mailto:editor@example.com?subject=Hi")), QUrl(relative)}));
  EXPECT_EQ(webView()->url(), page);
  EXPECT_EQ(bridgeCalls(), 0);
  QStringList paths;
  for (const ZPHTestHTTPRequest& request : server.requests()) paths.append(request.path);
  EXPECT_FALSE(paths.contains(QStringLiteral("/scripted")));
}

TEST_F(ArticleDetailWebTest, AnUnsanitisedPageStillLeadsNowhereByItself)
{
  // What the sanitizer would have removed, straight to the view: the
  // policy alone stands between it and the desktop.
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  const QString refreshed = server.url(QStringLiteral("/refreshed")).toString();
  const QString html = QStringLiteral(
                           "<!DOCTYPE html><html><head><meta http-equiv=\"refresh\" content=\"0;url=%1\"></head>"
                           "<body><p><a id=\"js\" href=\"javascript:document.title='clicked'\">script</a></p>"
                           "<p><a id=\"data\" href=\"data:text/html,&lt;p&gt;x\">data</a></p>"
                           "<p><a id=\"file\" href=\"file:///etc/passwd\">file</a></p>"
                           "<p><a id=\"feed\" href=\"feed://example.com/rss.xml\">feed</a></p>"
                           "<p><a id=\"web\" href=\"http://example.com/plain\">web</a></p></body></html>")
                           .arg(refreshed);
  ZPHArticlePage page;
  page.html = html;
  ASSERT_TRUE(waitForLoad([&] { detail->loadArticlePage(page); }));
  const QUrl shown = webView()->url();
  // The refresh is refused; its failed load is no failure of the page.
  int failures = 0;
  QObject::connect(detail.get(), &ZPHArticleDetailViewController::detailViewDidFailLoading, [&] { ++failures; });
  ZPHTestSpinEventLoop(1500);
  QList<std::pair<QUrl, ZPHNavigationPolicy::Action>> handedOut;
  QObject::connect(detail.get(), &ZPHWebContentViewController::linkHandedOut,
                   [&](const QUrl& url, ZPHNavigationPolicy::Action action) {
                     handedOut.append({url, action});
                   });
  for (const char* id : {"js", "data", "file"}) click(QString::fromLatin1(id));
  // Scripts that move the page to addresses the desktop would take.
  run(QStringLiteral("window.location.href = 'mailto:someone@example.com'"));
  run(QStringLiteral("window.location.href = 'feed://example.com/scripted.xml'"));
  ZPHTestSpinEventLoop(1000);
  EXPECT_TRUE(handedOut.isEmpty());
  EXPECT_EQ(desktop.opened, QList<QUrl>());
  EXPECT_EQ(webView()->url(), shown);
  EXPECT_NE(run(QStringLiteral("document.title")).toString(), QStringLiteral("clicked"));
  click(QStringLiteral("web"), QStringLiteral("http://example.com/plain"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !desktop.opened.isEmpty(); }, 10000));
  ZPHTestSpinEventLoop(500);
  EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl(QStringLiteral("http://example.com/plain"))});
  // A feed link the user clicks goes to the subscribe flow, not the desktop.
  click(QStringLiteral("feed"), QStringLiteral("feed://example.com/rss.xml"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return handedOut.size() == 2; }, 10000));
  EXPECT_EQ(handedOut.last().first, QUrl(QStringLiteral("feed://example.com/rss.xml")));
  EXPECT_EQ(handedOut.last().second, ZPHNavigationPolicy::Action::Subscribe);
  EXPECT_EQ(desktop.opened.size(), 1);
  // From the keyboard: the link the user moves to with Tab (from the feed
  // link clicked last), then Return.
  QWidget* input = webView()->focusProxy();
  input->setFocus();
  QTest::keyClick(input, Qt::Key_Tab);
  QTest::keyClick(input, Qt::Key_Return);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return desktop.opened.size() == 2; }, 10000));
  EXPECT_EQ(desktop.opened.last(), QUrl(QStringLiteral("http://example.com/plain")));
  EXPECT_EQ(failures, 0);
  EXPECT_FALSE(detail->awaitingMainFrameLoad());
  for (const ZPHTestHTTPRequest& request : server.requests()) EXPECT_NE(request.path, QStringLiteral("/refreshed"));
}

TEST_F(ArticleDetailWebTest, TheArticlePageHasNoFrames)
{
  // Frames the sanitizer would have removed, straight to the view under the
  // page's own policy (which refuses frames of an address, not one of inline
  // markup): a frame of inline markup (no address for a navigation policy to
  // refuse either), one of a web address and one of about:blank, among
  // others. None stays, none loads anything.
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  const QString pixel = server.url(QStringLiteral("/pixel.png")).toString();
  const QString framed = server.url(QStringLiteral("/framed")).toString();
  ZPHArticlePage page;
  page.html = QStringLiteral(
                  "<!DOCTYPE html><html><head><meta http-equiv=\"Content-Security-Policy\" "
                  "content=\"default-src 'none'; img-src http: https:\"></head><body><p id=\"before\">before</p>"
                  "<iframe id=\"inline\" srcdoc=\"<p id='inside'>inside</p><img src='%1'>\"></iframe>"
                  "<iframe id=\"web\" src=\"%2\"></iframe>"
                  "<iframe id=\"blank\" src=\"about:blank\"></iframe>"
                  "<div><object data=\"data:text/html,x\"></object><embed src=\"%2\"><frameset></frameset></div>"
                  "<p id=\"after\">after</p></body></html>")
                  .arg(pixel, framed);
  ASSERT_TRUE(waitForLoad([&] { detail->loadArticlePage(page); }));
  ZPHTestSpinEventLoop(1500);
  EXPECT_EQ(run(QStringLiteral("document.getElementById('after').textContent")).toString(), QStringLiteral("after"));
  EXPECT_EQ(run(QStringLiteral("window.frames.length")).toInt(), 0);
  EXPECT_EQ(run(QStringLiteral("document.querySelectorAll('iframe, frame, frameset, object, embed').length")).toInt(),
            0);
  for (const ZPHTestHTTPRequest& request : server.requests()) {
    EXPECT_NE(request.path, QStringLiteral("/pixel.png"));
    EXPECT_NE(request.path, QStringLiteral("/framed"));
  }
}

TEST_F(ArticleDetailWebTest, FindCountsStepsAndClears)
{
  const QString html =
      QStringLiteral("<p>A river runs. The river bends.</p><p>Rivers meet the sea.</p><p>No more of it here.</p>");
  CBDataArticle* article =
      addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://example.com/rivers"), html);
  article->setPlainTextTitle(QStringLiteral("On a river"));
  ASSERT_TRUE(showArticle(article));
  QList<int> activeMatches;
  QObject::connect(detail->page(), &QWebEnginePage::findTextFinished,
                   [&](const QWebEngineFindTextResult& result) { activeMatches.append(result.activeMatch()); });

  pane->showFindPanelAnimated(false);
  ZPHMacWebViewFindBarViewController* bar = pane->findBarViewController();
  ASSERT_TRUE(pane->findBarShown());
  EXPECT_EQ(bar->view()->geometry().top(), 0);
  EXPECT_EQ(webView()->geometry().top(), bar->view()->height());
  QTest::keyClicks(bar->searchField(), QStringLiteral("RIVER"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return bar->numberOfMatches() == 4; }, 10000)) << bar->numberOfMatches();
  EXPECT_EQ(bar->matchesTextField()->text(), QStringLiteral("4 matches"));
  EXPECT_TRUE(webView()->hasInjectedHighlightSearchJS());

  // Return steps forward, Shift-Return back, the focus stays in the field.
  activeMatches.clear();
  QTest::keyClick(bar->searchField(), Qt::Key_Return);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !activeMatches.isEmpty(); }, 10000));
  const int afterNext = activeMatches.last();
  QTest::keyClick(bar->searchField(), Qt::Key_Return);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return activeMatches.size() >= 2; }, 10000));
  EXPECT_EQ(activeMatches.last(), afterNext % 4 + 1);
  QTest::keyClick(bar->searchField(), Qt::Key_Return, Qt::ShiftModifier);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return activeMatches.size() >= 3; }, 10000));
  EXPECT_EQ(activeMatches.last(), afterNext);
  EXPECT_EQ(bar->numberOfMatches(), 4);

  // A word that is not there.
  bar->searchField()->clear();
  QTest::keyClicks(bar->searchField(), QStringLiteral("delta"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return bar->numberOfMatches() == 0; }, 10000));
  EXPECT_EQ(bar->matchesTextField()->text(), QStringLiteral("Not found"));

  // Done clears the field, the count and the highlights, and hides the bar.
  bar->doneAction();
  EXPECT_EQ(bar->searchField()->text(), QString());
  EXPECT_EQ(bar->numberOfMatches(), ZPHMacWebViewFindBarViewController::NotFound);
  EXPECT_EQ(bar->matchesTextField()->text(), QString());
  EXPECT_FALSE(webView()->hasInjectedHighlightSearchJS());
  EXPECT_FALSE(pane->findBarShown());
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return !bar->view()->isVisible(); }, 5000));
  EXPECT_EQ(webView()->geometry(), pane->rect());

  // Next with the bar hidden opens it and searches again.
  pane->highlightNextSearchResult();
  EXPECT_TRUE(pane->findBarShown());
  EXPECT_EQ(bar->searchField()->text(), QStringLiteral("delta"));
}

TEST_F(ArticleDetailWebTest, TheStatusBarShowsTheLinkUnderTheMouse)
{
  CBDataArticle* article = addArticle(
      QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://example.com/a"),
      QStringLiteral("<p style=\"margin-top: 300px\"><a id=\"far\" href=\"https://example.org/far?x=1\">far</a></p>"
                     "<p>Plain text.</p>"));
  ASSERT_TRUE(showArticle(article));
  const QPoint link = centreOf(QStringLiteral("zph-far"));
  moveMouse(link);
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return webView()->hoveredLink() == QStringLiteral("https://example.org/far?x=1"); }, 10000));
  ZPHMacWebViewStatusBarWindowController* bar = detail->statusBarWindowController();
  EXPECT_EQ(bar->textField()->text(), QStringLiteral("https://example.org/far?x=1"));
  EXPECT_FALSE(bar->isShown()) << "only after the pause";
  clock.advance(ZPHMacWebViewStatusBarWindowController::standardPauseDuration());
  ASSERT_TRUE(bar->isShown());
  const QRect expected(webView()->mapTo(window.get(), QPoint(0, webView()->height() - bar->window()->height())),
                       QSize(webView()->width(), bar->window()->height()));
  EXPECT_EQ(bar->window()->geometry(), expected);
  EXPECT_EQ(bar->window()->parentWidget(), window.get());

  // Off the link: hidden at once.
  moveMouse(centreOf(QStringLiteral("zph-far")) + QPoint(0, 200));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return webView()->hoveredLink().isEmpty(); }, 10000));
  EXPECT_FALSE(bar->isShown());
  EXPECT_EQ(bar->textField()->text(), QString());
  clock.advance(ZPHMacWebViewStatusBarWindowController::standardPauseDuration());
  EXPECT_FALSE(bar->isShown());
}

TEST_F(ArticleDetailWebTest, ThePageControlsReachTheApplicationThroughTheBridge)
{
  addFeed(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("Example"),
          QStringLiteral("http://example.com/"));
  CBDataArticle* article =
      addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://example.com/a"),
                 QStringLiteral("<p>Some words of an article, enough of them to wrap.</p>"));
  article->setPlainTextTitle(QStringLiteral("Bridge"));
  ZPHError error;
  ASSERT_TRUE(main->save(&error)) << text(error.toString());
  ASSERT_TRUE(showArticle(article));
  waitForBridge();

  // The flag control: the article's flag toggles (the bookmark change goes
  // through the store queue), and the page shows it once told.
  click(QStringLiteral("flagControl"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return article->flagged(); }, 10000));
  detail->updateArticleFlaggedState();
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] {
        return run(QStringLiteral("document.getElementById('article').className")).toString() ==
               QStringLiteral("newsItemFlagActive");
      },
      10000));
  // The share control opens the sharing popover; when it closes, the
  // control goes back.
  click(QStringLiteral("shareControl"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return bridgeCalls() == 2; }, 10000));
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] {
        return !run(QStringLiteral("document.getElementById('shareControl').classList.contains('active')")).toBool();
      },
      10000));
  EXPECT_EQ(detail->webConsole()->refusedCallCount(), 0);

  // The widths the page reports, and the column the application sets.
  ASSERT_TRUE(detail->articleWidth().has_value());
  ASSERT_TRUE(detail->stepIncrement().has_value());
  const double before = *detail->articleWidth();
  bool changed = false;
  QObject::connect(detail.get(), &ZPHArticleDetailViewController::articleWidthsChanged, [&] { changed = true; });
  detail->setMarginWidth(20);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return changed; }, 10000));
  EXPECT_EQ(run(QStringLiteral("document.getElementById('article').style.width")).toString(), QStringLiteral("20em"));
  EXPECT_GT(*detail->articleWidth(), before);
  EXPECT_EQ(detail->shouldAllowArticleWidthDecrease(),
            ZPHArticleDetailViewController::allowsArticleWidthDecrease(webView()->width(), *detail->articleWidth(),
                                                                       *detail->stepIncrement()));

  // The channel and the theme's functions live in the application's world.
  EXPECT_EQ(run(QStringLiteral("typeof qt.webChannelTransport + ' ' + typeof window.setSubthemeStylesheet")).toString(),
            QStringLiteral("object function"));

  // The dark sub-theme, switched in place.
  bool themed = false;
  QObject::connect(detail.get(), &ZPHArticleDetailViewController::detailViewDidFinishChangingTheme,
                   [&] { themed = true; });
  detail->activateSubthemeStylesheetWithName(QStringLiteral("dark"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return themed; }, 10000));
  EXPECT_TRUE(ZPHTestWaitUntil(
      [&] {
        return run(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString() ==
               QStringLiteral("rgb(29, 30, 33)");
      },
      10000));
}

TEST_F(ArticleDetailWebTest, TheBridgeOffersThePageItsFiveCallsAndNothingOfQObjects)
{
  CBDataArticle* article = addArticle(QStringLiteral("http://example.com/feed.xml"),
                                      QStringLiteral("http://example.com/a"), QStringLiteral("<p>Words.</p>"));
  ASSERT_TRUE(showArticle(article));
  waitForBridge();
  // What a script of the application's world finds on the channel's object.
  run(QStringLiteral(
      "new QWebChannel(qt.webChannelTransport, function (channel) {"
      "  var o = channel.objects.ArticleWebConsole;"
      "  var calls = ['toggleFlaggedForSelectedArticle', 'toggleImageLayout',"
      "    'shareSelectedArticleFromClientXClientYElementWidthElementHeight', 'webViewReady',"
      "    'publicURLForImageCachedURL'];"
      "  var qobject = ['objectName', 'objectNameChanged', 'deleteLater', 'destroyed', '_q_reregisterTimers'];"
      "  window.zphBridge = {"
      "    calls: calls.filter(function (k) { return typeof o[k] === 'function'; }).length,"
      "    qobject: qobject.filter(function (k) { return k in o; }).join(',') };"
      "  o.objectName = 'written by the page';"
      "  o.publicURLForImageCachedURL('zph-image-cache:x', function (answer) { window.zphBridge.answer = answer; });"
      "});"));
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] { return run(QStringLiteral("window.zphBridge && window.zphBridge.answer !== undefined")).toBool(); },
      20000));
  EXPECT_EQ(run(QStringLiteral("window.zphBridge.calls")).toInt(), 5);
  EXPECT_EQ(run(QStringLiteral("window.zphBridge.qobject")).toString(), QString());
  EXPECT_EQ(run(QStringLiteral("window.zphBridge.answer")).toString(), QString());
  ZPHTestSpinEventLoop(300);
  EXPECT_EQ(detail->webConsole()->objectName(), QString());
  EXPECT_EQ(detail->webConsole()->refusedCallCount(), 0);
}

TEST_F(ArticleDetailWebTest, ANewerPageReplacesOneStillLoadingWithoutAFailure)
{
  int finished = 0;
  int failed = 0;
  QObject::connect(detail.get(), &ZPHArticleDetailViewController::detailViewDidFinishLoading, [&] { ++finished; });
  QObject::connect(detail.get(), &ZPHArticleDetailViewController::detailViewDidFailLoading, [&] { ++failed; });
  ZPHArticlePage first;
  first.html = QStringLiteral("<!DOCTYPE html><p id=\"first\">first</p>");
  ZPHArticlePage second;
  second.html = QStringLiteral("<!DOCTYPE html><p id=\"second\">second</p>");
  detail->loadArticlePage(first);
  detail->loadArticlePage(second);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return finished > 0; }, 30000));
  ZPHTestSpinEventLoop(500);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(webView()->url(), detail->currentPageURL());
  EXPECT_TRUE(run(QStringLiteral("!!document.getElementById('second')")).toBool());
}

TEST_F(ArticleDetailWebTest, SavingAnImageWritesItsBytesAsTheyCame)
{
  // A JPEG whose name ends in capitals: saved byte for byte, whatever its
  // name says.
  const QUrl source(QStringLiteral("http://pictures.example.com/2025/A.JPG"));
  const QByteArray bytes = ZPHTestImages::jpeg(40, 30);
  CBWebCacheController::sharedController()->storeObject(bytes, source);
  const QUrl shown = ZPHArticleImageCacheController::imageCacheURLForURL(source);
  CBDataArticle* article =
      addArticle(QStringLiteral("http://example.com/feed.xml"), QStringLiteral("http://example.com/pictures"),
                 QStringLiteral("<p><img src=\"%1\" alt=\"A\"></p>").arg(source.toString()));
  detail->setSelectedArticles({article});
  EXPECT_EQ(detail->publicURLForImageURL(shown), source);
  EXPECT_EQ(ZPHWebContentViewController::filenameForImage(source.toString(), false), QStringLiteral("A.JPG"));

  ZPHTestTempDir target;
  const QString path = target.filePath(QStringLiteral("A.JPG"));
  detail->saveImageAtURLToFile(shown, path);
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), bytes);
}

}  // namespace

#include "ArticleDetailWebTest.moc"
