#pragma once

#include "feeds/network/CBDownloadOperation.h"
#include "feeds/refresh/ZPHArticleSaverBacklog.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QByteArray>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CBFeedParserProxy;
class CBLocalAccountFeedMetadataCache;
class CBParsedNewsItem;

extern const QString ZPHRefreshFeedOperationErrorDomain;  // "com.fernhollow.zephlin.errorDomains.refreshFeedOperation"
// Stands for the feed's name in the error texts until the refresher fills it.
extern const QString ZPHRefreshFeedOperationFeedDisplayNameTextPlaceholder;  // "#{FEED_DISPLAY_NAME}"
constexpr qint64 ZPHAuthenticationMaxTries = 5;
// Indexes of "Log In", "Attempt to Fix" and "Open Site in Browser" among the
// recovery options of the login, not-found and gone errors.
constexpr int ZPHRefreshFeedOperationAuthenticationErrorRecoveryIndex = 1;
constexpr int ZPHRefreshFeedOperationPageNotFoundErrorRecoveryIndex = 1;
constexpr int ZPHRefreshFeedOperationGoneErrorRecoveryIndex = 1;

// Login dialogue with the application. The operation posts
// ZPHFeedRefreshChallengeReceivedNotification on the main thread, object the
// request's URL (QUrl), user info "connection" (the asking operation,
// std::shared_ptr<CBOperation>), "url", ZPHFeedRefreshChallengeTokenKey (a
// token of this question's own), and "username" and "password" when known.
// The application answers with
// ZPHFeedRefreshChallengeCredentialsReadyNotification, same URL as object,
// that user info plus "username", "password" and "userCancel" (bool); an
// answer without the question's token is not this question's, and is
// ignored.
extern const QString ZPHFeedRefreshChallengeReceivedNotification;  // "ZPHRefreshFeedChallengeReceivedNotification"
extern const QString
    ZPHFeedRefreshChallengeCredentialsReadyNotification;  // "ZPHRefreshFeedChallengeCredentialsReadyNotification"
// Posted on the main thread after a refresh's articles were handed to the
// store; object: the feed in the main context (ZPHManagedObject*).
extern const QString ZPHFeedRefreshArticleSavingCompleteNotification;  // same text
extern const QString ZPHAuthenticationConnectionKey;                   // "connection"
extern const QString ZPHAuthenticationUsernameKey;                     // "username"
extern const QString ZPHAuthenticationPasswordKey;                     // "password"
extern const QString ZPHAuthenticationUserCancelKey;                   // "userCancel"
extern const QString ZPHFeedRefreshChallengeTokenKey;                  // "ZPHFeedRefreshChallengeToken"

enum ZPHRefreshFeedOperationErrorCode : qint64 {
  ZPHRefreshFeedOperationErrorUnknown = 0,
  ZPHRefreshFeedOperationErrorParse = 1,
  ZPHRefreshFeedOperationErrorNotAFeed = 2,
  ZPHRefreshFeedOperationErrorNotConnected = 3,
  ZPHRefreshFeedOperationErrorPageNotFound = 4,
  ZPHRefreshFeedOperationErrorGone = 5,
  ZPHRefreshFeedOperationErrorCannotConnect = 6,
  ZPHRefreshFeedOperationErrorNotResponding = 7,
  ZPHRefreshFeedOperationErrorLoginRejected = 8,
  ZPHRefreshFeedOperationErrorLoginRequired = 9,
};

// Refreshes one feed of the local account: a conditional GET, a login
// dialogue when the server asks, the answer classified into success,
// unchanged or an error for the user (refreshError()), a content-hash test
// that skips a body seen before, parsing, and the items handed to the
// article saver on the store queue.
//
// The content hash and conditional-GET values of a parsed body are stored
// only once its articles were saved (or when it had none), so a dropped or
// cancelled save, or one that could not be queued, makes the next refresh
// download and parse again. A body whose transfer failed (cut off, timed
// out, too large) is neither parsed nor remembered: the refresh reports the
// network error. A body equal to the last one parses nothing but stores the
// response's new conditional-GET values. Empty stored values are never sent
// as conditional headers.
//
// A new body is parsed only once the article saver backlog has a free slot,
// so parsed feeds never pile up in memory behind the serial saver.
//
// The operation cancels itself when ZPHFeedsWillDeleteNotification names its
// feed: one shared observer finds the living operations by feed address.
//
// A challenge that needs the keychain or the user is deferred: the refused
// request ends, the password is looked up or the user asked without holding
// the network, and the request is sent again with the credentials.
class ZPHRefreshFeedOperation : public CBDownloadOperation {
public:
  // The operation type of feed refreshes.
  static constexpr qint64 OperationType = 1;
  // A feed's request ends within this time, whatever the server does.
  static constexpr int FeedOverallTimeoutMs = 3 * 60 * 1000;
  // How long the user has to answer a login request; then the refresh
  // ends as if the user had dismissed it.
  static constexpr int DefaultLoginWaitTimeoutMs = 5 * 60 * 1000;

  explicit ZPHRefreshFeedOperation(const QUrl& feedURL);
  ~ZPHRefreshFeedOperation() override;

  QUrl feedURL() const { return m_feedURL; }
  // Null when the refresh succeeded or nothing changed. Read it after the
  // operation finished.
  ZPHError refreshError() const;
  CBFeedParserProxy* parser() const { return m_parser.get(); }
  bool didTryUsernameAndPassword() const { return m_didTryUsernameAndPassword.load(); }
  bool userDidCancelAuthentication() const { return m_userDidCancelAuthentication.load(); }

