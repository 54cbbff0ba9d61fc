#include "sheets/ZPHWelcomeStayInformedViewController.h"

#include "common/ZPHAppServices.h"
#include "common/ZPHBuildInfo.h"
#include "common/ZPHShellLog.h"
#include "platform/ZPHUserDefaults.h"
#include "sheets/CSAPI.h"
#include "sheets/ZPHWelcomeButton.h"
#include "sheets/ZPHWelcomeEmailTextField.h"
#include "sheets/ZPHWelcomeShadowTextField.h"
#include "sheets/ZPHWelcomeTwitterButton.h"
#include "sheets/ZPHWelcomeWindowController.h"

#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QVBoxLayout>

const QString ZPHHasSubscribedToNewsletter = QStringLiteral("ZPHHasSubscribedToNewsletter");

namespace {

void storeDeclinedUnlessAnswered()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  if (!defaults.hasStoredValue(ZPHHasSubscribedToNewsletter))
    defaults.setBool(ZPHHasSubscribedToNewsletter, false);
}

}  // namespace

ZPHWelcomeStayInformedViewController::ZPHWelcomeStayInformedViewController(ZPHWelcomeWindowController* windowController)
    : ZPHWelcomeViewController(windowController),
      m_hasMailingList(windowController != nullptr && windowController->hasMailingList())
{
  QWidget* view = makeView();
  view->setObjectName(QStringLiteral("WelcomeStayInformedView"));
  auto* layout = new QVBoxLayout(view);
  layout->setContentsMargins(60, 56, 60, 30);
  m_detailTextField =
      new ZPHWelcomeShadowTextField(tr("Welcome to Zephlin 4!\nKeep in touch for the latest updates."), view);
  m_detailTextField->setObjectName(QStringLiteral("detailTextField"));
  QFont big = m_detailTextField->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  big.setBold(true);
  m_detailTextField->setFont(big);
  m_detailTextField->setAlignment(Qt::AlignCenter);
  layout->addWidget(m_detailTextField);
  layout->addSpacing(14);

  auto* offer = new ZPHWelcomeShadowTextField(
      m_hasMailingList ? tr("Join the Zephlin mailing list for news of new versions. We write rarely.")
                       : tr("Zephlin is ready. Add your first sites from the toolbar or the File menu."),
      view);
  offer->setAlignment(Qt::AlignCenter);
  layout->addWidget(offer);
  layout->addSpacing(10);

  auto* form = new QFormLayout();
  form->setLabelAlignment(Qt::AlignRight);
  m_emailAddressTextField = new ZPHWelcomeEmailTextField(view);
  m_emailAddressTextField->setObjectName(QStringLiteral("emailAddressTextField"));
  m_emailAddressTextField->setPlaceholderText(tr("you@example.com"));
  m_nameTextField = new QLineEdit(view);
  m_nameTextField->setObjectName(QStringLiteral("nameTextField"));
  auto* emailLabel = new ZPHWelcomeShadowTextField(tr("E-mail:"), view);
  auto* nameLabel = new ZPHWelcomeShadowTextField(tr("Name:"), view);
  form->addRow(emailLabel, m_emailAddressTextField);
  form->addRow(nameLabel, m_nameTextField);
  auto* formRow = new QHBoxLayout();
  formRow->addStretch();
  formRow->addLayout(form, 3);
  formRow->addStretch();
  layout->addLayout(formRow);
  for (QWidget* widget : {static_cast<QWidget*>(m_emailAddressTextField), static_cast<QWidget*>(m_nameTextField),
                          static_cast<QWidget*>(emailLabel), static_cast<QWidget*>(nameLabel)})
    widget->setVisible(m_hasMailingList);
  layout->addStretch();

  auto* buttons = new QHBoxLayout();
  m_noThanksButton = new ZPHWelcomeButton(tr("No Thanks"), ZPHWelcomeButton::Kind::Plain, view);
  m_noThanksButton->setObjectName(QStringLiteral("noThanksButton"));
  m_noThanksButton->hide();
  m_nextButton =
      new ZPHWelcomeButton(m_hasMailingList ? tr("Sign Up") : tr("Continue"), ZPHWelcomeButton::Kind::Selected, view);
  m_nextButton->setObjectName(QStringLiteral("nextButton"));
  buttons->addStretch();
  buttons->addWidget(m_noThanksButton);
  buttons->addWidget(m_nextButton);
  buttons->addStretch();
  layout->addLayout(buttons);
  layout->addSpacing(8);
  m_profileButton = new ZPHWelcomeTwitterButton(tr("Visit the Zephlin website"), view);
  m_profileButton->setObjectName(QStringLiteral("profileButton"));
  auto* profileRow = new QHBoxLayout();
  profileRow->addStretch();
  profileRow->addWidget(m_profileButton);
  profileRow->addStretch();
  layout->addLayout(profileRow);

  connect(m_nextButton, &QPushButton::clicked, this, &ZPHWelcomeStayInformedViewController::next);
  connect(m_noThanksButton, &QPushButton::clicked, this, &ZPHWelcomeStayInformedViewController::noThanks);
  connect(m_profileButton, &QPushButton::clicked, this, &ZPHWelcomeStayInformedViewController::openTwitterProfile);
  connect(m_emailAddressTextField, &ZPHWelcomeEmailTextField::willBecomeFirstResponder, this,
          &ZPHWelcomeStayInformedViewController::emailTextFieldWillBecomeFirstResponder);
  setInitialKeyView(m_hasMailingList ? static_cast<QWidget*>(m_emailAddressTextField) : m_nextButton);
}

