// The sync client's questions answered by the sheets on the running
// application, against the loopback sync server: the first sync's merge or
// purge (closing the sheet ends the cycle, which asks again), a login the
// server refused, and creating an account.

#include "app/shell/AppHarness.h"
#include "sheets/ZPHCredentialsWindowController.h"
#include "sheets/ZPHSyncMergeOrPurgeController.h"
#include "sheets/ZPHSyncQuestionsController.h"
#include "sheets/ZPHSyncServerCreationWindowController.h"
#include "store/entities/CBFolder.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "support/ZPHTestSyncPeer.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCookieJar.h"
#include "sync/ZPHSyncCredentials.h"
#include "sync/ZPHSyncManager.h"

#include <QtCore/QJsonDocument>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QPushButton>

namespace {

const QString User = QStringLiteral("reader@example.com");
const QString Password = QStringLiteral("s3cret-Pa55");
const QString ServerFeed = QStringLiteral("https://server.example.com/feed");
const QString LocalFeed = QStringLiteral("https://local.example.com/feed");

ZPHUserDefaults& defaults() { return ZPHUserDefaults::standardUserDefaults(); }

void clearSyncSettings()
{
  for (const QString& key : {ZPHSyncServiceBaseURL, ZPHSyncServiceUsernameKey, ZPHSyncResetAccountInfo,
                             ZPHSyncDataHasBeenSynced, ZPHLastValidUserNameKey, ZPHSyncURLTagIndex,
                             ZPHSyncLastFeedsAndFolderModTimeStamp, ZPHSyncLastArticleModTimeStamp})
    defaults().removeObject(key);
  ZPHSyncCredentials::setFastUserSwitch(false);
  ZPHSyncCredentials::eraseCredentials();
  ZPHSyncCookieJar::sharedJar().deleteAllCookies();
}

class SyncSheetsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ZPHResetApplicationSettings();
    ASSERT_TRUE(peer.isListening());
    app.start();
    ASSERT_TRUE(app.delegate->startupSequenceEnded());
    ASSERT_TRUE(ZPHTestWaitUntil([&] { return app.delegate->mainWindow()->isVisible(); }));
    clearSyncSettings();
    defaults().setString(ZPHSyncServiceBaseURL, peer.url());
    questions = app.delegate->syncQuestionsController();
    main = app.delegate->mainThreadManagedObjectContext();
    account = app.data()->localAccount();
  }
  void TearDown() override
  {
    manager.reset();
    // The sync client announces the feeds the server added through a
    // throttler that outlives the store (half a second, postponed up to ten
    // times); its last announcement goes out while this store is open.
    ZPHTestSpinEventLoop(1500);
    app.stop();
    clearSyncSettings();
  }

  void signIn(const QString& storedPassword = Password)
  {
    peer.addAccount(User, Password);
    ZPHSyncCredentials::saveUsername(User);
    ZPHSyncCredentials::savePassword(storedPassword);
  }
  // Feeds on both sides, so the first sync asks.
  void twoSides()
  {
    QJsonObject feed{{QStringLiteral("url"), ServerFeed},  {QStringLiteral("guid"), QStringLiteral("G-server")},
                     {QStringLiteral("childIndex"), 0},    {QStringLiteral("flags"), 0},
                     {QStringLiteral("isDeleted"), false}, {QStringLiteral("parentGUIDModDate"), 1000.0}};
    peer.putFeed(User, feed);
    account->addFeed(CBFeed::insertFeedWithURL(QUrl(LocalFeed), main));
    ASSERT_TRUE(main->save());
    app.settle();
  }
  void startSync()
  {
    manager = std::make_unique<ZPHSyncManager>();
    manager->start();
  }
  bool waitForCycle(int timeoutMs = 30000)
  {
    const bool ended = ZPHTestWaitUntil([&] { return !manager->refreshInProgress(); }, timeoutMs);
    app.settle();
    return ended;
  }
  bool hasFeed(const QString& url) { return CBFeed::feedWithURL(url, main) != nullptr; }
  ZPHSyncMergeOrPurgeController* waitForMergeOrPurge()
  {
    ZPHTestWaitUntil([&] { return questions->mergeOrPurgeSheet() != nullptr; }, 30000);
    return questions->mergeOrPurgeSheet();
  }

  ZPHTestTempDir dir;
  ZPHTestSyncPeer peer;
  AppHarness app{dir.filePath(QStringLiteral("data"))};
  ZPHSyncQuestionsController* questions = nullptr;
  ZPHManagedObjectContext* main = nullptr;
  CBDataAccount* account = nullptr;
  std::unique_ptr<ZPHSyncManager> manager;
};

