#include "feeds/network/ZPHHTTPExchange.h"

#include <QtCore/QLocale>
#include <QtCore/QTimerEvent>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QSslSocket>
#include <QtNetwork/QTcpSocket>

#include <brotli/decode.h>
#include <zlib.h>

#include <algorithm>

// A gzip, zlib or brotli stream, decoded piece by piece.
struct ZPHHTTPBodyDecoder {
  enum class Kind { Zlib, Brotli };
  Kind kind;
  z_stream stream{};
  BrotliDecoderState* brotli = nullptr;
  bool ready = false;
  bool ended = false;
  double ratioLimit = 40;  // as the network manager's archive-bomb check
  qint64 encodedBytes = 0;
  qint64 decodedBytes = 0;

  explicit ZPHHTTPBodyDecoder(Kind decoderKind) : kind(decoderKind)
  {
    if (kind == Kind::Brotli) {
      brotli = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
      ready = brotli != nullptr;
      ratioLimit = 100;
    } else {
      // 32 + window bits: zlib or gzip, told apart by the stream's own header.
      ready = inflateInit2(&stream, MAX_WBITS + 32) == Z_OK;
    }
  }
  ~ZPHHTTPBodyDecoder()
  {
    if (brotli != nullptr)
      BrotliDecoderDestroyInstance(brotli);
    else if (ready)
      inflateEnd(&stream);
  }
  ZPHHTTPBodyDecoder(const ZPHHTTPBodyDecoder&) = delete;
  ZPHHTTPBodyDecoder& operator=(const ZPHHTTPBodyDecoder&) = delete;

  enum class Step { Produced, NeedsInput, Ended, Failed };
  // Decodes from `*input` (advanced past what was taken) into at most
  // `out.size()` bytes; `out` is truncated to what was made.
  Step decode(const char** input, qsizetype* inputSize, QByteArray& out)
  {
    const qsizetype capacity = out.size();
    if (kind == Kind::Brotli) {
      size_t availableIn = size_t(*inputSize);
      const uint8_t* nextIn = reinterpret_cast<const uint8_t*>(*input);
      size_t availableOut = size_t(capacity);
      uint8_t* nextOut = reinterpret_cast<uint8_t*>(out.data());
      const BrotliDecoderResult result =
          BrotliDecoderDecompressStream(brotli, &availableIn, &nextIn, &availableOut, &nextOut, nullptr);
      *input = reinterpret_cast<const char*>(nextIn);
      *inputSize = qsizetype(availableIn);
      out.truncate(capacity - qsizetype(availableOut));
      switch (result) {
        case BROTLI_DECODER_RESULT_ERROR:
          return Step::Failed;
        case BROTLI_DECODER_RESULT_SUCCESS:
          return Step::Ended;
        case BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT:
          return out.isEmpty() ? Step::NeedsInput : Step::Produced;
        case BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT:
          return Step::Produced;
      }
      return Step::Failed;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(*input));
    stream.avail_in = uInt(*inputSize);
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(capacity);
    const int result = inflate(&stream, Z_NO_FLUSH);
    *input = reinterpret_cast<const char*>(stream.next_in);
    *inputSize = qsizetype(stream.avail_in);
    out.truncate(capacity - qsizetype(stream.avail_out));
    stream.next_in = nullptr;
    stream.avail_in = 0;
    if (result == Z_STREAM_END)
      return Step::Ended;
    if (result != Z_OK && result != Z_BUF_ERROR)
      return Step::Failed;
    return out.isEmpty() ? Step::NeedsInput : Step::Produced;
  }
};

