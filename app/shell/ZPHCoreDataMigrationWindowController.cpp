#include "shell/ZPHCoreDataMigrationWindowController.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHCoreDataMigrationWindowController::Texts ZPHCoreDataMigrationWindowController::migrationTexts()
{
  return {
      QStringLiteral("Updating Zephlin’s Database"),
      QStringLiteral("Your articles and sites are being moved to the new version’s database. This can take a while."),
      QStringLiteral("Cancel Migration?"),
      QStringLiteral("You will not be able to use Zephlin until the database is finished updating."),
      QStringLiteral("Continue Updating")};
}

ZPHCoreDataMigrationWindowController::Texts ZPHCoreDataMigrationWindowController::integrityCheckTexts(
    IntegrityCheckCause cause)
{
  return {QStringLiteral("Checking Zephlin’s Database"),
          cause == IntegrityCheckCause::StoppedCheck
              ? QStringLiteral("Zephlin’s last check of your articles and sites was stopped before it finished, so "
                               "it checks them again before it opens them. This can take a while.")
              : QStringLiteral("Zephlin did not quit normally the last time, so it checks that your articles and "
                               "sites are intact before it opens them. This can take a while."),
          QStringLiteral("Stop the Check?"),
          QStringLiteral("Zephlin will quit, and check its database again the next time it opens."),
          QStringLiteral("Continue Checking")};
}

ZPHCoreDataMigrationWindowController::ZPHCoreDataMigrationWindowController(Delegate* delegate, QObject* parent,
                                                                           const Texts& texts)
    : QObject(parent), m_delegate(delegate), m_texts(texts)
{
  m_window = new QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  m_window->setWindowTitle(QStringLiteral("Zephlin"));
  m_window->setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(m_window);
  auto* title = new QLabel(m_texts.title, m_window);
  title->setTextFormat(Qt::PlainText);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title);
  auto* message = new QLabel(m_texts.message, m_window);
  message->setTextFormat(Qt::PlainText);
  message->setWordWrap(true);
  layout->addWidget(message);
  m_progressBar = new QProgressBar(m_window);
  m_progressBar->setRange(0, 100);
  layout->addWidget(m_progressBar);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  m_cancelButton = new QPushButton(QStringLiteral("Cancel"), m_window);
  buttons->addWidget(m_cancelButton);
  layout->addLayout(buttons);
  m_window->resize(420, m_window->sizeHint().height());
  connect(m_cancelButton, &QPushButton::clicked, this, &ZPHCoreDataMigrationWindowController::cancelButtonClicked);
  // The window ends with the migration only: closing it or Escape asks to
  // cancel.
  m_window->installEventFilter(this);
}

ZPHCoreDataMigrationWindowController::~ZPHCoreDataMigrationWindowController()
{
  delete m_confirmationSheet.data();
  if (m_window) {
    m_window->removeEventFilter(this);
    delete m_window.data();
  }
}

bool ZPHCoreDataMigrationWindowController::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == m_window) {
    const bool escape = event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (event->type() == QEvent::Close || escape) {
      event->ignore();
      showCancelAlert();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void ZPHCoreDataMigrationWindowController::setMigrationProgress(double percent)
{
  m_migrationProgress = percent;
  if (m_progressBar)
    m_progressBar->setValue(qBound(0, qRound(percent), 100));
}

void ZPHCoreDataMigrationWindowController::runModalMigrationUI()
{
  if (m_window == nullptr)
    return;
  m_running = true;
  m_window->exec();
}

void ZPHCoreDataMigrationWindowController::migrationFinished() { endMigrationUIUserInitiated(false); }

void ZPHCoreDataMigrationWindowController::endMigrationUIUserInitiated(bool userInitiated)
{
  if (m_confirmationSheet) {
    m_confirmationSheet->disconnect(this);
    m_confirmationSheet->done(QMessageBox::Cancel);
    m_confirmationSheet->deleteLater();
    m_confirmationSheet = nullptr;
  }
  m_running = false;
  if (m_window)
    m_window->done(userInitiated ? QDialog::Rejected : QDialog::Accepted);
}

void ZPHCoreDataMigrationWindowController::cancelButtonClicked() { showCancelAlert(); }

void ZPHCoreDataMigrationWindowController::showCancelAlert()
{
  if (m_confirmationSheet || m_window == nullptr)
    return;
  auto* sheet = new QMessageBox(m_window);
  sheet->setWindowModality(Qt::WindowModal);
  sheet->setIcon(QMessageBox::Warning);
  sheet->setTextFormat(Qt::PlainText);
  sheet->setText(m_texts.confirmationTitle);
  sheet->setInformativeText(m_texts.confirmationMessage);
  QPushButton* continueButton = sheet->addButton(m_texts.continueButton, QMessageBox::RejectRole);
  QPushButton* quitButton = sheet->addButton(QStringLiteral("Quit Zephlin"), QMessageBox::DestructiveRole);
  sheet->setDefaultButton(continueButton);
  sheet->setEscapeButton(continueButton);
  m_confirmationSheet = sheet;
  connect(sheet, &QMessageBox::finished, this, [this, sheet, quitButton] {
    const bool quit = sheet->clickedButton() == quitButton;
    m_confirmationSheet = nullptr;
    sheet->deleteLater();
    if (quit)
      cancelMigration();
  });
  sheet->open();
}

void ZPHCoreDataMigrationWindowController::cancelMigration()
{
  if (m_delegate)
    m_delegate->coreDataMigrationWindowControllerUserDidRequestCancel(this);
  QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, [this] { endMigrationUIUserInitiated(true); }); });
}
