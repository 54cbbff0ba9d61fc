#pragma once

#include "support/ZPHTestSupport.h"

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

#include <utility>

// Points the XDG data and configuration folders (XDG_DATA_HOME,
// XDG_DATA_DIRS, XDG_CONFIG_HOME, XDG_CONFIG_DIRS) at folders of the test's
// own while it lives, so desktop entries and xdg-mime's defaults are the
// test's; writes desktop entries there.
class ZPHTestXdgFolders {
public:
  ZPHTestXdgFolders();
  ~ZPHTestXdgFolders();
  ZPHTestXdgFolders(const ZPHTestXdgFolders&) = delete;
  ZPHTestXdgFolders& operator=(const ZPHTestXdgFolders&) = delete;

  // The user's data folder and the system's.
  QString home() const;
  QString system() const;

  // A desktop entry "[Desktop Entry]\nType=Application\n" + body at
  // <folder>/applications/<file>.
  void entry(const QString& folder, const QString& file, const QString& body) const;
  // An entry that handles feed: addresses and starts /bin/true.
  void reader(const QString& folder, const QString& file, const QString& name) const;

private:
  ZPHTestTempDir m_root;
  QList<std::pair<const char*, QByteArray>> m_saved;
};