namespace {

// Proxy settings in the environment that a network manager may honour.
bool proxyEnvironmentSet()
{
  static const char* const names[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                      "HTTPS_PROXY", "all_proxy",  "ALL_PROXY"};
  return std::any_of(std::begin(names), std::end(names),
                     [](const char* name) { return !qEnvironmentVariableIsEmpty(name); });
}

bool proxyInEffect(const QUrl& url)
{
  if (proxyEnvironmentSet())
    return true;
  const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
  return std::any_of(proxies.cbegin(), proxies.cend(), [](const QNetworkProxy& proxy) {
    return proxy.type() != QNetworkProxy::NoProxy && proxy.type() != QNetworkProxy::DefaultProxy;
  });
}

bool isToken(const QByteArray& name)
{
  if (name.isEmpty())
    return false;
  for (const char c : name) {
    if (c <= 0x20 || c >= 0x7f || c == ':' || c == '(' || c == ')' || c == '<' || c == '>' || c == '@' || c == ',' ||
        c == ';' || c == '\\' || c == '"' || c == '/' || c == '[' || c == ']' || c == '?' || c == '=' || c == '{' ||
        c == '}')
      return false;
  }
  return true;
}

// The network manager's error for an HTTP status of 400 and above.
QNetworkReply::NetworkError errorForStatus(int status)
{
  static const struct {
    int status;
    QNetworkReply::NetworkError error;
  } errors[] = {
      {400, QNetworkReply::ProtocolInvalidOperationError},
      {401, QNetworkReply::AuthenticationRequiredError},
      {403, QNetworkReply::ContentAccessDenied},
      {404, QNetworkReply::ContentNotFoundError},
      {405, QNetworkReply::ContentOperationNotPermittedError},
      {407, QNetworkReply::ProxyAuthenticationRequiredError},
      {409, QNetworkReply::ContentConflictError},
      {410, QNetworkReply::ContentGoneError},
      {418, QNetworkReply::ProtocolInvalidOperationError},
      {500, QNetworkReply::InternalServerError},
      {501, QNetworkReply::OperationNotImplementedError},
      {503, QNetworkReply::ServiceUnavailableError},
  };
  for (const auto& entry : errors) {
    if (entry.status == status)
      return entry.error;
  }
  return status > 500 ? QNetworkReply::UnknownServerError : QNetworkReply::UnknownContentError;
}

// Closes a socket that `owner` watched, without a word more from it.
void closeSocket(QTcpSocket* socket, QObject* owner)
{
  QObject::disconnect(socket, nullptr, owner, nullptr);
  socket->abort();
  socket->deleteLater();
}

QByteArray acceptLanguage()
{
  QString locale = QLocale::system().name().replace(u'_', u'-');
  if (locale == QLatin1String("C"))
    return "en,*";
  if (locale.startsWith(QLatin1String("en-")))
    return (locale + QStringLiteral(",*")).toLatin1();
  return (locale + QStringLiteral(",en,*")).toLatin1();
}

const QString kNoError = QStringLiteral("Unknown error");

// Every value of a header (any case), in order.
QList<QByteArray> headerValues(const ZPHHTTPExchange::Headers& headers, const char* name)
{
  QList<QByteArray> values;
  for (const auto& header : headers) {
    if (header.first.compare(name, Qt::CaseInsensitive) == 0)
      values.append(header.second);
  }
  return values;
}

}  // namespace

bool ZPHHTTPExchange::canRun(const QNetworkRequest& request, const QByteArray& method, const QByteArray& body)
{
  if ((method != "GET" && method != "HEAD") || !body.isEmpty())
    return false;
  const QUrl url = request.url();
  const QString scheme = url.scheme();
  const bool https = scheme == QLatin1String("https");
  if ((!https && scheme != QLatin1String("http")) || url.host().isEmpty() || !url.userInfo().isEmpty() ||
      !url.isValid())
    return false;
  const QVariant policy = request.attribute(QNetworkRequest::RedirectPolicyAttribute);
  if (!policy.isValid() || (policy.toInt() != QNetworkRequest::ManualRedirectPolicy &&
                            policy.toInt() != QNetworkRequest::UserVerifiedRedirectPolicy))
    return false;
  if (request.attribute(QNetworkRequest::Http2CleartextAllowedAttribute, false).toBool() ||
      request.hasRawHeader("Upgrade") || request.hasRawHeader("Expect"))
    return false;
  if (https) {
    if (request.attribute(QNetworkRequest::Http2AllowedAttribute, true).toBool() || !QSslSocket::supportsSsl() ||
        !request.peerVerifyName().isEmpty() ||
        !(request.sslConfiguration() == QSslConfiguration::defaultConfiguration()))
      return false;
  }
  return !proxyInEffect(url);
}

ZPHHTTPExchange::ZPHHTTPExchange(const QNetworkRequest& request, const QByteArray& method, Handler handler,
                                 QObject* parent)
    : QObject(parent), m_request(request), m_method(method), m_handler(std::move(handler)), m_url(request.url())
{
  const int policy = request.attribute(QNetworkRequest::RedirectPolicyAttribute).toInt();
  m_followsRedirects = policy != QNetworkRequest::ManualRedirectPolicy;
  m_verifiesRedirects = policy == QNetworkRequest::UserVerifiedRedirectPolicy;
  m_redirectsLeft = request.maximumRedirectsAllowed();
  // As the network manager: bodies are decoded unless the caller asked
  // for an encoding itself.
  m_decodes = !request.hasRawHeader("Accept-Encoding");
}

