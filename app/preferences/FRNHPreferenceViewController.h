#pragma once

// Qt kind: QObject that owns widgets.

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSize>
#include <QtCore/QString>
#include <QtGui/QIcon>

class QWidget;

// The base of every pane of a preferences window. A pane has an identifier
// (its class name, which is also its toolbar item's identifier and what the
// window remembers), a title and an image for its toolbar item, a view
// built on first use, and the size the window gives it (its view's size as
// built). The window calls viewWillAppear() before it shows the view and
// viewDidDisappear() after it took it away.
class FRNHPreferenceViewController : public QObject {
  Q_OBJECT

public:
  explicit FRNHPreferenceViewController(QObject* parent = nullptr);
  ~FRNHPreferenceViewController() override;

  // The class name.
  QString identifier() const;
  // The identifier, unless a pane says otherwise.
  virtual QString title() const;
  // The application icon, unless a pane says otherwise.
  virtual QIcon image() const;

  // The view, built on first use; the pane owns it until a window takes it.
  QWidget* view();
  bool isViewLoaded() const { return m_view != nullptr; }
  // The view's size as built (its size hint); empty without a view.
  QSize preferredSize();
  // The control that takes the focus when the pane shows; may be null.
  QWidget* initialFirstResponder() const { return m_initialFirstResponder; }

  virtual void viewWillAppear() {}
  virtual void viewDidDisappear() {}

protected:
  // Builds the pane's view.
  virtual QWidget* loadView() = 0;
  void setInitialFirstResponder(QWidget* widget) { m_initialFirstResponder = widget; }

private:
  QPointer<QWidget> m_view;
  QPointer<QWidget> m_initialFirstResponder;
  QSize m_preferredSize;
};
