#include "feeds/network/CBDownloadOperation.h"
#include "feeds/network/ZPHHTTPExchange.h"
#include "feeds/network/ZPHNetworkAccessPool.h"
#include "support/ZPHTestHTTPServer.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QThread>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslCertificate>
#include <QtNetwork/QSslConfiguration>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

namespace {

using Event = ZPHNetworkTransfer::Event;

ZPHTestHTTPResponse textResponse(const QByteArray& body, int status = 200)
{
  return ZPHTestHTTPResponse{status, {{"Content-Type", "text/plain"}}, body};
}

ZPHTestHTTPResponse rawResponse(const QByteArray& raw)
{
  ZPHTestHTTPResponse response;
  response.raw = raw;
  return response;
}

// A request as a feed download makes it, with a stored entity tag.
QNetworkRequest feedRequest(const QUrl& url, int transferTimeoutMs = 20000)
{
  struct RequestMaker : CBDownloadOperation {
    using CBDownloadOperation::CBDownloadOperation;
    QNetworkRequest make()
    {
      createRequest();
      return urlRequest();
    }
  };
  RequestMaker maker(url);
  maker.setTimeoutIntervalMs(transferTimeoutMs);
  maker.setExtraRequestHeader(CBHTTPRequestHeaderIfNoneMatch, QStringLiteral("\"tag\""));
  return maker.make();
}

// Every event of a transfer to its end; challenges are declined.
QList<Event> runToEnd(ZPHNetworkAccessPool& pool, const ZPHNetworkTransfer::Request& request)
{
  const std::shared_ptr<ZPHNetworkTransfer> transfer = pool.start(request);
  QList<Event> all;
  const QDeadlineTimer deadline(60000);
  while (!deadline.hasExpired()) {
    for (Event& event : transfer->takeEvents(1000)) {
      if (event.type == Event::Challenge)
        transfer->answerChallenge(false);
      event.authenticator = nullptr;
      all.append(std::move(event));
      if (all.back().type == Event::Finished)
        return all;
    }
  }
  ADD_FAILURE() << "the transfer did not end";
  return all;
}

// What a caller sees of a transfer, as text: every response with its
// headers, the body (unless the pool cut it off, where the pieces depend on
// the reads), the end.
std::string describe(const QList<Event>& events)
{
  QString text;
  QByteArray body;
  for (const Event& event : events) {
    switch (event.type) {
      case Event::Response:
        text += QStringLiteral("response %1 status %2\n")
                    .arg(event.url.toString(), event.statusAttribute.isValid()
                                                   ? QString::number(event.statusAttribute.toInt())
                                                   : QStringLiteral("none"));
        for (const auto& [name, value] : event.headers)
          text += QStringLiteral("  %1: %2\n").arg(QString::fromLatin1(name), QString::fromLatin1(value));
        break;
      case Event::Data:
        body += event.data;
        break;
      case Event::Challenge:
        text += QStringLiteral("challenge %1\n").arg(event.url.toString());
        break;
      case Event::Finished:
        if (event.abortReason == ZPHNetworkTransfer::AbortReason::None)
          text += QStringLiteral("body %1 bytes: %2\n").arg(body.size()).arg(QString::fromLatin1(body.left(80)));
        text += QStringLiteral("finished error %1 \"%2\" answeredHTTP %3 abort %4 tls %5/%6\n")
                    .arg(event.error)
                    .arg(event.errorString)
                    .arg(event.answeredHTTP)
                    .arg(int(event.abortReason))
                    .arg(event.sawTLSErrors)
                    .arg(event.tlsErrors.size());
        break;
    }
  }
  return text.toStdString();
}

// The requests as the server saw them, headers in name order. The own client
// asks for every coding the manager asks for but zstd, which it cannot decode.
std::string describe(const QList<ZPHTestHTTPRequest>& requests)
{
  QString text;
  for (const ZPHTestHTTPRequest& request : requests) {
    text += QStringLiteral("%1 %2?%3\n").arg(QString::fromLatin1(request.method), request.path, request.query);
    QStringList headers;
    for (const auto& [name, value] : request.headers) {
      const QByteArray shown = name.toLower() == "accept-encoding" && value.startsWith("zstd, ") ? value.mid(6) : value;
      headers << QStringLiteral("  %1: %2\n").arg(QString::fromLatin1(name.toLower()), QString::fromLatin1(shown));
    }
    headers.sort();
    text += headers.join(QString());
  }
  return text.toStdString();
}

// The end of a raw answer's headers, with the length of `body`, and the body.
QByteArray framed(const QByteArray& body)
{
  return "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray zlibStream(const QByteArray& body)
{
  return qCompress(body, 9).mid(4);  // without qCompress's length
}

QByteArray chunked(const QList<QByteArray>& pieces, const QByteArray& head = "HTTP/1.1 200 OK\r\n")
{
  QByteArray raw = head + "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (const QByteArray& piece : pieces) raw += QByteArray::number(piece.size(), 16) + ";note=1\r\n" + piece + "\r\n";
  return raw + "0\r\nX-Trailer: end\r\n\r\n";
}

// The same requests run through the network manager and through the
// workers' own client, against the same loopback server.
class HTTPExchangeTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(server.start());
    managerPool.setUsesOwnClient(false);
    server.route("/target", [](const ZPHTestHTTPRequest&) { return textResponse("arrived"); });
    // /chain?n=N leads to /chain?n=N+1, for ever.
    server.route("/chain", [](const ZPHTestHTTPRequest& request) {
      const int n = request.query.mid(2).toInt();
      return ZPHTestHTTPResponse::redirect("/chain?n=" + QByteArray::number(n + 1));
    });
    server.route("/hop", [this](const ZPHTestHTTPRequest&) {
      return ZPHTestHTTPResponse::redirect(server.url("/target").toEncoded(), 307);
    });
  }