TEST_F(SyncSheetsTest, MergeAfterAFirstThoughtAndPurge)
{
  signIn();
  twoSides();
  startSync();
  ZPHSyncMergeOrPurgeController* sheet = waitForMergeOrPurge();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->sheetWindow()->isVisible());
  const QString firstMessage = sheet->messageTextField()->text();
  const QString firstLeft = sheet->leftButton()->text();

  // Merge, then "Woah!": back to the choice, nothing answered.
  QTest::mouseClick(sheet->rightButton(), Qt::LeftButton);
  EXPECT_EQ(sheet->sheetWindow()->windowTitle(), QStringLiteral("Are you sure?"));
  EXPECT_TRUE(sheet->commentaryTextField()->text().contains(QStringLiteral("this computer")));
  EXPECT_EQ(sheet->leftButton()->text(), QStringLiteral("Woah! What was I thinking?"));
  QTest::mouseClick(sheet->leftButton(), Qt::LeftButton);
  EXPECT_EQ(sheet->messageTextField()->text(), firstMessage);
  EXPECT_EQ(sheet->leftButton()->text(), firstLeft);
  EXPECT_TRUE(manager->refreshInProgress());

  // Merge for real.
  QTest::mouseClick(sheet->rightButton(), Qt::LeftButton);
  EXPECT_EQ(sheet->rightButton()->text(), QStringLiteral("Yes, that\u2019s what I wanted"));
  QTest::mouseClick(sheet->rightButton(), Qt::LeftButton);
  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
  EXPECT_TRUE(hasFeed(ServerFeed));
  EXPECT_TRUE(hasFeed(LocalFeed));
  EXPECT_FALSE(peer.feed(User, LocalFeed).isEmpty());
}

TEST_F(SyncSheetsTest, PurgeKeepsOnlyTheServersSites)
{
  signIn();
  twoSides();
  startSync();
  ZPHSyncMergeOrPurgeController* sheet = waitForMergeOrPurge();
  ASSERT_NE(sheet, nullptr);
  sheet->purge();
  EXPECT_EQ(sheet->rightButton()->text(), QStringLiteral("I really don\u2019t want my local data"));
  sheet->sendResponse();
  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(manager->lastError().isNull());
  EXPECT_TRUE(hasFeed(ServerFeed));
  EXPECT_FALSE(hasFeed(LocalFeed));
}

TEST_F(SyncSheetsTest, ClosingTheQuestionChangesNothingAndItComesAgain)
{
  signIn();
  twoSides();
  startSync();
  ZPHSyncMergeOrPurgeController* sheet = waitForMergeOrPurge();
  ASSERT_NE(sheet, nullptr);
  QTest::keyClick(sheet->sheetWindow(), Qt::Key_Escape);
  EXPECT_EQ(questions->mergeOrPurgeSheet(), nullptr);
  ASSERT_TRUE(waitForCycle());
  EXPECT_EQ(manager->lastError().code(), ZPHSyncErrorNoAnswer);
  EXPECT_FALSE(hasFeed(ServerFeed));
  EXPECT_TRUE(hasFeed(LocalFeed));
  EXPECT_TRUE(peer.feed(User, LocalFeed).isEmpty());
  EXPECT_FALSE(defaults().boolForKey(ZPHSyncDataHasBeenSynced));

  // The next cycle asks again.
  manager->fetchFeedsAndFolders();
  ASSERT_NE(waitForMergeOrPurge(), nullptr);
  questions->mergeOrPurgeSheet()->merge();
  questions->mergeOrPurgeSheet()->sendResponse();
  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(hasFeed(ServerFeed));
}

