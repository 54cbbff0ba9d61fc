#include "store/graph/ZPHSQLiteLogVFS.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace {

// How much of a log is gathered before it is written anyway.
constexpr size_t GatherLimit = 1024 * 1024;

struct LogFile;

std::atomic<ZPHSQLiteLogVFSWriteHook*> writeHook{nullptr};

// ZPHSQLiteLogVFSMillisecondsPerPageWritten(), or -1 before the first write.
// Writes on several threads may each miss another's sample: an average
// needs no more.
std::atomic<double> millisecondsPerPage{-1};

// Every file this layer opens itself (a main database or a log) begins with
// one of these; the file of the layer below follows it in the same memory.
struct FileBase {
  sqlite3_file base;    // must come first: SQLite sees only this
  sqlite3_file* lower;  // the file of the layer below
};

struct MainFile : FileBase {
  const char* name;                             // SQLite's own string, shared with its log's name
  LogFile* log = nullptr;                       // the log of the same connection, once open
  std::atomic<long long>* bytesRead = nullptr;  // ZPHSQLiteLogVFSCountReads
};

void countRead(MainFile* main, int amount)
{
  if (main != nullptr && main->bytesRead != nullptr)
    main->bytesRead->fetch_add(amount, std::memory_order_relaxed);
}

struct LogFile : FileBase {
  MainFile* main = nullptr;  // null when no main file was found: nothing gathered
  std::vector<char> gathered;
  sqlite3_int64 gatheredAt = 0;  // the log offset of gathered[0]
  bool commitPageNext = false;   // the last write gathered was a commit's frame header
};

sqlite3_vfs* lowerVFS(sqlite3_vfs* vfs) { return static_cast<sqlite3_vfs*>(vfs->pAppData); }
sqlite3_file* lowerFile(sqlite3_file* file) { return reinterpret_cast<FileBase*>(file)->lower; }

// The system's reason for this thread's last write that failed.
thread_local int t_failedWriteErrno = 0;

// A write handed to the layer below (every write to a store file or its
// log goes through here): its reason noted when it fails (the default layer
// tells SQLite only that it failed), and the time it took measured.
int writeDown(sqlite3_file* lower, const void* data, int amount, sqlite3_int64 offset)
{
  constexpr double PageSize = 8192;
  constexpr double SampleWeight = 1.0 / 8;
  const auto start = std::chrono::steady_clock::now();
  if (ZPHSQLiteLogVFSWriteHook* hook = writeHook.load(std::memory_order_acquire))
    hook->willWrite(amount);
  errno = 0;
  const int rc = lower->pMethods->xWrite(lower, data, amount, offset);
  if (rc != SQLITE_OK)
    t_failedWriteErrno = (rc & 0xff) == SQLITE_FULL ? ENOSPC : errno;
  const double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const double sample = took / std::max(1.0, double(amount) / PageSize);
  const double average = millisecondsPerPage.load(std::memory_order_relaxed);
  millisecondsPerPage.store(average < 0 ? sample : average + (sample - average) * SampleWeight,
                            std::memory_order_relaxed);
  return rc;
}

// The main files open through this layer, by the name SQLite gave them: a
// log is paired with the main file whose name its own name was made from.
// Never destroyed: connections close on threads that end after the
// process's static objects are gone.
std::mutex& mainFilesMutex()
{
  static std::mutex* const mutex = new std::mutex;
  return *mutex;
}

std::vector<MainFile*>& mainFiles()
{
  static std::vector<MainFile*>* const files = new std::vector<MainFile*>;
  return *files;
}

// Writes what was gathered. What could not be written stays gathered, to
// be written (and its error reported) by the next operation on the log.
int writeGathered(LogFile* log)
{
  // The default layer writes less than 128 KiB a call.
  constexpr size_t Piece = 120 * 1024;
  sqlite3_file* lower = log->lower;
  int rc = SQLITE_OK;
  size_t written = 0;
  while (written < log->gathered.size()) {
    const size_t amount = std::min(Piece, log->gathered.size() - written);
    rc = writeDown(lower, log->gathered.data() + written, int(amount), log->gatheredAt + sqlite3_int64(written));
    if (rc != SQLITE_OK)
      break;
    written += amount;
  }
  log->gathered.erase(log->gathered.begin(), log->gathered.begin() + std::ptrdiff_t(written));
  log->gatheredAt += sqlite3_int64(written);
  return rc;
}

