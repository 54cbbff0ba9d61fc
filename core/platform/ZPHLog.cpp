#include "platform/ZPHLog.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <syslog.h>
#include <cstdio>

Q_LOGGING_CATEGORY(zphCore, "zephlin.core")
Q_LOGGING_CATEGORY(zphStore, "zephlin.store")
Q_LOGGING_CATEGORY(zphFeeds, "zephlin.feeds")
Q_LOGGING_CATEGORY(zphNetwork, "zephlin.network")
Q_LOGGING_CATEGORY(zphSync, "zephlin.sync")

namespace {

bool g_useSyslog = false;

int syslogPriority(QtMsgType type)
{
  switch (type) {
    case QtDebugMsg:
      return LOG_DEBUG;
    case QtInfoMsg:
      return LOG_INFO;
    case QtWarningMsg:
      return LOG_WARNING;
    case QtCriticalMsg:
      return LOG_ERR;
    case QtFatalMsg:
      return LOG_CRIT;
  }
  return LOG_INFO;
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
  QByteArray line;
  if (context.function != nullptr) {
    line = ZPHShortFunctionName(context.function);
    line += ": ";
  }
  line += message.toUtf8();
  std::fprintf(stderr, "%s\n", line.constData());
  std::fflush(stderr);
  if (g_useSyslog)
    syslog(syslogPriority(type), "%s", line.constData());
}

}  // namespace

QByteArray ZPHShortFunctionName(const char* function)
{
  QByteArray name(function);
  const int paren = name.indexOf('(');
  if (paren >= 0)
    name.truncate(paren);
  // Drop the return type and qualifiers in front of the name.
  int depth = 0;
  for (int i = name.size() - 1; i >= 0; --i) {
    const char c = name.at(i);
    if (c == '>')
      ++depth;
    else if (c == '<')
      --depth;
    else if (c == ' ' && depth == 0)
      return name.mid(i + 1);
  }
  return name;
}

void ZPHInstallLogHandler(const char* ident, bool useSyslog)
{
  g_useSyslog = useSyslog;
  if (useSyslog)
    openlog(ident, LOG_PID, LOG_USER);
  qInstallMessageHandler(handleMessage);
}