TEST_F(SyncSheetsTest, ARefusedLoginBringsTheSheetAndTheRightPasswordCompletesTheCycle)
{
  signIn(QStringLiteral("an-old-password"));
  defaults().setBool(ZPHSyncDataHasBeenSynced, true);
  defaults().setString(ZPHLastValidUserNameKey, User);
  startSync();
  ZPHTestWaitUntil([&] { return questions->loginSheet() != nullptr; }, 30000);
  ZPHCredentialsWindowController* sheet = questions->loginSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->createAccountButton()->isVisible());
  EXPECT_EQ(sheet->usernameTextField()->text(), User);
  sheet->passwordTextField()->setText(Password);
  QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
  ASSERT_TRUE(waitForCycle());
  EXPECT_TRUE(manager->lastError().isNull()) << manager->lastError().toString().toStdString();
  EXPECT_EQ(ZPHSyncCredentials::password(), Password);
}

TEST_F(SyncSheetsTest, CreatingAnAccountOneRequestPerClick)
{
  peer.addAccount(QStringLiteral("taken@example.com"), Password);
  defaults().setBool(ZPHSyncDataHasBeenSynced, true);
  startSync();
  ZPHTestWaitUntil([&] { return questions->loginSheet() != nullptr; }, 30000);
  ASSERT_NE(questions->loginSheet(), nullptr);
  QTest::mouseClick(questions->loginSheet()->createAccountButton(), Qt::LeftButton);
  ZPHTestWaitUntil([&] { return questions->accountSheet() != nullptr; });
  ZPHSyncServerCreationWindowController* sheet = questions->accountSheet();
  ASSERT_NE(sheet, nullptr);
  // Both password fields start empty.
  EXPECT_TRUE(sheet->passwordTextField()->text().isEmpty());
  EXPECT_TRUE(sheet->repeatedPassedTextField()->text().isEmpty());

  QTest::mouseClick(sheet->createAccountButton(), Qt::LeftButton);
  EXPECT_EQ(sheet->errorMessageTextField()->text(), QStringLiteral("Fields must not be empty!"));
  sheet->usernameTextField()->setText(QStringLiteral("taken@example.com"));
  sheet->passwordTextField()->setText(QStringLiteral("one"));
  sheet->repeatedPassedTextField()->setText(QStringLiteral("two"));
  QTest::mouseClick(sheet->createAccountButton(), Qt::LeftButton);
  EXPECT_EQ(sheet->errorMessageTextField()->text(), QStringLiteral("Passwords do not match!"));
  EXPECT_TRUE(sheet->createAccountButton()->isEnabled());
  EXPECT_TRUE(peer.requests(QStringLiteral("create")).isEmpty());

  // The server refuses a name it has.
  sheet->repeatedPassedTextField()->setText(QStringLiteral("one"));
  QTest::mouseClick(sheet->createAccountButton(), Qt::LeftButton);
  EXPECT_FALSE(sheet->createAccountButton()->isEnabled());
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !sheet->isWaitingForServer(); }, 30000));
  EXPECT_EQ(sheet->errorMessageTextField()->text(), QStringLiteral("Unable to create account with that user name"));
  EXPECT_EQ(peer.requests(QStringLiteral("create")).size(), 1);

  sheet->usernameTextField()->setText(QStringLiteral("new@example.com"));
  QTest::mouseClick(sheet->createAccountButton(), Qt::LeftButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !sheet->isWaitingForServer(); }, 30000));
  EXPECT_EQ(sheet->errorMessageTextField()->text(), QStringLiteral("Account created!"));
  EXPECT_TRUE(sheet->accountCreated());
  EXPECT_FALSE(sheet->cancelButton()->isVisible());
  EXPECT_EQ(sheet->createAccountButton()->text(), QStringLiteral("Wahoo!"));
  EXPECT_EQ(peer.requests(QStringLiteral("create")).size(), 2);
  EXPECT_TRUE(peer.hasAccount(QStringLiteral("new@example.com")));
  // A late reply of an earlier click changes nothing now.
  sheet->accountCreationResponse(QVariantMap{{QStringLiteral("status"), QStringLiteral("error")}});
  EXPECT_EQ(sheet->errorMessageTextField()->text(), QStringLiteral("Account created!"));
  QTest::mouseClick(sheet->createAccountButton(), Qt::LeftButton);
  EXPECT_EQ(questions->accountSheet(), nullptr);
  EXPECT_FALSE(app.delegate->runningModalSheet());
}

}  // namespace
