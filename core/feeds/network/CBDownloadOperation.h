#pragma once

#include "feeds/network/CBHTTPConditionalGetInfo.h"
#include "feeds/network/ZPHNetworkAccessPool.h"
#include "platform/CBOperation.h"
#include "platform/ZPHError.h"

#include <QtCore/QByteArray>
#include <QtCore/QMap>
#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariantMap>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <atomic>
#include <functional>
#include <optional>

class QAuthenticator;
class QThread;

// Header and method names.
extern const QString CBHTTPRequestHeaderUserAgent;        // "User-Agent"
extern const QString CBHTTPRequestHeaderIfNoneMatch;      // "If-None-Match"
extern const QString CBHTTPRequestHeaderIfModifiedSince;  // "If-Modified-Since"
extern const QString CBHTTPMethodPost;                    // "POST"

// Transport failures of a download carry the URL-loading domain and its
// well-known codes, so callers classify them the same way whatever the
// HTTP client underneath.
extern const QString ZPHURLErrorDomain;    // "NSURLErrorDomain"
extern const QString ZPHPOSIXErrorDomain;  // "NSPOSIXErrorDomain"
enum ZPHURLErrorCode : qint64 {
  ZPHURLErrorUnknown = -1,
  ZPHURLErrorCancelled = -999,
  ZPHURLErrorBadURL = -1000,
  ZPHURLErrorTimedOut = -1001,
  ZPHURLErrorUnsupportedURL = -1002,
  ZPHURLErrorCannotFindHost = -1003,
  ZPHURLErrorCannotConnectToHost = -1004,
  ZPHURLErrorNetworkConnectionLost = -1005,
  ZPHURLErrorHTTPTooManyRedirects = -1007,
  ZPHURLErrorNotConnectedToInternet = -1009,
  ZPHURLErrorBadServerResponse = -1011,
  ZPHURLErrorUserCancelledAuthentication = -1012,
  ZPHURLErrorUserAuthenticationRequired = -1013,
  ZPHURLErrorCannotDecodeContentData = -1016,
  ZPHURLErrorFileDoesNotExist = -1100,
  ZPHURLErrorNoPermissionsToReadFile = -1102,
  ZPHURLErrorSecureConnectionFailed = -1200,
  ZPHURLErrorServerCertificateUntrusted = -1202,
};

// A transport failure as an error of that domain (null for no error); the
// download path and the subscribing HTTP operations classify alike.
ZPHError ZPHURLErrorForNetworkError(QNetworkReply::NetworkError code, const QString& description, bool sawTLSErrors);

// The download operation's own refusals.
extern const QString CBDownloadOperationErrorDomain;  // "com.fernhollow.zephlin.errorDomains.downloadOperation"
enum CBDownloadOperationErrorCode : qint64 {
  // The body grew past maximumBodySize().
  CBDownloadOperationErrorBodyTooLarge = 1,
  // The address (or a redirect's target) is not http or https, and the
  // caller did not allow other schemes.
  CBDownloadOperationErrorUnsupportedScheme = 2,
  // A redirect led to another scheme, host or port, and the download keeps
  // to its own (see followsRedirectsOnlyToOrigin()).
  CBDownloadOperationErrorRedirectToOtherOrigin = 3,
};

// A response as the download saw it. An answer from a non-HTTP scheme has
// isHTTP false and status code 0.
struct CBURLResponse {
  QUrl url;
  bool isHTTP = false;
  int statusCode = 0;
  QVariantMap headerFields;  // name as sent -> value (QString)
};

