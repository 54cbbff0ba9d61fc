#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBKeychain.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHFilePasswordStore.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperationQueue.h"
#include "store/CBDataController.h"
#include "store/entities/ArticleMetadata.h"
#include "store/entities/CBDataArticle.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestApplicationDelegate.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QElapsedTimer>
#include <QtCore/QMutex>
#include <QtCore/QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

struct Item {
  QString guid;  // empty: no <guid>
  QString title;
  QString link;
  QString date;  // RFC 822
};

QByteArray rss(const QList<Item>& items, bool truncated = false)
{
  QByteArray xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
      "<title>Loopback</title><link>http://127.0.0.1/</link>\n";
  for (const Item& item : items) {
    xml += "<item>";
    if (!item.guid.isEmpty())
      xml += "<guid isPermaLink=\"false\">" + item.guid.toUtf8() + "</guid>";
    xml += "<title>" + item.title.toUtf8() + "</title><link>" + item.link.toUtf8() + "</link><pubDate>" +
           item.date.toUtf8() + "</pubDate><description>About " + item.title.toUtf8() + "</description></item>\n";
  }
  if (truncated)
    return xml + "<item><title>Broken";
  return xml + "</channel></rss>\n";
}

const QString Mon = QStringLiteral("Mon, 04 Mar 2024 10:00:00 GMT");
const QString Tue = QStringLiteral("Tue, 05 Mar 2024 10:00:00 GMT");
const QString Wed = QStringLiteral("Wed, 06 Mar 2024 10:00:00 GMT");

// The loopback server serving /feed.xml as the test says, a real store with
// the feed, and the feed metadata database in the delegate's cache folder.
class RefreshFeedOperationTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    feedURL = server.url(QStringLiteral("/feed.xml"));
    delegate.useDataController(&controller);
    ZPHError error;
    ASSERT_TRUE(controller.setupCoreDataStackWithClass({}, true, &error)) << error.toString().toStdString();
    main = delegate.mainThreadManagedObjectContext();
    CBFeed* feed = CBFeed::insertFeedWithURL(feedURL, main);
    feed->setGuid(QStringLiteral("feed-guid"));
    ASSERT_TRUE(main->save());
    cache = CBLocalAccountFeedMetadataCache::makeCache();
    ASSERT_TRUE(cache);
    queue.setMaxConcurrentOperationCount(8);
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHFeedRefreshArticleSavingCompleteNotification, {}, [this](const ZPHNotification&) { ++savingComplete; }));
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHFeedRefreshArticlesUpdatedNotification, {}, [this](const ZPHNotification&) { ++articlesUpdated; }));
  }

  void TearDown() override
  {
    queue.waitUntilAllOperationsAreFinished();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations() && !cache->hasOperations(); }));
    cache->waitUntilAllOperationsAreFinished();
  }

  void serve(int status, const QByteArray& body, const ZPHTestHTTPHeaders& headers = {})
  {
    server.route(QStringLiteral("/feed.xml"), [=](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.status = status;
      response.body = body;
      response.headers = headers;
      return response;
    });
  }

  // One refresh, waited for until its articles are in the main context and
  // its metadata writes are done.
  ZPHError refresh(const std::function<void(ZPHRefreshFeedOperation&)>& prepare = {})
  {
    auto operation = std::make_shared<ZPHRefreshFeedOperation>(feedURL);
    operation->setFeedMetadataCache(cache);
    if (prepare)
      prepare(*operation);
    const int savedBefore = savingComplete.load();
    const int updatedBefore = articlesUpdated.load();
    queue.addOperation(operation);
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return operation->isFinished(); }, 30000));
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !controller.coreDataQueueHasOperations(); }, 30000));
    // The saver's end reaches the main thread after the store queue emptied;
    // a marker queued now runs after everything posted before it.
    std::atomic<bool> marker{false};
    ZPHMainThread::async([&] { marker = true; });
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return marker.load(); }));
    if (articlesUpdated.load() > updatedBefore) {
      EXPECT_TRUE(ZPHTestWaitUntil([&] { return savingComplete.load() > savedBefore; }));
    }
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return !cache->hasOperations(); }));
    lastOperation = operation;
    return operation->refreshError();
  }

  QList<CBDataArticle*> articles() { return CBDataArticle::articlesForFeedWithURL(feedURL, main); }

  CBDataArticle* articleTitled(const QString& title)
  {
    for (CBDataArticle* article : articles())
      if (article->title() == title)
        return article;
    return nullptr;
  }

  void setState(const QString& title, bool read, bool flagged)
  {
    CBDataArticle* article = articleTitled(title);
    ASSERT_NE(article, nullptr) << title.toStdString();
    ASSERT_NE(article->metadata(), nullptr);
    article->metadata()->setRead(read);
    article->metadata()->setFlagged(flagged);
    ASSERT_TRUE(main->save());
  }

  QByteArray lastRequestHeader(const QByteArray& name) const { return server.requests().last().header(name); }

  ZPHTestHTTPServer server;
  QUrl feedURL;
  ZPHTestApplicationDelegate delegate;
  CBDataController controller;
  ZPHManagedObjectContext* main = nullptr;
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache;
  ZPHOperationQueue queue{QStringLiteral("refresh queue")};
  std::vector<ZPHObserverToken> observers;
  std::atomic<int> savingComplete{0};
  std::atomic<int> articlesUpdated{0};
  std::shared_ptr<ZPHRefreshFeedOperation> lastOperation;
};

