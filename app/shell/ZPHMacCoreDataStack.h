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
// That answer runs once per process: the user is told, every connection to
// the store is closed, the store files are renamed aside in the data folder
// (all of them or, when one rename fails, none: the renames done are undone
// and nothing is deleted), a support mail is offered and the program quits.
// The next start begins with an empty store.
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
  std::unique_ptr<ZPHCoreDataMigrationWindowController> m_migrationWindowController;
  std::unique_ptr<ZPHCoreDataMigrationWindowController> m_integrityCheckWindowController;
  ZPHCoreDataMigrationWindowController::IntegrityCheckCause m_integrityCheckCause =
      ZPHCoreDataMigrationWindowController::IntegrityCheckCause::UncleanEnd;
};
