#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running Zephlin per data folder. The first to start takes a lock file
// in the data folder and listens on a local socket named after the folder;
// a newcomer finds the lock taken, asks the holder over the socket to come
// forward and leaves without touching the store.
//
// A lock left behind by a process that no longer runs (a crash, a kill) is
// taken over; tookOverStaleLock() then tells the application to check its
// store's integrity.
class ZPHInstanceLock : public QObject {
  Q_OBJECT

public:
  static const QString LockFileName;  // "Zephlin.lock"

  enum class Outcome {
    Acquired,      // ours, and listening for newcomers
    HeldByAnother  // another process holds it
  };

  // `dataFolder` must exist.
  explicit ZPHInstanceLock(const QString& dataFolder, QObject* parent = nullptr);
  ~ZPHInstanceLock() override;

  // Takes the lock. A lock that cannot be made at all (an unwritable
  // folder) is logged and counts as acquired: the store reports its own
  // errors then.
  Outcome acquire();
  bool tookOverStaleLock() const { return m_tookOverStaleLock; }
  bool isLocked() const;

  // As a newcomer: asks the holder to come forward; true when it answered
  // within the time.
  bool askHolderToComeForward(int timeoutMs = 5000);

  QString lockFilePath() const { return m_lockFilePath; }
  // The local socket's path: in the user's runtime folder, named after the
  // data folder's canonical path.
  QString serverName() const { return m_serverName; }

Q_SIGNALS:
  // A newcomer asked the holder to come forward (main thread).
  void comeForwardRequested();

private:
  void startListening();

  QString m_lockFilePath;
  QString m_serverName;
  std::unique_ptr<QLockFile> m_lock;
  QLocalServer* m_server = nullptr;
  bool m_tookOverStaleLock = false;
};
