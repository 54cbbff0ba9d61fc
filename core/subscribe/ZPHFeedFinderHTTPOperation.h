#pragma once

#include "platform/ZPHNotificationCenter.h"
#include "subscribe/ESHTTPOperation.h"
#include "subscribe/ZPHCredentialsResult.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtNetwork/QSslCertificate>

// The questions the feed finder puts to the application, and their answers.
//
// Every question carries a token of its own, as the notification's object
// and in its user info under ZPHFeedFinderAuthenticationTokenKey; an answer
// counts only when its user info carries the same token, and only the
// operation that asked acts on it. So a password typed for one request can
// never reach another, and two searches waiting at once each get their own
// question. An operation whose question goes unanswered gives up after its
// question time-out (cancelled login, refused certificate).
//
// Questions are posted on the main thread; answers are expected there too
// (postBasicAuthAnswer() and postSelfSignedCertAnswer() post them).
//
// Login: user info "url" (the address that asked, QUrl) and the token. The
// answer's object is a ZPHCredentialsResult.
extern const QString
    ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification;  // "ZPHFeedFinderShouldAuthenticateHTTPBasicAuthNotification"
extern const QString
    ZPHFeedFinderDidAuthenticateHTTPBasicAuthNotification;  // "ZPHFeedFinderDidAuthenticateHTTPBasicAuthNotification"
// Certificate: user info "url" (the address whose server showed it), the
// token, ZPHFeedFinderSelfSignedCertSummaryKey (the subject's summary, a
// QString) and ZPHFeedFinderSelfSignedCertificateKey (the QSslCertificate,
// e.g. for QSslCertificate::toText()). The answer's object is a bool, true
// to trust. Only a self-signed certificate that is otherwise valid for the
// host is ever asked about.
extern const QString
    ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification;  // "ZPHFeedFinderShouldAuthenticateSelfSignedCertNotification"
extern const QString
    ZPHFeedFinderDidAuthenticateSelfSignedCertNotification;  // "ZPHFeedFinderDidAuthenticateSelfSignedCertNotification"
extern const QString ZPHFeedFinderSelfSignedCertSummaryKey;  // "ZPHFeedFinderSelfSignedCertSummaryKey"
extern const QString ZPHFeedFinderSelfSignedCertificateKey;  // "ZPHFeedFinderSelfSignedCertificate"
extern const QString ZPHFeedFinderAuthenticationTokenKey;    // "ZPHFeedFinderAuthenticationToken"

// The download the feed finder runs for every address: an ESHTTPOperation
// that remembers the last permanent address after 301 redirects, stops
// redirect loops, and answers a login challenge or an untrusted self-signed
// certificate by asking the application (see above), then goes on with the
// answer: the request is sent again with the credentials, or to the server
// whose certificate the user now trusts (ZPHServerTrustStore remembers it,
// so later refreshes reach that server too).
//
// Credentials, entered or given, go only to the scheme, host and port they
// are for.
class ZPHFeedFinderHTTPOperation : public ESHTTPOperation {
public:
  static constexpr int DefaultQuestionTimeoutMs = 5 * 60 * 1000;

  ZPHFeedFinderHTTPOperation(const QNetworkRequest& request, WorkBlock work = {}, CompletionBlock completion = {});
  ~ZPHFeedFinderHTTPOperation() override;

  // Before queuing. The network workers keep no response cache, so no
  // response is ever cached, whatever this says; the finder turns it off.
  bool allowCachingResponses() const { return m_allowCachingResponses; }
  void setAllowCachingResponses(bool allow) { m_allowCachingResponses = allow; }
  // Whether the user may be asked (a login or a certificate); without
  // asking, a login challenge ends in NSURLErrorDomain -1013 and an
  // untrusted certificate in the connection's error.
  bool allowPromptForUserCredentials() const { return m_allowPromptForUserCredentials; }
  void setAllowPromptForUserCredentials(bool allow) { m_allowPromptForUserCredentials = allow; }
  int questionTimeoutMs() const { return m_questionTimeoutMs; }
  void setQuestionTimeoutMs(int ms) { m_questionTimeoutMs = ms; }
  // Credentials known beforehand for the server of `url` (scheme, host and
  // port), tried before the user is asked.
  void setCredentials(const QString& username, const QString& password, const QUrl& url);

  // Results.
  qint8 httpAuthTries() const { return m_httpAuthTries.load(); }
  // The request's address, replaced by the target of every 301 redirect.
  QUrl lastPermanentURL() const;
  // The address the body was served from, after every redirect.
  QUrl finalURL() const;
  // The cleaned targets of the redirects followed.
  QSet<QUrl> urlsRead() const;
  // The credentials last entered or given, and the server they are for;
  // usedCredentials() tells whether the body was reached with them.
  QString username() const;
  QString password() const;
  QUrl credentialsURL() const;
  bool usedCredentials() const { return m_usedCredentials.load(); }
  // The token of the question waiting for an answer; null when none waits.
  QString pendingQuestionToken() const;

  // The application's answers (main thread).
  static void postBasicAuthAnswer(const QString& token, const ZPHCredentialsResult& result);
  static void postSelfSignedCertAnswer(const QString& token, bool trust);

protected:
  void operationDidStart() override;
  void operationWillFinish() override;
  void serviceRunLoop(int timeoutMs) override;
  std::optional<QNetworkRequest> willSendRequestForRedirect(const QNetworkRequest& request,
                                                            const ESHTTPResponse& redirectResponse) override;
  bool didReceiveAuthenticationChallenge(const QUrl& url, QAuthenticator* authenticator) override;
  bool usesPrivateConnectionForRequest(const QNetworkRequest& request) const override;
  bool exchangeDidEnd(const ESHTTPExchangeEnd& end) override;

private:
  enum class Question { None, Login, Certificate };

  bool credentialsAreFor(const QUrl& url) const;
  void ask(Question question, const QVariantMap& userInfo);
  void applyLoginAnswer(const QString& token, const ZPHCredentialsResult& result);
  void applyCertificateAnswer(const QString& token, bool trust);
  void endQuestion();

  bool m_allowCachingResponses = true;
  bool m_allowPromptForUserCredentials = true;
  int m_questionTimeoutMs = DefaultQuestionTimeoutMs;
  std::atomic<qint8> m_httpAuthTries{0};
  std::atomic<bool> m_usedCredentials{false};

  mutable QMutex m_findMutex;  // everything below that other threads read
  QUrl m_lastPermanentURL;
  QUrl m_finalURL;
  QSet<QUrl> m_urlsRead;
  QString m_username;
  QString m_password;
  QUrl m_credentialsURL;
  Question m_question = Question::None;
  QString m_questionToken;
  ZPHObserverToken m_answerObserver;

  // Run-loop thread only.
  QDeadlineTimer m_questionDeadline;
  QUrl m_questionURL;
  QSslCertificate m_questionCertificate;
  bool m_answeredChallengeInExchange = false;
  bool m_askedAboutCertificate = false;
};
