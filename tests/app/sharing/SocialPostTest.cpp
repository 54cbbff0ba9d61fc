// The social posting command against a loopback peer that speaks the
// client's protocol: the veto without an address, the token in the secret
// store and never in the settings or the log, refused credentials, the
// length rule, the body and bearer header, and clearing.

#include "app/sharing/SharingTestSupport.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/ZPHPluginCommandSendToAppDotNet.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingErrors.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "sharing/ZPHSocialPostClient.h"
#include "support/ZPHTestHTTPServer.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QLoggingCategory>
#include <QtCore/QPointer>
#include <QtCore/QUrlQuery>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <gtest/gtest.h>

namespace {

const QByteArray Token = "tok-0123456789abcdef";

class SocialPost : public ::testing::Test {
protected:
  void SetUp() override
  {
    SharingTestEnvironment::shared();
    ASSERT_TRUE(peer.start());
    peer.route(QStringLiteral("/oauth/access_token"), [](const ZPHTestHTTPRequest& request) {
      const QUrlQuery form(QString::fromLatin1(request.body));
      ZPHTestHTTPResponse response;
      if (form.queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded) != QLatin1String("p@ss word+")) {
        response.status = 401;
        response.body = R"({"meta": {"code": 401, "error_message": "bad login"}})";
        return response;
      }
      response.body = R"({"access_token": ")" + Token + R"("})";
      return response;
    });
    peer.route(QStringLiteral("/posts"), [](const ZPHTestHTTPRequest& request) {
      ZPHTestHTTPResponse response;
      response.status = request.header("Authorization") == "Bearer " + Token ? 201 : 401;
      return response;
    });
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    defaults.setString(ZPHSocialPostClient::BaseURLDefaultsKey, peer.url(QStringLiteral("/")).toString());
    defaults.setString(ZPHSocialPostClient::ClientIDDefaultsKey, QStringLiteral("client-id"));
    defaults.setString(ZPHSocialPostClient::PasswordGrantSecretDefaultsKey, QStringLiteral("grant-secret"));
    ZPHSocialPostClient::sharedClient()->logOut();
    window.resize(400, 300);
    window.show();
  }
  void TearDown() override
  {
    ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
    ZPHTestSpinEventLoop(50);
    ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
    defaults.removeObject(ZPHSocialPostClient::BaseURLDefaultsKey);
    ZPHSocialPostClient::sharedClient()->logOut();
  }

  ScopedPasswordStore secrets;
  ZPHTestHTTPServer peer;
  QWidget window;
};

}  // namespace

TEST_F(SocialPost, WithoutAnAddressThePluginVetoes)
{
  ZPHPluginManager manager;
  manager.registerPluginOfClass(QStringLiteral("ZPHSharingPluginSendToAppDotNet"));
  EXPECT_NE(manager.pluginCommandOfClass<ZPHPluginCommandSendToAppDotNet>(), nullptr);
  for (const char* address : {"", "http://example.com/", "not an address"}) {
    ZPHUserDefaults::standardUserDefaults().setString(ZPHSocialPostClient::BaseURLDefaultsKey,
                                                      QString::fromLatin1(address));
    ZPHPluginManager vetoing;
    vetoing.registerPluginOfClass(QStringLiteral("ZPHSharingPluginSendToAppDotNet"));
    EXPECT_EQ(vetoing.pluginCommandOfClass<ZPHPluginCommandSendToAppDotNet>(), nullptr) << address;
    EXPECT_TRUE(vetoing.plugins().isEmpty());
  }
}

