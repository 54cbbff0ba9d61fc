#include "sync/ZPHSyncServerNetworkOperation.h"

#include "foundation/CBMimeTypes.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHNotificationCenter.h"
#include "platform/ZPHOperation.h"
#include "platform/ZPHUserDefaults.h"
#include "store/CBCoreDataUtilities.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "subscribe/ZPHCredentialsResult.h"
#include "sync/ZPHSyncConstants.h"
#include "sync/ZPHSyncCookieJar.h"
#include "sync/ZPHSyncCredentials.h"
#include "sync/ZPHSyncDeletedNodeLog.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QJsonParseError>
#include <QtCore/QMutexLocker>
#include <QtNetwork/QAuthenticator>
#include <QtNetwork/QHostAddress>

#include <typeinfo>

namespace {

const QString ContentTypeHeader = QStringLiteral("Content-Type");
const QString JSONContentType = QStringLiteral("application/json");
const QString TagQuery = QStringLiteral("?tag=%1");

// Slices of the waits, so a cancel or a quit is seen soon.
constexpr int WaitSliceMs = 100;

QMutex& tagMutex()
{
  static QMutex mutex;
  return mutex;
}

ZPHError makeSyncError(qint64 code, const QString& description)
{
  return ZPHError(ZPHSyncErrorDomain, code, {{ZPHLocalizedDescriptionKey, description}});
}

int defaultPort(const QUrl& url)
{
  return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

bool isSameServer(const QUrl& a, const QUrl& b)
{
  return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
         a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

}  // namespace

ZPHSyncServerNetworkOperation::ZPHSyncServerNetworkOperation() : CBDownloadOperation(QUrl())
{
  setMaximumBodySize(MaximumReplySize);
  // The cookie, the credentials and the user's feeds go to the sync server
  // only: a redirect elsewhere fails the call.
  setFollowsRedirectsOnlyToOrigin(true);
}

ZPHSyncServerNetworkOperation::~ZPHSyncServerNetworkOperation() = default;

QString ZPHSyncServerNetworkOperation::apiCall() const { return QStringLiteral(""); }

QString ZPHSyncServerNetworkOperation::logName() const
{
  QString name = QString::fromLatin1(typeid(*this).name());
  // Mangled names carry their length first ("31ZPHSync…").
  while (!name.isEmpty() && name.front().isDigit()) name.remove(0, 1);
  return name;
}

bool ZPHSyncServerNetworkOperation::isLoopbackHost(const QString& host)
{
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
    return true;
  QHostAddress address;
  return address.setAddress(host) && address.isLoopback();
}

QUrl ZPHSyncServerNetworkOperation::serverBaseURL(ZPHError* error)
{
  const QString text = ZPHUserDefaults::standardUserDefaults().stringForKey(ZPHSyncServiceBaseURL).trimmed();
  if (text.isEmpty()) {
    ZPHSetError(error, makeSyncError(ZPHSyncErrorNoServer, QStringLiteral("No sync server is set.")));
    return QUrl();
  }
  QUrl url(text, QUrl::StrictMode);
  if (!url.isValid() || url.isRelative() || url.host().isEmpty() || !CBURLHasWebScheme(url) ||
      !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment()) {
    ZPHSetError(error, makeSyncError(ZPHSyncErrorNoServer,
                                     QStringLiteral("The sync server address is not a usable http or https address.")));
    return QUrl();
  }
  if (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0 && !isLoopbackHost(url.host())) {
    ZPHSetError(error, makeSyncError(ZPHSyncErrorInsecureServer,
                                     QStringLiteral("The sync server must be reached over https.")));
    return QUrl();
  }
  QString path = url.path(QUrl::FullyEncoded);
  while (path.endsWith(u'/')) path.chop(1);
  url.setPath(path, QUrl::TolerantMode);
  return url;
}

qint64 ZPHSyncServerNetworkOperation::nextTag()
{
  QMutexLocker locker(&tagMutex());
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  qint64 tag = defaults.integerForKey(ZPHSyncURLTagIndex);
  if (ZPHSyncCredentials::fastUserSwitch()) {
    ++tag;
    defaults.setInteger(ZPHSyncURLTagIndex, tag);
  }
  return tag;
}

ZPHError ZPHSyncServerNetworkOperation::syncError() const
{
  QMutexLocker locker(&m_errorMutex);
  if (!m_syncError.isNull())
    return m_syncError;
  if (!error().isNull())
    return error();
  if (isCancelled() && !succeeded())
    return makeSyncError(ZPHSyncErrorCancelled, QStringLiteral("The sync call was cancelled."));
  return ZPHError();
}

void ZPHSyncServerNetworkOperation::failWithSyncError(qint64 code, const QString& description)
{
  qCWarning(zphSync).noquote() << logName() << "failed:" << description;
  QMutexLocker locker(&m_errorMutex);
  if (m_syncError.isNull())
    m_syncError = makeSyncError(code, description);
}

void ZPHSyncServerNetworkOperation::cancel()
{
  qCInfo(zphSync).noquote() << logName() << "operation canceled";
  CBDownloadOperation::cancel();
  wakeAnswerWaiters();
}

void ZPHSyncServerNetworkOperation::main()
{
  const auto finish = [this](const ZPHError& error) {
    {
      QMutexLocker locker(&m_errorMutex);
      m_syncError = error;
    }
    notifyObserversThatOperationIsComplete();
  };
  if (isCancelled())
    return finish(makeSyncError(ZPHSyncErrorCancelled, QStringLiteral("The sync call was cancelled.")));

  setUsername(ZPHSyncCredentials::username());
  setPassword(ZPHSyncCredentials::password());

  ZPHError error;
  const QUrl base = serverBaseURL(&error);
  if (base.isEmpty()) {
    qCWarning(zphSync).noquote() << logName() << error.toString();
    return finish(error);
  }
  QByteArray body;
  if (!makePostBody(&body, &error)) {
    // The text is the same for every call; the body itself is never logged.
    qCWarning(zphSync).noquote() << "Error creating account creation body" << error.toString();
    return finish(error.isNull() ? makeSyncError(ZPHSyncErrorBodyNotWritten, QStringLiteral("No request body."))
                                 : error);
  }
  if (isCancelled())
    return finish(makeSyncError(ZPHSyncErrorCancelled, QStringLiteral("The sync call was cancelled.")));

  m_tag.store(nextTag());
  setUrl(QUrl(base.toString(QUrl::FullyEncoded) + u'/' + apiCall() + TagQuery.arg(m_tag.load())));
  setHttpMethod(CBHTTPMethodPost);
  setPostBody(body);
  setExtraRequestHeader(ContentTypeHeader, JSONContentType);
  CBDownloadOperation::main();
}

void ZPHSyncServerNetworkOperation::download()
{
  CBDownloadOperation::download();
  qCDebug(zphSync).noquote() << QStringLiteral("%1: run loop exited").arg(logName());
}

void ZPHSyncServerNetworkOperation::createRequest()
{
  CBDownloadOperation::createRequest();
  // Made for each hop: what the jar holds for that very address, with what
  // a redirect answer set.
  const QByteArray cookies = ZPHSyncCookieJar::sharedJar().cookieHeaderForURL(requestURL());
  if (!cookies.isEmpty())
    mutableURLRequest().setRawHeader("Cookie", cookies);
}

bool ZPHSyncServerNetworkOperation::makePostBody(QByteArray* body, ZPHError* error)
{
  Q_UNUSED(error);
  *body = QByteArray();
  return true;
}

void ZPHSyncServerNetworkOperation::success() {}

void ZPHSyncServerNetworkOperation::didReceiveResponse(const CBURLResponse& response)
{
  CBDownloadOperation::didReceiveResponse(response);
  for (auto it = response.headerFields.cbegin(); it != response.headerFields.cend(); ++it) {
    if (it.key().compare(QLatin1String("Set-Cookie"), Qt::CaseInsensitive) == 0)
      ZPHSyncCookieJar::sharedJar().setCookiesFromHeader(it.value().toString().toUtf8(), response.url);
  }
}

void ZPHSyncServerNetworkOperation::didFinishLoading()
{
  qCDebug(zphSync).noquote()
      << QStringLiteral("%1: connectionDidFinishLoading - Status code = %2").arg(logName()).arg(statusCode());
  CBDownloadOperation::didFinishLoading();
  if (!isCancelled())
    success();
}

QJsonDocument ZPHSyncServerNetworkOperation::JSONResponse() const
{
  const QByteArray body = responseBody();
  if (body.isEmpty())
    return QJsonDocument();
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
  if (parseError.error != QJsonParseError::NoError)
    qCWarning(zphSync).noquote() << "Found error" << parseError.errorString() << "while attempted to parse response";
  return document;
}

std::optional<QJsonObject> ZPHSyncServerNetworkOperation::usableReply()
{
  const int status = statusCode();
  if (status < 200 || status > 299) {
    failWithSyncError(ZPHSyncErrorBadStatus, QStringLiteral("The sync server answered with status %1.").arg(status));
    return std::nullopt;
  }
  const QJsonDocument document = JSONResponse();
  if (!document.isObject()) {
    failWithSyncError(ZPHSyncErrorBadReply, QStringLiteral("The sync server's reply is not a JSON object."));
    return std::nullopt;
  }
  return document.object();
}

CBDownloadOperation::ChallengeResponse ZPHSyncServerNetworkOperation::didReceiveAuthenticationChallenge(
    const QUrl& challengeURL, QAuthenticator* authenticator, int previousFailureCount)
{
  Q_UNUSED(previousFailureCount);
  qCInfo(zphSync).noquote() << QStringLiteral("%1: auth challenge received from sync server").arg(logName());
  // Credentials go to the sync server only, never to a host a redirect led to.
  if (!isSameServer(challengeURL, url()))
    return ChallengeResponse::Decline;
  ZPHSyncCredentials::setProtectionSpace(challengeURL.host(), challengeURL.port(defaultPort(challengeURL)),
                                         authenticator->realm());
  if (m_answerFromUser) {
    // Entered just now: tried once; when it fails the user is asked again.
    m_answerFromUser = false;
    m_storedCredentialAnswers = MaximumStoredCredentialAnswers;
  } else if (ZPHSyncCredentials::credentialsPresent() && !username().isEmpty() && !password().isEmpty() &&
             m_storedCredentialAnswers < MaximumStoredCredentialAnswers) {
    ++m_storedCredentialAnswers;
  } else {
    return asksForLogin() ? ChallengeResponse::Defer : ChallengeResponse::Decline;
  }
  // The authenticator gives up on an answer that repeats the failed one
  // unchanged; clearing the user first makes it a new answer.
  authenticator->setUser(QString());
  authenticator->setUser(username());
  authenticator->setPassword(password());
  ZPHSyncCredentials::setCredential(username());
  return ChallengeResponse::Answer;
}

bool ZPHSyncServerNetworkOperation::resolveDeferredChallenge()
{
  if (isCancelled())
    return false;
  enum class Kind { None, Login, CreateAccount };
  // Shared with the observers, which may still be delivering on the main
  // thread when this call has stopped waiting.
  struct Answer {
    Kind kind = Kind::None;
    ZPHCredentialsResult credentials;
  };
  auto answer = std::make_shared<Answer>();
  const std::weak_ptr<ZPHOperation> weakSelf = weak_from_this();
  const auto take = [answer, weakSelf](Kind kind, const ZPHNotification& notification) {
    const auto self = std::static_pointer_cast<ZPHSyncServerNetworkOperation>(weakSelf.lock());
    if (!self)
      return;
    QMutexLocker locker(self->answerMutex());
    if (answer->kind != Kind::None)
      return;
    answer->kind = kind;
    answer->credentials = notification.object.canConvert<ZPHCredentialsResult>()
                              ? notification.object.value<ZPHCredentialsResult>()
                              : ZPHCredentialsResult::cancelled();
    self->m_answerCondition.wakeAll();
  };
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  ZPHObserverToken loginObserver =
      center.addObserver(ZPHSyncServiceLoginCredentialsProvided, QVariant(),
                         [take](const ZPHNotification& notification) { take(Kind::Login, notification); });
  ZPHObserverToken createObserver =
      center.addObserver(ZPHSyncServiceAccountCreationRequested, QVariant(),
                         [take](const ZPHNotification& notification) { take(Kind::CreateAccount, notification); });
  center.postOnMainThread(ZPHSyncServiceLoginCredentialsRequired,
                          QVariant::fromValue(std::static_pointer_cast<CBOperation>(shared_from_this())));

  const WaitResult result = waitForAnswer([&answer] { return answer->kind != Kind::None; });
  loginObserver.reset();
  createObserver.reset();
  Answer given;
  {
    QMutexLocker locker(answerMutex());
    given = *answer;
  }

  if (result == WaitResult::Cancelled)
    return false;
  if (given.kind == Kind::CreateAccount) {
    qCInfo(zphSync) << "account creation request. canceling feed and folder sync request";
    qCInfo(zphSync) << "Challenge canceled";
    cancel();
    return false;
  }
  if (given.credentials.didCancel() || given.credentials.username().isEmpty() ||
      given.credentials.password().isEmpty()) {
    qCInfo(zphSync) << "the sync login was cancelled";
    cancel();
    return false;
  }
  ZPHSyncCredentials::saveUsername(given.credentials.username());
  ZPHSyncCredentials::savePassword(given.credentials.password());
  setUsername(given.credentials.username());
  setPassword(given.credentials.password());
  m_answerFromUser = true;
  return true;
}

ZPHSyncServerNetworkOperation::WaitResult ZPHSyncServerNetworkOperation::waitForAnswer(
    const std::function<bool()>& answered)
{
  QMutexLocker locker(&m_answerMutex);
  for (;;) {
    if (answered())
      return WaitResult::Answered;
    if (isCancelled())
      return WaitResult::Cancelled;
    m_answerCondition.wait(&m_answerMutex, QDeadlineTimer(WaitSliceMs));
  }
}

void ZPHSyncServerNetworkOperation::wakeAnswerWaiters()
{
  QMutexLocker locker(&m_answerMutex);
  m_answerCondition.wakeAll();
}

bool ZPHSyncServerNetworkOperation::performOnStoreQueue(
    const std::function<void(ZPHManagedObjectContext* context)>& work)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr || delegate->appIsShuttingDown() || isCancelled())
    return false;
  struct Shared {
    QMutex mutex;
    QWaitCondition condition;
    bool running = false;
    bool ran = false;
    bool done = false;
    bool abandoned = false;  // the caller stopped waiting: `work` must not run
  };
  auto shared = std::make_shared<Shared>();
  auto block = std::make_shared<ZPHBlockOperation>([shared, work] {
    {
      QMutexLocker locker(&shared->mutex);
      if (shared->abandoned)
        return;
      shared->running = true;
    }
    ZPHCoreApplicationDelegate* d = ZPHCoreApplicationDelegate::sharedDelegate();
    std::shared_ptr<ZPHManagedObjectContext> context = d ? d->temporaryManagedObjectContext() : nullptr;
    if (context != nullptr) {
      ZPHSyncDeletedNodeLog::OwnDeletionsScope ownDeletions;
      work(context.get());
    }
    QMutexLocker locker(&shared->mutex);
    shared->ran = context != nullptr;
  });
  block->setCompletionBlock([shared] {
    QMutexLocker locker(&shared->mutex);
    shared->done = true;
    shared->condition.wakeAll();
  });
  delegate->addCoreDataQueueOperation(block);

  QMutexLocker locker(&shared->mutex);
  QDeadlineTimer giveUp(QDeadlineTimer::Forever);
  while (!shared->done) {
    shared->condition.wait(&shared->mutex, QDeadlineTimer(WaitSliceMs));
    if (shared->done)
      break;
    // Cancelled or quitting: work that has not started is given up (at quit
    // the queue may even have dropped it); work under way is awaited.
    const bool quitting = ZPHCoreApplicationDelegate::sharedDelegateIsShuttingDown();
    if (quitting && giveUp.isForever())
      giveUp.setRemainingTime(2000);
    if ((isCancelled() || giveUp.hasExpired()) && !shared->running) {
      shared->abandoned = true;
      block->cancel();
      return false;
    }
  }
  return shared->ran;
}

bool ZPHSyncServerNetworkOperation::saveContext(ZPHManagedObjectContext* context)
{
  // How the save went, not whether the context holds changes: it may hold
  // some again right after a good save (the marks its objects clear once
  // saved).
  return context != nullptr && CBSaveManagedObjectContext(context);
}