int writeGatheredOfMain(sqlite3_file* file)
{
  MainFile* main = static_cast<MainFile*>(reinterpret_cast<FileBase*>(file));
  return main->log != nullptr ? writeGathered(main->log) : SQLITE_OK;
}

// ---- methods shared by both kinds of file: handed down -----------------

int lowerLock(sqlite3_file* file, int lock) { return lowerFile(file)->pMethods->xLock(lowerFile(file), lock); }
int lowerUnlock(sqlite3_file* file, int lock) { return lowerFile(file)->pMethods->xUnlock(lowerFile(file), lock); }
int lowerCheckReservedLock(sqlite3_file* file, int* out)
{
  return lowerFile(file)->pMethods->xCheckReservedLock(lowerFile(file), out);
}
int lowerSectorSize(sqlite3_file* file) { return lowerFile(file)->pMethods->xSectorSize(lowerFile(file)); }
int lowerDeviceCharacteristics(sqlite3_file* file)
{
  return lowerFile(file)->pMethods->xDeviceCharacteristics(lowerFile(file));
}

// ---- the main database file ---------------------------------------------

int mainClose(sqlite3_file* file)
{
  MainFile* main = static_cast<MainFile*>(reinterpret_cast<FileBase*>(file));
  writeGatheredOfMain(file);
  {
    std::lock_guard<std::mutex> locker(mainFilesMutex());
    std::erase(mainFiles(), main);
    if (main->log != nullptr)
      main->log->main = nullptr;
  }
  sqlite3_file* lower = main->lower;
  const int rc = lower->pMethods != nullptr ? lower->pMethods->xClose(lower) : SQLITE_OK;
  main->~MainFile();
  return rc;
}

int mainRead(sqlite3_file* file, void* data, int amount, sqlite3_int64 offset)
{
  countRead(static_cast<MainFile*>(reinterpret_cast<FileBase*>(file)), amount);
  return lowerFile(file)->pMethods->xRead(lowerFile(file), data, amount, offset);
}
int mainWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
  return writeDown(lowerFile(file), data, amount, offset);
}
int mainTruncate(sqlite3_file* file, sqlite3_int64 size)
{
  return lowerFile(file)->pMethods->xTruncate(lowerFile(file), size);
}
int mainSync(sqlite3_file* file, int flags) { return lowerFile(file)->pMethods->xSync(lowerFile(file), flags); }
int mainFileSize(sqlite3_file* file, sqlite3_int64* size)
{
  return lowerFile(file)->pMethods->xFileSize(lowerFile(file), size);
}
int mainFileControl(sqlite3_file* file, int op, void* argument)
{
  if (op == ZPHSQLiteLogVFSCountReads) {
    static_cast<MainFile*>(reinterpret_cast<FileBase*>(file))->bytesRead =
        static_cast<std::atomic<long long>*>(argument);
    return SQLITE_OK;
  }
  return lowerFile(file)->pMethods->xFileControl(lowerFile(file), op, argument);
}
int mainShmMap(sqlite3_file* file, int page, int pageSize, int extend, void volatile** out)
{
  return lowerFile(file)->pMethods->xShmMap(lowerFile(file), page, pageSize, extend, out);
}
int mainShmLock(sqlite3_file* file, int offset, int count, int flags)
{
  // Nothing stays gathered once a lock of the shared index is let go. The
  // lock is let go even when the write fails. Letting go of the write lock
  // (lock 0) ends a transaction: what is left of it was never committed (a
  // commit's frames are written with its last frame) and is dropped, since
  // the next writer may write the same part of the log. After any other
  // lock, what failed stays gathered and the log's next operation reports
  // the error.
  if ((flags & SQLITE_SHM_UNLOCK) != 0) {
    MainFile* main = static_cast<MainFile*>(reinterpret_cast<FileBase*>(file));
    if (main->log != nullptr) {
      writeGathered(main->log);
      if (offset == 0) {
        main->log->gathered.clear();
        main->log->commitPageNext = false;
      }
    }
  }
  return lowerFile(file)->pMethods->xShmLock(lowerFile(file), offset, count, flags);
}
void mainShmBarrier(sqlite3_file* file)
{
  // A commit publishes its frames after this barrier. They were written
  // with the commit's last frame already; anything else still gathered is
  // written here too. What fails stays gathered, and the log's next
  // operation writes it again and reports the error.
  writeGatheredOfMain(file);
  lowerFile(file)->pMethods->xShmBarrier(lowerFile(file));
}
int mainShmUnmap(sqlite3_file* file, int deleteFlag)
{
  writeGatheredOfMain(file);
  return lowerFile(file)->pMethods->xShmUnmap(lowerFile(file), deleteFlag);
}
int mainFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out)
{
  return lowerFile(file)->pMethods->xFetch(lowerFile(file), offset, amount, out);
}
int mainUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page)
{
  return lowerFile(file)->pMethods->xUnfetch(lowerFile(file), offset, page);
}

