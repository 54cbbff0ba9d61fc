#include "subscriptions/ZPHImportOPMLController.h"

#include "common/ZPHApplicationNotifications.h"
#include "feeds/refresh/ZPHDeterminateProgressStatusItem.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/CBViewExtras.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHNotificationCenter.h"
#include "store/entities/CBFeed.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "subscriptions/ZPHExportOPMLController.h"
#include "subscriptions/ZPHOPMLImporter.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

namespace {

QVariantList feedList(const QList<CBFeed*>& feeds)
{
  QVariantList list;
  for (CBFeed* feed : feeds) list.append(QVariant::fromValue(static_cast<ZPHManagedObject*>(feed)));
  return list;
}

}  // namespace

ZPHImportOPMLController::ZPHImportOPMLController(QObject* parent) : QObject(parent) {}

ZPHImportOPMLController::~ZPHImportOPMLController()
{
  delete m_openSheet.data();
  delete m_errorAlert.data();
}

QString ZPHImportOPMLController::statusItemIdentifierForPath(const QString& path)
{
  return QStringLiteral("com.fernhollow.status.opmlImport.%1")
      .arg(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

QString ZPHImportOPMLController::informativeTextForError(const ZPHError& error)
{
  if (error.domain() == ZPHOPMLImporterErrorDomain) {
    switch (error.code()) {
      case ZPHOPMLImporterErrorEmptyFile:
        return tr("There was a problem importing your OPML file. The specified file is empty.");
      case ZPHOPMLImporterErrorCannotRead:
        return tr("There was a problem importing your OPML file. The specified file could not be read.");
      case ZPHOPMLImporterErrorNotOPML:
        return tr("There was a problem importing your OPML file. The specified file is not a valid OPML file.");
      default:
        break;
    }
  }
  // The store could not save it (a full disk): nothing of it was kept.
  if (error.domain() == ZPHObjectGraphErrorDomain)
    return tr("There was a problem importing your OPML file. %1 None of it was imported.")
        .arg(error.localizedDescription());
  return tr("There was a problem importing your OPML file.");
}

void ZPHImportOPMLController::runOPMLImportWithBackgroundWindow(QWidget* window, CompletionHandler completion)
{
  ZPH_ASSERT_MAIN_THREAD();
  Q_ASSERT_X(window != nullptr && !m_busy, Q_FUNC_INFO, "a window, and no import under way");
  if (m_busy)
    return;
  m_busy = true;
  m_backgroundWindow = window;
  m_completionHandler = std::move(completion);
  auto* sheet = new QFileDialog(window, tr("Choose an OPML file to import"));
  sheet->setObjectName(QStringLiteral("importSheet"));
  sheet->setFileMode(QFileDialog::ExistingFile);
  sheet->setAcceptMode(QFileDialog::AcceptOpen);
  sheet->setNameFilters({tr("Subscription lists (*.opml *.xml)"), tr("All files (*)")});
  // Where exports go, not the folder the program was started from.
  sheet->setDirectory(ZPHExportOPMLController::sheetFolder());
  sheet->setAttribute(Qt::WA_DeleteOnClose);
  sheet->setWindowModality(Qt::WindowModal);
  m_openSheet = sheet;
  connect(sheet, &QFileDialog::finished, this, [this, sheet](int result) {
    const QStringList files = sheet->selectedFiles();
    if (result != QDialog::Accepted || files.isEmpty()) {
      m_busy = false;
      if (CompletionHandler completion = std::exchange(m_completionHandler, nullptr))
        completion({});
      return;
    }
    m_busy = false;
    CompletionHandler completion = std::exchange(m_completionHandler, nullptr);
    runOPMLImportWithFileURL(files.first(), m_backgroundWindow, std::move(completion));
  });
  sheet->open();
}

void ZPHImportOPMLController::runOPMLImportWithFileURL(const QString& path, QWidget* window,
                                                       CompletionHandler completion)
{
  ZPH_ASSERT_MAIN_THREAD();
  Q_ASSERT_X(!path.isEmpty() && !m_busy, Q_FUNC_INFO, "a file, and no import under way");
  if (m_busy || path.isEmpty())
    return;
  m_busy = true;
  m_backgroundWindow = window;
  m_completionHandler = std::move(completion);
  m_importer = std::make_shared<ZPHOPMLImporter>(path);
  m_statusItem = ZPHDeterminateProgressStatusItem::determinateProgressStatusItemWithLocalizedDescription(
      tr("Importing OPML\u2026"), statusItemIdentifierForPath(path));
  if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
    delegate->addStatusItem(m_statusItem, {});
  qCInfo(zphSubscriptions).noquote() << "importing" << path;
  QPointer<ZPHImportOPMLController> self(this);
  const std::shared_ptr<ZPHDeterminateProgressStatusItem> item = m_statusItem;
  m_importer->importWithCompletionHandler(
      [self](const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates, const ZPHError& error) {
        if (self != nullptr)
          self->importFinished(imported, duplicates, error);
      },
      [item](double progress) { item->setProgressValue(progress / 100.0); });
}

void ZPHImportOPMLController::importFinished(const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates,
                                             const ZPHError& error)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (error.isNull()) {
    end(imported, duplicates, false);
    return;
  }
  qCWarning(zphSubscriptions).noquote() << "Error importing OPML:" << error.toString();
  // After the importer's completion has returned.
  QPointer<ZPHImportOPMLController> self(this);
  QTimer::singleShot(0, this, [self, imported, duplicates, error] {
    if (self == nullptr)
      return;
    QWidget* window = self->m_backgroundWindow;
    if (window == nullptr) {
      self->end(imported, duplicates, true);
      return;
    }
    auto* alert = new QMessageBox(QMessageBox::Critical, tr("OPML Import Error"), tr("OPML Import Error"),
                                  QMessageBox::Ok, window);
    alert->setObjectName(QStringLiteral("opmlImportError"));
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(informativeTextForError(error));
    cb_giveMessageBoxRoom(alert);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    self->m_errorAlert = alert;
    connect(alert, &QMessageBox::finished, self, [self, imported, duplicates] {
      if (self != nullptr)
        self->end(imported, duplicates, true);
    });
    alert->open();
  });
}

void ZPHImportOPMLController::end(const QList<CBFeed*>& imported, const QList<CBFeed*>& duplicates, bool errorShown)
{
  if (!imported.isEmpty() || !duplicates.isEmpty() || !errorShown) {
    ZPHNotificationCenter::defaultCenter().post(ZPHImportDidFinishNotification,
                                                QVariant::fromValue(static_cast<QObject*>(this)),
                                                {{ZPHShouldShowBezelKey, true},
                                                 {ZPHImportedFeedsKey, feedList(imported)},
                                                 {ZPHDuplicateFeedsKey, feedList(duplicates)}});
  }
  m_busy = false;
  m_importer.reset();
  if (std::shared_ptr<ZPHDeterminateProgressStatusItem> item = std::exchange(m_statusItem, nullptr)) {
    if (ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate())
      delegate->removeStatusItem(item, {});
  }
  if (CompletionHandler completion = std::exchange(m_completionHandler, nullptr))
    completion(imported);
}
