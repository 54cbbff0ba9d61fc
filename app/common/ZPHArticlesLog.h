#pragma once

// Qt kind: none (a log category).

#include <QtCore/QLoggingCategory>

// The logging category of the article view, its rendering and its themes
// ("zephlin.articles"). Lines go through the core's message handler.
Q_DECLARE_LOGGING_CATEGORY(zphArticles)
