// The mailing-list client against a loopback service: what one sign-up
// sends, and which one handler each kind of reply reaches.

#include "sheets/CSAPI.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtNetwork/QNetworkRequest>

#include <gtest/gtest.h>

namespace {

const QString Key = QStringLiteral("e93b07d5a1c4f2866b0d7e3a95c1f48d");
const QString List = QStringLiteral("4a8d1f6e0b73c9252e6f8a0d7b41c3e9");

struct Outcome {
  int successes = 0;
  int failures = 0;
  QVariant response;
  ZPHError error;
  int calls() const { return successes + failures; }
};

Outcome subscribe(CSAPI& api, const QString& email = QStringLiteral("reader@example.com"))
{
  Outcome outcome;
  api.subscribeToListWithID(
      List, email, QStringLiteral("Ada Reader"), true, {},
      [&](const QVariant& response) {
        ++outcome.successes;
        outcome.response = response;
      },
      [&](const ZPHError& error) {
        ++outcome.failures;
        outcome.error = error;
      });
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return outcome.calls() > 0; }, 30000));
  ZPHTestSpinEventLoop(50);  // a second handler would run by now
  EXPECT_EQ(outcome.calls(), 1);
  return outcome;
}

TEST(MailingList, ASignUpSendsOneJSONPostWithTheServicesHeaders)
{
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  server.route(QStringLiteral("/api/v3/subscribers/") + List + QStringLiteral(".json"), [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response;
    response.status = 201;
    response.headers = {{"Content-Type", "application/json"}, {"Set-Cookie", "session=abc"}};
    response.body = "\"reader@example.com\"";
    return response;
  });
  CSAPI api(Key, server.url(QStringLiteral("/api/v3/")), QStringLiteral("tansy"));
  const Outcome outcome = subscribe(api);
  EXPECT_EQ(outcome.successes, 1);
  // A body that is a JSON string arrives without its quotes.
  EXPECT_EQ(outcome.response.toString(), QStringLiteral("reader@example.com"));

  ASSERT_EQ(server.requests().size(), 1);
  const ZPHTestHTTPRequest request = server.requests().first();
  EXPECT_EQ(request.method, QByteArray("POST"));
  EXPECT_EQ(request.path, QStringLiteral("/api/v3/subscribers/") + List + QStringLiteral(".json"));
  EXPECT_EQ(request.header("Content-Type"), QByteArray("application/json"));
  EXPECT_EQ(request.header("User-Agent"), QByteArray("createsend-objc-1.1.1"));
  EXPECT_EQ(request.header("Authorization"), "Basic " + (Key + QStringLiteral(":tansy")).toUtf8().toBase64());
  EXPECT_TRUE(request.header("Cookie").isNull());
  const QJsonObject body = QJsonDocument::fromJson(request.body).object();
  EXPECT_EQ(body.value(QStringLiteral("EmailAddress")).toString(), QStringLiteral("reader@example.com"));
  EXPECT_EQ(body.value(QStringLiteral("Name")).toString(), QStringLiteral("Ada Reader"));
  EXPECT_TRUE(body.value(QStringLiteral("CustomFields")).isArray());
  EXPECT_TRUE(body.value(QStringLiteral("CustomFields")).toArray().isEmpty());
  EXPECT_EQ(body.value(QStringLiteral("Resubscribe")), QJsonValue(true));
  EXPECT_TRUE(request.body.contains("\"CustomFields\":[]"));

  // The cookie the service set is never sent back.
  subscribe(api);
  ASSERT_EQ(server.requests().size(), 2);
  EXPECT_TRUE(server.requests().at(1).header("Cookie").isNull());
}

