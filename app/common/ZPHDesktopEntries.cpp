#include "common/ZPHDesktopEntries.h"

#include "common/ZPHShellLog.h"
#include "foundation/CBFiles.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QPointer>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QTimer>

#include <algorithm>
#include <memory>

namespace {

constexpr int XdgMimeTimeoutMs = 5000;
// An applications folder is read this deep and this far at most.
constexpr int LargestFolderEntries = 20000;

// Runs xdg-mime with the arguments; `done` gets whether it exited with 0 and
// its first line of output.
void runXdgMime(const QStringList& arguments, QObject* context, std::function<void(bool, QString)> done)
{
  auto* process = new QProcess(context);
  auto* timer = new QTimer(process);
  timer->setSingleShot(true);
  auto answered = std::make_shared<bool>(false);
  // A context that is going away (its children, the process among them,
  // are being deleted) hears nothing.
  QPointer<QObject> alive(context);
  auto finish = [process, done, answered, alive](bool ok, const QString& line) {
    if (*answered)
      return;
    *answered = true;
    process->deleteLater();
    if (done && alive != nullptr)
      done(ok, line);
  };
  QObject::connect(timer, &QTimer::timeout, process, [process, finish] {
    qCWarning(zphShell) << "xdg-mime did not answer in time";
    process->kill();
    finish(false, QString());
  });
  QObject::connect(process, &QProcess::errorOccurred, process, [process, finish](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      qCWarning(zphShell) << "cannot run xdg-mime:" << process->errorString();
      finish(false, QString());
    }
  });
  QObject::connect(process, &QProcess::finished, process, [process, finish](int code, QProcess::ExitStatus status) {
    const QString line = QString::fromUtf8(process->readAllStandardOutput().left(4096)).section(u'\n', 0, 0).trimmed();
    finish(status == QProcess::NormalExit && code == 0, line);
  });
  process->setProcessChannelMode(QProcess::SeparateChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  timer->start(XdgMimeTimeoutMs);
  process->start(QStringLiteral("xdg-mime"), arguments);
}

}  // namespace

QString ZPHDesktopEntries::ownDesktopFileID() { return CBAppIdentifier() + QStringLiteral(".desktop"); }

bool ZPHDesktopEntries::isValidDesktopFileID(const QString& desktopFileID)
{
  static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.+-]*\\.desktop$"));
  return desktopFileID.size() <= 255 && valid.match(desktopFileID).hasMatch();
}

bool ZPHDesktopEntries::isValidMimeType(const QString& mimeType)
{
  static const QRegularExpression valid(QStringLiteral("^[a-z0-9][a-z0-9.+-]*/[A-Za-z0-9][A-Za-z0-9.+-]*$"));
  return mimeType.size() <= 255 && valid.match(mimeType).hasMatch();
}

QString ZPHDesktopEntries::programOfExecLine(const QString& exec)
{
  const QString line = exec.trimmed();
  if (line.startsWith(u'"')) {
    const qsizetype end = line.indexOf(u'"', 1);
    return end > 1 ? line.mid(1, end - 1) : QString();
  }
  return line.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0);
}

ZPHDesktopEntry ZPHDesktopEntries::entryAtPath(const QString& path, const QString& desktopFileID)
{
  if (path.isEmpty())
    return {};
  const std::optional<ZPHDesktopEntry> entry = ZPHDesktopEntry::fromFile(path, desktopFileID);
  if (!entry.has_value() || entry->hidden)
    return {};
  return *entry;
}

ZPHDesktopEntry ZPHDesktopEntries::entryWithID(const QString& desktopFileID)
{
  if (!isValidDesktopFileID(desktopFileID))
    return {};
  const ZPHDesktopEntry entry = ZPHDesktopEntry::entryWithID(desktopFileID);
  return entry.hidden ? ZPHDesktopEntry() : entry;
}

QList<ZPHDesktopEntry> ZPHDesktopEntries::entriesHandling(const QString& mimeType)
{
  QList<ZPHDesktopEntry> entries;
  QSet<QString> seen;
  for (const QString& folder : ZPHDesktopEntry::applicationFolders()) {
    // Ids with the file's path below the folder, in file-name order.
    QList<std::pair<QString, QString>> files;
    QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    const QDir root(folder);
    while (it.hasNext() && files.size() < LargestFolderEntries) {
      const QString path = it.next();
      QString id = root.relativeFilePath(path);
      id.replace(u'/', u'-');
      files.append({id, path});
    }
    std::sort(files.begin(), files.end());
    for (const auto& [id, path] : std::as_const(files)) {
      if (seen.contains(id))
        continue;
      seen.insert(id);  // the first folder's entry stands, hidden or not
      const ZPHDesktopEntry entry = entryAtPath(path, id);
      if (entry.isNull() || !entry.mimeTypes.contains(mimeType) || entry.name.isEmpty() ||
          entry.programPath().isEmpty())
        continue;
      entries.append(entry);
    }
  }
  return entries;
}

void ZPHDesktopEntries::queryDefaultApplication(const QString& mimeType, QObject* context,
                                                std::function<void(QString)> done)
{
  if (context == nullptr || !done)
    return;
  if (!isValidMimeType(mimeType)) {
    QTimer::singleShot(0, context, [done] { done(QString()); });
    return;
  }
  runXdgMime({QStringLiteral("query"), QStringLiteral("default"), mimeType}, context,
             [done](bool ok, const QString& line) { done(ok && isValidDesktopFileID(line) ? line : QString()); });
}

void ZPHDesktopEntries::setDefaultApplication(const QString& desktopFileID, const QString& mimeType, QObject* context,
                                              std::function<void(bool)> done)
{
  if (context == nullptr)
    return;
  if (!isValidDesktopFileID(desktopFileID) || !isValidMimeType(mimeType)) {
    if (done)
      QTimer::singleShot(0, context, [done] { done(false); });
    return;
  }
  runXdgMime({QStringLiteral("default"), desktopFileID, mimeType}, context, [done, desktopFileID](bool ok, QString) {
    if (!ok)
      qCWarning(zphShell).noquote() << "xdg-mime could not make" << desktopFileID << "the default";
    if (done)
      done(ok);
  });
}