  struct Case {
    const char* name;
    ZPHTestHTTPHandler answer;  // for "/case"
    bool handsOver = false;     // to the manager, before anything was reported
    QByteArray method = "GET";
    qint64 maximumBodySize = 0;
    int transferTimeoutMs = 20000;
    bool manualRedirects = false;
    QUrl url{};  // instead of "/case"
    // Part of what the client reports, where the manager's answer is wrong.
    std::string ownOutcome{};
  };

  void compare(const Case& c)
  {
    SCOPED_TRACE(c.name);
    // A path of the case's own: a manager may send a request again after
    // its transfer ended, which must not count for the next case.
    const QString path = QStringLiteral("/case/%1").arg(++caseNumber);
    if (c.answer)
      server.route(path, c.answer);
    ZPHNetworkTransfer::Request request;
    request.request = feedRequest(c.url.isEmpty() ? server.url(path) : c.url, c.transferTimeoutMs);
    if (c.manualRedirects)
      request.request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.method = c.method;
    request.maximumBodySize = c.maximumBodySize;
    const auto requestsSince = [&](qsizetype before) {
      QList<ZPHTestHTTPRequest> requests = server.requests().mid(before);
      requests.removeIf([&](const ZPHTestHTTPRequest& r) { return r.path.startsWith("/case/") && r.path != path; });
      return requests;
    };

    qsizetype before = server.requests().size();
    const std::string byManager = describe(runToEnd(managerPool, request));
    const QList<ZPHTestHTTPRequest> managerRequests = requestsSince(before);

    before = server.requests().size();
    const int ownBefore = ownPool.ownClientTransferCount();
    const int handedBefore = ownPool.handedOverTransferCount();
    const std::string byOwnClient = describe(runToEnd(ownPool, request));
    const QList<ZPHTestHTTPRequest> ownRequests = requestsSince(before);

    EXPECT_EQ(ownPool.handedOverTransferCount() - handedBefore, c.handsOver ? 1 : 0);
    EXPECT_EQ(ownPool.ownClientTransferCount() - ownBefore, c.handsOver ? 0 : 1);
    if (!c.ownOutcome.empty()) {
      // Where the manager goes wrong, the client's own outcome.
      EXPECT_NE(byOwnClient.find(c.ownOutcome), std::string::npos) << byOwnClient;
    } else {
      EXPECT_EQ(byOwnClient, byManager);
    }
    // The same requests went out (the manager may try again after a
    // connection closed early; the client leaves that to the manager too).
    // Where the manager goes wrong it sends stray requests, even after its
    // transfer ended: only the first ones count.
    if (!c.ownOutcome.empty()) {
      const QUrl start = request.request.url();
      const auto first = [&](const QList<ZPHTestHTTPRequest>& requests) {
        for (const ZPHTestHTTPRequest& r : requests)
          if (r.path == start.path() && r.query == start.query())
            return QList<ZPHTestHTTPRequest>{r};
        return QList<ZPHTestHTTPRequest>{};
      };
      ASSERT_FALSE(first(ownRequests).isEmpty());
      EXPECT_EQ(describe(first(ownRequests)), describe(first(managerRequests)));
      return;
    }
    EXPECT_EQ(ownRequests.isEmpty(), managerRequests.isEmpty());
    const qsizetype common = std::min(ownRequests.size(), managerRequests.size());
    EXPECT_EQ(describe(ownRequests.mid(0, common)), describe(managerRequests.mid(0, common)));
  }

