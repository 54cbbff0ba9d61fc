// The feed finder against the loopback HTTP(S) server.

#include "feeds/network/CBDownloadOperation.h"
#include "feeds/network/ZPHServerTrustStore.h"
#include "feeds/parsers/CBFeedType.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHErrors.h"
#include "platform/CBOperationController.h"
#include "subscribe/ESHTTPOperation.h"
#include "subscribe/ZPHFeedFinder.h"
#include "subscribe/ZPHFeedFinderHTTPOperation.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestFeedSearch.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray rss(const QByteArray& title)
{
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
         "</title><link>http://example.com/</link><item><title>One</title><guid>1</guid></item></channel></rss>";
}

QByteArray atom(const QByteArray& title)
{
  return "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>" + title +
         "</title><id>urn:x</id><entry><title>One</title><id>urn:1</id></entry></feed>";
}

ZPHTestHTTPResponse respond(const QByteArray& body, const QByteArray& type = "text/html")
{
  return ZPHTestHTTPResponse{200, {{"Content-Type", type}}, body, 0};
}

QByteArray linkTag(const QByteArray& href, const QByteArray& type, const QByteArray& title = {})
{
  QByteArray tag = "<link rel=\"alternate\" type=\"" + type + "\" href=\"" + href + "\"";
  if (!title.isEmpty())
    tag += " title=\"" + title + "\"";
  return tag + ">\n";
}

using Search = ZPHTestFeedSearch;

class FeedFinderTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(server.start()); }

  QStringList paths(const ZPHTestHTTPServer& from) const
  {
    QStringList list;
    for (const ZPHTestHTTPRequest& request : from.requests()) list.append(request.path);
    return list;
  }

  ZPHTestApplicationDelegate delegate;
  ZPHTestHTTPServer server;
};

}  // namespace

TEST_F(FeedFinderTest, AFeedAddressIsFoundAtOnceWithItsOwnTitle)
{
  server.route("/feed.xml",
               [](const ZPHTestHTTPRequest&) { return respond(rss("Loopback News"), "application/rss+xml"); });
  Search search;
  search.start(server.url("/feed.xml"));
  ASSERT_TRUE(search.wait());
  ASSERT_EQ(search.results.size(), 1);
  EXPECT_EQ(search.results[0].URL(), server.url("/feed.xml"));
  EXPECT_EQ(search.results[0].foundTitle(), "Loopback News");
  EXPECT_TRUE(search.results[0].username().isEmpty());
  EXPECT_EQ(server.requests().size(), 1);
  EXPECT_EQ(server.requests()[0].header("User-Agent"), "Zephlin/test");
  EXPECT_EQ(search.finder->feedTypesByOriginalFeedURL().value(server.url("/feed.xml")), int(CBFeedTypeRSS));
  EXPECT_FALSE(search.finder->baseSiteURLAndTitle().has_value());
  EXPECT_FALSE(search.finder->findFeed());  // once only
}

