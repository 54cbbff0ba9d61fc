#pragma once

#include "feeds/network/ZPHNetworkAccessPool.h"
#include "subscribe/ESRunLoopOperation.h"
#include "subscribe/ESURLRequest.h"

#include <QtCore/QByteArray>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QPair>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>
#include <QtNetwork/QSslError>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QAuthenticator;
class QIODevice;
class ZPHOperationQueue;

extern const QString ESHTTPOperationErrorDomain;  // "ESHTTPOperationErrorDomain"
enum ESHTTPOperationErrorCode : qint64 {
  // The status code is not acceptable; the underlying error (same domain)
  // has the status as its code.
  ESHTTPOperationErrorBadStatusCode = -1011,
  ESHTTPOperationErrorBadContentType = -1016,
  // The body is larger than maximumResponseSize().
  ESHTTPOperationErrorResponseTooLarge = -1,
  // Writing to the output device failed, and the device gave no reason.
  ESHTTPOperationErrorOutputStream = -2,
};

// A response as the operation saw it.
struct ESHTTPResponse {
  QUrl url;
  int statusCode = 0;
  QList<QPair<QByteArray, QByteArray>> headers;

  bool isValid() const { return statusCode > 0; }
  // The first header of that name (any case), or null.
  QByteArray headerValue(const QByteArray& name) const;
  // The Content-Type without its parameters, lower-cased; null without one.
  QString mimeType() const;
  // Content-Length, or -1 when the response gives none.
  qint64 expectedContentLength() const;
};

// How one exchange with the server ended, as the subclass hook sees it.
struct ESHTTPExchangeEnd {
  QUrl url;  // the address asked for
  QNetworkReply::NetworkError networkError = QNetworkReply::NoError;
  QString errorString;
  bool answeredHTTP = false;
  // A challenge was refused (no credentials, or not for this server).
  bool challengeDeclined = false;
  QUrl declinedChallengeURL;
  // The certificate errors that failed the connection.
  QList<QSslError> tlsErrors;
};

// One HTTP(S) request: run by the shared network access pool, its events
// taken on the operation's run-loop thread, the body gathered within size
// limits, status and content type checked, the body optionally turned into
// an object by a work block on a work queue, and a completion delivered on
// the completion queue (the main thread unless set).
//
// Only http and https addresses are ever fetched: another scheme, also as a
// redirect's target, ends the operation with NSURLErrorDomain -1002 without
// touching the network. Redirects are followed by the operation itself (at
// most MaximumRedirects), so a subclass sees each one. No cookie is sent or
// kept. Credentials go out only on a connection of their own.
//
// Set everything up before queuing; the setters answer false (and change
// nothing) afterwards. Read the results in the completion.
class ESHTTPOperation : public ESRunLoopOperation {
public:
  using WorkBlock = std::function<QVariant(ESHTTPOperation& operation, ZPHError* error)>;
  using CompletionBlock = std::function<void(const std::shared_ptr<ESHTTPOperation>& operation)>;
  using ProgressBlock = std::function<void(quint64 bytesSoFar, qint64 bytesExpected)>;

  static constexpr quint64 DefaultResponseSize = 1024 * 1024;
  static constexpr quint64 MaximumResponseSize = 4 * 1024 * 1024;
  static constexpr int MaximumRedirects = 20;
  static constexpr int DefaultTimeoutIntervalMs = 60 * 1000;
  static constexpr int DefaultMaximumExchangeDurationMs = 2 * 60 * 1000;

  static std::shared_ptr<ESHTTPOperation> newHTTPOperationWithRequest(const QNetworkRequest& request,
                                                                      WorkBlock work = {},
                                                                      CompletionBlock completion = {});
  // The same with the request's method and body (a form POST, say).
  static std::shared_ptr<ESHTTPOperation> newHTTPOperationWithRequest(const ESURLRequest& request, WorkBlock work = {},
                                                                      CompletionBlock completion = {});
  explicit ESHTTPOperation(const QNetworkRequest& request, WorkBlock work = {}, CompletionBlock completion = {});
  ~ESHTTPOperation() override;

  QNetworkRequest request() const { return m_request; }
  QUrl URL() const { return m_request.url(); }
  // From a process-wide counter; the first operation gets 1.
  qint64 operationID() const { return m_operationID; }

  // Before queuing.
  QByteArray httpMethod() const { return m_httpMethod; }
  bool setHTTPMethod(const QByteArray& method);
  QByteArray httpBody() const { return m_httpBody; }
  bool setHTTPBody(const QByteArray& body);
  // nullptr: the main thread.
  bool setCompletionQueue(ZPHOperationQueue* queue);
  // nullptr: one work queue shared by all operations.
  bool setWorkQueue(ZPHOperationQueue* queue);
  QSet<int> acceptableStatusCodes() const;  // 200 to 299 unless set
  bool setAcceptableStatusCodes(const QSet<int>& codes);
  bool addAcceptableStatusCode(int code);
  bool removeAcceptableStatusCode(int code);
  QSet<QString> acceptableContentTypes() const;  // empty: any type
  bool setAcceptableContentTypes(const QSet<QString>& types);
  bool addAcceptableContentType(const QString& type);
  bool removeAcceptableContentType(const QString& type);
  // Called on the main thread with the bytes so far and the announced length
  // (-1 when unknown).
  bool setDownloadProgressBlock(ProgressBlock block);
  // Called on the operation's run-loop thread with the bytes of the body sent
  // so far and in all, as the body goes out. Refused, with a warning, once
  // the operation is queued.
  bool setUploadProgressBlock(ProgressBlock block);
  bool cancelOnStatusCodeError() const { return m_cancelOnStatusCodeError; }
  bool setCancelOnStatusCodeError(bool cancel);
  bool cancelOnContentTypeError() const { return m_cancelOnContentTypeError; }
  bool setCancelOnContentTypeError(bool cancel);
  // The longest one exchange with the server may take, however steadily it
  // sends (a request without news for the request's transfer time-out, 60 s
  // unless set, fails sooner). A redirect's target or a request sent again
  // is a new exchange. Ends in NSURLErrorDomain -1001.
  int maximumExchangeDurationMs() const { return m_maximumExchangeDurationMs; }
  bool setMaximumExchangeDurationMs(int ms);
  // The pool that runs the requests; the shared one unless set (not owned).
  bool setNetworkAccessPool(ZPHNetworkAccessPool* pool);

