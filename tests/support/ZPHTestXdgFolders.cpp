#include "support/ZPHTestXdgFolders.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

ZPHTestXdgFolders::ZPHTestXdgFolders()
{
  for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
    m_saved.append({name, qgetenv(name)});
  qputenv("XDG_DATA_HOME", home().toUtf8());
  qputenv("XDG_DATA_DIRS", system().toUtf8());
  qputenv("XDG_CONFIG_HOME", m_root.filePath(QStringLiteral("config")).toUtf8());
  qputenv("XDG_CONFIG_DIRS", m_root.filePath(QStringLiteral("config-dirs")).toUtf8());
  QDir().mkpath(home() + QStringLiteral("/applications"));
  QDir().mkpath(system() + QStringLiteral("/applications"));
  QDir().mkpath(m_root.filePath(QStringLiteral("config")));
}

ZPHTestXdgFolders::~ZPHTestXdgFolders()
{
  for (const auto& [name, value] : m_saved) {
    if (value.isNull())
      qunsetenv(name);
    else
      qputenv(name, value);
  }
}

QString ZPHTestXdgFolders::home() const { return m_root.filePath(QStringLiteral("home-data")); }

QString ZPHTestXdgFolders::system() const { return m_root.filePath(QStringLiteral("system-data")); }

void ZPHTestXdgFolders::entry(const QString& folder, const QString& file, const QString& body) const
{
  const QString path = folder + QStringLiteral("/applications/") + file;
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile out(path);
  if (out.open(QIODevice::WriteOnly))
    out.write(("[Desktop Entry]\nType=Application\n" + body).toUtf8());
}

void ZPHTestXdgFolders::reader(const QString& folder, const QString& file, const QString& name) const
{
  entry(folder, file,
        QStringLiteral("Name=%1\nExec=/bin/true %u\nMimeType=text/html;x-scheme-handler/feed;\n").arg(name));
}
