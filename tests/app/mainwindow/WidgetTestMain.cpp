// The main of this test program. It does what tests/support/ZPHTestMain.cpp
// does (every standard folder in one temporary folder, the log handler) but
// makes a QApplication, which widgets need; being linked before the support
// library, it takes the place of the shared main.

#include "platform/ZPHLog.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
  QTemporaryDir home(QDir::tempPath() + QStringLiteral("/zphtest-XXXXXX"));
  if (!home.isValid())
    return 2;
  const QByteArray root = home.path().toUtf8();
  setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
  setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);
  QDir().mkpath(home.path() + QStringLiteral("/runtime"));
  QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  setenv("TMPDIR", (root + "/tmp").constData(), 1);
  QDir().mkpath(home.path() + QStringLiteral("/tmp"));
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  QApplication::setOrganizationName(QStringLiteral("Fernhollow"));
  QApplication::setOrganizationDomain(QStringLiteral("fernhollow.com"));
  QApplication::setApplicationName(QStringLiteral("Zephlin"));
  QApplication app(argc, argv);
  ZPHInstallLogHandler("zephlin-test", false);

  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
