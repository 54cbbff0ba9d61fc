#pragma once

#include <QtCore/QLoggingCategory>

// The application shell's log lines: start-up, quit, the store's failures.
Q_DECLARE_LOGGING_CATEGORY(zphShell)