ZPHHTTPExchange::~ZPHHTTPExchange() = default;

void ZPHHTTPExchange::start() { connectTo(m_url); }

void ZPHHTTPExchange::abort()
{
  m_ended = true;
  m_timer.stop();
  dropSocket();
}

void ZPHHTTPExchange::timerEvent(QTimerEvent* event)
{
  if (event->timerId() != m_timer.timerId())
    return QObject::timerEvent(event);
  m_timer.stop();
  // As the network manager's transfer time-out: the request is cancelled.
  finish(QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled"));
}

void ZPHHTTPExchange::restartTimer()
{
  const int timeout = m_request.transferTimeout();
  if (timeout > 0 && !m_ended)
    m_timer.start(timeout, this);
}

void ZPHHTTPExchange::connectTo(const QUrl& url, bool newConnection)
{
  m_url = url;
  m_state = State::StatusLine;
  m_buffer.clear();
  m_position = 0;
  m_status = 0;
  m_reason.clear();
  m_headers.clear();
  m_headerBytes = 0;
  m_framing = Framing::None;
  m_remaining = 0;
  m_decoder.reset();
  m_http11 = false;
  m_onKeptConnection = false;
  if (!newConnection && sendOnKeptConnection(url))
    return;

  const bool https = url.scheme() == QLatin1String("https");
  const quint16 port = quint16(url.port(https ? 443 : 80));
  if (https) {
    auto* socket = new QSslSocket(this);
    QSslConfiguration configuration = m_request.sslConfiguration();
    configuration.setAllowedNextProtocols({QByteArrayLiteral("http/1.1")});
    socket->setSslConfiguration(configuration);
    // Any certificate question goes to the network manager, which asks the
    // trust store.
    connect(socket, &QSslSocket::sslErrors, this, [this] { giveUp(); });
    connect(socket, &QSslSocket::encrypted, this, [this] { sendRequest(); });
    m_socket = socket;
  } else {
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this] { sendRequest(); });
  }
  m_socket->setProxy(QNetworkProxy::NoProxy);
  watchSocket();
  restartTimer();
  if (https)
    static_cast<QSslSocket*>(m_socket)->connectToHostEncrypted(url.host(), port);
  else
    m_socket->connectToHost(url.host(), port);
}

void ZPHHTTPExchange::watchSocket()
{
  connect(m_socket, &QIODevice::readyRead, this, [this] { readAvailable(); });
  connect(m_socket, &QAbstractSocket::disconnected, this, [this] { connectionClosed(); });
  connect(m_socket, &QAbstractSocket::errorOccurred, this, [this] { socketFailed(); });
}

void ZPHHTTPExchange::sendRequest()
{
  restartTimer();
  m_socket->write(requestHead());
  m_socket->flush();  // now, not on the next turn of the event loop
}

bool ZPHHTTPExchange::sendOnKeptConnection(const QUrl& url)
{
  if (!m_connections)
    return false;
  QTcpSocket* socket = m_connections->take(ZPHHTTPConnectionCache::serverKey(url));
  if (socket == nullptr)
    return false;
  socket->setParent(this);
  m_socket = socket;
  m_onKeptConnection = true;
  watchSocket();
  sendRequest();
  return true;
}

bool ZPHHTTPExchange::retryOnNewConnection()
{
  // Only while nothing of an answer came: a server that began one and broke
  // off is no idle connection closed.
  if (!m_onKeptConnection || m_reported || m_status != 0 || !m_buffer.isEmpty() || m_ended)
    return false;
  dropSocket();
  connectTo(m_url, true);
  return true;
}

