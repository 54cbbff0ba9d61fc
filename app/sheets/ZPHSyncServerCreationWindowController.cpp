#include "sheets/ZPHSyncServerCreationWindowController.h"

#include "sync/ZPHSyncConstants.h"

#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHSyncServerCreationWindowController::ZPHSyncServerCreationWindowController(ZPHSheetHost host, QObject* parent)
    : ZPHSheetWindowController(std::move(host), parent)
{
  ZPHSheetDialog* window = sheetWindow();
  window->setObjectName(QStringLiteral("ZPHCreateAccountWindow"));
  window->setWindowTitle(tr("Create Sync Account"));
  auto* column = new QVBoxLayout(window);
  column->setContentsMargins(20, 20, 20, 16);
  column->setSpacing(10);
  m_messageTextField = new QLabel(tr("Create an account on the sync server for the sites and articles of this "
                                     "computer."),
                                  window);
  m_messageTextField->setWordWrap(true);
  m_messageTextField->setMinimumWidth(360);
  column->addWidget(m_messageTextField);
  auto* form = new QFormLayout();
  m_usernameTextField = new QLineEdit(window);
  m_usernameTextField->setObjectName(QStringLiteral("usernameTextField"));
  m_passwordTextField = new QLineEdit(window);
  m_passwordTextField->setObjectName(QStringLiteral("passwordTextField"));
  m_passwordTextField->setEchoMode(QLineEdit::Password);
  m_repeatedPassedTextField = new QLineEdit(window);
  m_repeatedPassedTextField->setObjectName(QStringLiteral("repeatedPassedTextField"));
  m_repeatedPassedTextField->setEchoMode(QLineEdit::Password);
  form->addRow(tr("User name:"), m_usernameTextField);
  form->addRow(tr("Password:"), m_passwordTextField);
  form->addRow(tr("Repeat password:"), m_repeatedPassedTextField);
  column->addLayout(form);
  m_errorMessageTextField = new QLabel(window);
  m_errorMessageTextField->setObjectName(QStringLiteral("errorMessageTextField"));
  m_errorMessageTextField->setTextFormat(Qt::PlainText);
  m_errorMessageTextField->hide();
  column->addWidget(m_errorMessageTextField);
  column->addWidget(window->makeFinePrint(ZPHSheetDialog::passwordPlaceText()));
  auto* buttons = new QHBoxLayout();
  m_cancelButton = window->makeButton(tr("Cancel"), QStringLiteral("cancelButton"), false);
  m_createAccountButton = window->makeButton(tr("Create Account"), QStringLiteral("createAccountButton"), true);
  buttons->addStretch();
  buttons->addWidget(m_cancelButton);
  buttons->addWidget(m_createAccountButton);
  column->addLayout(buttons);

  connect(m_createAccountButton, &QPushButton::clicked, this, &ZPHSyncServerCreationWindowController::createAccount);
  connect(m_cancelButton, &QPushButton::clicked, this, &ZPHSyncServerCreationWindowController::cancel);
}

ZPHSyncServerCreationWindowController::~ZPHSyncServerCreationWindowController()
{
  if (!isRunning())
    return;
  m_userDidCancel = !m_accountCreated;
  finish();
}

bool ZPHSyncServerCreationWindowController::beginSheet(QWidget* parent, Handler handler)
{
  m_passwordTextField->clear();
  m_repeatedPassedTextField->clear();
  if (!beginSheetOn(parent))
    return false;
  m_handler = std::move(handler);
  // The creation's replies, once, from now until the sheet ends.
  m_responseObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHSyncServiceAccountCreationResponse, QVariant(), this,
      [this](const ZPHNotification& notification) { accountCreationResponse(notification.object); },
      ZPHNotificationCenter::Delivery::MainThread);
  m_usernameTextField->setFocus();
  return true;
}

void ZPHSyncServerCreationWindowController::setButtonsEnabled(bool enabled)
{
  m_createAccountButton->setEnabled(enabled);
  m_cancelButton->setEnabled(enabled);
}

void ZPHSyncServerCreationWindowController::errorMessage(const QString& message)
{
  m_errorMessageTextField->setStyleSheet(QStringLiteral("color: #c0392b;"));
  m_errorMessageTextField->setText(message);
  m_errorMessageTextField->show();
  setButtonsEnabled(true);
}

bool ZPHSyncServerCreationWindowController::validateCredentials()
{
  if (m_usernameTextField->text().isEmpty() || m_passwordTextField->text().isEmpty() ||
      m_repeatedPassedTextField->text().isEmpty()) {
    errorMessage(tr("Fields must not be empty!"));
    return false;
  }
  if (m_passwordTextField->text() != m_repeatedPassedTextField->text()) {
    errorMessage(tr("Passwords do not match!"));
    return false;
  }
  return true;
}

void ZPHSyncServerCreationWindowController::createAccount()
{
  if (!isRunning() || m_waitingForServer)
    return;
  if (m_accountCreated) {
    finish();
    return;
  }
  setButtonsEnabled(false);
  if (!validateCredentials())
    return;
  ZPHCredentialsResult credentials(m_usernameTextField->text(), m_passwordTextField->text(), false);
  credentials.setRepeatedPassword(m_repeatedPassedTextField->text());
  m_waitingForServer = true;
  ZPHNotificationCenter::defaultCenter().post(ZPHSyncServiceAccountCreationRequested, QVariant::fromValue(credentials));
}

void ZPHSyncServerCreationWindowController::accountCreationResponse(const QVariant& reply)
{
  if (!isRunning() || !m_waitingForServer)
    return;
  m_waitingForServer = false;
  if (reply.toMap().value(QStringLiteral("status")).toString() == QLatin1String("ok")) {
    m_errorMessageTextField->setStyleSheet(QStringLiteral("color: #1e8449;"));
    m_errorMessageTextField->setText(tr("Account created!"));
    m_errorMessageTextField->show();
    m_accountCreated = true;
    m_cancelButton->hide();
    m_cancelButton->setEnabled(false);
    m_createAccountButton->setText(tr("Wahoo!"));
    m_createAccountButton->setEnabled(true);
    return;
  }
  errorMessage(tr("Unable to create account with that user name"));
}

void ZPHSyncServerCreationWindowController::cancel()
{
  if (!isRunning() || m_accountCreated)
    return;
  m_userDidCancel = true;
  finish();
}

void ZPHSyncServerCreationWindowController::finish()
{
  const ZPHCredentialsResult result(m_usernameTextField->text(), m_passwordTextField->text(), m_userDidCancel);
  m_responseObserver.reset();
  m_waitingForServer = false;
  if (!endSheet())
    return;
  if (Handler handler = std::exchange(m_handler, {}))
    handler(result);
}

void ZPHSyncServerCreationWindowController::sheetWindowWentAway()
{
  m_responseObserver.reset();
  m_userDidCancel = !m_accountCreated;
  if (Handler handler = std::exchange(m_handler, {}))
    handler(ZPHCredentialsResult(QString(), QString(), m_userDidCancel));
}
