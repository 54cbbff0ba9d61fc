#pragma once

// Qt kind: none (a value type).

#include <QtCore/QString>
#include <QtCore/QStringList>

class QWidget;

// An alert the application shows: a message, an informative text and its
// buttons, the first of them the default. run() shows it application-modal
// and answers the index of the button pressed.
struct ZPHAlert {
  enum class Style { Informational, Warning, Critical };

  Style style = Style::Warning;
  QString messageText;
  QString informativeText;
  QStringList buttons;  // none: one "OK" button

  // Application-modal, with a nested event loop: the caller goes on once
  // the user answered. Any text is shown as plain text.
  static int run(const ZPHAlert& alert);
};
