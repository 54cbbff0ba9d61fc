#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>
#include <memory>
#include <utility>

using ZPHTestHTTPHeaders = QList<std::pair<QByteArray, QByteArray>>;

// One request as the server received it.
struct ZPHTestHTTPRequest {
  QByteArray method;
  QString path;   // percent-decoded
  QString query;  // as sent, without "?"; null when there was none
  ZPHTestHTTPHeaders headers;
  QByteArray body;

  // The first header of that name (any case), or null.
  QByteArray header(const QByteArray& name) const;
};

// What a route answers. Content-Length and "Connection: close" (with
// keepAlive, "Connection: keep-alive") are added unless the headers have
// them.
struct ZPHTestHTTPResponse {
  int status = 200;
  ZPHTestHTTPHeaders headers;
  QByteArray body;
  int delayBeforeBodyMs = 0;  // the status line and headers go out first
  // Only this many bytes of the body go out (Content-Length still announces
  // all of it), then the connection closes; -1: the whole body.
  qsizetype closeAfterBodyBytes = -1;
  // The body goes out `trickleBytes` at a time, one piece every
  // `trickleIntervalMs`; 0: at once.
  int trickleIntervalMs = 0;
  qsizetype trickleBytes = 1;
  // When set, exactly these bytes go out (status line, headers and body as
  // they stand, nothing added), then the connection closes: for answers the
  // fields above cannot shape (chunked, no length, malformed).
  QByteArray raw{};
  // The connection stays open for the client's next request (the answer
  // goes out whole, at once).
  bool keepAlive = false;
  // Nothing is answered: the connection closes at once, as a server closes
  // a connection it kept idle too long just as a request comes.
  bool closeWithoutAnswer = false;

  // A 3xx answer pointing at `location`.
  static ZPHTestHTTPResponse redirect(const QByteArray& location, int status = 302);
  // A 401 with a Basic challenge for `realm`.
  static ZPHTestHTTPResponse basicChallenge(const QByteArray& realm = "zephlin-test");
  // `body` gzip-compressed, with "Content-Encoding: gzip".
  static ZPHTestHTTPResponse gzipped(const QByteArray& body, int status = 200);
  // The value of an "Authorization" header for Basic credentials.
  static QByteArray basicAuthorization(const QByteArray& user, const QByteArray& password);
};

using ZPHTestHTTPHandler = std::function<ZPHTestHTTPResponse(const ZPHTestHTTPRequest&)>;

// A small HTTP/1.1 server on 127.0.0.1 (or another loopback address) for
// tests, serving on a thread of its own so a test on the main thread may
// block or spin its event loop. It answers only the routes a test registers
// (404 otherwise), reads Content-Length bodies, closes the connection after
// each response (unless it keeps it alive) and keeps every request it
// received. With startTls() it
// speaks HTTPS with the certificate it is given; a client that refuses the
// certificate never gets as far as a request.
class ZPHTestHTTPServer {
public:
  ZPHTestHTTPServer();
  ~ZPHTestHTTPServer();
  ZPHTestHTTPServer(const ZPHTestHTTPServer&) = delete;
  ZPHTestHTTPServer& operator=(const ZPHTestHTTPServer&) = delete;

  // Listens on an ephemeral port; answers whether it does.
  bool start();
  // Listens for HTTPS with the PEM certificate and private key instead;
  // url() then answers "https://" addresses.
  bool startTls(const QByteArray& certificatePem, const QByteArray& privateKeyPem);
  // Another loopback address to listen on (e.g. "127.0.0.2", a second host
  // for the client); before start() only.
  void setHost(const QString& loopbackAddress);
  quint16 port() const;
  // "http://127.0.0.1:<port>" (or the host set) + pathAndQuery ("/"
  // prepended when missing); "https://" for a TLS server.
  QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;

  // Answers requests for exactly `path` (any method) with `handler`, which
  // runs on the server's thread. Replaces an earlier handler of the path.
  void route(const QString& path, ZPHTestHTTPHandler handler);

  // The requests received so far, in order (routed or not).
  QList<ZPHTestHTTPRequest> requests() const;
  // The connections accepted so far.
  int connectionCount() const;

private:
  struct Private;
  std::unique_ptr<Private> d;
};

// A port on 127.0.0.1 that refuses every connection while the object lives.
// A socket is bound to it and never listens: no server, not even one of
// another test program run alongside, can take the port meanwhile (a port
// found free and let go may be anybody's a moment later).
class ZPHTestClosedPort {
public:
  ZPHTestClosedPort();
  ~ZPHTestClosedPort();
  ZPHTestClosedPort(const ZPHTestClosedPort&) = delete;
  ZPHTestClosedPort& operator=(const ZPHTestClosedPort&) = delete;

  // 0 when no port could be bound.
  quint16 port() const { return m_port; }
  // "http://127.0.0.1:<port>" + pathAndQuery ("/" prepended when missing).
  QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;

private:
  int m_socket = -1;
  quint16 m_port = 0;
};
