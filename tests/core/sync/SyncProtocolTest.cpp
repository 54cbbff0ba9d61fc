#include "SyncTestFixture.h"

#include "feeds/network/CBDownloadOperation.h"
#include "foundation/CBKeychain.h"
#include "platform/CBOperation.h"
#include "sync/ZPHSyncAccountCreationOperation.h"
#include "sync/ZPHSyncFeedsAndFolderOperation.h"
#include "sync/ZPHSyncFullFeedAndFolderUpdateOperation.h"

#include <QtCore/QLoggingCategory>
#include <QtCore/QUrlQuery>

namespace {

class SyncProtocolTest : public SyncTestFixture {
protected:
  // Runs one call on a queue of its own and waits for its end.
  void run(const std::shared_ptr<ZPHSyncServerNetworkOperation>& operation)
  {
    ZPHOperationQueue queue;
    queue.addOperation(operation);
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return operation->isFinished(); }, 30000));
  }

  static QByteArray authorization(const ZPHTestHTTPRequest& request) { return request.header("Authorization"); }

  // Answers the login requests with an account to create.
  void requestAccountCreation(const QString& user, const QString& password, const QString& repeated)
  {
    ZPHCredentialsResult credentials(user, password);
    credentials.setRepeatedPassword(repeated);
    answerLogin(credentials, ZPHSyncServiceAccountCreationRequested);
  }
};