// ---- the write-ahead log --------------------------------------------------

int logClose(sqlite3_file* file)
{
  LogFile* log = static_cast<LogFile*>(reinterpret_cast<FileBase*>(file));
  int rc = writeGathered(log);
  {
    std::lock_guard<std::mutex> locker(mainFilesMutex());
    if (log->main != nullptr)
      log->main->log = nullptr;
  }
  sqlite3_file* lower = log->lower;
  const int closed = lower->pMethods != nullptr ? lower->pMethods->xClose(lower) : SQLITE_OK;
  log->~LogFile();
  return rc != SQLITE_OK ? rc : closed;
}

int logRead(sqlite3_file* file, void* data, int amount, sqlite3_int64 offset)
{
  LogFile* log = static_cast<LogFile*>(reinterpret_cast<FileBase*>(file));
  const int rc = writeGathered(log);
  if (rc != SQLITE_OK)
    return rc;
  countRead(log->main, amount);
  return log->lower->pMethods->xRead(log->lower, data, amount, offset);
}

// A frame of the log is a header of 24 bytes and a page. Bytes 4 to 7 of
// the header hold the database's size after the commit in the last frame
// of a commit, and zero in every other frame.
constexpr int FrameHeaderSize = 24;
constexpr int LogHeaderSize = 32;

bool isCommitFrameHeader(const void* data, int amount)
{
  const auto* bytes = static_cast<const unsigned char*>(data);
  return amount == FrameHeaderSize && (bytes[4] | bytes[5] | bytes[6] | bytes[7]) != 0;
}

int logWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
  LogFile* log = static_cast<LogFile*>(reinterpret_cast<FileBase*>(file));
  if (log->main == nullptr)
    return writeDown(log->lower, data, amount, offset);
  const char* bytes = static_cast<const char*>(data);
  const bool follows = !log->gathered.empty() && offset == log->gatheredAt + sqlite3_int64(log->gathered.size());
  if (follows && log->gathered.size() + size_t(amount) <= GatherLimit) {
    log->gathered.insert(log->gathered.end(), bytes, bytes + amount);
    // A commit's last frame is written before the write returns, so that
    // an error fails the commit, and nothing of a commit is left gathered
    // when it is published.
    if (log->commitPageNext) {
      log->commitPageNext = false;
      return writeGathered(log);
    }
    log->commitPageNext = isCommitFrameHeader(data, amount);
    return SQLITE_OK;
  }
  // Anything else first writes what was gathered.
  log->commitPageNext = false;
  const int rc = writeGathered(log);
  if (rc != SQLITE_OK)
    return rc;
  // A run is gathered from the log's header or from the header of a frame
  // that does not end a commit; any other write (a page written again in
  // place, a header written again with its checksum, a commit of one page)
  // goes down at once.
  const bool startsRun =
      (amount == FrameHeaderSize && !isCommitFrameHeader(data, amount)) || (offset == 0 && amount == LogHeaderSize);
  if (!startsRun)
    return writeDown(log->lower, data, amount, offset);
  log->gathered.reserve(GatherLimit);
  log->gatheredAt = offset;
  log->gathered.insert(log->gathered.end(), bytes, bytes + amount);
  return SQLITE_OK;
}

