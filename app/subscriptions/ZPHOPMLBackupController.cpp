#include "subscriptions/ZPHOPMLBackupController.h"

#include "common/ZPHApplicationNotifications.h"
#include "foundation/ZPHCoreApplicationDelegate.h"
#include "kit/ZPHClock.h"
#include "platform/ZPHMainThread.h"
#include "platform/ZPHUserDefaults.h"
#include "store/accounts/CBDataAccount.h"
#include "store/tree/ZPHModel.h"
#include "subscriptions/ZPHOPMLExporter.h"
#include "subscriptions/ZPHSubscriptionsLog.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>

const QString ZPHDidPerformInitialOPMLBackupKey = QStringLiteral("didPerformInitialOPMLBackup");
const QString ZPHOPMLBackupsFolderName = QStringLiteral("OPML Backups");

namespace {

// Posted by the source list when a feed or folder was renamed.
const QString FeedOrFolderDisplayNameChangedNotification =
    QStringLiteral("ZPHFeedOrFolderDisplayNameChangedNotification");

}  // namespace

ZPHOPMLBackupController* ZPHOPMLBackupController::sharedOPMLBackupController()
{
  ZPH_ASSERT_MAIN_THREAD();
  static ZPHOPMLBackupController* shared = new ZPHOPMLBackupController;  // kept for the process
  return shared;
}

ZPHOPMLBackupController::ZPHOPMLBackupController() : ZPHOPMLBackupController(Environment{}) {}

ZPHOPMLBackupController::ZPHOPMLBackupController(Environment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment))
{
  if (m_environment.clock == nullptr)
    m_environment.clock = &ZPHClock::systemClock();
  if (!m_environment.now)
    m_environment.now = [] { return QDateTime::currentDateTime(); };
  if (!m_environment.hasFeeds)
    m_environment.hasFeeds = [] { return ZPHModel::sharedModel()->hasFeedsOtherThanGlobalFeeds(); };
  if (!m_environment.dataFolder) {
    m_environment.dataFolder = [] {
      ZPHCoreApplicationDelegate* delegate = ZPHCoreApplicationDelegate::sharedDelegate();
      return delegate != nullptr ? delegate->pathToDataFolder() : QString();
    };
  }
}

ZPHOPMLBackupController::~ZPHOPMLBackupController()
{
  stopRunning();
  if (m_timer != 0)
    m_environment.clock->cancel(m_timer);
}

QStringList ZPHOPMLBackupController::notificationsToMonitor()
{
  return {ZPHFeedsAddedNotification, ZPHFolderAddedNotification, ZPHFeedsOrFoldersDeletedNotification,
          FeedOrFolderDisplayNameChangedNotification, ZPHFeedsAndFoldersDidReorganizeNotification};
}

void ZPHOPMLBackupController::startRunning()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_isRunning)
    return;
  m_isRunning = true;
  ZPHNotificationCenter& center = ZPHNotificationCenter::defaultCenter();
  for (const QString& name : notificationsToMonitor()) {
    m_observers.push_back(center.addObserver(
        name, QVariant(), this, [this](const ZPHNotification&) { queueBackupIfNeeded(); },
        ZPHNotificationCenter::Delivery::MainThread));
  }
  m_modelConnection = connect(ZPHModel::sharedModel(), &ZPHModel::hasFeedsOtherThanGlobalFeedsChanged, this,
                              &ZPHOPMLBackupController::hasFeedsChanged);
  hasFeedsChanged();
}

void ZPHOPMLBackupController::stopRunning()
{
  if (!m_isRunning)
    return;
  m_isRunning = false;
  m_observers.clear();
  disconnect(m_modelConnection);
  // A backup queued for what stopped being watched is not written.
  clearBackupQueue();
}

void ZPHOPMLBackupController::hasFeedsChanged()
{
  if (m_environment.hasFeeds() &&
      !ZPHUserDefaults::standardUserDefaults().boolForKey(ZPHDidPerformInitialOPMLBackupKey))
    queueBackupIfNeeded();
}

void ZPHOPMLBackupController::queueBackupIfNeeded()
{
  ZPH_ASSERT_MAIN_THREAD();
  if (m_backupQueued)
    clearBackupQueue();
  queueBackup();
}

void ZPHOPMLBackupController::queueBackup()
{
  m_backupQueued = true;
  m_timer = m_environment.clock->schedule(BackupDelayMs, this, [this] {
    m_timer = 0;
    performBackupAndClearQueue();
  });
}

void ZPHOPMLBackupController::clearBackupQueue()
{
  if (m_timer != 0)
    m_environment.clock->cancel(m_timer);
  m_timer = 0;
  m_backupQueued = false;
}

void ZPHOPMLBackupController::startAnyQueuedBackups()
{
  if (m_backupQueued)
    performBackupAndClearQueue();
}

void ZPHOPMLBackupController::performBackupAndClearQueue()
{
  clearBackupQueue();
  if (m_performingBackup) {
    // Written once the one under way is done.
    m_backupDueAfterCurrent = true;
    return;
  }
  actuallyPerformBackup();
}

void ZPHOPMLBackupController::actuallyPerformBackup()
{
  Q_ASSERT(!m_performingBackup);
  if (!m_environment.hasFeeds())
    return;
  CBDataAccount* account = CBDataAccount::localAccount();
  if (account == nullptr)
    return;
  const QString folder = backupDirectoryURL();
  if (folder.isEmpty())
    return;
  const QString path = QDir(folder).filePath(
      ZPHOPMLExporter::fileNameForDate(QStringLiteral("Zephlin Sites Backup"), m_environment.now()));
  m_performingBackup = true;
  QPointer<ZPHOPMLBackupController> self(this);
  ZPHOPMLExporter::exportAccountsToFile({account}, path, true, [self, path](bool written, const QString& reason) {
    if (self == nullptr)
      return;
    if (written) {
      ZPHUserDefaults::standardUserDefaults().setBool(ZPHDidPerformInitialOPMLBackupKey, true);
      qCInfo(zphSubscriptions).noquote() << "backed the sites up to" << path;
    } else {
      qCWarning(zphSubscriptions).noquote() << "Failed to write the sites' backup to" << path << reason;
    }
    self->m_performingBackup = false;
    Q_EMIT self->backupFinished(written, path);
    if (std::exchange(self->m_backupDueAfterCurrent, false))
      self->actuallyPerformBackup();
  });
}

QString ZPHOPMLBackupController::backupDirectoryURL() const
{
  const QString dataFolder = m_environment.dataFolder();
  if (dataFolder.isEmpty()) {
    qCWarning(zphSubscriptions) << "Error creating the backups folder: no data folder";
    return {};
  }
  const QString folder = QDir(dataFolder).filePath(ZPHOPMLBackupsFolderName);
  const QFileInfo info(folder);
  if (info.isDir())
    return folder;
  if (info.exists() || !QDir().mkpath(folder)) {
    qCWarning(zphSubscriptions).noquote() << "Error creating directory URL" << folder;
    return {};
  }
  return folder;
}

QString ZPHOPMLBackupController::newestBackupFilePath() const
{
  return newestBackupFilePathInDataFolder(m_environment.dataFolder());
}

QString ZPHOPMLBackupController::newestBackupFilePathInDataFolder(const QString& dataFolder)
{
  if (dataFolder.isEmpty())
    return {};
  const QDir folder(QDir(dataFolder).filePath(ZPHOPMLBackupsFolderName));
  const QFileInfoList files = folder.entryInfoList({QStringLiteral("*.opml")}, QDir::Files, QDir::Time);
  return files.isEmpty() ? QString() : files.first().absoluteFilePath();
}
