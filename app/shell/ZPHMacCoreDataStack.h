#pragma once

// Qt kind: none (a plain class).

#include "shell/ZPHAlert.h"
#include "shell/ZPHCoreDataMigrationWindowController.h"
#include "store/ZPHCoreDataStack.h"

#include <QtCore/QDateTime>
#include <QtCore/QStringList>

#include <memory>

// The application's store stack: it shows the migration window while the
// core stack migrates a store of an older version, the same window with the
// check's texts while it checks the store's integrity, and it carries the
// application's answer to a store that cannot be read or saved.
//
// Only a store found damaged (ZPHObjectGraphErrorSaysStoreIsDamaged()) is
// answered so, once per process: the user is told, every connection to the
// store is closed, the store files are renamed aside in the data folder (all
// of them or, when one rename fails, none: the renames done are undone and
// nothing is deleted), a support mail is offered and the program quits. The
// next start begins with an empty store.
//
// A save that failed for any other reason (a full disk, a folder that can't
// be written to, an I/O error) leaves the store where it is: the user is
// told what failed and that nothing saved before is lost, and chooses to go
// on or to quit (status 0). One alert tells of a run of such failures: the
// next one is told once the store has taken a write again. A store that
// can't be opened for such a reason stays too, and the program quits.
class ZPHMacCoreDataStack : public ZPHCoreDataStack, public ZPHCoreDataMigrationWindowController::Delegate {
public:
  ZPHMacCoreDataStack();
  ~ZPHMacCoreDataStack() override;

  // The stack most recently made, when it is this class.
  static ZPHMacCoreDataStack* instance();

  ZPHCoreDataMigrationWindowController* migrationWindowController() const { return m_migrationWindowController.get(); }
  // The window of the integrity check while it runs.
  ZPHCoreDataMigrationWindowController* integrityCheckWindowController() const
  {
    return m_integrityCheckWindowController.get();
  }
  // Why the store is checked, which its window and the log tell (an unclean
  // end unless set).
  void setIntegrityCheckCause(ZPHCoreDataMigrationWindowController::IntegrityCheckCause cause)
  {
    m_integrityCheckCause = cause;
  }

  void runModalMigrationUI() override;
  void migrationProgressUpdated(double progress) override;
  void migrationProcessCompleted() override;
  void runModalIntegrityCheckUI() override;
  void integrityCheckProgressUpdated(double progress) override;
  void integrityCheckCompleted() override;
  // Cancel and "Quit Zephlin" in either window.
  void coreDataMigrationWindowControllerUserDidRequestCancel(ZPHCoreDataMigrationWindowController* controller) override;

  // The failure path; from any thread (the caller waits until the user has
  // been told). Later calls do nothing.
  static void quitForCoreDataFailureWithError(const ZPHError& error);
  static void zph_quitForCoreDataFailureWithError(const ZPHError& error, const QStringList& callStackSymbols);

  // A save that failed with the store left where it is; from any thread,
  // never waiting: the user is told on the main thread's next turn.
  static void reportFailedSaveWithError(const ZPHError& error);
  // What that alert says: what failed and what to do ("Continue" and "Quit
  // Zephlin").
  static ZPHAlert failedSaveAlert(const ZPHError& error, const QString& dataFolder);
  // Whether a store that could not be opened with this error stays where it
  // is (the disk or its folder failed, not the file), and what the user is
  // told then.
  static bool openingErrorLeavesStoreInPlace(const ZPHError& error);
  static ZPHAlert storeNotOpenedAlert(const ZPHError& error, const QString& dataFolder);
  // Whether a failed save is being told, or was told and the store has
  // taken no write since.
  bool failedSaveAlertShowing() const { return m_failedSaveAlertShowing; }

  // "<store> Corrupted <yyyy-MM-dd> at <h.mm.ss AM/PM>" in local time.
  static QString backupFileNameForDate(const QString& storeFileName, const QDateTime& date);
  // Renames the store file and its "-wal" and "-shm" companions to their
  // backup names beside them; when one rename fails, renames the others
  // back and answers false. Deletes nothing.
  static bool backupAndDeleteCoreDataStore(const QString& dataFolder, const QDateTime& date);
  // The support mail: the error and the call stack in its body.
  static QUrl coreDataFailureEmailURL(const ZPHError& error, const QStringList& callStackSymbols);
  static void openCoreDataFailureEmailWithError(const ZPHError& error, const QStringList& callStackSymbols);

  // File helpers; each answers success. zph_copyFrom moves within the folder.
  static bool zph_copyFrom(const QString& from, const QString& to);
  static bool zph_delete(const QString& path, bool logError);

  static ZPHAlert coreDataFailureAlert();

protected:
  // A cancelled migration: the application quits once the set-up returns.
  void terminateApplication() override;

private:
  // The reason of a failed write, and what the user can do about it.
  static QString failedWriteAdvice(const ZPHError& error, const QString& dataFolder);

  std::unique_ptr<ZPHCoreDataMigrationWindowController> m_migrationWindowController;
  std::unique_ptr<ZPHCoreDataMigrationWindowController> m_integrityCheckWindowController;
  ZPHCoreDataMigrationWindowController::IntegrityCheckCause m_integrityCheckCause =
      ZPHCoreDataMigrationWindowController::IntegrityCheckCause::UncleanEnd;
  // Main thread only.
  bool m_failedSaveAlertShowing = false;
  bool m_failedSaveTold = false;
};