TEST(MailingList, EachReplyReachesExactlyOneHandler)
{
  struct Case {
    const char* name;
    int status;
    QByteArray contentType;
    QByteArray body;
    bool success;
    qint64 code;  // of the failure; 0: not checked
    QString message;
  };
  const QList<Case> cases = {
      {"200 with a string", 200, "application/json", "\"ok\"", true, 0, {}},
      {"200 in the service's error form", 200, "application/json",
       R"({"Code":204,"Message":"In Suppression List","ResultData":{"x":1}})", false, 204, "In Suppression List"},
      {"201 without a body", 201, "application/json", "", true, 0, {}},
      {"400 in the service's error form", 400, "application/json", R"({"Code":1,"Message":"Invalid Email Address"})",
       false, 1, "Invalid Email Address"},
      {"500 with an HTML page", 500, "text/html", "<html><body>Oops</body></html>", false, 500, {}},
      {"502 without a body", 502, "text/plain", "", false, 502, {}},
  };
  ZPHTestHTTPServer server;
  ASSERT_TRUE(server.start());
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    server.route(QStringLiteral("/api/v3/subscribers/") + List + QStringLiteral(".json"),
                 [test](const ZPHTestHTTPRequest&) {
                   ZPHTestHTTPResponse response;
                   response.status = test.status;
                   response.headers = {{"Content-Type", test.contentType}};
                   response.body = test.body;
                   return response;
                 });
    CSAPI api(Key, server.url(QStringLiteral("/api/v3/")), QStringLiteral("tansy"));
    const Outcome outcome = subscribe(api);
    EXPECT_EQ(outcome.successes == 1, test.success);
    if (!test.success && test.code != 0) {
      EXPECT_EQ(outcome.error.code(), test.code);
    }
    if (!test.message.isEmpty()) {
      EXPECT_EQ(outcome.error.localizedDescription(), test.message);
    }
    if (QByteArray(test.name).contains("ResultData") || test.body.contains("ResultData")) {
      EXPECT_EQ(outcome.error.value(CSAPIErrorResultDataKey).toMap().value(QStringLiteral("x")).toInt(), 1);
    }
  }
}

TEST(MailingList, AnUnusableAddressFailsAtOnceAndARefusedConnectionFails)
{
  for (const QString& address : {QString(), QStringLiteral("http://lists.example.com/api/v3/"),
                                 QStringLiteral("ftp://127.0.0.1/"), QStringLiteral("https://user:pw@host/")}) {
    SCOPED_TRACE(address.toStdString());
    CSAPI api(Key, QUrl(address), QStringLiteral("tansy"));
    const Outcome outcome = subscribe(api);
    EXPECT_EQ(outcome.failures, 1);
  }
  // Nothing listens there any more.
  QUrl closed;
  {
    ZPHTestHTTPServer gone;
    ASSERT_TRUE(gone.start());
    closed = gone.url(QStringLiteral("/api/v3/"));
  }
  CSAPI api(Key, closed, QStringLiteral("tansy"));
  const Outcome outcome = subscribe(api);
  EXPECT_EQ(outcome.failures, 1);
  EXPECT_FALSE(outcome.error.localizedDescription().isEmpty());
}

TEST(MailingList, TheGETQueryIsPercentEncodedAndHasNoBody)
{
  CSRestClient client(QUrl(QStringLiteral("https://lists.example.com/api/v3/")));
  QByteArray body;
  const QNetworkRequest request = client.requestWithMethod(
      "GET", QStringLiteral("lists.json"), {{QStringLiteral("q"), QStringLiteral("a b&c=d/é")}}, {}, &body);
  EXPECT_TRUE(body.isEmpty());
  EXPECT_EQ(request.url().toString(QUrl::FullyEncoded),
            QStringLiteral("https://lists.example.com/api/v3/lists.json?q=a%20b%26c%3Dd%2F%C3%A9"));
  EXPECT_EQ(cs_base64EncodedString("key:pass"), QStringLiteral("a2V5OnBhc3M="));
  EXPECT_EQ(cs_urlEncodedString(QStringLiteral("~!*'();:@&=+$,/?#[]")),
            QStringLiteral("%7E%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%23%5B%5D"));
}

}  // namespace