void ZPHHTTPExchange::keepConnectionIfReusable()
{
  if (!m_connections || m_socket == nullptr || !m_http11 || m_framing == Framing::UntilClose ||
      m_position != m_buffer.size() || m_socket->bytesAvailable() > 0 ||
      m_socket->state() != QAbstractSocket::ConnectedState)
    return;
  const auto saysClose = [](const QList<QByteArray>& values) {
    for (const QByteArray& value : values) {
      for (const QByteArray& token : value.split(',')) {
        if (token.trimmed().compare("close", Qt::CaseInsensitive) == 0)
          return true;
      }
    }
    return false;
  };
  if (saysClose(headerValues(m_headers, "Connection")) || saysClose({m_request.rawHeader("Connection")}))
    return;
  QTcpSocket* socket = m_socket;
  m_socket = nullptr;
  QObject::disconnect(socket, nullptr, this, nullptr);
  m_connections->put(ZPHHTTPConnectionCache::serverKey(m_url), socket);
}

QByteArray ZPHHTTPExchange::requestHead() const
{
  QByteArray target = m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
  if (!target.startsWith('/'))
    target.prepend('/');
  QByteArray head;
  head.reserve(512);
  head += m_method + ' ' + target + " HTTP/1.1\r\n";
  // The caller's headers, then what the network manager adds when the
  // caller set none of its own.
  const QList<QByteArray> names = m_request.rawHeaderList();
  for (const QByteArray& name : names) head += name + ": " + m_request.rawHeader(name) + "\r\n";
  const auto add = [&](const QByteArray& name, const QByteArray& value) {
    if (!m_request.hasRawHeader(name))
      head += name + ": " + value + "\r\n";
  };
  if (m_request.attribute(QNetworkRequest::CacheLoadControlAttribute).toInt() == QNetworkRequest::AlwaysNetwork) {
    add("Cache-Control", "no-cache");
    add("Pragma", "no-cache");
  }
  add("Connection", "Keep-Alive");
  // The manager's codings but zstd, which this client cannot decode: a
  // server that answered with it would cost a second download each time.
  add("Accept-Encoding", "br, gzip, deflate");
  add("Accept-Language", acceptLanguage());
  add("User-Agent", "Mozilla/5.0");
  if (!m_request.hasRawHeader("Host")) {
    const QString host = m_url.host();
    QByteArray value = QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol ? '[' + host.toLatin1() + ']'
                                                                                      : QUrl::toAce(host);
    if (m_url.port() != -1)
      value += ':' + QByteArray::number(m_url.port());
    head += "Host: " + value + "\r\n";
  }
  head += "\r\n";
  return head;
}

void ZPHHTTPExchange::readAvailable()
{
  if (m_ended || m_socket == nullptr)
    return;
  const QByteArray bytes = m_socket->readAll();
  if (bytes.isEmpty())
    return;
  restartTimer();
  if (m_position == m_buffer.size()) {
    m_buffer = bytes;
    m_position = 0;
  } else {
    if (m_position > 0) {
      m_buffer.remove(0, m_position);
      m_position = 0;
    }
    m_buffer += bytes;
  }
  process();
  flushData();
}

ZPHHTTPExchange::LineResult ZPHHTTPExchange::takeLine(QByteArray* line, qsizetype maximum)
{
  const qsizetype end = m_buffer.indexOf('\n', m_position);
  if (end < 0)
    return m_buffer.size() - m_position > maximum ? LineResult::TooLong : LineResult::Incomplete;
  if (end - m_position > maximum)
    return LineResult::TooLong;
  qsizetype length = end - m_position;
  if (length > 0 && m_buffer.at(end - 1) == '\r')
    --length;
  *line = m_buffer.mid(m_position, length);
  m_position = end + 1;
  return LineResult::Line;
}