TEST_F(FeedFinderTest, APageWithLinkTagsGivesItsFeedsInOrderWithoutTwinsOrDuplicates)
{
  const QUrl absoluteComments = server.url("/comments.xml");
  server.route("/", [&](const ZPHTestHTTPRequest&) {
    return respond("<html><head><title>  The Loopback\n Site </title>\n" +
                   linkTag("/feed.rss", "application/rss+xml", "Main RSS") +
                   linkTag("feed.atom", "application/atom+xml", "Main Atom") +
                   linkTag(absoluteComments.toEncoded(), "application/rss+xml", "Comments") +
                   linkTag("/podcast.xml", "application/rss+xml", "Podcast") +
                   linkTag("/feed.rss", "application/rss+xml", "Main RSS again") +
                   linkTag("/", "application/rss+xml", "Itself") + "</head><body>hello</body></html>");
  });
  server.route("/feed.rss", [](const ZPHTestHTTPRequest&) { return respond(rss("Main"), "application/rss+xml"); });
  server.route("/feed.atom", [](const ZPHTestHTTPRequest&) { return respond(atom("Main"), "application/atom+xml"); });
  server.route("/comments.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Shared Title")); });
  server.route("/podcast.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Shared Title")); });

  Search search;
  search.start(server.url("/"));
  ASSERT_TRUE(search.wait());
  // The RSS twin of "Main" gives way to the Atom one; two different feeds of one title get their link titles.
  EXPECT_EQ(search.urls(), QStringList({"/feed.atom", "/comments.xml", "/podcast.xml"}));
  EXPECT_EQ(search.titles(), QStringList({"Main", "Shared Title (comments)", "Shared Title (podcast)"}));
  // Each address once, the page itself not again.
  QStringList read = paths(server);
  read.sort();
  EXPECT_EQ(read, QStringList({"/", "/comments.xml", "/feed.atom", "/feed.rss", "/podcast.xml"}));
  ASSERT_TRUE(search.finder->baseSiteURLAndTitle().has_value());
  EXPECT_EQ(search.finder->baseSiteURLAndTitle()->foundTitle(), "The Loopback Site");
  EXPECT_EQ(search.finder->baseSiteURLAndTitle()->URL(), server.url("/"));
}

TEST_F(FeedFinderTest, MetaRefreshesAndXMLRedirectsAreFollowed)
{
  server.route("/refresh", [](const ZPHTestHTTPRequest&) {
    return respond("<html><head><meta http-equiv=\"refresh\" content=\"0; url=/moved/feed.xml\"></head></html>");
  });
  server.route("/moved/feed.xml", [](const ZPHTestHTTPRequest&) { return respond(atom("Moved")); });
  server.route("/old.xml", [](const ZPHTestHTTPRequest&) {
    return respond("<?xml version=\"1.0\"?><redirect><newLocation>/new.xml</newLocation></redirect>", "text/xml");
  });
  server.route("/new.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Relocated")); });

  Search refresh;
  refresh.start(server.url("/refresh"));
  ASSERT_TRUE(refresh.wait());
  EXPECT_EQ(refresh.urls(), QStringList({"/moved/feed.xml"}));
  EXPECT_EQ(refresh.titles(), QStringList({"Moved"}));

  Search redirect;
  redirect.start(server.url("/old.xml"));
  ASSERT_TRUE(redirect.wait());
  EXPECT_EQ(redirect.urls(), QStringList({"/new.xml"}));
}

TEST_F(FeedFinderTest, HTTPRedirectsEndOnTheFeedAndPageAddressesResolveWhereThePageCameFrom)
{
  // A permanent move is where the feed is found; a temporary one is not.
  server.route("/old-feed", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/new-feed", 301); });
  server.route("/new-feed", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/cdn/feed", 302); });
  server.route("/cdn/feed", [](const ZPHTestHTTPRequest&) { return respond(rss("Chained")); });
  Search chain;
  chain.start(server.url("/old-feed"));
  ASSERT_TRUE(chain.wait());
  EXPECT_EQ(chain.urls(), QStringList({"/new-feed"}));

  // The page is served from /site/index.html: its relative link is read from there, and its base element wins
  // over that for the link tags.
  server.route("/start", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/site/index.html"); });
  server.route("/site/index.html", [](const ZPHTestHTTPRequest&) {
    return respond("<html><head>" + linkTag("local.xml", "application/rss+xml") + "</head></html>");
  });
  server.route("/site/local.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Local")); });
  server.route("/based", [](const ZPHTestHTTPRequest&) {
    return respond(
        "<html><head><base href=\"/elsewhere/\">\n<link\n rel=\"alternate\"\n type=\"application/rss+xml\"\n "
        "href=\"feed.xml\"></head></html>");
  });
  server.route("/elsewhere/feed.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Based")); });

  Search served;
  served.start(server.url("/start"));
  ASSERT_TRUE(served.wait());
  EXPECT_EQ(served.urls(), QStringList({"/site/local.xml"}));

  Search based;
  based.start(server.url("/based"));
  ASSERT_TRUE(based.wait());
  EXPECT_EQ(based.urls(), QStringList({"/elsewhere/feed.xml"}));
}

