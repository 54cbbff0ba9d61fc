#pragma once

#include "platform/ZPHError.h"

#include <QtCore/QMutex>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <atomic>
#include <functional>
#include <memory>

class ZPHManagedObjectContext;
class ZPHManagedObjectModel;
class ZPHMigrationManager;
class ZPHPersistentStore;
class ZPHStoreIntegrityCheck;

// The store file, directly in the data folder: "Articles".
extern const QString ZPHCoreDataStoreFileName;
// Errors of the platform kind that the stack hands out: a cancelled
// migration is ZPHCocoaErrorDomain ("NSCocoaErrorDomain") code 3072; a
// folder or store file that could not be made, moved or deleted is code 512.
extern const QString ZPHCocoaErrorDomain;
constexpr qint64 ZPHUserCancelledError = 3072;
constexpr qint64 ZPHFileWriteUnknownError = 512;

// Opens the article store: the object model, the store file "Articles" in
// the data folder (write-ahead log, an integrity check when asked for) and
// the main-thread context. A store of an older model version is migrated
// step by step into "Articles_migration" beside it, which then replaces it
// in one rename (the store file is never missing, and a start after a crash
// recovers from what an interrupted migration left); the application's
// subclass shows the progress through the three hooks. The integrity check
// runs off the main thread too, before the store opens, with three hooks of
// its own.
//
// The store itself merges every other context's save into the main context
// on the main thread while the saving thread waits, so the stack observes
// nothing for that.
class ZPHCoreDataStack {
public:
  ZPHCoreDataStack();
  virtual ~ZPHCoreDataStack();
  ZPHCoreDataStack(const ZPHCoreDataStack&) = delete;
  ZPHCoreDataStack& operator=(const ZPHCoreDataStack&) = delete;

  // The stack most recently made (nullptr once it went away).
  static ZPHCoreDataStack* instance();

  static QString storeFileName() { return ZPHCoreDataStoreFileName; }
  // "<store file name>_migration".
  static QString migrationStoreFileName();

  // On the main thread: loads the model named (CBCoreDataModelResourceName),
  // makes sure the data folder exists, migrates an older store, checks it
  // when asked to and opens the store. false with the error when the store
  // cannot be opened, fails its integrity check or cannot be migrated; the
  // original file is then left as it was. A check stopped by
  // cancelIntegrityCheck() answers the user-cancelled error.
  bool setupCoreDataStackWithModelResourceName(const QString& modelName, ZPHError* error);

  // Whether the store file fits the model. No file, or no readable
  // metadata, counts as fitting. The metadata ("modelVersion") is handed
  // out when there is some.
  bool persistentStoreAtURLIsCompatibleWithManagedObjectModel(const QString& storePath,
                                                              const ZPHManagedObjectModel* model,
                                                              QVariantMap* outSourceStoreMetadata);

  using ProgressHandler = std::function<void(double progress)>;
  using CompletionHandler = std::function<void(bool success, const QString& resultingPath, const ZPHError& error)>;
  // Where handlers run: given a piece of work, runs it (e.g. on the main
  // thread). Empty: on a thread of the global pool.
  using Dispatcher = std::function<void(std::function<void()>)>;

  // Runs migrateInPlace… on a thread of the global pool; progress and the
  // end go to the handlers through the dispatcher.
  void asynchronouslyMigratePersistentStoreAtURL(const QString& storePath, const QVariantMap& metadata,
                                                 const ZPHManagedObjectModel* destinationModel, const Dispatcher& queue,
                                                 ProgressHandler progressHandler, CompletionHandler completionHandler);

  // Migrates the store at `storePath`, whose metadata names its model
  // version, to the destination model, one version step at a time, into
  // "<store>_migration", and then puts that file in the store's place. A
  // failure at any point (also of the final replacement) answers false and
  // leaves the original store as it was.
  bool migrateInPlaceForPersistentStoreAtURL(const QString& storePath, const QVariantMap& metadata,
                                             const ZPHManagedObjectModel* destinationModel, QString* resultingPath,
                                             ProgressHandler progressHandlerBlock, ZPHError* error);

