#pragma once

// Runs the real zephlin program, as a user would start it.

#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QProcess>

#include <csignal>
#include <utility>

// One run of the zephlin program, headless, with its log collected.
class Program {
public:
  // `variables` are set in the program's environment, after the rest.
  Program(const QString& dataDirectory, const QStringList& extraArguments = {},
          const QString& workingDirectory = QString(), const QList<std::pair<QString, QString>>& variables = {})
  {
    if (!workingDirectory.isEmpty())
      m_process.setWorkingDirectory(workingDirectory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("ZEPHLIN_DATA_DIR"));
    for (const auto& [name, value] : variables) environment.insert(name, value);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead, [this] { m_log += m_process.readAll(); });
    m_process.start(programPath(), QStringList{QStringLiteral("--data-dir"), dataDirectory} + extraArguments);
  }
  ~Program()
  {
    if (m_process.state() != QProcess::NotRunning) {
      m_process.kill();
      m_process.waitForFinished(10000);
    }
  }

  static QString programPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/zephlin"); }

  bool waitForLog(const char* text, int timeoutMs = 60000)
  {
    return ZPHTestWaitUntil([&] { return m_log.contains(text) || m_process.state() == QProcess::NotRunning; },
                            timeoutMs) &&
           m_log.contains(text);
  }
  bool waitForExit(int timeoutMs = 60000)
  {
    return ZPHTestWaitUntil([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
  }
  void signal(int signalNumber) { ::kill(pid_t(m_process.processId()), signalNumber); }

  QByteArray log() const { return m_log; }
  int exitCode() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }

private:
  QProcess m_process;
  QByteArray m_log;
};
