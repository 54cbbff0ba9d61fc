#pragma once

// An X11 display of a test's own: Xvfb on a display number it picks itself,
// with the openbox window manager on request, and the tools that drive it.

#include <QtCore/QByteArray>
#include <QtCore/QProcess>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

namespace ZPHTestX11 {

// The program's path on PATH; empty when it is not installed.
QString tool(const char* name);

// The process ends with the test program, however that ends.
void endsWithThisProgram(QProcess& process);

// Runs a short command on the display to its end; its standard output, or
// nullopt when it failed.
std::optional<QByteArray> runTool(const QString& display, const char* name, const QStringList& arguments,
                                  int timeoutMs = 20000, bool reportFailure = true);

// Xvfb (1280 x 900, 24 bits, no TCP) and, unless told otherwise, openbox on
// it; both end with the object.
class Display {
public:
  Display() = default;
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;
  ~Display();

  // False when a tool is missing (Xvfb; with the window manager also
  // openbox, xdotool, xprop and xwd) or the display did not come up.
  bool start(bool withWindowManager = true);

  QString name;  // ":<number>"

private:
  QProcess m_server;
  QProcess m_windowManager;
};

}  // namespace ZPHTestX11