TEST_F(RefreshFeedOperationTest, FirstRefreshStoresArticlesAndAnUnchangedFeedChangesNothing)
{
  const QByteArray body =
      rss({{"a", "Alpha", "http://example.com/a", Mon}, {"b", "Beta", "http://example.com/b", Tue}});
  serve(200, body, {{"ETag", "\"v1\""}, {"Last-Modified", "Mon, 04 Mar 2024 10:00:00 GMT"}});
  EXPECT_TRUE(refresh().isNull());
  ASSERT_EQ(articles().size(), 2);
  EXPECT_FALSE(articleTitled(QStringLiteral("Alpha"))->read());
  EXPECT_EQ(articlesUpdated.load(), 1);
  ASSERT_TRUE(cache->conditionalGetInfoForFeedURL(feedURL).has_value());
  EXPECT_EQ(cache->conditionalGetInfoForFeedURL(feedURL)->httpResponseEtag(), QStringLiteral("\"v1\""));
  EXPECT_FALSE(cache->contentHashForFeedURL(feedURL).isEmpty());
  EXPECT_TRUE(server.requests().last().header("If-None-Match").isNull());

  // 304 to a conditional GET, then 200 with the same bytes: no saver runs.
  serve(304, {});
  EXPECT_TRUE(refresh().isNull());
  EXPECT_EQ(lastRequestHeader("If-None-Match"), QByteArray("\"v1\""));
  EXPECT_EQ(lastRequestHeader("If-Modified-Since"), QByteArray("Mon, 04 Mar 2024 10:00:00 GMT"));
  serve(200, body, {{"ETag", "\"v1\""}, {"Last-Modified", "Mon, 04 Mar 2024 10:00:00 GMT"}});
  EXPECT_TRUE(refresh().isNull());
  EXPECT_EQ(articlesUpdated.load(), 1);
  EXPECT_EQ(articles().size(), 2);
  // The unchanged body under the same validators left the stored values alone.
  EXPECT_EQ(cache->conditionalGetInfoForFeedURL(feedURL)->httpResponseLastModified(),
            QStringLiteral("Mon, 04 Mar 2024 10:00:00 GMT"));

  // An empty 200 body is not modified either.
  serve(200, {});
  EXPECT_TRUE(refresh().isNull());
  EXPECT_EQ(articlesUpdated.load(), 1);
}

TEST_F(RefreshFeedOperationTest, AResponseWithoutConditionalHeadersLeadsToNoEmptyOnes)
{
  serve(200, rss({{"a", "Alpha", "http://example.com/a", Mon}}));
  EXPECT_TRUE(refresh().isNull());
  serve(200, rss({{"a", "Alpha 2", "http://example.com/a", Mon}}));
  EXPECT_TRUE(refresh().isNull());
  EXPECT_TRUE(lastRequestHeader("If-None-Match").isNull());
  EXPECT_TRUE(lastRequestHeader("If-Modified-Since").isNull());
  EXPECT_NE(articleTitled(QStringLiteral("Alpha 2")), nullptr);
}

