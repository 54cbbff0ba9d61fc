#pragma once

#include <QtCore/QBasicTimer>
#include <QtCore/QByteArray>
#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPair>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <functional>
#include <memory>

class QTcpSocket;
struct ZPHHTTPBodyDecoder;

// The connections that exchanges of one thread left open for the next
// request to the same server (scheme, host and port), as a browser keeps
// them: most refreshes ask the same few servers again and again, and a new
// connection per request costs a handshake here and a new connection (a
// new thread or process, for many servers) there. Only a connection whose
// answer was read to its framed end, with nothing more on the wire, under
// HTTP/1.1 and without "Connection: close", is kept; a kept one that the
// server closes, or that says anything while idle, goes at once, and none
// stays idle longer than IdleTimeoutMs (servers close theirs after a few
// seconds). At most MaximumIdlePerServer per server and MaximumIdle in all.
//
// It lives on the thread of its exchanges, and its sockets with it.
class ZPHHTTPConnectionCache : public QObject {
public:
  static constexpr int MaximumIdlePerServer = 6;
  static constexpr int MaximumIdle = 16;
  static constexpr int IdleTimeoutMs = 4000;

  explicit ZPHHTTPConnectionCache(QObject* parent = nullptr);
  ~ZPHHTTPConnectionCache() override;

  // "scheme://host:port" of a URL, the key connections are kept under.
  static QString serverKey(const QUrl& url);

  // An idle connection to `key`, handed over (its parent and signals are
  // the caller's to set), or null.
  QTcpSocket* take(const QString& key);
  // Keeps `socket`, connected to `key` and quiet, for a later take(); a
  // socket it does not keep it closes. Takes the socket over either way.
  void put(const QString& key, QTcpSocket* socket);

  int idleCount() const;

protected:
  void timerEvent(QTimerEvent* event) override;

private:
  struct Idle {
    QTcpSocket* socket = nullptr;
    QElapsedTimer since;
  };
  void discard(QTcpSocket* socket);
  void closeExpired();

  QHash<QString, QList<Idle>> m_idle;  // oldest first
  QBasicTimer m_sweep;
};

// One plain HTTP/1.1 GET or HEAD over a connection of its own (or one an
// earlier exchange left in the connection cache, see setConnectionCache()),
// run on the event loop of the thread that starts it: the network workers'
// own client for the common case, without a hand-over to the network
// manager's HTTP thread for every read. It sends the headers the network manager would
// send, follows redirects as the request's policy says, decodes gzip and
// deflate bodies as the manager does, and reports the same outcome codes.
//
// Anything it does not handle it hands back before it reported anything,
// so the caller can run the request on the network manager instead: an
// authentication challenge, any TLS error (the certificate questions and
// trusted certificates live there), a status line or header it does not
// take (an HTTP/2-only server, folded or oversized headers, an unknown
// transfer or content coding), a connection lost before the answer began.
// canRun() keeps away what it never takes: other methods, bodies, proxies,
// custom TLS settings, HTTP/2, redirect policies other than manual and
// user-verified.
//
// The answers of the redirects it follows are reported as the manager
// reports them, but only once the last answer is in (or the exchange
// failed), so a hand-over after a redirect is still clean.
//
// Hostile answers are bounded: the status line and each header line
// (MaximumLineBytes), the header count and their total size, chunk-size
// lines (no more than 15 hex digits); a body is decoded in pieces of at
// most DecodePieceBytes, each reported before the next is made, so the
// caller's size limit stops a compression bomb early.
class ZPHHTTPExchange : public QObject {
public:
  using Headers = QList<QPair<QByteArray, QByteArray>>;

  static constexpr qsizetype MaximumLineBytes = 16 * 1024;
  static constexpr int MaximumHeaderCount = 256;
  static constexpr qsizetype MaximumHeaderBytes = 256 * 1024;
  static constexpr qsizetype DecodePieceBytes = 64 * 1024;

  // What happens, in order. After finished() or handOver() nothing more is
  // reported; a handler may call abort() from inside any of them.
  struct Handler {
    // The final answer (a redirect that is followed is none): its address,
    // status and headers as the network manager reports them.
    std::function<void(const QUrl& url, int status, const Headers& headers)> response;
    // The next piece of the decoded body.
    std::function<void(const QByteArray& data)> data;
    // Whether a redirect to `target` may be followed (user-verified
    // policy); without side effects.
    std::function<bool(const QUrl& target)> allowsRedirect;
    // It may not: the answers so far were reported; the handler ends the
    // exchange with abort().
    std::function<void()> redirectRefused;
    std::function<void(QNetworkReply::NetworkError error, const QString& errorString)> finished;
    // Given up before anything was reported: run the request elsewhere.
    std::function<void()> handOver;
  };

