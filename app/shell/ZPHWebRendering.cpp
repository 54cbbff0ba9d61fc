#include "shell/ZPHWebRendering.h"

#include "common/ZPHShellLog.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QStringList>
#include <QtGui/QGuiApplication>
#include <QtGui/QOpenGLContext>
#include <QtOpenGLWidgets/QOpenGLWidget>
#include <QtQuick/QQuickWindow>
#include <QtWidgets/QWidget>

namespace ZPHWebRendering {

namespace {

Renderer g_renderer = Renderer::Undecided;

bool openGLWorks()
{
  QOpenGLContext probe;
  return probe.create() && probe.isValid();
}

QString platformAsked(const QStringList& arguments)
{
  // The application object reads "-platform <name>" (or "--platform") first.
  for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments.at(i) == QLatin1String("-platform") || arguments.at(i) == QLatin1String("--platform"))
      return arguments.at(i + 1);
  }
  return qEnvironmentVariable("QT_QPA_PLATFORM");
}

}  // namespace

bool isInMemoryPlatform(const QString& platform)
{
  // "offscreen:fontengine=..." carries options after a colon.
  const QString name = platform.section(u':', 0, 0);
  return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

void prepareBeforeApplication(const QStringList& arguments)
{
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  if (isInMemoryPlatform(platformAsked(arguments))) {
    // A headless run stays off the display it was started on.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
  }
}

Renderer chooseRenderer()
{
  Q_ASSERT_X(QCoreApplication::instance() != nullptr, Q_FUNC_INFO, "after the application object");
  const QByteArray forcedBackend = qgetenv("QT_QUICK_BACKEND");
  if (!forcedBackend.isEmpty() || qEnvironmentVariableIsSet("QSG_RHI_BACKEND")) {
    g_renderer = forcedBackend == "software" ? Renderer::Software : Renderer::Undecided;
    qCInfo(zphShell).noquote() << "web pages are drawn by the backend chosen in the environment";
    return g_renderer;
  }
  // A platform that draws its windows into memory only (headless runs,
  // screenshots) never shows what OpenGL draws in them: the offscreen
  // platform still makes OpenGL contexts when DISPLAY names an X server, and
  // a window with a web view then crashed in its first flush.
  if (isInMemoryPlatform(QGuiApplication::platformName())) {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    g_renderer = Renderer::Software;
    qCInfo(zphShell).noquote() << "windows are drawn into memory only (" + QGuiApplication::platformName() +
                                      "); web pages are drawn in software";
    return g_renderer;
  }
  if (openGLWorks()) {
    g_renderer = Renderer::OpenGL;
    return g_renderer;
  }
  // No OpenGL at all: the scene graph of the web views draws in software.
  QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  g_renderer = Renderer::Software;
  qCInfo(zphShell) << "no OpenGL on this display; web pages are drawn in software";
  return g_renderer;
}

Renderer renderer() { return g_renderer; }

bool prepareWindowForWebViews(QWidget* window)
{
  if (window == nullptr || g_renderer != Renderer::OpenGL || !window->isWindow() ||
      window->testAttribute(Qt::WA_WState_Created))
    return false;
  // The window's surface follows what its children draw with when its
  // native window is made; this child never shows.
  auto* anchor = new QOpenGLWidget(window);
  anchor->setObjectName(QStringLiteral("ZPHWebSurfaceAnchor"));
  anchor->setAttribute(Qt::WA_TransparentForMouseEvents);
  anchor->setFocusPolicy(Qt::NoFocus);
  anchor->resize(1, 1);
  anchor->hide();
  return true;
}

}  // namespace ZPHWebRendering