TEST_F(RefreshFeedOperationTest, AChangedFeedUpdatesInPlaceKeepingReadAndBookmarkState)
{
  serve(200, rss({{"a", "Alpha", "http://example.com/a", Mon},
                  {"", "Beta", "http://example.com/b", Tue},
                  {"c", "Gamma", "http://example.com/c", Wed},
                  {"e", "Epsilon", "http://example.com/e", Wed}}));
  ASSERT_TRUE(refresh().isNull());
  ASSERT_EQ(articles().size(), 4);
  const ZPHManagedObjectID alpha = articleTitled(QStringLiteral("Alpha"))->objectID();
  const ZPHManagedObjectID beta = articleTitled(QStringLiteral("Beta"))->objectID();
  setState(QStringLiteral("Alpha"), true, false);
  setState(QStringLiteral("Beta"), true, true);
  setState(QStringLiteral("Epsilon"), true, false);

  // Alpha keeps its guid, Beta (no guid) its link and date; Gamma (unread)
  // and Epsilon (read) leave; Delta is new.
  serve(200, rss({{"a", "Alpha changed", "http://example.com/a2", Mon},
                  {"", "Beta changed", "http://example.com/b", Tue},
                  {"d", "Delta", "http://example.com/d", Wed}}));
  ASSERT_TRUE(refresh().isNull());
  CBDataArticle* alphaChanged = articleTitled(QStringLiteral("Alpha changed"));
  CBDataArticle* betaChanged = articleTitled(QStringLiteral("Beta changed"));
  CBDataArticle* delta = articleTitled(QStringLiteral("Delta"));
  ASSERT_NE(alphaChanged, nullptr);
  ASSERT_NE(betaChanged, nullptr);
  ASSERT_NE(delta, nullptr);
  EXPECT_EQ(alphaChanged->objectID(), alpha);
  EXPECT_TRUE(alphaChanged->read());
  EXPECT_EQ(betaChanged->objectID(), beta);
  EXPECT_TRUE(betaChanged->read());
  EXPECT_TRUE(betaChanged->flagged());
  EXPECT_FALSE(delta->read());
  EXPECT_NE(articleTitled(QStringLiteral("Gamma")), nullptr);
  EXPECT_EQ(articleTitled(QStringLiteral("Epsilon")), nullptr);  // marked for deletion
  EXPECT_EQ(articles().size(), 4);
}

TEST_F(RefreshFeedOperationTest, AReadArticleThatLeavesAndComesBackIsReadAgain)
{
  const QByteArray withX =
      rss({{"x", "Xi", "http://example.com/x", Mon}, {"y", "Ypsilon", "http://example.com/y", Tue}});
  serve(200, withX);
  ASSERT_TRUE(refresh().isNull());
  setState(QStringLiteral("Xi"), true, false);

  // A feed that breaks off after Ypsilon: Xi stays, the error is code 1.
  serve(200, rss({{"y", "Ypsilon", "http://example.com/y", Tue}}, true));
  const ZPHError broken = refresh();
  EXPECT_EQ(broken.domain(), ZPHRefreshFeedOperationErrorDomain);
  EXPECT_EQ(broken.code(), ZPHRefreshFeedOperationErrorParse);
  ASSERT_NE(articleTitled(QStringLiteral("Xi")), nullptr);

  serve(200, rss({{"y", "Ypsilon", "http://example.com/y", Tue}}));
  ASSERT_TRUE(refresh().isNull());
  ASSERT_EQ(articleTitled(QStringLiteral("Xi")), nullptr);
  // The clean-up deletes the marked article; its metadata stays.
  QList<CBDataArticle*> marked;
  for (ZPHManagedObject* object : main->executeFetchRequest(ZPHFetchRequest(QStringLiteral("Article"))))
    if (static_cast<CBDataArticle*>(object)->markedForDeletion())
      marked.append(static_cast<CBDataArticle*>(object));
  ASSERT_EQ(marked.size(), 1);
  CBDataArticle::deleteArticles(marked, false, main);
  ASSERT_TRUE(main->save());

  serve(200, rss({{"x2", "Xi again", "http://example.com/x", Wed}, {"y", "Ypsilon", "http://example.com/y", Tue}}));
  ASSERT_TRUE(refresh().isNull());
  CBDataArticle* back = articleTitled(QStringLiteral("Xi again"));
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->read());
  EXPECT_FALSE(articleTitled(QStringLiteral("Ypsilon"))->read());
}

