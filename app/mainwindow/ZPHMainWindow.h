#pragma once

// Qt kind: QWidget (QMainWindow).

#include "common/ZPHApplicationNotifications.h"
#include "keys/ZPHMainWindowKeyTable.h"
#include "mainwindow/ZPHActiveTrackingWindow.h"

#include <QtCore/QPointer>

#include <functional>

class QKeyEvent;
class ZPHMainWindowKeyDelegate;

// Posted when the focus moved to another view of the main window; object:
// the window (QWidget*).
extern const QString CBMainResponderDidChangeNotification;  // same text
// Posted around addChildWindow() (ZPHMainWindowChildWindowWillAddNotification,
// ZPHMainWindowChildWindowDidAddNotification of common/).
// Posted for each left mouse press in the window while fireClickEvents() is
// on, before the press is delivered; object: the position in the window
// (QPointF).
extern const QString ZPHSharingHitTestWindowClickEvent;  // "kFRNHSharingHitTestWindowClickEvent"

// The single reader window. Every key pressed in it passes its key tables
// first (ZPHMainWindowKeyTable), through one application-wide event filter,
// after the menus' shortcuts and before the focused view: single keys while
// the shortcut set asks for them, and the controller's own keys. Keys never
// act while the focus is in editable text (a text field, a text area,
// editable content of a web page) or in another window. The controller
// (its key delegate) says what the window knows and carries the actions out.
//
// It also announces focus changes, child windows floated over it and, on
// request, mouse presses. Main thread.
class ZPHMainWindow : public ZPHActiveTrackingWindow {
  Q_OBJECT

public:
  using FocusKind = ZPHMainWindowKeyTable::FocusKind;

  explicit ZPHMainWindow(QWidget* parent = nullptr);
  ~ZPHMainWindow() override;

  // Not owned; null: no tables but the window's defaults.
  void setKeyDelegate(ZPHMainWindowKeyDelegate* delegate) { m_keyDelegate = delegate; }
  ZPHMainWindowKeyDelegate* keyDelegate() const { return m_keyDelegate; }
  // Whether single keys act now; the shared shortcut set's answer unless
  // set.
  void setSingleKeyShortcuts(std::function<bool()> answer) { m_singleKeyShortcuts = std::move(answer); }

  bool fireClickEvents() const { return m_fireClickEvents; }
  void setFireClickEvents(bool fire) { m_fireClickEvents = fire; }

  // Floats `child` over the window, with the notifications around it.
  void addChildWindow(QWidget* child);

  // Which table a focused view takes: the source list's outline, the
  // article list's table, a web view (or a view inside one), or another.
  static FocusKind focusKindForWidget(const QWidget* focus);
  // Whether the focus takes every key itself: editable text, editable web
  // content, or a view of another window.
  bool isFocusOutOfBoundsForCustomKeyHandling(const QWidget* focus) const;
  // The routing of one key press with the focus in `focus`; true when the
  // window used it up.
  bool handleKeyPress(QKeyEvent* event, QWidget* focus);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  ZPHMainWindowKeyDelegate* m_keyDelegate = nullptr;
  std::function<bool()> m_singleKeyShortcuts;
  bool m_fireClickEvents = false;
};
