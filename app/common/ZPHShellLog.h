#pragma once

// Qt kind: none (a log category).

#include <QtCore/QLoggingCategory>

// The application shell's log lines: start-up, quit, the store's failures.
Q_DECLARE_LOGGING_CATEGORY(zphShell)