TEST_F(RefreshFeedOperationTest, FailuresGiveTheirErrorCodeAndText)
{
  const ZPHTestClosedPort closedPort;
  ASSERT_NE(closedPort.port(), 0);
  struct Case {
    const char* name;
    int status;
    QByteArray body;
    bool refused;
    qint64 code;
    const char* description;
    const char* suggestion;
  };
  const Case cases[] = {
      {"404", 404, "gone", false, ZPHRefreshFeedOperationErrorPageNotFound, "Not Found",
       "“#{FEED_DISPLAY_NAME}” has removed or changed the address Zephlin was looking for. Select “Attempt to Fix” "
       "to have Zephlin try to sort this out automatically."},
      {"410", 410, "gone", false, ZPHRefreshFeedOperationErrorGone, "Not Found",
       "“#{FEED_DISPLAY_NAME}” has removed the address Zephlin was looking for. The site can no longer be updated. "
       "You can check the website to see if something changed."},
      {"refused",
       0,
       {},
       true,
       ZPHRefreshFeedOperationErrorCannotConnect,
       "Not Found",
       "“#{FEED_DISPLAY_NAME}” isn’t responding. It may be temporarily down. Give it some time and try again."},
      {"500", 500, "oops", false, ZPHRefreshFeedOperationErrorNotResponding, "Not Found",
       "“#{FEED_DISPLAY_NAME}” isn’t responding. It may be temporarily down. Give it some time and try again."},
      {"html", 200, ZPHTestFixture(QStringLiteral("feeds/html-page.html")), false, ZPHRefreshFeedOperationErrorNotAFeed,
       "Problem refreshing “#{FEED_DISPLAY_NAME}”", "This site isn’t set up in a way that Zephlin understands."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    serve(c.status, c.body);
    const ZPHError error = refresh([&](ZPHRefreshFeedOperation& operation) {
      if (c.refused)
        operation.setUrl(closedPort.url(QStringLiteral("/feed.xml")));
    });
    EXPECT_EQ(error.domain(), ZPHRefreshFeedOperationErrorDomain);
    EXPECT_EQ(error.code(), c.code);
    EXPECT_EQ(error.localizedDescription(), QString::fromUtf8(c.description));
    EXPECT_EQ(error.localizedRecoverySuggestion(), QString::fromUtf8(c.suggestion));
  }
  EXPECT_EQ(articlesUpdated.load(), 0);
  EXPECT_TRUE(cache->contentHashForFeedURL(feedURL).isNull());
  EXPECT_EQ(ZPHRefreshFeedOperation::refreshErrorWithCode(ZPHRefreshFeedOperationErrorPageNotFound)
                .localizedRecoveryOptions()
                .value(ZPHRefreshFeedOperationPageNotFoundErrorRecoveryIndex),
            QStringLiteral("Attempt to Fix"));
}

// Answers the login request as a user would, through the notifications.
class ScriptedAnswerer {
public:
  ScriptedAnswerer()
  {
    m_token = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHFeedRefreshChallengeReceivedNotification, {}, [this](const ZPHNotification& notification) {
          ++asked;
          QVariantMap userInfo = notification.userInfo;
          userInfo.insert(ZPHAuthenticationUsernameKey, username);
          userInfo.insert(ZPHAuthenticationPasswordKey, password);
          userInfo.insert(ZPHAuthenticationUserCancelKey, cancel);
          const QVariant object = notification.object;
          ZPHMainThread::async([object, userInfo] {
            ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshChallengeCredentialsReadyNotification, object,
                                                        userInfo);
          });
        });
  }
  QString username;
  QString password;
  bool cancel = false;
  std::atomic<int> asked{0};

private:
  ZPHObserverToken m_token;
};

// The feed with article "Alpha", only for the login reader / secret.
void serveBehindLogin(ZPHTestHTTPServer& server)
{
  const QByteArray body = rss({{"a", "Alpha", "http://example.com/a", Mon}});
  server.route(QStringLiteral("/feed.xml"), [body](const ZPHTestHTTPRequest& request) {
    if (request.header("Authorization") != ZPHTestHTTPResponse::basicAuthorization("reader", "secret"))
      return ZPHTestHTTPResponse::basicChallenge();
    ZPHTestHTTPResponse response;
    response.body = body;
    return response;
  });
}

