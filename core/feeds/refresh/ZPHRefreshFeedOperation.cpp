#include "feeds/refresh/ZPHRefreshFeedOperation.h"

#include "store/accounts/CBDataAccount.h"

#include "feeds/metadata/CBLocalAccountFeedMetadataCache.h"
#include "feeds/parsers/CBFeedParserProxy.h"
#include "feeds/parsers/CBFeedType.h"
#include "feeds/parsers/CBParsedNewsItem.h"
#include "feeds/refresh/ZPHCoreDataArticleSaverOperation.h"
#include "foundation/CBData.h"
#include "foundation/CBKeychain.h"
#include "foundation/CBMimeTypes.h"
#include "foundation/CBString.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/accounts/CBParsedFeedInfo.h"
#include "store/entities/CBFeed.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QSet>
#include <QtNetwork/QAuthenticator>

#include <exception>

const QString ZPHRefreshFeedOperationErrorDomain =
    QStringLiteral("com.fernhollow.zephlin.errorDomains.refreshFeedOperation");
const QString ZPHRefreshFeedOperationFeedDisplayNameTextPlaceholder = QStringLiteral("#{FEED_DISPLAY_NAME}");
const QString ZPHFeedRefreshChallengeReceivedNotification =
    QStringLiteral("ZPHRefreshFeedChallengeReceivedNotification");
const QString ZPHFeedRefreshChallengeCredentialsReadyNotification =
    QStringLiteral("ZPHRefreshFeedChallengeCredentialsReadyNotification");
const QString ZPHFeedRefreshArticleSavingCompleteNotification =
    QStringLiteral("ZPHFeedRefreshArticleSavingCompleteNotification");
const QString ZPHAuthenticationConnectionKey = QStringLiteral("connection");
const QString ZPHAuthenticationUsernameKey = QStringLiteral("username");
const QString ZPHAuthenticationPasswordKey = QStringLiteral("password");
const QString ZPHAuthenticationUserCancelKey = QStringLiteral("userCancel");
const QString ZPHFeedRefreshChallengeTokenKey = QStringLiteral("ZPHFeedRefreshChallengeToken");

namespace {

QString withFeedName(const QString& text) { return text.arg(ZPHRefreshFeedOperationFeedDisplayNameTextPlaceholder); }

bool isSameOrigin(const QUrl& a, const QUrl& b)
{
  return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
         a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(-1) == b.port(-1);
}

// Stores what the next refresh compares against: the body's hash and the
// response's conditional-GET values.
void storeResponseValues(const std::shared_ptr<CBLocalAccountFeedMetadataCache>& cache, const QUrl& feedURL,
                         const QVariantMap& headerFields, const QByteArray& bodyHash)
{
  cache->setResponseValues(bodyHash, CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse(headerFields),
                           feedURL);
}

// A URL from one element of the "urls" payload (URL or string).
QUrl urlFromVariant(const QVariant& value)
{
  if (value.metaType() == QMetaType::fromType<QUrl>())
    return value.toUrl();
  return QUrl(value.toString());
}

QUrl deletionKey(const QUrl& url) { return url.adjusted(QUrl::NormalizePathSegments); }

// The living refresh operations, and the one observer of
// ZPHFeedsWillDeleteNotification that cancels those of the deleted feeds
// (one observer for all, rather than one per operation that every
// notification would have to pass). Operations come and go by the
// thousand during a refresh and feeds are deleted rarely, so the addresses
// are compared only when feeds are deleted. An operation leaves before it is
// destroyed; the lock keeps a notification from reaching one that is going.
class FeedDeletionWatch {
public:
  static FeedDeletionWatch& shared()
  {
    static FeedDeletionWatch* watch = new FeedDeletionWatch;  // lives for the process, as its observer
    return *watch;
  }

  void add(ZPHRefreshFeedOperation* operation)
  {
    QMutexLocker locker(&m_mutex);
    m_operations.insert(operation);
  }