TEST_F(FeedFinderTest, FailuresSayWhy)
{
  server.route("/loop-a", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/loop-b"); });
  server.route("/loop-b", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/loop-a"); });
  server.route("/plain", [](const ZPHTestHTTPRequest&) {
    return respond("<html><head><title>Nothing</title><link rel=stylesheet href=/s.css></head></html>");
  });
  server.route("/image.png", [](const ZPHTestHTTPRequest&) {
    return respond(QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray(64, '\0'), "image/png");
  });
  struct Case {
    QUrl url;
    qint64 code;
    QString text;
    qint64 underlyingCode;  // 0: none
  } cases[] = {
      {server.url("/missing"), ZPHFeedFinderErrorDownloadFailed, ZPHFeedFinder::siteNotAccessibleErrorString(),
       ESHTTPOperationErrorBadStatusCode},
      {server.url("/loop-a"), ZPHFeedFinderErrorDownloadFailed, ZPHFeedFinder::networkErrorString(),
       ZPHURLErrorHTTPTooManyRedirects},
      {server.url("/plain"), ZPHFeedFinderErrorNoFeedFound, ZPHFeedFinder::noFeedFoundErrorString(), 0},
      {server.url("/image.png"), ZPHFeedFinderErrorNoFeedFound, ZPHFeedFinder::noFeedFoundErrorString(), 0},
      {QUrl("http://127.0.0.1:9/closed"), ZPHFeedFinderErrorDownloadFailed,
       ZPHFeedFinder::siteNotAccessibleErrorString(), ZPHURLErrorCannotConnectToHost},
  };
  for (const Case& c : cases) {
    Search search;
    search.start(c.url);
    ASSERT_TRUE(search.wait()) << c.url.toString().toStdString();
    EXPECT_TRUE(search.results.isEmpty());
    EXPECT_EQ(search.error.domain(), ZPHErrors::errorWithCode(0, {}).domain());
    EXPECT_EQ(search.error.code(), c.code) << c.url.toString().toStdString();
    EXPECT_EQ(search.errorText(), c.text) << c.url.toString().toStdString();
    EXPECT_EQ(search.error.value(ZPHUnderlyingErrorKey).value<ZPHError>().code(), c.underlyingCode)
        << c.url.toString().toStdString();
  }
}

TEST_F(FeedFinderTest, OnlyWebAddressesAreRead)
{
  server.route("/page", [](const ZPHTestHTTPRequest&) {
    return respond("<html><head>" + linkTag("file:///etc/passwd", "application/rss+xml") +
                   linkTag("javascript:alert(1)", "application/rss+xml") +
                   linkTag("data:text/plain,hello", "application/rss+xml") +
                   "<meta http-equiv=refresh content=\"0; url=mailto:someone@example.com\"></head></html>");
  });
  Search page;
  page.start(server.url("/page"));
  ASSERT_TRUE(page.wait());
  EXPECT_EQ(page.error.code(), ZPHFeedFinderErrorNoFeedFound);
  EXPECT_EQ(paths(server), QStringList({"/page"}));

  for (const char* address : {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,x", "ftp://127.0.0.1/"}) {
    Search refused;
    refused.start(QUrl(QString::fromLatin1(address)));
    ASSERT_TRUE(refused.wait()) << address;
    EXPECT_EQ(refused.error.code(), ZPHFeedFinderErrorDownloadFailed) << address;
    EXPECT_EQ(refused.errorText(), ZPHFeedFinder::notAWebAddressErrorString()) << address;
  }

  // A feed: address stands for its web address.
  server.route("/feed.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Feed Scheme")); });
  QUrl feedScheme = server.url("/feed.xml");
  feedScheme.setScheme(QStringLiteral("feed"));
  Search unwrapped;
  unwrapped.start(feedScheme);
  ASSERT_TRUE(unwrapped.wait());
  EXPECT_EQ(unwrapped.urls(), QStringList({"/feed.xml"}));
}

