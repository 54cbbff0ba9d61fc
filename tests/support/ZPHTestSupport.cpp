#include "support/ZPHTestSupport.h"

#include "platform/ZPHMainThread.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <atomic>
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
