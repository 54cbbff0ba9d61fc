#pragma once

// Qt kind: none (functions).

#include <QtCore/QString>

// A tool tip that shows `text` exactly as it is. Qt guesses whether a tool
// tip is markup, so a feed name or a server's message such as "<b>x</b>"
// would be rendered; this wraps the escaped text in markup that keeps its
// spaces and line breaks. An empty text gives an empty tool tip (none).
QString ZPHPlainTextToolTip(const QString& text);