TEST_F(RefreshFeedOperationTest, LoginWithStoredCredentialsOrTheUsersAnswer)
{
  serveBehindLogin(server);
  ScriptedAnswerer user;
  struct Case {
    const char* name;
    const char* storedUser;
    const char* storedPassword;
    const char* answerUser;
    const char* answerPassword;
    bool cancel;
    int asked;    // login requests to the user
    qint64 code;  // -1: no error
  };
  const Case cases[] = {
      {"stored credentials", "reader", "secret", "", "", false, 0, -1},
      {"none stored, user answers", "", "", "reader", "secret", false, 1, -1},
      {"none stored, user cancels", "", "", "", "", true, 1, ZPHRefreshFeedOperationErrorLoginRequired},
      {"wrong stored, user answers", "reader", "wrong", "reader", "secret", false, 1, -1},
      {"wrong stored, user cancels", "reader", "wrong", "", "", true, 1, ZPHRefreshFeedOperationErrorLoginRequired},
      // Five answers in all, then the challenge is cancelled.
      {"wrong every time", "reader", "wrong", "reader", "still wrong", false, 5,
       ZPHRefreshFeedOperationErrorLoginRejected},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    user.username = QString::fromUtf8(c.answerUser);
    user.password = QString::fromUtf8(c.answerPassword);
    user.cancel = c.cancel;
    user.asked = 0;
    const ZPHError error = refresh([&](ZPHRefreshFeedOperation& operation) {
      operation.setUsername(QString::fromUtf8(c.storedUser));
      operation.setPassword(QString::fromUtf8(c.storedPassword));
    });
    EXPECT_EQ(user.asked.load(), c.asked);
    if (c.code < 0) {
      EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
    } else {
      EXPECT_EQ(error.code(), c.code) << error.toString().toStdString();
      EXPECT_EQ(error.localizedDescription(), QStringLiteral("Login Error"));
      EXPECT_EQ(error.localizedRecoveryOptions(), (QStringList{"OK", "Log In"}));
    }
  }
  EXPECT_NE(articleTitled(QStringLiteral("Alpha")), nullptr);

  // A user name without a password: the keychain's password, before asking.
  ZPHTestTempDir keychainFolder;
  ZPHPasswordStore::setDefaultStore(std::make_shared<ZPHFilePasswordStore>(keychainFolder.path()));
  ASSERT_TRUE(CBKeychainStoreInternetPassword(feedURL, QStringLiteral("reader"), QStringLiteral("secret")));
  user.asked = 0;
  const ZPHError error = refresh([](ZPHRefreshFeedOperation& operation) { operation.setUsername("reader"); });
  ZPHPasswordStore::setDefaultStore(nullptr);
  EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
  EXPECT_EQ(user.asked.load(), 0);
  EXPECT_EQ(lastOperation->password(), QStringLiteral("secret"));
}

// Answers for the same address that belong to other questions (another
// refresh of it, the login recovery, a question asked before) are not this
// question's: only the one carrying its token is taken.
TEST_F(RefreshFeedOperationTest, OnlyTheAnswerToItsOwnQuestionCounts)
{
  serveBehindLogin(server);
  std::atomic<int> asked{0};
  observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedRefreshChallengeReceivedNotification, {}, [&](const ZPHNotification& question) {
        ++asked;
        EXPECT_FALSE(question.userInfo.value(ZPHFeedRefreshChallengeTokenKey).toString().isEmpty());
        const QVariant object = question.object;
        QVariantMap foreign{{CBURLKey, object}};
        QVariantMap stale = question.userInfo;
        stale.insert(ZPHFeedRefreshChallengeTokenKey, QStringLiteral("an earlier question"));
        QVariantMap own = question.userInfo;
        own.insert(ZPHAuthenticationUsernameKey, QStringLiteral("reader"));
        own.insert(ZPHAuthenticationPasswordKey, QStringLiteral("secret"));
        own.insert(ZPHAuthenticationUserCancelKey, false);
        ZPHMainThread::async([object, foreign, stale, own] {
          ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
          for (QVariantMap other : {foreign, stale}) {
            other.insert(ZPHAuthenticationUserCancelKey, true);
            center.post(ZPHFeedRefreshChallengeCredentialsReadyNotification, object, other);
          }
          center.post(ZPHFeedRefreshChallengeCredentialsReadyNotification, object, own);
        });
      }));
  const ZPHError error = refresh();
  EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
  EXPECT_EQ(asked.load(), 1);
  EXPECT_EQ(lastOperation->username(), QStringLiteral("reader"));
  EXPECT_NE(articleTitled(QStringLiteral("Alpha")), nullptr);
}

