#include "support/ZPHTestHTTPServer.h"

#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QSslCertificate>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QSslKey>
#include <QtNetwork/QSslServer>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <algorithm>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaximumHeaderBytes = 64 * 1024;
constexpr qint64 kMaximumBodyBytes = 64 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
  switch (status) {
    case 200:
      return "OK";
    case 201:
      return "Created";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 410:
      return "Gone";
    case 413:
      return "Content Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    default:
      return "Status";
  }
}

bool hasHeader(const ZPHTestHTTPHeaders& headers, const QByteArray& name)
{
  for (const auto& header : headers) {
    if (header.first.compare(name, Qt::CaseInsensitive) == 0)
      return true;
  }
  return false;
}

ZPHTestHTTPResponse plainResponse(int status)
{
  ZPHTestHTTPResponse response;
  response.status = status;
  response.headers = {{"Content-Type", "text/plain"}};
  response.body = reasonPhrase(status) + "\n";
  return response;
}

quint32 crc32(const QByteArray& bytes)
{
  quint32 crc = 0xffffffffu;
  for (const char byte : bytes) {
    crc ^= static_cast<quint8>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void appendLittleEndian32(QByteArray& bytes, quint32 value)
{
  for (int shift = 0; shift < 32; shift += 8) bytes.append(static_cast<char>((value >> shift) & 0xff));
}

// A gzip member around the raw deflate stream inside qCompress's zlib data
// (4-byte length, 2-byte zlib header, deflate data, 4-byte Adler-32).
QByteArray gzip(const QByteArray& body)
{
  const QByteArray zlib = qCompress(body, 9);
  QByteArray member = QByteArray::fromHex("1f8b0800000000000003");
  member += zlib.mid(6, zlib.size() - 6 - 4);
  appendLittleEndian32(member, crc32(body));
  appendLittleEndian32(member, static_cast<quint32>(body.size()));
  return member;
}

}  // namespace

ZPHTestHTTPResponse ZPHTestHTTPResponse::redirect(const QByteArray& location, int status)
{
  ZPHTestHTTPResponse response;
  response.status = status;
  response.headers = {{"Location", location}, {"Content-Type", "text/plain"}};
  response.body = "redirect body\n";
  return response;
}

ZPHTestHTTPResponse ZPHTestHTTPResponse::basicChallenge(const QByteArray& realm)
{
  ZPHTestHTTPResponse response;
  response.status = 401;
  response.headers = {{"WWW-Authenticate", "Basic realm=\"" + realm + "\""}, {"Content-Type", "text/plain"}};
  response.body = "log in\n";
  return response;
}

ZPHTestHTTPResponse ZPHTestHTTPResponse::gzipped(const QByteArray& body, int status)
{
  ZPHTestHTTPResponse response;
  response.status = status;
  response.headers = {{"Content-Encoding", "gzip"}, {"Content-Type", "text/plain"}};
  response.body = gzip(body);
  return response;
}

QByteArray ZPHTestHTTPResponse::basicAuthorization(const QByteArray& user, const QByteArray& password)
{
  return "Basic " + (user + ':' + password).toBase64();
}

QByteArray ZPHTestHTTPRequest::header(const QByteArray& name) const
{
  for (const auto& header : headers) {
    if (header.first.compare(name, Qt::CaseInsensitive) == 0)
      return header.second;
  }
  return {};
}

struct ZPHTestHTTPServer::Private {
  QThread thread;
  QObject* context = nullptr;  // lives on `thread`; parent of the server and its sockets
  QString host = QStringLiteral("127.0.0.1");
  quint16 port = 0;
  bool tls = false;

  mutable QMutex mutex;
  QHash<QString, ZPHTestHTTPHandler> routes;
  QList<ZPHTestHTTPRequest> requests;
  int connections = 0;

  // Server thread only.
  bool listen(QTcpServer* server);
  void accept(QTcpServer* server);
  // Answers once a whole request is in `buffer`: the bytes it took, or 0
  // while more must come. `keptOpen` tells whether the connection takes
  // another request.
  qsizetype serve(QTcpSocket* socket, const QByteArray& buffer, bool* keptOpen);
  // Whether the connection stays open.
  bool respond(QTcpSocket* socket, const ZPHTestHTTPRequest* request, const ZPHTestHTTPResponse& response);
};

bool ZPHTestHTTPServer::Private::listen(QTcpServer* server)
{
  if (!server->listen(QHostAddress(host), 0))
    return false;
  QObject::connect(server, &QTcpServer::newConnection, server, [this, server] { accept(server); });
  QObject::connect(server, &QTcpServer::pendingConnectionAvailable, server, [this, server] { accept(server); });
  port = server->serverPort();
  return true;
}

void ZPHTestHTTPServer::Private::accept(QTcpServer* server)
{
  while (QTcpSocket* socket = server->nextPendingConnection()) {
    {
      QMutexLocker locker(&mutex);
      ++connections;
    }
    auto buffer = std::make_shared<QByteArray>();
    auto answered = std::make_shared<bool>(false);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer, answered] {
      buffer->append(socket->readAll());
      // Requests one after the other while the connection is kept open.
      while (!*answered) {
        bool keptOpen = false;
        const qsizetype used = serve(socket, *buffer, &keptOpen);
        if (used == 0)
          break;
        buffer->remove(0, used);
        *answered = !keptOpen;
      }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  }
}

qsizetype ZPHTestHTTPServer::Private::serve(QTcpSocket* socket, const QByteArray& buffer, bool* keptOpen)
{
  *keptOpen = false;
  const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
  if (headerEnd < 0) {
    if (buffer.size() <= kMaximumHeaderBytes)
      return 0;
    respond(socket, nullptr, plainResponse(431));
    return buffer.size();
  }

  ZPHTestHTTPRequest request;
  const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
  const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
  if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
    respond(socket, nullptr, plainResponse(400));
    return buffer.size();
  }
  request.method = requestLine[0];
  const QByteArray target = requestLine[1];
  const qsizetype question = target.indexOf('?');
  request.path = QUrl::fromPercentEncoding(question < 0 ? target : target.left(question));
  if (question >= 0)
    request.query = QString::fromLatin1(target.mid(question + 1));
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].trimmed();
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0) {
      respond(socket, nullptr, plainResponse(400));
      return buffer.size();
    }
    request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
  }
  if (!request.header("Transfer-Encoding").isNull()) {
    respond(socket, nullptr, plainResponse(501));
    return buffer.size();
  }

  qint64 contentLength = 0;
  if (const QByteArray length = request.header("Content-Length"); !length.isNull()) {
    bool ok = false;
    contentLength = length.toLongLong(&ok);
    if (!ok || contentLength < 0) {
      respond(socket, nullptr, plainResponse(400));
      return buffer.size();
    }
    if (contentLength > kMaximumBodyBytes) {
      respond(socket, nullptr, plainResponse(413));
      return buffer.size();
    }
  }
  const qsizetype bodyStart = headerEnd + 4;
  if (buffer.size() - bodyStart < contentLength)
    return 0;
  request.body = buffer.mid(bodyStart, contentLength);

  ZPHTestHTTPHandler handler;
  {
    QMutexLocker locker(&mutex);
    requests.append(request);
    handler = routes.value(request.path);
  }
  *keptOpen = respond(socket, &request, handler ? handler(request) : plainResponse(404));
  return bodyStart + qsizetype(contentLength);
}

