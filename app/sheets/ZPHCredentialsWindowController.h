#pragma once

// Qt kind: QObject that owns widgets.

#include "sheets/ZPHSheetWindowController.h"
#include "subscribe/ZPHCredentialsResult.h"

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The sheet that asks for a user name and a password. Its message is shown
// as plain text (a feed's name may hold anything). OK is on as soon as
// either field has text; Escape cancels. A user name given beforehand puts
// the focus in the password field. With the account creation button (sync
// logins) the user may ask to create an account instead.
//
// The sheet runs window-modal on the window it is given and its handler
// gets exactly one result: OK, Cancel, the account button, closing the
// window, abort() or the controller going each end it once. Main thread.
class ZPHCredentialsWindowController : public ZPHSheetWindowController {
  Q_OBJECT

public:
  // The result, and whether the user asked to create an account (then
  // also cancelled).
  using Handler = std::function<void(const ZPHCredentialsResult& result, bool accountCreationRequested)>;

  explicit ZPHCredentialsWindowController(ZPHSheetHost host = {}, QObject* parent = nullptr);
  ~ZPHCredentialsWindowController() override;

  void setMessage(const QString& message);
  QString message() const;
  void setUsername(const QString& username);
  bool showAccountCreationButton() const { return m_showAccountCreationButton; }
  void setShowAccountCreationButton(bool show) { m_showAccountCreationButton = show; }
  bool okButtonEnabled() const;

  QLabel* messageTextField() const { return m_messageTextField; }
  QLineEdit* usernameTextField() const { return m_usernameTextField; }
  QLineEdit* passwordTextField() const { return m_passwordTextField; }
  QPushButton* okButton() const { return m_okButton; }
  QPushButton* cancelButton() const { return m_cancelButton; }
  QPushButton* createAccountButton() const { return m_createAccountButton; }

  // Opens the sheet on `parent`; false (the handler is not called) when
  // there is no parent or it already runs.
  bool beginSheet(QWidget* parent, Handler handler);

  void ok();
  void cancel();
  void createAccount();
  // Ends the sheet as cancelled (the application quits, the search that
  // asked was stopped).
  void abort();

protected:
  void sheetWindowRejected() override { cancel(); }
  void sheetWindowWentAway() override;

private:
  void finish(bool cancelled, bool accountCreation);

  QLabel* m_messageTextField = nullptr;
  QLabel* m_keychainMessageTextField = nullptr;
  QLineEdit* m_usernameTextField = nullptr;
  QLineEdit* m_passwordTextField = nullptr;
  QPushButton* m_okButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPushButton* m_createAccountButton = nullptr;
  bool m_showAccountCreationButton = false;
  Handler m_handler;
};
