#include "common/ZPHDesktopEntries.h"

#include "common/ZPHShellLog.h"
#include "foundation/CBFiles.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QPointer>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QSaveFile>
#include <QtCore/QSet>
#include <QtCore/QStandardPaths>
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

QString ZPHDesktopEntries::execLineProgram(const QString& program)
{
  // Reserved characters ask for the argument in double quotes, inside which
  // ", `, $ and \ are escaped with a backslash; then every backslash of the
  // line is escaped once more, as a string value's.
  static const QRegularExpression reserved(QStringLiteral("[\\s\"'\\\\><~|&;$*?#()`]"));
  // A percent sign of the path is no field code.
  QString argument = QString(program).replace(u'%', QStringLiteral("%%"));
  if (argument.contains(reserved)) {
    QString quoted;
    for (const QChar character : argument) {
      if (character == u'"' || character == u'`' || character == u'$' || character == u'\\')
        quoted += u'\\';
      quoted += character;
    }
    argument = u'"' + quoted + u'"';
  }
  return argument.replace(u'\\', QStringLiteral("\\\\"));
}

bool ZPHDesktopEntries::installOwnEntryForUser(const QString& program, QString* error)
{
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
  const auto fail = [&](const QString& reason) {
    if (error != nullptr)
      *error = reason;
    qCWarning(zphShell) << "cannot install the desktop entry:" << reason;
    return false;
  };
  if (folder.isEmpty() || !QDir().mkpath(folder))
    return fail(QStringLiteral("no folder for applications"));
  if (program.isEmpty() || program.contains(u'\n') || program.contains(u'\r'))
    return fail(QStringLiteral("no program to start"));
  const QString text = QStringLiteral(
                           "[Desktop Entry]\n"
                           "Type=Application\n"
                           "Name=Zephlin\n"
                           "GenericName=News Reader\n"
                           "Comment=Read the news feeds of web sites\n"
                           "Icon=%1\n"
                           "Exec=%2 %U\n"
                           "Terminal=false\n"
                           "Categories=Network;Feed;\n"
                           "MimeType=x-scheme-handler/feed;x-scheme-handler/zephlin;text/x-opml+xml;\n"
                           "StartupNotify=true\n"
                           "StartupWMClass=Zephlin\n")
                           .arg(CBAppIdentifier(), execLineProgram(program));
  const QString path = QDir(folder).filePath(ownDesktopFileID());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
    return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
  return true;
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
