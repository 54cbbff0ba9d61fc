#include "browser/ZPHCloseButton.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QMouseEvent>

ZPHCloseButton::ZPHCloseButton(QWidget* parent) : QPushButton(parent)
{
  setFlat(true);
  setFocusPolicy(Qt::NoFocus);
  setIconSize(QSize(16, 16));
  setFixedSize(20, 20);
  setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; padding: 0; }"));
}

void ZPHCloseButton::setRealImage(const QIcon& image)
{
  m_realImage = image;
  showImage(image);
}

void ZPHCloseButton::showImage(const QIcon& image)
{
  setIcon(image);
  repaint();
}

void ZPHCloseButton::enterEvent(QEnterEvent* event)
{
  m_inside = true;
  if (!m_mouseOverImage.isNull() && QGuiApplication::applicationState() == Qt::ApplicationActive)
    showImage(m_mouseOverImage);
  QPushButton::enterEvent(event);
}

void ZPHCloseButton::leaveEvent(QEvent* event)
{
  m_inside = false;
  if (!m_mouseOverImage.isNull())
    showImage(m_realImage);
  QPushButton::leaveEvent(event);
}

void ZPHCloseButton::mousePressEvent(QMouseEvent* event)
{
  // A click that activates the window does not also press the button.
  if (window() != nullptr && !window()->isActiveWindow()) {
    window()->activateWindow();
    event->accept();
    return;
  }
  if (!m_pressedImage.isNull())
    showImage(m_pressedImage);
  QPushButton::mousePressEvent(event);
}

void ZPHCloseButton::mouseReleaseEvent(QMouseEvent* event)
{
  showImage(m_inside && !m_mouseOverImage.isNull() ? m_mouseOverImage : m_realImage);
  QPushButton::mouseReleaseEvent(event);
}
