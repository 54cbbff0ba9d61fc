// The read-later service against a loopback server: what each answer
// means, what a request carries, the login kept in a temporary secret store,
// and the command's login inside the sharing popover.

#include "app/sharing/SharingTestSupport.h"
#include "common/ZPHApplicationNotifications.h"
#include "feeds/network/ZPHNetworkController.h"
#include "platform/ZPHFilePasswordStore.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHUserDefaults.h"
#include "sharing/CBPluginHelper.h"
#include "sharing/ZPHPluginCommandSendToInstapaper.h"
#include "sharing/ZPHPluginManager.h"
#include "sharing/ZPHSharingErrors.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "support/ZPHTestHTTPServer.h"

#include <QtCore/QLoggingCategory>
#include <QtCore/QUrlQuery>
#include <QtTest/QTest>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

#include <gtest/gtest.h>

namespace {

class Recorder final : public ZPHInstapaperClientDelegate {
public:
  void instapaperClientDidSucceed(ZPHInstapaperClient*) override { done = true; }
  void instapaperClientDidFail(ZPHInstapaperClient*, const ZPHError& failure) override
  {
    done = true;
    error = failure;
  }
  bool done = false;
  ZPHError error;
};

QMap<QString, QString> formOf(const QByteArray& body)
{
  QMap<QString, QString> form;
  for (const auto& [key, value] : QUrlQuery(QString::fromLatin1(body)).queryItems(QUrl::FullyDecoded))
    form.insert(key, value);
  return form;
}

class ReadLater : public ::testing::Test {
protected:
  void SetUp() override
  {
    SharingTestEnvironment::shared();
    ASSERT_TRUE(server.start());
    ZPHUserDefaults::standardUserDefaults().setString(ZPHInstapaperClient::BaseURLDefaultsKey,
                                                      server.url(QStringLiteral("/")).toString());
    ZPHNetworkController::sharedController()->setHasInternetConnectivity(true);
    ZPHPluginCommandSendToInstapaper::setSavedUsername(QString());
  }
  void TearDown() override
  {
    ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
    ZPHUserDefaults::standardUserDefaults().removeObject(ZPHInstapaperClient::BaseURLDefaultsKey);
    ZPHPluginCommandSendToInstapaper::setSavedUsername(QString());
    ZPHInstapaperClient::setRequestTimeout(30000);
    ZPHTestSpinEventLoop(50);
  }

  ZPHError send(const CBSharableItem& item, const QString& password = QStringLiteral("secret"))
  {
    ZPHSendToInstapaperClient client(item, nullptr);
    Recorder recorder;
    client.setDelegate(&recorder);
    client.setUsername(QStringLiteral("reader@example.com"));
    client.setPassword(password);
    client.start();
    EXPECT_TRUE(ZPHTestWaitUntil([&] { return recorder.done; }, 20000));
    return recorder.error;
  }

  ScopedPasswordStore secrets;
  ZPHTestHTTPServer server;
  const CBSharableItem item = CBSharableItem::sharableItemWithURL(
      QUrl(QStringLiteral("https://example.com/url?a=1&b=+")), QUrl(QStringLiteral("https://example.com/permalink")),
      QStringLiteral("A + B & C # D"));
};

}  // namespace

TEST_F(ReadLater, EachAnswerMeansWhatTheServiceSays)
{
  struct Case {
    int status;
    bool success;
    int code;
    const char* description;
  };
  const QList<Case> cases = {
      {200, true, 0, ""},
      {201, true, 0, ""},
      {204, false, 3, ""},
      {302, false, 1, "Service Unavailable"},
      {403, false, 0, "Login Error"},
      {500, false, 1, "Service Unavailable"},
  };
  for (const Case& c : cases) {
    const int before = int(server.requests().size());
    server.route(QStringLiteral("/api/add"), [status = c.status](const ZPHTestHTTPRequest&) {
      ZPHTestHTTPResponse response = status == 302 ? ZPHTestHTTPResponse::redirect("/api/add") : ZPHTestHTTPResponse();
      response.status = status;
      return response;
    });
    const ZPHError error = send(item);
    EXPECT_EQ(error.isNull(), c.success) << c.status;
    if (!c.success) {
      EXPECT_EQ(error.domain(), ZPHSharingErrorDomain) << c.status;
      EXPECT_EQ(error.code(), c.code) << c.status;
      EXPECT_EQ(error.value(ZPHLocalizedDescriptionKey).toString(), QString::fromLatin1(c.description)) << c.status;
    }
    // A redirect is not followed.
    EXPECT_EQ(server.requests().size(), before + 1) << c.status;
  }
}

