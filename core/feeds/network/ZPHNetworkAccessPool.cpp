#include "feeds/network/ZPHNetworkAccessPool.h"

#include "feeds/network/ZPHHTTPExchange.h"
#include "feeds/network/ZPHServerTrustStore.h"
#include "foundation/CBMimeTypes.h"
#include "platform/ZPHLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QHash>
#include <QtCore/QMutexLocker>
#include <QtCore/QThread>
#include <QtNetwork/QAuthenticator>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkCookie>
#include <QtNetwork/QNetworkCookieJar>
#include <QtNetwork/QSslError>

#include <functional>

namespace {

// Keeps no cookie and offers none.
class ZPHNoCookieJar : public QNetworkCookieJar {
public:
  using QNetworkCookieJar::QNetworkCookieJar;
  QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
  bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
  bool insertCookie(const QNetworkCookie&) override { return false; }
  bool updateCookie(const QNetworkCookie&) override { return false; }
};

// How a transfer reaches its worker's thread; cleared when the worker stops,
// so a late abandon() finds nothing to post to.
struct WorkerMailbox {
  QMutex mutex;
  QObject* context = nullptr;  // lives in the worker thread

  // Runs `work` on the worker thread; false when the worker is gone.
  bool post(std::function<void()> work)
  {
    QMutexLocker locker(&mutex);
    if (context == nullptr)
      return false;
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
    return true;
  }
};

}  // namespace

// ------------------------------------------------------------ transfer

ZPHNetworkTransfer::ZPHNetworkTransfer(Request request) : m_request(std::move(request)) {}

ZPHNetworkTransfer::~ZPHNetworkTransfer() = default;

QList<ZPHNetworkTransfer::Event> ZPHNetworkTransfer::takeEvents(int timeoutMs)
{
  QMutexLocker locker(&m_mutex);
  // A quiet transfer's caller waits for something to act on, not for the
  // events queued without waking it (headers, pieces of a small body).
  const QDeadlineTimer deadline(timeoutMs);
  while (!m_woken && (m_events.empty() || (m_request.wakesOnlyToAct && !m_actionQueued))) {
    if (!m_eventsChanged.wait(&m_mutex, deadline))
      break;
  }
  m_woken = false;
  m_actionQueued = false;
  m_quietBytes = 0;
  QList<Event> events;
  events.reserve(qsizetype(m_events.size()));
  for (Event& event : m_events) events.append(std::move(event));
  m_events.clear();
  return events;
}

void ZPHNetworkTransfer::answerChallenge(bool answered)
{
  QMutexLocker locker(&m_mutex);
  m_challengeAnswered = answered;
  m_challengePending = false;
  m_challengeAnswer.wakeAll();
}

void ZPHNetworkTransfer::wake()
{
  QMutexLocker locker(&m_mutex);
  m_woken = true;
  m_eventsChanged.wakeAll();
}

void ZPHNetworkTransfer::abandon()
{
  if (m_abandoned.exchange(true))
    return;
  std::function<void()> abort;
  {
    QMutexLocker locker(&m_mutex);
    m_challengePending = false;
    m_challengeAnswered = false;
    m_challengeAnswer.wakeAll();
    m_woken = true;  // a wait under way ends
    m_eventsChanged.wakeAll();
    abort = m_abortOnWorker;
  }
  if (abort)
    abort();
}

void ZPHNetworkTransfer::push(Event event)
{
  QMutexLocker locker(&m_mutex);
  if (m_abandoned.load())
    return;
  bool wakes = true;
  if (m_request.wakesOnlyToAct) {
    if (event.type == Event::Data)
      m_quietBytes += event.data.size();
    wakes = event.type == Event::Finished || event.type == Event::Challenge || m_quietBytes >= QuietWakeBytes;
  }
  m_events.push_back(std::move(event));
  if (wakes) {
    m_quietBytes = 0;
    m_actionQueued = true;
    m_eventsChanged.wakeAll();
  }
}