TEST_F(SyncProtocolTest, ServerAddressRules)
{
  struct Case {
    const char* setting;
    qint64 error;  // 0: usable
    const char* base;
  } cases[] = {
      {"", ZPHSyncErrorNoServer, ""},
      {"ftp://sync.example.com/", ZPHSyncErrorNoServer, ""},
      {"sync.example.com", ZPHSyncErrorNoServer, ""},
      {"https://user:pw@sync.example.com/api", ZPHSyncErrorNoServer, ""},
      {"https://sync.example.com/api?x=1", ZPHSyncErrorNoServer, ""},
      {"http://sync.example.com/api", ZPHSyncErrorInsecureServer, ""},
      {"http://127.0.0.1.example.com/", ZPHSyncErrorInsecureServer, ""},
      {"https://sync.example.com/api/", 0, "https://sync.example.com/api"},
      {" https://sync.example.com ", 0, "https://sync.example.com"},
      {"http://127.0.0.1:8080/sync", 0, "http://127.0.0.1:8080/sync"},
      {"http://localhost/sync//", 0, "http://localhost/sync"},
      {"http://[::1]:99/", 0, "http://[::1]:99"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    defaults().setString(ZPHSyncServiceBaseURL, QString::fromUtf8(c.setting));
    ZPHError error;
    const QUrl base = ZPHSyncServerNetworkOperation::serverBaseURL(&error);
    EXPECT_EQ(error.code(), c.error);
    EXPECT_EQ(base.toString(), QString::fromUtf8(c.base));
  }

  // Refused: nothing goes out, and the call ends with the error.
  signIn();
  defaults().setString(ZPHSyncServiceBaseURL,
                       peer.url().replace(QStringLiteral("127.0.0.1"), QStringLiteral("sync.invalid")));
  auto operation = std::make_shared<ZPHSyncFeedsAndFolderOperation>();
  run(operation);
  EXPECT_FALSE(operation->succeeded());
  EXPECT_EQ(operation->syncError().code(), ZPHSyncErrorInsecureServer);
  EXPECT_TRUE(peer.allRequests().isEmpty());
}

// Every call is a POST of compact JSON with its tag; the login is answered
// with Basic credentials; the session cookie is kept and sent back.
TEST_F(SyncProtocolTest, RequestsAsTheServerReadsThem)
{
  signIn();
  defaults().setDouble(ZPHSyncLastFeedsAndFolderModTimeStamp, 1234.5);
  defaults().setInteger(ZPHSyncURLTagIndex, 9);
  ASSERT_TRUE(startAndSync());
  ASSERT_TRUE(manager->lastError().isNull());

  const QList<ZPHTestHTTPRequest> list = peer.requests(QStringLiteral("list_feeds_and_folders"));
  ASSERT_EQ(list.size(), 2);  // challenged once, then answered
  for (const ZPHTestHTTPRequest& request : list) {
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.header("Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(request.body, QByteArray(R"({"lastModDate":1234.5})"));
    EXPECT_EQ(QUrlQuery(request.query).queryItemValue(QStringLiteral("tag")), QStringLiteral("9"));
    EXPECT_EQ(request.header("Content-Length"), QByteArray::number(request.body.size()));
  }
  EXPECT_TRUE(authorization(list[0]).isNull());
  EXPECT_EQ(authorization(list[1]), ZPHTestHTTPResponse::basicAuthorization(User.toUtf8(), Password.toUtf8()));
  EXPECT_EQ(defaults().integerForKey(ZPHSyncURLTagIndex), 9);

  const QJsonObject update = ZPHTestJSON(peer.requests(QStringLiteral("update_feeds_and_folders")).last().body);
  EXPECT_TRUE(update.value(QStringLiteral("folders")).isArray());
  EXPECT_TRUE(update.value(QStringLiteral("feeds")).isArray());
  EXPECT_EQ(ZPHTestJSON(peer.requests(QStringLiteral("update_articles")).last().body),
            ZPHTestJSON(R"({"articles": []})"));

  // The cookie the list call set goes with the later calls, to this server.
  EXPECT_TRUE(list[1].header("Cookie").isNull());
  EXPECT_EQ(peer.requests(QStringLiteral("list_articles")).last().header("Cookie"), QByteArray("zphsync=session-1"));
  EXPECT_FALSE(ZPHSyncCookieJar::sharedJar().cookiesForURL(QUrl(peer.url() + QStringLiteral("/x"))).isEmpty());
}

// A call keeps to the sync server: a redirect to another host, port or
// scheme fails it, and neither the session cookie nor the credentials nor
// the body reach that address, whose answer is never taken. Within the
// server a redirect is followed, the cookie made for each hop from the jar,
// with what the redirect itself set.
TEST_F(SyncProtocolTest, RedirectsStayOnTheSyncServerAndEachHopGetsItsOwnCookie)
{
  signIn();
  const QUrl peerURL(peer.url());
  ZPHSyncCookieJar::sharedJar().setCookiesFromHeader("zphsync=session-0; Path=/sync", peerURL);
  ZPHTestHTTPServer otherHost;
  otherHost.setHost(QStringLiteral("127.0.0.2"));
  ASSERT_TRUE(otherHost.start());
  ZPHTestHTTPServer otherPort;
  ASSERT_TRUE(otherPort.start());
  const ZPHTestHTTPHandler foreignList = [](const ZPHTestHTTPRequest&) {
    return ZPHTestHTTPResponse{
        200,
        {{"Content-Type", "application/json"}},
        R"({"data": {"folders": [], "feeds": [{"guid": "G-foreign", "url": "https://foreign.example.com/feed"}]}})",
        0};
  };
  otherHost.route("/sync/list_feeds_and_folders", foreignList);
  otherPort.route("/sync/list_feeds_and_folders", foreignList);
  QUrl otherScheme = peerURL;
  otherScheme.setScheme(QStringLiteral("https"));

  struct Case {
    const char* name;
    QUrl target;
  };
  const Case cases[] = {
      {"another host", otherHost.url("/sync/list_feeds_and_folders")},
      {"another port", otherPort.url("/sync/list_feeds_and_folders")},
      {"another scheme", QUrl(otherScheme.toString() + QStringLiteral("/list_feeds_and_folders"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const int status : {307, 302}) {
      peer.answerNext(QStringLiteral("list_feeds_and_folders"), QByteArray(), status,
                      {{"Location", c.target.toEncoded()}});
      auto operation = std::make_shared<ZPHSyncFeedsAndFolderOperation>();
      run(operation);
      EXPECT_FALSE(operation->succeeded());
      EXPECT_EQ(operation->syncError().code(), CBDownloadOperationErrorRedirectToOtherOrigin)
          << operation->syncError().toString().toStdString();
    }
  }
  EXPECT_TRUE(otherHost.requests().isEmpty());
  EXPECT_TRUE(otherPort.requests().isEmpty());
  EXPECT_EQ(feedWithURL(QStringLiteral("https://foreign.example.com/feed")), nullptr);

  // Within the server.
  const qsizetype before = peer.requests(QStringLiteral("list_feeds_and_folders")).size();
  peer.answerNext(QStringLiteral("list_feeds_and_folders"), QByteArray(), 307,
                  {{"Location", "/sync/list_feeds_and_folders?tag=0&hop=2"}, {"Set-Cookie", "hop=2; Path=/sync"}});
  auto followed = std::make_shared<ZPHSyncFeedsAndFolderOperation>();
  run(followed);
  EXPECT_TRUE(followed->succeeded()) << followed->syncError().toString().toStdString();
  const QList<ZPHTestHTTPRequest> list = peer.requests(QStringLiteral("list_feeds_and_folders")).mid(before);
  ASSERT_EQ(list.size(), 3);  // redirected, then challenged and answered
  EXPECT_EQ(list[0].header("Cookie"), QByteArray("zphsync=session-0"));
  for (const ZPHTestHTTPRequest& hop : list.mid(1)) {
    EXPECT_EQ(hop.query, QStringLiteral("tag=0&hop=2"));
    EXPECT_EQ(hop.method, QByteArray("POST"));
    EXPECT_EQ(hop.body, list[0].body);
    QStringList cookies = QString::fromLatin1(hop.header("Cookie")).split(QStringLiteral("; "));
    cookies.sort();
    EXPECT_EQ(cookies, (QStringList{QStringLiteral("hop=2"), QStringLiteral("zphsync=session-0")}));
  }
}

// While fastUserSwitch is set every call advances the stored tag.
TEST_F(SyncProtocolTest, TagAdvancesOnlyAfterAReset)
{
  defaults().setInteger(ZPHSyncURLTagIndex, 4);
  ZPHSyncCredentials::setFastUserSwitch(true);
  for (int i = 0; i < 2; ++i) run(std::make_shared<ZPHSyncAccountCreationOperation>(ZPHCredentialsResult()));
  EXPECT_EQ(peer.tags(), (QList<qint64>{5, 6}));
  EXPECT_EQ(defaults().integerForKey(ZPHSyncURLTagIndex), 6);

  ZPHSyncCredentials::setFastUserSwitch(false);
  defaults().removeObject(ZPHSyncURLTagIndex);
  for (int i = 0; i < 2; ++i) run(std::make_shared<ZPHSyncAccountCreationOperation>(ZPHCredentialsResult()));
  EXPECT_EQ(peer.tags(), (QList<qint64>{5, 6, 0, 0}));
  EXPECT_FALSE(defaults().hasStoredValue(ZPHSyncURLTagIndex));
}

// Stored credentials answer a challenge at most three times; then the
// application is asked, and the call waits for its answer however long it
// takes (here: until the user closes the sheet).
TEST_F(SyncProtocolTest, StoredCredentialsAnswerThreeTimesThenTheUserIsAsked)
{
  signIn();
  peer.failNext(QStringLiteral("list_feeds_and_folders"), ZPHTestSyncPeer::Failure::Unauthorized, 10);
  record(ZPHSyncServiceLoginCredentialsRequired);
  auto operation = std::make_shared<ZPHSyncFeedsAndFolderOperation>();
  ZPHOperationQueue queue;
  queue.addOperation(operation);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recordedNamed(ZPHSyncServiceLoginCredentialsRequired).size() == 1; }));
  const QList<ZPHTestHTTPRequest> requests = peer.requests(QStringLiteral("list_feeds_and_folders"));
  ASSERT_EQ(requests.size(), 4);
  EXPECT_TRUE(authorization(requests[0]).isNull());
  for (int i = 1; i < 4; ++i) EXPECT_FALSE(authorization(requests[i]).isNull());
  EXPECT_EQ(recordedNamed(ZPHSyncServiceLoginCredentialsRequired).first().object.value<std::shared_ptr<CBOperation>>(),
            operation);
  // The question has no time limit.
  ZPHTestSpinEventLoop(1500);
  EXPECT_FALSE(operation->isFinished());
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncServiceLoginCredentialsProvided,
                                              QVariant::fromValue(ZPHCredentialsResult::cancelled()));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return operation->isFinished(); }, 30000));
  EXPECT_EQ(peer.requests(QStringLiteral("list_feeds_and_folders")).size(), 4);
  EXPECT_FALSE(operation->succeeded());
  // The login was cancelled (the transport's "cancelled authentication").
  EXPECT_EQ(operation->syncError().code(), -1012);
}

