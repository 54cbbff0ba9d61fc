// A browser tab in a real web view (offscreen) on the browser profile, its
// pages served by the loopback server, the application's services
// recorded: the feeds a page offers, windows a page opens by itself, and
// addresses of every scheme a page may lead to, with and without the
// user's click.

#include "app/browser/BrowserTestSupport.h"

#include "browser/CBBrowserTextField.h"
#include "browser/CBFeedLinkDetector.h"
#include "browser/ZPHBrowserContentView.h"
#include "browser/ZPHBrowserTab.h"
#include "browser/ZPHBrowserViewController.h"
#include "browser/ZPHFeedPopupButton.h"
#include "store/accounts/CBDataAccount.h"
#include "store/entities/AbstractTab.h"
#include "store/entities/CBFeed.h"
#include "support/ZPHTestHTTPServer.h"
#include "web/ZPHMacWebView.h"
#include "web/ZPHMacWebViewFindBarViewController.h"

#include <QtTest/QTest>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

class BrowserWebTest : public BrowserStoreTest {
protected:
  void SetUp() override
  {
    BrowserStoreTest::SetUp();
    ASSERT_TRUE(server.start());
    makeTabs();
    tabs->restoreTabs();
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    window->resize(1000, 750);
    window->show();
    QApplication::setActiveWindow(window.get());
  }

  void TearDown() override
  {
    window.reset();
    BrowserStoreTest::TearDown();
  }

  void route(const QString& path, const QByteArray& html, const QByteArray& type = "text/html; charset=utf-8")
  {
    server.route(path, [html, type](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.headers = {{"Content-Type", type}};
      response.body = html;
      return response;
    });
  }

  // A tab showing the page, in the window.
  ZPHBrowserTab* openTab(const QString& path)
  {
    tabs->openURLStringInNewTab(server.url(path).toString(), false, false);
    ZPHBrowserTab* tab = tabs->browserTabAtIndex(tabs->numberOfTabs() - 1);
    window->layout()->addWidget(tab->browserViewController()->contentView());
    tab->browserViewController()->contentView()->show();
    tab->browserViewController()->mountWebView();
    EXPECT_TRUE(waitForPage(tab, server.url(path)));
    return tab;
  }

  static bool waitForPage(ZPHBrowserTab* tab, const QUrl& url)
  {
    return ZPHTestWaitUntil(
        [&] { return tab->webView()->url() == url && !tab->browserViewController()->pageLoadInProgress(); }, 60000);
  }

  QVariant run(ZPHBrowserTab* tab, const QString& script, quint32 world = QWebEngineScript::MainWorld)
  {
    bool done = false;
    QVariant result;
    tab->webView()->page()->runJavaScript(script, world, [&](const QVariant& value) {
      result = value;
      done = true;
    });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return done; }, 30000)) << text(script.left(80));
    return result;
  }

  // Moves over the element (waiting for the engine to report its link)
  // and clicks it, as the user does.
  void click(ZPHBrowserTab* tab, const QString& id)
  {
    const QVariantList box =
        run(tab,
            QStringLiteral("(function () { var e = document.getElementById('%1'); e.scrollIntoView({block: "
                           "'center'}); var r = e.getBoundingClientRect(); return [r.left + r.width / 2, r.top + "
                           "r.height / 2, e.href || ''] })()")
                .arg(id),
            QWebEngineScript::ApplicationWorld)
            .toList();
    ASSERT_EQ(box.size(), 3) << text(id);
    ZPHTestSpinEventLoop(100);
    const QPoint point(qRound(box.at(0).toDouble()), qRound(box.at(1).toDouble()));
    QWidget* input = tab->webView()->focusProxy();
    QMouseEvent move(QEvent::MouseMove, point, input->mapToGlobal(point), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(input, &move);
    const QString link = box.at(2).toString();
    if (!link.isEmpty()) {
      EXPECT_TRUE(ZPHTestWaitUntil([&] { return QUrl(tab->webView()->hoveredLink()) == QUrl(link); }, 10000))
          << text(id) << " " << text(tab->webView()->hoveredLink());
    }
    QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, point);
  }

  int requestsFor(const QString& prefix) const
  {
    int count = 0;
    for (const ZPHTestHTTPRequest& request : server.requests()) count += request.path.startsWith(prefix) ? 1 : 0;
    return count;
  }

  ZPHTestHTTPServer server;
  std::unique_ptr<QWidget> window;
};