bool ZPHNetworkTransfer::askChallenge(const QUrl& url, QAuthenticator* authenticator)
{
  QMutexLocker locker(&m_mutex);
  if (m_abandoned.load())
    return false;
  Event event;
  event.type = Event::Challenge;
  event.url = url;
  event.authenticator = authenticator;
  m_events.push_back(std::move(event));
  m_actionQueued = true;
  m_challengePending = true;
  m_challengeAnswered = false;
  m_eventsChanged.wakeAll();
  while (m_challengePending && !m_abandoned.load()) m_challengeAnswer.wait(&m_mutex);
  return m_challengeAnswered && !m_abandoned.load();
}

// ------------------------------------------------------------ worker

class ZPHNetworkAccessWorker : public QThread {
public:
  ZPHNetworkAccessWorker(ZPHNetworkAccessPool* pool, int index, std::atomic<int>* managersMade)
      : m_pool(pool), m_mailbox(std::make_shared<WorkerMailbox>()), m_managersMade(managersMade)
  {
    setObjectName(QStringLiteral("com.fernhollow.zephlin.network.%1").arg(index));
  }

  void startAndWaitUntilReady()
  {
    QMutexLocker locker(&m_readyMutex);
    start();
    while (!m_ready) m_readyCondition.wait(&m_readyMutex);
  }

  // Any thread.
  void begin(const std::shared_ptr<ZPHNetworkTransfer>& transfer)
  {
    {
      QMutexLocker locker(&m_registryMutex);
      m_registry.append(transfer);
    }
    ++m_running;
    std::shared_ptr<WorkerMailbox> mailbox = m_mailbox;
    std::weak_ptr<ZPHNetworkTransfer> weak = transfer;
    {
      QMutexLocker locker(&transfer->m_mutex);
      transfer->m_abortOnWorker = [mailbox, weak, this] {
        mailbox->post([weak, this] {
          if (std::shared_ptr<ZPHNetworkTransfer> strong = weak.lock())
            abandonOnWorker(strong.get());
        });
      };
    }
    if (!mailbox->post([this, transfer] { beginOnWorker(transfer); }))
      failAtOnce(transfer);
  }

  int running() const { return m_running.load(); }

