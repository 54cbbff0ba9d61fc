#pragma once

// Qt kind: QObject.

#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <functional>
#include <vector>

class ZPHClock;

// User default (bool): a backup was written once.
extern const QString ZPHDidPerformInitialOPMLBackupKey;  // "didPerformInitialOPMLBackup"
// The folder of the backups, inside the data folder.
extern const QString ZPHOPMLBackupsFolderName;  // "OPML Backups"

// Keeps a trail of the subscription list: 30 seconds after the last change
// to feeds or folders it writes the local account's list (ZPHOPMLExporter)
// into a new file "Zephlin Sites Backup <yyyy-MM-dd> at <h.mm.ss AM>.opml"
// of the "OPML Backups" folder of the data folder (so --data-dir moves it).
// Each change starts the 30 seconds again; files are never pruned. A user
// with feeds and no backup yet gets one 30 seconds after start; one with no
// feeds gets none. A backup that falls due while another is written runs
// right after it. Failures are only logged; the first-backup default is
// set only once a file was written.
//
// The application starts it at launch, writes what is queued at quit (the
// store-queue block that reads the tree still runs once the quit has
// begun) and waits while hasRemainingWork().
//
// Main thread.
class ZPHOPMLBackupController : public QObject {
  Q_OBJECT
public:
  static constexpr qint64 BackupDelayMs = 30 * 1000;

  // What the controller takes from outside; each defaults to the program's.
  struct Environment {
    // The timers (the system clock when null).
    ZPHClock* clock = nullptr;
    // The date in the file names (now).
    std::function<QDateTime()> now;
    // Whether there are feeds besides the smart feeds (ZPHModel).
    std::function<bool()> hasFeeds;
    // The data folder (the application delegate's).
    std::function<QString()> dataFolder;
  };

  // The application's (made on first use, for the process).
  static ZPHOPMLBackupController* sharedOPMLBackupController();
  ZPHOPMLBackupController();
  explicit ZPHOPMLBackupController(Environment environment, QObject* parent = nullptr);
  ~ZPHOPMLBackupController() override;

  void startRunning();
  // Stops watching and drops a queued backup (one being written goes on).
  void stopRunning();
  bool isRunning() const { return m_isRunning; }
  bool backupQueued() const { return m_backupQueued; }
  bool performingBackup() const { return m_performingBackup; }

  // Performs a queued backup now instead of waiting.
  void startAnyQueuedBackups();
  // A backup is queued, being written, or waiting for the one written.
  bool hasRemainingWork() const { return m_backupQueued || m_performingBackup || m_backupDueAfterCurrent; }

  // The backups folder, made when missing; empty when it cannot be made.
  QString backupDirectoryURL() const;
  // The newest backup file of the folder; empty when there is none.
  QString newestBackupFilePath() const;
  // The same for a data folder (the store's failure path, without the
  // controller).
  static QString newestBackupFilePathInDataFolder(const QString& dataFolder);

  static QStringList notificationsToMonitor();

  // Restarts the wait (a change).
  void queueBackupIfNeeded();

Q_SIGNALS:
  // A backup was written to `path`, or failed.
  void backupFinished(bool written, const QString& path);

private:
  void queueBackup();
  void clearBackupQueue();
  void performBackupAndClearQueue();
  void actuallyPerformBackup();
  void hasFeedsChanged();

  Environment m_environment;
  bool m_isRunning = false;
  bool m_backupQueued = false;
  bool m_performingBackup = false;
  bool m_backupDueAfterCurrent = false;
  quint64 m_timer = 0;
  std::vector<ZPHObserverToken> m_observers;
  QMetaObject::Connection m_modelConnection;
};