template <typename Call>
int afterWritingGathered(sqlite3_file* file, Call call)
{
  LogFile* log = static_cast<LogFile*>(reinterpret_cast<FileBase*>(file));
  const int rc = writeGathered(log);
  if (rc != SQLITE_OK)
    return rc;
  return call(log->lower);
}

int logTruncate(sqlite3_file* file, sqlite3_int64 size)
{
  return afterWritingGathered(file, [size](sqlite3_file* lower) { return lower->pMethods->xTruncate(lower, size); });
}
int logSync(sqlite3_file* file, int flags)
{
  return afterWritingGathered(file, [flags](sqlite3_file* lower) { return lower->pMethods->xSync(lower, flags); });
}
int logFileSize(sqlite3_file* file, sqlite3_int64* size)
{
  return afterWritingGathered(file, [size](sqlite3_file* lower) { return lower->pMethods->xFileSize(lower, size); });
}
int logFileControl(sqlite3_file* file, int op, void* argument)
{
  return afterWritingGathered(
      file, [op, argument](sqlite3_file* lower) { return lower->pMethods->xFileControl(lower, op, argument); });
}

// Version 1 methods: a log has no shared index and no memory map of its own.
const sqlite3_io_methods LogMethods = {
    1,
    logClose,
    logRead,
    logWrite,
    logTruncate,
    logSync,
    logFileSize,
    lowerLock,
    lowerUnlock,
    lowerCheckReservedLock,
    logFileControl,
    lowerSectorSize,
    lowerDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

const sqlite3_io_methods MainMethods = {
    3,
    mainClose,
    mainRead,
    mainWrite,
    mainTruncate,
    mainSync,
    mainFileSize,
    lowerLock,
    lowerUnlock,
    lowerCheckReservedLock,
    mainFileControl,
    lowerSectorSize,
    lowerDeviceCharacteristics,
    mainShmMap,
    mainShmLock,
    mainShmBarrier,
    mainShmUnmap,
    mainFetch,
    mainUnfetch,
};

// The memory of one of our files: ours, then the lower layer's.
constexpr size_t ownFileSize()
{
  constexpr size_t largest = sizeof(MainFile) > sizeof(LogFile) ? sizeof(MainFile) : sizeof(LogFile);
  return (largest + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
}

sqlite3_file* lowerFileMemory(void* file)
{
  return reinterpret_cast<sqlite3_file*>(static_cast<char*>(file) + ownFileSize());
}

int openFile(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags)
{
  sqlite3_vfs* lower = lowerVFS(vfs);
  const bool isMain = (flags & SQLITE_OPEN_MAIN_DB) != 0;
  const bool isLog = (flags & SQLITE_OPEN_WAL) != 0;
  if ((!isMain && !isLog) || name == nullptr) {
    // Anything else is the lower layer's own file, with its own methods.
    return lower->xOpen(lower, name, file, flags, outFlags);
  }
  if (isMain) {
    MainFile* main = new (file) MainFile;
    main->base.pMethods = nullptr;
    main->lower = lowerFileMemory(main);
    main->name = name;
    const int rc = lower->xOpen(lower, name, main->lower, flags, outFlags);
    if (rc != SQLITE_OK) {
      main->~MainFile();
      file->pMethods = nullptr;
      return rc;
    }
    {
      std::lock_guard<std::mutex> locker(mainFilesMutex());
      mainFiles().push_back(main);
    }
    main->base.pMethods = &MainMethods;
    return SQLITE_OK;
  }
  LogFile* log = new (file) LogFile;
  log->base.pMethods = nullptr;
  log->lower = lowerFileMemory(log);
  const int rc = lower->xOpen(lower, name, log->lower, flags, outFlags);
  if (rc != SQLITE_OK) {
    log->~LogFile();
    file->pMethods = nullptr;
    return rc;
  }
  {
    // SQLite makes a log's name in the same memory as its database's name,
    // and hands the main file that very string: the pair is found by it. A
    // log whose main file is not found gathers nothing.
    const char* database = sqlite3_filename_database(name);
    std::lock_guard<std::mutex> locker(mainFilesMutex());
    for (MainFile* main : mainFiles()) {
      if (main->name == database && main->log == nullptr) {
        main->log = log;
        log->main = main;
        break;
      }
    }
  }
  log->base.pMethods = &LogMethods;
  return SQLITE_OK;
}

// ---- the rest of the layer: handed down -----------------------------------

int deleteFile(sqlite3_vfs* vfs, const char* name, int syncDirectory)
{
  return lowerVFS(vfs)->xDelete(lowerVFS(vfs), name, syncDirectory);
}
int access(sqlite3_vfs* vfs, const char* name, int flags, int* out)
{
  return lowerVFS(vfs)->xAccess(lowerVFS(vfs), name, flags, out);
}
int fullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out)
{
  return lowerVFS(vfs)->xFullPathname(lowerVFS(vfs), name, size, out);
}
void* dlOpen(sqlite3_vfs* vfs, const char* name) { return lowerVFS(vfs)->xDlOpen(lowerVFS(vfs), name); }
void dlError(sqlite3_vfs* vfs, int size, char* out) { lowerVFS(vfs)->xDlError(lowerVFS(vfs), size, out); }
void (*dlSym(sqlite3_vfs* vfs, void* library, const char* symbol))(void)
{
  return lowerVFS(vfs)->xDlSym(lowerVFS(vfs), library, symbol);
}
void dlClose(sqlite3_vfs* vfs, void* library) { lowerVFS(vfs)->xDlClose(lowerVFS(vfs), library); }
int randomness(sqlite3_vfs* vfs, int size, char* out) { return lowerVFS(vfs)->xRandomness(lowerVFS(vfs), size, out); }
int sleepFor(sqlite3_vfs* vfs, int microseconds) { return lowerVFS(vfs)->xSleep(lowerVFS(vfs), microseconds); }
int currentTime(sqlite3_vfs* vfs, double* out) { return lowerVFS(vfs)->xCurrentTime(lowerVFS(vfs), out); }
int lastError(sqlite3_vfs* vfs, int size, char* out) { return lowerVFS(vfs)->xGetLastError(lowerVFS(vfs), size, out); }
int currentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out)
{
  return lowerVFS(vfs)->xCurrentTimeInt64(lowerVFS(vfs), out);
}

}  // namespace

