#include "support/ZPHTestSupport.h"

#include "platform/ZPHMainThread.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QStorageInfo>

#include <atomic>
#include <csignal>
#include <vector>

ZPHTestTempDir::ZPHTestTempDir() : m_dir(QDir::tempPath() + QStringLiteral("/zph-XXXXXX")) {}

QString ZPHTestTempDir::writeFile(const QString& name, const QByteArray& bytes) const
{
  const QString path = filePath(name);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return {};
  file.write(bytes);
  return path;
}

QString ZPHTestReadOnlyFolder(const ZPHTestTempDir& dir)
{
  const QString folder = dir.filePath(QStringLiteral("read-only"));
  QDir().mkpath(folder);
  QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
  QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
  if (!probe.open(QIODevice::WriteOnly))
    return folder;
  probe.close();
  probe.remove();
  return QStringLiteral("/proc/self");
}

namespace {
std::atomic<ZPHTestLogCapture*> g_logCapture{nullptr};
}  // namespace

ZPHTestLogCapture::ZPHTestLogCapture()
{
  Q_ASSERT_X(g_logCapture.load() == nullptr, Q_FUNC_INFO, "one log capture at a time");
  g_logCapture = this;
  m_previous = qInstallMessageHandler(&ZPHTestLogCapture::handle);
}

ZPHTestLogCapture::~ZPHTestLogCapture()
{
  qInstallMessageHandler(m_previous);
  g_logCapture = nullptr;
}

QStringList ZPHTestLogCapture::lines() const
{
  QMutexLocker locker(&m_mutex);
  return m_lines;
}

QStringList ZPHTestLogCapture::linesContaining(const QString& text) const
{
  QStringList found;
  for (const QString& line : lines()) {
    if (line.contains(text))
      found.append(line);
  }
  return found;
}

void ZPHTestLogCapture::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
  ZPHTestLogCapture* capture = g_logCapture.load();
  if (capture == nullptr)
    return;
  {
    QMutexLocker locker(&capture->m_mutex);
    capture->m_lines.append(message);
  }
  if (capture->m_previous != nullptr)
    capture->m_previous(type, context, message);
}

bool ZPHTestWaitUntil(const std::function<bool()>& done, int timeoutMs)
{
  return ZPHMainThread::processEventsUntil(done, QDeadlineTimer(timeoutMs));
}

bool ZPHTestWaitUntilSettled(const std::function<bool()>& done, int timeoutMs)
{
  const QDeadlineTimer deadline(timeoutMs);
  while (ZPHMainThread::processEventsUntil(done, deadline)) {
    QCoreApplication::sendPostedEvents();
    if (done())
      return true;
    if (deadline.hasExpired())
      return false;
  }
  return false;
}

void ZPHTestSpinEventLoop(int ms)
{
  QElapsedTimer timer;
  timer.start();
  ZPHMainThread::processEventsUntil([&] { return timer.elapsed() >= ms; }, QDeadlineTimer(ms + 1000));
}

QByteArray ZPHTestFixture(const QString& relativePath)
{
  QFile file(QStringLiteral(ZPH_FIXTURES_DIR "/") + relativePath);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll();
}

namespace {

std::vector<ZPHTestBeforeApplicationHook>& beforeApplicationHooks()
{
  static std::vector<ZPHTestBeforeApplicationHook> hooks;
  return hooks;
}

}  // namespace

ZPHTestBeforeApplication::ZPHTestBeforeApplication(ZPHTestBeforeApplicationHook hook)
{
  if (hook != nullptr)
    beforeApplicationHooks().push_back(hook);
}

void ZPHTestRunBeforeApplicationHooks()
{
  std::vector<ZPHTestBeforeApplicationHook> hooks;
  hooks.swap(beforeApplicationHooks());
  for (ZPHTestBeforeApplicationHook hook : hooks) hook();
}

ZPHTestFileSizeLimit::ZPHTestFileSizeLimit(qint64 bytes)
{
  getrlimit(RLIMIT_FSIZE, &m_saved);
  m_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = m_saved;
  limit.rlim_cur = rlim_t(bytes);
  m_applied = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

ZPHTestFileSizeLimit::~ZPHTestFileSizeLimit()
{
  setrlimit(RLIMIT_FSIZE, &m_saved);
  std::signal(SIGXFSZ, m_handler);
}

ZPHTestSmallDiskRun ZPHTestRunOnASmallDisk(const char* variable, const QString& filter, int megabytes)
{
  ZPHTestSmallDiskRun run;
  ZPHTestTempDir dir;
  const QString disk = dir.filePath(QStringLiteral("disk"));
  if (!QDir().mkpath(disk))
    return run;
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QString::fromLatin1(variable), disk);
  // The child's leaks are its parent's business: a test it ends early would
  // report what it had not freed yet.
  environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QStringLiteral("unshare"),
              {QStringLiteral("--mount"), QStringLiteral("--map-root-user"), QStringLiteral("--"), QStringLiteral("sh"),
               QStringLiteral("-c"),
               QStringLiteral("mount -t tmpfs -o size=%1m tmpfs \"$0\" || exit 77; exec \"$1\" --gtest_filter=\"$2\"")
                   .arg(megabytes),
               disk, QCoreApplication::applicationFilePath(), filter});
  if (!child.waitForStarted() || !child.waitForFinished(600000)) {
    child.kill();
    child.waitForFinished();
    run.output = child.readAll();
    run.ran = true;
    return run;
  }
  run.output = child.readAll();
  run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
  run.ran = run.exitCode != 77 && run.output.contains("[ RUN      ] " + filter.toUtf8());
  return run;
}

qint64 ZPHTestFillDisk(const QString& folder, qint64 leaveBytes)
{
  QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
  if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return QStorageInfo(folder).bytesAvailable();
  // Large blocks, then smaller ones, down to the last byte the disk takes.
  for (qint64 block = 1024 * 1024; block >= 1; block /= 2) {
    const QByteArray bytes(block, 'f');
    while (true) {
      QStorageInfo disk(folder);
      disk.refresh();
      if (disk.bytesAvailable() - block < leaveBytes || filler.write(bytes) != block)
        break;
    }
  }
  filler.close();
  QStorageInfo disk(folder);
  disk.refresh();
  return disk.bytesAvailable();
}
