#pragma once

// Qt kind: QObject that owns widgets.

#include "kit/ZPHClock.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QImage>

class QVariantAnimation;
class QWidget;
class ZPHNotificationBezelWindow;

// Shows short confirmations ("Sites Added", "Opened in Browser") as a bezel
// centred over the main window: a translucent dark panel with an image and
// one line of text that fades in, stays, and fades out. While a bezel is up,
// its fade-out included, every further request is dropped, not queued.
//
// The bezel never takes the keyboard focus or activates anything: it is an
// overlay inside the parent window, transparent to the mouse and to focus,
// so what the user types and clicks goes on where it went.
class ZPHNotificationBezelWindowController : public QObject {
  Q_OBJECT

public:
  // The clock (the system clock when null) must outlive the controller.
  explicit ZPHNotificationBezelWindowController(ZPHClock* clock = nullptr, QObject* parent = nullptr);
  ~ZPHNotificationBezelWindowController() override;

  // The window the bezel is centred on and drawn over; set before the first
  // bezel.
  QWidget* parentWindow() const { return m_parentWindow; }
  void setParentWindow(QWidget* window);

  QString text() const { return m_text; }
  QImage image() const { return m_image; }
  // From the start of a bezel to the start of its fade-out.
  int duration() const { return m_duration; }
  void setDuration(int milliseconds) { m_duration = milliseconds; }
  // The fade-in and the fade-out each.
  int animationDuration() const { return m_animationDuration; }
  void setAnimationDuration(int milliseconds) { m_animationDuration = milliseconds; }

  // From the start of a bezel until its fade-out has ended.
  bool isShowingBezel() const { return m_showingBezel; }

  // Shows a bezel with the text (plain text, not empty) and the image (none
  // when null), unless one is showing: then the request is dropped. Nothing
  // happens without a parent window.
  void showBezelWithText(const QString& text, const QImage& image = QImage());
  // The timer's action: starts the fade-out.
  void dismissBezel();
  // Takes the bezel off the parent window.
  void removeAsChildWindowAndClose();

  // The bezel's overlay, made on first use in the parent window; null
  // without a parent window.
  ZPHNotificationBezelWindow* window();
  bool isWindowLoaded() const { return m_window != nullptr; }
  bool isDismissalTimerPending() const { return m_dismissalTimer != 0; }

private:
  void fadeTo(qreal alpha);

  ZPHClock* m_clock;
  QPointer<QWidget> m_parentWindow;
  QPointer<ZPHNotificationBezelWindow> m_window;
  QString m_text;
  QImage m_image;
  int m_duration = 2500;
  int m_animationDuration = 200;
  ZPHClock::TimerID m_dismissalTimer = 0;
  ZPHClock::TimerID m_fadeOutTimer = 0;
  bool m_showingBezel = false;
  QPointer<QVariantAnimation> m_fade;
};