TEST_F(BrowserWebTest, TheFeedButtonOffersThePagesWebFeedsOnceEachAndSubscribesOnce)
{
  CBFeedLinkDetector::clearCache();
  const QString host = server.url(QStringLiteral("/")).toString().chopped(1);
  QByteArray page = R"(<html><head><title>Feeds &amp; more</title>
<link rel="alternate" type="application/rss+xml" title="News &amp; Views" href="/rss.xml">
<link rel="alternate" type="application/atom+xml" title="News &amp; Views" href="/atom.xml">
<link rel="stylesheet" type="text/css" href="/style.css">
</head><body>
<p><a href="/RSS.xml">RSS</a> <a href="/feed">Comments &amp; Replies</a> <a href="/foaf.rdf">Friends</a>
<a href="HOST_FEED/wrapped.xml">Wrapped</a> <a href="/go?url=HOST_ENCODED%2Fencoded.xml">Encoded</a>
<a href="/go?url=javascript:alert(1)//x.xml">Script</a> <a href="/go?url=file:///etc/passwd">Passwords</a>
<a href="/go?url=file:///tmp/local.xml">Local</a> <a href="sub/relative.rss"></a> <a href="/page.html">Page</a></p>
</body></html>)";
  page.replace("HOST_FEED", QString(host).replace(QStringLiteral("http://"), QStringLiteral("feed://")).toUtf8());
  page.replace("HOST_ENCODED", QUrl::toPercentEncoding(host));
  route(QStringLiteral("/site/index.html"), page);
  // One of them is subscribed already.
  CBFeed* feed =
      CBFeed::insertFeedWithURL(QUrl(host + QStringLiteral("/feed")), controller->mainThreadManagedObjectContext());
  ASSERT_NE(controller->localAccount()->addFeed(feed), nullptr);

  ZPHBrowserTab* tab = openTab(QStringLiteral("/site/index.html"));
  ZPHBrowserViewController* browser = tab->browserViewController();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !browser->feedLinks().isEmpty(); }, 20000));
  EXPECT_EQ(browser->feedSearchCount(), 1);
  const QList<CBFeedLink> expected{
      {host + QStringLiteral("/RSS.xml"), QStringLiteral("RSS")},
      {host + QStringLiteral("/feed"), QStringLiteral("Comments & Replies")},
      {host + QStringLiteral("/wrapped.xml"), QStringLiteral("Wrapped")},
      {host + QStringLiteral("/encoded.xml"), QStringLiteral("Encoded")},
      {host + QStringLiteral("/site/sub/relative.rss"), QString()},
      {host + QStringLiteral("/atom.xml"), QStringLiteral("News & Views")},
  };
  EXPECT_EQ(browser->feedLinks(), expected);
  EXPECT_FALSE(browser->addressField()->isAddButtonHidden());

  // The menu: plain titles (no mnemonic from "&"), the address for a feed
  // without one, the subscribed one marked.
  std::unique_ptr<QMenu> menu(browser->addressField()->addButton()->menuForPopupButton());
  ASSERT_NE(menu, nullptr);
  QStringList titles;
  for (QAction* item : menu->actions()) titles.append(item->text());
  EXPECT_EQ(titles, (QStringList{QStringLiteral("RSS"), QStringLiteral("Comments && Replies (already added)"),
                                 QStringLiteral("Wrapped"), QStringLiteral("Encoded"),
                                 host + QStringLiteral("/site/sub/relative.rss"), QStringLiteral("News && Views")}));
  // A choice subscribes once.
  menu->actions().at(2)->trigger();
  EXPECT_EQ(services.subscriptions, QStringList{host + QStringLiteral("/wrapped.xml")});

  // A reload searches the page no more.
  tab->webView()->reload();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return browser->pageLoadInProgress(); }, 10000));
  ASSERT_TRUE(waitForPage(tab, server.url(QStringLiteral("/site/index.html"))));
  ZPHTestSpinEventLoop(500);
  EXPECT_EQ(browser->feedSearchCount(), 1);
  EXPECT_EQ(browser->feedLinks(), expected);
  EXPECT_EQ(services.subscriptions.size(), 1);
}

