// Process entry of the Zephlin desktop program.

#include "articleview/ZPHArticleSchemeHandler.h"
#include "common/ZPHShellLog.h"
#include "platform/ZPHLog.h"
#include "screenshots/ZPHScreenshotScript.h"
#include "shell/ZPHAppDelegate.h"
#include "shell/ZPHCommandLine.h"
#include "shell/ZPHQuitDeadline.h"
#include "shell/ZPHQuitSequence.h"
#include "shell/ZPHTerminationSignalWatcher.h"
#include "shell/ZPHWebRendering.h"
#include "web/ZPHExternalPagesProfile.h"
#include "web/ZPHInternalSchemes.h"

#include <QtCore/QDir>
#include <QtCore/QSettings>
#include <QtCore/QTimer>
#include <QtGui/QSessionManager>
#include <QtWidgets/QApplication>

#include <cstdio>

#include <unistd.h>

namespace {

// The web engine will not start its page processes for the root user with
// their sandbox on: it ends the whole program instead, while the other
// threads are still at work, which crashes it. Run as root (as in many
// containers), pages are shown without that sandbox; a choice the user made
// in the environment is kept. Answers whether it was turned off here.
bool turnOffWebSandboxForRoot()
{
  if (::geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
      qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--no-sandbox"))
    return false;
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  return true;
}

}  // namespace

int main(int argc, char** argv)
{
  // --help and --version want no display, which the application object
  // connects to: they are answered first. Qt's own options fail this early
  // reading; the application object takes them out for the one below.
  const std::optional<ZPHCommandLine> early = ZPHCommandLine::parse(ZPHCommandLine::argumentsOfMain(argc, argv),
                                                                    QProcessEnvironment::systemEnvironment(), nullptr);
  if (early && early->answerInformationRequest())
    return 0;

  // The web engine learns the internal schemes before the application exists,
  // and opens no debugging port.
  ZPHExternalPagesProfile::closeDebuggingEntrances();
  ZPHExternalPagesProfile::settleStandardDataFolder();
  ZPHInternalSchemes::registerSchemes();
  ZPHArticleSchemeHandler::registerScheme();
  ZPHWebRendering::prepareBeforeApplication(ZPHCommandLine::argumentsOfMain(argc, argv));
  const bool webSandboxOff = turnOffWebSandboxForRoot();
  QApplication::setOrganizationName(QStringLiteral("Fernhollow"));
  QApplication::setOrganizationDomain(QStringLiteral("fernhollow.com"));
  QApplication::setApplicationName(QStringLiteral("Zephlin"));
  QApplication::setApplicationVersion(QStringLiteral(ZEPHLIN_VERSION));
  // Made before the application object and kept to the end of the process:
  // once a quit has begun it covers the object's teardown and what the
  // libraries run after main() returns.
  ZPHQuitDeadline& quitDeadline = ZPHQuitDeadline::forTheProcess(ZPHQuitSequence::QuitDeadlineMs);
  QApplication app(argc, argv);
  // Quitting is the application delegate's: it saves first.
  app.setQuitOnLastWindowClosed(false);

  QString error;
  const std::optional<ZPHCommandLine> commandLine =
      ZPHCommandLine::parse(app.arguments(), QProcessEnvironment::systemEnvironment(), &error);
  if (!commandLine) {
    std::fprintf(stderr, "zephlin: %s\n%s", qPrintable(error), qPrintable(ZPHCommandLine::helpText()));
    return 2;
  }
  if (commandLine->answerInformationRequest())
    return 0;
  ZPHInstallLogHandler("zephlin");
  if (webSandboxOff)
    qCWarning(zphShell) << "running as root: web pages are shown without the web engine's sandbox, which does not "
                           "start for root";
  // Before the first window.
  ZPHWebRendering::chooseRenderer();
  // Settings below the data directory, before anything reads them.
  if (!commandLine->settingsFolder().isEmpty())
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, commandLine->settingsFolder());

  int status = 0;
  {
    ZPHAppDelegate::Environment environment;
    environment.dataFolder = commandLine->dataFolder();
    environment.cacheFolder = commandLine->cacheFolder();
    environment.screenshotPath = commandLine->screenshotPath;
    // Feed addresses and subscription lists the desktop hands over.
    environment.launchArguments = commandLine->positionalArguments;
    environment.workingDirectory = QDir::currentPath();
    environment.screenshotStatePath = commandLine->screenshotStatePath;
    environment.loadScreenshotState = [](const QString& path,
                                         QString* errorMessage) -> std::unique_ptr<ZPHScreenshotHook> {
      return ZPHScreenshotScript::load(path, errorMessage);
    };
    environment.quitBegan = [&quitDeadline] { quitDeadline.arm(); };
    environment.holdQuitDeadline = [&quitDeadline](bool held) {
      if (held)
        quitDeadline.hold(ZPHQuitSequence::QuitUsersChangesBoundMs + ZPHQuitSequence::QuitDeadlineMs);
      else
        quitDeadline.release();
    };
    ZPHAppDelegate delegate(std::move(environment));

    // SIGTERM, Ctrl+C and the session's end take the ordinary quit.
    ZPHTerminationSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &ZPHTerminationSignalWatcher::terminationRequested, &delegate,
                     &ZPHAppDelegate::requestTermination);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
                     [&delegate](QSessionManager&) { delegate.requestTermination(); });

    QTimer::singleShot(0, &delegate, &ZPHAppDelegate::applicationDidFinishLaunching);
    status = app.exec();
  }
  // The delegate is gone: the store is closed and the lock given back.
  quitDeadline.quitCompleted(status);
  return status;
}
