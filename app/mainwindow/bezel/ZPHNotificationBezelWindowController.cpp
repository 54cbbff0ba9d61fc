#include "mainwindow/bezel/ZPHNotificationBezelWindowController.h"

#include "kit/ZPHInterfaceLog.h"
#include "mainwindow/bezel/ZPHNotificationBezelWindow.h"

#include <QtCore/QVariantAnimation>
#include <QtWidgets/QWidget>

ZPHNotificationBezelWindowController::ZPHNotificationBezelWindowController(ZPHClock* clock, QObject* parent)
    : QObject(parent), m_clock(clock != nullptr ? clock : &ZPHClock::systemClock())
{
}

ZPHNotificationBezelWindowController::~ZPHNotificationBezelWindowController()
{
  m_clock->cancel(m_dismissalTimer);
  m_clock->cancel(m_fadeOutTimer);
  delete m_window.data();
}

void ZPHNotificationBezelWindowController::setParentWindow(QWidget* window)
{
  if (m_parentWindow == window)
    return;
  m_parentWindow = window;
  if (m_window != nullptr) {
    if (window != nullptr) {
      m_window->setParent(window);
    } else {
      delete m_window.data();
      m_showingBezel = false;
    }
  }
}

ZPHNotificationBezelWindow* ZPHNotificationBezelWindowController::window()
{
  if (m_window == nullptr && m_parentWindow != nullptr)
    m_window = new ZPHNotificationBezelWindow(m_parentWindow);
  return m_window;
}

void ZPHNotificationBezelWindowController::showBezelWithText(const QString& text, const QImage& image)
{
  Q_ASSERT_X(!text.isEmpty(), Q_FUNC_INFO, "Invalid parameter not satisfying: text.length");
  if (text.isEmpty() || m_showingBezel)
    return;
  ZPHNotificationBezelWindow* bezel = window();
  if (bezel == nullptr) {
    qCWarning(zphInterface) << "no window to show the bezel over:" << text;
    return;
  }
  m_text = text;
  m_image = image;
  bezel->setContents(m_text, m_image);

  m_clock->cancel(m_dismissalTimer);
  m_dismissalTimer = m_clock->schedule(m_duration, this, [this] {
    m_dismissalTimer = 0;
    dismissBezel();
  });
  m_showingBezel = true;

  bezel->centreOnParent();
  bezel->setContentAlpha(0);
  bezel->show();
  bezel->raise();
  fadeTo(1.0);
}

void ZPHNotificationBezelWindowController::dismissBezel()
{
  m_clock->cancel(m_dismissalTimer);
  m_dismissalTimer = 0;
  if (!m_showingBezel || m_fadeOutTimer != 0)
    return;
  fadeTo(0.0);
  // The fade-out ends on the clock; the animation only draws it.
  m_fadeOutTimer = m_clock->schedule(m_animationDuration, this, [this] {
    m_fadeOutTimer = 0;
    if (m_fade != nullptr)
      m_fade->stop();
    if (m_window != nullptr)
      m_window->setContentAlpha(0);
    m_showingBezel = false;
    removeAsChildWindowAndClose();
  });
}

void ZPHNotificationBezelWindowController::removeAsChildWindowAndClose()
{
  if (m_window != nullptr)
    m_window->hide();
}

void ZPHNotificationBezelWindowController::fadeTo(qreal alpha)
{
  if (m_fade != nullptr)
    m_fade->stop();
  ZPHNotificationBezelWindow* bezel = m_window;
  if (bezel == nullptr)
    return;
  if (m_animationDuration <= 0) {
    bezel->setContentAlpha(alpha);
    return;
  }
  auto* fade = new QVariantAnimation(this);
  fade->setStartValue(bezel->contentAlpha());
  fade->setEndValue(alpha);
  fade->setDuration(m_animationDuration);
  connect(fade, &QVariantAnimation::valueChanged, bezel,
          [bezel](const QVariant& value) { bezel->setContentAlpha(value.toReal()); });
  m_fade = fade;
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}