// The login request answered: with credentials (stored, then used), or
// cancelled (the call ends).
TEST_F(SyncProtocolTest, LoginAnswers)
{
  peer.addAccount(User, Password);
  ZPHSyncCredentials::saveUsername(User);
  ZPHSyncCredentials::savePassword(QStringLiteral("wrong"));
  defaults().setBool(ZPHSyncDataHasBeenSynced, true);

  answerLogin(ZPHCredentialsResult::cancelled());
  ASSERT_TRUE(startAndSync());
  EXPECT_GE(loginRequests.load(), 1);
  EXPECT_FALSE(manager->lastError().isNull());
  EXPECT_EQ(ZPHSyncCredentials::password(), QStringLiteral("wrong"));

  observers.clear();
  answerLogin(ZPHCredentialsResult(User, Password));
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
  EXPECT_EQ(ZPHSyncCredentials::password(), Password);
  EXPECT_EQ(VHKeychain::passwordForService(ZPHSyncKeychainServiceName, User), Password);
  // Stored now: the next cycle needs nobody.
  const int asked = loginRequests.load();
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_EQ(loginRequests.load(), asked);
}

// A reset starts the account over: no stored credentials are offered, the
// user is asked, and the first sync of the new login follows.
TEST_F(SyncProtocolTest, ResetStartsTheAccountOver)
{
  signIn();
  ASSERT_TRUE(startAndSync());
  ASSERT_FALSE(ZPHSyncCredentials::fastUserSwitch());
  defaults().setDouble(ZPHSyncLastArticleModTimeStamp, 77.0);
  defaults().setDouble(ZPHSyncLastFeedsAndFolderModTimeStamp, 88.0);
  defaults().setInteger(ZPHSyncURLTagIndex, 5);
  const qsizetype before = peer.allRequests().size();

  answerLogin(ZPHCredentialsResult(User, Password));
  defaults().setBool(ZPHSyncResetAccountInfo, true);
  EXPECT_FALSE(defaults().boolForKey(ZPHSyncResetAccountInfo));
  EXPECT_EQ(ZPHSyncCredentials::username(), QStringLiteral(""));
  EXPECT_TRUE(ZPHSyncCredentials::fastUserSwitch());
  EXPECT_FALSE(ZPHSyncCredentials::credentialsPresent());
  EXPECT_EQ(defaults().doubleForKey(ZPHSyncLastFeedsAndFolderModTimeStamp), 0.0);
  EXPECT_EQ(defaults().doubleForKey(ZPHSyncLastArticleModTimeStamp), 77.0);
  EXPECT_FALSE(defaults().boolForKey(ZPHSyncDataHasBeenSynced));
  EXPECT_EQ(defaults().stringForKey(ZPHLastValidUserNameKey), User);
  EXPECT_TRUE(ZPHSyncCookieJar::sharedJar().cookiesForURL(QUrl(peer.url() + QStringLiteral("/x"))).isEmpty());
  EXPECT_TRUE(manager->running());

  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
  EXPECT_EQ(loginRequests.load(), 1);
  const ZPHTestHTTPRequest first = peer.allRequests().at(before);
  EXPECT_TRUE(authorization(first).isNull());
  EXPECT_TRUE(first.header("Cookie").isNull());
  EXPECT_EQ(QUrlQuery(first.query).queryItemValue(QStringLiteral("tag")), QStringLiteral("6"));
  EXPECT_EQ(defaults().integerForKey(ZPHSyncURLTagIndex), 6);  // the login ended the switch
  EXPECT_EQ(ZPHSyncCredentials::username(), User);
  EXPECT_FALSE(ZPHSyncCredentials::fastUserSwitch());
  EXPECT_TRUE(defaults().boolForKey(ZPHSyncDataHasBeenSynced));
}

