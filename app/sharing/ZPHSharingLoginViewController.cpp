#include "sharing/ZPHSharingLoginViewController.h"

#include "kit/ZPHIndeterminateProgressIndicator.h"
#include "sharing/ZPHSharingErrors.h"
#include "sharing/ZPHSharingPopoverTableRowView.h"
#include "sharing/ZPHSharingPopoverViewController.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHSharingLoginViewControllerDelegate::~ZPHSharingLoginViewControllerDelegate() = default;

// MARK: - Divider

ZPHSharingLoginDividerView::ZPHSharingLoginDividerView(QWidget* parent) : ZPHThemeUpdatingView<QWidget>(parent)
{
  setFixedHeight(1);
}

void ZPHSharingLoginDividerView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  painter.fillRect(rect(), ZPHTheme::currentTheme()->sharingTextViewBorderColor());
}

// MARK: - Login view

ZPHSharingLoginViewController::ZPHSharingLoginViewController(ZPHSharingLoginViewControllerDelegate* delegate,
                                                             QObject* parent)
    : QObject(parent), m_delegate(delegate)
{
  // Closing the sharing popover is a cancel.
  connect(ZPHSharingPopoverViewController::sharingPopoverViewController(),
          &ZPHSharingPopoverViewController::popoverDidClose, this, &ZPHSharingLoginViewController::popoverDidClose);
}

ZPHSharingLoginViewController::~ZPHSharingLoginViewController() { delete m_view; }

QWidget* ZPHSharingLoginViewController::view()
{
  if (m_view == nullptr)
    buildView();
  return m_view;
}