  void stopAndWait()
  {
    // A challenge waits for an answer on this thread; nobody answers now.
    {
      QMutexLocker locker(&m_registryMutex);
      for (const std::weak_ptr<ZPHNetworkTransfer>& weak : m_registry) {
        if (std::shared_ptr<ZPHNetworkTransfer> transfer = weak.lock())
          transfer->answerChallenge(false);
      }
    }
    quit();
    wait();
  }

protected:
  void run() override
  {
    QObject context;
    QNetworkAccessManager* manager = makeManager(&context);
    m_connections = new ZPHHTTPConnectionCache(&context);
    {
      QMutexLocker locker(&m_mailbox->mutex);
      m_mailbox->context = &context;
    }
    m_manager = manager;
    {
      QMutexLocker locker(&m_readyMutex);
      m_ready = true;
      m_readyCondition.wakeAll();
    }

    exec();

    {
      QMutexLocker locker(&m_mailbox->mutex);
      m_mailbox->context = nullptr;
    }
    // Transfers handed over but not begun fail as they arrive.
    m_stopping = true;
    QCoreApplication::sendPostedEvents(&context, 0);
    const QList<std::shared_ptr<Running>> running = m_active.values();
    for (const std::shared_ptr<Running>& state : running) {
      stopConnection(state);
      ZPHNetworkAccessPool::failStopped(*state->transfer);
      cleanUp(state);
    }
    m_manager = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

private:
  struct Running {
    std::shared_ptr<ZPHNetworkTransfer> transfer;
    QNetworkReply* reply = nullptr;       // on the manager
    ZPHHTTPExchange* exchange = nullptr;  // or on the worker's own client
    QNetworkAccessManager* privateManager = nullptr;
    qint64 bodyBytes = 0;
    bool sawTLSErrors = false;
    QList<QSslError> tlsErrors;
    bool finishing = false;
    ZPHNetworkTransfer::AbortReason abortReason = ZPHNetworkTransfer::AbortReason::None;
  };

  QNetworkAccessManager* makeManager(QObject* parent)
  {
    auto* manager = new QNetworkAccessManager(parent);
    manager->setCookieJar(new ZPHNoCookieJar(manager));
    ++*m_managersMade;
    return manager;
  }

  void failAtOnce(const std::shared_ptr<ZPHNetworkTransfer>& transfer)
  {
    ZPHNetworkAccessPool::failStopped(*transfer);
    forget(transfer.get());
  }

  void forget(ZPHNetworkTransfer* transfer)
  {
    --m_running;
    {
      QMutexLocker locker(&m_registryMutex);
      m_registry.removeIf([transfer](const std::weak_ptr<ZPHNetworkTransfer>& weak) {
        const std::shared_ptr<ZPHNetworkTransfer> strong = weak.lock();
        return !strong || strong.get() == transfer;
      });
    }
    m_pool->transferEnded(transfer);
  }

  void beginOnWorker(const std::shared_ptr<ZPHNetworkTransfer>& transfer)
  {
    if (m_stopping) {
      failAtOnce(transfer);
      return;
    }
    if (transfer->isAbandoned()) {
      forget(transfer.get());
      return;
    }
    const ZPHNetworkTransfer::Request& request = transfer->m_request;
    auto state = std::make_shared<Running>();
    state->transfer = transfer;
    m_active.insert(transfer.get(), state);
    if (m_pool->m_usesOwnClient.load() && !request.usesPrivateManager &&
        ZPHHTTPExchange::canRun(request.request, request.method, request.body)) {
      startOnClient(state);
      return;
    }
    startOnManager(state);
  }

  // The plain exchanges run on the worker's own client: no hand-over to a
  // manager's HTTP thread and back for every step.
  void startOnClient(const std::shared_ptr<Running>& state)
  {
    ++m_pool->m_ownClientTransfers;
    ZPHHTTPExchange::Handler handler;
    handler.response = [state](const QUrl& url, int status, const ZPHHTTPExchange::Headers& headers) {
      ZPHNetworkTransfer::Event event;
      event.type = ZPHNetworkTransfer::Event::Response;
      event.url = url;
      event.statusAttribute = status;
      event.headers = headers;
      state->bodyBytes = 0;
      state->transfer->push(std::move(event));
    };
    handler.data = [this, state](const QByteArray& data) { takeBody(state, data); };
    handler.allowsRedirect = [state](const QUrl& target) { return allowsRedirect(*state, target); };
    handler.redirectRefused = [this, state] {
      abortWith(state, ZPHNetworkTransfer::AbortReason::RedirectToOtherScheme);
    };
    handler.finished = [this, state](QNetworkReply::NetworkError error, const QString& errorString) {
      finishWith(state, error, errorString, state->exchange->answeredHTTP());
    };
    handler.handOver = [this, state] {
      // Nothing was reported yet: the manager runs the request from the start.
      --m_pool->m_ownClientTransfers;
      ++m_pool->m_handedOverTransfers;
      state->exchange->deleteLater();
      state->exchange = nullptr;
      startOnManager(state);
    };
    const ZPHNetworkTransfer::Request& request = state->transfer->m_request;
    state->exchange = new ZPHHTTPExchange(request.request, request.method, std::move(handler), m_mailbox->context);
    state->exchange->setConnectionCache(m_connections);
    state->exchange->start();
  }

  void startOnManager(const std::shared_ptr<Running>& state)
  {
    const std::shared_ptr<ZPHNetworkTransfer>& transfer = state->transfer;
    const ZPHNetworkTransfer::Request& request = transfer->m_request;
    QNetworkAccessManager* manager = m_manager;
    if (request.usesPrivateManager) {
      state->privateManager = makeManager(this->m_mailbox->context);
      manager = state->privateManager;
    }
    QNetworkReply* reply = nullptr;
    if (request.method == "GET")
      reply = manager->get(request.request);
    else if (request.method == "HEAD")
      reply = manager->head(request.request);
    else if (request.method == "POST")
      reply = manager->post(request.request, request.body);
    else if (request.body.isEmpty())
      reply = manager->sendCustomRequest(request.request, request.method);
    else
      reply = manager->sendCustomRequest(request.request, request.method, request.body);
    state->reply = reply;

    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [state] {
      ZPHNetworkTransfer::Event event;
      event.type = ZPHNetworkTransfer::Event::Response;
      event.url = state->reply->url();
      event.statusAttribute = state->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
      event.headers = state->reply->rawHeaderPairs();
      state->bodyBytes = 0;
      state->transfer->push(std::move(event));
    });
    if (request.reportsUploadProgress) {
      QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [state](qint64 sent, qint64 total) {
        // The manager reports "0 of 0" once more as the reply finishes.
        if (sent == 0 && total == 0)
          return;
        ZPHNetworkTransfer::Event event;
        event.type = ZPHNetworkTransfer::Event::UploadProgress;
        event.bytesSent = sent;
        event.bytesTotal = total;
        state->transfer->push(std::move(event));
      });
    }
    QObject::connect(reply, &QIODevice::readyRead, reply, [this, state] { readBody(state); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, state] { finish(state); });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [state](const QList<QSslError>& errors) {
      // Ignored only for a self-signed certificate the user trusted for this
      // very server; any other untrusted certificate fails the transfer.
      if (ZPHServerTrustStore::sharedStore().acceptsErrors(state->reply->url(), errors)) {
        state->reply->ignoreSslErrors(errors);
        return;
      }
      state->sawTLSErrors = true;
      state->tlsErrors = errors;
      for (const QSslError& error : errors)
        qCInfo(zphNetwork) << "TLS error for" << state->reply->url() << error.errorString();
    });
    QObject::connect(reply, &QNetworkReply::redirected, reply, [this, state](const QUrl& target) {
      if (!allowsRedirect(*state, target)) {
        abortWith(state, ZPHNetworkTransfer::AbortReason::RedirectToOtherScheme);
        return;
      }
      Q_EMIT state->reply->redirectAllowed();
    });
    QObject::connect(manager, &QNetworkAccessManager::authenticationRequired, reply,
                     [state](QNetworkReply* challenged, QAuthenticator* authenticator) {
                       if (challenged != state->reply)
                         return;
                       state->transfer->askChallenge(challenged->url(), authenticator);
                     });
  }

  void readBody(const std::shared_ptr<Running>& state) { takeBody(state, state->reply->readAll()); }

  static bool allowsRedirect(const Running& state, const QUrl& target)
  {
    return !state.transfer->m_request.followsOnlyHTTPRedirects || CBURLHasWebScheme(target);
  }

  void takeBody(const std::shared_ptr<Running>& state, const QByteArray& chunk)
  {
    if (state->abortReason != ZPHNetworkTransfer::AbortReason::None || state->transfer->isAbandoned())
      return;
    const qint64 limit = state->transfer->m_request.maximumBodySize;
    if (limit > 0 && state->bodyBytes + chunk.size() > limit) {
      abortWith(state, ZPHNetworkTransfer::AbortReason::BodyTooLarge);
      return;
    }
    if (chunk.isEmpty())
      return;
    state->bodyBytes += chunk.size();
    ZPHNetworkTransfer::Event event;
    event.type = ZPHNetworkTransfer::Event::Data;
    event.data = chunk;
    state->transfer->push(std::move(event));
  }

  void abortWith(const std::shared_ptr<Running>& state, ZPHNetworkTransfer::AbortReason reason)
  {
    if (state->abortReason == ZPHNetworkTransfer::AbortReason::None)
      state->abortReason = reason;
    if (state->exchange != nullptr) {
      // As an aborted reply: cancelled, after whatever was answered.
      state->exchange->abort();
      finishWith(state, QNetworkReply::OperationCanceledError, QStringLiteral("Operation canceled"),
                 state->exchange->answeredHTTP());
      return;
    }
    state->reply->abort();
  }

  void finish(const std::shared_ptr<Running>& state)
  {
    if (state->finishing)
      return;
    state->finishing = true;
    QNetworkReply* reply = state->reply;
    if (state->abortReason == ZPHNetworkTransfer::AbortReason::None && reply->bytesAvailable() > 0)
      readBody(state);
    finishWith(state, reply->error(), reply->errorString(),
               reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
  }

  void finishWith(const std::shared_ptr<Running>& state, QNetworkReply::NetworkError error, const QString& errorString,
                  bool answeredHTTP)
  {
    state->finishing = true;
    ZPHNetworkTransfer::Event event;
    event.type = ZPHNetworkTransfer::Event::Finished;
    event.error = error;
    event.errorString = errorString;
    event.answeredHTTP = answeredHTTP;
    event.sawTLSErrors = state->sawTLSErrors;
    event.tlsErrors = state->tlsErrors;
    event.abortReason = state->abortReason;
    state->transfer->push(std::move(event));
    cleanUp(state);
  }

  // Drops the connection of `state`; it reports nothing more.
  static void stopConnection(const std::shared_ptr<Running>& state)
  {
    if (state->exchange != nullptr) {
      state->exchange->abort();
      return;
    }
    if (state->reply != nullptr) {
      QObject::disconnect(state->reply, nullptr, nullptr, nullptr);
      state->reply->abort();
    }
  }

  void abandonOnWorker(ZPHNetworkTransfer* transfer)
  {
    const std::shared_ptr<Running> state = m_active.value(transfer);
    if (!state || state->finishing)
      return;
    state->finishing = true;
    stopConnection(state);
    cleanUp(state);
  }

  void cleanUp(const std::shared_ptr<Running>& state)
  {
    if (m_active.remove(state->transfer.get()) == 0)
      return;
    if (state->exchange != nullptr) {
      state->exchange->abort();
      state->exchange->deleteLater();
      state->exchange = nullptr;
    } else if (state->reply != nullptr) {
      QObject::disconnect(state->reply, nullptr, nullptr, nullptr);
      // A reply belongs to its manager; a private manager goes with its reply.
      if (state->privateManager != nullptr)
        state->privateManager->deleteLater();
      else
        state->reply->deleteLater();
    }
    forget(state->transfer.get());
  }

  ZPHNetworkAccessPool* m_pool;
  std::shared_ptr<WorkerMailbox> m_mailbox;
  std::atomic<int>* m_managersMade;
  QMutex m_readyMutex;
  QWaitCondition m_readyCondition;
  bool m_ready = false;
  std::atomic<int> m_running{0};
  QMutex m_registryMutex;
  QList<std::weak_ptr<ZPHNetworkTransfer>> m_registry;

  // Worker thread only.
  QNetworkAccessManager* m_manager = nullptr;
  // The own client's connections left open for the next request to their
  // server.
  QPointer<ZPHHTTPConnectionCache> m_connections;
  QHash<ZPHNetworkTransfer*, std::shared_ptr<Running>> m_active;
  bool m_stopping = false;
};