// One HTTP request as a CBOperation: it builds the request, has the shared
// network access pool run it, takes the connection's events (response, data,
// challenge, end) on the operation's own worker thread, collects the
// response, answers authentication challenges with the stored credentials,
// and offers tests that classify the outcome. It may answer from the web
// cache instead of the network, and store what it downloaded there.
//
// Sound by design:
// - only http and https are fetched unless setAllowsNonHTTPSchemes(true);
//   another scheme ends in CBDownloadOperationErrorUnsupportedScheme
//   without touching the network, the web cache or any file;
// - no cookie is sent or kept; gzip bodies are decoded;
// - a body past maximumBodySize() (64 MiB) fails the download;
// - a request that has not ended overallTimeoutMs() after it was sent fails
//   with ZPHURLErrorTimedOut, however steadily the server trickles;
// - TLS certificate errors fail the download, unless the certificate is a
//   self-signed one the user trusted for that very server
//   (ZPHServerTrustStore);
// - credentials answer challenges only from the original URL's scheme, host
//   and port, at most three times; a request that may send credentials (a
//   user name or password set, or an address holding them) runs on a
//   network manager of its own, so no other download ever reuses them;
// - a download that keeps to its server (followsRedirectsOnlyToOrigin()),
//   or whose headers carry credentials of their own ("Authorization",
//   "Proxy-Authorization", "Cookie"), follows redirects itself, only within
//   the original scheme, host and port and at most MaximumRedirects times,
//   each hop's request made anew by createRequest(); a redirect elsewhere
//   fails the download (CBDownloadOperationErrorRedirectToOtherOrigin)
//   without a request to it, so neither those headers nor the body ever
//   reach another server;
// - a cancelled download is never OK, and completion is always posted, also
//   after an exception.
//
// Set everything up before adding the operation to a queue; read the results
// after it finished. cancel() may be called from any thread.
class CBDownloadOperation : public CBOperation {
public:
  enum DownloadStatus : qint32 { NotStarted = 0, Downloading = 1, Finished = 2, Cancelled = 3 };

  static constexpr qint64 DefaultMaximumBodySize = 64 * 1024 * 1024;
  static constexpr int DefaultTimeoutIntervalMs = 60 * 1000;
  static constexpr int DefaultOverallTimeoutMs = 60 * 1000;
  static constexpr int DefaultRunLoopSliceMs = 10 * 1000;
  static constexpr int MaximumChallengeAnswers = 3;
  static constexpr int MaximumRedirects = 20;

  // What a challenge hook decided.
  enum class ChallengeResponse {
    Answer,   // the authenticator holds credentials
    Decline,  // no credentials: the server's refusal stands
    // Not now: the request ends with the refusal, then
    // resolveDeferredChallenge() runs on the operation's thread and may ask
    // for the request to be sent again.
    Defer,
  };

  // The User-Agent of every download; null until the application sets it.
  static QString defaultUserAgent();
  static void setDefaultUserAgent(const QString& userAgent);

  CBDownloadOperation(const QUrl& url, QObject* delegate = nullptr, Callback callbackSelector = {},
                      bool useWebCache = false);
  ~CBDownloadOperation() override;

  // The CBOperation cancel, then status Cancelled; wakes a running download.
  void cancel() override;
  bool isConcurrent() const override { return false; }
  bool isDownloadOperation() const override { return true; }

  // Asks the permanent or the ordinary web cache for `url`; its bytes
  // become the response body. Answers whether there were any.
  virtual bool fetchCachedObject();

  // Outcome tests.
  bool okResponse() const;
  bool authenticationError() const;
  bool notConnectedToInternetError() const;
  qint64 didFailErrorCode() const;
  // The body as UTF-8; null without a body.
  QString responseBodyString() const;
  std::optional<CBHTTPConditionalGetInfo> conditionalGetInfoResponse();
  // Request headers, status, response headers and body, one log line each.
  void debugLog() const;

