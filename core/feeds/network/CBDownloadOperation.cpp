#include "feeds/network/CBDownloadOperation.h"

#include "feeds/images/CBPermanentWebCacheController.h"
#include "feeds/images/CBWebCacheController.h"
#include "foundation/CBMimeTypes.h"
#include "platform/ZPHLog.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QMutexLocker>
#include <QtCore/QScopeGuard>
#include <QtCore/QStringDecoder>
#include <QtCore/QThread>
#include <QtNetwork/QAuthenticator>
#include <QtNetwork/QNetworkReply>

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>

const QString CBHTTPRequestHeaderUserAgent = QStringLiteral("User-Agent");
const QString CBHTTPRequestHeaderIfNoneMatch = QStringLiteral("If-None-Match");
const QString CBHTTPRequestHeaderIfModifiedSince = QStringLiteral("If-Modified-Since");
const QString CBHTTPMethodPost = QStringLiteral("POST");

const QString ZPHURLErrorDomain = QStringLiteral("NSURLErrorDomain");
const QString ZPHPOSIXErrorDomain = QStringLiteral("NSPOSIXErrorDomain");
const QString CBDownloadOperationErrorDomain = QStringLiteral("com.fernhollow.zephlin.errorDomains.downloadOperation");

namespace {

constexpr qint64 kPOSIXInvalidArgument = 22;  // EINVAL

QMutex& userAgentMutex()
{
  static QMutex mutex;
  return mutex;
}

QString& sharedUserAgent()
{
  static QString userAgent;
  return userAgent;
}

ZPHError urlError(qint64 code, const QString& description)
{
  return ZPHError(ZPHURLErrorDomain, code, {{ZPHLocalizedDescriptionKey, description}});
}

ZPHError cancelledError() { return urlError(ZPHURLErrorCancelled, QStringLiteral("The download was cancelled.")); }

ZPHError redirectToOtherOriginError()
{
  return ZPHError(CBDownloadOperationErrorDomain, CBDownloadOperationErrorRedirectToOtherOrigin,
                  {{ZPHLocalizedDescriptionKey, QStringLiteral("A redirect to another server is not followed.")}});
}

ZPHError redirectToOtherSchemeError()
{
  return ZPHError(
      CBDownloadOperationErrorDomain, CBDownloadOperationErrorUnsupportedScheme,
      {{ZPHLocalizedDescriptionKey, QStringLiteral("A redirect to another kind of address is not followed.")}});
}

CBWebCacheController* webCache(bool permanent)
{
  return permanent ? CBPermanentWebCacheController::sharedController() : CBWebCacheController::sharedController();
}

int defaultPort(const QUrl& url)
{
  return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

bool isSameOrigin(const QUrl& a, const QUrl& b)
{
  return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
         a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

// Errors QNetworkAccessManager raises for HTTP statuses; here the status
// stays the caller's to judge, as with any other response.
bool isHTTPStatusError(QNetworkReply::NetworkError code)
{
  return (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError &&
          code != QNetworkReply::ContentReSendError) ||
         code == QNetworkReply::ProtocolInvalidOperationError ||
         (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError);
}

bool hasLineBreak(const QString& text) { return text.contains(u'\r') || text.contains(u'\n'); }

bool isRedirectStatus(int status)
{
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Headers that carry credentials of the request's own, which must never
// reach another server.
bool carriesOwnCredentials(const QNetworkRequest& request)
{
  return request.hasRawHeader("Authorization") || request.hasRawHeader("Proxy-Authorization") ||
         request.hasRawHeader("Cookie");
}

QString headerValue(const QVariantMap& headerFields, const QString& name)
{
  for (auto it = headerFields.cbegin(); it != headerFields.cend(); ++it) {
    if (it.key().compare(name, Qt::CaseInsensitive) == 0)
      return it.value().toString();
  }
  return QString();
}

}  // namespace

// CBDownloadOperation

QString CBDownloadOperation::defaultUserAgent()
{
  QMutexLocker locker(&userAgentMutex());
  return sharedUserAgent();
}

void CBDownloadOperation::setDefaultUserAgent(const QString& userAgent)
{
  QMutexLocker locker(&userAgentMutex());
  sharedUserAgent() = userAgent;
}

CBDownloadOperation::CBDownloadOperation(const QUrl& url, QObject* delegate, Callback callbackSelector,
                                         bool useWebCache)
    : CBOperation(delegate, std::move(callbackSelector)), m_url(url), m_useWebCache(useWebCache)
{
}

CBDownloadOperation::~CBDownloadOperation() = default;

void CBDownloadOperation::cancel()
{
  CBOperation::cancel();
  m_downloadStatus.store(Cancelled);
  QMutexLocker locker(&m_transferMutex);
  if (m_runningTransfer)
    m_runningTransfer->wake();
}

QThread* CBDownloadOperation::downloadThread() const
{
  QMutexLocker locker(&m_transferMutex);
  return m_downloadThread;
}

ZPHNetworkAccessPool* CBDownloadOperation::networkAccessPool() const
{
  return m_networkAccessPool != nullptr ? m_networkAccessPool : ZPHNetworkAccessPool::sharedPool();
}

void CBDownloadOperation::main()
{
  QString exceptionText;
  try {
    if (!isSchemeAllowed(m_url)) {
      failWithError(ZPHError(CBDownloadOperationErrorDomain, CBDownloadOperationErrorUnsupportedScheme,
                             {{ZPHLocalizedDescriptionKey,
                               QStringLiteral("Addresses of the kind “%1” are not downloaded.").arg(m_url.scheme())}}));
    } else if (!(m_useWebCache && fetchCachedObject())) {
      download();
    }
  } catch (const std::exception& exception) {
    exceptionText = QString::fromLocal8Bit(exception.what());
  } catch (...) {
    exceptionText = QStringLiteral("unknown exception");
  }
  if (!exceptionText.isNull()) {
    logException(exceptionText);
    if (m_error.isNull())
      failWithError(urlError(ZPHURLErrorUnknown, exceptionText));
  }
  // Whatever happened above, observers hear of the end: a tracking
  // controller's session ends only then.
  notifyObserversThatOperationIsComplete();
}

bool CBDownloadOperation::isSchemeAllowed(const QUrl& url) const
{
  return CBURLHasWebScheme(url) || (m_allowsNonHTTPSchemes && !url.scheme().isEmpty());
}

void CBDownloadOperation::failWithError(const ZPHError& error)
{
  m_error = error;
  markFinished();
}

void CBDownloadOperation::markFinished()
{
  m_finishedReading = true;
  qint32 status = m_downloadStatus.load();
  while (status != Cancelled && !m_downloadStatus.compare_exchange_weak(status, Finished)) {
  }
}

bool CBDownloadOperation::fetchCachedObject()
{
  const QByteArray cached = webCache(m_usePermanentWebCache)->cachedObjectAtURL(m_url);
  if (cached.isNull())
    return false;
  m_responseBody = cached;
  return true;
}

void CBDownloadOperation::createRequest()
{
  QNetworkRequest request(requestURL());
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
  // One request per connection, as "Connection: close" asks.
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setTransferTimeout(m_timeoutIntervalMs);

  if (m_httpMethod == CBHTTPMethodPost)
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
  const QString userAgent = defaultUserAgent();
  if (!userAgent.isNull())
    request.setRawHeader(CBHTTPRequestHeaderUserAgent.toLatin1(), userAgent.toUtf8());
  request.setRawHeader("Connection", "close");
  for (auto it = m_extraRequestHeaders.cbegin(); it != m_extraRequestHeaders.cend(); ++it) {
    if (it.key().isEmpty() || hasLineBreak(it.key()) || hasLineBreak(it.value())) {
      qCWarning(zphNetwork) << "skipping a malformed request header" << it.key();
      continue;
    }
    request.setRawHeader(it.key().toUtf8(), it.value().toUtf8());
  }
  m_urlRequest = request;
}

void CBDownloadOperation::download()
{
  qint32 status = NotStarted;
  m_downloadStatus.compare_exchange_strong(status, Downloading);
  m_requestURL = m_url;
  m_redirects = 0;
  createRequest();
  if (isCancelled()) {
    m_error = cancelledError();
    return;
  }
  m_challengeAnswers = 0;
  while (runTransfer()) {
  }
}

bool CBDownloadOperation::runTransfer()
{
  m_challengeDeclined = false;
  m_challengeDeferred = false;

  // Redirects the network layer follows keep the request's headers; where
  // those are credentials, or the download keeps to its server, each hop is
  // the operation's own.
  m_followsRedirectsItself = m_followsRedirectsOnlyToOrigin || carriesOwnCredentials(m_urlRequest);
  if (m_followsRedirectsItself)
    m_urlRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

  ZPHNetworkTransfer::Request request;
  request.request = m_urlRequest;
  request.method = m_httpMethod.isEmpty() ? QByteArray("GET") : m_httpMethod.toUtf8();
  if (m_httpMethod == CBHTTPMethodPost)
    request.body = m_postBody;
  request.maximumBodySize = m_maximumBodySize;
  // A shared manager would keep credentials for its later requests, those
  // of an address that holds them too.
  request.usesPrivateManager =
      !m_username.isEmpty() || !m_password.isEmpty() || !m_urlRequest.url().userInfo().isEmpty();
  // The answer is only collected here until it ends: a wake for its headers
  // or for each piece of its body would be a thread hand-over for nothing.
  request.wakesOnlyToAct = true;
  const std::shared_ptr<ZPHNetworkTransfer> transfer = networkAccessPool()->start(std::move(request));

  {
    QMutexLocker locker(&m_transferMutex);
    m_runningTransfer = transfer;
    m_downloadThread = QThread::currentThread();
  }
  // Cleared however the wait is left, an exception included; a transfer
  // left before its end is stopped.
  bool transferEnded = false;
  const auto unregister = qScopeGuard([this, transfer, &transferEnded] {
    if (!transferEnded)
      transfer->abandon();
    QMutexLocker locker(&m_transferMutex);
    // NOLINTNEXTLINE(clang-analyzer-core.CallAndMessage): the captured `this` is never null
    m_runningTransfer.reset();
    m_downloadThread = nullptr;
  });

  // The time-out of the transport only measures silence: a server that
  // trickles a byte now and then would hold the download for ever.
  const QDeadlineTimer deadline =
      m_overallTimeoutMs > 0 ? QDeadlineTimer(m_overallTimeoutMs) : QDeadlineTimer(QDeadlineTimer::Forever);
  for (;;) {
    if (isCancelled()) {
      // A cancelled connection reports nothing more.
      transfer->abandon();
      if (!m_finishedReading)
        m_error = cancelledError();
      return false;
    }
    if (deadline.hasExpired()) {
      transfer->abandon();
      transferEnded = true;
      if (!m_finishedReading)
        didFailWithError(
            urlError(ZPHURLErrorTimedOut,
                     QStringLiteral("The download did not end within %1 seconds.").arg(m_overallTimeoutMs / 1000.0)));
      return false;
    }
    const int wait = deadline.isForever()
                         ? m_runLoopSliceMs
                         : int(std::min<qint64>(m_runLoopSliceMs, std::max<qint64>(deadline.remainingTime(), 0)));
    QList<ZPHNetworkTransfer::Event> events = transfer->takeEvents(wait);
    for (ZPHNetworkTransfer::Event& event : events) {
      bool ended = false;
      bool sendAgain = false;
      QString what;
      try {
        transferEnded = transferEnded || event.type == ZPHNetworkTransfer::Event::Finished;
        handleEvent(*transfer, event, &ended, &sendAgain);
      } catch (const std::exception& exception) {
        what = QString::fromLocal8Bit(exception.what());
      } catch (...) {
        what = QStringLiteral("unknown exception");
      }
      if (!what.isNull()) {
        // An exception fails the download instead of unwinding further.
        logException(what);
        if (event.type == ZPHNetworkTransfer::Event::Challenge)
          transfer->answerChallenge(false);
        if (!m_finishedReading)
          failWithError(urlError(ZPHURLErrorUnknown, what));
        return false;
      }
      if (sendAgain)
        return true;
      if (ended || m_finishedReading)
        return false;
    }
  }
}

void CBDownloadOperation::handleEvent(ZPHNetworkTransfer& transfer, ZPHNetworkTransfer::Event& event, bool* ended,
                                      bool* sendAgain)
{
  switch (event.type) {
    case ZPHNetworkTransfer::Event::Response: {
      CBURLResponse response;
      response.url = event.url;
      response.isHTTP = event.statusAttribute.isValid() || CBURLHasWebScheme(event.url);
      response.statusCode = event.statusAttribute.toInt();
      for (const auto& [name, value] : event.headers) {
        const QString key = QString::fromLatin1(name);
        const QString text = QString::fromUtf8(value);
        const QString previous = response.headerFields.value(key).toString();
        response.headerFields.insert(key, previous.isEmpty() ? text : previous + QStringLiteral(", ") + text);
      }
      didReceiveResponse(response);
      return;
    }
    case ZPHNetworkTransfer::Event::Data:
      didReceiveData(event.data);
      return;
    case ZPHNetworkTransfer::Event::UploadProgress:
      return;  // never asked for
    case ZPHNetworkTransfer::Event::Challenge: {
      ChallengeResponse response =
          didReceiveAuthenticationChallenge(event.url, event.authenticator, m_challengeAnswers);
      if (response == ChallengeResponse::Answer && !transfer.usesPrivateManager()) {
        qCWarning(zphNetwork) << "credentials set during the download are not sent over a shared connection";
        response = ChallengeResponse::Decline;
      }
      if (response == ChallengeResponse::Answer) {
        ++m_challengeAnswers;
        transfer.answerChallenge(true);
        return;
      }
      m_challengeDeclined = true;
      m_challengeDeferred = m_challengeDeferred || response == ChallengeResponse::Defer;
      transfer.answerChallenge(false);
      return;
    }
    case ZPHNetworkTransfer::Event::Finished:
      *ended = true;
      if (m_challengeDeferred && event.abortReason == ZPHNetworkTransfer::AbortReason::None && !isCancelled()) {
        m_challengeDeferred = false;
        if (resolveDeferredChallenge() && !isCancelled()) {
          *sendAgain = true;
          return;
        }
      }
      switch (event.abortReason) {
        case ZPHNetworkTransfer::AbortReason::BodyTooLarge:
          didFailWithError(
              ZPHError(CBDownloadOperationErrorDomain, CBDownloadOperationErrorBodyTooLarge,
                       {{ZPHLocalizedDescriptionKey,
                         QStringLiteral("The download is larger than %1 bytes.").arg(m_maximumBodySize)}}));
          return;
        case ZPHNetworkTransfer::AbortReason::RedirectToOtherScheme:
          didFailWithError(redirectToOtherSchemeError());
          return;
        case ZPHNetworkTransfer::AbortReason::PoolStopped:
          didFailWithError(cancelledError());
          return;
        case ZPHNetworkTransfer::AbortReason::None:
          break;
      }
      if (const ZPHError error = errorForFinishedTransfer(event); !error.isNull()) {
        didFailWithError(error);
        return;
      }
      if (m_followsRedirectsItself && m_hasResponse && m_urlResponse.isHTTP &&
          isRedirectStatus(m_urlResponse.statusCode)) {
        const QString location = headerValue(m_urlResponse.headerFields, QStringLiteral("Location"));
        if (!location.trimmed().isEmpty()) {
          *sendAgain = followRedirect(location);
          return;
        }
      }
      didFinishLoading();
      return;
  }
}

bool CBDownloadOperation::followRedirect(const QString& location)
{
  if (++m_redirects > MaximumRedirects) {
    didFailWithError(urlError(ZPHURLErrorHTTPTooManyRedirects, QStringLiteral("Too many redirects.")));
    return false;
  }
  QUrl target = requestURL().resolved(QUrl(location.trimmed(), QUrl::TolerantMode));
  if (!target.isValid() || !isSameOrigin(target, m_url)) {
    qCInfo(zphNetwork).noquote() << "not following a redirect from"
                                 << requestURL().toDisplayString(QUrl::RemoveUserInfo) << "to another server";
    didFailWithError(CBURLHasWebScheme(target) || !target.isValid() ? redirectToOtherOriginError()
                                                                    : redirectToOtherSchemeError());
    return false;
  }
  target.setUserInfo(QString());
  // As browsers do: a 303, or a 301 or 302 after a POST, goes on with GET.
  const int status = m_urlResponse.statusCode;
  if (status == 303 || ((status == 301 || status == 302) && m_httpMethod == CBHTTPMethodPost)) {
    m_httpMethod = QStringLiteral("GET");
    m_postBody.clear();
  }
  // The redirect's own answer is no result.
  m_requestURL = target;
  m_urlResponse = CBURLResponse();
  m_hasResponse = false;
  m_responseBody = QByteArray();
  m_statusCode = 0;
  createRequest();
  return !isCancelled();
}

void CBDownloadOperation::logException(const QString& what) const
{
  qCCritical(zphFeeds).noquote()
      << QStringLiteral("Exception in download operation for URL %1: %2!").arg(m_url.toDisplayString(), what);
}

ZPHError CBDownloadOperation::errorForFinishedTransfer(const ZPHNetworkTransfer::Event& finished) const
{
  const QNetworkReply::NetworkError code = finished.error;
  if (code == QNetworkReply::NoError)
    return {};
  const QString& description = finished.errorString;
  const bool answeredHTTP = finished.answeredHTTP;
  if (code == QNetworkReply::AuthenticationRequiredError && m_challengeDeclined)
    return urlError(ZPHURLErrorUserCancelledAuthentication, description);
  if (answeredHTTP && isHTTPStatusError(code)) {
    // A body the network could not decode (a corrupt or swelling
    // compressed one) under a success status is lost, not a status.
    if (code == QNetworkReply::UnknownContentError && m_statusCode < 400)
      return urlError(ZPHURLErrorCannotDecodeContentData, description);
    return {};
  }
  // Only a redirect takes an http or https download to another scheme.
  if (code == QNetworkReply::ProtocolUnknownError && CBURLHasWebScheme(m_url))
    return redirectToOtherSchemeError();
  return ZPHURLErrorForNetworkError(code, description, finished.sawTLSErrors);
}

ZPHError ZPHURLErrorForNetworkError(QNetworkReply::NetworkError code, const QString& description, bool sawTLSErrors)
{
  switch (code) {
    case QNetworkReply::NoError:
      return {};
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
      return urlError(ZPHURLErrorCannotConnectToHost, description);
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
      return urlError(ZPHURLErrorNetworkConnectionLost, description);
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
      return urlError(ZPHURLErrorCannotFindHost, description);
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::OperationCanceledError:  // the transfer time-out; our own aborts are handled earlier
      return urlError(ZPHURLErrorTimedOut, description);
    case QNetworkReply::SslHandshakeFailedError:
      return urlError(sawTLSErrors ? ZPHURLErrorServerCertificateUntrusted : ZPHURLErrorSecureConnectionFailed,
                      description);
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
      return urlError(ZPHURLErrorNotConnectedToInternet, description);
    case QNetworkReply::TooManyRedirectsError:
      return urlError(ZPHURLErrorHTTPTooManyRedirects, description);
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
      return urlError(ZPHURLErrorUserAuthenticationRequired, description);
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
      return urlError(ZPHURLErrorUnsupportedURL, description);
    case QNetworkReply::ContentNotFoundError:
      return urlError(ZPHURLErrorFileDoesNotExist, description);
    case QNetworkReply::ContentAccessDenied:
      return urlError(ZPHURLErrorNoPermissionsToReadFile, description);
    case QNetworkReply::ProtocolFailure:
      return urlError(ZPHURLErrorBadServerResponse, description);
    default:
      return urlError(ZPHURLErrorUnknown, description);
  }
}

void CBDownloadOperation::didReceiveResponse(const CBURLResponse& response)
{
  m_urlResponse = response;
  m_hasResponse = true;
  m_responseBody = QByteArray("");  // a new, empty body
  if (response.isHTTP)
    m_statusCode = response.statusCode;
}

void CBDownloadOperation::didReceiveData(const QByteArray& data)
{
  if (m_responseBody.isNull())
    m_responseBody = QByteArray("");
  m_responseBody.append(data);
}

void CBDownloadOperation::didFailWithError(const ZPHError& error) { failWithError(error); }

void CBDownloadOperation::didFinishLoading()
{
  if (m_useWebCache && m_statusCode == 200)
    webCache(m_usePermanentWebCache)->storeObject(m_responseBody, m_url);
  markFinished();
}

CBDownloadOperation::ChallengeResponse CBDownloadOperation::didReceiveAuthenticationChallenge(
    const QUrl& challengeURL, QAuthenticator* authenticator, int previousFailureCount)
{
  if (m_username.isEmpty() || m_password.isEmpty() || previousFailureCount >= MaximumChallengeAnswers)
    return ChallengeResponse::Decline;
  // The stored credentials belong to the address asked for, never to a host
  // a redirect led to.
  if (!isSameOrigin(challengeURL, m_url))
    return ChallengeResponse::Decline;
  // The authenticator gives up when an answer repeats the failed one
  // unchanged; clearing the user first makes the repeat a new answer.
  authenticator->setUser(QString());
  authenticator->setUser(m_username);
  authenticator->setPassword(m_password);
  return ChallengeResponse::Answer;
}

bool CBDownloadOperation::okResponse() const
{
  if (isCancelled() || m_downloadStatus.load() == Cancelled)
    return false;
  if (!m_error.isNull())
    return false;
  if (m_statusCode == 200)
    return true;
  return !m_hasResponse || !m_urlResponse.isHTTP;
}

bool CBDownloadOperation::authenticationError() const
{
  return m_statusCode == 401 || m_error.code() == ZPHURLErrorUserCancelledAuthentication ||
         m_error.code() == ZPHURLErrorUserAuthenticationRequired;
}

bool CBDownloadOperation::notConnectedToInternetError() const
{
  return m_error.code() == ZPHURLErrorNotConnectedToInternet ||
         (m_error.domain() == ZPHPOSIXErrorDomain && m_error.code() == kPOSIXInvalidArgument);
}

qint64 CBDownloadOperation::didFailErrorCode() const { return m_error.isNull() ? 0 : m_error.code(); }

QString CBDownloadOperation::responseBodyString() const
{
  if (m_responseBody.isNull())
    return {};
  QStringDecoder decoder(QStringDecoder::Utf8);
  QString text = decoder.decode(m_responseBody);
  if (decoder.hasError())
    return {};
  return text.isNull() ? QStringLiteral("") : text;
}

std::optional<CBHTTPConditionalGetInfo> CBDownloadOperation::conditionalGetInfoResponse()
{
  if (!m_conditionalGetInfoMade) {
    m_conditionalGetInfoMade = true;
    if (m_hasResponse)
      m_conditionalGetInfoResponse =
          CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse(m_urlResponse.headerFields);
  }
  return m_conditionalGetInfoResponse;
}

void CBDownloadOperation::debugLog() const
{
  QStringList requestHeaders;
  for (const QByteArray& name : m_urlRequest.rawHeaderList())
    requestHeaders << QString::fromLatin1(name) + QStringLiteral(": ") +
                          QString::fromUtf8(m_urlRequest.rawHeader(name));
  QStringList responseHeaders;
  for (auto it = m_urlResponse.headerFields.cbegin(); it != m_urlResponse.headerFields.cend(); ++it)
    responseHeaders << it.key() + QStringLiteral(": ") + it.value().toString();
  qCDebug(zphNetwork).noquote() << QStringLiteral("request headers: %1").arg(requestHeaders.join(QStringLiteral("; ")));
  qCDebug(zphNetwork).noquote() << QStringLiteral("status code: %1").arg(m_statusCode);
  qCDebug(zphNetwork).noquote()
      << QStringLiteral("response headers: %1").arg(responseHeaders.join(QStringLiteral("; ")));
  qCDebug(zphNetwork).noquote() << QStringLiteral("response body: %1").arg(responseBodyString());
}
