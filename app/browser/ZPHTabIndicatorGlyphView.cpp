#include "browser/ZPHTabIndicatorGlyphView.h"

#include "kit/CBPathExtras.h"
#include "kit/ZPHWindowShouldDrawActive.h"

#include <QtGui/QPainter>

ZPHTabIndicatorGlyphView::ZPHTabIndicatorGlyphView(QWidget* parent) : ZPHThemeUpdatingView<QWidget>(parent)
{
  setFixedSize(20, 20);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ZPHTabIndicatorGlyphView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (theme == nullptr)
    return;
  const bool active = window() == nullptr || zph_windowShouldDrawActive(this);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor color = active ? theme->tabIndicatorGlyphColor() : theme->tabIndicatorGlyphInactiveColor();
  // A tab, and under it, a point apart, a bar.
  painter.fillPath(zph_bezierPathWithRoundedRect(QRectF(0, 0, 20, 15), ZPHRectCornerTopLeft | ZPHRectCornerTopRight, 2),
                   color);
  painter.fillPath(
      zph_bezierPathWithRoundedRect(QRectF(0, 16, 20, 4), ZPHRectCornerBottomLeft | ZPHRectCornerBottomRight, 2),
      color);
}