  void remove(ZPHRefreshFeedOperation* operation)
  {
    QMutexLocker locker(&m_mutex);
    m_operations.remove(operation);
  }

private:
  FeedDeletionWatch()
  {
    m_observer = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHFeedsWillDeleteNotification, QVariant(),
        [this](const ZPHNotification& notification) { feedsWillDelete(notification); });
  }

  void feedsWillDelete(const ZPHNotification& notification)
  {
    QSet<QUrl> deleted;
    for (const QVariant& value : notification.userInfo.value(ZPHURLsKey).toList())
      deleted.insert(deletionKey(urlFromVariant(value)));
    if (deleted.isEmpty())
      return;
    QMutexLocker locker(&m_mutex);
    for (ZPHRefreshFeedOperation* operation : std::as_const(m_operations)) {
      if (deleted.contains(deletionKey(operation->feedURL())))
        operation->cancel();
    }
  }

  QMutex m_mutex;
  QSet<ZPHRefreshFeedOperation*> m_operations;
  ZPHObserverToken m_observer;
};

}  // namespace

ZPHRefreshFeedOperation::ZPHRefreshFeedOperation(const QUrl& feedURL)
    : CBDownloadOperation(feedURL, nullptr, {}, false), m_feedURL(feedURL)
{
  setOperationObject(feedURL);
  setOperationType(OperationType);
  setOverallTimeoutMs(FeedOverallTimeoutMs);
  FeedDeletionWatch::shared().add(this);
}

ZPHRefreshFeedOperation::~ZPHRefreshFeedOperation() { FeedDeletionWatch::shared().remove(this); }

ZPHError ZPHRefreshFeedOperation::refreshError() const
{
  QMutexLocker locker(&m_mutex);
  return m_refreshError;
}

std::shared_ptr<CBLocalAccountFeedMetadataCache> ZPHRefreshFeedOperation::feedMetadataCache()
{
  QMutexLocker locker(&m_mutex);
  if (!m_metadataCache)
    m_metadataCache = CBLocalAccountFeedMetadataCache::sharedCache();
  return m_metadataCache;
}

void ZPHRefreshFeedOperation::cancel()
{
  CBDownloadOperation::cancel();
  std::shared_ptr<ZPHArticleSaverBacklog> backlog;
  {
    QMutexLocker locker(&m_mutex);
    backlog = m_saverBacklog;
  }
  if (backlog)
    backlog->wakeWaiters();
}

std::shared_ptr<ZPHArticleSaverBacklog> ZPHRefreshFeedOperation::saverBacklog()
{
  QMutexLocker locker(&m_mutex);
  if (!m_saverBacklog)
    m_saverBacklog = ZPHArticleSaverBacklog::sharedBacklog();
  return m_saverBacklog;
}

// --- Errors

