#include "sourcelist/ZPHSourceListBottomContainerBox.h"

#include <QtCore/QEvent>
#include <QtGui/QPainter>

#include <algorithm>

ZPHSourceListBottomContainerBox::ZPHSourceListBottomContainerBox(QWidget* parent) : ZPHThemeUpdatingView(parent)
{
  setAutoFillBackground(true);
}

void ZPHSourceListBottomContainerBox::paintEvent(QPaintEvent*)
{
  ZPHTheme* theme = ZPHTheme::currentTheme();
  const qreal pixel = 1.0 / std::max<qreal>(1.0, devicePixelRatioF());
  const qreal width = this->width();
  const qreal height = this->height();
  QPainter painter(this);
  // Qt paints top-down: the divider runs along the top edge, its shadow
  // just under it.
  painter.fillRect(QRectF(0, 0, width, pixel),
                   isActiveWindow() ? theme->sourcelistDividerColor() : theme->sourcelistDividerInactiveWindowColor());
  painter.fillRect(QRectF(0, pixel, width, pixel), theme->sourcelistDividerShadowColor());
  painter.fillRect(QRectF(width - 1, 2 * pixel, 1, height - 2 * pixel), theme->sourcelistDividerShadowColor());
}

void ZPHSourceListBottomContainerBox::changeEvent(QEvent* event)
{
  ZPHThemeUpdatingView::changeEvent(event);
  if (event->type() == QEvent::ActivationChange)
    update();
}
