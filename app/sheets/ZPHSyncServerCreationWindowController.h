#pragma once

// Qt kind: QObject that owns widgets.

#include "platform/ZPHNotificationCenter.h"
#include "sheets/ZPHSheetWindowController.h"
#include "subscribe/ZPHCredentialsResult.h"

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The sheet that creates an account on the sync server: a user name and a
// password typed twice (both password fields start empty). "Create
// Account" checks the fields ("Fields must not be empty!", "Passwords do
// not match!", in red, nothing sent), else asks the sync client with
// ZPHSyncServiceAccountCreationRequested, one request per click, and waits
// with both buttons off for ZPHSyncServiceAccountCreationResponse, which
// the sheet follows from its opening to its end. A reply whose "status" is
// "ok" says "Account created!" in green and leaves one button, "Wahoo!",
// which closes the sheet; any other reply says "Unable to create account
// with that user name" and lets the user try again. Cancel, Escape and
// closing the window end it as cancelled. Main thread.
class ZPHSyncServerCreationWindowController : public ZPHSheetWindowController {
  Q_OBJECT

public:
  using Handler = std::function<void(const ZPHCredentialsResult& result)>;

  explicit ZPHSyncServerCreationWindowController(ZPHSheetHost host = {}, QObject* parent = nullptr);
  ~ZPHSyncServerCreationWindowController() override;

  bool beginSheet(QWidget* parent, Handler handler);

  void createAccount();
  void cancel();
  // Checks the fields; false with the message shown.
  bool validateCredentials();
  void errorMessage(const QString& message);
  void accountCreationResponse(const QVariant& reply);

  bool userDidCancel() const { return m_userDidCancel; }
  bool accountCreated() const { return m_accountCreated; }
  bool isWaitingForServer() const { return m_waitingForServer; }

  QLineEdit* usernameTextField() const { return m_usernameTextField; }
  QLineEdit* passwordTextField() const { return m_passwordTextField; }
  QLineEdit* repeatedPassedTextField() const { return m_repeatedPassedTextField; }
  QLabel* errorMessageTextField() const { return m_errorMessageTextField; }
  QPushButton* createAccountButton() const { return m_createAccountButton; }
  QPushButton* cancelButton() const { return m_cancelButton; }

protected:
  void sheetWindowRejected() override { cancel(); }
  void sheetWindowWentAway() override;

private:
  void finish();
  void setButtonsEnabled(bool enabled);

  QLabel* m_messageTextField = nullptr;
  QLineEdit* m_usernameTextField = nullptr;
  QLineEdit* m_passwordTextField = nullptr;
  QLineEdit* m_repeatedPassedTextField = nullptr;
  QLabel* m_errorMessageTextField = nullptr;
  QPushButton* m_createAccountButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  bool m_userDidCancel = false;
  bool m_accountCreated = false;
  bool m_waitingForServer = false;
  ZPHObserverToken m_responseObserver;
  Handler m_handler;
};
