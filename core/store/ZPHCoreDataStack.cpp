#include "store/ZPHCoreDataStack.h"

#include "foundation/ZPHCoreApplicationDelegate.h"
#include "platform/ZPHLog.h"
#include "platform/ZPHMainThread.h"
#include "store/entities/CBDataModel.h"
#include "store/graph/ZPHManagedObjectContext.h"
#include "store/graph/ZPHManagedObjectModel.h"
#include "store/graph/ZPHPersistentStore.h"
#include "store/graph/ZPHStoreIntegrityCheck.h"
#include "store/migration/CBDataMappingModel.h"
#include "store/migration/ZPHMigrationManager.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMutexLocker>
#include <QtCore/QThreadPool>
#include <QtCore/QTimer>

#include <stdio.h>
#include <unistd.h>

const QString ZPHCoreDataStoreFileName = QStringLiteral("Articles");
const QString ZPHCocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");

namespace {

std::atomic<ZPHCoreDataStack*> g_instance{nullptr};

const QString ModelVersionKey = QStringLiteral("modelVersion");
// The side files SQLite keeps beside a store in write-ahead-log mode; they
// belong to the main file and move with it.
const QStringList StoreFileSuffixes = {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")};

ZPHError fileError(const QString& description, const QString& path)
{
  return ZPHError(ZPHCocoaErrorDomain, ZPHFileWriteUnknownError,
                  {{ZPHLocalizedDescriptionKey, description}, {QStringLiteral("NSFilePath"), path}});
}

ZPHError userCancelledError(const QString& description = QStringLiteral("The migration was cancelled."))
{
  return ZPHError(ZPHCocoaErrorDomain, ZPHUserCancelledError, {{ZPHLocalizedDescriptionKey, description}});
}

bool isUserCancelled(const ZPHError& error)
{
  return error.domain() == ZPHCocoaErrorDomain && error.code() == ZPHUserCancelledError;
}

}  // namespace

ZPHCoreDataStack::ZPHCoreDataStack() { g_instance.store(this); }

ZPHCoreDataStack::~ZPHCoreDataStack()
{
  ZPHCoreDataStack* self = this;
  g_instance.compare_exchange_strong(self, nullptr);
  m_mainContext.reset();
  m_store.reset();
}

ZPHCoreDataStack* ZPHCoreDataStack::instance() { return g_instance.load(); }

QString ZPHCoreDataStack::migrationStoreFileName() { return QStringLiteral("%1_migration").arg(storeFileName()); }

ZPHMigrationManager* ZPHCoreDataStack::currentMigrationManager() const
{
  QMutexLocker locker(&m_migrationMutex);
  return m_currentMigrationManager;
}

bool ZPHCoreDataStack::setupCoreDataStackWithModelResourceName(const QString& modelName, ZPHError* error)
{
  ZPH_ASSERT_MAIN_THREAD();
  if (modelName != CBCoreDataModelResourceName) {
    qCCritical(zphStore) << "no object model named" << modelName;
    return ZPHSetError(error,
                       fileError(QStringLiteral("The object model %1 does not exist.").arg(modelName), modelName));
  }
  m_model = CBDataManagedObjectModel();

  ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
  const QString folder = delegate ? delegate->pathToDataFolder() : QString();
  if (folder.isEmpty() || !QDir().mkpath(folder)) {
    qCCritical(zphStore) << "cannot make the data folder" << folder;
    terminateApplication();
    return ZPHSetError(error, fileError(QStringLiteral("The data folder could not be made."), folder));
  }
  const QString storePath = QDir(folder).filePath(storeFileName());
  if (!recoverStoreFiles(storePath)) {
    qCCritical(zphStore) << "The store file could not be recovered";
    return ZPHSetError(error, fileError(QStringLiteral("The store file could not be recovered."), storePath));
  }

  QVariantMap metadata;
  if (!persistentStoreAtURLIsCompatibleWithManagedObjectModel(storePath, m_model, &metadata)) {
    qCWarning(zphStore) << "Store at URL" << storePath
                        << "is not compatible with configuration! Attempting to migrate.";
    struct Outcome {
      bool done = false;
      bool success = false;
      ZPHError error;
    };
    auto outcome = std::make_shared<Outcome>();
    asynchronouslyMigratePersistentStoreAtURL(
        storePath, metadata, m_model, [](std::function<void()> work) { ZPHMainThread::async(std::move(work)); },
        [this](double progress) { migrationProgressUpdated(progress); },
        [this, outcome](bool success, const QString&, const ZPHError& migrationError) {
          outcome->success = success;
          outcome->error = migrationError;
          outcome->done = true;
          migrationProcessCompleted();
        });
    runModalMigrationUI();
    // A window that closed early still waits for the migration's end.
    ZPHMainThread::processEventsUntil([&] { return outcome->done; }, QDeadlineTimer::Forever);
    if (!outcome->success) {
      if (isUserCancelled(outcome->error))
        terminateApplication();
      else
        qCCritical(zphStore) << "Error attempting to migrate CoreData store:" << outcome->error.toString();
      qCCritical(zphStore) << "Not opening persistent store due to earlier error";
      return ZPHSetError(error, outcome->error);
    }
  }

  if (m_shouldPerformIntegrityCheckOnSetup && !checkIntegrityBeforeOpening(storePath, error))
    return false;
  auto store = std::make_unique<ZPHPersistentStore>(m_model, storePath);
  ZPHError openError;
  if (!store->open(false, &openError)) {
    qCCritical(zphStore) << "Problem loading CoreData persistent store." << openError.toString();
    return ZPHSetError(error, openError);
  }
  // A store written by an earlier version may carry an index that no query
  // uses any more (each costs every insert); it goes here, once.
  ZPHError indexError;
  if (!store->alignIndexesWithModel(&indexError))
    qCWarning(zphStore) << "The store's indexes could not be brought up to date:" << indexError.toString();
  m_store = std::move(store);
  m_mainContext =
      std::make_unique<ZPHManagedObjectContext>(m_store.get(), ZPHManagedObjectContext::MainQueueConcurrencyType);
  m_databasesLoaded = true;
  return true;
}

bool ZPHCoreDataStack::checkIntegrityBeforeOpening(const QString& storePath, ZPHError* error)
{
  if (QFileInfo(storePath).size() <= 0)
    return true;  // nothing to check; opening tells what it is
  qCInfo(zphStore) << "checking the integrity of" << storePath;
  struct Outcome {
    bool done = false;
    ZPHError error;
  };
  auto outcome = std::make_shared<Outcome>();
  m_integrityCheck = std::make_unique<ZPHStoreIntegrityCheck>(storePath, [this, outcome](const ZPHError& checkError) {
    outcome->error = checkError;
    outcome->done = true;
    integrityCheckProgressUpdated(1.0);
    integrityCheckCompleted();
  });
  QTimer progress;
  progress.setInterval(IntegrityCheckProgressIntervalMs);
  double shown = -1;
  QObject::connect(&progress, &QTimer::timeout, [this, outcome, &shown] {
    if (outcome->done || m_integrityCheck == nullptr)
      return;
    const double now = m_integrityCheck->progress();
    if (now > shown) {
      shown = now;
      integrityCheckProgressUpdated(now);
    }
  });
  progress.start();
  integrityCheckProgressUpdated(0.0);
  runModalIntegrityCheckUI();
  // A window that closed early still waits for the check's end.
  ZPHMainThread::processEventsUntil([&] { return outcome->done; }, QDeadlineTimer::Forever);
  progress.stop();
  const bool cancelled = m_integrityCheck->wasCancelled();
  m_integrityCheck.reset();
  if (cancelled) {
    // Even when it had passed by then: whoever stopped it quits.
    qCInfo(zphStore) << "the integrity check was stopped; the store stays closed";
    return ZPHSetError(error, userCancelledError(QStringLiteral("The integrity check was stopped.")));
  }
  if (!outcome->error.isNull()) {
    qCCritical(zphStore) << "Problem loading CoreData persistent store." << outcome->error.toString();
    return ZPHSetError(error, outcome->error);
  }
  return true;
}

void ZPHCoreDataStack::runModalIntegrityCheckUI() {}

void ZPHCoreDataStack::integrityCheckProgressUpdated(double progress) { Q_UNUSED(progress); }

void ZPHCoreDataStack::integrityCheckCompleted() {}

void ZPHCoreDataStack::cancelIntegrityCheck()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_integrityCheck != nullptr)
    m_integrityCheck->cancel();
}