  // 301, 302, 303, 307 and 308: the answers that send a request elsewhere.
  static bool isRedirectStatus(int status)
  {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
  }

  // Whether an exchange can run `request` at all.
  static bool canRun(const QNetworkRequest& request, const QByteArray& method, const QByteArray& body);

  ZPHHTTPExchange(const QNetworkRequest& request, const QByteArray& method, Handler handler, QObject* parent = nullptr);
  ~ZPHHTTPExchange() override;
  ZPHHTTPExchange(const ZPHHTTPExchange&) = delete;
  ZPHHTTPExchange& operator=(const ZPHHTTPExchange&) = delete;

  // Connections are taken from `cache` and left there when the answer
  // allows; without one, each exchange has a connection of its own. Before
  // start().
  void setConnectionCache(ZPHHTTPConnectionCache* cache) { m_connections = cache; }

  void start();
  // Drops the connection; nothing more is reported. Idempotent.
  void abort();
  // A status line was reported (response() ran, or a redirect answered).
  bool answeredHTTP() const { return m_answeredHTTP; }

protected:
  void timerEvent(QTimerEvent* event) override;

private:
  enum class State { StatusLine, HeaderLines, Body, ChunkSize, ChunkData, ChunkDataEnd, Trailers, Done };
  enum class Framing { None, Length, Chunked, UntilClose };
  enum class LineResult { Line, Incomplete, TooLong };

  // On a kept connection when the cache has one, unless `newConnection`.
  void connectTo(const QUrl& url, bool newConnection = false);
  QByteArray requestHead() const;
  void readAvailable();
  void process();
  LineResult takeLine(QByteArray* line, qsizetype maximum);
  bool parseStatusLine(const QByteArray& line);
  bool parseHeaderLine(const QByteArray& line);
  void headersComplete();
  void followRedirect();
  // Reports the redirect answers held back; false when the exchange ended.
  bool flushHops();
  Headers reportedHeaders() const;
  // Body bytes of the wire, undecoded; false when the exchange ended.
  bool deliver(const char* bytes, qsizetype size);
  void bodyComplete();
  void connectionClosed();
  // The connection ended before the answer did: again on a new one (a kept
  // one the server closed), to the network manager (nothing reported yet),
  // or a failure.
  void connectionLost();
  void socketFailed();
  void flushData();
  void restartTimer();
  void finish(QNetworkReply::NetworkError error, const QString& errorString);
  void giveUp();
  void dropSocket();
  // Writes the request on the connected socket, the time-out running.
  void sendRequest();
  // Sends the request on a connection from the cache, if there is one.
  bool sendOnKeptConnection(const QUrl& url);
  void watchSocket();
  // A kept connection that failed before any byte of an answer: the server
  // closed it while it was idle. The request goes again on a new one.
  bool retryOnNewConnection();
  // The finished answer's connection, back to the cache when it may serve
  // another request.
  void keepConnectionIfReusable();

  QNetworkRequest m_request;
  QByteArray m_method;
  Handler m_handler;
  QUrl m_url;
  QTcpSocket* m_socket = nullptr;
  QPointer<ZPHHTTPConnectionCache> m_connections;
  bool m_onKeptConnection = false;  // m_socket came from the cache
  bool m_http11 = false;            // the answer's version
  QBasicTimer m_timer;              // the transfer time-out: silence for that long ends the exchange
  int m_redirectsLeft = 0;
  bool m_followsRedirects = false;
  bool m_verifiesRedirects = false;
  bool m_decodes = false;
  bool m_reported = false;  // response() ran
  bool m_answeredHTTP = false;
  bool m_ended = false;

  // The answer being read.
  State m_state = State::StatusLine;
  QByteArray m_buffer;
  qsizetype m_position = 0;
  int m_status = 0;
  QByteArray m_reason;
  Headers m_headers;
  qsizetype m_headerBytes = 0;
  Framing m_framing = Framing::None;
  qint64 m_remaining = 0;  // of a Content-Length body or the current chunk
  std::unique_ptr<ZPHHTTPBodyDecoder> m_decoder;
  struct Hop {
    QUrl url;
    int status = 0;
    Headers headers;
  };
  QList<Hop> m_hops;         // redirect answers followed, not reported yet
  QByteArray m_pendingData;  // decoded, not yet reported
};