TEST_F(ReadLater, TransportFailuresAreServiceUnavailableOrOffline)
{
  // Refused: nothing listens on the port any more.
  ZPHTestHTTPServer gone;
  ASSERT_TRUE(gone.start());
  const QUrl refused = gone.url(QStringLiteral("/"));
  ZPHUserDefaults::standardUserDefaults().setString(ZPHInstapaperClient::BaseURLDefaultsKey,
                                                    QStringLiteral("http://127.0.0.1:1/"));
  ZPHError error = send(item);
  EXPECT_EQ(error.code(), ZPHSharingRequestFailedError);
  ZPHNetworkController::sharedController()->setHasInternetConnectivity(false);
  error = send(item);
  EXPECT_EQ(error.code(), ZPHSharingInternetDisconnectedError);
  EXPECT_EQ(error.value(ZPHLocalizedDescriptionKey).toString(), QStringLiteral("Internet Disconnected"));
  ZPHNetworkController::sharedController()->setHasInternetConnectivity(true);

  // A server that does not answer in time.
  ZPHUserDefaults::standardUserDefaults().setString(ZPHInstapaperClient::BaseURLDefaultsKey,
                                                    server.url(QStringLiteral("/")).toString());
  server.route(QStringLiteral("/api/add"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.body = QByteArray(64, 'x');
    response.delayBeforeBodyMs = 3000;
    return response;
  });
  ZPHInstapaperClient::setRequestTimeout(300);
  error = send(item);
  EXPECT_EQ(error.code(), ZPHSharingRequestFailedError);
  EXPECT_EQ(error.value(ZPHLocalizedDescriptionKey).toString(), QStringLiteral("Service Unavailable"));
  Q_UNUSED(refused);

  // Only https, or http to this machine, serves as the address.
  for (const char* address : {"http://example.com/", "ftp://127.0.0.1/", "https://user:pw@example.com/"})
    EXPECT_FALSE(ZPHInstapaperClient::isAcceptableBaseURL(QUrl(QString::fromLatin1(address)))) << address;
  for (const char* address : {"https://example.com/", "http://127.0.0.1:8080/", "http://localhost/", "http://[::1]/"})
    EXPECT_TRUE(ZPHInstapaperClient::isAcceptableBaseURL(QUrl(QString::fromLatin1(address)))) << address;
}

TEST_F(ReadLater, RequestsCarryTheFormTheServiceExpectsAndNoCookies)
{
  server.route(QStringLiteral("/api/add"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.status = 201;
    response.headers.append(std::make_pair(QByteArray("Set-Cookie"), QByteArray("session=abc; Path=/")));
    return response;
  });
  ASSERT_TRUE(send(item).isNull());
  CBSharableItem untitled = item;
  untitled.setTitle(QString());
  ASSERT_TRUE(send(untitled, QString()).isNull());

  const QList<ZPHTestHTTPRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 2);
  const QMap<QString, QString> first = formOf(requests.at(0).body);
  // The URL goes before the permalink; every value arrives as written.
  EXPECT_EQ(first.value(QStringLiteral("url")), QStringLiteral("https://example.com/url?a=1&b=+"));
  EXPECT_EQ(first.value(QStringLiteral("title")), QStringLiteral("A + B & C # D"));
  EXPECT_EQ(first.value(QStringLiteral("username")), QStringLiteral("reader@example.com"));
  EXPECT_EQ(first.value(QStringLiteral("password")), QStringLiteral("secret"));
  EXPECT_FALSE(first.contains(QStringLiteral("auto-title")));
  EXPECT_EQ(requests.at(0).method, QByteArray("POST"));
  EXPECT_EQ(requests.at(0).header("User-Agent"), QByteArray("Zephlin/test"));
  const QMap<QString, QString> second = formOf(requests.at(1).body);
  EXPECT_EQ(second.value(QStringLiteral("auto-title")), QStringLiteral("1"));
  EXPECT_FALSE(second.contains(QStringLiteral("title")));
  // An empty password is not sent at all.
  EXPECT_FALSE(second.contains(QStringLiteral("password")));
  // The cookie of the first answer does not come back.
  EXPECT_TRUE(requests.at(1).header("Cookie").isNull());
}