// Asked for a login, the user creates an account: the waiting call gives
// up, the account is made, and the next cycle uses it. A refused creation
// saves nothing.
TEST_F(SyncProtocolTest, AccountCreation)
{
  const QString newUser = QStringLiteral("new@example.com");
  const QString newPassword = QStringLiteral("N3w-pass");
  record(ZPHSyncServiceAccountCreationResponse);

  requestAccountCreation(newUser, newPassword, QStringLiteral("typo"));
  defaults().setBool(ZPHSyncResetAccountInfo, true);
  ASSERT_TRUE(waitForCycle());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recordedNamed(ZPHSyncServiceAccountCreationResponse).size() == 1; }));
  EXPECT_EQ(recordedNamed(ZPHSyncServiceAccountCreationResponse).first().object.toMap().value(QStringLiteral("status")),
            QVariant(QStringLiteral("error")));
  EXPECT_FALSE(peer.hasAccount(newUser));
  EXPECT_EQ(ZPHSyncCredentials::username(), QStringLiteral(""));
  EXPECT_TRUE(ZPHSyncCredentials::fastUserSwitch());
  EXPECT_FALSE(manager->refreshInProgress());

  observers.clear();
  record(ZPHSyncServiceAccountCreationResponse);
  requestAccountCreation(newUser, newPassword, newPassword);
  ASSERT_TRUE(sync());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return recordedNamed(ZPHSyncServiceAccountCreationResponse).size() == 2; }));
  EXPECT_EQ(recordedNamed(ZPHSyncServiceAccountCreationResponse).last().object.toMap().value(QStringLiteral("status")),
            QVariant(QStringLiteral("ok")));
  EXPECT_TRUE(peer.hasAccount(newUser));
  EXPECT_EQ(
      ZPHTestJSON(peer.requests(QStringLiteral("create")).last().body),
      (QJsonObject{{QStringLiteral("user"), QJsonObject{{QStringLiteral("email"), newUser},
                                                        {QStringLiteral("password"), newPassword},
                                                        {QStringLiteral("password_confirmation"), newPassword}}}}));
  EXPECT_EQ(ZPHSyncCredentials::username(), newUser);
  EXPECT_FALSE(ZPHSyncCredentials::fastUserSwitch());
  EXPECT_FALSE(manager->refreshInProgress());

  observers.clear();
  ASSERT_TRUE(sync());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
  EXPECT_TRUE(defaults().boolForKey(ZPHSyncDataHasBeenSynced));
}