ZPHError ZPHRefreshFeedOperation::refreshErrorWithCode(qint64 code, const ZPHError& underlyingError)
{
  QString description = QStringLiteral("Not Found");
  QString suggestion;
  QStringList options;
  switch (code) {
    case ZPHRefreshFeedOperationErrorUnknown:
      description = QStringLiteral("Unkown Error");
      suggestion = withFeedName(QStringLiteral("Sorry, something went wrong refreshing “%1”. Software is hard."));
      break;
    case ZPHRefreshFeedOperationErrorParse:
      description = withFeedName(QStringLiteral("Problem refreshing “%1”"));
      suggestion = withFeedName(QStringLiteral("“%1” has a few problems. Zephlin may not display all its articles."));
      break;
    case ZPHRefreshFeedOperationErrorNotAFeed:
      description = withFeedName(QStringLiteral("Problem refreshing “%1”"));
      suggestion = QStringLiteral("This site isn’t set up in a way that Zephlin understands.");
      break;
    case ZPHRefreshFeedOperationErrorNotConnected:
      description = QStringLiteral("Connection Error");
      suggestion = QStringLiteral("Zephlin isn't connected to the internet. Check your connection and try again.");
      break;
    case ZPHRefreshFeedOperationErrorPageNotFound:
      suggestion = withFeedName(QStringLiteral(
          "“%1” has removed or changed the address Zephlin was looking for. Select “Attempt to Fix” to have Zephlin "
          "try to sort this out automatically."));
      options = {QStringLiteral("OK"), QStringLiteral("Attempt to Fix")};
      break;
    case ZPHRefreshFeedOperationErrorGone:
      suggestion = withFeedName(QStringLiteral(
          "“%1” has removed the address Zephlin was looking for. The site can no longer be updated. You can check "
          "the website to see if something changed."));
      options = {QStringLiteral("OK"), QStringLiteral("Open Site in Browser")};
      break;
    case ZPHRefreshFeedOperationErrorCannotConnect:
    case ZPHRefreshFeedOperationErrorNotResponding:
      suggestion = withFeedName(
          QStringLiteral("“%1” isn’t responding. It may be temporarily down. Give it some time and try again."));
      break;
    case ZPHRefreshFeedOperationErrorLoginRejected:
      description = QStringLiteral("Login Error");
      suggestion = withFeedName(
          QStringLiteral("“%1” rejected your login attempt. Select “Log In” to re-enter your credentials."));
      options = {QStringLiteral("OK"), QStringLiteral("Log In")};
      break;
    case ZPHRefreshFeedOperationErrorLoginRequired:
      description = QStringLiteral("Login Error");
      suggestion = withFeedName(
          QStringLiteral("“%1” requires a username and password. Select “Log In” to enter your credentials."));
      options = {QStringLiteral("OK"), QStringLiteral("Log In")};
      break;
    default:
      break;
  }
  QVariantMap userInfo{{ZPHLocalizedDescriptionKey, description}, {ZPHLocalizedRecoverySuggestionKey, suggestion}};
  if (!options.isEmpty())
    userInfo.insert(ZPHLocalizedRecoveryOptionsKey, options);
  if (!underlyingError.isNull())
    userInfo.insert(ZPHUnderlyingErrorKey, QVariant::fromValue(underlyingError));
  return ZPHError(ZPHRefreshFeedOperationErrorDomain, code, userInfo);
}

ZPHError ZPHRefreshFeedOperation::appropriateAuthenticationErrorWithUnderlyingError(
    const ZPHError& underlyingError) const
{
  return refreshErrorWithCode(m_userDidCancelAuthentication.load() ? ZPHRefreshFeedOperationErrorLoginRequired
                                                                   : ZPHRefreshFeedOperationErrorLoginRejected,
                              underlyingError);
}

ZPHError ZPHRefreshFeedOperation::userFriendlyErrorForDownloadError(const ZPHError& downloadError) const
{
  if (downloadError.domain() == ZPHURLErrorDomain) {
    switch (downloadError.code()) {
      case ZPHURLErrorCannotConnectToHost:
      case ZPHURLErrorCannotFindHost:
        return refreshErrorWithCode(ZPHRefreshFeedOperationErrorCannotConnect, downloadError);
      case ZPHURLErrorNotConnectedToInternet:
        return refreshErrorWithCode(ZPHRefreshFeedOperationErrorNotConnected, downloadError);
      case ZPHURLErrorUserCancelledAuthentication:
      case ZPHURLErrorUserAuthenticationRequired:
        return appropriateAuthenticationErrorWithUnderlyingError(downloadError);
      default:
        break;
    }
  }
  return refreshErrorWithCode(ZPHRefreshFeedOperationErrorNotResponding, downloadError);
}

// --- Request and download

