#include "shell/ZPHInstanceLock.h"

#include "shell/ZPHShellLog.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtCore/QStandardPaths>
#include <QtNetwork/QLocalServer>
#include <QtNetwork/QLocalSocket>

const QString ZPHInstanceLock::LockFileName = QStringLiteral("Zephlin.lock");

namespace {

const QByteArray ComeForwardRequest = "come-forward\n";
const QByteArray ComeForwardReply = "ok\n";

QString socketPathForFolder(const QString& folder)
{
  QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty())
    canonical = QDir::cleanPath(QDir(folder).absolutePath());
  const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty())
    runtime = QDir::tempPath();
  return QDir(runtime).filePath(QStringLiteral("zephlin-%1.socket").arg(QString::fromLatin1(hash)));
}

}  // namespace

ZPHInstanceLock::ZPHInstanceLock(const QString& dataFolder, QObject* parent)
    : QObject(parent),
      m_lockFilePath(QDir(dataFolder).filePath(LockFileName)),
      m_serverName(socketPathForFolder(dataFolder)),
      m_lock(std::make_unique<QLockFile>(m_lockFilePath))
{
  // Only a lock whose process is gone is stale, never one that is merely old.
  m_lock->setStaleLockTime(0);
}

ZPHInstanceLock::~ZPHInstanceLock()
{
  if (m_server) {
    m_server->close();
    delete m_server;
  }
  if (m_lock && m_lock->isLocked())
    m_lock->unlock();
}

bool ZPHInstanceLock::isLocked() const { return m_lock->isLocked(); }

ZPHInstanceLock::Outcome ZPHInstanceLock::acquire()
{
  if (m_lock->isLocked())
    return Outcome::Acquired;
  // A lock file that is there when we take the lock was left by a process
  // that is gone.
  const bool leftBehind = QFileInfo::exists(m_lockFilePath);
  if (m_lock->tryLock(0)) {
    m_tookOverStaleLock = leftBehind;
    if (leftBehind)
      qCWarning(zphShell) << "took over the lock of a process that ended without quitting:" << m_lockFilePath;
    startListening();
    return Outcome::Acquired;
  }
  if (m_lock->error() == QLockFile::LockFailedError)
    return Outcome::HeldByAnother;
  qCWarning(zphShell).noquote() << QStringLiteral("cannot make the lock file %1 (error %2); going on without it")
                                       .arg(m_lockFilePath)
                                       .arg(int(m_lock->error()));
  return Outcome::Acquired;
}

void ZPHInstanceLock::startListening()
{
  // The socket of a run that ended without quitting may still be there; the
  // lock says it is not in use.
  QLocalServer::removeServer(m_serverName);
  m_server = new QLocalServer;
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_server->listen(m_serverName)) {
    qCWarning(zphShell) << "cannot listen for newcomers at" << m_serverName << ":" << m_server->errorString();
    return;
  }
  connect(m_server, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
          if (socket->bytesAvailable() > 1024)
            socket->abort();
          return;
        }
        const QByteArray request = socket->readLine(1024);
        if (request == ComeForwardRequest) {
          qCInfo(zphShell) << "another launch asked this one to come forward";
          Q_EMIT comeForwardRequested();
          socket->write(ComeForwardReply);
          socket->flush();
        }
        socket->disconnectFromServer();
      });
    }
  });
}

bool ZPHInstanceLock::askHolderToComeForward(int timeoutMs)
{
  QLocalSocket socket;
  socket.connectToServer(m_serverName);
  if (!socket.waitForConnected(qMin(timeoutMs, 2000)))
    return false;
  socket.write(ComeForwardRequest);
  if (!socket.waitForBytesWritten(timeoutMs))
    return false;
  QByteArray reply;
  while (!reply.contains('\n') && socket.waitForReadyRead(timeoutMs)) reply += socket.readAll();
  return reply.startsWith(ComeForwardReply.trimmed());
}
