#pragma once

#include "feeds/network/CBDownloadOperation.h"
#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QWaitCondition>

#include <atomic>
#include <functional>
#include <optional>

class ZPHManagedObjectContext;

// One call to the sync server: an HTTP POST of a JSON object to
// "<server>/<apiCall>?tag=<n>" that gets a JSON object back, run on the
// download path (the shared network workers) from a thread of the sync
// manager's serial queue. Each kind of call is a subclass: it makes the body
// (makePostBody) and does its work with the reply (success).
//
// Sound by design:
// - the server address is the ZPHSyncServiceBaseURL setting; plain http is
//   refused for any server not on the loopback, and nothing is sent then;
// - the sync client's own cookie jar is sent and kept, nothing else's: the
//   "Cookie" header is made from the jar for each request, redirects
//   included, and the cookies a redirect answer sets are kept;
// - redirects are followed only within the server's scheme, host and port;
//   one elsewhere fails the call, and nothing goes to that address;
// - a login is answered from the stored credentials at most three times per
//   call; then, or without stored credentials, the application is asked
//   (ZPHSyncServiceLoginCredentialsRequired) and the call waits until it
//   answers (the application answers every question, a closed sheet as
//   cancelled) or the call is cancelled;
// - the call counts as done (succeeded()) only when the reply was 2xx, was a
//   JSON object and the subclass finished its work with it; a transport
//   error, another status or an unreadable reply leaves the store as it was;
// - store work runs on the serial store queue in temporary contexts;
// - neither credentials nor bodies are ever logged;
// - the operation always completes (CBOperationDidCompleteNotification),
//   also when its body could not be made.
class ZPHSyncServerNetworkOperation : public CBDownloadOperation {
public:
  static constexpr qint64 MaximumReplySize = 32 * 1024 * 1024;
  static constexpr int MaximumStoredCredentialAnswers = 3;

  ZPHSyncServerNetworkOperation();
  ~ZPHSyncServerNetworkOperation() override;

  // The call's name, the last part of its address; "" for the base.
  virtual QString apiCall() const;

  // The server's base address from the settings, checked: an http or https
  // address with a host and no user, query or fragment, trailing slashes
  // removed; https unless the host is on the loopback. Empty with the error
  // otherwise.
  static QUrl serverBaseURL(ZPHError* error = nullptr);
  // localhost, 127.0.0.0/8 or ::1.
  static bool isLoopbackHost(const QString& host);

  // The tag this call sent; -1 before its request was made.
  qint64 tag() const { return m_tag.load(); }

  // The reply parsed as JSON; a null document without a body or when it does
  // not parse (which is logged).
  QJsonDocument JSONResponse() const;

  // Whether the call did all it was for (see above).
  bool succeeded() const { return m_succeeded.load(); }
  // Why it did not: the transport's error, or the call's own
  // (ZPHSyncErrorDomain); null while it runs and after success.
  ZPHError syncError() const;

  // Also wakes a wait for the user's answer or for the store queue.
  void cancel() override;

  // Saves a context of the store queue through the application delegate;
  // false when the save failed (the context then still has its changes, and
  // nothing that depends on them may follow).
  static bool saveContext(ZPHManagedObjectContext* context);

protected:
  // Copies the credentials, checks the server, makes the body and the
  // address, then downloads; completion is always posted.
  void main() override;
  void download() override;
  void createRequest() override;

  // Makes the request body; false, with an error, when it cannot be made.
  // The base sends none.
  virtual bool makePostBody(QByteArray* body, ZPHError* error);
  // Called on the operation's thread when a reply has been read completely,
  // whatever its status. The base does nothing.
  virtual void success();
  // Whether a login question may go to the application; the account
  // creation call never asks.
  virtual bool asksForLogin() const { return true; }

  void didReceiveResponse(const CBURLResponse& response) override;
  void didFinishLoading() override;
  ChallengeResponse didReceiveAuthenticationChallenge(const QUrl& challengeURL, QAuthenticator* authenticator,
                                                      int previousFailureCount) override;
  bool resolveDeferredChallenge() override;

  // For subclasses.
  // The reply when its status is 2xx and it is a JSON object; otherwise the
  // call fails (ZPHSyncErrorBadStatus or ZPHSyncErrorBadReply) and nullopt.
  std::optional<QJsonObject> usableReply();
  void setSucceeded() { m_succeeded.store(true); }
  void failWithSyncError(qint64 code, const QString& description);
  // Runs `work` in a new temporary context on the serial store queue and
  // waits until it ran; false when it did not run (no store, the application
  // quits, or the call was cancelled before it started). Deletions made by
  // `work` are the sync client's own: they are not sent to the server.
  bool performOnStoreQueue(const std::function<void(ZPHManagedObjectContext* context)>& work);

  enum class WaitResult { Answered, Cancelled };
  // Waits until `answered()` (asked under answerMutex()) or the call is
  // cancelled; a question to the user has no time limit. wakeAnswerWaiters()
  // wakes the wait.
  WaitResult waitForAnswer(const std::function<bool()>& answered);
  QMutex* answerMutex() const { return &m_answerMutex; }
  void wakeAnswerWaiters();

  // The class name for log lines.
  QString logName() const;

private:
  // Reads the tag, advancing the stored one while fastUserSwitch is set.
  static qint64 nextTag();

  std::atomic<qint64> m_tag{-1};
  std::atomic<bool> m_succeeded{false};
  mutable QMutex m_errorMutex;
  ZPHError m_syncError;
  mutable QMutex m_answerMutex;
  QWaitCondition m_answerCondition;
  // Download thread only.
  int m_storedCredentialAnswers = 0;
  bool m_answerFromUser = false;
};
