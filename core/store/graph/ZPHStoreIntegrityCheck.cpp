#include "store/graph/ZPHStoreIntegrityCheck.h"

#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHSQLiteConnection.h"
#include "store/graph/ZPHSQLiteLogVFS.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

std::mutex g_hookMutex;
std::function<void()> g_willCheckHook;

}  // namespace

struct ZPHStoreIntegrityCheck::State {
  QString path;
  // About twice the store file and its log.
  long long bytesToRead = 1;
  std::atomic<long long> bytesRead{0};
  std::atomic<bool> ended{false};
  std::atomic<bool> cancelled{false};
  // The connection while the check runs on it, for cancel().
  std::mutex mutex;
  sqlite3* running = nullptr;
  std::atomic<bool> abandoned{false};  // the owner went away
  std::thread thread;

  void run(const Completion& completion, const std::shared_ptr<State>& self);
};

void ZPHStoreIntegrityCheck::State::run(const Completion& completion, const std::shared_ptr<State>& self)
{
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> locker(g_hookMutex);
    hook = g_willCheckHook;
  }
  if (hook)
    hook();
  QElapsedTimer clock;
  clock.start();
  ZPHError error;
  std::unique_ptr<ZPHSQLiteConnection> connection = ZPHSQLiteConnection::open(path, false, &error);
  if (connection != nullptr) {
    // A look leaves the files as they are.
    connection->keepLogOnClose();
    sqlite3_file_control(connection->handle(), "main", ZPHSQLiteLogVFSCountReads, &bytesRead);
    // A stop ends the check: before it begins, at its next step (the
    // handler costs next to nothing), or in the middle of a long one (the
    // interrupt).
    sqlite3_progress_handler(
        connection->handle(), 1,
        [](void* flag) { return static_cast<std::atomic<bool>*>(flag)->load(std::memory_order_relaxed) ? 1 : 0; },
        &cancelled);
    {
      std::lock_guard<std::mutex> locker(mutex);
      running = connection->handle();
    }
    if (ZPHPersistentStore::checkIntegrityOfConnection(connection.get(), &error))
      error = ZPHError();
    {
      std::lock_guard<std::mutex> locker(mutex);
      running = nullptr;
    }
    sqlite3_file_control(connection->handle(), "main", ZPHSQLiteLogVFSCountReads, nullptr);
    sqlite3_progress_handler(connection->handle(), 0, nullptr, nullptr);
    connection.reset();
  } else {
    qCCritical(zphStore) << "cannot open the store to check it:" << error.toString();
  }
  qCInfo(zphStore).noquote() << QStringLiteral("the integrity check %1 after %2 ms, having read %3 MB")
                                    .arg(cancelled.load() ? QStringLiteral("stopped")
                                         : error.isNull() ? QStringLiteral("passed")
                                                          : QStringLiteral("failed"))
                                    .arg(clock.elapsed())
                                    .arg(bytesRead.load() / (1024 * 1024));
  ended = true;
  ZPHMainThread::async([self, completion, error] {
    if (!self->abandoned && completion)
      completion(error);
  });
}

ZPHStoreIntegrityCheck::ZPHStoreIntegrityCheck(const QString& path, Completion completion)
    : m_state(std::make_shared<State>())
{
  m_state->path = path;
  const qint64 file = QFileInfo(path).size();
  const qint64 log = QFileInfo(path + QStringLiteral("-wal")).size();
  m_state->bytesToRead = std::max<long long>(1, 2 * (std::max<qint64>(file, 0) + std::max<qint64>(log, 0)));
  std::shared_ptr<State> state = m_state;
  m_state->thread = std::thread([state, completion = std::move(completion)] { state->run(completion, state); });
}

ZPHStoreIntegrityCheck::~ZPHStoreIntegrityCheck()
{
  m_state->abandoned = true;
  cancel();
  if (m_state->thread.joinable())
    m_state->thread.join();
}

double ZPHStoreIntegrityCheck::progress() const
{
  if (m_state->ended.load())
    return 1.0;
  const double read = double(m_state->bytesRead.load()) / double(m_state->bytesToRead);
  return std::clamp(read, 0.0, 0.99);
}

void ZPHStoreIntegrityCheck::cancel()
{
  m_state->cancelled = true;
  std::lock_guard<std::mutex> locker(m_state->mutex);
  if (m_state->running != nullptr)
    sqlite3_interrupt(m_state->running);
}

bool ZPHStoreIntegrityCheck::wasCancelled() const { return m_state->cancelled.load(); }

void ZPHStoreIntegrityCheck::setWillCheckHook(std::function<void()> hook)
{
  std::lock_guard<std::mutex> locker(g_hookMutex);
  g_willCheckHook = std::move(hook);
}