  ZPHTestHTTPServer server;
  ZPHNetworkAccessPool managerPool{1};
  ZPHNetworkAccessPool ownPool{1};
  int caseNumber = 0;
};

}  // namespace

TEST_F(HTTPExchangeTest, AnswersAsTheNetworkManagerDoes)
{
  const QByteArray feed = "<rss><channel><title>Feed</title></channel></rss>";
  const QByteArray large(300 * 1024, 'x');
  const Case cases[] = {
      {"200 with a length", [&](const ZPHTestHTTPRequest&) { return textResponse(feed); }},
      {"a large body", [&](const ZPHTestHTTPRequest&) { return textResponse(large); }},
      {"a query and escapes", nullptr, false, "GET", 0, 20000, false, server.url("/target?q=a%20b&x=%C3%A9#part")},
      {"HEAD", [&](const ZPHTestHTTPRequest&) { return textResponse(feed); }, false, "HEAD"},
      {"chunked with extensions and a trailer",
       [](const ZPHTestHTTPRequest&) {
         return rawResponse(chunked({"<rss>", "</rss>"}));
       }},
      {"read to the close",
       [&](const ZPHTestHTTPRequest&) {
         return rawResponse("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n" + feed);
       }},
      {"gzip", [&](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::gzipped(feed); }},
      {"gzip, large and chunked",
       [&](const ZPHTestHTTPRequest&) {
         const QByteArray gzipped = ZPHTestHTTPResponse::gzipped(large + feed).body;
         return rawResponse(chunked({gzipped.left(100), gzipped.mid(100)})
                                .replace("Transfer-Encoding", "Content-Encoding: gzip\r\nTransfer-Encoding"));
       }},
      {"brotli",
       [](const ZPHTestHTTPRequest&) {
         return ZPHTestHTTPResponse{
             200,
             {{"Content-Encoding", "br"}},
             QByteArray::fromHex("5b22730140dcc6e66c1cf18da011148196aa4c74583554816ca2bf96a9fb698481d5025ac826")};
       }},
      {"deflate",
       [&](const ZPHTestHTTPRequest&) {
         return ZPHTestHTTPResponse{200, {{"Content-Encoding", "deflate"}}, zlibStream(feed)};
       }},
      {"not modified",
       [](const ZPHTestHTTPRequest&) {
         return ZPHTestHTTPResponse{304, {{"ETag", "\"tag\""}, {"Last-Modified", "Mon, 07 Dec 2026 08:00:00 GMT"}}, {}};
       }},
      {"no content",
       [](const ZPHTestHTTPRequest&) {
         return ZPHTestHTTPResponse{204, {}, {}};
       }},
      {"repeated headers",
       [&](const ZPHTestHTTPRequest&) {
         return rawResponse(
             "HTTP/1.1 200 Fine\r\nX-One: a\r\nSet-Cookie: c=1\r\nx-one:   b  \r\nX-Two: c\r\n"
             "Set-Cookie: d=2\r\nContent-Length: " +
             QByteArray::number(feed.size()) + "\r\n\r\n" + feed);
       }},
      {"403", [](const ZPHTestHTTPRequest&) { return textResponse("no", 403); }},
      {"404", [](const ZPHTestHTTPRequest&) { return textResponse("gone", 404); }},
      {"410", [](const ZPHTestHTTPRequest&) { return textResponse("gone", 410); }},
      {"429", [](const ZPHTestHTTPRequest&) { return textResponse("slow down", 429); }},
      {"500", [](const ZPHTestHTTPRequest&) { return textResponse("broken", 500); }},
      {"503", [](const ZPHTestHTTPRequest&) { return textResponse("later", 503); }},
      {"301, relative", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("../target?x=1", 301); }},
      {"302, absolute",
       [this](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect(server.url("/target").toEncoded()); }},
      {"303", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/target", 303); }},
      // The manager reports a second redirect's target as an empty answer
      // of status 100 and no error.
      {"307, then 307 again",
       [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/hop", 307); },
       false,
       "GET",
       0,
       20000,
       false,
       {},
       "/hop status 307\n  Location: http://127.0.0.1:" + std::to_string(server.port()) +
           "/target\n  Content-Type: text/plain\n  Content-Length: 14\n  Connection: close\nresponse "
           "http://127.0.0.1:" +
           std::to_string(server.port()) +
           "/target status 200\n  Content-Type: text/plain\n  Content-Length: 7\n  Connection: close\n"
           "body 7 bytes: arrived\nfinished error 0 \"Unknown error\" answeredHTTP 1 abort 0"},
      {"308", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/target", 308); }},
      {"302 without a location", [](const ZPHTestHTTPRequest&) { return textResponse("nowhere", 302); }},
      {"a redirect not followed", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/target"); },
       false, "GET", 0, 20000, true},
      {"a redirect to another scheme",
       [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("ftp://example.com/feed"); }},
      {"a redirect to a non-web address",
       [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("javascript:alert(1)"); }},
      {"redirects past the limit", nullptr, false, "GET", 0, 20000, false, server.url("/chain?n=0"),
       "/chain?n=50 status 302\n  Location: /chain?n=51\n  Content-Type: text/plain\n  Content-Length: 14\n"
       "  Connection: close\nbody 0 bytes: \nfinished error 10 \"Too many redirects\" answeredHTTP 1 abort 0"},
      {"a redirect to a closed port",
       [](const ZPHTestHTTPRequest&) {
         static ZPHTestClosedPort closed;
         return ZPHTestHTTPResponse::redirect(closed.url("/feed").toEncoded());
       }},
      // The manager at times reports the cut body as a success.
      {"the server closes in the body",
       [&](const ZPHTestHTTPRequest&) {
         ZPHTestHTTPResponse response = textResponse(large);
         response.closeAfterBodyBytes = 1000;
         return response;
       },
       false,
       "GET",
       0,
       20000,
       false,
       {},
       "body 1000 bytes: " + std::string(80, 'x') + "\nfinished error 2 \"Connection closed\" answeredHTTP 1 abort 0"},
      {"silence past the time-out",
       [&](const ZPHTestHTTPRequest&) {
         ZPHTestHTTPResponse response = textResponse(feed);
         response.delayBeforeBodyMs = 5000;
         return response;
       },
       false, "GET", 0, 400},
      {"a body past the limit", [&](const ZPHTestHTTPRequest&) { return textResponse(large); }, false, "GET", 1000},
      {"corrupt gzip",
       [](const ZPHTestHTTPRequest&) {
         return ZPHTestHTTPResponse{
             200, {{"Content-Encoding", "gzip"}}, QByteArray::fromHex("1f8b0800000000000003ffffffff")};
       }},
      // Handed to the network manager before anything was reported.
      {"a challenge", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::basicChallenge(); }, true},
      {"an HTTP/2 answer",
       [](const ZPHTestHTTPRequest&) {
         return rawResponse(QByteArray::fromHex("000012040000000000000300000064") + "\n");
       },
       true},
      {"a status line without end",
       [](const ZPHTestHTTPRequest&) { return rawResponse("HTTP/1.1 200 " + QByteArray(200 * 1024, 'O')); }, true},
      {"a header line past the bound",
       [&](const ZPHTestHTTPRequest&) {
         return rawResponse("HTTP/1.1 200 OK\r\nX-Long: " + QByteArray(20 * 1024, 'l') + "\r\n" + framed(feed));
       },
       true},
      {"too many headers",
       [&](const ZPHTestHTTPRequest&) {
         QByteArray raw = "HTTP/1.1 200 OK\r\n";
         for (int i = 0; i < 300; ++i) raw += "X-H" + QByteArray::number(i) + ": v\r\n";
         return rawResponse(raw + framed(feed));
       },
       true},
      {"a folded header",
       [&](const ZPHTestHTTPRequest&) { return rawResponse("HTTP/1.1 200 OK\r\nX-A: a\r\n  b\r\n" + framed(feed)); },
       true},
      {"a coding left to the manager",
       [&](const ZPHTestHTTPRequest&) {
         return ZPHTestHTTPResponse{200, {{"Content-Encoding", "zstd"}}, feed};
       },
       true},
      {"two different lengths",
       [&](const ZPHTestHTTPRequest&) {
         return rawResponse("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd");
       },
       true},
      {"no answer at all", [](const ZPHTestHTTPRequest&) { return rawResponse(" "); }, true},
  };
  for (const Case& c : cases) compare(c);
}

TEST_F(HTTPExchangeTest, FailsToConnectAsTheNetworkManagerDoes)
{
  ZPHTestClosedPort closed;
  ASSERT_NE(closed.port(), 0);
  const Case cases[] = {
      {"connection refused", nullptr, false, "GET", 0, 20000, false, closed.url("/feed")},
      {"unknown host", nullptr, false, "GET", 0, 20000, false, QUrl("http://no-such-host.invalid/feed")},
  };
  for (const Case& c : cases) compare(c);
}

TEST_F(HTTPExchangeTest, TLSTrustedRunsOnTheClientAndAnyCertificateQuestionGoesToTheManager)
{
  // Servers of their own for the trusted and the untrusted case: a manager
  // keeps what it learnt of a server's certificate for a while.
  ZPHTestHTTPServer tls;
  ZPHTestHTTPServer otherName;
  ZPHTestHTTPServer untrusted;
  ASSERT_TRUE(tls.startTls(ZPHTestFixture("tls/localhost.crt"), ZPHTestFixture("tls/localhost.key")));
  ASSERT_TRUE(otherName.startTls(ZPHTestFixture("tls/wrong-host.crt"), ZPHTestFixture("tls/wrong-host.key")));
  ASSERT_TRUE(untrusted.startTls(ZPHTestFixture("tls/localhost.crt"), ZPHTestFixture("tls/localhost.key")));
  for (ZPHTestHTTPServer* each : {&tls, &otherName, &untrusted})
    each->route("/feed", [](const ZPHTestHTTPRequest&) { return textResponse("over TLS"); });

  // Trusted through the default configuration, as a system authority is.
  const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
  QSslConfiguration trusting = original;
  trusting.addCaCertificates(QSslCertificate::fromData(ZPHTestFixture("tls/localhost.crt")));
  trusting.addCaCertificates(QSslCertificate::fromData(ZPHTestFixture("tls/wrong-host.crt")));
  QSslConfiguration::setDefaultConfiguration(trusting);
  const Case trustedCases[] = {
      {"trusted", nullptr, false, "GET", 0, 20000, false, tls.url("/feed")},
      // The host name is checked too.
      {"trusted, for another name", nullptr, true, "GET", 0, 20000, false, otherName.url("/feed")},
  };
  for (const Case& c : trustedCases) compare(c);
  QSslConfiguration::setDefaultConfiguration(original);
  EXPECT_EQ(tls.requests().size(), 2);
  EXPECT_TRUE(otherName.requests().isEmpty());

  compare({"untrusted", nullptr, true, "GET", 0, 20000, false, untrusted.url("/feed")});
  EXPECT_TRUE(untrusted.requests().isEmpty());
}

TEST_F(HTTPExchangeTest, BoundsWhatAHostileServerSends)
{
  // Where the network manager reports a success with an empty body, or
  // decodes a bomb into memory, the client fails the transfer early.
  const ZPHTestHTTPResponse bomb = ZPHTestHTTPResponse::gzipped(QByteArray(64 * 1024 * 1024, '\0'));
  struct Hostile {
    const char* name;
    ZPHTestHTTPResponse answer;
    qint64 maximumBodySize;
    QNetworkReply::NetworkError error;
    ZPHNetworkTransfer::AbortReason abortReason;
  };
  const Hostile cases[] = {
      {"a bomb past the size limit", bomb, 1024 * 1024, QNetworkReply::OperationCanceledError,
       ZPHNetworkTransfer::AbortReason::BodyTooLarge},
      {"a bomb without a size limit", bomb, 0, QNetworkReply::UnknownContentError,
       ZPHNetworkTransfer::AbortReason::None},
      {"a chunk size past 64 bits", rawResponse(chunked({"<rss/>"}).replace("6;note", "10000000000000006;note")), 0,
       QNetworkReply::ProtocolFailure, ZPHNetworkTransfer::AbortReason::None},
      {"a chunk size line without end", rawResponse(chunked({"<rss/>"}).replace("6;note", QByteArray(4096, '0'))), 0,
       QNetworkReply::ProtocolFailure, ZPHNetworkTransfer::AbortReason::None},
      {"a length past the size limit",
       rawResponse("HTTP/1.1 200 OK\r\nContent-Length: 999999999999999999\r\n\r\n" + QByteArray(64 * 1024, 'x')), 4096,
       QNetworkReply::OperationCanceledError, ZPHNetworkTransfer::AbortReason::BodyTooLarge},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    server.route("/hostile", [&](const ZPHTestHTTPRequest&) { return c.answer; });
    ZPHNetworkTransfer::Request request;
    request.request = feedRequest(server.url("/hostile"));
    request.maximumBodySize = c.maximumBodySize;
    const int before = ownPool.ownClientTransferCount();
    const QList<Event> events = runToEnd(ownPool, request);
    EXPECT_EQ(ownPool.ownClientTransferCount(), before + 1);
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.back().error, c.error);
    EXPECT_EQ(events.back().abortReason, c.abortReason);
    qint64 received = 0;
    for (const Event& event : events) received += event.data.size();
    // Never more than one decoded piece past what the caller takes, and for
    // a bomb without a limit never more than the manager's safety check.
    const qint64 bound = c.maximumBodySize > 0 ? c.maximumBodySize : request.request.decompressedSafetyCheckThreshold();
    EXPECT_LE(received, bound + ZPHHTTPExchange::DecodePieceBytes);
  }

  // A redirect to itself ends at the limit.
  server.route("/loop", [](const ZPHTestHTTPRequest&) { return ZPHTestHTTPResponse::redirect("/loop"); });
  ZPHNetworkTransfer::Request request;
  request.request = feedRequest(server.url("/loop"));
  request.request.setMaximumRedirectsAllowed(5);
  const QList<Event> events = runToEnd(ownPool, request);
  ASSERT_EQ(events.size(), 7);  // six answers, the end
  EXPECT_EQ(events.back().error, QNetworkReply::TooManyRedirectsError);
}

