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
  // The store file and its log: what each of the check's two parts reads.
  long long fileBytes = 1;
  std::atomic<long long> bytesRead{0};
  // What was read when the second part (the rows and their indexes) began,
  // -1 before. The first part, the walk over every page, is one step of
  // the check's program: the step after it comes once much has been read.
  std::atomic<long long> secondPartFrom{-1};
  long long readAtLastStep = 0;  // the check's thread
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
        [](void* self) {
          State* state = static_cast<State*>(self);
          const long long read = state->bytesRead.load(std::memory_order_relaxed);
          if (read - state->readAtLastStep > state->fileBytes / 4 && state->secondPartFrom.load() < 0)
            state->secondPartFrom = read;
          state->readAtLastStep = read;
          return state->cancelled.load(std::memory_order_relaxed) ? 1 : 0;
        },
        this);
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
  m_state->fileBytes = std::max<long long>(1, std::max<qint64>(file, 0) + std::max<qint64>(log, 0));
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
  // What each part has read of the file. The walk reads the file in the
  // order of its trees, the second part mostly what the walk has just
  // brought into memory: from a cold disk the walk takes about nine tenths
  // of the time (1.7 GB: 12 of 13.6 s), with the file in memory about half.
  constexpr double FirstPartShare = 0.8;
  if (m_state->ended.load())
    return 1.0;
  const long long read = m_state->bytesRead.load();
  const long long secondFrom = m_state->secondPartFrom.load();
  const auto part = [this](long long bytes) {
    return std::clamp(double(bytes) / double(m_state->fileBytes), 0.0, 1.0);
  };
  const double done =
      secondFrom < 0 ? FirstPartShare * part(read) : FirstPartShare + (1.0 - FirstPartShare) * part(read - secondFrom);
  return std::min(done, 0.99);
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