bool ZPHCoreDataStack::persistentStoreAtURLIsCompatibleWithManagedObjectModel(const QString& storePath,
                                                                              const ZPHManagedObjectModel* model,
                                                                              QVariantMap* outSourceStoreMetadata)
{
  ZPHError error;
  const int version = ZPHPersistentStore::modelVersionOfStoreAtPath(storePath, &error);
  if (version <= 0)  // no file, an empty one, or unreadable: opening tells
    return true;
  if (outSourceStoreMetadata)
    *outSourceStoreMetadata = {{ModelVersionKey, version}};
  return version == model->versionNumber();
}

void ZPHCoreDataStack::asynchronouslyMigratePersistentStoreAtURL(const QString& storePath, const QVariantMap& metadata,
                                                                 const ZPHManagedObjectModel* destinationModel,
                                                                 const Dispatcher& queue,
                                                                 ProgressHandler progressHandler,
                                                                 CompletionHandler completionHandler)
{
  const Dispatcher dispatch =
      queue ? queue
            : Dispatcher([](std::function<void()> work) { QThreadPool::globalInstance()->start(std::move(work)); });
  {
    QMutexLocker locker(&m_migrationMutex);
    m_migrationCancelled = false;  // a cancel from now on reaches this migration
  }
  QThreadPool::globalInstance()->start([=, this] {
    ProgressHandler relay;
    if (progressHandler)
      relay = [dispatch, progressHandler](double progress) {
        dispatch([progressHandler, progress] { progressHandler(progress); });
      };
    QString resultingPath;
    ZPHError error;
    const bool success =
        migrateInPlaceForPersistentStoreAtURL(storePath, metadata, destinationModel, &resultingPath, relay, &error);
    if (completionHandler)
      dispatch([=] { completionHandler(success, resultingPath, error); });
  });
}