TEST_F(RefreshFeedOperationTest, AParsedBodyCountsAsSeenOnlyOnceItsArticlesWereSaved)
{
  const QByteArray body = rss({{"a", "Alpha", "http://example.com/a", Mon}});
  serve(200, body, {{"ETag", "\"v1\""}});
  // The store queue drops the saver while the application quits.
  delegate.shuttingDown = true;
  EXPECT_TRUE(refresh().isNull());
  delegate.shuttingDown = false;
  EXPECT_TRUE(articles().isEmpty());
  EXPECT_TRUE(cache->contentHashForFeedURL(feedURL).isNull());
  EXPECT_FALSE(cache->conditionalGetInfoForFeedURL(feedURL).has_value());

  // The same bytes again are parsed and saved.
  EXPECT_TRUE(refresh().isNull());
  EXPECT_TRUE(lastRequestHeader("If-None-Match").isNull());
  EXPECT_NE(articleTitled(QStringLiteral("Alpha")), nullptr);
  EXPECT_FALSE(cache->contentHashForFeedURL(feedURL).isEmpty());
}

TEST_F(RefreshFeedOperationTest, ABodyWhoseTransferFailedIsNeitherParsedNorRemembered)
{
  const QByteArray body = rss({{"a", "Alpha", "http://example.com/a", Mon},
                               {"b", "Beta", "http://example.com/b", Tue},
                               {"c", "Gamma", "http://example.com/c", Wed}});
  struct Case {
    const char* name;
    qsizetype closeAfter;
    int trickleMs;
    qint64 maximumBodySize;
    qint64 underlyingCode;
  };
  const Case cases[] = {
      {"closed mid-body", body.size() / 2, 0, 0, ZPHURLErrorNetworkConnectionLost},
      {"trickling past the deadline", -1, 50, 0, ZPHURLErrorTimedOut},
      {"over the limit", -1, 0, 64, CBDownloadOperationErrorBodyTooLarge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.route(QStringLiteral("/feed.xml"), [&](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.body = body;
      response.headers = {{"ETag", "\"whole\""}};
      response.closeAfterBodyBytes = c.closeAfter;
      response.trickleIntervalMs = c.trickleMs;
      response.trickleBytes = 16;
      return response;
    });
    const ZPHError error = refresh([&](ZPHRefreshFeedOperation& operation) {
      EXPECT_EQ(operation.overallTimeoutMs(), ZPHRefreshFeedOperation::FeedOverallTimeoutMs);
      if (c.trickleMs > 0)
        operation.setOverallTimeoutMs(600);
      if (c.maximumBodySize > 0)
        operation.setMaximumBodySize(c.maximumBodySize);
    });
    EXPECT_EQ(error.code(), ZPHRefreshFeedOperationErrorNotResponding) << error.toString().toStdString();
    EXPECT_EQ(error.value(ZPHUnderlyingErrorKey).value<ZPHError>().code(), c.underlyingCode)
        << error.toString().toStdString();
    EXPECT_TRUE(articles().isEmpty());
    EXPECT_TRUE(cache->contentHashForFeedURL(feedURL).isNull());
    EXPECT_FALSE(cache->conditionalGetInfoForFeedURL(feedURL).has_value());
  }
  EXPECT_EQ(articlesUpdated.load(), 0);

  // The whole body next time: asked for without validators, and saved.
  serve(200, body, {{"ETag", "\"whole\""}});
  EXPECT_TRUE(refresh().isNull());
  EXPECT_TRUE(lastRequestHeader("If-None-Match").isNull());
  EXPECT_EQ(articles().size(), 3);
  EXPECT_EQ(cache->conditionalGetInfoForFeedURL(feedURL)->httpResponseEtag(), QStringLiteral("\"whole\""));
}

TEST_F(RefreshFeedOperationTest, AnUnchangedBodyUnderNewValidatorsStoresThem)
{
  const QByteArray body = rss({{"a", "Alpha", "http://example.com/a", Mon}});
  serve(200, body, {{"ETag", "\"v1\""}});
  EXPECT_TRUE(refresh().isNull());
  // The server changed its validators, not the feed, and ignores the old one.
  serve(200, body, {{"ETag", "\"v2\""}, {"Last-Modified", "Tue, 05 Mar 2024 10:00:00 GMT"}});
  EXPECT_TRUE(refresh().isNull());
  EXPECT_EQ(lastRequestHeader("If-None-Match"), QByteArray("\"v1\""));
  EXPECT_EQ(articlesUpdated.load(), 1);
  ASSERT_TRUE(cache->conditionalGetInfoForFeedURL(feedURL).has_value());
  EXPECT_EQ(cache->conditionalGetInfoForFeedURL(feedURL)->httpResponseEtag(), QStringLiteral("\"v2\""));
  serve(304, {});
  EXPECT_TRUE(refresh().isNull());
  EXPECT_EQ(lastRequestHeader("If-None-Match"), QByteArray("\"v2\""));
  EXPECT_EQ(lastRequestHeader("If-Modified-Since"), QByteArray("Tue, 05 Mar 2024 10:00:00 GMT"));
  EXPECT_EQ(articles().size(), 1);
  // A server that drops its validators is sent none any more.
  serve(200, body);
  EXPECT_TRUE(refresh().isNull());
  serve(200, body);
  EXPECT_TRUE(refresh().isNull());
  EXPECT_TRUE(lastRequestHeader("If-None-Match").isNull());
  EXPECT_TRUE(lastRequestHeader("If-Modified-Since").isNull());
  EXPECT_EQ(articlesUpdated.load(), 1);
}

TEST_F(RefreshFeedOperationTest, ArticlesNoSaverTookLeaveNothingRemembered)
{
  serve(200, rss({{"a", "Alpha", "http://example.com/a", Mon}}), {{"ETag", "\"v1\""}});
  // A process without an application delegate cannot queue the saver.
  ZPHCoreApplicationDelegate::setSharedDelegate(nullptr);
  const ZPHError error = refresh();
  ZPHCoreApplicationDelegate::setSharedDelegate(&delegate);
  EXPECT_TRUE(error.isNull()) << error.toString().toStdString();
  EXPECT_TRUE(articles().isEmpty());
  EXPECT_TRUE(cache->contentHashForFeedURL(feedURL).isNull());
  EXPECT_FALSE(cache->conditionalGetInfoForFeedURL(feedURL).has_value());

  EXPECT_TRUE(refresh().isNull());
  EXPECT_TRUE(lastRequestHeader("If-None-Match").isNull());
  EXPECT_NE(articleTitled(QStringLiteral("Alpha")), nullptr);
}

TEST_F(RefreshFeedOperationTest, TheLoginWaitEndsAndACancelledRefreshAsksNobody)
{
  server.route(QStringLiteral("/feed.xml"),
               [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::basicChallenge(); });
  std::atomic<int> asked{0};
  observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(ZPHFeedRefreshChallengeReceivedNotification,
                                                                         {}, [&](const ZPHNotification&) { ++asked; }));

  // Nobody answers: the refresh ends as if the user had dismissed the request.
  QElapsedTimer timer;
  timer.start();
  const ZPHError error = refresh([](ZPHRefreshFeedOperation& operation) { operation.setLoginWaitTimeoutMs(300); });
  EXPECT_EQ(asked.load(), 1);
  EXPECT_EQ(error.code(), ZPHRefreshFeedOperationErrorLoginRequired) << error.toString().toStdString();
  EXPECT_LT(timer.elapsed(), 20000);
  EXPECT_EQ(ZPHRefreshFeedOperation::DefaultLoginWaitTimeoutMs, 5 * 60 * 1000);

  // Cancelled before the main thread gets to ask: nobody is asked.
  asked = 0;
  auto operation = std::make_shared<ZPHRefreshFeedOperation>(feedURL);
  operation->setFeedMetadataCache(cache);
  const int requestsBefore = int(server.requests().size());
  queue.addOperation(operation);
  // The main thread is kept busy here, so the request to ask the user waits
  // in its queue.
  QDeadlineTimer requested(10000);
  while (int(server.requests().size()) == requestsBefore && !requested.hasExpired()) QThread::msleep(10);
  QThread::msleep(300);
  operation->cancel();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return operation->isFinished(); }, 30000));
  ZPHTestSpinEventLoop(200);
  EXPECT_EQ(asked.load(), 0);
}