int ZPHSQLiteLogVFSTakeFailedWriteErrno() { return std::exchange(t_failedWriteErrno, 0); }

const char* ZPHSQLiteLogVFSName()
{
  static const char* const name = [] {
    static sqlite3_vfs layer;
    sqlite3_vfs* lower = sqlite3_vfs_find(nullptr);
    layer.iVersion = 2;
    layer.szOsFile = int(ownFileSize()) + lower->szOsFile;
    layer.mxPathname = lower->mxPathname;
    layer.zName = "zph-gathered-log";
    layer.pAppData = lower;
    layer.xOpen = openFile;
    layer.xDelete = deleteFile;
    layer.xAccess = access;
    layer.xFullPathname = fullPathname;
    layer.xDlOpen = dlOpen;
    layer.xDlError = dlError;
    layer.xDlSym = dlSym;
    layer.xDlClose = dlClose;
    layer.xRandomness = randomness;
    layer.xSleep = sleepFor;
    layer.xCurrentTime = currentTime;
    layer.xGetLastError = lastError;
    layer.xCurrentTimeInt64 = currentTimeInt64;
    if (sqlite3_vfs_register(&layer, 0) != SQLITE_OK)
      return static_cast<const char*>(nullptr);
    return layer.zName;
  }();
  return name;
}

double ZPHSQLiteLogVFSMillisecondsPerPageWritten() { return std::max(0.0, millisecondsPerPage.load()); }

void ZPHSQLiteLogVFSSetWriteHook(ZPHSQLiteLogVFSWriteHook* hook) { writeHook.store(hook, std::memory_order_release); }