// Replies of any shape: nothing breaks, only well-formed objects are taken.
TEST_F(SyncProtocolTest, HostileReplies)
{
  signIn();
  ASSERT_TRUE(startAndSync());
  struct Case {
    const char* call;
    const char* body;
    bool succeeds;
  } cases[] = {
      {"list_feeds_and_folders", R"x({"data": null})x", true},
      {"list_feeds_and_folders", R"x({"data": [1, 2]})x", true},
      {"list_feeds_and_folders", R"x({})x", true},
      {"list_feeds_and_folders", R"x({"data": {"folders": {"a": 1}, "feeds": "x"}})x", true},
      {"list_feeds_and_folders", R"x({"data": {"feeds": [null, 1, "x", [], {"guid": 5, "url": "https://a.example/"},
          {"guid": "g", "url": null}, {"guid": "g2", "url": "javascript:alert(1)"},
          {"guid": "g3", "url": "https://ok.example/feed", "userAssignedName": 12, "childIndex": "x",
           "parentGUID": {"a": 1}, "modDate": "soon", "isDeleted": "no"}]}})x",
       true},
      {"list_feeds_and_folders", R"x({"data": {"folders": [{"guid": "A", "parentGUID": "A", "parentGUIDModDate": 99},
          {"guid": "B", "parentGUID": "A", "parentGUIDModDate": 99, "userAssignedName": null}]}})x",
       true},
      {"list_articles", R"x({"data": {"articles": [null, {"guid": null}, {"guid": ["x"]},
          {"guid": "https://x.example/1", "read": "yes", "readModDate": "later", "modDate": -5}]}})x",
       true},
      {"list_feeds_and_folders", "[1, 2, 3]", false},
      {"list_feeds_and_folders", "null", false},
      {"list_feeds_and_folders", "", false},
      {"list_feeds_and_folders", R"x({"data": {"folders": [{"guid": ")x", false},
      {"update_feeds_and_folders", "<html>", false},
      {"list_articles", "\"text\"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.call) + ": " + c.body);
    peer.answerNext(QString::fromUtf8(c.call), QByteArray(c.body));
    ASSERT_TRUE(sync());
    EXPECT_EQ(manager->lastError().isNull(), c.succeeds) << manager->lastError().toString().toStdString();
  }
  QStringList urls;
  for (const CBFeed* feed : CBFeed::feedsWithMOC(main)) urls.append(feed->url());
  EXPECT_EQ(urls, QStringList{QStringLiteral("https://ok.example/feed")});
  CBFeed* ok = feedWithURL(QStringLiteral("https://ok.example/feed"));
  EXPECT_EQ(ok->childindex(), 0);
  EXPECT_TRUE(ok->parentguid().isEmpty());
  EXPECT_FALSE(ok->deleted());
  CBFolder* a = folderWithGUID(QStringLiteral("A"));
  CBFolder* b = folderWithGUID(QStringLiteral("B"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->parent(), nullptr);
  EXPECT_EQ(b->parent(), a);
  ArticleMetadata* state =
      ArticleMetadata::findExistingArticleMetadataWithGUID(QStringLiteral("https://x.example/1"), main);
  ASSERT_NE(state, nullptr);
  EXPECT_TRUE(state->read());
}

