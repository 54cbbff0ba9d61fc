#include "web/ZPHMacWebViewFindBarView.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

ZPHMacWebViewFindBarView::ZPHMacWebViewFindBarView(QWidget* parent) : ZPHThemeUpdatingView<>(parent)
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
}

void ZPHMacWebViewFindBarView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  QPainter painter(this);
  const QRectF bounds = rect();
  painter.fillRect(bounds, Qt::gray);
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (!theme)
    return;
  QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
  gradient.setColorAt(0, theme->browserFindBarGradientTopColor());
  gradient.setColorAt(1, theme->browserFindBarGradientBottomColor());
  painter.fillRect(bounds, gradient);
  painter.fillRect(QRectF(0, 0, bounds.width(), 1), theme->browserFindBarTopStrokeColor());
  painter.fillRect(QRectF(0, bounds.height() - 1, bounds.width(), 1), theme->browserFindBarBottomStrokeColor());
}