TEST_F(RefreshFeedOperationTest, DeletingTheFeedCancelsItsRefresh)
{
  std::atomic<bool> requested{false};
  server.route(QStringLiteral("/feed.xml"), [&](const ZPHTestHTTPRequest&) {
    requested = true;
    ZPHTestHTTPResponse response;
    response.body = rss({{"a", "Alpha", "http://example.com/a", Mon}});
    response.delayBeforeBodyMs = 3000;
    return response;
  });
  auto operation = std::make_shared<ZPHRefreshFeedOperation>(feedURL);
  operation->setFeedMetadataCache(cache);
  auto other = std::make_shared<ZPHRefreshFeedOperation>(server.url(QStringLiteral("/other.xml")));
  queue.addOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return requested.load(); }));
  ZPHNotificationCenter::defaultCenter().post(QStringLiteral("ZPHFeedsWillDeleteNotification"), {},
                                              {{QStringLiteral("urls"), QVariantList{feedURL}}});
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return operation->isFinished(); }, 30000));
  EXPECT_TRUE(operation->isCancelled());
  EXPECT_FALSE(other->isCancelled());
  EXPECT_EQ(operation->refreshError().code(), ZPHRefreshFeedOperationErrorNotResponding);
  EXPECT_TRUE(articles().isEmpty());
}

}  // namespace

