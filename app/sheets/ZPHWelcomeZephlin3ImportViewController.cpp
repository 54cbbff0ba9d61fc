#include "sheets/ZPHWelcomeZephlin3ImportViewController.h"

#include "foundation/CBPrefs.h"
#include "kit/ZPHIndeterminateProgressIndicator.h"
#include "platform/ZPHUserDefaults.h"
#include "sheets/ZPHWelcomeButton.h"
#include "sheets/ZPHWelcomeShadowTextField.h"
#include "sheets/ZPHWelcomeWindowController.h"

#include <QtCore/QPointer>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QVBoxLayout>

ZPHWelcomeZephlin3ImportViewController::ZPHWelcomeZephlin3ImportViewController(
    ZPHWelcomeWindowController* windowController)
    : ZPHWelcomeImportViewController(windowController)
{
  QWidget* view = makeView();
  view->setObjectName(QStringLiteral("WelcomeZephlin3ImportView"));
  auto* layout = new QVBoxLayout(view);
  layout->setContentsMargins(60, 60, 60, 40);
  auto* heading = new ZPHWelcomeShadowTextField(tr("Bring Your Sites from Zephlin 3"), view);
  QFont big = heading->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  heading->setFont(big);
  heading->setAlignment(Qt::AlignCenter);
  auto* text =
      new ZPHWelcomeShadowTextField(tr("Zephlin 4 can import the sites and folders you followed in Zephlin 3."), view);
  text->setAlignment(Qt::AlignCenter);
  m_shortcutsCheckBox = new QCheckBox(tr("Also use Zephlin 3 keyboard shortcuts"), view);
  m_shortcutsCheckBox->setObjectName(QStringLiteral("shortcutsCheckBox"));
  m_shortcutsCheckBox->setStyleSheet(QStringLiteral("QCheckBox { color: white; }"));
  m_shortcutsCheckBox->setChecked(shouldUseZPH3Shortcuts());
  connect(m_shortcutsCheckBox, &QCheckBox::toggled, this,
          &ZPHWelcomeZephlin3ImportViewController::setShouldUseZPH3Shortcuts);
  auto* indicator = new ZPHIndeterminateProgressIndicator(view);
  indicator->setObjectName(QStringLiteral("importingProgressIndicator"));
  indicator->setColor(Qt::white);
  indicator->setFixedSize(24, 24);
  indicator->hide();
  m_importingProgressIndicator = indicator;

  layout->addWidget(heading);
  layout->addSpacing(12);
  layout->addWidget(text);
  layout->addSpacing(18);
  auto* checkRow = new QHBoxLayout();
  checkRow->addStretch();
  checkRow->addWidget(m_shortcutsCheckBox);
  checkRow->addStretch();
  layout->addLayout(checkRow);
  layout->addStretch();
  auto* buttons = new QHBoxLayout();
  m_skipButton = new ZPHWelcomeButton(tr("Skip"), ZPHWelcomeButton::Kind::Plain, view);
  m_skipButton->setObjectName(QStringLiteral("skipButton"));
  m_importButton = new ZPHWelcomeButton(tr("Import"), ZPHWelcomeButton::Kind::Selected, view);
  m_importButton->setObjectName(QStringLiteral("importButton"));
  buttons->addStretch();
  buttons->addWidget(m_skipButton);
  buttons->addWidget(indicator);
  buttons->addWidget(m_importButton);
  buttons->addStretch();
  layout->addLayout(buttons);
  connect(m_importButton, &QPushButton::clicked, this, &ZPHWelcomeImportViewController::import);
  connect(m_skipButton, &QPushButton::clicked, this, &ZPHWelcomeImportViewController::skip);
  updateSkipButton();
  setInitialKeyView(m_importButton);
}

QString ZPHWelcomeZephlin3ImportViewController::successText() const
{
  return tr("Your sites were imported successfully.\nEnjoy Zephlin 4!");
}

QString ZPHWelcomeZephlin3ImportViewController::failureText() const
{
  return tr(
      "Your sites failed to import successfully.\nIf you'd like, contact support by selecting \u201cSend "
      "Feedback\u201d from the Help menu.");
}

QString ZPHWelcomeZephlin3ImportViewController::skippedText() const { return tr("Thanks for using Zephlin."); }

bool ZPHWelcomeZephlin3ImportViewController::shouldUseZPH3Shortcuts()
{
  return ZPHUserDefaults::standardUserDefaults().stringForKey(ZPHKeyMapSetName) == QLatin1String("Zephlin 3");
}

void ZPHWelcomeZephlin3ImportViewController::setShouldUseZPH3Shortcuts(bool use)
{
  ZPHUserDefaults::standardUserDefaults().setString(ZPHKeyMapSetName,
                                                    use ? QStringLiteral("Zephlin 3") : QStringLiteral("Zephlin 4"));
}

void ZPHWelcomeZephlin3ImportViewController::runImport()
{
  ZPHWelcomeWindowController* window = windowController();
  if (window == nullptr)
    return;
  // The previous version's data may have gone since the step was shown.
  if (!window->importIsCurrentlyPossible()) {
    completeImport(false, {}, {});
    return;
  }
  QPointer<ZPHWelcomeZephlin3ImportViewController> self(this);
  window->runImport([self](const QVariantList& imported, const QVariantList& duplicates, const ZPHError& error) {
    if (self == nullptr)
      return;
    if (error.isNull()) {
      self->completeImport(true, imported, duplicates);
      return;
    }
    ZPHWelcomeWindowController* window = self->windowController();
    QWidget* parent = window != nullptr ? window->window() : nullptr;
    if (parent == nullptr) {
      self->completeImport(false, imported, duplicates);
      return;
    }
    auto* alert =
        new QMessageBox(QMessageBox::Critical, tr("Zephlin 3 Import"),
                        tr("There was a problem importing your sites from Zephlin 3."), QMessageBox::Ok, parent);
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(tr("Only some of the sites may have been transferred."));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    QObject::connect(alert, &QMessageBox::finished, self, [self, imported, duplicates] {
      if (self != nullptr)
        self->completeImport(false, imported, duplicates);
    });
    alert->open();
  });
}