bool ZPHCoreDataStack::migrateInPlaceForPersistentStoreAtURL(const QString& storePath, const QVariantMap& metadata,
                                                             const ZPHManagedObjectModel* destinationModel,
                                                             QString* resultingPath,
                                                             ProgressHandler progressHandlerBlock, ZPHError* error)
{
  Q_ASSERT_X(!storePath.isEmpty(), Q_FUNC_INFO, "sourceStoreURL");
  Q_ASSERT_X(!metadata.isEmpty(), Q_FUNC_INFO, "sourceStoreMetadata");
  Q_ASSERT_X(destinationModel != nullptr, Q_FUNC_INFO, "destinationModel");
  const int sourceVersion = metadata.value(ModelVersionKey).toInt();
  const int destinationVersion = destinationModel->versionNumber();
  if (CBDataManagedObjectModelForVersion(sourceVersion) == nullptr || sourceVersion >= destinationVersion) {
    qCCritical(zphStore) << "Coudn't create merged model from store metadata:" << metadata;
    return ZPHSetError(
        error, fileError(QStringLiteral("The store's model version %1 is not known.").arg(sourceVersion), storePath));
  }
  // The mapping of every step, before anything is touched.
  QList<ZPHMappingModel> steps;
  for (int version = sourceVersion; version < destinationVersion; ++version) {
    std::optional<ZPHMappingModel> mapping = CBDataMappingModelForVersions(version, version + 1);
    if (!mapping || CBDataManagedObjectModelForVersion(version + 1) == nullptr) {
      qCCritical(zphStore) << "Couldn't create mapping model for source model" << version;
      return ZPHSetError(error,
                         fileError(QStringLiteral("No migration from model version %1.").arg(version), storePath));
    }
    steps.append(*mapping);
  }

  const QString destinationPath = QFileInfo(storePath).dir().filePath(migrationStoreFileName());
  removeStoreFiles(destinationPath, nullptr);

  bool ok = true;
  ZPHError migrationError;
  QString currentSource = storePath;
  for (qsizetype step = 0; step < steps.size() && ok; ++step) {
    const int version = sourceVersion + int(step);
    const bool last = step == steps.size() - 1;
    const ZPHManagedObjectModel* to = last ? destinationModel : CBDataManagedObjectModelForVersion(version + 1);
    // Steps before the last write to a file of their own beside the store.
    const QString stepPath = last ? destinationPath : destinationPath + QStringLiteral(".%1").arg(version + 1);
    ZPHMigrationManager manager(CBDataManagedObjectModelForVersion(version), to);
    if (progressHandlerBlock) {
      const double count = double(steps.size());
      manager.setProgressObserver([=](float oldValue, float newValue) {
        if (newValue != oldValue)
          progressHandlerBlock((double(step) + double(newValue)) / count);
      });
    }
    {
      QMutexLocker locker(&m_migrationMutex);
      if (m_migrationCancelled) {
        migrationError = userCancelledError();
        ok = false;
        break;
      }
      m_currentMigrationManager = &manager;
    }
    ok = manager.migrateStore(currentSource, stepPath, steps[step], &migrationError);
    {
      QMutexLocker locker(&m_migrationMutex);
      m_currentMigrationManager = nullptr;
    }
    if (currentSource != storePath)
      removeStoreFiles(currentSource, nullptr);
    if (!ok && !last)
      removeStoreFiles(stepPath, nullptr);
    currentSource = stepPath;
  }

  {
    QMutexLocker locker(&m_migrationMutex);
    m_migrationCancelled = false;  // a cancel ends this migration only
  }
  if (!ok) {
    if (isUserCancelled(migrationError)) {
      ZPHError deleteError;
      if (!removeStoreFiles(destinationPath, &deleteError))
        qCCritical(zphStore) << "Error deleting migration store file:" << deleteError.toString();
    }
    return ZPHSetError(error, migrationError);
  }
  if (!replaceStore(storePath, destinationPath, error))
    return false;
  if (resultingPath)
    *resultingPath = storePath;
  return true;
}

