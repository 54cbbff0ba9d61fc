// The main of this test program. It does what tests/support/ZPHTestMain.cpp
// does (every standard folder in one temporary folder, the log handler) but
// makes a QApplication, which fonts and web views need, and declares the
// web schemes of the article page before it; being linked before the
// support library, it takes the place of the shared main.

#include "articles/ZPHArticleSchemeHandler.h"
#include "platform/ZPHLog.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtWebEngineCore/QWebEngineUrlScheme>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Debian's WebEngine frees some of its objects through a base of another
// size, and keeps a few allocations for the life of the process; neither is
// ours. The same settings are in scripts/test.sh and scripts/lsan.supp.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libQt6WebEngineCore\n"; }

namespace {

// The schemes an article page loads from besides its own; the application
// declares them at start-up with the handlers that serve them.
void registerResourceScheme(const QByteArray& name, QWebEngineUrlScheme::Syntax syntax)
{
  QWebEngineUrlScheme scheme(name);
  scheme.setSyntax(syntax);
  scheme.setDefaultPort(QWebEngineUrlScheme::PortUnspecified);
  QWebEngineUrlScheme::registerScheme(scheme);
}

}  // namespace

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
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);

  ZPHArticleSchemeHandler::registerScheme();
  registerResourceScheme("cbstylesheet", QWebEngineUrlScheme::Syntax::Path);
  registerResourceScheme("cbfavicon", QWebEngineUrlScheme::Syntax::Path);
  registerResourceScheme("zph-image-cache", QWebEngineUrlScheme::Syntax::Path);

  QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication::setOrganizationName(QStringLiteral("Fernhollow"));
  QApplication::setOrganizationDomain(QStringLiteral("fernhollow.com"));
  QApplication::setApplicationName(QStringLiteral("Zephlin"));
  QApplication app(argc, argv);
  ZPHInstallLogHandler("zephlin-test", false);

  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