void ZPHRefreshFeedOperation::createRequest()
{
  if (std::shared_ptr<CBLocalAccountFeedMetadataCache> cache = feedMetadataCache()) {
    m_sentConditionalGetInfo = cache->conditionalGetInfoForFeedURL(m_feedURL);
    if (const std::optional<CBHTTPConditionalGetInfo>& info = m_sentConditionalGetInfo) {
      // A value the last response lacked is stored empty and not sent.
      if (!info->httpResponseEtag().isEmpty())
        setExtraRequestHeader(CBHTTPRequestHeaderIfNoneMatch, info->httpResponseEtag());
      if (!info->httpResponseLastModified().isEmpty())
        setExtraRequestHeader(CBHTTPRequestHeaderIfModifiedSince, info->httpResponseLastModified());
    }
  }
  CBDownloadOperation::createRequest();
}

bool ZPHRefreshFeedOperation::applyOutcomeAfterSavedArticles(std::function<void()> outcome)
{
  std::shared_ptr<OutcomeHandOff> handOff;
  {
    QMutexLocker locker(&m_mutex);
    handOff = m_outcomeHandOff;
  }
  if (!handOff)
    return false;
  QMutexLocker locker(&handOff->mutex);
  if (handOff->saverDone)
    return false;
  handOff->outcome = std::move(outcome);
  return true;
}

quint64 ZPHRefreshFeedOperation::nextStoreHandOverMark()
{
  static std::atomic<quint64> mark{0};
  return ++mark;
}

void ZPHRefreshFeedOperation::download()
{
  m_storeHandOverMark = nextStoreHandOverMark();
  if (!isCancelled())
    CBDownloadOperation::download();

  ZPHError refreshError;
  const ZPHError downloadError = error();
  if (!downloadError.isNull())
    refreshError = userFriendlyErrorForDownloadError(downloadError);

  const int status = statusCode();
  // A 200 whose transfer failed has a partial body at best: the network
  // error stands, and nothing of the body is parsed or remembered.
  const bool transferFailed = !downloadError.isNull();
  if ((status == 200 || status == 304) && !isCancelled() && !transferFailed) {
    QString what;
    try {
      ZPHError processingError;
      processFeedDownloadCompleteWithError(&processingError);
      if (!processingError.isNull())
        refreshError = processingError;
    } catch (const std::exception& exception) {
      what = QString::fromLocal8Bit(exception.what());
    } catch (...) {
      what = QStringLiteral("unknown exception");
    }
    if (!what.isNull()) {
      qCCritical(zphFeeds).noquote()
          << QStringLiteral("Exception during feed processing for URL %1: %2!").arg(m_feedURL.toDisplayString(), what);
      refreshError = refreshErrorWithCode(ZPHRefreshFeedOperationErrorUnknown);
    }
  } else if (status == 404) {
    refreshError = refreshErrorWithCode(ZPHRefreshFeedOperationErrorPageNotFound);
  } else if (status == 401) {
    if (refreshError.isNull())
      refreshError = appropriateAuthenticationErrorWithUnderlyingError({});
  } else if (status == 410) {
    refreshError = refreshErrorWithCode(ZPHRefreshFeedOperationErrorGone);
  } else if (status != 200 && status != 304) {
    if (refreshError.isNull())
      refreshError = refreshErrorWithCode(ZPHRefreshFeedOperationErrorNotResponding);
  } else if (refreshError.isNull()) {
    // 200 or 304 after a cancellation.
    refreshError = refreshErrorWithCode(ZPHRefreshFeedOperationErrorNotResponding);
  }
  if (transferFailed)
    setResponseBody({});
  {
    QMutexLocker locker(&m_mutex);
    m_refreshError = refreshError;
    m_currentAuthenticationChallenge.reset();
    m_pendingAnswer.reset();
  }
  m_didTryUsernameAndPassword = false;
  m_userDidCancelAuthentication = false;
  m_didAskKeychain = false;
  m_userAnswerReady = false;
  m_saverSlot.reset();
  m_responseBodyHash.clear();
  m_sentConditionalGetInfo.reset();
}

