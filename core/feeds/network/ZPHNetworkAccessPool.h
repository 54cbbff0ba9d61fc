#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMutex>
#include <QtCore/QPair>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QWaitCondition>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>
#include <QtNetwork/QSslError>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QAuthenticator;
class QNetworkAccessManager;
class ZPHNetworkAccessPool;
class ZPHNetworkAccessWorker;

// One HTTP exchange run by the network access pool on one of its worker
// threads, seen from the thread that asked for it. The worker reads the
// reply and queues what happens as events; the asking thread takes them in
// order with takeEvents() and answers authentication challenges.
class ZPHNetworkTransfer {
public:
  // Why the pool itself ended a transfer.
  enum class AbortReason { None, BodyTooLarge, RedirectToOtherScheme, PoolStopped };

  struct Event {
    enum Type { Response, Data, Challenge, Finished, UploadProgress };
    Type type = Response;

    // Response: the reply's address, its HTTP status attribute (invalid
    // without one) and its raw headers.
    QUrl url;
    QVariant statusAttribute;
    QList<QPair<QByteArray, QByteArray>> headers;

    // Data: the next piece of the body.
    QByteArray data;

    // UploadProgress (only when the request asks for it): the bytes of the
    // request's body sent so far and in all (-1 when unknown).
    qint64 bytesSent = 0;
    qint64 bytesTotal = -1;

    // Challenge (url: the challenged address): the worker waits until
    // answerChallenge(); the authenticator is valid until then.
    QAuthenticator* authenticator = nullptr;

    // Finished.
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorString;
    bool answeredHTTP = false;
    bool sawTLSErrors = false;
    // The certificate errors that failed the transfer (each names its
    // certificate); empty when none did.
    QList<QSslError> tlsErrors;
    AbortReason abortReason = AbortReason::None;
  };

  struct Request {
    QNetworkRequest request;
    QByteArray method = "GET";   // GET, HEAD, POST or any other verb
    QByteArray body;             // sent with POST, and with another verb when not empty
    qint64 maximumBodySize = 0;  // 0: no limit
    // Redirects are followed only to http and https addresses.
    bool followsOnlyHTTPRedirects = true;
    // Runs on a manager of its own, made for this transfer and dropped with
    // it: for requests that may answer a challenge with credentials, which a
    // shared manager would keep and offer to later requests of other callers.
    bool usesPrivateManager = false;
    // For a caller that only collects the answer: takeEvents() is woken for a
    // challenge, the end and every QuietWakeBytes of body, not for the
    // response's headers or each piece of the body.
    bool wakesOnlyToAct = false;
    // Queues an UploadProgress event whenever more of the body went out.
    bool reportsUploadProgress = false;
  };

  static constexpr qint64 QuietWakeBytes = 256 * 1024;

  ~ZPHNetworkTransfer();
  ZPHNetworkTransfer(const ZPHNetworkTransfer&) = delete;
  ZPHNetworkTransfer& operator=(const ZPHNetworkTransfer&) = delete;

  // Waits at most `timeoutMs` for events (for a quiet transfer: for one to
  // act on) and takes every queued one; returns early, possibly with none,
  // after wake() or abandon().
  QList<Event> takeEvents(int timeoutMs);
  // The answer to the pending challenge; `answered` true after the
  // authenticator was filled with credentials.
  void answerChallenge(bool answered);
  // Ends a takeEvents() wait early; any thread.
  void wake();
  // Stops the transfer: the worker aborts the reply and queues nothing more.
  // Any thread; idempotent.
  void abandon();

  bool usesPrivateManager() const { return m_request.usesPrivateManager; }

private:
  friend class ZPHNetworkAccessPool;
  friend class ZPHNetworkAccessWorker;
  explicit ZPHNetworkTransfer(Request request);

  // Worker side.
  void push(Event event);
  // Queues the challenge and waits for the answer; false when declined or
  // abandoned.
  bool askChallenge(const QUrl& url, QAuthenticator* authenticator);
  bool isAbandoned() const { return m_abandoned.load(); }

  const Request m_request;
  QString m_hostKey;  // scheme://host:port, set by the pool
  mutable QMutex m_mutex;
  QWaitCondition m_eventsChanged;    // the asking thread waits for events
  QWaitCondition m_challengeAnswer;  // the worker waits for an answer
  std::deque<Event> m_events;
  qint64 m_quietBytes = 0;  // body queued since the asking thread was last woken
  bool m_woken = false;
  bool m_actionQueued = false;  // an event that wakes the asking thread is queued
  bool m_challengePending = false;
  bool m_challengeAnswered = false;
  std::atomic<bool> m_abandoned{false};
  // Set by the pool: how to reach the worker that runs the transfer.
  std::function<void()> m_abortOnWorker;
};

