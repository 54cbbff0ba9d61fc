#pragma once

// Qt kind: QObject.

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <functional>

class QAction;
class QWidget;

// The application's keys in every window of the program, not only in the
// main window: as another window of ours becomes the active one (the
// preferences, the Add Site window, an alert), the application's commands
// become its actions too, so Ctrl+Q, Ctrl+N or Ctrl+Shift+I act there as in
// the main window. Commands that act on the window their key is pressed in
// (closing it, full screen) stay the main window's; popups get none.
//
// Made by the application delegate, its child. Main thread.
class ZPHApplicationKeys : public QObject {
  Q_OBJECT

public:
  // `commands`: the application's commands now; `mainWindow`: the main
  // window (null before it is built).
  ZPHApplicationKeys(std::function<QList<QAction*>()> commands, std::function<QWidget*()> mainWindow,
                     QObject* parent = nullptr);

  // Whether the command acts on the window its key is pressed in.
  static bool actsOnItsWindow(const QString& selector);

private:
  void activeWindowChanged();

  std::function<QList<QAction*>()> m_commands;
  std::function<QWidget*()> m_mainWindow;
};
