#include "subscribe/ESHTTPOperation.h"

#include "feeds/network/CBDownloadOperation.h"
#include "feeds/network/ZPHHTTPExchange.h"
#include "foundation/CBMimeTypes.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHOperationQueue.h"

#include <QtCore/QIODevice>
#include <QtCore/QMutexLocker>
#include <QtCore/QStringList>
#include <QtNetwork/QAuthenticator>

#include <algorithm>

const QString ESHTTPOperationErrorDomain = QStringLiteral("ESHTTPOperationErrorDomain");

namespace {

std::atomic<qint64> g_nextOperationID{1};

QSet<int> defaultAcceptableStatusCodes()
{
  QSet<int> codes;
  for (int code = 200; code < 300; ++code) codes.insert(code);
  return codes;
}

ZPHOperationQueue* sharedWorkQueue()
{
  // Lives for the whole process, like the operations that may still use it.
  static ZPHOperationQueue* queue = new ZPHOperationQueue(QStringLiteral("com.fernhollow.zephlin.httpOperationWork"));
  return queue;
}

ZPHError urlError(qint64 code, const QString& description)
{
  return ZPHError(ZPHURLErrorDomain, code, {{ZPHLocalizedDescriptionKey, description}});
}

ZPHError httpOperationError(qint64 code, const QString& description = QString())
{
  QVariantMap userInfo;
  if (!description.isNull())
    userInfo.insert(ZPHLocalizedDescriptionKey, description);
  return ZPHError(ESHTTPOperationErrorDomain, code, userInfo);
}

// Errors QNetworkAccessManager raises for HTTP statuses; the status stays the
// operation's to judge.
bool isHTTPStatusError(QNetworkReply::NetworkError code)
{
  return (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError &&
          code != QNetworkReply::ContentReSendError) ||
         code == QNetworkReply::ProtocolInvalidOperationError ||
         (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError) ||
         code == QNetworkReply::AuthenticationRequiredError;
}

QString sortedCodes(const QSet<int>& codes)
{
  QList<int> list(codes.cbegin(), codes.cend());
  std::sort(list.begin(), list.end());
  QStringList texts;
  for (int code : list) texts.append(QString::number(code));
  return u'{' + texts.join(QStringLiteral(", ")) + u'}';
}

QString sortedTypes(const QSet<QString>& types)
{
  QStringList list(types.cbegin(), types.cend());
  list.sort();
  return u'{' + list.join(QStringLiteral(", ")) + u'}';
}

}  // namespace

// ------------------------------------------------------------ response

QByteArray ESHTTPResponse::headerValue(const QByteArray& name) const
{
  for (const auto& [headerName, value] : headers) {
    if (headerName.compare(name, Qt::CaseInsensitive) == 0)
      return value;
  }
  return {};
}

