#include "shell/ZPHWebRendering.h"

#include "common/ZPHShellLog.h"

#include <QtCore/QCoreApplication>
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

}  // namespace

void prepareBeforeApplication() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

Renderer chooseRenderer()
{
  Q_ASSERT_X(QCoreApplication::instance() != nullptr, Q_FUNC_INFO, "after the application object");
  const QByteArray forcedBackend = qgetenv("QT_QUICK_BACKEND");
  if (!forcedBackend.isEmpty() || qEnvironmentVariableIsSet("QSG_RHI_BACKEND")) {
    g_renderer = forcedBackend == "software" ? Renderer::Software : Renderer::Undecided;
    qCInfo(zphShell).noquote() << "web pages are drawn by the backend chosen in the environment";
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