TEST_F(ReadLater, AnEmptyPasswordReplacesTheStoredOneAndClearingForgetsBoth)
{
  ZPHPluginCommandSendToInstapaper::setSavedUsername(QStringLiteral("reader"));
  ZPHPluginCommandSendToInstapaper::setSavedPassword(QStringLiteral("old"));
  EXPECT_EQ(ZPHPluginCommandSendToInstapaper::savedPassword(), QStringLiteral("old"));
  EXPECT_TRUE(ZPHPluginCommandSendToInstapaper::hasSavedCredentials());
  // The store kept "old" after an empty password; it must not.
  ZPHPluginCommandSendToInstapaper::setSavedPassword(QString());
  EXPECT_TRUE(ZPHPluginCommandSendToInstapaper::savedPassword().isEmpty());
  EXPECT_FALSE(ZPHPluginCommandSendToInstapaper::hasSavedCredentials());

  ZPHPluginCommandSendToInstapaper::setSavedPassword(QStringLiteral("new"));
  ZPHPluginCommandSendToInstapaper command;
  EXPECT_TRUE(command.canClearCredentials());
  command.clearCredentials();
  EXPECT_FALSE(command.canClearCredentials());
  EXPECT_TRUE(ZPHPluginCommandSendToInstapaper::savedUsername().isEmpty());
  QList<ZPHPasswordItem> items;
  secrets.store->listItems(
      ZPHPasswordItem::internetKey(QStringLiteral("127.0.0.1"), QString(), QStringLiteral("reader"), 0), &items);
  EXPECT_TRUE(items.isEmpty());
}