// --- Processing

bool ZPHRefreshFeedOperation::processFeedDownloadCompleteWithError(ZPHError* error)
{
  if (statusCode() == 200)
    return handle200WithError(error);
  if (statusCode() == 304)
    return handle304WithError(error);
  return false;
}

bool ZPHRefreshFeedOperation::handle200WithError(ZPHError* error)
{
  const QByteArray body = responseBody();
  if (body.isEmpty())
    return processNotModifiedFeedWithError(error);
  if (CBFeedTypeForData(body) == CBFeedTypeNotAFeed) {
    processNotAFeedWithError(error);
    return true;
  }
  const QByteArray digest = cb_md5Hash(body);
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache = feedMetadataCache();
  const QByteArray storedHash = cache ? cache->contentHashForFeedURL(m_feedURL) : QByteArray();
  m_feedWasSavedBefore = !storedHash.isEmpty();
  if (!storedHash.isEmpty() && storedHash == digest) {
    // The same body under new validators: the next request sends them, so
    // the server can answer 304 again.
    const std::optional<CBHTTPConditionalGetInfo> received =
        CBHTTPConditionalGetInfo::conditionalGetInfoWithURLResponse(urlResponse().headerFields);
    // Values never stored and values stored empty both send nothing (a null
    // and an empty text compare equal).
    const auto values = [](const std::optional<CBHTTPConditionalGetInfo>& info) {
      return info ? std::make_pair(info->httpResponseEtag(), info->httpResponseLastModified())
                  : std::make_pair(QString(), QString());
    };
    if (values(received) != values(m_sentConditionalGetInfo))
      asynchronouslyUpdateFeedMetadataCacheWithResponseBodyHash(digest);
    return processNotModifiedFeedWithError(error);
  }

  // Room behind the saver first: parsed feeds must not pile up in memory.
  m_saverSlot = ZPHArticleSaverBacklog::acquire(saverBacklog(), [this] { return isCancelled(); });
  if (!m_saverSlot) {
    // Cancelled while waiting: nothing parsed, nothing stored.
    setResponseBody({});
    if (error != nullptr)
      *error = refreshErrorWithCode(ZPHRefreshFeedOperationErrorNotResponding);
    return true;
  }
  m_responseBodyHash = digest;
  m_didQueueSaver = false;
  m_couldNotQueueSaver = false;
  parseAndProcessFeedArticlesWithError(error);
  // Handed to the saver, or given back now.
  m_saverSlot.reset();
  // With articles to save, the saver's end stores the values; without any
  // there is nothing to wait for. Also after a parse error, so the same
  // broken body is not parsed again. Articles no saver took were not saved.
  if (!m_didQueueSaver && !m_couldNotQueueSaver)
    asynchronouslyUpdateFeedMetadataCacheWithResponseBodyHash(digest);
  return true;
}

bool ZPHRefreshFeedOperation::handle304WithError(ZPHError* error) { return processNotModifiedFeedWithError(error); }

bool ZPHRefreshFeedOperation::processNotModifiedFeedWithError(ZPHError* error)
{
  Q_UNUSED(error);
  setResponseBody({});
  return true;
}

bool ZPHRefreshFeedOperation::processNotAFeedWithError(ZPHError* error)
{
  setResponseBody({});
  if (error != nullptr)
    *error = refreshErrorWithCode(ZPHRefreshFeedOperationErrorNotAFeed);
  return false;
}

