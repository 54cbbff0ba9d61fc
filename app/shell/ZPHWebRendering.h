#pragma once

// Qt kind: none (free functions).

#include <QtCore/QString>
#include <QtCore/QStringList>

class QWidget;

// How web pages are drawn into the program's windows. A web view draws
// through an OpenGL surface; a top-level window whose native window was
// made without one must make it again when its first web view joins it:
// the window flickers, loses the keyboard focus, and on X11 the first page
// is not drawn at all. So the choice is made before any window exists:
// - before the application object: the web engine shares its OpenGL
//   contexts, and a headless run (the offscreen or minimal platform, asked
//   for in QT_QPA_PLATFORM or with -platform) forgets DISPLAY and
//   WAYLAND_DISPLAY, so it never reaches the display of the session it was
//   started from (prepareBeforeApplication());
// - once the application object exists and before any window:
//   chooseRenderer() finds out whether OpenGL works at all. A machine
//   without a GPU usually has a software OpenGL (Mesa), which serves; a
//   remote or virtual display may have none, and then pages are drawn by
//   the software scene graph, which needs no OpenGL surface. A platform
//   that draws windows into memory only (offscreen, minimal) always gets
//   the software scene graph, whatever DISPLAY says;
// - before a top-level window that will hold web views is shown,
//   prepareWindowForWebViews() gives it an OpenGL surface from the start
//   when pages are drawn with OpenGL.
// A backend the user forces (QT_QUICK_BACKEND, QSG_RHI_BACKEND) is kept.
//
// Main thread only.
namespace ZPHWebRendering {

enum class Renderer {
  Undecided,  // chooseRenderer() has not run (tests), or the user chose
  OpenGL,
  Software
};

// `arguments`: the program's, its name first.
void prepareBeforeApplication(const QStringList& arguments);
// Whether the platform (a QT_QPA_PLATFORM value) draws windows into memory
// only: offscreen and minimal.
bool isInMemoryPlatform(const QString& platform);
Renderer chooseRenderer();
Renderer renderer();

// Adds a hidden OpenGL child (object name "ZPHWebSurfaceAnchor") to a
// window whose native window does not exist yet, when pages are drawn with
// OpenGL; answers whether it did. A window made already is left alone.
bool prepareWindowForWebViews(QWidget* window);

}  // namespace ZPHWebRendering