// A small, fixed set of worker threads, each with one QNetworkAccessManager
// (and its HTTP thread) that serves every transfer given to it, so a download
// costs neither a new thread nor a new manager. A new transfer goes to the
// worker with the fewest running transfers.
//
// A plain GET or HEAD runs on the worker's own HTTP/1.1 client instead
// (ZPHHTTPExchange, on the worker's event loop), which saves the manager's
// HTTP thread and the hand-overs to it; the events are the same. What the
// client does not handle it leaves to the worker's manager before it
// reported anything: challenges, TLS errors, proxies, HTTP/2, odd answers.
//
// At most MaximumTransfersPerHost transfers talk to one server (scheme, host
// and port) at once, as web browsers do; more wait in the pool, in the order
// started, and begin as earlier ones end. A server is never flooded with
// more new connections than a small listen queue holds.
//
// The shared managers keep no cookies and no cache, and never hold
// credentials: a transfer that may answer a challenge with credentials runs
// on a private manager on the worker, made for it and dropped with it, so no
// later request of another caller can reuse them.
//
// sharedPool() is the process's pool. It is made on first use, from any
// thread, and owned by itself: it stops its workers when the application
// object is destroyed, after which every transfer fails at once
// (AbortReason::PoolStopped).
class ZPHNetworkAccessPool {
public:
  static constexpr int DefaultWorkerCount = 4;
  static constexpr int MaximumTransfersPerHost = 6;

  static ZPHNetworkAccessPool* sharedPool();

  explicit ZPHNetworkAccessPool(int workerCount = DefaultWorkerCount);
  // Stops the workers; running transfers finish with PoolStopped.
  ~ZPHNetworkAccessPool();
  ZPHNetworkAccessPool(const ZPHNetworkAccessPool&) = delete;
  ZPHNetworkAccessPool& operator=(const ZPHNetworkAccessPool&) = delete;

  // Starts `request` on a worker. Any thread.
  std::shared_ptr<ZPHNetworkTransfer> start(ZPHNetworkTransfer::Request request);

  int workerCount() const;
  // Transfers begun on a worker and not yet finished or abandoned.
  int runningTransferCount() const;
  // Transfers waiting for their server's turn.
  int waitingTransferCount() const;
  // The most transfers that talked to one server at once so far.
  int mostTransfersPerHost() const;
  // Managers made so far: one per worker plus one per private transfer.
  int managersMade() const;

  // Plain GETs and HEADs run on the workers' own HTTP client unless this is
  // off (see ZPHHTTPExchange); on by default. Any thread; later transfers.
  void setUsesOwnClient(bool uses) { m_usesOwnClient.store(uses); }
  bool usesOwnClient() const { return m_usesOwnClient.load(); }
  // Transfers run to their end on the own client, and those it handed over
  // to a manager, so far.
  int ownClientTransferCount() const { return m_ownClientTransfers.load(); }
  int handedOverTransferCount() const { return m_handedOverTransfers.load(); }

  // Stops the workers (idempotent); later transfers fail at once.
  void stop();

private:
  friend class ZPHNetworkAccessWorker;
  // A begun transfer ended (finished, abandoned or failed): its server's
  // next waiting transfer begins. Any thread; once per begun transfer.
  void transferEnded(const ZPHNetworkTransfer* transfer);
  ZPHNetworkAccessWorker* leastBusyWorker() const;  // m_mutex held
  // Ends `transfer` at once with AbortReason::PoolStopped.
  static void failStopped(ZPHNetworkTransfer& transfer);

  mutable QMutex m_mutex;
  std::vector<std::unique_ptr<ZPHNetworkAccessWorker>> m_workers;
  QHash<QString, int> m_runningPerHost;
  QHash<QString, std::deque<std::shared_ptr<ZPHNetworkTransfer>>> m_waitingPerHost;
  int m_waitingCount = 0;
  int m_mostPerHost = 0;
  bool m_stopped = false;
  std::atomic<int> m_managersMade{0};
  std::atomic<bool> m_usesOwnClient{true};
  std::atomic<int> m_ownClientTransfers{0};
  std::atomic<int> m_handedOverTransfers{0};
};