void ZPHHTTPExchange::process()
{
  QByteArray line;
  while (!m_ended) {
    switch (m_state) {
      case State::StatusLine:
      case State::HeaderLines: {
        const LineResult result = takeLine(&line, MaximumLineBytes);
        if (result == LineResult::Incomplete)
          return;
        if (result == LineResult::TooLong) {
          giveUp();
          return;
        }
        if (m_state == State::StatusLine) {
          if (!parseStatusLine(line))
            return;
          m_state = State::HeaderLines;
        } else if (line.isEmpty()) {
          headersComplete();
        } else if (!parseHeaderLine(line)) {
          return;
        }
        break;
      }
      case State::Body: {
        const qsizetype available = m_buffer.size() - m_position;
        if (available == 0)
          return;
        qsizetype take = available;
        if (m_framing == Framing::Length)
          take = qsizetype(std::min<qint64>(available, m_remaining));
        const char* bytes = m_buffer.constData() + m_position;
        m_position += take;
        if (!deliver(bytes, take))
          return;
        if (m_framing == Framing::Length) {
          m_remaining -= take;
          if (m_remaining == 0)
            bodyComplete();
        }
        break;
      }
      case State::ChunkSize: {
        const LineResult result = takeLine(&line, 1024);
        if (result == LineResult::Incomplete)
          return;
        const qsizetype extension = line.indexOf(';');
        const QByteArray digits = (extension < 0 ? line : line.left(extension)).trimmed();
        bool ok = result == LineResult::Line && !digits.isEmpty() && digits.size() <= 15;
        for (const char c : digits) ok = ok && std::isxdigit(static_cast<unsigned char>(c));
        if (!ok) {
          finish(QNetworkReply::ProtocolFailure, QStringLiteral("Invalid chunk size"));
          return;
        }
        m_remaining = digits.toLongLong(&ok, 16);
        m_state = m_remaining == 0 ? State::Trailers : State::ChunkData;
        break;
      }
      case State::ChunkData: {
        const qsizetype take = qsizetype(std::min<qint64>(m_buffer.size() - m_position, m_remaining));
        if (take == 0)
          return;
        const char* bytes = m_buffer.constData() + m_position;
        m_position += take;
        m_remaining -= take;
        if (!deliver(bytes, take))
          return;
        if (m_remaining == 0)
          m_state = State::ChunkDataEnd;
        break;
      }
      case State::ChunkDataEnd:
      case State::Trailers: {
        const LineResult result = takeLine(&line, MaximumLineBytes);
        if (result == LineResult::Incomplete)
          return;
        m_headerBytes += line.size();
        if (result == LineResult::TooLong || m_headerBytes > MaximumHeaderBytes ||
            (m_state == State::ChunkDataEnd && !line.isEmpty())) {
          finish(QNetworkReply::ProtocolFailure, QStringLiteral("Invalid chunked body"));
          return;
        }
        if (m_state == State::ChunkDataEnd)
          m_state = State::ChunkSize;
        else if (line.isEmpty())
          bodyComplete();
        break;
      }
      case State::Done:
        return;
    }
  }
}

bool ZPHHTTPExchange::parseStatusLine(const QByteArray& line)
{
  // "HTTP/1.x NNN reason"; anything else (HTTP/2 frames, HTTP/0.9, junk)
  // is for the network manager to judge.
  const bool shaped = line.size() >= 12 && line.startsWith("HTTP/1.") && (line[7] == '0' || line[7] == '1') &&
                      line[8] == ' ' && std::isdigit(static_cast<unsigned char>(line[9])) &&
                      std::isdigit(static_cast<unsigned char>(line[10])) &&
                      std::isdigit(static_cast<unsigned char>(line[11])) && (line.size() == 12 || line[12] == ' ');
  if (!shaped || line[9] == '0') {
    giveUp();
    return false;
  }
  m_status = line.mid(9, 3).toInt();
  m_http11 = line[7] == '1';
  m_reason = line.mid(13).trimmed();
  m_headers.clear();
  m_headerBytes = line.size();
  return true;
}

bool ZPHHTTPExchange::parseHeaderLine(const QByteArray& line)
{
  m_headerBytes += line.size();
  const qsizetype colon = line.indexOf(':');
  // Folded lines, names that are no tokens, too many or too much: the
  // network manager's to judge.
  if (colon <= 0 || !isToken(line.left(colon)) || m_headers.size() >= MaximumHeaderCount ||
      m_headerBytes > MaximumHeaderBytes) {
    giveUp();
    return false;
  }
  m_headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
  return true;
}

