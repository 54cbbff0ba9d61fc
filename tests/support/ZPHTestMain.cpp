// The main of every test program: a Qt application object on the main
// thread (a QCoreApplication, unless the program installed a factory), and
// every standard folder (settings, data, cache, temp) moved into one
// temporary folder that is removed when the run ends.

#include "platform/ZPHLog.h"
#include "support/ZPHTestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>

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

  QCoreApplication::setOrganizationName(QStringLiteral("Fernhollow"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("fernhollow.com"));
  QCoreApplication::setApplicationName(QStringLiteral("Zephlin"));
  const ZPHTestApplicationFactory factory = ZPHTestInstalledApplicationFactory();
  const std::unique_ptr<QCoreApplication> app =
      factory ? factory(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
  ZPHInstallLogHandler("zephlin-test", false);

  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