bool ZPHCoreDataStack::removeStoreFiles(const QString& path, ZPHError* error)
{
  bool ok = true;
  for (const QString& suffix : StoreFileSuffixes) {
    const QString file = path + suffix;
    if (QFileInfo::exists(file) && !QFile::remove(file)) {
      ok = false;
      ZPHSetError(error, fileError(QStringLiteral("The file could not be deleted."), file));
    }
  }
  return ok;
}

QString ZPHCoreDataStack::setAsideStorePath(const QString& storePath)
{
  return storePath + QStringLiteral("_premigration");
}

bool ZPHCoreDataStack::replaceStore(const QString& storePath, const QString& migratedPath, ZPHError* error)
{
  // The store file is never missing: the migrated file takes its name in
  // one rename. Both files are whole without side files (the migration
  // wrote the original's log into it); a log still beside the original
  // would be read as the new file's, so a non-empty one stops the
  // replacement.
  const QString aside = setAsideStorePath(storePath);
  const QString wal = storePath + QStringLiteral("-wal");
  if (QFileInfo(wal).size() > 0) {
    qCCritical(zphStore) << "Replacement refused: the store still has a log" << wal;
    return ZPHSetError(error, fileError(QStringLiteral("The migrated store could not replace the store."), storePath));
  }
  // 1. The original stays reachable under a second name while the new one
  // moves in (a hard link, else a copy), for a rollback by hand.
  removeStoreFiles(aside, nullptr);
  if (::link(QFile::encodeName(storePath).constData(), QFile::encodeName(aside).constData()) != 0 &&
      !QFile::copy(storePath, aside))
    qCWarning(zphStore) << "No copy of the store is kept during its replacement:" << aside;
  replacementStepDone(ReplacementStepSetAside);
  // 2. Stale side files of the original go before the new file arrives.
  QFile::remove(wal);
  QFile::remove(storePath + QStringLiteral("-shm"));
  QFile::remove(migratedPath + QStringLiteral("-wal"));
  QFile::remove(migratedPath + QStringLiteral("-shm"));
  replacementStepDone(ReplacementStepSideFilesRemoved);
  // 3. The new file replaces the old one at once.
  if (::rename(QFile::encodeName(migratedPath).constData(), QFile::encodeName(storePath).constData()) != 0) {
    qCCritical(zphStore) << "Replacement failed: cannot move" << migratedPath << "to" << storePath;
    removeStoreFiles(aside, nullptr);
    return ZPHSetError(error, fileError(QStringLiteral("The migrated store could not replace the store."), storePath));
  }
  replacementStepDone(ReplacementStepReplaced);
  // 4. The copy of the original is no longer needed.
  removeStoreFiles(aside, nullptr);
  replacementStepDone(ReplacementStepCleanedUp);
  return true;
}

