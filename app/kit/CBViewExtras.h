#pragma once

// Qt kind: none (functions).

#include <QtCore/QSizeF>
#include <QtCore/QString>
#include <QtWidgets/QWidget>

class QFont;
class QMessageBox;

// Conveniences for views and windows.

// True while the application is active, the widget's window is the active
// window, and the window's focus widget is the widget or one of its
// ancestors.
bool cb_isOrIsDescendedFromFirstResponder(const QWidget* widget);

// Marks the widget for drawing again.
void setNeedsDisplayToYes(QWidget* widget);

// The first child widget, or null.
QWidget* cb_firstSubview(const QWidget* widget);
// The first direct child widget of that class, or null.
template <class WidgetClass>
WidgetClass* cb_firstSubviewOfClass(const QWidget* widget)
{
  if (widget == nullptr)
    return nullptr;
  for (QObject* child : widget->children()) {
    if (auto* match = qobject_cast<WidgetClass*>(child))
      return match;
  }
  return nullptr;
}

// True when the window exists and is shown.
bool cb_isOpen(const QWidget* window);
// Closes the window when there is one.
void cb_closeWindow(QWidget* window);
// Gives a message box room for its texts: its informative text wraps at no
// less than `width` points, so a short message makes no narrow box whose
// title the desktop cuts and whose text runs over many lines. Before the
// box shows.
void cb_giveMessageBoxRoom(QMessageBox* box, int width = 420);
// Shows the window in front and active; one that was not open yet first
// goes to the middle of its screen (the primary screen when it has none).
void cb_showWindowCentered(QWidget* window);

// The size the text needs when laid out at `width` with `font`: words wrap,
// 2 points of padding on each side, single line spacing. 0 x 0 for an empty
// text or no width.
QSizeF cb_sizeWithFont(const QString& text, const QFont& font, qreal width);