TEST_F(BrowserWebTest, APageOpensNoWindowByItselfButAClickedLinkOpensInTheTab)
{
  route(QStringLiteral("/opener"),
        R"(<html><head><title>Opener</title><script>
window.open('/popup-onload');
setTimeout(function () { window.open('/popup-timer'); window.open('', '_blank'); }, 200);
</script></head><body><p><a id="blank" href="/clicked" target="_blank">a new window</a></p></body></html>)");
  route(QStringLiteral("/clicked"), "<html><head><title>Clicked</title></head><body>clicked</body></html>");
  ZPHBrowserTab* tab = openTab(QStringLiteral("/opener"));
  ZPHTestSpinEventLoop(1500);
  EXPECT_EQ(requestsFor(QStringLiteral("/popup")), 0);
  EXPECT_EQ(tabs->numberOfTabs(), 2);
  EXPECT_TRUE(services.links.isEmpty());
  // The user's click: the link opens here.
  click(tab, QStringLiteral("blank"));
  ASSERT_TRUE(waitForPage(tab, server.url(QStringLiteral("/clicked"))));
  EXPECT_EQ(tabs->numberOfTabs(), 2);
  EXPECT_EQ(requestsFor(QStringLiteral("/clicked")), 1);
  EXPECT_TRUE(services.links.isEmpty());
}

TEST_F(BrowserWebTest, OtherSchemesLeadNowhereByThemselvesAndOnlyMailAndFeedLinksActWhenClicked)
{
  const QString host = server.url(QStringLiteral("/")).toString().chopped(1);
  const QStringList targets{QStringLiteral("file:///etc/passwd"),
                            QStringLiteral("smb://server/share"),
                            QStringLiteral("custom-app://open/thing"),
                            QStringLiteral("javascript:void(document.title='ran')"),
                            QStringLiteral("cbfavicon://example.com/favicon"),
                            QStringLiteral("zph-image-cache://0123456789abcdef/image.png"),
                            QStringLiteral("zph-article://0123456789abcdef0123456789abcdef/"),
                            QStringLiteral("mailto:editor@example.com"),
                            QStringLiteral("feed:") + host + QStringLiteral("/clicked.xml")};
  QByteArray links;
  for (int n = 0; n < targets.size(); ++n)
    links += "<p><a id=\"l" + QByteArray::number(n) + "\" href=\"" + targets.at(n).toHtmlEscaped().toUtf8() +
             "\">link " + QByteArray::number(n) + "</a></p>";
  route(QStringLiteral("/links"), "<html><head><title>Links</title></head><body>" + links + "</body></html>");
  ZPHBrowserTab* tab = openTab(QStringLiteral("/links"));
  const QUrl page = server.url(QStringLiteral("/links"));
  // The page's own world knows nothing of the application.
  EXPECT_EQ(run(tab, QStringLiteral("typeof qt")).toString(), QStringLiteral("undefined"));

  // Without a click: scripts and refreshes to each address.
  for (const QString& target : targets) {
    run(tab, QStringLiteral("window.location.href = %1").arg(QStringLiteral("'%1'").arg(target)));
    ZPHTestSpinEventLoop(150);
  }
  for (int n = 0; n < targets.size(); ++n) {
    const QString path = QStringLiteral("/refresh%1").arg(n);
    route(path, "<html><head><meta http-equiv=\"refresh\" content=\"0;url=" + targets.at(n).toHtmlEscaped().toUtf8() +
                    "\"><title>Refresh</title></head><body>refresh</body></html>");
    tab->browserViewController()->loadURLString(server.url(path).toString(), false);
    ASSERT_TRUE(waitForPage(tab, server.url(path))) << text(targets.at(n));
    ZPHTestSpinEventLoop(300);
  }
  ZPHTestSpinEventLoop(1000);
  EXPECT_TRUE(services.links.isEmpty());
  EXPECT_TRUE(services.subscriptions.isEmpty()) << text(services.subscriptions.join(u' '));
  EXPECT_EQ(tab->webView()->title(), QStringLiteral("Refresh"));

  // With clicks: the mail link and the feed link act, once each.
  tab->browserViewController()->loadURLString(page.toString(), true);
  ASSERT_TRUE(waitForPage(tab, page));
  for (int n = 0; n < targets.size(); ++n) {
    click(tab, QStringLiteral("l%1").arg(n));
    ZPHTestSpinEventLoop(400);
  }
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !services.links.isEmpty() && !services.subscriptions.isEmpty(); }, 10000));
  ZPHTestSpinEventLoop(1000);
  EXPECT_EQ(services.links, (QList<RecordingServices::Link>{{QUrl(QStringLiteral("mailto:editor@example.com")),
                                                             ZPHAppServices::LinkPlace::MailProgram}}));
  EXPECT_EQ(services.subscriptions, QStringList{host + QStringLiteral("/clicked.xml")});
  EXPECT_EQ(tab->webView()->url(), page);
  EXPECT_EQ(requestsFor(QStringLiteral("/clicked.xml")), 0);
}

