#pragma once

// Qt kind: QWidget (QMainWindow).

#include <QtWidgets/QMainWindow>

// A window that knows whether its views should draw their active look: while
// the application is active and the window is the active window, or a sheet
// of it is, or it is full screen. It keeps the answer in its property
// "zph_windowShouldDrawActive" (read by zph_windowShouldDrawActive()) and
// posts ZPHActiveTrackingWindowShouldDrawActiveChangedNotification (object:
// the window) when it changes. Main thread.
class ZPHActiveTrackingWindow : public QMainWindow {
  Q_OBJECT
  Q_PROPERTY(bool zph_windowShouldDrawActive READ zph_windowShouldDrawActive WRITE setZph_windowShouldDrawActive)

public:
  explicit ZPHActiveTrackingWindow(QWidget* parent = nullptr);
  ~ZPHActiveTrackingWindow() override;

  bool zph_windowShouldDrawActive() const { return m_shouldDrawActive; }
  void setZph_windowShouldDrawActive(bool active);
  // Works the answer out again and announces a change.
  void updateActiveDrawingStatus();

protected:
  bool event(QEvent* event) override;

private:
  bool m_shouldDrawActive = true;
};
