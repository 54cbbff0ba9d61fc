#include "preferences/ZPHFontSelectorButton.h"

#include "preferences/ZPHFontSelectorButtonCell.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QPainter>
#include <QtGui/QResizeEvent>

ZPHFontSelectorButton::ZPHFontSelectorButton(QWidget* parent) : QAbstractButton(parent)
{
  setCheckable(true);
  setFixedHeight(ButtonHeight);
  setFocusPolicy(Qt::NoFocus);
  m_themeObserver = ZPHNotificationCenter::defaultCenter().addObserver(
      ZPHThemeChangedNotification, QVariant(), this, [this](const ZPHNotification&) { update(); },
      ZPHNotificationCenter::Delivery::MainThread);
}

void ZPHFontSelectorButton::setFont(const QString& family, qreal pointSize)
{
  m_fontName = family;
  m_titleFont = QFont(family);
  m_titleFont.setPointSizeF(pointSize);
  setText(family);
  setAccessibleName(family);
  update();
}

void ZPHFontSelectorButton::setStyleType(int type)
{
  m_styleType = type;
  update();
}

void ZPHFontSelectorButton::setManualVerticalAlignmentTweak(qreal tweak)
{
  m_tweak = tweak;
  update();
}

QSize ZPHFontSelectorButton::sizeHint() const { return QSize(200, ButtonHeight); }

void ZPHFontSelectorButton::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  ZPHFontSelectorButtonCell().draw(painter, QRectF(rect()), *this);
}

void ZPHFontSelectorButton::resizeEvent(QResizeEvent* event)
{
  // Any frame is 26 points high.
  if (event->size().height() != ButtonHeight)
    resize(event->size().width(), ButtonHeight);
  QAbstractButton::resizeEvent(event);
}

void ZPHFontSelectorButton::changeEvent(QEvent* event)
{
  if (event->type() == QEvent::EnabledChange)
    update();
  QAbstractButton::changeEvent(event);
}
