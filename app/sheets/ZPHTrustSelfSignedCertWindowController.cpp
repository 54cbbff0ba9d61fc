#include "sheets/ZPHTrustSelfSignedCertWindowController.h"

#include "sheets/ZPHSheetDialog.h"

#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

ZPHTrustSelfSignedCertWindowController::ZPHTrustSelfSignedCertWindowController(ZPHSheetHost host, QObject* parent)
    : ZPHSheetWindowController(std::move(host), parent)
{
  ZPHSheetDialog* window = sheetWindow();
  window->setObjectName(QStringLiteral("TrustSelfSignedCertWindow"));
  window->setWindowTitle(tr("Untrusted Certificate"));
  QVBoxLayout* column = window->setQuestionLayout(QStyle::SP_MessageBoxWarning);
  m_warningTextField = new QLabel(window);
  m_warningTextField->setObjectName(QStringLiteral("warningTextField"));
  m_warningTextField->setTextFormat(Qt::PlainText);
  m_warningTextField->setWordWrap(true);
  m_warningTextField->setMinimumWidth(380);
  m_finePrintTextField = window->makeFinePrint(QString());
  m_finePrintTextField->setObjectName(QStringLiteral("finePrintTextField"));
  m_certificateView = new QPlainTextEdit(window);
  m_certificateView->setObjectName(QStringLiteral("certificateView"));
  m_certificateView->setReadOnly(true);
  m_certificateView->setMinimumHeight(160);
  m_certificateView->hide();
  column->addWidget(m_warningTextField);
  column->addWidget(m_finePrintTextField);
  column->addWidget(m_certificateView);

  auto* buttons = new QHBoxLayout();
  m_showCertificateButton = window->makeButton(tr("Show Certificate"), QStringLiteral("showCertificateButton"), false);
  m_cancelButton = window->makeButton(tr("Cancel"), QStringLiteral("cancelButton"), true);
  m_continueButton = window->makeButton(tr("Continue"), QStringLiteral("continueButton"), false);
  buttons->addWidget(m_showCertificateButton);
  buttons->addStretch();
  buttons->addWidget(m_cancelButton);
  buttons->addWidget(m_continueButton);
  column->addLayout(buttons);

  connect(m_continueButton, &QPushButton::clicked, this, &ZPHTrustSelfSignedCertWindowController::actionOK);
  connect(m_cancelButton, &QPushButton::clicked, this, &ZPHTrustSelfSignedCertWindowController::actionCancel);
  connect(m_showCertificateButton, &QPushButton::clicked, this, [this] {
    m_certificateView->setVisible(!m_certificateView->isVisible());
    m_showCertificateButton->setText(m_certificateView->isVisible() ? tr("Hide Certificate") : tr("Show Certificate"));
    sheetWindow()->adjustSize();
  });
}

ZPHTrustSelfSignedCertWindowController::~ZPHTrustSelfSignedCertWindowController() { actionCancel(); }

QString ZPHTrustSelfSignedCertWindowController::warningTextForSummary(const QString& summary)
{
  return tr("The certificate for this website is invalid. You might be connecting to a website that is pretending to "
            "be \u201c%1\u201d, which could put your confidential information at risk. Would you like to connect to "
            "the website anyway?")
      .arg(summary);
}

QString ZPHTrustSelfSignedCertWindowController::finePrintForSummary(const QString& summary)
{
  return tr("Zephlin can\u2019t verify the identity of the website \u201c%1\u201d.").arg(summary);
}

void ZPHTrustSelfSignedCertWindowController::setCertificateSummary(const QString& summary,
                                                                   const QSslCertificate& certificate)
{
  m_warningTextField->setText(warningTextForSummary(summary));
  m_finePrintTextField->setText(finePrintForSummary(summary));
  m_certificateView->setPlainText(certificate.isNull() ? QString() : certificate.toText());
  m_showCertificateButton->setVisible(!certificate.isNull());
}

bool ZPHTrustSelfSignedCertWindowController::beginSheet(QWidget* parent, Handler handler)
{
  if (!beginSheetOn(parent))
    return false;
  m_handler = std::move(handler);
  m_cancelButton->setFocus();
  return true;
}

void ZPHTrustSelfSignedCertWindowController::actionOK() { finish(true); }

void ZPHTrustSelfSignedCertWindowController::actionCancel() { finish(false); }

void ZPHTrustSelfSignedCertWindowController::finish(bool trust)
{
  if (!endSheet())
    return;
  if (Handler handler = std::exchange(m_handler, {}))
    handler(trust);
}

void ZPHTrustSelfSignedCertWindowController::sheetWindowWentAway()
{
  if (Handler handler = std::exchange(m_handler, {}))
    handler(false);
}
