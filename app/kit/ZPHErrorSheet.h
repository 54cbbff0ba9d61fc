#pragma once

// Qt kind: none (static functions).

class QMessageBox;
class QWidget;
class ZPHError;

// Shows an error to the user as a sheet: a window-modal message box on a
// window, opened without a nested event loop.
class ZPHErrorSheet {
public:
  // The box shows the error's description and, under it, its recovery
  // suggestion, both as plain text. With recovery options and a recovery
  // attempter it has one button per option, in their order, and the button
  // of option i asks the attempter to recover with option i; otherwise it
  // has OK alone. The box belongs to `window`'s window and deletes itself
  // when closed. Answers the box; null for a null error or no window.
  static QMessageBox* present(QWidget* window, const ZPHError& error);
};
