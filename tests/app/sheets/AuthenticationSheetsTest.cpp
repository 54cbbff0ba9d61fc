// The login and certificate questions of the core library answered with
// sheets on the running application's main window: a refresh of a feed
// behind Basic authentication, a search of the feed finder, one prompt at a
// time, and exactly one answer for every question.

#include "app/shell/AppHarness.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "platform/CBOperationController.h"
#include "platform/ZPHFilePasswordStore.h"
#include "sheets/ZPHAuthenticationController.h"
#include "sheets/ZPHCredentialsWindowController.h"
#include "sheets/ZPHTrustSelfSignedCertWindowController.h"
#include "subscribe/ZPHFeedFinder.h"
#include "subscribe/ZPHFeedFinderHTTPOperation.h"
#include "support/ZPHTestFeedSearch.h"

#include <QtTest/QTest>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QPushButton>

namespace {

const QByteArray User = "reader";
const QByteArray Password = "s3cret-Pa55";

using Search = ZPHTestFeedSearch;

class AuthenticationSheetsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    // No secret service: passwords go to a file.
    ZPHPasswordStore::setDefaultStore(
        std::make_shared<ZPHFilePasswordStore>(dir.filePath(QStringLiteral("passwords"))));
    ASSERT_TRUE(server.start());
    for (const QString& path : {QStringLiteral("/members.xml"), QStringLiteral("/a.xml"), QStringLiteral("/b.xml")}) {
      server.route(path, [this](const ZPHTestHTTPRequest& request) {
        if (request.header("Authorization") != ZPHTestHTTPResponse::basicAuthorization(User, Password))
          return ZPHTestHTTPResponse::basicChallenge();
        ZPHTestHTTPResponse response;
        response.headers = {{"Content-Type", "application/rss+xml"}};
        response.body = ZPHTestFeed(server.url(), 2);
        return response;
      });
    }
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return app.delegate->mainWindow()->isVisible(); }));
    authentication = app.delegate->authenticationController();
    ASSERT_NE(authentication, nullptr);
  }
  void TearDown() override
  {
    app.stop();
    ZPHPasswordStore::setDefaultStore(nullptr);
  }

  CBFeed* subscribe(const QString& path)
  {
    ZPHManagedObjectContext* main = app.delegate->mainThreadManagedObjectContext();
    CBFeed* feed = CBFeed::insertFeedWithURL(server.url(path), main);
    app.data()->localAccount()->addFeed(feed);
    return feed;
  }

  ZPHCredentialsWindowController* waitForSheet()
  {
    ZPHTestWaitUntil([&] { return authentication->credentialsSheet() != nullptr; }, 30000);
    return authentication->credentialsSheet();
  }

  int authorizedRequests(const QString& path) const
  {
    int count = 0;
    for (const ZPHTestHTTPRequest& request : server.requests())
      if (request.path == path &&
          request.header("Authorization") == ZPHTestHTTPResponse::basicAuthorization(User, Password))
        ++count;
    return count;
  }

  ZPHTestTempDir dir;
  ZPHTestHTTPServer server;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  ZPHAuthenticationController* authentication = nullptr;
};

TEST_F(AuthenticationSheetsTest, ARefreshsLoginIsAskedOnTheWindowAndKeptOnTheFeed)
{
  CBFeed* feed = subscribe(QStringLiteral("/members.xml"));
  app.delegate->refreshController()->refreshFeeds({feed});
  ZPHCredentialsWindowController* sheet = waitForSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(app.delegate->runningModalSheet());
  EXPECT_EQ(sheet->sheetWindow()->parentWidget(), app.delegate->mainWindow());
  EXPECT_TRUE(sheet->sheetWindow()->isVisible());
  EXPECT_EQ(sheet->sheetWindow()->windowModality(), Qt::WindowModal);
  EXPECT_FALSE(sheet->createAccountButton()->isVisible());
  EXPECT_FALSE(sheet->okButton()->isEnabled());
  // The note says where the password goes: no keyring answered.
  const auto* note = sheet->sheetWindow()->findChild<QLabel*>(QStringLiteral("keychainMessageTextField"));
  ASSERT_NE(note, nullptr);
  EXPECT_EQ(note->text(), QStringLiteral("Your password is kept in a file only you can read."));

  QTest::keyClicks(sheet->usernameTextField(), QString::fromLatin1(User));
  EXPECT_TRUE(sheet->okButton()->isEnabled());
  QTest::keyClicks(sheet->passwordTextField(), QString::fromLatin1(Password));
  QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
  EXPECT_FALSE(app.delegate->runningModalSheet());

  ASSERT_TRUE(ZPHTestWaitUntil([&] { return authorizedRequests(QStringLiteral("/members.xml")) > 0; }, 30000));
  ASSERT_TRUE(
      ZPHTestWaitUntil([&] { return feed->lastFeedRefreshError().isNull() && feed->unreadCount() == 2; }, 30000));
  EXPECT_EQ(feed->username(), QString::fromLatin1(User));
  EXPECT_EQ(feed->password(), QString::fromLatin1(Password));
}

