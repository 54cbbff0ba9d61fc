#include "shell/ZPHMacCoreDataStack.h"

#include "common/ZPHAppServices.h"
#include "common/ZPHShellLog.h"
#include "platform/ZPHMainThread.h"
#include "shell/ZPHAppDelegate.h"
#include "shell/ZPHFeedbackMailer.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHObjectGraphErrors.h"
#include "subscriptions/ZPHOPMLBackupController.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLocale>

#include <execinfo.h>

#include <cstdlib>

namespace {

const QStringList StoreFileSuffixes = {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")};

QStringList currentCallStackSymbols()
{
  void* frames[64];
  const int count = backtrace(frames, 64);
  char** symbols = backtrace_symbols(frames, count);
  QStringList lines;
  if (symbols != nullptr) {
    for (int i = 0; i < count; ++i) lines.append(QString::fromLocal8Bit(symbols[i]));
    std::free(symbols);
  }
  return lines;
}

}  // namespace

ZPHMacCoreDataStack::ZPHMacCoreDataStack() = default;

ZPHMacCoreDataStack::~ZPHMacCoreDataStack() = default;

ZPHMacCoreDataStack* ZPHMacCoreDataStack::instance()
{
  return dynamic_cast<ZPHMacCoreDataStack*>(ZPHCoreDataStack::instance());
}

// ------------------------------------------------------------------ migration

void ZPHMacCoreDataStack::runModalMigrationUI()
{
  m_migrationWindowController = std::make_unique<ZPHCoreDataMigrationWindowController>(this);
  qCInfo(zphShell) << "migrating the store of an older version";
  m_migrationWindowController->runModalMigrationUI();
  m_migrationWindowController.reset();
}

void ZPHMacCoreDataStack::migrationProgressUpdated(double progress)
{
  if (m_migrationWindowController)
    m_migrationWindowController->setMigrationProgress(progress * 100.0);
}

void ZPHMacCoreDataStack::migrationProcessCompleted()
{
  if (m_migrationWindowController)
    m_migrationWindowController->migrationFinished();
}

void ZPHMacCoreDataStack::coreDataMigrationWindowControllerUserDidRequestCancel(
    ZPHCoreDataMigrationWindowController* controller)
{
  if (controller != nullptr && controller == m_integrityCheckWindowController.get()) {
    qCInfo(zphShell) << "the user stopped the integrity check";
    cancelIntegrityCheck();
    return;
  }
  qCInfo(zphShell) << "the user cancelled the migration";
  cancelMigrationAndTerminateFromMigrationUI();
}

// ------------------------------------------------------------ integrity check

void ZPHMacCoreDataStack::runModalIntegrityCheckUI()
{
  m_integrityCheckWindowController = std::make_unique<ZPHCoreDataMigrationWindowController>(
      this, nullptr, ZPHCoreDataMigrationWindowController::integrityCheckTexts(m_integrityCheckCause));
  if (m_integrityCheckCause == ZPHCoreDataMigrationWindowController::IntegrityCheckCause::StoppedCheck)
    qCInfo(zphShell) << "the last integrity check was stopped before it finished; the store is checked again before "
                        "it opens";
  else
    qCInfo(zphShell) << "the previous run did not end normally; the store is checked before it opens";
  m_integrityCheckWindowController->runModalMigrationUI();
  m_integrityCheckWindowController.reset();
}

void ZPHMacCoreDataStack::integrityCheckProgressUpdated(double progress)
{
  if (m_integrityCheckWindowController)
    m_integrityCheckWindowController->setMigrationProgress(progress * 100.0);
}

void ZPHMacCoreDataStack::integrityCheckCompleted()
{
  if (m_integrityCheckWindowController)
    m_integrityCheckWindowController->migrationFinished();
}

void ZPHMacCoreDataStack::terminateApplication()
{
  // The set-up answers the error next; the application delegate quits then.
  qCInfo(zphShell) << "the store could not be set up; the application quits";
}

// ------------------------------------------------------------ failure path

ZPHAlert ZPHMacCoreDataStack::coreDataFailureAlert()
{
  ZPHAlert alert;
  alert.style = ZPHAlert::Style::Critical;
  alert.messageText = QStringLiteral("Well, this is embarrasing.");
  alert.informativeText =
      QStringLiteral(
          "Zephlin is having trouble reading its saved data. It will have to be restored to an empty state; "
          "but a folder window containing an OPML file of your sites and folders will open so you can "
          "easily re-import them after relaunching the application.") +
      QStringLiteral("\n\n") +
      QStringLiteral("Click “Quit and Contact Support” to send an email about this problem and quit Zephlin.");
  alert.buttons = {QStringLiteral("Quit and Contact Support")};
  return alert;
}

void ZPHMacCoreDataStack::quitForCoreDataFailureWithError(const ZPHError& error)
{
  zph_quitForCoreDataFailureWithError(error, currentCallStackSymbols());
}

void ZPHMacCoreDataStack::zph_quitForCoreDataFailureWithError(const ZPHError& error,
                                                              const QStringList& callStackSymbols)
{
  qCCritical(zphShell) << "the store failed:" << error.toString();
  ZPHMainThread::sync([error, callStackSymbols] {
    ZPHAppDelegate* delegate = ZPHAppDelegate::appDelegate();
    if (delegate == nullptr || delegate->terminatingDueToCoreDataFailure())
      return;
    delegate->setTerminatingDueToCoreDataFailure(true);
    delegate->setExitStatus(1);
    delegate->runModalAlert(coreDataFailureAlert());
    // The reporting thread goes on once the user has been told; the store
    // can close only after it has let go.
    QPointer<ZPHAppDelegate> guarded(delegate);
    ZPHMainThread::async([guarded, error, callStackSymbols] {
      if (!guarded)
        return;
      guarded->closeStoreThen([guarded, error, callStackSymbols] {
        if (!guarded)
          return;
        if (!backupAndDeleteCoreDataStore(guarded->pathToDataFolder(), guarded->now()))
          qCCritical(zphShell) << "the store files stay where they are";
        openCoreDataFailureEmailWithError(error, callStackSymbols);
        guarded->terminateAfterCoreDataFailure();
      });
    });
  });
}

// ------------------------------------------------- a save that did not go in

QString ZPHMacCoreDataStack::failedWriteAdvice(const ZPHError& error, const QString& dataFolder)
{
  if (error.domain() == ZPHObjectGraphErrorDomain) {
    switch (error.code()) {
      case ZPHObjectGraphDiskFullError:
        return QStringLiteral("The disk is full. Free some space on it.");
      case ZPHObjectGraphReadOnlyError:
        return QStringLiteral("Zephlin’s data folder can’t be written to. Check that you may write to “%1”.")
            .arg(QDir::toNativeSeparators(dataFolder));
      case ZPHObjectGraphIOError:
        return QStringLiteral("The disk failed to read or write Zephlin’s data. Check the disk.");
      default:
        break;
    }
  }
  const QString description = error.localizedDescription();
  return description.isEmpty() ? QStringLiteral("The store did not take the changes.") : description;
}

ZPHAlert ZPHMacCoreDataStack::failedSaveAlert(const ZPHError& error, const QString& dataFolder)
{
  ZPHAlert alert;
  alert.style = ZPHAlert::Style::Warning;
  alert.messageText = QStringLiteral("Zephlin couldn’t save your latest changes.");
  alert.informativeText =
      failedWriteAdvice(error, dataFolder) +
      QStringLiteral(" Nothing Zephlin saved before is lost: your sites and articles stay as they were.") +
      QStringLiteral("\n\n") +
      QStringLiteral(
          "Changes not saved yet are saved once Zephlin can write again; if Zephlin quits before, "
          "they are lost.");
  alert.buttons = {QStringLiteral("Continue"), QStringLiteral("Quit Zephlin")};
  return alert;
}

void ZPHMacCoreDataStack::reportFailedSaveWithError(const ZPHError& error)
{
  qCWarning(zphShell) << "a save failed; the store stays where it is:" << error.toString();
  ZPHMainThread::async([error] {
    ZPHAppDelegate* delegate = ZPHAppDelegate::appDelegate();
    ZPHMacCoreDataStack* stack = instance();
    if (delegate == nullptr || stack == nullptr)
      return;
    if (delegate->appIsShuttingDown() || delegate->terminatingDueToCoreDataFailure()) {
      qCWarning(zphShell) << "Zephlin quits; what that save held is not saved";
      return;
    }
    if (stack->m_failedSaveAlertShowing || stack->m_failedSaveTold)
      return;  // told already
    stack->m_failedSaveAlertShowing = true;
    stack->m_failedSaveTold = true;
    const int answer = delegate->runModalAlert(failedSaveAlert(error, delegate->pathToDataFolder()));
    stack = instance();
    if (stack == nullptr)
      return;
    stack->m_failedSaveAlertShowing = false;
    // A write the store takes from now on ends this run of failures: the
    // next failure is told again.
    if (ZPHManagedObjectContext* main = stack->mainThreadManagedObjectContext()) {
      auto connection = std::make_shared<QMetaObject::Connection>();
      *connection = QObject::connect(main, &ZPHManagedObjectContext::objectsDidChange, main, [connection] {
        QObject::disconnect(*connection);
        if (ZPHMacCoreDataStack* current = instance())
          current->m_failedSaveTold = false;
      });
    }
    if (answer == 1) {
      qCInfo(zphShell) << "the user quits after a failed save; the store stays where it is";
      delegate->requestTermination();
    }
  });
}

bool ZPHMacCoreDataStack::openingErrorLeavesStoreInPlace(const ZPHError& error)
{
  if (error.domain() == ZPHObjectGraphErrorDomain) {
    return error.code() == ZPHObjectGraphDiskFullError || error.code() == ZPHObjectGraphReadOnlyError ||
           error.code() == ZPHObjectGraphIOError || error.code() == ZPHObjectGraphBusyError;
  }
  // The data folder could not be made, or the store's files not moved.
  return error.domain() == ZPHCocoaErrorDomain && error.code() == ZPHFileWriteUnknownError;
}

ZPHAlert ZPHMacCoreDataStack::storeNotOpenedAlert(const ZPHError& error, const QString& dataFolder)
{
  ZPHAlert alert;
  alert.style = ZPHAlert::Style::Critical;
  alert.messageText = QStringLiteral("Zephlin can’t open your sites and articles.");
  alert.informativeText = failedWriteAdvice(error, dataFolder) +
                          QStringLiteral(" Your sites and articles stay as they were; open Zephlin again then.");
  alert.buttons = {QStringLiteral("Quit")};
  return alert;
}

QString ZPHMacCoreDataStack::backupFileNameForDate(const QString& storeFileName, const QDateTime& date)
{
  const QDateTime local = date.toLocalTime();
  const QLocale c = QLocale::c();
  return QStringLiteral("%1 Corrupted %2 at %3")
      .arg(storeFileName, c.toString(local.date(), QStringLiteral("yyyy-MM-dd")),
           c.toString(local.time(), QStringLiteral("h.mm.ss AP")));
}

bool ZPHMacCoreDataStack::backupAndDeleteCoreDataStore(const QString& dataFolder, const QDateTime& date)
{
  if (dataFolder.isEmpty())
    return false;
  const QDir folder(dataFolder);
  const QString store = folder.filePath(storeFileName());
  const QString backup = folder.filePath(backupFileNameForDate(storeFileName(), date));
  QList<QPair<QString, QString>> moved;
  for (const QString& suffix : StoreFileSuffixes) {
    const QString from = store + suffix;
    const QString to = backup + suffix;
    if (!QFileInfo::exists(from))
      continue;
    if (!zph_copyFrom(from, to)) {
      // All or nothing: what moved comes back, and nothing is deleted.
      for (auto it = moved.crbegin(); it != moved.crend(); ++it) {
        if (!QFile::rename(it->second, it->first))
          qCCritical(zphShell) << "Recovery move error:" << it->second << "->" << it->first;
      }
      return false;
    }
    moved.append({from, to});
  }
  return true;
}

bool ZPHMacCoreDataStack::zph_copyFrom(const QString& from, const QString& to)
{
  QFile file(from);
  if (file.rename(to))
    return true;
  qCCritical(zphShell) << "Failed to copy store from URL" << QUrl::fromLocalFile(from) << "to"
                       << QUrl::fromLocalFile(to) << ":" << file.errorString();
  return false;
}

bool ZPHMacCoreDataStack::zph_delete(const QString& path, bool logError)
{
  QFile file(path);
  if (!file.exists() || file.remove())
    return true;
  if (logError)
    qCCritical(zphShell) << "Failed to delete store from URL" << QUrl::fromLocalFile(path) << ":" << file.errorString();
  return false;
}

QUrl ZPHMacCoreDataStack::coreDataFailureEmailURL(const ZPHError& error, const QStringList& callStackSymbols)
{
  QString body = QStringLiteral("Zephlin encountered a saved data problem.");
  if (!error.isNull())
    body += QStringLiteral("\n\n+++++++++ Core Data Error +++++++++\n\n") + error.toString() + QLatin1Char('\n');
  if (!callStackSymbols.isEmpty())
    body += QStringLiteral("\n\n+++++++++ Call Stack +++++++++\n\n") + callStackSymbols.join(QLatin1Char('\n')) +
            QLatin1Char('\n');
  return ZPHFeedbackMailer(QStringLiteral("Zephlin Saved Data Problem"), body).mailtoURL();
}

void ZPHMacCoreDataStack::openCoreDataFailureEmailWithError(const ZPHError& error, const QStringList& callStackSymbols)
{
  // The folder with the newest backup of the subscription list opens, so
  // the sites can be imported again after the restart.
  if (ZPHAppDelegate* delegate = ZPHAppDelegate::appDelegate()) {
    const QString newest = ZPHOPMLBackupController::newestBackupFilePathInDataFolder(delegate->pathToDataFolder());
    if (!newest.isEmpty())
      delegate->environment().openURL(QUrl::fromLocalFile(QFileInfo(newest).absolutePath()));
  }
  ZPHAppServices::current().openLink(coreDataFailureEmailURL(error, callStackSymbols),
                                     ZPHAppServices::LinkPlace::MailProgram);
}
