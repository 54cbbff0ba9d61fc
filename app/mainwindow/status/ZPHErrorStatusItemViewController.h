#pragma once

// Qt kind: QObject that owns widgets.

#include "mainwindow/status/ZPHStatusItemViewController.h"
#include "platform/ZPHError.h"

class ZPHErrorButton;
class ZPHStatusViewTextField;

// An error status item ("No Internet Connection"): an error button and the
// text. The button is enabled only when the item carries an error; a click
// shows the error as a sheet on the window.
class ZPHErrorStatusItemViewController : public ZPHStatusItemViewController {
  Q_OBJECT

public:
  using ZPHStatusItemViewController::ZPHStatusItemViewController;

  void configureForStatusItem(const std::shared_ptr<ZPHStatusItem>& item) override;

  ZPHError clickableError() const { return m_clickableError; }
  // Enables the button exactly when the error is not null.
  void setClickableError(const ZPHError& error);

  ZPHStatusViewTextField* textField();
  ZPHErrorButton* errorButton();

  // Shows the error as a sheet on the view's window; nothing without one.
  void errorButtonClicked();

protected:
  QWidget* loadView() override;

private:
  ZPHError m_clickableError;
  QPointer<ZPHStatusViewTextField> m_textField;
  QPointer<ZPHErrorButton> m_errorButton;
};
