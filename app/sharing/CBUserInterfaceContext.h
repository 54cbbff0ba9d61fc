#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QObject>
#include <QtCore/QPointer>

class QWidget;

// Where a sharing command was invoked: the window, the outermost and the
// innermost controller around the view, the view and the control. A
// controller is found from a view by walking up its parentWidget() chain
// and asking each widget for the controller that owns it (the one
// setViewControllerForView() recorded).
class CBUserInterfaceContext {
public:
  CBUserInterfaceContext() = default;
  // With no view controller given, the host is found from the view, else
  // from the focused widget of the window.
  CBUserInterfaceContext(QObject* viewController, QWidget* view, QWidget* control);
  static CBUserInterfaceContext contextWithViewController(QObject* viewController, QWidget* view, QWidget* control)
  {
    return CBUserInterfaceContext(viewController, view, control);
  }

  QWidget* window() const { return m_window; }
  QObject* rootViewController() const { return m_rootViewController; }
  QObject* hostViewController() const { return m_hostViewController; }
  QWidget* view() const { return m_view; }
  QWidget* control() const { return m_control; }
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
};