void ZPHHTTPExchange::headersComplete()
{
  if (m_status < 200) {
    // An interim answer (100 Continue, 103 Early Hints): the real one follows.
    if (m_status == 101) {
      giveUp();
      return;
    }
    m_state = State::StatusLine;
    return;
  }
  // Challenges are answered on the network manager, with the caller.
  if (m_status == 401 || m_status == 407) {
    giveUp();
    return;
  }
  m_answeredHTTP = true;

  if (m_followsRedirects && isRedirectStatus(m_status)) {
    followRedirect();
    return;
  }

  // How the body is framed and coded; what this client does not take goes
  // to the network manager before anything was reported.
  const bool bodyless = m_method == "HEAD" || m_status == 204 || m_status == 304;
  m_framing = Framing::None;
  if (!bodyless) {
    const QList<QByteArray> codings = headerValues(m_headers, "Transfer-Encoding");
    const QList<QByteArray> lengths = headerValues(m_headers, "Content-Length");
    if (!codings.isEmpty()) {
      if (codings.size() != 1 || codings.first().compare("chunked", Qt::CaseInsensitive) != 0) {
        giveUp();
        return;
      }
      m_framing = Framing::Chunked;
    } else if (!lengths.isEmpty()) {
      bool ok = lengths.first().size() <= 18;
      for (const char c : lengths.first()) ok = ok && std::isdigit(static_cast<unsigned char>(c));
      for (const QByteArray& length : lengths) ok = ok && length == lengths.first();
      if (!ok) {
        giveUp();
        return;
      }
      m_remaining = lengths.first().toLongLong();
      m_framing = m_remaining > 0 ? Framing::Length : Framing::None;
    } else {
      m_framing = Framing::UntilClose;
    }
    const QList<QByteArray> encodings = headerValues(m_headers, "Content-Encoding");
    if (m_decodes && !encodings.isEmpty()) {
      const QByteArray encoding = encodings.first().toLower();
      if (encodings.size() != 1 ||
          (encoding != "gzip" && encoding != "deflate" && encoding != "br" && encoding != "identity")) {
        giveUp();
        return;
      }
      if (encoding != "identity") {
        m_decoder = std::make_unique<ZPHHTTPBodyDecoder>(encoding == "br" ? ZPHHTTPBodyDecoder::Kind::Brotli
                                                                          : ZPHHTTPBodyDecoder::Kind::Zlib);
        if (!m_decoder->ready) {
          giveUp();
          return;
        }
      }
    }
  }

  m_reported = true;
  if (!flushHops())
    return;
  m_handler.response(m_url, m_status, reportedHeaders());
  if (m_ended)
    return;
  switch (m_framing) {
    case Framing::None:
      bodyComplete();
      return;
    case Framing::Length:
    case Framing::UntilClose:
      m_state = State::Body;
      return;
    case Framing::Chunked:
      m_state = State::ChunkSize;
      return;
  }
}

void ZPHHTTPExchange::followRedirect()
{
  // The network manager reports each answer of a redirect it follows; here
  // they wait until the last one is in, so a hand-over stays possible.
  m_hops.append({m_url, m_status, reportedHeaders()});
  const QList<QByteArray> locations = headerValues(m_headers, "Location");
  QUrl target = locations.isEmpty() ? QUrl() : QUrl::fromEncoded(locations.first());
  if (!target.isValid()) {
    finish(QNetworkReply::ProtocolUnknownError, QStringLiteral("Unknown protocol specified"));
    return;
  }
  if (m_redirectsLeft <= 0) {
    finish(QNetworkReply::TooManyRedirectsError, QStringLiteral("Too many redirects"));
    return;
  }
  if (target.isRelative())
    target = m_url.resolved(target);
  if (target.scheme() != QLatin1String("http") && target.scheme() != QLatin1String("https")) {
    finish(QNetworkReply::ProtocolUnknownError, QStringLiteral("Unknown protocol specified"));
    return;
  }
  if (!target.userInfo().isEmpty() || target.host().isEmpty()) {
    giveUp();
    return;
  }
  if (m_verifiesRedirects && !m_handler.allowsRedirect(target)) {
    m_reported = true;
    if (flushHops())
      m_handler.redirectRefused();
    return;
  }
  --m_redirectsLeft;
  dropSocket();
  connectTo(target);
}

bool ZPHHTTPExchange::flushHops()
{
  const QList<Hop> hops = std::move(m_hops);
  m_hops.clear();
  for (const Hop& hop : hops) {
    m_handler.response(hop.url, hop.status, hop.headers);
    if (m_ended)
      return false;
  }
  return true;
}

ZPHHTTPExchange::Headers ZPHHTTPExchange::reportedHeaders() const
{
  // Repeated headers are reported once, their values joined; a decoded
  // body's length is no longer known. Both as the network manager does.
  Headers reported;
  reported.reserve(m_headers.size());
  for (const auto& [name, value] : m_headers) {
    if (m_decoder && name.compare("Content-Length", Qt::CaseInsensitive) == 0)
      continue;
    QByteArray joined;
    for (qsizetype i = 0; i < reported.size(); ++i) {
      if (reported[i].first.compare(name, Qt::CaseInsensitive) == 0) {
        joined = reported[i].second + (name.compare("Set-Cookie", Qt::CaseInsensitive) == 0 ? "\n" : ", ");
        reported.removeAt(i);
        break;
      }
    }
    reported.append({name, joined + value});
  }
  return reported;
}

