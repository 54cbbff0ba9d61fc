#pragma once

// Qt kind: none (a value type).

#include <QtCore/QPointer>

#include <functional>

class QWidget;

// Where the shell's sheets go and the one-sheet-at-a-time flag, as the
// application gives them to the windows of this room (which may not
// include the application itself).
struct ZPHSheetHost {
  // The main window; null while there is none.
  std::function<QWidget*()> mainWindow;
  // The application's "a modal sheet runs" flag.
  std::function<bool()> runningModalSheet;
  std::function<void(bool)> setRunningModalSheet;

  // The window a question's sheet goes on: the sheet the main window shows
  // (a sheet over it, the topmost), else the main window; null when the
  // main window is missing, hidden or minimised (a question then gets its
  // answer at once).
  QWidget* windowForSheets() const;
  bool isRunningModalSheet() const { return runningModalSheet && runningModalSheet(); }
  void markRunningModalSheet(bool running) const
  {
    if (setRunningModalSheet)
      setRunningModalSheet(running);
  }
};
