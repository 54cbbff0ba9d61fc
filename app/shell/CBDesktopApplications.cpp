#include "shell/CBDesktopApplications.h"

#include "common/ZPHShellLog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtGui/QDesktopServices>

namespace {

constexpr int XdgMimeTimeoutMs = 5000;
// A desktop entry is a small file; a larger one is not read.
constexpr qint64 LargestDesktopEntry = 64 * 1024;

QString desktopEntryPath(const QString& id)
{
  if (id.isEmpty() || !id.endsWith(QLatin1String(".desktop")) || id.contains(u'/') || id.startsWith(u'.'))
    return {};
  // "vendor-app.desktop" may also live as "vendor/app.desktop".
  QStringList candidates{id};
  for (qsizetype dash = id.indexOf(u'-'); dash > 0; dash = id.indexOf(u'-', dash + 1)) {
    QString nested = id;
    nested[dash] = u'/';
    candidates.append(nested);
  }
  for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
    for (const QString& candidate : candidates) {
      const QString path = QDir(folder).filePath(candidate);
      if (QFileInfo(path).isFile())
        return path;
    }
  }
  return {};
}

// The program of an Exec line: its first word, quotes removed.
QString programOfExecLine(const QString& exec)
{
  const QString line = exec.trimmed();
  if (line.startsWith(u'"')) {
    const qsizetype end = line.indexOf(u'"', 1);
    return end > 1 ? line.mid(1, end - 1) : QString();
  }
  return line.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0);
}

}  // namespace

CBDesktopApplication CBDesktopApplicationWithID(const QString& desktopFileID)
{
  const QString path = desktopEntryPath(desktopFileID);
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > LargestDesktopEntry)
    return {};
  CBDesktopApplication application;
  bool inEntry = false;
  bool hidden = false;
  QString exec;
  for (const QString& rawLine : QString::fromUtf8(file.read(LargestDesktopEntry)).split(u'\n')) {
    const QString line = rawLine.trimmed();
    if (line.startsWith(u'[')) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (!inEntry || equals <= 0 || line.startsWith(u'#'))
      continue;
    const QString key = line.left(equals).trimmed();
    const QString value = line.mid(equals + 1).trimmed();
    if (key == QLatin1String("Name"))
      application.name = value;
    else if (key == QLatin1String("Exec"))
      exec = value;
    else if (key == QLatin1String("Hidden"))
      hidden = value == QLatin1String("true");
  }
  if (hidden)
    return {};
  application.desktopFileID = desktopFileID;
  application.desktopFilePath = path;
  const QString program = programOfExecLine(exec);
  if (!program.isEmpty())
    application.programPath = QFileInfo(program).isAbsolute() ? program : QStandardPaths::findExecutable(program);
  return application;
}

void CBDefaultApplicationForScheme(const QString& scheme, QObject* context,
                                   std::function<void(const CBDesktopApplication&)> done)
{
  QString name = scheme.trimmed().toLower();
  if (name.endsWith(u':'))
    name.chop(1);
  static const QRegularExpression validScheme(QStringLiteral("^[a-z][a-z0-9+.-]*$"));
  if (context == nullptr || !done)
    return;
  if (!validScheme.match(name).hasMatch()) {
    QTimer::singleShot(0, context, [done] { done({}); });
    return;
  }
  auto* process = new QProcess(context);
  auto* timer = new QTimer(process);
  timer->setSingleShot(true);
  auto finish = [process, done](const CBDesktopApplication& application) {
    if (process->property("zph_answered").toBool())
      return;
    process->setProperty("zph_answered", true);
    process->deleteLater();
    done(application);
  };
  QObject::connect(timer, &QTimer::timeout, process, [process, finish] {
    qCWarning(zphShell) << "xdg-mime did not answer in time";
    process->kill();
    finish({});
  });
  QObject::connect(process, &QProcess::errorOccurred, process, [process, finish](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      qCWarning(zphShell) << "cannot ask xdg-mime:" << process->errorString();
      finish({});
    }
  });
  QObject::connect(process, &QProcess::finished, process, [process, finish](int code, QProcess::ExitStatus status) {
    const QString id = QString::fromUtf8(process->readAllStandardOutput().left(4096)).section(u'\n', 0, 0).trimmed();
    if (status != QProcess::NormalExit || code != 0 || id.isEmpty()) {
      finish({});
      return;
    }
    finish(CBDesktopApplicationWithID(id));
  });
  process->setProcessChannelMode(QProcess::SeparateChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  timer->start(XdgMimeTimeoutMs);
  process->start(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/") + name});
}

void CBDefaultBrowser(QObject* context, std::function<void(const CBDesktopApplication&)> done)
{
  CBDefaultApplicationForScheme(QStringLiteral("http"), context, std::move(done));
}

int CBLaunchApplicationAtPath(const QString& path, const QStringList& arguments)
{
  if (path.isEmpty() || !QFileInfo::exists(path))
    return -43;
  return QProcess::startDetached(path, arguments) ? 0 : -1;
}

bool CBApplicationIsInstalled(const QString& name)
{
  if (name.isEmpty() || name.contains(u'/'))
    return false;
  return !QStandardPaths::findExecutable(name).isEmpty() ||
         !CBDesktopApplicationWithID(name + QStringLiteral(".desktop")).isNull();
}

QUrl CBURLForDefaultBrowser(const QUrl& url)
{
  if (!url.isValid())
    return {};
  QString text = url.toString().trimmed();
  text.replace(QLatin1String(" "), QLatin1String("%20"));
  text.replace(QLatin1String("&amp;"), QLatin1String("&"));
  text.replace(QLatin1String("&#38;"), QLatin1String("&"));
  text.replace(QLatin1String("^"), QLatin1String("%5E"));
  const QUrl cleaned(text);
  const QString scheme = cleaned.scheme().toLower();
  if (!cleaned.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
      cleaned.host().isEmpty())
    return {};
  return cleaned;
}

bool CBOpenURLInDefaultBrowser(const QUrl& url, bool behind, const std::function<bool(const QUrl&)>& open)
{
  Q_UNUSED(behind);
  const QUrl cleaned = CBURLForDefaultBrowser(url);
  if (!cleaned.isValid()) {
    if (!url.isEmpty())
      qCWarning(zphShell).noquote() << "only http and https addresses go to the web browser, not"
                                    << url.toString(QUrl::RemoveUserInfo).left(200);
    return false;
  }
  return open ? open(cleaned) : QDesktopServices::openUrl(cleaned);
}

bool CBOpenURLInDefaultBrowserInFront(const QUrl& url) { return CBOpenURLInDefaultBrowser(url, false); }
