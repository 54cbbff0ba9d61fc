#pragma once

// Qt kind: none (a log category).

#include <QtCore/QLoggingCategory>

// The logging category of the web views, their pages and the internal
// schemes ("zephlin.web"). Lines go through the core's message handler.
Q_DECLARE_LOGGING_CATEGORY(zphWeb)