TEST_F(HTTPExchangeTest, RequestsItDoesNotTakeGoToTheManager)
{
  server.route("/feed", [](const ZPHTestHTTPRequest&) { return textResponse("feed"); });
  const auto runs = [&](const std::function<void(ZPHNetworkTransfer::Request&)>& change) {
    ZPHNetworkTransfer::Request request;
    request.request = feedRequest(server.url("/feed"));
    change(request);
    const int before = ownPool.ownClientTransferCount();
    const QList<Event> events = runToEnd(ownPool, request);
    EXPECT_EQ(events.back().error, QNetworkReply::NoError);
    return ownPool.ownClientTransferCount() > before;
  };
  EXPECT_TRUE(runs([](ZPHNetworkTransfer::Request&) {}));
  EXPECT_FALSE(runs([](ZPHNetworkTransfer::Request& r) { r.method = "POST"; }));
  EXPECT_FALSE(runs([](ZPHNetworkTransfer::Request& r) { r.usesPrivateManager = true; }));
  EXPECT_FALSE(runs([](ZPHNetworkTransfer::Request& r) {
    r.request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QVariant());
  }));
  // A proxy in effect, of the application or of the environment (the
  // manager sends nothing for a loopback address through a proxy).
  const QNetworkRequest remote = feedRequest(QUrl("http://feeds.example.com/feed"));
  EXPECT_TRUE(ZPHHTTPExchange::canRun(remote, "GET", {}));
  QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 3128));
  EXPECT_FALSE(ZPHHTTPExchange::canRun(remote, "GET", {}));
  QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
  qputenv("https_proxy", "http://127.0.0.1:3128");
  EXPECT_FALSE(ZPHHTTPExchange::canRun(remote, "GET", {}));
  qunsetenv("https_proxy");
  // HTTP/2, which the manager may speak over TLS.
  QNetworkRequest http2 = feedRequest(QUrl("https://feeds.example.com/feed"));
  EXPECT_TRUE(ZPHHTTPExchange::canRun(http2, "GET", {}));
  http2.setAttribute(QNetworkRequest::Http2AllowedAttribute, true);
  EXPECT_FALSE(ZPHHTTPExchange::canRun(http2, "GET", {}));
}