bool ZPHHTTPExchange::deliver(const char* bytes, qsizetype size)
{
  if (!m_decoder) {
    m_pendingData.append(bytes, size);
    if (m_pendingData.size() >= DecodePieceBytes)
      flushData();
    return !m_ended;
  }
  if (m_decoder->ended)
    return true;  // what follows the stream is ignored
  m_decoder->encodedBytes += size;
  const qint64 threshold = m_request.decompressedSafetyCheckThreshold();
  while (!m_ended) {
    QByteArray piece(DecodePieceBytes, Qt::Uninitialized);
    const ZPHHTTPBodyDecoder::Step step = m_decoder->decode(&bytes, &size, piece);
    if (step == ZPHHTTPBodyDecoder::Step::Failed) {
      finish(QNetworkReply::UnknownContentError, QStringLiteral("Decompression failed: "));
      return false;
    }
    m_decoder->decodedBytes += piece.size();
    // A stream that swells far past its size is refused, as the network
    // manager refuses it.
    if (threshold >= 0 && m_decoder->decodedBytes > threshold &&
        double(m_decoder->decodedBytes) / double(std::max<qint64>(1, m_decoder->encodedBytes)) >
            m_decoder->ratioLimit) {
      finish(QNetworkReply::UnknownContentError, QStringLiteral("Decompression failed: "));
      return false;
    }
    if (!piece.isEmpty()) {
      // Each piece is reported before the next is made: a size limit of
      // the caller ends a bomb after one piece too many.
      m_pendingData += piece;
      flushData();
      if (m_ended)
        return false;
    }
    if (step == ZPHHTTPBodyDecoder::Step::Ended) {
      m_decoder->ended = true;
      break;
    }
    if (step == ZPHHTTPBodyDecoder::Step::NeedsInput || (size == 0 && piece.size() < DecodePieceBytes))
      break;
  }
  return !m_ended;
}

void ZPHHTTPExchange::flushData()
{
  if (m_pendingData.isEmpty() || m_ended)
    return;
  const QByteArray data = std::move(m_pendingData);
  m_pendingData = QByteArray();
  m_handler.data(data);
}

void ZPHHTTPExchange::bodyComplete()
{
  flushData();
  if (m_ended)
    return;
  m_state = State::Done;
  keepConnectionIfReusable();
  finish(QNetworkReply::NoError, kNoError);
}

void ZPHHTTPExchange::connectionClosed()
{
  if (m_ended)
    return;
  if (m_socket != nullptr && m_socket->bytesAvailable() > 0)
    readAvailable();
  if (m_ended)
    return;
  if (m_state == State::Body && m_framing == Framing::UntilClose) {
    bodyComplete();
    return;
  }
  connectionLost();
}

void ZPHHTTPExchange::connectionLost()
{
  if (retryOnNewConnection())
    return;
  if (!m_reported) {
    giveUp();
    return;
  }
  flushData();
  finish(QNetworkReply::RemoteHostClosedError, QStringLiteral("Connection closed"));
}

void ZPHHTTPExchange::socketFailed()
{
  if (m_ended || m_socket == nullptr)
    return;
  const QAbstractSocket::SocketError error = m_socket->error();
  if (error == QAbstractSocket::RemoteHostClosedError) {
    connectionClosed();
    return;
  }
  if (retryOnNewConnection())
    return;
  if (!m_reported && error == QAbstractSocket::ConnectionRefusedError) {
    finish(QNetworkReply::ConnectionRefusedError, QStringLiteral("Connection refused"));
    return;
  }
  if (!m_reported && error == QAbstractSocket::HostNotFoundError) {
    finish(QNetworkReply::HostNotFoundError, QStringLiteral("Host %1 not found").arg(m_url.host()));
    return;
  }
  connectionLost();
}

