#include "mainwindow/bezel/ZPHNotificationBezelContentView.h"

#include "kit/CBPathExtras.h"

#include <QtGui/QPainter>

ZPHNotificationBezelContentView::ZPHNotificationBezelContentView(QWidget* parent) : QWidget(parent)
{
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

QPainterPath ZPHNotificationBezelContentView::shadowPath() const
{
  QPainterPath path;
  path.addRoundedRect(QRectF(geometry()).adjusted(-ShadowSpread, -ShadowSpread, ShadowSpread, ShadowSpread),
                      CornerRadius, CornerRadius);
  return path;
}

void ZPHNotificationBezelContentView::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.6));
  painter.drawPath(bezierPathWithRoundedRect(QRectF(rect()), CornerRadius));
}
