#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHError.h"
#include "sheets/CSAPI.h"
#include "sheets/ZPHWelcomeViewController.h"

#include <QtCore/QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class ZPHWelcomeEmailTextField;

// The user default: true after a successful sign-up to the mailing list,
// false after the user declined (written only when unset); unset: never
// asked.
extern const QString ZPHHasSubscribedToNewsletter;  // "ZPHHasSubscribedToNewsletter"

// The welcome window's last step: the offer to join the product's mailing
// list. "Sign Up" sends the address and the name (prefilled from the
// login's full name when the e-mail field first takes the focus and no name
// is there) through the mailing-list client; success stores true and
// closes the window, a failure shows the error on the window and lets the
// user try again (nothing is stored). Without an address, or with "No
// Thanks", the window closes, storing false unless an answer is stored
// already. A build without a mailing list shows only the greeting and
// "Continue". The link opens the product's page in the web browser.
class ZPHWelcomeStayInformedViewController : public ZPHWelcomeViewController {
  Q_OBJECT

public:
  explicit ZPHWelcomeStayInformedViewController(ZPHWelcomeWindowController* windowController);
  ~ZPHWelcomeStayInformedViewController() override;

  // The stored answer; true when none is stored.
  static bool userHasSubscribedToNewsletter();

  QString detailStringValue() const;
  void setDetailStringValue(const QString& text);
  bool noThanksButtonVisible() const { return m_noThanksButtonVisible; }
  void setNoThanksButtonVisible(bool visible);
  QString emailAddress() const;
  QString name() const;

  void next();
  void noThanks();
  void openTwitterProfile();
  void emailTextFieldWillBecomeFirstResponder();
  bool isSigningUp() const { return m_client != nullptr; }

  ZPHWelcomeEmailTextField* emailAddressTextField() const { return m_emailAddressTextField; }
  QLineEdit* nameTextField() const { return m_nameTextField; }
  QLabel* detailTextField() const { return m_detailTextField; }
  QPushButton* nextButton() const { return m_nextButton; }
  QPushButton* noThanksButton() const { return m_noThanksButton; }
  QPushButton* profileButton() const { return m_profileButton; }

private:
  void signUpFailed(const ZPHError& error);

  QLabel* m_detailTextField = nullptr;
  ZPHWelcomeEmailTextField* m_emailAddressTextField = nullptr;
  QLineEdit* m_nameTextField = nullptr;
  QPushButton* m_nextButton = nullptr;
  QPushButton* m_noThanksButton = nullptr;
  QPushButton* m_profileButton = nullptr;
  bool m_noThanksButtonVisible = false;
  bool m_hasMailingList = false;
  QPointer<CSAPI> m_client;
};