ZPHWelcomeStayInformedViewController::~ZPHWelcomeStayInformedViewController() { delete m_client.data(); }

bool ZPHWelcomeStayInformedViewController::userHasSubscribedToNewsletter()
{
  ZPHUserDefaults& defaults = ZPHUserDefaults::standardUserDefaults();
  return !defaults.hasStoredValue(ZPHHasSubscribedToNewsletter) || defaults.boolForKey(ZPHHasSubscribedToNewsletter);
}

QString ZPHWelcomeStayInformedViewController::detailStringValue() const { return m_detailTextField->text(); }

void ZPHWelcomeStayInformedViewController::setDetailStringValue(const QString& text)
{
  m_detailTextField->setText(text);
}

void ZPHWelcomeStayInformedViewController::setNoThanksButtonVisible(bool visible)
{
  m_noThanksButtonVisible = visible;
  m_noThanksButton->setVisible(visible);
}

QString ZPHWelcomeStayInformedViewController::emailAddress() const { return m_emailAddressTextField->text().trimmed(); }

QString ZPHWelcomeStayInformedViewController::name() const { return m_nameTextField->text().trimmed(); }

void ZPHWelcomeStayInformedViewController::emailTextFieldWillBecomeFirstResponder()
{
  // The login's full name; the user's card has no e-mail here, so an
  // address typed is never replaced.
  ZPHWelcomeWindowController* window = windowController();
  if (window == nullptr || !m_nameTextField->text().isEmpty())
    return;
  m_nameTextField->setText(window->userFullName());
}

void ZPHWelcomeStayInformedViewController::next()
{
  ZPHWelcomeWindowController* window = windowController();
  if (window == nullptr || isSigningUp())
    return;
  m_nextButton->setEnabled(false);
  if (!m_hasMailingList || emailAddress().isEmpty()) {
    storeDeclinedUnlessAnswered();
    window->closeWindow();
    return;
  }
  m_client = window->makeMailingListClient(this);
  QPointer<ZPHWelcomeStayInformedViewController> self(this);
  m_client->subscribeToListWithID(
      ZPHBuildInfo::mailingListID(), emailAddress(), name(), true, {},
      [self](const QVariant&) {
        if (self == nullptr)
          return;
        self->m_client->deleteLater();
        self->m_client = nullptr;
        ZPHUserDefaults::standardUserDefaults().setBool(ZPHHasSubscribedToNewsletter, true);
        if (ZPHWelcomeWindowController* window = self->windowController())
          window->closeWindow();
      },
      [self](const ZPHError& error) {
        if (self != nullptr)
          self->signUpFailed(error);
      });
}

void ZPHWelcomeStayInformedViewController::signUpFailed(const ZPHError& error)
{
  if (m_client != nullptr)
    m_client->deleteLater();
  m_client = nullptr;
  qCWarning(zphShell).noquote() << "Campaign Monitor returned error :" << error.localizedDescription();
  m_nextButton->setEnabled(true);
  ZPHWelcomeWindowController* window = windowController();
  if (window == nullptr || window->window() == nullptr)
    return;
  auto* alert = new QMessageBox(QMessageBox::Warning, tr("Sign Up"), tr("Zephlin couldn\u2019t sign you up."),
                                QMessageBox::Ok, window->window());
  alert->setTextFormat(Qt::PlainText);
  alert->setInformativeText(error.localizedDescription());
  alert->setAttribute(Qt::WA_DeleteOnClose);
  alert->setWindowModality(Qt::WindowModal);
  alert->setObjectName(QStringLiteral("signUpErrorAlert"));
  alert->open();
}

void ZPHWelcomeStayInformedViewController::noThanks()
{
  storeDeclinedUnlessAnswered();
  if (ZPHWelcomeWindowController* window = windowController())
    window->closeWindow();
}

void ZPHWelcomeStayInformedViewController::openTwitterProfile()
{
  ZPHAppServices::current().openLink(QUrl(ZPHBuildInfo::projectPageURL()), ZPHAppServices::LinkPlace::ExternalBrowser);
}