TEST_F(HTTPExchangeTest, AbandonAndStopEndAnExchangeUnderWay)
{
  server.route("/slow", [](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = textResponse(QByteArray(1000, 's'));
    response.trickleIntervalMs = 50;
    response.trickleBytes = 10;
    return response;
  });
  ZPHNetworkTransfer::Request request;
  request.request = feedRequest(server.url("/slow"));

  const std::shared_ptr<ZPHNetworkTransfer> abandoned = ownPool.start(request);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return !abandoned->takeEvents(100).isEmpty(); }));
  abandoned->abandon();
  EXPECT_TRUE(ZPHTestWaitUntil([&] { return ownPool.runningTransferCount() == 0; }));
  EXPECT_TRUE(abandoned->takeEvents(200).isEmpty());

  const std::shared_ptr<ZPHNetworkTransfer> stopped = ownPool.start(request);
  ASSERT_TRUE(ZPHTestWaitUntil([&] { return server.requests().size() == 2; }));
  ownPool.stop();
  QList<Event> events;
  ASSERT_TRUE(ZPHTestWaitUntil([&] {
    events += stopped->takeEvents(100);
    return !events.isEmpty() && events.back().type == Event::Finished;
  }));
  EXPECT_EQ(events.back().abortReason, ZPHNetworkTransfer::AbortReason::PoolStopped);
  EXPECT_EQ(ownPool.ownClientTransferCount(), 2);
}