  // The feed metadata database; the shared one unless set before queuing.
  void setFeedMetadataCache(std::shared_ptr<CBLocalAccountFeedMetadataCache> cache) { m_metadataCache = cache; }
  // The saver backlog; the shared one unless set before queuing.
  void setSaverBacklog(std::shared_ptr<ZPHArticleSaverBacklog> backlog) { m_saverBacklog = std::move(backlog); }
  int loginWaitTimeoutMs() const { return m_loginWaitTimeoutMs; }
  void setLoginWaitTimeoutMs(int ms) { m_loginWaitTimeoutMs = ms; }

  static ZPHError refreshErrorWithCode(qint64 code, const ZPHError& underlyingError = {});

  // Also ends a wait for room behind the article saver at once.
  void cancel() override;

  // Where the refresh stands in the order of hand-overs to the store queue:
  // a mark taken when it began and again after it queued its article saver.
  // A mark taken later with nextStoreHandOverMark() (by the refresher, when
  // it queues a store block) is greater, so that block runs after whatever
  // this refresh handed to the store.
  quint64 storeHandOverMark() const { return m_storeHandOverMark.load(); }
  static quint64 nextStoreHandOverMark();

  // After the refresh finished: has `outcome` run on the main thread right
  // after its article saver's end reached the main thread (after the saved
  // articles, in store-queue order) and answers true; false when the refresh
  // queued no saver or the saver has already ended.
  bool applyOutcomeAfterSavedArticles(std::function<void()> outcome);

protected:
  bool completionMayJoinOthers() const override { return !m_handedToMainThread.load(); }
  void createRequest() override;
  void download() override;
  ChallengeResponse didReceiveAuthenticationChallenge(const QUrl& challengeURL, QAuthenticator* authenticator,
                                                      int previousFailureCount) override;
  bool resolveDeferredChallenge() override;

private:
  ZPHError appropriateAuthenticationErrorWithUnderlyingError(const ZPHError& underlyingError) const;
  std::shared_ptr<CBLocalAccountFeedMetadataCache> feedMetadataCache();
  bool handle200WithError(ZPHError* error);
  bool handle304WithError(ZPHError* error);
  bool parseAndProcessFeedArticlesWithError(ZPHError* error);
  // Processing of a 200 or 304 answer; see the source.
  bool processFeedDownloadCompleteWithError(ZPHError* error);
  bool processNotAFeedWithError(ZPHError* error);
  bool processNotModifiedFeedWithError(ZPHError* error);
  std::shared_ptr<ZPHArticleSaverBacklog> saverBacklog();
  // The errors of the refresh.
  ZPHError userFriendlyErrorForDownloadError(const ZPHError& downloadError) const;

  struct CredentialsAnswer {
    QString username;
    QString password;
    bool userCancel = false;
  };

  // False when the saver could not be queued (no application delegate).
  bool asynchronouslySaveArticles(const QList<std::shared_ptr<CBParsedNewsItem>>& items, bool parserReportedError,
                                  const QByteArray& bodyHash);
  void asynchronouslyUpdateFeedMetadataCacheWithResponseBodyHash(const QByteArray& bodyHash);
  bool authenticateChallenge(const QUrl& challengeURL, QAuthenticator* authenticator, int previousFailureCount);
  // Asks the user through the application and waits; nullopt when cancelled.
  std::optional<CredentialsAnswer> askUserForCredentials();
  void challengeCredentialsReadyOnMainThread(const ZPHNotification& notification);

  const QUrl m_feedURL;
  mutable QMutex m_mutex;
  ZPHError m_refreshError;
  std::unique_ptr<CBFeedParserProxy> m_parser;
  std::shared_ptr<CBLocalAccountFeedMetadataCache> m_metadataCache;
  std::atomic<bool> m_didTryUsernameAndPassword{false};
  std::atomic<bool> m_userDidCancelAuthentication{false};
  std::shared_ptr<ZPHArticleSaverBacklog> m_saverBacklog;
  bool m_feedWasSavedBefore = false;  // its body hash was stored
  // The body's MD5 digest, computed once per body.
  QByteArray m_responseBodyHash;
  // The backlog slot of the body being parsed; handed to its saver.
  std::shared_ptr<ZPHArticleSaverBacklog::Slot> m_saverSlot;
  bool m_didQueueSaver = false;
  std::atomic<quint64> m_storeHandOverMark{0};
  // Between the refresh's end and its saver's end.
  struct OutcomeHandOff {
    QMutex mutex;
    bool saverDone = false;
    std::function<void()> outcome;
  };
  std::shared_ptr<OutcomeHandOff> m_outcomeHandOff;
  // Articles were parsed but no saver took them.
  bool m_couldNotQueueSaver = false;
  // The conditional-GET values the request was sent with.
  std::optional<CBHTTPConditionalGetInfo> m_sentConditionalGetInfo;
  int m_loginWaitTimeoutMs = DefaultLoginWaitTimeoutMs;
  // Download thread: the keychain was asked during this download, and the
  // user's credentials wait for the next challenge.
  bool m_didAskKeychain = false;
  bool m_userAnswerReady = false;
  // Something of this refresh went to the main thread (stored values, the
  // feed's information, a question): its completion must not overtake it.
  std::atomic<bool> m_handedToMainThread{false};

  // The challenge waiting for the user's answer (download thread), the
  // answer (set on the main thread) and the observation of it (main thread).
  std::optional<QUrl> m_currentAuthenticationChallenge;
  std::optional<CredentialsAnswer> m_pendingAnswer;
  ZPHObserverToken m_credentialsReadyObserver;
};
