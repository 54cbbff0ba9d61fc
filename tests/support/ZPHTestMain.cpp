// The main of every test program: a Qt application object on the main
// thread, and every standard folder (settings, data, cache, temp) moved into
// one temporary folder that is removed when the run ends. The application's
// tests get a QApplication (ZPH_TEST_WIDGETS), the core's a QCoreApplication.
// Work a program installed to run before the application object exists
// (ZPHTestBeforeApplication in support/ZPHTestSupport.h) runs first.
//
// A test program sets up what it needs itself, so it runs the same under
// scripts/test.sh, a plain ctest or by hand: headless, the web engine's
// sandbox off when run as root (it refuses to start there otherwise), and
// the sanitizers' settings below.

#include "platform/ZPHLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#ifdef ZPH_TEST_WIDGETS
#include <QtWidgets/QApplication>
using ZPHTestApplication = QApplication;
#else
using ZPHTestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <unistd.h>

// The sanitizers' settings (used only in a sanitized build). What
// ASAN_OPTIONS, LSAN_OPTIONS or UBSAN_OPTIONS in the environment say comes
// after them and wins. Debian's web engine frees some of its objects
// through a base of another size, and keeps a few allocations for the life
// of the process (scripts/lsan.supp); neither is ours.
extern "C" const char* __asan_default_options() { return "detect_leaks=1:abort_on_error=0:new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_options()
{
  return "suppressions=" ZPH_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// support/ZPHTestSupport.h
void ZPHTestRunBeforeApplicationHooks();

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

#ifdef ZPH_TEST_WIDGETS
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Headless: no display of the session the tests were started from is in
  // reach (the offscreen platform would make OpenGL contexts through it).
  if (std::strncmp(getenv("QT_QPA_PLATFORM"), "offscreen", 9) == 0) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
  }
  if (geteuid() == 0)
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  // Web views share one GL context with the application.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
  ZPHTestRunBeforeApplicationHooks();
  QCoreApplication::setOrganizationName(QStringLiteral("Fernhollow"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("fernhollow.com"));
  QCoreApplication::setApplicationName(QStringLiteral("Zephlin"));
  ZPHTestApplication app(argc, argv);
#ifdef ZPH_TEST_WIDGETS
  // Windows come and go in the tests; only a test ends the program.
  app.setQuitOnLastWindowClosed(false);
#endif
  ZPHInstallLogHandler("zephlin-test", false);

  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