// ------------------------------------------------------------ pool

namespace {

void stopSharedPool() { ZPHNetworkAccessPool::sharedPool()->stop(); }

}  // namespace

ZPHNetworkAccessPool* ZPHNetworkAccessPool::sharedPool()
{
  static ZPHNetworkAccessPool* pool = [] {
    auto* made = new ZPHNetworkAccessPool;  // lives for the process; stopped with the application object
    qAddPostRoutine(stopSharedPool);
    return made;
  }();
  return pool;
}

ZPHNetworkAccessPool::ZPHNetworkAccessPool(int workerCount)
{
  const int count = std::max(1, workerCount);
  for (int i = 0; i < count; ++i) {
    m_workers.push_back(std::make_unique<ZPHNetworkAccessWorker>(this, i, &m_managersMade));
    m_workers.back()->startAndWaitUntilReady();
  }
}

ZPHNetworkAccessPool::~ZPHNetworkAccessPool() { stop(); }

namespace {

QString hostKey(const QUrl& url)
{
  const QString scheme = url.scheme().toLower();
  const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
  return scheme + QStringLiteral("://") + url.host().toLower() + QLatin1Char(':') + QString::number(port);
}

}  // namespace

std::shared_ptr<ZPHNetworkTransfer> ZPHNetworkAccessPool::start(ZPHNetworkTransfer::Request request)
{
  std::shared_ptr<ZPHNetworkTransfer> transfer(new ZPHNetworkTransfer(std::move(request)));
  transfer->m_hostKey = hostKey(transfer->m_request.request.url());
  ZPHNetworkAccessWorker* worker = nullptr;
  {
    QMutexLocker locker(&m_mutex);
    if (m_stopped || m_workers.empty()) {
      failStopped(*transfer);
      return transfer;
    }
    int& running = m_runningPerHost[transfer->m_hostKey];
    if (running < MaximumTransfersPerHost) {
      ++running;
      m_mostPerHost = std::max(m_mostPerHost, running);
      worker = leastBusyWorker();
    } else {
      m_waitingPerHost[transfer->m_hostKey].push_back(transfer);
      ++m_waitingCount;
    }
  }
  if (worker != nullptr)
    worker->begin(transfer);
  return transfer;
}

