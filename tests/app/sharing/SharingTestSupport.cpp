#include "app/sharing/SharingTestSupport.h"

#include "platform/ZPHFilePasswordStore.h"
#include "sharing/ZPHPluginManager.h"
#include "themes/ZPHRegisterThemes.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMutex>
#include <QtGui/QDesktopServices>

SharingURLRecorder::SharingURLRecorder(const QStringList& schemes) : m_schemes(schemes)
{
  for (const QString& scheme : m_schemes) QDesktopServices::setUrlHandler(scheme, this, "open");
}

SharingURLRecorder::~SharingURLRecorder()
{
  for (const QString& scheme : m_schemes) QDesktopServices::unsetUrlHandler(scheme);
}

void SharingURLRecorder::open(const QUrl& url) { opened.append(url); }

SharingTestEnvironment& SharingTestEnvironment::shared()
{
  static SharingTestEnvironment* environment = new SharingTestEnvironment;
  return *environment;
}

SharingTestEnvironment::SharingTestEnvironment()
{
  const QString data = m_root.filePath(QStringLiteral("xdg-home"));
  const QString system = m_root.filePath(QStringLiteral("xdg-system"));
  QDir().mkpath(data + QStringLiteral("/applications"));
  QDir().mkpath(system + QStringLiteral("/applications"));
  // The system's MIME database stays in reach; its applications do not.
  for (const QString& dir : qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"))
                                .split(u':', Qt::SkipEmptyParts)) {
    if (QFileInfo(dir + QStringLiteral("/mime")).isDir()) {
      QFile::link(dir + QStringLiteral("/mime"), system + QStringLiteral("/mime"));
      break;
    }
  }
  qputenv("XDG_DATA_HOME", data.toUtf8());
  qputenv("XDG_DATA_DIRS", system.toUtf8());

  // Each run appends its arguments, one base64 line each, then "--".
  const QString record = m_root.filePath(QStringLiteral("record.txt"));
  writeFile(scriptPath(), QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s' \"$a\" | base64 -w0 >> '%1'; "
                                         "echo >> '%1'; done\necho -- >> '%1'\n")
                              .arg(record)
                              .toUtf8());
  QFile::setPermissions(scriptPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

  // Browsers: three to list (sorted by name, numbers by value), and entries
  // that must not be listed.
  const QString browserLines = QStringLiteral(
      "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n"
      "Categories=Network;WebBrowser;\n");
  writeFile(userApplications() + QStringLiteral("/beta10.desktop"),
            entry(QStringLiteral("Beta Browser 10"), QStringLiteral("--new-window %u"), browserLines));
  writeFile(systemApplications() + QStringLiteral("/beta9.desktop"),
            entry(QStringLiteral("Beta Browser 9"), QStringLiteral("%U"), browserLines));
  writeFile(systemApplications() + QStringLiteral("/vendor/alpha.desktop"),
            entry(QStringLiteral("alpha browser"), QStringLiteral("\"--profile=a b\" %u"), browserLines));
  writeFile(
      systemApplications() + QStringLiteral("/hidden.desktop"),
      entry(QStringLiteral("Hidden Browser"), QStringLiteral("%u"), browserLines + QStringLiteral("Hidden=true\n")));

  // The data folder's applications.
  m_delegate = std::make_unique<ZPHTestApplicationDelegate>();
  writeFile(userApplications() + QStringLiteral("/org.example.Notes.desktop"),
            entry(QStringLiteral("Notes"), QStringLiteral("%u")));
  writeFile(dataFolder() + QStringLiteral("/SendToApps.json"),
            R"({"Notes.app": {"BundleID": "org.example.Notes.desktop",
                "URLTemplate": "notes://new?url=[[url]]&title=[[title]]"},
                "Missing": {"BundleID": "org.example.Missing.desktop", "URLTemplate": "missing://[[url]]"},
                "Event": "org.example.Notes.desktop"})");

  ZPHRegisterThemes();
  ZPHPluginManager::sharedManager()->loadPlugins();
}

QString SharingTestEnvironment::userApplications() const
{
  return m_root.filePath(QStringLiteral("xdg-home/applications"));
}

QString SharingTestEnvironment::systemApplications() const
{
  return m_root.filePath(QStringLiteral("xdg-system/applications"));
}

QString SharingTestEnvironment::dataFolder() const { return m_delegate->pathToDataFolder(); }

QString SharingTestEnvironment::scriptPath() const { return m_root.filePath(QStringLiteral("record.sh")); }

void SharingTestEnvironment::writeFile(const QString& path, const QByteArray& contents)
{
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    file.write(contents);
}

QByteArray SharingTestEnvironment::entry(const QString& name, const QString& execArguments,
                                         const QString& extraLines) const
{
  return QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2 %3\n%4")
      .arg(name, scriptPath(), execArguments, extraLines)
      .toUtf8();
}

QList<QStringList> SharingTestEnvironment::recordedRuns(int runs, int timeoutMs) const
{
  const QString path = m_root.filePath(QStringLiteral("record.txt"));
  QList<QStringList> found;
  const auto read = [&] {
    found.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
      return false;
    QStringList run;
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (line == "--") {
        found.append(run);
        run.clear();
      } else if (!line.isEmpty()) {
        run.append(QString::fromUtf8(QByteArray::fromBase64(line)));
      } else {
        // an empty argument
      }
    }
    return found.size() >= runs;
  };
  ZPHTestWaitUntil(read, timeoutMs);
  read();
  return found;
}

void SharingTestEnvironment::clearRecordedRuns() const { QFile::remove(m_root.filePath(QStringLiteral("record.txt"))); }

ScopedPasswordStore::ScopedPasswordStore() : store(std::make_shared<ZPHFilePasswordStore>(m_folder.path()))
{
  ZPHPasswordStore::setDefaultStore(store);
}

ScopedPasswordStore::~ScopedPasswordStore() { ZPHPasswordStore::setDefaultStore(nullptr); }

namespace {

QMutex g_logMutex;
QStringList g_logLines;
QtMessageHandler g_previousHandler = nullptr;

void capture(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
  {
    QMutexLocker locker(&g_logMutex);
    g_logLines.append(message);
  }
  if (g_previousHandler != nullptr)
    g_previousHandler(type, context, message);
}

}  // namespace

CapturedLog::CapturedLog()
{
  QMutexLocker locker(&g_logMutex);
  g_logLines.clear();
  g_previousHandler = qInstallMessageHandler(capture);
}

CapturedLog::~CapturedLog() { qInstallMessageHandler(g_previousHandler); }

QStringList CapturedLog::lines() const
{
  QMutexLocker locker(&g_logMutex);
  return g_logLines;
}

bool CapturedLog::contains(const QString& text) const
{
  for (const QString& line : lines())
    if (line.contains(text))
      return true;
  return false;
}