void ZPHHTTPExchange::finish(QNetworkReply::NetworkError error, const QString& errorString)
{
  if (m_ended)
    return;
  m_state = State::Done;
  m_timer.stop();
  dropSocket();
  if (!m_hops.isEmpty()) {
    m_reported = true;
    if (!flushHops())
      return;
  }
  m_ended = true;
  // An HTTP error status is reported as the network manager reports it.
  if (error == QNetworkReply::NoError && m_reported && m_status >= 400)
    m_handler.finished(errorForStatus(m_status), QStringLiteral("Error transferring %1 - server replied: %2")
                                                     .arg(m_url.toString(), QString::fromLatin1(m_reason)));
  else
    m_handler.finished(error, errorString);
}

void ZPHHTTPExchange::giveUp()
{
  if (m_ended)
    return;
  if (m_reported) {
    // Too late to hand over: the caller has the answer's start.
    finish(QNetworkReply::ProtocolFailure, QStringLiteral("Invalid answer"));
    return;
  }
  m_ended = true;
  m_state = State::Done;
  m_timer.stop();
  m_hops.clear();
  dropSocket();
  m_handler.handOver();
}

void ZPHHTTPExchange::dropSocket()
{
  if (m_socket == nullptr)
    return;
  QTcpSocket* socket = m_socket;
  m_socket = nullptr;
  closeSocket(socket, this);
}

// --- Connections kept between exchanges

ZPHHTTPConnectionCache::ZPHHTTPConnectionCache(QObject* parent) : QObject(parent) {}

ZPHHTTPConnectionCache::~ZPHHTTPConnectionCache()
{
  // The sockets are children and go with it; nothing of theirs reaches it
  // on the way.
  for (const QList<Idle>& idle : std::as_const(m_idle)) {
    for (const Idle& entry : idle) {
      QObject::disconnect(entry.socket, nullptr, this, nullptr);
      entry.socket->abort();
    }
  }
}

QString ZPHHTTPConnectionCache::serverKey(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  return scheme + QStringLiteral("://") + url.host().toLower() + QLatin1Char(':') +
         QString::number(url.port(scheme == QLatin1String("https") ? 443 : 80));
}

QTcpSocket* ZPHHTTPConnectionCache::take(const QString& key)
{
  closeExpired();
  const auto found = m_idle.find(key);
  if (found == m_idle.end())
    return nullptr;
  // The one used last: the least likely to have been closed meanwhile.
  const Idle idle = found->takeLast();
  if (found->isEmpty())
    m_idle.erase(found);
  QObject::disconnect(idle.socket, nullptr, this, nullptr);
  return idle.socket;
}

void ZPHHTTPConnectionCache::put(const QString& key, QTcpSocket* socket)
{
  if (socket == nullptr)
    return;
  socket->setParent(this);
  if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesAvailable() > 0 ||
      m_idle.value(key).size() >= MaximumIdlePerServer || idleCount() >= MaximumIdle) {
    closeSocket(socket, this);
    return;
  }
  // Anything from an idle connection (an answer nobody asked for, the
  // server's close) ends it.
  connect(socket, &QIODevice::readyRead, this, [this, socket] { discard(socket); });
  connect(socket, &QAbstractSocket::disconnected, this, [this, socket] { discard(socket); });
  connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] { discard(socket); });
  Idle idle;
  idle.socket = socket;
  idle.since.start();
  m_idle[key].append(idle);
  if (!m_sweep.isActive())
    m_sweep.start(IdleTimeoutMs, this);
}

int ZPHHTTPConnectionCache::idleCount() const
{
  int count = 0;
  for (const QList<Idle>& idle : m_idle) count += int(idle.size());
  return count;
}

void ZPHHTTPConnectionCache::timerEvent(QTimerEvent* event)
{
  if (event->timerId() != m_sweep.timerId())
    return QObject::timerEvent(event);
  closeExpired();
  if (m_idle.isEmpty())
    m_sweep.stop();
}

void ZPHHTTPConnectionCache::discard(QTcpSocket* socket)
{
  for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
    const qsizetype removed = it->removeIf([socket](const Idle& idle) { return idle.socket == socket; });
    if (removed == 0)
      continue;
    if (it->isEmpty())
      m_idle.erase(it);
    closeSocket(socket, this);
    return;
  }
}

void ZPHHTTPConnectionCache::closeExpired()
{
  for (auto it = m_idle.begin(); it != m_idle.end();) {
    it->removeIf([this](const Idle& idle) {
      if (idle.since.elapsed() < IdleTimeoutMs)
        return false;
      closeSocket(idle.socket, this);
      return true;
    });
    it = it->isEmpty() ? m_idle.erase(it) : std::next(it);
  }
}
