#include "kit/TMSliderControl.h"

#include "kit/ZPHNamedImage.h"

#include <QtCore/QVariantAnimation>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>

#include <algorithm>
#include <cmath>

TMSliderControl::TMSliderControl(QWidget* parent) : QAbstractButton(parent)
{
  m_handleAnimation = new QVariantAnimation(this);
  m_handleAnimation->setDuration(HandleAnimationDuration);
  m_handleAnimation->setEasingCurve(QEasingCurve::InOutQuad);
  connect(m_handleAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    m_handleCenterX = value.toReal();
    update();
  });
  setCheckable(true);
  setChecked(false);
  // Takes the focus by the keyboard, as a check box does.
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  resize(sizeHint());
  connect(this, &QAbstractButton::toggled, this, [this] { updateUI(); });
  layoutHandle();
}

QImage TMSliderControl::sliderWellOn() const { return ZPHNamedImage(QStringLiteral("toggle_bg_focus")); }

QImage TMSliderControl::sliderWellOff() const { return ZPHNamedImage(QStringLiteral("toggle_bg")); }

QImage TMSliderControl::sliderHandleImage() const { return ZPHNamedImage(QStringLiteral("toggle_button")); }

QImage TMSliderControl::sliderHandleDownImage() const { return ZPHNamedImage(QStringLiteral("toggle_button_pressed")); }

QImage TMSliderControl::sliderMask() const { return ZPHNamedImage(QStringLiteral("toggle_button_mask")); }

QImage TMSliderControl::currentWellImage() const { return sliderWellOff(); }

QRectF TMSliderControl::handleControlRectOn() const { return QRectF(width() - 25 - 1, height() - 27, 25, 27); }

QRectF TMSliderControl::handleControlRectOff() const { return QRectF(1, height() - 27, 25, 27); }

void TMSliderControl::layoutHandle()
{
  m_handleAnimation->stop();
  m_handleCenterX = (state() ? handleControlRectOn() : handleControlRectOff()).center().x();
  update();
}

QRectF TMSliderControl::handleFrame() const
{
  QRectF frame = handleControlRectOff();
  frame.moveCenter(QPointF(m_handleCenterX, frame.center().y()));
  return frame;
}

void TMSliderControl::updateUI()
{
  const QRectF target = state() ? handleControlRectOn() : handleControlRectOff();
  moveHandleTo(target.center().x(), isVisible());
  update();
}

void TMSliderControl::moveHandleTo(qreal centerX, bool animated)
{
  m_handleAnimation->stop();
  if (!animated || qFuzzyCompare(centerX, m_handleCenterX)) {
    m_handleCenterX = centerX;
    update();
    return;
  }
  m_handleAnimation->setStartValue(m_handleCenterX);
  m_handleAnimation->setEndValue(centerX);
  m_handleAnimation->start();
}

void TMSliderControl::userChangedState(bool newState)
{
  if (newState == state())
    return;
  setChecked(newState);
  Q_EMIT clicked(newState);
}

void TMSliderControl::toggleControl() { userChangedState(!state()); }

void TMSliderControl::moveLeft() { userChangedState(false); }

void TMSliderControl::moveRight() { userChangedState(true); }

void TMSliderControl::resizeEvent(QResizeEvent* event)
{
  QAbstractButton::resizeEvent(event);
  layoutHandle();
}

void TMSliderControl::changeEvent(QEvent* event)
{
  QAbstractButton::changeEvent(event);
  if (event->type() == QEvent::EnabledChange)
    update();
}

bool TMSliderControl::hitButton(const QPoint& position) const { return rect().contains(position); }

void TMSliderControl::mousePressEvent(QMouseEvent* event)
{
  event->accept();
  if (!isEnabled() || event->button() != Qt::LeftButton)
    return;
  m_hasDragged = false;
  const QPointF point = event->position();
  if (handleFrame().contains(point)) {
    m_handleAnimation->stop();
    m_mouseDownPosition = point.x() - handleFrame().center().x();
    m_handlePressed = true;
    update();
  }
}

void TMSliderControl::mouseMoveEvent(QMouseEvent* event)
{
  event->accept();
  if (!isEnabled() || !(event->buttons() & Qt::LeftButton))
    return;
  m_hasDragged = true;
  const qreal lowest = handleControlRectOff().center().x();
  const qreal highest = handleControlRectOn().center().x();
  const qreal x = static_cast<float>(event->position().x() - m_mouseDownPosition);
  m_handleAnimation->stop();
  m_handleCenterX = std::clamp(x, std::min(lowest, highest), std::max(lowest, highest));
  update();
}

void TMSliderControl::mouseReleaseEvent(QMouseEvent* event)
{
  event->accept();
  if (!isEnabled() || event->button() != Qt::LeftButton)
    return;
  m_handlePressed = false;
  bool newState = !state();
  if (m_hasDragged && state()) {
    // An on switch stays on when its handle stayed near the right end.
    const qreal handleWidth = handleControlRectOn().width();
    newState = handleFrame().left() >= width() - handleWidth - MinimumMovement;
  }
  if (newState != state())
    userChangedState(newState);
  else
    updateUI();
  m_hasDragged = false;
}

void TMSliderControl::keyPressEvent(QKeyEvent* event)
{
  if (!isEnabled()) {
    event->ignore();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Right:
      moveRight();
      event->accept();
      return;
    case Qt::Key_Left:
      moveLeft();
      event->accept();
      return;
    case Qt::Key_Space:
      if (!event->isAutoRepeat())
        toggleControl();
      event->accept();
      return;
    default:
      QAbstractButton::keyPressEvent(event);
  }
}

void TMSliderControl::keyReleaseEvent(QKeyEvent* event)
{
  // The press did the work.
  if (event->key() == Qt::Key_Space) {
    event->accept();
    return;
  }
  QAbstractButton::keyReleaseEvent(event);
}

void TMSliderControl::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setOpacity(isEnabled() ? 1.0 : DisabledOpacity);
  const QRectF bounds(rect());
  const QImage well = currentWellImage();
  if (!well.isNull())
    painter.drawImage(bounds, well);

  // The handle, clipped to the mask's shape.
  const QImage handle = m_handlePressed ? sliderHandleDownImage() : sliderHandleImage();
  if (!handle.isNull()) {
    const qreal scale = devicePixelRatioF();
    QImage layer((QSizeF(size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(scale);
    layer.fill(Qt::transparent);
    {
      QPainter layerPainter(&layer);
      layerPainter.setRenderHint(QPainter::SmoothPixmapTransform);
      layerPainter.drawImage(handleFrame(), handle);
      const QImage mask = sliderMask();
      if (!mask.isNull()) {
        layerPainter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        layerPainter.drawImage(bounds, mask);
      }
    }
    painter.drawImage(QPointF(0, 0), layer);
  }

  if (hasFocus()) {
    painter.setOpacity(1.0);
    QPen ring(palette().color(QPalette::Highlight), 2);
    painter.setPen(ring);
    painter.setBrush(Qt::NoBrush);
    const QRectF shape = bounds.adjusted(1, 1, -1, -1);
    painter.drawRoundedRect(shape, shape.height() / 2, shape.height() / 2);
  }
}
