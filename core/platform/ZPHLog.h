#pragma once

#include <QtCore/QLoggingCategory>

// Logging categories of the core library. Lines go through Qt's logging; the
// handler installed by ZPHInstallLogHandler() starts each line with the
// calling function's name and writes it to the terminal and to syslog.
Q_DECLARE_LOGGING_CATEGORY(zphCore)
Q_DECLARE_LOGGING_CATEGORY(zphStore)
Q_DECLARE_LOGGING_CATEGORY(zphFeeds)
Q_DECLARE_LOGGING_CATEGORY(zphNetwork)
Q_DECLARE_LOGGING_CATEGORY(zphSync)

// Installs the message handler for the process. `ident` names the program in
// syslog; pass useSyslog = false to keep the terminal only (tests).
void ZPHInstallLogHandler(const char* ident, bool useSyslog = true);

// "void Foo::bar(int) const" -> "Foo::bar".
QByteArray ZPHShortFunctionName(const char* function);