bool ZPHRefreshFeedOperation::parseAndProcessFeedArticlesWithError(ZPHError* error)
{
  bool result = true;
  m_handedToMainThread = true;  // its information and its articles' end
  m_parser = std::make_unique<CBFeedParserProxy>();
  const QByteArray body = responseBody();
  const QByteArray digest = m_responseBodyHash.isEmpty() ? cb_md5Hash(body) : m_responseBodyHash;
  ZPHError parseError;
  const bool isFeed = m_parser->parseData(body, &parseError);
  if (!parseError.isNull()) {
    qCCritical(zphFeeds).noquote()
        << QStringLiteral("Parse error %1 for URL %2").arg(parseError.toString(), m_feedURL.toDisplayString());
    if (error != nullptr)
      *error = refreshErrorWithCode(ZPHRefreshFeedOperationErrorParse, parseError);
    result = false;
  } else if (!isFeed) {
    if (error != nullptr)
      *error = refreshErrorWithCode(ZPHRefreshFeedOperationErrorNotAFeed);
    result = false;
  }

  const QList<std::shared_ptr<CBParsedNewsItem>> items = m_parser->newsItems();
  if (!items.isEmpty() && !asynchronouslySaveArticles(items, !parseError.isNull(), digest))
    m_couldNotQueueSaver = true;

  const QString homePage = m_parser->feedHomePageURL();
  const QString title = m_parser->feedTitle();
  if (!homePage.isEmpty() || !title.isEmpty()) {
    auto info = std::make_shared<CBParsedFeedInfo>();
    info->setFeedURLString(m_feedURL.toString(QUrl::FullyEncoded));
    info->setHomePageURLString(homePage);
    info->setTitle(title);
    info->sendDidParseFeedInfoNotification();
  }

  setResponseBody({});
  m_parser.reset();
  return result;
}

bool ZPHRefreshFeedOperation::asynchronouslySaveArticles(const QList<std::shared_ptr<CBParsedNewsItem>>& items,
                                                         bool parserReportedError, const QByteArray& bodyHash)
{
  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  if (delegate == nullptr) {
    qCWarning(zphFeeds) << "No application delegate to queue the articles of" << m_feedURL;
    return false;
  }
  auto saver = std::make_shared<ZPHCoreDataArticleSaverOperation>(items, m_feedURL);
  // Items after an XML break are missing, not gone.
  saver->setSkipsMarkingMissingItemsAsDeleted(parserReportedError);
  // The items' text is worked out here, beside the other refreshes, not on
  // the store queue. A feed saved before (it has a stored body hash) finds
  // most of its items stored as they are.
  saver->prepareItemsOnThisThread(m_feedWasSavedBefore);

  std::weak_ptr<ZPHCoreDataArticleSaverOperation> weakSaver = saver;
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache = feedMetadataCache();
  const QUrl feedURL = m_feedURL;
  const QVariantMap headerFields = urlResponse().headerFields;
  // The slot goes back when the saver has run, or with the saver when the
  // store queue drops it.
  const std::shared_ptr<ZPHArticleSaverBacklog::Slot> slot = m_saverSlot;
  auto handOff = std::make_shared<OutcomeHandOff>();
  saver->setCompletionBlock([weakSaver, cache, feedURL, headerFields, bodyHash, slot, handOff] {
    if (slot)
      slot->release();
    const std::shared_ptr<ZPHCoreDataArticleSaverOperation> finished = weakSaver.lock();
    const bool saved = finished && finished->didSaveUncancelled();
    // An outcome handed over until now goes with this visit to the main
    // thread; a later one finds the saver done.
    std::function<void()> outcome;
    {
      QMutexLocker locker(&handOff->mutex);
      handOff->saverDone = true;
      outcome = std::move(handOff->outcome);
    }
    ZPHMainThread::async([saved, cache, feedURL, headerFields, bodyHash, outcome] {
      if (saved && cache)
        storeResponseValues(cache, feedURL, headerFields, bodyHash);
      if (CBFeed* feed = CBFeed::feedWithURL(feedURL.toString(QUrl::FullyEncoded)))
        ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshArticleSavingCompleteNotification,
                                                    QVariant::fromValue(static_cast<ZPHManagedObject*>(feed)));
      if (outcome)
        outcome();
    });
  });
  {
    QMutexLocker locker(&m_mutex);
    m_outcomeHandOff = handOff;
  }
  m_didQueueSaver = true;
  delegate->addCoreDataQueueOperation(saver);
  m_storeHandOverMark = nextStoreHandOverMark();
  return true;
}