TEST_F(ReadLater, LoggingInThroughThePopoverStoresTheLoginThenSends)
{
  QLoggingCategory::setFilterRules(QStringLiteral("zephlin.*=true"));
  CapturedLog log;
  QStringList posted;
  std::vector<ZPHObserverToken> observers;
  for (const QString& name :
       {ZPHSendToInstapaperClientDidStartNotification, ZPHSendToInstapaperClientDidSucceedNotification,
        ZPHSendToInstapaperClientDidFailNotification})
    observers.push_back(ZPHNotificationCenter::defaultCenter().addObserver(
        name, QVariant(), nullptr, [&posted, name](const ZPHNotification&) { posted.append(name); }));
  int authenticateStatus = 403;
  server.route(QStringLiteral("/api/authenticate"), [&](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.status = authenticateStatus;
    return response;
  });
  server.route(QStringLiteral("/api/add"), [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse(); });

  QWidget window;
  window.resize(400, 300);
  window.show();
  ZPHPluginCommandSendToInstapaper* command =
      ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
  ASSERT_NE(command, nullptr);
  ZPHSharingPopoverViewController* popover = ZPHSharingPopoverViewController::sharingPopoverViewController();

  // No login saved: the login view comes up in the popover.
  ZPHPluginManager::sharedManager()->runPluginCommand(command, {item}, nullptr, &window, nullptr, {}, nullptr);
  ASSERT_NE(command->instapaperLoginViewController(), nullptr);
  ASSERT_TRUE(popover->isShown());
  ZPHInstapaperLoginViewController* login = command->instapaperLoginViewController();
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return login->view()->isVisible(); }));
  // Each field is labelled, not only by a placeholder that goes as one types.
  for (const auto& [field, label] : {std::pair{login->emailAddressTextField(), QStringLiteral("User name:")},
                                     std::pair{login->passwordTextField(), QStringLiteral("Password:")}}) {
    QLabel* buddyLabel = nullptr;
    for (QLabel* candidate : login->view()->findChildren<QLabel*>())
      if (candidate->buddy() == field)
        buddyLabel = candidate;
    ASSERT_NE(buddyLabel, nullptr) << label.toStdString();
    EXPECT_EQ(buddyLabel->text(), label);
    EXPECT_TRUE(buddyLabel->isVisible());
  }
  // A second run while it asks opens no second login.
  ZPHPluginManager::sharedManager()->runPluginCommand(command, {item}, nullptr, &window, nullptr, {}, nullptr);
  EXPECT_EQ(command->instapaperLoginViewController(), login);

  // Refused: the message, the password selected, nothing stored.
  QTest::keyClicks(login->emailAddressTextField(), QStringLiteral("reader@example.com"));
  QTest::keyClicks(login->passwordTextField(), QStringLiteral("wrong-secret"));
  ASSERT_TRUE(login->loginButton()->isEnabled());
  QTest::mouseClick(login->loginButton(), Qt::LeftButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !login->loggingIn() && !login->errorMessage().isEmpty(); }, 20000));
  EXPECT_EQ(login->errorMessageLabel()->text(), QStringLiteral("Username or password incorrect"));
  EXPECT_EQ(login->passwordTextField()->selectedText(), QStringLiteral("wrong-secret"));
  EXPECT_TRUE(ZPHPluginCommandSendToInstapaper::savedUsername().isEmpty());
  EXPECT_TRUE(posted.isEmpty());

  // Accepted: stored, the popover closes, and the item is sent.
  authenticateStatus = 200;
  login->passwordTextField()->setText(QStringLiteral("right-secret"));
  QTest::mouseClick(login->loginButton(), Qt::LeftButton);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return posted.size() == 2; }, 20000));
  EXPECT_EQ(posted, (QStringList{ZPHSendToInstapaperClientDidStartNotification,
                                 ZPHSendToInstapaperClientDidSucceedNotification}));
  EXPECT_FALSE(popover->isShown());
  EXPECT_EQ(ZPHPluginCommandSendToInstapaper::savedUsername(), QStringLiteral("reader@example.com"));
  EXPECT_EQ(ZPHPluginCommandSendToInstapaper::savedPassword(), QStringLiteral("right-secret"));
  EXPECT_EQ(command->instapaperLoginViewController(), nullptr);

  // The service refuses the stored login on a send: it asks again.
  server.route(QStringLiteral("/api/add"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.status = 403;
    return response;
  });
  ZPHPluginManager::sharedManager()->runPluginCommand(command, {item}, nullptr, &window, nullptr, {}, nullptr);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return command->instapaperLoginViewController() != nullptr; }, 20000));
  EXPECT_TRUE(popover->isShown());
  EXPECT_TRUE(ZPHPluginCommandSendToInstapaper::savedUsername().isEmpty());
  // The failure is announced once the client's reply has been handled, which
  // may come after the login is asked for again.
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return posted.constLast() == ZPHSendToInstapaperClientDidFailNotification; }))
      << posted.constLast().toStdString();

  // Cancelling sends nothing more.
  const qsizetype requests = server.requests().size();
  QTest::mouseClick(command->instapaperLoginViewController()->cancelButton(), Qt::LeftButton);
  ZPHTestSpinEventLoop(200);
  EXPECT_FALSE(popover->isShown());
  EXPECT_EQ(command->instapaperLoginViewController(), nullptr);
  EXPECT_EQ(server.requests().size(), requests);

  // No password reached the log.
  for (const QString& line : log.lines()) {
    EXPECT_FALSE(line.contains(QStringLiteral("wrong-secret"))) << line.toStdString();
    EXPECT_FALSE(line.contains(QStringLiteral("right-secret"))) << line.toStdString();
  }
  QLoggingCategory::setFilterRules(QString());
}

TEST_F(ReadLater, AnAnchorOutsideAnyShownWindowLeavesNoLoginBehind)
{
  ZPHPluginCommandSendToInstapaper* command =
      ZPHPluginManager::sharedManager()->pluginCommandOfClass<ZPHPluginCommandSendToInstapaper>();
  ASSERT_NE(command, nullptr);
  QWidget hidden;  // never shown
  ZPHPluginManager::sharedManager()->runPluginCommand(command, {item}, nullptr, &hidden, nullptr, {}, nullptr);
  EXPECT_EQ(command->instapaperLoginViewController(), nullptr);
  // The next run, with a window, asks as it should.
  QWidget window;
  window.show();
  ZPHPluginManager::sharedManager()->runPluginCommand(command, {item}, nullptr, &window, nullptr, {}, nullptr);
  EXPECT_NE(command->instapaperLoginViewController(), nullptr);
  EXPECT_TRUE(ZPHSharingPopoverViewController::sharingPopoverViewController()->isShown());
  ZPHSharingPopoverViewController::sharingPopoverViewController()->closePopOver();
  ZPHTestSpinEventLoop(50);
  EXPECT_EQ(command->instapaperLoginViewController(), nullptr);
}
