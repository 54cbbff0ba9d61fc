#pragma once

// Qt kind: none (a log category).

#include <QtCore/QLoggingCategory>

// The log lines of adding sites and folders, imports, exports and backups
// ("zephlin.subscriptions").
Q_DECLARE_LOGGING_CATEGORY(zphSubscriptions)