QString ESHTTPResponse::mimeType() const
{
  const QByteArray contentType = headerValue("Content-Type");
  if (contentType.isNull())
    return {};
  const qsizetype semicolon = contentType.indexOf(';');
  return QString::fromLatin1(semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
}

qint64 ESHTTPResponse::expectedContentLength() const
{
  const QByteArray length = headerValue("Content-Length");
  bool ok = false;
  const qint64 value = length.trimmed().toLongLong(&ok);
  return ok && value >= 0 ? value : -1;
}

// ------------------------------------------------------------ operation

std::shared_ptr<ESHTTPOperation> ESHTTPOperation::newHTTPOperationWithRequest(const QNetworkRequest& request,
                                                                              WorkBlock work,
                                                                              CompletionBlock completion)
{
  return std::make_shared<ESHTTPOperation>(request, std::move(work), std::move(completion));
}

std::shared_ptr<ESHTTPOperation> ESHTTPOperation::newHTTPOperationWithRequest(const ESURLRequest& request,
                                                                              WorkBlock work,
                                                                              CompletionBlock completion)
{
  auto operation = std::make_shared<ESHTTPOperation>(request.request, std::move(work), std::move(completion));
  operation->setHTTPMethod(request.httpMethod);
  operation->setHTTPBody(request.httpBody);
  return operation;
}

ESHTTPOperation::ESHTTPOperation(const QNetworkRequest& request, WorkBlock work, CompletionBlock completion)
    : m_operationID(g_nextOperationID.fetch_add(1)),
      m_request(request),
      m_work(std::move(work)),
      m_completion(std::move(completion)),
      m_acceptableStatusCodes(defaultAcceptableStatusCodes()),
      m_lastRequest(request)
{
}

ESHTTPOperation::~ESHTTPOperation() { abandonTransfer(); }

bool ESHTTPOperation::isInitedForSetter(const char* what) const
{
  if (state() == Inited)
    return true;
  qCWarning(zphNetwork).noquote() << QStringLiteral(
                                         "Attempted %1 while in state: %2. May only be attempted prior to queueing "
                                         "operation.")
                                         .arg(QLatin1String(what))
                                         .arg(int(state()));
  return false;
}

bool ESHTTPOperation::setHTTPMethod(const QByteArray& method)
{
  if (!isInitedForSetter("setHTTPMethod") || method.isEmpty())
    return false;
  m_httpMethod = method;
  return true;
}

bool ESHTTPOperation::setHTTPBody(const QByteArray& body)
{
  if (!isInitedForSetter("setHTTPBody"))
    return false;
  m_httpBody = body;
  return true;
}

bool ESHTTPOperation::setCompletionQueue(ZPHOperationQueue* queue)
{
  if (!isInitedForSetter("setCompletionQueue"))
    return false;
  m_completionQueue = queue;
  return true;
}

bool ESHTTPOperation::setWorkQueue(ZPHOperationQueue* queue)
{
  if (!isInitedForSetter("setWorkQueue"))
    return false;
  m_workQueue = queue;
  return true;
}

QSet<int> ESHTTPOperation::acceptableStatusCodes() const
{
  QMutexLocker locker(&m_mutex);
  return m_acceptableStatusCodes;
}

bool ESHTTPOperation::setAcceptableStatusCodes(const QSet<int>& codes)
{
  if (!isInitedForSetter("setAcceptableStatusCodes"))
    return false;
  QMutexLocker locker(&m_mutex);
  m_acceptableStatusCodes = codes;
  return true;
}

bool ESHTTPOperation::addAcceptableStatusCode(int code)
{
  if (!isInitedForSetter("addAcceptableStatusCode"))
    return false;
  QMutexLocker locker(&m_mutex);
  m_acceptableStatusCodes.insert(code);
  return true;
}

bool ESHTTPOperation::removeAcceptableStatusCode(int code)
{
  if (!isInitedForSetter("removeAcceptableStatusCode"))
    return false;
  QMutexLocker locker(&m_mutex);
  m_acceptableStatusCodes.remove(code);
  return true;
}

QSet<QString> ESHTTPOperation::acceptableContentTypes() const
{
  QMutexLocker locker(&m_mutex);
  return m_acceptableContentTypes;
}

bool ESHTTPOperation::setAcceptableContentTypes(const QSet<QString>& types)
{
  if (!isInitedForSetter("setAcceptableContentTypes"))
    return false;
  QSet<QString> lowered;
  for (const QString& type : types) lowered.insert(type.trimmed().toLower());
  QMutexLocker locker(&m_mutex);
  m_acceptableContentTypes = lowered;
  return true;
}

bool ESHTTPOperation::addAcceptableContentType(const QString& type)
{
  if (!isInitedForSetter("addAcceptableContentType") || type.isNull())
    return false;
  QMutexLocker locker(&m_mutex);
  m_acceptableContentTypes.insert(type.trimmed().toLower());
  return true;
}

bool ESHTTPOperation::removeAcceptableContentType(const QString& type)
{
  if (!isInitedForSetter("removeAcceptableContentType") || type.isNull())
    return false;
  QMutexLocker locker(&m_mutex);
  m_acceptableContentTypes.remove(type.trimmed().toLower());
  return true;
}

bool ESHTTPOperation::setDownloadProgressBlock(ProgressBlock block)
{
  if (!isInitedForSetter("setDownloadProgressBlock"))
    return false;
  QMutexLocker locker(&m_mutex);
  m_downloadProgress = std::move(block);
  return true;
}

bool ESHTTPOperation::setUploadProgressBlock(ProgressBlock block)
{
  if (state() != Inited) {
    qCWarning(zphNetwork).noquote() << QStringLiteral(
                                           "Set Upload Progress Block in Invalid State: Attempted to "
                                           "setUploadProgressBlock while in state: %1. UploadProgressBlock may only be "
                                           "set prior to queueing operation")
                                           .arg(int(state()));
    return false;
  }
  QMutexLocker locker(&m_mutex);
  m_uploadProgress = std::move(block);
  return true;
}

bool ESHTTPOperation::setCancelOnStatusCodeError(bool cancel)
{
  if (!isInitedForSetter("setCancelOnStatusCodeError"))
    return false;
  m_cancelOnStatusCodeError = cancel;
  return true;
}

bool ESHTTPOperation::setCancelOnContentTypeError(bool cancel)
{
  if (!isInitedForSetter("setCancelOnContentTypeError"))
    return false;
  m_cancelOnContentTypeError = cancel;
  return true;
}

bool ESHTTPOperation::setMaximumExchangeDurationMs(int ms)
{
  if (!isInitedForSetter("setMaximumExchangeDurationMs") || ms <= 0)
    return false;
  m_maximumExchangeDurationMs = ms;
  return true;
}

bool ESHTTPOperation::setNetworkAccessPool(ZPHNetworkAccessPool* pool)
{
  if (!isInitedForSetter("setNetworkAccessPool"))
    return false;
  m_networkAccessPool = pool;
  return true;
}

bool ESHTTPOperation::setDefaultResponseSize(quint64 size)
{
  if (!isInitedForSetter("setDefaultResponseSize") || size == 0)
    return false;
  m_defaultResponseSize = size;
  return true;
}

bool ESHTTPOperation::setMaximumResponseSize(quint64 size)
{
  if (!isInitedForSetter("setMaximumResponseSize") || size == 0)
    return false;
  m_maximumResponseSize = size;
  return true;
}

bool ESHTTPOperation::setOutputStream(QIODevice* device)
{
  if (!isInitedForSetter("setOutputStream"))
    return false;
  m_outputStream = device;
  return true;
}

QNetworkRequest ESHTTPOperation::lastRequest() const
{
  QMutexLocker locker(&m_mutex);
  return m_lastRequest;
}

ESHTTPResponse ESHTTPOperation::lastResponse() const
{
  QMutexLocker locker(&m_mutex);
  return m_lastResponse;
}

QByteArray ESHTTPOperation::responseBody() const
{
  QMutexLocker locker(&m_mutex);
  return m_responseBody;
}

QVariant ESHTTPOperation::processedResponse() const
{
  QMutexLocker locker(&m_mutex);
  return m_processedResponse;
}

bool ESHTTPOperation::isStatusCodeAcceptable() const
{
  QMutexLocker locker(&m_mutex);
  const int status = m_lastResponse.statusCode;
  return status > 0 && m_acceptableStatusCodes.contains(status);
}

bool ESHTTPOperation::isContentTypeAcceptable() const
{
  QMutexLocker locker(&m_mutex);
  if (m_acceptableContentTypes.isEmpty())
    return true;
  const QString type = m_lastResponse.mimeType();
  return !type.isEmpty() && m_acceptableContentTypes.contains(type);
}

ZPHError ESHTTPOperation::errorForStatusCode() const
{
  QMutexLocker locker(&m_mutex);
  const int status = m_lastResponse.statusCode;
  ZPHError error = httpOperationError(
      ESHTTPOperationErrorBadStatusCode,
      QStringLiteral("Expected status code in set %1, got %2").arg(sortedCodes(m_acceptableStatusCodes)).arg(status));
  error.setValue(ZPHUnderlyingErrorKey, QVariant::fromValue(httpOperationError(status)));
  return error;
}

ZPHError ESHTTPOperation::errorForContentType() const
{
  QMutexLocker locker(&m_mutex);
  return httpOperationError(ESHTTPOperationErrorBadContentType,
                            QStringLiteral("Expected content type in set %1, got %2")
                                .arg(sortedTypes(m_acceptableContentTypes), m_lastResponse.mimeType()));
}

QString ESHTTPOperation::description() const
{
  const ESHTTPResponse response = lastResponse();
  const ZPHError failure = error();
  const QString responseText =
      response.isValid()
          ? QStringLiteral("%1 %2").arg(response.statusCode).arg(response.url.toDisplayString(QUrl::RemoveUserInfo))
          : QStringLiteral("(none)");
  return QStringLiteral("<%1 : %2>\n{\n\tRequest: %3\n\tResponse: %4\n\tID: %5\n\tError: %6\n}")
      .arg(QStringLiteral("ESHTTPOperation"))
      .arg(quintptr(this), 0, 16)
      .arg(lastRequest().url().toDisplayString(QUrl::RemoveUserInfo), responseText)
      .arg(m_operationID)
      .arg(failure.isNull() ? QStringLiteral("(null)") : failure.toString());
}

// ------------------------------------------------------------ run loop

void ESHTTPOperation::operationDidStart()
{
  if (m_defaultResponseSize == 0 || m_maximumResponseSize == 0 || m_defaultResponseSize > m_maximumResponseSize) {
    finishWithError(httpOperationError(ESHTTPOperationErrorResponseTooLarge,
                                       QStringLiteral("The default response size exceeds the maximum.")));
    return;
  }
  if (!CBURLIsWebURL(m_request.url())) {
    finishWithError(urlError(ZPHURLErrorUnsupportedURL, QStringLiteral("Only http and https addresses are fetched.")));
    return;
  }
  sendRequest(m_request);
}

void ESHTTPOperation::sendRequest(const QNetworkRequest& request)
{
  abandonTransfer();
  m_firstData = true;
  m_hasBuffer = false;
  m_dataAccumulator = QByteArray();
  m_totalBytesWritten = 0;
  m_exchangeIsRedirect = false;
  m_challengeDeclined = false;
  m_declinedChallengeURL = QUrl();
  m_exchangeDeadline = QDeadlineTimer(m_maximumExchangeDurationMs);

  QNetworkRequest sent = request;
  // Each redirect is the operation's own step.
  sent.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
  sent.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  sent.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  if (sent.transferTimeout() <= 0)
    sent.setTransferTimeout(DefaultTimeoutIntervalMs);
  {
    QMutexLocker locker(&m_mutex);
    m_lastRequest = request;
  }

  ZPHNetworkTransfer::Request transferRequest;
  transferRequest.request = sent;
  transferRequest.method = m_httpMethod;
  transferRequest.body = m_httpBody;
  transferRequest.maximumBodySize = qint64(m_maximumResponseSize);
  {
    QMutexLocker locker(&m_mutex);
    transferRequest.reportsUploadProgress = bool(m_uploadProgress);
  }
  // A shared manager would keep the credentials of an address that carries
  // them, and offer them to later requests of other callers.
  transferRequest.usesPrivateManager = usesPrivateConnectionForRequest(request) || !request.url().userInfo().isEmpty();
  ZPHNetworkAccessPool* pool = m_networkAccessPool ? m_networkAccessPool : ZPHNetworkAccessPool::sharedPool();
  std::shared_ptr<ZPHNetworkTransfer> transfer = pool->start(std::move(transferRequest));
  QMutexLocker locker(&m_mutex);
  m_transfer = std::move(transfer);
}

std::shared_ptr<ZPHNetworkTransfer> ESHTTPOperation::currentTransfer() const
{
  QMutexLocker locker(&m_mutex);
  return m_transfer;
}

void ESHTTPOperation::abandonTransfer()
{
  std::shared_ptr<ZPHNetworkTransfer> transfer;
  {
    QMutexLocker locker(&m_mutex);
    transfer = std::move(m_transfer);
  }
  if (transfer)
    transfer->abandon();
}

void ESHTTPOperation::serviceRunLoop(int timeoutMs)
{
  const std::shared_ptr<ZPHNetworkTransfer> transfer = currentTransfer();
  if (!transfer) {
    ESRunLoopOperation::serviceRunLoop(timeoutMs);
    return;
  }
  if (m_exchangeDeadline.hasExpired()) {
    abandonTransfer();
    processRequestWithError(urlError(ZPHURLErrorTimedOut, QStringLiteral("The server took too long.")));
    return;
  }
  timeoutMs = int(std::min<qint64>(timeoutMs, std::max<qint64>(1, m_exchangeDeadline.remainingTime())));
  QList<ZPHNetworkTransfer::Event> events = transfer->takeEvents(timeoutMs);
  for (ZPHNetworkTransfer::Event& event : events) {
    // A finish or a new exchange leaves the rest of the old one unread.
    if (state() != Executing || currentTransfer() != transfer)
      break;
    handleEvent(*transfer, event);
  }
}

void ESHTTPOperation::wakeRunLoop()
{
  ESRunLoopOperation::wakeRunLoop();
  if (const std::shared_ptr<ZPHNetworkTransfer> transfer = currentTransfer())
    transfer->wake();
}

void ESHTTPOperation::handleEvent(ZPHNetworkTransfer& transfer, ZPHNetworkTransfer::Event& event)
{
  switch (event.type) {
    case ZPHNetworkTransfer::Event::Response: {
      ESHTTPResponse response;
      response.url = event.url;
      response.statusCode = event.statusAttribute.toInt();
      response.headers = event.headers;
      didReceiveResponse(response);
      return;
    }
    case ZPHNetworkTransfer::Event::Data:
      didReceiveData(event.data);
      return;
    case ZPHNetworkTransfer::Event::UploadProgress: {
      ProgressBlock progress;
      {
        QMutexLocker locker(&m_mutex);
        progress = m_uploadProgress;
      }
      if (progress)
        progress(quint64(std::max<qint64>(0, event.bytesSent)), event.bytesTotal);
      return;
    }
    case ZPHNetworkTransfer::Event::Challenge: {
      bool answered = false;
      if (transfer.usesPrivateManager()) {
        answered = didReceiveAuthenticationChallenge(event.url, event.authenticator);
      }
      if (!answered) {
        m_challengeDeclined = true;
        m_declinedChallengeURL = event.url;
      }
      transfer.answerChallenge(answered);
      return;
    }
    case ZPHNetworkTransfer::Event::Finished: {
      QMutexLocker locker(&m_mutex);
      m_transfer.reset();
    }
      exchangeFinished(event);
      return;
  }
}

void ESHTTPOperation::didReceiveResponse(const ESHTTPResponse& response)
{
  {
    QMutexLocker locker(&m_mutex);
    m_lastResponse = response;
  }
  // A new response starts a new body.
  m_firstData = true;
  m_hasBuffer = false;
  m_dataAccumulator = QByteArray();
  m_totalBytesWritten = 0;
  m_exchangeIsRedirect =
      ZPHHTTPExchange::isRedirectStatus(response.statusCode) && !response.headerValue("Location").isEmpty();
  if (m_exchangeIsRedirect)
    return;
  if (m_cancelOnStatusCodeError && !isStatusCodeAcceptable()) {
    abandonTransfer();
    processRequestWithError(errorForStatusCode());
  } else if (m_cancelOnContentTypeError && !isContentTypeAcceptable()) {
    abandonTransfer();
    processRequestWithError(errorForContentType());
  }
}

void ESHTTPOperation::didReceiveData(const QByteArray& data)
{
  if (m_exchangeIsRedirect || m_processing || data.isEmpty())
    return;
  const qint64 expected = lastResponse().expectedContentLength();
  const bool toStream = m_outputStream != nullptr && isStatusCodeAcceptable();
  if (m_firstData) {
    m_firstData = false;
    if (toStream) {
      if (!m_outputStream->isOpen()) {
        m_openedOutputStream = m_outputStream->open(QIODevice::WriteOnly);
        if (!m_openedOutputStream) {
          abandonTransfer();
          processRequestWithError(httpOperationError(ESHTTPOperationErrorOutputStream, m_outputStream->errorString()));
          return;
        }
      }
    } else {
      const quint64 capacity = expected >= 0 ? quint64(expected) : m_defaultResponseSize;
      if (capacity > m_maximumResponseSize) {
        abandonTransfer();
        processRequestWithError(httpOperationError(ESHTTPOperationErrorResponseTooLarge));
        return;
      }
      m_dataAccumulator = QByteArray();
      m_dataAccumulator.reserve(qsizetype(capacity));
      m_hasBuffer = true;
    }
  }

  if (!toStream) {
    const quint64 total = quint64(m_dataAccumulator.size()) + quint64(data.size());
    reportProgress(total, expected);
    if (total > m_maximumResponseSize) {
      abandonTransfer();
      processRequestWithError(httpOperationError(ESHTTPOperationErrorResponseTooLarge));
      return;
    }
    m_dataAccumulator.append(data);
    return;
  }

  ZPHError streamError;
  qint64 written = 0;
  while (written < data.size()) {
    const qint64 count = m_outputStream->write(data.constData() + written, data.size() - written);
    if (count < 1) {
      const QString reason = m_outputStream->errorString();
      streamError = httpOperationError(ESHTTPOperationErrorOutputStream, reason.isEmpty() ? QString() : reason);
      break;
    }
    written += count;
    m_totalBytesWritten += quint64(count);
  }
  reportProgress(m_totalBytesWritten.load(), expected);
  if (!streamError.isNull()) {
    abandonTransfer();
    processRequestWithError(streamError);
  }
}

void ESHTTPOperation::reportProgress(quint64 bytesSoFar, qint64 bytesExpected)
{
  ProgressBlock progress;
  {
    QMutexLocker locker(&m_mutex);
    progress = m_downloadProgress;
  }
  if (progress)
    ZPHMainThread::async([progress, bytesSoFar, bytesExpected] { progress(bytesSoFar, bytesExpected); });
}

void ESHTTPOperation::exchangeFinished(const ZPHNetworkTransfer::Event& finished)
{
  if (m_processing)
    return;
  switch (finished.abortReason) {
    case ZPHNetworkTransfer::AbortReason::BodyTooLarge:
      processRequestWithError(httpOperationError(ESHTTPOperationErrorResponseTooLarge));
      return;
    case ZPHNetworkTransfer::AbortReason::PoolStopped:
      processRequestWithError(cancelledError());
      return;
    case ZPHNetworkTransfer::AbortReason::RedirectToOtherScheme:
      processRequestWithError(urlError(ZPHURLErrorUnsupportedURL, finished.errorString));
      return;
    case ZPHNetworkTransfer::AbortReason::None:
      break;
  }

  ESHTTPExchangeEnd end;
  end.url = lastRequest().url();
  end.networkError = finished.error;
  end.errorString = finished.errorString;
  end.answeredHTTP = finished.answeredHTTP;
  end.challengeDeclined = m_challengeDeclined;
  end.declinedChallengeURL = m_declinedChallengeURL;
  end.tlsErrors = finished.tlsErrors;
  if (exchangeDidEnd(end) || state() != Executing)
    return;

  if (finished.error != QNetworkReply::NoError && !(finished.answeredHTTP && isHTTPStatusError(finished.error))) {
    processRequestWithError(ZPHURLErrorForNetworkError(finished.error, finished.errorString, finished.sawTLSErrors));
    return;
  }
  if (m_exchangeIsRedirect) {
    followRedirect();
    return;
  }

  {
    QMutexLocker locker(&m_mutex);
    m_responseBody = m_hasBuffer ? m_dataAccumulator : QByteArray("");
  }
  m_dataAccumulator = QByteArray();
  m_hasBuffer = false;
  if (!isStatusCodeAcceptable())
    processRequestWithError(errorForStatusCode());
  else if (!isContentTypeAcceptable())
    processRequestWithError(errorForContentType());
  else
    processRequestWithError({});
}

void ESHTTPOperation::followRedirect()
{
  const ESHTTPResponse redirect = lastResponse();
  const QNetworkRequest previous = lastRequest();
  if (++m_redirects > MaximumRedirects) {
    processRequestWithError(urlError(ZPHURLErrorHTTPTooManyRedirects, QStringLiteral("Too many redirects.")));
    return;
  }
  const QUrl target =
      previous.url().resolved(QUrl::fromEncoded(redirect.headerValue("Location").trimmed(), QUrl::TolerantMode));
  if (!CBURLIsWebURL(target)) {
    processRequestWithError(
        urlError(ZPHURLErrorUnsupportedURL, QStringLiteral("A redirect to another kind of address is not followed.")));
    return;
  }
  QNetworkRequest next = previous;
  next.setUrl(target);
  // As browsers do: a 303, or a 301 or 302 after a POST, continues with GET.
  if (redirect.statusCode == 303 ||
      ((redirect.statusCode == 301 || redirect.statusCode == 302) && m_httpMethod == "POST")) {
    m_httpMethod = "GET";
    m_httpBody.clear();
  }
  const std::optional<QNetworkRequest> followed = willSendRequestForRedirect(next, redirect);
  if (state() != Executing)
    return;
  if (!followed) {
    processRequestWithError(cancelledError());
    return;
  }
  sendRequest(*followed);
}

void ESHTTPOperation::processRequestWithError(const ZPHError& error)
{
  if (m_processing || state() != Executing)
    return;
  m_processing = true;
  WorkBlock work;
  {
    QMutexLocker locker(&m_mutex);
    work = m_work;
  }
  if (!error.isNull() || !work) {
    finishWithError(error);
    return;
  }
  std::shared_ptr<ESHTTPOperation> self = std::static_pointer_cast<ESHTTPOperation>(shared_from_this());
  ZPHOperationQueue* queue = m_workQueue ? m_workQueue : sharedWorkQueue();
  queue->addOperation(std::make_shared<ZPHBlockOperation>([self, work] {
    ZPHError workError;
    const QVariant processed = work(*self, &workError);
    if (processed.isValid() && workError.isNull()) {
      QMutexLocker locker(&self->m_mutex);
      self->m_processedResponse = processed;
    }
    self->performOnRunLoopThread([self, workError] {
      if (self->state() == Executing)
        self->finishWithError(workError);
    });
  }));
}

void ESHTTPOperation::operationWillFinish()
{
  abandonTransfer();
  if (m_outputStream != nullptr && m_openedOutputStream) {
    m_outputStream->close();
    m_openedOutputStream = false;
  }
}

void ESHTTPOperation::operationDidFinish()
{
  CompletionBlock completion;
  {
    QMutexLocker locker(&m_mutex);
    completion = std::move(m_completion);
    m_completion = nullptr;
    if (!completion) {
      m_work = nullptr;
      m_downloadProgress = nullptr;
      m_uploadProgress = nullptr;
    }
  }
  if (!completion)
    return;
  std::shared_ptr<ESHTTPOperation> self = std::static_pointer_cast<ESHTTPOperation>(shared_from_this());
  auto deliver = [self, completion] {
    completion(self);
    QMutexLocker locker(&self->m_mutex);
    self->m_work = nullptr;
    self->m_downloadProgress = nullptr;
    self->m_uploadProgress = nullptr;
  };
  if (m_completionQueue != nullptr)
    m_completionQueue->addOperation(std::make_shared<ZPHBlockOperation>(deliver));
  else
    ZPHMainThread::async(deliver);
}

std::optional<QNetworkRequest> ESHTTPOperation::willSendRequestForRedirect(const QNetworkRequest& request,
                                                                           const ESHTTPResponse&)
{
  return request;
}

bool ESHTTPOperation::didReceiveAuthenticationChallenge(const QUrl&, QAuthenticator*) { return false; }

bool ESHTTPOperation::usesPrivateConnectionForRequest(const QNetworkRequest&) const { return false; }

bool ESHTTPOperation::exchangeDidEnd(const ESHTTPExchangeEnd&) { return false; }
