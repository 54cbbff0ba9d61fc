#pragma once

// Qt kind: none (static functions).

#include <QtCore/QString>

class QWidget;

// The Edit menu's Cut, Copy, Paste and Select All ("cut:", "copy:",
// "paste:", "selectAll:") on the control that has the window's focus: a
// text field or text area, a web page (its selection, and its editable part
// for Cut and Paste), or a list that selects several rows (Select All only).
// The keys stay the controls' own; the menu runs what the key would.
//
// Main thread.
class ZPHEditCommands {
public:
  enum class Command { Cut, Copy, Paste, SelectAll };

  // The command of a selector; false for another selector.
  static bool commandForSelector(const QString& selector, Command* command);
  // Whether the command can act on `focus` now.
  static bool canPerform(Command command, QWidget* focus);
  // Runs it there; false when it could not.
  static bool perform(Command command, QWidget* focus);
};