TEST_F(AuthenticationSheetsTest, CancellingKeepsTheStoredNameAndAFeedNobodyHasIsAnsweredAtOnce)
{
  CBFeed* feed = subscribe(QStringLiteral("/members.xml"));
  feed->setUsername(QStringLiteral("stored-name"));
  feed->setNameForDisplay(QStringLiteral("<b>x</b>"));
  QList<ZPHNotification> answers;
  ZPHObserverToken listener = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedRefreshChallengeCredentialsReadyNotification, QVariant(),
      [&](const ZPHNotification& answer) { answers.append(answer); });
  app.delegate->refreshController()->refreshFeeds({feed});
  ZPHCredentialsWindowController* sheet = waitForSheet();
  ASSERT_NE(sheet, nullptr);
  // The feed's name shows as typed, never as markup; the stored name is
  // there, and the password field has the focus.
  EXPECT_EQ(sheet->messageTextField()->textFormat(), Qt::PlainText);
  EXPECT_EQ(sheet->message(), QStringLiteral("Enter username and password for \u201c<b>x</b>.\u201d"));
  EXPECT_EQ(sheet->usernameTextField()->text(), QStringLiteral("stored-name"));
  QTest::keyClick(sheet->passwordTextField(), Qt::Key_Escape);
  ASSERT_EQ(answers.size(), 1);
  EXPECT_TRUE(answers[0].userInfo.value(ZPHAuthenticationUserCancelKey).toBool());
  EXPECT_FALSE(answers[0].userInfo.contains(ZPHAuthenticationPasswordKey));
  EXPECT_EQ(feed->username(), QStringLiteral("stored-name"));
  EXPECT_EQ(authorizedRequests(QStringLiteral("/members.xml")), 0);
  // The refresh ends with the login still missing (the feed hears of it
  // after the refresh's operation has left the queue).
  ASSERT_TRUE(ZPHTestWaitUntil(
      [&] {
        return app.delegate->refreshController()->refreshOperationController()->numberOfOperations() == 0 &&
               feed->lastFeedRefreshError().code() == ZPHRefreshFeedOperationErrorLoginRequired;
      },
      30000));

  // A question about a feed no account has: cancelled, at once, carrying
  // the question's token.
  answers.clear();
  const QUrl unknown = server.url(QStringLiteral("/nobody.xml"));
  ZPHNotificationCenter::defaultCenter().post(
      ZPHFeedRefreshChallengeReceivedNotification, unknown,
      {{CBURLKey, unknown}, {ZPHFeedRefreshChallengeTokenKey, QStringLiteral("token-1")}});
  ASSERT_EQ(answers.size(), 1);
  EXPECT_EQ(answers[0].object.toUrl(), unknown);
  EXPECT_TRUE(answers[0].userInfo.value(ZPHAuthenticationUserCancelKey).toBool());
  EXPECT_EQ(answers[0].userInfo.value(ZPHFeedRefreshChallengeTokenKey).toString(), QStringLiteral("token-1"));
  EXPECT_EQ(authentication->credentialsSheet(), nullptr);
}