bool ZPHTestHTTPServer::Private::respond(QTcpSocket* socket, const ZPHTestHTTPRequest* request,
                                         const ZPHTestHTTPResponse& response)
{
  if (response.closeWithoutAnswer) {
    socket->disconnectFromHost();
    return false;
  }
  if (!response.raw.isEmpty()) {
    socket->write(response.raw);
    socket->disconnectFromHost();
    return false;
  }
  QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  if (!hasHeader(response.headers, "Content-Length"))
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
  if (!hasHeader(response.headers, "Connection"))
    head += response.keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
  head += "\r\n";

  const bool withBody = !(request && request->method == "HEAD") && response.status != 204 && response.status != 304;
  QByteArray body = withBody ? response.body : QByteArray();
  if (response.closeAfterBodyBytes >= 0)
    body.truncate(response.closeAfterBodyBytes);
  if (response.delayBeforeBodyMs <= 0 && response.trickleIntervalMs <= 0) {
    socket->write(head + body);
    if (response.keepAlive)
      return true;
    socket->disconnectFromHost();
    return false;
  }
  socket->write(head);
  socket->flush();
  if (response.trickleIntervalMs > 0) {
    // A piece at a time until the body is out; the timer goes with the
    // socket when the client hangs up.
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    const qsizetype piece = std::max<qsizetype>(1, response.trickleBytes);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent, piece] {
      socket->write(body.mid(*sent, piece));
      socket->flush();
      *sent += piece;
      if (*sent >= body.size()) {
        timer->stop();
        socket->disconnectFromHost();
      }
    });
    QTimer::singleShot(std::max(0, response.delayBeforeBodyMs), timer,
                       [timer, interval = response.trickleIntervalMs] { timer->start(interval); });
    return false;
  }
  QTimer::singleShot(response.delayBeforeBodyMs, socket, [socket, body] {
    socket->write(body);
    socket->disconnectFromHost();
  });
  return false;
}

