#pragma once

// Qt kind: none (functions).

#include <QtCore/QString>

class QAction;
class QWidget;

// Commands that a view sends "to whoever answers them": the window's
// controllers offer them as QActions named after the command's selector
// ("toggleFlagged:", "zph_makeTextLarger:", …) in the window's tree. A view
// finds the window's action by name, asks whether it is enabled, and
// triggers it.

// The enabled action of that name in the widget's window; null when the
// window offers none (or no enabled one).
QAction* zph_windowActionNamed(const QWidget* widget, const QString& name);
// Triggers it; false when there is none.
bool zph_sendWindowAction(const QWidget* widget, const QString& name);