TEST_F(BrowserWebTest, ALinkHandedElsewhereOrRefusedEndsTheTabsLoading)
{
  const QString host = server.url(QStringLiteral("/")).toString().chopped(1);
  const QStringList targets{QStringLiteral("mailto:editor@example.com"),
                            QStringLiteral("magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567"),
                            QStringLiteral("feed:") + host + QStringLiteral("/clicked.xml"),
                            QStringLiteral("zephlin://add/") + host + QStringLiteral("/added.xml"),
                            QStringLiteral("tg://resolve?domain=example"),
                            QStringLiteral("smb://server/share")};
  QByteArray links;
  for (int n = 0; n < targets.size(); ++n)
    links += "<p><a id=\"l" + QByteArray::number(n) + "\" href=\"" + targets.at(n).toHtmlEscaped().toUtf8() +
             "\">link " + QByteArray::number(n) + "</a></p>";
  route(QStringLiteral("/links"),
        "<html><head><title>Links</title><link rel=\"alternate\" type=\"application/rss+xml\" href=\"/rss.xml\">"
        "</head><body>" +
            links + "</body></html>");
  ZPHBrowserTab* tab = openTab(QStringLiteral("/links"));
  ZPHBrowserViewController* browser = tab->browserViewController();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !browser->addressField()->isAddButtonHidden(); }, 20000));
  int ended = 0;
  QObject::connect(browser, &ZPHWebContentViewController::linkHandedOut, [&] { ++ended; });
  QObject::connect(browser, &ZPHWebContentViewController::navigationRefused, [&] { ++ended; });
  for (int n = 0; n < targets.size(); ++n) {
    SCOPED_TRACE(text(targets.at(n)));
    const int before = ended;
    click(tab, QStringLiteral("l%1").arg(n));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return ended > before; }, 10000));
    // The page stays and looks loaded: no spinner, Reload, the feed button.
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !browser->pageLoadInProgress(); }, 5000));
    EXPECT_EQ(browser->refreshButton()->toolTip(), QStringLiteral("Reload"));
    EXPECT_FALSE(browser->addressField()->isAddButtonHidden());
    EXPECT_FALSE(tab->loadInProgressAccordingToWebViewOrTimeOut());
    EXPECT_EQ(tab->webView()->url(), server.url(QStringLiteral("/links")));
  }
}

