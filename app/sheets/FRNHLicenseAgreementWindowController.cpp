#include "sheets/FRNHLicenseAgreementWindowController.h"

#include "common/ZPHAppServices.h"

#include <QtCore/QFile>
#include <QtWidgets/QDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QTextBrowser>
#include <QtWidgets/QVBoxLayout>

const QString FRNHLicenseAgreementWindowController::AgreementResource = QStringLiteral(":/About/Agreement.html");

namespace {
constexpr qint64 LargestAgreement = 1024 * 1024;
}

FRNHLicenseAgreementWindowController* FRNHLicenseAgreementWindowController::sharedWindowController()
{
  static QPointer<FRNHLicenseAgreementWindowController> shared;
  if (shared == nullptr)
    shared = new FRNHLicenseAgreementWindowController();
  return shared;
}

FRNHLicenseAgreementWindowController::FRNHLicenseAgreementWindowController(const QString& agreementPath,
                                                                           QObject* parent)
    : QObject(parent)
{
  m_window = new QDialog();
  m_window->setObjectName(QStringLiteral("LicenseAgreementWindow"));
  m_window->setWindowTitle(tr("License Agreement"));
  m_window->resize(560, 460);
  auto* layout = new QVBoxLayout(m_window);
  m_licenseContentTextView = new QTextBrowser(m_window);
  m_licenseContentTextView->setObjectName(QStringLiteral("licenseContentTextView"));
  m_licenseContentTextView->setOpenLinks(false);
  connect(m_licenseContentTextView, &QTextBrowser::anchorClicked, this,
          [](const QUrl& url) { ZPHAppServices::current().openLink(url, ZPHAppServices::LinkPlace::ExternalBrowser); });
  layout->addWidget(m_licenseContentTextView);
  auto* buttons = new QHBoxLayout();
  m_closeButton = new QPushButton(tr("Close"), m_window);
  m_closeButton->setObjectName(QStringLiteral("closeButton"));
  m_closeButton->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(m_closeButton);
  layout->addLayout(buttons);
  connect(m_closeButton, &QPushButton::clicked, this, &FRNHLicenseAgreementWindowController::closeWindow);

  QFile file(agreementPath);
  if (file.open(QIODevice::ReadOnly) && file.size() <= LargestAgreement) {
    m_licenseContentTextView->setHtml(QString::fromUtf8(file.readAll()));
    m_hasAgreement = true;
  } else {
    m_licenseContentTextView->setPlainText(tr("The license agreement is not available."));
  }
}

FRNHLicenseAgreementWindowController::~FRNHLicenseAgreementWindowController() { delete m_window.data(); }

void FRNHLicenseAgreementWindowController::scrollToTop()
{
  QTextCursor cursor = m_licenseContentTextView->textCursor();
  cursor.setPosition(0);
  m_licenseContentTextView->setTextCursor(cursor);
  m_licenseContentTextView->verticalScrollBar()->setValue(0);
}

void FRNHLicenseAgreementWindowController::showWindow()
{
  scrollToTop();
  m_window->setParent(nullptr, Qt::Window);
  m_window->setWindowModality(Qt::NonModal);
  m_window->show();
  m_window->raise();
}

void FRNHLicenseAgreementWindowController::runAsSheetForWindow(QWidget* window)
{
  if (window == nullptr) {
    showWindow();
    return;
  }
  scrollToTop();
  m_window->setParent(window, Qt::Sheet);
  m_window->setWindowModality(Qt::WindowModal);
  m_window->open();
}

void FRNHLicenseAgreementWindowController::closeWindow()
{
  m_window->hide();
  m_window->setParent(nullptr);
}