// A call whose body cannot be made still completes, with the error, and
// sends nothing.
TEST_F(SyncProtocolTest, ABodyThatCannotBeMadeStillCompletes)
{
  signIn();
  auto operation = std::make_shared<ZPHSyncFullFeedAndFolderUpdateOperation>();
  record(CBOperationDidCompleteNotification);
  delegate.shuttingDown = true;  // the store queue takes no work
  run(operation);
  delegate.shuttingDown = false;
  EXPECT_FALSE(operation->succeeded());
  EXPECT_EQ(operation->syncError().code(), ZPHSyncErrorStore);
  EXPECT_TRUE(peer.allRequests().isEmpty());
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    for (const ZPHNotification& notification : recordedNamed(CBOperationDidCompleteNotification)) {
      if (notification.object.value<std::shared_ptr<CBOperation>>() == operation)
        return true;
    }
    return false;
  }));
}

// Neither credentials, nor the account creation body, nor the session
// cookie's value reach the log, at any level.
TEST_F(SyncProtocolTest, NothingSecretIsLogged)
{
  static QMutex logMutex;
  static QStringList lines;
  lines.clear();
  QLoggingCategory::setFilterRules(QStringLiteral("zephlin.*=true"));
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        QMutexLocker locker(&logMutex);
        lines.append(text);
      });

  const QString createPassword = QStringLiteral("Cr3ate-S3cret");
  signIn();
  ASSERT_TRUE(startAndSync());
  requestAccountCreation(QStringLiteral("made@example.com"), createPassword, createPassword);
  defaults().setBool(ZPHSyncResetAccountInfo, true);
  ASSERT_TRUE(waitForCycle());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return peer.hasAccount(QStringLiteral("made@example.com")); }));
  ASSERT_TRUE(waitForSyncQueue());
  ASSERT_TRUE(sync());

  qInstallMessageHandler(previous);
  QLoggingCategory::setFilterRules(QString());
  QMutexLocker locker(&logMutex);
  ASSERT_FALSE(lines.isEmpty());
  const QStringList secrets{
      Password,
      createPassword,
      User,
      QStringLiteral("made@example.com"),
      QStringLiteral("session-1"),
      QString::fromLatin1(ZPHTestHTTPResponse::basicAuthorization(User.toUtf8(), Password.toUtf8())),
      QStringLiteral("password_confirmation")};
  for (const QString& line : std::as_const(lines)) {
    for (const QString& secret : secrets) EXPECT_FALSE(line.contains(secret)) << line.toStdString();
  }
}

}  // namespace