  // Request.
  QUrl url() const { return m_url; }
  void setUrl(const QUrl& url) { m_url = url; }
  // The address of the request being made: url(), or where the operation's
  // own redirects led (see followsRedirectsOnlyToOrigin()).
  QUrl requestURL() const { return m_requestURL.isEmpty() ? m_url : m_requestURL; }
  QString httpMethod() const { return m_httpMethod; }
  void setHttpMethod(const QString& method) { m_httpMethod = method; }
  QByteArray postBody() const { return m_postBody; }
  void setPostBody(const QByteArray& body) { m_postBody = body; }
  // Header name -> value, applied last (replacing equal names).
  QMap<QString, QString> extraRequestHeaders() const { return m_extraRequestHeaders; }
  void setExtraRequestHeaders(const QMap<QString, QString>& headers) { m_extraRequestHeaders = headers; }
  void setExtraRequestHeader(const QString& name, const QString& value) { m_extraRequestHeaders.insert(name, value); }
  QNetworkRequest urlRequest() const { return m_urlRequest; }
  QString username() const { return m_username; }
  void setUsername(const QString& username) { m_username = username; }
  QString password() const { return m_password; }
  void setPassword(const QString& password) { m_password = password; }
  bool useWebCache() const { return m_useWebCache; }
  void setUseWebCache(bool use) { m_useWebCache = use; }
  bool usePermanentWebCache() const { return m_usePermanentWebCache; }
  void setUsePermanentWebCache(bool use) { m_usePermanentWebCache = use; }
  QVariantMap userInfo() const { return m_userInfo; }
  void setUserInfo(const QVariantMap& userInfo) { m_userInfo = userInfo; }
  bool didStartParser() const { return m_didStartParser; }
  void setDidStartParser(bool started) { m_didStartParser = started; }

  // Limits. Schemes other than http and https are fetched only when allowed.
  bool allowsNonHTTPSchemes() const { return m_allowsNonHTTPSchemes; }
  void setAllowsNonHTTPSchemes(bool allows) { m_allowsNonHTTPSchemes = allows; }
  // Redirects go only to the original scheme, host and port; one elsewhere
  // fails the download. Off by default (redirects to any http or https
  // address are followed), and on by itself for a request whose headers
  // carry credentials.
  bool followsRedirectsOnlyToOrigin() const { return m_followsRedirectsOnlyToOrigin; }
  void setFollowsRedirectsOnlyToOrigin(bool only) { m_followsRedirectsOnlyToOrigin = only; }
  qint64 maximumBodySize() const { return m_maximumBodySize; }
  void setMaximumBodySize(qint64 bytes) { m_maximumBodySize = bytes; }
  // Time without any transfer after which the request fails.
  int timeoutIntervalMs() const { return m_timeoutIntervalMs; }
  void setTimeoutIntervalMs(int ms) { m_timeoutIntervalMs = ms; }
  // Time from sending the request to its end, after which the request fails
  // however much it is still receiving (each request sent again after a
  // login starts its own); 0 for none.
  int overallTimeoutMs() const { return m_overallTimeoutMs; }
  void setOverallTimeoutMs(int ms) { m_overallTimeoutMs = ms; }
  // The longest stretch the download thread waits for network events before
  // it looks at the cancel flag again (a cancel also wakes it at once).
  int runLoopSliceMs() const { return m_runLoopSliceMs; }
  void setRunLoopSliceMs(int ms) { m_runLoopSliceMs = ms; }

  // Results.
  CBURLResponse urlResponse() const { return m_urlResponse; }
  QByteArray responseBody() const { return m_responseBody; }
  void setResponseBody(const QByteArray& body) { m_responseBody = body; }
  int statusCode() const { return m_statusCode; }
  ZPHError error() const { return m_error; }
  bool finishedReading() const { return m_finishedReading; }
  qint32 downloadStatus() const { return m_downloadStatus.load(); }
  // The thread running download(); null outside it.
  QThread* downloadThread() const;

  // The pool that runs the request; the shared one unless set before queuing
  // (not owned).
  ZPHNetworkAccessPool* networkAccessPool() const;
  void setNetworkAccessPool(ZPHNetworkAccessPool* pool) { m_networkAccessPool = pool; }

protected:
  // Web cache, then download(), then completion; completion also follows
  // an exception, which is logged.
  void main() override;