TEST_F(BrowserWebTest, KeysActOnlyOnWhatTheUserChoseNeverOnWhatThePageFocused)
{
  const QString host = server.url(QStringLiteral("/")).toString().chopped(1);
  // The page moves the focus to a mail link, then to a feed link, then to
  // a button that opens a window, each after the user's Return, and waits
  // for the next key; after the button comes another mail link.
  const QByteArray page =
      "<html><head><title>Keys 0</title></head><body>"
      "<p><a id=\"mail\" href=\"mailto:bait@example.com\">mail</a></p>"
      "<p><a id=\"feed\" href=\"feed:" +
      host.toUtf8() +
      "/bait.xml\">feed</a></p>"
      "<p><button id=\"pop\" onclick=\"window.open('/popup')\">window</button></p>"
      "<p><a id=\"chosen\" href=\"mailto:chosen@example.com\">the user's</a></p>"
      "<script>var step = 0; var baits = ['mail', 'feed', 'pop'];"
      "document.getElementById('mail').focus();"
      "document.addEventListener('keyup', function (event) {"
      "  if (event.key !== 'Enter') return;"
      "  step++; if (step < baits.length) document.getElementById(baits[step]).focus();"
      "  document.title = 'Keys ' + step; });</script></body></html>";
  route(QStringLiteral("/keys"), page);
  route(QStringLiteral("/popup"), "<html><head><title>Popup</title></head><body>popup</body></html>");
  ZPHBrowserTab* tab = openTab(QStringLiteral("/keys"));
  ZPHBrowserViewController* browser = tab->browserViewController();
  QList<QUrl> refused;
  QObject::connect(browser, &ZPHWebContentViewController::navigationRefused,
                   [&](const QUrl& url) { refused.append(url); });
  QWidget* input = tab->webView()->focusProxy();
  input->setFocus();
  const auto press = [&](Qt::Key key, const QUrl& refusal, const QString& title) {
    QTest::keyClick(input, key);
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return refused.contains(refusal); }, 10000)) << text(refusal.toString());
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return tab->webView()->title() == title; }, 10000)) << text(title);
  };
  press(Qt::Key_Return, QUrl(QStringLiteral("mailto:bait@example.com")), QStringLiteral("Keys 1"));
  press(Qt::Key_Return, QUrl(QStringLiteral("feed:") + host + QStringLiteral("/bait.xml")), QStringLiteral("Keys 2"));
  press(Qt::Key_Space, server.url(QStringLiteral("/popup")), QStringLiteral("Keys 2"));
  ZPHTestSpinEventLoop(300);
  EXPECT_TRUE(services.links.isEmpty());
  EXPECT_TRUE(services.subscriptions.isEmpty());
  EXPECT_EQ(tabs->numberOfTabs(), 2);
  EXPECT_EQ(requestsFor(QStringLiteral("/popup")), 0);

  // The user moves on with Tab and presses Return: that link is the user's.
  QTest::keyClick(input, Qt::Key_Tab);
  QTest::keyClick(input, Qt::Key_Return);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !services.links.isEmpty(); }, 10000));
  EXPECT_EQ(services.links, (QList<RecordingServices::Link>{{QUrl(QStringLiteral("mailto:chosen@example.com")),
                                                             ZPHAppServices::LinkPlace::MailProgram}}));
  EXPECT_EQ(tab->webView()->url(), server.url(QStringLiteral("/keys")));
}

TEST_F(BrowserWebTest, AWindowThePageOpensOnTheUsersClickIsASelectedTabAndItsCloseGoesBack)
{
  route(QStringLiteral("/opener"),
        "<html><head><title>Opener</title></head><body>"
        "<p><button id=\"address\" onclick=\"window.open('/popup')\">a window of an address</button></p>"
        "<p><button id=\"empty\" onclick=\"var w = window.open(); w.document.title = 'Written';\">an empty "
        "window</button></p>"
        "<p><button id=\"mail\" onclick=\"window.open('mailto:editor@example.com')\">a mail window</button></p>"
        "</body></html>");
  route(QStringLiteral("/popup"),
        "<html><head><title>Popup</title></head><body><p><a id=\"next\" href=\"/next\">next</a></p></body></html>");
  route(QStringLiteral("/next"),
        "<html><head><title>Next</title></head><body>"
        "<p><button id=\"close\" onclick=\"window.close()\">close</button></p></body></html>");
  ZPHBrowserTab* opener = openTab(QStringLiteral("/opener"));
  tabs->selectTabAtIndex(1);

  // window.open(address) on a click: a new tab, selected, showing it.
  click(opener, QStringLiteral("address"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == 3; }, 10000));
  EXPECT_EQ(tabs->selectedTabIndex(), 2);
  ZPHBrowserTab* popup = tabs->browserTabAtIndex(2);
  window->layout()->addWidget(popup->browserViewController()->contentView());
  popup->browserViewController()->contentView()->show();
  ASSERT_TRUE(waitForPage(popup, server.url(QStringLiteral("/popup"))));
  EXPECT_EQ(popup->displayURL(), server.url(QStringLiteral("/popup")).toString());

  // window.open() on a click: an empty tab the opener writes into.
  tabs->selectTabAtIndex(1);
  click(opener, QStringLiteral("empty"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == 4; }, 10000));
  EXPECT_EQ(tabs->selectedTabIndex(), 3);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->browserTabAtIndex(3)->webView()->title() == "Written"; }, 10000));

  // A window of another scheme opens nothing, and hands nothing out.
  tabs->selectTabAtIndex(1);
  QList<QUrl> refused;
  QObject::connect(opener->browserViewController(), &ZPHWebContentViewController::navigationRefused,
                   [&](const QUrl& url) { refused.append(url); });
  click(opener, QStringLiteral("mail"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !refused.isEmpty(); }, 10000));
  EXPECT_EQ(tabs->numberOfTabs(), 4);
  EXPECT_TRUE(services.links.isEmpty());

  // The page's window.close(): back, when the view can go back.
  tabs->selectTabAtIndex(2);
  click(popup, QStringLiteral("next"));
  ASSERT_TRUE(waitForPage(popup, server.url(QStringLiteral("/next"))));
  click(popup, QStringLiteral("close"));
  ASSERT_TRUE(waitForPage(popup, server.url(QStringLiteral("/popup"))));
  EXPECT_EQ(tabs->numberOfTabs(), 4);
}

