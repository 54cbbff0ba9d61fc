#include "subscribe/ZPHFeedFinderHTTPOperation.h"

#include "feeds/network/CBDownloadOperation.h"
#include "feeds/network/ZPHServerTrustStore.h"
#include "feeds/refresh/ZPHRefreshFeedOperation.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "subscribe/ZPHURLAdditions.h"

#include <QtCore/QMutexLocker>
#include <QtNetwork/QAuthenticator>

const QString ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification =
    QStringLiteral("ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification");
const QString ZPHFeedFinderDidAuthenticateHTTPBasicAuthNotification =
    QStringLiteral("ZPHFeedFinderDidAuthenticateHTTPBasicAuthNotification");
const QString ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification =
    QStringLiteral("ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification");
const QString ZPHFeedFinderDidAuthenticateSelfSignedCertNotification =
    QStringLiteral("ZPHFeedFinderDidAuthenticateSelfSignedCertNotification");
const QString ZPHFeedFinderSelfSignedCertSummaryKey = QStringLiteral("ZPHFeedFinderSelfSignedCertSummaryKey");
const QString ZPHFeedFinderSelfSignedCertificateKey = QStringLiteral("ZPHFeedFinderSelfSignedCertificate");
const QString ZPHFeedFinderAuthenticationTokenKey = QStringLiteral("ZPHFeedFinderAuthenticationToken");