  // Subclasses override both and call the base. createRequest() builds the
  // request for requestURL(); it runs again for each redirect the operation
  // follows itself.
  virtual void createRequest();
  virtual void download();
  QNetworkRequest& mutableURLRequest() { return m_urlRequest; }

  // Connection events, on the download thread.
  virtual void didReceiveResponse(const CBURLResponse& response);
  virtual void didReceiveData(const QByteArray& data);
  virtual void didFailWithError(const ZPHError& error);
  virtual void didFinishLoading();
  // Fills `authenticator` and answers Answer, or Decline, or Defer; the
  // network waits meanwhile, so the hook decides at once.
  // `previousFailureCount` counts the earlier answers of this download.
  virtual ChallengeResponse didReceiveAuthenticationChallenge(const QUrl& challengeURL, QAuthenticator* authenticator,
                                                              int previousFailureCount);
  // After a deferred challenge, once the refused request has ended: may wait
  // (the network is not held) and answers true to send the request again.
  virtual bool resolveDeferredChallenge() { return false; }

private:
  bool isSchemeAllowed(const QUrl& url) const;
  void failWithError(const ZPHError& error);
  // Reading is over; the status becomes Finished unless it is Cancelled.
  void markFinished();
  // Runs one request through the pool; true when it must be sent again.
  bool runTransfer();
  // One connection event, on the download thread; sets `ended` once the
  // request is over and `sendAgain` when it must be sent again.
  void handleEvent(ZPHNetworkTransfer& transfer, ZPHNetworkTransfer::Event& event, bool* ended, bool* sendAgain);
  // After a redirect answer to a request the operation follows itself: true
  // when the request for the next hop is ready; fails the download when the
  // redirect may not be followed.
  bool followRedirect(const QString& location);
  void logException(const QString& what) const;
  ZPHError errorForFinishedTransfer(const ZPHNetworkTransfer::Event& finished) const;

  QUrl m_url;
  QString m_httpMethod;
  QByteArray m_postBody;
  QMap<QString, QString> m_extraRequestHeaders;
  QNetworkRequest m_urlRequest;
  CBURLResponse m_urlResponse;
  bool m_hasResponse = false;
  QByteArray m_responseBody;
  int m_statusCode = 0;
  ZPHError m_error;
  bool m_finishedReading = false;
  std::atomic<qint32> m_downloadStatus{NotStarted};
  QString m_username;
  QString m_password;
  bool m_useWebCache = false;
  bool m_usePermanentWebCache = false;
  QVariantMap m_userInfo;
  bool m_didStartParser = false;
  std::optional<CBHTTPConditionalGetInfo> m_conditionalGetInfoResponse;
  bool m_conditionalGetInfoMade = false;

  bool m_allowsNonHTTPSchemes = false;
  bool m_followsRedirectsOnlyToOrigin = false;
  qint64 m_maximumBodySize = DefaultMaximumBodySize;
  int m_timeoutIntervalMs = DefaultTimeoutIntervalMs;
  int m_overallTimeoutMs = DefaultOverallTimeoutMs;
  int m_runLoopSliceMs = DefaultRunLoopSliceMs;

  // Download thread only, while download() runs.
  QUrl m_requestURL;
  int m_redirects = 0;
  bool m_followsRedirectsItself = false;
  int m_challengeAnswers = 0;
  bool m_challengeDeclined = false;
  bool m_challengeDeferred = false;

  ZPHNetworkAccessPool* m_networkAccessPool = nullptr;
  // Guards the running transfer and thread against cancel() from other threads.
  mutable QMutex m_transferMutex;
  std::shared_ptr<ZPHNetworkTransfer> m_runningTransfer;
  QThread* m_downloadThread = nullptr;
};
