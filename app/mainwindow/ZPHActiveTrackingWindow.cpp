#include "mainwindow/ZPHActiveTrackingWindow.h"

#include "kit/ZPHWindowShouldDrawActive.h"
#include "platform/ZPHNotificationCenter.h"

#include <QtCore/QEvent>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>

ZPHActiveTrackingWindow::ZPHActiveTrackingWindow(QWidget* parent) : QMainWindow(parent)
{
  connect(qApp, &QGuiApplication::applicationStateChanged, this, &ZPHActiveTrackingWindow::updateActiveDrawingStatus);
  // A sheet of the window becoming active or going away counts as the window.
  connect(qApp, &QApplication::focusChanged, this, &ZPHActiveTrackingWindow::updateActiveDrawingStatus);
}

ZPHActiveTrackingWindow::~ZPHActiveTrackingWindow()
{
  // The focus changes while the window's widgets go away.
  disconnect(qApp, nullptr, this, nullptr);
}

void ZPHActiveTrackingWindow::setZph_windowShouldDrawActive(bool active)
{
  if (active == m_shouldDrawActive)
    return;
  m_shouldDrawActive = active;
  ZPHNotificationCenter::defaultCenter().post(ZPHActiveTrackingWindowShouldDrawActiveChangedNotification,
                                              QVariant::fromValue(static_cast<QWidget*>(this)));
}

void ZPHActiveTrackingWindow::updateActiveDrawingStatus()
{
  const QWidget* active = QApplication::activeWindow();
  const bool sheetIsActive = active != nullptr && active != this && active->isWindow() &&
                             active->windowModality() == Qt::WindowModal && active->parentWidget() != nullptr &&
                             active->parentWidget()->window() == this;
  const bool applicationActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
  setZph_windowShouldDrawActive(applicationActive && (isActiveWindow() || sheetIsActive || isFullScreen()));
}

bool ZPHActiveTrackingWindow::event(QEvent* event)
{
  const bool handled = QMainWindow::event(event);
  switch (event->type()) {
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
    case QEvent::WindowStateChange:
    case QEvent::ApplicationStateChange:
      updateActiveDrawingStatus();
      break;
    default:
      break;
  }
  return handled;
}
