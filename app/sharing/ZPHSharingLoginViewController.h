#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHError.h"
#include "themes/ZPHThemeUpdatingView.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QImage>
#include <QtWidgets/QLineEdit>

#include <functional>

class QLabel;
class QPushButton;
class ZPHIndeterminateProgressIndicator;
class ZPHSharingLoginViewController;

// What a login view tells the command that showed it.
class ZPHSharingLoginViewControllerDelegate {
public:
  virtual ~ZPHSharingLoginViewControllerDelegate();
  virtual void sharingLoginViewControllerDidFinishLogin(ZPHSharingLoginViewController* controller) = 0;
  virtual void sharingLoginViewControllerDidCancelLogin(ZPHSharingLoginViewController* controller) = 0;
};

// A line across the login view in the theme's text-view border colour.
class ZPHSharingLoginDividerView : public ZPHThemeUpdatingView<QWidget> {
  Q_OBJECT

public:
  explicit ZPHSharingLoginDividerView(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
};

// The login of a sharing service, shown inside the sharing popover: a
// header with the service's picture and title, the user name and password
// fields, an error line, a spinner while the login is checked, and Cancel
// and Log In (on while there are credentials to try). Closing the popover
// cancels. Subclasses check the login (loginWithCompletionHandler()).
class ZPHSharingLoginViewController : public QObject {
  Q_OBJECT

public:
  explicit ZPHSharingLoginViewController(ZPHSharingLoginViewControllerDelegate* delegate, QObject* parent = nullptr);
  ~ZPHSharingLoginViewController() override;

  // The view, built on first use.
  QWidget* view();
  ZPHSharingLoginViewControllerDelegate* delegate() const { return m_delegate; }
  void setDelegate(ZPHSharingLoginViewControllerDelegate* delegate) { m_delegate = delegate; }

  QString emailAddress() const;
  void setEmailAddress(const QString& emailAddress);
  QString password() const;
  void setPassword(const QString& password);
  QLineEdit* emailAddressTextField() { return view() != nullptr ? m_emailAddressTextField : nullptr; }
  QLineEdit* passwordTextField() { return view() != nullptr ? m_passwordTextField : nullptr; }
  QPushButton* loginButton() { return view() != nullptr ? m_loginButton : nullptr; }
  QPushButton* cancelButton() { return view() != nullptr ? m_cancelButton : nullptr; }
  QLabel* errorMessageLabel() { return view() != nullptr ? m_errorMessageLabel : nullptr; }
  ZPHError error() const { return m_error; }
  QString errorMessage() const { return m_errorMessage; }
  void setErrorMessage(const QString& message);
  bool loggingIn() const { return m_loggingIn; }
  // A user name, and a password unless the service needs none.
  bool hasCredentials() const;
  static QColor errorMessageTextColor();
  // The field that takes the focus first: the user name.
  QWidget* firstResponder() { return emailAddressTextField(); }

  virtual QString titleString() const = 0;
  virtual QImage iconImage() const { return {}; }
  virtual bool requiresPassword() const { return true; }

  // Checks the login; the answer comes back to the view.
  void login();
  void cancel();
  void focusLoginField();
  void focusPasswordFieldAndSelect();

Q_SIGNALS:
  void hasCredentialsChanged(bool hasCredentials);
  void loggingInChanged(bool loggingIn);

protected:
  // Checks the login and calls the handler once, with a null error on
  // success. Nothing in the base.
  virtual void loginWithCompletionHandler(std::function<void(const ZPHError& error)> handler);

private:
  void buildView();
  void setLoggingIn(bool loggingIn);
  void popoverDidClose();

  ZPHSharingLoginViewControllerDelegate* m_delegate;
  QPointer<QWidget> m_view;
  QLineEdit* m_emailAddressTextField = nullptr;
  QLineEdit* m_passwordTextField = nullptr;
  QLabel* m_errorMessageLabel = nullptr;
  QPushButton* m_loginButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  ZPHIndeterminateProgressIndicator* m_progressIndicator = nullptr;
  ZPHError m_error;
  QString m_errorMessage;
  bool m_loggingIn = false;
  bool m_hadCredentials = false;
};
