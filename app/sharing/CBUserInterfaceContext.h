#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QEvent>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

// An input event as a sharing command needs it: its type
// (QEvent::KeyPress, QEvent::MouseButtonRelease, ...) and the modifiers held.
struct CBUserInterfaceEvent {
  QEvent::Type type = QEvent::None;
  Qt::KeyboardModifiers modifiers;
  bool isKeyDown() const { return type == QEvent::KeyPress || type == QEvent::ShortcutOverride; }
};

// Where a sharing command was invoked: the window, the outermost and the
// innermost controller around the view, the view, the control and the input
// event that started it (a key press or a click). A
// controller is found from a view by walking up its parentWidget() chain
// and asking each widget for the controller that owns it (the one
// setViewControllerForView() recorded).
class CBUserInterfaceContext {
public:
  using Event = CBUserInterfaceEvent;

  CBUserInterfaceContext() = default;
  // With no view controller given, the host is found from the view, else
  // from the focused widget of the window.
  CBUserInterfaceContext(QObject* viewController, QWidget* view, QWidget* control, Event event = {});
  static CBUserInterfaceContext contextWithViewController(QObject* viewController, QWidget* view, QWidget* control,
                                                          Event event = {})
  {
    return CBUserInterfaceContext(viewController, view, control, event);
  }

  // The last key press or mouse click the application received (what a
  // menu item or shortcut was chosen with); no event before the first.
  // The first call starts watching, on the main thread.
  static Event currentEvent();

  QWidget* window() const { return m_window; }
  QObject* rootViewController() const { return m_rootViewController; }
  QObject* hostViewController() const { return m_hostViewController; }
  QWidget* view() const { return m_view; }
  QWidget* control() const { return m_control; }
  Event event() const { return m_event; }
  void setEvent(Event event) { m_event = event; }
  void setWindow(QWidget* window) { m_window = window; }
  void setRootViewController(QObject* controller) { m_rootViewController = controller; }
  void setHostViewController(QObject* controller) { m_hostViewController = controller; }
  void setView(QWidget* view) { m_view = view; }
  void setControl(QWidget* control) { m_control = control; }

  // The widget's window; else the active window; else the first top-level
  // window; else none.
  static QWidget* findWindow(QObject* object);
  // The outermost / innermost controller on the way up from the widget.
  static QObject* findRootViewController(QObject* object);
  static QObject* findHostViewController(QObject* object);

  // A controller owns the view (and what lies inside it).
  static void setViewControllerForView(QWidget* view, QObject* controller);
  static QObject* viewControllerForView(const QWidget* view);

private:
  QPointer<QWidget> m_window;
  QPointer<QObject> m_rootViewController;
  QPointer<QObject> m_hostViewController;
  QPointer<QWidget> m_view;
  QPointer<QWidget> m_control;
  Event m_event;
};
