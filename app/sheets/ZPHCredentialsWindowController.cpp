#include "sheets/ZPHCredentialsWindowController.h"

#include "sheets/ZPHSheetDialog.h"

#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHCredentialsWindowController::ZPHCredentialsWindowController(ZPHSheetHost host, QObject* parent)
    : ZPHSheetWindowController(std::move(host), parent)
{
  ZPHSheetDialog* window = sheetWindow();
  window->setObjectName(QStringLiteral("Credentials"));
  window->setWindowTitle(tr("Log In"));

  QVBoxLayout* column = window->setQuestionLayout(QStyle::SP_MessageBoxQuestion);
  column->setSpacing(10);
  m_messageTextField = new QLabel(window);
  m_messageTextField->setObjectName(QStringLiteral("messageTextField"));
  m_messageTextField->setTextFormat(Qt::PlainText);
  m_messageTextField->setWordWrap(true);
  m_messageTextField->setMinimumWidth(320);
  QFont bold = m_messageTextField->font();
  bold.setBold(true);
  m_messageTextField->setFont(bold);
  column->addWidget(m_messageTextField);

  auto* form = new QFormLayout();
  m_usernameTextField = new QLineEdit(window);
  m_usernameTextField->setObjectName(QStringLiteral("usernameTextField"));
  m_passwordTextField = new QLineEdit(window);
  m_passwordTextField->setObjectName(QStringLiteral("passwordTextField"));
  m_passwordTextField->setEchoMode(QLineEdit::Password);
  form->addRow(tr("Name:"), m_usernameTextField);
  form->addRow(tr("Password:"), m_passwordTextField);
  column->addLayout(form);

  m_keychainMessageTextField = window->makeFinePrint(ZPHSheetDialog::passwordPlaceText());
  m_keychainMessageTextField->setObjectName(QStringLiteral("keychainMessageTextField"));
  column->addWidget(m_keychainMessageTextField);

  auto* buttons = new QHBoxLayout();
  m_createAccountButton = window->makeButton(tr("Create Account\u2026"), QStringLiteral("createAccountButton"), false);
  m_cancelButton = window->makeButton(tr("Cancel"), QStringLiteral("cancelButton"), false);
  m_okButton = window->makeButton(tr("OK"), QStringLiteral("okButton"), true);
  buttons->addWidget(m_createAccountButton);
  buttons->addStretch();
  buttons->addWidget(m_cancelButton);
  buttons->addWidget(m_okButton);
  column->addLayout(buttons);

  const auto updateOK = [this] { m_okButton->setEnabled(okButtonEnabled()); };
  connect(m_usernameTextField, &QLineEdit::textChanged, this, updateOK);
  connect(m_passwordTextField, &QLineEdit::textChanged, this, updateOK);
  updateOK();
  connect(m_okButton, &QPushButton::clicked, this, &ZPHCredentialsWindowController::ok);
  connect(m_cancelButton, &QPushButton::clicked, this, &ZPHCredentialsWindowController::cancel);
  connect(m_createAccountButton, &QPushButton::clicked, this, &ZPHCredentialsWindowController::createAccount);
}

ZPHCredentialsWindowController::~ZPHCredentialsWindowController()
{
  // A sheet still up when its controller goes ends as cancelled.
  abort();
}

void ZPHCredentialsWindowController::sheetWindowWentAway()
{
  if (Handler handler = std::exchange(m_handler, {}))
    handler(ZPHCredentialsResult::cancelled(), false);
}

void ZPHCredentialsWindowController::setMessage(const QString& message) { m_messageTextField->setText(message); }

QString ZPHCredentialsWindowController::message() const { return m_messageTextField->text(); }

void ZPHCredentialsWindowController::setUsername(const QString& username) { m_usernameTextField->setText(username); }

bool ZPHCredentialsWindowController::okButtonEnabled() const
{
  return !m_usernameTextField->text().isEmpty() || !m_passwordTextField->text().isEmpty();
}

bool ZPHCredentialsWindowController::beginSheet(QWidget* parent, Handler handler)
{
  m_createAccountButton->setVisible(m_showAccountCreationButton);
  if (!beginSheetOn(parent))
    return false;
  m_handler = std::move(handler);
  if (m_usernameTextField->text().isEmpty())
    m_usernameTextField->setFocus();
  else
    m_passwordTextField->setFocus();
  return true;
}

void ZPHCredentialsWindowController::ok()
{
  if (isRunning() && okButtonEnabled())
    finish(false, false);
}

void ZPHCredentialsWindowController::cancel() { finish(true, false); }

void ZPHCredentialsWindowController::createAccount() { finish(true, true); }

void ZPHCredentialsWindowController::abort() { finish(true, false); }

void ZPHCredentialsWindowController::finish(bool cancelled, bool accountCreation)
{
  if (!isRunning())
    return;
  const ZPHCredentialsResult result(m_usernameTextField->text(), m_passwordTextField->text(), cancelled);
  endSheet();
  // The handler may let this controller go.
  Handler handler = std::exchange(m_handler, {});
  if (handler)
    handler(result, accountCreation);
}