TEST_F(HTTPExchangeTest, KeepsAConnectionForTheNextRequestToItsServerWhenBothSidesAllow)
{
  ZPHTestHTTPResponse kept = textResponse("kept");
  kept.keepAlive = true;
  ZPHTestHTTPResponse closing = kept;
  closing.headers.append(std::make_pair(QByteArray("Connection"), QByteArray("close")));
  server.route("/kept", [kept](const ZPHTestHTTPRequest&) { return kept; });
  server.route("/closing", [closing](const ZPHTestHTTPRequest&) { return closing; });
  const auto keepAliveRequest = [&](const QString& path) {
    ZPHNetworkTransfer::Request request;
    request.request = feedRequest(server.url(path));
    request.request.setRawHeader("Connection", "keep-alive");
    return request;
  };
  ZPHNetworkTransfer::Request asksToClose;
  asksToClose.request = feedRequest(server.url("/kept"));  // "Connection: close"
  ZPHNetworkTransfer::Request head = keepAliveRequest("/kept");
  head.method = "HEAD";

  struct Case {
    const char* name;
    QList<ZPHNetworkTransfer::Request> requests;
    int connections;
  };
  const Case cases[] = {
      {"both sides keep it: one connection", {keepAliveRequest("/kept"), head, keepAliveRequest("/kept")}, 1},
      {"the request asks to close", {asksToClose, asksToClose}, 2},
      {"the answer says close", {keepAliveRequest("/closing"), keepAliveRequest("/closing")}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZPHNetworkAccessPool pool{1};
    const int connectionsBefore = server.connectionCount();
    for (const ZPHNetworkTransfer::Request& request : c.requests) {
      const QList<Event> events = runToEnd(pool, request);
      ASSERT_FALSE(events.isEmpty());
      EXPECT_EQ(events.front().statusAttribute.toInt(), 200);
      EXPECT_EQ(events.back().error, QNetworkReply::NoError) << describe(events);
    }
    EXPECT_EQ(server.connectionCount() - connectionsBefore, c.connections);
    EXPECT_EQ(pool.handedOverTransferCount(), 0);
  }

  // Over TLS the same: the handshake is made once.
  ZPHTestHTTPServer tls;
  ASSERT_TRUE(tls.startTls(ZPHTestFixture("tls/localhost.crt"), ZPHTestFixture("tls/localhost.key")));
  tls.route("/kept", [kept](const ZPHTestHTTPRequest&) { return kept; });
  const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
  QSslConfiguration trusting = original;
  trusting.addCaCertificates(QSslCertificate::fromData(ZPHTestFixture("tls/localhost.crt")));
  QSslConfiguration::setDefaultConfiguration(trusting);
  {
    ZPHNetworkAccessPool pool{1};
    for (int i = 0; i < 2; ++i) {
      ZPHNetworkTransfer::Request request;
      request.request = feedRequest(tls.url("/kept"));
      request.request.setRawHeader("Connection", "keep-alive");
      EXPECT_EQ(runToEnd(pool, request).back().error, QNetworkReply::NoError);
    }
    EXPECT_EQ(pool.handedOverTransferCount(), 0);
  }
  QSslConfiguration::setDefaultConfiguration(original);
  EXPECT_EQ(tls.requests().size(), 2);
  EXPECT_EQ(tls.connectionCount(), 1);
}

TEST_F(HTTPExchangeTest, AKeptConnectionTheServerClosedIsReplacedWithoutLosingTheRequest)
{
  ZPHTestHTTPResponse kept = textResponse("kept");
  kept.keepAlive = true;
  server.route("/kept", [kept](const ZPHTestHTTPRequest&) { return kept; });
  // The server drops the kept connection as the second request comes.
  auto calls = std::make_shared<std::atomic<int>>(0);
  server.route("/next", [kept, calls](const ZPHTestHTTPRequest&) {
    ZPHTestHTTPResponse response = kept;
    response.body = "next";
    response.closeWithoutAnswer = calls->fetch_add(1) == 0;
    return response;
  });
  ZPHNetworkAccessPool pool{1};
  const auto run = [&](const QString& path) {
    ZPHNetworkTransfer::Request request;
    request.request = feedRequest(server.url(path));
    request.request.setRawHeader("Connection", "keep-alive");
    return runToEnd(pool, request);
  };
  ASSERT_EQ(run("/kept").back().error, QNetworkReply::NoError);
  const QList<Event> events = run("/next");
  EXPECT_EQ(describe(events), describe(run("/next")));  // the retried one as a plain one
  EXPECT_EQ(calls->load(), 3);
  EXPECT_EQ(server.connectionCount(), 2);
  EXPECT_EQ(pool.handedOverTransferCount(), 0);
  EXPECT_EQ(pool.ownClientTransferCount(), 3);
}