// A window of a javascript: address runs its script in the new window
// before the engine tells of the window (as an empty one): on the user's
// click too, it opens nothing and runs nothing, however the page asks for
// it. An empty window and one of a web address still open as tabs.
TEST_F(BrowserWebTest, AWindowOfAJavascriptAddressOpensNoTabAndRunsNothing)
{
  route(QStringLiteral("/opener"), R"html(<html><head><title>Opener</title><script>
function trace(name) { return "javascript:opener.document.title = 'Ran " + name + "'; void 0"; }
</script></head><body>
<p><button id="script" onclick="window.open(trace('script'))">script</button></p>
<p><button id="spelled" onclick="window.open(' \tJavaScript:' + trace('spelled').slice(11))">spelled</button></p>
<p><button id="named" onclick="window.open(trace('named'), 'popup', 'width=300')">named</button></p>
<p><button id="document" onclick="document.open(trace('document'), '_blank', '')">document</button></p>
<p><button id="address" onclick="window.open(location.origin + '/popup')">address</button></p>
<p><button id="empty" onclick="window.open('')">empty</button></p>
</body></html>)html");
  route(QStringLiteral("/popup"), "<html><head><title>Popup</title></head><body>popup</body></html>");
  ZPHBrowserTab* opener = openTab(QStringLiteral("/opener"));

  const QUrl popupURL = server.url(QStringLiteral("/popup"));
  const auto tabsShowingPopup = [&] {
    int count = 0;
    for (qsizetype i = 0; i < tabs->numberOfTabs(); ++i) {
      ZPHBrowserTab* tab = tabs->browserTabAtIndex(i);
      count += tab != nullptr && tab->webView() != nullptr && tab->webView()->url() == popupURL ? 1 : 0;
    }
    return count;
  };
  for (const char* id : {"script", "spelled", "named", "document"}) {
    SCOPED_TRACE(id);
    const qsizetype before = tabs->numberOfTabs();
    const int popups = tabsShowingPopup();
    run(opener, QStringLiteral("document.title = 'Opener'"));
    tabs->selectTabAtIndex(1);
    click(opener, QString::fromLatin1(id));
    // A window of a web address after it: once it shows its page, the first
    // click's window would have been told of, and its script run.
    tabs->selectTabAtIndex(1);
    click(opener, QStringLiteral("address"));
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabsShowingPopup() == popups + 1; }, 30000));
    EXPECT_EQ(tabs->numberOfTabs(), before + 1);
    EXPECT_EQ(run(opener, QStringLiteral("document.title")).toString(), QStringLiteral("Opener"));
  }

  // window.open(''): an empty tab, selected, as before.
  const qsizetype before = tabs->numberOfTabs();
  tabs->selectTabAtIndex(1);
  click(opener, QStringLiteral("empty"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->numberOfTabs() == before + 1; }, 10000));
  EXPECT_EQ(tabs->selectedTabIndex(), before);
  const QUrl emptyURL = tabs->browserTabAtIndex(before)->webView()->url();
  EXPECT_TRUE(emptyURL.isEmpty() || emptyURL.scheme() == QLatin1String("about")) << text(emptyURL.toString());
  EXPECT_EQ(opener->webView()->title(), QStringLiteral("Opener"));
}

