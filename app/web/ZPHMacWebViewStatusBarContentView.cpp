#include "web/ZPHMacWebViewStatusBarContentView.h"

#include "common/ZPHWebLog.h"
#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>

ZPHMacWebViewStatusBarContentView::ZPHMacWebViewStatusBarContentView(QWidget* parent) : ZPHThemeUpdatingView<>(parent)
{
  setAttribute(Qt::WA_TranslucentBackground);
}

void ZPHMacWebViewStatusBarContentView::setCurrentTheme(ZPHTheme* theme)
{
  if (theme == m_currentTheme)
    return;
  m_currentTheme = theme;
  update();
}

void ZPHMacWebViewStatusBarContentView::paintEvent(QPaintEvent* event)
{
  Q_UNUSED(event);
  ZPHTheme* theme = m_currentTheme;
  if (!theme) {
    qCWarning(zphWeb) << Q_FUNC_INFO << "no theme to draw in";
    return;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // Grown at the sides, shrunk at top and bottom: only the top and bottom
  // edges of the outline show.
  const QRectF bounds = QRectF(rect()).adjusted(-0.5, 0.5, 0.5, -0.5);
  const QPainterPath path = bezierPathWithRoundedRect(bounds, 1);
  painter.fillPath(path, Qt::white);
  QLinearGradient gradient(bounds.topLeft(), bounds.bottomLeft());
  gradient.setColorAt(0, theme->browserStatusBarFillGradientTopColor());
  gradient.setColorAt(1, theme->browserStatusBarFillGradientBottomColor());
  painter.fillPath(path, gradient);
  zph_drawInnerShadow(painter, path, ZPHShadow(2, theme->browserStatusBarInnerGlowColor(), QPointF(0, 0)));
  zph_drawInnerShadow(painter, path, ZPHShadow(1, theme->browserStatusBarInnerShadowColor(), QPointF(0, 1)));
  const QColor outline = theme->browserStatusBarOutlineColor();
  if (outline.isValid()) {
    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
  }
}
