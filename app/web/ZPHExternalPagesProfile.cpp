#include "web/ZPHExternalPagesProfile.h"

#include "common/ZPHAppServices.h"
#include "foundation/CBPrefs.h"
#include "platform/ZPHUserDefaults.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineCore/QWebEngineSettings>

namespace {

// Below the data folder: where the engine's standard data folder points
// while the profile is made.
const QString StandardFolderWhileMade = QStringLiteral("WebEngine/Defaults");

}  // namespace

QString ZPHExternalPagesProfile::storageName() { return QStringLiteral("ZPHExternalPages"); }

void ZPHExternalPagesProfile::closeDebuggingEntrances()
{
  qunsetenv("QTWEBENGINE_REMOTE_DEBUGGING");
  const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (flags.isEmpty())
    return;
  QList<QByteArray> kept;
  for (const QByteArray& flag : flags.split(' ')) {
    if (flag.startsWith("--remote-debugging") || flag.startsWith("--auto-open-devtools"))
      continue;
    kept.append(flag);
  }
  qputenv("QTWEBENGINE_CHROMIUM_FLAGS", kept.join(' '));
}

void ZPHExternalPagesProfile::settleStandardDataFolder()
{
  // The XDG default, written out: everything that reads it finds the same.
  const QString home = qEnvironmentVariable("XDG_DATA_HOME");
  if (home.isEmpty() || !QDir::isAbsolutePath(home))
    qputenv("XDG_DATA_HOME", QFile::encodeName(QDir::homePath() + QStringLiteral("/.local/share")));
}

ZPHExternalPagesProfile::ZPHExternalPagesProfile(const QString& dataFolder, const QString& cacheFolder,
                                                 ZPHUserDefaults* defaults, QObject* parent)
    : QObject(parent),
      m_dataFolder(dataFolder),
      m_cacheFolder(cacheFolder),
      m_defaults(defaults ? defaults : &ZPHUserDefaults::standardUserDefaults())
{
}

ZPHExternalPagesProfile::~ZPHExternalPagesProfile() { delete m_profile; }

QWebEngineProfile* ZPHExternalPagesProfile::profile()
{
  if (m_profile)
    return m_profile;
  if (m_dataFolder.isEmpty()) {
    m_profile = new QWebEngineProfile;
  } else {
    // A named profile writes its first settings below the standard data
    // folder (the user's, whatever the data folder) before it can be told
    // where it lives: for that moment the standard folder is one of ours.
    const QString engineDefaults = QDir(m_dataFolder).filePath(StandardFolderWhileMade);
    const QByteArray standardFolder = qgetenv("XDG_DATA_HOME");
    const bool standardFolderSet = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(engineDefaults));
    m_profile = new QWebEngineProfile(storageName());
    if (standardFolderSet)
      qputenv("XDG_DATA_HOME", standardFolder);
    else
      qunsetenv("XDG_DATA_HOME");
    const QString engineFolder = QStringLiteral("WebEngine/") + storageName();
    m_profile->setPersistentStoragePath(QDir(m_dataFolder).filePath(engineFolder));
    m_profile->setCachePath(QDir(m_cacheFolder.isEmpty() ? m_dataFolder : m_cacheFolder).filePath(engineFolder));
  }
  QWebEngineSettings* settings = m_profile->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::LinksIncludedInFocusChain, true);
  settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
  // A link of a scheme no handler takes is never handed to the desktop by
  // the engine: the web content controllers decide.
  settings->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
  const QString name = ZPHAppServices::webViewApplicationName();
  if (!name.isEmpty())
    m_profile->setHttpUserAgent(m_profile->httpUserAgent() + QLatin1Char(' ') + name);
  applyPluginsSetting();
  m_defaults->observe(ZPHPluginsEnabled, this, [this](const QVariant&) { applyPluginsSetting(); });
  return m_profile;
}

void ZPHExternalPagesProfile::applyPluginsSetting()
{
  if (m_profile)
    m_profile->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, m_defaults->boolForKey(ZPHPluginsEnabled));
}