void ZPHRefreshFeedOperation::asynchronouslyUpdateFeedMetadataCacheWithResponseBodyHash(const QByteArray& bodyHash)
{
  std::shared_ptr<CBLocalAccountFeedMetadataCache> cache = feedMetadataCache();
  if (!cache)
    return;
  const QUrl feedURL = m_feedURL;
  const QVariantMap headerFields = urlResponse().headerFields;
  m_handedToMainThread = true;
  ZPHMainThread::async(
      [cache, feedURL, headerFields, bodyHash] { storeResponseValues(cache, feedURL, headerFields, bodyHash); });
}

// --- Authentication

CBDownloadOperation::ChallengeResponse ZPHRefreshFeedOperation::didReceiveAuthenticationChallenge(
    const QUrl& challengeURL, QAuthenticator* authenticator, int previousFailureCount)
{
  if (isCancelled())
    return ChallengeResponse::Decline;
  {
    QMutexLocker locker(&m_mutex);
    m_currentAuthenticationChallenge = challengeURL;
  }
  if (m_userAnswerReady) {
    m_userAnswerReady = false;
    return authenticateChallenge(challengeURL, authenticator, previousFailureCount) ? ChallengeResponse::Answer
                                                                                    : ChallengeResponse::Decline;
  }
  // The keychain and the user answer later, without holding the network.
  if (m_didTryUsernameAndPassword.load() || password().isEmpty())
    return ChallengeResponse::Defer;
  return authenticateChallenge(challengeURL, authenticator, previousFailureCount) ? ChallengeResponse::Answer
                                                                                  : ChallengeResponse::Decline;
}

bool ZPHRefreshFeedOperation::resolveDeferredChallenge()
{
  if (isCancelled())
    return false;
  // A user name without a password: the keychain's password, before asking.
  if (!m_didTryUsernameAndPassword.load() && !m_didAskKeychain && !username().isEmpty() && password().isEmpty()) {
    m_didAskKeychain = true;
    setPassword(CBKeychainFetchInternetPassword(m_feedURL, username()));
    if (!password().isEmpty())
      return true;
  }
  const std::optional<CredentialsAnswer> answer = askUserForCredentials();
  {
    QMutexLocker locker(&m_mutex);
    m_currentAuthenticationChallenge.reset();
  }
  if (!answer || answer->userCancel || isCancelled())
    return false;  // the server's refusal stands
  setUsername(answer->username);
  setPassword(answer->password);
  if (username().isEmpty() || password().isEmpty())
    return false;
  m_userAnswerReady = true;
  return true;
}

bool ZPHRefreshFeedOperation::authenticateChallenge(const QUrl& challengeURL, QAuthenticator* authenticator,
                                                    int previousFailureCount)
{
  // Credentials go only to the feed's own scheme, host and port.
  if (username().isEmpty() || password().isEmpty() || previousFailureCount >= ZPHAuthenticationMaxTries ||
      !isSameOrigin(challengeURL, m_feedURL))
    return false;
  m_didTryUsernameAndPassword = true;
  // The authenticator gives up on an answer that repeats the failed one
  // unchanged; clearing the user first makes a repeat a new answer.
  authenticator->setUser(QString());
  authenticator->setUser(username());
  authenticator->setPassword(password());
  return true;
}