TEST_F(AuthenticationSheetsTest, OfTwoSearchesAtOnceOnlyTheFirstGetsThePassword)
{
  Search first;
  Search second;
  first.start(server.url(QStringLiteral("/a.xml")));
  second.start(server.url(QStringLiteral("/b.xml")));
  ZPHCredentialsWindowController* sheet = waitForSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(authentication->currentCredentialsWindowController(), sheet);
  // The second question was answered as cancelled while the sheet was up.
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return first.calls + second.calls == 1; }, 30000));
  Search& cancelled = first.calls == 1 ? first : second;
  Search& asking = first.calls == 1 ? second : first;
  EXPECT_FALSE(cancelled.error.isNull());
  const QString askingPath = &asking == &first ? QStringLiteral("/a.xml") : QStringLiteral("/b.xml");
  const QString cancelledPath = &asking == &first ? QStringLiteral("/b.xml") : QStringLiteral("/a.xml");
  EXPECT_TRUE(sheet->message().contains(askingPath));

  sheet->usernameTextField()->setText(QString::fromLatin1(User));
  sheet->passwordTextField()->setText(QString::fromLatin1(Password));
  sheet->ok();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return asking.calls == 1; }, 30000));
  ASSERT_EQ(asking.results.size(), 1);
  EXPECT_GT(authorizedRequests(askingPath), 0);
  // The server never saw the password for the other search.
  EXPECT_EQ(authorizedRequests(cancelledPath), 0);
  for (const ZPHTestHTTPRequest& request : server.requests())
    if (request.path == cancelledPath) {
      EXPECT_TRUE(request.header("Authorization").isEmpty());
    }
}

TEST_F(AuthenticationSheetsTest, ALoginAskedByTheAddSiteSearchGoesOverTheAddSiteSheet)
{
  // The Add Site window, a sheet on the main window.
  auto* addSite = new QDialog();
  addSite->setAttribute(Qt::WA_DeleteOnClose);
  ASSERT_TRUE(app.delegate->runModalSheet(addSite, {}));
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return addSite->isVisible(); }));
  Search search;
  search.start(server.url(QStringLiteral("/a.xml")));
  ZPHCredentialsWindowController* sheet = waitForSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->sheetWindow()->parentWidget(), addSite);
  // Stopping the search (the Add Site window's Stop) answers it as
  // cancelled.
  authentication->cancelCurrentCredentialsRequest();
  EXPECT_EQ(authentication->credentialsSheet(), nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return search.calls == 1; }, 30000));
  EXPECT_FALSE(search.error.isNull());
  // The Add Site sheet still runs.
  EXPECT_TRUE(app.delegate->runningModalSheet());
  addSite->close();
}

TEST_F(AuthenticationSheetsTest, CertificateQuestionsComeOneAtATimeAndQuittingAnswersAnOpenOne)
{
  QList<std::pair<QString, bool>> answers;
  ZPHObserverToken listener = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHFeedFinderDidAuthenticateSelfSignedCertNotification, QVariant(), [&](const ZPHNotification& answer) {
        answers.append({answer.userInfo.value(ZPHFeedFinderAuthenticationTokenKey).toString(), answer.object.toBool()});
      });
  const auto ask = [](const QString& token) {
    ZPHNotificationCenter::defaultCenter().post(
        ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification, token,
        {{ZPHFeedFinderAuthenticationTokenKey, token},
         {ZPHFeedFinderSelfSignedCertSummaryKey, QStringLiteral("<i>host</i>")}});
  };
  ask(QStringLiteral("one"));
  ZPHTrustSelfSignedCertWindowController* sheet = authentication->currentTrustWindowController();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->warningTextField()->text().contains(QStringLiteral("\u201c<i>host</i>\u201d")));
  EXPECT_EQ(sheet->warningTextField()->textFormat(), Qt::PlainText);
  ask(QStringLiteral("two"));
  ASSERT_EQ(answers.size(), 1);
  EXPECT_EQ(answers[0], std::make_pair(QStringLiteral("two"), false));
  QTest::mouseClick(sheet->continueButton(), Qt::LeftButton);
  ASSERT_EQ(answers.size(), 2);
  EXPECT_EQ(answers[1], std::make_pair(QStringLiteral("one"), true));

  // The quit answers a question still open.
  ask(QStringLiteral("three"));
  ASSERT_NE(authentication->currentTrustWindowController(), nullptr);
  app.stop();
  ASSERT_EQ(answers.size(), 3);
  EXPECT_EQ(answers[2], std::make_pair(QStringLiteral("three"), false));
}

}  // namespace