void ZPHSharingLoginViewController::buildView()
{
  m_view = new QWidget;
  m_view->setObjectName(QStringLiteral("ZPHSharingLoginView"));
  m_view->setFixedSize(280, 214);
  QPalette palette = m_view->palette();
  palette.setColor(QPalette::WindowText, ZPHSharingPopoverTableRowView::validTitleColor());
  m_view->setPalette(palette);
  auto* layout = new QVBoxLayout(m_view);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->setSpacing(8);

  auto* header = new QHBoxLayout;
  auto* icon = new QLabel(m_view);
  const QImage image = iconImage();
  if (!image.isNull())
    icon->setPixmap(QPixmap::fromImage(image.scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
  icon->setFixedSize(24, 24);
  header->addWidget(icon);
  auto* title = new QLabel(titleString(), m_view);
  title->setTextFormat(Qt::PlainText);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  header->addWidget(title, 1);
  layout->addLayout(header);
  layout->addWidget(new ZPHSharingLoginDividerView(m_view));

  // Each field has its label: a placeholder goes once something is typed.
  auto* fields = new QFormLayout;
  fields->setContentsMargins(0, 0, 0, 0);
  fields->setHorizontalSpacing(8);
  fields->setVerticalSpacing(8);
  fields->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  m_emailAddressTextField = new QLineEdit(m_view);
  m_emailAddressTextField->setObjectName(QStringLiteral("emailAddressTextField"));
  m_emailAddressTextField->setPlaceholderText(tr("User name or email"));
  fields->addRow(tr("User name:"), m_emailAddressTextField);
  m_passwordTextField = new QLineEdit(m_view);
  m_passwordTextField->setObjectName(QStringLiteral("passwordTextField"));
  m_passwordTextField->setEchoMode(QLineEdit::Password);
  m_passwordTextField->setPlaceholderText(requiresPassword() ? tr("Password") : tr("If you have one"));
  fields->addRow(tr("Password:"), m_passwordTextField);
  layout->addLayout(fields);

  m_errorMessageLabel = new QLabel(m_view);
  m_errorMessageLabel->setObjectName(QStringLiteral("errorMessageLabel"));
  m_errorMessageLabel->setTextFormat(Qt::PlainText);
  m_errorMessageLabel->setWordWrap(true);
  QPalette errorPalette = m_errorMessageLabel->palette();
  errorPalette.setColor(QPalette::WindowText, errorMessageTextColor());
  m_errorMessageLabel->setPalette(errorPalette);
  layout->addWidget(m_errorMessageLabel);
  layout->addStretch(1);

  auto* buttons = new QHBoxLayout;
  m_progressIndicator = new ZPHIndeterminateProgressIndicator(m_view);
  m_progressIndicator->setFixedSize(16, 16);
  m_progressIndicator->hide();
  buttons->addWidget(m_progressIndicator);
  buttons->addStretch(1);
  m_cancelButton = new QPushButton(tr("Cancel"), m_view);
  m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
  buttons->addWidget(m_cancelButton);
  m_loginButton = new QPushButton(tr("Log In"), m_view);
  m_loginButton->setObjectName(QStringLiteral("loginButton"));
  m_loginButton->setDefault(true);
  m_loginButton->setEnabled(false);
  buttons->addWidget(m_loginButton);
  layout->addLayout(buttons);

  const auto credentialsChanged = [this] {
    const bool has = hasCredentials();
    m_loginButton->setEnabled(has && !m_loggingIn);
    if (has != m_hadCredentials) {
      m_hadCredentials = has;
      Q_EMIT hasCredentialsChanged(has);
    }
  };
  connect(m_emailAddressTextField, &QLineEdit::textChanged, this, credentialsChanged);
  connect(m_passwordTextField, &QLineEdit::textChanged, this, credentialsChanged);
  connect(m_loginButton, &QPushButton::clicked, this, &ZPHSharingLoginViewController::login);
  connect(m_cancelButton, &QPushButton::clicked, this, &ZPHSharingLoginViewController::cancel);
  // Return in either field logs in.
  const auto returnPressed = [this] {
    if (hasCredentials() && !m_loggingIn)
      login();
  };
  connect(m_emailAddressTextField, &QLineEdit::returnPressed, this, returnPressed);
  connect(m_passwordTextField, &QLineEdit::returnPressed, this, returnPressed);
}

QString ZPHSharingLoginViewController::emailAddress() const
{
  return m_emailAddressTextField != nullptr ? m_emailAddressTextField->text() : QString();
}

void ZPHSharingLoginViewController::setEmailAddress(const QString& emailAddress)
{
  view();
  m_emailAddressTextField->setText(emailAddress);
}

QString ZPHSharingLoginViewController::password() const
{
  return m_passwordTextField != nullptr ? m_passwordTextField->text() : QString();
}

void ZPHSharingLoginViewController::setPassword(const QString& password)
{
  view();
  m_passwordTextField->setText(password);
}

void ZPHSharingLoginViewController::setErrorMessage(const QString& message)
{
  m_errorMessage = message;
  if (view() != nullptr)
    m_errorMessageLabel->setText(message);
}

bool ZPHSharingLoginViewController::hasCredentials() const
{
  return !emailAddress().isEmpty() && (!password().isEmpty() || !requiresPassword());
}

QColor ZPHSharingLoginViewController::errorMessageTextColor()
{
  return ZPHTheme::currentTheme()->sharingLoginErrorMessageTextColor();
}

void ZPHSharingLoginViewController::setLoggingIn(bool loggingIn)
{
  if (loggingIn == m_loggingIn)
    return;
  m_loggingIn = loggingIn;
  if (m_view != nullptr) {
    m_progressIndicator->setVisible(loggingIn);
    if (loggingIn)
      m_progressIndicator->startProgressAnimation();
    else
      m_progressIndicator->stopProgressAnimation();
    m_loginButton->setEnabled(hasCredentials() && !loggingIn);
  }
  Q_EMIT loggingInChanged(loggingIn);
}

void ZPHSharingLoginViewController::login()
{
  setErrorMessage(QString());
  m_error = ZPHError();
  setLoggingIn(true);
  QPointer<ZPHSharingLoginViewController> self(this);
  loginWithCompletionHandler([self](const ZPHError& error) {
    if (self == nullptr)
      return;
    if (!error.isNull()) {
      self->m_error = error;
      self->setErrorMessage(error.localizedDescription());
    }
    self->setLoggingIn(false);
    if (error.isNull())
      return;
    if (error.domain() == ZPHSharingErrorDomain && error.code() == ZPHSharingLoginError) {
      self->focusPasswordFieldAndSelect();
      self->setErrorMessage(ZPHSharingIncorrectCredentialsMessage());
    } else {
      self->focusLoginField();
    }
  });
}

void ZPHSharingLoginViewController::cancel()
{
  ZPHSharingLoginViewControllerDelegate* delegate = std::exchange(m_delegate, nullptr);
  if (delegate != nullptr)
    delegate->sharingLoginViewControllerDidCancelLogin(this);
}

void ZPHSharingLoginViewController::popoverDidClose()
{
  if (m_delegate != nullptr)
    cancel();
}

void ZPHSharingLoginViewController::focusLoginField()
{
  if (QLineEdit* field = emailAddressTextField())
    field->setFocus(Qt::OtherFocusReason);
}

void ZPHSharingLoginViewController::focusPasswordFieldAndSelect()
{
  if (QLineEdit* field = passwordTextField()) {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
  }
}

void ZPHSharingLoginViewController::loginWithCompletionHandler(std::function<void(const ZPHError& error)> handler)
{
  Q_UNUSED(handler);
}