std::optional<ZPHRefreshFeedOperation::CredentialsAnswer> ZPHRefreshFeedOperation::askUserForCredentials()
{
  const QUrl requestURL = urlRequest().url().isEmpty() ? m_feedURL : urlRequest().url();
  // Other questions about the same address (another refresh of it, the
  // login recovery, an earlier question of this one) get answers too: only
  // the one carrying this question's token counts.
  const QString token = cb_uuidString();
  QVariantMap userInfo{{CBURLKey, requestURL}, {ZPHFeedRefreshChallengeTokenKey, token}};
  userInfo.insert(ZPHAuthenticationConnectionKey,
                  QVariant::fromValue(std::static_pointer_cast<CBOperation>(shared_from_this())));
  if (!username().isEmpty())
    userInfo.insert(ZPHAuthenticationUsernameKey, username());
  if (!password().isEmpty())
    userInfo.insert(ZPHAuthenticationPasswordKey, password());
  {
    QMutexLocker locker(&m_mutex);
    m_pendingAnswer.reset();
  }

  std::weak_ptr<ZPHOperation> weakSelf = shared_from_this();
  m_handedToMainThread = true;
  ZPHMainThread::async([weakSelf, requestURL, userInfo, token] {
    std::shared_ptr<ZPHOperation> strong = weakSelf.lock();
    // A refresh cancelled meanwhile asks nobody.
    if (!strong || strong->isCancelled() || strong->isFinished())
      return;
    auto* self = static_cast<ZPHRefreshFeedOperation*>(strong.get());
    self->m_credentialsReadyObserver = ZPHNotificationCenter::defaultCenter().addObserver(
        ZPHFeedRefreshChallengeCredentialsReadyNotification, requestURL,
        [weakSelf, token](const ZPHNotification& answer) {
          if (answer.userInfo.value(ZPHFeedRefreshChallengeTokenKey).toString() != token)
            return;
          if (std::shared_ptr<ZPHOperation> operation = weakSelf.lock())
            static_cast<ZPHRefreshFeedOperation*>(operation.get())->challengeCredentialsReadyOnMainThread(answer);
        });
    ZPHNotificationCenter::defaultCenter().post(ZPHFeedRefreshChallengeReceivedNotification, requestURL, userInfo);
  });

  // Waits for the answer, for a while; the refused request has ended, so no
  // connection is held meanwhile.
  std::optional<CredentialsAnswer> answer;
  ZPHMainThread::processEventsUntil(
      [&] {
        if (isCancelled())
          return true;
        QMutexLocker locker(&m_mutex);
        answer = m_pendingAnswer;
        return answer.has_value();
      },
      QDeadlineTimer(std::max(m_loginWaitTimeoutMs, 0)));
  {
    QMutexLocker locker(&m_mutex);
    m_pendingAnswer.reset();
  }
  if (!answer) {
    // No answer in time, or cancelled: the request stops waiting for one.
    std::weak_ptr<ZPHOperation> weak = shared_from_this();
    ZPHMainThread::async([weak] {
      if (std::shared_ptr<ZPHOperation> operation = weak.lock())
        static_cast<ZPHRefreshFeedOperation*>(operation.get())->m_credentialsReadyObserver.reset();
    });
  }
  if (isCancelled())
    return std::nullopt;
  if (!answer) {
    qCInfo(zphFeeds) << "No login answer in time for" << m_feedURL;
    m_userDidCancelAuthentication = true;
    CredentialsAnswer unanswered;
    unanswered.userCancel = true;
    return unanswered;
  }
  return answer;
}

void ZPHRefreshFeedOperation::challengeCredentialsReadyOnMainThread(const ZPHNotification& notification)
{
  ZPH_ASSERT_MAIN_THREAD();
  CredentialsAnswer answer;
  answer.username = notification.userInfo.value(ZPHAuthenticationUsernameKey).toString();
  answer.password = notification.userInfo.value(ZPHAuthenticationPasswordKey).toString();
  answer.userCancel = notification.userInfo.value(ZPHAuthenticationUserCancelKey).toBool();
  m_credentialsReadyObserver.reset();
  if (answer.userCancel)
    m_userDidCancelAuthentication = true;
  QMutexLocker locker(&m_mutex);
  m_pendingAnswer = answer;
  m_currentAuthenticationChallenge.reset();
}