void ZPHNetworkAccessPool::transferEnded(const ZPHNetworkTransfer* transfer)
{
  std::shared_ptr<ZPHNetworkTransfer> next;
  ZPHNetworkAccessWorker* worker = nullptr;
  {
    QMutexLocker locker(&m_mutex);
    const QString& key = transfer->m_hostKey;
    auto running = m_runningPerHost.find(key);
    if (running != m_runningPerHost.end() && --running.value() <= 0)
      m_runningPerHost.erase(running);
    auto waiting = m_waitingPerHost.find(key);
    while (waiting != m_waitingPerHost.end() && !waiting->empty() && !next) {
      std::shared_ptr<ZPHNetworkTransfer> candidate = std::move(waiting->front());
      waiting->pop_front();
      --m_waitingCount;
      if (!candidate->isAbandoned())
        next = std::move(candidate);
    }
    if (waiting != m_waitingPerHost.end() && waiting->empty())
      m_waitingPerHost.erase(waiting);
    if (next) {
      if (m_stopped) {
        failStopped(*next);
        return;
      }
      int& count = m_runningPerHost[key];
      ++count;
      m_mostPerHost = std::max(m_mostPerHost, count);
      worker = leastBusyWorker();
    }
  }
  if (next)
    worker->begin(next);
}