bool ZPHCoreDataStack::recoverStoreFiles(const QString& storePath)
{
  const QString migrated = QFileInfo(storePath).dir().filePath(migrationStoreFileName());
  const QString aside = setAsideStorePath(storePath);
  if (QFileInfo::exists(storePath)) {
    // Whatever an interrupted migration or replacement left beside a store
    // is of no more use: a new migration starts from the store.
    if (QFileInfo::exists(aside) || QFileInfo::exists(migrated))
      qCWarning(zphStore) << "Removing what an interrupted migration left beside the store";
    removeStoreFiles(aside, nullptr);
    removeStoreFiles(migrated, nullptr);
    return true;
  }
  // No store, but a migration had begun to replace it (as earlier versions
  // did in two steps): the complete migrated file, else the set-aside
  // original, becomes the store before anything makes a new, empty one.
  auto moveIn = [&](const QString& from, bool withSideFiles) {
    bool ok = true;
    for (const QString& suffix : StoreFileSuffixes) {
      const QString file = from + suffix;
      if (suffix.isEmpty() || withSideFiles) {
        if (QFileInfo::exists(file) && !QFile::rename(file, storePath + suffix))
          ok = false;
      } else {
        QFile::remove(file);
      }
    }
    return ok;
  };
  if (ZPHPersistentStore::metadataValueOfStoreAtPath(migrated, ZPHMigrationCompleteKey) == QLatin1String("1")) {
    qCWarning(zphStore) << "The store was missing; the complete migrated store" << migrated << "takes its place";
    if (!moveIn(migrated, false))
      return false;
    removeStoreFiles(aside, nullptr);
    return true;
  }
  if (QFileInfo::exists(aside)) {
    qCWarning(zphStore) << "The store was missing; the original set aside by a migration" << aside
                        << "takes its place again";
    removeStoreFiles(migrated, nullptr);
    return moveIn(aside, true);
  }
  return true;
}

void ZPHCoreDataStack::cancelMigrationAndTerminateFromMigrationUI()
{
  QMutexLocker locker(&m_migrationMutex);
  m_migrationCancelled = true;
  if (m_currentMigrationManager)
    m_currentMigrationManager->cancelMigrationWithError(userCancelledError());
}

void ZPHCoreDataStack::runModalMigrationUI()
{
  qCCritical(zphStore) << "Subclass implementation for migration is required!";
  Q_ASSERT_X(false, Q_FUNC_INFO, "Subclass implementation for migration is required!");
}

void ZPHCoreDataStack::migrationProgressUpdated(double progress) { Q_UNUSED(progress); }

void ZPHCoreDataStack::migrationProcessCompleted() {}

void ZPHCoreDataStack::terminateApplication()
{
  if (QCoreApplication* application = QCoreApplication::instance())
    QTimer::singleShot(0, application, &QCoreApplication::quit);
}
