#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QObject>
#include <QtCore/QPointer>

class QPushButton;
class QWidget;
class ZPHWelcomeWindowController;

// One step of the welcome window (intro, import, stay informed): its view,
// built at once, the control that takes the focus when it shows, and its
// window controller until it is invalidated. Main thread.
class ZPHWelcomeViewController : public QObject {
  Q_OBJECT

public:
  explicit ZPHWelcomeViewController(ZPHWelcomeWindowController* windowController);
  ~ZPHWelcomeViewController() override;

  ZPHWelcomeWindowController* windowController() const { return m_windowController; }
  QWidget* view() const { return m_view; }
  QWidget* initialKeyView() const { return m_initialKeyView; }
  // The step's main button, shown and enabled (the one drawn as the
  // default, which Return presses); null while there is none.
  QPushButton* defaultButton() const;
  // Lets go of the window controller.
  virtual void invalidate();

protected:
  // Subclasses build their view in their constructors on this widget.
  QWidget* makeView();
  void setInitialKeyView(QWidget* view) { m_initialKeyView = view; }

private:
  QPointer<ZPHWelcomeWindowController> m_windowController;
  QPointer<QWidget> m_view;
  QPointer<QWidget> m_initialKeyView;
};