  // From the migration window: cancels the running migration with the
  // user-cancelled error; the set-up then quits the application.
  void cancelMigrationAndTerminateFromMigrationUI();

  // Hooks for the application's subclass. runModalMigrationUI shows the
  // migration window until migrationProcessCompleted ends it; the other two
  // are called on the main thread.
  virtual void runModalMigrationUI();
  virtual void migrationProgressUpdated(double progress);
  virtual void migrationProcessCompleted();

  // The integrity check runs on a thread of its own while the main thread
  // runs runModalIntegrityCheckUI(); the set-up goes on once the check has
  // ended (the base shows nothing, and the set-up serves the event loop
  // meanwhile). The progress (0 to 1, a few times a second, and 1 at the
  // end) and the end reach the other two hooks on the main thread.
  virtual void runModalIntegrityCheckUI();
  virtual void integrityCheckProgressUpdated(double progress);
  virtual void integrityCheckCompleted();
  bool integrityCheckIsRunning() const { return m_integrityCheck != nullptr; }
  // Main thread: stops a running integrity check (a quit); the set-up then
  // opens nothing and answers the user-cancelled error.
  void cancelIntegrityCheck();
  // How often the progress of the check is looked at.
  static constexpr int IntegrityCheckProgressIntervalMs = 100;

  const ZPHManagedObjectModel* managedObjectModel() const { return m_model; }
  ZPHPersistentStore* persistentStore() const { return m_store.get(); }
  ZPHManagedObjectContext* mainThreadManagedObjectContext() const { return m_mainContext.get(); }
  bool shouldPerformIntegrityCheckOnSetup() const { return m_shouldPerformIntegrityCheckOnSetup; }
  void setShouldPerformIntegrityCheckOnSetup(bool value) { m_shouldPerformIntegrityCheckOnSetup = value; }
  bool databasesLoaded() const { return m_databasesLoaded; }
  // The manager of the running migration step, else nullptr.
  ZPHMigrationManager* currentMigrationManager() const;

protected:
  // Ends the application (a cancelled migration, a data folder that cannot
  // be made). The base asks the application's event loop to quit.
  virtual void terminateApplication();

  // The steps by which a migrated store replaces the store; after each the
  // files are in a state that the next start recovers from.
  enum ReplacementStep {
    ReplacementStepSetAside,          // the original has a second name, "<store>_premigration"
    ReplacementStepSideFilesRemoved,  // no stale log or index beside either file
    ReplacementStepReplaced,          // the migrated file is the store
    ReplacementStepCleanedUp,         // the second name is gone
  };
  // Called after each step (for tests that stop the program there).
  virtual void replacementStepDone(ReplacementStep step) { Q_UNUSED(step); }

private:
  static QString setAsideStorePath(const QString& storePath);
  bool removeStoreFiles(const QString& path, ZPHError* error);
  bool replaceStore(const QString& storePath, const QString& migratedPath, ZPHError* error);
  // Before the store is opened or migrated: a store file that an earlier
  // run left missing in the middle of a replacement comes back from the
  // complete migrated file or the set-aside original; leftovers beside an
  // existing store are removed.
  bool recoverStoreFiles(const QString& storePath);
  // The integrity check of the store file before it opens, off the main
  // thread (a file that is missing or empty has nothing to check).
  bool checkIntegrityBeforeOpening(const QString& storePath, ZPHError* error);

  const ZPHManagedObjectModel* m_model = nullptr;
  std::unique_ptr<ZPHPersistentStore> m_store;
  std::unique_ptr<ZPHManagedObjectContext> m_mainContext;
  bool m_shouldPerformIntegrityCheckOnSetup = false;
  bool m_databasesLoaded = false;
  mutable QMutex m_migrationMutex;
  ZPHMigrationManager* m_currentMigrationManager = nullptr;
  bool m_migrationCancelled = false;
  std::unique_ptr<ZPHStoreIntegrityCheck> m_integrityCheck;
};