void ZPHNetworkAccessPool::failStopped(ZPHNetworkTransfer& transfer)
{
  ZPHNetworkTransfer::Event event;
  event.type = ZPHNetworkTransfer::Event::Finished;
  event.error = QNetworkReply::OperationCanceledError;
  event.errorString = QStringLiteral("The network workers stopped.");
  event.abortReason = ZPHNetworkTransfer::AbortReason::PoolStopped;
  transfer.push(std::move(event));
}

ZPHNetworkAccessWorker* ZPHNetworkAccessPool::leastBusyWorker() const
{
  ZPHNetworkAccessWorker* chosen = m_workers.front().get();
  for (const std::unique_ptr<ZPHNetworkAccessWorker>& worker : m_workers) {
    if (worker->running() < chosen->running())
      chosen = worker.get();
  }
  return chosen;
}

int ZPHNetworkAccessPool::workerCount() const
{
  QMutexLocker locker(&m_mutex);
  return int(m_workers.size());
}

int ZPHNetworkAccessPool::runningTransferCount() const
{
  QMutexLocker locker(&m_mutex);
  int count = 0;
  for (const std::unique_ptr<ZPHNetworkAccessWorker>& worker : m_workers) count += worker->running();
  return count;
}

int ZPHNetworkAccessPool::waitingTransferCount() const
{
  QMutexLocker locker(&m_mutex);
  return m_waitingCount;
}

int ZPHNetworkAccessPool::mostTransfersPerHost() const
{
  QMutexLocker locker(&m_mutex);
  return m_mostPerHost;
}

int ZPHNetworkAccessPool::managersMade() const { return m_managersMade.load(); }

void ZPHNetworkAccessPool::stop()
{
  QList<std::shared_ptr<ZPHNetworkTransfer>> waiting;
  {
    QMutexLocker locker(&m_mutex);
    if (m_stopped)
      return;
    m_stopped = true;
    for (auto& queue : m_waitingPerHost) {
      for (std::shared_ptr<ZPHNetworkTransfer>& transfer : queue) waiting.append(std::move(transfer));
    }
    m_waitingPerHost.clear();
    m_waitingCount = 0;
  }
  for (const std::shared_ptr<ZPHNetworkTransfer>& transfer : waiting) failStopped(*transfer);
  // Workers are stopped outside the lock: their ending transfers report back.
  for (const std::unique_ptr<ZPHNetworkAccessWorker>& worker : m_workers) worker->stopAndWait();
}
