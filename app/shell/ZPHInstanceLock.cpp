#include "shell/ZPHInstanceLock.h"

#include "common/ZPHShellLog.h"
#include "foundation/CBFiles.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QLockFile>
#include <QtCore/QStandardPaths>
#include <QtCore/QThread>
#include <QtCore/QTimer>
#include <QtNetwork/QLocalServer>
#include <QtNetwork/QLocalSocket>

#include <algorithm>

const QString ZPHInstanceLock::LockFileName = QStringLiteral("Zephlin.lock");

namespace {

const QByteArray HandOverPrefix = "hand-over ";
const QByteArray AcceptedReply = "ok\n";
const QByteArray RefusedReply = "refused\n";
const QByteArray QuittingReply = "quitting\n";

QString socketPathForFolder(const QString& folder)
{
  QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty())
    canonical = QDir::cleanPath(QDir(folder).absolutePath());
  const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty())
    runtime = QDir::tempPath();
  return QDir(runtime).filePath(QStringLiteral("%1-%2.socket").arg(CBAppIdentifier(), QString::fromLatin1(hash)));
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

ZPHInstanceLock::Outcome ZPHInstanceLock::acquire(int waitMs)
{
  if (m_lock->isLocked())
    return Outcome::Acquired;
  const QDeadlineTimer deadline(qMax(waitMs, 0));
  for (;;) {
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
    if (m_lock->error() != QLockFile::LockFailedError) {
      m_lockError = m_lock->error() == QLockFile::PermissionError
                        ? QStringLiteral("no permission to write in the folder")
                        : QStringLiteral("the folder takes no new files");
      qCCritical(zphShell).noquote()
          << QStringLiteral("cannot make the lock file %1 (%2)").arg(m_lockFilePath, m_lockError);
      return Outcome::Unavailable;
    }
    if (deadline.hasExpired())
      return Outcome::HeldByAnother;
    QThread::msleep(quint64(std::clamp<qint64>(deadline.remainingTime(), 1, 50)));
  }
}

void ZPHInstanceLock::stopTakingHandOvers()
{
  if (m_quitting)
    return;
  m_quitting = true;
  // Closing the server removes its socket: a newcomer finds nobody
  // listening and waits for the lock.
  if (m_server)
    m_server->close();
}

QList<QLocalSocket*> ZPHInstanceLock::connections() const
{
  // In the order they came.
  return findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly);
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
    while (QLocalSocket* socket = m_server->nextPendingConnection()) serve(socket);
  });
}

void ZPHInstanceLock::serve(QLocalSocket* socket)
{
  connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
  // A real launch sends its line as soon as it is connected: the one that
  // has waited longest makes room for the newcomer.
  const QList<QLocalSocket*> open = connections();
  if (open.size() >= MaxConnections) {
    qCWarning(zphShell) << "too many launches talk to this one at once; the one waiting longest is cut off";
    QLocalSocket* oldest = open.first();
    oldest->setParent(nullptr);
    oldest->abort();
    oldest->deleteLater();
  }
  socket->setParent(this);
  socket->setReadBufferSize(MaxMessageBytes + 1);
  // A newcomer that does not finish its message in time is cut off.
  auto* deadline = new QTimer(socket);
  deadline->setSingleShot(true);
  connect(deadline, &QTimer::timeout, socket, [socket] {
    qCWarning(zphShell) << "a launch did not finish its hand-over in time";
    socket->abort();
  });
  deadline->start(MessageTimeoutMs);
  connect(socket, &QLocalSocket::readyRead, this, [this, socket, deadline] {
    if (!socket->canReadLine()) {
      if (socket->bytesAvailable() > MaxMessageBytes) {
        qCWarning(zphShell) << "a hand-over longer than" << MaxMessageBytes << "bytes is refused";
        socket->abort();
      }
      return;
    }
    deadline->stop();
    const QByteArray line = socket->readLine(MaxMessageBytes + 1);
    QStringList arguments;
    QString workingDirectory;
    if (m_quitting) {
      // This program goes away: the newcomer starts once it has.
      socket->write(QuittingReply);
      socket->flush();
    } else if (parseHandOverMessage(line, &arguments, &workingDirectory)) {
      qCInfo(zphShell) << "another launch asked this one to come forward and handed over" << arguments.size()
                       << "arguments";
      socket->write(AcceptedReply);
      socket->flush();
      Q_EMIT handOverReceived(arguments, workingDirectory);
    } else {
      qCWarning(zphShell) << "refused a hand-over that is not one";
      socket->write(RefusedReply);
      socket->flush();
    }
    socket->disconnectFromServer();
  });
}