TEST_F(RefreshFeedOperationTest, TheCompletionNoticeNeverOvertakesTheValuesTheRefreshStored)
{
  // Refreshes that end with nothing else for the main thread (here many 304s
  // of other addresses) send their completion notices together; one that
  // hands values to the main thread to store has its notice arrive after
  // them: by then the values are stored or their save is queued.
  struct Case {
    const char* name;
    QByteArray secondBody;  // the first answer is an article under "v1"
  };
  const QByteArray body = rss({{"a", "Alpha", "http://example.com/a", Mon}});
  const Case cases[] = {
      {"the same body under a new validator", body},
      {"a feed without articles", rss({})},
  };
  for (int i = 0; i < 12; ++i)
    server.route(QStringLiteral("/unchanged-%1.xml").arg(i), [](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response;
      response.status = 304;
      return response;
    });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    serve(200, body, {{"ETag", "\"v1\""}});
    ASSERT_TRUE(refresh().isNull());
    serve(200, c.secondBody, {{"ETag", "\"v2\""}});

    auto operation = std::make_shared<ZPHRefreshFeedOperation>(feedURL);
    operation->setFeedMetadataCache(cache);
    QString etagAtNotice;
    bool savingAtNotice = false;
    int notices = 0;
    ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
        CBOperationDidCompleteNotification, {}, [&](const ZPHNotification& notification) {
          if (notification.object.value<std::shared_ptr<CBOperation>>() != operation)
            return;
          ++notices;
          savingAtNotice = cache->hasOperations();
          const std::optional<CBHTTPConditionalGetInfo> info = cache->conditionalGetInfoForFeedURL(feedURL);
          etagAtNotice = info ? info->httpResponseEtag() : QString();
        });
    std::vector<std::shared_ptr<ZPHRefreshFeedOperation>> others;
    for (int i = 0; i < 12; ++i) {
      others.push_back(
          std::make_shared<ZPHRefreshFeedOperation>(server.url(QStringLiteral("/unchanged-%1.xml").arg(i))));
      others.back()->setFeedMetadataCache(cache);
      queue.addOperation(others.back());
      if (i == 5)
        queue.addOperation(operation);
    }
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return notices > 0; }, 30000));
    EXPECT_TRUE(savingAtNotice || etagAtNotice == QStringLiteral("\"v2\"")) << etagAtNotice.toStdString();
    queue.waitUntilAllOperationsAreFinished();
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return !cache->hasOperations(); }));
    ASSERT_TRUE(cache->conditionalGetInfoForFeedURL(feedURL).has_value());
    EXPECT_EQ(cache->conditionalGetInfoForFeedURL(feedURL)->httpResponseEtag(), QStringLiteral("\"v2\""));
    for (const auto& other : others) EXPECT_TRUE(other->refreshError().isNull());
    EXPECT_EQ(notices, 1);
  }
}