namespace {

int defaultPort(const QUrl& url)
{
  return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

bool isSameServer(const QUrl& a, const QUrl& b)
{
  return !a.host().isEmpty() && a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
         a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

ZPHError urlError(qint64 code, const QString& description)
{
  return ZPHError(ZPHURLErrorDomain, code, {{ZPHLocalizedDescriptionKey, description}});
}

// "CN, O, L, C" of the certificate's subject, the parts it has.
QString subjectSummary(const QSslCertificate& certificate)
{
  QStringList parts;
  for (QSslCertificate::SubjectInfo info : {QSslCertificate::CommonName, QSslCertificate::Organization,
                                            QSslCertificate::LocalityName, QSslCertificate::CountryName}) {
    const QStringList values = certificate.subjectInfo(info);
    if (!values.isEmpty() && !values.first().trimmed().isEmpty())
      parts.append(values.first().trimmed());
  }
  return parts.join(QStringLiteral(", "));
}

}  // namespace

ZPHFeedFinderHTTPOperation::ZPHFeedFinderHTTPOperation(const QNetworkRequest& request, WorkBlock work,
                                                       CompletionBlock completion)
    : ESHTTPOperation(request, std::move(work), std::move(completion)), m_lastPermanentURL(request.url())
{
}

ZPHFeedFinderHTTPOperation::~ZPHFeedFinderHTTPOperation() = default;

void ZPHFeedFinderHTTPOperation::setCredentials(const QString& username, const QString& password, const QUrl& url)
{
  QMutexLocker locker(&m_findMutex);
  m_username = username;
  m_password = password;
  m_credentialsURL = url;
}

QUrl ZPHFeedFinderHTTPOperation::lastPermanentURL() const
{
  QMutexLocker locker(&m_findMutex);
  return m_lastPermanentURL;
}

QUrl ZPHFeedFinderHTTPOperation::finalURL() const
{
  QMutexLocker locker(&m_findMutex);
  return m_finalURL.isEmpty() ? lastRequest().url() : m_finalURL;
}

QSet<QUrl> ZPHFeedFinderHTTPOperation::urlsRead() const
{
  QMutexLocker locker(&m_findMutex);
  return m_urlsRead;
}

QString ZPHFeedFinderHTTPOperation::username() const
{
  QMutexLocker locker(&m_findMutex);
  return m_username;
}

QString ZPHFeedFinderHTTPOperation::password() const
{
  QMutexLocker locker(&m_findMutex);
  return m_password;
}

QUrl ZPHFeedFinderHTTPOperation::credentialsURL() const
{
  QMutexLocker locker(&m_findMutex);
  return m_credentialsURL;
}

QString ZPHFeedFinderHTTPOperation::pendingQuestionToken() const
{
  QMutexLocker locker(&m_findMutex);
  return m_questionToken;
}

bool ZPHFeedFinderHTTPOperation::credentialsAreFor(const QUrl& url) const
{
  QMutexLocker locker(&m_findMutex);
  return !m_username.isEmpty() && isSameServer(m_credentialsURL, url);
}

void ZPHFeedFinderHTTPOperation::operationDidStart()
{
  {
    QMutexLocker locker(&m_findMutex);
    m_lastPermanentURL = request().url();
    m_urlsRead.clear();
  }
  ESHTTPOperation::operationDidStart();
}

std::optional<QNetworkRequest> ZPHFeedFinderHTTPOperation::willSendRequestForRedirect(
    const QNetworkRequest& request, const ESHTTPResponse& redirectResponse)
{
  const QUrl cleaned = zph_cleanedUpAbsoluteStandardizedURL(request.url());
  {
    QMutexLocker locker(&m_findMutex);
    if (m_urlsRead.contains(cleaned)) {
      locker.unlock();
      finishWithError(urlError(ZPHURLErrorHTTPTooManyRedirects, QStringLiteral("The redirects go round in a loop.")));
      return std::nullopt;
    }
    m_urlsRead.insert(cleaned);
    if (redirectResponse.statusCode == 301 && request.url().isValid())
      m_lastPermanentURL = request.url();
  }
  return ESHTTPOperation::willSendRequestForRedirect(request, redirectResponse);
}

bool ZPHFeedFinderHTTPOperation::usesPrivateConnectionForRequest(const QNetworkRequest& request) const
{
  return credentialsAreFor(request.url());
}

bool ZPHFeedFinderHTTPOperation::didReceiveAuthenticationChallenge(const QUrl& url, QAuthenticator* authenticator)
{
  // Once per exchange: a second challenge means the answer was refused.
  if (m_answeredChallengeInExchange || !credentialsAreFor(url))
    return false;
  m_answeredChallengeInExchange = true;
  // The authenticator gives up on an answer that repeats the failed one
  // unchanged; clearing the user first makes a repeat a new answer.
  authenticator->setUser(QString());
  authenticator->setUser(username());
  authenticator->setPassword(password());
  return true;
}

bool ZPHFeedFinderHTTPOperation::exchangeDidEnd(const ESHTTPExchangeEnd& end)
{
  const bool answered = m_answeredChallengeInExchange;
  m_answeredChallengeInExchange = false;

  if (end.challengeDeclined && end.answeredHTTP) {
    if (!m_allowPromptForUserCredentials || m_httpAuthTries.load() >= ZPHAuthenticationMaxTries) {
      finishWithError(urlError(ZPHURLErrorUserAuthenticationRequired, QStringLiteral("The server asks for a login.")));
      return true;
    }
    ++m_httpAuthTries;
    m_questionURL = end.declinedChallengeURL.isValid() ? end.declinedChallengeURL : end.url;
    ask(Question::Login, {{CBURLKey, m_questionURL}});
    return true;
  }

  if (end.networkError == QNetworkReply::SslHandshakeFailedError && !end.tlsErrors.isEmpty()) {
    const QSslCertificate certificate = ZPHServerTrustStore::certificateOfErrors(end.tlsErrors);
    // Expired, not yet valid, for another host or not self-signed: refused
    // without a question.
    if (!m_allowPromptForUserCredentials || m_askedAboutCertificate ||
        !ZPHServerTrustStore::isTrustableSelfSignedCertificate(end.url, certificate, end.tlsErrors))
      return false;
    m_askedAboutCertificate = true;
    m_questionURL = end.url;
    m_questionCertificate = certificate;
    QVariantMap userInfo{{CBURLKey, lastPermanentURL()},
                         {ZPHFeedFinderSelfSignedCertificateKey, QVariant::fromValue(certificate)}};
    const QString summary = subjectSummary(certificate);
    if (!summary.isEmpty())
      userInfo.insert(ZPHFeedFinderSelfSignedCertSummaryKey, summary);
    ask(Question::Certificate, userInfo);
    return true;
  }

  if (end.networkError == QNetworkReply::NoError || end.answeredHTTP) {
    QMutexLocker locker(&m_findMutex);
    m_finalURL = end.url;
    m_usedCredentials = answered;
  }
  return false;
}

void ZPHFeedFinderHTTPOperation::ask(Question question, const QVariantMap& userInfo)
{
  const QString token = cb_uuidString();
  {
    QMutexLocker locker(&m_findMutex);
    m_question = question;
    m_questionToken = token;
  }
  m_questionDeadline = QDeadlineTimer(m_questionTimeoutMs);

  QVariantMap info = userInfo;
  info.insert(ZPHFeedFinderAuthenticationTokenKey, token);
  const QString name = question == Question::Login ? ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification
                                                   : ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification;
  const QString answerName = question == Question::Login ? ZPHFeedFinderDidAuthenticateHTTPBasicAuthNotification
                                                         : ZPHFeedFinderDidAuthenticateSelfSignedCertNotification;
  std::weak_ptr<ZPHOperation> weakSelf = shared_from_this();
  ZPHMainThread::async([weakSelf, token, name, answerName, info, question] {
    std::shared_ptr<ZPHOperation> strong = weakSelf.lock();
    if (!strong)
      return;
    auto* self = static_cast<ZPHFeedFinderHTTPOperation*>(strong.get());
    if (self->pendingQuestionToken() != token)
      return;  // given up meanwhile
    ZPHObserverToken observer = ZPHNotificationCenter::defaultCenter().addObserver(
        answerName, {}, [weakSelf, token, question](const ZPHNotification& answer) {
          if (answer.userInfo.value(ZPHFeedFinderAuthenticationTokenKey).toString() != token)
            return;
          std::shared_ptr<ZPHOperation> operation = weakSelf.lock();
          if (!operation)
            return;
          auto* asking = static_cast<ZPHFeedFinderHTTPOperation*>(operation.get());
          if (question == Question::Login) {
            // An answer without credentials counts as cancelled.
            const ZPHCredentialsResult result = answer.object.canConvert<ZPHCredentialsResult>()
                                                    ? answer.object.value<ZPHCredentialsResult>()
                                                    : ZPHCredentialsResult::cancelled();
            asking->performOnRunLoopThread([asking, token, result] { asking->applyLoginAnswer(token, result); });
          } else {
            const int type = answer.object.typeId();
            const bool trust = (type == QMetaType::Bool || type == QMetaType::Int || type == QMetaType::LongLong) &&
                               answer.object.toBool();
            asking->performOnRunLoopThread([asking, token, trust] { asking->applyCertificateAnswer(token, trust); });
          }
        });
    {
      QMutexLocker locker(&self->m_findMutex);
      if (self->m_questionToken != token)
        return;
      self->m_answerObserver = std::move(observer);
    }
    ZPHNotificationCenter::defaultCenter().post(name, token, info);
  });
}

void ZPHFeedFinderHTTPOperation::endQuestion()
{
  ZPHObserverToken observer;
  {
    QMutexLocker locker(&m_findMutex);
    m_question = Question::None;
    m_questionToken.clear();
    observer = std::move(m_answerObserver);
  }
  m_questionCertificate = QSslCertificate();
  // `observer` goes out of scope here, outside the lock.
}

void ZPHFeedFinderHTTPOperation::applyLoginAnswer(const QString& token, const ZPHCredentialsResult& result)
{
  {
    QMutexLocker locker(&m_findMutex);
    if (m_question != Question::Login || m_questionToken != token)
      return;
  }
  endQuestion();
  if (result.didCancel()) {
    finishWithError(urlError(ZPHURLErrorUserCancelledAuthentication, QStringLiteral("The login was cancelled.")));
    return;
  }
  setCredentials(result.username(), result.password(), m_questionURL);
  sendRequest(lastRequest());
}

void ZPHFeedFinderHTTPOperation::applyCertificateAnswer(const QString& token, bool trust)
{
  {
    QMutexLocker locker(&m_findMutex);
    if (m_question != Question::Certificate || m_questionToken != token)
      return;
  }
  const QSslCertificate certificate = m_questionCertificate;
  endQuestion();
  if (!trust) {
    finishWithError(ZPHError(ZPHCocoaErrorDomain, ZPHUserCancelledError,
                             {{ZPHLocalizedDescriptionKey, QStringLiteral("The certificate was not trusted.")}}));
    return;
  }
  if (!ZPHServerTrustStore::sharedStore().trustCertificate(m_questionURL, certificate)) {
    finishWithError(urlError(ZPHURLErrorServerCertificateUntrusted, QStringLiteral("The certificate is not valid.")));
    return;
  }
  sendRequest(lastRequest());
}

void ZPHFeedFinderHTTPOperation::serviceRunLoop(int timeoutMs)
{
  Question question = Question::None;
  {
    QMutexLocker locker(&m_findMutex);
    question = m_question;
  }
  if (question != Question::None) {
    if (m_questionDeadline.hasExpired()) {
      qCInfo(zphNetwork) << "no answer to the question for" << m_questionURL.toDisplayString(QUrl::RemoveUserInfo)
                         << "in time";
      const QString token = pendingQuestionToken();
      if (question == Question::Login)
        applyLoginAnswer(token, ZPHCredentialsResult::cancelled());
      else
        applyCertificateAnswer(token, false);
      return;
    }
    timeoutMs = int(std::min<qint64>(timeoutMs, std::max<qint64>(1, m_questionDeadline.remainingTime())));
  }
  ESHTTPOperation::serviceRunLoop(timeoutMs);
}

void ZPHFeedFinderHTTPOperation::operationWillFinish()
{
  endQuestion();
  ESHTTPOperation::operationWillFinish();
}

void ZPHFeedFinderHTTPOperation::postBasicAuthAnswer(const QString& token, const ZPHCredentialsResult& result)
{
  ZPHNotificationCenter::defaultCenter().post(ZPHFeedFinderDidAuthenticateHTTPBasicAuthNotification,
                                              QVariant::fromValue(result),
                                              {{ZPHFeedFinderAuthenticationTokenKey, token}});
}

void ZPHFeedFinderHTTPOperation::postSelfSignedCertAnswer(const QString& token, bool trust)
{
  ZPHNotificationCenter::defaultCenter().post(ZPHFeedFinderDidAuthenticateSelfSignedCertNotification, trust,
                                              {{ZPHFeedFinderAuthenticationTokenKey, token}});
}
