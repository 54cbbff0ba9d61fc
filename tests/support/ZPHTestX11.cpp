#include "support/ZPHTestX11.h"

#include "support/ZPHTestSupport.h"

#include <QtCore/QProcessEnvironment>
#include <QtCore/QStandardPaths>

#include <sys/prctl.h>
#include <csignal>
#include <cstdio>

namespace ZPHTestX11 {

QString tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }

void endsWithThisProgram(QProcess& process)
{
  process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

std::optional<QByteArray> runTool(const QString& display, const char* name, const QStringList& arguments, int timeoutMs,
                                  bool reportFailure)
{
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DISPLAY"), display);
  process.setProcessEnvironment(environment);
  process.start(tool(name), arguments);
  if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    if (reportFailure)
      std::fprintf(stderr, "%s %s failed: %s\n", name, qPrintable(arguments.join(QLatin1Char(' '))),
                   process.readAllStandardError().constData());
    return std::nullopt;
  }
  return process.readAllStandardOutput();
}

bool Display::start(bool withWindowManager)
{
  if (tool("Xvfb").isEmpty())
    return false;
  if (withWindowManager &&
      (tool("openbox").isEmpty() || tool("xdotool").isEmpty() || tool("xwd").isEmpty() || tool("xprop").isEmpty()))
    return false;
  endsWithThisProgram(m_server);
  endsWithThisProgram(m_windowManager);
  m_server.start(tool("Xvfb"), {"-displayfd", "1", "-screen", "0", "1280x900x24", "-nolisten", "tcp", "-noreset"});
  if (!m_server.waitForStarted(10000))
    return false;
  QByteArray number;
  if (!ZPHTestWaitUntil(
          [&] {
            number += m_server.readAllStandardOutput();
            return number.contains('\n') || m_server.state() == QProcess::NotRunning;
          },
          30000) ||
      !number.contains('\n'))
    return false;
  name = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
  if (!withWindowManager)
    return true;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("DISPLAY"), name);
  m_windowManager.setProcessEnvironment(environment);
  m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_windowManager.start(tool("openbox"), {"--sm-disable"});
  if (!m_windowManager.waitForStarted(10000))
    return false;
  // The window manager is up once it names its check window on the root.
  return ZPHTestWaitUntil(
      [&] {
        const std::optional<QByteArray> root =
            runTool(name, "xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, 20000, false);
        return root && root->contains("window id");
      },
      30000);
}

Display::~Display()
{
  for (QProcess* process : {&m_windowManager, &m_server}) {
    if (process->state() != QProcess::NotRunning) {
      process->terminate();
      if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished(5000);
      }
    }
  }
}

}  // namespace ZPHTestX11