TEST_F(FeedFinderTest, TheCrawlStopsAtItsBounds)
{
  // An endless chain of distinct pages: followed three steps deep, then the search ends.
  server.route("/chain", [](const ZPHTestHTTPRequest& request) {
    const int step = request.query.toInt();
    return respond("<meta http-equiv=\"refresh\" content=\"0; url=/chain?" + QByteArray::number(step + 1) + "\">");
  });
  Search chain;
  chain.start(server.url("/chain?0"));
  ASSERT_TRUE(chain.wait());
  EXPECT_EQ(chain.error.code(), ZPHFeedFinderErrorNoFeedFound);
  EXPECT_EQ(server.requests().size(), ZPHFeedFinder::MaximumSearchDepth + 1);

  // A page with a hundred feed links: at most thirty addresses are read.
  server.route("/many", [](const ZPHTestHTTPRequest&) {
    QByteArray page;
    for (int i = 0; i < 100; ++i)
      page += linkTag("/f?" + QByteArray::number(i), "application/rss+xml", "Feed " + QByteArray::number(i));
    return respond(page);
  });
  server.route("/f", [](const ZPHTestHTTPRequest& request) { return respond(rss("Feed " + request.query.toUtf8())); });
  const qsizetype before = server.requests().size();
  Search many;
  many.start(server.url("/many"));
  ASSERT_TRUE(many.wait());
  EXPECT_EQ(server.requests().size() - before, ZPHFeedFinder::MaximumPagesPerSearch);
  EXPECT_EQ(many.results.size(), ZPHFeedFinder::MaximumPagesPerSearch - 1);
  EXPECT_EQ(many.results.first().foundTitle(), "Feed 0");
}

TEST_F(FeedFinderTest, ALoginIsAskedWithATokenAndReachesOnlyTheSearchThatAsked)
{
  // Two servers want a login at once; the answerer logs in to the first and cancels the second.
  ZPHTestHTTPServer other;
  ASSERT_TRUE(other.start());
  const QByteArray good = ZPHTestHTTPResponse::basicAuthorization("reader", "s3cret");
  server.route("/private", [good](const ZPHTestHTTPRequest& request) {
    if (request.header("Authorization") != good)
      return ZPHTestHTTPResponse::basicChallenge("first");
    return respond("<html>" + linkTag("/private/feed.xml", "application/rss+xml") + "</html>");
  });
  server.route("/private/feed.xml", [good](const ZPHTestHTTPRequest& request) {
    return request.header("Authorization") == good ? respond(rss("Members Only"))
                                                   : ZPHTestHTTPResponse::basicChallenge("first");
  });
  other.route("/private", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::basicChallenge("second"); });

  QList<ZPHNotification> questions;
  ZPHObserverToken answerer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification, {},
      [&](const ZPHNotification& question) { questions.append(question); });

  Search first;
  Search second;
  first.start(server.url("/private"));
  second.start(other.url("/private"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return questions.size() == 2; }));
  for (const ZPHNotification& question : questions) {
    const QString token = question.userInfo.value(ZPHFeedFinderAuthenticationTokenKey).toString();
    EXPECT_EQ(question.object.toString(), token);
    if (question.userInfo.value(CBURLKey).toUrl() == server.url("/private"))
      ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(token, ZPHCredentialsResult("reader", "s3cret"));
  }
  // An answer without the right token is no answer.
  ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(QStringLiteral("made-up"), ZPHCredentialsResult("reader", "s3cret"));
  ASSERT_TRUE(first.wait());
  ASSERT_EQ(first.results.size(), 1);
  EXPECT_EQ(first.results[0].foundTitle(), "Members Only");
  // The feed was reached with the login, which goes with it into the subscription.
  EXPECT_EQ(first.results[0].username(), "reader");
  EXPECT_EQ(first.results[0].password(), "s3cret");
  // The second search still waits for its own answer, and has never seen the password.
  EXPECT_EQ(second.calls, 0);
  for (const ZPHTestHTTPRequest& request : other.requests()) EXPECT_TRUE(request.header("Authorization").isEmpty());

  const QString secondToken = questions[0].userInfo.value(CBURLKey).toUrl() == other.url("/private")
                                  ? questions[0].object.toString()
                                  : questions[1].object.toString();
  ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(secondToken, ZPHCredentialsResult::cancelled());
  ASSERT_TRUE(second.wait());
  EXPECT_EQ(second.error.code(), ZPHFeedFinderErrorDownloadFailed);
  EXPECT_EQ(second.errorText(), ZPHFeedFinder::authenticationErrorString());
  EXPECT_EQ(questions.size(), 2);
}