TEST_F(SocialPost, LogsInKeepsTheTokenSecretAndPostsWithIt)
{
  QLoggingCategory::setFilterRules(QStringLiteral("zephlin.*=true"));
  CapturedLog log;
  ZPHPluginCommandSendToAppDotNet command;
  const CBSharableItem item = CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/a?b=1&c=+")),
                                                                  QUrl(), QStringLiteral("Caf\u00e9 & \U0001F600"));
  ASSERT_TRUE(
      command.performCommandWithArray({item}, CBUserInterfaceContext(nullptr, &window, nullptr), nullptr, nullptr));
  ZPHAppDotNetLoginViewController* login = command.loginViewController();
  ASSERT_NE(login, nullptr);
  EXPECT_EQ(command.postViewController(), nullptr);

  // Refused: the login view says so; nothing is kept.
  QTest::keyClicks(login->emailAddressTextField(), QStringLiteral("poster"));
  QTest::keyClicks(login->passwordTextField(), QStringLiteral("wrong"));
  QTest::mouseClick(login->loginButton(), Qt::LeftButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !login->errorMessage().isEmpty(); }, 20000));
  EXPECT_EQ(login->errorMessageLabel()->text(), QStringLiteral("Username or password incorrect"));
  EXPECT_EQ(login->error().domain(), ZPHSharingErrorDomain);
  EXPECT_EQ(login->error().code(), ZPHSharingLoginError);
  EXPECT_TRUE(ZPHPluginCommandSendToAppDotNet::accessToken().isEmpty());

  // Accepted: the token goes to the secret store, the composer comes.
  login->passwordTextField()->setText(QStringLiteral("p@ss word+"));
  QTest::mouseClick(login->loginButton(), Qt::LeftButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return command.postViewController() != nullptr; }, 20000));
  EXPECT_EQ(ZPHPluginCommandSendToAppDotNet::accessToken(), QString::fromLatin1(Token));
  for (const QString& key : ZPHUserDefaults::standardUserDefaults().registeredDefaults().keys())
    EXPECT_NE(ZPHUserDefaults::standardUserDefaults().stringForKey(key), QString::fromLatin1(Token));
  EXPECT_FALSE(ZPHUserDefaults::standardUserDefaults().hasStoredValue(
      QStringLiteral("ZPHPluginCommandSendToAppDotNetAccessToken")));
  const QUrlQuery tokenForm(QString::fromLatin1(peer.requests().constLast().body));
  EXPECT_EQ(tokenForm.queryItemValue(QStringLiteral("client_id")), QStringLiteral("client-id"));
  EXPECT_EQ(tokenForm.queryItemValue(QStringLiteral("password_grant_secret")), QStringLiteral("grant-secret"));
  EXPECT_EQ(tokenForm.queryItemValue(QStringLiteral("scope"), QUrl::FullyDecoded), QStringLiteral("basic write_post"));

  ZPHAppDotNetPostViewController* composer = command.postViewController();
  EXPECT_EQ(composer->postText(), item.title() + QStringLiteral("\nhttps://example.com/a?b=1&c=+"));
  QTest::mouseClick(composer->postButton(), Qt::LeftButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return command.postViewController() == nullptr; }, 20000));
  const ZPHTestHTTPRequest post = peer.requests().constLast();
  EXPECT_EQ(post.path, QStringLiteral("/posts"));
  EXPECT_EQ(post.header("Authorization"), "Bearer " + Token);
  EXPECT_EQ(QJsonDocument::fromJson(post.body).object().value(QStringLiteral("text")).toString(),
            item.title() + QStringLiteral("\nhttps://example.com/a?b=1&c=+"));
  EXPECT_FALSE(ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown());

  // Neither the password nor the token reached the log.
  for (const QString& line : log.lines()) {
    EXPECT_FALSE(line.contains(QStringLiteral("p@ss"))) << line.toStdString();
    EXPECT_FALSE(line.contains(QString::fromLatin1(Token))) << line.toStdString();
  }
  QLoggingCategory::setFilterRules(QString());

  // Clearing forgets the token: the next run asks for a login again.
  EXPECT_TRUE(command.canClearCredentials());
  command.clearCredentials();
  EXPECT_FALSE(command.canClearCredentials());
  ASSERT_TRUE(
      command.performCommandWithArray({item}, CBUserInterfaceContext(nullptr, &window, nullptr), nullptr, nullptr));
  EXPECT_NE(command.loginViewController(), nullptr);
  EXPECT_EQ(command.postViewController(), nullptr);
}

TEST_F(SocialPost, AComposerLetGoHearsNoMoreOfThePopover)
{
  ZPHPluginCommandSendToAppDotNet::setAccessToken(QString::fromLatin1(Token));
  const CBSharableItem item =
      CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/a")), QUrl(), QStringLiteral("A"));
  auto command = std::make_unique<ZPHPluginCommandSendToAppDotNet>();
  const CBUserInterfaceContext context(nullptr, &window, nullptr);
  ASSERT_TRUE(command->performCommandWithArray({item}, context, nullptr, nullptr));
  QPointer<ZPHAppDotNetPostViewController> first = command->postViewController();
  ASSERT_NE(first, nullptr);
  // A second run replaces the composer; the first waits for its deferred
  // deletion, and the command goes before the popover closes.
  ASSERT_TRUE(command->performCommandWithArray({item}, context, nullptr, nullptr));
  ASSERT_NE(command->postViewController(), first.data());
  ASSERT_NE(first, nullptr);
  command.reset();
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
  EXPECT_FALSE(ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown());
  ZPHPluginCommandSendToAppDotNet::setAccessToken(QString());
}

TEST_F(SocialPost, TheComposerCountsCodePoints)
{
  struct Case {
    QString text;
    qsizetype remaining;
  };
  const QString e = QStringLiteral("e\u0301");  // a letter and its combining accent: two
  const QList<Case> cases = {
      {QString(256, u'a'), 0},
      {QString(257, u'a'), -1},
      {QString(255, u'a') + QStringLiteral("\U0001F600"), 0},  // beyond the first plane: one
      {QString(254, u'a') + e, 0},
      {QString(255, u'a') + e, -1},
  };
  ZPHAppDotNetPostViewController composer(nullptr);
  for (const Case& c : cases) {
    composer.setPostText(c.text);
    EXPECT_EQ(composer.numberOfCharactersRemaining(), c.remaining);
    EXPECT_EQ(composer.canPost(), c.remaining >= 0);
    EXPECT_EQ(composer.postButton()->isEnabled(), c.remaining >= 0);
    EXPECT_EQ(composer.remainingLabel()->text(), QString::number(c.remaining));
  }
  composer.setPostText(QString());
  EXPECT_FALSE(composer.canPost());
  // An item without a title starts with a line feed.
  composer.populatePostTextWithSharableItem(
      CBSharableItem::sharableItemWithURL(QUrl(QStringLiteral("https://example.com/"))));
  EXPECT_EQ(composer.postText(), QStringLiteral("\nhttps://example.com/"));

  // The refused-credentials code, not the text, decides.
  EXPECT_EQ(ZPHAppDotNetLoginViewController::translateADNLoginError(
                ZPHError(ZPHSocialPostClient::ErrorDomain, ZPHSocialPostClient::AuthenticationFailed,
                         {{ZPHLocalizedDescriptionKey, QStringLiteral("Anything at all")}}))
                .code(),
            ZPHSharingLoginError);
  const ZPHError other(ZPHSocialPostClient::ErrorDomain, ZPHSocialPostClient::ServiceFailed,
                       {{ZPHLocalizedDescriptionKey, QStringLiteral("Authentication failed")}});
  EXPECT_EQ(ZPHAppDotNetLoginViewController::translateADNLoginError(other), other);
}