QByteArray ZPHInstanceLock::handOverMessage(const QStringList& arguments, const QString& workingDirectory)
{
  QJsonArray list;
  for (const QString& argument : arguments) list.append(argument);
  const QJsonObject message{{QStringLiteral("arguments"), list},
                            {QStringLiteral("workingDirectory"), workingDirectory}};
  return HandOverPrefix + QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

bool ZPHInstanceLock::parseHandOverMessage(const QByteArray& line, QStringList* arguments, QString* workingDirectory)
{
  if (line.size() > MaxMessageBytes || !line.startsWith(HandOverPrefix) || !line.endsWith('\n'))
    return false;
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(line.mid(HandOverPrefix.size()).trimmed(), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject())
    return false;
  const QJsonObject message = document.object();
  const QJsonValue list = message.value(QStringLiteral("arguments"));
  const QJsonValue folder = message.value(QStringLiteral("workingDirectory"));
  if (!list.isArray() || !folder.isString() || list.toArray().size() > MaxArguments ||
      folder.toString().size() > MaxWorkingDirectoryLength)
    return false;
  QStringList result;
  for (const QJsonValue& argument : list.toArray()) {
    if (!argument.isString() || argument.toString().size() > MaxArgumentLength)
      return false;
    result.append(argument.toString());
  }
  *arguments = result;
  *workingDirectory = folder.toString();
  return true;
}

ZPHInstanceLock::HandOver ZPHInstanceLock::handOverToHolder(const QStringList& arguments,
                                                            const QString& workingDirectory, int timeoutMs)
{
  QStringList bounded;
  for (const QString& argument : arguments) {
    if (bounded.size() == MaxArguments || argument.size() > MaxArgumentLength) {
      qCWarning(zphShell) << "an argument is not handed over (too many or too long)";
      continue;
    }
    bounded.append(argument);
  }
  const QString folder = workingDirectory.size() > MaxWorkingDirectoryLength ? QString() : workingDirectory;
  QByteArray message = handOverMessage(bounded, folder);
  while (message.size() > MaxMessageBytes && !bounded.isEmpty()) {
    bounded.removeLast();
    message = handOverMessage(bounded, folder);
  }

  QLocalSocket socket;
  socket.connectToServer(m_serverName);
  if (!socket.waitForConnected(qMin(timeoutMs, 2000))) {
    // Nobody listens: the holder is quitting (it closed its socket) or has
    // gone without removing it.
    const QLocalSocket::LocalSocketError error = socket.error();
    return error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError
               ? HandOver::HolderQuitting
               : HandOver::NoAnswer;
  }
  socket.write(message);
  if (!socket.waitForBytesWritten(timeoutMs))
    return HandOver::NoAnswer;
  QByteArray reply;
  while (!reply.contains('\n') && reply.size() < 64 && socket.waitForReadyRead(timeoutMs)) reply += socket.readAll();
  if (reply.startsWith(AcceptedReply.trimmed()))
    return HandOver::Accepted;
  if (reply.startsWith(QuittingReply.trimmed()))
    return HandOver::HolderQuitting;
  if (reply.startsWith(RefusedReply.trimmed())) {
    qCWarning(zphShell) << "the running Zephlin refused the hand-over";
    return HandOver::Refused;
  }
  return HandOver::NoAnswer;
}