TEST_F(FeedFinderTest, ASearchWithoutAnAnswererFailsInsteadOfWaiting)
{
  server.route("/private", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::basicChallenge(); });
  Search search;
  search.start(server.url("/private"), false);
  ASSERT_TRUE(search.wait(10000));
  EXPECT_EQ(search.errorText(), ZPHFeedFinder::authenticationErrorString());
}

TEST_F(FeedFinderTest, ASelfSignedCertificateIsTrustedOnlyWhenValidForTheHostAndOnlyForIt)
{
  ZPHServerTrustStore::sharedStore().removeAllTrustedCertificates();
  struct Site {
    const char* certificate = nullptr;
    ZPHTestHTTPServer server;
  } sites[3];
  sites[0].certificate = "tls/localhost";
  sites[1].certificate = "tls/expired";
  sites[2].certificate = "tls/wrong-host";
  for (Site& site : sites) {
    const QString name = QString::fromLatin1(site.certificate);
    ASSERT_TRUE(site.server.startTls(ZPHTestFixture(name + ".crt"), ZPHTestFixture(name + ".key")));
    site.server.route("/feed.xml", [](const ZPHTestHTTPRequest&) { return respond(rss("Behind TLS")); });
  }

  QList<ZPHNotification> questions;
  ZPHObserverToken answerer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification, {}, [&](const ZPHNotification& question) {
        questions.append(question);
        ZPHFeedFinderHTTPOperation::postSelfSignedCertAnswer(question.object.toString(), true);
      });

  // Expired, and valid for another host: refused without a question.
  for (Site* site : {&sites[1], &sites[2]}) {
    Search refused;
    refused.start(site->server.url("/feed.xml"));
    ASSERT_TRUE(refused.wait()) << site->certificate;
    EXPECT_EQ(refused.error.code(), ZPHFeedFinderErrorDownloadFailed) << site->certificate;
    EXPECT_EQ(refused.errorText(), ZPHFeedFinder::untrustedCertificateErrorString()) << site->certificate;
    EXPECT_TRUE(site->server.requests().isEmpty());
  }
  EXPECT_TRUE(questions.isEmpty());

  // Self-signed and valid for 127.0.0.1: asked once, trusted, found.
  Search trusted;
  trusted.start(sites[0].server.url("/feed.xml"));
  ASSERT_TRUE(trusted.wait());
  ASSERT_EQ(trusted.results.size(), 1) << trusted.error.toString().toStdString();
  ASSERT_EQ(questions.size(), 1);
  EXPECT_EQ(questions[0].userInfo.value(ZPHFeedFinderSelfSignedCertSummaryKey).toString(), "127.0.0.1");
  EXPECT_FALSE(questions[0].userInfo.value(ZPHFeedFinderSelfSignedCertificateKey).value<QSslCertificate>().isNull());

  // Later downloads reach that server without a question; the same certificate on another host name does not.
  CBOperationController controller;
  auto again = std::make_shared<CBDownloadOperation>(sites[0].server.url("/feed.xml"));
  QUrl otherHost = sites[0].server.url("/feed.xml");
  otherHost.setHost(QStringLiteral("localhost"));
  auto elsewhere = std::make_shared<CBDownloadOperation>(otherHost);
  controller.addOperation(again);
  controller.addOperation(elsewhere);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return again->isFinished() && elsewhere->isFinished(); }, 30000));
  EXPECT_TRUE(again->okResponse()) << again->error().toString().toStdString();
  EXPECT_EQ(again->responseBody(), rss("Behind TLS"));
  EXPECT_FALSE(elsewhere->okResponse());
  EXPECT_EQ(elsewhere->didFailErrorCode(), ZPHURLErrorServerCertificateUntrusted);
  EXPECT_EQ(questions.size(), 1);
  ZPHServerTrustStore::sharedStore().removeAllTrustedCertificates();
}