  // Before queuing. The default must be positive and not above the maximum.
  quint64 defaultResponseSize() const { return m_defaultResponseSize; }
  bool setDefaultResponseSize(quint64 size);
  quint64 maximumResponseSize() const { return m_maximumResponseSize; }
  bool setMaximumResponseSize(quint64 size);
  // When set, an acceptable body is written there instead of kept (not
  // owned; opened for writing when closed, closed at the end).
  QIODevice* outputStream() const { return m_outputStream; }
  bool setOutputStream(QIODevice* device);

  // Results.
  QNetworkRequest lastRequest() const;
  ESHTTPResponse lastResponse() const;
  QByteArray responseBody() const;
  QVariant processedResponse() const;
  quint64 totalBytesWritten() const { return m_totalBytesWritten.load(); }

  // Of the last response.
  bool isStatusCodeAcceptable() const;
  bool isContentTypeAcceptable() const;
  ZPHError errorForStatusCode() const;
  ZPHError errorForContentType() const;

  // Class, address, request, last response, ID and error; never credentials.
  QString description() const;

protected:
  void operationDidStart() override;
  void operationWillFinish() override;
  void operationDidFinish() override;
  void serviceRunLoop(int timeoutMs) override;
  void wakeRunLoop() override;

  // Sends `request` as the next exchange: a redirect's target, or the last
  // request again (with credentials). Run-loop thread.
  void sendRequest(const QNetworkRequest& request);
  // Finishes with `error`, or, without one, runs the work block first.
  void processRequestWithError(const ZPHError& error);

  // Hooks, on the run-loop thread.
  // The request for a redirect the server answered (lastResponse() is the
  // redirect); nullopt stops the operation (the hook finishes it, else it
  // ends as cancelled). The base answers the request unchanged.
  virtual std::optional<QNetworkRequest> willSendRequestForRedirect(const QNetworkRequest& request,
                                                                    const ESHTTPResponse& redirectResponse);
  // A server asks for credentials: fill `authenticator` and answer true, or
  // false to refuse. The network waits meanwhile, so decide at once. Only
  // requests sent with a private connection may answer. The base refuses.
  virtual bool didReceiveAuthenticationChallenge(const QUrl& url, QAuthenticator* authenticator);
  // Whether `request` goes out on a connection of its own (needed to answer
  // a challenge). The base: false.
  virtual bool usesPrivateConnectionForRequest(const QNetworkRequest& request) const;
  // An exchange ended; answers true when the subclass took over (sent again
  // or finished). The base: false.
  virtual bool exchangeDidEnd(const ESHTTPExchangeEnd& end);

private:
  bool isInitedForSetter(const char* what) const;
  void handleEvent(ZPHNetworkTransfer& transfer, ZPHNetworkTransfer::Event& event);
  void didReceiveResponse(const ESHTTPResponse& response);
  void didReceiveData(const QByteArray& data);
  void exchangeFinished(const ZPHNetworkTransfer::Event& finished);
  void followRedirect();
  void reportProgress(quint64 bytesSoFar, qint64 bytesExpected);
  std::shared_ptr<ZPHNetworkTransfer> currentTransfer() const;
  void abandonTransfer();

  const qint64 m_operationID;
  QNetworkRequest m_request;
  QByteArray m_httpMethod = "GET";
  QByteArray m_httpBody;
  WorkBlock m_work;
  CompletionBlock m_completion;
  ProgressBlock m_downloadProgress;
  ProgressBlock m_uploadProgress;
  ZPHOperationQueue* m_completionQueue = nullptr;
  ZPHOperationQueue* m_workQueue = nullptr;
  ZPHNetworkAccessPool* m_networkAccessPool = nullptr;
  bool m_cancelOnStatusCodeError = false;
  bool m_cancelOnContentTypeError = false;
  int m_maximumExchangeDurationMs = DefaultMaximumExchangeDurationMs;
  quint64 m_defaultResponseSize = DefaultResponseSize;
  quint64 m_maximumResponseSize = MaximumResponseSize;
  QIODevice* m_outputStream = nullptr;
  bool m_openedOutputStream = false;

  mutable QMutex m_mutex;  // the sets, the blocks and the results below
  QSet<int> m_acceptableStatusCodes;
  QSet<QString> m_acceptableContentTypes;
  QNetworkRequest m_lastRequest;
  ESHTTPResponse m_lastResponse;
  QByteArray m_responseBody;
  QVariant m_processedResponse;
  std::shared_ptr<ZPHNetworkTransfer> m_transfer;

  // Run-loop thread only.
  bool m_firstData = true;
  bool m_hasBuffer = false;  // m_dataAccumulator exists
  QByteArray m_dataAccumulator;
  std::atomic<quint64> m_totalBytesWritten{0};
  bool m_exchangeIsRedirect = false;
  QDeadlineTimer m_exchangeDeadline;
  bool m_challengeDeclined = false;
  QUrl m_declinedChallengeURL;
  bool m_processing = false;
  int m_redirects = 0;
};
