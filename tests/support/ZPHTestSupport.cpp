#include "support/ZPHTestSupport.h"

#include "platform/ZPHMainThread.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

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

bool ZPHTestWaitUntil(const std::function<bool()>& done, int timeoutMs)
{
  return ZPHMainThread::processEventsUntil(done, QDeadlineTimer(timeoutMs));
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