TEST_F(BrowserWebTest, FindCountsTheMatchesOfThePage)
{
  route(QStringLiteral("/text"),
        "<html><head><title>Text</title></head><body><p>one fox, two fox, three fox</p></body></html>");
  ZPHBrowserTab* tab = openTab(QStringLiteral("/text"));
  ZPHBrowserContentView* view = tab->browserViewController()->contentView();
  // Find Next before the bar ever showed does nothing.
  view->highlightNextSearchResult();
  view->showFindPanelAnimated(false);
  ZPHMacWebViewFindBarViewController* bar = tab->browserViewController()->findBarViewController();
  EXPECT_TRUE(tab->browserViewController()->findBarShown());
  EXPECT_EQ(tab->webView()->geometry(), view->browserFrameWithFindPanel());
  bar->triggerSearchFor(QStringLiteral("fox"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return bar->numberOfMatches() == 3; }, 10000));
  EXPECT_EQ(bar->numberOfMatchesString(), QStringLiteral("3 matches"));
  view->hideFindPanelAnimated(false);
  EXPECT_FALSE(tab->browserViewController()->findBarShown());
  EXPECT_EQ(tab->webView()->geometry(), view->browserFrameWithoutFindPanel());
}

TEST_F(BrowserWebTest, ATypedAddressLoadsAndBackWithoutHistoryShowsTheNewsItems)
{
  route(QStringLiteral("/typed"), "<html><head><title>Typed</title></head><body>typed</body></html>");
  route(QStringLiteral("/start"), "<html><head><title>Start</title></head><body>start</body></html>");
  ZPHBrowserTab* tab = openTab(QStringLiteral("/start"));
  tabs->selectTabAtIndex(1);
  ZPHBrowserViewController* browser = tab->browserViewController();
  // Typed without a scheme, with a port: a host, not a scheme.
  const QString typed = server.url(QStringLiteral("/typed")).toString().mid(QStringLiteral("http://").size());
  browser->addressField()->setText(typed);
  QTest::keyClick(browser->addressField(), Qt::Key_Return);
  ASSERT_TRUE(waitForPage(tab, server.url(QStringLiteral("/typed"))));
  EXPECT_EQ(browser->addressField()->text(), server.url(QStringLiteral("/typed")).toString());
  EXPECT_TRUE(browser->backButton()->isEnabled());
  browser->goBack();
  ASSERT_TRUE(waitForPage(tab, server.url(QStringLiteral("/start"))));
  EXPECT_EQ(tabs->selectedTabIndex(), 1);
  // No history left: back shows the news items.
  browser->goBack();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return tabs->isNewsItemsTabSelected(); }, 5000));
  // A typed feed address subscribes; a typed script loads nothing. Neither
  // becomes the tab's address, shown or stored.
  browser->openSpecifiedURL(QStringLiteral("feed://example.com/typed.xml"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !services.subscriptions.isEmpty(); }, 5000));
  EXPECT_EQ(services.subscriptions, QStringList{QStringLiteral("http://example.com/typed.xml")});
  browser->openSpecifiedURL(QStringLiteral("javascript:document.title='typed'"));
  ZPHTestSpinEventLoop(500);
  EXPECT_EQ(tab->webView()->title(), QStringLiteral("Start"));
  EXPECT_EQ(browser->addressField()->text(), server.url(QStringLiteral("/start")).toString());
  tabs->markTabsAsDirty();
  tabs->saveTabsToDiskIfNeeded();
  EXPECT_EQ(tab->storedTab()->url(), server.url(QStringLiteral("/start")).toString());

  // A new empty tab, a feed address typed: nothing to bring back.
  tabs->openEmptyPageInNewTab();
  ZPHBrowserTab* empty = tabs->currentBrowserTab();
  ASSERT_NE(empty, nullptr);
  empty->browserViewController()->openSpecifiedURL(QStringLiteral("feed://example.com/other.xml"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return services.subscriptions.size() == 2; }, 5000));
  tabs->markTabsAsDirty();
  tabs->saveTabsToDiskIfNeeded();
  EXPECT_TRUE(empty->storedTab()->url().isEmpty()) << text(empty->storedTab()->url());
  EXPECT_TRUE(empty->displayURL().isEmpty()) << text(empty->displayURL());
}

}  // namespace