ZPHTestHTTPServer::ZPHTestHTTPServer() : d(std::make_unique<Private>())
{
  d->thread.setObjectName(QStringLiteral("ZPH test HTTP server"));
}

ZPHTestHTTPServer::~ZPHTestHTTPServer()
{
  if (!d->thread.isRunning())
    return;
  QObject* context = d->context;
  QMetaObject::invokeMethod(
      context, [context] { delete context; }, Qt::BlockingQueuedConnection);
  d->thread.quit();
  d->thread.wait();
}

bool ZPHTestHTTPServer::start()
{
  if (d->thread.isRunning())
    return d->port != 0;
  d->context = new QObject;
  d->context->moveToThread(&d->thread);
  d->thread.start();
  Private* p = d.get();
  QMetaObject::invokeMethod(
      d->context, [p] { p->listen(new QTcpServer(p->context)); }, Qt::BlockingQueuedConnection);
  return d->port != 0;
}

bool ZPHTestHTTPServer::startTls(const QByteArray& certificatePem, const QByteArray& privateKeyPem)
{
  if (d->thread.isRunning())
    return d->port != 0 && d->tls;
  const QList<QSslCertificate> certificates = QSslCertificate::fromData(certificatePem, QSsl::Pem);
  QSslKey key(privateKeyPem, QSsl::Ec, QSsl::Pem);
  if (key.isNull())
    key = QSslKey(privateKeyPem, QSsl::Rsa, QSsl::Pem);
  if (certificates.isEmpty() || key.isNull())
    return false;
  QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
  configuration.setLocalCertificateChain(certificates);
  configuration.setPrivateKey(key);
  configuration.setPeerVerifyMode(QSslSocket::VerifyNone);

  d->tls = true;
  d->context = new QObject;
  d->context->moveToThread(&d->thread);
  d->thread.start();
  Private* p = d.get();
  QMetaObject::invokeMethod(
      d->context,
      [p, configuration] {
        auto* server = new QSslServer(p->context);
        server->setSslConfiguration(configuration);
        p->listen(server);
      },
      Qt::BlockingQueuedConnection);
  return d->port != 0;
}

void ZPHTestHTTPServer::setHost(const QString& loopbackAddress)
{
  if (!d->thread.isRunning())
    d->host = loopbackAddress;
}

quint16 ZPHTestHTTPServer::port() const { return d->port; }

QUrl ZPHTestHTTPServer::url(const QString& pathAndQuery) const
{
  const QString path = pathAndQuery.startsWith(u'/') ? pathAndQuery : u'/' + pathAndQuery;
  const QString scheme = d->tls ? QStringLiteral("https") : QStringLiteral("http");
  return QUrl(QStringLiteral("%1://%2:%3%4").arg(scheme, d->host).arg(d->port).arg(path));
}

void ZPHTestHTTPServer::route(const QString& path, ZPHTestHTTPHandler handler)
{
  QMutexLocker locker(&d->mutex);
  d->routes.insert(path, std::move(handler));
}

QList<ZPHTestHTTPRequest> ZPHTestHTTPServer::requests() const
{
  QMutexLocker locker(&d->mutex);
  return d->requests;
}

int ZPHTestHTTPServer::connectionCount() const
{
  QMutexLocker locker(&d->mutex);
  return d->connections;
}

ZPHTestClosedPort::ZPHTestClosedPort()
{
  // Without SO_REUSEADDR: nobody else binds the port while it is held.
  m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_socket < 0)
    return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return;
  m_port = ntohs(address.sin_port);
}

ZPHTestClosedPort::~ZPHTestClosedPort()
{
  if (m_socket >= 0)
    ::close(m_socket);
}

QUrl ZPHTestClosedPort::url(const QString& pathAndQuery) const
{
  const QString path = pathAndQuery.startsWith(u'/') ? pathAndQuery : u'/' + pathAndQuery;
  return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}