TEST_F(FeedFinderTest, ARefusedCertificateEndsTheSearchWithTheAuthenticationText)
{
  ZPHServerTrustStore::sharedStore().removeAllTrustedCertificates();
  ZPHTestHTTPServer tls;
  ASSERT_TRUE(tls.startTls(ZPHTestFixture("tls/localhost.crt"), ZPHTestFixture("tls/localhost.key")));
  ZPHObserverToken answerer = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification, {}, [&](const ZPHNotification& question) {
        ZPHFeedFinderHTTPOperation::postSelfSignedCertAnswer(question.object.toString(), false);
      });
  Search search;
  search.start(tls.url("/feed.xml"));
  ASSERT_TRUE(search.wait());
  EXPECT_EQ(search.errorText(), ZPHFeedFinder::authenticationErrorString());
  EXPECT_FALSE(ZPHServerTrustStore::sharedStore().acceptsErrors(
      tls.url("/"), {QSslError(QSslError::SelfSignedCertificate,
                               QSslCertificate::fromData(ZPHTestFixture("tls/localhost.crt")).value(0))}));
}

TEST_F(FeedFinderTest, ACancelledSearchTellsNobody)
{
  server.route("/slow", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = respond(rss("Late"));
    response.delayBeforeBodyMs = 1000;
    return response;
  });
  int notifications = 0;
  ZPHObserverToken success = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderDidSuccessfullyFindFeedNotification, {}, [&](const ZPHNotification&) { ++notifications; });
  ZPHObserverToken failure = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderDidFailToFindFeedNotification, {}, [&](const ZPHNotification&) { ++notifications; });
  Search search;
  search.start(server.url("/slow"));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !server.requests().isEmpty(); }));
  search.finder->cancel();
  EXPECT_TRUE(search.finder->isCanceled());
  EXPECT_EQ(search.finder->delegate(), nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return search.finder->operationsWaitingCount() == 0; }));
  ZPHTestSpinEventLoop(100);
  EXPECT_EQ(search.calls, 0);
  EXPECT_EQ(notifications, 0);

  // An uncancelled one posts after the delegate heard.
  server.route("/quick", [](const ZPHTestHTTPRequest&) { return respond(rss("Quick")); });
  Search quick;
  quick.start(server.url("/quick"));
  ASSERT_TRUE(quick.wait());
  EXPECT_EQ(notifications, 1);
}

TEST_F(FeedFinderTest, ALoginWrittenIntoTheAddressGoesWithTheResultNotInItsAddress)
{
  const QByteArray good = ZPHTestHTTPResponse::basicAuthorization("reader", "s3cret");
  server.route("/private.xml", [good](const ZPHTestHTTPRequest& request) {
    return request.header("Authorization") == good ? respond(rss("Members Only"))
                                                   : ZPHTestHTTPResponse::basicChallenge();
  });
  QUrl address = server.url("/private.xml");
  address.setUserName(QStringLiteral("reader"));
  address.setPassword(QStringLiteral("s3cret"));
  Search search;
  search.start(address, false);
  ASSERT_TRUE(search.wait());
  ASSERT_EQ(search.results.size(), 1) << search.error.toString().toStdString();
  EXPECT_EQ(search.results[0].URL(), server.url("/private.xml"));
  EXPECT_EQ(search.results[0].username(), "reader");
  EXPECT_EQ(search.results[0].password(), "s3cret");
}
