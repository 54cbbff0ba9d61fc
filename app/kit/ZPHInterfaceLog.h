#pragma once

// Qt kind: none (a log category).

#include <QtCore/QLoggingCategory>

// The logging category of the application's interface code (kit, themes and
// the views built on them). Lines go through the core's message handler.
Q_DECLARE_LOGGING_CATEGORY(zphInterface)
