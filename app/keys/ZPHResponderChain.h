#pragma once

// Qt kind: none (a plain class).

#include <QtCore/QList>
#include <QtCore/QPointer>
#include <QtCore/QString>

class QAction;
class QObject;
class QWidget;

// Commands are sent by name ("markAllAsRead:") to whoever answers them
// first: the controllers of the focused view and of the views around it,
// inner first, then the fixed responders after them (the main window
// controller, then the application delegate).
//
// A controller answers a command by owning, as a direct child, a QAction
// whose objectName is the command's name; a controller marks its view with
// setViewController() so the chain finds it from the focus. When the
// answering controller validates its commands (ZPHUserInterfaceValidations),
// the command runs only when it validates.
//
// Main thread.
class ZPHResponderChain {
public:
  // The responders after the focused ones, in order; they may go away.
  explicit ZPHResponderChain(const QList<QObject*>& nextResponders = {});

  void setNextResponders(const QList<QObject*>& nextResponders);

  // Marks `view` as the view of `controller` (null clears it).
  static void setViewController(QWidget* view, QObject* controller);
  static QObject* viewController(const QWidget* view);

  // The responders for a focus (null: none): the view controllers from the
  // focus outwards, then the next responders; each once.
  QList<QObject*> responders(QWidget* focus) const;

  // The action of the first responder that answers `selector`; null when
  // none does.
  static QAction* actionForSelector(const QString& selector, const QList<QObject*>& responders);
  QAction* actionForSelector(const QString& selector, QWidget* focus) const
  {
    return actionForSelector(selector, responders(focus));
  }

  // The action that would run for the focus now: found, and validated by
  // its owner when the owner validates (else enabled); null otherwise.
  QAction* validatedActionForSelector(const QString& selector, QWidget* focus) const;

  // Runs the command for the focus: finds its action, validates it with its
  // owner when the owner validates, and triggers it when it is enabled.
  // True when an action answered (run or not), as the key that sent it is
  // then used up.
  bool sendAction(const QString& selector, QWidget* focus) const;

private:
  QList<QPointer<QObject>> m_nextResponders;
};
