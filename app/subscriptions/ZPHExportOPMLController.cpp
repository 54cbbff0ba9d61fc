#include "subscriptions/ZPHExportOPMLController.h"

#include "subscriptions/ZPHOPMLExporter.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QDir>
#include <QtCore/QStandardPaths>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

ZPHExportOPMLController::ZPHExportOPMLController(QObject* parent) : QObject(parent) {}

ZPHExportOPMLController::~ZPHExportOPMLController()
{
  delete m_saveSheet.data();
  delete m_failureAlert.data();
}

QString ZPHExportOPMLController::sheetFolder()
{
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QString ZPHExportOPMLController::proposedFileName(const QDateTime& date)
{
  return ZPHOPMLExporter::fileNameForDate(QStringLiteral("Zephlin Sites"), date);
}

void ZPHExportOPMLController::exportOPMLForAccounts(const QList<CBDataAccount*>& accounts)
{
  if (accounts.isEmpty() || m_saveSheet != nullptr)
    return;
  m_accounts = accounts;
  auto* sheet = new QFileDialog(m_backgroundWindow, tr("Export your list of subscriptions"));
  sheet->setObjectName(QStringLiteral("exportSheet"));
  sheet->setAcceptMode(QFileDialog::AcceptSave);
  sheet->setFileMode(QFileDialog::AnyFile);
  sheet->setDefaultSuffix(QStringLiteral("opml"));
  sheet->setNameFilter(tr("Subscription lists (*.opml)"));
  sheet->setDirectory(sheetFolder());
  sheet->selectFile(proposedFileName(QDateTime::currentDateTime()));
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  sheet->setWindowModality(Qt::WindowModal);
  m_saveSheet = sheet;
  connect(sheet, &QFileDialog::finished, this, [this, sheet](int result) {
    const QStringList files = sheet->selectedFiles();
    if (result == QDialog::Accepted && !files.isEmpty())
      exportToPath(files.first());
  });
  sheet->open();
}

void ZPHExportOPMLController::exportToPath(const QString& path, std::function<void(bool)> done)
{
  QPointer<ZPHExportOPMLController> self(this);
  ZPHOPMLExporter::exportAccountsToFile(
      m_accounts, path, false, [self, path, done](bool written, const QString& reason) {
        if (written) {
          qCInfo(zphSubscriptions).noquote() << "exported the sites to" << path;
        } else {
          qCWarning(zphSubscriptions).noquote() << "Failed to write data for OPML export to" << path << reason;
          if (self != nullptr && self->m_backgroundWindow != nullptr) {
            auto* alert = new QMessageBox(QMessageBox::Critical, tr("Export Failed"),
                                          tr("Your subscriptions could not be exported."), QMessageBox::Ok,
                                          self->m_backgroundWindow);
            alert->setObjectName(QStringLiteral("exportFailed"));
            alert->setTextFormat(Qt::PlainText);
            alert->setInformativeText(tr("The file \u201c%1\u201d could not be written: %2").arg(path, reason));
            alert->setAttribute(Qt::WA_DeleteOnClose);
            alert->setWindowModality(Qt::WindowModal);
            self->m_failureAlert = alert;
            alert->open();
          }
        }
        if (done)
          done(written);
      });
}
