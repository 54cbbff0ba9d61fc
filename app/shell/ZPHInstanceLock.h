#pragma once

// Qt kind: QObject.

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// One running Zephlin per data folder. The first to start takes a lock file
// in the data folder and listens on a local socket named after the folder;
// a newcomer finds the lock taken, hands its command line's addresses and
// files and its working directory over the socket to the holder, which
// comes forward and takes them, and leaves without touching the store.
//
// A hand-over is one line, "hand-over " and a compact JSON object
// {"arguments": [strings], "workingDirectory": string}, answered "ok",
// "refused" or, once the holder has begun to quit, "quitting". The holder
// reads at most MaxMessageBytes from a connection within MessageTimeoutMs,
// from at most MaxConnections at once (a newcomer beyond them takes the
// place of the oldest, so idle connections never shut a real launch out),
// and takes at most MaxArguments arguments of at most MaxArgumentLength
// characters each; anything else is refused or cut off. Only the same user
// can connect. A holder that quits stops listening; a newcomer then waits
// for the lock to come free (acquire() with a wait) and starts on its own.
//
// A lock left behind by a process that no longer runs (a crash, a kill) is
// taken over; tookOverStaleLock() then tells the application to check its
// store's integrity. A lock that cannot be made at all (a read-only data
// folder) is Unavailable: without it, nothing may open the store.
class ZPHInstanceLock : public QObject {
  Q_OBJECT

public:
  static const QString LockFileName;  // "Zephlin.lock"

  enum class Outcome {
    Acquired,       // ours, and listening for newcomers
    HeldByAnother,  // another process holds it
    Unavailable     // the lock file cannot be made (see lockError())
  };

  // What became of a hand-over.
  enum class HandOver {
    Accepted,        // the holder took it and comes forward
    Refused,         // the holder refused it
    HolderQuitting,  // the holder is quitting, or no longer listens
    NoAnswer         // nobody answered in time
  };

  // `dataFolder` must exist.
  explicit ZPHInstanceLock(const QString& dataFolder, QObject* parent = nullptr);
  ~ZPHInstanceLock() override;

  // Takes the lock; with `waitMs`, waits that long for a holder to let go
  // of it (a holder that quits). A lock that cannot be made at all is
  // logged and Unavailable.
  Outcome acquire(int waitMs = 0);
  // Why the lock could not be made (with Unavailable).
  QString lockError() const { return m_lockError; }
  bool tookOverStaleLock() const { return m_tookOverStaleLock; }
  bool isLocked() const;

  static constexpr qint64 MaxMessageBytes = 96 * 1024;
  static constexpr int MessageTimeoutMs = 5000;
  static constexpr int MaxConnections = 8;
  static constexpr int MaxArguments = 64;
  static constexpr int MaxArgumentLength = 8192;
  static constexpr int MaxWorkingDirectoryLength = 4096;
  // How long a newcomer waits for a quitting holder to let go of the lock;
  // a quit ends well within it.
  static constexpr int HolderQuitWaitMs = 4000;

  // As a newcomer: hands the arguments and the working directory to the
  // holder (arguments beyond the bounds stay behind, logged).
  HandOver handOverToHolder(const QStringList& arguments, const QString& workingDirectory, int timeoutMs = 5000);

  // As the holder that begins to quit: stops listening, and answers
  // "quitting" to the newcomers already connected, so they wait for the
  // lock instead of handing over to a program that goes away.
  void stopTakingHandOvers();

  QString lockFilePath() const { return m_lockFilePath; }
  // The local socket's path: in the user's runtime folder,
  // "<application id>-<hash of the data folder's canonical path>.socket".
  QString serverName() const { return m_serverName; }

  // The message of a hand-over, and what the holder reads from one; false
  // for a message that is not a well-formed hand-over within the bounds.
  static QByteArray handOverMessage(const QStringList& arguments, const QString& workingDirectory);
  static bool parseHandOverMessage(const QByteArray& line, QStringList* arguments, QString* workingDirectory);

Q_SIGNALS:
  // A newcomer handed over its arguments (possibly none) and its working
  // directory: come forward and take them (main thread).
  void handOverReceived(const QStringList& arguments, const QString& workingDirectory);

private:
  void startListening();
  void serve(QLocalSocket* socket);
  QList<QLocalSocket*> connections() const;

  QString m_lockFilePath;
  QString m_serverName;
  std::unique_ptr<QLockFile> m_lock;
  QLocalServer* m_server = nullptr;
  bool m_tookOverStaleLock = false;
  bool m_quitting = false;
  QString m_lockError;
};
