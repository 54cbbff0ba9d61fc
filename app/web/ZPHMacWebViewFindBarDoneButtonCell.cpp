#include "web/ZPHMacWebViewFindBarDoneButtonCell.h"

#include "kit/CBPathExtras.h"
#include "kit/ZPHShadow.h"
#include "kit/ZPHWindowShouldDrawActive.h"
#include "themes/ZPHTheme.h"

#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtWidgets/QAbstractButton>

void ZPHMacWebViewFindBarDoneButtonCell::drawWithFrame(QPainter& painter, const QRectF& frame,
                                                       const QAbstractButton& button)
{
  Q_UNUSED(frame);
  ZPHTheme* theme = ZPHTheme::currentTheme();
  if (!theme)
    return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const bool pressed = button.isDown();
  const bool active = !button.window() || zph_windowShouldDrawActive(&button);
  QColor top = theme->searchScopeFillGradientTopColor();
  QColor bottom = theme->searchScopeFillGradientBottomColor();
  QColor stroke = theme->searchScopeStrokeColor();
  if (pressed) {
    top = theme->searchScopeFillGradientPressedTopColor();
    bottom = theme->searchScopeFillGradientPressedBottomColor();
    stroke = theme->searchScopePressedStrokeColor();
  } else if (!active) {
    top = theme->searchScopeFillGradientInactiveTopColor();
    bottom = theme->searchScopeFillGradientInactiveBottomColor();
    stroke = theme->searchScopeInactiveStrokeColor();
  }
  const QPainterPath body = bezierPathWithRoundedRect(QRectF(1, 1, 43, 16), 8);
  QLinearGradient gradient(QPointF(0, 1), QPointF(0, 17));
  gradient.setColorAt(0, top);
  gradient.setColorAt(1, bottom);
  painter.fillPath(body, gradient);
  zph_drawInnerShadow(painter, body, ZPHShadow(2, QColor::fromRgbF(0, 0, 0, pressed ? 0.3 : 0.12), QPointF(0, 1)));
  if (stroke.isValid()) {
    painter.setPen(QPen(stroke, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(bezierPathWithRoundedRect(QRectF(0.5, 0.5, 44, 17), 8));
  }
  painter.setPen(theme->searchScopeFontColor());
  painter.setFont(button.font());
  painter.drawText(QRectF(0, 0, 45, 18), Qt::AlignCenter | Qt::TextSingleLine, button.text());
  painter.restore();
}
